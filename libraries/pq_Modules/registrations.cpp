// The all-module library: every module of the pack on the newest runtime edition.
#include "runtime/audio/mp_registration.h"

#include "modules/tuner/pq_tuner.h"

const pq::LibraryInfo pq::libraryInfo = {30800, true};

PQ_REGISTER_MODULE(pqTuner, u"pq Tuner", gmpi::kSubtypeAudio);
