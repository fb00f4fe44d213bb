#include "runtime/gui/style_sheet.h"

#include <cctype>
#include <cstdlib>
#include <limits>

int32_t TextStyle::weight() const {
    const bool bold = (styleFlags & kTextStyleBold) != 0;
    const bool light = (styleFlags & kTextStyleLight) != 0;
    if (bold && !light) return 700;
    if (light && !bold) return 300;
    return 400;
}

namespace pq::gui {

namespace {

bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool isQuote(char c) {
    return c == '"' || c == '\'';
}

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string lowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = lower(c);
    return out;
}

// strtol as a 32-bit long reads: as far as the digits go, clamped to the int32 range.
int32_t readLong32(const std::string& token, int base) {
    const long v = std::strtol(token.c_str(), nullptr, base);
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

void applyWeight(TextStyle& style, const std::string& token) {
    const char first = lower(token[0]);
    if (first == 'b') {
        style.styleFlags |= kTextStyleBold;
    } else if (first == 'l') {
        style.styleFlags |= kTextStyleLight;
    } else {
        const int32_t n = readLong32(token, 10);
        if (n < 0 || (n >= 1 && n <= 300))
            style.styleFlags |= kTextStyleLight;
        else if (n > 550)
            style.styleFlags |= kTextStyleBold;
    }
}

// Applies one line of two or more tokens; answers the current style afterwards.
void applyLine(std::vector<TextStyle>& styles, bool& haveCurrent, const std::vector<std::string>& tokens) {
    const std::string& key = tokens[0];
    const std::string& value = tokens[1];
    if (key == "FONT_CATEGORY") {
        TextStyle style;
        style.name = lowerCase(value);
        styles.push_back(std::move(style));
        haveCurrent = true;
        return;
    }
    if (!haveCurrent) return;
    TextStyle& style = styles.back();
    if (key == "font-family") {
        style.families.insert(style.families.end(), tokens.begin() + 1, tokens.end());
    } else if (key == "font-size") {
        style.fontSize = style.pixelHeight = readLong32(value, 10);
    } else if (key == "vst3-vertical-offset") {
        style.verticalOffset = readLong32(value, 10);
    } else if (key == "GDI_pixelHeight") {
        style.pixelHeight = readLong32(value, 10);
    } else if (key == "GDI_pixelWidth") {
        style.pixelWidth = readLong32(value, 10);
    } else if (key == "font-color") {
        style.fontColor = styleSheetColour(value);
    } else if (key == "background-color") {
        style.backgroundColor = styleSheetColour(value);
    } else if (key == "font-weight") {
        applyWeight(style, value);
    } else if (key == "text-align") {
        if (value[0] == 'r')
            style.styleFlags |= kTextStyleRight;
        else if (value[0] == 'c')
            style.styleFlags |= kTextStyleCentred;
    } else if (key == "text-decoration") {
        if (value[0] == 'u') style.styleFlags |= kTextStyleUnderline;
    }
}

} // namespace

std::vector<std::string> tokenizeStyleLine(std::string_view line) {
    std::vector<std::string> tokens;
    size_t i = 0;
    const size_t n = line.size();
    while (true) {
        while (i < n && isSpace(line[i]))
            ++i;
        if (i >= n) break;
        if (isQuote(line[i])) {
            const char quote = line[i];
            const size_t start = i + 1;
            size_t end = start;
            while (end < n && line[end] != quote)
                ++end;
            tokens.emplace_back(line.substr(start, end - start));
            i = end < n ? end + 1 : n;
            continue;
        }
        const size_t start = i;
        size_t end = start + 1;
        while (end < n && !isSpace(line[end]) && !isQuote(line[end]) && line[end] != ',')
            ++end;
        tokens.emplace_back(line.substr(start, end - start));
        i = end;
        if (i >= n) break;
        if (line[i] == ',') {
            ++i;
        } else if (line[i] == ' ') {
            while (i < n && line[i] == ' ')
                ++i;
            if (i < n && line[i] == ',') {
                ++i;
                while (i < n && line[i] == ' ')
                    ++i;
            }
        }
    }
    return tokens;
}

uint32_t styleSheetColour(const std::string& token) {
    const int32_t read = token[0] == '#' ? readLong32(token.substr(1), 16) : readLong32(token, 10);
    const auto v = static_cast<uint32_t>(read);
    return ((v | 0xFFFFFF00u) << 16) | (v >> 16) | (v & 0xFF00u);
}

std::vector<TextStyle> parseStyleSheet(std::string_view text) {
    std::vector<TextStyle> styles;
    bool haveCurrent = false;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        const bool last = end == std::string_view::npos;
        if (last) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!last && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::vector<std::string> tokens = tokenizeStyleLine(line);
        if (tokens.size() >= 2) applyLine(styles, haveCurrent, tokens);
        if (last) break;
        start = end + 1;
    }
    for (TextStyle& style : styles)
        if (style.families.empty()) style.families.emplace_back("Verdana");
    return styles;
}

const TextStyle& findStyle(const std::vector<TextStyle>& styles, std::string_view name,
                           const TextStyle& fallback) {
    const std::string wanted = lowerCase(name);
    for (const TextStyle& style : styles)
        if (style.name == wanted) return style;
    return fallback;
}

TextStyle defaultTextStyle() {
    TextStyle style;
    style.name = "default";
    style.families = {"Arial"};
    style.fontColor = 0xFF000000;
    return style;
}

} // namespace pq::gui
