// ADSR3: an attack-decay-sustain-release envelope with curved segments at audio rate.
//
// A rising gate starts the attack from the current level toward 1, the decay falls to the
// sustain level, the sustain holds while the gate stays high and the release falls to 0 once
// it drops. A trigger rising while the gate is high restarts the attack; a voice reset drops
// the level to 0 at once. Gate and trigger are followed at event instants, and sample by
// sample while either of them streams.
//
// Each stage renders through one segment routine chosen when the stage starts, by the ramp's
// direction and by which of "Sustain" and "Overall Level" stream; the sample loops test no
// modes. While the envelope holds a constant level its output is announced as not streaming,
// so that the host can let the module sleep. [audio thread]
#pragma once

#include "runtime/audio/mp_pins.h"
#include "runtime/pin_table.h"

class Envelope3 : public MpBase {
public:
    enum Pin : int32_t {
        kTrigger,
        kGate,
        kAttack,
        kDecay,
        kSustain,
        kRelease,
        kOverallLevel,
        kAttackCurve,
        kDecayCurve,
        kReleaseCurve,
        kSignalOut,
        kVoiceReset,
    };
    static constexpr const char* kCurveRange = "metadata=\",,5,-5\"";
    static constexpr pq::PinDescription kPins[] = {
        {kTrigger, "Trigger", gmpi::kDatatypeAudio, gmpi::kDirectionIn, "0.1"},
        {kGate, "Gate", gmpi::kDatatypeAudio, gmpi::kDirectionIn, "0.1"},
        {kAttack,
         "Attack",
         gmpi::kDatatypeAudio,
         gmpi::kDirectionIn,
         "0.075",
         {},
         "Attack default 0.075: 2 ms"},
        {kDecay, "Decay", gmpi::kDatatypeAudio, gmpi::kDirectionIn, "0.5"},
        {kSustain, "Sustain", gmpi::kDatatypeAudio, gmpi::kDirectionIn, "0.7"},
        {kRelease, "Release", gmpi::kDatatypeAudio, gmpi::kDirectionIn, "0.4"},
        {kOverallLevel, "Overall Level", gmpi::kDatatypeAudio, gmpi::kDirectionIn, "1.0"},
        {kAttackCurve, "Attack Curve", gmpi::kDatatypeAudio, gmpi::kDirectionIn, "0.3", kCurveRange},
        {kDecayCurve, "Decay Curve", gmpi::kDatatypeAudio, gmpi::kDirectionIn, "0", kCurveRange},
        {kReleaseCurve, "Release Curve", gmpi::kDatatypeAudio, gmpi::kDirectionIn, "0", kCurveRange},
        {kSignalOut, "Signal Out", gmpi::kDatatypeAudio, gmpi::kDirectionOut},
        {kVoiceReset,
         "VoiceReset",
         gmpi::kDatatypeFloat,
         gmpi::kDirectionIn,
         {},
         "hostConnect=\"Voice/Active\" isPolyphonic=\"true\""},
    };
    static constexpr pq::ModuleDescription kDescription{
        "PQADSR3",
        gmpi::kSubtypeAudio,
        "Envelope3",
        kPins,
        {"QM ADSR3c", "ADSR3", "Waveform", "EnveloperAdsr.htm"}};

    Envelope3();
    int32_t open() override;
    void onSetPins() override;

private:
    // Pins in table order.
    AudioInPin trigger;
    AudioInPin gate;
    AudioInPin attack; // time of the attack, 0..1 for 1 ms..10 s
    AudioInPin decay;
    AudioInPin sustain; // level the decay falls to
    AudioInPin release;
    AudioInPin overallLevel; // the output is the envelope times this
    AudioInPin attackCurve;  // -5 (slow start) .. 5 (fast start)
    AudioInPin decayCurve;
    AudioInPin releaseCurve;
    AudioOutPin signalOut;
    FloatInPin voiceReset; // > 0: silence the voice at once

    using Segment = void (Envelope3::*)(int32_t offset, int32_t count);
    enum class RampEnd { Rise, Fall, DecayToSustain };
    // Stages: attack, decay (then sustain), release (then idle).
    enum : int16_t { kAttackStage = 0, kSustainStage = 1, kEndStage = 2 };

    // Block routines.
    void subProcessStages(int32_t offset, int32_t count);
    void subProcessGateScan(int32_t offset, int32_t count);

    // Segment routines: render `count` samples from `offset`; a ramp that reaches its target
    // leaves the samples after it in remainingSamples and moves on to the next stage.
    void segmentNone(int32_t offset, int32_t count);
    void segmentIdle(int32_t offset, int32_t count);
    template <bool PerSampleSustain, bool PerSampleLevel> void segmentSustain(int32_t offset, int32_t count);
    template <RampEnd End, bool PerSampleLevel, bool TracksDistance>
    void segmentRamp(int32_t offset, int32_t count);
    template <RampEnd End, bool TracksDistance> Segment rampRoutine(bool perSampleLevel) const;

    void handleGateTrigger(int32_t position, float gateValue, float triggerValue);
    void nextStage(int32_t position);
    void startStage(int32_t position);
    void chooseBlockRoutine();

    int16_t stage = kEndStage;
    bool isHolding = true; // the stage holds a constant level (sustain, idle)
    bool gateState = true; // starts high: a gate already high at load starts nothing
    bool triggerState = false;
    double level = 0.0;
    float targetLevel = 0.0f;
    double targetLevelExact = 0.0; // targetLevel as compared against `level`
    double stageStartLevel = 0.0;
    double coefficient = 0.0;
    double asymptote = 0.0;
    double distance = 0.0; // level - asymptote, for ramps run on their distance
    double growth = 1.0;
    int32_t rampSamplesLeft = 1; // samples the current ramp may still take, the last included
    int32_t remainingSamples = 0;
    Segment stageRoutine = &Envelope3::segmentNone;
};
