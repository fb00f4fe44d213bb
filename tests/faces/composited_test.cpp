// The composited face base of the single-module libraries and the text rectangle built on it
// (earlier edition). This program exports no drawing services: paints find none.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <memory>

#include "modules/guiutil/rounded_rectangle.h"
#include "modules/guiutil/text_rectangle.h"
#include "tests/gui/fake_gui_host.h"

namespace {

class CompositedHost : public pqhost::GuiHostServices<CompositedHost> {
public:
    bool offerGuiHost = true;
    bool offerComposited = true;
    std::vector<guitest::SentValue> sent;

    int32_t hostSetPin(int32_t pinId, int32_t size, const void* data) {
        const auto* b = static_cast<const uint8_t*>(data);
        sent.push_back({pinId, std::vector<uint8_t>(b, b + (b != nullptr && size > 0 ? size : 0))});
        return gmpi::kMpOk;
    }
    bool offers(const gmpi::Guid& iid) const {
        if (iid == MP_IID_GRAPHICS_HOST_COMPOSITED) return offerComposited;
        return offerGuiHost;
    }
};

class PlainFace : public QmGuiCompositedGfxBase {
public:
    using QmGuiCompositedGfxBase::faceHeight;
    int32_t count() const { return refCount; }
};

struct Released {
    template <class M> void operator()(M* m) const { m->release(); }
};
template <class M> using Held = std::unique_ptr<M, Released>;

// Created as the earlier factory does: the host at once, then the first reference.
template <class M> Held<M> create(CompositedHost& host) {
    std::unique_ptr<M> m(new M());
    m->attachHost(host.unknown());
    m->addRef();
    return Held<M>(m.release());
}

} // namespace

TEST(CompositedBase, MeasureClampsEachSideTo15To100) {
    CompositedHost host;
    auto face = create<PlainFace>(host);
    struct Case {
        int32_t w, h, desiredW, desiredH;
    };
    const Case cases[] = {{10, 500, 15, 100},
                          {60, 60, 60, 60},
                          {15, 100, 15, 100},
                          {0, -7, 15, 15},
                          {INT_MIN, INT_MAX, 15, 100}};
    for (const Case& c : cases) {
        int32_t desired[2] = {-1, -1};
        EXPECT_EQ(face->measure(c.w, c.h, desired), gmpi::kMpOk);
        EXPECT_EQ(desired[0], c.desiredW) << c.w;
        EXPECT_EQ(desired[1], c.desiredH) << c.h;
    }
    EXPECT_EQ(face->measure(1, 1, nullptr), gmpi::kMpFail);
}

TEST(CompositedBase, ArrangeIsTopBottomLeftRight) {
    CompositedHost host;
    auto face = create<PlainFace>(host);
    face->arrange(0, 80, 0, 120);
    EXPECT_EQ(face->faceHeight(), 80);
    EXPECT_EQ(face->faceWidth(), 120);
    face->arrange(10, 30, 5, 6);
    EXPECT_EQ(face->faceHeight(), 20);
    EXPECT_EQ(face->faceWidth(), 1);
    face->arrange(INT_MAX, INT_MIN, INT_MIN, INT_MAX); // reversed and huge spans stay defined
    EXPECT_EQ(face->faceHeight(), 0);
    EXPECT_EQ(face->faceWidth(), INT_MAX);
}

TEST(CompositedBase, AnswersItsInterfacesWithOneReferenceEach) {
    CompositedHost host;
    auto face = create<PlainFace>(host);
    EXPECT_EQ(face->count(), 1);
    void* out = nullptr;
    ASSERT_EQ(face->queryInterface(MP_IID_GRAPHICS_COMPOSITED, &out), gmpi::kMpOk);
    EXPECT_EQ(out, static_cast<IQmGraphicsComposited*>(face.get()));
    EXPECT_EQ(face->count(), 2);
    static_cast<IQmGraphicsComposited*>(out)->release();
    EXPECT_EQ(face->count(), 1);
    ASSERT_EQ(face->queryInterface(gmpi::MP_IID_GUI_PLUGIN, &out), gmpi::kMpOk);
    static_cast<gmpi::IMpUnknown*>(out)->release();
    EXPECT_EQ(face->queryInterface(gmpi_gui_api::MP_IID_GRAPHICS2, &out), gmpi::kMpNoSupport);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(face->count(), 1);
}

TEST(CompositedBase, AHostWithoutEitherServiceIsRefused) {
    for (int missing = 0; missing < 2; ++missing) {
        CompositedHost host;
        (missing == 0 ? host.offerGuiHost : host.offerComposited) = false;
        std::unique_ptr<PlainFace> face(new PlainFace());
        try {
            face->attachHost(host.unknown());
            ADD_FAILURE() << "accepted a host without service " << missing;
        } catch (const char* text) {
            EXPECT_STREQ(text, "host Interfaces not supported");
        }
    }
}

namespace {
struct EarlierTextRectangleTest : ::testing::Test {
    CompositedHost host;
    Held<pq_TextRectangle> m = create<pq_TextRectangle>(host);
};
} // namespace

TEST_F(EarlierTextRectangleTest, HasTheElevenPinsOfItsTable) {
    ASSERT_EQ(m->pins.size(), 11u);
    for (const auto& row : pq_TextRectangle::kPins)
        EXPECT_EQ(m->pins.at(row.id)->getDatatype(), row.datatype) << row.name;
}

TEST_F(EarlierTextRectangleTest, MouseDownPressesAndMouseUpReleasesOnlyWithoutACapture) {
    m->onMouseDown(0, 3, 3);
    m->onMouseDown(0, 4, 4);
    EXPECT_FALSE(host.captured); // no capture taken
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0].pinId, pq_TextRectangle::kPressed);
    EXPECT_EQ(host.sent[0].bytes, std::vector<uint8_t>{1});

    host.captured = true; // someone holds the capture: Pressed stays
    EXPECT_EQ(m->onMouseUp(0, 3, 3), gmpi::kMpOk);
    EXPECT_EQ(host.sent.size(), 1u);
    host.captured = false;
    m->onMouseUp(0, 3, 3);
    m->onMouseUp(0, 3, 3);
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent[1].bytes, std::vector<uint8_t>{0});
}

TEST_F(EarlierTextRectangleTest, HostChangesRepaintAndPaintWithoutServicesDrawsNothing) {
    const std::u16string hello = u"Hello";
    m->setPinValue(0, 0, 10, hello.data());
    m->notifyPin(0, 0);
    m->notifyPin(9, 0);
    m->notifyPin(10, 0);
    EXPECT_EQ(host.invalidations, 2);
    m->arrange(0, 40, 0, 100);
    EXPECT_EQ(m->paint(12345), gmpi::kMpOk);
}

TEST(RoundedPath, CornersAreArcsOfAClampedDiameterOrPlainPoints) {
    using pq::guiutil::roundedPathSteps;
    const auto all = roundedPathSteps(100, 40, 8.0f, {true, true, true, true});
    const float expected[4][6] = {
        {0, 0, 16, 16, 180, 90}, {83, 0, 16, 16, 270, 90}, {83, 23, 16, 16, 0, 90}, {0, 23, 16, 16, 90, 90}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(all[i].kind, pq::gui::kPathArc);
        for (int k = 0; k < 6; ++k)
            EXPECT_EQ(all[i].v[k], expected[i][k]) << i << " " << k;
    }
    EXPECT_EQ(roundedPathSteps(100, 40, 30.0f, {true, true, true, true})[1].v[2], 40.0f); // capped at H
    EXPECT_EQ(roundedPathSteps(100, 40, 7.9f, {true, true, true, true})[0].v[2], 15.0f);  // 15.8 truncated

    for (float radius : {0.0f, -5.0f, std::numeric_limits<float>::quiet_NaN()})
        EXPECT_EQ(roundedPathSteps(100, 40, radius, {true, true, true, true})[0].v[2], 0.0f) << radius;

    const auto plain = roundedPathSteps(100, 40, 8.0f, {false, false, false, false});
    const float corners[4][2] = {{0, 0}, {99, 0}, {99, 39}, {0, 39}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(plain[i].kind, pq::gui::kPathLine);
        EXPECT_EQ(plain[i].v[0], corners[i][0]);
        EXPECT_EQ(plain[i].v[1], corners[i][1]);
        EXPECT_EQ(plain[i].v[2], corners[i][0]);
        EXPECT_EQ(plain[i].v[3], corners[i][1]);
    }
}

TEST(RoundedPath, GradientColoursAreUsedAsWritten) {
    const PqLineBrush b = pq::guiutil::roundedGradientBrush(40, u"FF102030", u"80405060");
    EXPECT_EQ(b.argb1, 0xFF102030u);
    EXPECT_EQ(b.argb2, 0x80405060u);
    EXPECT_EQ(b.y2, 40.0f);
    EXPECT_EQ(b.wrap, 0);
    EXPECT_EQ(pq::guiutil::roundedGradientBrush(40, u"FF102030", u"").argb2, 0xFF102030u);
}
