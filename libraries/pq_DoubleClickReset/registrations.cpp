// The single-module double-click reset library on the earlier runtime edition.
#include "runtime/audio/mp_registration.h"

#include "modules/guiutil/double_click_reset.h"

const pq::LibraryInfo pq::libraryInfo = {30400, false};

PQ_REGISTER_MODULE(DoubleClickReset);
