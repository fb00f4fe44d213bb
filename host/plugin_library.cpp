#include "host/plugin_library.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include "host/host_error.h"
#include "runtime/gui/utf8.h"

namespace pqhost {

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) throw HostError("cannot open library '" + path + "': no such file");
    if (!S_ISREG(info.st_mode)) throw HostError("cannot open library '" + path + "': not a regular file");
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = ::dlerror();
        throw HostError("cannot load library '" + path + "': " + (why ? why : "unknown error"));
    }
    using GetFactory = int32_t (*)(void**);
    auto getFactory = reinterpret_cast<GetFactory>(::dlsym(handle_, "MP_GetFactory"));
    void* unknown = nullptr;
    if (getFactory == nullptr || getFactory(&unknown) != gmpi::kMpOk || unknown == nullptr) {
        ::dlclose(handle_);
        throw HostError("'" + path + "' is not a module library: no usable MP_GetFactory");
    }
    auto* base = static_cast<gmpi::IMpUnknown*>(unknown);
    void* found = nullptr;
    if (base->queryInterface(gmpi::MP_IID_FACTORY2, &found) == gmpi::kMpOk && found != nullptr) {
        factory2_ = static_cast<gmpi::IMpFactory2*>(found);
        factory_ = factory2_;
    } else if (base->queryInterface(gmpi::MP_IID_FACTORY, &found) == gmpi::kMpOk && found != nullptr) {
        factory_ = static_cast<gmpi::IMpFactory*>(found);
    }
    base->release();
    if (factory_ == nullptr) {
        ::dlclose(handle_);
        throw HostError("'" + path + "' is not a module library: its factory answers no factory interface");
    }
}

PluginLibrary::~PluginLibrary() {
    factory_->release();
    ::dlclose(handle_);
}

int32_t PluginLibrary::sdkVersion() const {
    int32_t version = 0;
    char16_t text[64] = {};
    factory_->getSdkInformation(&version, 64, text);
    return version;
}

std::u16string PluginLibrary::sdkText() const {
    int32_t version = 0;
    char16_t text[256] = {};
    factory_->getSdkInformation(&version, 256, text);
    text[255] = u'\0';
    return text;
}

int32_t PluginLibrary::createInstance(const std::u16string& id, int32_t subtype, gmpi::IMpUnknown* host,
                                      gmpi::IMpUnknown** out) const {
    void* object = nullptr;
    const int32_t result = factory_->createInstance(id.c_str(), subtype, host, &object);
    *out = static_cast<gmpi::IMpUnknown*>(object);
    return result;
}

int32_t PluginLibrary::createInstance2(const std::u16string& id, int32_t subtype,
                                       gmpi::IMpUnknown** out) const {
    *out = nullptr;
    if (factory2_ == nullptr) return gmpi::kMpNoSupport;
    void* object = nullptr;
    const int32_t result = factory2_->createInstance2(id.c_str(), subtype, &object);
    *out = static_cast<gmpi::IMpUnknown*>(object);
    return result;
}

} // namespace pqhost
