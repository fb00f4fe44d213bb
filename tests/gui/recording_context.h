// A drawing context that records the calls a face makes, as short texts such as
// "begin 0 20 0", "arc 20 0 r 20 20 sweep 1 size 0", "line 80 0", "end 1", "gradient ...",
// "fill". It also counts the drawing objects alive, so that a test sees every one released.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/gui/mp_gui_interfaces.h"

namespace guitest {

using namespace gmpi_gui_api;

inline std::string num(float v) {
    char b[32];
    std::snprintf(b, sizeof b, "%g", static_cast<double>(v));
    return b;
}
inline std::string colour(const Color& c) {
    return "(" + num(c.r) + " " + num(c.g) + " " + num(c.b) + " " + num(c.a) + ")";
}

class RecordingContext final : public IMpDrawingContext {
public:
    std::vector<std::string> calls;
    int alive = 0; // drawing objects created and not yet released
    std::vector<GradientStop> lastStops;

    int32_t queryInterface(const Guid& iid, void** out) override {
        const bool offered = pq::isOneOf(iid, {MP_IID_DRAWING_CONTEXT, gmpi::MP_IID_UNKNOWN});
        return pq::answerQuery(out, offered ? static_cast<IMpDrawingContext*>(this) : nullptr);
    }
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }
    int32_t getFactory(IMpDrawingFactory** f) override {
        *f = new Factory(*this);
        return gmpi::kMpOk;
    }
    int32_t createSolidColorBrush(const Color* c, IMpSolidColorBrush** b) override {
        calls.push_back("solid " + colour(*c));
        *b = new Solid(*this);
        return gmpi::kMpOk;
    }
    int32_t createGradientStopCollection(const GradientStop* stops, uint32_t count,
                                         IMpGradientStopCollection** out) override {
        std::string s = "stops";
        lastStops.assign(stops, stops + count);
        for (uint32_t i = 0; i < count; ++i)
            s += " " + num(stops[i].position) + colour(stops[i].color);
        calls.push_back(s);
        *out = new Plain<IMpGradientStopCollection>(*this);
        return gmpi::kMpOk;
    }
    int32_t createLinearGradientBrush(const LinearGradientBrushProperties* l, const BrushProperties* p,
                                      IMpGradientStopCollection*, IMpLinearGradientBrush** b) override {
        std::string s = "gradient " + num(l->start.x) + " " + num(l->start.y) + " -> " + num(l->end.x) + " " +
                        num(l->end.y) + " opacity " + num(p->opacity) + " transform";
        for (float t : p->transform)
            s += " " + num(t);
        calls.push_back(s);
        *b = new Plain<IMpLinearGradientBrush>(*this);
        return gmpi::kMpOk;
    }
    int32_t drawLine(Point a, Point b, IMpBrush*, float w, IMpUnknown*) override {
        calls.push_back("drawLine " + num(a.x) + " " + num(a.y) + " " + num(b.x) + " " + num(b.y) + " " +
                        num(w));
        return gmpi::kMpOk;
    }
    int32_t fillGeometry(IMpPathGeometry*, IMpBrush*, IMpBrush* opacity) override {
        calls.push_back(opacity == nullptr ? "fill" : "fill with opacity brush");
        return gmpi::kMpOk;
    }
    int32_t drawText(const char* utf8, int32_t bytes, IMpTextFormat*, const Rect*, IMpBrush*,
                     int32_t) override {
        calls.push_back("text " + std::string(utf8, static_cast<size_t>(bytes)));
        return gmpi::kMpOk;
    }
    int32_t pushAxisAlignedClip(const Rect*) override { return gmpi::kMpOk; }
    int32_t popAxisAlignedClip() override { return gmpi::kMpOk; }

    // The figure calls alone (begin, line, arc, end, close), in order.
    std::vector<std::string> figure() const {
        std::vector<std::string> f;
        for (const auto& c : calls)
            if (c.rfind("begin", 0) == 0 || c.rfind("line", 0) == 0 || c.rfind("arc", 0) == 0 ||
                c.rfind("end", 0) == 0 || c.rfind("close", 0) == 0)
                f.push_back(c);
        return f;
    }

private:
    template <class I> struct Counted : I {
        RecordingContext& ctx;
        int32_t refs = 1;
        explicit Counted(RecordingContext& c) : ctx(c) { ++ctx.alive; }
        virtual ~Counted() { --ctx.alive; }
        int32_t queryInterface(const Guid&, void** out) override {
            *out = nullptr;
            return gmpi::kMpNoSupport;
        }
        int32_t addRef() override { return ++refs; }
        int32_t release() override { return pq::releaseReference(refs, this); }
    };
    template <class I> struct Plain final : Counted<I> { using Counted<I>::Counted; };
    struct Solid final : Counted<IMpSolidColorBrush> {
        using Counted::Counted;
        int32_t setColor(const Color* c) override {
            ctx.calls.push_back("setColor " + colour(*c));
            return gmpi::kMpOk;
        }
    };
    struct Sink final : Counted<IMpGeometrySink> {
        using Counted::Counted;
        int32_t beginFigure(Point p, int32_t b) override {
            ctx.calls.push_back("begin " + num(p.x) + " " + num(p.y) + " " + std::to_string(b));
            return gmpi::kMpOk;
        }
        int32_t endFigure(int32_t e) override {
            ctx.calls.push_back("end " + std::to_string(e));
            return gmpi::kMpOk;
        }
        int32_t closeSink() override {
            ctx.calls.push_back("close");
            return gmpi::kMpOk;
        }
        int32_t addLine(Point p) override {
            ctx.calls.push_back("line " + num(p.x) + " " + num(p.y));
            return gmpi::kMpOk;
        }
        int32_t addArc(const ArcSegment* a) override {
            ctx.calls.push_back("arc " + num(a->end.x) + " " + num(a->end.y) + " r " + num(a->radii.width) +
                                " " + num(a->radii.height) + " rot " + num(a->rotation) + " sweep " +
                                std::to_string(a->sweep) + " size " + std::to_string(a->arcSize));
            return gmpi::kMpOk;
        }
    };
    struct Geometry final : Counted<IMpPathGeometry> {
        using Counted::Counted;
        int32_t openSink(IMpGeometrySink** s) override {
            *s = new Sink(ctx);
            return gmpi::kMpOk;
        }
    };
    struct Factory final : Counted<IMpDrawingFactory> {
        using Counted::Counted;
        int32_t createPathGeometry(IMpPathGeometry** g) override {
            *g = new Geometry(ctx);
            return gmpi::kMpOk;
        }
        int32_t createTextFormat(const char*, IMpUnknown*, int32_t, int32_t, int32_t, float, const char*,
                                 IMpTextFormat** f) override {
            *f = nullptr;
            return gmpi::kMpFail;
        }
    };
};

} // namespace guitest
