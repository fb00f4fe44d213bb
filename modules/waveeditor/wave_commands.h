// The wave editor's generator and modifier commands as plain functions on a wave.
//
// Each command reads what it needs from a CommandContext (the wave, its length, N, A, the
// clipboard, a scratch sequence) and says how it ends: with nothing, by committing the wave,
// by committing the scratch sequence, or with the model's own COPY or UNDO. The model runs
// the commands through the two tables below; another editor can reuse the same functions
// with its own menus and its own normalisation (the `fit` and `fitIfOut` members).
#pragma once

#include "modules/waveeditor/wave_model.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <string_view>

namespace pq::waveeditor {

enum class Outcome {
    nothing,   // the wave is unchanged and nothing is sent
    commit,    // commit the wave
    commitOut, // commit the scratch sequence `out`
    copy,      // clipboard := wave
    undo,      // wave := its undo buffer, then commit
};

struct CommandContext {
    std::span<float> w;     // the selected wave, s samples (s = n)
    float length = 0.0f;    // L, the Wave Length value (at most kMaxSampleCount)
    int32_t n = 0;          // sampleCount
    int32_t lastIndex = -1; // n - 1
    float N = 0.0f;         // parameter pin N
    float A = 0.0f;         // parameter pin A
    std::span<const float> clipboard;
    Wave* out = nullptr;    // scratch sequence for the commands that commit `out`
    FitFn fit = fitToRange; // the normalisation the commands call "fit"
    FitFn fitIfOut = fitIfOutOfRange;
};

using CommandFn = Outcome (*)(CommandContext&);

struct CommandEntry {
    std::string_view text; // the menu entry, exactly as it stands in the menu
    CommandFn run;         // nullptr for the "----" separators
};

inline constexpr size_t kGeneratorCount = 29;
inline constexpr size_t kModifierCount = 39;
extern const std::array<CommandEntry, kGeneratorCount> kGenerators;
extern const std::array<CommandEntry, kModifierCount> kModifiers;

// The commands, by name, for editors that arrange them in other menus.
namespace gen {
Outcome sine(CommandContext&);
Outcome rampUp(CommandContext&);
Outcome rampDown(CommandContext&);
Outcome square(CommandContext&);
Outcome triangle(CommandContext&);
Outcome fibonacci(CommandContext&);
Outcome primes(CommandContext&);
Outcome voxel(CommandContext&);
Outcome metallic(CommandContext&);
Outcome additiveCopy(CommandContext&);
Outcome inharmonicCopy(CommandContext&);
Outcome nthHarmonic(CommandContext&);
Outcome nthRandovertone(CommandContext&);
Outcome randomWave(CommandContext&);
Outcome randomLines(CommandContext&);
Outcome randomSegment(CommandContext&);  // orientation random(3)
Outcome randomSegment4(CommandContext&); // orientation random(4): 3 keeps the segment
Outcome randNSegments(CommandContext&);
Outcome binaryNoise(CommandContext&);
Outcome exponentialDown(CommandContext&);
Outcome logarithmicDown(CommandContext&);
Outcome exponentialUp(CommandContext&);
Outcome logarithmicUp(CommandContext&);
Outcome randomArp(CommandContext&);
Outcome arpNotes(CommandContext&);
Outcome flat(CommandContext&);
} // namespace gen

namespace mod {
Outcome addHarmonic(CommandContext&);
Outcome addSine(CommandContext&);
// ADD SINE with the value written into the imaginary part of bin trunc(N) given by
// `binValue` (which sees the forward transform's imaginary parts).
using BinValueFn = double (*)(const CommandContext&, std::span<const double> imag);
Outcome addSineWith(CommandContext&, BinValueFn binValue);
Outcome addNoise(CommandContext&);
Outcome addCopy(CommandContext&);
Outcome multiplyByCopy(CommandContext&);
Outcome multiplyAbsCopy(CommandContext&);
Outcome amByCopy(CommandContext&);
Outcome cycleCopy(CommandContext&);
Outcome fmByCopy(CommandContext&);
Outcome fmCopyLoopFit(CommandContext&);
Outcome waveshapeCopy(CommandContext&);
Outcome copyNthSample(CommandContext&);
Outcome smooth(CommandContext&);
Outcome smoothLoop(CommandContext&);
Outcome fadeStart(CommandContext&);
Outcome fadeEnd(CommandContext&);
Outcome fadeEnds(CommandContext&);
Outcome lowerResolution(CommandContext&);
Outcome floorSteps(CommandContext&);
Outcome semitone1Oct(CommandContext&);
Outcome semitone2Oct(CommandContext&);
Outcome reverse(CommandContext&);
Outcome invert(CommandContext&);
Outcome phaseOffset(CommandContext&);
Outcome removeDc(CommandContext&);
Outcome bandlimit(CommandContext&);
Outcome centerNormalize(CommandContext&);
Outcome lowerAmplitude(CommandContext&);
Outcome clip(CommandContext&);
Outcome symmetrize(CommandContext&);
Outcome rectify(CommandContext&);
Outcome phaseDistort(CommandContext&);
Outcome setSample(CommandContext&);
Outcome copy(CommandContext&);
Outcome undo(CommandContext&);
} // namespace mod

// Helpers shared by the command files.
namespace detail {

inline constexpr float kTwoPi = 6.2831855f;
inline constexpr float kPi = 3.1415927f;

// Truncation towards zero that cannot overflow: NaN gives 0, huge values saturate at
// +-2^53 (far beyond any wave length).
inline int64_t truncSat(double x) {
    constexpr double kLimit = 9007199254740992.0;
    if (!(x == x)) return 0;
    if (x >= kLimit) return static_cast<int64_t>(kLimit);
    if (x <= -kLimit) return -static_cast<int64_t>(kLimit);
    return static_cast<int64_t>(x);
}

// Largest harmonic number the additive commands build: the partials up to n/2, and on short
// waves up to 1024 (the menus' parameters reach harmonic 100), so that a wild N or A cannot
// stall the editor.
inline int64_t partialLimit(int32_t n) {
    return std::max<int64_t>(n / 2, 1024);
}

// w[j] += sin((j / L) * (r * 2pi)) * a for every sample.
inline void addPartial(const CommandContext& c, float r, float a) {
    const float omega = r * kTwoPi;
    for (size_t j = 0; j < c.w.size(); ++j)
        c.w[j] += std::sin((static_cast<float>(j) / c.length) * omega) * a;
}

inline void zero(std::span<float> w) {
    for (float& x : w)
        x = 0.0f;
}

inline bool clipboardFits(const CommandContext& c) {
    return c.clipboard.size() == c.w.size();
}

} // namespace detail

} // namespace pq::waveeditor
