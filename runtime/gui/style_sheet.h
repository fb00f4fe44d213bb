// The host skin's style sheet: named text styles with font families, size, weight, colours
// and alignment. Read by the font cache of the graphics faces and by the substitute host,
// which answers the legacy font requests of the composited faces from the same sheet.
// Needs no runtime edition. [GUI thread]
//
// A sheet is lines of tokens; the first token of a line is its key:
//   FONT_CATEGORY Title          starts the style "title" (names are lower case)
//   font-family Tahoma, Arial    families in order ('Segoe UI' may be quoted)
//   font-size 18                 size and pixel height
//   font-weight bold             bold, light, or a number (1-300 light, above 550 bold)
//   font-color #FF8000           #RRGGBB hexadecimal or decimal
// and background-color, text-align (right, centre), text-decoration (underline),
// GDI_pixelHeight, GDI_pixelWidth, vst3-vertical-offset. Unknown keys, lines of one token and
// properties before the first FONT_CATEGORY are ignored. Numbers read as far as they go (no
// digits give 0; values beyond the int32 range give its nearest end).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Bits of TextStyle::styleFlags.
enum : uint32_t {
    kTextStyleCentred = 0x8,
    kTextStyleRight = 0x10,
    kTextStyleUnderline = 0x40,
    kTextStyleBold = 0x80,
    kTextStyleLight = 0x100,
    kTextStyleItalic = 0x200, // no key of the sheet sets it
};

struct TextStyle {
    std::string name; // lower case
    std::vector<std::string> families;
    uint32_t styleFlags = 0;
    int32_t fontSize = 12;
    int32_t pixelWidth = 8;
    int32_t pixelHeight = 12;
    uint32_t fontColor = 0xFFFFFFFF; // 0xAABBGGRR, red in the lowest byte
    uint32_t backgroundColor = 0;    // same form
    int32_t verticalOffset = 0;

    // The text-format weight: 700 bold, 300 light, 400 otherwise (both bits: 400).
    int32_t weight() const;
};

namespace pq::gui {

// Splits one line (no line feed in it) into tokens: white space separates; a single or double
// quote runs to the same quote or the line's end; a comma ends a token and is skipped, and
// spaces after a token are skipped together with at most one comma.
std::vector<std::string> tokenizeStyleLine(std::string_view line);

// Parses a whole sheet of any bytes; styles without a family get "Verdana".
std::vector<TextStyle> parseStyleSheet(std::string_view text);

// A colour value of the sheet ("#RRGGBB" or decimal) as 0xAABBGGRR, opaque for 24-bit values.
uint32_t styleSheetColour(const std::string& token);

// The style whose name equals `name` lower-cased, or `fallback`.
const TextStyle& findStyle(const std::vector<TextStyle>& styles, std::string_view name,
                           const TextStyle& fallback);

// The style used when a sheet or a name is missing: "default", Arial, black.
TextStyle defaultTextStyle();

} // namespace pq::gui
