// The services a host lends to GUI modules, and the text and stream objects that travel with
// them. [GUI thread] for every slot.
//
// Ownership: the module queries these on the host object it is given and keeps them, with the
// reference the query added, until it is destroyed. Values passed to setPin are copied by the
// host before it returns. Results: kMpOk (0) on success; what else a slot answers is noted;
// modules do not examine the results of setPin and invalidateRect.
#pragma once

#include "runtime/audio/mp_abi.h"
#include "runtime/gui/mp_gui_drawing_interfaces.h"

namespace gmpi {

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
static_assert(sizeof(FontInfo) == 32);

// A text the module owns and lends to the host, which writes into it (8-bit bytes, no
// terminator counted).
class IString : public IMpUnknown {
public:
    // size > 0: the text becomes those bytes; otherwise it becomes empty. kMpOk.
    virtual int32_t setData(const char* bytes, int32_t size) = 0;
    virtual int32_t getSize() = 0;
    // Valid until the next setData.
    virtual const char* getData() = 0;
};

// A resource the host opened for the module; the module releases it when done.
class IMpResourceStream : public IMpUnknown {
public:
    // Reads `count` bytes into `buffer`; kMpOk, or kMpFail when they cannot be read.
    virtual int32_t read(void* buffer, int64_t count, int32_t unused) = 0;
    virtual int32_t reserved4() { return gmpi::kMpNoSupport; }
    // The byte count; kMpFail for a null out pointer.
    virtual int32_t getSize(int64_t* size) = 0;
};

// The host's services for a legacy GUI module.
class IMpGuiHost : public IMpUnknown {
public:
    // The value is stored, carried to connected pins and delivered back to the module through
    // setPinValue and notifyPin (tag always 0). kMpOk.
    virtual int32_t setPin(int32_t pinId, int32_t size, const void* data, int32_t tag) = 0;
    virtual int32_t reserved4() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved5() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved6() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved7() { return gmpi::kMpNoSupport; }
    // The font of a style; *font receives a handle the host owns (valid until the host
    // ends). Non-zero result: no font, *font null.
    virtual int32_t getFontInfo(const char16_t* style, FontInfo* info, void** font) = 0;
};

// The host's services for a GUI module of the newest interface.
class IMpGuiHost2 : public IMpUnknown {
public:
    // As IMpGuiHost::setPin.
    virtual int32_t setPin(int32_t pinId, int32_t size, const void* data, int32_t tag) = 0;
    virtual int32_t reserved4() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved5() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved6() { return gmpi::kMpNoSupport; }
    virtual int32_t reserved7() { return gmpi::kMpNoSupport; }
    // Writes the URI of a named resource (8-bit name and type) into the module's `result`.
    virtual int32_t findResourceUri(const char* name, const char* type, IString* result) = 0;
    // Opens a URI; *out receives a stream (one reference, the caller's) or null when there is
    // no such resource.
    virtual int32_t openUri(const char* uri, IMpResourceStream** out) = 0;
};

} // namespace gmpi

namespace gmpi_gui_api {

// {E394AF51-C4D0-4885-84F1-963CA8182964}
inline constexpr Guid MP_IID_GRAPHICS_HOST = {
    0xE394AF51, 0xC4D0, 0x4885, {0x84, 0xF1, 0x96, 0x3C, 0xA8, 0x18, 0x29, 0x64}};

// The host's services for a module with a face.
class IMpGraphicsHost : public IMpUnknown {
public:
    virtual int32_t reserved3() { return gmpi::kMpNoSupport; }
    // The drawing factory (one reference, the caller's).
    virtual int32_t getDrawingFactory(IMpDrawingFactory** factory) = 0;
    // Asks for a later render; null means the whole face.
    virtual int32_t invalidateRect(const Rect* rect) = 0;
    virtual int32_t reserved6() { return gmpi::kMpNoSupport; }
    // Pointer events keep coming to the module while captured, wherever the pointer goes.
    virtual int32_t setCapture() = 0;
    virtual int32_t getCapture(int32_t* captured) = 0; // non-zero while captured
    virtual int32_t releaseCapture() = 0;
};

} // namespace gmpi_gui_api
