// GUI-side pins: member objects of a GUI module that hold a pin's value, know its id and
// owner, and may carry a change routine of the module. [GUI thread] for everything here.
//
// The host writes a value with the module's setPinValue (setValueRaw here) and then runs the
// pin's change routine with notifyPin. The module assigns with setValue, which stores the
// value and sends it to the host only when it differs from the stored one; it never runs the
// pin's own change routine.
//
// Editions. Newest: the change routine is a separate object (IGuiPinCallback) owned by the
// pin. Earlier: the pin holds the module pointer and the routine itself and attaching is one
// of its virtual operations (MpGuiPinSimpleBase). Float comparisons follow pq::gui::differs.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "runtime/audio/edition.h"
#include "runtime/audio/mp_abi.h"
#include "runtime/audio/mp_blob.h"
#include "runtime/gui/mp_gui_compare.h"

class MpGuiPinBase;

using gmpi::kGuiPinBlob;
using gmpi::kGuiPinBool;
using gmpi::kGuiPinFloat;
using gmpi::kGuiPinInt;
using gmpi::kGuiPinText;

// The part of a module that its pins talk to: finds pins by id and sends values to the host.
class GuiPinOwner {
public:
    GuiPinOwner() = default;
    GuiPinOwner(const GuiPinOwner&) = delete;
    GuiPinOwner& operator=(const GuiPinOwner&) = delete;

    // Sends a pin value to the host (tag always 0). Answers the host's result, or kMpFail
    // when no host is attached.
    virtual int32_t setPin(int32_t pinId, int32_t size, const void* data, int32_t tag) = 0;

    // Non-owning: the pins are members of the concrete module.
    std::map<int32_t, MpGuiPinBase*> pins;

    // Id that automatic numbering gives the next pin: 0, or the largest id plus one.
    int32_t nextPinId() const { return pins.empty() ? 0 : pins.rbegin()->first + 1; }

protected:
    ~GuiPinOwner() { pins.clear(); }

    // The host-facing pin plumbing shared by every GUI base: kMpFail for an unknown id.
    int32_t deliverPinValue(int32_t pinId, int32_t tag, int32_t size, const void* data);
    int32_t runPinRoutine(int32_t pinId, int32_t tag);
};

// A change routine of a module, newest edition.
class IGuiPinCallbackImpl {
public:
    virtual ~IGuiPinCallbackImpl() = default;
    virtual void invoke(int32_t tag) = 0;
};

// Calls `routine` on `module`; I is the module class the routine belongs to.
template <class I> class IGuiPinCallback final : public IGuiPinCallbackImpl {
public:
    using Routine = void (I::*)(int32_t);
    IGuiPinCallback(I* m, Routine r) : module(m), routine(r) {}
    void invoke(int32_t tag) override { (module->*routine)(tag); }

    I* module;
    Routine routine;
};

class MpGuiPinBase {
public:
    MpGuiPinBase() = default;
    MpGuiPinBase(const MpGuiPinBase&) = delete;
    MpGuiPinBase& operator=(const MpGuiPinBase&) = delete;
    virtual ~MpGuiPinBase();

    // Takes a value delivered by the host; answers true when the stored value changed.
    virtual bool setValueRaw(int32_t tag, int32_t size, const void* data) = 0;
    virtual int32_t getDatatype() const = 0;
    virtual int32_t getValueRawSize() const = 0;
    virtual const void* getValueRaw() const = 0;

    // Runs the change routine, if the pin has one.
#if PQ_EDITION_EARLIER
    virtual void notify(int32_t tag) = 0;
#else
    void notify(int32_t tag) {
        if (callback != nullptr) callback->invoke(tag);
    }
#endif

    int32_t getPinId() const {
        return pinId;
    }

protected:
    // Enters this pin in the owner's map (an id already there is not entered again).
    void enter(GuiPinOwner* o, int32_t id);
    // Sends the current value to the host through the owner.
    void sendToHost() const;

    int32_t pinId = -1;
    GuiPinOwner* owner = nullptr;
#if !PQ_EDITION_EARLIER
    IGuiPinCallbackImpl* callback = nullptr; // owned
#endif
};

#if PQ_EDITION_EARLIER
// Earlier edition: the routine is held in the pin, as a member routine of the owner part.
class MpGuiPinSimpleBase : public MpGuiPinBase {
public:
    using Routine = void (GuiPinOwner::*)(int32_t);

    virtual void attachRaw(GuiPinOwner* module, int32_t id, Routine r) {
        routineModule = module;
        routine = r;
        enter(module, id);
    }
    void notify(int32_t tag) override {
        if (routineModule != nullptr && routine != nullptr) (routineModule->*routine)(tag);
    }

protected:
    GuiPinOwner* routineModule = nullptr;
    Routine routine = nullptr;
};
using MpGuiPinEditionBase = MpGuiPinSimpleBase;
#else
using MpGuiPinEditionBase = MpGuiPinBase;
#endif

namespace pq::gui::detail {
template <typename T> struct PinTraits;
} // namespace pq::gui::detail

// A pin holding a value of type T: float, int32_t, bool, std::u16string or MpBlob.
template <typename T> class MpGuiPin : public MpGuiPinEditionBase {
    using Traits = pq::gui::detail::PinTraits<T>;

public:
    static constexpr int32_t kDatatype = Traits::datatype;

    // Makes this pin the module's pin `id`; `routine` (a member routine of the module or of
    // one of its bases, or none) runs on notifyPin.
    template <class M, class R = M>
    void attach(M* module, int32_t id, void (R::*routine)(int32_t) = nullptr) {
#if PQ_EDITION_EARLIER
        attachRaw(static_cast<GuiPinOwner*>(module), id, static_cast<Routine>(routine));
#else
        delete callback;
        callback = routine != nullptr ? new IGuiPinCallback<R>(static_cast<R*>(module), routine) : nullptr;
        enter(static_cast<GuiPinOwner*>(module), id);
#endif
    }
    // As above, numbered automatically (0, or the largest id in use plus one).
    template <class M, class R> void attach(M* module, void (R::*routine)(int32_t)) {
        attach(module, static_cast<GuiPinOwner*>(module)->nextPinId(), routine);
    }
    template <class M> void attach(M* module) {
        attach(module, static_cast<GuiPinOwner*>(module)->nextPinId());
    }

    bool setValueRaw(int32_t, int32_t size, const void* data) override {
        return Traits::takeRaw(value, size, data);
    }
    int32_t getDatatype() const override {
        return Traits::datatype;
    }
    int32_t getValueRawSize() const override {
        return Traits::rawSize(value);
    }
    const void* getValueRaw() const override {
        return Traits::rawData(value);
    }

    // The module's assignment: stores and sends only a value that differs.
    void setValue(const T& newValue) {
        if (!Traits::differs(value, newValue)) return;
        value = newValue;
        sendToHost();
    }
    MpGuiPin& operator=(const T& newValue) {
        setValue(newValue);
        return *this;
    }

    const T& getValue() const {
        return value;
    }
    operator const T&() const {
        return value;
    }

protected:
    T value = T();
};

// A text pin; values are 16-bit code units.
class StringGuiPin : public MpGuiPin<std::u16string> {
public:
    using MpGuiPin<std::u16string>::operator=;
    // The value as UTF-8 (pairs of surrogates joined, a lone surrogate as U+FFFD).
    std::string getValueUtf8() const;
};

namespace pq::gui {
// Converts 16-bit text to UTF-8, reading exactly `count` code units. One converter serves
// every text pin; it is made on first use.
class Utf8Converter {
public:
    std::string toUtf8(const char16_t* text, size_t count) const;
    std::u16string fromUtf8(const char* text, size_t count) const;
};
const Utf8Converter& utf8Converter();
} // namespace pq::gui

namespace pq::gui::detail {

template <typename T> struct ScalarTraits {
    static int32_t rawSize(const T&) { return 4; }
    static const void* rawData(const T& v) { return &v; }
    // Exactly 4 bytes are a value; a longer delivery gives its first 4 bytes; a shorter one
    // (or none) is ignored.
    static bool takeRaw(T& v, int32_t size, const void* data) {
        if (data == nullptr || size < 4) return false;
        if (std::memcmp(&v, data, 4) == 0) return false;
        std::memcpy(&v, data, 4);
        return true;
    }
};

template <> struct PinTraits<float> : ScalarTraits<float> {
    static constexpr int32_t datatype = kGuiPinFloat;
    static bool differs(float a, float b) { return pq::gui::differs(a, b); }
};

template <> struct PinTraits<int32_t> : ScalarTraits<int32_t> {
    static constexpr int32_t datatype = kGuiPinInt;
    static bool differs(int32_t a, int32_t b) { return a != b; }
};

template <> struct PinTraits<bool> {
    static constexpr int32_t datatype = kGuiPinBool;
    static int32_t rawSize(const bool&) { return 1; }
    static const void* rawData(const bool& v) { return &v; }
    static bool differs(bool a, bool b) { return a != b; }
    // One byte: unchanged when equal. Four bytes: an int32, non-zero is true (always a
    // change). Other sizes: the first byte. Nothing delivered: ignored.
    static bool takeRaw(bool& v, int32_t size, const void* data) {
        if (data == nullptr || size <= 0) return false;
        const auto* bytes = static_cast<const unsigned char*>(data);
        if (size == 1 && bytes[0] == static_cast<unsigned char>(v)) return false;
        if (size == 4) {
            int32_t i = 0;
            std::memcpy(&i, data, 4);
            v = i != 0;
        } else {
            v = bytes[0] != 0;
        }
        return true;
    }
};

template <> struct PinTraits<std::u16string> {
    static constexpr int32_t datatype = kGuiPinText;
    static int32_t rawSize(const std::u16string& v) { return static_cast<int32_t>(v.size() * 2); }
    static const void* rawData(const std::u16string& v) { return v.data(); }
    static bool differs(const std::u16string& a, const std::u16string& b) { return a != b; }
    // Unchanged only when the delivery has exactly the bytes of the stored text. Otherwise
    // the code units at `data`: an odd last byte is dropped, a negative size or missing data
    // is an empty text.
    static bool takeRaw(std::u16string& v, int32_t size, const void* data) {
        const bool sameBytes = data != nullptr && size >= 0 && static_cast<size_t>(size) == v.size() * 2 &&
                               (size == 0 || std::memcmp(v.data(), data, v.size() * 2) == 0);
        if (sameBytes) return false;
        const size_t units = (data == nullptr || size <= 0) ? 0 : static_cast<size_t>(size) / 2;
        v.resize(units);
        if (units != 0) std::memcpy(v.data(), data, units * 2);
        return true;
    }
};

template <> struct PinTraits<MpBlob> {
    static constexpr int32_t datatype = kGuiPinBlob;
    static int32_t rawSize(const MpBlob& v) { return static_cast<int32_t>(v.size()); }
    static const void* rawData(const MpBlob& v) { return v.data(); }
    static bool differs(const MpBlob& a, const MpBlob& b) { return a != b; }
    // A negative size or missing data is an empty blob.
    static bool takeRaw(MpBlob& v, int32_t size, const void* data) {
        const size_t count = (data == nullptr || size <= 0) ? 0 : static_cast<size_t>(size);
        if (count == v.size() && (count == 0 || std::memcmp(v.data(), data, count) == 0)) return false;
        v.assign(data, count);
        return true;
    }
};

} // namespace pq::gui::detail
