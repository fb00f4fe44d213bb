// The single-module text rectangle library on the earlier runtime edition: a legacy GUI
// module with a composited face.
#include "runtime/audio/mp_registration.h"

#include "modules/guiutil/text_rectangle.h"

const pq::LibraryInfo pq::libraryInfo = {30400, false};

PQ_REGISTER_MODULE(pq_TextRectangle);
