// A small module that records what the base does to it, for the runtime tests.
#pragma once

#include <string>
#include <vector>

#include "runtime/audio/mp_pins.h"

namespace pqtest {

struct RoutineCall {
    int32_t offset, count;
    bool blockEndReached;
    bool operator==(const RoutineCall&) const = default;
};

// A float input that also remembers every event it was shown.
class RecordingFloatPin : public FloatInPin {
public:
    void preProcessEvent(const gmpi::MpEvent* e) override {
        seen.push_back(e->type);
        FloatInPin::preProcessEvent(e);
    }
    std::vector<int32_t> seen;
};

class TestModule : public MpBase {
public:
    static inline int destroyed = 0;

    TestModule() {
        audioIn.attach(this, 0);
        audioOut.attach(this, 1);
        floatIn.attach(this, 2);
        floatOut.attach(this, 3);
        intIn.attach(this, 4);
        blobIn.attach(this, 5);
        setSubProcess(&TestModule::subProcess);
    }
    ~TestModule() override { ++destroyed; }

    void onSetPins() override {
        setPinsAt.push_back(getBlockPosition());
        floatUpdatedInSetPins = floatIn.isUpdated();
        floatValueInSetPins = floatIn.getValue();
    }
    void onStreamingChange(bool isStreaming) override {
        streamingChanges.push_back(isStreaming);
        MpBase::onStreamingChange(isStreaming);
    }
    void subProcess(int32_t offset, int32_t count) {
        calls.push_back({offset, count, isBlockEndReached()});
        float* out = audioOut.getBuffer();
        for (int32_t i = offset; i < offset + count; ++i)
            out[i] = 1.0f;
    }

    AudioInPin audioIn;
    AudioOutPin audioOut;
    RecordingFloatPin floatIn;
    FloatOutPin floatOut;
    IntInPin intIn;
    BlobInPin blobIn;

    std::vector<RoutineCall> calls;
    std::vector<int32_t> setPinsAt;
    std::vector<bool> streamingChanges;
    bool floatUpdatedInSetPins = false;
    float floatValueInSetPins = 0;
};

// The same module without audio pins: nothing streams, so it may sleep.
class QuietModule : public MpBase {
public:
    QuietModule() {
        floatIn.attach(this, 0);
        floatOut.attach(this, 1);
        setSubProcess(&QuietModule::subProcess);
    }
    void subProcess(int32_t offset, int32_t count) { calls.push_back({offset, count, isBlockEndReached()}); }
    void onSetPins() override { floatOut = floatIn.getValue(); }

    FloatInPin floatIn;
    FloatOutPin floatOut;
    std::vector<RoutineCall> calls;
};

} // namespace pqtest
