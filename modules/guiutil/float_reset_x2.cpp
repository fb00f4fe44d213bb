#include "modules/guiutil/float_reset_x2.h"

pq_FloatResetX2::pq_FloatResetX2() {
    valueOut.attach(this, 0);
    valueA.attach(this, 1);
    valueB.attach(this, 2);
    resetA.attach(this, 3, &pq_FloatResetX2::resetToA);
    resetB.attach(this, 4, &pq_FloatResetX2::resetToB);
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
