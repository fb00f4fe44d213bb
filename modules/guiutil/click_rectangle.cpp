#include "modules/guiutil/click_rectangle.h"

#include <algorithm>

#include "runtime/gui/mp_gui_drawing.h"

using namespace gmpi_gui_api;

pq_ClickRectangleGui::pq_ClickRectangleGui() {
    constexpr auto redrawn = [](auto& pin) { return pq::notifying(pin, &pq_ClickRectangleGui::redraw); };
    pq::attachPins<kPins>(this, redrawn(cornerRadius), redrawn(arcTopLeft), redrawn(arcTopRight),
                          redrawn(arcBottomLeft), redrawn(arcBottomRight), redrawn(topColour),
                          redrawn(gradientColour), pressed);
}

int32_t pq_ClickRectangleGui::render(gmpi::IMpUnknown* drawingContext) {
    IMpDrawingContext* context = pq::gui::drawingContext(drawingContext);
    if (context == nullptr) return gmpi::kMpOk;

    const int32_t width = pq::gui::truncToInt32(bounds.right - bounds.left);
    const int32_t height = pq::gui::truncToInt32(bounds.bottom - bounds.top);
    const Color top = colorFromArgbText(topColour.getValue());
    const Color bottom =
        gradientColour.getValue().empty() ? top : colorFromArgbText(gradientColour.getValue());
    const int32_t r = std::min({pq::gui::truncToInt32(cornerRadius.getValue()), width / 2, height / 2});

    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    const float rf = static_cast<float>(r);

    IMpPathGeometry* geometry = pq::gui::createPathGeometry(context);
    IMpGeometrySink* sink = pq::gui::openSink(geometry);
    if (sink != nullptr) {
        const auto arcTo = [&](Point end) {
            const ArcSegment arc = {end, {rf, rf}, 1.5707964f, 1, 0};
            sink->addArc(&arc);
        };
        if (arcTopLeft.getValue()) {
            sink->beginFigure({0.0f, rf}, 0);
            arcTo({rf, 0.0f});
        } else {
            sink->beginFigure({0.0f, 0.0f}, 0);
        }
        if (arcTopRight.getValue()) {
            sink->addLine({w - rf, 0.0f});
            arcTo({w, rf});
        } else {
            sink->addLine({w, 0.0f});
        }
        if (arcBottomRight.getValue()) {
            sink->addLine({w, h - rf});
            arcTo({w - rf, h});
        } else {
            sink->addLine({w, h});
        }
        if (arcBottomLeft.getValue()) {
            sink->addLine({rf, h});
            arcTo({0.0f, h - rf});
        } else {
            sink->addLine({0.0f, h});
        }
        sink->endFigure(1);
        sink->closeSink();
    }

    // The second stop lies ten heights away: the bottom edge shows the top colour moved one
    // tenth of the way towards the gradient colour.
    IMpLinearGradientBrush* brush =
        pq::gui::createLinearGradientBrush(context, {1.0f, 0.0f}, {1.0f, h}, {0.0f, top}, {10.0f, bottom});
    if (geometry != nullptr && brush != nullptr) context->fillGeometry(geometry, brush, nullptr);

    pq::gui::releaseAndClear(brush);
    pq::gui::releaseAndClear(sink);
    pq::gui::releaseAndClear(geometry);
    context->release();
    return gmpi::kMpOk;
}

int32_t pq_ClickRectangleGui::onPointerDown(int32_t, Point) {
    if (graphicsHost != nullptr) graphicsHost->setCapture();
    if (!pressed.getValue()) pressed.setValue(true);
    return gmpi::kMpOk;
}

int32_t pq_ClickRectangleGui::onPointerUp(int32_t, Point) {
    int32_t captured = 0;
    if (graphicsHost != nullptr) graphicsHost->getCapture(&captured);
    if (captured == 0) return gmpi::kMpFail;
    graphicsHost->releaseCapture();
    if (pressed.getValue()) pressed.setValue(false);
    return gmpi::kMpOk;
}
