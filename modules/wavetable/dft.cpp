#include "modules/wavetable/dft.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "modules/wavetable/dft_passes.h"

namespace pq::dft {

#if PQ_DFT_AVX
// In the unit built for 256-bit vectors.
void runPassAvx(int radix, const PassArgs& args);
#endif

bool wideVectorsAvailable() {
#if PQ_DFT_AVX
    return __builtin_cpu_supports("avx");
#else
    return false;
#endif
}

bool hasSmallFactors(size_t n) {
    if (n == 0) return false;
    for (size_t f : {2, 3, 5})
        while (n % f == 0)
            n /= f;
    return n == 1;
}

void unitCircle(size_t n, std::vector<double>& cosTable, std::vector<double>& sinTable) {
    cosTable.resize(n);
    sinTable.resize(n);
    if (n == 0) return;
    // The angle 2 pi k / n is (pi / 4) (8k / n): octant o = 8k div n and a remainder r / n of
    // an octant. Odd octants are reflected so that the angle taken is measured from the
    // nearer quarter turn; when 8 divides n that angle is 2 pi j / n for j <= n / 8, read
    // from a table of the first octant.
    std::vector<double> octantCos, octantSin;
    const bool tabulated = n % 8 == 0;
    if (tabulated) {
        octantCos.resize(n / 8 + 1);
        octantSin.resize(n / 8 + 1);
        for (size_t j = 0; j <= n / 8; ++j) {
            const double angle = 2.0 * std::numbers::pi * static_cast<double>(j) / static_cast<double>(n);
            octantCos[j] = std::cos(angle);
            octantSin[j] = std::sin(angle);
        }
    }
    // cos and sin of (pi / 4) (r / n), 0 <= r <= n. At r = n both are the same root of one
    // half, so that the points either side of an octant boundary mirror each other exactly.
    auto inOctant = [&](size_t r, double& c, double& s) {
        if (r == n) {
            c = s = std::sqrt(0.5);
        } else if (tabulated) {
            c = octantCos[r / 8];
            s = octantSin[r / 8];
        } else {
            const double angle = std::numbers::pi / 4.0 * static_cast<double>(r) / static_cast<double>(n);
            c = std::cos(angle);
            s = std::sin(angle);
        }
    };
    for (size_t k = 0; k < n; ++k) {
        const size_t octant = 8 * k / n;
        const size_t r = 8 * k % n;
        double c, s;
        size_t quarter;
        if (octant % 2 == 0) {
            inOctant(r, c, s);
            quarter = octant / 2;
        } else {
            // Just before the quarter turn (octant + 1) / 2.
            inOctant(n - r, c, s);
            s = -s;
            quarter = (octant + 1) / 2;
        }
        // Rotate (c, s) by `quarter` quarter turns.
        switch (quarter % 4) {
        case 0:
            cosTable[k] = c, sinTable[k] = s;
            break;
        case 1:
            cosTable[k] = -s, sinTable[k] = c;
            break;
        case 2:
            cosTable[k] = -c, sinTable[k] = -s;
            break;
        default:
            cosTable[k] = s, sinTable[k] = -c;
            break;
        }
    }
}

Plan::Plan(size_t n, Vectors vectors) : n_(n), wide_(vectors == Vectors::Best && wideVectorsAvailable()) {
    // Powers of two in passes of radix 8 (a remainder of 2 taken as 4 x 4 in place of 8 x 2),
    // then 3 and 5: few passes over the data, and every pass after the first has an even
    // stride whenever n is even, so all of them run in whole vectors.
    std::vector<int> radices;
    size_t rest = n;
    while (rest % 8 == 0) {
        radices.push_back(8);
        rest /= 8;
    }
    if (rest % 4 == 0) {
        radices.push_back(4);
        rest /= 4;
    } else if (rest % 2 == 0) {
        if (!radices.empty()) {
            radices.back() = 4;
            radices.push_back(4);
        } else {
            radices.push_back(2);
        }
        rest /= 2;
    }
    for (int f : {3, 5})
        while (rest % size_t(f) == 0) {
            radices.push_back(f);
            rest /= size_t(f);
        }
    std::vector<double> cosTable, sinTable;
    unitCircle(n, cosTable, sinTable);
    size_t stride = 1;
    for (int radix : radices) {
        const size_t count = n / (stride * size_t(radix));
        stages_.push_back({radix, stride, count, twiddleRe_.size()});
        for (int u = 1; u < radix; ++u)
            for (size_t p = 0; p < count; ++p) {
                const size_t k = p * size_t(u) * stride; // below n
                twiddleRe_.push_back(cosTable[k]);
                twiddleIm_.push_back(-sinTable[k]);
                splatRe_.insert(splatRe_.end(), 2, cosTable[k]);
                splatIm_.insert(splatIm_.end(), 2, -sinTable[k]);
            }
        stride *= size_t(radix);
    }
}

void Plan::forward(const double* srcRe, const double* srcIm, double* dstRe, double* dstIm, double* tmpRe,
                   double* tmpIm) const {
    const size_t passes = stages_.size();
    if (passes == 0) { // one point: the transform is the identity
        dstRe[0] = srcRe[0];
        dstIm[0] = srcIm[0];
        return;
    }
    // The passes alternate between dst and tmp so that the last one lands in dst. In place
    // with an odd count the first pass would write over its own input: start from a copy.
    const double* inRe = srcRe;
    const double* inIm = srcIm;
    if (srcRe == dstRe && passes % 2 == 1) {
        std::copy(srcRe, srcRe + n_, tmpRe);
        std::copy(srcIm, srcIm + n_, tmpIm);
        inRe = tmpRe;
        inIm = tmpIm;
    }
    for (size_t i = 0; i < passes; ++i) {
        const Stage& st = stages_[i];
        const bool toDst = (passes - 1 - i) % 2 == 0;
        double* outRe = toDst ? dstRe : tmpRe;
        double* outIm = toDst ? dstIm : tmpIm;
        const PassArgs args{inRe,
                            inIm,
                            outRe,
                            outIm,
                            st.stride,
                            st.count,
                            twiddleRe_.data() + st.twiddleOffset,
                            twiddleIm_.data() + st.twiddleOffset,
                            splatRe_.data() + 2 * st.twiddleOffset,
                            splatIm_.data() + 2 * st.twiddleOffset};
#if PQ_DFT_AVX
        if (wide_)
            runPassAvx(st.radix, args);
        else
#endif
            runPass<V2>(st.radix, args);
        inRe = outRe;
        inIm = outIm;
    }
}

} // namespace pq::dft
