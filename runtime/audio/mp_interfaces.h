// Audio-side interfaces: the factory, the host's audio services and the audio module.
#pragma once

#include "runtime/audio/mp_abi.h"

namespace gmpi {

// {9A7904B7-7F7F-4D61-B558-C1A6695BB638}
inline constexpr Guid MP_IID_FACTORY = {
    0x9A7904B7, 0x7F7F, 0x4D61, {0xB5, 0x58, 0xC1, 0xA6, 0x69, 0x5B, 0xB6, 0x38}};
// {91C3D2EE-C701-4F35-91A6-094DC7E05976}
inline constexpr Guid MP_IID_FACTORY2 = {
    0x91C3D2EE, 0xC701, 0x4F35, {0x91, 0xA6, 0x09, 0x4D, 0xC7, 0xE0, 0x59, 0x76}};
// {4F1B532F-3C46-4927-A498-614867425BE7}
inline constexpr Guid MP_IID_AUDIO_HOST = {
    0x4F1B532F, 0x3C46, 0x4927, {0xA4, 0x98, 0x61, 0x48, 0x67, 0x42, 0x5B, 0xE7}};
// {2B0DFC7E-A539-49CD-B72D-32FF9DF0D9E4}
inline constexpr Guid MP_IID_PLUGIN = {
    0x2B0DFC7E, 0xA539, 0x49CD, {0xB7, 0x2D, 0x32, 0xFF, 0x9D, 0xF0, 0xD9, 0xE4}};
// {1E07E3E8-8118-457F-A63C-D4F282A0F519}
inline constexpr Guid MP_IID_PLUGIN2 = {
    0x1E07E3E8, 0x8118, 0x457F, {0xA6, 0x3C, 0xD4, 0xF2, 0x82, 0xA0, 0xF5, 0x19}};

// The library's factory. [any thread after load] Not reference counted: addRef and release
// answer constants and the factory lives from library load to unload.
class IMpFactory : public IMpUnknown {
public:
    // Creates a module; *out receives it with one reference owned by the caller, or null.
    // kMpOk, kMpFail (construction failed), kMpNoSupport (identifier/subtype unknown).
    virtual int32_t createInstance(const char16_t* id, int32_t subtype, IMpUnknown* host, void** out) = 0;
    // Stores the SDK version and writes a zero-terminated text of at most `capacity` units.
    virtual int32_t getSdkInformation(int32_t* version, int32_t capacity, char16_t* text) = 0;
};

class IMpFactory2 : public IMpFactory {
public:
    // As createInstance, without a host: the caller hands its host to the module's setHost.
    virtual int32_t createInstance2(const char16_t* id, int32_t subtype, void** out) = 0;
};

// The host's services for one audio module. [audio thread] Results are not examined.
class IMpAudioHost : public IMpUnknown {
public:
    // The value reaches the pin's connections at `time`; the bytes are copied before return.
    virtual int32_t setPin(int32_t time, int32_t pinId, int32_t size, const void* data) = 0;
    // Announces an output as changing (true) or constant (false) from `time` on.
    virtual int32_t setPinStreaming(int32_t time, int32_t pinId, bool streaming) = 0;
    // The host may skip process until an event for one of the module's pins arrives.
    virtual int32_t sleep() = 0;
    virtual int32_t reserved6() { return gmpi::kMpNoSupport; }
    virtual int32_t getBlockSize(int32_t* size) = 0;
    virtual int32_t getSampleRate(float* rate) = 0;
    virtual int32_t getHandle(int32_t* handle) = 0;
    virtual int32_t reserved10() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved11() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved12() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved13() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved14() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved15() { return gmpi::kMpNoSupport; }
    // A block of at least `size` bytes shared by every caller naming it; *needInitialise is 1
    // when the block is new and the caller must fill it. The host owns the block.
    virtual int32_t allocateSharedMemory(const char16_t* name, void** block, float unused, int32_t size,
                                         int32_t* needInitialise) = 0;
};

// An audio module, earlier interface. [audio thread] Modules of the earlier runtime edition
// declare receiveMessage's last argument as an int32_t (IMpPluginEarlier); the slot is the same.
template <class MessageData> class IMpPluginSlots : public IMpUnknown {
public:
    virtual int32_t open() = 0;
    // Hands the block buffer of an audio pin; kMpFail for a pin id the module does not have.
    virtual int32_t setBuffer(int32_t pinId, float* buffer) = 0;
    // Processes `count` samples with the time-sorted events of the block (may be null).
    // Answers kMpOk.
    virtual int32_t process(int32_t count, const MpEvent* events) = 0;
    // Unused by the modules of the pack; answers 0.
    virtual int32_t receiveMessage(int32_t a, int32_t b, MessageData c) = 0;
};
using IMpPlugin = IMpPluginSlots<const void*>;
using IMpPluginEarlier = IMpPluginSlots<int32_t>;

// An audio module, newest interface: the host is handed over after creation. [audio thread]
class IMpPlugin2 : public IMpUnknown {
public:
    virtual int32_t setHost(IMpUnknown* host) = 0;
    virtual int32_t open() = 0;
    virtual int32_t setBuffer(int32_t pinId, float* buffer) = 0;
    virtual int32_t process(int32_t count, const MpEvent* events) = 0;
    virtual int32_t receiveMessage(int32_t a, int32_t b, const void* c) = 0;
};

} // namespace gmpi
