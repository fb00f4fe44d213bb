// The graphics GUI bases and the modules built on them (newest edition only).
#include <gtest/gtest.h>

#include "modules/guiutil/click_rectangle.h"
#include "modules/guiutil/preset_increment_fixer.h"
#include "runtime/gui/mp_gui_drawing.h"
#include "tests/gui/module_holder.h"
#include "tests/gui/recording_context.h"

using namespace guitest;
using gmpi_gui_api::Rect;
using gmpi_gui_api::Size;

namespace {
// A face module with pins at 0 and 5, then one numbered automatically.
class Face : public gmpi_gui::MpGuiGfxBase {
public:
    Face() {
        a.attach(this, &Face::redraw);
        b.attach(this, 5);
        c.attach(this);
    }
    MpGuiPin<float> a, b, c;
    int32_t idOfC() const { return c.getPinId(); }
};
} // namespace

TEST(GraphicsBase, NumbersPinsAfterTheLargestId) {
    FakeGuiHost host;
    auto m = makeGraphics<Face>(host);
    EXPECT_EQ(m->a.getPinId(), 0);
    EXPECT_EQ(m->idOfC(), 6);
}

TEST(GraphicsBase, MeasureArrangeAndInterfaces) {
    FakeGuiHost host;
    auto m = makeGraphics<Face>(host);
    Size desired{};
    m->measure({0.0f, 500.0f}, &desired);
    EXPECT_EQ(desired.width, 1.0f);
    EXPECT_EQ(desired.height, 500.0f);

    const Rect r{0, 0, 100, 40};
    m->arrange(&r);
    m->arrange(&r);
    EXPECT_EQ(host.invalidations, 1);
    const float v = 3.0f;
    m->setPinValue(0, 0, 4, &v);
    m->notifyPin(0, 0);
    EXPECT_EQ(host.invalidations, 2);

    void* graphics = nullptr;
    ASSERT_EQ(m->queryInterface(gmpi_gui_api::MP_IID_GRAPHICS2, &graphics), gmpi::kMpOk);
    void* main = nullptr;
    ASSERT_EQ(static_cast<gmpi_gui_api::IMpGraphics2*>(graphics)->queryInterface(gmpi::MP_IID_UNKNOWN, &main),
              gmpi::kMpOk);
    EXPECT_EQ(main, static_cast<gmpi::IMpUserInterface2B*>(m.get()));
    EXPECT_EQ(m->addRef(), 4); // two references added by the queries
    m->release();
    m->release();
    m->release();
    void* other = &other;
    EXPECT_EQ(m->queryInterface(gmpi::MP_IID_GUI_PLUGIN, &other), gmpi::kMpNoSupport);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(m->reserved6(), gmpi::kMpFail);
}

TEST(GraphicsBase, HostWithoutGuiHost2IsRefusedButHarmless) {
    FakeGuiHost host;
    host.offerGuiHost2 = false;
    host.offerGraphicsHost = false;
    Held<Face> m(new Face());
    EXPECT_EQ(m->setHost(host.unknown()), gmpi::kMpNoSupport);
    m->a.setValue(1.0f); // cannot send, must not crash
    const Rect r{0, 0, 10, 10};
    EXPECT_EQ(m->arrange(&r), gmpi::kMpOk);
    EXPECT_TRUE(host.sent.empty());
}

TEST(GraphicsBase, ReleasesTheGraphicsHostWhenDestroyed) {
    FakeGuiHost host;
    {
        auto m = makeGraphics<Face>(host);
        EXPECT_EQ(host.references, 2); // IMpGraphicsHost and IMpGuiHost2
    }
    EXPECT_EQ(host.references, 1); // the IMpGuiHost2 is held for life
}

namespace {
struct ClickRectangleTest : ::testing::Test {
    FakeGuiHost host;
    Held<pq_ClickRectangleGui> m = makeGraphics<pq_ClickRectangleGui>(host);
    RecordingContext context;

    void arcs(bool tl, bool tr, bool bl, bool br) {
        deliver(*m, pq_ClickRectangleGui::kArcTopLeft, tl);
        deliver(*m, pq_ClickRectangleGui::kArcTopRight, tr);
        deliver(*m, pq_ClickRectangleGui::kArcBottomLeft, bl);
        deliver(*m, pq_ClickRectangleGui::kArcBottomRight, br);
    }
    std::vector<std::string> render(float w, float h) {
        const Rect r{0, 0, w, h};
        m->arrange(&r);
        context.calls.clear();
        EXPECT_EQ(m->render(&context), gmpi::kMpOk);
        EXPECT_EQ(context.alive, 0); // every drawing object released
        return context.figure();
    }
};
} // namespace

TEST_F(ClickRectangleTest, RoundedCornersMeetAtTheMiddleOfTheShortSides) {
    deliver(*m, pq_ClickRectangleGui::kCornerRadius, 30.0f);
    arcs(true, true, true, true);
    const std::string arc = " r 20 20 rot 1.5708 sweep 1 size 0";
    EXPECT_EQ(render(100, 40), (std::vector<std::string>{"begin 0 20 0", "arc 20 0" + arc, "line 80 0",
                                                         "arc 100 20" + arc, "line 100 20", "arc 80 40" + arc,
                                                         "line 20 40", "arc 0 20" + arc, "end 1", "close"}));
}

TEST_F(ClickRectangleTest, SquareCornersAreLines) {
    deliver(*m, pq_ClickRectangleGui::kCornerRadius, 10.0f);
    arcs(false, false, false, false);
    const std::vector<std::string> plain = {"begin 0 0 0", "line 50 0", "line 50 30",
                                            "line 0 30",   "end 1",     "close"};
    EXPECT_EQ(render(50.9f, 30.2f), plain); // sizes truncated
    arcs(false, true, false, false);
    EXPECT_EQ(render(50, 30), (std::vector<std::string>{"begin 0 0 0", "line 40 0",
                                                        "arc 50 10 r 10 10 rot 1.5708 sweep 1 size 0",
                                                        "line 50 30", "line 0 30", "end 1", "close"}));
}

TEST_F(ClickRectangleTest, HugeAndNanSizesStayDefined) {
    deliver(*m, pq_ClickRectangleGui::kCornerRadius, std::numeric_limits<float>::quiet_NaN());
    arcs(true, true, true, true);
    EXPECT_EQ(render(20, 20).front(), "begin 0 0 0"); // radius 0
    deliver(*m, pq_ClickRectangleGui::kCornerRadius, 1e30f);
    EXPECT_EQ(render(20, 10).front(), "begin 0 5 0");
}

TEST_F(ClickRectangleTest, GradientRunsTenHeightsFromTopColourToGradientColour) {
    deliverText(*m, pq_ClickRectangleGui::kTopColour, u"FFFF0000");
    deliverText(*m, pq_ClickRectangleGui::kGradientColour, u"FF0000FF");
    render(100, 40);
    EXPECT_EQ(context.calls[context.calls.size() - 2],
              "gradient 1 0 -> 1 40 opacity 1 transform 1 0 0 1 0 0");
    EXPECT_EQ(context.calls.back(), "fill");
    ASSERT_EQ(context.lastStops.size(), 2u);
    EXPECT_EQ(context.lastStops[0].position, 0.0f);
    EXPECT_EQ(context.lastStops[1].position, 10.0f);
    EXPECT_EQ(context.lastStops[0].color.r, 1.0f);
    EXPECT_EQ(context.lastStops[1].color.b, 1.0f);
    EXPECT_EQ(context.lastStops[1].color.r, 0.0f);

    deliverText(*m, pq_ClickRectangleGui::kGradientColour, u""); // flat: both stops the top colour
    render(100, 40);
    EXPECT_EQ(context.lastStops[1].color.r, 1.0f);
    EXPECT_EQ(context.lastStops[1].color.b, 0.0f);

    deliverText(*m, pq_ClickRectangleGui::kTopColour, u"FF0000"); // no alpha byte: invisible
    render(100, 40);
    EXPECT_EQ(context.lastStops[0].color.a, 0.0f);
}

TEST_F(ClickRectangleTest, PressedFollowsTheCapturedPointer) {
    EXPECT_EQ(m->onPointerUp(0, {1, 1}), gmpi::kMpFail); // no capture
    EXPECT_TRUE(host.sent.empty());
    m->onPointerDown(0, {1, 1});
    m->onPointerDown(0, {2, 2});
    EXPECT_TRUE(host.captured);
    EXPECT_EQ(m->onPointerUp(0, {500, 500}), gmpi::kMpOk); // released outside still clears
    EXPECT_FALSE(host.captured);
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent[0].pinId, pq_ClickRectangleGui::kPressed);
    EXPECT_EQ(host.sent[0].bytes, std::vector<uint8_t>{1});
    EXPECT_EQ(host.sent[1].bytes, std::vector<uint8_t>{0});
    EXPECT_EQ(host.invalidations, 0); // Pressed does not repaint
}

namespace {
struct PresetStepperTest : ::testing::Test {
    FakeGuiHost host;
    Held<Pq_presetincrementfixerGui> m = makeGraphics<Pq_presetincrementfixerGui>(host);

    void list(const std::u16string& text) { deliverText(*m, Pq_presetincrementfixerGui::kValueList, text); }
    void setValue(int32_t v) { deliver(*m, Pq_presetincrementfixerGui::kValue, v); }
    void wrap(bool w) { deliver(*m, Pq_presetincrementfixerGui::kWrap, w); }
    // Press and release a button; answers the value the module holds afterwards.
    int32_t press(int direction) {
        const int32_t pin =
            direction > 0 ? Pq_presetincrementfixerGui::kIncrement : Pq_presetincrementfixerGui::kDecrement;
        deliver(*m, pin, true);
        deliver(*m, pin, false);
        int32_t v = 0;
        std::memcpy(&v, m->pins.at(Pq_presetincrementfixerGui::kValue)->getValueRaw(), 4);
        return v;
    }
};
} // namespace

TEST_F(PresetStepperTest, StepsThroughARange) {
    list(u"range 0,10");
    struct Case {
        int32_t from;
        int direction;
        bool wrap;
        int32_t to;
    } cases[] = {
        {4, +1, false, 5}, {4, -1, false, 3}, {10, +1, false, 10}, {10, +1, true, 0},
        {0, -1, true, 10}, {0, -1, false, 0}, {42, +1, false, 0},  {42, -1, false, 10},
    };
    for (const auto& c : cases) {
        wrap(c.wrap);
        setValue(c.from);
        EXPECT_EQ(press(c.direction), c.to) << c.from << " " << c.direction << " " << c.wrap;
    }
    host.sent.clear();
    setValue(10);
    wrap(false);
    press(+1);
    EXPECT_TRUE(host.sent.empty()); // staying at the end sends nothing
}

TEST_F(PresetStepperTest, StepsThroughItemsWithAndWithoutValues) {
    list(u" A , B=5,C,");
    struct Case {
        int32_t from;
        int direction;
        int32_t to;
    } cases[] = {{0, +1, 5}, {5, +1, 6}, {6, -1, 5}, {6, +1, 6}, {0, -1, 0}, {3, +1, 0}, {3, -1, 6}};
    for (const auto& c : cases) {
        setValue(c.from);
        EXPECT_EQ(press(c.direction), c.to) << c.from << " " << c.direction;
    }
}

TEST_F(PresetStepperTest, ListSyntaxEdges) {
    ListValueIterator it(u"x,,y= -3 ,z");
    std::vector<std::pair<std::u16string, int32_t>> items;
    for (it.first(); !it.done(); it.next())
        items.emplace_back(it.itemText, it.value);
    EXPECT_EQ(items,
              (std::vector<std::pair<std::u16string, int32_t>>{{u"x", 0}, {u"", 1}, {u"y", -3}, {u"z", -2}}));

    for (const std::u16string empty : {u"", u"range", u"range 5,4"}) {
        ListValueIterator none(empty);
        none.first();
        EXPECT_TRUE(none.done()) << empty.size();
    }
    ListValueIterator single(u"range 7");
    single.first();
    EXPECT_EQ(single.value, 7);
    EXPECT_EQ(single.itemText, u"7");
    single.next();
    EXPECT_TRUE(single.done());

    // The numbers start after the word and one separator, whatever it is.
    ListValueIterator skipped(u"range12,14");
    skipped.first();
    EXPECT_EQ(skipped.value, 2);

    // The int32 ends are reachable without overflow.
    ListValueIterator top(u"range 2147483646,2147483647");
    int count = 0;
    for (top.first(); !top.done(); top.next())
        ++count;
    EXPECT_EQ(count, 2);
}

TEST_F(PresetStepperTest, WideRangeStepsAtOnce) {
    list(u"range -2147483648,2147483647");
    setValue(2147483647);
    wrap(true);
    EXPECT_EQ(press(+1), -2147483647 - 1); // the last value wraps to the first
    setValue(7);
    EXPECT_EQ(press(-1), 6);
}

TEST_F(PresetStepperTest, EmptyListsChangeNothingAndNegativeValuesUseTheRememberedOne) {
    for (const std::u16string empty : {u"", u"range"}) {
        list(empty);
        setValue(3);
        EXPECT_EQ(press(+1), 3);
    }
    EXPECT_TRUE(host.sent.empty());

    list(u"range 0,10");
    setValue(5);
    setValue(-1);
    EXPECT_EQ(press(+1), 6);
    setValue(0); // 0 is not remembered
    setValue(-1);
    EXPECT_EQ(press(-1), 5);
}

TEST_F(PresetStepperTest, OnlyTheReleaseSteps) {
    list(u"range 0,10");
    setValue(4);
    deliver(*m, Pq_presetincrementfixerGui::kIncrement, true);
    EXPECT_TRUE(host.sent.empty());
    deliver(*m, Pq_presetincrementfixerGui::kIncrement, false);
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0].pinId, Pq_presetincrementfixerGui::kValue);
    EXPECT_EQ(host.sent[0].as<int32_t>(), 5);
}
