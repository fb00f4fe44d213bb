#include "host/audio_instance.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "host/host_error.h"

namespace pqhost {

void* AudioEngine::sharedBlock(const std::u16string& name, int32_t size, bool& needInitialise) {
    auto it = shared_.find(name);
    needInitialise = it == shared_.end();
    // Blocks never move: earlier callers keep their pointer. A later caller asking for more
    // than the block holds gets none.
    if (needInitialise) it = shared_.emplace(name, std::vector<std::byte>(size_t(std::max(size, 1)))).first;
    if (it->second.size() < size_t(std::max(size, 0))) return nullptr;
    return it->second.data();
}

float PinValueRecord::asFloat() const {
    float v = 0;
    std::memcpy(&v, bytes.data(), std::min<size_t>(4, bytes.size()));
    return v;
}
int32_t PinValueRecord::asInt() const {
    int32_t v = 0;
    std::memcpy(&v, bytes.data(), std::min<size_t>(4, bytes.size()));
    return v;
}

int32_t AudioModuleHost::queryInterface(const gmpi::Guid& iid, void** out) {
    const bool offered = pq::isOneOf(iid, {gmpi::MP_IID_AUDIO_HOST, gmpi::MP_IID_UNKNOWN});
    return pq::answerQuery(out, offered ? static_cast<gmpi::IMpAudioHost*>(this) : nullptr);
}

int32_t AudioModuleHost::setPin(int32_t time, int32_t pinId, int32_t size, const void* data) {
    PinValueRecord record{owner_.currentBlock_, time, pinId, {}};
    if (size > 0 && data != nullptr) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        record.bytes.assign(bytes, bytes + size);
    }
    if (!owner_.keepRecords) {
        if (owner_.onValue) owner_.onValue(record);
        return gmpi::kMpOk;
    }
    owner_.values.push_back(std::move(record));
    if (owner_.onValue) owner_.onValue(owner_.values.back());
    return gmpi::kMpOk;
}

int32_t AudioModuleHost::setPinStreaming(int32_t time, int32_t pinId, bool streaming) {
    const StreamingRecord record{owner_.currentBlock_, time, pinId, streaming};
    if (owner_.keepRecords) owner_.streaming.push_back(record);
    if (owner_.onStreaming) owner_.onStreaming(record);
    return gmpi::kMpOk;
}

int32_t AudioModuleHost::sleep() {
    owner_.sleeping_ = true;
    ++owner_.sleepCalls_;
    return gmpi::kMpOk;
}

int32_t AudioModuleHost::getBlockSize(int32_t* size) {
    if (size == nullptr) return gmpi::kMpFail;
    *size = owner_.engine_.blockSize();
    return gmpi::kMpOk;
}

int32_t AudioModuleHost::getSampleRate(float* rate) {
    if (rate == nullptr) return gmpi::kMpFail;
    *rate = owner_.engine_.sampleRate();
    return gmpi::kMpOk;
}

int32_t AudioModuleHost::getHandle(int32_t* handle) {
    if (handle == nullptr) return gmpi::kMpFail;
    *handle = static_cast<int32_t>(reinterpret_cast<uintptr_t>(&owner_) & 0x7FFFFFFF);
    return gmpi::kMpOk;
}

int32_t AudioModuleHost::allocateSharedMemory(const char16_t* name, void** block, float, int32_t size,
                                              int32_t* needInitialise) {
    if (block == nullptr || needInitialise == nullptr || name == nullptr || size < 0) return gmpi::kMpFail;
    bool fresh = false;
    *block = owner_.engine_.sharedBlock(name, size, fresh);
    *needInitialise = fresh ? 1 : 0;
    return *block != nullptr ? gmpi::kMpOk : gmpi::kMpFail;
}

AudioInstance::AudioInstance(AudioEngine& engine, std::string name)
    : engine_(engine), name_(std::move(name)), host_(*this) {}

AudioInstance::~AudioInstance() {
    if (plugin2_) plugin2_->release();
    if (plugin1_) plugin1_->release();
    if (module_) module_->release();
}

void AudioInstance::attach(gmpi::IMpUnknown* module, bool hostGiven) {
    if (module == nullptr) throw HostError("module '" + name_ + "': no object to attach");
    module_ = module;
    void* found = nullptr;
    if (module->queryInterface(gmpi::MP_IID_PLUGIN2, &found) == gmpi::kMpOk && found != nullptr) {
        plugin2_ = static_cast<gmpi::IMpPlugin2*>(found);
        if (!hostGiven) plugin2_->setHost(&host_);
    } else if (module->queryInterface(gmpi::MP_IID_PLUGIN, &found) == gmpi::kMpOk && found != nullptr) {
        plugin1_ = static_cast<gmpi::IMpPlugin*>(found);
    } else {
        throw HostError("module '" + name_ + "' is not an audio module");
    }
}

int32_t AudioInstance::setBufferResult(int32_t pinId, float* buffer) {
    return plugin2_ ? plugin2_->setBuffer(pinId, buffer) : plugin1_->setBuffer(pinId, buffer);
}

float* AudioInstance::addAudioPin(int32_t pinId) {
    auto& buffer = buffers_[pinId];
    buffer.assign(size_t(engine_.blockSize()), 0.0f);
    setBufferResult(pinId, buffer.data());
    return buffer.data();
}

float* AudioInstance::buffer(int32_t pinId) {
    const auto it = buffers_.find(pinId);
    return it == buffers_.end() ? nullptr : it->second.data();
}

int32_t AudioInstance::open() {
    return plugin2_ ? plugin2_->open() : plugin1_->open();
}

void AudioInstance::queueEvent(int32_t time, int32_t type, int32_t pinId, const void* data, int32_t size) {
    Pending event{time, type, pinId, {}};
    if (data != nullptr && size > 0) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        event.bytes.assign(bytes, bytes + size);
    }
    const auto at = std::upper_bound(pending_.begin(), pending_.end(), time,
                                     [](int32_t t, const Pending& p) { return t < p.time; });
    pending_.insert(at, std::move(event));
}

void AudioInstance::processRaw(int32_t count, const gmpi::MpEvent* events) {
    if (plugin2_)
        plugin2_->process(count, events);
    else
        plugin1_->process(count, events);
}

bool AudioInstance::runBlock(int32_t count) {
    if (count < 0) count = engine_.blockSize();
    const int64_t block = currentBlock_;
    if (sleeping_ && pending_.empty()) {
        ++blocksSlept_;
        ++currentBlock_;
        return false;
    }
    sleeping_ = false;
    // Values routed to this module while it runs go to the next block. The two lists trade
    // places every block, so both keep their room.
    std::vector<Pending>& events = inFlight_;
    events.clear();
    events.swap(pending_);
    eventStorage_.assign(events.size(), gmpi::MpEvent{});
    for (size_t i = 0; i < events.size(); ++i) {
        gmpi::MpEvent& e = eventStorage_[i];
        const Pending& p = events[i];
        // Every event lies inside the block: a value sent late in a longer block, or at a
        // time before it, arrives at the nearest sample this block has (the order stays).
        e.time = std::clamp(p.time, 0, std::max(count - 1, 0));
        e.type = p.type;
        e.pinId = p.pinId;
        e.size = static_cast<int32_t>(p.bytes.size());
        if (p.bytes.size() <= sizeof(e.data)) {
            if (!p.bytes.empty()) std::memcpy(e.data, p.bytes.data(), p.bytes.size());
            e.extraData = nullptr;
        } else {
            e.extraData = reinterpret_cast<char*>(const_cast<uint8_t*>(p.bytes.data()));
        }
        e.next = i + 1 < events.size() ? &eventStorage_[i + 1] : nullptr;
    }
    processRaw(count, eventStorage_.empty() ? nullptr : eventStorage_.data());
    ++blocksRun_;
    currentBlock_ = block + 1;
    return true;
}

} // namespace pqhost
