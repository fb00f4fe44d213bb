// The real-input band-table builder against the earlier complex builder, and the transform's
// kept plans: every length family, exact circle symmetry, repeated and concurrent use.
#include <gtest/gtest.h>

#include <atomic>
#include <new>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "host/patch.h"
#include "modules/wavetable/band_tables.h"
#include "modules/wavetable/dft.h"
#include "tests/wavetable/reference_band_tables.h"
#include "tests/wavetable/test_signals.h"

// Every allocation of this test program is counted, to show which calls make none. The
// replacements stay out of line: inlined, the compiler would take malloc and free meeting new
// and delete for a mismatch.
namespace {
std::atomic<size_t> allocations{0};
}

[[gnu::noinline]] void* operator new(size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

namespace {

std::vector<float> sawWave(size_t n) {
    std::vector<float> w(n);
    for (size_t i = 0; i < n; ++i)
        w[i] = 2.0f * float(i) / float(n) - 1.0f;
    return w;
}

std::vector<float> squareWave(size_t n) {
    std::vector<float> w(n);
    for (size_t i = 0; i < n; ++i)
        w[i] = i < n / 2 ? 0.8f : -0.6f;
    return w;
}

// The demo's wave A: the single-cycle saw file.
std::vector<float> demoSaw() {
    const auto bytes = pqhost::readWaveBlob(PQ_SOURCE_DIR "/examples/waves/saw.wav");
    std::vector<float> w(bytes.size() / 4);
    std::memcpy(w.data(), bytes.data(), w.size() * 4);
    return w;
}

// The demo's wave B: the list of samples in the demo patch.
std::vector<float> demoTriangle() {
    std::ifstream file(PQ_SOURCE_DIR "/examples/demo.json");
    std::stringstream text;
    text << file.rdbuf();
    const std::string patch = text.str();
    const size_t open = patch.find('[', patch.find("\"samples\""));
    const size_t close = patch.find(']', open);
    std::vector<float> w;
    const char* p = patch.c_str() + open + 1;
    const char* end = patch.c_str() + close;
    while (p < end) {
        char* next = nullptr;
        const float x = std::strtof(p, &next);
        if (next == p) {
            ++p;
            continue;
        }
        w.push_back(x);
        p = next;
    }
    return w;
}

struct WaveCase {
    const char* name;
    std::vector<float> wave;
};

std::vector<WaveCase> waveCases() {
    return {
        {"noise 2048", pqtest::noise<float>(2048, 7)},
        {"noise 512", pqtest::noise<float>(512, 8)},
        {"noise 1000 (resampled)", pqtest::noise<float>(1000, 9)},
        {"saw 2048", sawWave(2048)},
        {"square 256", squareWave(256)},
        {"one sample", {0.3f}},
        {"demo saw", demoSaw()},
        {"demo triangle", demoTriangle()},
    };
}

TEST(BandTableBuilder, EqualsTheEarlierBuilderOnEveryWaveAndStyle) {
    pq::BandTableBuilder builder;
    wavetest::ReferenceBandTableBuilder reference;
    for (const auto& [name, wave] : waveCases()) {
        ASSERT_FALSE(wave.empty()) << name;
        for (pq::BandTableStyle style : {pq::BandTableStyle{true, true}, pq::BandTableStyle{false, false}}) {
            std::vector<float> a = wave, b = wave;
            pq::BandTables got, expected;
            builder.build(a, got, style);
            reference.build(b, expected, style);
            double worst = 0.0;
            for (size_t j = 0; j < pq::kBandCount; ++j)
                for (size_t k = 0; k < pq::kBandTableLength; ++k)
                    worst = std::max(worst, double(std::fabs(got[j][k] - expected[j][k])));
            EXPECT_LE(worst, 1e-6) << name << (style.condition ? " conditioned" : " as it came");
        }
    }
}

TEST(BandTableBuilder, BuildsWithoutAllocatingAndKeptTransformsRunWithoutAllocating) {
    // The oscillator builds its tables on the audio thread: once made, the builder allocates
    // nothing, whatever the wave's length and style.
    pq::BandTableBuilder builder;
    pq::BandTables tables;
    std::vector<float> wave = pqtest::noise<float>(512, 3), odd = pqtest::noise<float>(1000, 4), one = {0.5f};
    size_t before = allocations;
    builder.build(wave, tables);
    builder.build(odd, tables, {false, false});
    builder.build(one, tables);
    EXPECT_EQ(allocations, before);

    // computeDft allocates on a length it has not kept, then no more.
    for (size_t n : {2048, 1000, 97}) {
        std::vector<double> re = pqtest::noise<double>(n, 1), im = pqtest::noise<double>(n, 2);
        pq::computeDft(re, im);
        before = allocations;
        pq::computeDft(re, im);
        pq::computeDft(im, re);
        EXPECT_EQ(allocations, before) << n;
    }
}

TEST(BandTableBuilder, DemoWavesAreTheOnesThePatchPlays) {
    EXPECT_EQ(demoTriangle().size(), 64u);
    EXPECT_EQ(demoTriangle()[32], 1.0f);
    EXPECT_GE(demoSaw().size(), 2u);
}

TEST(BandTableBuilder, HugeAndNonFiniteSamplesStayInsideTheTables) {
    // Unconditioned waves reach the transform as they came: the tables saturate at the float
    // range and carry NaN where the wave does, without reading or writing outside.
    pq::BandTableBuilder builder;
    std::vector<float> huge(2048, 3e38f);
    huge[5] = -3e38f;
    pq::BandTables tables;
    builder.build(huge, tables, {false, false});
    for (const auto& table : tables)
        for (float x : table)
            ASSERT_FALSE(std::isinf(x));
    std::vector<float> withNan = sawWave(2048);
    withNan[100] = std::nanf("");
    builder.build(withNan, tables, {false, true});
    EXPECT_TRUE(std::isnan(tables[9][0]));
}

// The largest error against the plain sum, relative to the input's size.
double errorAgainstPlainSum(const std::vector<double>& re0, const std::vector<double>& im0,
                            const std::vector<double>& re, const std::vector<double>& im) {
    const size_t n = re0.size();
    std::vector<double> c(n), s(n);
    pq::dft::unitCircle(n, c, s);
    double worst = 0.0;
    for (size_t k = 0; k < n; ++k) {
        std::complex<long double> sum = 0;
        for (size_t j = 0; j < n; ++j) {
            const size_t t = (j * k) % n;
            sum += std::complex<long double>(re0[j], im0[j]) * std::complex<long double>(c[t], -s[t]);
        }
        worst = std::max(worst, double(std::abs(std::complex<long double>(re[k], im[k]) - sum)));
    }
    return worst / std::sqrt(double(n));
}

class DftFamily : public testing::TestWithParam<size_t> {};

// Every radix and its combinations (2, 3, 4, 5, 8; an odd number of passes runs in place
// through a copy), and lengths with other prime factors, which take the chirp path.
TEST_P(DftFamily, ExactWithinRoundingAndInvertible) {
    const size_t n = GetParam();
    const auto re0 = pqtest::noise<double>(n, 11), im0 = pqtest::noise<double>(n, 12);
    std::vector<double> re = re0, im = im0;
    pq::computeDft(re, im);
    EXPECT_LT(errorAgainstPlainSum(re0, im0, re, im), 1e-14 * std::log2(double(n) + 1.0)) << n;
    pq::computeDft(im, re);
    double worst = 0.0;
    for (size_t k = 0; k < n; ++k)
        worst =
            std::max({worst, std::fabs(re[k] / double(n) - re0[k]), std::fabs(im[k] / double(n) - im0[k])});
    EXPECT_LT(worst, 1e-14) << n;
}

INSTANTIATE_TEST_SUITE_P(Lengths, DftFamily,
                         testing::Values(2, 3, 4, 5, 8, 9, 12, 15, 16, 25, 30, 32, 45, 64, 128, 360, 375, 512,
                                         1000, 1024, 7, 14, 97, 1009, 2310));

TEST(Dft, ChirpAndMixedRadixAgreeOnSmallFactorLengths) {
    for (size_t n : {6, 30, 1000}) {
        const auto re0 = pqtest::noise<double>(n, 21), im0 = pqtest::noise<double>(n, 22);
        std::vector<double> re = re0, im = im0, chirpRe = re0, chirpIm = im0;
        pq::computeDft(re, im);
        pq::computeDftChirp(chirpRe, chirpIm);
        for (size_t k = 0; k < n; ++k) {
            ASSERT_NEAR(re[k], chirpRe[k], 1e-11) << n << " " << k;
            ASSERT_NEAR(im[k], chirpIm[k], 1e-11) << n << " " << k;
        }
    }
}

TEST(Dft, UnitCircleIsSymmetricToTheLastBit) {
    for (size_t n : {1, 2, 6, 7, 8, 12, 1000, 2048, 4097}) {
        std::vector<double> c, s;
        pq::dft::unitCircle(n, c, s);
        ASSERT_EQ(c.size(), n);
        EXPECT_EQ(c[0], 1.0);
        EXPECT_EQ(s[0], 0.0);
        for (size_t k = 1; k < n; ++k) {
            ASSERT_EQ(c[k], c[n - k]) << n << " " << k;
            ASSERT_EQ(s[k], -s[n - k]) << n << " " << k;
            // The angle itself rounds, so std::cos and std::sin are good to a few ulp only.
            const double angle = 2.0 * std::numbers::pi * double(k) / double(n);
            ASSERT_NEAR(c[k], std::cos(angle), 4e-15) << n << " " << k;
            ASSERT_NEAR(s[k], std::sin(angle), 4e-15) << n << " " << k;
        }
        if (n % 4 == 0) {
            EXPECT_EQ(c[n / 4], 0.0);
            EXPECT_EQ(s[n / 4], 1.0);
            EXPECT_EQ(c[n / 2], -1.0);
        }
    }
}

TEST(Dft, KeptPlansGiveTheSameResultsAfterManyLengthsAndOnOtherThreads) {
    // More lengths than the per-thread store keeps: plans are dropped and made again, and a
    // second thread makes its own, all with bit-identical results.
    const std::vector<size_t> lengths = {6, 8, 1000, 7, 2048, 30, 97, 1024};
    auto transformAll = [&] {
        std::vector<std::vector<double>> results;
        for (size_t n : lengths) {
            std::vector<double> re = pqtest::noise<double>(n, unsigned(n)),
                                im = pqtest::noise<double>(n, unsigned(n + 1));
            pq::computeDft(re, im);
            re.insert(re.end(), im.begin(), im.end());
            results.push_back(std::move(re));
        }
        return results;
    };
    const auto first = transformAll();
    EXPECT_EQ(transformAll(), first);
    std::vector<std::vector<double>> other1, other2;
    std::thread a([&] { other1 = transformAll(); });
    std::thread b([&] { other2 = transformAll(); });
    a.join();
    b.join();
    EXPECT_EQ(other1, first);
    EXPECT_EQ(other2, first);
}

TEST(Dft, BaselineAndWideVectorsGiveTheSameBits) {
    // Where the processor has no wide vectors both plans run the baseline passes, and the test
    // holds trivially.
    for (size_t n : {8, 60, 1000, 1024, 2048, 3 * 4096}) {
        const auto re0 = pqtest::noise<double>(n, 41), im0 = pqtest::noise<double>(n, 42);
        pq::dft::Plan best(n), baseline(n, pq::dft::Vectors::Baseline);
        std::vector<double> re1 = re0, im1 = im0, re2 = re0, im2 = im0, tmpRe(n), tmpIm(n);
        best.forward(re1.data(), im1.data(), re1.data(), im1.data(), tmpRe.data(), tmpIm.data());
        baseline.forward(re2.data(), im2.data(), re2.data(), im2.data(), tmpRe.data(), tmpIm.data());
        EXPECT_EQ(re1, re2) << n;
        EXPECT_EQ(im1, im2) << n;
    }
    pq::BandTableBuilder best, baseline(pq::dft::Vectors::Baseline);
    for (const auto& [name, wave] : waveCases()) {
        std::vector<float> a = wave, b = wave;
        pq::BandTables t1, t2;
        best.build(a, t1);
        baseline.build(b, t2);
        EXPECT_TRUE(t1 == t2) << name;
    }
}

TEST(Dft, PlanRunsOutOfPlaceWithoutTouchingItsSource) {
    for (size_t n : {8, 60, 2048}) {
        const auto re0 = pqtest::noise<double>(n, 31), im0 = pqtest::noise<double>(n, 32);
        pq::dft::Plan plan(n);
        std::vector<double> dstRe(n), dstIm(n), tmpRe(n), tmpIm(n);
        plan.forward(re0.data(), im0.data(), dstRe.data(), dstIm.data(), tmpRe.data(), tmpIm.data());
        std::vector<double> re = re0, im = im0;
        pq::computeDft(re, im);
        EXPECT_EQ(dstRe, re) << n;
        EXPECT_EQ(dstIm, im) << n;
    }
}

} // namespace
