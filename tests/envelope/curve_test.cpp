// The envelope's curve maths: the time scale in both exponent forms and the ramp recursion's
// parameters, including the steep ends of the curve range and hostile inputs.
#include <cmath>
#include <cstdint>
#include <tuple>

#include <gtest/gtest.h>

#include "modules/envelope/envelope_curve.h"

namespace {

using pq::envelope::ExponentForm;
using pq::envelope::makeRamp;
using pq::envelope::Ramp;
using pq::envelope::stageSeconds;

// Runs the recursion as the module does: the sample (counted from 1) on which the level
// first reaches the target, or 0 when it does not within `maxSamples`.
int64_t samplesToTarget(const Ramp& ramp, double level, double target, int64_t maxSamples) {
    const bool rising = target > level;
    double distance = ramp.distance;
    for (int64_t n = 1; n <= maxSamples; ++n) {
        if (ramp.tracksDistance) {
            distance *= ramp.growth;
            level = ramp.asymptote + distance;
        } else {
            level += (ramp.asymptote - level) * ramp.coefficient;
        }
        if (rising ? level >= target : level <= target) return n;
    }
    return 0;
}

TEST(EnvelopeCurve, StageSecondsSpansOneMillisecondToTenSeconds) {
    for (ExponentForm form : {ExponentForm::Newest, ExponentForm::SingleModule}) {
        EXPECT_EQ(stageSeconds(0.0f, form), 0.001f);
        EXPECT_EQ(stageSeconds(0.25f, form), 0.01f);
        EXPECT_EQ(stageSeconds(1.0f, form), 10.0f);
        EXPECT_NEAR(stageSeconds(0.075f, form), 0.0019953f, 1e-7f);
        EXPECT_EQ(stageSeconds(NAN, form), 0.001f);
    }
}

TEST(EnvelopeCurve, SingleModuleExponentDiffersInTheLastBit) {
    // 0.75 * 10 * 0.4f - 3 is 4.47e-8 rather than 0, one float step above 1 second.
    EXPECT_EQ(stageSeconds(0.75f, ExponentForm::Newest), 1.0f);
    EXPECT_EQ(stageSeconds(0.75f, ExponentForm::SingleModule), std::nextafter(1.0f, 2.0f));
}

TEST(EnvelopeCurve, ExactParametersOfARisingConvexRamp) {
    // Curve 1 over the full range in 100 samples: k = 10, a = 0.1.
    const Ramp r = makeRamp(0.0, 1.0, 1.0, 1.0f, 0.125f, 800.0);
    EXPECT_DOUBLE_EQ(r.coefficient, 1.0 - std::exp(-0.1));
    EXPECT_DOUBLE_EQ(r.asymptote, 1.0 + 1.0 / std::expm1(10.0));
    EXPECT_EQ(r.sampleLimit, 101);
}

TEST(EnvelopeCurve, ExactParametersOfAFallingConcaveRamp) {
    // Curve -1 from 0.8 to 0.3 over range 0.5: the asymptote lies behind the start.
    const Ramp r = makeRamp(0.8, 0.3, 0.5, -1.0f, 1.0f, 100.0);
    EXPECT_DOUBLE_EQ(r.coefficient, -std::expm1(10.0 / 50.0));
    EXPECT_DOUBLE_EQ(r.asymptote, 0.8 + 0.5 / std::expm1(10.0));
    EXPECT_EQ(r.sampleLimit, 51);
}

TEST(EnvelopeCurve, SampleLimitIsNominalLengthRoundedUpPlusOne) {
    struct Case {
        double level, target, range, rate;
        float seconds;
        int32_t limit;
    } cases[] = {
        {0.0, 1.0, 1.0, 1000.0, 0.125f, 126},   // 125 samples
        {0.5, 0.0, 0.5, 1000.0, 0.125f, 64},    // 62.5
        {0.5, 0.25, 0.125, 1000.0, 0.125f, 33}, // the distance to go (0.25) exceeds the range
        {0.0, 1.0, 1.0, 48000.0, 1e30f, pq::envelope::kMaxRampSamples},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(makeRamp(c.level, c.target, c.range, 0.0f, c.seconds, c.rate).sampleLimit, c.limit)
            << c.level << " -> " << c.target;
    }
}

TEST(EnvelopeCurve, RampsEndByComparisonNearTheirNominalLength) {
    // Up to curve 3.3 every ramp reaches its target by itself, and the limit must not cut it;
    // slow-start ramps from levels far from 0 included.
    for (int tenths = -50; tenths <= 33; ++tenths) {
        const float curve = tenths / 10.0f;
        for (double seconds : {0.0002, 0.002, 0.05}) {
            for (auto [level, target, range] :
                 {std::tuple{0.0, 1.0, 1.0}, {1.0, 0.7, 0.3}, {0.4, 0.0, 0.4}}) {
                const Ramp r = makeRamp(level, target, range, curve, float(seconds), 48000.0);
                const int64_t n = samplesToTarget(r, level, target, int64_t(r.sampleLimit) * 4);
                ASSERT_GT(n, 0) << curve << " " << seconds;
                EXPECT_LE(n, r.sampleLimit) << curve << " " << seconds << " " << level;
                EXPECT_GE(double(n), 0.99 * (r.sampleLimit - 2)) << curve << " " << seconds << " " << level;
            }
        }
    }
}

TEST(EnvelopeCurve, SteepEndsLeaveTheStartAndEndWithinTheLimit) {
    // Curve -5 from 0: the first step must move the level off 0.
    const Ramp slow = makeRamp(0.0, 1.0, 1.0, -5.0f, 0.002f, 48000.0);
    EXPECT_LT(slow.asymptote, 0.0);
    EXPECT_GT(0.0 + (slow.asymptote - 0.0) * slow.coefficient, 0.0);
    // Curve 5: the level may stall in the last bits below 1; the limit ends it one sample
    // after the nominal 96.
    const Ramp fast = makeRamp(0.0, 1.0, 1.0, 5.0f, 0.125f, 768.0);
    EXPECT_EQ(fast.sampleLimit, 97);
    double level = 0.0;
    for (int i = 0; i < 96; ++i)
        level += (fast.asymptote - level) * fast.coefficient;
    EXPECT_GT(level, 1.0 - 1e-9);
}

TEST(EnvelopeCurve, HostileInputsGiveFiniteShortRamps) {
    struct Case {
        const char* what;
        double level, target, range;
        float curve, seconds;
        double rate;
    } cases[] = {
        {"NaN curve", 0.0, 1.0, 1.0, NAN, 0.01f, 48000.0},
        {"infinite curve", 0.0, 1.0, 1.0, INFINITY, 0.01f, 48000.0},
        {"minus infinite curve", 0.0, 1.0, 1.0, -INFINITY, 0.01f, 48000.0},
        {"NaN time", 0.0, 1.0, 1.0, 0.3f, NAN, 48000.0},
        {"zero range", 0.5, 0.7, 0.0, -2.0f, 0.01f, 48000.0},
        {"zero time", 0.0, 1.0, 1.0, -2.0f, 0.0f, 48000.0},
        {"NaN range", 0.0, 1.0, NAN, 1.0f, 0.01f, 48000.0},
        {"rate 0", 0.0, 1.0, 1.0, 1.0f, 0.01f, 0.0},
    };
    for (const Case& c : cases) {
        const Ramp r = makeRamp(c.level, c.target, c.range, c.curve, c.seconds, c.rate);
        EXPECT_TRUE(std::isfinite(r.coefficient) && std::isfinite(r.asymptote)) << c.what;
        EXPECT_GE(r.sampleLimit, 1) << c.what;
        EXPECT_LE(r.sampleLimit, 481) << c.what;
    }
}

} // namespace
