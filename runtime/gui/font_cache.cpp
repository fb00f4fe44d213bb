#include "runtime/gui/font_cache.h"

#include <new>

#include "runtime/gui/mp_gui_base2.h"
#include "runtime/gui/mp_gui_drawing.h"

FontCache& FontCache::instance() {
    // Made once, thread-safely, on first use; lives until the process ends (the library may
    // be unloaded first: the object is then destroyed with it).
    static FontCache cache;
    return cache;
}

FontCache::FontCache() : defaultStyle_(pq::gui::defaultTextStyle()) {}

FontCache::~FontCache() {
    // Entries left here belong to clients that were never destroyed; their host objects may
    // be gone already, so they are not released.
}

void FontCache::removeClient() {
    if (--clientCount_ > 0) return;
    clientCount_ = 0;
    for (TextFormatEntry& entry : entries_) {
        pq::gui::releaseAndClear(entry.textFormat);
        pq::gui::releaseAndClear(entry.factory);
    }
    entries_.clear();
}

const TextStyle& FontCache::findStyle(const std::string& name) const {
    return pq::gui::findStyle(styles_, name, defaultStyle_);
}

void FontCache::loadStyleSheet(gmpi::IMpResourceStream* stream) {
    styles_.clear();
    if (stream == nullptr) return;
    int64_t size = 0;
    if (stream->getSize(&size) != gmpi::kMpOk || size <= 0 || size > kMaxStyleSheetBytes) return;
    try {
        std::string text(static_cast<size_t>(size), '\0');
        stream->read(text.data(), size, 0);
        styles_ = pq::gui::parseStyleSheet(text);
    } catch (const std::bad_alloc&) {
        styles_.clear(); // no room for the sheet: every name resolves to the default style
    }
}

void FontCache::readStyleSheet(gmpi::IMpGuiHost2* guiHost) {
    if (guiHost == nullptr) return;
    gmpi_sdk::MpString uri;
    guiHost->findResourceUri("global", "ImageMeta", &uri);
    gmpi::IMpResourceStream* stream = nullptr;
    guiHost->openUri(uri.str().c_str(), &stream);
    if (stream == nullptr) return;
    loadStyleSheet(stream);
    stream->release();
}

StyledTextFormat FontCache::getTextFormat(gmpi::IMpGuiHost2* guiHost,
                                          gmpi_gui_api::IMpGraphicsHost* graphicsHost,
                                          const std::string& styleName) {
    gmpi_gui_api::IMpDrawingFactory* factory = nullptr;
    if (graphicsHost != nullptr) graphicsHost->getDrawingFactory(&factory);

    for (TextFormatEntry& entry : entries_) {
        if (entry.factory == factory && entry.styleName == styleName) {
            if (entry.textFormat != nullptr) entry.textFormat->addRef();
            pq::gui::releaseAndClear(factory);
            return {entry.textFormat, &entry.style};
        }
    }

    if (styles_.empty()) readStyleSheet(guiHost);
    const TextStyle& style = findStyle(styleName);

    gmpi_gui_api::IMpTextFormat* format = nullptr;
    if (factory != nullptr) {
        const int32_t italic = (style.styleFlags & kTextStyleItalic) != 0 ? 1 : 0;
        factory->createTextFormat(style.families.front().c_str(), nullptr, style.weight(), italic, 5,
                                  static_cast<float>(style.fontSize), nullptr, &format);
    }
    // The entry keeps the factory's reference and one of the format's; the caller gets another.
    entries_.push_back({factory, styleName, format, style});
    if (format != nullptr) format->addRef();
    return {format, &entries_.back().style};
}

FontCacheClient::FontCacheClient() {
    FontCache::instance().addClient();
}

FontCacheClient::~FontCacheClient() {
    FontCache::instance().removeClient();
}

StyledTextFormat FontCacheClient::getTextFormat(const std::string& styleName) {
    auto* face = dynamic_cast<gmpi_gui::MpGuiGfxBase*>(this);
    if (face == nullptr) return FontCache::instance().getTextFormat(nullptr, nullptr, styleName);
    return FontCache::instance().getTextFormat(face->guiHost(), face->graphicsHostService(), styleName);
}
