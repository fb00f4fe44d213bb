#include "runtime/gui/mp_gui_base2.h"

int32_t MpGuiBase2::queryInterface(const gmpi::Guid& iid, void** out) {
    const bool offered =
        pq::isOneOf(iid, {gmpi::MP_IID_GUI_PLUGIN2, gmpi::MP_IID_GUI_PLUGIN2B, gmpi::MP_IID_UNKNOWN});
    return pq::answerQuery(out, offered ? static_cast<gmpi::IMpUserInterface2B*>(this) : nullptr);
}

int32_t MpGuiBase2::setHost(gmpi::IMpUnknown* hostObject) {
    void* found = nullptr;
    if (hostObject != nullptr) hostObject->queryInterface(gmpi::MP_IID_UI_HOST2, &found);
    host = static_cast<gmpi::IMpGuiHost2*>(found);
    return host != nullptr ? gmpi::kMpOk : gmpi::kMpNoSupport;
}

int32_t MpGuiBase2::setPin(int32_t pinId, int32_t size, const void* data, int32_t tag) {
    if (host == nullptr) return gmpi::kMpFail;
    return host->setPin(pinId, size, data, tag);
}

int32_t QmGuiInvisibleBase::release() {
    return pq::releaseReference(refCount, this);
}

namespace gmpi_gui {

int32_t MpGuiGfxBase::queryInterface(const gmpi::Guid& iid, void** out) {
    if (pq::isOneOf(iid, {gmpi_gui_api::MP_IID_GRAPHICS, gmpi_gui_api::MP_IID_GRAPHICS2}))
        return pq::answerQuery(out, static_cast<gmpi_gui_api::IMpGraphics2*>(this));
    return MpGuiBase2::queryInterface(iid, out);
}

int32_t MpGuiGfxBase::release() {
    return pq::releaseReference(refCount, this);
}

int32_t MpGuiGfxBase::setHost(gmpi::IMpUnknown* hostObject) {
    if (hostObject != nullptr) {
        void* found = nullptr;
        hostObject->queryInterface(gmpi_gui_api::MP_IID_GRAPHICS_HOST, &found);
        if (found != nullptr) {
            // A second hand-over replaces the reference held so far.
            if (graphicsHost != nullptr) graphicsHost->release();
            graphicsHost = static_cast<gmpi_gui_api::IMpGraphicsHost*>(found);
        }
    }
    return MpGuiBase2::setHost(hostObject);
}

MpGuiGfxBase::~MpGuiGfxBase() {
    if (graphicsHost != nullptr) graphicsHost->release();
}

int32_t MpGuiGfxBase::measure(gmpi_gui_api::Size available, gmpi_gui_api::Size* desired) {
    if (desired == nullptr) return gmpi::kMpFail;
    // A NaN size counts as below 1.0.
    desired->width = available.width > 1.0f ? available.width : 1.0f;
    desired->height = available.height > 1.0f ? available.height : 1.0f;
    return gmpi::kMpOk;
}

int32_t MpGuiGfxBase::arrange(const gmpi_gui_api::Rect* finalRect) {
    if (finalRect == nullptr) return gmpi::kMpFail;
    const gmpi_gui_api::Rect& r = *finalRect;
    if (r.left != bounds.left || r.top != bounds.top || r.right != bounds.right ||
        r.bottom != bounds.bottom) {
        bounds = r;
        invalidateFace();
    }
    return gmpi::kMpOk;
}

void MpGuiGfxBase::invalidateFace() {
    if (graphicsHost != nullptr) graphicsHost->invalidateRect(nullptr);
}

} // namespace gmpi_gui
