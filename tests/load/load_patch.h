// A patch with `instances` of every audio module of the pack, each group wired as a voice:
// tuner -> oscillator pitch offsets, envelope -> oscillator level, LFO -> oscillator morph.
// Oscillators play two waves with seven voices each; the envelopes are gated twice a second.
#pragma once

#include <string>

namespace pqload {

std::string loadPatchJson(int instances, double seconds, int blockSize = 64, int sampleRate = 48000);

} // namespace pqload
