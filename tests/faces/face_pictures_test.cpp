// Both text rectangles and the single-module wave editor loaded from their deliverables and
// painted by the substitute host: corners, gradient and text placement, the editor's pixel rows.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <memory>
#include <ostream>
#include <string>

#include "host/gui/composited_surfaces.h"
#include "host/gui/gui_module_instance.h"
#include "runtime/gui/device_context.h"
#include "runtime/audio/mp_interfaces.h"

namespace {

const std::string kSheet = "FONT_CATEGORY Label\n"
                           "font-family Arial\n"
                           "font-size 14\n"
                           "font-weight bold\n"
                           "font-color #FFFFFF\n"
                           "text-align center\n";

struct Library {
    void* handle = nullptr;
    gmpi::IMpFactory* factory = nullptr;
    explicit Library(const char* name) {
        const std::string path = std::string(PQ_PLUGIN_DIR) + "/" + name + ".so";
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) return;
        auto entry = reinterpret_cast<int32_t (*)(void**)>(dlsym(handle, "MP_GetFactory"));
        void* unknown = nullptr;
        if (entry == nullptr || entry(&unknown) != gmpi::kMpOk) return;
        void* f = nullptr;
        static_cast<gmpi::IMpUnknown*>(unknown)->queryInterface(gmpi::MP_IID_FACTORY, &f);
        factory = static_cast<gmpi::IMpFactory*>(f);
    }
    ~Library() {
        if (handle != nullptr) dlclose(handle);
    }
};

struct Edition {
    const char* library;
    int32_t subtype;
};
const Edition kEditions[] = {{"pq_Modules", 2}, {"pq_TextRectangle", 1}};
void PrintTo(const Edition& e, std::ostream* out) {
    *out << e.library;
}

uint32_t alpha(uint32_t p) {
    return p >> 24;
}
int red(uint32_t p) {
    return (p >> 16) & 0xFF;
}
int blue(uint32_t p) {
    return p & 0xFF;
}

// The box around the pixels that are nearly white (the text), as left, top, right, bottom.
std::array<int, 4> whiteBox(const pqhost::FaceImage& image) {
    std::array<int, 4> box = {image.width, image.height, -1, -1};
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const uint32_t p = image.at(x, y);
            if (alpha(p) == 255 && red(p) > 200 && ((p >> 8) & 0xFF) > 200 && blue(p) > 200)
                box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
        }
    return box;
}

class FacePictures : public ::testing::TestWithParam<Edition> {
protected:
    void SetUp() override {
        library = std::make_unique<Library>(GetParam().library);
        ASSERT_NE(library->factory, nullptr);
        gui.setStyleSheet(std::make_shared<const std::string>(kSheet));
        void* out = nullptr;
        ASSERT_EQ(library->factory->createInstance(u"QM pq_TextRectangle", GetParam().subtype,
                                                   gui.hostObject(), &out),
                  gmpi::kMpOk);
        ASSERT_TRUE(gui.attach(static_cast<gmpi::IMpUnknown*>(out), GetParam().subtype));
        ASSERT_TRUE(gui.hasFace());
        gui.deliverText(8, u"FFFF0000");
        gui.deliverText(9, u"FF0000FF");
        gui.deliverFloat(3, 8.0f);
    }
    void corners(bool rounded) {
        for (int32_t pin = 4; pin <= 7; ++pin)
            gui.deliverBool(pin, rounded);
    }

    std::unique_ptr<Library> library; // outlives the module
    pqhost::GuiModuleInstance gui;
};

} // namespace

TEST_P(FacePictures, CornersAreRoundedOrSquare) {
    corners(true);
    auto image = gui.render(100, 40);
    EXPECT_EQ(alpha(image.at(0, 0)), 0u);
    EXPECT_EQ(alpha(image.at(99, 0)), 0u);
    EXPECT_EQ(alpha(image.at(0, 39)), 0u);
    EXPECT_EQ(alpha(image.at(99, 39)), 0u);
    EXPECT_EQ(alpha(image.at(8, 8)), 255u);
    EXPECT_EQ(alpha(image.at(50, 20)), 255u);

    corners(false);
    image = gui.render(100, 40);
    EXPECT_EQ(alpha(image.at(0, 0)), 255u);
    EXPECT_EQ(alpha(image.at(98, 38)), 255u);
}

TEST_P(FacePictures, TheGradientRunsFromTopColourToGradientColour) {
    const auto image = gui.render(100, 40);
    const uint32_t top = image.at(50, 0), bottom = image.at(50, 38);
    EXPECT_GT(red(top), 235);
    EXPECT_LT(blue(top), 30);
    EXPECT_GT(blue(bottom), 215);
    EXPECT_LT(red(bottom), 60);
}

TEST_P(FacePictures, TextIsCentredInTheStylesColourOrGrey) {
    gui.deliverText(0, u"Hello");
    gui.deliverText(1, u"label");
    const auto box = whiteBox(gui.render(100, 40));
    ASSERT_GE(box[2], 0) << "no white text";
    EXPECT_NEAR((box[0] + box[2]) / 2.0, 50.0, 4.0);
    EXPECT_GT(box[2] - box[0], 25); // bold 14-pixel letters
    EXPECT_LT(box[3] - box[1], 16);
    if (GetParam().subtype == 1) {
        EXPECT_NEAR((box[1] + box[3]) / 2.0, 20.0, 3.0); // one vertically centred line
    } else {
        EXPECT_GE(box[1], 3); // lines start at the top of the layout rectangle
        EXPECT_LT(box[3], 22);
    }

    gui.deliverBool(2, true);
    const auto greyed = gui.render(100, 40);
    EXPECT_LT(whiteBox(greyed)[2], 0);
    const bool grey = std::any_of(greyed.pixels.begin(), greyed.pixels.end(), [](uint32_t p) {
        return alpha(p) == 255 && std::abs(red(p) - 128) <= 2 && std::abs(blue(p) - 128) <= 2;
    });
    EXPECT_TRUE(grey);
}

INSTANTIATE_TEST_SUITE_P(BothEditions, FacePictures, ::testing::ValuesIn(kEditions),
                         [](const auto& info) { return std::string(info.param.library); });

namespace {

// The host's drawing services as a face finds them: by name, in the process.
struct Services {
    PqdcSetPixel setPixel = reinterpret_cast<PqdcSetPixel>(dlsym(RTLD_DEFAULT, "pqdc_set_pixel"));
    PqdcFillPath fillPath = reinterpret_cast<PqdcFillPath>(dlsym(RTLD_DEFAULT, "pqdc_fill_path"));
    PqdcDrawText drawText = reinterpret_cast<PqdcDrawText>(dlsym(RTLD_DEFAULT, "pqdc_draw_text"));
};

// One surface of the host, destroyed at the end.
struct Surface {
    int32_t dc = pqhost::createCompositedSurface(20, 10);
    ~Surface() { pqhost::destroyCompositedSurface(dc); }
    uint32_t at(int x, int y) const {
        cairo_surface_t* s = pqhost::compositedSurface(dc);
        cairo_surface_flush(s);
        const unsigned char* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
        return reinterpret_cast<const uint32_t*>(row)[x];
    }
};

} // namespace

// The single-module wave editor's face: one pixel per sample in the Line Colour (BBGGRR).
TEST(EarlierEditorFace, SetsOnePixelPerSampleOnItsRow) {
    Library library("pq_waveEditor");
    ASSERT_NE(library.factory, nullptr);
    pqhost::GuiModuleInstance gui;
    void* out = nullptr;
    ASSERT_EQ(library.factory->createInstance(u"pq WaveEditor", 1, gui.hostObject(), &out), gmpi::kMpOk);
    ASSERT_TRUE(gui.attach(static_cast<gmpi::IMpUnknown*>(out), 1));
    ASSERT_TRUE(gui.hasFace());
    gui.deliverFloat(0, 4.0f);
    gui.deliverText(20, u"0000FF");
    const float wave[4] = {0.5f, 0.0f, -0.5f, 0.25f};
    gui.deliver(4, wave, sizeof wave);
    const auto image = gui.render(4, 11);
    // Rows trunc(11 - (v + 0.5) * 10): 1, 6, 10 and 3; nothing else is painted.
    const int rows[4] = {1, 6, 10, 3};
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 11; ++y) {
            const uint32_t p = image.at(x, y);
            if (y == rows[x])
                EXPECT_EQ(p, 0xFFFF0000u) << x << "," << y; // opaque red
            else
                EXPECT_EQ(alpha(p), 0u) << x << "," << y;
        }
}

TEST(DrawingServices, AreExportedAndDrawOnTheSurfaceOfAHandle) {
    const Services pqdc;
    ASSERT_NE(pqdc.setPixel, nullptr);
    ASSERT_NE(pqdc.fillPath, nullptr);
    ASSERT_NE(pqdc.drawText, nullptr);
    Surface surface;
    ASSERT_NE(surface.dc, 0);

    EXPECT_EQ(pqdc.setPixel(surface.dc, 3, 4, 0x00332211), 0);
    EXPECT_EQ(surface.at(3, 4), 0xFF112233u);           // 0x00BBGGRR in, ARGB on the surface
    EXPECT_EQ(pqdc.setPixel(surface.dc, -1, 40, 0), 0); // clipped

    const PqPathStep box[2] = {{1, {0, 0, 20, 0, 0, 0}}, {1, {20, 10, 0, 10, 0, 0}}};
    const PqLineBrush brush = {0, 0, 0, 10, 0xFFFF0000, 0xFF0000FF, 0};
    EXPECT_EQ(pqdc.fillPath(surface.dc, box, 2, &brush, 0), 0);
    EXPECT_GT((surface.at(10, 0) >> 16) & 0xFF, 230u); // red at the top
    EXPECT_GT(surface.at(10, 9) & 0xFF, 200u);         // blue at the bottom

    const int32_t rect[4] = {0, 0, 20, 10};
    EXPECT_EQ(pqdc.drawText(surface.dc, nullptr, u"ab", 2, rect, 0x25, 0x00FFFFFF), 0);
    int dummyFont = 0; // not a handle of the host: the default font
    EXPECT_EQ(pqdc.drawText(surface.dc, &dummyFont, u"\xD800x", 2, rect, 0, 0), 0);
}

TEST(DrawingServices, RefuseUnknownHandlesAndUnusableArguments) {
    const Services pqdc;
    Surface surface;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const PqPathStep good[1] = {{2, {0, 0, 10, 10, 0, 360}}};
    const PqPathStep odd[3][1] = {
        {{3, {0, 0, 1, 1, 0, 0}}}, {{1, {nan, 0, 1, 1, 0, 0}}}, {{2, {0, 0, 0, 1e30f, 0, 1e30f}}}};
    const PqLineBrush brush = {0, 0, 0, 10, 0xFFFFFFFF, 0xFF000000, 0};
    PqLineBrush badWrap = brush;
    badWrap.wrap = 9;
    const int32_t rect[4] = {0, 0, 20, 10};

    EXPECT_NE(pqdc.setPixel(surface.dc + 1000, 0, 0, 0), 0);
    EXPECT_NE(pqdc.fillPath(surface.dc + 1000, good, 1, &brush, 1), 0);
    EXPECT_NE(pqdc.drawText(surface.dc + 1000, nullptr, u"a", 1, rect, 0, 0), 0);

    EXPECT_NE(pqdc.fillPath(surface.dc, nullptr, 1, &brush, 1), 0);
    EXPECT_NE(pqdc.fillPath(surface.dc, good, 1, nullptr, 1), 0);
    EXPECT_NE(pqdc.fillPath(surface.dc, good, 0, &brush, 1), 0);
    EXPECT_NE(pqdc.fillPath(surface.dc, good, -5, &brush, 1), 0);
    EXPECT_NE(pqdc.fillPath(surface.dc, good, 1, &badWrap, 1), 0);
    EXPECT_NE(pqdc.fillPath(surface.dc, odd[0], 1, &brush, 1), 0); // unknown kind
    EXPECT_NE(pqdc.fillPath(surface.dc, odd[1], 1, &brush, 1), 0); // NaN
    EXPECT_EQ(pqdc.fillPath(surface.dc, odd[2], 1, &brush, 1), 0); // a flat, huge box still draws
    EXPECT_NE(pqdc.drawText(surface.dc, nullptr, nullptr, 1, rect, 0, 0), 0);
    EXPECT_NE(pqdc.drawText(surface.dc, nullptr, u"a", -1, rect, 0, 0), 0);
    EXPECT_NE(pqdc.drawText(surface.dc, nullptr, u"a", 1, nullptr, 0, 0), 0);
    EXPECT_EQ(pqdc.drawText(surface.dc, nullptr, u"a", 0, rect, 0, 0), 0); // nothing to draw
}
