// The host services lent to one GUI module: IMpGuiHost, IMpGuiHost2 and IMpGraphicsHost on
// one object. It forwards the module's values to its GuiModuleInstance, keeps the pointer
// capture, counts repaint requests and hands out the cairo drawing factory.
// [GUI thread] Reference counts are kept but never delete: the GuiModuleInstance owns it.
#pragma once

#include "runtime/gui/mp_gui_interfaces.h"

namespace pqhost {

class GuiModuleInstance;

class GuiHost {
public:
    explicit GuiHost(GuiModuleInstance& owner) : owner_(owner) {}
    GuiHost(const GuiHost&) = delete;
    GuiHost& operator=(const GuiHost&) = delete;

    gmpi::IMpUnknown* unknown() { return &legacy_; }
    int invalidations = 0;
    bool captured = false;
    int references = 0;

private:
    int32_t query(const gmpi::Guid& iid, void** out);
    int32_t setPin(int32_t pinId, int32_t size, const void* data);

    struct Legacy final : gmpi::IMpGuiHost {
        GuiHost& h;
        explicit Legacy(GuiHost& host) : h(host) {}
        int32_t queryInterface(const gmpi::Guid& iid, void** out) override { return h.query(iid, out); }
        int32_t addRef() override { return ++h.references; }
        int32_t release() override { return --h.references; }
        // The value reaches the instance's record, callback and the module's own pin.
        int32_t setPin(int32_t pinId, int32_t size, const void* data, int32_t) override {
            return h.setPin(pinId, size, data);
        }
        int32_t reserved4() override { return gmpi::kMpNoSupport; }
        int32_t reserved5() override { return gmpi::kMpNoSupport; }
        int32_t reserved6() override { return gmpi::kMpNoSupport; }
        int32_t reserved7() override { return gmpi::kMpNoSupport; }
        // No platform fonts: always "no font" (non-zero).
        int32_t getFontInfo(const char16_t*, gmpi::FontInfo*, void** font) override;
    };
    struct Newest final : gmpi::IMpGuiHost2 {
        GuiHost& h;
        explicit Newest(GuiHost& host) : h(host) {}
        int32_t queryInterface(const gmpi::Guid& iid, void** out) override { return h.query(iid, out); }
        int32_t addRef() override { return ++h.references; }
        int32_t release() override { return --h.references; }
        int32_t setPin(int32_t pinId, int32_t size, const void* data, int32_t) override {
            return h.setPin(pinId, size, data);
        }
        int32_t reserved4() override { return gmpi::kMpNoSupport; }
        int32_t reserved5() override { return gmpi::kMpNoSupport; }
        int32_t reserved6() override { return gmpi::kMpNoSupport; }
        int32_t reserved7() override { return gmpi::kMpNoSupport; }
        // No skin resources: kMpFail, the result is left alone.
        int32_t findResourceUri(const char*, const char*, gmpi::IString*) override { return gmpi::kMpFail; }
        // No files: *out null, kMpFail.
        int32_t openUri(const char*, gmpi::IMpResourceStream** out) override;
    };
    struct Graphics final : gmpi_gui_api::IMpGraphicsHost {
        GuiHost& h;
        explicit Graphics(GuiHost& host) : h(host) {}
        int32_t queryInterface(const gmpi::Guid& iid, void** out) override { return h.query(iid, out); }
        int32_t addRef() override { return ++h.references; }
        int32_t release() override { return --h.references; }
        int32_t reserved3() override { return gmpi::kMpNoSupport; }
        // *factory: a new cairo drawing factory with one reference, the caller's.
        int32_t getDrawingFactory(gmpi_gui_api::IMpDrawingFactory** factory) override;
        int32_t invalidateRect(const gmpi_gui_api::Rect*) override {
            ++h.invalidations;
            return gmpi::kMpOk;
        }
        int32_t reserved6() override { return gmpi::kMpNoSupport; }
        int32_t setCapture() override {
            h.captured = true;
            return gmpi::kMpOk;
        }
        int32_t getCapture(int32_t* captured) override {
            if (captured == nullptr) return gmpi::kMpFail;
            *captured = h.captured ? 1 : 0;
            return gmpi::kMpOk;
        }
        int32_t releaseCapture() override {
            h.captured = false;
            return gmpi::kMpOk;
        }
    };

    GuiModuleInstance& owner_;
    Legacy legacy_{*this};
    Newest newest_{*this};
    Graphics graphics_{*this};
};

} // namespace pqhost
