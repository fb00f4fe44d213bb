// The passes of the self-sorting transform, written once for any vector width. Included by
// the baseline unit and, where the compiler can target it, by a unit built for 256-bit
// vectors; everything here has internal linkage so that the two builds never mix.
#pragma once

#include <cstddef>

#include "modules/wavetable/simd.h"

namespace pq::dft {

// What one pass reads and writes: x into y, stride, sub-transform count and the pass's
// twiddles, plain (by row and p) and each stored twice in a row.
struct PassArgs {
    const double* xr;
    const double* xi;
    double* yr;
    double* yi;
    size_t stride, count;
    const double* twiddleRe;
    const double* twiddleIm;
    const double* splatRe;
    const double* splatIm;
};

namespace {

// Split complex values of one vector width.
template <class V> struct Cx { V re, im; };

template <class V> inline Cx<V> loadCx(const double* re, const double* im, size_t i) {
    return {V::load(re + i), V::load(im + i)};
}

template <class V> inline void storeCx(double* re, double* im, size_t i, Cx<V> x) {
    x.re.store(re + i);
    x.im.store(im + i);
}

template <class V> inline Cx<V> operator+(Cx<V> a, Cx<V> b) {
    return {a.re + b.re, a.im + b.im};
}
template <class V> inline Cx<V> operator-(Cx<V> a, Cx<V> b) {
    return {a.re - b.re, a.im - b.im};
}
template <class V> inline Cx<V> operator*(Cx<V> a, Cx<V> w) {
    return {a.re * w.re - a.im * w.im, a.re * w.im + a.im * w.re};
}
template <class V> inline Cx<V> scale(Cx<V> a, V f) {
    return {a.re * f, a.im * f};
}
// a - i b and a + i b.
template <class V> inline Cx<V> minusI(Cx<V> a, Cx<V> b) {
    return {a.re + b.im, a.im - b.re};
}
template <class V> inline Cx<V> plusI(Cx<V> a, Cx<V> b) {
    return {a.re - b.im, a.im + b.re};
}

// v(t) multiplied by e^(-2 pi i t / 8), t = 1, 2, 3.
template <class V> inline void rotateEighths(Cx<V>* v) {
    const V r = V::splat(0.70710678118654752440); // 1 / sqrt 2
    v[1] = {(v[1].re + v[1].im) * r, (v[1].im - v[1].re) * r};
    v[2] = {v[2].im, V::splat(0.0) - v[2].re};
    v[3] = {(v[3].im - v[3].re) * r, (V::splat(0.0) - v[3].re - v[3].im) * r};
}

// The R-point forward DFT of a[0 .. R-1], in place, in natural order.
template <int R, class V> inline void butterfly(Cx<V>* a) {
    if constexpr (R == 2) {
        const Cx<V> t = a[0] - a[1];
        a[0] = a[0] + a[1];
        a[1] = t;
    } else if constexpr (R == 3) {
        const V half = V::splat(0.5), s = V::splat(0.86602540378443864676); // sin(2 pi / 3)
        const Cx<V> t = a[1] + a[2];
        const Cx<V> m = a[0] - scale(t, half);
        const Cx<V> n = scale(a[1] - a[2], s);
        a[0] = a[0] + t;
        a[1] = minusI(m, n);
        a[2] = plusI(m, n);
    } else if constexpr (R == 4) {
        const Cx<V> t0 = a[0] + a[2], t1 = a[0] - a[2], t2 = a[1] + a[3], t3 = a[1] - a[3];
        a[0] = t0 + t2;
        a[2] = t0 - t2;
        a[1] = minusI(t1, t3);
        a[3] = plusI(t1, t3);
    } else if constexpr (R == 8) {
        // Halves first: u(t) = a(t) + a(t + 4), v(t) = (a(t) - a(t + 4)) e^(-2 pi i t / 8); the
        // even outputs are the 4-point transform of u, the odd ones that of v.
        Cx<V> u[4], v[4];
        for (int t = 0; t < 4; ++t) {
            u[t] = a[t] + a[t + 4];
            v[t] = a[t] - a[t + 4];
        }
        rotateEighths(v);
        butterfly<4>(u);
        butterfly<4>(v);
        for (int k = 0; k < 4; ++k) {
            a[2 * k] = u[k];
            a[2 * k + 1] = v[k];
        }
    } else {
        static_assert(R == 5);
        const V c1 = V::splat(0.30901699437494742410);  // cos(2 pi / 5)
        const V c2 = V::splat(-0.80901699437494742410); // cos(4 pi / 5)
        const V s1 = V::splat(0.95105651629515357212);  // sin(2 pi / 5)
        const V s2 = V::splat(0.58778525229247312917);  // sin(4 pi / 5)
        const Cx<V> t1 = a[1] + a[4], t2 = a[2] + a[3], t3 = a[1] - a[4], t4 = a[2] - a[3];
        const Cx<V> m1 = a[0] + scale(t1, c1) + scale(t2, c2);
        const Cx<V> m2 = a[0] + scale(t1, c2) + scale(t2, c1);
        const Cx<V> n1 = scale(t3, s1) + scale(t4, s2);
        const Cx<V> n2 = scale(t3, s2) - scale(t4, s1);
        a[0] = a[0] + t1 + t2;
        a[1] = minusI(m1, n1);
        a[4] = plusI(m1, n1);
        a[2] = minusI(m2, n2);
        a[3] = plusI(m2, n2);
    }
}

// One self-sorting pass: for every sub-transform p < m and every q < s, the R inputs
// x[q + s (p + t m)] become the outputs y[q + s (R p + u)], output u multiplied by the
// twiddle of row u - 1 at p.
//
// Stride 1 (the first pass): the vector runs along p, so inputs and twiddles load in
// vectors and each lane stores on its own.
template <int R, class V>
inline void firstPassAt(const double* xr, const double* xi, double* yr, double* yi, size_t m, size_t p,
                        const double* twr, const double* twi) {
    Cx<V> a[R];
    for (int t = 0; t < R; ++t)
        a[t] = loadCx<V>(xr, xi, p + size_t(t) * m);
    butterfly<R>(a);
    for (int u = 1; u < R; ++u)
        a[u] = a[u] * loadCx<V>(twr, twi, size_t(u - 1) * m + p);
    if constexpr (V::width == 2 && R % 2 == 0) {
        // Outputs u and u + 1 of one lane are neighbours: store them as one vector.
        for (int u = 0; u < R; u += 2) {
            const size_t i = R * p + size_t(u);
            lowLanes(a[u].re, a[u + 1].re).store(yr + i);
            lowLanes(a[u].im, a[u + 1].im).store(yi + i);
            highLanes(a[u].re, a[u + 1].re).store(yr + i + R);
            highLanes(a[u].im, a[u + 1].im).store(yi + i + R);
        }
    } else {
        for (int u = 0; u < R; ++u) {
            a[u].re.storeLanes(yr + R * p + size_t(u), R);
            a[u].im.storeLanes(yi + R * p + size_t(u), R);
        }
    }
}

template <int R>
void firstPass(const double* xr, const double* xi, double* yr, double* yi, size_t m, const double* twr,
               const double* twi) {
    size_t p = 0;
    for (; p + V2::width <= m; p += V2::width)
        firstPassAt<R, V2>(xr, xi, yr, yi, m, p, twr, twi);
    for (; p < m; ++p)
        firstPassAt<R, V1>(xr, xi, yr, yi, m, p, twr, twi);
}

// Stride of two or more: the vector runs along q with one twiddle per row for all of it. The
// twiddles are read from `splat`, where each is stored twice in a row on a 16-byte boundary,
// at every use: they fold into the multiplies instead of occupying registers.
template <int R, bool Twiddled, class V>
inline void stridedAt(const double* xr, const double* xi, double* yr, double* yi, size_t s, size_t m,
                      size_t p, size_t q, const double* splatRe, const double* splatIm) {
    const size_t base = q + s * R * p;
    auto put = [&](int u, Cx<V> y) {
        if (Twiddled && u > 0) {
            const size_t i = 2 * (size_t(u - 1) * m + p);
            y = y * Cx<V>{V::splatAt(splatRe + i), V::splatAt(splatIm + i)};
        }
        storeCx(yr, yi, base + s * size_t(u), y);
    };
    if constexpr (R == 8) {
        // The even outputs are stored before the odd ones are formed, which keeps fewer
        // values live at once.
        Cx<V> u[4], v[4];
        for (int t = 0; t < 4; ++t) {
            const Cx<V> a = loadCx<V>(xr, xi, q + s * (p + size_t(t) * m));
            const Cx<V> b = loadCx<V>(xr, xi, q + s * (p + size_t(t + 4) * m));
            u[t] = a + b;
            v[t] = a - b;
        }
        butterfly<4>(u);
        for (int k = 0; k < 4; ++k)
            put(2 * k, u[k]);
        rotateEighths(v);
        butterfly<4>(v);
        for (int k = 0; k < 4; ++k)
            put(2 * k + 1, v[k]);
        return;
    }
    Cx<V> a[R];
    for (int t = 0; t < R; ++t)
        a[t] = loadCx<V>(xr, xi, q + s * (p + size_t(t) * m));
    butterfly<R>(a);
    for (int u = 0; u < R; ++u)
        put(u, a[u]);
}

template <int R, bool Twiddled, class W>
inline void stridedRow(const double* xr, const double* xi, double* yr, double* yi, size_t s, size_t m,
                       size_t p, const double* splatRe, const double* splatIm) {
    size_t q = 0;
    if constexpr (W::width > V2::width)
        for (; q + W::width <= s; q += W::width)
            stridedAt<R, Twiddled, W>(xr, xi, yr, yi, s, m, p, q, splatRe, splatIm);
    for (; q + V2::width <= s; q += V2::width)
        stridedAt<R, Twiddled, V2>(xr, xi, yr, yi, s, m, p, q, splatRe, splatIm);
    for (; q < s; ++q)
        stridedAt<R, Twiddled, V1>(xr, xi, yr, yi, s, m, p, q, splatRe, splatIm);
}

template <int R, class W>
void stridedPass(const double* xr, const double* xi, double* yr, double* yi, size_t s, size_t m,
                 const double* splatRe, const double* splatIm) {
    // The twiddles of sub-transform 0 are all 1.
    stridedRow<R, false, W>(xr, xi, yr, yi, s, m, 0, splatRe, splatIm);
    for (size_t p = 1; p < m; ++p)
        stridedRow<R, true, W>(xr, xi, yr, yi, s, m, p, splatRe, splatIm);
}

template <int R, class W> void pass(const PassArgs& a) {
    if (a.stride == 1)
        firstPass<R>(a.xr, a.xi, a.yr, a.yi, a.count, a.twiddleRe, a.twiddleIm);
    else
        stridedPass<R, W>(a.xr, a.xi, a.yr, a.yi, a.stride, a.count, a.splatRe, a.splatIm);
}

// One pass of the given radix with wide vectors W.
template <class W> void runPass(int radix, const PassArgs& a) {
    switch (radix) {
    case 2:
        pass<2, W>(a);
        break;
    case 3:
        pass<3, W>(a);
        break;
    case 4:
        pass<4, W>(a);
        break;
    case 5:
        pass<5, W>(a);
        break;
    default:
        pass<8, W>(a);
        break;
    }
}

} // namespace

} // namespace pq::dft
