// Making modules as a real host does, in one place for the patch runner, the validator and the
// command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/catalogue.h"
#include "host/plugin_library.h"

namespace pqhost {

struct CreatedModule {
    int32_t result = gmpi::kMpFail;
    gmpi::IMpUnknown* object = nullptr; // one reference, the caller's; null unless result is kMpOk
    bool hostGivenAtCreation = false;   // false: the caller hands the host over through setHost
};

// How the host object reaches the module: the way the library's edition expects (newest
// factories make audio and graphics modules with createInstance2, the host following through
// setHost; earlier factories and legacy GUI modules take it at creation), or always at creation.
enum class HostHandover { AsTheEditionExpects, AtCreation };

// Creates module `id` of `subtype` from `library`, handing it `host` where the edition takes
// the host at creation. A module made despite a failure code is released, never returned.
CreatedModule createModule(const PluginLibrary& library, const std::u16string& id, int32_t subtype,
                           gmpi::IMpUnknown* host, HostHandover handover = HostHandover::AsTheEditionExpects);

// The described modules `library` can create, in the order its descriptions give them. Each is
// made once, without a host where its edition allows, and released at once.
std::vector<const ModuleInfo*> creatableModules(const PluginLibrary& library,
                                                const LibraryCatalogue& catalogue);

} // namespace pqhost
