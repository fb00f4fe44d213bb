#include "modules/guiutil/bool_text.h"

BoolText::BoolText() {
    input.attach(this, 0, &BoolText::update);
    falseText.attach(this, 1, &BoolText::update);
    trueText.attach(this, 2, &BoolText::update);
    textOut.attach(this, 3, &BoolText::update);
}

void BoolText::update(int32_t) {
    const std::u16string& chosen = input.getValue() ? trueText.getValue() : falseText.getValue();
    textOut.setValue(chosen);
}
