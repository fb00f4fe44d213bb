// Modifiers: each changes the selected wave, in place or through a scratch sequence.
//
// Arithmetic is in single precision in the order the steps are written, except where a step
// is marked as double. Every read position is kept inside the wave, whatever N and A are.
#include "modules/waveeditor/wave_commands.h"

#include "modules/wavetable/band_tables.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace pq::waveeditor {

using namespace detail;

namespace {

// Upper bound of relaxation passes, so that a wild A or N cannot stall the editor; a pass
// pair that changes nothing ends the smoothing earlier (the wave has settled).
constexpr int64_t kMaxRelaxPasses = 5000;

// Moves w[i] and w[j] a quarter of their difference towards each other when that quarter is
// larger than the previous one. Returns the quarter.
float relaxPair(std::span<float> w, int64_t i, int64_t j, float previous, bool& changed) {
    float& a = w[static_cast<size_t>(i)];
    float& b = w[static_cast<size_t>(j)];
    const float d = (a - b) * 0.25f;
    if (std::fabs(d) > std::fabs(previous)) {
        a -= d;
        b += d;
        changed = true;
    }
    return d;
}

// Brings a read position above `limit` back by whole periods of `period` (the steps subtract
// one period per sample; a large step may need several).
float wrapDown(float pos, float limit, float period) {
    if (!(pos > limit)) return pos;
    if (period <= 0.0f) return 0.0f;
    const float periods = std::ceil((pos - limit) / period);
    return pos - periods * period;
}

size_t insideIndex(int64_t i, size_t size) {
    const auto s = static_cast<int64_t>(size);
    if (i >= 0 && i < s) return static_cast<size_t>(i);
    return static_cast<size_t>(((i % s) + s) % s);
}

// w read at a speed set by the clipboard: amount 0 reads every sample in turn.
void frequencyModulate(const CommandContext& c, float amount, Wave& out) {
    const size_t s = c.w.size();
    out.assign(s, 0.0f);
    const float last = static_cast<float>(c.lastIndex);
    float pos = 0.0f;
    for (size_t e = 0; e < s; ++e) {
        pos = wrapDown(pos, last, last);
        pos = std::max(pos, 0.0f);
        out[e] = c.w[insideIndex(truncSat(pos), s)];
        pos += (c.clipboard[e] + 0.5f) * static_cast<float>(s) * amount + 1.0f;
    }
}

// Forward transform of the wave, `change` on the spectrum, back transform divided by n (or
// multiplied by 1/n, a rounding apart, as BANDLIMIT scales it).
enum class Scaling { divide, multiply };

template <typename Change> bool throughSpectrum(CommandContext& c, Scaling scaling, Change change) {
    const size_t n = static_cast<size_t>(c.n);
    std::vector<double> re(c.w.begin(), c.w.end());
    std::vector<double> im(n, 0.0);
    try {
        computeDft(re, im);
        change(re, im);
        computeDft(im, re);
    } catch (const SpectralError&) {
        return false;
    }
    const double count = static_cast<double>(n);
    const double scale = 1.0 / count;
    for (size_t j = 0; j < c.w.size(); ++j)
        c.w[j] = static_cast<float>(scaling == Scaling::divide ? re[j] / count : re[j] * scale);
    return true;
}

int64_t fadeCount(const CommandContext& c) {
    return std::min(truncSat(static_cast<float>(c.lastIndex) * c.A), static_cast<int64_t>(c.w.size()));
}

void fadeIn(std::span<float> w, int64_t count) {
    float g = 0.0f;
    for (int64_t i = 0; i < count; ++i) {
        w[static_cast<size_t>(i)] *= g;
        g += 1.0f / static_cast<float>(count);
    }
}

void fadeOut(std::span<float> w, int64_t count, int32_t lastIndex) {
    float g = 0.0f;
    for (int64_t i = 0; i < count; ++i) {
        w[static_cast<size_t>(lastIndex - i)] *= g;
        g += 1.0f / static_cast<float>(count);
    }
}

template <typename F> void forEach(std::span<float> w, F f) {
    for (float& x : w)
        x = f(x);
}

} // namespace

namespace mod {

Outcome addHarmonic(CommandContext& c) {
    const size_t s = c.w.size();
    const float step = std::min(c.N, std::trunc(static_cast<float>(c.n) * 0.5f));
    const float last = static_cast<float>(c.lastIndex);
    Wave& out = *c.out;
    out.assign(s, 0.0f);
    float pos = 0.0f;
    for (size_t i = 0; i < s; ++i) {
        if (pos >= static_cast<float>(c.n))
            pos =
                last > 0.0f ? pos - (std::floor((pos - static_cast<float>(c.n)) / last) + 1.0f) * last : 0.0f;
        // A negative N reads backwards, wrapped by the same period.
        if (pos < 0.0f) pos = last > 0.0f ? pos + std::ceil(-pos / last) * last : 0.0f;
        const float x = c.w[i];
        out[i] = x - x * c.A + c.A * c.w[insideIndex(truncSat(pos), s)];
        pos += step;
    }
    return Outcome::commitOut;
}

Outcome addSineWith(CommandContext& c, BinValueFn binValue) {
    if (!(c.A > 0.0f) || !(c.N > 0.0f)) return Outcome::nothing;
    const bool silent = std::all_of(c.w.begin(), c.w.end(), [](float x) { return x == 0.0f; });
    if (silent) {
        const float omega = std::trunc(c.N) * kTwoPi;
        for (size_t j = 0; j < c.w.size(); ++j)
            c.w[j] = std::sin((static_cast<float>(j) / c.length) * omega) * 0.5f * c.A;
    } else {
        const int64_t bin = truncSat(c.N);
        const bool done =
            throughSpectrum(c, Scaling::divide, [&](std::vector<double>&, std::vector<double>& im) {
                // A bin at or beyond the transform's length does not exist.
                if (bin < static_cast<int64_t>(im.size())) im[static_cast<size_t>(bin)] = binValue(c, im);
            });
        if (!done) return Outcome::nothing;
    }
    c.fitIfOut(c.w);
    return Outcome::commit;
}

Outcome addSine(CommandContext& c) {
    return addSineWith(c, [](const CommandContext& context, std::span<const double>) {
        return static_cast<double>(context.A * 256.0f);
    });
}

Outcome addNoise(CommandContext& c) {
    if (c.A == 0.0f) return Outcome::nothing;
    for (float& x : c.w)
        x = (1.0f - c.A) * x + static_cast<float>(randomInt() % 1000 - 500) * 0.001f * c.A;
    c.fit(c.w);
    return Outcome::commit;
}

Outcome addCopy(CommandContext& c) {
    if (!clipboardFits(c)) return Outcome::nothing;
    for (size_t i = 0; i < c.w.size(); ++i)
        c.w[i] = c.A * c.clipboard[i] + (1.0f - c.A) * c.w[i];
    c.fitIfOut(c.w);
    return Outcome::commit;
}

Outcome multiplyByCopy(CommandContext& c) {
    if (!clipboardFits(c)) return Outcome::nothing;
    for (size_t i = 0; i < c.w.size(); ++i)
        c.w[i] = c.clipboard[i] * c.w[i];
    c.fit(c.w);
    return Outcome::commit;
}

Outcome multiplyAbsCopy(CommandContext& c) {
    if (!clipboardFits(c)) return Outcome::nothing;
    for (size_t i = 0; i < c.w.size(); ++i)
        c.w[i] = (std::fabs(c.A * c.clipboard[i]) + (1.0f - c.A)) * c.w[i];
    c.fit(c.w);
    return Outcome::commit;
}

Outcome amByCopy(CommandContext& c) {
    if (!clipboardFits(c)) return Outcome::nothing;
    for (size_t i = 0; i < c.w.size(); ++i)
        c.w[i] = (c.A * c.clipboard[i] + 0.5f) * c.w[i];
    c.fit(c.w);
    return Outcome::commit;
}

Outcome cycleCopy(CommandContext& c) {
    if (!clipboardFits(c)) return Outcome::nothing;
    const auto s = static_cast<int64_t>(c.w.size());
    int64_t count = truncSat(static_cast<float>(s) * c.A);
    if (count < 0 || count > s) count = s;
    std::copy_n(c.clipboard.begin(), count, c.w.begin());
    return Outcome::commit;
}

Outcome fmByCopy(CommandContext& c) {
    if (!clipboardFits(c)) return Outcome::nothing;
    frequencyModulate(c, c.A * 0.1f, *c.out);
    return Outcome::commitOut;
}

Outcome fmCopyLoopFit(CommandContext& c) {
    if (!clipboardFits(c)) return Outcome::nothing;
    // The search lowers the amount by 0.001 per trial; from any A up to 10 it reaches the
    // unmodulated wave, which always fits. Past that bound the last trial is committed.
    constexpr int kMaxTrials = 10000;
    const float target = std::fabs(c.w[0] - c.w[static_cast<size_t>(c.lastIndex)]);
    float a = c.A;
    Wave& out = *c.out;
    for (int trial = 0; trial < kMaxTrials; ++trial) {
        frequencyModulate(c, a * 0.1f, out);
        const float gap = std::fabs(out[0] - out[static_cast<size_t>(c.lastIndex)]);
        a = static_cast<float>(static_cast<double>(a) - 0.001);
        if (std::fabs(target - gap) <= 0.01f || !std::isfinite(a)) break;
    }
    return Outcome::commitOut;
}

Outcome waveshapeCopy(CommandContext& c) {
    if (!clipboardFits(c)) return Outcome::nothing;
    const auto n = static_cast<int64_t>(c.n);
    for (float& x : c.w) {
        int64_t i = truncSat((x + 0.5f) * static_cast<float>(n));
        if (i >= n) i = c.lastIndex;
        if (i < 0) i = 0;
        x = c.clipboard[static_cast<size_t>(i)];
    }
    return Outcome::commit;
}

Outcome copyNthSample(CommandContext& c) {
    if (!clipboardFits(c)) return Outcome::nothing;
    const int64_t step = truncSat(c.N);
    // A step below 1 would never advance.
    if (step < 1) return Outcome::nothing;
    for (int64_t j = 0; j < c.n; j += step)
        c.w[static_cast<size_t>(j)] = c.clipboard[static_cast<size_t>(j)];
    return Outcome::commit;
}

Outcome smooth(CommandContext& c) {
    const int64_t passes = std::min(truncSat(c.A * 50.0f), kMaxRelaxPasses);
    const auto s = static_cast<int64_t>(c.w.size());
    const int64_t last = c.lastIndex;
    int quietPasses = 0;
    for (int64_t q = 0; q < passes && quietPasses < 2; ++q) {
        bool changed = false;
        relaxPair(c.w, 0, last, 0.0f, changed);
        float prev = 0.0f;
        for (int64_t e = 0; e <= s - 3; ++e) {
            if (q % 2 == 0)
                prev = relaxPair(c.w, e, e + 1, prev, changed);
            else
                prev = relaxPair(c.w, last - e, last - e - 1, prev, changed);
        }
        quietPasses = changed ? 0 : quietPasses + 1;
    }
    return Outcome::commit;
}

Outcome smoothLoop(CommandContext& c) {
    const int64_t last = c.lastIndex;
    // A window wider than half the wave is clamped to the wave.
    const int64_t width =
        std::clamp<int64_t>(truncSat(static_cast<double>(c.w.size()) * 0.5 * static_cast<double>(c.A)), 0,
                            std::max<int64_t>(last, 0));
    const int64_t passes = std::min(truncSat(c.N), kMaxRelaxPasses);
    int quietPasses = 0;
    for (int64_t q = 0; q < passes && quietPasses < 2; ++q) {
        bool changed = false;
        relaxPair(c.w, 0, last, 0.0f, changed);
        float pa = 0.0f;
        float pb = 0.0f;
        for (int64_t e = 0; e < width; ++e) {
            if (q % 2 == 0) {
                pa = relaxPair(c.w, e, e + 1, pa, changed);
                pb = relaxPair(c.w, last - e, last - e - 1, pb, changed);
            } else {
                pa = relaxPair(c.w, width - e, width - e - 1, pa, changed);
                pb = relaxPair(c.w, last - width + e, last - width + e + 1, pb, changed);
            }
        }
        quietPasses = changed ? 0 : quietPasses + 1;
    }
    return Outcome::commit;
}

Outcome fadeStart(CommandContext& c) {
    const int64_t count = fadeCount(c);
    if (count > 0) fadeIn(c.w, count);
    return Outcome::commit;
}

Outcome fadeEnd(CommandContext& c) {
    const int64_t count = fadeCount(c);
    if (count > 0) fadeOut(c.w, count, c.lastIndex);
    return Outcome::commit;
}

Outcome fadeEnds(CommandContext& c) {
    const int64_t count = fadeCount(c);
    if (count > 0) {
        fadeIn(c.w, count);
        fadeOut(c.w, count, c.lastIndex);
    }
    return Outcome::commit;
}

Outcome lowerResolution(CommandContext& c) {
    const int64_t step = std::min(truncSat(c.N), static_cast<int64_t>(c.w.size()));
    const int64_t last = c.lastIndex;
    if (last <= 0 || step < 1) return Outcome::commit;
    for (int64_t base = 0; base < last; base += step)
        for (int64_t i = 1; i < step && base + i < last; ++i)
            c.w[static_cast<size_t>(base + i)] = c.w[static_cast<size_t>(base)];
    return Outcome::commit;
}

Outcome floorSteps(CommandContext& c) {
    if (!(c.A > 0.0f)) return Outcome::nothing;
    const float q = c.A * 0.5f;
    forEach(c.w, [q](float x) { return std::floor(x * (1.0f / q)) * q; });
    c.fit(c.w);
    return Outcome::commit;
}

Outcome semitone1Oct(CommandContext& c) {
    forEach(c.w, [](float x) { return std::floor(x * 12.0f) * 0.083333336f; });
    c.fit(c.w);
    return Outcome::commit;
}

Outcome semitone2Oct(CommandContext& c) {
    forEach(c.w, [](float x) { return std::floor(x * 24.0f) * 0.041666668f; });
    c.fit(c.w);
    return Outcome::commit;
}

Outcome reverse(CommandContext& c) {
    std::reverse(c.w.begin(), c.w.end());
    return Outcome::commit;
}

Outcome invert(CommandContext& c) {
    forEach(c.w, [](float x) { return -x; });
    return Outcome::commit;
}

Outcome phaseOffset(CommandContext& c) {
    rotateWave(c.w, truncSat(static_cast<float>(c.n) * c.A), c.n);
    return Outcome::commit;
}

Outcome removeDc(CommandContext& c) {
    float sum = 0.0f;
    for (float x : c.w)
        sum += x;
    const float mean = sum / static_cast<float>(c.w.size());
    if (static_cast<double>(mean) >= -0.001 && static_cast<double>(mean) <= 0.001) return Outcome::nothing;
    const auto [lo, hi] = std::minmax_element(c.w.begin(), c.w.end());
    const float v = mean > 0.0f ? *hi : *lo;
    const float g = std::fabs(0.5f / (v + mean));
    forEach(c.w, [g](float x) { return x * g; });
    forEach(c.w, [g, mean](float x) { return x - mean * g; });
    return Outcome::commit;
}

Outcome bandlimit(CommandContext& c) {
    const double kept = std::trunc(std::pow(2.0, static_cast<double>(truncSat(c.A * 10.0f))));
    const bool done =
        throughSpectrum(c, Scaling::multiply, [kept](std::vector<double>& re, std::vector<double>& im) {
            for (size_t i = 0; i < re.size(); ++i) {
                if (static_cast<double>(i) >= kept) {
                    re[i] = 0.0;
                    im[i] = 0.0;
                }
            }
        });
    if (!done) return Outcome::nothing;
    c.fit(c.w);
    return Outcome::commit;
}

Outcome centerNormalize(CommandContext& c) {
    c.fit(c.w);
    return Outcome::commit;
}

Outcome lowerAmplitude(CommandContext& c) {
    const float a = c.A;
    forEach(c.w, [a](float x) { return a * x; });
    return Outcome::commit;
}

Outcome clip(CommandContext& c) {
    const float limit = c.A * 0.5f;
    forEach(c.w, [limit](float x) { return std::max(std::min(limit, x), -limit); });
    c.fit(c.w);
    return Outcome::commit;
}

Outcome symmetrize(CommandContext& c) {
    const size_t n = c.w.size();
    Wave& out = *c.out;
    out.assign(n, 0.0f);
    int64_t pos = 0;
    for (size_t i = 0; i < n; ++i) {
        if (pos >= static_cast<int64_t>(n)) pos -= c.lastIndex;
        out[i] = c.w[insideIndex(pos, n)];
        pos += 2;
    }
    for (size_t i = n / 2; i < n; ++i)
        out[i] = -out[i];
    return Outcome::commitOut;
}

Outcome rectify(CommandContext& c) {
    forEach(c.w, [](float x) { return std::fabs(x); });
    c.fit(c.w);
    return Outcome::commit;
}

Outcome phaseDistort(CommandContext& c) {
    if (!(c.A > 0.0f && c.A < 1.0f)) return Outcome::nothing;
    const std::vector<float> copy(c.w.begin(), c.w.end());
    const float n = static_cast<float>(c.n);
    const float d = 1.0f / n;
    float ph = 0.0f;
    for (float& x : c.w) {
        if (ph >= 1.0f) ph -= std::floor(ph);
        const float q = ph < c.A ? 0.5f / c.A * ph : 0.5f / (1.0f - c.A) * (ph - c.A) + 0.5f;
        // Rounding can carry q to 1 at the very end of the cycle.
        x = copy[static_cast<size_t>(std::clamp<int64_t>(truncSat(n * q), 0, c.lastIndex))];
        ph += d;
    }
    return Outcome::commit;
}

Outcome setSample(CommandContext& c) {
    if (!(c.N < static_cast<float>(c.n))) return Outcome::nothing;
    const int64_t i = truncSat(std::fabs(c.N - 1.0f));
    if (i < static_cast<int64_t>(c.w.size())) c.w[static_cast<size_t>(i)] = c.A - 0.5f;
    return Outcome::commit;
}

Outcome copy(CommandContext&) {
    return Outcome::copy;
}

Outcome undo(CommandContext&) {
    return Outcome::undo;
}

} // namespace mod

const std::array<CommandEntry, kModifierCount> kModifiers = {{
    {"ADD HARMONIC [N]", mod::addHarmonic},
    {"ADD SINE [N+A]", mod::addSine},
    {"ADD NOISE [A]", mod::addNoise},
    {"ADD COPY [A]", mod::addCopy},
    {"----", nullptr},
    {"MULTIPLY BY COPY", mod::multiplyByCopy},
    {"MULTIPLY ABS COPY [A]", mod::multiplyAbsCopy},
    {"AM BY COPY [A]", mod::amByCopy},
    {"CYCLE COPY [A]", mod::cycleCopy},
    {"FM BY COPY [A]", mod::fmByCopy},
    {"FM COPY LOOP FIT[A]", mod::fmCopyLoopFit},
    {"WAVESHAPE COPY", mod::waveshapeCopy},
    {"COPY [N]TH SAMPLE", mod::copyNthSample},
    {"----", nullptr},
    {"SMOOTH [A]", mod::smooth},
    {"SMOOTH LOOP [N+A]", mod::smoothLoop},
    {"FADE START [A]", mod::fadeStart},
    {"FADE END [A]", mod::fadeEnd},
    {"FADE ENDS [A]", mod::fadeEnds},
    {"----", nullptr},
    {"LOWER RESOLUTION [N]", mod::lowerResolution},
    {"FLOOR [A]", mod::floorSteps},
    {"QUANTIFY SEMITONE 1-OCT", mod::semitone1Oct},
    {" QUANTIFY SEMITONE 2-OCT", mod::semitone2Oct},
    {"----", nullptr},
    {"REVERSE", mod::reverse},
    {"INVERT", mod::invert},
    {"PHASE OFFSET [A]", mod::phaseOffset},
    {"REMOVE DC", mod::removeDc},
    {"BANDLIMIT [A]", mod::bandlimit},
    {"CENTER+NORMALIZE", mod::centerNormalize},
    {"LOWER AMPLITUDE [A]", mod::lowerAmplitude},
    {"CLIP [A]", mod::clip},
    {"SYMMETRIZE", mod::symmetrize},
    {"RECTIFY", mod::rectify},
    {"PHASE DISTORT [A]", mod::phaseDistort},
    {"SET SAMPLE [N] VALUE [A]", mod::setSample},
    {"COPY", mod::copy},
    {"UNDO", mod::undo},
}};

} // namespace pq::waveeditor
