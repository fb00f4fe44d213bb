// Drives a module class linked into the test directly through the substitute host's
// AudioInstance, in the edition the test is built for.
#pragma once

#include <memory>
#include <string>

#include "host/audio_instance.h"
#include "runtime/audio/mp_registration.h"

namespace pqtest {

// A module made as its deliverable's factory makes it: the earlier edition hands the host to
// the new object and adds the first reference; the newest gets setHost through IMpPlugin2.
template <class Module>
std::unique_ptr<pqhost::AudioInstance> makeDirect(pqhost::AudioEngine& engine, std::string name = "module") {
    auto instance = std::make_unique<pqhost::AudioInstance>(engine, std::move(name));
#if PQ_EDITION_EARLIER
    gmpi::IMpUnknown* object = pq::createModule<Module>(instance->hostObject());
    object->addRef();
    instance->attach(object, true);
#else
    instance->attach(pq::createModule<Module>(), false);
#endif
    return instance;
}

// The module object behind an instance made by makeDirect.
template <class Module> Module& moduleOf(pqhost::AudioInstance& instance) {
    gmpi::IMpUnknown* object = instance.plugin2() ? static_cast<gmpi::IMpUnknown*>(instance.plugin2())
                                                  : static_cast<gmpi::IMpUnknown*>(instance.plugin());
    return *dynamic_cast<Module*>(object);
}

} // namespace pqtest
