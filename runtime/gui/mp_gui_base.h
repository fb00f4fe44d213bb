// The legacy GUI module base (subtype 1): gmpi::IMpUserInterface plus the pin plumbing.
// [GUI thread] for every slot.
//
// The host delivers a change in two calls: setPinValue stores the value in the pin (kMpFail
// for an unknown pin id), notifyPin runs the pin's change routine. Modules react only in
// change routines and read every pin they need there.
//
// Newest edition: MpGuiBase_base = IMpUserInterface, IoldSchoolInitialisation, GuiPinOwner;
// the count starts at 1 (the creator's reference) and the host arrives through setHost,
// called by IMpFactory::createInstance right after construction.
// Earlier edition: no IoldSchoolInitialisation; the count starts at 0 (the factory adds the
// first reference) and the create function hands the host over through attachHost.
// In both, a host object without IMpGuiHost makes creation fail with the exception text
// "host Interfaces not supported". The module never releases the host it holds.
#pragma once

#include "runtime/audio/mp_initialisation.h"
#include "runtime/gui/mp_gui_interfaces.h"
#include "runtime/gui/mp_gui_pins.h"

#if PQ_EDITION_EARLIER
class MpGuiBase_base : public gmpi::IMpUserInterface, public GuiPinOwner {
#else
class MpGuiBase_base : public gmpi::IMpUserInterface, public IoldSchoolInitialisation, public GuiPinOwner {
#endif
public:
    // Answers IMpUserInterface and IMpUnknown (one reference added), else kMpNoSupport.
    int32_t queryInterface(const gmpi::Guid& iid, void** out) override;
    int32_t initialize() override {
        return gmpi::kMpOk;
    }
    int32_t setPinValue(int32_t pinId, int32_t tag, int32_t size, const void* data) override {
        return deliverPinValue(pinId, tag, size, data);
    }
    int32_t notifyPin(int32_t pinId, int32_t tag) override {
        return runPinRoutine(pinId, tag);
    }
    int32_t reserved6(int32_t, int32_t, int32_t) override {
        return gmpi::kMpOk;
    }
    int32_t reserved7() override {
        return gmpi::kMpOk;
    }
    int32_t reserved8(int32_t) override {
        return gmpi::kMpOk;
    }
    virtual ~MpGuiBase_base() = default;

    // Queries the host object for IMpGuiHost and keeps it; throws the text
    // "host Interfaces not supported" when it has none. Answers the query's result.
#if PQ_EDITION_EARLIER
    int32_t attachHost(gmpi::IMpUnknown* hostObject);
#else
    int32_t setHost(gmpi::IMpUnknown* hostObject) override;
    int32_t attachHost(gmpi::IMpUnknown* hostObject) {
        return setHost(hostObject);
    }
#endif

    // Forwards to the host's setPin (kMpFail without a host).
    int32_t setPin(int32_t pinId, int32_t size, const void* data, int32_t tag) override;

    gmpi::IMpUnknown* primaryInterface() {
        return static_cast<gmpi::IMpUserInterface*>(this);
    }

protected:
    gmpi::IMpGuiHost* host = nullptr; // not owned: held for the module's life, never released
};

class MpGuiBase : public MpGuiBase_base {
public:
    int32_t addRef() override { return ++refCount; }
    // At 0 the module destroys itself and answers 0.
    int32_t release() override;

protected:
    int32_t refCount = pq::kEarlierEdition ? 0 : 1;
};
