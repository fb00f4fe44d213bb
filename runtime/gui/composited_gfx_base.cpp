#include "runtime/gui/composited_gfx_base.h"

#if PQ_EDITION_EARLIER

#include <algorithm>

int32_t QmGuiCompositedGfxBase::queryInterface(const gmpi::Guid& iid, void** out) {
    if (out == nullptr) return gmpi::kMpNoSupport;
    if (iid == MP_IID_GRAPHICS_COMPOSITED) {
        *out = static_cast<IQmGraphicsComposited*>(this);
        addRef();
        return gmpi::kMpOk;
    }
    return MpGuiBase::queryInterface(iid, out);
}

int32_t QmGuiCompositedGfxBase::attachHost(gmpi::IMpUnknown* hostObject) {
    const int32_t result = MpGuiBase::attachHost(hostObject); // throws without IMpGuiHost
    void* found = nullptr;
    hostObject->queryInterface(MP_IID_GRAPHICS_HOST_COMPOSITED, &found);
    compositedHost = static_cast<IMpGraphicsHostComposited*>(found);
    if (compositedHost == nullptr) throw "host Interfaces not supported";
    return result;
}

int32_t QmGuiCompositedGfxBase::measure(int32_t width, int32_t height, int32_t* desired) {
    if (desired == nullptr) return gmpi::kMpFail;
    desired[0] = std::clamp(width, 15, 100);
    desired[1] = std::clamp(height, 15, 100);
    return gmpi::kMpOk;
}

int32_t QmGuiCompositedGfxBase::arrange(int32_t a, int32_t b, int32_t c, int32_t d) {
    area[0] = a;
    area[1] = b;
    area[2] = c;
    area[3] = d;
    return gmpi::kMpOk;
}

namespace {
// b - a without overflow; negative spans count as 0.
int32_t span(int32_t a, int32_t b) {
    const int64_t s = static_cast<int64_t>(b) - a;
    return static_cast<int32_t>(std::clamp<int64_t>(s, 0, INT32_MAX));
}
} // namespace

int32_t QmGuiCompositedGfxBase::faceWidth() const {
    return span(area[2], area[3]);
}
int32_t QmGuiCompositedGfxBase::faceHeight() const {
    return span(area[0], area[1]);
}

void QmGuiCompositedGfxBase::invalidateFace() {
    if (compositedHost != nullptr) compositedHost->invalidateRect(nullptr);
}

bool QmGuiCompositedGfxBase::isCaptured() const {
    int32_t captured = 0;
    if (compositedHost != nullptr) compositedHost->getCapture(&captured);
    return captured != 0;
}

void QmGuiCompositedGfxBase::setCapture() {
    if (compositedHost != nullptr) compositedHost->setCapture();
}

void QmGuiCompositedGfxBase::releaseCapture() {
    if (compositedHost != nullptr) compositedHost->releaseCapture();
}

#endif
