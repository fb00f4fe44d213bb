// Wave editor: a graphics GUI module in which the user draws, generates and modifies four
// single-cycle waves and sends each out as a wave blob (32-bit floats) on its own pin.
//
// The waves, clipboard, undo buffers and commands live in the host-free WaveModel; this
// class is the module around it: the 21 pins, their change routines, the face (one line per
// sample of the selected wave) and the pointer strokes that draw into the selected wave.
// The waves reach `waves` only through the wave pins' change routines: the host reports
// every value the editor sets back to it, and the editor takes it from there.
//
// All-module library: a graphics GUI module whose face draws one line per sample.
// Single-module library (pq::kSingleModuleBuild): a legacy GUI module with a composited face
// and its own two menus and commands (earlier_commands.h); every pin from Wave Select to the
// Inactive pins runs one synchronisation routine, N and A run the selected modifier again,
// the face sets one pixel per sample, and pointer events arrive in whole pixels.
// [GUI thread] for everything.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "modules/waveeditor/wave_model.h"
#include "runtime/gui/face_base.h"
#include "runtime/pin_table.h"

namespace pq::waveeditor {

// Pin ids, in the host's order.
enum EditorPin : int32_t {
    kWaveLength = 0,
    kWaveSelect,
    kWaveNames,
    kWaveName,
    kWave1,
    kWave2,
    kWave3,
    kWave4,
    kWave1Inactive,
    kWave2Inactive,
    kWave3Inactive,
    kWave4Inactive,
    kCopy,
    kPaste,
    kGenerate,
    kGeneratorList,
    kModify,
    kModifierList,
    kN,
    kA,
    kLineColour,
};

} // namespace pq::waveeditor

class waveEditor : public pq::gui::FaceBase, private pq::waveeditor::WavePinPort {
public:
    using Pin = pq::waveeditor::EditorPin;
    // The editor sets the pins marked out; the wave pins are set by both sides.
    static constexpr pq::PinDescription kPins[] = {
        {Pin::kWaveLength, "Wave Length", gmpi::kGuiPinFloat, gmpi::kDirectionIn, "0"},
        {Pin::kWaveSelect, "Wave Select", gmpi::kGuiPinInt, gmpi::kDirectionIn, "0"},
        {Pin::kWaveNames, "Wave Names", gmpi::kGuiPinText, gmpi::kDirectionIn},
        {Pin::kWaveName, "Wave Name", gmpi::kGuiPinText, gmpi::kDirectionOut},
        {Pin::kWave1, "Wave1", gmpi::kGuiPinBlob, gmpi::kDirectionIn},
        {Pin::kWave2, "Wave2", gmpi::kGuiPinBlob, gmpi::kDirectionIn},
        {Pin::kWave3, "Wave3", gmpi::kGuiPinBlob, gmpi::kDirectionIn},
        {Pin::kWave4, "Wave4", gmpi::kGuiPinBlob, gmpi::kDirectionIn},
        {Pin::kWave1Inactive, "Wave1 Inactive", gmpi::kGuiPinBool, gmpi::kDirectionOut, "false"},
        {Pin::kWave2Inactive, "Wave2 Inactive", gmpi::kGuiPinBool, gmpi::kDirectionOut, "false"},
        {Pin::kWave3Inactive, "Wave3 Inactive", gmpi::kGuiPinBool, gmpi::kDirectionOut, "false"},
        {Pin::kWave4Inactive, "Wave4 Inactive", gmpi::kGuiPinBool, gmpi::kDirectionOut, "false"},
        {Pin::kCopy, "Copy", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
        {Pin::kPaste, "Paste", gmpi::kGuiPinBool, gmpi::kDirectionIn, "false"},
        {Pin::kGenerate, "Generate", gmpi::kGuiPinInt, gmpi::kDirectionIn, "0"},
        {Pin::kGeneratorList, "Generator List", gmpi::kGuiPinText, gmpi::kDirectionOut},
        {Pin::kModify, "Modify", gmpi::kGuiPinInt, gmpi::kDirectionIn, "0"},
        {Pin::kModifierList, "Modifier List", gmpi::kGuiPinText, gmpi::kDirectionOut},
        {Pin::kN, "N", gmpi::kGuiPinFloat, gmpi::kDirectionIn, "0"},
        {Pin::kA, "A", gmpi::kGuiPinFloat, gmpi::kDirectionIn, "0"},
        {Pin::kLineColour, "Line Colour", gmpi::kGuiPinText, gmpi::kDirectionIn},
    };
    // The single-module library registers it as a legacy module with a composited face.
    static constexpr pq::ModuleDescription kDescription{
        "pq WaveEditor", pq::kSingleModuleBuild ? gmpi::kSubtypeGuiLegacy : gmpi::kSubtypeGuiGraphics,
        "waveEditor", kPins};

    waveEditor();

    // Sets Generator List and Modifier List to the two menus (sent only when they differ).
    int32_t initialize() override;

#if PQ_EDITION_EARLIER
    // Asks for the selected wave's sample count as width and the offered height within 15..100.
    int32_t measure(int32_t width, int32_t height, int32_t* desired) override;
    // Sets one pixel per sample of the selected wave in the Line Colour (read as BBGGRR).
    int32_t paint(int32_t dc) override;
    // Keeps the selected wave for Undo, takes the capture and sets the sample under the
    // pointer; with Shift held it also starts the straight line there.
    int32_t onMouseDown(int32_t flags, int32_t x, int32_t y) override;
    // While captured: sets the sample under the pointer (clamped to the face), follows the
    // Shift line's end.
    int32_t onMouseMove(int32_t flags, int32_t x, int32_t y) override;
    // While captured: releases it; with Shift draws the straight line of the stroke.
    int32_t onMouseUp(int32_t flags, int32_t x, int32_t y) override;
#else
    // Draws the selected wave, one line per sample, in the Line Colour, clipped to the face.
    int32_t render(gmpi::IMpUnknown* drawingContext) override;
    // Keeps the selected wave for Undo, takes the capture and sets the sample under the pointer.
    int32_t onPointerDown(int32_t flags, gmpi_gui_api::Point point) override;
    // While captured: sets the sample under the pointer (clamped to the face), fills one
    // skipped sample after a fast move, follows the Shift line's end.
    int32_t onPointerMove(int32_t flags, gmpi_gui_api::Point point) override;
    // While captured: releases it; with Shift draws the straight line of the stroke.
    int32_t onPointerUp(int32_t flags, gmpi_gui_api::Point point) override;
#endif

    const pq::waveeditor::WaveModel& model() const {
        return model_;
    }
    int32_t viewHeight() const {
        return viewHeight_;
    }

private:
    // WavePinPort: wave pins 0..3 are pins Wave1..Wave4.
    std::span<const uint8_t> wavePinBytes(int32_t pin) const override;
    void setWavePin(int32_t pin, std::span<const uint8_t> bytes) override;

    void onWaveLength(int32_t);
    void onWaveSelect(int32_t);
    void onWaveNames(int32_t);
    void onWave1(int32_t) {
        takeWave(0);
    }
    void onWave2(int32_t) {
        takeWave(1);
    }
    void onWave3(int32_t) {
        takeWave(2);
    }
    void onWave4(int32_t) {
        takeWave(3);
    }
    void takeWave(int32_t k);
    void onCopy(int32_t);
    void onPaste(int32_t);
    void onGenerate(int32_t);
    void onModify(int32_t);
#if PQ_EDITION_EARLIER
    // Takes the selected wave from its pin (zeros, committed, when the pin holds no whole
    // wave), sets the Inactive pins and Wave Name, and repaints.
    void synchronise(int32_t);
#endif
    // The sample value of a stroke at face row y (0.5 at the top row, -0.5 at the bottom).
    float strokeValue(float y) const;
    // Sets the sample under a moving pointer at row y, clamped to the face; follows the
    // Shift line's end. Answers whether a sample changed.
    bool strokeTo(int32_t i, float y, bool shift);
    // Ends a captured stroke: with Shift draws the straight line, then sends the wave.
    void finishStroke(bool shift);

#if !PQ_EDITION_EARLIER
    // trunc(bottom - top) of the face.
    int32_t faceHeight() const;
#endif
    MpGuiPin<MpBlob>& wavePin(int32_t k);
    const MpGuiPin<MpBlob>& wavePin(int32_t k) const;

    MpGuiPin<float> waveLength;
    MpGuiPin<int32_t> waveSelect;
    StringGuiPin waveNames;
    StringGuiPin waveName;
    MpGuiPin<MpBlob> wave1;
    MpGuiPin<MpBlob> wave2;
    MpGuiPin<MpBlob> wave3;
    MpGuiPin<MpBlob> wave4;
    MpGuiPin<bool> wave1Inactive;
    MpGuiPin<bool> wave2Inactive;
    MpGuiPin<bool> wave3Inactive;
    MpGuiPin<bool> wave4Inactive;
    MpGuiPin<bool> copyPin;
    MpGuiPin<bool> pastePin;
    MpGuiPin<int32_t> generate;
    StringGuiPin generatorList;
    MpGuiPin<int32_t> modify;
    StringGuiPin modifierList;
    MpGuiPin<float> n;
    MpGuiPin<float> a;
    StringGuiPin lineColour;

    pq::waveeditor::WaveModel model_;

    // The stroke: sample indices and values of the pointer and of the Shift line.
    int32_t pointerIndex_ = 0;
#if !PQ_EDITION_EARLIER
    int32_t previousPointerIndex_ = 0; // the gap fill of fast moves
    int32_t gapIndex_ = 0;
#endif
    int32_t lineStartIndex_ = 0;
    int32_t lineEndIndex_ = 0;
    float lineStartValue_ = 0.0f;
    float lineEndValue_ = 0.0f;
    int32_t viewHeight_ = 100;
};
