// A host written from the published binary boundary alone: it includes none of the
// project's headers, provides the three drawing services itself (recording what faces ask of
// them), and drives the single-module text rectangle's composited face.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace boundary {

struct Guid {
    uint32_t a;
    uint16_t b, c;
    uint8_t d[8];
};
bool same(const Guid& x, const Guid& y) {
    return std::memcmp(&x, &y, 16) == 0;
}
const Guid kUnknown = {0, 0, 0xC000, {0, 0, 0, 0, 0, 0, 0, 0x46}};
const Guid kFactory = {0x9A7904B7, 0x7F7F, 0x4D61, {0xB5, 0x58, 0xC1, 0xA6, 0x69, 0x5B, 0xB6, 0x38}};
const Guid kGuiHost = {0x174F9DDC, 0x1850, 0x40DB, {0xBA, 0xF0, 0xE0, 0xB4, 0x1D, 0x07, 0x96, 0x45}};
const Guid kCompositedHost = {0x2A3F4D28, 0x52C5, 0x4A31, {0xBF, 0x85, 0xB7, 0x98, 0x53, 0x26, 0x5F, 0x65}};
const Guid kUserInterface = {0xCACB3203, 0x4A57, 0x4209, {0x9E, 0x00, 0x0C, 0x4B, 0x95, 0x04, 0x57, 0xF6}};
const Guid kComposited = {0x0157347B, 0x3FD3, 0x4CEE, {0x94, 0x7E, 0x88, 0xF6, 0x94, 0x34, 0x92, 0x54}};

struct Unknown {
    virtual int32_t queryInterface(const Guid&, void**) = 0;
    virtual int32_t addRef() = 0;
    virtual int32_t release() = 0;
};
struct Factory : Unknown {
    virtual int32_t createInstance(const char16_t*, int32_t, Unknown*, void**) = 0;
    virtual int32_t getSdkInformation(int32_t*, int32_t, char16_t*) = 0;
};
struct FontInfo {
    uint32_t colour;
    int32_t height;
    uint32_t flags;
    int32_t reserved[5];
};
struct GuiHost : Unknown {
    virtual int32_t setPin(int32_t, int32_t, const void*, int32_t) = 0;
    virtual int32_t placeholder4() = 0;
    virtual int32_t placeholder5() = 0;
    virtual int32_t placeholder6() = 0;
    virtual int32_t placeholder7() = 0;
    virtual int32_t getFontInfo(const char16_t*, FontInfo*, void**) = 0;
};
struct CompositedHost : Unknown {
    virtual int32_t setCapture() = 0;
    virtual int32_t getCapture(int32_t*) = 0;
    virtual int32_t releaseCapture() = 0;
    virtual int32_t invalidateRect(const int32_t*) = 0;
};
struct UserInterface : Unknown {
    virtual int32_t initialize() = 0;
    virtual int32_t setPinValue(int32_t, int32_t, int32_t, const void*) = 0;
    virtual int32_t notifyPin(int32_t, int32_t) = 0;
};
struct Composited : Unknown {
    virtual int32_t paint(int32_t) = 0;
    virtual int32_t measure(int32_t, int32_t, int32_t*) = 0;
    virtual int32_t arrange(int32_t, int32_t, int32_t, int32_t) = 0;
    virtual int32_t placeholder6() = 0;
    virtual int32_t placeholder7() = 0;
    virtual int32_t onMouseDown(int32_t, int32_t, int32_t) = 0;
    virtual int32_t onMouseMove(int32_t, int32_t, int32_t) = 0;
    virtual int32_t onMouseUp(int32_t, int32_t, int32_t) = 0;
};

struct PathStep {
    int32_t kind;
    float v[6];
};
struct LineBrush {
    float x1, y1, x2, y2;
    uint32_t argb1, argb2;
    int32_t wrap;
};

// What the faces asked of the drawing services.
struct Fill {
    int32_t dc;
    std::vector<PathStep> steps;
    LineBrush brush;
    int32_t antialias;
};
struct Text {
    int32_t dc;
    void* font;
    std::u16string text;
    int32_t rect[4];
    uint32_t format, colour;
};
std::vector<Fill> fills;
std::vector<Text> texts;
constexpr int32_t kSurface = 7; // the one surface this host has made

} // namespace boundary

using namespace boundary;

extern "C" __attribute__((visibility("default"))) int32_t pqdc_set_pixel(int32_t dc, int32_t, int32_t,
                                                                         uint32_t) {
    return dc == kSurface ? 0 : 1;
}
extern "C" __attribute__((visibility("default"))) int32_t
pqdc_fill_path(int32_t dc, const PathStep* steps, int32_t count, const LineBrush* brush, int32_t antialias) {
    fills.push_back({dc, std::vector<PathStep>(steps, steps + count), *brush, antialias});
    return dc == kSurface ? 0 : 1;
}
extern "C" __attribute__((visibility("default"))) int32_t pqdc_draw_text(int32_t dc, void* font,
                                                                         const char16_t* text, int32_t length,
                                                                         const int32_t* rect, uint32_t format,
                                                                         uint32_t colour) {
    texts.push_back(
        {dc, font, std::u16string(text, length), {rect[0], rect[1], rect[2], rect[3]}, format, colour});
    return dc == kSurface ? 0 : 1;
}

namespace {

int fontToken; // the font handle this host hands out

struct Host {
    bool haveFont = true;
    bool captured = false;
    int repaints = 0;
    std::u16string styleAsked;
    std::vector<std::pair<int32_t, std::vector<uint8_t>>> values;

    struct Gui final : GuiHost {
        Host& h;
        explicit Gui(Host& host) : h(host) {}
        int32_t queryInterface(const Guid& iid, void** out) override { return h.query(iid, out); }
        int32_t addRef() override { return 1; }
        int32_t release() override { return 1; }
        int32_t setPin(int32_t pin, int32_t size, const void* data, int32_t) override {
            const auto* b = static_cast<const uint8_t*>(data);
            h.values.push_back({pin, std::vector<uint8_t>(b, b + size)});
            return 0;
        }
        int32_t placeholder4() override { return -2; }
        int32_t placeholder5() override { return -2; }
        int32_t placeholder6() override { return -2; }
        int32_t placeholder7() override { return -2; }
        int32_t getFontInfo(const char16_t* style, FontInfo* info, void** font) override {
            h.styleAsked = style;
            if (!h.haveFont) return 1;
            *info = {0x00336699, 14, 0x10, {}};
            *font = &fontToken;
            return 0;
        }
    } gui{*this};
    struct Faces final : CompositedHost {
        Host& h;
        explicit Faces(Host& host) : h(host) {}
        int32_t queryInterface(const Guid& iid, void** out) override { return h.query(iid, out); }
        int32_t addRef() override { return 1; }
        int32_t release() override { return 1; }
        int32_t setCapture() override {
            h.captured = true;
            return 0;
        }
        int32_t getCapture(int32_t* c) override {
            *c = h.captured ? 1 : 0;
            return 0;
        }
        int32_t releaseCapture() override {
            h.captured = false;
            return 0;
        }
        int32_t invalidateRect(const int32_t*) override {
            ++h.repaints;
            return 0;
        }
    } faces{*this};

    int32_t query(const Guid& iid, void** out) {
        *out = nullptr;
        if (same(iid, kGuiHost) || same(iid, kUnknown)) *out = &gui;
        if (same(iid, kCompositedHost)) *out = &faces;
        return *out != nullptr ? 0 : -2;
    }
};

struct TextRectangleContract : ::testing::Test {
    void* library = nullptr;
    Host host;
    UserInterface* module = nullptr;
    Composited* face = nullptr;

    void SetUp() override {
        fills.clear();
        texts.clear();
        library = dlopen(PQ_PLUGIN_DIR "/pq_TextRectangle.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto entry = reinterpret_cast<int32_t (*)(void**)>(dlsym(library, "MP_GetFactory"));
        ASSERT_NE(entry, nullptr);
        void* unknown = nullptr;
        ASSERT_EQ(entry(&unknown), 0);
        void* factory = nullptr;
        ASSERT_EQ(static_cast<Unknown*>(unknown)->queryInterface(kFactory, &factory), 0);
        void* created = nullptr;
        ASSERT_EQ(
            static_cast<Factory*>(factory)->createInstance(u"QM pq_TextRectangle", 1, &host.gui, &created),
            0);
        void* ui = nullptr;
        ASSERT_EQ(static_cast<Unknown*>(created)->queryInterface(kUserInterface, &ui), 0);
        static_cast<Unknown*>(created)->release();
        module = static_cast<UserInterface*>(ui);
        void* f = nullptr;
        ASSERT_EQ(module->queryInterface(kComposited, &f), 0);
        face = static_cast<Composited*>(f);
        module->initialize();
    }
    void TearDown() override {
        if (face != nullptr) face->release();
        if (module != nullptr) module->release();
        if (library != nullptr) dlclose(library);
    }
    void text(int32_t pin, const std::u16string& value) {
        module->setPinValue(pin, 0, static_cast<int32_t>(value.size() * 2), value.data());
        module->notifyPin(pin, 0);
    }
    void flag(int32_t pin, bool value) {
        module->setPinValue(pin, 0, 1, &value);
        module->notifyPin(pin, 0);
    }
};

} // namespace

TEST_F(TextRectangleContract, PaintsOneFigureAndOneLineOfText) {
    int32_t desired[2] = {0, 0};
    face->measure(500, 5, desired);
    EXPECT_EQ(desired[0], 100);
    EXPECT_EQ(desired[1], 15);
    face->arrange(0, 40, 0, 90);
    const float radius = 5.0f;
    module->setPinValue(3, 0, 4, &radius);
    flag(4, true);
    text(8, u"FF102030");
    text(9, u"80405060");
    text(0, u"Hi");
    text(1, u"Label");
    EXPECT_EQ(host.repaints, 5);

    EXPECT_EQ(face->paint(kSurface), 0);
    ASSERT_EQ(fills.size(), 1u);
    const Fill& fill = fills[0];
    EXPECT_EQ(fill.dc, kSurface);
    EXPECT_EQ(fill.antialias, 1);
    ASSERT_EQ(fill.steps.size(), 4u);
    EXPECT_EQ(fill.steps[0].kind, 2); // the top-left arc of a 10 x 10 box from 180 degrees
    EXPECT_EQ(fill.steps[0].v[2], 10.0f);
    EXPECT_EQ(fill.steps[0].v[4], 180.0f);
    EXPECT_EQ(fill.steps[1].kind, 1); // a plain corner
    EXPECT_EQ(fill.steps[1].v[0], 89.0f);
    EXPECT_EQ(fill.brush.argb1, 0xFF102030u);
    EXPECT_EQ(fill.brush.argb2, 0x80405060u);
    EXPECT_EQ(fill.brush.y2, 40.0f);
    EXPECT_EQ(fill.brush.wrap, 0);

    EXPECT_EQ(host.styleAsked, u"Label");
    ASSERT_EQ(texts.size(), 1u);
    const Text& t = texts[0];
    EXPECT_EQ(t.font, &fontToken);
    EXPECT_EQ(t.text, u"Hi");
    EXPECT_EQ(t.format, 0x24u | 0x2u); // single line, vertically centred, right-aligned
    EXPECT_EQ(t.colour, 0x00336699u);
    EXPECT_EQ((std::vector<int32_t>(t.rect, t.rect + 4)), (std::vector<int32_t>{0, 0, 90, 40}));

    flag(2, true); // greyed
    face->paint(kSurface);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1].colour, 0x808080u);
}

TEST_F(TextRectangleContract, NoFontSkipsTheTextAndAnUnknownHandleStillAnswersZero) {
    face->arrange(0, 30, 0, 60);
    text(0, u"Hi");
    host.haveFont = false;
    EXPECT_EQ(face->paint(kSurface), 0);
    EXPECT_EQ(fills.size(), 1u);
    EXPECT_TRUE(texts.empty());

    host.haveFont = true;
    EXPECT_EQ(face->paint(999), 0); // names no surface
    EXPECT_EQ(texts.size(), 1u);
}

TEST_F(TextRectangleContract, PressedFollowsTheMouseWithoutTakingTheCapture) {
    face->onMouseDown(0, 5, 5);
    EXPECT_FALSE(host.captured);
    face->onMouseUp(0, 5, 5);
    ASSERT_EQ(host.values.size(), 2u);
    EXPECT_EQ(host.values[0], (std::pair<int32_t, std::vector<uint8_t>>{10, {1}}));
    EXPECT_EQ(host.values[1], (std::pair<int32_t, std::vector<uint8_t>>{10, {0}}));
}
