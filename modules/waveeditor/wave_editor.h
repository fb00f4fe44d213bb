// Wave editor: a graphics GUI module in which the user draws, generates and modifies four
// single-cycle waves and sends each out as a wave blob (32-bit floats) on its own pin.
//
// The waves, clipboard, undo buffers and commands live in the host-free WaveModel; this
// class is the module around it: the 21 pins, their change routines, the face (one line per
// sample of the selected wave) and the pointer strokes that draw into the selected wave.
// The waves reach `waves` only through the wave pins' change routines: the host reports
// every value the editor sets back to it, and the editor takes it from there.
// [GUI thread] for everything.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "modules/waveeditor/wave_model.h"
#include "runtime/gui/mp_gui_base2.h"

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
    kEditorPinCount
};

// One pin as the host sees it. Direction 0: the host sets it (the wave pins are set by both
// sides); 1: the editor sets it and the host receives it.
struct EditorPinSpec {
    int32_t id;
    std::string_view name;
    int32_t datatype; // 1 text, 4 bool, 6 float, 8 integer, 10 blob
    int32_t direction;
};

inline constexpr std::array<EditorPinSpec, kEditorPinCount> kEditorPins = {{
    {kWaveLength, "Wave Length", 6, 0},
    {kWaveSelect, "Wave Select", 8, 0},
    {kWaveNames, "Wave Names", 1, 0},
    {kWaveName, "Wave Name", 1, 1},
    {kWave1, "Wave1", 10, 0},
    {kWave2, "Wave2", 10, 0},
    {kWave3, "Wave3", 10, 0},
    {kWave4, "Wave4", 10, 0},
    {kWave1Inactive, "Wave1 Inactive", 4, 1},
    {kWave2Inactive, "Wave2 Inactive", 4, 1},
    {kWave3Inactive, "Wave3 Inactive", 4, 1},
    {kWave4Inactive, "Wave4 Inactive", 4, 1},
    {kCopy, "Copy", 4, 0},
    {kPaste, "Paste", 4, 0},
    {kGenerate, "Generate", 8, 0},
    {kGeneratorList, "Generator List", 1, 1},
    {kModify, "Modify", 8, 0},
    {kModifierList, "Modifier List", 1, 1},
    {kN, "N", 6, 0},
    {kA, "A", 6, 0},
    {kLineColour, "Line Colour", 1, 0},
}};

// Shift counts as held while the pointer flags carry this bit.
inline constexpr int32_t kShiftFlag = 0x10000;

} // namespace pq::waveeditor

class waveEditor : public gmpi_gui::MpGuiGfxBase, private pq::waveeditor::WavePinPort {
public:
    waveEditor();

    // Sets Generator List and Modifier List to the two menus (sent only when they differ).
    int32_t initialize() override;

    // Draws the selected wave, one line per sample, in the Line Colour, clipped to the face.
    int32_t render(gmpi::IMpUnknown* drawingContext) override;
    // Keeps the selected wave for Undo, takes the capture and sets the sample under the pointer.
    int32_t onPointerDown(int32_t flags, gmpi_gui_api::Point point) override;
    // While captured: sets the sample under the pointer (clamped to the face), fills one
    // skipped sample after a fast move, follows the Shift line's end.
    int32_t onPointerMove(int32_t flags, gmpi_gui_api::Point point) override;
    // While captured: releases it; with Shift draws the straight line of the stroke.
    int32_t onPointerUp(int32_t flags, gmpi_gui_api::Point point) override;

    const pq::waveeditor::WaveModel& model() const { return model_; }
    int32_t viewHeight() const { return viewHeight_; }

private:
    using Routine = void (waveEditor::*)(int32_t);
    struct PinBinding;
    static const std::array<PinBinding, pq::waveeditor::kEditorPinCount> kBindings;

    // WavePinPort: wave pins 0..3 are pins Wave1..Wave4.
    std::span<const uint8_t> wavePinBytes(int32_t pin) const override;
    void setWavePin(int32_t pin, std::span<const uint8_t> bytes) override;

    void onWaveLength(int32_t);
    void onWaveSelect(int32_t);
    void onWaveNames(int32_t);
    void onWave1(int32_t) { takeWave(0); }
    void onWave2(int32_t) { takeWave(1); }
    void onWave3(int32_t) { takeWave(2); }
    void onWave4(int32_t) { takeWave(3); }
    void takeWave(int32_t k);
    void onCopy(int32_t);
    void onPaste(int32_t);
    void onGenerate(int32_t);
    void onModify(int32_t);

    // trunc(bottom - top) of the face.
    int32_t faceHeight() const;
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
    int32_t previousPointerIndex_ = 0;
    int32_t gapIndex_ = 0;
    int32_t lineStartIndex_ = 0;
    int32_t lineEndIndex_ = 0;
    float lineStartValue_ = 0.0f;
    float lineEndValue_ = 0.0f;
    int32_t viewHeight_ = 100;
};
