// Text styles and host text formats for the faces that draw text. [GUI thread]
//
// A face names a text style instead of a font. It derives from FontCacheClient and asks
// getTextFormat(styleName); the one FontCache of the process reads the host skin's style
// sheet (the host's "global"/"ImageMeta" resource) on the first request that finds no styles,
// and creates one text format per drawing factory and exact style name with the host's
// factory, which every later request with the same pair shares. Names find their style
// case-insensitively; a missing sheet or name gives the default style (Arial, 12, black).
// The text formats are released when the last client goes; the parsed styles stay.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "runtime/gui/mp_gui_interfaces.h"
#include "runtime/gui/style_sheet.h"

struct TextFormatEntry {
    gmpi_gui_api::IMpDrawingFactory* factory; // one reference held, so its identity stays unique
    std::string styleName;                    // exact bytes as requested
    gmpi_gui_api::IMpTextFormat* textFormat;  // one reference held; null when creation failed
    TextStyle style;
};

// What a request answers: the text format with one reference for the caller (or null), and
// the style it was made from (valid until the last client goes).
struct StyledTextFormat {
    gmpi_gui_api::IMpTextFormat* textFormat = nullptr;
    const TextStyle* style = nullptr;
};

class FontCache {
public:
    // The process's one cache, made on first use.
    static FontCache& instance();

    // Either host may be null: without a drawing factory no text format is made (null is
    // cached); without a GUI host no sheet is read.
    StyledTextFormat getTextFormat(gmpi::IMpGuiHost2* guiHost, gmpi_gui_api::IMpGraphicsHost* graphicsHost,
                                   const std::string& styleName);
    // Replaces the styles by those of the stream's whole content (any bytes). A stream whose
    // size is unusable or beyond kMaxStyleSheetBytes leaves no styles.
    void loadStyleSheet(gmpi::IMpResourceStream* stream);
    // The style of `name` (case-insensitive) or the default style.
    const TextStyle& findStyle(const std::string& name) const;

    const std::vector<TextStyle>& styles() const { return styles_; }
    size_t entryCount() const { return entries_.size(); }
    int32_t clientCount() const { return clientCount_; }

    static constexpr int64_t kMaxStyleSheetBytes = 64 << 20;

private:
    friend class FontCacheClient;
    FontCache();
    ~FontCache();
    void addClient() { ++clientCount_; }
    void removeClient();
    void readStyleSheet(gmpi::IMpGuiHost2* guiHost);

    std::list<TextFormatEntry> entries_; // entries never move while they live
    TextStyle defaultStyle_;
    std::vector<TextStyle> styles_;
    int32_t clientCount_ = 0;
};

// The base a face adds to use the cache; it counts as a client for its whole life. The face
// must also derive from gmpi_gui::MpGuiGfxBase, whose hosts the requests use.
class FontCacheClient {
public:
    FontCacheClient();
    virtual ~FontCacheClient();
    FontCacheClient(const FontCacheClient&) = delete;
    FontCacheClient& operator=(const FontCacheClient&) = delete;

    StyledTextFormat getTextFormat(const std::string& styleName);
};
