// Faces of the single-module libraries, painted into a device context of the platform's
// drawing services (a 32-bit surface handle, see runtime/gui/device_context.h) instead of the
// drawing interfaces. Mouse coordinates are whole pixels.
// [GUI thread] for every slot.
//
// The module offers IQmGraphicsComposited beside its legacy interface; the host lends
// IMpGraphicsHostComposited, which the module queries at creation and keeps. Nothing is
// handed out by these slots. Results: kMpOk (0) unless noted.
#pragma once

#include "runtime/audio/mp_abi.h"

// {0157347B-3FD3-4CEE-947E-88F694349254}
inline constexpr gmpi::Guid MP_IID_GRAPHICS_COMPOSITED = {
    0x0157347B, 0x3FD3, 0x4CEE, {0x94, 0x7E, 0x88, 0xF6, 0x94, 0x34, 0x92, 0x54}};
// {2A3F4D28-52C5-4A31-BF85-B79853265F65}
inline constexpr gmpi::Guid MP_IID_GRAPHICS_HOST_COMPOSITED = {
    0x2A3F4D28, 0x52C5, 0x4A31, {0xBF, 0x85, 0xB7, 0x98, 0x53, 0x26, 0x5F, 0x65}};

class IQmGraphicsComposited : public gmpi::IMpUnknown {
public:
    // Paints into the surface `dc`; a handle that names no surface draws nothing. kMpOk.
    virtual int32_t paint(int32_t dc) = 0;
    // desired[0], desired[1]: the size the face wants within width x height.
    virtual int32_t measure(int32_t width, int32_t height, int32_t* desired /* 2 values */) = 0;
    // The face's area from now on, in pixels: top, bottom, left, right.
    virtual int32_t arrange(int32_t top, int32_t bottom, int32_t left, int32_t right) = 0;
    virtual int32_t faceReserved6() = 0; // answers 0
    virtual int32_t faceReserved7() = 0; // answers 0
    // Mouse events in pixels; flags carry gmpi::kPointerFlagShift while Shift is held.
    virtual int32_t onMouseDown(int32_t flags, int32_t x, int32_t y) = 0;
    virtual int32_t onMouseMove(int32_t flags, int32_t x, int32_t y) = 0;
    virtual int32_t onMouseUp(int32_t flags, int32_t x, int32_t y) = 0;
};

class IMpGraphicsHostComposited : public gmpi::IMpUnknown {
public:
    // Mouse events keep coming to the module while captured.
    virtual int32_t setCapture() = 0;
    virtual int32_t getCapture(int32_t* captured) = 0; // non-zero while captured
    virtual int32_t releaseCapture() = 0;
    // Asks for a later paint; null means the whole face.
    virtual int32_t invalidateRect(const int32_t* rect) = 0;
};
