// The single-module float reset x2 library on the earlier runtime edition.
#include "runtime/audio/mp_registration.h"

#include "modules/guiutil/float_reset_x2.h"

const pq::LibraryInfo pq::libraryInfo = {30400, false};

PQ_REGISTER_MODULE(pq_FloatResetX2);
