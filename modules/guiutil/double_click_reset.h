// Double-click reset: a press, release, press and release of Button, all within Double-Click
// Time milliseconds of the first press, sets Value Out to Reset Value.
// A legacy GUI module without a face.
#pragma once

#include "runtime/gui/mp_gui_base.h"
#include "runtime/pin_table.h"

class DoubleClickReset : public MpGuiBase {
public:
    enum Pin : int32_t {
        kButton,
        kResetValue,
        kDoubleClickTime,
        kValueOut,
    };
    static constexpr pq::PinDescription kPins[] = {
        {kButton, "Button", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
        {kResetValue, "Reset Value", gmpi::kGuiPinFloat, gmpi::kDirectionIn, "0"},
        {kDoubleClickTime, "Double-Click Time", gmpi::kGuiPinFloat, gmpi::kDirectionIn, "0"},
        {kValueOut, "Value Out", gmpi::kGuiPinFloat, gmpi::kDirectionOut, "0"},
    };
    static constexpr pq::ModuleDescription kDescription{"pellquin DoubleClick Reset", gmpi::kSubtypeGuiLegacy,
                                                        "DoubleClickReset", kPins};

    DoubleClickReset();

protected:
    // Milliseconds of a monotonic clock, near 0 when the process starts.
    virtual int32_t readClock() const;

private:
    void update(int32_t tag);
    void clearFlags() { pressed = released = clicked = pressedAgain = false; }
    float elapsedSinceFirstPress() const;

    MpGuiPin<bool> button;
    MpGuiPin<float> resetValue;
    MpGuiPin<float> doubleClickTime; // milliseconds
    MpGuiPin<float> valueOut;        // set by the module and the host

    int32_t firstPressTime = 0;
    bool pressed = false;
    bool released = false;
    bool clicked = false;
    bool pressedAgain = false;
};
