// Float reset x2: while Reset A (or Reset B) is notified true, Value Out is set to Value A
// (or Value B). A legacy GUI module without a face.
#pragma once

#include "runtime/gui/mp_gui_base.h"
#include "runtime/pin_table.h"

class pq_FloatResetX2 : public MpGuiBase {
public:
    enum Pin : int32_t {
        kValueOut,
        kValueA,
        kValueB,
        kResetA,
        kResetB,
    };
    static constexpr pq::PinDescription kPins[] = {
        {kValueOut, "Value Out", gmpi::kGuiPinFloat, gmpi::kDirectionOut, "0"},
        {kValueA, "Value A", gmpi::kGuiPinFloat, gmpi::kDirectionIn, "0"},
        {kValueB, "Value B", gmpi::kGuiPinFloat, gmpi::kDirectionIn, "0"},
        {kResetA, "Reset A", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
        {kResetB, "Reset B", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
    };
    static constexpr pq::ModuleDescription kDescription{"pq_FloatResetX2", gmpi::kSubtypeGuiLegacy,
                                                        "pq_FloatResetX2", kPins};

    pq_FloatResetX2();

private:
    void resetToA(int32_t tag);
    void resetToB(int32_t tag);
    void resetTo(const MpGuiPin<bool>& trigger, const MpGuiPin<float>& preset);

    MpGuiPin<float> valueOut; // set by the module and the host
    MpGuiPin<float> valueA;
    MpGuiPin<float> valueB;
    MpGuiPin<bool> resetA;
    MpGuiPin<bool> resetB;
};
