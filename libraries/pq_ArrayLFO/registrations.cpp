// The single-module array LFO library on the earlier runtime edition.
#include "runtime/audio/mp_registration.h"

#include "modules/wavetable/array_lfo.h"

const pq::LibraryInfo pq::libraryInfo = {30400, false};

PQ_REGISTER_MODULE(ArrayLFO);
