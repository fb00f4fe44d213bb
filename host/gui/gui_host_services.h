// The host services lent to one GUI module: IMpGuiHost, IMpGuiHost2 and IMpGraphicsHost, each
// a sub-object of one owner. The services keep the pointer capture, count repaint requests
// and references (counts never delete: the owner lives as long as the module may call it),
// and leave three things to the owner, which derives from GuiHostServices<Owner>:
//   int32_t hostSetPin(int32_t pinId, int32_t size, const void* data);  // a value the module sets
//   bool offers(const gmpi::Guid& iid) const;               // default: every interface is answered
//   int32_t drawingFactory(gmpi_gui_api::IMpDrawingFactory** factory);  // default: none
// Header only, without any drawing library, so that tests can record what modules send.
// [GUI thread]
#pragma once

#include "runtime/gui/mp_gui_interfaces.h"

namespace pqhost {

template <class Owner> class GuiHostServices {
public:
    GuiHostServices() = default;
    GuiHostServices(const GuiHostServices&) = delete;
    GuiHostServices& operator=(const GuiHostServices&) = delete;

    // The object to hand to a factory or to setHost; it answers all three services.
    gmpi::IMpUnknown* unknown() { return &legacy_; }

    int invalidations = 0;
    bool captured = false;
    int references = 0;

    // Defaults of the owner's choices (an owner hides them with its own).
    bool offers(const gmpi::Guid&) const { return true; }
    int32_t drawingFactory(gmpi_gui_api::IMpDrawingFactory** factory) {
        if (factory != nullptr) *factory = nullptr;
        return gmpi::kMpFail;
    }

protected:
    ~GuiHostServices() = default;

private:
    Owner& owner() { return static_cast<Owner&>(*this); }

    int32_t query(const gmpi::Guid& iid, void** out) {
        gmpi::IMpUnknown* found = nullptr;
        if (pq::isOneOf(iid, {gmpi::MP_IID_UI_HOST, gmpi::MP_IID_UNKNOWN}))
            found = static_cast<gmpi::IMpGuiHost*>(&legacy_);
        else if (iid == gmpi::MP_IID_UI_HOST2)
            found = static_cast<gmpi::IMpGuiHost2*>(&newest_);
        else if (iid == gmpi_gui_api::MP_IID_GRAPHICS_HOST)
            found = static_cast<gmpi_gui_api::IMpGraphicsHost*>(&graphics_);
        if (found != nullptr && !owner().offers(iid)) found = nullptr;
        return pq::answerQuery(out, found); // each interface is the first base of its service
    }

    // The IMpUnknown part every service shares: queries go to the owner, counts are shared.
    template <class I> struct Service : I {
        GuiHostServices& h;
        explicit Service(GuiHostServices& host) : h(host) {}
        int32_t queryInterface(const gmpi::Guid& iid, void** out) override { return h.query(iid, out); }
        int32_t addRef() override { return ++h.references; }
        int32_t release() override { return --h.references; }
    };

    // IMpGuiHost and IMpGuiHost2 agree in slots 3 to 7: setPin and four placeholders.
    template <class I> struct PinService : Service<I> {
        using Service<I>::Service;
        // The value reaches the owner; the tag is always 0 and not used.
        int32_t setPin(int32_t pinId, int32_t size, const void* data, int32_t) override {
            return this->h.owner().hostSetPin(pinId, size, data);
        }
    };

    struct Legacy final : PinService<gmpi::IMpGuiHost> {
        using PinService<gmpi::IMpGuiHost>::PinService;
        // No platform fonts: always "no font" (non-zero).
        int32_t getFontInfo(const char16_t*, gmpi::FontInfo*, void** font) override {
            if (font != nullptr) *font = nullptr;
            return gmpi::kMpFail;
        }
    };

    struct Newest final : PinService<gmpi::IMpGuiHost2> {
        using PinService<gmpi::IMpGuiHost2>::PinService;
        // No skin resources: kMpFail, the result is left alone.
        int32_t findResourceUri(const char*, const char*, gmpi::IString*) override { return gmpi::kMpFail; }
        // No files: *out null, kMpFail.
        int32_t openUri(const char*, gmpi::IMpResourceStream** out) override {
            if (out != nullptr) *out = nullptr;
            return gmpi::kMpFail;
        }
    };

    struct Graphics final : Service<gmpi_gui_api::IMpGraphicsHost> {
        using Service<gmpi_gui_api::IMpGraphicsHost>::Service;
        // *factory: a new drawing factory with one reference (the caller's), or null.
        int32_t getDrawingFactory(gmpi_gui_api::IMpDrawingFactory** factory) override {
            return this->h.owner().drawingFactory(factory);
        }
        int32_t invalidateRect(const gmpi_gui_api::Rect*) override {
            ++this->h.invalidations;
            return gmpi::kMpOk;
        }
        int32_t setCapture() override {
            this->h.captured = true;
            return gmpi::kMpOk;
        }
        int32_t getCapture(int32_t* captured) override {
            if (captured == nullptr) return gmpi::kMpFail;
            *captured = this->h.captured ? 1 : 0;
            return gmpi::kMpOk;
        }
        int32_t releaseCapture() override {
            this->h.captured = false;
            return gmpi::kMpOk;
        }
    };

    Legacy legacy_{*this};
    Newest newest_{*this};
    Graphics graphics_{*this};
};

} // namespace pqhost
