// Signals the transform and band-table tests share.
#pragma once

#include <random>
#include <vector>

namespace pqtest {

// n values uniformly in [-1, 1) from a generator seeded with `seed`; the same seed gives the
// same sequence for a given T.
template <class T> std::vector<T> noise(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<T> dist(T(-1), T(1));
    std::vector<T> v(n);
    for (T& x : v)
        x = dist(gen);
    return v;
}

} // namespace pqtest
