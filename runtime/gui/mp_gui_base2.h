// Bases of the GUI modules of the newest interface (subtype 2). [GUI thread] for every slot.
//
// MpGuiBase2: gmpi::IMpUserInterface2B plus the pin plumbing. The host hands itself over
// with setHost after creation (no factory operation does it); without IMpGuiHost2 setHost
// answers kMpNoSupport and the module stays usable but cannot send values. The module never
// releases the IMpGuiHost2 it holds.
// QmGuiInvisibleBase: a module without a face (count starts at 1).
// gmpi_gui::MpGuiGfxBase: a module with a face, also offering IMpGraphics2 (measure,
// arrange, render, pointer events). It releases its IMpGraphicsHost when destroyed.
#pragma once

#include "runtime/gui/mp_gui_interfaces.h"
#include "runtime/gui/mp_gui_pins.h"

class MpGuiBase2 : public gmpi::IMpUserInterface2B, public GuiPinOwner {
public:
    // Answers IMpUserInterface2, IMpUserInterface2B and IMpUnknown (one reference added).
    int32_t queryInterface(const gmpi::Guid& iid, void** out) override;
    // Queries IMpGuiHost2; kMpOk when found, else kMpNoSupport.
    int32_t setHost(gmpi::IMpUnknown* hostObject) override;
    int32_t initialize() override { return gmpi::kMpOk; }
    int32_t setPinValue(int32_t pinId, int32_t tag, int32_t size, const void* data) override {
        return deliverPinValue(pinId, tag, size, data);
    }
    int32_t reserved6() override { return gmpi::kMpFail; }
    int32_t reserved7() override { return gmpi::kMpFail; }
    int32_t reserved8() override { return gmpi::kMpFail; }
    int32_t reserved9() override { return gmpi::kMpFail; }
    int32_t notifyPin(int32_t pinId, int32_t tag) override { return runPinRoutine(pinId, tag); }
    virtual ~MpGuiBase2() = default;

    // Forwards to the host's setPin (kMpFail without a host).
    int32_t setPin(int32_t pinId, int32_t size, const void* data, int32_t tag) override;

    gmpi::IMpUnknown* primaryInterface() { return static_cast<gmpi::IMpUserInterface2B*>(this); }
    int32_t attachHost(gmpi::IMpUnknown* hostObject) { return setHost(hostObject); }
    // The IMpGuiHost2 handed over by setHost, or null (not a new reference).
    gmpi::IMpGuiHost2* guiHost() const { return host; }

protected:
    gmpi::IMpGuiHost2* host = nullptr; // not owned, never released
};

class QmGuiInvisibleBase : public MpGuiBase2 {
public:
    int32_t addRef() override { return ++refCount; }
    int32_t release() override;

protected:
    int32_t refCount = 1;
};

namespace gmpi_gui {

class MpGuiGfxBase : public MpGuiBase2, public gmpi_gui_api::IMpGraphics2 {
public:
    // Also answers IMpGraphics and IMpGraphics2 with the IMpGraphics2 pointer.
    int32_t queryInterface(const gmpi::Guid& iid, void** out) override;
    int32_t addRef() override { return ++refCount; }
    int32_t release() override;
    // Queries IMpGraphicsHost, then IMpGuiHost2; the result depends on the latter alone.
    int32_t setHost(gmpi::IMpUnknown* hostObject) override;

    // desired = available, each at least 1.0.
    int32_t measure(gmpi_gui_api::Size available, gmpi_gui_api::Size* desired) override;
    // Keeps the rectangle and asks for a repaint when it changed.
    int32_t arrange(const gmpi_gui_api::Rect* finalRect) override;
    int32_t render(gmpi::IMpUnknown*) override { return gmpi::kMpOk; }
    // Defaults answer hitTest(point).
    int32_t onPointerDown(int32_t, gmpi_gui_api::Point point) override { return hitTest(point); }
    int32_t onPointerMove(int32_t, gmpi_gui_api::Point point) override { return hitTest(point); }
    int32_t onPointerUp(int32_t, gmpi_gui_api::Point point) override { return hitTest(point); }
    int32_t hitTest(gmpi_gui_api::Point) override { return gmpi::kMpOk; }
    int32_t reserved10() override { return gmpi::kMpFail; }
    ~MpGuiGfxBase() override;

    // The IMpGraphicsHost handed over by setHost, or null (not a new reference).
    gmpi_gui_api::IMpGraphicsHost* graphicsHostService() const { return graphicsHost; }

protected:
    // Asks the host for a later render of the whole face.
    void invalidateFace();
    // Trampoline for pins whose change routine only repaints.
    void redraw(int32_t) { invalidateFace(); }

    gmpi_gui_api::IMpGraphicsHost* graphicsHost = nullptr; // owned reference
    gmpi_gui_api::Rect bounds = {0, 0, 0, 0};
    int32_t refCount = 1;
};

} // namespace gmpi_gui
