#include "modules/tuner/pq_tuner.h"

#include <cmath>

pqTuner::pqTuner() {
    pq::attachPins<kPins>(this, semitoneSelect, fineOffset, pitchOut);
}

void pqTuner::onSetPins() {
    // Single precision throughout; the factor is the float nearest to 1/12. The subtraction
    // is done in 64 bits so that no selection value can overflow.
    const float semitones = static_cast<float>(24 - static_cast<int64_t>(semitoneSelect.getValue()));
    const float x = semitones * 0.083333336f + fineOffset.getValue();
    // A NaN or infinite offset gives no pitch: the output keeps the last one (a NaN would also
    // never equal the held value and be sent again at every instant).
    if (!std::isfinite(x)) return;
    pitchOut = x;
}
