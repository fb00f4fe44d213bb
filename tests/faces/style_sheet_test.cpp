// The skin's style sheet: tokens, keys, numbers and colours, and sheets of any bytes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "runtime/gui/style_sheet.h"

namespace {

using Tokens = std::vector<std::string>;

TEST(StyleSheetTokens, SplitAsTheSheetIsWritten) {
    struct Case {
        std::string line;
        Tokens tokens;
    };
    const Case cases[] = {
        {"font-family Arial, Verdana", {"font-family", "Arial", "Verdana"}},
        {"font-family Arial ,Verdana", {"font-family", "Arial", "Verdana"}},
        {"font-family Arial Verdana", {"font-family", "Arial", "Verdana"}},
        {"font-family 'Segoe UI', Arial", {"font-family", "Segoe UI", ",", "Arial"}},
        {"font-family \"Segoe UI\" Arial", {"font-family", "Segoe UI", "Arial"}},
        {"a  ,  ,b", {"a", ",b"}}, // only the first comma after spaces is skipped
        {"a,,b", {"a", ",b"}},     // the second comma starts a token
        {"\t key\tvalue  ", {"key", "value"}},
        {"key 'open quote", {"key", "open quote"}},
        {"key 'it''s'", {"key", "it", "s"}},
        {"key ''", {"key", ""}},
        {"a'b'c", {"a", "b", "c"}},
        {"", {}},
        {"   ", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pq::gui::tokenizeStyleLine(c.line), c.tokens) << c.line;
}

TEST(StyleSheet, ReadsACategoryWithItsProperties) {
    const auto styles = pq::gui::parseStyleSheet("FONT_CATEGORY Title\n"
                                                 "font-family Tahoma, Arial\n"
                                                 "font-size 18\n"
                                                 "font-weight bold\n"
                                                 "font-color #FF8000\n");
    ASSERT_EQ(styles.size(), 1u);
    const TextStyle& title = styles[0];
    EXPECT_EQ(title.name, "title");
    EXPECT_EQ(title.families, (Tokens{"Tahoma", "Arial"}));
    EXPECT_EQ(title.fontSize, 18);
    EXPECT_EQ(title.pixelHeight, 18);
    EXPECT_EQ(title.weight(), 700);
    EXPECT_EQ(title.fontColor, 0xFF0080FFu);
    EXPECT_EQ(title.pixelWidth, 8);
    EXPECT_EQ(title.backgroundColor, 0u);
}

TEST(StyleSheet, EveryKeyReachesItsField) {
    const auto styles = pq::gui::parseStyleSheet("font-size 30\n"  // before any category: ignored
                                                 "FONT_CATEGORY\n" // one token: ignored
                                                 "FONT_CATEGORY A\r\n"
                                                 "GDI_pixelWidth 7\r\n"
                                                 "vst3-vertical-offset -3\r\n"
                                                 "background-color 255\r\n"
                                                 "text-align right\r\n"
                                                 "text-decoration underline\r\n"
                                                 "unknown-key 5\r\n"
                                                 "Font-Size 40\r\n" // keys are case-sensitive
                                                 "FONT_CATEGORY b\n"
                                                 "text-align centre");
    ASSERT_EQ(styles.size(), 2u);
    const TextStyle& a = styles[0];
    EXPECT_EQ(a.name, "a");
    EXPECT_EQ(a.families, Tokens{"Verdana"});
    EXPECT_EQ(a.fontSize, 12);
    EXPECT_EQ(a.pixelWidth, 7);
    EXPECT_EQ(a.verticalOffset, -3);
    EXPECT_EQ(a.backgroundColor, 0xFFFF0000u); // decimal 255 is blue in RRGGBB
    EXPECT_EQ(a.styleFlags, kTextStyleRight | kTextStyleUnderline);
    EXPECT_EQ(a.fontColor, 0xFFFFFFFFu);
    EXPECT_EQ(styles[1].styleFlags, kTextStyleCentred);
}

TEST(StyleSheet, WeightRules) {
    struct Case {
        const char* weight;
        int32_t expected;
    };
    const Case cases[] = {{"bold", 700},
                          {"Bold", 700},
                          {"light", 300},
                          {"LIGHTER", 300},
                          {"600", 700},
                          {"551", 700},
                          {"550", 400},
                          {"400", 400},
                          {"301", 400},
                          {"300", 300},
                          {"200", 300},
                          {"1", 300},
                          {"0", 400},
                          {"-5", 300},
                          {"normal", 400},
                          {"x700", 400},
                          {"99999999999999999999", 700}};
    for (const Case& c : cases) {
        const auto styles = pq::gui::parseStyleSheet(std::string("FONT_CATEGORY s\nfont-weight ") + c.weight);
        ASSERT_EQ(styles.size(), 1u);
        EXPECT_EQ(styles[0].weight(), c.expected) << c.weight;
    }
    // Flags are only ever set: bold and light together give the normal weight.
    const auto both = pq::gui::parseStyleSheet("FONT_CATEGORY s\nfont-weight bold\nfont-weight light");
    EXPECT_EQ(both[0].styleFlags, kTextStyleBold | kTextStyleLight);
    EXPECT_EQ(both[0].weight(), 400);
}

TEST(StyleSheet, PixelHeightFollowsTheLastOfSizeAndGdiHeight) {
    const auto sizeFirst = pq::gui::parseStyleSheet("FONT_CATEGORY s\nfont-size 10\nGDI_pixelHeight 14");
    EXPECT_EQ(sizeFirst[0].fontSize, 10);
    EXPECT_EQ(sizeFirst[0].pixelHeight, 14);
    const auto heightFirst = pq::gui::parseStyleSheet("FONT_CATEGORY s\nGDI_pixelHeight 14\nfont-size 10");
    EXPECT_EQ(heightFirst[0].fontSize, 10);
    EXPECT_EQ(heightFirst[0].pixelHeight, 10);
}

TEST(StyleSheet, NumbersAndColoursReadAsFarAsTheyGo) {
    struct Case {
        const char* token;
        uint32_t colour;
    };
    const Case cases[] = {
        {"#FF8000", 0xFF0080FFu},
        {"#ff8000", 0xFF0080FFu},
        {"#", 0xFF000000u},
        {"#12zz", 0xFF120000u},
        {"red", 0xFF000000u},
        {"16711680", 0xFF0000FFu},
        // Beyond 32 bits a long of 32 bits stops at its largest value.
        {"#FFFFFFFFFFFF", ((0x7FFFFFFFu | 0xFFFFFF00u) << 16) | (0x7FFFFFFFu >> 16) | 0xFF00u},
        {"-1", 0xFFFFFFFFu},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pq::gui::styleSheetColour(c.token), c.colour) << c.token;

    const auto huge =
        pq::gui::parseStyleSheet("FONT_CATEGORY s\nfont-size 99999999999999999999\n"
                                 "GDI_pixelWidth -99999999999999999999\nvst3-vertical-offset 12px");
    EXPECT_EQ(huge[0].fontSize, INT32_MAX);
    EXPECT_EQ(huge[0].pixelWidth, INT32_MIN);
    EXPECT_EQ(huge[0].verticalOffset, 12);
}

TEST(StyleSheet, FindsNamesWhateverTheirCase) {
    const auto styles = pq::gui::parseStyleSheet("FONT_CATEGORY Title\nfont-size 18");
    const TextStyle fallback = pq::gui::defaultTextStyle();
    EXPECT_EQ(&pq::gui::findStyle(styles, "TITLE", fallback), &styles[0]);
    EXPECT_EQ(&pq::gui::findStyle(styles, "title", fallback), &styles[0]);
    EXPECT_EQ(&pq::gui::findStyle(styles, "other", fallback), &fallback);
    EXPECT_EQ(fallback.families, Tokens{"Arial"});
    EXPECT_EQ(fallback.fontColor, 0xFF000000u);
    EXPECT_EQ(fallback.fontSize, 12);
}

// Sheets of any bytes: no terminator, open quotes, control bytes and NULs, long lines.
TEST(StyleSheet, AnyBytesStayInsideTheSheet) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string text(random() % 400, '\0');
        for (char& c : text) {
            const char pool[] = "FONT_CATEGORY font-family font-size #'\",\r\n\t 0123456789abAB-";
            c = random() % 4 == 0 ? static_cast<char>(random()) : pool[random() % (sizeof pool - 1)];
        }
        // A copy on the heap of exactly the text's size, so that a read past the end is found.
        const std::vector<char> bytes(text.begin(), text.end());
        for (const TextStyle& s : pq::gui::parseStyleSheet(std::string_view(bytes.data(), bytes.size())))
            EXPECT_FALSE(s.families.empty());
    }
}

TEST(StyleSheet, ASheetOfManyMegabytesIsReadWhole) {
    std::string text;
    while (text.size() < (8u << 20))
        text += "FONT_CATEGORY s" + std::to_string(text.size()) + "\nfont-family 'A', B, C\nfont-size 11\n";
    text += std::string(1 << 20, 'x'); // one long last line without a line feed
    const auto styles = pq::gui::parseStyleSheet(text);
    EXPECT_GT(styles.size(), 100000u);
    EXPECT_EQ(styles.back().families, (Tokens{"A", ",", "B", "C"}));
}

} // namespace
