// Float reset x2: while Reset A (or Reset B) is notified true, Value Out is set to Value A
// (or Value B). A legacy GUI module without a face.
#pragma once

#include "runtime/gui/mp_gui_base.h"

class pq_FloatResetX2 : public MpGuiBase {
public:
    pq_FloatResetX2();

private:
    void resetToA(int32_t tag);
    void resetToB(int32_t tag);
    void resetTo(const MpGuiPin<bool>& trigger, const MpGuiPin<float>& preset);

    MpGuiPin<float> valueOut; // 0, set by the module and the host
    MpGuiPin<float> valueA;   // 1
    MpGuiPin<float> valueB;   // 2
    MpGuiPin<bool> resetA;    // 3
    MpGuiPin<bool> resetB;    // 4
};
