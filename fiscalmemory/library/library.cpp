// The fiscal-memory library's own version, for the documents it writes.
#include "fiscalmemory/library/library.h"

namespace ordavo::mfd {

const char* LibraryVersion() { return ORDAVO_VERSION; }

}  // namespace ordavo::mfd
