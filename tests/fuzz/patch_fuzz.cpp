// A patch as the host reads it, and, when it is accepted and short, rendered with the pack's
// libraries. Renders are cut to a quarter of a second of audio so that each input stays quick.
#include <dlfcn.h>

#include <cstdint>
#include <filesystem>

#include "host/host_error.h"
#include "host/patch.h"
#include "host/patch_runner.h"
#include "tests/fuzz/fuzz_file.h"

// The runner opens and closes its libraries for every patch. Each library is held open here
// for the whole run, so that its coverage counters stay mapped while the fuzzer reads them.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (const auto& entry : std::filesystem::directory_iterator(PQ_PLUGIN_DIR))
        if (entry.path().extension() == ".so" && ::dlopen(entry.path().c_str(), RTLD_NOW) == nullptr)
            return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const pqfuzz::ScratchFile file("patch.json");
    file.write(data, size);
    try {
        pqhost::Patch patch = pqhost::loadPatch(file.path(), PQ_PLUGIN_DIR);
        if (double(patch.lengthSamples) > 0.25 * double(patch.sampleRate)) return 0;
        for (const pqhost::PatchFace& face : patch.faces)
            if (int64_t(face.width) * face.height > (int64_t(1) << 18)) return 0;
        pqhost::PatchRunner runner(patch);
        runner.stream([](const float* const*, int32_t) {});
    } catch (const pqhost::HostError&) {
    }
    return 0;
}
