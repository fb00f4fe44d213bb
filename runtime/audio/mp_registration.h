// Registration of module classes, used by the registration list of each deliverable:
//
//   PQ_REGISTER_MODULE(pqTuner);
//
// registers the class under the identifier and subtype of its description (pq::ModuleDescription
// kDescription, runtime/pin_table.h) and puts that description into the library file's
// section "pq_plugin_xml", so that every registered module is described and nothing else is.
// A class without a description can still be registered by identifier and subtype,
//   PQ_REGISTER_MODULE(SomeModule, u"Some Module", gmpi::kSubtypeAudio);
// but hosts that learn modules from the file do not see it.
//
// A module class offers primaryInterface() and attachHost() through its base.
#pragma once

#include <memory>

#include "runtime/audio/mp_factory.h"
#include "runtime/pin_table.h"

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
template <class Module> gmpi::IMpUnknown* createModule() {
    return (new Module())->primaryInterface();
}
#endif

template <class Module> bool registerModule(const char16_t* id, int32_t subtype) {
    return MpFactory::instance()->registerModule(id, subtype, &createModule<Module>);
}

template <class Module> bool registerDescribedModule() {
    static_assert(isWellFormed(Module::kDescription),
                  "pin ids repeat, a code is unknown or the identifier is not ASCII");
    static constexpr auto identifier = detail::wideIdentifier<Module::kDescription>();
    return registerModule<Module>(identifier.data(), Module::kDescription.subtype);
}

} // namespace pq

#define PQ_REGISTER_CAT2(a, b) a##b
#define PQ_REGISTER_CAT(a, b) PQ_REGISTER_CAT2(a, b)
#define PQ_REGISTER_DESCRIBED(ModuleClass)                                                                   \
    [[maybe_unused]] static const bool PQ_REGISTER_CAT(pqRegistered_, __LINE__) =                            \
        pq::registerDescribedModule<ModuleClass>();                                                          \
    [[maybe_unused]] __attribute__((section("pq_plugin_xml"), used)) static constexpr auto PQ_REGISTER_CAT(  \
        pqDescribed_, __LINE__) = pq::descriptionText<ModuleClass::kDescription>()
#define PQ_REGISTER_LISTED(ModuleClass, id, subtype)                                                         \
    [[maybe_unused]] static const bool PQ_REGISTER_CAT(pqRegistered_, __LINE__) =                            \
        pq::registerModule<ModuleClass>(id, subtype)
#define PQ_REGISTER_PICK(a, b, c, chosen, ...) chosen
#define PQ_REGISTER_MODULE(...)                                                                              \
    PQ_REGISTER_PICK(__VA_ARGS__, PQ_REGISTER_LISTED, PQ_REGISTER_NEEDS_ONE_OR_THREE,                        \
                     PQ_REGISTER_DESCRIBED, )                                                                \
    (__VA_ARGS__)
