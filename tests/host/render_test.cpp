// A rendered patch gives the same samples as the module driven by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "host/audio_instance.h"
#include "host/patch.h"
#include "host/patch_runner.h"
#include "host/plugin_library.h"
#include "host/gui/gui_module_instance.h"

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
    for (int pin = 0; pin <= 10; ++pin)
        env.addAudioPin(pin);
    env.open();
    for (int pin = 0; pin < 10; ++pin)
        env.queueStreaming(0, pin, false);
    env.queueGraphStart();
    std::vector<float> out;
    for (int64_t start = 0; start < length; start += kBlock) {
        for (int pin = 0; pin < 10; ++pin)
            std::fill_n(env.buffer(pin), kBlock, constants[pin]);
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
        const fs::path file =
            fs::path(::testing::TempDir()) / ("render_test." + std::to_string(::getpid()) + ".json");
        std::ofstream(file) << R"({"sampleRate": 48000, "blockSize": 64, "length": 2.0,
          "modules": [{"name": "env", "library": ")"
                            << library << R"(", "id": "PQADSR3",
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
        for (size_t i = 0; i < rendered.size(); ++i)
            ASSERT_EQ(rendered[i], expected[i]) << library << " sample " << i;
        // The envelope is idle between the notes and after them: it sleeps there.
        EXPECT_GT(runner.report()[0].blocksSlept, 500) << library;
        // An attack of 100 ms from the gate's rise at 0.1 s, then the decay.
        const auto peak = std::find(rendered.begin(), rendered.end(), 1.0f) - rendered.begin();
        EXPECT_NEAR(double(peak) / kRate, 0.2, 0.001) << library;
    }
}

} // namespace

namespace {

// The demo: the wave editor makes a wave (a generator, a modifier, a Shift stroke) that the
// oscillator plays; a scripted click on the click rectangle gates the envelope, and both faces
// are painted; the oscillator plays an octave below 440 Hz as the tuner says.
TEST(Render, ScriptedClickGatesTheEnvelope) {
    const pqhost::Patch patch =
        pqhost::loadPatch(std::string(PQ_SOURCE_DIR) + "/examples/demo.json", PQ_PLUGIN_DIR);
    pqhost::PatchRunner runner(patch);
    runner.run();
    ASSERT_EQ(runner.channels().size(), 2u);
    const std::vector<float>& out = runner.channels().at(1);
    const auto at = [&](double seconds) { return out[size_t(seconds * kRate)]; };
    EXPECT_EQ(at(0.05), 0.0f);      // before the press
    EXPECT_GT(at(0.15), 0.3f);      // attacking
    EXPECT_FLOAT_EQ(at(0.4), 0.5f); // sustaining while held
    EXPECT_EQ(at(0.9), 0.0f);       // released
    EXPECT_FLOAT_EQ(at(1.3), 0.5f); // the second press
    // Pressed reached the gate in the block after the pointer event, never sooner.
    const auto first = std::find_if(out.begin(), out.end(), [](float v) { return v > 0; }) - out.begin();
    EXPECT_GT(first, int64_t(0.1 * kRate));
    EXPECT_LE(first, int64_t(0.1 * kRate) + 2 * kBlock);

    const auto osc = std::find_if(patch.modules.begin(), patch.modules.end(),
                                  [](const pqhost::PatchModule& m) { return m.name == "osc"; });
    ASSERT_NE(osc, patch.modules.end());
    const auto waveB =
        std::find_if(osc->values.begin(), osc->values.end(), [](const auto& v) { return v.first == 1; });
    ASSERT_NE(waveB, osc->values.end());
    EXPECT_EQ(waveB->second.size(), 64u * 4); // Wave B as samples; Wave A comes from the editor
    const std::vector<float>& sound = runner.channels().at(0);
    EXPECT_EQ(*std::max_element(sound.begin(), sound.begin() + size_t(0.1 * kRate)), 0.0f); // silent before
    // The period during the first note: the lag of the strongest self-similarity.
    const size_t from = size_t(0.3 * kRate);
    int bestLag = 0;
    double best = -1e30;
    for (int lag = 100; lag < 400; ++lag) {
        double sum = 0;
        for (size_t k = 0; k < 3000; ++k)
            sum += double(sound[from + k]) * sound[from + k + lag];
        if (sum > best) best = sum, bestLag = lag;
    }
    EXPECT_NEAR(kRate / bestLag, 220.0, 2.0);

    // The editor's wave: the Shift stroke drew a straight line from (96, 0.2) to (224, -0.25),
    // the last value the editor set on Wave1 is that wave, and its face shows it.
    pqhost::GuiModuleInstance* editor = runner.guiModule("editor");
    ASSERT_NE(editor, nullptr);
    const std::vector<uint8_t>* wave1 = editor->pinValue(4);
    ASSERT_NE(wave1, nullptr);
    ASSERT_EQ(wave1->size(), 512u * 4);
    std::vector<float> wave(512);
    std::memcpy(wave.data(), wave1->data(), wave1->size());
    for (int i = 96; i < 224; ++i)
        EXPECT_NEAR(wave[size_t(i)], 0.2f - 0.45f * float(i - 96) / 128.0f, 1e-5f) << i;
    ASSERT_GE(runner.faces().size(), 2u);
    const pqhost::FaceImage& drawn = runner.faces()[1].second;
    ASSERT_EQ(drawn.width, 512);
    ASSERT_EQ(drawn.height, 201);
    for (int x = 1; x < 512; x += 37) {
        // Each sample's row: trunc(201 - (v + 0.5) * 200); the line passes through it.
        const double v = std::clamp(double(wave[size_t(x)]), -0.5, 0.5);
        const int row = std::clamp(int(201 - (v + 0.5) * 200), 0, 200);
        int inked = 0;
        for (int y = std::max(0, row - 1); y <= std::min(200, row + 1); ++y)
            inked += (drawn.at(x, y) >> 24) != 0;
        EXPECT_GT(inked, 0) << "column " << x << " row " << row;
    }
    EXPECT_EQ(drawn.at(300, 5) >> 24, 0u); // nothing but the wave is drawn

    pqhost::GuiModuleInstance* button = runner.guiModule("button");
    ASSERT_NE(button, nullptr);
    ASSERT_EQ(button->sent().size(), 4u); // pressed, released, pressed, released
    ASSERT_EQ(runner.faces().size(), 4u); // the button, the editor and the two labels
    const pqhost::FaceImage& face = runner.faces()[0].second;
    EXPECT_EQ(face.width, 160);
    EXPECT_EQ(face.height, 60);
    EXPECT_EQ(face.at(0, 0) >> 24, 0u); // outside the rounded corner
    const uint32_t top = face.at(80, 1), bottom = face.at(80, 58);
    EXPECT_EQ(top >> 24, 0xFFu);
    EXPECT_NEAR(int(top & 0xFF), 0xD5, 3);          // blue of FF3A7BD5
    EXPECT_LT(int(bottom & 0xFF), int(top & 0xFF)); // a tenth of the way towards black
}

} // namespace
