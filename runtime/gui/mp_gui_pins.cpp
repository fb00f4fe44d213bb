#include "runtime/gui/mp_gui_pins.h"

#include "runtime/audio/mp_abi.h"
#include "runtime/gui/utf8.h"

int32_t GuiPinOwner::deliverPinValue(int32_t pinId, int32_t tag, int32_t size, const void* data) {
    const auto it = pins.find(pinId);
    if (it == pins.end()) return gmpi::kMpFail;
    it->second->setValueRaw(tag, size, data);
    return gmpi::kMpOk;
}

int32_t GuiPinOwner::runPinRoutine(int32_t pinId, int32_t tag) {
    const auto it = pins.find(pinId);
    if (it == pins.end()) return gmpi::kMpFail;
    it->second->notify(tag);
    return gmpi::kMpOk;
}

MpGuiPinBase::~MpGuiPinBase() {
#if !PQ_EDITION_EARLIER
    delete callback;
#endif
}

void MpGuiPinBase::enter(GuiPinOwner* o, int32_t id) {
    pinId = id;
    owner = o;
    if (o != nullptr) o->pins.emplace(id, this);
}

void MpGuiPinBase::sendToHost() const {
    if (owner != nullptr) owner->setPin(pinId, getValueRawSize(), getValueRaw(), 0);
}

std::string StringGuiPin::getValueUtf8() const {
    return pq::gui::utf8Converter().toUtf8(value.data(), value.size());
}

namespace pq::gui {

std::string Utf8Converter::toUtf8(const char16_t* text, size_t count) const {
    return utf16ToUtf8(text, count);
}

std::u16string Utf8Converter::fromUtf8(const char* text, size_t count) const {
    return utf8ToUtf16(text, count);
}

const Utf8Converter& utf8Converter() {
    static const Utf8Converter converter;
    return converter;
}

} // namespace pq::gui
