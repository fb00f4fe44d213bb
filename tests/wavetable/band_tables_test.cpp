// The transform and the band tables on their own, against exact values and the plain sum.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>

#include "modules/wavetable/band_tables.h"
#include "tests/wavetable/wave_rig.h"
#include "tests/wavetable/test_signals.h"

namespace {

using pq::BandTables;

std::vector<std::complex<double>> plainDft(const std::vector<double>& re, const std::vector<double>& im) {
    const size_t n = re.size();
    std::vector<std::complex<double>> out(n);
    for (size_t k = 0; k < n; ++k) {
        std::complex<double> sum = 0;
        for (size_t j = 0; j < n; ++j) {
            const double angle = -2.0 * std::numbers::pi * double((j * k) % n) / double(n);
            sum += std::complex<double>(re[j], im[j]) * std::polar(1.0, angle);
        }
        out[k] = sum;
    }
    return out;
}

class DftLength : public testing::TestWithParam<size_t> {};

TEST_P(DftLength, MatchesThePlainSumAndInvertsWithTheSwappedCall) {
    const size_t n = GetParam();
    const std::vector<double> re0 = pqtest::noise<double>(n, 1), im0 = pqtest::noise<double>(n, 2);
    std::vector<double> re = re0, im = im0;
    pq::computeDft(re, im);
    const auto expected = plainDft(re0, im0);
    double worst = 0;
    for (size_t k = 0; k < n; ++k)
        worst = std::max(worst, std::abs(std::complex<double>(re[k], im[k]) - expected[k]));
    EXPECT_LT(worst, 1e-9 * double(n));

    pq::computeDft(im, re);
    for (size_t k = 0; k < n; ++k) {
        ASSERT_NEAR(re[k] / double(n), re0[k], 1e-12);
        ASSERT_NEAR(im[k] / double(n), im0[k], 1e-12);
    }
}

// Powers of two take the radix-2 path, the others the chirp path.
INSTANTIATE_TEST_SUITE_P(Lengths, DftLength, testing::Values(1, 2, 6, 8, 1000, 2048, 3000));

TEST(Dft, KnownSignals) {
    // A cosine at bin 3 of 2048 points: L/2 at bins 3 and L-3, nothing elsewhere.
    const size_t n = 2048;
    std::vector<double> re(n), im(n, 0.0);
    for (size_t i = 0; i < n; ++i)
        re[i] = std::cos(2.0 * std::numbers::pi * 3.0 * double(i) / double(n));
    pq::computeDft(re, im);
    for (size_t k = 0; k < n; ++k) {
        const double expected = (k == 3 || k == n - 3) ? n / 2.0 : 0.0;
        ASSERT_NEAR(re[k], expected, 1e-9) << k;
        ASSERT_NEAR(im[k], 0.0, 1e-9) << k;
    }
    // An impulse at 1 of 6 points: X[k] = e^(-2 pi i k / 6), through the chirp path.
    std::vector<double> r6(6, 0.0), i6(6, 0.0);
    r6[1] = 1.0;
    pq::computeDftChirp(r6, i6);
    for (size_t k = 0; k < 6; ++k) {
        EXPECT_NEAR(r6[k], std::cos(2.0 * std::numbers::pi * double(k) / 6.0), 1e-12);
        EXPECT_NEAR(i6[k], -std::sin(2.0 * std::numbers::pi * double(k) / 6.0), 1e-12);
    }
}

TEST(Dft, ErrorTextsAndEmptyInput) {
    std::vector<double> four(4), five(5), six(6), none;
    auto message = [](auto&& call) {
        try {
            call();
        } catch (const pq::SpectralError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message([&] { pq::computeDft(four, five); }), "Mismatched lengths");
    EXPECT_EQ(message([&] { pq::computeDftRadix2(four, five); }), "Mismatched lengths");
    EXPECT_EQ(message([&] { pq::computeDftChirp(four, five); }), "Mismatched lengths");
    EXPECT_EQ(message([&] { pq::computeDftRadix2(six, six); }), "Length is not a power of 2");
    EXPECT_EQ(message([&] { pq::cyclicConvolve(four, four, four, four, four, five); }), "Mismatched lengths");
    EXPECT_EQ(message([&] { pq::computeDft(none, none); }), "no error");
    EXPECT_EQ(message([&] { pq::computeDftChirp(none, none); }), "no error");
}

TEST(Dft, CyclicConvolutionMatchesTheDirectSum) {
    const size_t n = 8;
    const auto xr = pqtest::noise<double>(n, 3), xi = pqtest::noise<double>(n, 4),
               yr = pqtest::noise<double>(n, 5), yi = pqtest::noise<double>(n, 6);
    std::vector<double> outR(n), outI(n);
    pq::cyclicConvolve(xr, xi, yr, yi, outR, outI);
    for (size_t k = 0; k < n; ++k) {
        std::complex<double> sum = 0;
        for (size_t j = 0; j < n; ++j)
            sum += std::complex<double>(xr[j], xi[j]) *
                   std::complex<double>(yr[(k + n - j) % n], yi[(k + n - j) % n]);
        EXPECT_NEAR(outR[k], sum.real(), 1e-12);
        EXPECT_NEAR(outI[k], sum.imag(), 1e-12);
    }
}

TEST(ConditionWave, Cases) {
    // Mean within +-0.001: unchanged.
    std::vector<float> balanced = {0.3f, -0.3f, 0.0015f, 0.0f};
    const auto before = balanced;
    pq::conditionWave(balanced);
    EXPECT_EQ(balanced, before);

    // A constant becomes silence.
    std::vector<float> constant(16, 0.25f);
    pq::conditionWave(constant);
    for (float x : constant)
        EXPECT_EQ(x, 0.0f);

    // Mean 0.25, largest 1: g = 0.4, samples x * 0.4 - 0.1.
    std::vector<float> wave = {1.0f, 0.0f, 0.0f, 0.0f};
    pq::conditionWave(wave);
    EXPECT_FLOAT_EQ(wave[0], 0.3f);
    EXPECT_FLOAT_EQ(wave[1], -0.1f);

    // Negative mean uses the smallest sample: mean -0.25, g = |0.5 / -1.25| = 0.4.
    std::vector<float> negative = {-1.0f, 0.0f, 0.0f, 0.0f};
    pq::conditionWave(negative);
    EXPECT_FLOAT_EQ(negative[0], -0.3f);
    EXPECT_FLOAT_EQ(negative[1], 0.1f);

    // A sum that overflows leaves the wave as it is instead of filling it with NaN.
    std::vector<float> huge(4, 3e38f);
    pq::conditionWave(huge);
    for (float x : huge)
        EXPECT_EQ(x, 3e38f);
}

TEST(ExtendWave, DoublesTowardsTheFirstSampleUntil2048) {
    std::vector<float> one = {0.7f};
    pq::extendWave(one);
    ASSERT_EQ(one.size(), 2048u);
    for (float x : one)
        ASSERT_EQ(x, 0.7f);

    std::vector<float> two = {0.0f, 1.0f};
    std::vector<float> once = two;
    once.resize(4);
    pq::extendWave(two);
    ASSERT_EQ(two.size(), 2048u);
    // 0, 1 -> 0, 0.5, 1, 0.5 -> ... a triangle: sample i = 1 - |1 - i / 1024|.
    for (size_t i = 0; i < 2048; ++i)
        ASSERT_FLOAT_EQ(two[i], 1.0f - std::fabs(1.0f - float(i) / 1024.0f)) << i;

    std::vector<float> full = wavetest::sine(2048);
    const auto copy = full;
    pq::extendWave(full);
    EXPECT_EQ(full, copy);

    std::vector<float> w512 = wavetest::sine(512);
    pq::extendWave(w512);
    EXPECT_EQ(w512.size(), 2048u);
    EXPECT_EQ(w512[4], wavetest::sine(512)[1]);
}

TEST(ResampleCyclic, InterpolatesAndWraps) {
    const std::vector<float> in = {0.0f, 1.0f, 2.0f};
    std::vector<float> out(6);
    pq::resampleCyclic(in, out);
    EXPECT_EQ(out, (std::vector<float>{0.0f, 0.5f, 1.0f, 1.5f, 2.0f, 1.0f}));
}

// Level of harmonic h in a 2048-sample table.
double harmonicLevel(const pq::BandTable& table, int h) {
    std::vector<float> x(table.begin(), table.end());
    return wavetest::amplitudeAt(x, h, 2048.0);
}

TEST(BandTables, SineAtHalfAmplitudeInEveryTableDefaultAtFull) {
    BandTables tables;
    pq::buildBandTables(wavetest::sine(2048), tables);
    const auto expected = wavetest::sine(2048, 0.25f);
    for (const auto& table : tables)
        for (size_t i = 0; i < 2048; ++i)
            ASSERT_NEAR(table[i], expected[i], 1e-6);

    pq::fillDefaultBandTables(tables);
    for (const auto& table : tables)
        EXPECT_NEAR(table[512], 0.5f, 1e-6);
}

TEST(BandTables, EachTableKeepsTheHarmonicsBelowItsCutoff) {
    // A square wave has its odd harmonics only; each table keeps those below its cut-off at
    // half their level and drops the rest.
    std::vector<float> square(2048);
    for (size_t i = 0; i < 2048; ++i)
        square[i] = i < 1024 ? 0.5f : -0.5f;
    pq::BandTable source;
    std::copy(square.begin(), square.end(), source.begin());
    BandTables tables;
    pq::buildBandTables(square, tables);
    for (size_t j = 0; j < pq::kBandCount; ++j) {
        const int cutoff = int(pq::bandCutoff(j));
        for (int h : {1, 3, cutoff - 1, cutoff + 1, 1023}) {
            if (h < 1 || h % 2 == 0 || h > 1023) continue;
            const double expected = h < cutoff ? harmonicLevel(source, h) / 2.0 : 0.0;
            EXPECT_NEAR(harmonicLevel(tables[j], h), expected, 1e-6) << "table " << j << " harmonic " << h;
        }
    }
    EXPECT_GT(harmonicLevel(tables[0], 1023), 1e-4);
    EXPECT_NEAR(harmonicLevel(tables[9], 3), 0.0, 1e-6);
}

TEST(BandTables, UnconditionedStyleKeepsTheExtendedWaveAsTableZero) {
    // A 512-sample sine with an offset: kept as it is, doubled twice, and band-limited from
    // that in tables 1 .. 9.
    std::vector<float> wave = wavetest::sine(512);
    for (float& x : wave)
        x += 0.2f;
    BandTables tables;
    pq::buildBandTables(wave, tables, {false, false});
    std::vector<float> extended = wave;
    pq::extendWave(extended);
    EXPECT_TRUE(std::equal(extended.begin(), extended.end(), tables[0].begin()));
    EXPECT_NEAR(tables[3][512], 0.2f + 0.25f, 1e-5);

    // Conditioned: the offset is gone and the peak lands at 0.5 before halving.
    pq::buildBandTables(wave, tables);
    EXPECT_NEAR(tables[3][0], 0.0f, 1e-5);
    EXPECT_NEAR(tables[3][512], 0.5f * (0.5f / 0.9f) * 0.5f, 1e-4);
}

TEST(BandTables, OddLengthsAreResampledWithinTheTables) {
    // Lengths that doubling cannot bring to 2048 are resampled: the sine survives at half
    // amplitude and every table stays finite.
    for (size_t n : {size_t(3), size_t(1000), size_t(3000), size_t(4096)}) {
        BandTables tables;
        pq::buildBandTables(wavetest::sine(n), tables);
        if (n > 3) {
            EXPECT_NEAR(harmonicLevel(tables[9], 1), 0.25, 1e-4) << n;
        }
        for (const auto& table : tables)
            for (float x : table)
                ASSERT_TRUE(std::isfinite(x)) << n;
    }
}

TEST(BandTables, BuilderMatchesSeparateBandLimitCalls) {
    // The builder transforms the source once; each table must equal bandLimit on the
    // extended wave within float rounding.
    std::vector<float> wave = wavetest::sine(256, 0.3f, 3.0);
    for (size_t i = 0; i < wave.size(); ++i)
        wave[i] += 0.1f * float((i * 7919) % 13) / 13.0f;
    BandTables tables;
    pq::buildBandTables(wave, tables);
    std::vector<float> source = wave;
    pq::conditionWave(source);
    pq::extendWave(source);
    std::vector<float> expected(2048);
    for (size_t j = 0; j < pq::kBandCount; ++j) {
        pq::bandLimit(source, pq::bandCutoff(j), expected);
        for (size_t k = 0; k < 2048; ++k)
            ASSERT_NEAR(tables[j][k], expected[k], 1e-6) << j << " " << k;
    }
}

} // namespace
