// The transform's passes in 256-bit vectors. This unit alone is built for processors with AVX
// (and without contraction into fused multiply-adds, so that every lane rounds as the baseline
// build does); the plan calls it only where the processor has AVX.
#include "modules/wavetable/dft_passes.h"

namespace pq::dft {

void runPassAvx(int radix, const PassArgs& args) {
    runPass<V4>(radix, args);
}

} // namespace pq::dft
