// The commands of the single-module editor: its own two menus, entry 0 of each a title, most
// entries the shared commands run with fitToPeak as their normalisation, a few computed
// otherwise. Host-free like the shared commands.
#pragma once

#include "modules/waveeditor/wave_commands.h"
#include "modules/waveeditor/wave_model.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace pq::waveeditor::earlier {

inline constexpr std::string_view kGeneratorMenu =
    "WAVEFORM,SINE,RAMP UP,RAMP DOWN,SQUARE,TRIANGLE,EXPONENTIAL DOWN,LOGARITHMIC DOWN,EXPONENTIAL UP,"
    "LOGARITHMIC UP, RANDOM ARP, ARP(NR(NOTES)),RANDOM WAVE,SINES (NR-HARMONIX AMT-DECAY),"
    "SINES COPY AMPS (NR-HARMONIX),NTH HARMONIC(NR+AMT),RANDOM LINES,RANDOM SEGMENT,RAND SEGMENT(NR),FLAT";
inline constexpr std::string_view kModifierMenu =
    "MODIFY,HARM(NR),ADD NOISE,ADD COPY,MULTIPLY COPY,MULTIPLY ABS COPY,AM COPY,CYCLE COPY,FM COPY,SMOOTH,"
    "SMOOTH LOOP,FADE START,FADE END,LOWER RESOLUTION,REVERSE,INVERT,FLOOR,SEMI 1-OCT,SEMI 2-OCT,NORMALIZE,"
    "CLIP,WAVESHAPE COPY,PHASE,REMOVE DC,ADD SINE(NR-HARMONIX AMT-AMP),BANDLIMIT,LOWER AMPLITUDE,COPY,UNDO";

inline constexpr size_t kGeneratorCount = 20;
inline constexpr size_t kModifierCount = 29;
extern const std::array<CommandEntry, kGeneratorCount> kGenerators;
extern const std::array<CommandEntry, kModifierCount> kModifiers;

// Centres the wave on the middle of its range and scales it so that the larger of its two
// peak magnitudes would reach 0.5; an all-zero wave is left as it is.
void fitToPeak(std::span<float> wave);

// Generate value g: 1..19 runs entry g, anything else nothing (no first-request rule).
void runGenerator(WaveModel& model, int32_t index, float n, float a);
// Modify value m: 1..28 runs entry m, anything else nothing.
void runModifier(WaveModel& model, int32_t index, float n, float a);

// The commands this editor computes its own way.
namespace cmd {
Outcome sines(CommandContext&);
Outcome sinesCopyAmps(CommandContext&);
Outcome harm(CommandContext&);
Outcome fmCopy(CommandContext&);
Outcome smooth(CommandContext&);
Outcome smoothLoop(CommandContext&);
Outcome fadeStart(CommandContext&);
Outcome fadeEnd(CommandContext&);
Outcome lowerResolution(CommandContext&);
Outcome addSine(CommandContext&);
} // namespace cmd

} // namespace pq::waveeditor::earlier
