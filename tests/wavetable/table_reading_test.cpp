// The wave-reading steps of the players, with values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "modules/wavetable/table_reading.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

TEST(VoiceReading, BandTableReadsSpanTheTableFromFirstToLastSample) {
    pq::BandTable ramp;
    std::iota(ramp.begin(), ramp.end(), 0.0f); // sample i holds i
    const struct {
        float phase, value;
    } cases[] = {{0.0f, 0.0f}, {0.5f, 1023.5f}, {0.25f, 511.75f}, {1.0f, 2047.0f}};
    for (const auto& c : cases)
        EXPECT_EQ(pq::readBandTable(ramp.data(), c.phase), c.value) << c.phase;
}

TEST(VoiceReading, PhasesWrapOnceTheyReachOne) {
    const struct {
        float phase, increment, next;
    } cases[] = {{0.5f, 0.25f, 0.75f}, {0.75f, 0.25f, 0.0f}, {0.75f, 0.5f, 0.25f}, {0.75f, 2.5f, 0.25f}};
    for (const auto& c : cases)
        EXPECT_EQ(pq::advanceVoicePhase(c.phase, c.increment), c.next) << c.phase << " + " << c.increment;
}

TEST(VoiceReading, WarpReadsEachSideOfTheWarpPointAsHalfTheWave) {
    // Warp point 0.25 (Warp 0, modulation 0.5 at depth 0.5): the first quarter of the phase
    // reads the first half of the wave.
    const pq::WarpShape quarter = pq::warpShape(0.0f, 0.5f, 0.5f);
    EXPECT_EQ(quarter.h, 0.25f);
    EXPECT_EQ(pq::warpPhase(0.125f, quarter), 0.25f);
    EXPECT_EQ(pq::warpPhase(0.25f, quarter), 0.5f);
    EXPECT_EQ(pq::warpPhase(0.625f, quarter), 0.5f + (0.5f / 0.75f) * 0.375f);
    // The point is limited to 0 .. 1, and NaN puts it at 0.
    EXPECT_EQ(pq::warpShape(3.0f, 0.0f, 0.0f).h, 1.0f);
    EXPECT_EQ(pq::warpShape(kNaN, 0.0f, 0.0f).h, 0.0f);
    EXPECT_EQ(pq::warpPhase(0.5f, pq::warpShape(-1.0f, 0.0f, 0.0f)), 0.75f);
    EXPECT_EQ(pq::warpPhase(0.5f, pq::warpShape(0.5f, 0.0f, 0.0f)), 0.5f);
}

TEST(VoiceReading, PlayingVoicesSumsTheirReadsAndStepsTheirPhases) {
    pq::BandTable ramp;
    std::iota(ramp.begin(), ramp.end(), 0.0f);
    float phase[] = {0.0f, 0.5f};
    const float increment[] = {0.25f, 0.5f};
    EXPECT_EQ(pq::playVoices<false>(phase, increment, 2, ramp.data(), {}), 511.75f + 0.0f);
    EXPECT_EQ(phase[0], 0.25f);
    EXPECT_EQ(phase[1], 0.0f);
    // Warped at 0.5 the read is the plain one.
    EXPECT_EQ(pq::playVoices<true>(phase, increment, 2, ramp.data(), pq::warpShape(0.5f, 0.0f, 0.0f)),
              1023.5f + 1023.5f);
}

TEST(VoiceReading, RingFactorMixesTheRingInputByDepthAndSwitchesOffAtMinusTwo) {
    const struct {
        float ring, depth, factor;
    } cases[] = {{0.5f, 1.0f, 0.5f},  {0.5f, 0.0f, 1.0f},  {1.0f, 0.5f, 1.0f},
                 {-1.0f, 0.5f, 0.0f}, {-2.0f, 1.0f, 1.0f}, {-3.0f, 1.0f, 1.0f}};
    for (const auto& c : cases)
        EXPECT_EQ(pq::ringFactor(c.ring, c.depth), c.factor) << c.ring << " at " << c.depth;
}

TEST(LfoReading, LookupClampsToTheWaveAndInterpolatesUpToItsLastSample) {
    const std::vector<float> table = {0.0f, 10.0f, 20.0f, 20.0f}; // three samples and the copy
    const auto smooth = [&](float p) { return pq::lookupWave<true>(table.data(), 2, 2.0f, p); };
    const auto stepped = [&](float p) { return pq::lookupWave<false>(table.data(), 2, 2.0f, p); };
    const struct {
        float position, interpolated, plain;
    } cases[] = {{0.0f, 0.0f, 0.0f},   {0.5f, 5.0f, 0.0f},  {1.5f, 15.0f, 10.0f}, {2.0f, 20.0f, 20.0f},
                 {5.0f, 20.0f, 20.0f}, {-1.0f, 0.0f, 0.0f}, {kNaN, 0.0f, 0.0f},   {kInf, 20.0f, 20.0f}};
    for (const auto& c : cases) {
        EXPECT_EQ(smooth(c.position), c.interpolated) << c.position;
        EXPECT_EQ(stepped(c.position), c.plain) << c.position;
    }
}

TEST(LfoReading, PhaseWrapsIntoTheWaveAndRestartsWhenNotFinite) {
    const struct {
        float phase, wrapped;
    } cases[] = {{3.0f, 3.0f},  {4.0f, 4.0f}, {5.0f, 1.0f}, {13.0f, 1.0f}, {-1.0f, 3.0f},
                 {-9.0f, 3.0f}, {kNaN, 0.0f}, {kInf, 0.0f}, {-kInf, 0.0f}, {0.0f, 0.0f}};
    for (const auto& c : cases)
        EXPECT_EQ(pq::wrapLfoPhase(c.phase, 4.0f), c.wrapped) << c.phase;
}

TEST(LfoReading, FadeInRisesAsASquareThenHoldsUntilRestarted) {
    pq::FadeIn fade;
    // Fade In 0.5 at a quarter-second sample: the envelope climbs 0.25 a sample.
    for (float expected : {0.0625f, 0.25f, 0.5625f, 1.0f, 1.0f, 1.0f})
        EXPECT_EQ(fade.gain(0.5f, 0.25f), expected);
    EXPECT_TRUE(fade.done);
    EXPECT_EQ(fade.gain(0.9f, 0.25f), 1.0f); // done: a new Fade In waits for the restart
    fade.restart();
    EXPECT_EQ(fade.gain(0.5f, 0.25f), 0.0625f);

    pq::FadeIn off;
    EXPECT_EQ(off.gain(0.0f, 0.25f), 1.0f);
    EXPECT_TRUE(off.done);
    pq::FadeIn beyond; // Fade In above 1 holds the gain at 0
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(beyond.gain(2.0f, 0.25f), 0.0f);
}

} // namespace
