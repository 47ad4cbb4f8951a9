// Entry points of the fiscal-memory library with C linkage: PDF-417 pictures into an audit
// file (fiscalmemory/library/pdf417_decoder.h).
#include <mutex>

#include "fiscalmemory/library/pdf417_decoder.h"
#include "fiscalmemory/library/talvmfd.h"

extern "C" {

int TalvOpenPdf417ToMfd(const char* output) {
    std::lock_guard<std::mutex> lock(ordavo::mfd::TheDecodingLock());
    return ordavo::mfd::TheDecoding().Open(output);
}

int TalvAddBmpFile(const char* picture) {
    std::lock_guard<std::mutex> lock(ordavo::mfd::TheDecodingLock());
    return ordavo::mfd::TheDecoding().Add(picture);
}

int TalvClosePdf417ToMfd(void) {
    std::lock_guard<std::mutex> lock(ordavo::mfd::TheDecodingLock());
    return ordavo::mfd::TheDecoding().Close();
}

}  // extern "C"
