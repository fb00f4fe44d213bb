// The array LFO measured on its output, in the edition this executable is built for.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "modules/wavetable/array_lfo.h"
#include "tests/wavetable/wave_rig.h"

namespace {

using wavetest::frequencyOf;
using wavetest::peakOf;

using Pin = ArrayLFO::Pin;
using enum ArrayLFO::Pin;
constexpr float kFs = 48000.0f;
const float kDefaultStep = float(0.5 * std::sin(2.0 * std::numbers::pi / 512.0)); // t[1] of the default wave

struct Lfo : wavetest::Rig<ArrayLFO> {
    // A streaming gate held high keeps the module running; interpolation on.
    explicit Lfo(int32_t mode)
        : Rig({kRate, kGate, kTrigger, kFadeIn, kLevel, kSpare, kTempo}, kSignalOut, kFs) {
        streaming(kGate, true);
        set(kGate, 1.0f);
        value(kMode, mode);
        value(kInterpolate, 1);
    }
};

TEST(ArrayLfo, FreeRunCyclesTheDefaultWaveOver511Positions) {
    // 5000 positions per second per unit of Rate; a negative Rate runs backwards as fast.
    for (float rate : {0.1f, 1.0f, 4.0f, -1.0f}) {
        Lfo lfo(1);
        lfo.set(kRate, rate);
        const auto out = lfo.run(size_t(3.5 * kFs));
        // Single-precision phase steps drift by a few parts in 10000.
        const double expected = std::fabs(rate) * 5000.0 / 511.0;
        EXPECT_NEAR(frequencyOf(out, kFs), expected, 2e-3 * expected) << rate;
        EXPECT_NEAR(peakOf(out), 0.5f, 1e-3f) << rate;
    }
}

TEST(ArrayLfo, FreeRunAboveTenStandsStillAndTriggerRestartsOneStepIn) {
    Lfo lfo(1);
    lfo.set(kRate, 11.0f);
    auto out = lfo.run(1000);
    for (float x : out)
        ASSERT_EQ(x, out[0]);

    lfo.set(kRate, 1.0f);
    lfo.run(3000);
    lfo.set(kTrigger, 1.0f);
    out = lfo.run(1);
    const float increment = 5000.0f * (1.0f / kFs);
    EXPECT_FLOAT_EQ(out[0], increment * kDefaultStep);
    // Holding the trigger high resets once only.
    EXPECT_GT(out[63], out[1]);
}

TEST(ArrayLfo, TempoSyncMultipliers) {
    struct Case {
        float rate, tempo, multiplier;
    };
    for (const Case c : {Case{0.05f, 1200.0f, 16.0f / 3.0f}, Case{0.5f, 120.0f, 128.0f / 3.0f},
                         Case{1.0f, 12.0f, 16384.0f / 3.0f}, Case{5.0f, 12.0f, 16384.0f / 3.0f}}) {
        Lfo lfo(4);
        lfo.set(kRate, c.rate);
        lfo.set(kTempo, c.tempo);
        const auto out = lfo.run(size_t(kFs));
        EXPECT_NEAR(frequencyOf(out, kFs), c.tempo * c.multiplier / 511.0, 0.01) << c.rate;
    }
    // Below 0.05 the division is 0 and the previous increment stays.
    Lfo lfo(4);
    lfo.set(kRate, 0.5f);
    lfo.set(kTempo, 120.0f);
    lfo.run(1000);
    lfo.set(kRate, 0.04f);
    EXPECT_NEAR(frequencyOf(lfo.run(size_t(kFs)), kFs), 120.0 * 128.0 / 3.0 / 511.0, 0.01);
}

TEST(ArrayLfo, OneShotHoldsItsStartThenRunsOnceAndHoldsTheLastSample) {
    Lfo lfo(2);
    lfo.set(kGate, 0.0f);
    lfo.set(kRate, 0.1f); // 250 positions per second: the 4 positions take 768 samples
    lfo.blob(kWave, {0.0f, 0.1f, 0.2f, 0.3f, 0.4f});
    auto out = lfo.run(640);
    const float firstStep = 0.1f * (250.0f / kFs);
    for (float x : out)
        ASSERT_FLOAT_EQ(x, firstStep);

    lfo.set(kGate, 1.0f);
    lfo.set(kTrigger, 1.0f);
    out = lfo.run(64 * 40);
    EXPECT_NEAR(out[700], 0.1f * (701.0f + 1.0f) * 250.0f / kFs, 1e-4f);
    // From the end of the run on, every sample (the stop routine's slice included) holds the
    // last sample of the wave, and the output is announced as constant.
    for (size_t i = 770; i < out.size(); ++i)
        ASSERT_EQ(out[i], 0.4f) << i;
    bool stopped = false;
    for (const auto& s : lfo.instance->streaming)
        stopped |= s.pinId == kSignalOut && !s.streaming;
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(lfo.instance->sleeping());

    // A new wave (as a wave editor sends on every edit) after the run has ended does not
    // start it again: the output holds the new wave's last sample.
    for (const std::vector<float>& wave :
         {std::vector<float>{0.9f, 0.8f, 0.7f, 0.6f, 0.5f}, std::vector<float>{0.9f, 0.8f, 0.7f}}) {
        lfo.blob(kWave, wave);
        out = lfo.run(64 * 20);
        for (size_t i = 1; i < out.size(); ++i)
            ASSERT_EQ(out[i], wave.back()) << wave.size() << " " << i;
    }
}

TEST(ArrayLfo, StepAdvancesTenRatePositionsPerRise) {
    Lfo lfo(3);
    std::vector<float> ramp(101);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = float(i) / 100.0f;
    lfo.blob(kWave, ramp);
    lfo.set(kRate, 0.5f);
    lfo.run(256);
    for (float expected : {0.05f, 0.10f, 0.15f}) {
        lfo.set(kTrigger, 1.0f);
        lfo.value(kMode, 3);
        auto out = lfo.run(256); // held high over many samples: one step
        for (float x : out)
            ASSERT_FLOAT_EQ(x, expected);
        lfo.set(kTrigger, 0.0f);
        lfo.value(kMode, 3);
        out = lfo.run(128);
        for (float x : out)
            ASSERT_FLOAT_EQ(x, expected);
    }
}

TEST(ArrayLfo, FadeInAndLevel) {
    struct Case {
        float fadeIn;
        int32_t levelMode, levelEnable;
        float level, atHalfSecond, afterOneSecond;
    };
    // A one-sample wave plays its value as a constant, so the output is 0.4 times the gain.
    for (const Case c : {Case{0.5f, 0, 0, 0.0f, 0.1f, 0.4f}, Case{0.0f, 0, 0, 0.0f, 0.4f, 0.4f},
                         Case{1.0f, 0, 0, 0.0f, 0.0f, 0.0f}, Case{2.0f, 0, 0, 0.0f, 0.0f, 0.0f},
                         Case{0.5f, 1, 0, 0.3f, 0.1f, 0.4f}, Case{0.5f, 1, 1, 0.3f, 0.12f, 0.12f}}) {
        Lfo lfo(1);
        lfo.blob(kWave, {0.4f});
        lfo.set(kRate, 1.0f);
        lfo.set(kFadeIn, c.fadeIn);
        lfo.set(kLevel, c.level);
        lfo.value(kLevelMode, c.levelMode);
        lfo.value(kLevelEnable, c.levelEnable);
        const auto out = lfo.run(size_t(1.1 * kFs));
        EXPECT_NEAR(out[size_t(kFs / 2)], c.atHalfSecond, 1e-3f) << c.fadeIn << " " << c.levelMode;
        EXPECT_NEAR(out.back(), c.afterOneSecond, 1e-3f) << c.fadeIn << " " << c.levelMode;
    }
}

TEST(ArrayLfo, UnknownModeKeepsTheRoutineAndOffSilences) {
    Lfo lfo(1);
    lfo.set(kRate, 4.0f);
    lfo.run(1000);
    lfo.value(kMode, 7);
    EXPECT_NEAR(frequencyOf(lfo.run(size_t(kFs)), kFs), 20000.0 / 511.0, 0.01);
    lfo.value(kMode, 0);
    const auto out = lfo.run(2000);
    for (size_t i = 64; i < out.size(); ++i)
        ASSERT_EQ(out[i], 0.0f);
}

TEST(ArrayLfo, WaveBlobSizes) {
    Lfo lfo(1);
    lfo.set(kRate, 4.0f);
    // 2048 + 2 bytes: 512 samples, trailing bytes ignored.
    lfo.blob(kWave, wavetest::sine(512, 0.2f), 2);
    auto out = lfo.run(size_t(kFs / 2));
    EXPECT_NEAR(peakOf(out, 64), 0.2f, 1e-3f);
    EXPECT_NEAR(frequencyOf(out, kFs), 20000.0 / 511.0, 0.05);

    // A wave holding NaN or infinity is ignored.
    auto bad = wavetest::sine(64, 0.45f);
    bad[10] = std::numeric_limits<float>::quiet_NaN();
    lfo.blob(kWave, bad);
    bad[10] = std::numeric_limits<float>::infinity();
    lfo.blob(kWave, bad);
    out = lfo.run(size_t(kFs / 2));
    EXPECT_NEAR(peakOf(out), 0.2f, 1e-3f);

    // 1 to 3 bytes count as empty: the default sine comes back.
    lfo.blob(kWave, {}, 3);
    EXPECT_NEAR(peakOf(lfo.run(size_t(kFs / 2)), 64), 0.5f, 1e-3f);

    // A long wave, then a two-sample one while the phase is far beyond it.
    lfo.blob(kWave, wavetest::sine(4096, 0.3f));
    lfo.run(3000);
    lfo.blob(kWave, {0.25f, -0.25f});
    out = lfo.run(1000);
    for (size_t i = 64; i < out.size(); ++i)
        ASSERT_LE(std::fabs(out[i]), 0.25f);
}

TEST(ArrayLfo, HostileValuesKeepTheOutputBounded) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int32_t mode :
         {1, 2, 3, 4, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}) {
        for (float v : {nan, inf, -inf, 1e30f, -1e30f, -3.0f}) {
            Lfo lfo(mode);
            lfo.set(kRate, v);
            lfo.set(kTempo, v);
            lfo.set(kFadeIn, v);
            lfo.set(kTrigger, 1.0f);
            const auto out = lfo.run(512);
            for (float x : out)
                ASSERT_LE(std::fabs(x), 0.5f) << mode << " " << v;
            lfo.set(kRate, 1.0f);
            lfo.set(kTempo, 100.0f);
            lfo.set(kFadeIn, 0.0f);
            lfo.value(kMode, 1);
            for (float x : lfo.run(512))
                ASSERT_LE(std::fabs(x), 0.5f) << mode << " " << v;
        }
    }
}

TEST(ArrayLfo, EventsOutsideTheBlockAreHarmless) {
    Lfo lfo(1);
    lfo.set(kRate, 1.0f);
    lfo.run(64);
    int32_t mode = 4;
    const float wave[2] = {0.1f, 0.2f};
    gmpi::MpEvent late{1000, 100, kMode, 4, {mode, 0}, nullptr, nullptr};
    gmpi::MpEvent blob{-5, 100, kWave, -8, {0, 0}, reinterpret_cast<char*>(const_cast<float*>(wave)), &late};
    gmpi::MpEvent early{30, 100, kWave, 8, {0, 0}, reinterpret_cast<char*>(const_cast<float*>(wave)), &blob};
    gmpi::MpEvent unknown{10, 100, 99, 4, {1, 0}, nullptr, &early};
    lfo.instance->processRaw(64, &unknown);
    lfo.instance->processRaw(64, nullptr);
    for (float x : lfo.run(64))
        ASSERT_LE(std::fabs(x), 0.5f);
}

} // namespace
