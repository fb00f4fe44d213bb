// The interfaces a GUI module offers the host: the legacy module, the newest module and, for
// modules with a face, the graphics interface. [GUI thread] for every slot; the host never
// calls one module from two threads.
//
// Ownership: values handed to setPinValue are copied before it returns; the render context
// and the host object are borrowed (the module queries and keeps what it needs, with the
// reference the query added). Results are listed per slot; placeholders answer as noted.
#pragma once

#include "runtime/audio/mp_abi.h"
#include "runtime/gui/mp_gui_drawing_interfaces.h"

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

// A legacy GUI module (subtype 1); the host arrives at creation.
class IMpUserInterface : public IMpUnknown {
public:
    // Set-up after the pins are connected; kMpOk.
    virtual int32_t initialize() = 0;
    // Stores a value in a pin without reaction; kMpOk, or kMpFail for an unknown pin id.
    virtual int32_t setPinValue(int32_t pinId, int32_t tag, int32_t size, const void* data) = 0;
    // Runs the pin's change routine (none: nothing); kMpOk, or kMpFail for an unknown pin id.
    virtual int32_t notifyPin(int32_t pinId, int32_t tag) = 0;
    // Not used; answer 0.
    virtual int32_t reserved6(int32_t, int32_t, int32_t) = 0;
    virtual int32_t reserved7() = 0;
    virtual int32_t reserved8(int32_t) = 0;
};

// A GUI module of the newest interface (subtype 2): the host is handed over after creation.
class IMpUserInterface2 : public IMpUnknown {
public:
    // Queries the host object for its services; kMpOk, or kMpNoSupport when it offers none
    // (the module stays usable but sends nothing).
    virtual int32_t setHost(IMpUnknown* host) = 0;
    // As IMpUserInterface.
    virtual int32_t initialize() = 0;
    virtual int32_t setPinValue(int32_t pinId, int32_t tag, int32_t size, const void* data) = 0;
    // Not used; answer kMpFail.
    virtual int32_t reserved6() = 0;
    virtual int32_t reserved7() = 0;
    virtual int32_t reserved8() = 0;
    virtual int32_t reserved9() = 0;
};

class IMpUserInterface2B : public IMpUserInterface2 {
public:
    // As IMpUserInterface.
    virtual int32_t notifyPin(int32_t pinId, int32_t tag) = 0;
};

} // namespace gmpi

namespace gmpi_gui_api {

// {6AEF51B9-C92A-472B-A53E-4A476DF85C85}
inline constexpr Guid MP_IID_GRAPHICS = {
    0x6AEF51B9, 0xC92A, 0x472B, {0xA5, 0x3E, 0x4A, 0x47, 0x6D, 0xF8, 0x5C, 0x85}};
// {4540C6EE-98AB-4C79-B857-66AE64249125}
inline constexpr Guid MP_IID_GRAPHICS2 = {
    0x4540C6EE, 0x98AB, 0x4C79, {0xB8, 0x57, 0x66, 0xAE, 0x64, 0x24, 0x91, 0x25}};

// A module with a face.
class IMpGraphics : public IMpUnknown {
public:
    // The size the face wants within `available`; kMpOk (kMpFail for a null out pointer).
    virtual int32_t measure(Size available, Size* desired) = 0;
    // The face's rectangle from now on; a changed one asks for a repaint. kMpOk (kMpFail for
    // null).
    virtual int32_t arrange(const Rect* finalRect) = 0;
    // Paints the face; `context` answers IMpDrawingContext and is the host's. kMpOk.
    virtual int32_t render(IMpUnknown* context) = 0;
    // Pointer events in face coordinates; flags carry gmpi::kPointerFlagShift while Shift is
    // held. kMpOk, or as the module's hit test answers; onPointerUp answers kMpFail when the
    // module had not captured the pointer.
    virtual int32_t onPointerDown(int32_t flags, Point point) = 0;
    virtual int32_t onPointerMove(int32_t flags, Point point) = 0;
    virtual int32_t onPointerUp(int32_t flags, Point point) = 0;
};

class IMpGraphics2 : public IMpGraphics {
public:
    // kMpOk where the face takes the pointer.
    virtual int32_t hitTest(Point point) = 0;
    // Not used; answers kMpFail.
    virtual int32_t reserved10() = 0;
};

using gmpi::kPointerFlagShift;

} // namespace gmpi_gui_api
