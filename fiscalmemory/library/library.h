// The C++ side of the fiscal-memory library: what its entry points (exports_*.cpp) are built on.
#pragma once

namespace ordavo::mfd {

const char* LibraryVersion();

}  // namespace ordavo::mfd
