// The host services lent to one GUI module: IMpGuiHost, IMpGuiHost2, IMpGraphicsHost and
// IMpGraphicsHostComposited, each a sub-object of one owner. The services keep the pointer
// capture, count repaint requests and references (counts never delete: the owner lives as
// long as the module may call it), answer the skin's style sheet as the resource
// "global"/"ImageMeta" when one is set (styleSheet), and leave the rest to the owner, which
// derives from GuiHostServices<Owner>:
//   int32_t hostSetPin(int32_t pinId, int32_t size, const void* data);  // a value the module sets
//   bool offers(const gmpi::Guid& iid) const;               // default: every interface is answered
//   int32_t drawingFactory(gmpi_gui_api::IMpDrawingFactory** factory);  // default: none
//   int32_t fontInfo(const char16_t* style, gmpi::FontInfo* info, void** font); // default: no font
// Header only, without any drawing library, so that tests can record what modules send.
// [GUI thread]
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "runtime/audio/mp_abi.h"
#include "runtime/gui/mp_gui_interfaces.h"

namespace pqhost {

// The URI under which the services answer the skin's style sheet.
inline constexpr const char* kStyleSheetUri = "skin:global/ImageMeta";

// A resource read from a shared text; one reference for its receiver, deleted at the last.
class TextResourceStream final : public gmpi::IMpResourceStream {
public:
    explicit TextResourceStream(std::shared_ptr<const std::string> text) : text_(std::move(text)) {}
    int32_t queryInterface(const gmpi::Guid& iid, void** out) override {
        if (out == nullptr) return gmpi::kMpNoSupport;
        *out = nullptr;
        if (!(iid == gmpi::MP_IID_UNKNOWN)) return gmpi::kMpNoSupport;
        *out = static_cast<gmpi::IMpResourceStream*>(this);
        addRef();
        return gmpi::kMpOk;
    }
    int32_t addRef() override { return ++refs_; }
    int32_t release() override { return pq::releaseReference(refs_, this); }
    // Copies up to `count` bytes from the current position; kMpFail for a null buffer or a
    // negative count.
    int32_t read(void* buffer, int64_t count, int32_t) override {
        if (buffer == nullptr || count < 0) return gmpi::kMpFail;
        const size_t n = std::min<size_t>(static_cast<size_t>(count), text_->size() - position_);
        if (n != 0) std::memcpy(buffer, text_->data() + position_, n);
        position_ += n;
        return gmpi::kMpOk;
    }
    int32_t getSize(int64_t* size) override {
        if (size == nullptr) return gmpi::kMpFail;
        *size = static_cast<int64_t>(text_->size());
        return gmpi::kMpOk;
    }
    virtual ~TextResourceStream() = default;

private:
    std::shared_ptr<const std::string> text_;
    size_t position_ = 0;
    int32_t refs_ = 1;
};

template <class Owner> class GuiHostServices {
public:
    GuiHostServices() = default;
    GuiHostServices(const GuiHostServices&) = delete;
    GuiHostServices& operator=(const GuiHostServices&) = delete;

    // The object to hand to a factory or to setHost; it answers every service.
    gmpi::IMpUnknown* unknown() { return &legacy_; }

    // The skin's style sheet (null: none), answered as "global"/"ImageMeta".
    std::shared_ptr<const std::string> styleSheet;

    int invalidations = 0;
    bool captured = false;
    int references = 0;

    // Defaults of the owner's choices (an owner hides them with its own).
    bool offers(const gmpi::Guid&) const { return true; }
    int32_t drawingFactory(gmpi_gui_api::IMpDrawingFactory** factory) {
        if (factory != nullptr) *factory = nullptr;
        return gmpi::kMpFail;
    }
    int32_t fontInfo(const char16_t*, gmpi::FontInfo*, void** font) {
        if (font != nullptr) *font = nullptr;
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
        else if (iid == MP_IID_GRAPHICS_HOST_COMPOSITED)
            found = static_cast<IMpGraphicsHostComposited*>(&composited_);
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
        // Non-zero: no font.
        int32_t getFontInfo(const char16_t* style, gmpi::FontInfo* info, void** font) override {
            return this->h.owner().fontInfo(style, info, font);
        }
    };

    struct Newest final : PinService<gmpi::IMpGuiHost2> {
        using PinService<gmpi::IMpGuiHost2>::PinService;
        // The style sheet's URI for "global"/"ImageMeta" when a sheet is set; otherwise kMpFail
        // and the result is left alone.
        int32_t findResourceUri(const char* name, const char* type, gmpi::IString* result) override {
            if (name == nullptr || type == nullptr || result == nullptr || this->h.styleSheet == nullptr ||
                std::strcmp(name, "global") != 0 || std::strcmp(type, "ImageMeta") != 0)
                return gmpi::kMpFail;
            return result->setData(kStyleSheetUri, static_cast<int32_t>(std::strlen(kStyleSheetUri)));
        }
        // A new stream over the style sheet for its URI; anything else: *out null, kMpFail.
        int32_t openUri(const char* uri, gmpi::IMpResourceStream** out) override {
            if (out == nullptr) return gmpi::kMpFail;
            *out = nullptr;
            if (uri == nullptr || this->h.styleSheet == nullptr || std::strcmp(uri, kStyleSheetUri) != 0)
                return gmpi::kMpFail;
            *out = new TextResourceStream(this->h.styleSheet);
            return gmpi::kMpOk;
        }
    };

    // The pointer capture, one for both face hosts: the slots have the same names in each.
    template <class Interface> struct CaptureService : Service<Interface> {
        using Service<Interface>::Service;
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

    struct Graphics final : CaptureService<gmpi_gui_api::IMpGraphicsHost> {
        using CaptureService<gmpi_gui_api::IMpGraphicsHost>::CaptureService;
        // *factory: a new drawing factory with one reference (the caller's), or null.
        int32_t getDrawingFactory(gmpi_gui_api::IMpDrawingFactory** factory) override {
            return this->h.owner().drawingFactory(factory);
        }
        int32_t invalidateRect(const gmpi_gui_api::Rect*) override {
            ++this->h.invalidations;
            return gmpi::kMpOk;
        }
    };

    // The composited faces' host: capture and repaint requests shared with IMpGraphicsHost.
    struct Composited final : CaptureService<IMpGraphicsHostComposited> {
        using CaptureService<IMpGraphicsHostComposited>::CaptureService;
        int32_t invalidateRect(const int32_t*) override {
            ++this->h.invalidations;
            return gmpi::kMpOk;
        }
    };

    Legacy legacy_{*this};
    Newest newest_{*this};
    Graphics graphics_{*this};
    Composited composited_{*this};
};

} // namespace pqhost
