// The single-module wave editor library on the earlier runtime edition: a legacy GUI module
// with a composited face and its own menus.
#include "runtime/audio/mp_registration.h"

#include "modules/waveeditor/wave_editor.h"

const pq::LibraryInfo pq::libraryInfo = {30400, false};

PQ_REGISTER_MODULE(waveEditor);
