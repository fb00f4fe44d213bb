#include "modules/wavetable/array_osc.h"

#include <algorithm>
#include <cmath>

#include "modules/wavetable/conversions.h"
#include "modules/wavetable/table_reading.h"
#include "modules/wavetable/voice_lanes.h"
#include "modules/wavetable/wave_blob.h"
#include "runtime/audio/edition.h"

namespace {

constexpr size_t kReservedWaveLength = 4096;
constexpr float kLowestFrequency = 13.75f;
constexpr float kTenLn2 = 6.931472f;

// Voice offsets in units of the spread, in voice order, per voice code. The table path orders
// the last three voices of code 6 differently.
using Layout = std::array<float, ArrayOsc::kMaxVoices>;
constexpr std::array<Layout, ArrayOsc::kMaxVoices> kLayouts = {{
    {0.0f},
    {-1.0f, 1.0f},
    {-1.0f, 0.0f, 1.0f},
    {-1.0f, -0.5f, 0.5f, 1.0f},
    {-1.0f, -0.5f, 0.0f, 0.5f, 1.0f},
    {-1.0f, -0.33f, -0.66f, 0.66f, 0.33f, 1.0f},
    {-1.0f, -0.33f, -0.66f, 0.0f, 0.66f, 0.33f, 1.0f},
}};
constexpr Layout kTableLayout7 = {-1.0f, -0.33f, -0.66f, 0.0f, 1.0f, 0.66f, 0.33f};

// The offsets of a third and two thirds of the spread are formed in double precision on the
// table path.
double doubleFactor(float factor) {
    if (factor == 0.33f) return 0.33;
    if (factor == -0.33f) return -0.33;
    if (factor == 0.66f) return 0.66;
    if (factor == -0.66f) return -0.66;
    return factor;
}
bool isThird(float factor) {
    return factor == 0.33f || factor == -0.33f || factor == 0.66f || factor == -0.66f;
}

float computedFrequency(float x) {
    // NaN reads as 0; the range keeps the exponential finite (below -20 it is 0 in single
    // precision anyway).
    return kLowestFrequency * std::exp(kTenLn2 * pq::clampOrLow(x, -20.0f, 12.0f));
}

} // namespace

// The routine for what is played and the warp and level settings, in the lanes in use.
MpBase::SubProcess ArrayOsc::routine(Playing playing, bool warp, bool level) const {
    using R = void (ArrayOsc::*)(int32_t, int32_t);
    using Table = std::array<R, 4>; // by warp * 2 + level
    static constexpr Table kMix = {
        &ArrayOsc::subProcessMix<false, false>, &ArrayOsc::subProcessMix<false, true>,
        &ArrayOsc::subProcessMix<true, false>, &ArrayOsc::subProcessMix<true, true>};
    static constexpr Table kA = {
        &ArrayOsc::subProcessSingle<false, false, true>, &ArrayOsc::subProcessSingle<false, true, true>,
        &ArrayOsc::subProcessSingle<true, false, true>, &ArrayOsc::subProcessSingle<true, true, true>};
    static constexpr Table kB = {
        &ArrayOsc::subProcessSingle<false, false, false>, &ArrayOsc::subProcessSingle<false, true, false>,
        &ArrayOsc::subProcessSingle<true, false, false>, &ArrayOsc::subProcessSingle<true, true, false>};
#if PQ_VOICE_LANES_WIDE
    static constexpr Table kMixWide = {
        &ArrayOsc::subProcessMixWide<false, false>, &ArrayOsc::subProcessMixWide<false, true>,
        &ArrayOsc::subProcessMixWide<true, false>, &ArrayOsc::subProcessMixWide<true, true>};
    static constexpr Table kAWide = {&ArrayOsc::subProcessSingleWide<false, false, true>,
                                     &ArrayOsc::subProcessSingleWide<false, true, true>,
                                     &ArrayOsc::subProcessSingleWide<true, false, true>,
                                     &ArrayOsc::subProcessSingleWide<true, true, true>};
    static constexpr Table kBWide = {&ArrayOsc::subProcessSingleWide<false, false, false>,
                                     &ArrayOsc::subProcessSingleWide<false, true, false>,
                                     &ArrayOsc::subProcessSingleWide<true, false, false>,
                                     &ArrayOsc::subProcessSingleWide<true, true, false>};
    const bool wide = wideLanes_;
#else
    const Table &kMixWide = kMix, &kAWide = kA, &kBWide = kB;
    const bool wide = false;
#endif
    const Table& table = playing == Playing::kAOnly   ? (wide ? kAWide : kA)
                         : playing == Playing::kBOnly ? (wide ? kBWide : kB)
                                                      : (wide ? kMixWide : kMix);
    return static_cast<SubProcess>(table[size_t(warp) * 2 + size_t(level)]);
}

ArrayOsc::ArrayOsc() {
    pq::attachPins<kPins>(this, waveAPin, waveBPin, pitchPin, pitchOffsetAPin, pitchOffsetBPin,
                          pitchModDepthPin, pitchModPin, sparePin, ringModPin, ringModDepthPin, levelModePin,
                          levelPin, syncPin, morphPin, warpModePin, warpPin, warpModDepthPin, warpModPin,
                          voicesAPin, voicesBPin, spreadAPin, spreadBPin, signalOutPin);

    waveAPin.reserve(4 * kReservedWaveLength);
    waveBPin.reserve(4 * kReservedWaveLength);
    incoming_.reserve(kReservedWaveLength);
    for (Wave* wave : {&waveA_, &waveB_}) {
        pq::fillDefaultBandTables(wave->tables);
        for (int32_t v = 0; v < kMaxVoices; ++v)
            wave->lanes.phase[size_t(v)] = 0.05f * static_cast<float>(v);
        wave->lanes.play(wave->voices, wave->increment.data());
    }
    for (int32_t k = 0; k < kMaxVoices; ++k)
        voiceGain_[size_t(k)] = 1.0f / std::sqrt(static_cast<float>(k + 1));
}

void ArrayOsc::fillPitchTable(float* table) {
    for (int32_t i = 0; i < kPitchTableSize; ++i)
        table[i] = kLowestFrequency * std::exp((static_cast<float>(i) * (1.0f / 12000.0f)) * kTenLn2);
}

int32_t ArrayOsc::open() {
    const float rate = getSampleRate();
    inverseSampleRate_ = rate > 0.0f && std::isfinite(rate) ? 1.0f / rate : 1.0f / 44100.0f;

    int32_t handle = 0;
    getHost()->getHandle(&handle);
    void* block = nullptr;
    int32_t needInitialise = 0;
    getHost()->allocateSharedMemory(kPitchTableName, &block, -1.0f, kPitchTableSize * int32_t(sizeof(float)),
                                    &needInitialise);
    if (block != nullptr) {
        // The single-module build refills the shared table on every open.
        if (needInitialise == 1 || pq::kSingleModuleBuild) fillPitchTable(static_cast<float*>(block));
        pitchTable_ = static_cast<const float*>(block);
    } else {
        ownPitchTable_.resize(kPitchTableSize);
        fillPitchTable(ownPitchTable_.data());
        pitchTable_ = ownPitchTable_.data();
    }

    setSubProcessRoutine(routine(Playing::kMix, warpModePin.getValue() == 1, levelModePin.getValue() == 1));
    return gmpi::kMpOk;
}

// An empty blob (or one of 1 to 3 bytes) brings back the default tables; a wave with a NaN or
// infinite sample is ignored and the tables stay as they were.
void ArrayOsc::takeWave(const BlobInPin& pin, Wave& wave) {
    const MpBlob& blob = pin.getValue();
    if (pq::waveSampleCount(blob.size()) == 0) {
        pq::fillDefaultBandTables(wave.tables);
        return;
    }
    if (!pq::decodeWave(blob.data(), blob.size(), incoming_)) return;
    // The single-module build plays waves as they came: no conditioning, table 0 unfiltered.
    constexpr pq::BandTableStyle style =
        pq::kSingleModuleBuild ? pq::BandTableStyle{false, false} : pq::BandTableStyle{true, true};
    builder_.build(incoming_, wave.tables, style);
}

void ArrayOsc::onSetPins() {
    if (waveAPin.isUpdated()) takeWave(waveAPin, waveA_);
    if (waveBPin.isUpdated()) takeWave(waveBPin, waveB_);
    if (pitchOffsetAPin.isUpdated()) offsetA_ = pitchOffsetAPin.getValue() * 0.1f;
    if (pitchOffsetBPin.isUpdated()) offsetB_ = pitchOffsetBPin.getValue() * 0.1f;

    // Codes above 6 play seven voices, below 0 none.
    waveA_.code = std::clamp(voicesAPin.getValue(), -1, kMaxVoices - 1);
    waveA_.voices = waveA_.code + 1;
    waveB_.code = std::clamp(voicesBPin.getValue(), -1, kMaxVoices - 1);
    waveB_.voices = waveB_.code + 1;
    waveA_.lanes.play(waveA_.voices, waveA_.increment.data());
    waveB_.lanes.play(waveB_.voices, waveB_.increment.data());

    Playing playing = Playing::kMix;
    if (!morphPin.isStreaming()) {
        const float m = morphPin.getValue();
        if (m <= 0.0f)
            playing = Playing::kAOnly;
        else if (m >= 1.0f)
            playing = Playing::kBOnly;
    }
    setSubProcessRoutine(routine(playing, warpModePin.getValue() == 1, levelModePin.getValue() == 1));
}

void ArrayOsc::setVoices(Wave& wave, float spread, float pitch) {
    wave.tableIndex = std::clamp(pq::saturatingTrunc(10.0f * pitch), 0, int32_t(pq::kBandCount) - 1);
    if (wave.code < 0) return;
    const float a = spread;
    const bool tablePath = pitchTable_ != nullptr && pitch + a <= 1.0f && pitch - a >= 0.0f;
    const Layout& layout = tablePath && wave.code == 6 ? kTableLayout7 : kLayouts[size_t(wave.code)];
    for (int32_t v = 0; v < wave.voices; ++v) {
        const float factor = layout[size_t(v)];
        float frequency;
        if (tablePath) {
            int32_t index;
            if (isThird(factor)) {
                const double x = static_cast<double>(pitch) + static_cast<double>(a) * doubleFactor(factor);
                index = pq::saturatingTrunc(x * kPitchTableScale);
            } else {
                const float x = factor == 0.0f ? pitch : pitch + a * factor;
                index = pq::saturatingTrunc(x * static_cast<float>(kPitchTableScale));
            }
            frequency = pitchTable_[std::clamp(index, 0, kPitchTableSize - 1)];
        } else {
            frequency = computedFrequency(factor == 0.0f ? pitch : pitch + a * factor);
        }
        wave.frequency[size_t(v)] = frequency;
        wave.increment[size_t(v)] = frequency * inverseSampleRate_;
        wave.lanes.setIncrement(v, wave.increment[size_t(v)]);
    }
}

ArrayOsc::Inputs ArrayOsc::inputsAt(int32_t offset) {
    const auto at = [offset](const AudioInPin& pin) { return pin.getBuffer() + offset; };
    return {at(pitchPin),
            at(pitchModPin),
            at(pitchModDepthPin),
            at(ringModPin),
            at(ringModDepthPin),
            at(levelPin),
            at(syncPin),
            at(warpPin),
            at(warpModPin),
            at(warpModDepthPin),
            signalOutPin.getBuffer() + offset};
}

template <bool Warp, bool Level, class Lanes> inline void ArrayOsc::mixLoop(int32_t offset, int32_t count) {
    const Inputs in = inputsAt(offset);
    const float* morph = morphPin.getBuffer() + offset;
    const float* spreadA = spreadAPin.getBuffer() + offset;
    const float* spreadB = spreadBPin.getBuffer() + offset;

    const float voicesA = static_cast<float>(waveA_.voices);
    const float voicesB = static_cast<float>(waveB_.voices);
    const float gainA = voiceGain_[size_t(std::max(waveA_.code, 0))];
    const float gainB = voiceGain_[size_t(std::max(waveB_.code, 0))];
    const Lanes lanes;
    for (int32_t n = 0; n < count; ++n) {
        const float d = pq::clampOrLow(morph[n], 0.0f, 1.0f);
        const float c = Level ? in.level[n] : 1.0f;
        pq::WarpShape shape;
        if constexpr (Warp) shape = pq::warpShape(in.warp[n], in.warpMod[n], in.warpModDepth[n]);

        if (in.sync[n] >= 1.0f && !syncLatch_) {
            std::fill_n(waveA_.lanes.phase.begin(), waveA_.voices, 0.0f);
            std::fill_n(waveB_.lanes.phase.begin(), waveB_.voices, 0.0f);
            syncLatch_ = true;
        } else if (in.sync[n] < 1.0f) {
            syncLatch_ = false;
        }

        const float p = in.pitch[n] + in.pitchMod[n] * in.pitchModDepth[n];
        const float pA = p + offsetA_;
        const float pB = p + offsetB_;
        const float s = pB + pA + spreadA[n] + spreadB[n] + voicesA + voicesB;
        if (s != changeMemory_) {
            setVoices(waveA_, spreadA[n], pA);
            changeMemory_ = s;
            setVoices(waveB_, spreadB[n], pB);
        }

        float sumA, sumB;
        lanes.template playPair<Warp>(waveA_.lanes, waveA_.tables[size_t(waveA_.tableIndex)].data(),
                                      waveB_.lanes, waveB_.tables[size_t(waveB_.tableIndex)].data(), shape,
                                      sumA, sumB);
        const float k = (sumA * gainA * (1.0f - d) + sumB * gainB * d) * c;
        in.out[n] = pq::ringFactor(in.ring[n], in.ringDepth[n]) * k;
    }
}

// One wave without the crossfade; the other wave's phases stand still. The two differ in
// when the sync latch clears (A: Sync at or below 0, B: below 1) and in the order of the
// final product.
template <bool Warp, bool Level, bool IsA, class Lanes>
inline void ArrayOsc::singleLoop(int32_t offset, int32_t count) {
    Wave& wave = IsA ? waveA_ : waveB_;
    const float waveOffset = IsA ? offsetA_ : offsetB_;
    const Inputs in = inputsAt(offset);
    const float* spread = (IsA ? spreadAPin : spreadBPin).getBuffer() + offset;

    const float voices = static_cast<float>(wave.voices);
    const float gain = voiceGain_[size_t(std::max(wave.code, 0))];
    const Lanes lanes;
    for (int32_t n = 0; n < count; ++n) {
        const float c = Level ? in.level[n] : 1.0f;
        pq::WarpShape shape;
        if constexpr (Warp) shape = pq::warpShape(in.warp[n], in.warpMod[n], in.warpModDepth[n]);

        if (in.sync[n] >= 1.0f && !syncLatch_) {
            std::fill_n(wave.lanes.phase.begin(), wave.voices, 0.0f);
            syncLatch_ = true;
        } else if (IsA ? in.sync[n] <= 0.0f : in.sync[n] < 1.0f) {
            syncLatch_ = false;
        }

        const float pw = in.pitch[n] + in.pitchMod[n] * in.pitchModDepth[n] + waveOffset;
        const float s2 = voices + spread[n];
        if (pw != changeMemory_ || s2 != changeMemory2_) {
            setVoices(wave, spread[n], pw);
            changeMemory_ = pw;
            changeMemory2_ = s2;
        }

        const float sum =
            lanes.template play<Warp>(wave.lanes, wave.tables[size_t(wave.tableIndex)].data(), shape);
        const float r = pq::ringFactor(in.ring[n], in.ringDepth[n]);
        in.out[n] = IsA ? gain * r * (c * sum) : gain * r * (sum * c);
    }
}

template <bool Warp, bool Level> void ArrayOsc::subProcessMix(int32_t offset, int32_t count) {
    mixLoop<Warp, Level, pq::VoiceLaneReader>(offset, count);
}
template <bool Warp, bool Level, bool IsA> void ArrayOsc::subProcessSingle(int32_t offset, int32_t count) {
    singleLoop<Warp, Level, IsA, pq::VoiceLaneReader>(offset, count);
}

#if PQ_VOICE_LANES_WIDE
// The same loops built for AVX2 as a whole, the lanes eight voices wide.
template <bool Warp, bool Level> void ArrayOsc::subProcessMixWide(int32_t offset, int32_t count) {
    mixLoop<Warp, Level, pq::WideVoiceLaneReader>(offset, count);
}
template <bool Warp, bool Level, bool IsA>
void ArrayOsc::subProcessSingleWide(int32_t offset, int32_t count) {
    singleLoop<Warp, Level, IsA, pq::WideVoiceLaneReader>(offset, count);
}
#endif
