// A validator for module libraries: every catalogued module a library can create is driven
// through every entry point with good and hostile input, each module in a process of its own
// so that a crash is a finding rather than the end of the run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/catalogue.h"

namespace pqhost {

struct ValidationFinding {
    std::string module; // identifier and subtype
    std::string what;   // how its process ended
};

// Drives one module of a loaded library; throws or crashes on a fault.
using ModuleExerciser =
    std::function<void(const std::string& libraryPath, const ModuleInfo& module, uint32_t seed, int rounds)>;

// The exerciser the validator uses: creation through every factory operation, values of every
// type and odd size to known and unknown pins, NaN, infinite, huge and negative numbers,
// events out of order and past the block, streaming changes, block sizes from 1 to 512;
// GUI modules get deliveries, layouts, pointer events and paints.
void exerciseModule(const std::string& libraryPath, const ModuleInfo& module, uint32_t seed, int rounds);

// Validates every catalogued module `libraryPath` creates; an empty answer means all passed.
// A module whose process has not finished after `timeoutSeconds` counts as hung; in the
// sanitizer build, one whose process leaves memory unreleased counts as leaking.
// Throws HostError when the library cannot be loaded.
std::vector<ValidationFinding> validateLibrary(const std::string& libraryPath, uint32_t seed, int rounds,
                                               std::vector<std::string>* validated = nullptr,
                                               const ModuleExerciser& exerciser = exerciseModule,
                                               unsigned timeoutSeconds = 60);

// The fewest rounds with which `module` (as validateLibrary names it) still fails under `seed`,
// found by halving: a module's rounds with a seed begin with the same sequence whatever their
// number, so the answer is the shortest failing sequence of that seed. `rounds` when it does
// not fail with fewer; 0 when it does not fail at all.
int shortestFailingRounds(const std::string& libraryPath, const std::string& module, uint32_t seed,
                          int rounds, const ModuleExerciser& exerciser = exerciseModule,
                          unsigned timeoutSeconds = 60);

} // namespace pqhost
