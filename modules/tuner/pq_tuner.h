// The tuner: a semitone selection and a fine offset combined into one pitch value
// (1.0 per octave), sent whenever it changes. No audio pins, no block routine: the base lets
// it sleep after every block it is woken for.
#pragma once

#include "runtime/audio/mp_pins.h"

class pqTuner : public MpBase {
public:
    pqTuner();
    void onSetPins() override;

private:
    IntInPin semitoneSelect;  // 24: no transposition; each step below raises a semitone
    FloatInPin fineOffset;    // octaves added to the result
    FloatOutPin pitchOut;     // octaves
};
