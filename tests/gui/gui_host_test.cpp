// The substitute host's GUI side: modules created through the factory, values routed back,
// pointer events, and faces painted with cairo.
#include <gtest/gtest.h>

#include <cairo.h>
#include <cstdio>
#include <filesystem>

#include <unistd.h>

#include "host/gui/cairo_drawing.h"
#include "host/gui/gui_module_instance.h"
#include "modules/guiutil/bool_text.h"
#include "modules/guiutil/click_rectangle.h"
#include "runtime/audio/mp_registration.h"

using pqhost::GuiModuleInstance;

namespace {
const bool registered = pq::registerModule<pq_ClickRectangleGui>(u"QM pq_ClickRectangle", 2) ||
                        pq::registerModule<BoolText>(u"Bool Text", 1);

// Creates a module as the host's patch runner does: subtype 1 through createInstance with
// the host object, subtype 2 through createInstance2.
void create(GuiModuleInstance& gui, const char16_t* id, int32_t subtype) {
    (void)registered;
    void* out = nullptr;
    auto* factory = MpFactory::instance();
    const int32_t result = subtype == 1 ? factory->createInstance(id, subtype, gui.hostObject(), &out)
                                        : factory->createInstance2(id, subtype, &out);
    ASSERT_EQ(result, gmpi::kMpOk);
    ASSERT_TRUE(gui.attach(static_cast<gmpi::IMpUnknown*>(out), subtype));
}

uint32_t channel(uint32_t pixel, int shift) {
    return (pixel >> shift) & 0xFF;
}

struct ClickRectangleFace : ::testing::Test {
    GuiModuleInstance gui;
    std::vector<std::pair<int32_t, std::vector<uint8_t>>> routed;
    void SetUp() override {
        create(gui, u"QM pq_ClickRectangle", 2);
        gui.setValueCallback(
            [this](int32_t pin, const std::vector<uint8_t>& bytes) { routed.emplace_back(pin, bytes); });
    }
    void shape(float radius, const std::u16string& top, const std::u16string& bottom) {
        gui.deliverFloat(0, radius);
        for (int32_t pin = 1; pin <= 4; ++pin)
            gui.deliverBool(pin, true);
        gui.deliverText(5, top);
        gui.deliverText(6, bottom);
    }
};
} // namespace

TEST_F(ClickRectangleFace, RoundedCornersAreTransparentAndTheGradientRunsDown) {
    shape(12.0f, u"FFFF0000", u"FF0000FF");
    const pqhost::FaceImage image = gui.render(100, 40);
    ASSERT_EQ(image.width, 100);
    ASSERT_EQ(image.height, 40);
    for (auto [x, y] : {std::pair{0, 0}, {99, 0}, {0, 39}, {99, 39}, {1, 1}})
        EXPECT_EQ(image.at(x, y) >> 24, 0u) << x << "," << y;
    for (auto [x, y] : {std::pair{6, 6}, {50, 0}, {0, 20}, {50, 20}})
        EXPECT_EQ(image.at(x, y) >> 24, 0xFFu) << x << "," << y;

    const uint32_t top = image.at(50, 0), bottom = image.at(50, 39);
    EXPECT_GE(channel(top, 16), 253u);
    EXPECT_LE(channel(top, 0), 2u);
    // The bottom edge is one tenth of the way from red to blue.
    EXPECT_NEAR(channel(bottom, 16), 0.9 * 255, 4);
    EXPECT_NEAR(channel(bottom, 0), 0.1 * 255, 4);
    EXPECT_EQ(gui.sent().size(), 0u);
}

TEST_F(ClickRectangleFace, LinearColoursComeOutAsTheirSrgbTextAndPngHasTheSize) {
    shape(0.0f, u"FF808080", u"");
    const pqhost::FaceImage image = gui.render(64, 32);
    for (auto [x, y] : {std::pair{0, 0}, {63, 31}, {32, 16}}) {
        const uint32_t p = image.at(x, y);
        EXPECT_EQ(p >> 24, 0xFFu);
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(channel(p, shift), 0x80, 1);
    }

    const auto path = std::filesystem::temp_directory_path() /
                      ("gui_host_test_face." + std::to_string(::getpid()) + ".png");
    ASSERT_TRUE(image.savePng(path.string()));
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), 64);
    EXPECT_EQ(cairo_image_surface_get_height(png), 32);
    cairo_surface_destroy(png);
    std::filesystem::remove(path);
}

TEST(FaceImage, PngOfAnImageThatDoesNotHoldTogetherIsRefused) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("gui_host_test_bad_face." + std::to_string(::getpid()) + ".png");
    struct Case {
        int width, height;
        size_t pixels;
    } cases[] = {
        {10, 10, 0},       // no pixels at all
        {10, 10, 99},      // one short
        {4, 4, 17},        // one too many
        {40000, 1, 40000}, // wider than cairo allows
    };
    for (const auto& c : cases) {
        pqhost::FaceImage image;
        image.width = c.width;
        image.height = c.height;
        image.pixels.assign(c.pixels, 0xFF00FF00u);
        EXPECT_FALSE(image.savePng(path.string())) << c.width << "x" << c.height << " " << c.pixels;
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

TEST_F(ClickRectangleFace, ScriptedClickSendsPressedThroughTheCallback) {
    gui.render(50, 20);
    EXPECT_EQ(gui.pointerUp(0, {5, 5}), gmpi::kMpFail); // no capture yet
    EXPECT_EQ(gui.pointerDown(gmpi_gui_api::kPointerFlagShift, {5, 5}), gmpi::kMpOk);
    EXPECT_TRUE(gui.captured());
    gui.pointerMove(0, {80, 5});
    EXPECT_EQ(gui.pointerUp(0, {80, 5}), gmpi::kMpOk);
    EXPECT_FALSE(gui.captured());
    using Routed = std::vector<std::pair<int32_t, std::vector<uint8_t>>>;
    EXPECT_EQ(routed, (Routed{{7, {1}}, {7, {0}}}));
    EXPECT_EQ(gui.sent().size(), 2u);
}

TEST(GuiModuleInstance, LegacyModuleValuesAreRecordedAndReportedBack) {
    GuiModuleInstance gui;
    create(gui, u"Bool Text", 1);
    EXPECT_FALSE(gui.hasFace());
    std::vector<std::u16string> texts;
    gui.setValueCallback([&](int32_t pin, const std::vector<uint8_t>& bytes) {
        EXPECT_EQ(pin, 3);
        texts.emplace_back(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
        // Routed straight back into the module's own False Text: queued, never nested.
        gui.deliverText(1, texts.size() % 2 != 0 ? u"a" : u"b");
    });
    gui.deliverText(1, u"off");
    // Each report makes a new text: the chain ends at the delivery limit, not in a crash.
    EXPECT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[0], u"off");
    EXPECT_EQ(texts[1], u"a");
    EXPECT_EQ(texts[2], u"b");
    EXPECT_LE(texts.size(), static_cast<size_t>(GuiModuleInstance::kDeliveryLimit));
}

TEST(GuiModuleInstance, RefusesModulesWithoutTheirSubtypesInterface) {
    GuiModuleInstance gui;
    void* out = nullptr;
    ASSERT_EQ(MpFactory::instance()->createInstance2(u"QM pq_ClickRectangle", 2, &out), gmpi::kMpOk);
    EXPECT_FALSE(gui.attach(static_cast<gmpi::IMpUnknown*>(out), 1)); // released, not attached
    EXPECT_FALSE(gui.attached());
    EXPECT_EQ(gui.deliverBool(1, true), gmpi::kMpFail);
    EXPECT_TRUE(gui.render(10, 10).pixels == std::vector<uint32_t>(100, 0));
}

// Text in the named family, weight and size, placed by its alignment inside the layout
// rectangle and clipped to it with option 2.
TEST(CairoDrawing, TextIsAlignedAndClippedToItsRectangle) {
    using namespace gmpi_gui_api;
    struct Case {
        int32_t alignment; // 0 leading, 1 trailing, 2 centre
        bool inkLeft, inkRight;
    } cases[] = {{0, true, false}, {1, false, true}, {2, true, true}};
    for (const Case& c : cases) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 200, 40);
        cairo_t* cr = cairo_create(surface);
        {
            pqhost::CairoDrawingContext context(cr);
            IMpDrawingFactory* factory = nullptr;
            ASSERT_EQ(context.getFactory(&factory), gmpi::kMpOk);
            IMpTextFormat* format = nullptr;
            ASSERT_EQ(factory->createTextFormat("DejaVu Sans", nullptr, 700, 0, 5, 20.0f, nullptr, &format),
                      gmpi::kMpOk);
            format->setTextAlignment(c.alignment);
            const Color white{1, 1, 1, 1};
            IMpSolidColorBrush* brush = nullptr;
            context.createSolidColorBrush(&white, &brush);
            // A layout of 10..190 across, 5..25 down: glyphs taller than it are cut at 25.
            const Rect layout{10, 5, 190, 25};
            context.drawText("Wave", 4, format, &layout, brush, 2);
            brush->release();
            format->release();
            factory->release();
        }
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        bool left = false, right = false, outside = false;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 200; ++x) {
                if (data[y * stride + x * 4 + 3] == 0) continue;
                if (x < 10 || x >= 190 || y < 5 || y >= 25)
                    outside = true;
                else if (x < 100)
                    left = true;
                else
                    right = true;
            }
        EXPECT_EQ(left, c.inkLeft) << "alignment " << c.alignment;
        EXPECT_EQ(right, c.inkRight) << "alignment " << c.alignment;
        EXPECT_FALSE(outside) << "alignment " << c.alignment;
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
}
