#include "modules/wavetable/band_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <numbers>

#include "modules/wavetable/simd.h"

namespace pq {

namespace {

bool isPowerOfTwo(size_t n) {
    return n != 0 && (n & (n - 1)) == 0;
}

void requireSameLength(size_t a, size_t b) {
    if (a != b) throw SpectralError("Mismatched lengths");
}

// Working state of computeDft for one length, kept per thread: a plan of the length itself,
// or for the chirp path a plan of the convolution length, the chirp and the transform of the
// chirp kernel.
struct DftWork {
    size_t length = 0;
    bool chirp = false;
    dft::Plan plan;
    std::vector<double> tmpRe, tmpIm;
    std::vector<double> chirpCos, chirpSin; // e^(i theta(k)), k < length
    std::vector<double> kernelRe, kernelIm; // transform of the chirp kernel, divided by m
    std::vector<double> workRe, workIm;     // m

    DftWork(size_t n, bool isChirp, size_t planSize)
        : length(n), chirp(isChirp), plan(planSize), tmpRe(planSize), tmpIm(planSize) {}
};

// Bluestein's kernel for length n on the convolution length m: the chirp angles
// theta(k) = pi (k^2 mod 2n) / n, read from the circle of 2n points, and the transform of
// b(k) = b(m - k) = e^(i theta(k)).
void prepareChirp(DftWork& work, size_t m) {
    const size_t n = work.length;
    std::vector<double> circleCos, circleSin;
    dft::unitCircle(2 * n, circleCos, circleSin);
    work.chirpCos.resize(n);
    work.chirpSin.resize(n);
    // k^2 mod 2n is stepped without forming k^2.
    for (size_t k = 0, square = 0; k < n; ++k) {
        work.chirpCos[k] = circleCos[square];
        work.chirpSin[k] = circleSin[square];
        square += 2 * k + 1;
        square %= 2 * n;
    }
    work.kernelRe.assign(m, 0.0);
    work.kernelIm.assign(m, 0.0);
    work.kernelRe[0] = work.chirpCos[0];
    work.kernelIm[0] = work.chirpSin[0];
    for (size_t k = 1; k < n; ++k) {
        work.kernelRe[k] = work.kernelRe[m - k] = work.chirpCos[k];
        work.kernelIm[k] = work.kernelIm[m - k] = work.chirpSin[k];
    }
    work.plan.forward(work.kernelRe.data(), work.kernelIm.data(), work.kernelRe.data(), work.kernelIm.data(),
                      work.tmpRe.data(), work.tmpIm.data());
    // m is a power of two: the division is exact.
    const double scale = 1.0 / static_cast<double>(m);
    for (size_t k = 0; k < m; ++k) {
        work.kernelRe[k] *= scale;
        work.kernelIm[k] *= scale;
    }
    work.workRe.resize(m);
    work.workIm.resize(m);
}

// The kept state for (length, path), made when missing; the few slots are reused in turn.
DftWork& dftWork(size_t n, bool chirp, size_t planSize) {
    constexpr size_t kSlots = 4;
    thread_local std::array<std::unique_ptr<DftWork>, kSlots> slots;
    thread_local size_t nextSlot = 0;
    for (auto& slot : slots)
        if (slot && slot->length == n && slot->chirp == chirp) return *slot;
    auto work = std::make_unique<DftWork>(n, chirp, planSize);
    if (chirp) prepareChirp(*work, planSize);
    auto& slot = slots[nextSlot];
    nextSlot = (nextSlot + 1) % kSlots;
    slot = std::move(work);
    return *slot;
}

void transformInPlace(std::span<double> real, std::span<double> imag) {
    DftWork& work = dftWork(real.size(), false, real.size());
    work.plan.forward(real.data(), imag.data(), real.data(), imag.data(), work.tmpRe.data(),
                      work.tmpIm.data());
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
    if (dft::hasSmallFactors(real.size()))
        transformInPlace(real, imag);
    else
        computeDftChirp(real, imag);
}

void computeDftRadix2(std::span<double> real, std::span<double> imag) {
    requireSameLength(real.size(), imag.size());
    if (!isPowerOfTwo(real.size())) throw SpectralError("Length is not a power of 2");
    transformInPlace(real, imag);
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
    DftWork& work = dftWork(n, true, m);
    double* aRe = work.workRe.data();
    double* aIm = work.workIm.data();
    // a(k) = x(k) e^(-i theta(k)), zero beyond n.
    for (size_t k = 0; k < n; ++k) {
        aRe[k] = real[k] * work.chirpCos[k] + imag[k] * work.chirpSin[k];
        aIm[k] = -real[k] * work.chirpSin[k] + imag[k] * work.chirpCos[k];
    }
    std::fill(aRe + n, aRe + m, 0.0);
    std::fill(aIm + n, aIm + m, 0.0);
    work.plan.forward(aRe, aIm, aRe, aIm, work.tmpRe.data(), work.tmpIm.data());
    // Multiplied by the kernel's transform (already divided by m) and transformed back with the
    // swapped call: the cyclic convolution of a and b.
    for (size_t k = 0; k < m; ++k) {
        const double re = aRe[k] * work.kernelRe[k] - aIm[k] * work.kernelIm[k];
        aIm[k] = aIm[k] * work.kernelRe[k] + aRe[k] * work.kernelIm[k];
        aRe[k] = re;
    }
    work.plan.forward(aIm, aRe, aIm, aRe, work.tmpIm.data(), work.tmpRe.data());
    for (size_t k = 0; k < n; ++k) {
        real[k] = aRe[k] * work.chirpCos[k] + aIm[k] * work.chirpSin[k];
        imag[k] = -aRe[k] * work.chirpSin[k] + aIm[k] * work.chirpCos[k];
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

namespace {

constexpr size_t kHalf = kBandTableLength / 2;
// Tables with at most this many harmonics (DC included) are summed directly: cheaper than a
// transform for so few terms.
constexpr size_t kDirectCutoff = 4;

#if PQ_SIMD_SSE2
// Two doubles narrowed to single precision with saturation; NaN stays NaN (min and max return
// their second operand when it is NaN).
inline __m128 narrowPair(const double* p) {
    const __m128d lo = _mm_set1_pd(-static_cast<double>(std::numeric_limits<float>::max()));
    const __m128d hi = _mm_set1_pd(static_cast<double>(std::numeric_limits<float>::max()));
    return _mm_cvtpd_ps(_mm_max_pd(lo, _mm_min_pd(hi, _mm_loadu_pd(p))));
}
#endif

// A table's samples narrowed: table[i] = narrow(in[i]).
void narrowTable(const double* in, BandTable& table) {
#if PQ_SIMD_SSE2
    static_assert(kBandTableLength % 4 == 0);
    for (size_t i = 0; i < kBandTableLength; i += 4)
        _mm_storeu_ps(table.data() + i, _mm_movelh_ps(narrowPair(in + i), narrowPair(in + i + 2)));
#else
    for (size_t i = 0; i < kBandTableLength; ++i)
        table[i] = narrow(in[i]);
#endif
}

// The same from the even and the odd samples: table[2n] = narrow(even[n]),
// table[2n + 1] = narrow(odd[n]).
void narrowTableInterleaved(const double* even, const double* odd, BandTable& table) {
#if PQ_SIMD_SSE2
    for (size_t n = 0; n < kHalf; n += 2)
        _mm_storeu_ps(table.data() + 2 * n, _mm_unpacklo_ps(narrowPair(even + n), narrowPair(odd + n)));
#else
    for (size_t n = 0; n < kHalf; ++n) {
        table[2 * n] = narrow(even[n]);
        table[2 * n + 1] = narrow(odd[n]);
    }
#endif
}

} // namespace

BandTableBuilder::BandTableBuilder(dft::Vectors vectors)
    : half_(kHalf, vectors), spectrumRe_(kHalf), spectrumIm_(kHalf), re_(kHalf), im_(kHalf), outRe_(kHalf),
      outIm_(kHalf), tmpRe_(kHalf), tmpIm_(kHalf), sum_(kBandTableLength) {
    dft::unitCircle(kBandTableLength, cos_, sin_);
}

// The spectrum X[k], k < 1024, of the 2048 real samples: z[n] = x[2n] + i x[2n + 1] is
// transformed with 1024 points, and the transforms of the even and odd samples are split
// from it: E[k] = (Z[k] + conj Z[1024 - k]) / 2, O[k] = (Z[k] - conj Z[1024 - k]) / 2i,
// X[k] = E[k] + e^(-2 pi i k / 2048) O[k].
void BandTableBuilder::forwardReal(const BandTable& source) {
    zeroFrom_ = zeroTo_ = 0; // re_ and im_ are filled from the source
    for (size_t n = 0; n < kHalf; ++n) {
        re_[n] = source[2 * n];
        im_[n] = source[2 * n + 1];
    }
    half_.forward(re_.data(), im_.data(), outRe_.data(), outIm_.data(), tmpRe_.data(), tmpIm_.data());
    constexpr double scale = 1.0 / static_cast<double>(kBandTableLength);
    for (size_t k = 0; k < kHalf; ++k) {
        const size_t mirror = (kHalf - k) % kHalf;
        const double zr = outRe_[k], zi = outIm_[k], cr = outRe_[mirror], ci = -outIm_[mirror];
        const double er = 0.5 * (zr + cr), ei = 0.5 * (zi + ci);
        const double or_ = 0.5 * (zi - ci), oi = -0.5 * (zr - cr);
        const double wr = cos_[k], wi = -sin_[k];
        spectrumRe_[k] = (er + (or_ * wr - oi * wi)) * scale;
        spectrumIm_[k] = (ei + (or_ * wi + oi * wr)) * scale;
    }
}

// The table keeps bins 0 .. cutoff - 1 of the one-sided spectrum, and its samples are the real
// part of their inverse: the inverse of the Hermitian spectrum Y[0] = X[0], Y[k] = X[k] / 2
// and Y[2048 - k] = conj X[k] / 2 for 0 < k < cutoff. That real inverse is one 1024-point
// transform: z = IDFT(A + iB) with A[k] = Y[k] + conj Y[1024 - k] and
// B[k] = (Y[k] - conj Y[1024 - k]) e^(2 pi i k / 2048) gives x[2n] = Re z[n], x[2n+1] = Im z[n].
namespace {

// Bins k .. k + width - 1 of the merged sequence from a = Y[k] = X[k] / 2 (when Low) and
// b = Y[1024 - k] (when High), stored swapped: re gets Im(A + iB) = Im A + Re B, im gets
// Re(A + iB) = Re A - Im B, with A = Y[k] + conj Y[1024 - k] and
// B = (Y[k] - conj Y[1024 - k]) e^(2 pi i k / 2048).
template <class V, bool Low, bool High>
inline void mergeAt(size_t k, const double* xr, const double* xi, const double* c, const double* s,
                    double* re, double* im) {
    const V half = V::splat(0.5), zero = V::splat(0.0);
    V ar = zero, ai = zero, br = zero, bi = zero;
    if constexpr (Low) {
        ar = V::load(xr + k) * half;
        ai = V::load(xi + k) * half;
    }
    if constexpr (High) {
        const size_t mirror = kHalf - k - (V::width - 1);
        br = reversed(V::load(xr + mirror)) * half;
        bi = reversed(V::load(xi + mirror)) * half;
    }
    const V sr = ar + br, si = ai - bi; // Y[k] + conj Y[1024 - k]
    const V dr = ar - br, di = ai + bi; // Y[k] - conj Y[1024 - k]
    const V wr = V::load(c + k), wi = V::load(s + k);
    (si + (dr * wr - di * wi)).store(re + k);
    (sr - (dr * wi + di * wr)).store(im + k);
}

template <bool Low, bool High>
void mergeRange(size_t from, size_t to, const double* xr, const double* xi, const double* c, const double* s,
                double* re, double* im) {
    size_t k = from;
    for (; k + V2::width <= to; k += V2::width)
        mergeAt<V2, Low, High>(k, xr, xi, c, s, re, im);
    for (; k < to; ++k)
        mergeAt<V1, Low, High>(k, xr, xi, c, s, re, im);
}

// sum[i] = X[0] + sum over 0 < k < C of Re(X[k] z^k), z = e^(2 pi i i / 2048), by Horner's
// rule on z.
template <size_t C, class V>
inline void synthesiseAt(size_t i, const double* xr, const double* xi, const double* c, const double* s,
                         double* sum) {
    const V zr = V::load(c + i), zi = V::load(s + i);
    V pr = V::splat(xr[C - 1]), pi = V::splat(xi[C - 1]);
    for (size_t k = C - 1; k-- > 1;) {
        const V r = pr * zr - pi * zi + V::splat(xr[k]);
        pi = pr * zi + pi * zr + V::splat(xi[k]);
        pr = r;
    }
    (pr * zr - pi * zi + V::splat(xr[0])).store(sum + i);
}

template <size_t C>
void synthesiseAll(const double* xr, const double* xi, const double* c, const double* s, double* sum) {
    size_t i = 0;
    for (; i + V2::width <= kBandTableLength; i += V2::width)
        synthesiseAt<C, V2>(i, xr, xi, c, s, sum);
    for (; i < kBandTableLength; ++i)
        synthesiseAt<C, V1>(i, xr, xi, c, s, sum);
}

} // namespace

void BandTableBuilder::inverseReal(size_t cutoff, BandTable& table) {
    const double* xr = spectrumRe_.data();
    const double* xi = spectrumIm_.data();
    const double* c = cos_.data();
    const double* s = sin_.data();
    // Bin 0: Y[0] = X[0], which is real; Y[1024] is above every cut-off.
    re_[0] = 0.0 + (xr[0] * c[0] - 0.0 * s[0]);
    im_[0] = xr[0] - (xr[0] * s[0] + 0.0 * c[0]);
    if (cutoff >= kHalf) {
        zeroFrom_ = zeroTo_ = 0;
        mergeRange<true, true>(1, kHalf, xr, xi, c, s, re_.data(), im_.data());
    } else {
        // Below the cut-off only Y[k] is there, from 1024 - cut-off on only Y[1024 - k].
        mergeRange<true, false>(1, cutoff, xr, xi, c, s, re_.data(), im_.data());
        // Bins cutoff .. 1024 - cutoff are zero. Tables come with falling cut-offs, so only the
        // part not cleared for the table before needs clearing.
        const size_t mirrored = kHalf - cutoff + 1;
        auto clear = [&](size_t from, size_t to) {
            std::fill(re_.begin() + std::ptrdiff_t(from), re_.begin() + std::ptrdiff_t(to), 0.0);
            std::fill(im_.begin() + std::ptrdiff_t(from), im_.begin() + std::ptrdiff_t(to), 0.0);
        };
        if (zeroFrom_ < zeroTo_ && cutoff <= zeroFrom_ && zeroTo_ <= mirrored) {
            clear(cutoff, zeroFrom_);
            clear(zeroTo_, mirrored);
        } else {
            clear(cutoff, mirrored);
        }
        zeroFrom_ = cutoff;
        zeroTo_ = mirrored;
        mergeRange<false, true>(mirrored, kHalf, xr, xi, c, s, re_.data(), im_.data());
    }
    // Swapped in and out: outIm_ receives the real parts, outRe_ the imaginary parts.
    half_.forward(re_.data(), im_.data(), outRe_.data(), outIm_.data(), tmpRe_.data(), tmpIm_.data());
    narrowTableInterleaved(outIm_.data(), outRe_.data(), table);
}

void BandTableBuilder::synthesise(size_t cutoff, BandTable& table) {
    static_assert(kDirectCutoff == 4, "the cut-offs summed directly are 2 and 4");
    if (cutoff == 2)
        synthesiseAll<2>(spectrumRe_.data(), spectrumIm_.data(), cos_.data(), sin_.data(), sum_.data());
    else
        synthesiseAll<4>(spectrumRe_.data(), spectrumIm_.data(), cos_.data(), sin_.data(), sum_.data());
    narrowTable(sum_.data(), table);
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
    // inverse of the spectrum cut at its bin, as a separate forward transform of the same
    // source would give.
    forwardReal(extended);
    for (size_t j = style.limitTable0 ? 0 : 1; j < kBandCount; ++j) {
        const size_t cutoff = bandCutoff(j);
        if (cutoff <= kDirectCutoff)
            synthesise(cutoff, tables[j]);
        else
            inverseReal(cutoff, tables[j]);
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
