#include "host/gui/cairo_drawing.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

using namespace gmpi_gui_api;

namespace pqhost {

double linearToSrgb(double linear) {
    if (!(linear > 0.0)) return 0.0; // NaN and negatives
    if (linear >= 1.0) return 1.0;
    return linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

namespace {

double finiteOr(double v, double fallback) {
    return std::isfinite(v) ? v : fallback;
}
double unit(double v) {
    return std::clamp(finiteOr(v, 0.0), 0.0, 1.0);
}

// A reference-counted implementation of one drawing interface.
template <class I> class Counted : public I {
public:
    int32_t queryInterface(const gmpi::Guid& iid, void** out) override {
        return pq::answerQuery(out, iid == gmpi::MP_IID_UNKNOWN ? static_cast<I*>(this) : nullptr);
    }
    int32_t addRef() override { return ++refs_; }
    int32_t release() override { return pq::releaseReference(refs_, this); }
    virtual ~Counted() = default;

private:
    int32_t refs_ = 1;
};

// What every brush of this context can do: become cairo's source.
class BrushSource {
public:
    virtual void applyTo(cairo_t* cr) const = 0;

protected:
    ~BrushSource() = default;
};

void setSource(cairo_t* cr, const Color& c, double opacity = 1.0) {
    cairo_set_source_rgba(cr, linearToSrgb(c.r), linearToSrgb(c.g), linearToSrgb(c.b),
                          unit(c.a) * unit(opacity));
}

class SolidBrush final : public Counted<IMpSolidColorBrush>, public BrushSource {
public:
    explicit SolidBrush(const Color& c) : color_(c) {}
    int32_t setColor(const Color* c) override {
        if (c != nullptr) color_ = *c;
        return gmpi::kMpOk;
    }
    void applyTo(cairo_t* cr) const override { setSource(cr, color_); }

private:
    Color color_;
};

class StopCollection final : public Counted<IMpGradientStopCollection> {
public:
    explicit StopCollection(std::vector<GradientStop> stops) : stops(std::move(stops)) {}
    std::vector<GradientStop> stops;
};

class GradientBrush final : public Counted<IMpLinearGradientBrush>, public BrushSource {
public:
    GradientBrush(const LinearGradientBrushProperties& line, double opacity, std::vector<GradientStop> stops)
        : line_(line), opacity_(opacity), stops_(std::move(stops)) {
        std::stable_sort(stops_.begin(), stops_.end(), [](const GradientStop& a, const GradientStop& b) {
            return a.position < b.position;
        });
    }
    void applyTo(cairo_t* cr) const override {
        if (stops_.empty()) {
            cairo_set_source_rgba(cr, 0, 0, 0, 0);
            return;
        }
        // cairo keeps stop offsets within 0..1: stretch the gradient line over the stops.
        const double p0 = finiteOr(stops_.front().position, 0.0);
        const double p1 = finiteOr(stops_.back().position, 1.0);
        const double span = p1 > p0 ? p1 - p0 : 1.0;
        const double dx = line_.end.x - line_.start.x, dy = line_.end.y - line_.start.y;
        cairo_pattern_t* pattern =
            cairo_pattern_create_linear(line_.start.x + p0 * dx, line_.start.y + p0 * dy,
                                        line_.start.x + p1 * dx, line_.start.y + p1 * dy);
        for (const auto& s : stops_) {
            const Color& c = s.color;
            cairo_pattern_add_color_stop_rgba(pattern, unit((finiteOr(s.position, p0) - p0) / span),
                                              linearToSrgb(c.r), linearToSrgb(c.g), linearToSrgb(c.b),
                                              unit(c.a) * unit(opacity_));
        }
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
        cairo_set_source(cr, pattern);
        cairo_pattern_destroy(pattern);
    }

private:
    LinearGradientBrushProperties line_;
    double opacity_;
    std::vector<GradientStop> stops_;
};

struct PathCommand {
    enum Kind { Begin, Line, Arc, End } kind;
    Point point;
    ArcSegment arc;
    bool closed;
};

class PathGeometry final : public Counted<IMpPathGeometry> {
public:
    int32_t openSink(IMpGeometrySink** sink) override;

    std::vector<PathCommand> commands;

    // Adds the path to cairo's current path.
    void trace(cairo_t* cr) const {
        cairo_new_path(cr);
        Point current{0, 0};
        bool open = false;
        for (const auto& c : commands) {
            switch (c.kind) {
            case PathCommand::Begin:
                cairo_move_to(cr, c.point.x, c.point.y);
                current = c.point;
                open = true;
                break;
            case PathCommand::Line:
                if (!open) break;
                cairo_line_to(cr, c.point.x, c.point.y);
                current = c.point;
                break;
            case PathCommand::Arc:
                if (!open) break;
                addArc(cr, current, c.arc);
                current = c.arc.end;
                break;
            case PathCommand::End:
                if (open && c.closed) cairo_close_path(cr);
                open = false;
                break;
            }
        }
    }

private:
    // An elliptical arc from `from` to arc.end as SVG draws it.
    static void addArc(cairo_t* cr, Point from, const ArcSegment& arc) {
        const double x1 = from.x, y1 = from.y, x2 = arc.end.x, y2 = arc.end.y;
        double rx = std::fabs(finiteOr(arc.radii.width, 0.0)),
               ry = std::fabs(finiteOr(arc.radii.height, 0.0));
        if (x1 == x2 && y1 == y2) return;
        if (rx < 1e-6 || ry < 1e-6) { // too small to be drawn as a curve
            cairo_line_to(cr, x2, y2);
            return;
        }
        const double phi = finiteOr(arc.rotation, 0.0);
        const double cosP = std::cos(phi), sinP = std::sin(phi);
        const double hx = (x1 - x2) / 2, hy = (y1 - y2) / 2;
        const double x1p = cosP * hx + sinP * hy, y1p = -sinP * hx + cosP * hy;
        const double lambda = x1p * x1p / (rx * rx) + y1p * y1p / (ry * ry);
        if (lambda > 1.0) {
            rx *= std::sqrt(lambda);
            ry *= std::sqrt(lambda);
        }
        const double num = rx * rx * ry * ry - rx * rx * y1p * y1p - ry * ry * x1p * x1p;
        const double den = rx * rx * y1p * y1p + ry * ry * x1p * x1p;
        double coef = den > 0 ? std::sqrt(std::max(0.0, num / den)) : 0.0;
        if ((arc.arcSize != 0) == (arc.sweep != 0)) coef = -coef;
        const double cxp = coef * rx * y1p / ry, cyp = -coef * ry * x1p / rx;
        const double cx = cosP * cxp - sinP * cyp + (x1 + x2) / 2,
                     cy = sinP * cxp + cosP * cyp + (y1 + y2) / 2;
        const double theta1 = std::atan2((y1p - cyp) / ry, (x1p - cxp) / rx);
        double delta = std::atan2((-y1p - cyp) / ry, (-x1p - cxp) / rx) - theta1;
        if (arc.sweep != 0 && delta < 0) delta += 2 * std::numbers::pi;
        if (arc.sweep == 0 && delta > 0) delta -= 2 * std::numbers::pi;

        cairo_matrix_t saved;
        cairo_get_matrix(cr, &saved);
        cairo_translate(cr, cx, cy);
        cairo_rotate(cr, phi);
        cairo_scale(cr, rx, ry);
        if (delta > 0)
            cairo_arc(cr, 0, 0, 1, theta1, theta1 + delta);
        else
            cairo_arc_negative(cr, 0, 0, 1, theta1, theta1 + delta);
        cairo_set_matrix(cr, &saved);
    }
};

class GeometrySink final : public Counted<IMpGeometrySink> {
public:
    explicit GeometrySink(PathGeometry* geometry) : geometry_(geometry) { geometry_->addRef(); }
    ~GeometrySink() override { geometry_->release(); }
    int32_t beginFigure(Point p, int32_t) override { return add({PathCommand::Begin, p, {}, false}); }
    int32_t endFigure(int32_t end) override { return add({PathCommand::End, {}, {}, end == 1}); }
    int32_t closeSink() override {
        closed_ = true;
        return gmpi::kMpOk;
    }
    int32_t addLine(Point p) override { return add({PathCommand::Line, p, {}, false}); }
    int32_t addArc(const ArcSegment* arc) override {
        if (arc == nullptr) return gmpi::kMpFail;
        return add({PathCommand::Arc, {}, *arc, false});
    }

private:
    int32_t add(const PathCommand& c) {
        if (closed_) return gmpi::kMpFail;
        geometry_->commands.push_back(c);
        return gmpi::kMpOk;
    }
    PathGeometry* geometry_;
    bool closed_ = false;
};

int32_t PathGeometry::openSink(IMpGeometrySink** sink) {
    if (sink == nullptr) return gmpi::kMpFail;
    commands.clear();
    *sink = new GeometrySink(this);
    return gmpi::kMpOk;
}

class TextFormat final : public Counted<IMpTextFormat> {
public:
    TextFormat(std::string family, int32_t weight, int32_t style, float size)
        : family(std::move(family)), weight(weight), style(style), size(size) {}
    int32_t setTextAlignment(int32_t a) override {
        alignment = a;
        return gmpi::kMpOk;
    }
    std::string family;
    int32_t weight;
    int32_t style;
    float size;
    int32_t alignment = 0;
};

class DrawingFactory final : public Counted<IMpDrawingFactory> {
public:
    int32_t createPathGeometry(IMpPathGeometry** geometry) override {
        if (geometry == nullptr) return gmpi::kMpFail;
        *geometry = new PathGeometry();
        return gmpi::kMpOk;
    }
    int32_t createTextFormat(const char* family, gmpi::IMpUnknown*, int32_t weight, int32_t style, int32_t,
                             float size, const char*, IMpTextFormat** format) override {
        if (format == nullptr) return gmpi::kMpFail;
        *format = new TextFormat(family != nullptr ? family : "", weight, style, size);
        return gmpi::kMpOk;
    }
};

// The text with every byte that is not part of valid UTF-8 replaced by '?', as cairo
// refuses invalid text.
std::string validUtf8(const char* text, size_t count) {
    std::string out;
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    for (size_t i = 0; i < count;) {
        const unsigned char b = s[i];
        const size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        bool ok = n != 0 && i + n <= count && b != 0;
        uint32_t cp = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
        for (size_t k = 1; ok && k < n; ++k) {
            ok = (s[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        static constexpr uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        ok = ok && cp >= kSmallest[n] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
        if (ok) {
            out.append(text + i, n);
            i += n;
        } else {
            out += '?';
            ++i;
        }
    }
    return out;
}

const BrushSource* brushOf(IMpBrush* brush) {
    return brush == nullptr ? nullptr : dynamic_cast<BrushSource*>(brush);
}

} // namespace

IMpDrawingFactory* createCairoDrawingFactory() {
    // One factory for the process, as an editor has one: faces that keep text formats per
    // factory share them. It lives until the process ends.
    static DrawingFactory* const shared = new DrawingFactory();
    shared->addRef();
    return shared;
}

CairoDrawingContext::CairoDrawingContext(cairo_t* cr) : cr_(cr) {}

CairoDrawingContext::~CairoDrawingContext() {
    while (clipDepth_ > 0)
        popAxisAlignedClip();
}

int32_t CairoDrawingContext::queryInterface(const gmpi::Guid& iid, void** out) {
    const bool offered = pq::isOneOf(iid, {MP_IID_DRAWING_CONTEXT, gmpi::MP_IID_UNKNOWN});
    return pq::answerQuery(out, offered ? static_cast<IMpDrawingContext*>(this) : nullptr);
}

int32_t CairoDrawingContext::getFactory(IMpDrawingFactory** factory) {
    if (factory == nullptr) return gmpi::kMpFail;
    *factory = createCairoDrawingFactory();
    return gmpi::kMpOk;
}

int32_t CairoDrawingContext::createSolidColorBrush(const Color* color, IMpSolidColorBrush** brush) {
    if (brush == nullptr) return gmpi::kMpFail;
    *brush = new SolidBrush(color != nullptr ? *color : Color{0, 0, 0, 1});
    return gmpi::kMpOk;
}

int32_t CairoDrawingContext::createGradientStopCollection(const GradientStop* stops, uint32_t count,
                                                          IMpGradientStopCollection** out) {
    if (out == nullptr) return gmpi::kMpFail;
    std::vector<GradientStop> copy;
    if (stops != nullptr) copy.assign(stops, stops + std::min<uint32_t>(count, 256));
    *out = new StopCollection(std::move(copy));
    return gmpi::kMpOk;
}

int32_t CairoDrawingContext::createLinearGradientBrush(const LinearGradientBrushProperties* line,
                                                       const BrushProperties* props,
                                                       IMpGradientStopCollection* stops,
                                                       IMpLinearGradientBrush** brush) {
    if (brush == nullptr) return gmpi::kMpFail;
    *brush = nullptr;
    auto* collection = stops == nullptr ? nullptr : dynamic_cast<StopCollection*>(stops);
    if (line == nullptr || collection == nullptr) return gmpi::kMpFail;
    *brush = new GradientBrush(*line, props != nullptr ? props->opacity : 1.0, collection->stops);
    return gmpi::kMpOk;
}

int32_t CairoDrawingContext::drawLine(Point a, Point b, IMpBrush* brush, float width, gmpi::IMpUnknown*) {
    const BrushSource* source = brushOf(brush);
    if (source == nullptr) return gmpi::kMpFail;
    cairo_save(cr_);
    source->applyTo(cr_);
    cairo_set_line_width(cr_, std::clamp(finiteOr(width, 1.0), 0.0, 1000.0));
    cairo_new_path(cr_);
    cairo_move_to(cr_, a.x, a.y);
    cairo_line_to(cr_, b.x, b.y);
    cairo_stroke(cr_);
    cairo_restore(cr_);
    return gmpi::kMpOk;
}

int32_t CairoDrawingContext::fillGeometry(IMpPathGeometry* geometry, IMpBrush* brush, IMpBrush*) {
    auto* path = geometry == nullptr ? nullptr : dynamic_cast<PathGeometry*>(geometry);
    const BrushSource* source = brushOf(brush);
    if (path == nullptr || source == nullptr) return gmpi::kMpFail;
    cairo_save(cr_);
    path->trace(cr_);
    source->applyTo(cr_);
    cairo_fill(cr_);
    cairo_restore(cr_);
    return gmpi::kMpOk;
}

int32_t CairoDrawingContext::drawText(const char* utf8, int32_t bytes, IMpTextFormat* format,
                                      const Rect* layout, IMpBrush* brush, int32_t options) {
    const BrushSource* source = brushOf(brush);
    if (utf8 == nullptr || bytes <= 0 || layout == nullptr || source == nullptr) return gmpi::kMpFail;
    const auto* text = format == nullptr ? nullptr : dynamic_cast<TextFormat*>(format);
    const std::string family = text != nullptr && !text->family.empty() ? text->family : "sans-serif";
    const double size = text != nullptr && text->size > 0 && std::isfinite(text->size) ? text->size : 12.0;
    const std::string line = validUtf8(utf8, static_cast<size_t>(bytes));

    cairo_save(cr_);
    if ((options & 2) != 0) {
        cairo_rectangle(cr_, layout->left, layout->top, layout->right - layout->left,
                        layout->bottom - layout->top);
        cairo_clip(cr_);
    }
    cairo_select_font_face(cr_, family.c_str(),
                           text == nullptr || text->style == 0 ? CAIRO_FONT_SLANT_NORMAL
                           : text->style == 1                  ? CAIRO_FONT_SLANT_OBLIQUE
                                                               : CAIRO_FONT_SLANT_ITALIC,
                           text != nullptr && text->weight >= 600 ? CAIRO_FONT_WEIGHT_BOLD
                                                                  : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr_, std::min(size, 1000.0));
    cairo_font_extents_t font;
    cairo_font_extents(cr_, &font);
    cairo_text_extents_t extents;
    cairo_text_extents(cr_, line.c_str(), &extents);
    const int32_t alignment = text != nullptr ? text->alignment : 0;
    double x = layout->left;
    if (alignment == 1)
        x = layout->right - extents.x_advance;
    else if (alignment == 2)
        x = (layout->left + layout->right - extents.x_advance) / 2;
    source->applyTo(cr_);
    cairo_move_to(cr_, x, layout->top + font.ascent);
    cairo_show_text(cr_, line.c_str());
    cairo_restore(cr_);
    return gmpi::kMpOk;
}

int32_t CairoDrawingContext::pushAxisAlignedClip(const Rect* clip) {
    if (clip == nullptr) return gmpi::kMpFail;
    cairo_save(cr_);
    cairo_rectangle(cr_, clip->left, clip->top, clip->right - clip->left, clip->bottom - clip->top);
    cairo_clip(cr_);
    ++clipDepth_;
    return gmpi::kMpOk;
}

int32_t CairoDrawingContext::popAxisAlignedClip() {
    if (clipDepth_ == 0) return gmpi::kMpFail;
    cairo_restore(cr_);
    --clipDepth_;
    return gmpi::kMpOk;
}

} // namespace pqhost
