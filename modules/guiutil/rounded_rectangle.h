// The rounded gradient rectangle that the click rectangle and the text rectangle paint:
// a figure from (0, 0) to (width, height) with four optionally rounded corners, filled with a
// vertical two-colour gradient of AARRGGBB colour texts (an empty second colour repeats the
// first). Graphics faces draw it through the host's drawing context, composited faces
// through the platform device context. [GUI thread]
#pragma once

#include <array>
#include <string>

#include "runtime/gui/device_context.h"
#include "runtime/gui/mp_gui_interfaces.h"
#include "runtime/gui/mp_gui_pins.h"

namespace pq::guiutil {

struct RoundedCorners {
    bool topLeft, topRight, bottomLeft, bottomRight;
};

// Graphics faces. The size is that of `bounds`, truncated to whole pixels; the corner radius
// is truncated and capped at half of either side; the gradient runs from the top colour at
// y = 0 to the second stop at `secondStop` × height.
void fillRoundedGradient(gmpi_gui_api::IMpDrawingContext* context, const gmpi_gui_api::Rect& bounds,
                         float cornerRadius, RoundedCorners corners, const std::u16string& topColour,
                         const std::u16string& gradientColour, float secondStop);

// Composited faces: the figure as four steps, one per corner clockwise from the top left.
// A rounded corner is the arc of a d × d box, d being twice the radius in whole pixels capped
// at the width and the height; right and bottom edges lie on the last pixel column and row.
std::array<PqPathStep, 4> roundedPathSteps(int32_t width, int32_t height, float cornerRadius,
                                           RoundedCorners corners);
// Composited faces: the gradient from the top colour at y = 0 to the second one at y =
// height, colours as written (no colour-space conversion), repeated beyond.
PqLineBrush roundedGradientBrush(int32_t height, const std::u16string& topColour,
                                 const std::u16string& gradientColour);

// The momentary button of the graphics faces. Pointer-down takes the capture and sets
// `pressed` (sent when it changes); pointer-up answers kMpFail without the capture, otherwise
// releases it and clears `pressed`. The pointer position does not matter: a press released
// outside the face still clears it.
int32_t pressButton(gmpi_gui_api::IMpGraphicsHost* host, MpGuiPin<bool>& pressed);
int32_t releaseButton(gmpi_gui_api::IMpGraphicsHost* host, MpGuiPin<bool>& pressed);

} // namespace pq::guiutil
