// Reading single-cycle waves sample by sample: the oscillator's voices over its band tables
// (phase step, warp, interpolated read, ring modulation) and the array LFO's lookup, phase
// wrap and fade-in. Plain inline computation, no host and no pins, called from the players'
// sample loops.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "modules/wavetable/band_tables.h"
#include "modules/wavetable/conversions.h"

namespace pq {

// --- Oscillator --------------------------------------------------------------------------

// A voice's phase 0 .. 1 spans a band table from its first sample to its last: position
// p * kBandTableSpan. The last interpolation segment starts one before the last sample, so a
// phase of exactly 1 reads the last sample and never the one after it.
inline constexpr float kBandTableSpan = static_cast<float>(kBandTableLength - 1);
inline constexpr int32_t kBandTableLastSegment = static_cast<int32_t>(kBandTableLength) - 2;

// The next phase of a voice: one step on, wrapped into 0 .. 1 once it reaches 1.
inline float advanceVoicePhase(float phase, float increment) {
    float p = phase + increment;
    if (p >= 1.0f) p -= std::trunc(p);
    return p;
}

// Linear interpolation in a band table at phase `w` (0 .. 1).
inline float readBandTable(const float* table, float w) {
    const float k = w * kBandTableSpan;
    const int32_t i = std::min(static_cast<int32_t>(k), kBandTableLastSegment);
    const float f = k - static_cast<float>(i);
    return (1.0f - f) * table[i] + f * table[i + 1];
}

// Phase warp: the phase below the warp point h is read as the first half of the wave, the
// rest as the second half.
struct WarpShape {
    float h = 0.0f, below = 0.0f, above = 0.0f;
};
inline WarpShape warpShape(float warp, float warpMod, float warpModDepth) {
    const float h = clampOrLow(warpMod * warpModDepth + warp, 0.0f, 1.0f);
    return {h, 0.5f / h, 0.5f / (1.0f - h)};
}
inline float warpPhase(float p, const WarpShape& shape) {
    return p < shape.h ? shape.below * p : 0.5f + shape.above * (p - shape.h);
}

// The ring modulation's factor on the output; a ring input at or below -2 switches it off.
inline float ringFactor(float ring, float depth) {
    return ring > -2.0f ? depth * ring + (1.0f - depth) : 1.0f;
}

// Plays `count` voices of one wave for one sample: each phase steps on, is warped (when Warp)
// and read from `table`; answers the sum.
template <bool Warp>
inline float playVoices(float* phase, const float* increment, int32_t count, const float* table,
                        const WarpShape& shape) {
    float sum = 0.0f;
    for (int32_t v = 0; v < count; ++v) {
        const float p = advanceVoicePhase(phase[v], increment[v]);
        phase[v] = p;
        sum += readBandTable(table, Warp ? warpPhase(p, shape) : p);
    }
    return sum;
}

// --- Array LFO ---------------------------------------------------------------------------

// The wave's value at `position` (0 .. lastPosition, clamped; NaN reads the first sample).
// `table` holds the wave's lastIndex + 1 samples followed by a copy of the last one, so that
// interpolation at the last position reads it exactly without a test.
template <bool Interpolate>
inline float lookupWave(const float* table, int32_t lastIndex, float lastPosition, float position) {
    const float p = clampOrLow(position, 0.0f, lastPosition);
    const int32_t i = std::min(static_cast<int32_t>(p), lastIndex);
    if constexpr (!Interpolate) {
        return table[i];
    } else {
        const float f = p - static_cast<float>(i);
        return (1.0f - f) * table[i] + f * table[size_t(i) + 1];
    }
}

// The phase brought back within 0 .. lastPosition: one subtraction covers every ordinary
// increment; an increment of a cycle or more, a negative one or a shorter new wave is folded
// back in; a phase that is not finite starts again at 0.
inline float wrapLfoPhase(float phase, float lastPosition) {
    if (phase > lastPosition) {
        phase -= lastPosition;
        if (phase > lastPosition) phase = std::fmod(phase, lastPosition);
    } else if (phase < 0.0f) {
        phase += lastPosition;
        if (phase < 0.0f) phase = std::fmod(phase, lastPosition) + lastPosition;
    }
    return std::isfinite(phase) ? phase : 0.0f;
}

// The LFO's fade-in after a gate: the gain rises as a square over 1 / (2 (1 - Fade In))
// seconds, then stays 1 until the next restart. The envelope never falls below 0, so a
// Fade In above 1 holds the gain at 0 like Fade In 1 instead of growing without bound.
struct FadeIn {
    float envelope = 0.0f;
    bool done = false;

    void restart() {
        done = false;
        envelope = 0.0f;
    }
    float gain(float fadeIn, float inverseSampleRate) {
        if (!done && fadeIn > 0.0f && envelope < 1.0f) {
            envelope += 2.0f * (1.0f - fadeIn) * inverseSampleRate;
            envelope = std::max(envelope, 0.0f);
            return envelope * envelope;
        }
        done = true;
        envelope = 0.0f;
        return 1.0f;
    }
};

} // namespace pq
