// The faceless legacy modules in the edition this executable is built for.
#include <gtest/gtest.h>

#include <limits>

#include "modules/guiutil/bool_text.h"
#include "modules/guiutil/double_click_reset.h"
#include "modules/guiutil/float_reset_x2.h"
#include "tests/gui/module_holder.h"

using namespace guitest;

namespace {
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct BoolTextTest : ::testing::Test {
    FakeGuiHost host;
    Held<BoolText> m = makeLegacy<BoolText>(host);
    std::vector<std::u16string> texts() const {
        std::vector<std::u16string> t;
        for (const auto& s : host.sent) {
            EXPECT_EQ(s.pinId, BoolText::kTextOut);
            t.push_back(s.text());
        }
        return t;
    }
};
} // namespace

TEST_F(BoolTextTest, FollowsInputAndSendsOnlyChangesOfTheChosenText) {
    deliverText(*m, BoolText::kFalseText, u"off");
    deliverText(*m, BoolText::kTrueText, u"on");
    deliver(*m, BoolText::kInput, true);
    deliverText(*m, BoolText::kFalseText, u"OFF"); // not chosen while Input is true
    deliver(*m, BoolText::kInput, false);
    deliver(*m, BoolText::kInput, false);
    EXPECT_EQ(texts(), (std::vector<std::u16string>{u"off", u"on", u"OFF"}));
}

TEST_F(BoolTextTest, EmptyAndEqualTextsSendNothingAndHostEditsAreAnswered) {
    deliver(*m, BoolText::kInput, true);
    deliver(*m, BoolText::kInput, false);
    EXPECT_TRUE(host.sent.empty());
    deliverText(*m, BoolText::kFalseText, u"same");
    deliverText(*m, BoolText::kTrueText, u"same");
    deliver(*m, BoolText::kInput, true);
    deliver(*m, BoolText::kInput, false);
    EXPECT_EQ(texts(), std::vector<std::u16string>{u"same"});
    deliverText(*m, BoolText::kTextOut, u"edited by the host");
    EXPECT_EQ(texts(), (std::vector<std::u16string>{u"same", u"same"}));
}

namespace {
// The double-click reset with a clock the test sets.
class ClockedReset : public DoubleClickReset {
public:
    int32_t now = 0;

protected:
    int32_t readClock() const override { return now; }
};

struct DoubleClickTest : ::testing::Test {
    FakeGuiHost host;
    Held<ClockedReset> m = makeLegacy<ClockedReset>(host);
    void setUp(float resetValue, float window) {
        m->now = 10;
        deliver(*m, DoubleClickReset::kResetValue, resetValue);
        deliver(*m, DoubleClickReset::kDoubleClickTime, window);
    }
    void button(int32_t at, bool down) {
        m->now = at;
        deliver(*m, DoubleClickReset::kButton, down);
    }
    void clicks(std::initializer_list<int32_t> times) {
        bool down = true;
        for (int32_t t : times) {
            button(t, down);
            down = !down;
        }
    }
};
} // namespace

TEST_F(DoubleClickTest, ResetsOnlyWhenBothClicksEndInsideTheWindow) {
    setUp(0.25f, 400.0f);
    clicks({1000, 1100, 1200, 1300});
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0].pinId, DoubleClickReset::kValueOut);
    EXPECT_EQ(host.sent[0].as<float>(), 0.25f);

    deliver(*m, DoubleClickReset::kValueOut, 0.5f); // the host moves the value again
    clicks({2000, 2100, 2200, 2450});
    EXPECT_EQ(host.sent.size(), 1u);
    clicks({3000, 3100, 3200, 3400}); // exactly the window: no reset
    EXPECT_EQ(host.sent.size(), 1u);
    clicks({4000, 4100, 4200, 4300}); // a fresh double click
    EXPECT_EQ(host.sent.size(), 2u);
}

TEST_F(DoubleClickTest, SingleClicksAndEqualValuesSendNothing) {
    setUp(0.0f, 400.0f);
    clicks({1000, 1100});
    clicks({5000, 5100});
    EXPECT_TRUE(host.sent.empty());
    clicks({6000, 6050, 6100, 6150}); // Reset Value equals Value Out
    EXPECT_TRUE(host.sent.empty());
    // The flags were cleared: one more click is not the end of a double click.
    clicks({6200, 6250});
    EXPECT_TRUE(host.sent.empty());
}

TEST_F(DoubleClickTest, ANotificationOfAnotherPinWithTheButtonUpCountsAsARelease) {
    setUp(1.0f, 400.0f);
    clicks({1000, 1100, 1200, 1300});
    ASSERT_EQ(host.sent.size(), 1u);
    m->now = 1320;
    deliver(*m, DoubleClickReset::kResetValue, 2.0f); // Button is up: this sets the released flag
    clicks({1350, 1390});                             // so a single click completes a double click
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent[1].as<float>(), 2.0f);
}

TEST_F(DoubleClickTest, NanResetValueAndNanWindowFollowTheEditionRule) {
    setUp(kNaN, 400.0f);
    clicks({1000, 1100, 1200, 1300});
    // Newest: a NaN never differs. Earlier: it always does, and is sent.
    EXPECT_EQ(host.sent.size(), pq::kEarlierEdition ? 1u : 0u);

    host.sent.clear();
    deliver(*m, DoubleClickReset::kResetValue, 7.0f);
    deliver(*m, DoubleClickReset::kDoubleClickTime, kNaN);
    clicks({2000, 2100, 2200, 2300});
    // Newest: the window test passes with a NaN window. Earlier: it fails.
    EXPECT_EQ(host.sent.size(), pq::kEarlierEdition ? 0u : 1u);
}

namespace {
struct FloatResetTest : ::testing::Test {
    FakeGuiHost host;
    Held<pq_FloatResetX2> m = makeLegacy<pq_FloatResetX2>(host);
    std::vector<float> values() const {
        std::vector<float> v;
        for (const auto& s : host.sent)
            v.push_back(s.as<float>());
        return v;
    }
};
} // namespace

TEST_F(FloatResetTest, EachTriggerSetsItsPresetWhenNotifiedTrue) {
    deliver(*m, pq_FloatResetX2::kValueA, 0.3f);
    deliver(*m, pq_FloatResetX2::kValueB, 0.7f);
    deliver(*m, pq_FloatResetX2::kResetA, true);
    deliver(*m, pq_FloatResetX2::kResetA, false);
    deliver(*m, pq_FloatResetX2::kValueA,
            0.4f); // a preset change alone does nothing, even while its reset is true
    deliver(*m, pq_FloatResetX2::kResetB, true);
    deliver(*m, pq_FloatResetX2::kResetA, true);
    deliver(*m, pq_FloatResetX2::kValueOut, 0.9f); // the host's value stays until a reset is notified
    EXPECT_EQ(values(), (std::vector<float>{0.3f, 0.7f, 0.4f}));
    deliver(*m, pq_FloatResetX2::kResetB, true);
    EXPECT_EQ(values(), (std::vector<float>{0.3f, 0.7f, 0.4f, 0.7f}));
    for (const auto& s : host.sent)
        EXPECT_EQ(s.pinId, pq_FloatResetX2::kValueOut);
}

TEST_F(FloatResetTest, NanPresetFollowsTheEditionRule) {
    deliver(*m, pq_FloatResetX2::kValueA, kNaN);
    deliver(*m, pq_FloatResetX2::kResetA, true);
    EXPECT_EQ(host.sent.size(), pq::kEarlierEdition ? 1u : 0u);
}
