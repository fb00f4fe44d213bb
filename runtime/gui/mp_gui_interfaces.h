// GUI-side interfaces: GUI modules, the host's GUI services and the drawing interfaces.
// [GUI thread] for every slot. Drawing objects created through these interfaces are handed
// out with one reference owned by the caller.
#pragma once

#include "runtime/audio/mp_abi.h"

namespace gmpi {

// {CACB3203-4A57-4209-9E00-0C4B950457F6}
inline constexpr Guid MP_IID_GUI_PLUGIN = {
    0xCACB3203, 0x4A57, 0x4209, {0x9E, 0x00, 0x0C, 0x4B, 0x95, 0x04, 0x57, 0xF6}};
// {21B0EC11-6B66-4B72-928E-77E93A31A628}
inline constexpr Guid MP_IID_GUI_PLUGIN2 = {
    0x21B0EC11, 0x6B66, 0x4B72, {0x92, 0x8E, 0x77, 0xE9, 0x3A, 0x31, 0xA6, 0x28}};
// {9CD06775-F5C2-4321-812D-0958153294B8}
inline constexpr Guid MP_IID_GUI_PLUGIN2B = {
    0x9CD06775, 0xF5C2, 0x4321, {0x81, 0x2D, 0x09, 0x58, 0x15, 0x32, 0x94, 0xB8}};
// {174F9DDC-1850-40DB-BAF0-E0B41D079645}
inline constexpr Guid MP_IID_UI_HOST = {
    0x174F9DDC, 0x1850, 0x40DB, {0xBA, 0xF0, 0xE0, 0xB4, 0x1D, 0x07, 0x96, 0x45}};
// {DE009D92-E281-4F92-9996-200F49690028}
inline constexpr Guid MP_IID_UI_HOST2 = {
    0xDE009D92, 0xE281, 0x4F92, {0x99, 0x96, 0x20, 0x0F, 0x49, 0x69, 0x00, 0x28}};
// {AB8FFB21-44FF-42B7-8885-29431399E7E4}
inline constexpr Guid MP_IID_RETURNSTRING = {
    0xAB8FFB21, 0x44FF, 0x42B7, {0x88, 0x85, 0x29, 0x43, 0x13, 0x99, 0xE7, 0xE4}};

struct FontInfo {
    uint32_t colour; // 0x00BBGGRR
    int32_t height;
    uint32_t flags; // 0x8 centre, 0x10 right
    int32_t reserved[5];
};

// A legacy GUI module.
class IMpUserInterface : public IMpUnknown {
public:
    virtual int32_t initialize() = 0;
    // Stores a value in a pin without reaction; kMpFail for an unknown pin id.
    virtual int32_t setPinValue(int32_t pinId, int32_t tag, int32_t size, const void* data) = 0;
    // Runs the pin's change routine; kMpFail for an unknown pin id.
    virtual int32_t notifyPin(int32_t pinId, int32_t tag) = 0;
    virtual int32_t reserved6(int32_t, int32_t, int32_t) = 0;
    virtual int32_t reserved7() = 0;
    virtual int32_t reserved8(int32_t) = 0;
};

// A GUI module of the newest interface: the host is handed over after creation.
class IMpUserInterface2 : public IMpUnknown {
public:
    virtual int32_t setHost(IMpUnknown* host) = 0;
    virtual int32_t initialize() = 0;
    virtual int32_t setPinValue(int32_t pinId, int32_t tag, int32_t size, const void* data) = 0;
    virtual int32_t reserved6() = 0;
    virtual int32_t reserved7() = 0;
    virtual int32_t reserved8() = 0;
    virtual int32_t reserved9() = 0;
};

class IMpUserInterface2B : public IMpUserInterface2 {
public:
    virtual int32_t notifyPin(int32_t pinId, int32_t tag) = 0;
};

// A text handed from a module to the host and back.
class IString : public IMpUnknown {
public:
    virtual int32_t setData(const char* bytes, int32_t size) = 0;
    virtual int32_t getSize() = 0;
    virtual const char* getData() = 0;
};

class IMpResourceStream : public IMpUnknown {
public:
    virtual int32_t read(void* buffer, int64_t count, int32_t unused) = 0;
    virtual int32_t reserved4() { return gmpi::kMpNoSupport; }
    virtual int32_t getSize(int64_t* size) = 0;
};

// The host's services for a legacy GUI module.
class IMpGuiHost : public IMpUnknown {
public:
    // Value stored, propagated and delivered back through setPinValue/notifyPin.
    virtual int32_t setPin(int32_t pinId, int32_t size, const void* data, int32_t tag) = 0;
    virtual int32_t reserved4() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved5() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved6() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved7() { return gmpi::kMpNoSupport; }
    // Non-zero result: no font.
    virtual int32_t getFontInfo(const char16_t* style, FontInfo* info, void** font) = 0;
};

// The host's services for a GUI module of the newest interface.
class IMpGuiHost2 : public IMpUnknown {
public:
    virtual int32_t setPin(int32_t pinId, int32_t size, const void* data, int32_t tag) = 0;
    virtual int32_t reserved4() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved5() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved6() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved7() { return gmpi::kMpNoSupport; }
    virtual int32_t findResourceUri(const char* name, const char* type, IString* result) = 0;
    // *out null: no such resource.
    virtual int32_t openUri(const char* uri, IMpResourceStream** out) = 0;
};

} // namespace gmpi

namespace gmpi_gui_api {
using gmpi::Guid;
using gmpi::IMpUnknown;

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
    float transform[6];
};

// {6AEF51B9-C92A-472B-A53E-4A476DF85C85}
inline constexpr Guid MP_IID_GRAPHICS = {
    0x6AEF51B9, 0xC92A, 0x472B, {0xA5, 0x3E, 0x4A, 0x47, 0x6D, 0xF8, 0x5C, 0x85}};
// {4540C6EE-98AB-4C79-B857-66AE64249125}
inline constexpr Guid MP_IID_GRAPHICS2 = {
    0x4540C6EE, 0x98AB, 0x4C79, {0xB8, 0x57, 0x66, 0xAE, 0x64, 0x24, 0x91, 0x25}};
// {E394AF51-C4D0-4885-84F1-963CA8182964}
inline constexpr Guid MP_IID_GRAPHICS_HOST = {
    0xE394AF51, 0xC4D0, 0x4885, {0x84, 0xF1, 0x96, 0x3C, 0xA8, 0x18, 0x29, 0x64}};
// {A1D9751D-0C43-4F57-8958-E0BCE359B2FD}
inline constexpr Guid MP_IID_DRAWING_CONTEXT = {
    0xA1D9751D, 0x0C43, 0x4F57, {0x89, 0x58, 0xE0, 0xBC, 0xE3, 0x59, 0xB2, 0xFD}};

class IMpBrush : public IMpUnknown {};
class IMpLinearGradientBrush : public IMpBrush {};
class IMpGradientStopCollection : public IMpUnknown {};

class IMpSolidColorBrush : public IMpBrush {
public:
    virtual int32_t reserved3() { return gmpi::kMpNoSupport; }
    virtual int32_t setColor(const Color* color) = 0;
};

class IMpTextFormat : public IMpUnknown {
public:
    virtual int32_t setTextAlignment(int32_t alignment) = 0;
};

class IMpGeometrySink : public IMpUnknown {
public:
    virtual int32_t beginFigure(Point start, int32_t figureBegin) = 0;
    virtual int32_t reserved4() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved5() { return gmpi::kMpNoSupport; }
    virtual int32_t endFigure(int32_t figureEnd) = 0; // 1 = closed
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
    virtual int32_t openSink(IMpGeometrySink** sink) = 0;
};

class IMpDrawingFactory : public IMpUnknown {
public:
    virtual int32_t createPathGeometry(IMpPathGeometry** geometry) = 0;
    virtual int32_t createTextFormat(const char* family, IMpUnknown* collection, int32_t weight,
                                     int32_t style, int32_t stretch, float size, const char* locale,
                                     IMpTextFormat** format) = 0;
};

class IMpDrawingContext : public IMpUnknown {
public:
    virtual int32_t getFactory(IMpDrawingFactory** factory) = 0;
    virtual int32_t reserved4() { return gmpi::kMpNoSupport; }
    virtual int32_t createSolidColorBrush(const Color* color, IMpSolidColorBrush** brush) = 0;
    virtual int32_t createGradientStopCollection(const GradientStop* stops, uint32_t count,
                                                 IMpGradientStopCollection** out) = 0;
    virtual int32_t createLinearGradientBrush(const LinearGradientBrushProperties* lines,
                                              const BrushProperties* props, IMpGradientStopCollection* stops,
                                              IMpLinearGradientBrush** brush) = 0;
    virtual int32_t reserved8() { return gmpi::kMpNoSupport; }
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
    virtual int32_t drawText(const char* utf8, int32_t bytes, IMpTextFormat* format, const Rect* layout,
                             IMpBrush* brush, int32_t options) = 0;
    virtual int32_t reserved20() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved21() { return gmpi::kMpNoSupport; }
    virtual int32_t pushAxisAlignedClip(const Rect* clip) = 0;
    virtual int32_t popAxisAlignedClip() = 0;
};

// The host's services for a module with a face.
class IMpGraphicsHost : public IMpUnknown {
public:
    virtual int32_t reserved3() { return gmpi::kMpNoSupport; }
    virtual int32_t getDrawingFactory(IMpDrawingFactory** factory) = 0;
    // Asks for a later render; null means the whole face.
    virtual int32_t invalidateRect(const Rect* rect) = 0;
    virtual int32_t reserved6() { return gmpi::kMpNoSupport; }
    virtual int32_t setCapture() = 0;
    virtual int32_t getCapture(int32_t* captured) = 0; // non-zero while captured
    virtual int32_t releaseCapture() = 0;
};

// A module with a face.
class IMpGraphics : public IMpUnknown {
public:
    virtual int32_t measure(Size available, Size* desired) = 0;
    virtual int32_t arrange(const Rect* finalRect) = 0;
    // `context` answers IMpDrawingContext.
    virtual int32_t render(IMpUnknown* context) = 0;
    virtual int32_t onPointerDown(int32_t flags, Point point) = 0;
    virtual int32_t onPointerMove(int32_t flags, Point point) = 0;
    virtual int32_t onPointerUp(int32_t flags, Point point) = 0;
};

class IMpGraphics2 : public IMpGraphics {
public:
    virtual int32_t hitTest(Point point) = 0;
    virtual int32_t reserved10() = 0;
};

using gmpi::kPointerFlagShift;

} // namespace gmpi_gui_api

// Faces of the single-module libraries, painted into a device context of the project's own
// small drawing layer (a 32-bit surface handle).
class IQmGraphicsComposited : public gmpi::IMpUnknown {
public:
    virtual int32_t paint(int32_t dc) = 0;
    virtual int32_t measure(int32_t width, int32_t height, int32_t* desired /* 2 values */) = 0;
    virtual int32_t arrange(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
    virtual int32_t reserved6() = 0; // answers 0
    virtual int32_t reserved7() = 0; // answers 0
    virtual int32_t onMouseDown(int32_t flags, int32_t x, int32_t y) = 0;
    virtual int32_t onMouseMove(int32_t flags, int32_t x, int32_t y) = 0;
    virtual int32_t onMouseUp(int32_t flags, int32_t x, int32_t y) = 0;
};

class IMpGraphicsHostComposited : public gmpi::IMpUnknown {
public:
    virtual int32_t setCapture() = 0;
    virtual int32_t getCapture(int32_t* captured) = 0;
    virtual int32_t releaseCapture() = 0;
    virtual int32_t invalidateRect(const int32_t* rect) = 0;
};
