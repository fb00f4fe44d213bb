#include "modules/wavetable/band_tables.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

namespace pq {

namespace {

bool isPowerOfTwo(size_t n) {
    return n != 0 && (n & (n - 1)) == 0;
}

void requireSameLength(size_t a, size_t b) {
    if (a != b) throw SpectralError("Mismatched lengths");
}

// cos and sin of 2 pi k / n for k < n / 2.
void makeTwiddles(size_t n, std::vector<double>& cosTable, std::vector<double>& sinTable) {
    cosTable.resize(n / 2);
    sinTable.resize(n / 2);
    for (size_t k = 0; k < n / 2; ++k) {
        const double angle = 2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(n);
        cosTable[k] = std::cos(angle);
        sinTable[k] = std::sin(angle);
    }
}

size_t reverseBits(size_t value, int bits) {
    size_t result = 0;
    for (int b = 0; b < bits; ++b, value >>= 1)
        result = (result << 1) | (value & 1);
    return result;
}

// Butterflies of size 2, 4, .. n on sequences already in bit-reversed order; the upper element
// of each pair is multiplied by cos - i sin.
void butterflies(double* re, double* im, size_t n, const double* cosTable, const double* sinTable) {
    for (size_t size = 2; size <= n; size *= 2) {
        const size_t half = size / 2;
        const size_t step = n / size;
        for (size_t i = 0; i < n; i += size) {
            for (size_t j = i, k = 0; j < i + half; ++j, k += step) {
                const size_t l = j + half;
                const double tRe = re[l] * cosTable[k] + im[l] * sinTable[k];
                const double tIm = -re[l] * sinTable[k] + im[l] * cosTable[k];
                re[l] = re[j] - tRe;
                im[l] = im[j] - tIm;
                re[j] += tRe;
                im[j] += tIm;
            }
        }
    }
}

// x and y are transformed in place; out receives their cyclic convolution divided by n.
void convolveInPlace(std::span<double> xRe, std::span<double> xIm, std::span<double> yRe,
                     std::span<double> yIm, std::span<double> outRe, std::span<double> outIm) {
    const size_t n = xRe.size();
    computeDft(xRe, xIm);
    computeDft(yRe, yIm);
    for (size_t i = 0; i < n; ++i) {
        const double re = xRe[i] * yRe[i] - xIm[i] * yIm[i];
        outIm[i] = xIm[i] * yRe[i] + xRe[i] * yIm[i];
        outRe[i] = re;
    }
    computeDft(outIm, outRe);
    for (size_t i = 0; i < n; ++i) {
        outRe[i] /= static_cast<double>(n);
        outIm[i] /= static_cast<double>(n);
    }
}

// In place from the top down: y(2i) = x(i), y(2i+1) = midpoint of x(i) and x(i+1), the last
// midpoint towards x(0). `buffer` has room for 2n samples. Halving before adding keeps huge
// samples finite and is exact otherwise.
void doubleInPlace(float* buffer, size_t n) {
    const float first = buffer[0];
    const float last = buffer[n - 1];
    buffer[2 * n - 1] = 0.5f * last + 0.5f * first;
    buffer[2 * n - 2] = last;
    for (size_t i = n - 1; i-- > 0;) {
        const float a = buffer[i];
        const float b = buffer[i + 1];
        buffer[2 * i + 1] = 0.5f * a + 0.5f * b;
        buffer[2 * i] = a;
    }
}

// Narrowing that saturates instead of overflowing to infinity.
float narrow(double value) {
    constexpr double kMax = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(value, -kMax, kMax));
}

} // namespace

void computeDft(std::span<double> real, std::span<double> imag) {
    requireSameLength(real.size(), imag.size());
    if (real.empty()) return;
    if (isPowerOfTwo(real.size()))
        computeDftRadix2(real, imag);
    else
        computeDftChirp(real, imag);
}

void computeDftRadix2(std::span<double> real, std::span<double> imag) {
    requireSameLength(real.size(), imag.size());
    const size_t n = real.size();
    if (!isPowerOfTwo(n)) throw SpectralError("Length is not a power of 2");
    std::vector<double> cosTable, sinTable;
    makeTwiddles(n, cosTable, sinTable);
    const int bits = std::countr_zero(n);
    for (size_t i = 0; i < n; ++i) {
        const size_t j = reverseBits(i, bits);
        if (j > i) {
            std::swap(real[i], real[j]);
            std::swap(imag[i], imag[j]);
        }
    }
    butterflies(real.data(), imag.data(), n, cosTable.data(), sinTable.data());
}

void computeDftChirp(std::span<double> real, std::span<double> imag) {
    requireSameLength(real.size(), imag.size());
    const size_t n = real.size();
    if (n == 0) return; // no chirp to form: the transform of nothing is nothing
    size_t m = 1;
    while (m / 2 <= n) {
        if (m > std::numeric_limits<size_t>::max() / 2) throw SpectralError("Vector too large");
        m *= 2;
    }
    // Chirp angles pi (k^2 mod 2n) / n; k^2 mod 2n is stepped without forming k^2.
    std::vector<double> cosTable(n), sinTable(n);
    for (size_t k = 0, square = 0; k < n; ++k) {
        const double angle = std::numbers::pi * static_cast<double>(square) / static_cast<double>(n);
        cosTable[k] = std::cos(angle);
        sinTable[k] = std::sin(angle);
        square += 2 * k + 1;
        if (square >= 2 * n) square -= 2 * n;
    }
    std::vector<double> aRe(m, 0.0), aIm(m, 0.0), bRe(m, 0.0), bIm(m, 0.0);
    for (size_t k = 0; k < n; ++k) {
        aRe[k] = real[k] * cosTable[k] + imag[k] * sinTable[k];
        aIm[k] = -real[k] * sinTable[k] + imag[k] * cosTable[k];
    }
    bRe[0] = cosTable[0];
    bIm[0] = sinTable[0];
    for (size_t k = 1; k < n; ++k) {
        bRe[k] = bRe[m - k] = cosTable[k];
        bIm[k] = bIm[m - k] = sinTable[k];
    }
    std::vector<double> cRe(m), cIm(m);
    convolveInPlace(aRe, aIm, bRe, bIm, cRe, cIm);
    for (size_t k = 0; k < n; ++k) {
        real[k] = cRe[k] * cosTable[k] + cIm[k] * sinTable[k];
        imag[k] = -cRe[k] * sinTable[k] + cIm[k] * cosTable[k];
    }
}

void cyclicConvolve(std::span<const double> xReal, std::span<const double> xImag,
                    std::span<const double> yReal, std::span<const double> yImag, std::span<double> outReal,
                    std::span<double> outImag) {
    const size_t n = xReal.size();
    for (size_t size : {xImag.size(), yReal.size(), yImag.size(), outReal.size(), outImag.size()})
        requireSameLength(n, size);
    std::vector<double> xRe(xReal.begin(), xReal.end()), xIm(xImag.begin(), xImag.end());
    std::vector<double> yRe(yReal.begin(), yReal.end()), yIm(yImag.begin(), yImag.end());
    convolveInPlace(xRe, xIm, yRe, yIm, outReal, outImag);
}

void conditionWave(std::span<float> samples) {
    if (samples.empty()) return;
    float sum = 0.0f;
    for (float x : samples)
        sum += x;
    const float mean = sum / static_cast<float>(samples.size());
    if (static_cast<double>(mean) >= -0.001 && static_cast<double>(mean) <= 0.001) return;
    // A sum that overflowed would turn every sample into NaN; such a wave stays as it is.
    if (!std::isfinite(mean)) return;
    const float extreme = mean > 0.0f ? *std::max_element(samples.begin(), samples.end())
                                      : *std::min_element(samples.begin(), samples.end());
    const float gain = std::fabs(0.5f / (mean + extreme));
    for (float& x : samples)
        x *= gain;
    const float shift = mean * gain;
    for (float& x : samples)
        x -= shift;
}

void extendWave(std::vector<float>& samples) {
    if (samples.empty()) return;
    while (samples.size() < kBandTableLength) {
        const size_t n = samples.size();
        samples.resize(2 * n);
        doubleInPlace(samples.data(), n);
    }
}

void resampleCyclic(std::span<const float> in, std::span<float> out) {
    if (in.empty()) {
        std::fill(out.begin(), out.end(), 0.0f);
        return;
    }
    const size_t n = in.size();
    const double step = static_cast<double>(n) / static_cast<double>(out.size());
    for (size_t k = 0; k < out.size(); ++k) {
        const double position = static_cast<double>(k) * step;
        const size_t i = std::min(static_cast<size_t>(position), n - 1);
        const double f = position - static_cast<double>(i);
        const double a = in[i];
        const double b = in[i + 1 < n ? i + 1 : 0];
        out[k] = narrow((1.0 - f) * a + f * b);
    }
}

void bandLimit(std::span<const float> source, size_t cutoff, std::span<float> destination) {
    requireSameLength(source.size(), destination.size());
    const size_t m = source.size();
    std::vector<double> re(source.begin(), source.end()), im(m, 0.0);
    computeDft(re, im);
    for (size_t k = std::min(cutoff, m); k < m; ++k)
        re[k] = im[k] = 0.0;
    computeDft(im, re);
    const double scale = 1.0 / static_cast<double>(m);
    for (size_t k = 0; k < m; ++k)
        destination[k] = narrow(re[k] * scale);
}

BandTableBuilder::BandTableBuilder()
    : bitReverse_(kBandTableLength), spectrumReal_(kBandTableLength), spectrumImag_(kBandTableLength),
      real_(kBandTableLength), imag_(kBandTableLength) {
    makeTwiddles(kBandTableLength, cosTable_, sinTable_);
    const int bits = std::countr_zero(kBandTableLength);
    for (size_t i = 0; i < kBandTableLength; ++i)
        bitReverse_[i] = static_cast<uint32_t>(reverseBits(i, bits));
}

void BandTableBuilder::build(std::span<float> wave, BandTables& tables, BandTableStyle style) {
    constexpr size_t n = kBandTableLength;
    if (wave.empty()) return;
    if (style.condition) conditionWave(wave);

    BandTable& extended = tables[0];
    if (isPowerOfTwo(wave.size()) && wave.size() <= n) {
        std::copy(wave.begin(), wave.end(), extended.begin());
        for (size_t length = wave.size(); length < n; length *= 2)
            doubleInPlace(extended.data(), length);
    } else {
        resampleCyclic(wave, extended);
    }

    // One forward transform of the extended wave serves all ten tables; each table is the
    // inverse of the spectrum cut at its bin, exactly as a separate forward transform of the
    // same source would give.
    for (size_t k = 0; k < n; ++k) {
        spectrumReal_[bitReverse_[k]] = extended[k];
        spectrumImag_[k] = 0.0;
    }
    butterflies(spectrumReal_.data(), spectrumImag_.data(), n, cosTable_.data(), sinTable_.data());

    constexpr double scale = 1.0 / static_cast<double>(n);
    for (size_t j = style.limitTable0 ? 0 : 1; j < kBandCount; ++j) {
        const size_t cutoff = bandCutoff(j);
        // The inverse is the forward transform with real and imaginary parts exchanged; the
        // bins are placed straight into bit-reversed order.
        std::fill(real_.begin(), real_.end(), 0.0);
        std::fill(imag_.begin(), imag_.end(), 0.0);
        for (size_t k = 0; k < cutoff; ++k) {
            real_[bitReverse_[k]] = spectrumReal_[k];
            imag_[bitReverse_[k]] = spectrumImag_[k];
        }
        butterflies(imag_.data(), real_.data(), n, cosTable_.data(), sinTable_.data());
        BandTable& table = tables[j];
        for (size_t k = 0; k < n; ++k)
            table[k] = narrow(real_[k] * scale);
    }
}

void buildBandTables(std::span<const float> wave, BandTables& tables, BandTableStyle style) {
    std::vector<float> samples(wave.begin(), wave.end());
    BandTableBuilder builder;
    builder.build(samples, tables, style);
}

void fillDefaultBandTables(BandTables& tables) {
    for (BandTable& table : tables)
        for (size_t i = 0; i < kBandTableLength; ++i)
            table[i] = 0.5f * std::sin(static_cast<float>(i) * 0.0030679617f);
}

} // namespace pq
