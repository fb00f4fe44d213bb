#include "runtime/audio/mp_pins.h"

void MpAudioPinBase::setBuffer(float* buffer) {
    buffer_ = buffer;
}

void AudioInPin::preProcessEvent(const gmpi::MpEvent* e) {
    if (e->type != gmpi::kEventPinStreamingStart && e->type != gmpi::kEventPinStreamingStop) return;
    isUpdated_ = true;
    const bool streaming = e->type == gmpi::kEventPinStreamingStart;
    if (streaming != isStreaming_) {
        isStreaming_ = streaming;
        owner_->onStreamingChange(streaming);
    }
    if (!isStreaming_) owner_->setSleepCountdown(std::max(owner_->sleepCountdown(), int32_t{1}));
}

void AudioInPin::postProcessEvent(const gmpi::MpEvent* e) {
    if (e->type == gmpi::kEventPinStreamingStart || e->type == gmpi::kEventPinStreamingStop)
        isUpdated_ = false;
}

void AudioOutPin::setStreaming(bool isStreaming, int32_t time) {
    if (time == -1) time = owner_->getBlockPosition();
    if (isStreaming != isStreaming_) {
        isStreaming_ = isStreaming;
        owner_->onStreamingChange(isStreaming);
    }
    if (!isStreaming_) {
        int32_t blockSize = 0;
        owner_->getHost()->getBlockSize(&blockSize);
        owner_->setSleepCountdown(blockSize);
    }
    owner_->getHost()->setPinStreaming(time, pinId_, isStreaming_);
}
