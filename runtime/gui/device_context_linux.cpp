// DeviceContext on Linux: the host's pqdc_* functions, found in the process at paint time.
#include <dlfcn.h>

#include "runtime/gui/device_context.h"

namespace pq::gui {

namespace {
template <class F> F lookUp(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}
} // namespace

DeviceContext::DeviceContext(int32_t dc)
    : dc_(dc), setPixel_(lookUp<PqdcSetPixel>("pqdc_set_pixel")),
      fillPath_(lookUp<PqdcFillPath>("pqdc_fill_path")), drawText_(lookUp<PqdcDrawText>("pqdc_draw_text")) {}

bool DeviceContext::setPixel(int32_t x, int32_t y, uint32_t colourBgr) const {
    return setPixel_ != nullptr && setPixel_(dc_, x, y, colourBgr) == 0;
}

bool DeviceContext::fillPath(const PqPathStep* steps, int32_t count, const PqLineBrush& brush,
                             bool antialias) const {
    return fillPath_ != nullptr && fillPath_(dc_, steps, count, &brush, antialias ? 1 : 0) == 0;
}

bool DeviceContext::drawText(void* font, const char16_t* text, int32_t length, const int32_t rect[4],
                             uint32_t format, uint32_t colourBgr) const {
    return drawText_ != nullptr && drawText_(dc_, font, text, length, rect, format, colourBgr) == 0;
}

} // namespace pq::gui
