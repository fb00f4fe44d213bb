// The GUI runtime in the edition this executable is built for: legacy base, pins, text and
// colour helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "runtime/audio/mp_registration.h"
#include "runtime/gui/mp_gui_base.h"
#include "runtime/gui/mp_gui_drawing.h"
#include "tests/gui/module_holder.h"

using namespace guitest;

namespace {

// A legacy module with one pin of every type; every change routine counts its calls.
class Probe : public MpGuiBase {
public:
    static inline int destroyed = 0;
    Probe() {
        f.attach(this, 0, &Probe::changed);
        i.attach(this, 1, &Probe::changed);
        b.attach(this, 2, &Probe::changed);
        t.attach(this, 3, &Probe::changed);
        blob.attach(this, 4, &Probe::changed);
        silent.attach(this, 5);
    }
    ~Probe() override { ++destroyed; }
    void changed(int32_t) { ++routines; }

    int routines = 0;
    MpGuiPin<float> f;
    MpGuiPin<int32_t> i;
    MpGuiPin<bool> b;
    StringGuiPin t;
    MpGuiPin<MpBlob> blob;
    MpGuiPin<float> silent;
};

template <class T> bool raw(MpGuiPinBase& pin, const T& v) {
    return pin.setValueRaw(0, sizeof(T), &v);
}

struct ProbeTest : ::testing::Test {
    FakeGuiHost host;
    Held<Probe> probe = makeLegacy<Probe>(host);
};

} // namespace

TEST_F(ProbeTest, AnswersItsTwoInterfacesAndCountsReferences) {
    void* out = nullptr;
    EXPECT_EQ(probe->queryInterface(gmpi::MP_IID_GUI_PLUGIN, &out), gmpi::kMpOk);
    EXPECT_EQ(out, static_cast<gmpi::IMpUserInterface*>(probe.get()));
    EXPECT_EQ(probe->queryInterface(gmpi::MP_IID_UNKNOWN, &out), gmpi::kMpOk);
    EXPECT_EQ(probe->addRef(), 4);
    out = &out;
    EXPECT_EQ(probe->queryInterface(gmpi::MP_IID_GUI_PLUGIN2, &out), gmpi::kMpNoSupport);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(probe->release(), 3);
    EXPECT_EQ(probe->release(), 2);
    EXPECT_EQ(probe->release(), 1);
}

TEST(LegacyBase, LastReleaseDestroys) {
    FakeGuiHost host;
    Probe::destroyed = 0;
    Probe* p = makeLegacy<Probe>(host).release();
    p->addRef();
    p->addRef();
    EXPECT_EQ(p->release(), 2);
    EXPECT_EQ(p->release(), 1);
    EXPECT_EQ(Probe::destroyed, 0);
    EXPECT_EQ(p->release(), 0);
    EXPECT_EQ(Probe::destroyed, 1);
}

TEST_F(ProbeTest, ValueWithoutNotificationIsStoredSilentlyUnknownPinsFail) {
    const float v = 2.5f;
    EXPECT_EQ(probe->setPinValue(0, 0, 4, &v), gmpi::kMpOk);
    EXPECT_EQ(probe->f.getValue(), 2.5f);
    EXPECT_EQ(probe->routines, 0);
    EXPECT_EQ(probe->notifyPin(5, 0), gmpi::kMpOk); // no routine: nothing happens
    EXPECT_EQ(probe->routines, 0);
    EXPECT_EQ(probe->notifyPin(1, 0), gmpi::kMpOk);
    EXPECT_EQ(probe->routines, 1);
    EXPECT_EQ(probe->setPinValue(99, 0, 4, &v), gmpi::kMpFail);
    EXPECT_EQ(probe->notifyPin(99, 0), gmpi::kMpFail);
    EXPECT_EQ(probe->notifyPin(-1, 0), gmpi::kMpFail);
    EXPECT_TRUE(host.sent.empty());
}

TEST_F(ProbeTest, ScalarPinsCompareDeliveredBytes) {
    EXPECT_TRUE(raw(probe->f, 1.0f));
    EXPECT_FALSE(raw(probe->f, 1.0f));
    EXPECT_TRUE(raw(probe->f, 0.0f));
    EXPECT_TRUE(raw(probe->f, -0.0f)); // bitwise: -0.0 is a change
    EXPECT_TRUE(std::signbit(probe->f.getValue()));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(raw(probe->f, nan));
    EXPECT_FALSE(raw(probe->f, nan)); // the same bytes again

    EXPECT_TRUE(raw(probe->i, int32_t{7}));
    EXPECT_FALSE(raw(probe->i, int32_t{7}));
    // Short or missing deliveries leave the value alone; a long one gives its first 4 bytes.
    const int64_t wide = 0x0000000500000009;
    EXPECT_FALSE(probe->i.setValueRaw(0, 2, &wide));
    EXPECT_FALSE(probe->i.setValueRaw(0, 4, nullptr));
    EXPECT_TRUE(probe->i.setValueRaw(0, 8, &wide));
    EXPECT_EQ(probe->i.getValue(), 9);
}

TEST_F(ProbeTest, BoolPinTakesOneOrFourBytes) {
    EXPECT_TRUE(raw(probe->b, int32_t{7}));
    EXPECT_TRUE(probe->b.getValue());
    EXPECT_TRUE(raw(probe->b, int32_t{7})); // four bytes always count as a change
    EXPECT_FALSE(raw(probe->b, true));
    EXPECT_TRUE(raw(probe->b, int32_t{0}));
    EXPECT_FALSE(probe->b.getValue());
    const uint8_t two[2] = {1, 0};
    EXPECT_TRUE(probe->b.setValueRaw(0, 2, two)); // other sizes: the first byte
    EXPECT_TRUE(probe->b.getValue());
    EXPECT_FALSE(probe->b.setValueRaw(0, 0, two));
    EXPECT_EQ(probe->b.getValueRawSize(), 1);
    EXPECT_EQ(probe->b.getDatatype(), 4);
}

TEST_F(ProbeTest, TextPinTakesCodeUnitsAndDropsAnOddByte) {
    const char16_t ab[] = u"ab";
    EXPECT_TRUE(probe->t.setValueRaw(0, 4, ab));
    EXPECT_FALSE(probe->t.setValueRaw(0, 4, ab));
    EXPECT_TRUE(probe->t.setValueRaw(0, 2, ab));
    EXPECT_EQ(probe->t.getValue(), u"a");
    probe->t.setValueRaw(0, 3, ab); // odd length: the last byte is dropped
    EXPECT_EQ(probe->t.getValue(), u"a");
    EXPECT_FALSE(probe->t.setValueRaw(0, 2, ab));
    EXPECT_TRUE(probe->t.setValueRaw(0, -8, ab));
    EXPECT_EQ(probe->t.getValue(), u"");
    probe->t.setValueRaw(0, 6, nullptr);
    EXPECT_EQ(probe->t.getValue(), u"");
    EXPECT_EQ(probe->t.getDatatype(), 1);
}

TEST_F(ProbeTest, SetValueSendsOnlyChanges) {
    probe->f.setValue(-0.0f); // equal to 0.0
    probe->i.setValue(0);
    probe->b.setValue(false);
    probe->t.setValue(u"");
    probe->blob.setValue(MpBlob());
    EXPECT_TRUE(host.sent.empty());

    const uint8_t bytes[3] = {1, 2, 3};
    probe->blob.setValue(MpBlob(bytes, 3));
    probe->blob.setValue(MpBlob(bytes, 3));
    uint8_t changed[3] = {1, 2, 4};
    probe->blob.setValue(MpBlob(changed, 3));
    probe->t.setValue(u"xy");
    probe->b.setValue(true);
    probe->f.setValue(0.5f);
    ASSERT_EQ(host.sent.size(), 5u);
    EXPECT_EQ(host.sent[0].pinId, 4);
    EXPECT_EQ(host.sent[0].bytes, std::vector<uint8_t>({1, 2, 3}));
    EXPECT_EQ(host.sent[1].bytes, std::vector<uint8_t>({1, 2, 4}));
    EXPECT_EQ(host.sent[2].text(), u"xy");
    EXPECT_EQ(host.sent[2].bytes.size(), 4u);
    EXPECT_EQ(host.sent[3].bytes, std::vector<uint8_t>({1}));
    EXPECT_EQ(host.sent[4].as<float>(), 0.5f);
    EXPECT_EQ(probe->routines, 0); // a module does not hear its own assignments
}

TEST_F(ProbeTest, NanAssignmentFollowsTheEditionRule) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    probe->f.setValue(nan);
    probe->f.setValue(nan);
    // Newest: ordered comparisons never send a NaN. Earlier: a NaN always differs.
    EXPECT_EQ(host.sent.size(), pq::kEarlierEdition ? 2u : 0u);
}

TEST_F(ProbeTest, BlobPinTakesAndComparesBytes) {
    const uint8_t bytes[4] = {9, 8, 7, 6};
    EXPECT_TRUE(probe->blob.setValueRaw(0, 4, bytes));
    EXPECT_FALSE(probe->blob.setValueRaw(0, 4, bytes));
    EXPECT_TRUE(probe->blob.setValueRaw(0, 2, bytes));
    EXPECT_EQ(probe->blob.getValueRawSize(), 2);
    EXPECT_TRUE(probe->blob.setValueRaw(0, 0, nullptr));
    EXPECT_EQ(probe->blob.getValueRawSize(), 0);
    EXPECT_EQ(probe->blob.getDatatype(), 10);
}

TEST(LegacyBase, HostWithoutGuiServicesFailsCreation) {
    pq::registerModule<Probe>(u"test probe", gmpi::kSubtypeGuiLegacy);
    FakeGuiHost host;
    host.offerGuiHost = false;
    void* out = &out;
    EXPECT_EQ(MpFactory::instance()->createInstance(u"test probe", 1, host.unknown(), &out), gmpi::kMpFail);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(MpFactory::instance()->createInstance(u"test probe", 1, nullptr, &out), gmpi::kMpFail);

    FakeGuiHost good;
    ASSERT_EQ(MpFactory::instance()->createInstance(u"test probe", 1, good.unknown(), &out), gmpi::kMpOk);
    auto* module = static_cast<gmpi::IMpUserInterface*>(out);
    const float v = 1.0f;
    static_cast<Probe*>(module)->f.setValue(v);
    EXPECT_EQ(good.sent.size(), 1u); // the host arrived with creation
    EXPECT_EQ(module->release(), 0); // one reference, the creator's
}

TEST(LegacyBase, HostQueryThrowsTheText) {
    FakeGuiHost host;
    host.offerGuiHost = false;
    Probe p;
    try {
        p.attachHost(host.unknown());
        FAIL();
    } catch (const char* text) {
        EXPECT_STREQ(text, "host Interfaces not supported");
    }
}

TEST(TextConversion, JoinsPairsAndReplacesLoneSurrogates) {
    const auto& conv = pq::gui::utf8Converter();
    EXPECT_EQ(&conv, &pq::gui::utf8Converter());
    EXPECT_EQ(conv.toUtf8(u"A\u00e9\u20ac", 3), "A\xc3\xa9\xe2\x82\xac");
    const char16_t pair[] = {0xD83D, 0xDE00};
    EXPECT_EQ(conv.toUtf8(pair, 2), "\xf0\x9f\x98\x80");
    // A high surrogate at the very end: nothing past the text is read.
    EXPECT_EQ(conv.toUtf8(pair, 1), "\xef\xbf\xbd");
    const char16_t low[] = {0xDE00, u'x'};
    EXPECT_EQ(conv.toUtf8(low, 2), "\xef\xbf\xbdx");
    EXPECT_EQ(conv.fromUtf8("\xf0\x9f\x98\x80", 4), std::u16string(pair, 2));
    EXPECT_EQ(conv.fromUtf8("\xe2\x82", 2), u"\uFFFD\uFFFD");

    StringGuiPin pin;
    const char16_t text[] = u"on";
    pin.setValueRaw(0, 4, text);
    EXPECT_EQ(pin.getValueUtf8(), "on");
}

TEST(Colour, TableFollowsTheSrgbCurve) {
    EXPECT_EQ(srgbToLinearTable[0], 0.0f);
    EXPECT_NEAR(srgbToLinearTable[255], 1.0f, 1e-6);
    EXPECT_NEAR(srgbToLinearTable[10], 0.003035, 1e-6);
    EXPECT_NEAR(srgbToLinearTable[128], 0.2158, 1e-4);
}

TEST(Colour, ArgbTextReadsAs32BitHex) {
    struct Case {
        const char16_t* text;
        uint32_t value;
    } cases[] = {
        {u"FF000000", 0xFF000000},
        {u"FF0000", 0x00FF0000},
        {u"", 0},
        {u"  0x80ff00zz", 0x80FF00},
        {u"-2", 0xFFFFFFFE},
        {u"+10", 0x10},
        {u"123456789", 0xFFFFFFFF},
        {u"-123456789", 0xFFFFFFFF},
        {u"0x", 0},
        {u"0xg1", 0},
        {u"ffffffff", 0xFFFFFFFF},
        {u"\t\n7", 7},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pq::gui::readHex32(c.text), c.value) << std::u16string(c.text).size();

    const auto black = colorFromArgbText(u"FF000000");
    EXPECT_EQ(black.a, 1.0f);
    EXPECT_EQ(black.r + black.g + black.b, 0.0f);
    const auto red = colorFromArgbText(u"FF0000");
    EXPECT_EQ(red.a, 0.0f);
    EXPECT_NEAR(red.r, 1.0f, 1e-6);
    const auto none = colorFromArgbText(u"");
    EXPECT_EQ(none.r + none.g + none.b + none.a, 0.0f);
    const auto grey = colorFromArgbText(u"80808080");
    EXPECT_NEAR(grey.a, 128 * 0.003921569f, 1e-7);
    EXPECT_EQ(grey.g, srgbToLinearTable[128]);
}

TEST(Numbers, DecimalAndTruncationStayInRange) {
    EXPECT_EQ(pq::gui::readDecimal32(u" -12x", 5), -12);
    EXPECT_EQ(pq::gui::readDecimal32(u"99999999999", 11), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(pq::gui::readDecimal32(u"-99999999999", 12), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(pq::gui::readDecimal32(u"12", 1), 1); // never past the count
    EXPECT_EQ(pq::gui::truncToInt32(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(pq::gui::truncToInt32(1e20f), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(pq::gui::truncToInt32(-1e20f), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(pq::gui::truncToInt32(-2.7f), -2);
}

TEST(TextObject, SetDataAndEmpty) {
    gmpi_sdk::MpString s;
    EXPECT_EQ(s.setData("abc", 3), gmpi::kMpOk);
    EXPECT_EQ(s.getSize(), 3);
    EXPECT_EQ(std::string(s.getData(), 3), "abc");
    s.setData("abc", 0);
    EXPECT_EQ(s.getSize(), 0);
    s.setData("abc", -1);
    EXPECT_EQ(s.getSize(), 0);
    void* out = nullptr;
    EXPECT_EQ(s.queryInterface(gmpi::MP_IID_RETURNSTRING, &out), gmpi::kMpOk);
    EXPECT_EQ(out, static_cast<gmpi::IString*>(&s));
    EXPECT_EQ(s.queryInterface(gmpi::MP_IID_GUI_PLUGIN, &out), gmpi::kMpNoSupport);
    EXPECT_EQ(out, nullptr);
}
