#include "host/gui/gui_module_instance.h"

#include <algorithm>
#include <cmath>
#include <cairo.h>

#include "runtime/gui/utf8.h"

#include "host/gui/cairo_drawing.h"
#include "host/gui/composited_surfaces.h"
#include "host/gui/gui_host.h"

namespace pqhost {

// ---- GuiHost -------------------------------------------------------------------------

int32_t GuiHost::hostSetPin(int32_t pinId, int32_t size, const void* data) {
    owner_.hostSetPin(pinId, size, data);
    return gmpi::kMpOk;
}

int32_t GuiHost::drawingFactory(gmpi_gui_api::IMpDrawingFactory** factory) {
    if (factory == nullptr) return gmpi::kMpFail;
    *factory = createCairoDrawingFactory();
    return gmpi::kMpOk;
}

int32_t GuiHost::fontInfo(const char16_t* style, gmpi::FontInfo* info, void** font) {
    if (info == nullptr || font == nullptr) {
        if (font != nullptr) *font = nullptr;
        return gmpi::kMpFail;
    }
    if (!stylesRead_) {
        stylesRead_ = true;
        if (styleSheet != nullptr) styles_ = pq::gui::parseStyleSheet(*styleSheet);
    }
    size_t length = 0;
    while (style != nullptr && length < 1024 && style[length] != u'\0')
        ++length;
    static const TextStyle fallback = pq::gui::defaultTextStyle();
    const TextStyle& found = pq::gui::findStyle(styles_, pq::utf16ToUtf8(style, length), fallback);
    *info = {};
    info->colour = found.fontColor & 0xFFFFFFu;
    info->height = found.pixelHeight;
    info->flags = found.styleFlags;
    *font = compositedFont(found);
    return gmpi::kMpOk;
}

// ---- FaceImage -----------------------------------------------------------------------

bool FaceImage::savePng(const std::string& path) const {
    // The pixels must fill the image exactly, and cairo must be able to make a surface of
    // that size (it refuses sides beyond 32767): otherwise nothing is written.
    if (width <= 0 || height <= 0 ||
        pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
        return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return false;
    }
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            const uint32_t p = at(x, y);
            const uint32_t a = p >> 24;
            const auto premultiply = [a](uint32_t c) { return (c * a + 127) / 255; };
            row[x] = (a << 24) | (premultiply((p >> 16) & 0xFF) << 16) | (premultiply((p >> 8) & 0xFF) << 8) |
                     premultiply(p & 0xFF);
        }
    }
    cairo_surface_mark_dirty(surface);
    const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

// ---- GuiModuleInstance ---------------------------------------------------------------

GuiModuleInstance::GuiModuleInstance() : host_(std::make_unique<GuiHost>(*this)) {}

GuiModuleInstance::~GuiModuleInstance() {
    busy_ = true; // nothing more reaches the module
    if (graphics_ != nullptr) graphics_->release();
    if (composited_ != nullptr) composited_->release();
    if (legacy_ != nullptr) legacy_->release();
    if (newest_ != nullptr) newest_->release();
    if (unknown_ != nullptr) unknown_->release();
}

gmpi::IMpUnknown* GuiModuleInstance::hostObject() {
    return host_->unknown();
}

void GuiModuleInstance::setStyleSheet(std::shared_ptr<const std::string> sheet) {
    host_->styleSheet = std::move(sheet);
}

bool GuiModuleInstance::attach(gmpi::IMpUnknown* module, int32_t subtype) {
    if (module == nullptr || unknown_ != nullptr) return false;
    void* found = nullptr;
    if (subtype == gmpi::kSubtypeGuiLegacy) {
        module->queryInterface(gmpi::MP_IID_GUI_PLUGIN, &found);
        legacy_ = static_cast<gmpi::IMpUserInterface*>(found);
    } else if (subtype == gmpi::kSubtypeGuiGraphics) {
        module->queryInterface(gmpi::MP_IID_GUI_PLUGIN2B, &found);
        newest_ = static_cast<gmpi::IMpUserInterface2B*>(found);
    }
    if (legacy_ == nullptr && newest_ == nullptr) {
        module->release();
        return false;
    }
    unknown_ = module;
    found = nullptr;
    module->queryInterface(gmpi_gui_api::MP_IID_GRAPHICS, &found);
    graphics_ = static_cast<gmpi_gui_api::IMpGraphics*>(found);
    if (graphics_ == nullptr && legacy_ != nullptr) {
        found = nullptr;
        module->queryInterface(MP_IID_GRAPHICS_COMPOSITED, &found);
        composited_ = static_cast<IQmGraphicsComposited*>(found);
    }

    guarded([&] {
        if (newest_ != nullptr) {
            newest_->setHost(hostObject());
            return newest_->initialize();
        }
        return legacy_->initialize();
    });
    return true;
}

void GuiModuleInstance::hostSetPin(int32_t pinId, int32_t size, const void* data) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> value(bytes, bytes + (data != nullptr && size > 0 ? size : 0));
    sent_.push_back({pinId, value});
    inbound_.push_back({pinId, value});
    outbound_.push_back({pinId, std::move(value)});
    if (!busy_) drain(); // a value set outside any call of ours
}

template <class Call> int32_t GuiModuleInstance::guarded(Call call) {
    if (busy_ || unknown_ == nullptr) return gmpi::kMpFail;
    busy_ = true;
    const int32_t result = call();
    busy_ = false;
    drain();
    return result;
}

void GuiModuleInstance::drain() {
    if (busy_ || unknown_ == nullptr) return;
    busy_ = true;
    int deliveries = 0;
    while (!inbound_.empty() || !outbound_.empty()) {
        // The callback may deliver to this instance again: that lands in the queue.
        while (!outbound_.empty()) {
            Pending out = std::move(outbound_.front());
            outbound_.pop_front();
            if (callback_) callback_(out.pinId, out.bytes);
        }
        if (inbound_.empty()) break;
        if (++deliveries > kDeliveryLimit) {
            inbound_.clear();
            break;
        }
        Pending in = std::move(inbound_.front());
        inbound_.pop_front();
        const auto size = static_cast<int32_t>(in.bytes.size());
        const int32_t taken = newest_ != nullptr ? newest_->setPinValue(in.pinId, 0, size, in.bytes.data())
                                                 : legacy_->setPinValue(in.pinId, 0, size, in.bytes.data());
        if (taken == gmpi::kMpOk) values_[in.pinId] = in.bytes;
        if (newest_ != nullptr)
            newest_->notifyPin(in.pinId, 0);
        else
            legacy_->notifyPin(in.pinId, 0);
    }
    busy_ = false;
}

int32_t GuiModuleInstance::deliver(int32_t pinId, const void* data, int32_t size) {
    if (unknown_ == nullptr) return gmpi::kMpFail;
    if (busy_) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        inbound_.push_back(
            {pinId, std::vector<uint8_t>(bytes, bytes + (data != nullptr && size > 0 ? size : 0))});
        return gmpi::kMpOk;
    }
    return guarded([&] {
        int32_t result;
        if (newest_ != nullptr) {
            result = newest_->setPinValue(pinId, 0, size, data);
            if (result == gmpi::kMpOk) keepValue(pinId, data, size);
            newest_->notifyPin(pinId, 0);
        } else {
            result = legacy_->setPinValue(pinId, 0, size, data);
            if (result == gmpi::kMpOk) keepValue(pinId, data, size);
            legacy_->notifyPin(pinId, 0);
        }
        return result;
    });
}

namespace {
// A float coordinate as whole pixels for a composited face: rounded down, NaN as 0, kept
// within the int32 range.
int32_t pixel(float v) {
    if (!(v == v)) return 0;
    const double d = std::floor(static_cast<double>(v));
    return static_cast<int32_t>(std::clamp(d, -2147483648.0, 2147483647.0));
}
} // namespace

gmpi_gui_api::Size GuiModuleInstance::measure(gmpi_gui_api::Size available) {
    gmpi_gui_api::Size desired = available;
    if (graphics_ != nullptr) guarded([&] { return graphics_->measure(available, &desired); });
    if (composited_ != nullptr) {
        int32_t size[2] = {pixel(available.width), pixel(available.height)};
        guarded([&] { return composited_->measure(size[0], size[1], size); });
        desired = {static_cast<float>(size[0]), static_cast<float>(size[1])};
    }
    return desired;
}

void GuiModuleInstance::arrange(const gmpi_gui_api::Rect& rect) {
    arranged_ = graphics_ != nullptr || composited_ != nullptr;
    if (graphics_ != nullptr) guarded([&] { return graphics_->arrange(&rect); });
    if (composited_ != nullptr)
        guarded([&] {
            return composited_->arrange(pixel(rect.top), pixel(rect.bottom), pixel(rect.left),
                                        pixel(rect.right));
        });
}

int32_t GuiModuleInstance::pointerDown(int32_t flags, gmpi_gui_api::Point point) {
    if (composited_ != nullptr)
        return guarded([&] { return composited_->onMouseDown(flags, pixel(point.x), pixel(point.y)); });
    if (graphics_ == nullptr) return gmpi::kMpNoSupport;
    return guarded([&] { return graphics_->onPointerDown(flags, point); });
}

int32_t GuiModuleInstance::pointerMove(int32_t flags, gmpi_gui_api::Point point) {
    if (composited_ != nullptr)
        return guarded([&] { return composited_->onMouseMove(flags, pixel(point.x), pixel(point.y)); });
    if (graphics_ == nullptr) return gmpi::kMpNoSupport;
    return guarded([&] { return graphics_->onPointerMove(flags, point); });
}

int32_t GuiModuleInstance::pointerUp(int32_t flags, gmpi_gui_api::Point point) {
    if (composited_ != nullptr)
        return guarded([&] { return composited_->onMouseUp(flags, pixel(point.x), pixel(point.y)); });
    if (graphics_ == nullptr) return gmpi::kMpNoSupport;
    return guarded([&] { return graphics_->onPointerUp(flags, point); });
}

namespace {
// The pixels of an ARGB32 surface of the image's size, not premultiplied.
void copyPixels(cairo_surface_t* surface, FaceImage& image) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < image.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < image.width; ++x) {
            const uint32_t p = row[x];
            const uint32_t a = p >> 24;
            const auto unpremultiply = [a](uint32_t c) {
                return a == 0 ? 0u : std::min(255u, (c * 255 + a / 2) / a);
            };
            image.pixels[static_cast<size_t>(y) * image.width + x] =
                (a << 24) | (unpremultiply((p >> 16) & 0xFF) << 16) | (unpremultiply((p >> 8) & 0xFF) << 8) |
                unpremultiply(p & 0xFF);
        }
    }
}
} // namespace

FaceImage GuiModuleInstance::render(int width, int height) {
    FaceImage image;
    image.width = std::clamp(width, 0, 8192);
    image.height = std::clamp(height, 0, 8192);
    image.pixels.assign(static_cast<size_t>(image.width) * image.height, 0);
    if (!hasFace() || image.pixels.empty()) return image;

    const auto w = static_cast<float>(image.width), h = static_cast<float>(image.height);
    measure({w, h});
    arrange({0.0f, 0.0f, w, h});

    if (composited_ != nullptr) {
        const int32_t dc = createCompositedSurface(image.width, image.height);
        if (dc == 0) return image; // out of memory: a transparent face
        guarded([&] { return composited_->paint(dc); });
        copyPixels(compositedSurface(dc), image);
        destroyCompositedSurface(dc);
        return image;
    }

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) { // out of memory: a transparent face
        cairo_surface_destroy(surface);
        return image;
    }
    cairo_t* cr = cairo_create(surface);
    {
        CairoDrawingContext context(cr);
        guarded([&] { return graphics_->render(&context); });
    }
    cairo_destroy(cr);
    copyPixels(surface, image);
    cairo_surface_destroy(surface);
    return image;
}

void GuiModuleInstance::keepValue(int32_t pinId, const void* data, int32_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    values_[pinId].assign(bytes, bytes + (data != nullptr && size > 0 ? size : 0));
}

const std::vector<uint8_t>* GuiModuleInstance::pinValue(int32_t pinId) const {
    const auto it = values_.find(pinId);
    return it == values_.end() ? nullptr : &it->second;
}

int GuiModuleInstance::invalidateCount() const {
    return host_->invalidations;
}
bool GuiModuleInstance::captured() const {
    return host_->captured;
}

} // namespace pqhost
