#include "runtime/gui/mp_gui_base.h"

int32_t MpGuiBase_base::queryInterface(const gmpi::Guid& iid, void** out) {
    const bool offered = pq::isOneOf(iid, {gmpi::MP_IID_GUI_PLUGIN, gmpi::MP_IID_UNKNOWN});
    return pq::answerQuery(out, offered ? static_cast<gmpi::IMpUserInterface*>(this) : nullptr);
}

namespace {
int32_t queryGuiHost(gmpi::IMpUnknown* hostObject, gmpi::IMpGuiHost*& host) {
    int32_t result = gmpi::kMpNoSupport;
    if (hostObject != nullptr) {
        void* found = nullptr;
        result = hostObject->queryInterface(gmpi::MP_IID_UI_HOST, &found);
        host = static_cast<gmpi::IMpGuiHost*>(found);
    }
    if (host == nullptr) throw "host Interfaces not supported";
    return result;
}
} // namespace

#if PQ_EDITION_EARLIER
int32_t MpGuiBase_base::attachHost(gmpi::IMpUnknown* hostObject) {
    return queryGuiHost(hostObject, host);
}
#else
int32_t MpGuiBase_base::setHost(gmpi::IMpUnknown* hostObject) {
    return queryGuiHost(hostObject, host);
}
#endif

int32_t MpGuiBase_base::setPin(int32_t pinId, int32_t size, const void* data, int32_t tag) {
    if (host == nullptr) return gmpi::kMpFail;
    return host->setPin(pinId, size, data, tag);
}

int32_t MpGuiBase::release() {
    return pq::releaseReference(refCount, this);
}
