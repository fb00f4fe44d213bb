// The single-module tuner library on the earlier runtime edition.
#include "runtime/audio/mp_registration.h"

#include "modules/tuner/pq_tuner.h"

const pq::LibraryInfo pq::libraryInfo = {30400, false};

PQ_REGISTER_MODULE(pqTuner);
