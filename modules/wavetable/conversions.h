// Float-to-integer conversions of pin values: truncation towards zero that saturates at the
// integer range and reads NaN as 0, so no input can make a conversion undefined.
#pragma once

#include <cstdint>
#include <limits>

namespace pq {

template <typename Real> int32_t saturatingTrunc(Real value) {
    if (!(value == value)) return 0;
    if (value >= Real(2147483648.0)) return std::numeric_limits<int32_t>::max();
    if (value <= Real(-2147483648.0)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// `value` limited to lo .. hi; NaN gives lo.
template <typename T> T clampOrLow(T value, T lo, T hi) {
    return value > lo ? (value < hi ? value : hi) : lo;
}

} // namespace pq
