// The host-facing part of an audio module: interfaces, reference count and host.
//
// Newest edition: one object presents gmpi::IMpPlugin (primary), gmpi::IMpPlugin2 and
// IoldSchoolInitialisation, each as its own sub-object; the count starts at 1 and the host
// arrives through setHost. Earlier edition: gmpi::IMpPlugin alone, the count starts at 0
// (the factory adds the first reference) and the host is handed over at creation.
#pragma once

#include <type_traits>

#include "runtime/audio/edition.h"
#include "runtime/audio/mp_interfaces.h"
#include "runtime/audio/mp_initialisation.h"

namespace pq::detail {
// The module's gmpi::IMpPlugin as this edition declares it.
using PluginInterface = std::conditional_t<kEarlierEdition, gmpi::IMpPluginEarlier, gmpi::IMpPlugin>;
using MessageData = std::conditional_t<kEarlierEdition, int32_t, const void*>;

// Give the two receiveMessage entries names of their own so that each can forward to the other.
class Plugin1Entry : public PluginInterface {
public:
    int32_t receiveMessage(int32_t a, int32_t b, MessageData c) final {
        return receiveMessagePlugin(a, b, c);
    }
    virtual int32_t receiveMessagePlugin(int32_t a, int32_t b, MessageData c) = 0;
};
class Plugin2Entry : public gmpi::IMpPlugin2 {
public:
    int32_t receiveMessage(int32_t a, int32_t b, const void* c) final {
        return receiveMessagePlugin2(a, b, c);
    }
    virtual int32_t receiveMessagePlugin2(int32_t a, int32_t b, const void* c) = 0;
};

// Answers every host call harmlessly until a real host is attached, so that a module
// driven without one cannot crash.
gmpi::IMpAudioHost* nullAudioHost();
} // namespace pq::detail

#if PQ_EDITION_EARLIER

class MpPluginBase : public pq::detail::Plugin1Entry {
public:
    MpPluginBase() = default;
    MpPluginBase(const MpPluginBase&) = delete;
    MpPluginBase& operator=(const MpPluginBase&) = delete;

    int32_t queryInterface(const gmpi::Guid& iid, void** out) override;
    int32_t addRef() override { return ++refCount_; }
    int32_t release() override;
    int32_t open() override { return gmpi::kMpOk; }
    int32_t setBuffer(int32_t pinId, float* buffer) override = 0;
    int32_t receiveMessagePlugin(int32_t, int32_t, int32_t) override { return 0; }
    virtual ~MpPluginBase();

    // Called by the create function with the host handed to the factory: queries the
    // audio host at once, as the earlier edition's constructor does.
    int32_t attachHost(gmpi::IMpUnknown* host);
    gmpi::IMpUnknown* primaryInterface() { return static_cast<pq::detail::PluginInterface*>(this); }

protected:
    int32_t refCount_ = 0;
    gmpi::IMpAudioHost* host_ = pq::detail::nullAudioHost();
    bool hostAttached_ = false;
};

#else

class MpPluginBase : public pq::detail::Plugin1Entry,
                     public pq::detail::Plugin2Entry,
                     public IoldSchoolInitialisation {
public:
    MpPluginBase() = default;
    MpPluginBase(const MpPluginBase&) = delete;
    MpPluginBase& operator=(const MpPluginBase&) = delete;

    int32_t queryInterface(const gmpi::Guid& iid, void** out) override;
    int32_t addRef() override { return ++refCount_; }
    int32_t release() override;
    // Queries the host object for the audio host; answers that query's result.
    int32_t setHost(gmpi::IMpUnknown* host) override;
    int32_t open() override { return gmpi::kMpOk; }
    int32_t setBuffer(int32_t pinId, float* buffer) override = 0;
    int32_t receiveMessagePlugin(int32_t a, int32_t b, const void* c) override;
    int32_t receiveMessagePlugin2(int32_t a, int32_t b, const void* c) override;
    virtual ~MpPluginBase();

    int32_t attachHost(gmpi::IMpUnknown* host) { return setHost(host); }
    gmpi::IMpUnknown* primaryInterface() { return static_cast<pq::detail::PluginInterface*>(this); }

protected:
    int32_t refCount_ = 1;
    gmpi::IMpAudioHost* host_ = pq::detail::nullAudioHost();
    bool hostAttached_ = false;
    bool messageGuard_ = false;
};

#endif
