// The single-module editor's menus and the commands it computes its own way.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "modules/waveeditor/earlier_commands.h"
#include "modules/wavetable/band_tables.h"
#include "tests/waveeditor/editor_rig.h"

namespace {

using namespace pq::waveeditor;
namespace earlier = pq::waveeditor::earlier;
using pq::waveeditor::testing::Editor;

int32_t indexOf(std::span<const CommandEntry> entries, std::string_view text) {
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].text == text) return int32_t(i);
    ADD_FAILURE() << "no entry " << text;
    return 0;
}

int32_t gen(std::string_view text) {
    return indexOf(earlier::kGenerators, text);
}
int32_t mod(std::string_view text) {
    return indexOf(earlier::kModifiers, text);
}

const Wave kRamp8{-0.35f, -0.25f, -0.15f, -0.05f, 0.05f, 0.15f, 0.25f, 0.35f};

TEST(EarlierCommands, TablesSpellTheMenus) {
    std::string g, m;
    for (const auto& e : earlier::kGenerators)
        g += (g.empty() ? "" : ",") + std::string(e.text);
    for (const auto& e : earlier::kModifiers)
        m += (m.empty() ? "" : ",") + std::string(e.text);
    EXPECT_EQ(g, earlier::kGeneratorMenu);
    EXPECT_EQ(m, earlier::kModifierMenu);
}

TEST(EarlierCommands, TitlesAndOtherValuesDoNothing) {
    Editor e(8);
    e.load(0, kRamp8);
    for (int32_t g : {0, -1, 20, 1 << 30})
        earlier::runGenerator(e.model, g, 3, 0.5f);
    for (int32_t m : {0, -1, 29, -(1 << 30)})
        earlier::runModifier(e.model, m, 3, 0.5f);
    EXPECT_EQ(e.port.sends, 0);
    EXPECT_EQ(e.model.wave(0), kRamp8);
}

TEST(EarlierCommands, FitToPeak) {
    const struct {
        Wave in, out;
    } cases[] = {
        {{0.3f, -0.1f}, {1 / 3.f, -1 / 3.f}},
        {{0.5f, -0.5f}, {0.5f, -0.5f}},
        {{0.0f, 0.0f}, {0.0f, 0.0f}},
        {{-0.2f, -0.4f}, {0.125f, -0.125f}},
    };
    for (auto c : cases) {
        earlier::fitToPeak(c.in);
        for (size_t i = 0; i < c.out.size(); ++i)
            EXPECT_NEAR(c.in[i], c.out[i], 1e-6f);
    }
}

TEST(EarlierCommands, SinesDecayByA) {
    Editor e(32);
    earlier::runGenerator(e.model, gen("SINES (NR-HARMONIX AMT-DECAY)"), 4, 0.5f);
    std::vector<double> re(e.model.wave(0).begin(), e.model.wave(0).end()), im(32, 0.0);
    pq::computeDft(re, im);
    const double h1 = std::hypot(re[1], im[1]);
    const double expected[] = {0, 1, 0.5, 0.25, 0.25, 0};
    for (size_t p = 1; p <= 5; ++p)
        EXPECT_NEAR(std::hypot(re[p], im[p]) / h1, expected[p], 1e-4) << p;
}

TEST(EarlierCommands, SinesCopyAmpsSetsHarmonicsFromTheClipboard) {
    Editor e(16);
    e.load(0, Wave(16, 0.0f)); // clipboard: 0 everywhere, so every amplitude is 64
    e.model.copy();
    earlier::runGenerator(e.model, gen("SINES COPY AMPS (NR-HARMONIX)"), 3, 0);
    EXPECT_EQ(e.port.sends, 0) << "a silent wave is left alone";
    e.load(0, Wave(16, 0.1f));
    earlier::runGenerator(e.model, gen("SINES COPY AMPS (NR-HARMONIX)"), 3, 0);
    std::vector<double> re(e.model.wave(0).begin(), e.model.wave(0).end()), im(16, 0.0);
    pq::computeDft(re, im);
    for (size_t p = 1; p <= 3; ++p)
        EXPECT_NEAR(std::hypot(re[p], im[p]), std::hypot(re[1], im[1]), 1e-4) << p;
    EXPECT_LT(std::hypot(re[4], im[4]), 1e-4);
}

TEST(EarlierCommands, OwnFormulas) {
    const struct {
        const char* entry;
        float n, a;
        Wave before, clipboard, after;
    } cases[] = {
        // Reads samples 0, 3, 6, 0, 3, 6, 0, 3.
        {"HARM(NR)", 3, 1, kRamp8, {}, {-.35f, -.05f, .25f, -.35f, -.05f, .25f, -.35f, -.05f}},
        {"HARM(NR)", 3, 0, kRamp8, {}, kRamp8},
        // Each step w[i] := mean of its neighbours, then both ends from each other.
        {"SMOOTH", 0, 0.1f, {0.4f, 0, 0, 0}, {}, {0.1f, 0.2f, 0.1f, 0.1f}},
        {"SMOOTH", 0, 0.0f, {0.4f, 0, 0, 0}, {}, {0.4f, 0, 0, 0}},
        {"FADE START", 0, 0.5f, {0.4f, 0.4f, 0.4f, 0.4f}, {}, {0, 0.4f, 0.4f, 0.4f}},
        {"FADE START", 0, 1.0f, {0.4f, 0.4f, 0.4f, 0.4f}, {}, {0, 0.2f, 0.3f, 0.4f}},
        {"FADE END", 0, 1.0f, {0.4f, 0.4f, 0.4f, 0.4f}, {}, {0.4f, 0.3f, 0.2f, 0}},
        {"LOWER RESOLUTION", 4, 0, kRamp8, {}, {-.35f, -.35f, -.35f, -.35f, .05f, .05f, .05f, .35f}},
        {"LOWER RESOLUTION", 7, 0, kRamp8, {}, kRamp8},
        {"ADD COPY", 0, 0, kRamp8, Wave(8, 0.0f), kRamp8},
        {"CYCLE COPY", 0, 0, kRamp8, Wave(8, 0.0f), kRamp8},
        // FM COPY with a clipboard of -0.5 reads every sample in turn.
        {"FM COPY", 0, 1, kRamp8, Wave(8, -0.5f), kRamp8},
        {"NORMALIZE", 0, 0, {0.3f, -0.1f}, {}, {1 / 3.f, -1 / 3.f}},
    };
    for (const auto& c : cases) {
        Editor e{float(c.before.size())};
        if (!c.clipboard.empty()) {
            e.load(0, c.clipboard);
            e.model.copy();
        }
        e.load(0, c.before);
        earlier::runModifier(e.model, mod(c.entry), c.n, c.a);
        for (size_t i = 0; i < c.after.size(); ++i)
            EXPECT_NEAR(e.model.wave(0)[i], c.after[i], 1e-6f) << c.entry << " A=" << c.a << " sample " << i;
    }
}

TEST(EarlierCommands, HostileParametersOverEveryEntry) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const float values[] = {kNaN, kInf, -kInf, -1e9f, -1.0f, 0.0f, 0.7f, 2.5f, 1e9f};
    for (float length : {1.0f, 2.0f, 3.5f, 13.0f}) {
        Editor e(length);
        e.model.setSelect(9);
        e.model.runGenerator(0, 0, 0);
        e.model.copy();
        for (float n : values) {
            for (float a : values) {
                for (int32_t g = 0; g < 21; ++g) {
                    earlier::runGenerator(e.model, g, n, a);
                    e.model.runGenerator(0, 0, 0);
                }
                for (int32_t m = 0; m < 30; ++m)
                    earlier::runModifier(e.model, m, n, a);
                ASSERT_EQ(e.model.wave(3).size(), size_t(length));
                for (float x : e.pin(3))
                    ASSERT_TRUE(std::isfinite(x)) << length << " " << n << " " << a;
            }
        }
    }
}

} // namespace
