// The fast transform behind computeDft and the band-table builder: a mixed-radix (2, 3, 4, 5, 8)
// self-sorting transform on split real and imaginary sequences of doubles, with the twiddles
// of every stage computed once per length.
//
// Plain computation, no host. A plan allocates when it is made; running it allocates nothing,
// so a plan made ahead may run on the audio thread.
#pragma once

#include <cstddef>
#include <vector>

namespace pq::dft {

// True when n > 0 has no prime factors other than 2, 3 and 5.
bool hasSmallFactors(size_t n);

// cos and sin of 2 pi k / n for k = 0 .. n - 1. Every value is taken from an angle of at most
// pi / 4 (one octant of the circle) by exact reduction, so the table is symmetric to the last
// bit: cos(2 pi k / n) == cos(2 pi (n - k) / n), sin of the quarter turn is exactly 1.
void unitCircle(size_t n, std::vector<double>& cosTable, std::vector<double>& sinTable);

// The forward transform X[k] = sum x[j] e^(-2 pi i j k / n), unscaled, for one length whose
// factors are 2, 3 and 5. The inverse is the same call with real and imaginary parts swapped
// (it leaves n times the inverse transform).
// Which vectors the passes run in: the best the processor offers (256-bit where it has them),
// or the x86-64 baseline's 128-bit ones. Both give the same results to the last bit: every
// lane performs the same operations in the same order.
enum class Vectors { Best, Baseline };
bool wideVectorsAvailable();

class Plan {
public:
    explicit Plan(size_t n, Vectors vectors = Vectors::Best); // n must satisfy hasSmallFactors
    size_t size() const { return n_; }

    // Transforms src into dst using tmp as working room; each is a pair of sequences of
    // size() doubles. src may be dst (in place); tmp must differ from both. src is read only
    // when it is not dst. [any thread, no allocation]
    void forward(const double* srcRe, const double* srcIm, double* dstRe, double* dstIm, double* tmpRe,
                 double* tmpIm) const;

private:
    struct Stage {
        int radix;
        size_t stride; // product of the radices of the earlier stages
        size_t count;  // sub-transforms of this stage: n / (stride * radix)
        size_t twiddleOffset;
    };
    size_t n_;
    bool wide_;
    std::vector<Stage> stages_;
    // Per stage, radix - 1 rows of `count` values: e^(-2 pi i p u stride / n) for row u - 1.
    std::vector<double> twiddleRe_, twiddleIm_;
    // The same values each stored twice in a row (vectors start on 16-byte boundaries).
    std::vector<double> splatRe_, splatIm_;
};

} // namespace pq::dft
