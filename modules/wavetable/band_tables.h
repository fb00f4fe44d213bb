// The transform and the wave-to-band-table procedure of the wave-table players.
//
// Plain computation, no host and no pins: the oscillator builds its tables with it and the
// wave editor's spectral commands reuse the transform.
//
// Transforms work in place on two sequences of doubles (real, imaginary) of equal length.
// computeDft(real, imag) is the forward, unscaled DFT; computeDft(imag, real) leaves L times
// the inverse transform in place, the real parts staying in `real`.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "modules/wavetable/dft.h"

namespace pq {

// Raised by the transforms; carries only its text ("Mismatched lengths", "Length is not a
// power of 2", "Vector too large").
class SpectralError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Forward DFT X[k] = sum x[n] e^(-2 pi i n k / L), no scaling; a mixed-radix transform for
// lengths whose factors are 2, 3 and 5, chirp-z otherwise. Length 0 does nothing. Twiddle and
// chirp tables are kept per thread for the last few lengths used, so repeated calls on the
// same length only transform. [any thread; allocates on a length it has not kept]
void computeDft(std::span<double> real, std::span<double> imag);
// The same; the length must be a power of two.
void computeDftRadix2(std::span<double> real, std::span<double> imag);
// Bluestein's chirp-z transform, any length.
void computeDftChirp(std::span<double> real, std::span<double> imag);
// out = cyclic convolution of x and y (the back transform divided by the length). All six
// lengths must match.
void cyclicConvolve(std::span<const double> xReal, std::span<const double> xImag,
                    std::span<const double> yReal, std::span<const double> yImag, std::span<double> outReal,
                    std::span<double> outImag);

// Removes the mean and scales the wave so that its extreme on the side of the mean lands at
// 0.5 away from it. A wave whose mean is within +-0.001 is left as it is.
void conditionWave(std::span<float> samples);
// Doubles the wave by inserting midpoints (the last one towards the first sample, the wave
// being a cycle) until it has at least 2048 samples.
void extendWave(std::vector<float>& samples);
// Resamples one cycle of any length to `out.size()` samples by linear interpolation,
// wrapping from the last sample to the first.
void resampleCyclic(std::span<const float> in, std::span<float> out);

inline constexpr size_t kBandTableLength = 2048;
inline constexpr size_t kBandCount = 10;
using BandTable = std::array<float, kBandTableLength>;
using BandTables = std::array<BandTable, kBandCount>;

// Harmonic cut-off of band table j: 1024 >> j (1024 .. 2).
constexpr size_t bandCutoff(size_t j) {
    return j < kBandCount ? size_t{1024} >> j : 2;
}

// `source` limited to its bins below `cutoff` (only the positive-frequency half survives, so
// every harmonic keeps half its amplitude, DC its full value). Source and destination have
// the same length M; the inverse is scaled by 1/M (1/2048 for every band table).
void bandLimit(std::span<const float> source, size_t cutoff, std::span<float> destination);

// How a wave becomes band tables. The all-module oscillator conditions the wave and
// band-limits every table; the single-module one plays the wave as it came, table 0 being
// the extended wave itself.
struct BandTableStyle {
    bool condition = true;
    bool limitTable0 = true;
};

// Turns a wave into ten band tables without allocating: everything it needs is made by the
// constructor. The wave's spectrum comes from one real transform of the 2048 samples (a
// 1024-point complex transform and a split step) and serves all ten tables; each table is a
// real inverse of that spectrum cut at its bin (a 1024-point transform after a merge step), or,
// for the few lowest harmonics, a direct sum of them.
class BandTableBuilder {
public:
    explicit BandTableBuilder(dft::Vectors vectors = dft::Vectors::Best);
    // `wave` (at least one sample) may be changed in place by the conditioning. Powers of two
    // up to 2048 are extended by doubling, other lengths resampled cyclically to 2048.
    // [audio thread: no allocation]
    void build(std::span<float> wave, BandTables& tables, BandTableStyle style = {});

private:
    void forwardReal(const BandTable& source);
    void inverseReal(size_t cutoff, BandTable& table);
    void synthesise(size_t cutoff, BandTable& table);

    dft::Plan half_; // 1024 points
    // cos and sin of 2 pi k / 2048.
    std::vector<double> cos_, sin_;
    // Bins 0 .. 1023 of the source, scaled by 1 / 2048.
    std::vector<double> spectrumRe_, spectrumIm_;
    std::vector<double> re_, im_, outRe_, outIm_, tmpRe_, tmpIm_; // 1024 each
    std::vector<double> sum_;                                     // 2048
    // re_ and im_ hold zeros from zeroFrom_ up to zeroTo_ (none when equal).
    size_t zeroFrom_ = 0, zeroTo_ = 0;
};

// The ten tables of one wave, as the all-module oscillator builds them. Allocates a builder.
void buildBandTables(std::span<const float> wave, BandTables& tables, BandTableStyle style = {});
// The built-in wave: every table holds 0.5 sin(2 pi i / 2048).
void fillDefaultBandTables(BandTables& tables);

} // namespace pq
