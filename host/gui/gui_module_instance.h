// Running one GUI module as a real host's editor does: its host services, its pin values,
// its layout, its pointer events and its face painted with cairo.
//
// Use:
//   pqhost::GuiModuleInstance gui;
//   gmpi::IMpUnknown* module = nullptr;
//   // subtype 1: the factory hands the host over at creation
//   library.createInstance(u"Bool Text", 1, gui.hostObject(), &module);
//   // subtype 2: createInstance2 (or createInstance); attach() calls setHost
//   // a legacy module offering IQmGraphicsComposited has a composited face: it is laid out
//   // in whole pixels and paints into a surface of the host's drawing services
//   gui.attach(module, subtype);          // takes over the creator's reference, initialize
//   gui.setValueCallback([](int32_t pin, const std::vector<uint8_t>& bytes) { ... });
//   gui.deliver(0, &value, sizeof value);  // setPinValue + notifyPin
//   gui.pointerDown(0, {5, 5}); gui.pointerUp(0, {5, 5});
//   gui.render(100, 40).savePng("face.png");
//
// Values the module sets are recorded (sent()), passed to the value callback, and reported
// back to the module's own pin (setPinValue + notifyPin), as a real host does. Reports and
// deliveries that arrive while the module is busy are queued and handed over once its
// current call has returned, never nested inside it; a module that keeps answering its own
// reports is cut off after kDeliveryLimit deliveries of one outer call.
// [GUI thread] Not thread-safe; one instance per module.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/gui/mp_gui_interfaces.h"

namespace pqhost {

// A face painted by render(): width × height pixels, each 0xAARRGGBB in sRGB, not
// premultiplied, rows top to bottom.
struct FaceImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // Writes a PNG; false when the file cannot be written, or when the pixels do not fill
    // width × height or cairo cannot hold an image of that size.
    bool savePng(const std::string& path) const;
};

// One value a module sent through setPin.
struct GuiPinValue {
    int32_t pinId;
    std::vector<uint8_t> bytes;
};

class GuiHost;

class GuiModuleInstance {
public:
    using ValueCallback = std::function<void(int32_t pinId, const std::vector<uint8_t>& bytes)>;
    static constexpr int kDeliveryLimit = 10000;

    GuiModuleInstance();
    // Releases the module, then the host services.
    ~GuiModuleInstance();
    GuiModuleInstance(const GuiModuleInstance&) = delete;
    GuiModuleInstance& operator=(const GuiModuleInstance&) = delete;

    // The host object (answers IMpGuiHost, IMpGuiHost2, IMpGraphicsHost and
    // IMpGraphicsHostComposited) to hand to IMpFactory::createInstance. It lives as long as
    // this instance.
    gmpi::IMpUnknown* hostObject();

    // The skin's style sheet, answered to the module as "global"/"ImageMeta" and used for its
    // font requests (null: none). Set it before the module asks.
    void setStyleSheet(std::shared_ptr<const std::string> sheet);

    // Takes over one reference of `module` (subtype 1: IMpUserInterface; subtype 2:
    // IMpUserInterface2B, whose setHost is called here), then calls initialize. Answers false,
    // releasing the module, when it lacks the interface of its subtype or `module` is null.
    bool attach(gmpi::IMpUnknown* module, int32_t subtype);
    bool attached() const { return unknown_ != nullptr; }

    void setValueCallback(ValueCallback callback) { callback_ = std::move(callback); }

    // Hands a value to pin `pinId` (setPinValue, then notifyPin). Answers setPinValue's
    // result, or kMpOk when the delivery was queued behind the module's current call.
    int32_t deliver(int32_t pinId, const void* data, int32_t size);
    int32_t deliverFloat(int32_t pinId, float v) { return deliver(pinId, &v, 4); }
    int32_t deliverInt(int32_t pinId, int32_t v) { return deliver(pinId, &v, 4); }
    int32_t deliverBool(int32_t pinId, bool v) { return deliver(pinId, &v, 1); }
    int32_t deliverText(int32_t pinId, const std::u16string& text) {
        return deliver(pinId, text.data(), static_cast<int32_t>(text.size() * 2));
    }

    // Every value the module has set, in order.
    const std::vector<GuiPinValue>& sent() const { return sent_; }
    // The value pin `pinId` holds now: the last one handed to it that the module took (host
    // deliveries and the reports of its own values alike), or null when none was.
    const std::vector<uint8_t>* pinValue(int32_t pinId) const;

    // Whether the module offers IMpGraphics or IQmGraphicsComposited (a face).
    bool hasFace() const { return graphics_ != nullptr || composited_ != nullptr; }
    // measure and arrange; without a face measure answers `available` and arrange does nothing.
    // A composited face gets whole pixels (truncated, within the int32 range) and the
    // arrangement as top, bottom, left, right.
    gmpi_gui_api::Size measure(gmpi_gui_api::Size available);
    void arrange(const gmpi_gui_api::Rect& rect);
    // Whether arrange has laid the face out yet.
    bool arranged() const { return arranged_; }
    // Pointer events in face coordinates; flags carry kPointerFlagShift (0x10000) for Shift.
    // A composited face gets whole pixels (rounded down).
    // Answer the module's result (kMpNoSupport without a face).
    int32_t pointerDown(int32_t flags, gmpi_gui_api::Point point);
    int32_t pointerMove(int32_t flags, gmpi_gui_api::Point point);
    int32_t pointerUp(int32_t flags, gmpi_gui_api::Point point);

    // Measures and arranges the face at (0, 0, width, height) and paints it on a transparent
    // image of that size (at most 8192 on a side; an empty image without a face). A composited
    // face paints into a surface of the host's drawing services named by its handle.
    FaceImage render(int width, int height);

    int invalidateCount() const;
    bool captured() const;

private:
    friend class GuiHost;
    void hostSetPin(int32_t pinId, int32_t size, const void* data);
    // Runs `call` on the module unless it is busy, then hands over what has queued up.
    template <class Call> int32_t guarded(Call call);
    void drain();
    void keepValue(int32_t pinId, const void* data, int32_t size);

    struct Pending {
        int32_t pinId;
        std::vector<uint8_t> bytes;
    };

    std::unique_ptr<GuiHost> host_;
    gmpi::IMpUnknown* unknown_ = nullptr;
    gmpi::IMpUserInterface* legacy_ = nullptr;
    gmpi::IMpUserInterface2B* newest_ = nullptr;
    gmpi_gui_api::IMpGraphics* graphics_ = nullptr;
    IQmGraphicsComposited* composited_ = nullptr;
    ValueCallback callback_;
    std::vector<GuiPinValue> sent_;
    std::map<int32_t, std::vector<uint8_t>> values_; // what each pin holds
    std::deque<Pending> inbound_;                    // deliveries and reports for the module
    std::deque<Pending> outbound_;                   // values for the callback
    bool busy_ = false;
    bool arranged_ = false;
};

} // namespace pqhost
