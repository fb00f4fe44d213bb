// The tuner: a semitone selection and a fine offset combined into one pitch value
// (1.0 per octave), sent whenever it changes. No audio pins, no block routine: the base lets
// it sleep after every block it is woken for.
#pragma once

#include "runtime/audio/mp_pins.h"
#include "runtime/pin_table.h"

class pqTuner : public MpBase {
public:
    enum Pin : int32_t {
        kSemitoneSelect,
        kFineOffset,
        kPitchOut,
    };
    static constexpr pq::PinDescription kPins[] = {
        {kSemitoneSelect, "semitoneSelect", gmpi::kDatatypeInt, gmpi::kDirectionIn, "0"},
        {kFineOffset, "fineOffset", gmpi::kDatatypeFloat, gmpi::kDirectionIn, "0"},
        {kPitchOut, "pitchOut", gmpi::kDatatypeFloat, gmpi::kDirectionOut},
    };
    static constexpr pq::ModuleDescription kDescription{"pq Tuner", gmpi::kSubtypeAudio, "pqTuner", kPins};

    pqTuner();
    void onSetPins() override;

private:
    IntInPin semitoneSelect; // 24: no transposition; each step below raises a semitone
    FloatInPin fineOffset;   // octaves added to the result
    FloatOutPin pitchOut;    // octaves
};
