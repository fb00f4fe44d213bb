// Click rectangle: a rectangle with individually rounded corners and a vertical two-colour
// gradient that works as a momentary button (Pressed is true while the pointer is held down
// on it). A graphics GUI module with a face.
#pragma once

#include "runtime/gui/mp_gui_base2.h"

class pq_ClickRectangleGui : public gmpi_gui::MpGuiGfxBase {
public:
    pq_ClickRectangleGui();

    int32_t render(gmpi::IMpUnknown* drawingContext) override;
    // Takes the capture and sets Pressed.
    int32_t onPointerDown(int32_t flags, gmpi_gui_api::Point point) override;
    // Without the capture answers kMpFail; otherwise releases it and clears Pressed.
    int32_t onPointerUp(int32_t flags, gmpi_gui_api::Point point) override;

private:
    MpGuiPin<float> cornerRadius;  // 0
    MpGuiPin<bool> arcTopLeft;     // 1
    MpGuiPin<bool> arcTopRight;    // 2
    MpGuiPin<bool> arcBottomLeft;  // 3
    MpGuiPin<bool> arcBottomRight; // 4
    StringGuiPin topColour;        // 5, AARRGGBB
    StringGuiPin gradientColour;   // 6, AARRGGBB; empty: flat Top Colour
    MpGuiPin<bool> pressed;        // 7, set by the module
};
