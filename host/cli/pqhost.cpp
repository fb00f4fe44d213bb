// pqhost: the substitute host's command line.
//
//   pqhost info <library>        SDK version and text, and every catalogued module it creates
#include <cstdio>
#include <cstring>
#include <string>

#include "host/catalogue.h"
#include "host/host_error.h"
#include "host/plugin_library.h"

namespace {

const char* kUsage =
    "usage: pqhost info <library.so>\n";

int info(const std::string& path) {
    pqhost::PluginLibrary library(path);
    std::printf("library: %s\n", path.c_str());
    std::printf("sdk version: %d\n", library.sdkVersion());
    std::printf("sdk text: %s\n", pqhost::toUtf8(library.sdkText()).c_str());
    std::printf("factory: %s\n", library.factory2() ? "IMpFactory2" : "IMpFactory");
    int found = 0;
    for (const pqhost::ModuleInfo& module : pqhost::catalogue()) {
        gmpi::IMpUnknown* object = nullptr;
        // Audio modules need no host to exist; GUI modules of the earlier edition refuse to be
        // made without one, so probing goes through createInstance2 where there is one.
        int32_t result = library.createInstance2(module.id, module.subtype, &object);
        if (result == gmpi::kMpNoSupport && library.factory2() == nullptr)
            result = library.createInstance(module.id, module.subtype, nullptr, &object);
        if (object != nullptr) object->release();
        if (result == gmpi::kMpNoSupport) continue;
        ++found;
        std::printf("module \"%s\" subtype %d (%s)\n", pqhost::toUtf8(module.id).c_str(), module.subtype,
                    module.className.c_str());
        for (const pqhost::PinInfo& pin : module.pins) {
            std::printf("  pin %d \"%s\" %s %s\n", pin.id, pin.name.c_str(),
                        pqhost::datatypeName(pin.datatype, module.subtype), pin.direction == 0 ? "in" : "out");
        }
    }
    if (found == 0) std::printf("no catalogued module\n");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 3 && std::strcmp(argv[1], "info") == 0) return info(argv[2]);
        std::fputs(kUsage, stderr);
        return 2;
    } catch (const pqhost::HostError& e) {
        std::fprintf(stderr, "pqhost: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pqhost: %s\n", e.what());
        return 1;
    }
}
