#include "modules/guiutil/bool_text.h"

BoolText::BoolText() {
    constexpr auto updating = [](auto& pin) { return pq::notifying(pin, &BoolText::update); };
    pq::attachPins<kPins>(this, updating(input), updating(falseText), updating(trueText), updating(textOut));
}

void BoolText::update(int32_t) {
    const std::u16string& chosen = input.getValue() ? trueText.getValue() : falseText.getValue();
    textOut.setValue(chosen);
}
