#include "host/gui/composited_surfaces.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "runtime/gui/device_context.h"
#include "runtime/gui/utf8.h"

namespace pqhost {

namespace {

struct Surfaces {
    std::map<int32_t, cairo_surface_t*> byHandle;
    int32_t next = 0x51000;
};
Surfaces& surfaces() {
    static Surfaces s;
    return s;
}

struct HostFont {
    std::string family;
    double size;
    cairo_font_weight_t weight;
    cairo_font_slant_t slant;
};
std::deque<HostFont>& fonts() {
    static std::deque<HostFont> all; // addresses stay while the process lives
    return all;
}
const HostFont* knownFont(const void* font) {
    for (const HostFont& f : fonts())
        if (&f == font) return &f;
    return nullptr;
}

// Coordinates beyond this lie far outside any surface; keeping them here keeps cairo's fixed
// point arithmetic away from its limits.
constexpr double kFar = 1.0e6;
bool usable(float v) {
    return std::isfinite(v);
}
double near(float v) {
    return std::clamp(static_cast<double>(v), -kFar, kFar);
}

void addStep(cairo_t* cr, const PqPathStep& step) {
    const auto& v = step.v;
    if (step.kind == pq::gui::kPathLine) {
        if (cairo_has_current_point(cr))
            cairo_line_to(cr, near(v[0]), near(v[1]));
        else
            cairo_move_to(cr, near(v[0]), near(v[1]));
        cairo_line_to(cr, near(v[2]), near(v[3]));
        return;
    }
    // An arc of the ellipse in the box, clockwise on screen from v4 degrees over v5 degrees.
    const double rx = near(v[2]) / 2, ry = near(v[3]) / 2;
    const double cx = near(v[0]) + rx, cy = near(v[1]) + ry;
    const double sweepDegrees = std::clamp(static_cast<double>(v[5]), -3600.0, 3600.0);
    const double a0 = std::fmod(static_cast<double>(v[4]), 360.0) * std::numbers::pi / 180.0;
    const double a1 = a0 + sweepDegrees * std::numbers::pi / 180.0;
    if (std::fabs(rx) < 1e-9 || std::fabs(ry) < 1e-9) { // a flat box: the arc is its chord
        const auto at = [&](double a) {
            const double x = cx + rx * std::cos(a), y = cy + ry * std::sin(a);
            if (cairo_has_current_point(cr))
                cairo_line_to(cr, x, y);
            else
                cairo_move_to(cr, x, y);
        };
        at(a0);
        at(a1);
        return;
    }
    cairo_matrix_t saved;
    cairo_get_matrix(cr, &saved);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    if (a1 >= a0)
        cairo_arc(cr, 0, 0, 1, a0, a1);
    else
        cairo_arc_negative(cr, 0, 0, 1, a0, a1);
    cairo_set_matrix(cr, &saved);
}

void setColour(cairo_pattern_t* pattern, double offset, uint32_t argb) {
    cairo_pattern_add_color_stop_rgba(pattern, offset, ((argb >> 16) & 0xFF) / 255.0,
                                      ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
                                      (argb >> 24) / 255.0);
}

} // namespace

int32_t createCompositedSurface(int width, int height) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return 0;
    }
    Surfaces& all = surfaces();
    const int32_t handle = all.next;
    all.next = all.next == INT32_MAX ? 0x51000 : all.next + 1;
    all.byHandle[handle] = surface;
    return handle;
}

void destroyCompositedSurface(int32_t handle) {
    auto& byHandle = surfaces().byHandle;
    const auto it = byHandle.find(handle);
    if (it == byHandle.end()) return;
    cairo_surface_destroy(it->second);
    byHandle.erase(it);
}

cairo_surface_t* compositedSurface(int32_t handle) {
    const auto& byHandle = surfaces().byHandle;
    const auto it = byHandle.find(handle);
    return it == byHandle.end() ? nullptr : it->second;
}

void* compositedFont(const TextStyle& style) {
    HostFont wanted;
    wanted.family = style.families.empty() ? "sans-serif" : style.families.front();
    wanted.size = std::clamp(style.pixelHeight, 1, 1000);
    wanted.weight = style.weight() > 550 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL;
    wanted.slant =
        (style.styleFlags & kTextStyleItalic) != 0 ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL;
    for (HostFont& f : fonts())
        if (f.family == wanted.family && f.size == wanted.size && f.weight == wanted.weight &&
            f.slant == wanted.slant)
            return &f;
    fonts().push_back(wanted);
    return &fonts().back();
}

} // namespace pqhost

using pqhost::compositedSurface;

extern "C" __attribute__((visibility("default"))) int32_t pqdc_set_pixel(int32_t dc, int32_t x, int32_t y,
                                                                         uint32_t colour) {
    cairo_surface_t* surface = compositedSurface(dc);
    if (surface == nullptr) return 1;
    const int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    if (x < 0 || y < 0 || x >= w || y >= h) return 0; // clipped
    cairo_surface_flush(surface);
    unsigned char* row = cairo_image_surface_get_data(surface) +
                         static_cast<size_t>(y) * cairo_image_surface_get_stride(surface);
    const uint32_t rgb = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    reinterpret_cast<uint32_t*>(row)[x] = 0xFF000000u | rgb;
    cairo_surface_mark_dirty_rectangle(surface, x, y, 1, 1);
    return 0;
}

extern "C" __attribute__((visibility("default"))) int32_t pqdc_fill_path(int32_t dc, const PqPathStep* steps,
                                                                         int32_t count,
                                                                         const PqLineBrush* brush,
                                                                         int32_t antialias) {
    cairo_surface_t* surface = compositedSurface(dc);
    if (surface == nullptr) return 1;
    if (steps == nullptr || brush == nullptr || count <= 0 || count > 65536) return 2;
    for (int32_t i = 0; i < count; ++i) {
        if (steps[i].kind != pq::gui::kPathLine && steps[i].kind != pq::gui::kPathArc) return 2;
        if (!std::all_of(std::begin(steps[i].v), std::end(steps[i].v), pqhost::usable)) return 2;
    }
    if (!pqhost::usable(brush->x1) || !pqhost::usable(brush->y1) || !pqhost::usable(brush->x2) ||
        !pqhost::usable(brush->y2))
        return 2;
    cairo_extend_t extend;
    switch (brush->wrap) {
    case 0:
        extend = CAIRO_EXTEND_REPEAT;
        break;
    case 1:
    case 2:
    case 3:
        extend = CAIRO_EXTEND_REFLECT;
        break;
    case 4:
        extend = CAIRO_EXTEND_PAD;
        break;
    default:
        return 2;
    }

    cairo_t* cr = cairo_create(surface);
    cairo_set_antialias(cr, antialias != 0 ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_new_path(cr);
    for (int32_t i = 0; i < count; ++i)
        pqhost::addStep(cr, steps[i]);
    cairo_close_path(cr);

    cairo_pattern_t* pattern = cairo_pattern_create_linear(pqhost::near(brush->x1), pqhost::near(brush->y1),
                                                           pqhost::near(brush->x2), pqhost::near(brush->y2));
    pqhost::setColour(pattern, 0.0, brush->argb1);
    pqhost::setColour(pattern, 1.0, brush->argb2);
    cairo_pattern_set_extend(pattern, extend);
    cairo_set_source(cr, pattern);
    cairo_fill(cr);
    cairo_pattern_destroy(pattern);
    const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    return ok ? 0 : 3;
}

extern "C" __attribute__((visibility("default"))) int32_t pqdc_draw_text(int32_t dc, void* font,
                                                                         const char16_t* text, int32_t length,
                                                                         const int32_t* rect, uint32_t format,
                                                                         uint32_t colour) {
    cairo_surface_t* surface = compositedSurface(dc);
    if (surface == nullptr) return 1;
    if (text == nullptr || rect == nullptr || length < 0 || length > (1 << 20)) return 2;
    if (length == 0) return 0;
    const pqhost::HostFont* chosen = pqhost::knownFont(font); // an unknown handle: the default font
    const std::string family = chosen != nullptr ? chosen->family : "sans-serif";
    const double size = chosen != nullptr ? chosen->size : 12.0;

    std::string utf8 = pq::utf16ToUtf8(text, static_cast<size_t>(length));
    std::vector<std::string> lines;
    if ((format & pq::gui::kTextSingleLine) != 0) {
        std::replace(utf8.begin(), utf8.end(), '\n', ' ');
        lines.push_back(utf8);
    } else {
        size_t start = 0;
        for (size_t end; (end = utf8.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(utf8.substr(start, end - start));
        lines.push_back(utf8.substr(start));
    }
    for (std::string& line : lines) {
        std::replace(line.begin(), line.end(), '\0', ' ');
        std::replace(line.begin(), line.end(), '\r', ' ');
    }

    const double left = rect[0], top = rect[1], right = rect[2], bottom = rect[3];
    cairo_t* cr = cairo_create(surface);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_clip(cr);
    cairo_select_font_face(cr, family.c_str(), chosen != nullptr ? chosen->slant : CAIRO_FONT_SLANT_NORMAL,
                           chosen != nullptr ? chosen->weight : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_set_source_rgb(cr, (colour & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0,
                         ((colour >> 16) & 0xFF) / 255.0);
    cairo_font_extents_t extents;
    cairo_font_extents(cr, &extents);
    double y = top + extents.ascent;
    if ((format & pq::gui::kTextSingleLine) != 0 && (format & pq::gui::kTextVerticalCentre) != 0)
        y = (top + bottom - (extents.ascent + extents.descent)) / 2 + extents.ascent;
    for (const std::string& line : lines) {
        cairo_text_extents_t ink;
        cairo_text_extents(cr, line.c_str(), &ink);
        double x = left;
        if ((format & pq::gui::kTextCentre) != 0)
            x = (left + right - ink.x_advance) / 2;
        else if ((format & pq::gui::kTextRight) != 0)
            x = right - ink.x_advance;
        cairo_move_to(cr, x, y);
        cairo_show_text(cr, line.c_str());
        y += extents.height;
    }
    const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    return ok ? 0 : 3;
}
