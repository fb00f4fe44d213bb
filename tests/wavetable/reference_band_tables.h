// The band-table builder as it was before the real-input transforms: one complex 2048-point
// radix-2 transform of the extended wave and one complex inverse per table. Kept as the
// reference that the faster builder is checked and timed against.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <span>
#include <vector>

#include "modules/wavetable/band_tables.h"

namespace wavetest {

class ReferenceBandTableBuilder {
public:
    ReferenceBandTableBuilder()
        : cos_(kN / 2), sin_(kN / 2), bitReverse_(kN), spectrumRe_(kN), spectrumIm_(kN), re_(kN), im_(kN) {
        for (size_t k = 0; k < kN / 2; ++k) {
            const double angle = 2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(kN);
            cos_[k] = std::cos(angle);
            sin_[k] = std::sin(angle);
        }
        for (size_t i = 0; i < kN; ++i) {
            size_t r = 0;
            for (size_t b = 0, v = i; b < 11; ++b, v >>= 1)
                r = (r << 1) | (v & 1);
            bitReverse_[i] = r;
        }
    }

    void build(std::span<float> wave, pq::BandTables& tables, pq::BandTableStyle style = {}) {
        if (wave.empty()) return;
        if (style.condition) pq::conditionWave(wave);
        pq::BandTable& extended = tables[0];
        const size_t n = wave.size();
        if ((n & (n - 1)) == 0 && n <= kN) {
            std::copy(wave.begin(), wave.end(), extended.begin());
            for (size_t length = n; length < kN; length *= 2)
                doubleInPlace(extended.data(), length);
        } else {
            pq::resampleCyclic(wave, extended);
        }
        for (size_t k = 0; k < kN; ++k) {
            spectrumRe_[bitReverse_[k]] = extended[k];
            spectrumIm_[k] = 0.0;
        }
        butterflies(spectrumRe_.data(), spectrumIm_.data());
        for (size_t j = style.limitTable0 ? 0 : 1; j < pq::kBandCount; ++j) {
            std::fill(re_.begin(), re_.end(), 0.0);
            std::fill(im_.begin(), im_.end(), 0.0);
            for (size_t k = 0; k < pq::bandCutoff(j); ++k) {
                re_[bitReverse_[k]] = spectrumRe_[k];
                im_[bitReverse_[k]] = spectrumIm_[k];
            }
            butterflies(im_.data(), re_.data());
            for (size_t k = 0; k < kN; ++k)
                tables[j][k] = narrow(re_[k] / static_cast<double>(kN));
        }
    }

private:
    static constexpr size_t kN = pq::kBandTableLength;

    void butterflies(double* re, double* im) const {
        for (size_t size = 2; size <= kN; size *= 2) {
            const size_t half = size / 2, step = kN / size;
            for (size_t i = 0; i < kN; i += size)
                for (size_t j = i, k = 0; j < i + half; ++j, k += step) {
                    const size_t l = j + half;
                    const double tRe = re[l] * cos_[k] + im[l] * sin_[k];
                    const double tIm = -re[l] * sin_[k] + im[l] * cos_[k];
                    re[l] = re[j] - tRe;
                    im[l] = im[j] - tIm;
                    re[j] += tRe;
                    im[j] += tIm;
                }
        }
    }
    static void doubleInPlace(float* buffer, size_t n) {
        const float first = buffer[0], last = buffer[n - 1];
        buffer[2 * n - 1] = 0.5f * last + 0.5f * first;
        buffer[2 * n - 2] = last;
        for (size_t i = n - 1; i-- > 0;) {
            const float a = buffer[i], b = buffer[i + 1];
            buffer[2 * i + 1] = 0.5f * a + 0.5f * b;
            buffer[2 * i] = a;
        }
    }
    static float narrow(double value) {
        constexpr double kMax = std::numeric_limits<float>::max();
        return static_cast<float>(std::clamp(value, -kMax, kMax));
    }

    std::vector<double> cos_, sin_;
    std::vector<size_t> bitReverse_;
    std::vector<double> spectrumRe_, spectrumIm_, re_, im_;
};

} // namespace wavetest
