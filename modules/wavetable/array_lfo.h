// The array LFO: plays one single-cycle wave, received as a wave blob, as a control signal on
// an audio-rate output. Modes: off, free run, one shot, step on triggers, tempo sync.
//
// Every mode has its own block routine, instantiated per Interpolate setting and (for the
// cycling modes) per gain source, so no sample loop tests a mode. One Shot and Step end in
// the stop routine, which announces the output as constant, and the fill routine, which holds
// the last value while the module winds down to sleep.
#pragma once

#include <vector>

#include "modules/wavetable/table_reading.h"
#include "runtime/audio/mp_pins.h"
#include "runtime/pin_table.h"

class ArrayLFO : public MpBase {
public:
    enum Pin : int32_t {
        kMode,
        kRate,
        kGate,
        kTrigger,
        kFadeIn,
        kInterpolate,
        kWave,
        kLevelMode,
        kLevelEnable,
        kLevel,
        kSpare,
        kTempo,
        kSignalOut,
    };
    static constexpr pq::PinDescription kPins[] = {
        {kMode, "Mode", gmpi::kDatatypeInt, gmpi::kDirectionIn, "0"},
        {kRate, "Rate", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kGate, "Gate", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kTrigger, "Trigger", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kFadeIn, "Fade In", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kInterpolate, "Interpolate", gmpi::kDatatypeInt, gmpi::kDirectionIn, "0"},
        {kWave, "Wave", gmpi::kDatatypeBlob, gmpi::kDirectionIn},
        {kLevelMode, "Level Mode", gmpi::kDatatypeInt, gmpi::kDirectionIn, "0"},
        {kLevelEnable, "Level Enable", gmpi::kDatatypeInt, gmpi::kDirectionIn, "0"},
        {kLevel, "Level", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kSpare, "Spare", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kTempo, "Tempo", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kSignalOut, "Signal Out", gmpi::kDatatypeAudio, gmpi::kDirectionOut},
    };
    static constexpr pq::ModuleDescription kDescription{"pellquin ArrayLFO", gmpi::kSubtypeAudio, "ArrayLFO",
                                                        kPins};

    ArrayLFO();
    int32_t open() override;
    void onSetPins() override;

    // Table positions per second per unit of Rate in Free Run, and Tempo Sync multipliers by
    // division (index 1 .. 20).
    static constexpr float kFreeRunSpeed = 5000.0f;
    static constexpr float kTempoMultipliers[21] = {
        0.0f,           16.0f / 3.0f,   64.0f / 9.0f,   8.0f,          32.0f / 3.0f,   128.0f / 9.0f,
        16.0f,          64.0f / 3.0f,   256.0f / 9.0f,  32.0f,         128.0f / 3.0f,  512.0f / 9.0f,
        64.0f,          256.0f / 3.0f,  128.0f,         512.0f / 3.0f, 1024.0f / 3.0f, 2048.0f / 3.0f,
        4096.0f / 3.0f, 8192.0f / 3.0f, 16384.0f / 3.0f};

private:
    enum Mode : int32_t { kOff = 0, kFreeRun = 1, kOneShot = 2, kStep = 3, kTempoSync = 4 };

    // Free Run (TempoSync false) and Tempo Sync.
    template <bool Interpolate, bool LevelGain, bool TempoSync>
    void subProcessCycling(int32_t offset, int32_t count);
    template <bool Interpolate> void subProcessOneShot(int32_t offset, int32_t count);
    template <bool Interpolate> void subProcessStep(int32_t offset, int32_t count);
    void subProcessOff(int32_t offset, int32_t count);
    void subProcessStop(int32_t offset, int32_t count);
    void subProcessFill(int32_t offset, int32_t count);

    // The mode's routine for the current Interpolate and level settings.
    SubProcess routineFor(int32_t mode) const;
    // The routine of a mode (0 .. 4; anything else: Off) for the given settings.
    static SubProcess routineOf(int32_t mode, bool interpolate, bool levelGain);
    template <bool TempoSync> static SubProcess cyclingRoutine(bool interpolate, bool levelGain);
    // Whether `routine` is one of the mode's routines, whatever the settings.
    static bool isModeRoutine(int32_t mode, SubProcess routine);
    void takeWave();
    void useDefaultWave();

    bool triggerReset(float trigger);
    void setOneShotIncrement(float rate);
    void setFreeRunIncrement(float rate);
    void setTempoSyncIncrement(float rate, float tempo);

    // Pins, in host order.
    IntInPin modePin;
    AudioInPin ratePin;
    AudioInPin gatePin;
    AudioInPin triggerPin;
    AudioInPin fadeInPin;
    IntInPin interpolatePin;
    BlobInPin wavePin;
    IntInPin levelModePin;
    IntInPin levelEnablePin;
    AudioInPin levelPin;
    AudioInPin sparePin; // never read
    AudioInPin tempoPin;
    AudioOutPin signalOutPin;

    // The wave's N samples followed by a copy of the last one, so that interpolation at the
    // last position reads it exactly without a test.
    std::vector<float> table_;
    std::vector<float> incoming_;
    int32_t lastIndex_ = 0;
    float lastPosition_ = 0.0f;

    float phase_ = 0.0f;
    float increment_ = 0.0f;
    float heldValue_ = 0.0f;
    float rateMemory_ = -20.0f;
    float oneShotRateMemory_ = -20.0f;
    bool triggerLatch_ = false;
    int32_t oneShotState_ = 0;
    int32_t stepState_ = 1;
    pq::FadeIn fade_;
    float inverseSampleRate_ = 1.0f / 44100.0f;
    int32_t installedMode_ = kFreeRun;
};
