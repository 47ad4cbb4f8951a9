// Entry points of the fiscal-memory library with C linkage: PDF-417 pictures into an audit
// file (fiscalmemory/library/pdf417_decoder.h).
#include <algorithm>
#include <cstring>
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

int TalvGetPdf417Status(char* text) {
    if (!text) return 9;
    std::lock_guard<std::mutex> lock(ordavo::mfd::TheDecodingLock());
    const std::string& status = ordavo::mfd::TheDecoding().status();
    const size_t n = std::min<size_t>(status.size(), TALV_VERDICT_SIZE - 1);
    std::memcpy(text, status.data(), n);
    text[n] = '\0';
    return 0;
}

}  // extern "C"
