#include "modules/guiutil/text_rectangle.h"

#include <string>

#include "runtime/gui/device_context.h"
#include "runtime/gui/mp_gui_drawing.h"

using namespace gmpi_gui_api;

pq_TextRectangle::pq_TextRectangle() {
    constexpr auto redrawn = [](auto& pin) { return pq::notifying(pin, &pq_TextRectangle::redraw); };
    pq::attachPins<kPins>(this, redrawn(text), redrawn(style), redrawn(greyed), redrawn(cornerRadius),
                          redrawn(arcTopLeft), redrawn(arcTopRight), redrawn(arcBottomLeft),
                          redrawn(arcBottomRight), redrawn(topColour), redrawn(gradientColour), pressed);
}

pq::guiutil::RoundedCorners pq_TextRectangle::corners() const {
    return {arcTopLeft.getValue(), arcTopRight.getValue(), arcBottomLeft.getValue(),
            arcBottomRight.getValue()};
}

#if PQ_EDITION_EARLIER

int32_t pq_TextRectangle::paint(int32_t dc) {
    const pq::gui::DeviceContext device(dc);
    const int32_t width = faceWidth();
    const int32_t height = faceHeight();

    const auto steps = pq::guiutil::roundedPathSteps(width, height, cornerRadius.getValue(), corners());
    const PqLineBrush brush =
        pq::guiutil::roundedGradientBrush(height, topColour.getValue(), gradientColour.getValue());
    device.fillPath(steps.data(), static_cast<int32_t>(steps.size()), brush, true);

    const std::u16string& words = text.getValue();
    if (words.empty() || host == nullptr) return gmpi::kMpOk;
    gmpi::FontInfo info{};
    void* font = nullptr;
    const std::u16string styleName = style.getValue(); // the host reads up to the terminator
    if (host->getFontInfo(styleName.c_str(), &info, &font) != 0) return gmpi::kMpOk;

    const uint32_t colour = greyed.getValue() ? 0x808080u : (info.colour & 0xFFFFFFu);
    uint32_t format = pq::gui::kTextSingleLine | pq::gui::kTextVerticalCentre;
    if ((info.flags & kTextStyleCentred) != 0)
        format |= pq::gui::kTextCentre;
    else if ((info.flags & kTextStyleRight) != 0)
        format |= pq::gui::kTextRight;
    const int32_t rect[4] = {0, 0, width, height};
    device.drawText(font, words.data(), static_cast<int32_t>(words.size()), rect, format, colour);
    return gmpi::kMpOk;
}

int32_t pq_TextRectangle::onMouseDown(int32_t, int32_t, int32_t) {
    pressed.setValue(true);
    return gmpi::kMpOk;
}

int32_t pq_TextRectangle::onMouseUp(int32_t, int32_t, int32_t) {
    if (!isCaptured()) pressed.setValue(false);
    return gmpi::kMpOk;
}

#else

int32_t pq_TextRectangle::render(gmpi::IMpUnknown* drawingContext) {
    IMpDrawingContext* context = pq::gui::drawingContext(drawingContext);
    if (context == nullptr) return gmpi::kMpOk;
    // The second stop at 1.0: the bottom edge shows the gradient colour exactly.
    pq::guiutil::fillRoundedGradient(context, bounds, cornerRadius.getValue(), corners(),
                                     topColour.getValue(), gradientColour.getValue(), 1.0f);

    const StyledTextFormat styled = getTextFormat(style.getValueUtf8());
    IMpSolidColorBrush* brush =
        pq::gui::createSolidColorBrush(context, colorFromAbgr(styled.style->backgroundColor));
    const float grey = srgbToLinearTable[128];
    const Color textColour =
        greyed.getValue() ? Color{grey, grey, grey, 1.0f} : colorFromAbgr(styled.style->fontColor);
    if (brush != nullptr) brush->setColor(&textColour);
    if (styled.textFormat != nullptr) styled.textFormat->setTextAlignment(2);

    if (!text.getValue().empty()) {
        const std::string words = text.getValueUtf8();
        const Rect layout = {bounds.left + 3.0f, bounds.top + 3.0f, bounds.right - 3.0f,
                             bounds.bottom - 3.0f};
        context->drawText(words.data(), static_cast<int32_t>(words.size()), styled.textFormat, &layout, brush,
                          2);
    }

    IMpTextFormat* format = styled.textFormat;
    pq::gui::releaseAndClear(format);
    pq::gui::releaseAndClear(brush);
    context->release();
    return gmpi::kMpOk;
}

int32_t pq_TextRectangle::onPointerDown(int32_t, Point) {
    return pq::guiutil::pressButton(graphicsHost, pressed);
}

int32_t pq_TextRectangle::onPointerUp(int32_t, Point) {
    return pq::guiutil::releaseButton(graphicsHost, pressed);
}

#endif
