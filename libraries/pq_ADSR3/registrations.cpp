// The single-module envelope library on the earlier runtime edition.
#include "runtime/audio/mp_registration.h"

#include "modules/envelope/envelope3.h"

const pq::LibraryInfo pq::libraryInfo = {30000, false};

PQ_REGISTER_MODULE(Envelope3);
