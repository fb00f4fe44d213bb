#include "runtime/audio/mp_factory.h"

#include <algorithm>
#include <memory>
#include <typeinfo>

#include "runtime/audio/mp_initialisation.h"

extern "C" __attribute__((visibility("default"))) int32_t MP_GetFactory(void** out) {
    if (out == nullptr) return gmpi::kMpFail;
    return MpFactory::instance()->queryInterface(gmpi::MP_IID_UNKNOWN, out);
}

namespace pq {
std::u16string compilerText() {
#if defined(__clang__)
    const char* name = "Clang";
    const int number = __clang_major__ * 100 + __clang_minor__ * 10 + __clang_patchlevel__;
#elif defined(__GNUC__)
    const char* name = "GNU";
    const int number = __GNUC__ * 100 + __GNUC_MINOR__ * 10 + __GNUC_PATCHLEVEL__;
#else
    const char* name = "C++";
    const int number = 0;
#endif
    const std::string text = std::string(name) + " Compiler V" + std::to_string(number);
    return std::u16string(text.begin(), text.end());
}
} // namespace pq

namespace {
// Stores a u16 string of a validated length, or nothing when the identifier is null.
bool readId(const char16_t* id, std::u16string& out) {
    if (id == nullptr) return false;
    out = id;
    return true;
}
} // namespace

// Created on first use (by the first registration); deleted by the clean-up of function
// statics when the library is unloaded.
MpFactory* MpFactory::instance() {
    static const std::unique_ptr<MpFactory> factory(new MpFactory());
    return factory.get();
}

#if PQ_EDITION_EARLIER

int32_t MpFactory::queryInterface(const gmpi::Guid& iid, void** out) {
    const bool offered = pq::isOneOf(iid, {gmpi::MP_IID_FACTORY, gmpi::MP_IID_UNKNOWN});
    return pq::answerQuery(out, offered ? static_cast<gmpi::IMpFactory*>(this) : nullptr);
}

bool MpFactory::registerModule(const char16_t* id, int32_t subtype, ModuleCreateFunction create) {
    if (subtype < 0 || subtype > 1) return false;
    Entry& entry = registry_[id];
    if (entry.create[subtype] == nullptr) entry.create[subtype] = create;
    return false;
}

int32_t MpFactory::createInstance(const char16_t* id, int32_t subtype, gmpi::IMpUnknown* host, void** out) {
    if (out == nullptr) return gmpi::kMpFail;
    *out = nullptr;
    std::u16string key;
    if (!readId(id, key) || subtype < 0 || subtype > 1) return gmpi::kMpNoSupport;
    const auto it = registry_.find(key);
    if (it == registry_.end() || it->second.create[subtype] == nullptr) return gmpi::kMpNoSupport;
    try {
        gmpi::IMpUnknown* object = it->second.create[subtype](host);
        if (object == nullptr) return gmpi::kMpFail;
        *out = object;
        object->addRef();
        return gmpi::kMpOk;
    } catch (...) {
        *out = nullptr;
        return gmpi::kMpFail;
    }
}

int32_t MpFactory::getSdkInformation(int32_t* version, int32_t capacity, char16_t* text) {
    if (version != nullptr) *version = pq::libraryInfo.sdkVersion;
    if (text == nullptr || capacity <= 0) return gmpi::kMpOk;
    const std::u16string info = pq::compilerText();
    const size_t n = std::min(info.size(), static_cast<size_t>(capacity) - 1);
    std::copy_n(info.begin(), n, text);
    text[n] = u'\0';
    return gmpi::kMpOk;
}

#else

int32_t MpFactory::queryInterface(const gmpi::Guid& iid, void** out) {
    const bool offered =
        pq::isOneOf(iid, {gmpi::MP_IID_FACTORY2, gmpi::MP_IID_FACTORY, gmpi::MP_IID_UNKNOWN});
    return pq::answerQuery(out, offered ? static_cast<gmpi::IMpFactory2*>(this) : nullptr);
}

bool MpFactory::registerModule(const char16_t* id, int32_t subtype, ModuleCreateFunction create) {
    registry_.emplace(std::make_pair(subtype, std::u16string(id)), create);
    return false;
}

MpFactory::ModuleCreateFunction MpFactory::find(const char16_t* id, int32_t subtype) const {
    std::u16string key;
    if (!readId(id, key)) return nullptr;
    const auto it = registry_.find(std::make_pair(subtype, key));
    return it == registry_.end() ? nullptr : it->second;
}

int32_t MpFactory::createInstance2(const char16_t* id, int32_t subtype, void** out) {
    if (out == nullptr) return gmpi::kMpFail;
    *out = nullptr;
    const ModuleCreateFunction create = find(id, subtype);
    if (create == nullptr) return gmpi::kMpNoSupport;
    try {
        gmpi::IMpUnknown* object = create();
        if (object == nullptr) return gmpi::kMpFail;
        *out = object;
        return gmpi::kMpOk;
    } catch (...) {
        return gmpi::kMpFail;
    }
}

// As createInstance2, then the host is handed over through IoldSchoolInitialisation when the
// object offers it. A failing hand-over releases the new object and answers kMpFail with a
// null *out: the caller was told creation failed and could never free it otherwise.
int32_t MpFactory::createInstance(const char16_t* id, int32_t subtype, gmpi::IMpUnknown* host, void** out) {
    const int32_t result = createInstance2(id, subtype, out);
    if (result != gmpi::kMpOk) return result;
    auto* object = static_cast<gmpi::IMpUnknown*>(*out);
    try {
        if (auto* init = dynamic_cast<IoldSchoolInitialisation*>(object)) init->setHost(host);
        return gmpi::kMpOk;
    } catch (...) {
        object->release();
        *out = nullptr;
        return gmpi::kMpFail;
    }
}

int32_t MpFactory::getSdkInformation(int32_t* version, int32_t capacity, char16_t* text) {
    if (version != nullptr) *version = pq::libraryInfo.sdkVersion;
    std::u16string info = pq::compilerText();
    if (pq::libraryInfo.releaseSuffix) info += u" (Release)";
    // The text is written only whole, terminator included.
    if (text == nullptr || capacity < 0 || static_cast<size_t>(capacity) < info.size() + 1)
        return gmpi::kMpOk;
    std::copy(info.begin(), info.end(), text);
    text[info.size()] = u'\0';
    return gmpi::kMpOk;
}

#endif
