// Small vector types for the transform loops: V2 holds two doubles in one 16-byte SSE2
// register (the x86-64 baseline, no other instruction set needed), V1 one double with the same
// operations, for loop tails; elsewhere V2 is two plain doubles. In a unit built for AVX, V4
// holds four doubles. Everything has internal linkage: a unit built for AVX never lends its
// code to one built for the baseline.
#pragma once

#include <cstddef>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#if defined(__AVX__)
#include <immintrin.h>
#endif
#define PQ_SIMD_SSE2 1
#else
#define PQ_SIMD_SSE2 0
#endif

namespace pq {
namespace {

struct V1 {
    static constexpr size_t width = 1;
    double v;
    static V1 load(const double* p) { return {*p}; }
    // The value at p, which is stored twice in a row on a 16-byte boundary.
    static V1 splatAt(const double* p) { return {*p}; }
    static V1 splat(double x) { return {x}; }
    void store(double* p) const { *p = v; }
    // Lane i goes to p[i * step].
    void storeLanes(double* p, size_t) const { *p = v; }
};
inline V1 operator+(V1 a, V1 b) {
    return {a.v + b.v};
}
inline V1 operator-(V1 a, V1 b) {
    return {a.v - b.v};
}
inline V1 operator*(V1 a, V1 b) {
    return {a.v * b.v};
}
// The lanes in reverse order.
inline V1 reversed(V1 a) {
    return a;
}

#if PQ_SIMD_SSE2
struct V2 {
    static constexpr size_t width = 2;
    __m128d v;
    static V2 load(const double* p) { return {_mm_loadu_pd(p)}; }
    static V2 splatAt(const double* p) { return {_mm_load_pd(p)}; }
    static V2 splat(double x) { return {_mm_set1_pd(x)}; }
    void store(double* p) const { _mm_storeu_pd(p, v); }
    void storeLanes(double* p, size_t step) const {
        _mm_storel_pd(p, v);
        _mm_storeh_pd(p + step, v);
    }
};
inline V2 operator+(V2 a, V2 b) {
    return {_mm_add_pd(a.v, b.v)};
}
// (a0, b0) and (a1, b1).
inline V2 lowLanes(V2 a, V2 b) {
    return {_mm_unpacklo_pd(a.v, b.v)};
}
inline V2 reversed(V2 a) {
    return {_mm_shuffle_pd(a.v, a.v, 1)};
}
inline V2 highLanes(V2 a, V2 b) {
    return {_mm_unpackhi_pd(a.v, b.v)};
}
inline V2 operator-(V2 a, V2 b) {
    return {_mm_sub_pd(a.v, b.v)};
}
inline V2 operator*(V2 a, V2 b) {
    return {_mm_mul_pd(a.v, b.v)};
}
#else
struct V2 {
    static constexpr size_t width = 2;
    double a, b;
    static V2 load(const double* p) { return {p[0], p[1]}; }
    static V2 splatAt(const double* p) { return {p[0], p[0]}; }
    static V2 splat(double x) { return {x, x}; }
    void store(double* p) const { p[0] = a, p[1] = b; }
    void storeLanes(double* p, size_t step) const { p[0] = a, p[step] = b; }
};
inline V2 operator+(V2 x, V2 y) {
    return {x.a + y.a, x.b + y.b};
}
inline V2 lowLanes(V2 x, V2 y) {
    return {x.a, y.a};
}
inline V2 reversed(V2 x) {
    return {x.b, x.a};
}
inline V2 highLanes(V2 x, V2 y) {
    return {x.b, y.b};
}
inline V2 operator-(V2 x, V2 y) {
    return {x.a - y.a, x.b - y.b};
}
inline V2 operator*(V2 x, V2 y) {
    return {x.a * y.a, x.b * y.b};
}
#endif

#if defined(__AVX__)
struct V4 {
    static constexpr size_t width = 4;
    __m256d v;
    static V4 load(const double* p) { return {_mm256_loadu_pd(p)}; }
    static V4 splat(double x) { return {_mm256_set1_pd(x)}; }
    static V4 splatAt(const double* p) { return {_mm256_broadcast_sd(p)}; }
    void store(double* p) const { _mm256_storeu_pd(p, v); }
};
inline V4 operator+(V4 a, V4 b) {
    return {_mm256_add_pd(a.v, b.v)};
}
inline V4 operator-(V4 a, V4 b) {
    return {_mm256_sub_pd(a.v, b.v)};
}
inline V4 operator*(V4 a, V4 b) {
    return {_mm256_mul_pd(a.v, b.v)};
}
#endif

} // namespace
} // namespace pq
