#include "modules/guiutil/rounded_rectangle.h"

#include <algorithm>

#include "runtime/gui/mp_gui_drawing.h"

using namespace gmpi_gui_api;

namespace pq::guiutil {

void fillRoundedGradient(IMpDrawingContext* context, const Rect& bounds, float cornerRadius,
                         RoundedCorners corners, const std::u16string& topColour,
                         const std::u16string& gradientColour, float secondStop) {
    const int32_t width = pq::gui::truncToInt32(bounds.right - bounds.left);
    const int32_t height = pq::gui::truncToInt32(bounds.bottom - bounds.top);
    const Color top = colorFromArgbText(topColour);
    const Color bottom = gradientColour.empty() ? top : colorFromArgbText(gradientColour);
    const int32_t r = std::min({pq::gui::truncToInt32(cornerRadius), width / 2, height / 2});

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
        if (corners.topLeft) {
            sink->beginFigure({0.0f, rf}, 0);
            arcTo({rf, 0.0f});
        } else {
            sink->beginFigure({0.0f, 0.0f}, 0);
        }
        if (corners.topRight) {
            sink->addLine({w - rf, 0.0f});
            arcTo({w, rf});
        } else {
            sink->addLine({w, 0.0f});
        }
        if (corners.bottomRight) {
            sink->addLine({w, h - rf});
            arcTo({w - rf, h});
        } else {
            sink->addLine({w, h});
        }
        if (corners.bottomLeft) {
            sink->addLine({rf, h});
            arcTo({0.0f, h - rf});
        } else {
            sink->addLine({0.0f, h});
        }
        sink->endFigure(1);
        sink->closeSink();
    }

    IMpLinearGradientBrush* brush = pq::gui::createLinearGradientBrush(context, {1.0f, 0.0f}, {1.0f, h},
                                                                       {0.0f, top}, {secondStop, bottom});
    if (geometry != nullptr && brush != nullptr) context->fillGeometry(geometry, brush, nullptr);

    pq::gui::releaseAndClear(brush);
    pq::gui::releaseAndClear(sink);
    pq::gui::releaseAndClear(geometry);
}

std::array<PqPathStep, 4> roundedPathSteps(int32_t width, int32_t height, float cornerRadius,
                                           RoundedCorners corners) {
    // A negative or NaN radius is no rounding; the diameter never exceeds either side.
    const int32_t twice = pq::gui::truncToInt32(cornerRadius * 2.0f);
    const int32_t d = std::clamp(twice, 0, std::max(0, std::min(width, height)));
    const auto f = [](int32_t v) { return static_cast<float>(v); };
    const float right = f(width - 1), bottom = f(height - 1);
    const float df = f(d);
    const auto corner = [&](bool rounded, float boxX, float boxY, float startAngle, float x, float y) {
        if (rounded) return PqPathStep{pq::gui::kPathArc, {boxX, boxY, df, df, startAngle, 90.0f}};
        return PqPathStep{pq::gui::kPathLine, {x, y, x, y, 0.0f, 0.0f}};
    };
    return {
        corner(corners.topLeft, 0.0f, 0.0f, 180.0f, 0.0f, 0.0f),
        corner(corners.topRight, f(width - d - 1), 0.0f, 270.0f, right, 0.0f),
        corner(corners.bottomRight, f(width - d - 1), f(height - d - 1), 0.0f, right, bottom),
        corner(corners.bottomLeft, 0.0f, f(height - d - 1), 90.0f, 0.0f, bottom),
    };
}

PqLineBrush roundedGradientBrush(int32_t height, const std::u16string& topColour,
                                 const std::u16string& gradientColour) {
    const uint32_t top = pq::gui::readHex32(topColour);
    const uint32_t bottom = gradientColour.empty() ? top : pq::gui::readHex32(gradientColour);
    return {1.0f, 0.0f, 1.0f, static_cast<float>(height), top, bottom, 0};
}

int32_t pressButton(IMpGraphicsHost* host, MpGuiPin<bool>& pressed) {
    if (host != nullptr) host->setCapture();
    pressed.setValue(true);
    return gmpi::kMpOk;
}

int32_t releaseButton(IMpGraphicsHost* host, MpGuiPin<bool>& pressed) {
    int32_t captured = 0;
    if (host != nullptr) host->getCapture(&captured);
    if (captured == 0) return gmpi::kMpFail;
    host->releaseCapture();
    pressed.setValue(false);
    return gmpi::kMpOk;
}

} // namespace pq::guiutil
