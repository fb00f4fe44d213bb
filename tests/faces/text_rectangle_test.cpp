// The text rectangle of the all-module library: its rectangle, its styled text and its
// button, drawn through the host's drawing context.
#include <gtest/gtest.h>

#include <algorithm>

#include "modules/guiutil/text_rectangle.h"
#include "runtime/gui/mp_gui_drawing.h"
#include "tests/faces/styled_host.h"
#include "tests/gui/recording_context.h"

using namespace facetest;
using guitest::colour;

namespace {

const std::string kSheet = "FONT_CATEGORY Red\n"
                           "font-family Arial\n"
                           "font-color #FF0000\n"
                           "background-color #00FF00\n";

struct Released {
    void operator()(pq_TextRectangle* m) const { m->release(); }
};
using Rectangle = std::unique_ptr<pq_TextRectangle, Released>;

enum Pin {
    kText,
    kStyle,
    kGreyed,
    kRadius,
    kTopLeft,
    kTopRight,
    kBottomLeft,
    kBottomRight,
    kTop,
    kGradient,
    kPressed
};

struct TextRectangleTest : ::testing::Test {
    StyledHost host{&kSheet};
    guitest::RecordingContext context;
    Rectangle m = make();

    void SetUp() override { forgetStyles(); }
    Rectangle make() {
        Rectangle r(new pq_TextRectangle());
        r->setHost(host.unknown());
        return r;
    }
    void text(int32_t pin, const std::u16string& value) {
        m->setPinValue(pin, 0, static_cast<int32_t>(value.size() * 2), value.data());
        m->notifyPin(pin, 0);
    }
    void flag(int32_t pin, bool value) {
        m->setPinValue(pin, 0, 1, &value);
        m->notifyPin(pin, 0);
    }
    std::vector<std::string> render(pq_TextRectangle& r, float w = 100, float h = 40) {
        const gmpi_gui_api::Rect bounds{0, 0, w, h};
        r.arrange(&bounds);
        context.calls.clear();
        EXPECT_EQ(r.render(&context), gmpi::kMpOk);
        EXPECT_EQ(context.alive, 0); // every drawing object released
        return context.calls;
    }
    std::vector<std::string> render() { return render(*m); }
    static bool has(const std::vector<std::string>& calls, const std::string& call) {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }
};

} // namespace

TEST_F(TextRectangleTest, TheGradientEndsOnTheGradientColour) {
    text(kTop, u"FFFF0000");
    text(kGradient, u"FF0000FF");
    render();
    ASSERT_EQ(context.lastStops.size(), 2u);
    EXPECT_EQ(context.lastStops[1].position, 1.0f);
    EXPECT_EQ(colour(context.lastStops[0].color), "(1 0 0 1)");
    EXPECT_EQ(colour(context.lastStops[1].color), "(0 0 1 1)");

    text(kGradient, u""); // a flat fill
    render();
    EXPECT_EQ(colour(context.lastStops[1].color), "(1 0 0 1)");
}

TEST_F(TextRectangleTest, TheShapeIsTheClickRectangles) {
    const float radius = 30.0f;
    m->setPinValue(kRadius, 0, 4, &radius);
    flag(kTopLeft, true);
    render(*m, 100, 40);
    EXPECT_EQ(context.figure(),
              (std::vector<std::string>{"begin 0 20 0", "arc 20 0 r 20 20 rot 1.5708 sweep 1 size 0",
                                        "line 100 0", "line 100 40", "line 0 40", "end 1", "close"}));
}

TEST_F(TextRectangleTest, TextTakesTheStylesColourOrGreyWhenGreyed) {
    text(kText, u"Hé");
    text(kStyle, u"red");
    auto calls = render();
    EXPECT_TRUE(has(calls, "solid (0 1 0 1)")); // made with the background colour
    EXPECT_TRUE(has(calls, "setColor (1 0 0 1)"));
    EXPECT_EQ(calls.back(), "text H\xC3\xA9");
    EXPECT_EQ(host.factory.alignment, 2);

    flag(kGreyed, true);
    const float grey = srgbToLinearTable[128];
    EXPECT_TRUE(has(render(), "setColor " + colour({grey, grey, grey, 1.0f})));

    flag(kGreyed, false);
    text(kStyle, u"no such style"); // the default style: black
    EXPECT_TRUE(has(render(), "setColor (0 0 0 1)"));
}

TEST_F(TextRectangleTest, AnEmptyTextDrawsOnlyTheRectangle) {
    const auto calls = render();
    EXPECT_TRUE(has(calls, "fill"));
    EXPECT_TRUE(std::none_of(calls.begin(), calls.end(),
                             [](const std::string& c) { return c.rfind("text", 0) == 0; }));
}

TEST_F(TextRectangleTest, RectanglesOfOneStyleShareOneFormatUntilTheLastGoes) {
    text(kStyle, u"Red");
    Rectangle other = make();
    other->setPinValue(kStyle, 0, 6, u"Red");
    render();
    render(*other);
    EXPECT_EQ(host.factory.requests.size(), 1u);
    m.reset();
    other.reset();
    EXPECT_EQ(host.factory.formatsAlive, 0);
    m = make();
    text(kStyle, u"Red");
    render();
    EXPECT_EQ(host.factory.requests.size(), 2u);
}

TEST_F(TextRectangleTest, PressedFollowsTheCapturedPointerAndHostChangesRepaint) {
    const int before = host.invalidations;
    for (int32_t pin = kText; pin <= kGradient; ++pin)
        flag(pin, true);
    EXPECT_EQ(host.invalidations, before + 10);

    EXPECT_EQ(m->onPointerUp(0, {1, 1}), gmpi::kMpFail); // no capture
    m->onPointerDown(0, {1, 1});
    m->onPointerDown(0, {2, 2});
    EXPECT_EQ(m->onPointerUp(0, {500, 500}), gmpi::kMpOk);
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent[0].pinId, kPressed);
    EXPECT_EQ(host.sent[0].bytes, std::vector<uint8_t>{1});
    EXPECT_EQ(host.sent[1].bytes, std::vector<uint8_t>{0});
    EXPECT_EQ(host.invalidations, before + 10); // Pressed does not repaint
}
