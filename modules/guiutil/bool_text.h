// Bool text: Text Out follows False Text while Input is false and True Text while it is true.
// A legacy GUI module without a face.
#pragma once

#include "runtime/gui/mp_gui_base.h"
#include "runtime/pin_table.h"

class BoolText : public MpGuiBase {
public:
    enum Pin : int32_t { kInput, kFalseText, kTrueText, kTextOut };
    static constexpr pq::PinDescription kPins[] = {
        {kInput, "Input", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
        {kFalseText, "False Text", gmpi::kGuiPinText, gmpi::kDirectionIn},
        {kTrueText, "True Text", gmpi::kGuiPinText, gmpi::kDirectionIn},
        {kTextOut, "Text Out", gmpi::kGuiPinText, gmpi::kDirectionOut},
    };
    static constexpr pq::ModuleDescription kDescription{"Bool Text", gmpi::kSubtypeGuiLegacy, "BoolText",
                                                        kPins};

    BoolText();

private:
    // Runs after the host changed any pin: sends the chosen text when Text Out differs.
    void update(int32_t tag);

    MpGuiPin<bool> input;
    StringGuiPin falseText;
    StringGuiPin trueText;
    StringGuiPin textOut; // set by the module
};
