// The drawing interfaces a host lends to GUI modules with a face, and the value types they
// take. [GUI thread] for every slot, during render or a change routine.
//
// Ownership: every object a create or get slot stores through its out pointer carries one
// reference, which the caller releases. Arguments are borrowed for the call. Results: kMpOk
// (0) on success, kMpFail when an argument is unusable (a null out pointer, a null or foreign
// object), kMpNoSupport from placeholder slots. Modules do not test drawing results: a failed
// call draws nothing.
#pragma once

#include "runtime/audio/mp_abi.h"

namespace gmpi_gui_api {
using gmpi::Guid;
using gmpi::IMpUnknown;

// Float values; colours in linear light. Point and Size go by value, the others by pointer.
struct Point {
    float x, y;
};
struct Size {
    float width, height;
};
struct Rect {
    float left, top, right, bottom;
};
struct Color {
    float r, g, b, a;
};
struct GradientStop {
    float position;
    Color color;
};
struct ArcSegment {
    Point end;
    Size radii;
    float rotation;
    int32_t sweep;
    int32_t arcSize;
};
struct LinearGradientBrushProperties {
    Point start, end;
};
struct BrushProperties {
    float opacity;
    float transform[6]; // identity 1, 0, 0, 1, 0, 0
};

// {A1D9751D-0C43-4F57-8958-E0BCE359B2FD}
inline constexpr Guid MP_IID_DRAWING_CONTEXT = {
    0xA1D9751D, 0x0C43, 0x4F57, {0x89, 0x58, 0xE0, 0xBC, 0xE3, 0x59, 0xB2, 0xFD}};

// Brushes and stop collections are used only as arguments: IMpUnknown alone.
class IMpBrush : public IMpUnknown {};
class IMpLinearGradientBrush : public IMpBrush {};
class IMpGradientStopCollection : public IMpUnknown {};

class IMpSolidColorBrush : public IMpBrush {
public:
    virtual int32_t reserved3() { return gmpi::kMpNoSupport; }
    // The brush paints `color` from now on (null: unchanged).
    virtual int32_t setColor(const Color* color) = 0;
};

class IMpTextFormat : public IMpUnknown {
public:
    // 0 leading, 1 trailing, 2 centred; kMpOk.
    virtual int32_t setTextAlignment(int32_t alignment) = 0;
};

// Collects one figure of a path geometry.
class IMpGeometrySink : public IMpUnknown {
public:
    virtual int32_t beginFigure(Point start, int32_t figureBegin) = 0;
    virtual int32_t reserved4() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved5() { return gmpi::kMpNoSupport; }
    virtual int32_t endFigure(int32_t figureEnd) = 0; // 1 = closed
    // Ends the geometry's description; later calls change nothing.
    virtual int32_t closeSink() = 0;
    virtual int32_t addLine(Point point) = 0;
    virtual int32_t reserved9() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved10() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved11() { return gmpi::kMpNoSupport; }
    virtual int32_t addArc(const ArcSegment* arc) = 0;
};

class IMpPathGeometry : public IMpUnknown {
public:
    virtual int32_t reserved3() { return gmpi::kMpNoSupport; }
    // A new sink (one reference, the caller's) that describes this geometry.
    virtual int32_t openSink(IMpGeometrySink** sink) = 0;
};

class IMpDrawingFactory : public IMpUnknown {
public:
    // A new, empty geometry (one reference, the caller's).
    virtual int32_t createPathGeometry(IMpPathGeometry** geometry) = 0;
    // A new text format (one reference, the caller's); family and locale are UTF-8, the
    // collection is null.
    virtual int32_t createTextFormat(const char* family, IMpUnknown* collection, int32_t weight,
                                     int32_t style, int32_t stretch, float size, const char* locale,
                                     IMpTextFormat** format) = 0;
};

// The render argument answers this interface. It draws only during the render call it came
// with; the host owns it.
class IMpDrawingContext : public IMpUnknown {
public:
    // The factory of this context (one reference, the caller's).
    virtual int32_t getFactory(IMpDrawingFactory** factory) = 0;
    virtual int32_t reserved4() { return gmpi::kMpNoSupport; }
    // New brushes and stop collections (one reference each, the caller's).
    virtual int32_t createSolidColorBrush(const Color* color, IMpSolidColorBrush** brush) = 0;
    virtual int32_t createGradientStopCollection(const GradientStop* stops, uint32_t count,
                                                 IMpGradientStopCollection** out) = 0;
    virtual int32_t createLinearGradientBrush(const LinearGradientBrushProperties* lines,
                                              const BrushProperties* props, IMpGradientStopCollection* stops,
                                              IMpLinearGradientBrush** brush) = 0;
    virtual int32_t reserved8() { return gmpi::kMpNoSupport; }
    // Drawing: kMpFail when the brush or geometry is null or not the context's own.
    virtual int32_t drawLine(Point a, Point b, IMpBrush* brush, float width, IMpUnknown* strokeStyle) = 0;
    virtual int32_t reserved10() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved11() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved12() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved13() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved14() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved15() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved16() { return gmpi::kMpNoSupport; }
    virtual int32_t fillGeometry(IMpPathGeometry* geometry, IMpBrush* brush, IMpBrush* opacityBrush) = 0;
    virtual int32_t reserved18() { return gmpi::kMpNoSupport; }
    // `bytes` of UTF-8 text laid out in `layout`.
    virtual int32_t drawText(const char* utf8, int32_t bytes, IMpTextFormat* format, const Rect* layout,
                             IMpBrush* brush, int32_t options) = 0;
    virtual int32_t reserved20() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved21() { return gmpi::kMpNoSupport; }
    // Clips drawing to `clip` until the matching pop; pops without a push change nothing.
    virtual int32_t pushAxisAlignedClip(const Rect* clip) = 0;
    virtual int32_t popAxisAlignedClip() = 0;
};

} // namespace gmpi_gui_api
