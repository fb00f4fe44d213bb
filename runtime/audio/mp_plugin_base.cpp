#include "runtime/audio/mp_plugin_base.h"

namespace pq::detail {
namespace {
class NullAudioHost final : public gmpi::IMpAudioHost {
public:
    int32_t queryInterface(const gmpi::Guid&, void** out) override {
        if (out) *out = nullptr;
        return gmpi::kMpNoSupport;
    }
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }
    int32_t setPin(int32_t, int32_t, int32_t, const void*) override { return gmpi::kMpFail; }
    int32_t setPinStreaming(int32_t, int32_t, bool) override { return gmpi::kMpFail; }
    int32_t sleep() override { return gmpi::kMpFail; }
    int32_t getBlockSize(int32_t* size) override {
        if (size) *size = 1;
        return gmpi::kMpFail;
    }
    int32_t getSampleRate(float* rate) override {
        if (rate) *rate = 44100.0f;
        return gmpi::kMpFail;
    }
    int32_t getHandle(int32_t* handle) override {
        if (handle) *handle = 0;
        return gmpi::kMpFail;
    }
    int32_t allocateSharedMemory(const char16_t*, void** block, float, int32_t, int32_t* needInit) override {
        if (block) *block = nullptr;
        if (needInit) *needInit = 0;
        return gmpi::kMpFail;
    }
};
} // namespace

gmpi::IMpAudioHost* nullAudioHost() {
    static NullAudioHost host;
    return &host;
}
} // namespace pq::detail

namespace {
// Queries `host` for the audio host; on success the previous host (if any) is released.
int32_t queryAudioHost(gmpi::IMpUnknown* host, gmpi::IMpAudioHost*& slot, bool& attached) {
    if (host == nullptr) return gmpi::kMpFail;
    void* found = nullptr;
    const int32_t result = host->queryInterface(gmpi::MP_IID_AUDIO_HOST, &found);
    if (found != nullptr) {
        if (attached) slot->release();
        slot = static_cast<gmpi::IMpAudioHost*>(found);
        attached = true;
    }
    return result;
}
} // namespace

int32_t MpPluginBase::release() {
    return pq::releaseReference(refCount_, this);
}

MpPluginBase::~MpPluginBase() {
    if (hostAttached_) host_->release();
}

#if PQ_EDITION_EARLIER

int32_t MpPluginBase::queryInterface(const gmpi::Guid& iid, void** out) {
    const bool offered = pq::isOneOf(iid, {gmpi::MP_IID_PLUGIN, gmpi::MP_IID_UNKNOWN});
    return pq::answerQuery(out, offered ? static_cast<pq::detail::PluginInterface*>(this) : nullptr);
}

int32_t MpPluginBase::attachHost(gmpi::IMpUnknown* host) {
    return queryAudioHost(host, host_, hostAttached_);
}

#else

int32_t MpPluginBase::queryInterface(const gmpi::Guid& iid, void** out) {
    if (iid == gmpi::MP_IID_PLUGIN2) return pq::answerQuery(out, static_cast<gmpi::IMpPlugin2*>(this));
    const bool offered = pq::isOneOf(iid, {gmpi::MP_IID_PLUGIN, gmpi::MP_IID_UNKNOWN});
    return pq::answerQuery(out, offered ? static_cast<pq::detail::PluginInterface*>(this) : nullptr);
}

int32_t MpPluginBase::setHost(gmpi::IMpUnknown* host) {
    return queryAudioHost(host, host_, hostAttached_);
}

// Each entry forwards to the other so that a module may override either; the guard stops
// the round trip, so with no override the answer is 0.
int32_t MpPluginBase::receiveMessagePlugin(int32_t a, int32_t b, const void* c) {
    if (messageGuard_) return 0;
    messageGuard_ = true;
    const int32_t result = receiveMessagePlugin2(a, b, c);
    messageGuard_ = false;
    return result;
}

int32_t MpPluginBase::receiveMessagePlugin2(int32_t a, int32_t b, const void* c) {
    if (messageGuard_) return 0;
    messageGuard_ = true;
    const int32_t result = receiveMessagePlugin(a, b, c);
    messageGuard_ = false;
    return result;
}

#endif
