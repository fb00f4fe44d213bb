// Helpers shared by the faces: the text object handed to the host, colour conversion, the
// number reading of colour and list texts, and thin wrappers over the host's drawing
// interfaces. [GUI thread]
#pragma once

#include <cstdint>
#include <string>

#include "runtime/gui/mp_gui_interfaces.h"

namespace gmpi_sdk {

// A text handed to the host (for example as the result of findResourceUri). A plain member
// or local object: addRef and release answer 1 and change nothing.
class MpString final : public gmpi::IString {
public:
    // Answers IString and IMpUnknown with the object itself; it is not counted.
    int32_t queryInterface(const gmpi::Guid& iid, void** out) override;
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }
    // size > 0: the text becomes those bytes; otherwise it becomes empty.
    int32_t setData(const char* bytes, int32_t size) override;
    int32_t getSize() override { return static_cast<int32_t>(text.size()); }
    const char* getData() override { return text.data(); }

    const std::string& str() const { return text; }

private:
    std::string text;
};

} // namespace gmpi_sdk

// sRGB 8-bit component to linear light, filled while the library initialises.
extern float srgbToLinearTable[256];

// An 0xAARRGGBB hexadecimal text as a linear-light colour (alpha not converted).
gmpi_gui_api::Color colorFromArgbText(const std::u16string& text);

// A style colour 0xAABBGGRR (red in the lowest byte) as a linear-light colour (alpha not
// converted).
gmpi_gui_api::Color colorFromAbgr(uint32_t abgr);

namespace pq::gui {

// Reads a hexadecimal number as a 32-bit unsigned long does: leading white space, an
// optional sign (a minus negates in 32 bits), an optional 0x prefix; stops at the first
// non-digit; no digits give 0; values beyond 32 bits give 0xFFFFFFFF. Never reads past
// `text + count`.
uint32_t readHex32(const char16_t* text, size_t count);
inline uint32_t readHex32(const std::u16string& text) {
    return readHex32(text.data(), text.size());
}

// Reads a decimal number as a 32-bit long does: leading white space and a sign accepted,
// no digits give 0, values beyond the int32 range give its nearest end. Never reads past
// `text + count`.
int32_t readDecimal32(const char16_t* text, size_t count);

// Float to int32, truncating towards zero; NaN gives 0 and values beyond the range its
// nearest end.
int32_t truncToInt32(float value);

// Drawing wrappers: each answers the new object (one reference, owned by the caller) or null.
gmpi_gui_api::IMpPathGeometry* createPathGeometry(gmpi_gui_api::IMpDrawingContext* context);
gmpi_gui_api::IMpGeometrySink* openSink(gmpi_gui_api::IMpPathGeometry* geometry);
gmpi_gui_api::IMpSolidColorBrush* createSolidColorBrush(gmpi_gui_api::IMpDrawingContext* context,
                                                        const gmpi_gui_api::Color& color);
// A two-stop linear gradient brush, opacity 1.0 and the identity transform.
gmpi_gui_api::IMpLinearGradientBrush* createLinearGradientBrush(gmpi_gui_api::IMpDrawingContext* context,
                                                                gmpi_gui_api::Point start,
                                                                gmpi_gui_api::Point end,
                                                                const gmpi_gui_api::GradientStop& stop1,
                                                                const gmpi_gui_api::GradientStop& stop2);
// The drawing context behind a render argument, or null.
gmpi_gui_api::IMpDrawingContext* drawingContext(gmpi::IMpUnknown* renderArgument);

// Releases an interface pointer and nulls it.
template <class T> void releaseAndClear(T*& object) {
    if (object != nullptr) object->release();
    object = nullptr;
}

} // namespace pq::gui
