#include "modules/envelope/envelope_curve.h"

#include <algorithm>
#include <cmath>

namespace pq::envelope {

float stageSeconds(float t, ExponentForm form) {
    if (std::isnan(t)) t = 0.0f;
    const float exponent = form == ExponentForm::Newest
                               ? 4.0f * t - 3.0f
                               : static_cast<float>(static_cast<double>(t) * 10.0 * 0.4f - 3.0);
    return powf(10.0f, exponent);
}

Ramp makeRamp(double level, double target, double range, float curve, float seconds, double sampleRate) {
    const double c = std::isnan(curve) ? 0.0 : static_cast<double>(curve);
    const double d = std::fabs(range);
    const double k = std::max(10.0 * std::fabs(c), 0.001);
    const double a = k / (static_cast<double>(seconds) * sampleRate * d);

    Ramp ramp{};
    ramp.coefficient = c > 0.0 ? 1.0 - std::exp(-a) : std::expm1(a);
    // How far the asymptote lies beyond the target (c >= 0) or behind the start (c < 0), so
    // that the level arrives at the target after the nominal time. d / (exp(k) - 1) rather
    // than d / (1 - exp(-k)) - d: the two are equal, but the second cancels to 0 for steep
    // curves, and a ramp away from an asymptote at its own start never moves.
    double v = d / std::expm1(k);
    if (target <= level) v = -v;
    if (c >= 0.0) {
        ramp.asymptote = target + v;
    } else {
        ramp.coefficient = -ramp.coefficient;
        ramp.asymptote = level - v;
    }
    if (!std::isfinite(ramp.coefficient) || !std::isfinite(ramp.asymptote)) {
        // No usable curve (zero range, NaN or infinite inputs): the target at the next sample.
        ramp.coefficient = 1.0;
        ramp.asymptote = target;
        ramp.sampleLimit = 1;
        return ramp;
    }
    if (c < 0.0) {
        const double intendedStep = -v * ramp.coefficient;
        const double firstStep = (level + (ramp.asymptote - level) * ramp.coefficient) - level;
        if (!(std::fabs(firstStep - intendedStep) <= 1e-6 * std::fabs(intendedStep))) {
            ramp.tracksDistance = true;
            ramp.distance = v;
            ramp.growth = std::exp(a);
        }
    }

    // The nominal length, measured over the larger of the range and the distance still to go
    // (a ramp recomputed from a level outside its range needs the longer one).
    double samples =
        std::ceil(static_cast<double>(seconds) * sampleRate * std::max(d, std::fabs(target - level)));
    if (!(samples >= 0.0)) samples = 0.0;
    samples = std::min(samples, static_cast<double>(kMaxRampSamples - 1));
    ramp.sampleLimit = static_cast<int32_t>(samples) + 1;
    return ramp;
}

} // namespace pq::envelope
