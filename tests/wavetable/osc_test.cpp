// The array oscillator measured on its output, in the edition this executable is built for.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>

#include "modules/wavetable/array_osc.h"
#include "runtime/audio/edition.h"
#include "tests/wavetable/wave_rig.h"

namespace {

using wavetest::amplitudeAt;
using wavetest::frequencyOf;
using wavetest::peakOf;

using Pin = ArrayOsc::Pin;
using enum ArrayOsc::Pin;
constexpr float kFs = 48000.0f;
constexpr bool kSingle = pq::kSingleModuleBuild;

// The frequency of pitch-table entry trunc(pitch * 11999), as the module computes it.
float tableFrequency(float pitch) {
    const int32_t index = static_cast<int32_t>(pitch * 11999.0f);
    return 13.75f * std::exp((static_cast<float>(index) * (1.0f / 12000.0f)) * 6.931472f);
}

struct Osc : wavetest::Rig<ArrayOsc> {
    explicit Osc(float pitch)
        : Rig({kPitch, kPitchModDepth, kPitchMod, kSpare, kRingMod, kRingModDepth, kLevel, kSync, kMorph,
               kWarp, kWarpModDepth, kWarpMod, kSpreadA, kSpreadB},
              kSignalOut, kFs) {
        set(kPitch, pitch);
        value(kVoicesA, 0);
    }
};

TEST(ArrayOsc, TablePathIsFlatByACentTheComputedPathIsNot) {
    // Pitch 0.5 reads entry 5999 (439.75 Hz); a spread that leaves 0 .. 1 computes 440 Hz.
    Osc table(0.5f);
    auto out = table.run(size_t(kFs));
    EXPECT_NEAR(frequencyOf(out, kFs), 439.75, 0.02);
    EXPECT_NEAR(peakOf(out), 0.5f, 1e-3f);

    Osc computed(0.5f);
    computed.set(kSpreadA, 0.6f);
    EXPECT_NEAR(frequencyOf(computed.run(size_t(kFs)), kFs), 440.0, 0.02);

    // Pitch offsets add a tenth of their value; pitch modulation adds Mod times Depth.
    Osc offset(0.4f);
    offset.value(kPitchOffsetA, 0.5f);
    offset.set(kPitchMod, 0.25f);
    offset.set(kPitchModDepth, 0.2f);
    EXPECT_NEAR(frequencyOf(offset.run(size_t(kFs)), kFs), tableFrequency(0.5f), 0.02);
}

TEST(ArrayOsc, BandTableFollowsThePitchOctave) {
    // Harmonics 1 and 40: table 2 (pitch 0.2) keeps both, table 5 (pitch 0.5) only the first.
    // Built tables play each harmonic at half its level, except table 0 of the single-module
    // build, which is the wave itself.
    std::vector<float> wave = wavetest::sine(2048, 0.5f);
    const auto h40 = wavetest::sine(2048, 0.5f, 40.0);
    for (size_t i = 0; i < wave.size(); ++i)
        wave[i] += h40[i];
    struct Case {
        float pitch;
        double h1, h40;
    };
    for (const Case c : {Case{0.05f, kSingle ? 0.5 : 0.25, kSingle ? 0.5 : 0.25}, Case{0.2f, 0.25, 0.25},
                         Case{0.5f, 0.25, 0.0}}) {
        Osc osc(c.pitch);
        osc.blob(kWaveA, wave);
        const auto out = osc.run(size_t(kFs));
        const double f = tableFrequency(c.pitch);
        EXPECT_NEAR(amplitudeAt(out, f, kFs), c.h1, 5e-3) << c.pitch;
        EXPECT_NEAR(amplitudeAt(out, 40.0 * f, kFs), c.h40, 5e-3) << c.pitch;
    }
}

TEST(ArrayOsc, VoiceCountsStartPhasesAndSync) {
    // Seven voices start at phases 0, 0.05, .. 0.3 and play at 1/sqrt(7) each.
    std::complex<double> sum = 0;
    for (int v = 0; v < 7; ++v)
        sum += std::polar(1.0, 2.0 * std::numbers::pi * 0.05 * v);
    for (int32_t code : {6, 9, std::numeric_limits<int32_t>::max()}) {
        Osc osc(0.3f);
        osc.value(kVoicesA, code);
        EXPECT_NEAR(peakOf(osc.run(4096)), 0.5 * std::abs(sum) / std::sqrt(7.0), 2e-3) << code;
        // After a sync every voice starts at 0.
        osc.set(kSync, 1.0f);
        EXPECT_NEAR(peakOf(osc.run(4096)), 0.5 * std::sqrt(7.0), 2e-3) << code;
    }
    for (int32_t code : {-1, -7, std::numeric_limits<int32_t>::min()}) {
        Osc osc(0.3f);
        osc.value(kVoicesA, code);
        EXPECT_EQ(peakOf(osc.run(1024)), 0.0f) << code;
    }
}

TEST(ArrayOsc, MorphCrossfadesAndChoosesTheRoutine) {
    // A: the default sine at 0.5; B: a built sine at 0.25, both starting at phase 0.
    struct Case {
        float morph;
        bool streaming;
        float peak;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const Case c : {Case{0.0f, false, 0.5f}, Case{0.25f, false, 0.4375f}, Case{1.0f, false, 0.25f},
                         Case{3.0f, false, 0.25f}, Case{0.5f, true, 0.375f}, Case{nan, false, 0.5f}}) {
        Osc osc(0.5f);
        osc.blob(kWaveB, wavetest::sine(2048));
        osc.set(kMorph, c.morph);
        if (c.streaming) osc.streaming(kMorph, true);
        EXPECT_NEAR(peakOf(osc.run(4096)), c.peak, 1e-3f) << c.morph;
    }
}

TEST(ArrayOsc, WarpLevelAndRing) {
    // Warp 0.25: the first quarter of each cycle plays the first (positive) half of the sine.
    Osc warp(0.2f);
    warp.value(kWarpMode, 1);
    warp.set(kWarp, 0.25f);
    const auto out = warp.run(size_t(kFs / 2));
    size_t positive = 0;
    for (float x : out)
        positive += x > 0.0f;
    EXPECT_NEAR(double(positive) / double(out.size()), 0.25, 0.01);

    struct Case {
        int32_t levelMode;
        float level, ring, ringDepth, peak;
    };
    for (const Case c : {Case{1, 0.3f, 0.0f, 0.0f, 0.15f}, Case{0, 0.3f, 0.0f, 0.0f, 0.5f},
                         Case{0, 0.0f, -3.0f, 1.0f, 0.5f}, Case{0, 0.0f, 0.0f, 1.0f, 0.0f},
                         Case{0, 0.0f, 0.5f, 1.0f, 0.25f}, Case{0, 0.0f, 0.5f, 0.5f, 0.375f}}) {
        for (float morph : {0.0f, 0.5f, 1.0f}) {
            Osc osc(0.5f);
            osc.set(kMorph, morph); // the same default sine on both waves
            osc.value(kLevelMode, c.levelMode);
            osc.set(kLevel, c.level);
            osc.set(kRingMod, c.ring);
            osc.set(kRingModDepth, c.ringDepth);
            EXPECT_NEAR(peakOf(osc.run(2048)), c.peak, 1e-3f) << c.level << " " << c.ring << " " << morph;
        }
    }
}

TEST(ArrayOsc, SyncRearmsBelowOneInMixAndOnlyAtZeroInAOnly) {
    for (float morph : {0.5f, 0.0f}) {
        Osc osc(0.5f);
        osc.set(kMorph, morph);
        osc.run(64);
        float* sync = osc.instance->buffer(kSync);
        for (int i = 0; i < 64; ++i)
            sync[i] = i < 10 ? 0.0f : i < 30 ? 1.0f : i < 40 ? 0.5f : 1.0f;
        const auto out = osc.run(64);
        if (morph > 0.0f) {
            EXPECT_EQ(out[40], out[10]);
        } else {
            EXPECT_NE(out[40], out[10]);
        }
    }
}

TEST(ArrayOsc, ChangeDetectorIgnoresASwapOfSpreadsThatKeepsItsSum) {
    auto render = [](bool swap) {
        Osc osc(0.5f);
        osc.set(kMorph, 0.5f);
        osc.value(kVoicesA, 1);
        osc.value(kVoicesB, 1);
        osc.set(kSpreadA, 0.25f);
        osc.set(kSpreadB, 0.5f);
        auto out = osc.run(1024);
        osc.set(kSpreadA, swap ? 0.5f : 0.25f);
        osc.set(kSpreadB, swap ? 0.25f : 0.5f);
        const auto more = osc.run(4096);
        out.insert(out.end(), more.begin(), more.end());
        return out;
    };
    EXPECT_EQ(render(true), render(false));
}

TEST(ArrayOsc, EightAndFourVoiceLanesPlayAlike) {
    // Seven and six detuned voices, crossfaded, warped and levelled, in every routine: the
    // eight-voice lanes (where the processor has them) and the four-voice lanes differ only in
    // the order in which the voices are summed.
    for (float morph : {0.4f, 0.0f, 1.0f}) {
        auto render = [morph](bool wide) {
            Osc osc(0.45f);
            pqtest::moduleOf<ArrayOsc>(*osc.instance).setWideLanes(wide);
            osc.value(kVoicesA, 6);
            osc.value(kVoicesB, 5);
            osc.set(kSpreadA, 0.02f);
            osc.set(kSpreadB, 0.03f);
            osc.set(kMorph, morph);
            osc.value(kWarpMode, 1);
            osc.set(kWarp, 0.3f);
            osc.value(kLevelMode, 1);
            osc.set(kLevel, 0.8f);
            osc.blob(kWaveB, wavetest::sine(2048, 0.5f, 3.0));
            return osc.run(size_t(kFs));
        };
        const auto wide = render(true), baseline = render(false);
        ASSERT_EQ(wide.size(), baseline.size());
        for (size_t i = 0; i < wide.size(); ++i)
            ASSERT_NEAR(wide[i], baseline[i], 2e-6f) << "sample " << i << ", morph " << morph;
    }
}

TEST(ArrayOsc, SharedPitchTable) {
    pqhost::AudioEngine engine(kFs, 64);
    auto first = pqtest::makeDirect<ArrayOsc>(engine);
    first->open();
    bool fresh = true;
    auto* table = static_cast<float*>(engine.sharedBlock(u"pq ArrayOsc PitchLUT", 48000, fresh));
    ASSERT_FALSE(fresh);
    EXPECT_EQ(table[0], 13.75f);
    EXPECT_NEAR(table[5999], 439.75f, 0.01f);
    EXPECT_NEAR(table[11999], 14080.0f * std::exp2(-1.0f / 1200.0f), 0.05f);

    // A second instance finds the table filled; only the single-module build fills it again.
    std::fill(table, table + 12000, 1000.0f);
    auto instance = pqtest::makeDirect<ArrayOsc>(engine);
    for (int32_t pin : {kPitch, kPitchModDepth, kPitchMod, kSpare, kRingMod, kRingModDepth, kLevel, kSync,
                        kMorph, kWarp, kWarpModDepth, kWarpMod, kSpreadA, kSpreadB, kSignalOut})
        instance->addAudioPin(pin);
    instance->open();
    std::fill_n(instance->buffer(kPitch), 64, 0.5f);
    instance->queueGraphStart();
    instance->queueValue(0, kVoicesA, 0);
    std::vector<float> out;
    for (int b = 0; b < 750; ++b) {
        instance->runBlock();
        out.insert(out.end(), instance->buffer(kSignalOut), instance->buffer(kSignalOut) + 64);
    }
    EXPECT_NEAR(frequencyOf(out, kFs), kSingle ? 439.75 : 1000.0, 0.05);
}

TEST(ArrayOsc, WaveBlobs) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    auto withNan = wavetest::sine(2048, 0.4f);
    withNan[100] = nan;
    struct Case {
        std::vector<float> wave;
        int32_t extraBytes;
        float peak;
    };
    // After a 0.2 sine (played at 0.1): the default comes back for an empty blob or 1 to 3
    // bytes; NaN is ignored; odd lengths are resampled; a single sample is a constant, which
    // the conditioning turns into silence.
    for (const Case& c :
         {Case{{}, 0, 0.5f}, Case{{}, 3, 0.5f}, Case{withNan, 0, 0.1f},
          Case{wavetest::sine(1000, 0.4f), 0, 0.2f}, Case{wavetest::sine(4096, 0.4f), 2, 0.2f},
          Case{{0.3f}, 0, kSingle ? 0.3f : 0.0f}}) {
        Osc osc(0.5f);
        osc.blob(kWaveA, wavetest::sine(512, 0.2f));
        osc.run(64);
        osc.blob(kWaveA, c.wave, c.extraBytes);
        const auto out = osc.run(4096);
        EXPECT_NEAR(peakOf(out, 64), c.peak, 2e-3f) << c.wave.size() << " + " << c.extraBytes;
        if (c.wave.size() == 1000) {
            EXPECT_NEAR(frequencyOf(out, kFs, 64), 439.75, 0.5);
        }
    }
}

TEST(ArrayOsc, HostileValuesStayInsideTheTables) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float v : {nan, inf, -inf, 1e30f, -1e30f, -0.8f, 2.0f}) {
        for (float morph : {0.0f, 0.5f, 1.0f}) {
            Osc osc(v);
            osc.set(kMorph, morph);
            osc.value(kVoicesA, 6);
            osc.value(kVoicesB, std::numeric_limits<int32_t>::max());
            osc.value(kPitchOffsetA, v);
            osc.value(kWarpMode, 1);
            osc.set(kSpreadA, v);
            osc.set(kSpreadB, -v);
            osc.set(kWarp, v);
            osc.set(kWarpMod, v);
            osc.set(kWarpModDepth, v);
            osc.set(kPitchMod, v);
            osc.set(kPitchModDepth, 1.0f);
            for (float x : osc.run(1024))
                ASSERT_TRUE(std::isfinite(x)) << v << " " << morph;
        }
    }
    // A negative spread at pitch 0.5 stays on the table path; its outer voices clamp to the
    // table's ends.
    Osc clamp(0.5f);
    clamp.value(kVoicesA, 6);
    clamp.set(kSpreadA, -0.8f);
    for (float x : clamp.run(1024))
        ASSERT_TRUE(std::isfinite(x));
}

TEST(ArrayOsc, EventsOutsideTheBlockAreHarmless) {
    Osc osc(0.5f);
    osc.run(64);
    const float wave[3] = {0.1f, 0.2f, 0.3f};
    gmpi::MpEvent late{500,    100, kWaveB, 12, {0, 0}, reinterpret_cast<char*>(const_cast<float*>(wave)),
                       nullptr};
    gmpi::MpEvent odd{20, 100, kWaveA, 7, {0, 0}, reinterpret_cast<char*>(const_cast<float*>(wave)), &late};
    gmpi::MpEvent negative{-3,  100, kWaveA, -12, {0, 0}, reinterpret_cast<char*>(const_cast<float*>(wave)),
                           &odd};
    osc.instance->processRaw(64, &negative);
    for (float x : osc.run(256))
        ASSERT_TRUE(std::isfinite(x));
}

} // namespace
