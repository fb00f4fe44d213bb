// Generators and modifiers on small waves: exact values for the deterministic ones,
// invariants for the random ones.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numeric>
#include <string>

#include "modules/wavetable/band_tables.h"
#include "modules/waveeditor/wave_commands.h"
#include "tests/waveeditor/editor_rig.h"

namespace {

using namespace pq::waveeditor;
using pq::waveeditor::testing::Editor;

std::string joined(std::span<const CommandEntry> entries) {
    std::string text;
    for (const CommandEntry& e : entries)
        text += (text.empty() ? "" : ",") + std::string(e.text);
    return text;
}

size_t indexOf(std::span<const CommandEntry> entries, std::string_view text) {
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].text == text) return i;
    ADD_FAILURE() << "no entry " << text;
    return 0;
}

TEST(Commands, TablesSpellTheMenus) {
    EXPECT_EQ(joined(kGenerators), kGeneratorMenu);
    EXPECT_EQ(joined(kModifiers), kModifierMenu);
    for (size_t i : {9u, 14u, 20u, 25u})
        EXPECT_EQ(kGenerators[i].run, nullptr);
    for (size_t i : {4u, 13u, 19u, 24u})
        EXPECT_EQ(kModifiers[i].run, nullptr);
}

struct Case {
    const char* entry;
    bool generator;
    float n, a;
    Wave before;    // wave 0 before the command (empty: all zeros)
    Wave clipboard; // empty: none
    Wave after;     // expected wave 0, and what its pin holds
};

const float s45 = 0.5f * std::sin(3.1415927f / 4.0f);
const float third = 1.0f / 3.0f;

// Waves of eight samples unless a case says otherwise.
const Wave kRamp8{-0.35f, -0.25f, -0.15f, -0.05f, 0.05f, 0.15f, 0.25f, 0.35f};

const Case kCases[] = {
    {"SINE", true, 0, 0, {}, {}, {0, s45, 0.5f, s45, 0, -s45, -0.5f, -s45}},
    {"RAMP UP", true, 0, 0, {}, {}, {-0.375f, -0.25f, -0.125f, 0, 0.125f, 0.25f, 0.375f, 0.5f}},
    {"RAMP DOWN", true, 0, 0, {}, {}, {0.375f, 0.25f, 0.125f, 0, -0.125f, -0.25f, -0.375f, -0.5f}},
    {"SQUARE", true, 0, 0, {}, {}, {0.5f, 0.5f, 0.5f, 0.5f, -0.5f, -0.5f, -0.5f, -0.5f}},
    {"TRIANGLE", true, 0, 0, {}, {}, {-0.25f, 0, 0.25f, 0.5f, 0.25f, 0, -0.25f, -0.5f}},
    {" FLAT", true, 0, 0, kRamp8, {}, Wave(8, 0.0f)},
    // Notes 4 and 7, each held hold + 1 = 5 samples.
    {" ARP [N] NOTES",
     true,
     47,
     0,
     {},
     {},
     {4 / 12.f - .5f, 4 / 12.f - .5f, 4 / 12.f - .5f, 4 / 12.f - .5f, 4 / 12.f - .5f, 7 / 12.f - .5f,
      7 / 12.f - .5f, 7 / 12.f - .5f}},
    // "30" is note 12, a closing "1" note 1.
    {" ARP [N] NOTES",
     true,
     301,
     0,
     {},
     {},
     {.5f, .5f, .5f, .5f, .5f, 1 / 12.f - .5f, 1 / 12.f - .5f, 1 / 12.f - .5f}},
    // "1" before "4" is note 0, then 4, then "10" is 10.
    {" ARP [N] NOTES",
     true,
     1410,
     0,
     {},
     {},
     {-.5f, -.5f, -.5f, -.5f, -.5f, 4 / 12.f - .5f, 4 / 12.f - .5f, 4 / 12.f - .5f, 4 / 12.f - .5f,
      4 / 12.f - .5f, 10 / 12.f - .5f, 10 / 12.f - .5f}},
    // x^1 falling from 1 in steps of 1/8, then moved down by 0.5.
    {"EXPONENTIAL DOWN [A]", true, 0, 0, {}, {}, {0.5f, 0.375f, 0.25f, 0.125f, 0, -0.125f, -0.25f, -0.375f}},
    {"LOGARITHMIC UP [A]", true, 0, 0, {}, {}, {-0.5f, -0.375f, -0.25f, -0.125f, 0, 0.125f, 0.25f, 0.375f}},
    {"EXPONENTIAL UP [A]", true, 0, 0, {}, {}, {-0.5f, -0.375f, -0.25f, -0.125f, 0, 0.125f, 0.25f, 0.375f}},
    {"LOGARITHMIC DOWN [A]", true, 0, 0, {}, {}, {0.5f, 0.375f, 0.25f, 0.125f, 0, -0.125f, -0.25f, -0.375f}},

    {"CENTER+NORMALIZE", false, 0, 0, {0, 0.25f, 0, -0.25f}, {}, {0, 0.5f, 0, -0.5f}},
    {"CENTER+NORMALIZE", false, 0, 0, Wave(4, 0.0f), {}, Wave(4, 0.0f)},
    {"INVERT", false, 0, 0, {0.1f, -0.2f}, {}, {-0.1f, 0.2f}},
    {"REVERSE", false, 0, 0, {0.1f, -0.2f, 0.3f}, {}, {0.3f, -0.2f, 0.1f}},
    {"RECTIFY", false, 0, 0, {0.1f, -0.3f, 0.2f}, {}, {-0.5f, 0.5f, 0.0f}},
    {"SET SAMPLE [N] VALUE [A]",
     false,
     1,
     1,
     kRamp8,
     {},
     {0.5f, -.25f, -.15f, -.05f, .05f, .15f, .25f, .35f}},
    {"SET SAMPLE [N] VALUE [A]", false, 8, 1, kRamp8, {}, kRamp8},
    {"CYCLE COPY [A]", false, 0, 0.5f, Wave(8, 0.0f), kRamp8, {-.35f, -.25f, -.15f, -.05f, 0, 0, 0, 0}},
    {"LOWER RESOLUTION [N]",
     false,
     4,
     0,
     {.1f, .2f, .3f, .4f, -.1f, -.2f, -.3f, -.4f, .45f},
     {},
     {.1f, .1f, .1f, .1f, -.1f, -.1f, -.1f, -.1f, .45f}},
    // 0.1 becomes 1/12 before the fit, which leaves a full-range wave alone.
    {"QUANTIFY SEMITONE 1-OCT", false, 0, 0, {0.1f, -0.5f, 0.5f, 0}, {}, {1 / 12.f, -0.5f, 0.5f, 0}},
    {"PHASE OFFSET [A]", false, 0, 0.25f, kRamp8, {}, {-.15f, -.05f, .05f, .15f, .25f, .35f, -.35f, -.25f}},
    {"PHASE OFFSET [A]", false, 0, -0.25f, kRamp8, {}, kRamp8},
    // Even samples, then odd samples negated.
    {"SYMMETRIZE", false, 0, 0, kRamp8, {}, {-.35f, -.15f, .05f, .25f, .25f, .05f, -.15f, -.35f}},
    {"ADD HARMONIC [N]", false, 2, 1, kRamp8, {}, {-.35f, -.15f, .05f, .25f, -.25f, -.05f, .15f, .35f}},
    {"ADD HARMONIC [N]", false, 2, 0, kRamp8, {}, kRamp8},
    // Positions 0, 2.5, 5, 7.5, then back by 7 each time they reach 8.
    {"ADD HARMONIC [N]", false, 2.5f, 1, kRamp8, {}, {-.35f, -.15f, .15f, .35f, -.05f, .15f, -.25f, -.05f}},
    // Mean 0.25: (x - 0.25) * 2/3.
    {"REMOVE DC", false, 0, 0, {0.5f, 0.5f, -0.5f, 0.5f}, {}, {1 / 6.f, 1 / 6.f, -0.5f, 1 / 6.f}},
    {"REMOVE DC", false, 0, 0, {0.5f, -0.5f}, {}, {0.5f, -0.5f}},
    {"CLIP [A]", false, 0, 0.5f, {0.4f, -0.4f, 0.1f, 0}, {}, {0.5f, -0.5f, 0.2f, 0}},
    {"LOWER AMPLITUDE [A]", false, 0, 0.5f, {0.4f, -0.2f}, {}, {0.2f, -0.1f}},
    {"FLOOR [A]", false, 0, 0.5f, {0.3f, -0.1f, 0.5f, -0.5f}, {}, {0.25f, -0.25f, 0.5f, -0.5f}},
    {"FADE START [A]", false, 0, 0.5f, Wave(9, 0.4f), {}, {0, .1f, .2f, .3f, .4f, .4f, .4f, .4f, .4f}},
    {"FADE END [A]", false, 0, 0.5f, Wave(9, 0.4f), {}, {.4f, .4f, .4f, .4f, .4f, .3f, .2f, .1f, 0}},
    {"FADE ENDS [A]", false, 0, 0.5f, Wave(9, 0.4f), {}, {0, .1f, .2f, .3f, .4f, .3f, .2f, .1f, 0}},
    // A above 1: the fade covers the whole wave.
    {"FADE START [A]", false, 0, 7.0f, Wave(4, 0.4f), {}, {0, .1f, .2f, .3f}},
    {"SMOOTH [A]", false, 0, 0.02f, {0.5f, 0, 0, -0.5f}, {}, {0.1875f, 0.0625f, 0, -0.25f}},
    {"PHASE DISTORT [A]", false, 0, 0.25f, kRamp8, {}, {-.35f, -.15f, .05f, .05f, .15f, .25f, .25f, .35f}},
    {"WAVESHAPE COPY", false, 0, 0, {-0.5f, 0.49f, 0.0f, 0.7f}, {.1f, .2f, .3f, .4f}, {.1f, .4f, .3f, .4f}},
    {"COPY [N]TH SAMPLE", false, 3, 0, Wave(8, 0.0f), kRamp8, {-.35f, 0, 0, -.05f, 0, 0, .25f, 0}},
    {"MULTIPLY BY COPY", false, 0, 0, {0.5f, 0.25f, -0.5f}, {0.5f, -0.5f, 1.0f}, {0.5f, 0.0f, -0.5f}},
    {"ADD COPY [A]", false, 0, 0.5f, {0.4f, -0.4f}, {0.2f, 0.0f}, {0.3f, -0.2f}},
    {"FM BY COPY [A]", false, 0, 0, kRamp8, kRamp8, kRamp8},
    {"FM COPY LOOP FIT[A]", false, 0, 0, kRamp8, kRamp8, kRamp8},
    // Clipboard of another length: nothing at all.
    {"MULTIPLY BY COPY", false, 0, 0, {0.5f, 0.25f, -0.5f}, {0.5f}, {0.5f, 0.25f, -0.5f}},
    {"ADDITIVE COPY [N]", true, 3, 0, {0.5f, 0.25f, -0.5f}, {0.5f}, {0.5f, 0.25f, -0.5f}},
};

TEST(Commands, DeterministicValues) {
    for (const Case& c : kCases) {
        const size_t n = c.after.size();
        Editor e{float(n)};
        e.model.runGenerator(28, 0, 0); // spend the first-request rules
        e.model.runModifier(-1, 0, 0);
        if (!c.clipboard.empty()) {
            e.model.applyLength(float(c.clipboard.size()));
            e.load(0, c.clipboard);
            e.model.copy();
            e.model.applyLength(float(n));
        }
        if (!c.before.empty()) e.load(0, c.before);
        const auto table = c.generator ? std::span<const CommandEntry>(kGenerators) : kModifiers;
        const auto index = int32_t(indexOf(table, c.entry));
        if (c.generator)
            e.model.runGenerator(index, c.n, c.a);
        else
            e.model.runModifier(index, c.n, c.a);
        const Wave& w = e.model.wave(0);
        ASSERT_EQ(w.size(), n) << c.entry;
        for (size_t i = 0; i < n; ++i) {
            EXPECT_NEAR(w[i], c.after[i], 2e-6f)
                << c.entry << " N=" << c.n << " A=" << c.a << " sample " << i;
            if (!c.before.empty() || c.generator) {
                EXPECT_EQ(e.pin(0)[i], w[i]) << c.entry << " pin holds the wave";
            }
        }
    }
}

std::vector<double> magnitudes(const Wave& w) {
    std::vector<double> re(w.begin(), w.end()), im(w.size(), 0.0);
    pq::computeDft(re, im);
    std::vector<double> m(w.size());
    for (size_t i = 0; i < m.size(); ++i)
        m[i] = std::hypot(re[i], im[i]);
    return m;
}

bool isPrime(size_t p) {
    if (p < 2) return false;
    for (size_t d = 2; d * d <= p; ++d)
        if (p % d == 0) return false;
    return true;
}

TEST(Commands, PrimesUseTheOddPrimesBelowHalfOfNTimesA) {
    Editor e(256);
    e.model.runGenerator(int32_t(indexOf(kGenerators, "PRIMES [A]")), 0, 0.5f);
    const auto m = magnitudes(e.model.wave(0));
    size_t count = 0;
    for (size_t p = 1; p < 128; ++p) {
        const bool used = p % 2 == 1 && p > 2 && p < 64 && isPrime(p);
        count += used;
        if (used)
            EXPECT_GT(m[p], 1.0) << p;
        else
            EXPECT_LT(m[p], 1e-2) << p;
    }
    EXPECT_EQ(count, 17u);
    EXPECT_GT(m[3], m[61]) << "amplitudes fall with each prime";
}

TEST(Commands, BandlimitKeepsTheLowestBins) {
    // A sine with its third harmonic; keeping two bins leaves the sine, fitted to full range.
    Editor e(8);
    e.model.runGenerator(0, 0, 0);
    const Wave sine = e.model.wave(0);
    Wave mixed = sine;
    for (size_t j = 0; j < 8; ++j)
        mixed[j] += 0.2f * std::sin(3.0f * 6.2831855f * float(j) / 8.0f);
    e.load(0, mixed);
    e.model.runModifier(int32_t(indexOf(kModifiers, "BANDLIMIT [A]")), 0, 0.1f);
    for (size_t j = 0; j < 8; ++j)
        EXPECT_NEAR(e.model.wave(0)[j], sine[j] / sine[2] * 0.5f, 1e-5f) << j;

    // 2^trunc(10 A) at or above n: only the fit (and rounding) changes the wave.
    e.load(0, mixed);
    e.model.runModifier(int32_t(indexOf(kModifiers, "BANDLIMIT [A]")), 0, 0.3f);
    Wave fitted = mixed;
    fitToRange(fitted);
    for (size_t j = 0; j < 8; ++j)
        EXPECT_NEAR(e.model.wave(0)[j], fitted[j], 1e-5f) << j;
}

TEST(Commands, AddSineSetsOneHarmonic) {
    const int32_t addSine = int32_t(indexOf(kModifiers, "ADD SINE [N+A]"));
    Editor e(16);
    e.model.runModifier(addSine, 2, 1); // on silence: the sine itself
    for (size_t j = 0; j < 16; ++j)
        EXPECT_NEAR(e.model.wave(0)[j], 0.5f * std::sin(2.0f * 6.2831855f * float(j) / 16.0f), 1e-6f);

    e.model.runModifier(addSine, 5, 0.001f); // onto a wave: harmonic 5 appears
    const auto m = magnitudes(e.model.wave(0));
    EXPECT_GT(m[5], 0.01);
    EXPECT_GT(m[2], 1.0);

    const Wave before = e.model.wave(0);
    for (float bin : {16.0f, 17.5f, 1e9f}) { // beyond the transform: nothing is written
        e.model.runModifier(addSine, bin, 1);
        for (size_t j = 0; j < 16; ++j)
            EXPECT_NEAR(e.model.wave(0)[j], before[j], 1e-6f);
    }
}

TEST(Commands, FractionalLengthsStayInsideTheWave) {
    Editor e(8.5f);
    e.model.runGenerator(int32_t(indexOf(kGenerators, "RAMP UP")), 0, 0);
    ASSERT_EQ(e.model.wave(0).size(), 8u);
    EXPECT_NEAR(e.model.wave(0)[7], -0.5f + 8.0f / 8.5f, 1e-6f);
}

// The random generators and modifiers: the length stays, the samples stay in range and what
// the command does not cover keeps its value.
TEST(Commands, RandomCommandsKeepTheirInvariants) {
    const char* generators[] = {"RANDOM WAVE",  " RANDOM LINES", "RANDOM SEGMENT",        "RAND [N] SEGMENTS",
                                "BINARY NOISE", "RANDOM ARP",    "NTH RANDOVERTONE [N+A]"};
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        for (const char* entry : generators) {
            for (float length : {37.0f, 5.0f}) {
                Editor e(length);
                e.load(0, Wave(size_t(length), 0.25f));
                seedRandom(seed);
                e.model.runGenerator(int32_t(indexOf(kGenerators, entry)), 3, 0.5f);
                const Wave& w = e.model.wave(0);
                ASSERT_EQ(w.size(), size_t(length));
                for (float x : w)
                    ASSERT_TRUE(x >= -0.5f - 1e-5f && x <= 0.5f + 1e-5f) << entry << " " << x;
                const std::string_view name(entry);
                if (name == "RANDOM SEGMENT") {
                    EXPECT_EQ(w.back(), 0.25f) << "an odd length leaves the last sample out of every segment";
                }
                if (name == "BINARY NOISE") {
                    for (float x : w)
                        ASSERT_TRUE(x == 0.5f || x == -0.5f);
                }
                if (name == "RANDOM ARP") {
                    EXPECT_EQ(w[0], -0.5f);
                }
            }
        }
    }
    Editor e(64);
    const Wave sine = [&] {
        e.model.runGenerator(0, 0, 0);
        return e.model.wave(0);
    }();
    seedRandom(7);
    e.model.runModifier(int32_t(indexOf(kModifiers, "ADD NOISE [A]")), 0, 0.1f);
    for (float x : e.model.wave(0))
        ASSERT_TRUE(x >= -0.5f - 1e-6f && x <= 0.5f + 1e-6f);
    EXPECT_NE(e.model.wave(0), sine);
}

TEST(Commands, TwiceInvertOrReverseRestores) {
    Editor e(8);
    e.load(0, kRamp8);
    for (const char* entry : {"INVERT", "REVERSE"}) {
        const int32_t m = int32_t(indexOf(kModifiers, entry));
        e.model.runModifier(m, 0, 0);
        EXPECT_NE(e.model.wave(0), kRamp8);
        e.model.runModifier(m, 0, 0);
        EXPECT_EQ(e.model.wave(0), kRamp8);
    }
}

TEST(Commands, FmCopyLoopFitEndsForAnyAmount) {
    Editor e(64);
    e.model.runGenerator(0, 0, 0);
    e.model.copy();
    e.model.runGenerator(1, 0, 0);
    for (float a : {-3.0f, 2.0f, 1e30f}) {
        e.model.runModifier(int32_t(indexOf(kModifiers, "FM COPY LOOP FIT[A]")), 0, a);
        for (float x : e.pin(0))
            ASSERT_TRUE(std::isfinite(x));
    }
}

} // namespace

namespace {

// Over 48000 samples the falling x of the power curves ends a rounding error below 0, where a
// fractional power has no real value; the curve still ends at its floor.
TEST(Commands, PowerCurvesEndAtTheirFloorOnLongWaves) {
    for (const char* entry : {"EXPONENTIAL DOWN [A]", "LOGARITHMIC UP [A]"}) {
        Editor e(48000);
        e.model.runGenerator(int32_t(indexOf(kGenerators, entry)), 0, 0.3f);
        ASSERT_EQ(e.port.sends, 1) << entry;
        EXPECT_NEAR(std::fabs(e.model.wave(0).back()), 0.5f, 1e-6f) << entry;
    }
}

} // namespace
