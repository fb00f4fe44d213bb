// Registration of module classes, used by the registration list of each deliverable:
//
//   PQ_REGISTER_MODULE(pqTuner, u"pq Tuner", gmpi::kSubtypeAudio);
//
// A module class offers primaryInterface() and attachHost() through its base.
#pragma once

#include <memory>

#include "runtime/audio/mp_factory.h"

namespace pq {

#if PQ_EDITION_EARLIER
// The earlier edition hands the host to the new module at once; a module that cannot use it
// throws, and the object (count 0) is deleted before the factory answers kMpFail.
template <class Module> gmpi::IMpUnknown* createModule(gmpi::IMpUnknown* host) {
    std::unique_ptr<Module> module(new Module());
    module->attachHost(host);
    return module.release()->primaryInterface();
}
#else
template <class Module> gmpi::IMpUnknown* createModule() { return (new Module())->primaryInterface(); }
#endif

template <class Module> bool registerModule(const char16_t* id, int32_t subtype) {
    return MpFactory::instance()->registerModule(id, subtype, &createModule<Module>);
}

} // namespace pq

#define PQ_REGISTER_CAT2(a, b) a##b
#define PQ_REGISTER_CAT(a, b) PQ_REGISTER_CAT2(a, b)
#define PQ_REGISTER_MODULE(ModuleClass, id, subtype)                                                             \
    [[maybe_unused]] static const bool PQ_REGISTER_CAT(pqRegistered_, __LINE__) =                              \
        pq::registerModule<ModuleClass>(id, subtype)
