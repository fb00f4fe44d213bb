// Running one audio module as a real host does: its host services, its pin buffers and
// its events, block by block, with sleeping honoured.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/audio/mp_interfaces.h"

namespace pqhost {

// What every module of one run shares: rate, block size and the shared memory blocks,
// which live until the engine ends.
class AudioEngine {
public:
    AudioEngine(float sampleRate, int32_t blockSize) : sampleRate_(sampleRate), blockSize_(blockSize) {}
    float sampleRate() const { return sampleRate_; }
    int32_t blockSize() const { return blockSize_; }

    // A block of at least `size` bytes under `name`; needInitialise is true for a new block.
    // A block keeps its place and size for the engine's life: null when `size` exceeds the
    // size of the existing block of that name.
    void* sharedBlock(const std::u16string& name, int32_t size, bool& needInitialise);
    size_t sharedBlockCount() const { return shared_.size(); }

private:
    float sampleRate_;
    int32_t blockSize_;
    std::map<std::u16string, std::vector<std::byte>> shared_;
};

struct PinValueRecord {
    int64_t block; // index of the block in which the module sent it
    int32_t time;  // sample offset within that block
    int32_t pinId;
    std::vector<uint8_t> bytes;
    float asFloat() const;
    int32_t asInt() const;
};

struct StreamingRecord {
    int64_t block;
    int32_t time;
    int32_t pinId;
    bool streaming;
};

class AudioInstance;

// The module's IMpAudioHost: records and forwards what the module says.
class AudioModuleHost final : public gmpi::IMpAudioHost {
public:
    explicit AudioModuleHost(AudioInstance& owner) : owner_(owner) {}
    int32_t queryInterface(const gmpi::Guid& iid, void** out) override;
    int32_t addRef() override { return ++refCount_; }
    int32_t release() override { return --refCount_; }
    int32_t setPin(int32_t time, int32_t pinId, int32_t size, const void* data) override;
    int32_t setPinStreaming(int32_t time, int32_t pinId, bool streaming) override;
    int32_t sleep() override;
    int32_t getBlockSize(int32_t* size) override;
    int32_t getSampleRate(float* rate) override;
    int32_t getHandle(int32_t* handle) override;
    int32_t allocateSharedMemory(const char16_t* name, void** block, float, int32_t size,
                                 int32_t* needInitialise) override;
    // References the module holds on this object (the host object itself is not deleted
    // by release: it is a member of its instance).
    int32_t refCount() const { return refCount_; }

private:
    AudioInstance& owner_;
    int32_t refCount_ = 1;
};

// One audio module in a run.
//
//   AudioInstance inst(engine);
//   library.createInstance(id, 0, inst.hostObject(), &module);  // or createInstance2
//   inst.attach(module, /*hostGiven=*/true);   // false: setHost is called through IMpPlugin2
//   inst.addAudioPin(1); inst.open();
//   inst.queueValue(0, 0, 24); inst.runBlock();
class AudioInstance {
public:
    explicit AudioInstance(AudioEngine& engine, std::string name = {});
    ~AudioInstance(); // releases the module
    AudioInstance(const AudioInstance&) = delete;
    AudioInstance& operator=(const AudioInstance&) = delete;

    gmpi::IMpUnknown* hostObject() { return &host_; }
    AudioModuleHost& host() { return host_; }
    AudioEngine& engine() { return engine_; }
    const std::string& name() const { return name_; }

    // Takes over the caller's reference to `module`. Finds IMpPlugin2 (then setHost unless
    // hostGiven) or IMpPlugin. Throws HostError when the object is no audio module.
    void attach(gmpi::IMpUnknown* module, bool hostGiven);
    // Allocates a zeroed block buffer for an audio pin and hands it to the module.
    float* addAudioPin(int32_t pinId);
    float* buffer(int32_t pinId);
    int32_t setBufferResult(int32_t pinId, float* buffer);
    int32_t open();

    // Events for the next block, kept sorted by time (stable).
    void queueEvent(int32_t time, int32_t type, int32_t pinId, const void* data = nullptr, int32_t size = 0);
    void queueValue(int32_t time, int32_t pinId, float value) {
        queueEvent(time, gmpi::kEventPinSet, pinId, &value, 4);
    }
    void queueValue(int32_t time, int32_t pinId, int32_t value) {
        queueEvent(time, gmpi::kEventPinSet, pinId, &value, 4);
    }
    void queueStreaming(int32_t time, int32_t pinId, bool streaming) {
        queueEvent(time, streaming ? gmpi::kEventPinStreamingStart : gmpi::kEventPinStreamingStop, pinId);
    }
    void queueGraphStart(int32_t time = 0) { queueEvent(time, gmpi::kEventGraphStart, -1); }

    // Runs one block of `count` samples (the engine's block size when -1). A sleeping module
    // is skipped unless an event is queued for it. Answers whether process was called.
    bool runBlock(int32_t count = -1);
    // Calls process directly with a hand-made event list (for tests of odd hosts).
    void processRaw(int32_t count, const gmpi::MpEvent* events);

    bool sleeping() const { return sleeping_; }
    int64_t blocksRun() const { return blocksRun_; }
    int64_t blocksSlept() const { return blocksSlept_; }
    int64_t sleepCalls() const { return sleepCalls_; }

    // Every value and streaming change the module sent, while keepRecords is true. A long
    // render turns it off, so that memory does not grow with the render's length.
    bool keepRecords = true;
    std::vector<PinValueRecord> values;
    std::vector<StreamingRecord> streaming;
    // Called for every value and streaming change the module sends (routing).
    std::function<void(const PinValueRecord&)> onValue;
    std::function<void(const StreamingRecord&)> onStreaming;

    gmpi::IMpPlugin2* plugin2() const { return plugin2_; }
    gmpi::IMpPlugin* plugin() const { return plugin1_; }

private:
    friend class AudioModuleHost;
    struct Pending {
        int32_t time, type, pinId;
        std::vector<uint8_t> bytes;
    };

    AudioEngine& engine_;
    std::string name_;
    AudioModuleHost host_;
    gmpi::IMpUnknown* module_ = nullptr;
    gmpi::IMpPlugin2* plugin2_ = nullptr;
    gmpi::IMpPlugin* plugin1_ = nullptr;
    std::map<int32_t, std::vector<float>> buffers_;
    std::vector<Pending> pending_;
    std::vector<Pending> inFlight_; // the events of the block being processed
    std::vector<gmpi::MpEvent> eventStorage_;
    bool sleeping_ = false;
    int64_t blocksRun_ = 0;
    int64_t blocksSlept_ = 0;
    int64_t sleepCalls_ = 0;
    int64_t currentBlock_ = 0;
};

} // namespace pqhost
