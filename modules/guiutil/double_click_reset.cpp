#include "modules/guiutil/double_click_reset.h"

#include <chrono>

namespace {
const auto processStart = std::chrono::steady_clock::now();
}

DoubleClickReset::DoubleClickReset() {
    constexpr auto updating = [](auto& pin) { return pq::notifying(pin, &DoubleClickReset::update); };
    pq::attachPins<kPins>(this, updating(button), updating(resetValue), updating(doubleClickTime),
                          updating(valueOut));
}

int32_t DoubleClickReset::readClock() const {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - processStart)
            .count();
    return static_cast<int32_t>(static_cast<uint32_t>(ms)); // wraps like a 32-bit tick count
}

float DoubleClickReset::elapsedSinceFirstPress() const {
    // Differences of two 32-bit readings stay right across a wrap of the count.
    const auto elapsed =
        static_cast<int32_t>(static_cast<uint32_t>(readClock()) - static_cast<uint32_t>(firstPressTime));
    return static_cast<float>(elapsed);
}

void DoubleClickReset::update(int32_t) {
    const float window = doubleClickTime.getValue();
    if (elapsedSinceFirstPress() > window) clearFlags();

    if (button.getValue()) {
        if (!pressed) {
            firstPressTime = readClock();
            pressed = true;
        }
    } else {
        released = true;
    }
    if (pressed && released) clicked = true;

    if (button.getValue()) {
        if (clicked) pressedAgain = true;
        return;
    }
    if (!pressedAgain) return;

    if (pq::gui::below(elapsedSinceFirstPress(), window) &&
        pq::gui::differs(resetValue.getValue(), valueOut.getValue()))
        valueOut.setValue(resetValue.getValue());
    clearFlags();
}
