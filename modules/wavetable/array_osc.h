// The array oscillator: two single-cycle waves, A and B, each played by one to seven detuned
// voices from ten band-limited tables (one per octave), crossfaded by Morph. Pitch follows
// 0.1 per octave from 13.75 Hz, read from a pitch table that every instance shares through
// the host, or computed when a voice leaves 0 .. 1. Further inputs: pitch modulation, hard
// sync, phase warp, level and ring modulation.
//
// Block routines: Mix, A Only and B Only, each instantiated per warp and level setting so
// that no sample loop tests a mode; the voices are read in SIMD lanes (voice_lanes.h). Voice frequencies are
// recomputed only when a change detector fires; band tables are rebuilt in onSetPins without allocating for
// waves of typical length.
#pragma once

#include <array>
#include <vector>

#include "modules/wavetable/band_tables.h"
#include "modules/wavetable/voice_lanes.h"
#include "runtime/audio/mp_pins.h"
#include "runtime/pin_table.h"

class ArrayOsc : public MpBase {
public:
    enum Pin : int32_t {
        kWaveA,
        kWaveB,
        kPitch,
        kPitchOffsetA,
        kPitchOffsetB,
        kPitchModDepth,
        kPitchMod,
        kSpare,
        kRingMod,
        kRingModDepth,
        kLevelMode,
        kLevel,
        kSync,
        kMorph,
        kWarpMode,
        kWarp,
        kWarpModDepth,
        kWarpMod,
        kVoicesA,
        kVoicesB,
        kSpreadA,
        kSpreadB,
        kSignalOut,
    };
    static constexpr pq::PinDescription kPins[] = {
        {kWaveA, "Wave A", gmpi::kDatatypeBlob, gmpi::kDirectionIn},
        {kWaveB, "Wave B", gmpi::kDatatypeBlob, gmpi::kDirectionIn},
        {kPitch, "Pitch", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kPitchOffsetA, "Pitch Offset A", gmpi::kDatatypeFloat, gmpi::kDirectionIn, "0"},
        {kPitchOffsetB, "Pitch Offset B", gmpi::kDatatypeFloat, gmpi::kDirectionIn, "0"},
        {kPitchModDepth, "Pitch Mod Depth", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kPitchMod, "Pitch Mod", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kSpare, "Spare", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kRingMod, "Ring Mod", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kRingModDepth, "Ring Mod Depth", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kLevelMode, "Level Mode", gmpi::kDatatypeInt, gmpi::kDirectionIn, "0"},
        {kLevel, "Level", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kSync, "Sync", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kMorph, "Morph", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kWarpMode, "Warp Mode", gmpi::kDatatypeInt, gmpi::kDirectionIn, "0"},
        {kWarp, "Warp", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kWarpModDepth, "Warp Mod Depth", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kWarpMod, "Warp Mod", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kVoicesA, "Voices A", gmpi::kDatatypeInt, gmpi::kDirectionIn, "0"},
        {kVoicesB, "Voices B", gmpi::kDatatypeInt, gmpi::kDirectionIn, "0"},
        {kSpreadA, "Spread A", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kSpreadB, "Spread B", gmpi::kDatatypeAudio, gmpi::kDirectionIn},
        {kSignalOut, "Signal Out", gmpi::kDatatypeAudio, gmpi::kDirectionOut},
    };
    static constexpr pq::ModuleDescription kDescription{"pellquin ArrayOsc", gmpi::kSubtypeAudio, "ArrayOsc",
                                                        kPins};

    static constexpr int32_t kMaxVoices = 7;
    static constexpr int32_t kPitchTableSize = 12000;
    static constexpr int32_t kPitchTableScale = 11999;
    static constexpr char16_t kPitchTableName[] = u"pq ArrayOsc PitchLUT";

    ArrayOsc();
    int32_t open() override;
    void onSetPins() override;

    // Entry i of the shared pitch table: 13.75 Hz raised by i cents.
    static void fillPitchTable(float* table);

    // Whether the voices are read in eight-voice AVX2 lanes; on by default where the processor
    // has AVX2. Turning it off (benchmarks, tests) holds them to the four-voice baseline lanes
    // from the next onSetPins on.
    bool wideLanes() const { return wideLanes_; }
    void setWideLanes(bool on) { wideLanes_ = on && pq::wideVoiceLanesAvailable(); }

private:
    struct Wave {
        pq::BandTables tables;
        pq::VoiceLanes lanes; // phases, and the increments of the voices in play
        std::array<float, kMaxVoices> frequency{};
        std::array<float, kMaxVoices> increment{}; // frequency / sample rate, also of voices not in play
        int32_t tableIndex = 0;
        int32_t code = 0; // voice code, -1 (silent) .. 6
        int32_t voices = 1;
    };

    // The routines' sample loops, over the voice lanes read by `Lanes`; built once for the
    // baseline lanes and, where the processor has them, once more for AVX2 lanes.
    template <bool Warp, bool Level, class Lanes> void mixLoop(int32_t offset, int32_t count);
    template <bool Warp, bool Level, bool IsA, class Lanes> void singleLoop(int32_t offset, int32_t count);
    template <bool Warp, bool Level> void subProcessMix(int32_t offset, int32_t count);
    template <bool Warp, bool Level, bool IsA> void subProcessSingle(int32_t offset, int32_t count);
    template <bool Warp, bool Level> PQ_AVX2_ROUTINE void subProcessMixWide(int32_t offset, int32_t count);
    template <bool Warp, bool Level, bool IsA>
    PQ_AVX2_ROUTINE void subProcessSingleWide(int32_t offset, int32_t count);

    // The inputs every routine reads and the output, from a slice's first sample on.
    struct Inputs {
        const float *pitch, *pitchMod, *pitchModDepth, *ring, *ringDepth, *level, *sync, *warp, *warpMod,
            *warpModDepth;
        float* out;
    };
    Inputs inputsAt(int32_t offset);

    enum class Playing { kMix, kAOnly, kBOnly };
    SubProcess routine(Playing playing, bool warp, bool level) const;
    void takeWave(const BlobInPin& pin, Wave& wave);
    // Table index and voice frequencies of `wave` for centre pitch `pitch` and spread `spread`.
    void setVoices(Wave& wave, float spread, float pitch);

    // Pins, in host order.
    BlobInPin waveAPin;
    BlobInPin waveBPin;
    AudioInPin pitchPin;
    FloatInPin pitchOffsetAPin;
    FloatInPin pitchOffsetBPin;
    AudioInPin pitchModDepthPin;
    AudioInPin pitchModPin;
    AudioInPin sparePin; // never read
    AudioInPin ringModPin;
    AudioInPin ringModDepthPin;
    IntInPin levelModePin;
    AudioInPin levelPin;
    AudioInPin syncPin;
    AudioInPin morphPin;
    IntInPin warpModePin;
    AudioInPin warpPin;
    AudioInPin warpModDepthPin;
    AudioInPin warpModPin;
    IntInPin voicesAPin;
    IntInPin voicesBPin;
    AudioInPin spreadAPin;
    AudioInPin spreadBPin;
    AudioOutPin signalOutPin;

    Wave waveA_;
    Wave waveB_;
    std::array<float, kMaxVoices> voiceGain_{};
    bool syncLatch_ = false;
    bool wideLanes_ = pq::wideVoiceLanesAvailable();
    float offsetA_ = 0.0f;
    float offsetB_ = 0.0f;
    float changeMemory_ = -20.0f;
    float changeMemory2_ = -20.0f;
    float inverseSampleRate_ = 1.0f / 44100.0f;
    const float* pitchTable_ = nullptr;
    std::vector<float> ownPitchTable_; // only when the host gives no shared block

    pq::BandTableBuilder builder_;
    std::vector<float> incoming_;
};
