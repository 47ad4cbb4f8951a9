// The C++ side of the fiscal-memory library: what its entry points (exports_*.cpp) are built on.
// The process-wide settings of the library: the download speed, the progress callback and the
// last answer's status bytes.
#pragma once

#include <string>

#include "fiscalmemory/library/protocol.h"
#include "fiscalmemory/library/talvmfd.h"

namespace ordavo::mfd {

const char* LibraryVersion();

// The speed TalvSetBaudrate set (9600 at start).
int& DownloadSpeed();
// Line speeds the printer can switch to.
bool SupportedSpeed(int baud);

// The progress callback of TalvSetProgressCallback, as a Progress (empty when none is set).
void SetProgressCallback(TalvProgressCallback callback, void* context);
Progress CurrentProgress();

// The acknowledge and status bytes of the last answer any function received (invalid before
// the first), in this process or an earlier one of the same user.
Status LastAnswer();
void KeepLastAnswer(const Status& s);

// A text argument of the C interface: empty for a null pointer.
inline std::string Arg(const char* s) { return s ? std::string(s) : std::string(); }

}  // namespace ordavo::mfd
