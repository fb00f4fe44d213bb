// Test executables link the runtime directly and stand in for a deliverable's description.
#include "runtime/audio/mp_factory.h"

const pq::LibraryInfo pq::libraryInfo = {pq::kEarlierEdition ? 30400 : 30800, !pq::kEarlierEdition};
