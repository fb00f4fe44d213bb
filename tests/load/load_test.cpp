// The load patch, scaled down: every instance runs every block and the outputs stay finite;
// the sanitizer build checks that nothing leaks. Libraries opened and closed again and again.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "host/audio_instance.h"
#include "host/catalogue.h"
#include "host/module_creation.h"
#include "host/patch.h"
#include "host/patch_runner.h"
#include "tests/load/load_patch.h"

namespace {

TEST(Load, ManyInstancesRenderEveryBlock) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("pq-load-test-" + std::to_string(::getpid()) + ".json");
    std::ofstream(file) << pqload::loadPatchJson(20, 0.5);
    const pqhost::Patch patch = pqhost::loadPatch(file, PQ_PLUGIN_DIR);
    std::filesystem::remove(file);
    ASSERT_EQ(patch.modules.size(), 80u);
    pqhost::PatchRunner runner(patch);
    runner.run();
    for (const auto& channel : runner.channels()) {
        ASSERT_EQ(channel.size(), 24000u);
        float peak = 0.0f;
        for (float s : channel) {
            ASSERT_TRUE(std::isfinite(s));
            peak = std::max(peak, std::fabs(s));
        }
        EXPECT_GT(peak, 0.01f); // the voice sounds: tuner, LFO and envelope reach the oscillator
    }
    // Oscillators never sleep while their LFO streams; every module answered every block it ran.
    for (const pqhost::ModuleReport& r : runner.report())
        EXPECT_EQ(r.blocksRun + r.blocksSlept, runner.blocks()) << r.name;
}

// A streamed render keeps nothing that grows with its length: the values and streaming changes
// the modules send travel on without being recorded (a whole render keeps them for reports).
TEST(Load, StreamedRenderKeepsNoRecordOfWhatModulesSent) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("pq-load-stream-" + std::to_string(::getpid()) + ".json");
    std::ofstream(file) << pqload::loadPatchJson(2, 2.0);
    const pqhost::Patch patch = pqhost::loadPatch(file, PQ_PLUGIN_DIR);
    std::filesystem::remove(file);
    pqhost::PatchRunner streamed(patch);
    streamed.stream([](const float* const*, int32_t) {});
    pqhost::PatchRunner whole(patch);
    whole.run();
    size_t sentWhole = 0;
    for (const char* name : {"tuner0", "env0", "lfo0", "osc0", "tuner1", "env1", "lfo1", "osc1"}) {
        EXPECT_TRUE(streamed.audioModule(name)->values.empty()) << name;
        EXPECT_TRUE(streamed.audioModule(name)->streaming.empty()) << name;
        sentWhole += whole.audioModule(name)->values.size() + whole.audioModule(name)->streaming.size();
    }
    EXPECT_GT(sentWhole, 8u); // the envelopes announce every gate edge
}

// Under the sanitizers each load costs more than the one before (100 rounds took minutes), so
// the sanitizer build opens each library a few times; the long run is in docs/reliability.md.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kOpenRounds = 5;
#else
constexpr int kOpenRounds = 100;
#endif

TEST(Load, LibrariesOpenAndCloseRepeatedly) {
    const char* const names[] = {"pq_Modules", "pq_ADSR3", "pq_ArrayLFO", "pq_ArrayOsc", "pq_Tuner"};
    // The descriptions are read from the files once; the libraries open and close every round.
    std::vector<pqhost::LibraryCatalogue> catalogues;
    for (const char* name : names)
        catalogues.push_back(pqhost::readCatalogue(std::string(PQ_PLUGIN_DIR) + "/" + name + ".so"));
    for (int round = 0; round < kOpenRounds; ++round)
        for (size_t i = 0; i < std::size(names); ++i) {
            const pqhost::PluginLibrary library(std::string(PQ_PLUGIN_DIR) + "/" + names[i] + ".so");
            ASSERT_FALSE(pqhost::creatableModules(library, catalogues[i]).empty()) << names[i];
        }
}

} // namespace
