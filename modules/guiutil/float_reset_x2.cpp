#include "modules/guiutil/float_reset_x2.h"

pq_FloatResetX2::pq_FloatResetX2() {
    pq::attachPins<kPins>(this, valueOut, valueA, valueB, pq::notifying(resetA, &pq_FloatResetX2::resetToA),
                          pq::notifying(resetB, &pq_FloatResetX2::resetToB));
}

void pq_FloatResetX2::resetToA(int32_t) {
    resetTo(resetA, valueA);
}
void pq_FloatResetX2::resetToB(int32_t) {
    resetTo(resetB, valueB);
}

void pq_FloatResetX2::resetTo(const MpGuiPin<bool>& trigger, const MpGuiPin<float>& preset) {
    if (trigger.getValue() && pq::gui::differs(preset.getValue(), valueOut.getValue()))
        valueOut.setValue(preset.getValue());
}
