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

class waveEditor : public gmpi_gui::MpGuiGfxBase, private pq::waveeditor::WavePinPort {
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
    static constexpr pq::ModuleDescription kDescription{"pq WaveEditor", gmpi::kSubtypeGuiGraphics, "waveEditor",
                                                        kPins};

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
