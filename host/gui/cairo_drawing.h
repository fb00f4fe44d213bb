// The substitute host's drawing context for module faces, drawn with cairo.
//
// A face module receives a CairoDrawingContext (as the IMpUnknown argument of render) and
// reaches IMpDrawingContext through queryInterface. Colours arrive in linear light; they are
// converted to sRGB when handed to cairo, so an sRGB text such as FF808080 that a module
// converted to linear comes out as 0x80 grey. [GUI thread]
//
// Supported: path geometries (lines and SVG-style elliptical arcs from the current point to
// an end point, with radii, rotation in radians, sweep 1 = clockwise on screen, arc size
// 1 = large), solid and linear-gradient brushes (stop positions outside 0..1 are honoured),
// text formats (family, weight >= 600 bold, style 1 oblique / 2 italic, size in pixels,
// alignment 0 leading / 1 trailing / 2 centre; lines start at the top of the layout
// rectangle; option 2 clips to it), drawLine and nested axis-aligned clips.
// Drawing objects are reference counted; every create operation hands out one reference.
#pragma once

#include <cairo.h>

#include "runtime/gui/mp_gui_interfaces.h"

namespace pqhost {

// Linear-light component (0..1) to sRGB (0..1).
double linearToSrgb(double linear);

// The process's factory for geometries and text formats (needs no surface), with one more
// reference for the caller.
gmpi_gui_api::IMpDrawingFactory* createCairoDrawingFactory();

class CairoDrawingContext final : public gmpi_gui_api::IMpDrawingContext {
public:
    // Draws on `cr`, which must outlive the context. The context is a plain object (count
    // changes are accepted and ignored); its clips are undone when it is destroyed.
    explicit CairoDrawingContext(cairo_t* cr);
    ~CairoDrawingContext();
    CairoDrawingContext(const CairoDrawingContext&) = delete;
    CairoDrawingContext& operator=(const CairoDrawingContext&) = delete;

    int32_t queryInterface(const gmpi::Guid& iid, void** out) override;
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }
    int32_t getFactory(gmpi_gui_api::IMpDrawingFactory** factory) override;
    int32_t createSolidColorBrush(const gmpi_gui_api::Color* color,
                                  gmpi_gui_api::IMpSolidColorBrush** brush) override;
    int32_t createGradientStopCollection(const gmpi_gui_api::GradientStop* stops, uint32_t count,
                                         gmpi_gui_api::IMpGradientStopCollection** out) override;
    int32_t createLinearGradientBrush(const gmpi_gui_api::LinearGradientBrushProperties* line,
                                      const gmpi_gui_api::BrushProperties* props,
                                      gmpi_gui_api::IMpGradientStopCollection* stops,
                                      gmpi_gui_api::IMpLinearGradientBrush** brush) override;
    int32_t drawLine(gmpi_gui_api::Point a, gmpi_gui_api::Point b, gmpi_gui_api::IMpBrush* brush, float width,
                     gmpi::IMpUnknown* strokeStyle) override;
    int32_t fillGeometry(gmpi_gui_api::IMpPathGeometry* geometry, gmpi_gui_api::IMpBrush* brush,
                         gmpi_gui_api::IMpBrush* opacityBrush) override;
    int32_t drawText(const char* utf8, int32_t bytes, gmpi_gui_api::IMpTextFormat* format,
                     const gmpi_gui_api::Rect* layout, gmpi_gui_api::IMpBrush* brush,
                     int32_t options) override;
    int32_t pushAxisAlignedClip(const gmpi_gui_api::Rect* clip) override;
    int32_t popAxisAlignedClip() override;

private:
    cairo_t* cr_;
    int clipDepth_ = 0;
};

} // namespace pqhost
