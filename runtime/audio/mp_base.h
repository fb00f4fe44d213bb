// The audio module base: pin table, block splitting at event instants, block routines and
// the sleep logic.
//
// process() cuts each block at the times of its events. At each instant the pins take their
// values (first pass), the events are dispatched (second pass), onSetPins() runs once if a
// value or streaming event arrived, and the pins clear their changed flags (third pass).
// Between instants the module's current block routine renders the stretch. Modules choose
// per-sample code by swapping block routines with setSubProcess(), never by testing modes
// inside sample loops. [audio thread] for everything here.
#pragma once

#include <map>

#include "runtime/audio/mp_plugin_base.h"

class MpPinBase;
class MpAudioPinBase;

class MpBase : public MpPluginBase {
public:
    using SubProcess = void (MpBase::*)(int32_t offset, int32_t count);

    MpBase();
    ~MpBase() override;

    int32_t setBuffer(int32_t pinId, float* buffer) override;
    int32_t process(int32_t count, const gmpi::MpEvent* events) override;

    // Hooks a module overrides.
    virtual void onSetPins() {}
    virtual void onStreamingChange(bool isStreaming);
    virtual void onGraphStart();

    // Chooses the block routine; while the module is winding down to sleep the choice is
    // kept and takes effect when it wakes.
    template <class Module> void setSubProcess(void (Module::*routine)(int32_t, int32_t)) {
        setSubProcessRoutine(static_cast<SubProcess>(routine));
    }
    void setSubProcessRoutine(SubProcess routine);
    // The module declares that its outputs will not change any more.
    void setSleep();

    int32_t getBlockPosition() const { return blockPosition_; }
    gmpi::IMpAudioHost* getHost() const { return host_; }
    float getSampleRate() const;
    SubProcess currentSubProcess() const { return current_; }
    SubProcess savedSubProcess() const { return saved_; }
    bool isSavedSubProcess(SubProcess routine) const { return saved_ == routine; }

    // Pins enter themselves here when attached; the table does not own them.
    void addPin(int32_t pinId, MpPinBase* pin);
    MpPinBase* findPin(int32_t pinId) const;
    const std::map<int32_t, MpPinBase*>& pins() const { return pins_; }

    // Sleeping. The countdown is the number of samples still to render before the module may
    // sleep; the pins restart it when an output turns constant or an input stops streaming.
    pq::SleepMode sleepMode() const { return sleepMode_; }
    void setSleepMode(pq::SleepMode mode) { sleepMode_ = mode; }
    int32_t sleepCountdown() const { return sleepCountdown_; }
    void setSleepCountdown(int32_t samples) { sleepCountdown_ = samples; }
    // Audio pins (inputs and outputs) currently streaming.
    int32_t streamingPinCount() const { return streamingPinCount_; }
    // False while the current block routine renders a stretch that ends at an event.
    bool isBlockEndReached() const { return blockEndReached_; }

    void subProcessPreSleep(int32_t offset, int32_t count);
    void subProcessNothing(int32_t, int32_t) {}

protected:
    int32_t blockPosition_ = 0;

private:
    friend class MpAudioPinBase;
    void dispatchInstant(const gmpi::MpEvent* first, const gmpi::MpEvent* end);
    void callCurrent(int32_t offset, int32_t count) { (this->*current_)(offset, count); }

    std::map<int32_t, MpPinBase*> pins_;
    int32_t sleepCountdown_ = 0;
    int32_t streamingPinCount_ = 0;
    pq::SleepMode sleepMode_ = pq::SleepMode::Automatic;
    bool blockEndReached_ = true;
    SubProcess current_ = &MpBase::subProcessPreSleep;
    SubProcess saved_ = &MpBase::subProcessNothing;
    // Audio pins still waiting for their block buffer; process() renders nothing until every
    // audio pin has one, so no routine ever touches a missing buffer.
    int32_t audioPinsWithoutBuffer_ = 0;
};
