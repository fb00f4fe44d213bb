// Envelope3 driven block by block through the substitute host, in the edition this
// executable is built for (newest as in pq_Modules, earlier as in pq_ADSR3).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "modules/envelope/envelope3.h"
#include "runtime/audio/edition.h"
#include "tests/support/direct_module.h"

namespace {

using Pin = Envelope3::Pin;
using enum Envelope3::Pin;

constexpr int32_t kBlock = 64;
constexpr float kRate = 48000.0f;

// One envelope with every audio input held at its default (gate low unless asked) after its
// first block, and a record of all output samples. While the module sleeps its output buffer keeps its last
// (constant) block.
class Rig {
public:
    explicit Rig(float gate = 0.0f) : env(pqtest::makeDirect<Envelope3>(engine, "envelope")) {
        const float defaults[] = {0.0f, gate, 0.075f, 0.5f, 0.7f, 0.4f, 1.0f, 0.3f, 0.0f, 0.0f};
        for (int32_t pin = 0; pin < kSignalOut; ++pin) {
            in[pin] = env->addAudioPin(pin);
            std::fill(in[pin], in[pin] + kBlock, defaults[pin]);
        }
        out = env->addAudioPin(kSignalOut);
        env->open();
        env->queueGraphStart(0);
        for (int32_t pin = 0; pin < kSignalOut; ++pin)
            env->queueStreaming(0, pin, false);
        // The first block: a gate already high here starts nothing.
        run();
    }

    // A new constant value of a non-streaming input from `time` of the next block on.
    void hold(int32_t pin, float value, int32_t time = 0) {
        std::fill(in[pin] + time, in[pin] + kBlock, value);
        env->queueStreaming(time, pin, false);
    }
    // Sample index (in `output`) of the next block's sample `time`.
    int64_t at(int32_t time = 0) const { return int64_t(output.size()) + time; }

    void run(int blocks = 1) {
        for (int b = 0; b < blocks; ++b) {
            env->runBlock(kBlock);
            output.insert(output.end(), out, out + kBlock);
            // A value that changed inside a block holds for the whole of the next one.
            for (int32_t pin = 0; pin < kSignalOut; ++pin)
                std::fill(in[pin], in[pin] + kBlock, in[pin][kBlock - 1]);
        }
    }
    // First index from `from` on whose output satisfies `pred`, or -1.
    template <class Pred> int64_t find(int64_t from, Pred pred) const {
        for (int64_t i = from; i < int64_t(output.size()); ++i)
            if (pred(output[size_t(i)])) return i;
        return -1;
    }
    // The last streaming state the module announced for its output.
    bool outputStreaming() const {
        for (auto it = env->streaming.rbegin(); it != env->streaming.rend(); ++it)
            if (it->pinId == kSignalOut) return it->streaming;
        return false;
    }

    pqhost::AudioEngine engine{kRate, kBlock};
    std::unique_ptr<pqhost::AudioInstance> env;
    float* in[kSignalOut] = {};
    float* out = nullptr;
    std::vector<float> output;
};

// Samples from `start` until the output first leaves 1.0 after having reached it: the attack's
// length when the decay follows at once.
int64_t attackLength(const Rig& rig, int64_t start) {
    const int64_t top = rig.find(start, [](float v) { return v == 1.0f; });
    if (top < 0) return -1;
    const int64_t fall = rig.find(top, [](float v) { return v < 1.0f; });
    return fall < 0 ? -1 : fall - start;
}

TEST(Envelope3, AttackAtDefaultsTakesAbout96SamplesThenDecaysToSustainAndSleeps) {
    Rig rig;
    rig.run();
    const int64_t start = rig.at();
    rig.hold(kGate, 1.0f);
    rig.run(3);
    const int64_t top = rig.find(start, [](float v) { return v == 1.0f; });
    EXPECT_GE(top - start + 1, 95);
    EXPECT_LE(top - start + 1, 97);
    for (int64_t i = start + 1; i <= top; ++i)
        ASSERT_GT(rig.output[size_t(i)], rig.output[size_t(i - 1)]) << i;

    rig.run(40); // decay: 0.3 of 100 ms
    EXPECT_EQ(rig.output.back(), 0.7f);
    EXPECT_FALSE(rig.outputStreaming());
    EXPECT_TRUE(rig.env->sleeping());
}

TEST(Envelope3, CurveShapesStartAndEndOnTime) {
    // Attack 10 ms (480 samples, at most 482 with the end on the sample after the nominal
    // length); the level halfway through tells the shape.
    struct Case {
        float curve;
        float halfwayMin, halfwayMax;
    } cases[] = {
        {-5.0f, 0.0f, 1e-6f}, {-2.0f, 0.0f, 0.3f}, {0.0f, 0.49f, 0.51f},
        {2.0f, 0.7f, 1.0f},   {5.0f, 0.99f, 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.curve);
        Rig rig;
        rig.hold(kAttack, 0.25f);
        rig.hold(kAttackCurve, c.curve);
        rig.hold(kSustain, 0.5f);
        rig.run();
        const int64_t start = rig.at();
        rig.hold(kGate, 1.0f);
        rig.run(10);
        EXPECT_GT(rig.output[size_t(start)], 0.0f); // leaves 0 at once, however slowly
        const float halfway = rig.output[size_t(start + 239)];
        EXPECT_GE(halfway, c.halfwayMin);
        EXPECT_LE(halfway, c.halfwayMax);
        const int64_t length = attackLength(rig, start);
        EXPECT_GE(length, 476);
        EXPECT_LE(length, 482);
    }
}

TEST(Envelope3, SteepSlowStartReleaseFromTheSustainCurvesDownOnTime) {
    // Release 10 ms from 0.7: 336 samples. A slow start this steep lies within the level's
    // last bits of 0.7 for most of the way; the fall must still be a curve, not one jump at
    // the end.
    for (float curve : {-4.0f, -5.0f}) {
        SCOPED_TRACE(curve);
        Rig rig;
        rig.hold(kRelease, 0.25f);
        rig.hold(kReleaseCurve, curve);
        rig.hold(kGate, 1.0f);
        rig.run(40);
        ASSERT_EQ(rig.output.back(), 0.7f);
        const int64_t fall = rig.at();
        rig.hold(kGate, 0.0f);
        rig.run(8);
        const int64_t zero = rig.find(fall, [](float v) { return v == 0.0f; });
        EXPECT_GE(zero - fall + 1, 330);
        EXPECT_LE(zero - fall + 1, 338);
        const int64_t between = rig.find(fall, [](float v) { return v < 0.6f && v > 0.1f; });
        EXPECT_GT(between, fall);
        EXPECT_LT(between, zero);
        for (int64_t i = fall + 1; i <= zero; ++i)
            ASSERT_LE(rig.output[size_t(i)], rig.output[size_t(i - 1)]);
    }
}

TEST(Envelope3, SingleModuleBuildFormsItsOwnTimeExponent) {
    // Attack 0.75 is 1 s in the newest form and one float step longer in the single-module
    // one; curve 5 stalls below 1 and so ends exactly on the sample after its nominal length.
    Rig rig;
    rig.hold(kAttack, 0.75f);
    rig.hold(kAttackCurve, 5.0f);
    rig.run();
    const int64_t start = rig.at();
    rig.hold(kGate, 1.0f);
    rig.run(48000 / kBlock + 2);
    EXPECT_EQ(attackLength(rig, start), pq::kSingleModuleBuild ? 48002 : 48001);
}

TEST(Envelope3, ReleaseFromAPartialLevelTakesThatShareOfTheReleaseTime) {
    Rig rig;
    rig.hold(kAttack, 0.5f); // 100 ms = 4800 samples
    rig.hold(kAttackCurve, 0.0f);
    rig.hold(kRelease, 0.5f);
    rig.run();
    rig.hold(kGate, 1.0f);
    rig.run(30); // 1920 samples: about 0.4
    const float from = rig.output.back();
    ASSERT_NEAR(from, 0.4f, 0.01f);
    const int64_t fall = rig.at();
    rig.hold(kGate, 0.0f);
    rig.run(40);
    EXPECT_LT(rig.output[size_t(fall)], from);
    const int64_t zero = rig.find(fall, [](float v) { return v == 0.0f; });
    EXPECT_NEAR(double(zero - fall + 1), double(from) * 4800.0, 2.0);
    EXPECT_TRUE(rig.env->sleeping());
}

TEST(Envelope3, SustainNewsDuringTheHoldJumpsAtThatInstant) {
    Rig rig;
    rig.hold(kGate, 1.0f);
    rig.run(40);
    ASSERT_EQ(rig.output.back(), 0.7f);
    ASSERT_TRUE(rig.env->sleeping());
    const int64_t news = rig.at(10);
    rig.hold(kSustain, 0.3f, 10);
    rig.run(3);
    EXPECT_EQ(rig.output[size_t(news - 1)], 0.7f);
    EXPECT_EQ(rig.output[size_t(news)], 0.3f);
    EXPECT_EQ(rig.output.back(), 0.3f);
    EXPECT_FALSE(rig.outputStreaming());
}

TEST(Envelope3, SustainNewsDuringTheDecayRecomputesFromTheDecayStart) {
    // Decay 100 ms, curve 1, from 1 toward 0.2; the sustain moves to 0.5 at the third block.
    Rig rig;
    rig.hold(kDecayCurve, 1.0f);
    rig.hold(kSustain, 0.2f);
    rig.run();
    rig.hold(kGate, 1.0f);
    rig.run(2);
    const double before = rig.output.back();
    ASSERT_GT(before, 0.6);
    ASSERT_LT(before, 0.95);
    const int64_t news = rig.at();
    rig.hold(kSustain, 0.5f);
    rig.run(60);
    EXPECT_LT(rig.output[size_t(news)], before); // no jump: the fall goes on
    EXPECT_GT(rig.output[size_t(news)], before - 0.01);
    const int64_t end = rig.find(news, [](float v) { return v == 0.5f; });
    ASSERT_GT(end, 0);
    EXPECT_EQ(rig.output.back(), 0.5f);
    // Range 0.5 (1 - 0.5) with k = 10: ln(1 + (before - 0.5)(e^10 - 1) / 0.5) / 10 of 2400
    // samples. Measured from the level at the news, it would take about 4800 (before - 0.5).
    const double expected = 2400.0 * std::log1p((before - 0.5) * std::expm1(10.0) / 0.5) / 10.0;
    EXPECT_NEAR(double(end - news + 1), expected, 3.0);
}

TEST(Envelope3, SustainOfOneSkipsTheDecay) {
    Rig rig;
    rig.hold(kSustain, 1.0f);
    rig.run();
    const int64_t start = rig.at();
    rig.hold(kGate, 1.0f);
    rig.run(20);
    const int64_t top = rig.find(start, [](float v) { return v == 1.0f; });
    ASSERT_GT(top, 0);
    for (int64_t i = top; i < int64_t(rig.output.size()); ++i)
        ASSERT_EQ(rig.output[size_t(i)], 1.0f) << i;
    // The hold is announced constant from the sample after the attack's last.
    const auto& last = rig.env->streaming.back();
    EXPECT_EQ(last.pinId, kSignalOut);
    EXPECT_FALSE(last.streaming);
    EXPECT_EQ(last.block * kBlock + last.time, top + 1);
    EXPECT_TRUE(rig.env->sleeping());
}

TEST(Envelope3, TriggerWhileTheGateIsLowChangesNothing) {
    Rig rig;
    rig.run();
    const size_t announcements = rig.env->streaming.size();
    rig.hold(kTrigger, 1.0f);
    rig.run(4);
    for (float v : rig.output)
        ASSERT_EQ(v, 0.0f);
    for (size_t i = announcements; i < rig.env->streaming.size(); ++i)
        EXPECT_FALSE(rig.env->streaming[i].streaming);
    EXPECT_TRUE(rig.env->sleeping());
}

TEST(Envelope3, GateHighFromTheFirstBlockStartsNothingUntilATriggerRises) {
    Rig rig(1.0f);
    rig.run(4);
    for (float v : rig.output)
        ASSERT_EQ(v, 0.0f);
    EXPECT_TRUE(rig.env->sleeping());
    const int64_t start = rig.at(5);
    rig.hold(kTrigger, 1.0f, 5);
    rig.run(3);
    EXPECT_EQ(rig.output[size_t(start - 1)], 0.0f);
    EXPECT_GT(rig.output[size_t(start)], 0.0f);
    EXPECT_EQ(rig.find(start, [](float v) { return v == 1.0f; }) - start + 1, 96);
}

TEST(Envelope3, VoiceResetWithTheGateHighRestartsTheAttackFromZero) {
    Rig rig;
    rig.hold(kGate, 1.0f);
    rig.run(40);
    ASSERT_EQ(rig.output.back(), 0.7f);
    const int64_t reset = rig.at(20);
    rig.env->queueValue(20, kVoiceReset, 1.0f);
    rig.run(4);
    EXPECT_EQ(rig.output[size_t(reset - 1)], 0.7f);
    EXPECT_GT(rig.output[size_t(reset)], 0.0f);
    EXPECT_LT(rig.output[size_t(reset)], 0.05f);
    EXPECT_EQ(rig.find(reset, [](float v) { return v == 1.0f; }) - reset + 1, 96);
}

TEST(Envelope3, VoiceResetWithTheGateLowSilencesAndStaysIdle) {
    Rig rig;
    rig.hold(kGate, 1.0f);
    rig.run(40);
    rig.hold(kGate, 0.0f);
    rig.run(2); // releasing
    ASSERT_GT(rig.output.back(), 0.1f);
    const int64_t reset = rig.at(7);
    rig.env->queueValue(7, kVoiceReset, 1.0f);
    rig.run(4);
    EXPECT_GT(rig.output[size_t(reset - 1)], 0.1f);
    for (size_t i = size_t(reset); i < rig.output.size(); ++i)
        ASSERT_EQ(rig.output[i], 0.0f) << i;
    EXPECT_TRUE(rig.env->sleeping());
}

TEST(Envelope3, IdleModuleSleepsAndIsNotProcessed) {
    Rig rig;
    rig.hold(kGate, 1.0f);
    rig.run(2);
    rig.hold(kGate, 0.0f); // release of 400 ms from wherever the decay is
    rig.run(600);
    const int64_t processed = rig.env->blocksRun();
    rig.run(20);
    EXPECT_TRUE(rig.env->sleeping());
    EXPECT_GE(rig.env->sleepCalls(), 1);
    EXPECT_EQ(rig.env->blocksRun(), processed);
    EXPECT_EQ(rig.output.back(), 0.0f);
    EXPECT_FALSE(rig.outputStreaming());
}

TEST(Envelope3, StreamingGateAndTriggerAreFollowedSampleBySample) {
    Rig rig;
    rig.env->queueStreaming(0, kGate, true);
    rig.env->queueStreaming(0, kTrigger, true);
    rig.run();
    // Gate rises on sample 17 of a block.
    const int64_t rise = rig.at(17);
    std::fill(rig.in[kGate] + 17, rig.in[kGate] + kBlock, 1.0f);
    rig.run(6);
    EXPECT_EQ(rig.output[size_t(rise - 1)], 0.0f);
    EXPECT_GT(rig.output[size_t(rise)], 0.0f);
    EXPECT_EQ(rig.find(rise, [](float v) { return v == 1.0f; }) - rise + 1, 96);
    // A trigger rising on sample 30 while the gate is high restarts the attack there.
    const int64_t retrigger = rig.at(30);
    std::fill(rig.in[kTrigger] + 30, rig.in[kTrigger] + kBlock, 1.0f);
    rig.run();
    EXPECT_LT(rig.output[size_t(retrigger - 1)], rig.output[size_t(retrigger - 2)]); // decaying
    EXPECT_GT(rig.output[size_t(retrigger)], rig.output[size_t(retrigger - 1)]);
    // The gate falls on sample 9: the release starts there.
    rig.run(4);
    const int64_t fall = rig.at(9);
    std::fill(rig.in[kGate] + 9, rig.in[kGate] + kBlock, 0.0f);
    rig.run();
    EXPECT_LT(rig.output[size_t(fall)], rig.output[size_t(fall - 1)]);
    EXPECT_TRUE(rig.outputStreaming());
}

TEST(Envelope3, HostileInputsNeitherHangNorOutliveTheGate) {
    struct Case {
        const char* what;
        Pin pin;
        float value;
        bool finiteOutput;
    } cases[] = {
        {"NaN attack", kAttack, NAN, true},
        {"huge attack", kAttack, 1e30f, true},
        {"NaN attack curve", kAttackCurve, NAN, true},
        {"infinite attack curve", kAttackCurve, INFINITY, true},
        {"minus infinite attack curve", kAttackCurve, -INFINITY, true},
        {"minus infinite decay curve", kDecayCurve, -INFINITY, true},
        {"huge negative release", kRelease, -1e30f, true},
        {"NaN sustain", kSustain, NAN, false},
        {"infinite sustain", kSustain, INFINITY, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.hold(c.pin, c.value);
        rig.hold(kGate, 1.0f);
        rig.run(50);
        rig.hold(kGate, 0.0f);
        rig.run(600);
        EXPECT_TRUE(rig.env->sleeping());
        EXPECT_EQ(rig.output.back(), 0.0f);
        if (c.finiteOutput) {
            for (float v : rig.output)
                ASSERT_TRUE(std::isfinite(v));
        }
    }
}

} // namespace
