// The base of the composited faces of the single-module libraries (earlier edition only):
// a legacy GUI module (subtype 1) that also offers IQmGraphicsComposited, through which the
// host lays the face out, has it paint into a platform device context and passes it mouse
// events in whole pixels. [GUI thread] for every slot.
//
// The host object must answer IMpGuiHost and IMpGraphicsHostComposited, else creation fails
// with the text "host Interfaces not supported". The module never releases either host.
// The arrangement is kept as received: top, bottom, left, right; faces paint from (0, 0) to
// (width, height) of it.
#pragma once

#include "runtime/gui/mp_gui_base.h"

#if PQ_EDITION_EARLIER

class QmGuiCompositedGfxBase : public MpGuiBase, public IQmGraphicsComposited {
public:
    // Also answers IQmGraphicsComposited (one reference added).
    int32_t queryInterface(const gmpi::Guid& iid, void** out) override;
    int32_t addRef() override { return MpGuiBase::addRef(); }
    int32_t release() override { return MpGuiBase::release(); }

    // Takes IMpGuiHost, then IMpGraphicsHostComposited; throws when either is missing.
    int32_t attachHost(gmpi::IMpUnknown* hostObject);

    // Draws nothing; faces override it.
    int32_t paint(int32_t) override { return gmpi::kMpOk; }
    // desired = (width, height), each clamped to 15 ... 100.
    int32_t measure(int32_t width, int32_t height, int32_t* desired) override;
    // Keeps the four values (top, bottom, left, right).
    int32_t arrange(int32_t a, int32_t b, int32_t c, int32_t d) override;
    int32_t faceReserved6() override { return gmpi::kMpOk; }
    int32_t faceReserved7() override { return gmpi::kMpOk; }
    int32_t onMouseDown(int32_t, int32_t, int32_t) override { return gmpi::kMpOk; }
    int32_t onMouseMove(int32_t, int32_t, int32_t) override { return gmpi::kMpOk; }
    int32_t onMouseUp(int32_t, int32_t, int32_t) override { return gmpi::kMpOk; }

    // The face's size from the arrangement (negative spans count as 0).
    int32_t faceWidth() const;
    int32_t faceHeight() const;

protected:
    // Asks the host for a later paint of the whole face.
    void invalidateFace();
    // Trampoline for pins whose change routine only repaints.
    void redraw(int32_t) { invalidateFace(); }
    // Whether the host reports the mouse captured for this face.
    bool isCaptured() const;
    void setCapture();
    void releaseCapture();

    IMpGraphicsHostComposited* compositedHost = nullptr; // not owned, never released
    int32_t area[4] = {0, 0, 0, 0};                      // top, bottom, left, right
};

#endif
