// The platform drawing services behind the device context of a composited face, and the one
// thin layer the faces paint through. [GUI thread]
//
// On Linux the host process provides three C functions, exported under these plain names by
// its executable (or by a library it loaded globally before any module):
//   pqdc_set_pixel   one pixel, colour 0x00BBGGRR
//   pqdc_fill_path   one closed figure of lines and elliptical arcs, filled (alternate rule)
//                    with a two-colour linear gradient of 0xAARRGGBB colours, tiled
//   pqdc_draw_text   text in a rectangle, transparent background, colour 0x00BBGGRR, with a
//                    font handle from IMpGuiHost::getFontInfo (null: the default font)
// A device context is a 32-bit handle of a surface the host made. Coordinates are surface
// pixels, (0, 0) the top-left corner of the top-left pixel, y downwards; drawing outside
// the surface is clipped. Each answers 0 on success, non-zero when the handle names no
// surface or an argument is unusable.
//
// Faces never call these functions themselves: they paint through pq::gui::DeviceContext,
// which looks the services up when a paint begins and does nothing where one is missing.
// A build for another platform swaps the implementation of DeviceContext, not the faces.
#pragma once

#include <cstdint>

extern "C" {

// kind 1: a line from (v0, v1) to (v2, v3). kind 2: an arc of the ellipse in the box
// (v0, v1, v2 wide, v3 high) from v4 degrees sweeping v5 degrees, clockwise on screen with 0
// at three o'clock. The end of each step joins the start of the next, the last the first.
struct PqPathStep {
    int32_t kind;
    float v[6];
};

// A two-colour linear gradient from (x1, y1) to (x2, y2); colours 0xAARRGGBB used as they
// are; wrap 0 repeats the gradient beyond its ends.
struct PqLineBrush {
    float x1, y1, x2, y2;
    uint32_t argb1, argb2;
    int32_t wrap;
};

using PqdcSetPixel = int32_t (*)(int32_t dc, int32_t x, int32_t y, uint32_t colour);
using PqdcFillPath = int32_t (*)(int32_t dc, const PqPathStep* steps, int32_t count, const PqLineBrush* brush,
                                 int32_t antialias);
using PqdcDrawText = int32_t (*)(int32_t dc, void* font, const char16_t* text, int32_t length,
                                 const int32_t* rect, uint32_t format, uint32_t colour);
}

namespace pq::gui {

inline constexpr int32_t kPathLine = 1;
inline constexpr int32_t kPathArc = 2;

// Format bits of DeviceContext::drawText.
enum : uint32_t {
    kTextCentre = 0x1,
    kTextRight = 0x2,
    kTextVerticalCentre = 0x4,
    kTextSingleLine = 0x20,
};

// A face's view of the device context of one paint.
class DeviceContext {
public:
    // Looks the platform services up; a missing one makes its operation do nothing.
    explicit DeviceContext(int32_t dc);

    // Each answers true when the platform drew (or accepted) the call.
    bool setPixel(int32_t x, int32_t y, uint32_t colourBgr) const;
    bool fillPath(const PqPathStep* steps, int32_t count, const PqLineBrush& brush, bool antialias) const;
    bool drawText(void* font, const char16_t* text, int32_t length, const int32_t rect[4], uint32_t format,
                  uint32_t colourBgr) const;

private:
    int32_t dc_;
    PqdcSetPixel setPixel_ = nullptr;
    PqdcFillPath fillPath_ = nullptr;
    PqdcDrawText drawText_ = nullptr;
};

} // namespace pq::gui
