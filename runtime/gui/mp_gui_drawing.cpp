#include "runtime/gui/mp_gui_drawing.h"

#include <cmath>
#include <limits>

float srgbToLinearTable[256];

namespace {
// Fills the colour table before any module of the library exists.
const bool tableFilled = [] {
    srgbToLinearTable[0] = 0.0f;
    for (int i = 1; i < 256; ++i) {
        const double c = i * 0.00392156862745098;
        const double v = c > 0.0404482362771082 ? std::pow(c * 0.9478672985781991 + 0.05213270142180095, 2.4)
                                                : c * 0.07739938080495357;
        srgbToLinearTable[i] = static_cast<float>(v);
    }
    return true;
}();

bool isSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// Where the digits of a number start: after leading white space and an optional sign.
size_t skipSpaceAndSign(const char16_t* text, size_t count, bool& negative) {
    size_t i = 0;
    while (i < count && isSpace(text[i]))
        ++i;
    negative = false;
    if (i < count && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    return i;
}

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}
} // namespace

namespace gmpi_sdk {

int32_t MpString::queryInterface(const gmpi::Guid& iid, void** out) {
    const bool offered = pq::isOneOf(iid, {gmpi::MP_IID_RETURNSTRING, gmpi::MP_IID_UNKNOWN});
    return pq::answerQuery(out, offered ? static_cast<gmpi::IString*>(this) : nullptr);
}

int32_t MpString::setData(const char* bytes, int32_t size) {
    if (size > 0 && bytes != nullptr)
        text.assign(bytes, static_cast<size_t>(size));
    else
        text.clear();
    return gmpi::kMpOk;
}

} // namespace gmpi_sdk

gmpi_gui_api::Color colorFromArgbText(const std::u16string& text) {
    (void)tableFilled;
    const uint32_t argb = pq::gui::readHex32(text);
    return {srgbToLinearTable[(argb >> 16) & 0xFF], srgbToLinearTable[(argb >> 8) & 0xFF],
            srgbToLinearTable[argb & 0xFF], static_cast<float>(argb >> 24) * 0.003921569f};
}

gmpi_gui_api::Color colorFromAbgr(uint32_t abgr) {
    (void)tableFilled;
    return {srgbToLinearTable[abgr & 0xFF], srgbToLinearTable[(abgr >> 8) & 0xFF],
            srgbToLinearTable[(abgr >> 16) & 0xFF], static_cast<float>(abgr >> 24) * 0.003921569f};
}

namespace pq::gui {

uint32_t readHex32(const char16_t* text, size_t count) {
    if (text == nullptr) return 0;
    bool negative = false;
    size_t i = skipSpaceAndSign(text, count, negative);
    // "0x" counts as a prefix only before a digit; otherwise the 0 is read and x stops it.
    if (i + 2 < count && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X') &&
        hexDigit(text[i + 2]) >= 0)
        i += 2;
    uint64_t value = 0;
    bool overflow = false;
    for (; i < count && hexDigit(text[i]) >= 0; ++i) {
        value = value * 16 + static_cast<uint64_t>(hexDigit(text[i]));
        if (value > 0xFFFFFFFFull) {
            overflow = true;
            value = 0xFFFFFFFFull;
        }
    }
    if (overflow) return 0xFFFFFFFFu;
    const auto v = static_cast<uint32_t>(value);
    return negative ? static_cast<uint32_t>(0u - v) : v;
}

int32_t readDecimal32(const char16_t* text, size_t count) {
    if (text == nullptr) return 0;
    bool negative = false;
    size_t i = skipSpaceAndSign(text, count, negative);
    int64_t value = 0;
    for (; i < count && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > int64_t(1) << 32) value = int64_t(1) << 32; // far past either end; keep it bounded
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

int32_t truncToInt32(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

gmpi_gui_api::IMpDrawingContext* drawingContext(gmpi::IMpUnknown* renderArgument) {
    if (renderArgument == nullptr) return nullptr;
    void* found = nullptr;
    renderArgument->queryInterface(gmpi_gui_api::MP_IID_DRAWING_CONTEXT, &found);
    return static_cast<gmpi_gui_api::IMpDrawingContext*>(found);
}

gmpi_gui_api::IMpPathGeometry* createPathGeometry(gmpi_gui_api::IMpDrawingContext* context) {
    if (context == nullptr) return nullptr;
    gmpi_gui_api::IMpDrawingFactory* factory = nullptr;
    context->getFactory(&factory);
    if (factory == nullptr) return nullptr;
    gmpi_gui_api::IMpPathGeometry* geometry = nullptr;
    factory->createPathGeometry(&geometry);
    factory->release();
    return geometry;
}

gmpi_gui_api::IMpGeometrySink* openSink(gmpi_gui_api::IMpPathGeometry* geometry) {
    if (geometry == nullptr) return nullptr;
    gmpi_gui_api::IMpGeometrySink* sink = nullptr;
    geometry->openSink(&sink);
    return sink;
}

gmpi_gui_api::IMpSolidColorBrush* createSolidColorBrush(gmpi_gui_api::IMpDrawingContext* context,
                                                        const gmpi_gui_api::Color& color) {
    if (context == nullptr) return nullptr;
    gmpi_gui_api::IMpSolidColorBrush* brush = nullptr;
    context->createSolidColorBrush(&color, &brush);
    return brush;
}

gmpi_gui_api::IMpLinearGradientBrush* createLinearGradientBrush(gmpi_gui_api::IMpDrawingContext* context,
                                                                gmpi_gui_api::Point start,
                                                                gmpi_gui_api::Point end,
                                                                const gmpi_gui_api::GradientStop& stop1,
                                                                const gmpi_gui_api::GradientStop& stop2) {
    if (context == nullptr) return nullptr;
    const gmpi_gui_api::GradientStop stops[2] = {stop1, stop2};
    gmpi_gui_api::IMpGradientStopCollection* collection = nullptr;
    context->createGradientStopCollection(stops, 2, &collection);
    if (collection == nullptr) return nullptr;
    const gmpi_gui_api::LinearGradientBrushProperties line = {start, end};
    const gmpi_gui_api::BrushProperties props = {1.0f, {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}};
    gmpi_gui_api::IMpLinearGradientBrush* brush = nullptr;
    context->createLinearGradientBrush(&line, &props, collection, &brush);
    collection->release();
    return brush;
}

} // namespace pq::gui
