// The wave editor's model: four working waves, clipboard, undo buffers, paste latch and the
// generator and modifier commands, without any host, pin or drawing code.
//
// The editor module owns one WaveModel and implements WavePinPort for it: the model reads
// what a wave pin holds now (for Undo) and sets a wave pin when it commits or sends a wave.
// The module forwards the host's pin changes to the model (applyLength, setSelect, takeBlob,
// copy, paste, runGenerator, runModifier).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pq::waveeditor {

using Wave = std::vector<float>;

// Longest wave the editor keeps; longer Wave Length values are clamped to it.
inline constexpr int32_t kMaxSampleCount = 65536;
inline constexpr int32_t kWaveCount = 4;

// The menus set on Generator List and Modifier List. Their comma-separated entries are the
// commands, numbered from 0 (separators included).
inline constexpr std::string_view kGeneratorMenu =
    "SINE,RAMP UP,RAMP DOWN,SQUARE,TRIANGLE,FIBONACCI,PRIMES [A],VOXEL[N+A],METALLIC [A],----,"
    "ADDITIVE COPY [N],INHARMONIC COPY [N+A],NTH HARMONIC [N+A] ,NTH RANDOVERTONE [N+A],----,"
    "RANDOM WAVE, RANDOM LINES,RANDOM SEGMENT,RAND [N] SEGMENTS,BINARY NOISE,----,"
    "EXPONENTIAL DOWN [A],LOGARITHMIC DOWN [A],EXPONENTIAL UP [A],LOGARITHMIC UP [A],----,"
    "RANDOM ARP, ARP [N] NOTES, FLAT";
inline constexpr std::string_view kModifierMenu =
    "ADD HARMONIC [N],ADD SINE [N+A],ADD NOISE [A],ADD COPY [A],----,MULTIPLY BY COPY,"
    "MULTIPLY ABS COPY [A],AM BY COPY [A],CYCLE COPY [A],FM BY COPY [A],FM COPY LOOP FIT[A],"
    "WAVESHAPE COPY,COPY [N]TH SAMPLE,----,SMOOTH [A],SMOOTH LOOP [N+A],FADE START [A],"
    "FADE END [A],FADE ENDS [A],----,LOWER RESOLUTION [N],FLOOR [A],QUANTIFY SEMITONE 1-OCT,"
    " QUANTIFY SEMITONE 2-OCT,----,REVERSE,INVERT,PHASE OFFSET [A],REMOVE DC,BANDLIMIT [A],"
    "CENTER+NORMALIZE,LOWER AMPLITUDE [A],CLIP [A],SYMMETRIZE,RECTIFY,PHASE DISTORT [A],"
    "SET SAMPLE [N] VALUE [A],COPY,UNDO";

// What the module offers the model: wave pins 0..3 (Wave1..Wave4).
class WavePinPort {
public:
    virtual ~WavePinPort() = default;
    // The bytes wave pin `pin` holds now.
    virtual std::span<const uint8_t> wavePinBytes(int32_t pin) const = 0;
    // The pin's setValue: sends to the host only when the bytes differ.
    virtual void setWavePin(int32_t pin, std::span<const uint8_t> bytes) = 0;
};

// The editor's random source: a 32-bit linear congruential state per thread; each call
// returns 0..32767. Every editor construction reseeds it with the time in whole seconds.
int32_t randomInt();
void seedRandom(uint32_t seed);
void seedRandomFromClock();

// Maps [min, max] of the wave linearly onto [-0.5, 0.5]; a wave whose samples are all equal
// is left as it is.
void fitToRange(std::span<float> wave);
// fitToRange when a sample lies above 0.5 or not at or above -0.5 (NaN included).
void fitIfOutOfRange(std::span<float> wave);
// Rotates left by k (new sample i = old sample (i + k) mod size). Nothing happens for k
// outside 1..size-1 or above `limit` (the editor's sample count).
void rotateWave(std::span<float> wave, int64_t k, int64_t limit);
// The name of wave `select` in a Wave Names text: commas count as spaces, "_" becomes a
// space; an empty text or too few words give "Wave1".."Wave4" by index.
std::string waveNameFor(std::string_view names, int32_t select);

struct CommandEntry;
using FitFn = void (*)(std::span<float>);

class WaveModel {
public:
    // Seeds the random source from the clock, as every editor construction does.
    explicit WaveModel(WavePinPort& port);

    // Wave Length changed: resizes the waves and undo buffers (kept samples stay, new ones
    // are 0). NaN or below 1 gives empty waves, above kMaxSampleCount is clamped.
    void applyLength(float length);
    // Wave Select changed (the module updates the Inactive pins).
    void setSelect(int32_t select);
    int32_t select() const { return select_; }
    // The wave Wave Select works on: 0..3, any other value the fourth wave.
    int32_t selectedIndex() const;

    // Wave pin k changed by the host: takes the samples when the size is exactly 4 * n
    // bytes. Returns whether the wave was replaced.
    bool takeBlob(int32_t k, const void* data, int32_t size);

    void copy();
    void paste(bool on);
    void runGenerator(int32_t index, float n, float a);
    void runModifier(int32_t index, float n, float a);
    // Runs one command of any menu on the selected wave, with the normalisations it calls
    // "fit" and "fit if out of range". A result holding a NaN or infinite sample is dropped.
    void runEntry(const CommandEntry& entry, float n, float a, FitFn fit = fitToRange,
                  FitFn fitIfOut = fitIfOutOfRange);
    // Saves the selected pin's current wave for Undo, then sends `wave`.
    void commitWave(const Wave& wave);
    // Sets the selected wave pin to the first n samples of `wave`.
    void sendWave(const Wave& wave);
    void undo();
    // Keeps the selected wave in its undo buffer: the undo point of a pointer stroke.
    void keepUndo();

    float lengthValue() const { return length_; }
    int32_t sampleCount() const { return sampleCount_; }
    int32_t lastIndex() const { return lastIndex_; }
    const Wave& wave(int32_t k) const;
    Wave& wave(int32_t k);
    const Wave& selectedWave() const { return wave(selectedIndex()); }
    Wave& selectedWave() { return wave(selectedIndex()); }
    const Wave& clipboard() const { return clipboard_; }
    const Wave& undoWave(int32_t k) const;
    bool pasteLatch() const { return pasteLatch_; }
    bool generatorStarted() const { return generatorStarted_; }
    bool modifierStarted() const { return modifierStarted_; }

private:
    WavePinPort& port_;
    bool generatorStarted_ = false;
    bool modifierStarted_ = false;
    std::array<Wave, kWaveCount> waves_;
    float length_ = 0.0f;
    int32_t sampleCount_ = 0;
    int32_t lastIndex_ = -1;
    Wave clipboard_;
    std::array<Wave, kWaveCount> undoWaves_;
    bool pasteLatch_ = false;
    int32_t select_ = 0;
    Wave scratch_;
    std::vector<uint8_t> blob_;
};

} // namespace pq::waveeditor
