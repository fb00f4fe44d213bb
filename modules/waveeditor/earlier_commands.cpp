#include "modules/waveeditor/earlier_commands.h"

#include "modules/wavetable/band_tables.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace pq::waveeditor::earlier {

using namespace detail;

namespace {

// Same bound as the shared smoothing: a wild A cannot stall the editor.
constexpr int64_t kMaxSmoothPasses = 5000;

// Shared commands that this editor skips when A is 0.
template <CommandFn command> Outcome unlessAIsZero(CommandContext& c) {
    if (c.A == 0.0f) return Outcome::nothing;
    return command(c);
}

size_t readIndex(int64_t i, size_t size) {
    return i >= 0 && i < static_cast<int64_t>(size) ? static_cast<size_t>(i)
                                                    : static_cast<size_t>(i % static_cast<int64_t>(size));
}

} // namespace

void fitToPeak(std::span<float> wave) {
    if (wave.empty()) return;
    const auto [lo, hi] = std::minmax_element(wave.begin(), wave.end());
    const float high = *hi;
    const float low = *lo;
    if (high == 0.0f && low == 0.0f) return;
    const float peak = std::max(high, std::fabs(low));
    if (!(peak > 0.0f)) return;
    const float mid = (high + low) / 2.0f;
    for (float& x : wave)
        x = (x - mid) * 0.5f / peak;
}

namespace cmd {

Outcome sines(CommandContext& c) {
    zero(c.w);
    const int64_t top = std::min(truncSat(c.N), partialLimit(c.n));
    for (int64_t p = 1; p <= top; ++p) {
        const float a = p == 1 ? 1.0f : p == 2 ? c.A : c.A * c.A;
        const float omega = static_cast<float>(p) * kTwoPi;
        for (size_t j = 0; j < c.w.size(); ++j)
            c.w[j] += std::sin((static_cast<float>(j) * omega) / c.length) * 0.5f * a;
    }
    if (c.N > 0.0f) fitToPeak(c.w);
    return Outcome::commit;
}

Outcome sinesCopyAmps(CommandContext& c) {
    const bool silent = std::all_of(c.w.begin(), c.w.end(), [](float x) { return x == 0.0f; });
    if (!clipboardFits(c) || c.w.empty() || silent) return Outcome::nothing;
    zero(c.w);
    const size_t n = static_cast<size_t>(c.n);
    std::vector<double> re(c.w.begin(), c.w.end());
    std::vector<double> im(n, 0.0);
    try {
        computeDft(re, im);
        const int64_t count = truncSat(c.N);
        if (count > 0 && count < static_cast<int64_t>(im.size()) - 1)
            for (int64_t i = 0; i < count; ++i)
                im[static_cast<size_t>(i + 1)] = c.clipboard[static_cast<size_t>(i)] * 128.0f + 64.0f;
        computeDft(im, re);
    } catch (const SpectralError&) {
        return Outcome::nothing;
    }
    const double scale = 1.0 / static_cast<double>(n);
    for (size_t i = 0; i < c.w.size(); ++i)
        c.w[i] = static_cast<float>(re[i] * scale);
    fitToPeak(c.w);
    return Outcome::commit;
}

Outcome harm(CommandContext& c) {
    if (!(c.A > 0.0f) || !(c.N > 0.0f)) return Outcome::nothing;
    const int64_t step = truncSat(c.N);
    const size_t s = c.w.size();
    Wave& out = *c.out;
    out.assign(s, 0.0f);
    int64_t pos = 0;
    for (size_t i = 0; i < s; ++i) {
        const int64_t j = pos <= c.lastIndex ? pos : 0;
        out[i] = c.w[i] - c.w[i] * c.A + c.A * c.w[static_cast<size_t>(j)];
        pos = j + step;
    }
    return Outcome::commitOut;
}

Outcome fmCopy(CommandContext& c) {
    if (!clipboardFits(c) || !(c.A > 0.0f)) return Outcome::nothing;
    const size_t s = c.w.size();
    Wave& out = *c.out;
    out.assign(s, 0.0f);
    int64_t pos = 0;
    for (size_t i = 0; i < s; ++i) {
        const int64_t p = pos > c.lastIndex ? pos - c.lastIndex : pos;
        // A large A can leave the position past the end after one wrap; it reads around.
        const size_t j = readIndex(std::max<int64_t>(p, 0), s);
        out[i] = c.w[j];
        pos = static_cast<int64_t>(j) +
              truncSat(1.0f + (c.A * 0.1f) * ((0.5f + c.clipboard[i]) * static_cast<float>(s)));
    }
    return Outcome::commitOut;
}

Outcome smooth(CommandContext& c) {
    const int64_t passes = std::min(truncSat(c.A * 10.0f), kMaxSmoothPasses);
    const size_t s = c.w.size();
    const auto last = static_cast<size_t>(c.lastIndex);
    if (s < 2) return Outcome::commit;
    std::vector<float> previous;
    for (int64_t q = 0; q < passes; ++q) {
        previous.assign(c.w.begin(), c.w.end());
        for (size_t i = 1; i + 1 < s; ++i)
            c.w[i] = 0.5f * (c.w[i - 1] + c.w[i + 1]);
        c.w[0] = 0.5f * (c.w[last] + c.w[1]);
        c.w[last] = 0.5f * (c.w[0] + c.w[last - 1]);
        // Every pass is the same map: once one changes nothing, none will.
        if (std::equal(previous.begin(), previous.end(), c.w.begin())) break;
    }
    return Outcome::commit;
}

Outcome smoothLoop(CommandContext& c) {
    const int64_t last = c.lastIndex;
    float& first = c.w[0];
    float& end = c.w[static_cast<size_t>(last)];
    const float d = (std::fabs(first) + std::fabs(end)) * 0.25f;
    if (first > end) {
        first -= d;
        end += d;
    }
    if (end > first) {
        first += d;
        end -= d;
    }
    // The window stops where its neighbours would leave the wave.
    const int64_t width =
        std::clamp<int64_t>(truncSat(static_cast<double>(c.w.size()) * 0.5 * static_cast<double>(c.A)), 0,
                            std::max<int64_t>(last - 1, 0));
    for (int64_t i = 0; i < width; ++i) {
        c.w[static_cast<size_t>(1 + i)] =
            0.5f * (c.w[static_cast<size_t>(i)] + c.w[static_cast<size_t>(i + 2)]);
        c.w[static_cast<size_t>(last - 1 - i)] =
            0.5f * (c.w[static_cast<size_t>(last - 2 - i)] + c.w[static_cast<size_t>(last - i)]);
    }
    return Outcome::commit;
}

namespace {

// trunc(A) * lastIndex smoothing steps, kept to the samples that have two neighbours.
int64_t fadeSteps(const CommandContext& c) {
    const int64_t whole = std::clamp<int64_t>(truncSat(c.A), 0, 2);
    return std::min<int64_t>(whole * c.lastIndex, std::max<int64_t>(c.lastIndex - 1, 0));
}

} // namespace

Outcome fadeStart(CommandContext& c) {
    c.w[0] = 0.0f;
    const int64_t m = fadeSteps(c);
    for (int64_t i = 0; i < m; ++i)
        c.w[static_cast<size_t>(i + 1)] =
            0.5f * (c.w[static_cast<size_t>(i)] + c.w[static_cast<size_t>(i + 2)]);
    return Outcome::commit;
}

Outcome fadeEnd(CommandContext& c) {
    const int64_t last = c.lastIndex;
    c.w[static_cast<size_t>(last)] = 0.0f;
    const int64_t m = fadeSteps(c);
    for (int64_t i = 0; i < m; ++i)
        c.w[static_cast<size_t>(last - 1 - i)] =
            0.5f * (c.w[static_cast<size_t>(last - 2 - i)] + c.w[static_cast<size_t>(last - i)]);
    return Outcome::commit;
}

Outcome lowerResolution(CommandContext& c) {
    const int64_t step = truncSat(c.N);
    if (step < 1 || step >= c.lastIndex) return Outcome::nothing;
    return mod::lowerResolution(c);
}

Outcome addSine(CommandContext& c) {
    return mod::addSineWith(c, [](const CommandContext& context, std::span<const double> imag) {
        float sum = 0.0f;
        for (double x : imag)
            sum += std::fabs(static_cast<float>(x));
        return static_cast<double>((context.A * 128.0f + 64.0f) / sum * 128.0f);
    });
}

} // namespace cmd

const std::array<CommandEntry, kGeneratorCount> kGenerators = {{
    {"WAVEFORM", nullptr},
    {"SINE", gen::sine},
    {"RAMP UP", gen::rampUp},
    {"RAMP DOWN", gen::rampDown},
    {"SQUARE", gen::square},
    {"TRIANGLE", gen::triangle},
    {"EXPONENTIAL DOWN", gen::exponentialDown},
    {"LOGARITHMIC DOWN", gen::logarithmicDown},
    {"EXPONENTIAL UP", gen::exponentialUp},
    {"LOGARITHMIC UP", gen::logarithmicUp},
    {" RANDOM ARP", gen::randomArp},
    {" ARP(NR(NOTES))", gen::arpNotes},
    {"RANDOM WAVE", gen::randomWave},
    {"SINES (NR-HARMONIX AMT-DECAY)", cmd::sines},
    {"SINES COPY AMPS (NR-HARMONIX)", cmd::sinesCopyAmps},
    {"NTH HARMONIC(NR+AMT)", gen::nthHarmonic},
    {"RANDOM LINES", gen::randomLines},
    {"RANDOM SEGMENT", gen::randomSegment4},
    {"RAND SEGMENT(NR)", gen::randNSegments},
    {"FLAT", gen::flat},
}};

const std::array<CommandEntry, kModifierCount> kModifiers = {{
    {"MODIFY", nullptr},
    {"HARM(NR)", cmd::harm},
    {"ADD NOISE", mod::addNoise},
    {"ADD COPY", unlessAIsZero<mod::addCopy>},
    {"MULTIPLY COPY", mod::multiplyByCopy},
    {"MULTIPLY ABS COPY", unlessAIsZero<mod::multiplyAbsCopy>},
    {"AM COPY", unlessAIsZero<mod::amByCopy>},
    {"CYCLE COPY", unlessAIsZero<mod::cycleCopy>},
    {"FM COPY", cmd::fmCopy},
    {"SMOOTH", cmd::smooth},
    {"SMOOTH LOOP", cmd::smoothLoop},
    {"FADE START", cmd::fadeStart},
    {"FADE END", cmd::fadeEnd},
    {"LOWER RESOLUTION", cmd::lowerResolution},
    {"REVERSE", mod::reverse},
    {"INVERT", mod::invert},
    {"FLOOR", mod::floorSteps},
    {"SEMI 1-OCT", mod::semitone1Oct},
    {"SEMI 2-OCT", mod::semitone2Oct},
    {"NORMALIZE", mod::centerNormalize},
    {"CLIP", mod::clip},
    {"WAVESHAPE COPY", mod::waveshapeCopy},
    {"PHASE", mod::phaseOffset},
    {"REMOVE DC", mod::removeDc},
    {"ADD SINE(NR-HARMONIX AMT-AMP)", cmd::addSine},
    {"BANDLIMIT", mod::bandlimit},
    {"LOWER AMPLITUDE", mod::lowerAmplitude},
    {"COPY", mod::copy},
    {"UNDO", mod::undo},
}};

void runGenerator(WaveModel& model, int32_t index, float n, float a) {
    if (index < 1 || index >= static_cast<int32_t>(kGeneratorCount)) return;
    model.runEntry(kGenerators[static_cast<size_t>(index)], n, a, fitToPeak, fitToPeak);
}

void runModifier(WaveModel& model, int32_t index, float n, float a) {
    if (index < 1 || index >= static_cast<int32_t>(kModifierCount)) return;
    model.runEntry(kModifiers[static_cast<size_t>(index)], n, a, fitToPeak, fitToPeak);
}

} // namespace pq::waveeditor::earlier
