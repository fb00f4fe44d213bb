// The voices read in SIMD lanes against the one-voice reading they replace: the same phases to
// the bit, the same sums up to the rounding of a different summation order.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "modules/wavetable/voice_lanes.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// One wave's voices read one after another, as the oscillator read them before the lanes.
struct ScalarVoices {
    std::array<float, pq::kVoiceSlots> phase{};
    std::array<float, pq::kVoiceSlots> increment{};
    int32_t voices = 0;

    // Answers the sum and, in `magnitude`, the sum of the samples' magnitudes.
    template <bool Warp> float play(const float* table, const pq::WarpShape& shape, float& magnitude) {
        float sum = 0.0f;
        magnitude = 0.0f;
        for (int32_t v = 0; v < voices; ++v) {
            const float p = pq::advanceVoicePhase(phase[size_t(v)], increment[size_t(v)]);
            phase[size_t(v)] = p;
            const float sample = pq::readBandTable(table, Warp ? pq::warpPhase(p, shape) : p);
            sum += sample;
            magnitude += std::abs(sample);
        }
        return sum;
    }
};

void expectSamePhases(const pq::VoiceLanes& lanes, const ScalarVoices& scalar, const char* where) {
    for (size_t v = 0; v < size_t(pq::kVoiceSlots); ++v)
        ASSERT_EQ(std::bit_cast<uint32_t>(lanes.phase[v]), std::bit_cast<uint32_t>(scalar.phase[v]))
            << where << ", voice " << v << ": " << lanes.phase[v] << " against " << scalar.phase[v];
}

// A float rounding step for each voice summed, on the scale of the samples' magnitudes.
float summationTolerance(float magnitude) {
    return 8.0f * FLT_EPSILON * std::max(magnitude, 1.0f);
}

struct Fixture {
    pq::BandTable tableA{}, tableB{};
    std::mt19937 random{12345};

    Fixture() {
        std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
        for (float& x : tableA)
            x = noise(random);
        for (float& x : tableB)
            x = noise(random);
    }

    // Detuned increments around `centre` (per sample, fractions of a cycle) and start phases.
    void start(pq::VoiceLanes& lanes, ScalarVoices& scalar, int32_t voices, float centre) {
        std::uniform_real_distribution<float> detune(0.97f, 1.03f), phase(0.0f, 1.0f);
        std::array<float, pq::kVoiceSlots> increments{};
        for (size_t v = 0; v < size_t(pq::kVoiceSlots); ++v) {
            increments[v] = centre * detune(random);
            lanes.phase[v] = scalar.phase[v] = phase(random);
        }
        lanes.play(voices, increments.data());
        scalar.voices = voices;
        scalar.increment = increments;
    }
};

// Every reader the processor can run: the baseline lanes and, where there is AVX2, the wide ones.
template <class Test> void forEachReader(Test test) {
    test(pq::VoiceLaneReader{}, "baseline lanes");
#if PQ_VOICE_LANES_WIDE
    if (pq::wideVoiceLanesAvailable()) test(pq::WideVoiceLaneReader{}, "AVX2 lanes");
#endif
}

TEST(VoiceLanes, TwoWavesOfOneToSevenVoicesFollowTheOneVoiceReading) {
    forEachReader([](const auto& reader, const char* name) {
        for (bool warp : {false, true}) {
            for (int32_t voicesA = 0; voicesA <= 7; ++voicesA) {
                const int32_t voicesB = 7 - voicesA + (voicesA % 2); // odd and even counts, 0 .. 7
                Fixture f;
                pq::VoiceLanes a, b;
                ScalarVoices sa, sb;
                // High and low pitches, so that phases wrap often and seldom.
                f.start(a, sa, voicesA, 0.0371f);
                f.start(b, sb, voicesB, 0.00213f);
                std::uniform_real_distribution<float> warpPoint(0.0f, 1.0f);
                for (int32_t n = 0; n < 64 * 40; ++n) {
                    const pq::WarpShape shape = pq::warpShape(warpPoint(f.random), 0.0f, 0.0f);
                    float sumA = 0.0f, sumB = 0.0f, magnitudeA = 0.0f, magnitudeB = 0.0f, refA = 0.0f,
                          refB = 0.0f;
                    if (warp) {
                        reader.template playPair<true>(a, f.tableA.data(), b, f.tableB.data(), shape, sumA,
                                                       sumB);
                        refA = sa.play<true>(f.tableA.data(), shape, magnitudeA);
                        refB = sb.play<true>(f.tableB.data(), shape, magnitudeB);
                    } else {
                        reader.template playPair<false>(a, f.tableA.data(), b, f.tableB.data(), shape, sumA,
                                                        sumB);
                        refA = sa.play<false>(f.tableA.data(), shape, magnitudeA);
                        refB = sb.play<false>(f.tableB.data(), shape, magnitudeB);
                    }
                    ASSERT_NEAR(sumA, refA, summationTolerance(magnitudeA))
                        << name << ", " << voicesA << " voices, sample " << n << ", warp " << warp;
                    ASSERT_NEAR(sumB, refB, summationTolerance(magnitudeB))
                        << name << ", " << voicesB << " voices, sample " << n << ", warp " << warp;
                    expectSamePhases(a, sa, name);
                    expectSamePhases(b, sb, name);
                }
            }
        }
    });
}

TEST(VoiceLanes, VoicesOutOfPlayStandStillUntilTheyPlayAgain) {
    forEachReader([](const auto& reader, const char* name) {
        Fixture f;
        pq::VoiceLanes lanes;
        ScalarVoices scalar;
        f.start(lanes, scalar, 7, 0.01f);
        const pq::WarpShape none;
        float magnitude = 0.0f;
        // Voice counts as a user steps through them; the increments stay those of the start.
        for (int32_t voices : {7, 3, 1, 0, 5, 2, 7, 4, 6}) {
            lanes.play(voices, scalar.increment.data());
            scalar.voices = voices;
            for (int32_t n = 0; n < 300; ++n) {
                const float sum = reader.template play<false>(lanes, f.tableA.data(), none);
                const float ref = scalar.play<false>(f.tableA.data(), none, magnitude);
                ASSERT_NEAR(sum, ref, summationTolerance(magnitude)) << name << ", " << voices << " voices";
            }
            expectSamePhases(lanes, scalar, name);
        }
    });
}

TEST(VoiceLanes, HugeIncrementsWrapToZeroAndReadInsideTheTable) {
    // From 2^24 on every step lands on a whole number of cycles: phase 0, the first sample. An
    // infinite increment (a sample rate near 0) does the same instead of making the phase NaN.
    const struct {
        float increment, phase;
    } cases[] = {{0.5f, 0.75f},  {2.5f, 0.75f},   {16777216.0f, 0.0f},
                 {3.0e9f, 0.0f}, {3.0e38f, 0.0f}, {kInf, 0.0f}};
    forEachReader([&](const auto& reader, const char* name) {
        Fixture f;
        for (const auto& c : cases) {
            pq::VoiceLanes lanes;
            std::array<float, pq::kVoiceSlots> increments;
            increments.fill(c.increment);
            lanes.phase.fill(0.25f);
            lanes.play(7, increments.data());
            const float sum = reader.template play<false>(lanes, f.tableA.data(), pq::WarpShape{});
            for (int32_t v = 0; v < 7; ++v)
                EXPECT_EQ(lanes.phase[size_t(v)], c.phase) << name << ", " << c.increment;
            EXPECT_EQ(lanes.phase[7], 0.25f) << name;
            EXPECT_NEAR(sum, 7.0f * pq::readBandTable(f.tableA.data(), c.phase), 1e-5f)
                << name << ", " << c.increment;
        }
    });
}

} // namespace
