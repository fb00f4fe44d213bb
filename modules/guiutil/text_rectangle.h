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

#include "modules/guiutil/rounded_rectangle.h"
#include "runtime/gui/face_base.h"
#include "runtime/gui/font_cache.h"
#include "runtime/pin_table.h"

namespace pq::guiutil {

// The all-module face reads its text styles through the font cache; the single-module face
// takes its font from the host's getFontInfo.
#if PQ_EDITION_EARLIER
using TextRectangleFace = pq::gui::FaceBase;
#else
class TextRectangleFace : public pq::gui::FaceBase, public FontCacheClient {};
#endif

} // namespace pq::guiutil

class pq_TextRectangle : public pq::guiutil::TextRectangleFace {
public:
    enum Pin : int32_t {
        kText,
        kStyle,
        kGreyed,
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
        {kText, "Text", gmpi::kGuiPinText, gmpi::kDirectionIn},
        {kStyle, "Style", gmpi::kGuiPinText, gmpi::kDirectionIn},
        {kGreyed, "Greyed", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
        {kCornerRadius, "Corner Radius", gmpi::kGuiPinFloat, gmpi::kDirectionIn, "0"},
        {kArcTopLeft, "Arc Top Left", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
        {kArcTopRight, "Arc Top Right", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
        {kArcBottomLeft, "Arc Bottom Left", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
        {kArcBottomRight, "Arc Bottom Right", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
        {kTopColour, "Top Colour", gmpi::kGuiPinText, gmpi::kDirectionIn},
        {kGradientColour, "Gradient Colour", gmpi::kGuiPinText, gmpi::kDirectionIn},
        {kPressed, "Pressed", gmpi::kGuiPinBool, gmpi::kDirectionOut, "false"},
    };
    // The single-module library registers it as a legacy module with a composited face.
    static constexpr pq::ModuleDescription kDescription{
        "QM pq_TextRectangle", pq::kSingleModuleBuild ? gmpi::kSubtypeGuiLegacy : gmpi::kSubtypeGuiGraphics,
        "pq_TextRectangle", kPins};

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
