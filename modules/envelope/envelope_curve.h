// The maths of the envelope's curved segments, free of any host: the stage time scale and
// the parameters of the one-multiply ramp recursion
//
//   level = level + (asymptote - level) * coefficient
//
// that carries the level from where a stage starts to its target.
#pragma once

#include <cstdint>

namespace pq::envelope {

// How the exponent of the time scale is formed. The all-module library computes 4t - 3 in
// single precision; the single-module library computes t * 10 * 0.4f - 3 in double precision
// and rounds it to single precision, which can differ in the last bit.
enum class ExponentForm { Newest, SingleModule };

// Seconds of a stage for its normalised time input: 1 ms at 0, 10 s at 1, logarithmic
// between (and beyond). A NaN input counts as 0.
float stageSeconds(float t, ExponentForm form);

// The longest ramp, in samples: about six hours at 48 kHz. Longer ramps (huge time inputs)
// are cut here so that every ramp ends.
inline constexpr int32_t kMaxRampSamples = int32_t{1} << 30;

struct Ramp {
    double coefficient;
    double asymptote;
    // The ramp ends at the latest on this sample (counted from 1): one sample after its
    // nominal length, so that a ramp whose level stalls in the last bits below its target,
    // or never moves, still ends.
    int32_t sampleLimit;
    // A slow-start ramp (curve < 0) leaves an asymptote that lies just behind its start. From
    // a level far from 0 that distance can be too small for `level` to carry: the asymptote
    // rounds onto the start, or the first steps round away, and the level stalls. Such a
    // ramp is run on its distance from the asymptote instead,
    //
    //   distance = distance * growth,  level = asymptote + distance
    //
    // which is the same curve with the distance held at full precision. Ramps whose first
    // step the recursion above renders faithfully keep it.
    bool tracksDistance;
    double distance; // level - asymptote at the start
    double growth;   // 1 - coefficient
};

// Parameters of a ramp from `level` to `target`.
//   range:   the distance the timing is scaled by (the stage's full span); a ramp over the
//            full range 1 lasts `seconds`, over a smaller range proportionally less.
//   curve:   > 0 fast start and slow end, < 0 slow start and fast end, 0 practically linear;
//            the steepness grows with |curve| (inputs are meant for -5 to 5).
// Non-finite results (a zero range, NaN inputs) give a ramp that reaches the target at once.
Ramp makeRamp(double level, double target, double range, float curve, float seconds, double sampleRate);

} // namespace pq::envelope
