// Float comparisons of the GUI runtime, one rule per edition.
//
// Newest edition: comparisons are ordered, so a NaN never "differs" from anything and a
// value is never sent because of one; 0.0 and -0.0 are equal. The strict "below" test lets
// a NaN limit pass (it is read as "not at or above the limit").
// Earlier edition: a NaN always differs (it is sent), and "below" is the plain IEEE test,
// which a NaN limit fails.
#pragma once

#include "runtime/audio/edition.h"

namespace pq::gui {

inline bool differs(float a, float b) {
    if constexpr (kEarlierEdition)
        return a != b;
    else
        return a < b || a > b;
}

inline bool below(float a, float limit) {
    if constexpr (kEarlierEdition)
        return a < limit;
    else
        return !(a >= limit);
}

} // namespace pq::gui
