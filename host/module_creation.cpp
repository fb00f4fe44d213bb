#include "host/module_creation.h"

namespace pqhost {

CreatedModule createModule(const PluginLibrary& library, const std::u16string& id, int32_t subtype,
                           gmpi::IMpUnknown* host, HostHandover handover) {
    CreatedModule made;
    // Legacy GUI modules take their host at creation on every edition.
    const bool viaFactory2 = handover == HostHandover::AsTheEditionExpects && library.factory2() != nullptr &&
                             subtype != gmpi::kSubtypeGuiLegacy;
    made.hostGivenAtCreation = !viaFactory2;
    made.result = viaFactory2 ? library.createInstance2(id, subtype, &made.object)
                              : library.createInstance(id, subtype, host, &made.object);
    if (made.result != gmpi::kMpOk && made.object != nullptr) {
        made.object->release();
        made.object = nullptr;
    }
    return made;
}

std::vector<const ModuleInfo*> creatableModules(const PluginLibrary& library,
                                                const LibraryCatalogue& catalogue) {
    std::vector<const ModuleInfo*> creatable;
    for (const ModuleInfo& module : catalogue.modules) {
        gmpi::IMpUnknown* object = nullptr;
        // Audio modules need no host to exist; GUI modules of the earlier edition refuse to
        // be made without one, so probing goes through createInstance2 where there is one.
        int32_t result = library.createInstance2(module.id, module.subtype, &object);
        if (result == gmpi::kMpNoSupport && library.factory2() == nullptr)
            result = library.createInstance(module.id, module.subtype, nullptr, &object);
        if (object != nullptr) object->release();
        if (result != gmpi::kMpNoSupport) creatable.push_back(&module);
    }
    return creatable;
}

} // namespace pqhost
