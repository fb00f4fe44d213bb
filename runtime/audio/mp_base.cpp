#include "runtime/audio/mp_base.h"

#include <algorithm>

#include "runtime/audio/mp_pins.h"

MpBase::MpBase() = default;

MpBase::~MpBase() {
    pins_.clear();
}

void MpBase::addPin(int32_t pinId, MpPinBase* pin) {
    if (!pins_.emplace(pinId, pin).second) return;
    if (pin->getDatatype() == kDatatypeAudio) ++audioPinsWithoutBuffer_;
}

MpPinBase* MpBase::findPin(int32_t pinId) const {
    const auto it = pins_.find(pinId);
    return it == pins_.end() ? nullptr : it->second;
}

float MpBase::getSampleRate() const {
    float rate = 44100.0f;
    host_->getSampleRate(&rate);
    return rate;
}

int32_t MpBase::setBuffer(int32_t pinId, float* buffer) {
    MpPinBase* pin = findPin(pinId);
    if (pin == nullptr) return gmpi::kMpFail;
    if (pin->getDatatype() == kDatatypeAudio) {
        const bool had = static_cast<MpAudioPinBase*>(pin)->getBuffer() != nullptr;
        if (had != (buffer != nullptr)) audioPinsWithoutBuffer_ += had ? 1 : -1;
    }
    pin->setBuffer(buffer);
    return gmpi::kMpOk;
}

void MpBase::dispatchInstant(const gmpi::MpEvent* first, const gmpi::MpEvent* end) {
    bool valueOrStreaming = false;
    for (const gmpi::MpEvent* e = first; e != end; e = e->next) {
        if (e->type < gmpi::kEventPinSet || e->type > gmpi::kEventPinOther) continue;
        if (MpPinBase* pin = findPin(e->pinId)) {
            pin->preProcessEvent(e);
            valueOrStreaming |= e->type != gmpi::kEventPinOther;
        }
    }
    for (const gmpi::MpEvent* e = first; e != end; e = e->next) {
        if (e->type >= gmpi::kEventPinSet && e->type <= gmpi::kEventPinOther) {
            if (MpPinBase* pin = findPin(e->pinId)) pin->processEvent(e);
        } else if (e->type == gmpi::kEventGraphStart) {
            onGraphStart();
        }
    }
    if (valueOrStreaming) onSetPins();
    for (const gmpi::MpEvent* e = first; e != end; e = e->next) {
        if (e->type < gmpi::kEventPinSet || e->type > gmpi::kEventPinOther) continue;
        if (MpPinBase* pin = findPin(e->pinId)) pin->postProcessEvent(e);
    }
}

// Events are expected in ascending time within the block. A time below the current position
// counts as the current position, and a time at or beyond the block's end ends the block
// without dispatching the event, so no routine ever runs past `count` samples.
int32_t MpBase::process(int32_t count, const gmpi::MpEvent* events) {
    if (count <= 0 || audioPinsWithoutBuffer_ != 0) return gmpi::kMpOk;
    blockPosition_ = 0;
    int32_t start = 0;
    const gmpi::MpEvent* e = events;
    while (e != nullptr) {
        const int32_t t = std::clamp(e->time, start, count);
        if (t > start) {
            blockEndReached_ = false;
            callCurrent(start, t - start);
            blockEndReached_ = true;
            start = t;
        }
        if (t == count) return gmpi::kMpOk;
        blockPosition_ = t;
        const gmpi::MpEvent* end = e->next;
        while (end != nullptr && end->time <= t)
            end = end->next;
        dispatchInstant(e, end);
        e = end;
    }
    callCurrent(start, count - start);
    return gmpi::kMpOk;
}

void MpBase::setSubProcessRoutine(SubProcess routine) {
    if (current_ == saved_) current_ = routine;
    saved_ = routine;
}

void MpBase::onStreamingChange(bool isStreaming) {
    streamingPinCount_ += isStreaming ? 1 : -1;
    if (streamingPinCount_ != 0 && sleepMode_ != pq::SleepMode::Always)
        current_ = saved_;
    else
        current_ = &MpBase::subProcessPreSleep;
}

void MpBase::setSleep() {
    sleepMode_ = pq::SleepMode::Always;
    current_ = &MpBase::subProcessPreSleep;
}

void MpBase::subProcessPreSleep(int32_t offset, int32_t count) {
    for (;;) {
        const bool maySleep = (sleepMode_ == pq::SleepMode::Automatic && streamingPinCount_ == 0) ||
                              sleepMode_ == pq::SleepMode::Always;
        if (!maySleep) {
            current_ = saved_;
            if (count > 0) (this->*current_)(offset, count);
            return;
        }
        if (sleepCountdown_ <= 0) {
            if (blockEndReached_) {
                host_->sleep();
                return;
            }
            // A stretch that ends at another event is always processed whole.
            sleepCountdown_ = count;
        }
        if (count <= 0) return;
        const int32_t n = std::min(sleepCountdown_, count);
        sleepCountdown_ -= n;
        count -= n;
        (this->*saved_)(offset, n);
        offset += n;
    }
}

void MpBase::onGraphStart() {
    for (const auto& [id, pin] : pins_) {
        if (pin->getDirection() == kDirectionOut) pin->sendPinUpdate();
    }
}
