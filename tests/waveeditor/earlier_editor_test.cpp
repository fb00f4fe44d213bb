// The single-module editor (earlier edition): menus, dispatch, the synchronisation routine,
// the single-pixel face and whole-pixel strokes. This program provides the pixel service of
// the platform's drawing services and records every pixel set.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "modules/waveeditor/earlier_commands.h"
#include "modules/waveeditor/wave_editor.h"
#include "tests/gui/fake_gui_host.h"

namespace {

struct Pixel {
    int32_t dc, x, y;
    uint32_t colour;
    bool operator==(const Pixel&) const = default;
};
std::vector<Pixel> pixels;

} // namespace

extern "C" __attribute__((visibility("default"))) int32_t pqdc_set_pixel(int32_t dc, int32_t x, int32_t y,
                                                                         uint32_t colour) {
    pixels.push_back({dc, x, y, colour});
    return 0;
}

namespace {

using Pin = pq::waveeditor::EditorPin;
namespace earlier = pq::waveeditor::earlier;

class Host : public pqhost::GuiHostServices<Host> {
public:
    std::vector<guitest::SentValue> sent;
    int32_t hostSetPin(int32_t pinId, int32_t size, const void* data) {
        const auto* b = static_cast<const uint8_t*>(data);
        sent.push_back({pinId, std::vector<uint8_t>(b, b + (b != nullptr && size > 0 ? size : 0))});
        return gmpi::kMpOk;
    }
    const guitest::SentValue* last(int32_t pin) const {
        for (auto it = sent.rbegin(); it != sent.rend(); ++it)
            if (it->pinId == pin) return &*it;
        return nullptr;
    }
};

std::vector<float> samples(const std::vector<uint8_t>& bytes) {
    std::vector<float> v(bytes.size() / 4);
    std::memcpy(v.data(), bytes.data(), v.size() * 4);
    return v;
}

struct EarlierEditorTest : ::testing::Test {
    Host host;
    waveEditor* m = nullptr;

    EarlierEditorTest() {
        auto* made = new waveEditor();
        made->attachHost(host.unknown());
        made->addRef();
        m = made;
        pixels.clear();
    }
    ~EarlierEditorTest() override { m->release(); }

    template <class T> void deliver(int32_t pin, const T& value) {
        m->setPinValue(pin, 0, sizeof(T), &value);
        m->notifyPin(pin, 0);
    }
    void deliverBytes(int32_t pin, const void* data, int32_t size) {
        m->setPinValue(pin, 0, size, data);
        m->notifyPin(pin, 0);
    }
    void deliverText(int32_t pin, std::u16string_view text) {
        deliverBytes(pin, text.data(), static_cast<int32_t>(text.size() * 2));
    }
    void deliverWave(int32_t k, const std::vector<float>& w) {
        deliverBytes(Pin::kWave1 + k, w.data(), static_cast<int32_t>(w.size() * 4));
    }
    // The host reports a wave the editor sent back to it, as it reports every value.
    void echo(int32_t k) {
        const guitest::SentValue* v = host.last(Pin::kWave1 + k);
        ASSERT_NE(v, nullptr);
        deliverBytes(Pin::kWave1 + k, v->bytes.data(), static_cast<int32_t>(v->bytes.size()));
    }
    std::vector<float> sentWave(int32_t k) const {
        const guitest::SentValue* v = host.last(Pin::kWave1 + k);
        return v == nullptr ? std::vector<float>{} : samples(v->bytes);
    }
    size_t wavesSent() const {
        size_t count = 0;
        for (const auto& v : host.sent)
            count += v.pinId >= Pin::kWave1 && v.pinId <= Pin::kWave4;
        return count;
    }
};

TEST_F(EarlierEditorTest, InitializeSetsItsOwnMenusOnce) {
    m->initialize();
    m->initialize();
    ASSERT_EQ(host.sent.size(), 2u);
    const auto utf16 = [](std::string_view s) { return std::u16string(s.begin(), s.end()); };
    EXPECT_EQ(host.sent[0].pinId, Pin::kGeneratorList);
    EXPECT_EQ(host.sent[0].text(), utf16(earlier::kGeneratorMenu));
    EXPECT_EQ(host.sent[1].pinId, Pin::kModifierList);
    EXPECT_EQ(host.sent[1].text(), utf16(earlier::kModifierMenu));
}

TEST_F(EarlierEditorTest, MenuTitlesAndValuesPastTheMenusDoNothing) {
    deliver(Pin::kWaveLength, 8.0f);
    deliverWave(0, {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.4f, 0.3f, 0.2f});
    const size_t before = wavesSent();
    for (int32_t g : {0, 20, -1, INT_MAX})
        deliver(Pin::kGenerate, g);
    for (int32_t mod : {0, 29, -1, INT_MIN})
        deliver(Pin::kModify, mod);
    deliver(Pin::kA, 0.7f);
    EXPECT_EQ(wavesSent(), before);

    deliver(Pin::kGenerate, 1); // SINE
    const auto sine = sentWave(0);
    ASSERT_EQ(sine.size(), 8u);
    EXPECT_NEAR(sine[2], 0.5f, 1e-6f);
    EXPECT_NEAR(sine[6], -0.5f, 1e-6f);
}

TEST_F(EarlierEditorTest, NewNOrAAppliesTheSelectedModifierAgain) {
    deliver(Pin::kWaveLength, 4.0f);
    const std::vector<float> w = {0.25f, -0.5f, 0.0f, 0.125f};
    deliverWave(0, w);
    deliver(Pin::kModify, 15); // INVERT
    const auto inverted = sentWave(0);
    ASSERT_EQ(inverted.size(), 4u);
    for (size_t i = 0; i < w.size(); ++i)
        EXPECT_EQ(inverted[i], -w[i]);
    echo(0);
    deliver(Pin::kA, 0.5f);
    EXPECT_EQ(sentWave(0), w);
    echo(0);
    deliver(Pin::kN, 3.0f);
    EXPECT_EQ(sentWave(0), inverted);
}

TEST_F(EarlierEditorTest, SynchronisationTakesOnlyTheSelectedWavePin) {
    deliver(Pin::kWaveLength, 4.0f);
    const std::vector<float> w = {0.1f, 0.2f, 0.3f, 0.4f};

    deliverWave(1, w); // not the selected wave: the editor's waves stay
    EXPECT_EQ(m->model().wave(1), std::vector<float>(4, 0.0f));
    EXPECT_EQ(m->model().wave(0), std::vector<float>(4, 0.0f));

    deliverWave(0, w);
    EXPECT_EQ(m->model().wave(0), w);
    const size_t before = wavesSent();
    deliver(Pin::kWaveSelect, 1); // the selected pin already holds a whole wave
    EXPECT_EQ(m->model().wave(1), w);
    EXPECT_EQ(wavesSent(), before);
}

TEST_F(EarlierEditorTest, SynchronisationZeroesAndSendsAWaveOfTheWrongSize) {
    deliver(Pin::kWaveLength, 4.0f);
    deliverWave(0, {0.1f, 0.2f, 0.3f, 0.4f});
    const float broken[3] = {0.9f, 0.9f, 0.9f};
    deliverBytes(Pin::kWave1, broken, 11);
    EXPECT_EQ(m->model().wave(0), std::vector<float>(4, 0.0f));
    EXPECT_EQ(sentWave(0), std::vector<float>(4, 0.0f));
    // The broken bytes are no undo point: Undo sends a whole wave.
    echo(0);
    deliver(Pin::kModify, 28);
    EXPECT_EQ(host.last(Pin::kWave1)->bytes.size(), 16u);
}

TEST_F(EarlierEditorTest, WaveSelectBeyondTheFourActsAsTheFourth) {
    deliver(Pin::kWaveLength, 2.0f);
    deliverText(Pin::kWaveNames, u"Bass Lead Pad Keys");
    for (int32_t select : {7, -3, 3}) {
        SCOPED_TRACE(select);
        deliver(Pin::kWaveSelect, 0);
        deliver(Pin::kWaveSelect, select);
        for (int32_t k = 0; k < 3; ++k)
            EXPECT_TRUE(host.last(Pin::kWave1Inactive + k)->as<bool>());
        EXPECT_FALSE(host.last(Pin::kWave4Inactive)->as<bool>());
        // The fourth pin holds nothing yet: its wave becomes silence and goes out.
        EXPECT_EQ(sentWave(3), std::vector<float>(2, 0.0f));
    }
    EXPECT_EQ(host.last(Pin::kWaveName)->text(), u"Keys");
}

TEST_F(EarlierEditorTest, MeasureAsksForOneColumnPerSample) {
    deliver(Pin::kWaveLength, 37.0f);
    struct Case {
        int32_t height, desired;
    };
    for (const Case c : {Case{5, 15}, Case{60, 60}, Case{500, 100}, Case{INT_MIN, 15}}) {
        int32_t desired[2] = {-1, -1};
        EXPECT_EQ(m->measure(3, c.height, desired), gmpi::kMpOk);
        EXPECT_EQ(desired[0], 37);
        EXPECT_EQ(desired[1], c.desired) << c.height;
    }
    EXPECT_EQ(m->measure(3, 3, nullptr), gmpi::kMpFail);
}

TEST_F(EarlierEditorTest, FaceSetsOnePixelPerSampleInTheLineColour) {
    const std::vector<float> w = {0.5f, 0.0f, -0.5f, -1.0f, 0.6f, 0.75f, 0.25f, 40.0f};
    deliver(Pin::kWaveLength, float(w.size()));
    deliverWave(0, w);
    deliverText(Pin::kLineColour, u"0000FF"); // BBGGRR: red
    m->arrange(0, 11, 0, 10);
    EXPECT_EQ(m->paint(42), gmpi::kMpOk);
    // Row trunc(h - (v + 0.5)(h - 1)) with h = 11; -0.5 and below on the bottom row; no clamp
    // at the top (rows off the face are the platform's to clip).
    const int32_t rows[] = {1, 6, 10, 10, 0, -1, 3, -1};
    ASSERT_EQ(pixels.size(), w.size());
    for (size_t i = 0; i < w.size(); ++i)
        EXPECT_EQ(pixels[i], (Pixel{42, int32_t(i), rows[i], 0x0000FFu})) << i;
}

TEST_F(EarlierEditorTest, StrokesUseWholePixelsAndTheLineStartsOnlyAtAShiftPress) {
    constexpr int32_t kShift = gmpi_gui_api::kPointerFlagShift;
    deliver(Pin::kWaveLength, 8.0f);
    m->arrange(0, 11, 0, 8); // rows 0..10: 0.5 down to -0.5 in steps of 0.1

    m->onMouseDown(kShift, 1, 0);
    EXPECT_TRUE(host.captured);
    EXPECT_EQ(sentWave(0)[1], 0.5f);
    echo(0);
    m->onMouseMove(kShift, 5, 10);
    EXPECT_EQ(sentWave(0)[5], -0.5f);
    echo(0);
    m->onMouseMove(kShift, 5, 500); // below the face: the bottom value
    m->onMouseUp(kShift, 5, 500);
    EXPECT_FALSE(host.captured);
    std::vector<float> w = sentWave(0);
    ASSERT_EQ(w.size(), 8u);
    EXPECT_FLOAT_EQ(w[3], 0.0f);
    EXPECT_FLOAT_EQ(w[5], -0.5f);
    echo(0);

    // A press without Shift keeps the line's start of the stroke before.
    m->onMouseDown(0, 7, 5);
    echo(0);
    m->onMouseMove(kShift, 6, 0);
    echo(0);
    m->onMouseUp(kShift, 6, 0);
    w = sentWave(0);
    for (int32_t i = 1; i <= 6; ++i)
        EXPECT_FLOAT_EQ(w[size_t(i)], 0.5f) << i;
    EXPECT_FLOAT_EQ(w[7], 0.0f);

    // Without the capture a move or release changes nothing.
    const size_t before = wavesSent();
    m->onMouseMove(kShift, 2, 2);
    m->onMouseUp(kShift, 2, 2);
    EXPECT_EQ(wavesSent(), before);
}

TEST_F(EarlierEditorTest, HostilePointerAndFaceValuesStayInside) {
    deliver(Pin::kWaveLength, 4.0f);
    m->onMouseDown(0, 1, 1); // never arranged: no row maps to a value
    EXPECT_EQ(wavesSent(), 0u);
    m->onMouseUp(0, 1, 1);
    m->arrange(0, 11, 0, 4);
    for (int32_t x : {INT_MIN, -1, 4, INT_MAX})
        for (int32_t y : {INT_MIN, INT_MAX}) {
            m->onMouseDown(0, x, y);
            m->onMouseMove(gmpi_gui_api::kPointerFlagShift, x, y);
            m->onMouseUp(gmpi_gui_api::kPointerFlagShift, x, y);
        }
    for (float v : m->model().wave(0))
        EXPECT_TRUE(std::isfinite(v));
    m->arrange(INT_MAX, INT_MIN, 0, 0);
    EXPECT_EQ(m->paint(1), gmpi::kMpOk);
}

} // namespace
