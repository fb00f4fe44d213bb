// The font cache: the style sheet read through the host, text formats per drawing factory
// and exact style name, shared while clients live and made anew afterwards.
#include <gtest/gtest.h>

#include "runtime/gui/font_cache.h"
#include "runtime/gui/mp_gui_base2.h"
#include "tests/faces/styled_host.h"

using namespace facetest;

namespace {

const std::string kSheet = "FONT_CATEGORY Title\n"
                           "font-family Tahoma, Arial\n"
                           "font-size 18\n"
                           "font-weight bold\n"
                           "font-color #FF8000\n"
                           "FONT_CATEGORY Small\n"
                           "font-size 9\n"
                           "font-weight 200\n";

// A face that draws text, as the text rectangle is.
class StyledFace : public gmpi_gui::MpGuiGfxBase, public FontCacheClient {};

struct Released {
    void operator()(StyledFace* f) const { f->release(); }
};
using Face = std::unique_ptr<StyledFace, Released>;

Face makeFace(StyledHost& host) {
    Face face(new StyledFace());
    face->setHost(host.unknown());
    return face;
}

// What one request answers, with the caller's reference given back at once.
struct Answer {
    bool hasFormat;
    TextStyle style;
};
Answer request(StyledFace& face, const std::string& name) {
    const StyledTextFormat got = face.getTextFormat(name);
    Answer a{got.textFormat != nullptr, *got.style};
    if (got.textFormat != nullptr) got.textFormat->release();
    return a;
}

struct FontCacheTest : ::testing::Test {
    void SetUp() override {
        forgetStyles();
        ASSERT_EQ(FontCache::instance().clientCount(), 0);
        ASSERT_EQ(FontCache::instance().entryCount(), 0u);
    }
};

} // namespace

TEST_F(FontCacheTest, ReadsTheHostsSheetAndMakesFormatsFromIt) {
    StyledHost host(&kSheet);
    Face face = makeFace(host);
    const Answer title = request(*face, "Title");
    EXPECT_TRUE(title.hasFormat);
    EXPECT_EQ(title.style.name, "title");
    EXPECT_EQ(title.style.fontColor, 0xFF0080FFu);
    request(*face, "small");
    request(*face, "nothing such");
    EXPECT_EQ(host.factory.requests,
              (std::vector<FormatRequest>{{"Tahoma", 700, 0, 5, 18.0f},
                                          {"Verdana", 300, 0, 5, 9.0f},
                                          {"Arial", 400, 0, 5, 12.0f}})); // the default style
    EXPECT_EQ(FontCache::instance().styles().size(), 2u);
}

TEST_F(FontCacheTest, FormatsAreSharedPerFactoryAndExactNameAndDroppedWithTheLastClient) {
    StyledHost host(&kSheet);
    StyledHost other(&kSheet); // another drawing factory
    {
        Face a = makeFace(host);
        Face b = makeFace(host);
        request(*a, "Title");
        request(*b, "Title");
        EXPECT_EQ(host.factory.requests.size(), 1u); // shared
        request(*b, "TITLE");                        // same style, another entry
        EXPECT_EQ(host.factory.requests.size(), 2u);
        EXPECT_EQ(host.factory.requests[1].family, "Tahoma");

        Face c = makeFace(other); // another factory: its own formats
        request(*c, "Title");
        EXPECT_EQ(other.factory.requests.size(), 1u);
        EXPECT_EQ(FontCache::instance().entryCount(), 3u);
        c.reset();
        EXPECT_EQ(FontCache::instance().entryCount(), 3u); // two clients still live
        EXPECT_EQ(host.factory.formatsAlive, 2);
    }
    EXPECT_EQ(FontCache::instance().entryCount(), 0u);
    EXPECT_EQ(host.factory.formatsAlive, 0);
    EXPECT_EQ(host.factory.refs, 1); // the cache gave its factory references back

    Face again = makeFace(host);
    request(*again, "Title");
    EXPECT_EQ(host.factory.requests.size(), 3u);          // made anew
    EXPECT_EQ(FontCache::instance().styles().size(), 2u); // the styles stayed
}

TEST_F(FontCacheTest, WithoutASheetEveryNameIsTheDefaultAndTheNextRequestTriesAgain) {
    StyledHost host; // no skin
    Face face = makeFace(host);
    const Answer a = request(*face, "Title");
    EXPECT_EQ(a.style.name, "default");
    EXPECT_EQ(a.style.fontColor, 0xFF000000u);
    EXPECT_EQ(host.factory.requests.back(), (FormatRequest{"Arial", 400, 0, 5, 12.0f}));

    host.styleSheet = std::make_shared<const std::string>(kSheet);
    EXPECT_EQ(request(*face, "Small").style.name, "small"); // read now
}

TEST_F(FontCacheTest, AFailedFormatIsCachedAsNull) {
    StyledHost host(&kSheet);
    host.factory.failFormats = true;
    Face face = makeFace(host);
    EXPECT_FALSE(request(*face, "Title").hasFormat);
    EXPECT_EQ(request(*face, "Title").style.name, "title");
    EXPECT_EQ(host.factory.requests.size(), 1u);
}

TEST_F(FontCacheTest, AFaceWithoutHostsStillFindsItsStyle) {
    Face face(new StyledFace()); // setHost never called
    EXPECT_FALSE(request(*face, "Title").hasFormat);
    EXPECT_EQ(request(*face, "Title").style.name, "default");
}

namespace {
// A stream that claims a size it cannot hold, or reads nothing.
class OddStream final : public gmpi::IMpResourceStream {
public:
    explicit OddStream(int64_t size) : size_(size) {}
    int32_t queryInterface(const gmpi::Guid&, void** out) override {
        *out = nullptr;
        return gmpi::kMpNoSupport;
    }
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }
    int32_t read(void*, int64_t, int32_t) override { return gmpi::kMpFail; }
    int32_t getSize(int64_t* size) override {
        *size = size_;
        return gmpi::kMpOk;
    }

private:
    int64_t size_;
};
} // namespace

TEST_F(FontCacheTest, StreamsOfUnusableSizesLeaveNoStyles) {
    for (int64_t size :
         {int64_t(-1), int64_t(0), int64_t(1) << 62, FontCache::kMaxStyleSheetBytes + 1, int64_t(64)}) {
        OddStream stream(size);
        FontCache::instance().loadStyleSheet(&stream);
        EXPECT_TRUE(FontCache::instance().styles().empty()) << size; // 64 unread bytes are zeros
    }
}
