// Preset increment fixer: steps an integer up or down through an explicit list of allowed
// values (Value List) when the Increment or Decrement button is released, optionally wrapping
// at either end. A graphics-interface GUI module without a face.
//
// Value List syntax:
//   "range <low>,<high>"   the values low..high (the word, one separator, then the numbers;
//                          high = low without a comma; nothing when high < low)
//   "A, B=5, C"            comma-separated items; "=" gives an item its value, an item
//                          without one takes the previous value plus one (the first: 0)
#pragma once

#include <string>

#include "runtime/gui/mp_gui_base2.h"
#include "runtime/pin_table.h"

// Walks the items of a Value List text. [GUI thread]
class ListValueIterator {
public:
    explicit ListValueIterator(const std::u16string& text);
    // Moves to the first item; index is -1 when there is none.
    void first();
    // Moves to the following item; index becomes -1 past the last.
    void next();
    bool done() const { return index < 0; }

    std::u16string listText;
    int32_t index = -1;
    int32_t value = 0;
    std::u16string itemText;
    bool rangeMode = false;
    int32_t position = 0; // list: where the next item starts; range: the low end
    int32_t rangeHigh = 0;
};

class Pq_presetincrementfixerGui : public QmGuiInvisibleBase {
public:
    enum Pin : int32_t {
        kValue,
        kValueList,
        kIncrement,
        kDecrement,
        kWrap,
    };
    static constexpr pq::PinDescription kPins[] = {
        {kValue, "Value", gmpi::kGuiPinInt, gmpi::kDirectionIn, "0"},
        {kValueList, "Value List", gmpi::kGuiPinText, gmpi::kDirectionIn},
        {kIncrement, "Increment", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
        {kDecrement, "Decrement", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
        {kWrap, "Wrap", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
    };
    static constexpr pq::ModuleDescription kDescription{"pq_PresetIncrementFixer", gmpi::kSubtypeGuiGraphics,
                                                        "Pq_presetincrementfixerGui", kPins};

    Pq_presetincrementfixerGui();

private:
    void rememberValue(int32_t tag);
    void stepUp(int32_t tag);
    void stepDown(int32_t tag);
    void step(int direction);

    MpGuiPin<int32_t> value; // set by the host and the module
    StringGuiPin valueList;
    MpGuiPin<bool> increment;
    MpGuiPin<bool> decrement;
    MpGuiPin<bool> wrap;

    int32_t rememberedValue = 0;
};
