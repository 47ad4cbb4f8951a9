// Entry points of the fiscal-memory library with C linkage. Not done yet: "command not
// executed" (7).
#include "fiscalmemory/library/talvmfd.h"

extern "C" {

int TalvOpenPdf417ToMfd(const char* output) { return 7; }
int TalvAddBmpFile(const char* picture) { return 7; }
int TalvClosePdf417ToMfd(void) { return 7; }

}  // extern "C"
