// Text rectangle: the click rectangle's rounded gradient button with a text written into it
// in the font and colour of a named text style; Pressed is true while the pointer is held
// down on it.
//
// All-module library: a graphics GUI module that reads its styles through the font cache.
// Single-module library (pq::kSingleModuleBuild): a legacy GUI module with a composited face,
// painted into the platform device context with its font from the host's getFontInfo; its
// gradient uses the colour texts as they are, and a mouse-up clears Pressed only while the
// host reports no capture (mouse-down takes none).
#pragma once

#include <cstdint>
#include <iterator>
#include <tuple>
#include <utility>

#include "modules/guiutil/rounded_rectangle.h"
#include "runtime/gui/composited_gfx_base.h"
#include "runtime/gui/font_cache.h"
#include "runtime/gui/mp_gui_base2.h"

namespace pq::guiutil {

// The module's pins in id order: the constructor attaches its members from this table.
struct TextRectanglePin {
    int32_t id;
    const char* name;
    int32_t datatype;
    bool output;  // set by the module
    bool redraws; // a host change asks for a repaint
};
inline constexpr TextRectanglePin kTextRectanglePins[] = {
    {0, "Text", kGuiPinText, false, true},
    {1, "Style", kGuiPinText, false, true},
    {2, "Greyed", kGuiPinBool, false, true},
    {3, "Corner Radius", kGuiPinFloat, false, true},
    {4, "Arc Top Left", kGuiPinBool, false, true},
    {5, "Arc Top Right", kGuiPinBool, false, true},
    {6, "Arc Bottom Left", kGuiPinBool, false, true},
    {7, "Arc Bottom Right", kGuiPinBool, false, true},
    {8, "Top Colour", kGuiPinText, false, true},
    {9, "Gradient Colour", kGuiPinText, false, true},
    {10, "Pressed", kGuiPinBool, true, false},
};

#if PQ_EDITION_EARLIER
using TextRectangleFace = QmGuiCompositedGfxBase;
#else
class TextRectangleFace : public gmpi_gui::MpGuiGfxBase, public FontCacheClient {};
#endif

} // namespace pq::guiutil

class pq_TextRectangle : public pq::guiutil::TextRectangleFace {
public:
    pq_TextRectangle();

#if PQ_EDITION_EARLIER
    int32_t paint(int32_t dc) override;
    // Sets Pressed.
    int32_t onMouseDown(int32_t flags, int32_t x, int32_t y) override;
    // Clears Pressed unless the host reports the mouse captured.
    int32_t onMouseUp(int32_t flags, int32_t x, int32_t y) override;
#else
    int32_t render(gmpi::IMpUnknown* drawingContext) override;
    // Takes the capture and sets Pressed.
    int32_t onPointerDown(int32_t flags, gmpi_gui_api::Point point) override;
    // Without the capture answers kMpFail; otherwise releases it and clears Pressed.
    int32_t onPointerUp(int32_t flags, gmpi_gui_api::Point point) override;
#endif

private:
    // The members in the order of kTextRectanglePins.
    auto pinMembers() {
        return std::tie(text, style, greyed, cornerRadius, arcTopLeft, arcTopRight, arcBottomLeft,
                        arcBottomRight, topColour, gradientColour, pressed);
    }
    template <size_t... I> void attachPins(std::index_sequence<I...>);
    pq::guiutil::RoundedCorners corners() const;

    StringGuiPin text;
    StringGuiPin style;
    MpGuiPin<bool> greyed;
    MpGuiPin<float> cornerRadius;
    MpGuiPin<bool> arcTopLeft;
    MpGuiPin<bool> arcTopRight;
    MpGuiPin<bool> arcBottomLeft;
    MpGuiPin<bool> arcBottomRight;
    StringGuiPin topColour;      // AARRGGBB
    StringGuiPin gradientColour; // AARRGGBB; empty: flat Top Colour
    MpGuiPin<bool> pressed;
};
