// Double-click reset: a press, release, press and release of Button, all within Double-Click
// Time milliseconds of the first press, sets Value Out to Reset Value.
// A legacy GUI module without a face.
#pragma once

#include "runtime/gui/mp_gui_base.h"

class DoubleClickReset : public MpGuiBase {
public:
    DoubleClickReset();

protected:
    // Milliseconds of a monotonic clock, near 0 when the process starts.
    virtual int32_t readClock() const;

private:
    void update(int32_t tag);
    void clearFlags() { pressed = released = clicked = pressedAgain = false; }
    float elapsedSinceFirstPress() const;

    MpGuiPin<bool> button;           // 0
    MpGuiPin<float> resetValue;      // 1
    MpGuiPin<float> doubleClickTime; // 2, milliseconds
    MpGuiPin<float> valueOut;        // 3, set by the module and the host

    int32_t firstPressTime = 0;
    bool pressed = false;
    bool released = false;
    bool clicked = false;
    bool pressedAgain = false;
};
