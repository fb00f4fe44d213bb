// A rendered patch gives the same samples as the module driven by hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/audio_instance.h"
#include "host/patch.h"
#include "host/patch_runner.h"
#include "host/plugin_library.h"

namespace {

namespace fs = std::filesystem;

constexpr int kBlock = 64;
constexpr float kRate = 48000;

// Gate high from 0.1 s to 0.6 s and from 1.0 s to 1.5 s.
float gateAt(int64_t sample) {
    const double t = double(sample) / kRate;
    return (t >= 0.1 - 1e-9 && t < 0.6 - 1e-9) || (t >= 1.0 - 1e-9 && t < 1.5 - 1e-9) ? 1.0f : 0.0f;
}

std::vector<float> byHand(const std::string& library, int64_t length) {
    pqhost::PluginLibrary lib(std::string(PQ_PLUGIN_DIR) + "/" + library + ".so");
    pqhost::AudioEngine engine(kRate, kBlock);
    pqhost::AudioInstance env(engine);
    gmpi::IMpUnknown* object = nullptr;
    EXPECT_EQ(lib.createInstance(u"PQADSR3", 0, env.hostObject(), &object), 0);
    env.attach(object, true);
    const float constants[10] = {0, 0, 0.5f, 0.5f, 0.5f, 0.6f, 1.0f, 0.3f, 0, 0};
    for (int pin = 0; pin <= 10; ++pin) env.addAudioPin(pin);
    env.open();
    for (int pin = 0; pin < 10; ++pin) env.queueStreaming(0, pin, false);
    env.queueGraphStart();
    std::vector<float> out;
    for (int64_t start = 0; start < length; start += kBlock) {
        for (int pin = 0; pin < 10; ++pin) std::fill_n(env.buffer(pin), kBlock, constants[pin]);
        for (int i = 0; i < kBlock; ++i) {
            env.buffer(1)[i] = gateAt(start + i);
            if (start + i > 0 && gateAt(start + i) != gateAt(start + i - 1)) env.queueStreaming(i, 1, false);
        }
        env.runBlock(kBlock);
        out.insert(out.end(), env.buffer(10), env.buffer(10) + kBlock);
    }
    return out;
}

TEST(Render, PatchMatchesTheModuleDrivenByHand) {
    for (const char* library : {"pq_Modules", "pq_ADSR3"}) {
        const fs::path file = fs::path(::testing::TempDir()) / "render_test.json";
        std::ofstream(file) << R"({"sampleRate": 48000, "blockSize": 64, "length": 2.0,
          "modules": [{"name": "env", "library": ")" << library << R"(", "id": "PQADSR3",
            "values": {"Gate": 0, "Trigger": 0, "Attack": 0.5, "Decay": 0.5, "Sustain": 0.5,
                       "Release": 0.6, "Overall Level": 1, "Attack Curve": 0.3, "Decay Curve": 0, "Release Curve": 0}}],
          "events": [{"pin": "env.Gate", "gate": {"start": 0.1, "high": 0.5, "low": 0.4, "repeat": 2}}],
          "output": ["env.Signal Out"]})";
        const pqhost::Patch patch = pqhost::loadPatch(file, PQ_PLUGIN_DIR);
        pqhost::PatchRunner runner(patch);
        runner.run();
        const std::vector<float> expected = byHand(library, patch.lengthSamples);
        const std::vector<float>& rendered = runner.channels().at(0);
        ASSERT_EQ(rendered.size(), size_t(patch.lengthSamples));
        for (size_t i = 0; i < rendered.size(); ++i) ASSERT_EQ(rendered[i], expected[i]) << library << " sample " << i;
        // The envelope is idle between the notes and after them: it sleeps there.
        EXPECT_GT(runner.report()[0].blocksSlept, 500) << library;
        // An attack of 100 ms from the gate's rise at 0.1 s, then the decay.
        const auto peak = std::find(rendered.begin(), rendered.end(), 1.0f) - rendered.begin();
        EXPECT_NEAR(double(peak) / kRate, 0.2, 0.001) << library;
    }
}

} // namespace
