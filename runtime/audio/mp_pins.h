// Audio-side pins: audio inputs and outputs (sample buffers) and control pins carrying an
// int, a float or a blob. A module owns its pins as members and attaches each under the
// host's pin id in its constructor. [audio thread]
#pragma once

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "runtime/audio/mp_base.h"
#include "runtime/audio/mp_blob.h"

using gmpi::kDatatypeAudio;
using gmpi::kDatatypeBlob;
using gmpi::kDatatypeFloat;
using gmpi::kDatatypeInt;
using gmpi::kDirectionIn;
using gmpi::kDirectionOut;

class MpPinBase {
public:
    MpPinBase() = default;
    MpPinBase(const MpPinBase&) = delete;
    MpPinBase& operator=(const MpPinBase&) = delete;
    virtual ~MpPinBase() = default;

    virtual void setBuffer(float* buffer) = 0;
    virtual void preProcessEvent(const gmpi::MpEvent*) {}
    virtual void processEvent(const gmpi::MpEvent*) {}
    virtual void postProcessEvent(const gmpi::MpEvent*) {}
    virtual int32_t getDatatype() const = 0;
    virtual int32_t getDirection() const = 0;
    virtual void sendPinUpdate() = 0;

    // Makes this the owner's pin `pinId`. No pin of this system has an event routine.
    void attach(MpBase* owner, int32_t pinId) {
        owner_ = owner;
        pinId_ = pinId;
        owner->addPin(pinId, this);
    }
    int32_t getPinId() const { return pinId_; }

protected:
    int32_t pinId_ = -1;
    MpBase* owner_ = nullptr;
};

class MpAudioPinBase : public MpPinBase {
public:
    static constexpr int32_t kDatatype = kDatatypeAudio;
    void setBuffer(float* buffer) override;
    int32_t getDatatype() const override { return kDatatypeAudio; }
    float* getBuffer() const { return buffer_; }
    bool isStreaming() const { return isStreaming_; }

protected:
    float* buffer_ = nullptr;
    bool isStreaming_ = false;
};

class AudioInPin : public MpAudioPinBase {
public:
    static constexpr int32_t kDirection = kDirectionIn;
    void preProcessEvent(const gmpi::MpEvent* e) override;
    void postProcessEvent(const gmpi::MpEvent* e) override;
    int32_t getDirection() const override { return kDirectionIn; }
    void sendPinUpdate() override {}

    // The sample at `index` of the current block; -1 means the owner's blockPosition.
    float getValue(int32_t index = -1) const {
        return buffer_[index == -1 ? owner_->getBlockPosition() : index];
    }
    // A streaming event for this pin arrived at this instant (true before the first).
    bool isUpdated() const { return isUpdated_; }

private:
    bool isUpdated_ = true;
};

class AudioOutPin : public MpAudioPinBase {
public:
    static constexpr int32_t kDirection = kDirectionOut;
    int32_t getDirection() const override { return kDirectionOut; }
    void sendPinUpdate() override { setStreaming(true); }
    // Announces the output as changing or constant from `time` (-1: blockPosition) on.
    void setStreaming(bool isStreaming, int32_t time = -1);
};

template <typename T, int32_t DatatypeCode> class MpControlPinBase : public MpPinBase {
public:
    static constexpr int32_t kDatatype = DatatypeCode;
    void setBuffer(float*) override {}
    int32_t getDatatype() const override { return DatatypeCode; }

    void preProcessEvent(const gmpi::MpEvent* e) override {
        if (e->type != gmpi::kEventPinSet) return;
        // Inline data holds at most 8 bytes: a larger size without extra data is cut to those.
        const bool inlined = e->extraData == nullptr;
        const void* payload =
            inlined ? static_cast<const void*>(e->data) : static_cast<const void*>(e->extraData);
        const int32_t size = inlined ? std::min(e->size, int32_t(sizeof(e->data))) : e->size;
        setValueRaw(size, payload);
        isUpdated_ = true;
    }
    void postProcessEvent(const gmpi::MpEvent* e) override {
        if (e->type == gmpi::kEventPinSet) isUpdated_ = false;
    }

    virtual void setValueRaw(int32_t size, const void* bytes) {
        if constexpr (std::is_same_v<T, MpBlob>) {
            value_.assign(bytes, size > 0 && bytes != nullptr ? static_cast<size_t>(size) : 0);
        } else {
            // Only the value's own bytes are taken; a shorter payload overwrites the first bytes.
            if (size <= 0 || bytes == nullptr) return;
            std::memcpy(&value_, bytes, size < int32_t(sizeof(T)) ? size_t(size) : sizeof(T));
        }
    }
    virtual int32_t getValueRawSize() const {
        if constexpr (std::is_same_v<T, MpBlob>)
            return static_cast<int32_t>(value_.size());
        else
            return sizeof(T);
    }
    virtual const void* getValueRaw() const {
        if constexpr (std::is_same_v<T, MpBlob>)
            return value_.data();
        else
            return &value_;
    }

    void sendPinUpdate() override {
        owner_->getHost()->setPin(owner_->getBlockPosition(), pinId_, getValueRawSize(), getValueRaw());
    }

    const T& getValue() const { return value_; }
    operator const T&() const { return value_; }
    // Blob pins: room for `bytes` ahead of time, so that values of up to that size are taken
    // without allocating on the audio thread.
    void reserve(size_t bytes) requires std::is_same_v<T, MpBlob> { value_.reserve(bytes); }
    bool isUpdated() const { return isUpdated_; }

protected:
    T value_{};
    bool isUpdated_ = false;
};

template <typename T, int32_t Direction, int32_t DatatypeCode>
class MpControlPin : public MpControlPinBase<T, DatatypeCode> {
public:
    static constexpr int32_t kDirection = Direction;
    int32_t getDirection() const override { return Direction; }

    // Output pins: an assignment that changes the value sends it to the host at blockPosition.
    MpControlPin& operator=(const T& value) {
        if (!(this->value_ == value)) {
            this->value_ = value;
            this->sendPinUpdate();
        }
        return *this;
    }
};

using IntInPin = MpControlPin<int32_t, kDirectionIn, kDatatypeInt>;
using FloatInPin = MpControlPin<float, kDirectionIn, kDatatypeFloat>;
using FloatOutPin = MpControlPin<float, kDirectionOut, kDatatypeFloat>;
using BlobInPin = MpControlPin<MpBlob, kDirectionIn, kDatatypeBlob>;
