// A recording stand-in for the host's GUI services: IMpGuiHost, IMpGuiHost2 and
// IMpGraphicsHost on one object. Every value a module sends is kept in `sent`; capture and
// repaint requests are counted. Interfaces can be withheld to test hosts that lack them.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "runtime/gui/mp_gui_interfaces.h"

namespace guitest {

struct SentValue {
    int32_t pinId;
    std::vector<uint8_t> bytes;

    template <class T> T as() const {
        T v{};
        std::memcpy(&v, bytes.data(), sizeof(T) < bytes.size() ? sizeof(T) : bytes.size());
        return v;
    }
    std::u16string text() const {
        std::u16string t(bytes.size() / 2, u'\0');
        std::memcpy(t.data(), bytes.data(), t.size() * 2);
        return t;
    }
};

class FakeGuiHost {
public:
    bool offerGuiHost = true;
    bool offerGuiHost2 = true;
    bool offerGraphicsHost = true;

    std::vector<SentValue> sent;
    int invalidations = 0;
    bool captured = false;
    int references = 0;

    gmpi::IMpUnknown* unknown() { return &legacy; }

private:
    int32_t query(const gmpi::Guid& iid, void** out) {
        *out = nullptr;
        if ((iid == gmpi::MP_IID_UI_HOST || iid == gmpi::MP_IID_UNKNOWN) && offerGuiHost)
            *out = &legacy;
        else if (iid == gmpi::MP_IID_UI_HOST2 && offerGuiHost2)
            *out = &newest;
        else if (iid == gmpi_gui_api::MP_IID_GRAPHICS_HOST && offerGraphicsHost)
            *out = &graphics;
        if (*out == nullptr) return gmpi::kMpNoSupport;
        ++references;
        return gmpi::kMpOk;
    }
    int32_t record(int32_t pinId, int32_t size, const void* data) {
        const auto* b = static_cast<const uint8_t*>(data);
        sent.push_back({pinId, std::vector<uint8_t>(b, b + (size > 0 ? size : 0))});
        return gmpi::kMpOk;
    }

    struct Legacy final : gmpi::IMpGuiHost {
        FakeGuiHost& h;
        explicit Legacy(FakeGuiHost& host) : h(host) {}
        int32_t queryInterface(const gmpi::Guid& iid, void** out) override { return h.query(iid, out); }
        int32_t addRef() override { return ++h.references; }
        int32_t release() override { return --h.references; }
        int32_t setPin(int32_t pinId, int32_t size, const void* data, int32_t) override {
            return h.record(pinId, size, data);
        }
        int32_t reserved4() override { return gmpi::kMpNoSupport; }
        int32_t reserved5() override { return gmpi::kMpNoSupport; }
        int32_t reserved6() override { return gmpi::kMpNoSupport; }
        int32_t reserved7() override { return gmpi::kMpNoSupport; }
        int32_t getFontInfo(const char16_t*, gmpi::FontInfo*, void**) override { return gmpi::kMpFail; }
    } legacy{*this};

    struct Newest final : gmpi::IMpGuiHost2 {
        FakeGuiHost& h;
        explicit Newest(FakeGuiHost& host) : h(host) {}
        int32_t queryInterface(const gmpi::Guid& iid, void** out) override { return h.query(iid, out); }
        int32_t addRef() override { return ++h.references; }
        int32_t release() override { return --h.references; }
        int32_t setPin(int32_t pinId, int32_t size, const void* data, int32_t) override {
            return h.record(pinId, size, data);
        }
        int32_t reserved4() override { return gmpi::kMpNoSupport; }
        int32_t reserved5() override { return gmpi::kMpNoSupport; }
        int32_t reserved6() override { return gmpi::kMpNoSupport; }
        int32_t reserved7() override { return gmpi::kMpNoSupport; }
        int32_t findResourceUri(const char*, const char*, gmpi::IString*) override { return gmpi::kMpFail; }
        int32_t openUri(const char*, gmpi::IMpResourceStream** out) override {
            if (out) *out = nullptr;
            return gmpi::kMpFail;
        }
    } newest{*this};

    struct Graphics final : gmpi_gui_api::IMpGraphicsHost {
        FakeGuiHost& h;
        explicit Graphics(FakeGuiHost& host) : h(host) {}
        int32_t queryInterface(const gmpi::Guid& iid, void** out) override { return h.query(iid, out); }
        int32_t addRef() override { return ++h.references; }
        int32_t release() override { return --h.references; }
        int32_t reserved3() override { return gmpi::kMpNoSupport; }
        int32_t getDrawingFactory(gmpi_gui_api::IMpDrawingFactory** f) override {
            if (f) *f = nullptr;
            return gmpi::kMpFail;
        }
        int32_t invalidateRect(const gmpi_gui_api::Rect*) override {
            ++h.invalidations;
            return gmpi::kMpOk;
        }
        int32_t reserved6() override { return gmpi::kMpNoSupport; }
        int32_t setCapture() override {
            h.captured = true;
            return gmpi::kMpOk;
        }
        int32_t getCapture(int32_t* c) override {
            if (c) *c = h.captured ? 1 : 0;
            return gmpi::kMpOk;
        }
        int32_t releaseCapture() override {
            h.captured = false;
            return gmpi::kMpOk;
        }
    } graphics{*this};
};

} // namespace guitest
