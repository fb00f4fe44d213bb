// Renders the load patch and prints what it cost:
//   load_run <instances> <seconds>     render time, real-time factor, peak memory
//   load_run --reopen <times>          opens and closes every library <times> times
// Run it under the sanitizer build to have the leak check at exit.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "host/catalogue.h"
#include "host/host_error.h"
#include "host/module_creation.h"
#include "host/patch.h"
#include "host/patch_runner.h"
#include "tests/load/load_patch.h"

namespace {

long peakKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

const char* const kLibraries[] = {
    "pq_Modules",  "pq_ADSR3",        "pq_ArrayLFO",         "pq_ArrayOsc",      "pq_Tuner",
    "pq_BoolText", "pq_FloatResetX2", "pq_DoubleClickReset", "pq_TextRectangle", "pq_waveEditor"};

int reopen(int times) {
    const long before = peakKiB();
    int opened = 0;
    for (int t = 0; t < times; ++t)
        for (const char* name : kLibraries) {
            const std::string path = std::string(PQ_PLUGIN_DIR) + "/" + name + ".so";
            if (!std::filesystem::exists(path)) continue;
            const pqhost::PluginLibrary library(path);
            const pqhost::LibraryCatalogue catalogue = pqhost::readCatalogue(path);
            for (const pqhost::ModuleInfo* module : pqhost::creatableModules(library, catalogue)) {
                (void)module;
            }
            ++opened;
        }
    std::printf("opened and closed %d libraries (%d rounds); peak memory %ld KiB before, %ld KiB after\n",
                opened, times, before, peakKiB());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 3 && std::string(argv[1]) == "--reopen") return reopen(std::atoi(argv[2]));
        if (argc != 3) {
            std::fprintf(stderr, "usage: load_run <instances> <seconds> | load_run --reopen <times>\n");
            return 2;
        }
        const int instances = std::atoi(argv[1]);
        const double seconds = std::atof(argv[2]);
        const std::filesystem::path file =
            std::filesystem::temp_directory_path() / ("pq-load-" + std::to_string(::getpid()) + ".json");
        std::ofstream(file) << pqload::loadPatchJson(instances, seconds);
        const auto t0 = std::chrono::steady_clock::now();
        const pqhost::Patch patch = pqhost::loadPatch(file, PQ_PLUGIN_DIR);
        std::filesystem::remove(file);
        const long afterRead = peakKiB();
        pqhost::PatchRunner runner(patch);
        const auto t1 = std::chrono::steady_clock::now();
        const long afterOpen = peakKiB();
        runner.stream([](const float* const*, int32_t) {});
        const auto t2 = std::chrono::steady_clock::now();
        const double setup = std::chrono::duration<double>(t1 - t0).count();
        const double render = std::chrono::duration<double>(t2 - t1).count();
        std::printf("%d instances of each audio module (%zu modules), %.1f s of audio at %.0f Hz, block %d\n",
                    instances, patch.modules.size(), seconds, double(patch.sampleRate), patch.blockSize);
        std::printf("setup %.2f s, render %.2f s, real-time factor %.3f (audio seconds per second)\n", setup,
                    render, seconds / render);
        std::printf("peak memory: %ld KiB after reading, %ld KiB after opening, %ld KiB after rendering\n",
                    afterRead, afterOpen, peakKiB());
        return 0;
    } catch (const pqhost::HostError& e) {
        std::fprintf(stderr, "load_run: %s\n", e.what());
        return 1;
    }
}
