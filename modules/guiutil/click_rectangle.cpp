#include "modules/guiutil/click_rectangle.h"

#include "modules/guiutil/rounded_rectangle.h"
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
    // The second stop lies ten heights away: the bottom edge shows the top colour moved one
    // tenth of the way towards the gradient colour.
    pq::guiutil::fillRoundedGradient(
        context, bounds, cornerRadius.getValue(),
        {arcTopLeft.getValue(), arcTopRight.getValue(), arcBottomLeft.getValue(), arcBottomRight.getValue()},
        topColour.getValue(), gradientColour.getValue(), 10.0f);
    context->release();
    return gmpi::kMpOk;
}

int32_t pq_ClickRectangleGui::onPointerDown(int32_t, Point) {
    return pq::guiutil::pressButton(graphicsHost, pressed);
}

int32_t pq_ClickRectangleGui::onPointerUp(int32_t, Point) {
    return pq::guiutil::releaseButton(graphicsHost, pressed);
}
