// Click rectangle: a rectangle with individually rounded corners and a vertical two-colour
// gradient that works as a momentary button (Pressed is true while the pointer is held down
// on it). A graphics GUI module with a face.
#pragma once

#include "runtime/gui/mp_gui_base2.h"
#include "runtime/pin_table.h"

class pq_ClickRectangleGui : public gmpi_gui::MpGuiGfxBase {
public:
    enum Pin : int32_t {
        kCornerRadius,
        kArcTopLeft,
        kArcTopRight,
        kArcBottomLeft,
        kArcBottomRight,
        kTopColour,
        kGradientColour,
        kPressed,
    };
    static constexpr pq::PinDescription kPins[] = {
        {kCornerRadius, "Corner Radius", gmpi::kGuiPinFloat, gmpi::kDirectionIn, "0"},
        {kArcTopLeft, "Arc Top Left", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
        {kArcTopRight, "Arc Top Right", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
        {kArcBottomLeft, "Arc Bottom Left", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
        {kArcBottomRight, "Arc Bottom Right", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
        {kTopColour, "Top Colour", gmpi::kGuiPinText, gmpi::kDirectionIn},
        {kGradientColour, "Gradient Colour", gmpi::kGuiPinText, gmpi::kDirectionIn},
        {kPressed, "Pressed", gmpi::kGuiPinBool, gmpi::kDirectionOut, "false"},
    };
    static constexpr pq::ModuleDescription kDescription{"QM pq_ClickRectangle", gmpi::kSubtypeGuiGraphics,
                                                        "pq_ClickRectangleGui", kPins};

    pq_ClickRectangleGui();

    int32_t render(gmpi::IMpUnknown* drawingContext) override;
    // Takes the capture and sets Pressed.
    int32_t onPointerDown(int32_t flags, gmpi_gui_api::Point point) override;
    // Without the capture answers kMpFail; otherwise releases it and clears Pressed.
    int32_t onPointerUp(int32_t flags, gmpi_gui_api::Point point) override;

private:
    MpGuiPin<float> cornerRadius;
    MpGuiPin<bool> arcTopLeft;
    MpGuiPin<bool> arcTopRight;
    MpGuiPin<bool> arcBottomLeft;
    MpGuiPin<bool> arcBottomRight;
    StringGuiPin topColour;      // AARRGGBB
    StringGuiPin gradientColour; // AARRGGBB; empty: flat Top Colour
    MpGuiPin<bool> pressed;      // set by the module
};
