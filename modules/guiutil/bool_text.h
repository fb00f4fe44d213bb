// Bool text: Text Out follows False Text while Input is false and True Text while it is true.
// A legacy GUI module without a face.
#pragma once

#include "runtime/gui/mp_gui_base.h"

class BoolText : public MpGuiBase {
public:
    BoolText();

private:
    // Runs after the host changed any pin: sends the chosen text when Text Out differs.
    void update(int32_t tag);

    MpGuiPin<bool> input;   // 0
    StringGuiPin falseText; // 1
    StringGuiPin trueText;  // 2
    StringGuiPin textOut;   // 3, set by the module
};
