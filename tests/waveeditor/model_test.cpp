// The wave model: lengths, blobs, select and names, copy and paste, commit, undo, the random
// source and the shared wave operations.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

#include "modules/waveeditor/wave_commands.h"
#include "modules/waveeditor/wave_model.h"
#include "tests/waveeditor/editor_rig.h"

namespace {

using namespace pq::waveeditor;
using pq::waveeditor::testing::Editor;
using pq::waveeditor::testing::toBytes;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

constexpr int32_t kInvert = 26;
constexpr int32_t kUndo = 38;
constexpr int32_t kCopyCommand = 37;

TEST(WaveModel, LengthResizesKeepingSamplesAndAppendingZeros) {
    Editor e(256);
    for (int32_t k = 0; k < 4; ++k)
        EXPECT_EQ(e.model.wave(k), Wave(256, 0.0f));
    Wave ramp(256);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = float(i) / 1024.0f;
    e.load(0, ramp);

    e.model.applyLength(300);
    ASSERT_EQ(e.model.wave(0).size(), 300u);
    EXPECT_TRUE(std::equal(ramp.begin(), ramp.end(), e.model.wave(0).begin()));
    EXPECT_EQ(e.model.wave(0)[299], 0.0f);
    EXPECT_EQ(e.model.undoWave(3).size(), 300u);
    EXPECT_EQ(e.model.lastIndex(), 299);

    e.model.applyLength(100.9f);
    EXPECT_EQ(e.model.sampleCount(), 100);
    EXPECT_TRUE(std::equal(e.model.wave(0).begin(), e.model.wave(0).end(), ramp.begin()));
    EXPECT_EQ(e.port.sends, 0) << "applying a length sends no blob";
}

TEST(WaveModel, HostileLengthsGiveEmptyOrClampedWaves) {
    const struct {
        float length;
        int32_t samples;
    } cases[] = {{kNaN, 0},
                 {-5.0f, 0},
                 {0.0f, 0},
                 {0.99f, 0},
                 {-kInf, 0},
                 {1.0f, 1},
                 {1e9f, kMaxSampleCount},
                 {kInf, kMaxSampleCount}};
    for (const auto& c : cases) {
        Editor e(c.length);
        EXPECT_EQ(e.model.sampleCount(), c.samples) << c.length;
        EXPECT_EQ(e.model.lastIndex(), c.samples - 1);
        for (int32_t k = 0; k < 4; ++k)
            EXPECT_EQ(e.model.wave(k).size(), size_t(c.samples));
        if (c.samples > 0) continue;
        // Commands on empty waves do nothing and send nothing.
        for (int32_t g = -1; g < 30; ++g)
            e.model.runGenerator(g, 3, 0.5f);
        for (int32_t m = -1; m < 40; ++m)
            e.model.runModifier(m, 3, 0.5f);
        e.model.copy();
        e.model.paste(true);
        e.model.undo();
        EXPECT_EQ(e.port.sends, 0);
    }
}

TEST(WaveModel, BlobOfExactlyFourBytesPerSampleIsTaken) {
    Editor e(4);
    const Wave w{0.1f, 0.2f, -0.3f, 0.4f};
    const auto bytes = toBytes(w);
    EXPECT_TRUE(e.model.takeBlob(0, bytes.data(), 16));
    EXPECT_EQ(e.model.wave(0), w);

    const Wave bad{kNaN, 0.0f, 0.0f, 0.0f};
    const auto badBytes = toBytes(bad);
    const struct {
        int32_t k;
        const void* data;
        int32_t size;
    } rejected[] = {{0, bytes.data(), 12}, {0, bytes.data(), 15},  {0, bytes.data(), 0},
                    {0, nullptr, 16},      {0, bytes.data(), -16}, {0, badBytes.data(), 16},
                    {4, bytes.data(), 16}, {-1, bytes.data(), 16}};
    e.model.runGenerator(28, 0, 0); // FLAT: wave 0 all zeros
    for (const auto& r : rejected) {
        EXPECT_FALSE(e.model.takeBlob(r.k, r.data, r.size)) << r.size;
        EXPECT_EQ(e.model.wave(0), Wave(4, 0.0f));
    }
}

TEST(WaveModel, SelectOutsideZeroToThreeWorksOnTheFourthWave) {
    const std::pair<int32_t, int32_t> cases[] = {{0, 0}, {1, 1},  {2, 2},      {3, 3},
                                                 {4, 3}, {-1, 3}, {1 << 30, 3}};
    for (const auto& [select, index] : cases) {
        Editor e(8);
        e.model.setSelect(select);
        EXPECT_EQ(e.model.selectedIndex(), index);
        e.model.runGenerator(3, 0, 0); // SQUARE
        EXPECT_EQ(e.model.wave(index)[0], 0.5f);
        EXPECT_EQ(e.pin(index).size(), 8u);
    }
}

TEST(WaveModel, WaveNames) {
    const struct {
        const char* names;
        int32_t select;
        const char* name;
    } cases[] = {
        {"Bass,Lead_Pad Sub Noise", 1, "Lead Pad"},
        {"Bass,Lead_Pad Sub Noise", 3, "Noise"},
        {"", 2, "Wave3"},
        {"Bass Lead", 3, "Wave4"},
        {"Bass", 1, "Wave2"},
        {"  a\tb  c d", 2, "c"},
        {"A B C D", -1, "Wave4"},
        {"A B C D", 9, "Wave4"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(waveNameFor(c.names, c.select), c.name) << c.names << " " << c.select;
}

TEST(WaveModel, CopyAndPasteWithLatch) {
    Editor e(4);
    const Wave w{0.1f, 0.2f, 0.3f, 0.4f};
    e.load(0, w);
    e.model.copy();
    EXPECT_EQ(e.model.clipboard(), w);
    e.model.setSelect(1);

    e.model.paste(true);
    EXPECT_EQ(e.model.wave(1), w);
    EXPECT_EQ(e.pin(1), w);
    EXPECT_TRUE(e.model.pasteLatch());

    e.model.runGenerator(28, 0, 0); // FLAT
    e.model.paste(true);            // still latched: nothing
    EXPECT_EQ(e.model.wave(1), Wave(4, 0.0f));
    e.model.paste(false);
    e.model.paste(true);
    EXPECT_EQ(e.model.wave(1), w);

    // A clipboard of another length neither pastes nor touches the latch.
    e.model.applyLength(5);
    e.model.paste(false);
    EXPECT_TRUE(e.model.pasteLatch());
    const int sends = e.port.sends;
    e.model.paste(true);
    EXPECT_EQ(e.port.sends, sends);
}

TEST(WaveModel, CommitKeepsThePinsPreviousWaveForUndo) {
    Editor e(4);
    const Wave w{0.1f, -0.2f, 0.3f, -0.4f};
    e.load(0, w);
    e.model.runModifier(kInvert, 0, 0);
    EXPECT_EQ(e.model.undoWave(0), w);
    EXPECT_EQ(e.pin(0), (Wave{-0.1f, 0.2f, -0.3f, 0.4f}));

    e.model.runModifier(kUndo, 0, 0);
    EXPECT_EQ(e.model.wave(0), w);
    EXPECT_EQ(e.pin(0), w);
    e.model.runModifier(kUndo, 0, 0); // toggles back
    EXPECT_EQ(e.model.wave(0), (Wave{-0.1f, 0.2f, -0.3f, 0.4f}));
    e.model.runModifier(kUndo, 0, 0);
    EXPECT_EQ(e.model.wave(0), w);
}

TEST(WaveModel, CommitWithAPinOfAnotherSizeLeavesTheUndoBuffer) {
    Editor e(4);
    e.port.pins[0] = std::vector<uint8_t>(12, 0); // not 4 * n bytes
    e.model.runGenerator(3, 0, 0);
    EXPECT_EQ(e.model.undoWave(0), Wave(4, 0.0f));
    EXPECT_EQ(e.pin(0), (Wave{0.5f, 0.5f, -0.5f, -0.5f}));
}

TEST(WaveModel, CopyCommandAndCopyPinFillTheClipboard) {
    Editor e(4);
    e.load(2, Wave{0.1f, 0.2f, 0.3f, 0.4f});
    e.model.setSelect(2);
    e.model.runModifier(kCopyCommand, 0, 0);
    EXPECT_EQ(e.model.clipboard(), e.model.wave(2));
    EXPECT_EQ(e.port.sends, 0) << "COPY commits nothing";
}

TEST(WaveModel, NonFiniteResultsCommitNothing) {
    const struct {
        int32_t generator; // or -1
        int32_t modifier;
        float n, a;
    } cases[] = {
        {7, -1, 1.0f, -0.3f},  // VOXEL divides by zero in a used entry
        {7, -1, 31.0f, 2.0f},  // VOXEL: negative base, fractional power
        {-1, 36, 2.0f, kInf},  // SET SAMPLE with an infinite value
        {-1, 2, 0.0f, kNaN},   // ADD NOISE with NaN
        {22, -1, 0.0f, -1.0f}, // LOGARITHMIC DOWN: a negative power of 0
    };
    for (const auto& c : cases) {
        Editor e(64);
        Wave w(64);
        for (size_t i = 0; i < w.size(); ++i)
            w[i] = float(i % 8) * 0.1f - 0.35f;
        e.load(0, w);
        e.model.runGenerator(-5, 0, 0); // spend the first-request rules
        e.model.runModifier(-5, 0, 0);
        e.load(0, w);
        const int sends = e.port.sends;
        if (c.generator >= 0) e.model.runGenerator(c.generator, c.n, c.a);
        if (c.modifier >= 0) e.model.runModifier(c.modifier, c.n, c.a);
        EXPECT_EQ(e.port.sends, sends) << c.generator << " " << c.modifier << " " << c.n << " " << c.a;
        EXPECT_EQ(e.model.wave(0), w);
    }
    // VOXEL with N = 7 divides by zero in a value it never uses: committed as computed.
    Editor e(64);
    e.model.runGenerator(7, 7.0f, 0.5f);
    EXPECT_EQ(e.port.sends, 1);
}

TEST(WaveModel, FirstRequestRules) {
    Editor e(8);
    e.model.runGenerator(-1, 0, 0);
    EXPECT_NEAR(e.model.wave(0)[2], 0.5f, 1e-6f) << "the first negative request makes a sine";
    e.model.runModifier(-1, 0, 0); // first: ADD HARMONIC with A = 0, the wave unchanged
    EXPECT_NEAR(e.model.wave(0)[2], 0.5f, 1e-6f);
    EXPECT_TRUE(e.model.generatorStarted() && e.model.modifierStarted());

    const int sends = e.port.sends;
    e.model.runGenerator(-1, 0, 0);
    e.model.runModifier(-1, 0, 0);
    for (int32_t separator : {9, 14, 20, 25})
        e.model.runGenerator(separator, 0, 0);
    for (int32_t separator : {4, 13, 19, 24, 39, -7})
        e.model.runModifier(separator, 0, 0);
    EXPECT_EQ(e.port.sends, sends);
    EXPECT_NEAR(e.model.wave(0)[2], 0.5f, 1e-6f);

    for (int32_t flat : {40, -2}) {
        e.model.runGenerator(0, 0, 0);
        e.model.runGenerator(flat, 0, 0);
        EXPECT_EQ(e.model.wave(0), Wave(8, 0.0f)) << flat;
    }
}

TEST(WaveModel, RandomSourceSequenceAndThreads) {
    seedRandom(1);
    EXPECT_EQ(randomInt(), 41);
    EXPECT_EQ(randomInt(), 18467);
    EXPECT_EQ(randomInt(), 6334);
    int32_t other = -1;
    std::thread([&] {
        seedRandom(1);
        other = randomInt();
        for (int i = 0; i < 100; ++i)
            randomInt();
    }).join();
    EXPECT_EQ(other, 41);
    EXPECT_EQ(randomInt(), 26500) << "another thread's calls leave this thread's sequence alone";
    for (int i = 0; i < 1000; ++i) {
        const int32_t r = randomInt();
        ASSERT_TRUE(r >= 0 && r <= 32767);
    }
}

TEST(WaveOperations, FitToRange) {
    const struct {
        Wave in, out;
    } cases[] = {
        {{0.0f, 0.25f, 0.0f, -0.25f}, {0.0f, 0.5f, 0.0f, -0.5f}},
        {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}},
        {{0.3f, 0.3f, 0.3f}, {0.3f, 0.3f, 0.3f}}, // no range to map: unchanged
        {{1.0f, 2.0f, 3.0f}, {-0.5f, 0.0f, 0.5f}},
        {{}, {}},
    };
    for (auto c : cases) {
        fitToRange(c.in);
        for (size_t i = 0; i < c.out.size(); ++i)
            EXPECT_NEAR(c.in[i], c.out[i], 1e-6f);
    }
    Wave inside{0.5f, -0.5f, 0.1f};
    fitIfOutOfRange(inside);
    EXPECT_EQ(inside, (Wave{0.5f, -0.5f, 0.1f}));
    Wave outside{0.6f, -0.2f, 0.2f};
    fitIfOutOfRange(outside);
    EXPECT_NEAR(outside[0], 0.5f, 1e-6f);
    EXPECT_NEAR(outside[1], -0.5f, 1e-6f);
}

TEST(WaveOperations, RotateWave) {
    const struct {
        int64_t k, limit;
        Wave out;
    } cases[] = {
        {1, 4, {1, 2, 3, 0}},  {3, 4, {3, 0, 1, 2}},  {0, 4, {0, 1, 2, 3}}, {4, 4, {0, 1, 2, 3}},
        {-1, 4, {0, 1, 2, 3}}, {-5, 4, {0, 1, 2, 3}}, {2, 1, {0, 1, 2, 3}}, {1 << 30, 1 << 30, {0, 1, 2, 3}},
    };
    for (const auto& c : cases) {
        Wave w{0, 1, 2, 3};
        rotateWave(w, c.k, c.limit);
        EXPECT_EQ(w, c.out) << c.k;
    }
}

// Every command with hostile N, A, lengths and selects: no crash (the sanitizer build checks
// memory), the waves keep their size and no pin ever holds a non-finite sample.
TEST(WaveModel, HostileParametersOverEveryCommand) {
    const float values[] = {kNaN, kInf, -kInf, -1e9f, -1.0f, 0.0f, 0.5f, 1e9f};
    const float lengths[] = {1.0f, 2.5f, 13.0f};
    for (float length : lengths) {
        Editor e(length);
        const auto n = size_t(e.model.sampleCount());
        for (int32_t select : {-7, 1, 5}) {
            e.model.setSelect(select);
            e.model.runModifier(kCopyCommand, 0, 0);
            for (float n1 : values) {
                for (float a : values) {
                    for (int32_t g = -2; g < 30; ++g) {
                        e.model.runGenerator(g, n1, a);
                        e.model.runModifier(30, 0, 0); // keeps the wave non-zero for the next one
                    }
                    e.model.runGenerator(0, 0, 0);
                    for (int32_t m = -2; m < 40; ++m)
                        e.model.runModifier(m, n1, a);
                    for (int32_t k = 0; k < 4; ++k) {
                        ASSERT_EQ(e.model.wave(k).size(), n);
                        for (float x : e.pin(k))
                            ASSERT_TRUE(std::isfinite(x)) << length << " " << n1 << " " << a;
                    }
                }
            }
        }
    }
}

} // namespace
