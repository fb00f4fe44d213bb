// The oscillator's voices read in SIMD lanes: four at a time in SSE2 (the x86-64 baseline),
// eight at a time in AVX2 where the processor has it. Each lane steps its voice's phase, warps
// it and reads the band table exactly as the one-voice steps of table_reading.h do, so phases
// and per-voice samples carry the same bits; only the order in which the voices are summed
// differs (lane-wise first, then across the lanes).
//
// A wave's seven voices sit in eight slots. Voices not in play have an increment of 0, so their
// phases stand still, and their samples are masked out of the sum.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "modules/wavetable/table_reading.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PQ_VOICE_LANES_SSE2 1
#else
#define PQ_VOICE_LANES_SSE2 0
#endif

// The eight-lane reader is compiled for AVX2 function by function (the target attribute), so
// nothing else in a unit that includes this header is built for it; its callers are built for
// AVX2 in the same way, inline it, and are picked only where the processor has AVX2.
#if PQ_VOICE_LANES_SSE2 && (defined(__GNUC__) || defined(__clang__)) &&                                      \
    (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define PQ_VOICE_LANES_WIDE 1
#define PQ_AVX2_FUNCTION __attribute__((target("avx2")))
// A block routine built for AVX2 with everything it calls inlined into it, so that no code
// outside it is built for AVX2. AVX2 has no fused multiply-adds, so every lane rounds as the
// baseline build does.
#define PQ_AVX2_ROUTINE __attribute__((target("avx2"), flatten))
#else
#define PQ_VOICE_LANES_WIDE 0
#define PQ_AVX2_ROUTINE
#endif

namespace pq {

// Whether the processor can run the eight-lane reader.
inline bool wideVoiceLanesAvailable() {
#if PQ_VOICE_LANES_WIDE
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

inline constexpr int32_t kVoiceLaneWidth = 4;
inline constexpr int32_t kVoiceSlots = 8; // seven voices and one lane that is never in play

// One wave's voices, laid out for the lanes.
struct VoiceLanes {
    alignas(32) std::array<float, kVoiceSlots> phase{};
    alignas(32) std::array<float, kVoiceSlots> increment{}; // 0 for a voice not in play
    alignas(32) std::array<uint32_t, kVoiceSlots> inPlay{}; // all bits set for a voice in play
    int32_t groups = 0;                                     // lane groups holding a voice in play

    // From 2^24 on, a phase (below 1) plus the increment rounds to a whole number, and the
    // voice's phase wraps to 0 on every step. Any such increment gives that, so increments are
    // held below 2^31, where the lanes' integer conversion stays exact, and an infinite one no
    // longer turns the phase into NaN.
    static constexpr float kLargestIncrement = 1073741824.0f; // 2^30

    // The first `voices` voices (0 .. 7) play with `increments`; the others keep their phases.
    void play(int32_t voices, const float* increments) {
        for (int32_t v = 0; v < kVoiceSlots; ++v) {
            const bool on = v < voices;
            increment[size_t(v)] = on ? laneIncrement(increments[v]) : 0.0f;
            inPlay[size_t(v)] = on ? ~uint32_t{0} : 0u;
        }
        groups = (voices + kVoiceLaneWidth - 1) / kVoiceLaneWidth;
    }
    // A new increment for voice `v`, which is in play.
    void setIncrement(int32_t v, float value) { increment[size_t(v)] = laneIncrement(value); }

private:
    static float laneIncrement(float value) { return std::min(value, kLargestIncrement); }
};

namespace {

#if PQ_VOICE_LANES_SSE2

// The two ends of the segments at four indices (0 .. 2046): each pair of neighbouring samples
// in one 8-byte load, then transposed into the left ends and the right ends.
inline void readSegments(const float* table, __m128i i, __m128& left, __m128& right) {
    const auto pair = [table](uint64_t index) {
        return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(table + index)));
    };
    const auto low = static_cast<uint64_t>(_mm_cvtsi128_si64(i));
    const auto high = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(i, i)));
    const __m128 pairs01 = _mm_unpacklo_ps(pair(low & 0xffffffffu), pair(low >> 32));
    const __m128 pairs23 = _mm_unpacklo_ps(pair(high & 0xffffffffu), pair(high >> 32));
    left = _mm_movelh_ps(pairs01, pairs23);
    right = _mm_movehl_ps(pairs23, pairs01);
}

// Two waves' sums across the lanes, sharing their shuffles: (a0 + a2, b0 + b2, a1 + a3,
// b1 + b3), then the upper pair added to the lower.
inline void laneSums(__m128 va, __m128 vb, float& sumA, float& sumB) {
    const __m128 t = _mm_add_ps(_mm_unpacklo_ps(va, vb), _mm_unpackhi_ps(va, vb));
    const __m128 s = _mm_add_ps(t, _mm_movehl_ps(t, t));
    sumA = _mm_cvtss_f32(s);
    sumB = _mm_cvtss_f32(_mm_shuffle_ps(s, s, 1));
}
inline float laneSum(__m128 v) {
    const __m128 halves = _mm_add_ps(v, _mm_movehl_ps(v, v));
    return _mm_cvtss_f32(_mm_add_ss(halves, _mm_shuffle_ps(halves, halves, 1)));
}

// Reads voices in lanes; made once per block routine call so that its constants stay in
// registers across the sample loop.
class VoiceLaneReader {
public:
    // Steps the voices of one wave by one sample; answers the sum of their samples.
    template <bool Warp> float play(VoiceLanes& lanes, const float* table, const WarpShape& shape) const {
        return laneSum(readLanes<Warp>(lanes, table, warp(shape)));
    }

    // The same for two waves at once; the two sums across the lanes share their shuffles.
    template <bool Warp>
    void playPair(VoiceLanes& a, const float* tableA, VoiceLanes& b, const float* tableB,
                  const WarpShape& shape, float& sumA, float& sumB) const {
        const Warped w = warp(shape);
        laneSums(readLanes<Warp>(a, tableA, w), readLanes<Warp>(b, tableB, w), sumA, sumB);
    }

private:
    struct Warped {
        __m128 h, below, above;
    };
    static Warped warp(const WarpShape& shape) {
        return {_mm_set1_ps(shape.h), _mm_set1_ps(shape.below), _mm_set1_ps(shape.above)};
    }

    template <bool Warp> __m128 readLanes(VoiceLanes& lanes, const float* table, const Warped& shape) const {
        // At most two groups: tested rather than looped, so that both stay straight code.
        if (lanes.groups == 0) return _mm_setzero_ps();
        const __m128 first = readGroup<Warp>(lanes, 0, table, shape);
        if (lanes.groups == 1) return first;
        return _mm_add_ps(first, readGroup<Warp>(lanes, kVoiceLaneWidth, table, shape));
    }

    // Four voices from `at` on, for one sample: phases stepped and stored, samples answered (0
    // in lanes not in play).
    template <bool Warp>
    __m128 readGroup(VoiceLanes& lanes, int32_t at, const float* table, const Warped& shape) const {
        float* phase = lanes.phase.data() + at;
        // The phase step; the phase loses its integer part, which is 0 unless it has reached 1
        // (exact: phases stay below 2^31).
        __m128 p = _mm_add_ps(_mm_load_ps(phase), _mm_load_ps(lanes.increment.data() + at));
        p = _mm_sub_ps(p, _mm_cvtepi32_ps(_mm_cvttps_epi32(p)));
        _mm_store_ps(phase, p);

        __m128 w = p;
        if constexpr (Warp) {
            const __m128 below = _mm_cmplt_ps(p, shape.h);
            const __m128 first = _mm_mul_ps(shape.below, p);
            const __m128 second = _mm_add_ps(half_, _mm_mul_ps(shape.above, _mm_sub_ps(p, shape.h)));
            w = _mm_or_ps(_mm_and_ps(below, first), _mm_andnot_ps(below, second));
        }

        // The segment is limited to the last one; NaN reads it too, so no lane reads outside.
        const __m128 k = _mm_mul_ps(w, span_);
        const __m128i i = _mm_cvttps_epi32(_mm_min_ps(k, lastSegment_));
        const __m128 f = _mm_sub_ps(k, _mm_cvtepi32_ps(i));

        __m128 left, right;
        readSegments(table, i, left, right);

        const __m128 sample = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(one_, f), left), _mm_mul_ps(f, right));
        const __m128i inPlay = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes.inPlay.data() + at));
        return _mm_and_ps(sample, _mm_castsi128_ps(inPlay));
    }

    __m128 one_ = _mm_set1_ps(1.0f);
    __m128 half_ = _mm_set1_ps(0.5f);
    __m128 span_ = _mm_set1_ps(kBandTableSpan);
    __m128 lastSegment_ = _mm_set1_ps(static_cast<float>(kBandTableLastSegment));
};

#if PQ_VOICE_LANES_WIDE
// All eight voice slots of a wave in one 256-bit group. Only for processors with AVX2.
class WideVoiceLaneReader {
public:
    template <bool Warp>
    PQ_AVX2_FUNCTION float play(VoiceLanes& lanes, const float* table, const WarpShape& shape) const {
        return laneSum(halvesAdded(readLanes<Warp>(lanes, table, shape)));
    }

    template <bool Warp>
    PQ_AVX2_FUNCTION void playPair(VoiceLanes& a, const float* tableA, VoiceLanes& b, const float* tableB,
                                   const WarpShape& shape, float& sumA, float& sumB) const {
        laneSums(halvesAdded(readLanes<Warp>(a, tableA, shape)),
                 halvesAdded(readLanes<Warp>(b, tableB, shape)), sumA, sumB);
    }

private:
    PQ_AVX2_FUNCTION static __m128 halvesAdded(__m256 v) {
        return _mm_add_ps(_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1));
    }

    template <bool Warp>
    PQ_AVX2_FUNCTION static __m256 readLanes(VoiceLanes& lanes, const float* table, const WarpShape& shape) {
        if (lanes.groups == 0) return _mm256_setzero_ps();
        const __m256 one = _mm256_set1_ps(1.0f);
        float* phase = lanes.phase.data();
        __m256 p = _mm256_add_ps(_mm256_load_ps(phase), _mm256_load_ps(lanes.increment.data()));
        p = _mm256_sub_ps(p, _mm256_cvtepi32_ps(_mm256_cvttps_epi32(p)));
        _mm256_store_ps(phase, p);

        __m256 w = p;
        if constexpr (Warp) {
            const __m256 h = _mm256_set1_ps(shape.h);
            const __m256 below = _mm256_cmp_ps(p, h, _CMP_LT_OQ);
            const __m256 first = _mm256_mul_ps(_mm256_set1_ps(shape.below), p);
            const __m256 second = _mm256_add_ps(
                _mm256_set1_ps(0.5f), _mm256_mul_ps(_mm256_set1_ps(shape.above), _mm256_sub_ps(p, h)));
            w = _mm256_blendv_ps(second, first, below);
        }

        const __m256 k = _mm256_mul_ps(w, _mm256_set1_ps(kBandTableSpan));
        const __m256i i =
            _mm256_cvttps_epi32(_mm256_min_ps(k, _mm256_set1_ps(static_cast<float>(kBandTableLastSegment))));
        const __m256 f = _mm256_sub_ps(k, _mm256_cvtepi32_ps(i));
        // Loads rather than gathers: on the processors at hand they take less time.
        __m128 leftLow, rightLow, leftHigh, rightHigh;
        readSegments(table, _mm256_castsi256_si128(i), leftLow, rightLow);
        readSegments(table, _mm256_extracti128_si256(i, 1), leftHigh, rightHigh);
        const __m256 left = _mm256_insertf128_ps(_mm256_castps128_ps256(leftLow), leftHigh, 1);
        const __m256 right = _mm256_insertf128_ps(_mm256_castps128_ps256(rightLow), rightHigh, 1);

        const __m256 sample =
            _mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(one, f), left), _mm256_mul_ps(f, right));
        const __m256i inPlay = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.inPlay.data()));
        return _mm256_and_ps(sample, _mm256_castsi256_ps(inPlay));
    }
};
#endif

#else

// Without SSE2 the lanes are read one voice after another.
class VoiceLaneReader {
public:
    template <bool Warp> float play(VoiceLanes& lanes, const float* table, const WarpShape& shape) const {
        float sum = 0.0f;
        for (int32_t v = 0; v < lanes.groups * kVoiceLaneWidth; ++v) {
            if (lanes.inPlay[size_t(v)] == 0) continue;
            const float p = advanceVoicePhase(lanes.phase[size_t(v)], lanes.increment[size_t(v)]);
            lanes.phase[size_t(v)] = p;
            sum += readBandTable(table, Warp ? warpPhase(p, shape) : p);
        }
        return sum;
    }
    template <bool Warp>
    void playPair(VoiceLanes& a, const float* tableA, VoiceLanes& b, const float* tableB,
                  const WarpShape& shape, float& sumA, float& sumB) const {
        sumA = play<Warp>(a, tableA, shape);
        sumB = play<Warp>(b, tableB, shape);
    }
};

#endif

} // namespace
} // namespace pq
