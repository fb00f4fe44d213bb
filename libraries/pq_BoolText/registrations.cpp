// The single-module bool text library on the earlier runtime edition.
#include "runtime/audio/mp_registration.h"

#include "modules/guiutil/bool_text.h"

const pq::LibraryInfo pq::libraryInfo = {30400, false};

PQ_REGISTER_MODULE(BoolText);
