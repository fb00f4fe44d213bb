// The wave editor module: its pins, its face and its pointer strokes, with a host stand-in
// that reports every value the editor sets back to it, as a real host does.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "host/catalogue.h"
#include "host/host_error.h"
#include "modules/waveeditor/wave_editor.h"
#include "runtime/gui/mp_gui_drawing.h"
#include "tests/gui/module_holder.h"
#include "tests/gui/recording_context.h"

using namespace guitest;
using namespace pq::waveeditor;
using gmpi_gui_api::Point;
using gmpi_gui_api::Rect;

namespace {

constexpr int32_t kUndo = 38; // the modifier entry UNDO

// An editor on a face of `width` x `height` with waves of `length` samples; report() hands
// the values the editor set back to it.
struct Rig {
    explicit Rig(float length, float width = 300.0f, float height = 101.0f) {
        editor->initialize();
        report();
        deliver(*editor, kWaveLength, length);
        const Rect face{0.0f, 0.0f, width, height};
        editor->arrange(&face);
    }
    void report() {
        for (; reported < host.sent.size(); ++reported) {
            const SentValue v = host.sent[reported];
            editor->setPinValue(v.pinId, 0, static_cast<int32_t>(v.bytes.size()), v.bytes.data());
            editor->notifyPin(v.pinId, 0);
        }
    }
    void down(float x, float y, int32_t flags = 0) {
        editor->onPointerDown(flags, {x, y});
        report();
    }
    void move(float x, float y, int32_t flags = 0) {
        editor->onPointerMove(flags, {x, y});
        report();
    }
    void up(float x, float y, int32_t flags = 0) {
        editor->onPointerUp(flags, {x, y});
        report();
    }
    void loadWave(const Wave& w) {
        editor->setPinValue(kWave1, 0, static_cast<int32_t>(w.size() * 4), w.data());
        editor->notifyPin(kWave1, 0);
    }
    void command(int32_t pin, int32_t index) {
        deliver(*editor, pin, index);
        report();
    }
    const Wave& wave() const { return editor->model().selectedWave(); }
    // The values the host received on `pin`, in order.
    std::vector<SentValue> sentOn(int32_t pin) const {
        std::vector<SentValue> found;
        for (const SentValue& v : host.sent)
            if (v.pinId == pin) found.push_back(v);
        return found;
    }

    FakeGuiHost host;
    Held<waveEditor> editor = makeGraphics<waveEditor>(host);
    size_t reported = 0;
};

std::vector<std::string> lines(const RecordingContext& context) {
    std::vector<std::string> found;
    for (const std::string& call : context.calls)
        if (call.rfind("drawLine", 0) == 0) found.push_back(call);
    return found;
}

} // namespace

TEST(WaveEditorPins, ModuleRegistersItsTable) {
    FakeGuiHost host;
    auto editor = makeGraphics<waveEditor>(host);
    ASSERT_EQ(editor->pins.size(), std::size(waveEditor::kPins));
    for (const pq::PinDescription& row : waveEditor::kPins) {
        SCOPED_TRACE(std::string(row.name));
        ASSERT_TRUE(editor->pins.count(row.id));
        EXPECT_EQ(editor->pins.at(row.id)->getDatatype(), row.datatype);
    }
}

TEST(WaveEditorPins, InitializeSetsBothMenusOnce) {
    FakeGuiHost host;
    auto editor = makeGraphics<waveEditor>(host);
    EXPECT_EQ(editor->initialize(), gmpi::kMpOk);
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent[0].pinId, kGeneratorList);
    EXPECT_EQ(pqhost::toUtf8(host.sent[0].text()), kGeneratorMenu);
    EXPECT_EQ(host.sent[1].pinId, kModifierList);
    EXPECT_EQ(pqhost::toUtf8(host.sent[1].text()), kModifierMenu);
    editor->initialize();
    EXPECT_EQ(host.sent.size(), 2u); // unchanged texts are not sent again
}

TEST(WaveEditorPins, SelectSetsInactivePinsAndNamesFollowWaveNames) {
    Rig rig(8);
    rig.host.sent.clear();
    rig.reported = 0;
    deliver(*rig.editor, kWaveSelect, int32_t{2});
    ASSERT_EQ(rig.host.sent.size(), 3u); // Wave3 Inactive stays false
    const int32_t expected[] = {kWave1Inactive, kWave2Inactive, kWave4Inactive};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rig.host.sent[i].pinId, expected[i]);
        EXPECT_TRUE(rig.host.sent[i].as<bool>());
    }
    EXPECT_TRUE(rig.sentOn(kWaveName).empty()); // the select alone names nothing

    const struct {
        int32_t select;
        std::u16string names;
        std::u16string name;
    } cases[] = {
        {1, u"Bass,Lead_Pad Sub Noise", u"Lead Pad"},
        {2, u"", u"Wave3"},
        {3, u"Bass", u"Wave4"},  // too few words: named by index
        {-7, u"Bass", u"Wave4"}, // outside 0..3: the fourth wave
    };
    for (const auto& c : cases) {
        deliver(*rig.editor, kWaveSelect, c.select);
        deliverText(*rig.editor, kWaveNames, c.names);
        EXPECT_EQ(rig.sentOn(kWaveName).back().text(), c.name) << c.select;
    }
    const size_t before = rig.host.sent.size();
    deliver(*rig.editor, kWaveSelect, int32_t{9}); // outside 0..3 leaves the Inactive pins alone
    EXPECT_EQ(rig.host.sent.size(), before);
}

TEST(WaveEditorFace, PointerRowsGiveValuesAndClampWhileDragging) {
    const struct {
        const char* what;
        bool drag;
        float x, y;
        size_t index;
        float value;
    } cases[] = {
        {"press at the top row", false, 5.0f, 0.0f, 5, 0.5f},
        {"press at row 50", false, 5.0f, 50.0f, 5, 0.0f},
        {"press at row 100", false, 5.0f, 100.0f, 5, -0.5f},
        {"press at x 10.7", false, 10.7f, 25.0f, 10, 0.25f},
        {"press above the face is not clamped", false, 5.0f, -10.0f, 5, 0.6f},
        {"drag above the top", true, 7.0f, -40.0f, 7, 0.5f},
        {"drag below the bottom", true, 7.0f, 400.0f, 7, -0.5f},
        {"drag inside", true, 7.0f, 75.0f, 7, -0.25f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(256);
        rig.down(c.drag ? 6.0f : c.x, c.drag ? 50.0f : c.y);
        if (c.drag) rig.move(c.x, c.y);
        EXPECT_NEAR(rig.wave()[c.index], c.value, 1e-6f);
        EXPECT_EQ(rig.editor->viewHeight(), 101);
        // The stroke travels to the host as the whole wave, and comes back into the wave.
        const std::vector<SentValue> sent = rig.sentOn(kWave1);
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.back().bytes.size(), 256u * 4);
    }
}

TEST(WaveEditorFace, StrokesOutsideTheWaveOrTheFaceSetNothing) {
    Rig rig(256);
    rig.down(280.0f, 10.0f); // beyond the last sample
    rig.move(-3.0f, 10.0f);
    rig.up(-3.0f, 10.0f);
    rig.down(5.0f, std::nanf("")); // no row
    rig.move(6.0f, std::nanf(""));
    rig.up(6.0f, 0.0f);
    rig.down(std::nanf(""), 10.0f);
    rig.up(0.0f, 0.0f);
    for (float v : rig.wave())
        EXPECT_EQ(v, 0.0f);

    Rig flat(8, 300.0f, 1.0f); // a face of one row maps no row to a value
    flat.down(3.0f, 0.0f);
    flat.move(4.0f, 0.0f, gmpi_gui_api::kPointerFlagShift);
    flat.up(4.0f, 0.0f, gmpi_gui_api::kPointerFlagShift);
    for (float v : flat.wave())
        EXPECT_EQ(v, 0.0f);
    RecordingContext context;
    flat.editor->render(&context);
    EXPECT_TRUE(lines(context).empty());
}

TEST(WaveEditorFace, ShiftLineFromPressToLastShiftPoint) {
    for (const bool shift : {true, false}) {
        SCOPED_TRACE(shift ? "released with Shift" : "released without Shift");
        Rig rig(256);
        rig.down(10.0f, 30.0f); // 0.2
        for (int x = 11; x <= 20; ++x)
            rig.move(float(x), 45.0f, gmpi_gui_api::kPointerFlagShift); // 0.05 freehand
        rig.move(20.0f, 80.0f, gmpi_gui_api::kPointerFlagShift);        // -0.3 at sample 20
        rig.up(20.0f, 80.0f, shift ? gmpi_gui_api::kPointerFlagShift : 0);
        for (int i = 10; i < 20; ++i) {
            const float line = 0.2f - 0.05f * float(i - 10);
            const float freehand = i == 10 ? 0.2f : 0.05f;
            EXPECT_NEAR(rig.wave()[size_t(i)], shift ? line : freehand, 1e-6f) << i;
        }
        EXPECT_NEAR(rig.wave()[20], -0.3f, 1e-6f);
    }
}

TEST(WaveEditorFace, ShiftLineIsLimitedToTheWave) {
    Rig rig(16);
    rig.down(40.0f, 0.0f);              // +0.5 beyond the last sample
    rig.move(4.0f, 100.0f, gmpi_gui_api::kPointerFlagShift); // -0.5 at sample 4
    rig.up(4.0f, 100.0f, gmpi_gui_api::kPointerFlagShift);   // line from 40 down to 4: samples 4..15 inside
    EXPECT_NEAR(rig.wave()[4], -0.5f, 1e-6f);
    EXPECT_NEAR(rig.wave()[15], -0.5f + 11.0f / 36.0f, 1e-6f);
    EXPECT_EQ(rig.wave()[3], 0.0f);
}

TEST(WaveEditorFace, FastMoveFillsOneSkippedSample) {
    Rig rig(64);
    rig.down(10.0f, 50.0f);
    rig.move(11.0f, 0.0f);  // previous 10, gap 10
    rig.move(15.0f, 0.0f);  // previous 11, gap 10: one step, no fill
    rig.move(20.0f, 25.0f); // previous 15, gap 11: sample 12 takes this value
    EXPECT_NEAR(rig.wave()[12], 0.25f, 1e-6f);
    EXPECT_EQ(rig.wave()[13], 0.0f);
    EXPECT_EQ(rig.wave()[16], 0.0f);
}

TEST(WaveEditorFace, MovesAndReleasesWithoutCaptureAreIgnored) {
    Rig rig(64);
    const int invalidations = rig.host.invalidations;
    rig.move(3.0f, 0.0f);
    rig.up(3.0f, 0.0f, gmpi_gui_api::kPointerFlagShift);
    EXPECT_EQ(rig.wave()[3], 0.0f);
    EXPECT_EQ(rig.host.invalidations, invalidations);
}

TEST(WaveEditorFace, UndoAfterAStrokeRestoresTheWaveBeforeIt) {
    Rig rig(32);
    rig.command(kGenerate, 1); // RAMP UP
    const Wave ramp = rig.wave();
    rig.down(3.0f, 0.0f);
    rig.move(8.0f, 100.0f);
    rig.up(8.0f, 100.0f);
    ASSERT_NE(rig.wave(), ramp);
    rig.command(kModify, kUndo);
    EXPECT_EQ(rig.wave(), ramp);
}

TEST(WaveEditorFace, RenderDrawsOneLinePerSampleInTheLineColour) {
    Rig rig(256);
    Wave w(256, 0.0f);
    w[0] = 0.5f;
    w[1] = -0.5f;
    w[2] = 0.25f;
    rig.loadWave(w);
    const struct {
        std::u16string text;
        gmpi_gui_api::Color colour;
    } colours[] = {
        {u"FF8000", {1.0f, srgbToLinearTable[0x80], 0.0f, 1.0f}},
        {u"7F00FF00", {0.0f, 1.0f, 0.0f, 1.0f}}, // the bits above the colour are ignored
        {u"zz", {0.0f, 0.0f, 0.0f, 1.0f}},
    };
    for (const auto& c : colours) {
        deliverText(*rig.editor, kLineColour, c.text);
        RecordingContext context;
        ASSERT_EQ(rig.editor->render(&context), gmpi::kMpOk);
        EXPECT_EQ(context.calls.front(), "solid " + colour(c.colour));
        const std::vector<std::string> drawn = lines(context);
        ASSERT_EQ(drawn.size(), 256u);
        // Row of v: 0 at +0.5, 100 at -0.5, else trunc(101 - (v + 0.5) * 100).
        EXPECT_EQ(drawn[0], "drawLine 0 1 0 0 1"); // from the first sample's unclamped row
        EXPECT_EQ(drawn[1], "drawLine 0 0 1 100 1");
        EXPECT_EQ(drawn[2], "drawLine 1 100 2 26 1");
        EXPECT_EQ(drawn[3], "drawLine 2 26 3 51 1");
        EXPECT_EQ(drawn[255], "drawLine 254 51 255 51 1");
        EXPECT_EQ(context.alive, 0);
    }
}

TEST(WaveEditorFace, NothingToDrawWithoutSamplesOrContext) {
    Rig rig(0);
    RecordingContext context;
    EXPECT_EQ(rig.editor->render(&context), gmpi::kMpOk);
    EXPECT_TRUE(lines(context).empty());
    EXPECT_EQ(rig.editor->render(nullptr), gmpi::kMpOk);
    rig.down(0.0f, 0.0f);
    rig.up(0.0f, 0.0f, gmpi_gui_api::kPointerFlagShift);
    EXPECT_TRUE(rig.wave().empty());
}
