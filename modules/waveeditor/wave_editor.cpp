#include "modules/waveeditor/wave_editor.h"

#include <algorithm>
#include <cmath>

#include "modules/waveeditor/earlier_commands.h"
#include "runtime/gui/device_context.h"
#include "runtime/gui/mp_gui_drawing.h"

using namespace gmpi_gui_api;
using namespace pq::waveeditor;

namespace {

std::u16string toText(std::string_view utf8) {
    return pq::gui::utf8Converter().fromUtf8(utf8.data(), utf8.size());
}

// A pointer's x as a sample index; NaN lies outside every wave.
[[maybe_unused]] int32_t sampleIndexAt(float x) {
    return std::isnan(x) ? -1 : pq::gui::truncToInt32(x);
}

bool shiftHeld(int32_t flags) {
    return (flags & gmpi_gui_api::kPointerFlagShift) != 0;
}

} // namespace

#if !PQ_EDITION_EARLIER

// N and A have no routine: the commands read them when they run. Generate and Generator List
// share the generator command, Modify and Modifier List the modifier command.
waveEditor::waveEditor() : model_(*this) {
    using pq::notifying;
    using E = waveEditor;
    pq::attachPins<kPins>(this, notifying(waveLength, &E::onWaveLength),
                          notifying(waveSelect, &E::onWaveSelect), notifying(waveNames, &E::onWaveNames),
                          waveName, notifying(wave1, &E::onWave1), notifying(wave2, &E::onWave2),
                          notifying(wave3, &E::onWave3), notifying(wave4, &E::onWave4), wave1Inactive,
                          wave2Inactive, wave3Inactive, wave4Inactive, notifying(copyPin, &E::onCopy),
                          notifying(pastePin, &E::onPaste), notifying(generate, &E::onGenerate),
                          notifying(generatorList, &E::onGenerate), notifying(modify, &E::onModify),
                          notifying(modifierList, &E::onModify), n, a, notifying(lineColour, &E::redraw));
}

int32_t waveEditor::initialize() {
    generatorList.setValue(toText(kGeneratorMenu));
    modifierList.setValue(toText(kModifierMenu));
    return gmpi::kMpOk;
}

#endif

// ---- pins ------------------------------------------------------------------------------

MpGuiPin<MpBlob>& waveEditor::wavePin(int32_t k) {
    MpGuiPin<MpBlob>* pins[kWaveCount] = {&wave1, &wave2, &wave3, &wave4};
    return *pins[std::clamp(k, 0, kWaveCount - 1)];
}

const MpGuiPin<MpBlob>& waveEditor::wavePin(int32_t k) const {
    return const_cast<waveEditor*>(this)->wavePin(k);
}

std::span<const uint8_t> waveEditor::wavePinBytes(int32_t pin) const {
    const MpBlob& blob = wavePin(pin).getValue();
    return {reinterpret_cast<const uint8_t*>(blob.data()), blob.size()};
}

void waveEditor::setWavePin(int32_t pin, std::span<const uint8_t> bytes) {
    wavePin(pin).setValue(MpBlob(bytes.data(), bytes.size()));
}

void waveEditor::onWaveLength(int32_t) {
    model_.applyLength(waveLength.getValue());
    invalidateFace();
}

#if !PQ_EDITION_EARLIER
void waveEditor::onWaveSelect(int32_t) {
    const int32_t s = waveSelect.getValue();
    model_.setSelect(s);
    if (s >= 0 && s < kWaveCount) {
        MpGuiPin<bool>* inactive[kWaveCount] = {&wave1Inactive, &wave2Inactive, &wave3Inactive,
                                                &wave4Inactive};
        for (int32_t k = 0; k < kWaveCount; ++k)
            inactive[k]->setValue(k != s);
    }
    invalidateFace();
}

void waveEditor::onWaveNames(int32_t) {
    waveName.setValue(toText(waveNameFor(waveNames.getValueUtf8(), waveSelect.getValue())));
}

void waveEditor::takeWave(int32_t k) {
    const MpBlob& blob = wavePin(k).getValue();
    model_.takeBlob(k, blob.data(), static_cast<int32_t>(blob.size()));
    invalidateFace();
}

#endif

void waveEditor::onCopy(int32_t) {
    model_.copy();
}

void waveEditor::onPaste(int32_t) {
    model_.paste(pastePin.getValue());
}

#if !PQ_EDITION_EARLIER
void waveEditor::onGenerate(int32_t) {
    model_.runGenerator(generate.getValue(), n.getValue(), a.getValue());
}

void waveEditor::onModify(int32_t) {
    model_.runModifier(modify.getValue(), n.getValue(), a.getValue());
}

#endif

// ---- strokes ---------------------------------------------------------------------------

float waveEditor::strokeValue(float y) const {
    return 0.5f - y * (1.0f / static_cast<float>(viewHeight_ - 1));
}

bool waveEditor::strokeTo(int32_t i, float y, bool shift) {
    Wave& w = model_.selectedWave();
    if (viewHeight_ <= 1 || std::isnan(y) || i < 0 || static_cast<size_t>(i) >= w.size()) return false;
    const float row = std::trunc(y);
    float value = strokeValue(y);
    if (row < 0.0f) value = 0.5f;
    if (row > static_cast<float>(viewHeight_ - 1)) value = -0.5f;
    w[static_cast<size_t>(i)] = value;
    if (shift) {
        lineEndIndex_ = i;
        lineEndValue_ = value;
    }
    return true;
}

void waveEditor::finishStroke(bool shift) {
    if (!shift) return;
    // The straight line from the press to the last Shift-held point, limited to the wave's
    // samples; the end point keeps its own value.
    Wave& w = model_.selectedWave();
    const int64_t a = lineStartIndex_, b = lineEndIndex_;
    const float va = lineStartValue_, vb = lineEndValue_;
    if (a != b && !w.empty()) {
        const int64_t first = std::max<int64_t>(std::min(a, b), 0);
        const int64_t last = std::min<int64_t>(std::max(a, b) - 1, int64_t(w.size()) - 1);
        for (int64_t i = first; i <= last; ++i) {
            float v = static_cast<float>(i - a) * (vb - va) / static_cast<float>(b - a) + va;
            // Ends far apart overflow in single precision; every point of the line lies
            // between them, which double precision reaches.
            if (!std::isfinite(v))
                v = static_cast<float>(double(i - a) * (double(vb) - double(va)) / double(b - a) +
                                       double(va));
            w[static_cast<size_t>(i)] = v;
        }
    }
    model_.sendWave(w);
}

#if !PQ_EDITION_EARLIER

// ---- face ------------------------------------------------------------------------------

int32_t waveEditor::faceHeight() const {
    return pq::gui::truncToInt32(bounds.bottom - bounds.top);
}

int32_t waveEditor::render(gmpi::IMpUnknown* drawingContext) {
    IMpDrawingContext* context = pq::gui::drawingContext(drawingContext);
    if (context == nullptr) return gmpi::kMpOk;
    viewHeight_ = faceHeight();
    const int32_t h = viewHeight_;
    const Wave& w = model_.selectedWave();
    // A face of one row or less has no room for a wave; an empty wave has nothing to draw.
    if (h <= 1 || w.empty()) {
        context->release();
        return gmpi::kMpOk;
    }

    const Rect clip = bounds;
    context->pushAxisAlignedClip(&clip);
    const uint32_t rgb = pq::gui::readHex32(lineColour.getValue()) & 0xFFFFFFu;
    const Color colour = {srgbToLinearTable[(rgb >> 16) & 0xFF], srgbToLinearTable[(rgb >> 8) & 0xFF],
                          srgbToLinearTable[rgb & 0xFF], 1.0f};
    IMpSolidColorBrush* brush = pq::gui::createSolidColorBrush(context, colour);

    const double height = h;
    // Rows run from +0.5 at the top to -0.5 at the bottom; beyond them a sample sits on the
    // edge row. A sample that is not a number is drawn on the middle row.
    const auto rowOf = [&](float v) {
        if (v >= 0.5f) return 0.0;
        if (v <= -0.5f) return height - 1.0;
        const double value = std::isnan(v) ? 0.0 : double(v);
        return std::trunc(height - (value + 0.5) * (height - 1.0));
    };
    // The first line stands at x = 0 from the first sample's unclamped row; only its part
    // inside the face shows, so the row is held within reach of it.
    double previous =
        std::isfinite(w[0]) ? std::trunc(height - (double(w[0]) + 0.5) * (height - 1.0)) : rowOf(w[0]);
    previous = std::clamp(previous, -height, 2.0 * height);
    if (brush != nullptr) {
        for (size_t i = 0; i < w.size(); ++i) {
            const double y = rowOf(w[i]);
            const float x0 = static_cast<float>(i == 0 ? 0 : i - 1);
            context->drawLine({x0, static_cast<float>(previous)},
                              {static_cast<float>(i), static_cast<float>(y)}, brush, 1.0f, nullptr);
            previous = y;
        }
    }
    context->popAxisAlignedClip();
    pq::gui::releaseAndClear(brush);
    context->release();
    return gmpi::kMpOk;
}

int32_t waveEditor::onPointerDown(int32_t, Point point) {
    model_.keepUndo();
    viewHeight_ = faceHeight();
    if (graphicsHost != nullptr) graphicsHost->setCapture();
    const int32_t i = sampleIndexAt(point.x);
    pointerIndex_ = i;
    gapIndex_ = i;
    Wave& w = model_.selectedWave();
    const bool inside = i >= 0 && static_cast<size_t>(i) < w.size();
    // A face of one row or less maps no row to a value: such a press sets nothing.
    float value = inside ? w[static_cast<size_t>(i)] : 0.0f;
    if (viewHeight_ > 1) {
        const float candidate = strokeValue(point.y);
        if (std::isfinite(candidate)) {
            value = candidate;
            if (inside) {
                w[static_cast<size_t>(i)] = value;
                model_.sendWave(w);
            }
        }
    }
    lineStartIndex_ = i;
    lineEndIndex_ = i;
    lineStartValue_ = value;
    lineEndValue_ = value;
    return gmpi::kMpOk;
}

int32_t waveEditor::onPointerMove(int32_t flags, Point point) {
    previousPointerIndex_ = pointerIndex_;
    viewHeight_ = faceHeight();
    int32_t captured = 0;
    if (graphicsHost != nullptr) graphicsHost->getCapture(&captured);
    if (captured == 0) return gmpi::kMpOk;

    const int32_t i = sampleIndexAt(point.x);
    pointerIndex_ = i;
    Wave& w = model_.selectedWave();
    if (viewHeight_ > 1 && !std::isnan(point.y)) {
        const float scale = 1.0f / static_cast<float>(viewHeight_ - 1);
        bool changed = strokeTo(i, point.y, shiftHeld(flags));
        // A fast move to the right skips samples: the one after the pointer of two events ago
        // takes the present value. It goes out with this event's send: the host's report of
        // a send that lacked it would otherwise overwrite it before any later send.
        const int64_t gapTarget = int64_t(gapIndex_) + 1;
        const float gapValue = 0.5f - point.y * scale;
        if (int64_t(previousPointerIndex_) - int64_t(gapIndex_) > 1 && gapTarget > 0 &&
            gapTarget < model_.lastIndex() && static_cast<size_t>(gapTarget) < w.size() &&
            std::isfinite(gapValue)) {
            w[static_cast<size_t>(gapTarget)] = gapValue;
            changed = true;
        }
        if (changed) model_.sendWave(w);
    }
    gapIndex_ = previousPointerIndex_;
    invalidateFace();
    return gmpi::kMpOk;
}

int32_t waveEditor::onPointerUp(int32_t flags, Point) {
    int32_t captured = 0;
    if (graphicsHost != nullptr) graphicsHost->getCapture(&captured);
    if (captured == 0) return gmpi::kMpOk;
    graphicsHost->releaseCapture();
    finishStroke(shiftHeld(flags));
    invalidateFace();
    return gmpi::kMpOk;
}

#endif

#if PQ_EDITION_EARLIER

// ---- the single-module editor ----------------------------------------------------------

// Every pin from Wave Select to the Inactive pins synchronises; Generate and Generator List
// run the generator, Modify, Modifier List, N and A the modifier (so that a new N or A
// applies the selected modifier again).
waveEditor::waveEditor() : model_(*this) {
    using pq::notifying;
    using E = waveEditor;
    const auto sync = [](auto& pin) { return notifying(pin, &E::synchronise); };
    pq::attachPins<kPins>(this, notifying(waveLength, &E::onWaveLength), sync(waveSelect), sync(waveNames),
                          sync(waveName), sync(wave1), sync(wave2), sync(wave3), sync(wave4),
                          sync(wave1Inactive), sync(wave2Inactive), sync(wave3Inactive), sync(wave4Inactive),
                          notifying(copyPin, &E::onCopy), notifying(pastePin, &E::onPaste),
                          notifying(generate, &E::onGenerate), notifying(generatorList, &E::onGenerate),
                          notifying(modify, &E::onModify), notifying(modifierList, &E::onModify),
                          notifying(n, &E::onModify), notifying(a, &E::onModify),
                          notifying(lineColour, &E::redraw));
}

int32_t waveEditor::initialize() {
    generatorList.setValue(toText(earlier::kGeneratorMenu));
    modifierList.setValue(toText(earlier::kModifierMenu));
    return gmpi::kMpOk;
}

void waveEditor::synchronise(int32_t) {
    model_.setSelect(waveSelect.getValue());
    const int32_t k = model_.selectedIndex();
    const MpBlob& blob = wavePin(k).getValue();
    if (!model_.takeBlob(k, blob.data(), static_cast<int32_t>(blob.size()))) {
        // The pin holds no whole wave: the editor's wave becomes silence and goes out.
        Wave& w = model_.selectedWave();
        std::fill(w.begin(), w.end(), 0.0f);
        model_.commitWave(w);
    }
    MpGuiPin<bool>* inactive[kWaveCount] = {&wave1Inactive, &wave2Inactive, &wave3Inactive, &wave4Inactive};
    for (int32_t i = 0; i < kWaveCount; ++i)
        inactive[i]->setValue(i != k);
    waveName.setValue(toText(waveNameFor(waveNames.getValueUtf8(), waveSelect.getValue())));
    invalidateFace();
}

void waveEditor::onGenerate(int32_t) {
    earlier::runGenerator(model_, generate.getValue(), n.getValue(), a.getValue());
}

void waveEditor::onModify(int32_t) {
    earlier::runModifier(model_, modify.getValue(), n.getValue(), a.getValue());
}

int32_t waveEditor::measure(int32_t, int32_t height, int32_t* desired) {
    if (desired == nullptr) return gmpi::kMpFail;
    desired[0] = static_cast<int32_t>(model_.selectedWave().size());
    desired[1] = std::clamp(height, 15, 100);
    return gmpi::kMpOk;
}

int32_t waveEditor::paint(int32_t dc) {
    const pq::gui::DeviceContext device(dc);
    viewHeight_ = faceHeight();
    const double h = viewHeight_;
    const uint32_t bgr = pq::gui::readHex32(lineColour.getValue()) & 0xFFFFFFu;
    const Wave& w = model_.selectedWave();
    for (size_t i = 0; i < w.size(); ++i) {
        // A sample that is not a number sits on the middle row; rows far off the face are
        // held within reach of it (the platform clips them).
        const double v = std::isnan(w[i]) ? 0.0 : double(w[i]);
        double y = v <= -0.5 ? h - 1.0 : std::trunc(h - (v + 0.5) * (h - 1.0));
        y = std::clamp(y, -1.0, h);
        device.setPixel(static_cast<int32_t>(i), static_cast<int32_t>(y), bgr);
    }
    return gmpi::kMpOk;
}

int32_t waveEditor::onMouseDown(int32_t flags, int32_t x, int32_t y) {
    model_.keepUndo();
    viewHeight_ = faceHeight();
    setCapture();
    pointerIndex_ = x;
    Wave& w = model_.selectedWave();
    const bool inside = x >= 0 && static_cast<size_t>(x) < w.size();
    // A face of one row or less maps no row to a value: such a press sets nothing.
    float value = inside ? w[static_cast<size_t>(x)] : 0.0f;
    if (viewHeight_ > 1) {
        value = strokeValue(static_cast<float>(y));
        if (inside) {
            w[static_cast<size_t>(x)] = value;
            model_.sendWave(w);
        }
    }
    // The straight line starts only at a press with Shift held.
    if (shiftHeld(flags)) {
        lineStartIndex_ = x;
        lineEndIndex_ = x;
        lineStartValue_ = value;
    }
    return gmpi::kMpOk;
}

int32_t waveEditor::onMouseMove(int32_t flags, int32_t x, int32_t y) {
    viewHeight_ = faceHeight();
    if (!isCaptured()) return gmpi::kMpOk;
    pointerIndex_ = x;
    if (strokeTo(x, static_cast<float>(y), shiftHeld(flags))) model_.sendWave(model_.selectedWave());
    invalidateFace();
    return gmpi::kMpOk;
}

int32_t waveEditor::onMouseUp(int32_t flags, int32_t, int32_t) {
    if (!isCaptured()) return gmpi::kMpOk;
    releaseCapture();
    finishStroke(shiftHeld(flags));
    invalidateFace();
    return gmpi::kMpOk;
}

#endif
