#include "modules/wavetable/array_lfo.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "modules/wavetable/conversions.h"
#include "modules/wavetable/table_reading.h"
#include "modules/wavetable/wave_blob.h"

namespace {
constexpr size_t kDefaultWaveLength = 512;
// Waves up to this length are taken without allocating on the audio thread.
constexpr size_t kReservedWaveLength = 4096;

template <class Routine> MpBase::SubProcess asRoutine(Routine routine) {
    return static_cast<MpBase::SubProcess>(routine);
}
} // namespace

ArrayLFO::ArrayLFO() {
    pq::attachPins<kPins>(this, modePin, ratePin, gatePin, triggerPin, fadeInPin, interpolatePin, wavePin,
                          levelModePin, levelEnablePin, levelPin, sparePin, tempoPin, signalOutPin);

    wavePin.reserve(4 * kReservedWaveLength);
    incoming_.reserve(kReservedWaveLength);
    table_.reserve(kReservedWaveLength + 2);
    useDefaultWave();
}

int32_t ArrayLFO::open() {
    const float rate = getSampleRate();
    inverseSampleRate_ = rate > 0.0f && std::isfinite(rate) ? 1.0f / rate : 1.0f / 44100.0f;
    installedMode_ = kFreeRun;
    setSubProcessRoutine(routineFor(kFreeRun));
    return gmpi::kMpOk;
}

void ArrayLFO::onSetPins() {
    const bool gateHigh = gatePin.getValue() > 0.0f;
    bool streaming = gatePin.isStreaming();
    if (gateHigh && ratePin.getValue() > 0.0f) streaming = true;
    signalOutPin.setStreaming(streaming);

    if (wavePin.isUpdated()) takeWave();

    // The next fade-in starts from silence.
    if (!gateHigh) {
        fade_.restart();
    }

    const int32_t mode = modePin.getValue();
    if (mode >= kOff && mode <= kTempoSync) {
        installedMode_ = mode;
        setSubProcessRoutine(routineFor(mode));
    } else if (isModeRoutine(installedMode_, savedSubProcess())) {
        // An unknown mode keeps the routine; Interpolate and the gain source still apply.
        setSubProcessRoutine(routineFor(installedMode_));
    }

    if (!streaming)
        setSleep();
    else
        setSleepMode(pq::SleepMode::Never);
}

MpBase::SubProcess ArrayLFO::routineFor(int32_t mode) const {
    return routineOf(mode, interpolatePin.getValue() != 0,
                     levelModePin.getValue() == 1 && levelEnablePin.getValue() != 0);
}

template <bool TempoSync> MpBase::SubProcess ArrayLFO::cyclingRoutine(bool interpolate, bool levelGain) {
    if (interpolate)
        return levelGain ? asRoutine(&ArrayLFO::subProcessCycling<true, true, TempoSync>)
                         : asRoutine(&ArrayLFO::subProcessCycling<true, false, TempoSync>);
    return levelGain ? asRoutine(&ArrayLFO::subProcessCycling<false, true, TempoSync>)
                     : asRoutine(&ArrayLFO::subProcessCycling<false, false, TempoSync>);
}

MpBase::SubProcess ArrayLFO::routineOf(int32_t mode, bool interpolate, bool levelGain) {
    switch (mode) {
    case kFreeRun:
        return cyclingRoutine<false>(interpolate, levelGain);
    case kOneShot:
        return interpolate ? asRoutine(&ArrayLFO::subProcessOneShot<true>)
                           : asRoutine(&ArrayLFO::subProcessOneShot<false>);
    case kStep:
        return interpolate ? asRoutine(&ArrayLFO::subProcessStep<true>)
                           : asRoutine(&ArrayLFO::subProcessStep<false>);
    case kTempoSync:
        return cyclingRoutine<true>(interpolate, levelGain);
    }
    return asRoutine(&ArrayLFO::subProcessOff);
}

bool ArrayLFO::isModeRoutine(int32_t mode, SubProcess routine) {
    for (bool interpolate : {false, true})
        for (bool levelGain : {false, true})
            if (routine == routineOf(mode, interpolate, levelGain)) return true;
    return false;
}

void ArrayLFO::useDefaultWave() {
    table_.resize(kDefaultWaveLength + 1);
    for (size_t i = 0; i < kDefaultWaveLength; ++i)
        table_[i] = static_cast<float>(
            0.5 * std::sin(2.0 * std::numbers::pi * double(i) / double(kDefaultWaveLength)));
    table_[kDefaultWaveLength] = table_[kDefaultWaveLength - 1];
    lastIndex_ = static_cast<int32_t>(kDefaultWaveLength - 1);
    lastPosition_ = static_cast<float>(lastIndex_);
}

// An empty blob (or one of 1 to 3 bytes) brings back the default wave; a wave with a NaN or
// infinite sample is ignored. A single sample is played as a constant, as a two-sample table.
void ArrayLFO::takeWave() {
    const MpBlob& blob = wavePin.getValue();
    if (pq::waveSampleCount(blob.size()) == 0) {
        useDefaultWave();
    } else {
        if (!pq::decodeWave(blob.data(), blob.size(), incoming_)) return;
        if (incoming_.size() == 1) incoming_.push_back(incoming_[0]);
        table_.assign(incoming_.begin(), incoming_.end());
        table_.push_back(table_.back());
        lastIndex_ = static_cast<int32_t>(std::min<size_t>(incoming_.size() - 1, INT32_MAX));
        lastPosition_ = static_cast<float>(lastIndex_);
    }
    // A phase beyond the new wave's end is held at that end rather than wrapped: a One Shot
    // whose run is over stays over, holding the new wave's last sample, instead of starting
    // again from the wrapped position; the cycling modes wrap on their next advance.
    phase_ = std::min(phase_, lastPosition_);
}

bool ArrayLFO::triggerReset(float trigger) {
    if (trigger >= 1.0f && !triggerLatch_) {
        phase_ = 0.0f;
        triggerLatch_ = true;
        return true;
    }
    if (trigger < 1.0f) triggerLatch_ = false;
    return false;
}

void ArrayLFO::setOneShotIncrement(float rate) {
    if (rate > 10.0f) {
        oneShotRateMemory_ = 0.0f;
        return;
    }
    // The law changes at 0.7, compared in double precision.
    const float speed = static_cast<double>(rate) > 0.7 ? rate * rate * rate * 10000.0f : rate * 2500.0f;
    const float increment = speed * inverseSampleRate_;
    if (std::isfinite(increment)) increment_ = increment;
    oneShotRateMemory_ = rate;
}

void ArrayLFO::setFreeRunIncrement(float rate) {
    const float r = rate > 10.0f ? 0.0f : rate;
    rateMemory_ = r;
    const float increment = r * kFreeRunSpeed * inverseSampleRate_;
    if (std::isfinite(increment)) increment_ = increment;
}

// The remembered value is the scaled division while the comparison uses the raw Rate.
void ArrayLFO::setTempoSyncIncrement(float rate, float tempo) {
    const float k = std::min(rate, 1.0f) * 20.0f;
    const int32_t division = pq::saturatingTrunc(k);
    if (division >= 1 && division <= 20) {
        const float increment = tempo * kTempoMultipliers[division] * inverseSampleRate_;
        if (std::isfinite(increment)) increment_ = increment;
    }
    rateMemory_ = k;
}

// Free Run and Tempo Sync differ only in how a new Rate sets the increment.
template <bool Interpolate, bool LevelGain, bool TempoSync>
void ArrayLFO::subProcessCycling(int32_t offset, int32_t count) {
    const float* rate = ratePin.getBuffer() + offset;
    const float* trigger = triggerPin.getBuffer() + offset;
    const float* fadeIn = fadeInPin.getBuffer() + offset;
    const float* level = levelPin.getBuffer() + offset;
    const float* tempo = tempoPin.getBuffer() + offset;
    float* out = signalOutPin.getBuffer() + offset;
    const bool gateHigh = gatePin.getBuffer()[offset] > 0.0f;
    for (int32_t n = 0; n < count; ++n) {
        triggerReset(trigger[n]);
        const float gain = LevelGain ? level[n] : fade_.gain(fadeIn[n], inverseSampleRate_);
        if (!(rate[n] == rateMemory_ && gateHigh)) {
            if constexpr (TempoSync)
                setTempoSyncIncrement(rate[n], tempo[n]);
            else
                setFreeRunIncrement(rate[n]);
        }
        phase_ += increment_;
        phase_ = pq::wrapLfoPhase(phase_, lastPosition_);
        out[n] = pq::lookupWave<Interpolate>(table_.data(), lastIndex_, lastPosition_, phase_) * gain;
    }
}

template <bool Interpolate> void ArrayLFO::subProcessOneShot(int32_t offset, int32_t count) {
    const float* rate = ratePin.getBuffer() + offset;
    const float* trigger = triggerPin.getBuffer() + offset;
    const float* gate = gatePin.getBuffer() + offset;
    float* out = signalOutPin.getBuffer() + offset;
    for (int32_t n = 0; n < count; ++n) {
        const float t = trigger[n];
        const float g = gate[n];
        if (t >= 1.0f && g >= 1.0f) oneShotState_ = 1;
        if (t <= 0.0f && g > 0.0f) oneShotState_ = 2;
        bool restart;
        if (t >= 1.0f && oneShotState_ == 2)
            restart = true;
        else if (oneShotState_ == 0)
            restart = true;
        else
            restart = !(t > 0.0f || g > 0.0f);
        if (restart) {
            phase_ = 0.0f;
            oneShotState_ = 1;
            setOneShotIncrement(rate[n]);
        }
        if (rate[n] != oneShotRateMemory_) setOneShotIncrement(rate[n]);

        float value;
        if (phase_ > lastPosition_) {
            value = table_[size_t(lastIndex_)];
            setSubProcess(&ArrayLFO::subProcessStop);
        } else {
            phase_ += increment_;
            if (phase_ < 0.0f) phase_ = pq::wrapLfoPhase(phase_, lastPosition_);
            value = pq::lookupWave<Interpolate>(table_.data(), lastIndex_, lastPosition_, phase_);
        }
        heldValue_ = value;
        out[n] = value;
    }
}

template <bool Interpolate> void ArrayLFO::subProcessStep(int32_t offset, int32_t count) {
    const float* rate = ratePin.getBuffer() + offset;
    const float* trigger = triggerPin.getBuffer() + offset;
    float* out = signalOutPin.getBuffer() + offset;
    for (int32_t n = 0; n < count; ++n) {
        if (trigger[n] <= 0.0f && stepState_ == 1) {
            stepState_ = 2;
        } else if (stepState_ == 2 && trigger[n] > 0.0f) {
            const float r = rate[n] > 10.0f ? 0.0f : rate[n];
            const float advance = r * 10.0f;
            if (std::isfinite(advance)) phase_ += advance;
            phase_ = pq::wrapLfoPhase(phase_, lastPosition_);
            heldValue_ = pq::lookupWave<Interpolate>(table_.data(), lastIndex_, lastPosition_, phase_);
            stepState_ = 1;
        }
        out[n] = heldValue_;
    }
    setSubProcess(&ArrayLFO::subProcessStop);
}

void ArrayLFO::subProcessOff(int32_t offset, int32_t count) {
    std::fill_n(signalOutPin.getBuffer() + offset, count, 0.0f);
    setSleep();
}

// Ends a One Shot run or a Step: the output is announced as constant from the slice's last
// sample and the fill routine holds it. The slice itself holds the value too, so nothing stale
// is left in the buffer.
void ArrayLFO::subProcessStop(int32_t offset, int32_t count) {
    std::fill_n(signalOutPin.getBuffer() + offset, count, heldValue_);
    signalOutPin.setStreaming(false, std::max(offset + count - 1, 0));
    setSleep();
    setSubProcess(&ArrayLFO::subProcessFill);
}

void ArrayLFO::subProcessFill(int32_t offset, int32_t count) {
    std::fill_n(signalOutPin.getBuffer() + offset, count, heldValue_);
    setSleep();
}
