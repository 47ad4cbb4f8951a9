// The fiscal-memory library's own version and process-wide settings.
#include "fiscalmemory/library/library.h"

namespace ordavo::mfd {

namespace {
TalvProgressCallback g_callback = nullptr;
void* g_context = nullptr;
}  // namespace

const char* LibraryVersion() { return ORDAVO_VERSION; }

int& DownloadSpeed() {
    static int speed = kCommandBaud;
    return speed;
}

bool SupportedSpeed(int baud) {
    return baud == 9600 || baud == 19200 || baud == 38400 || baud == 57600 || baud == 115200;
}

void SetProgressCallback(TalvProgressCallback callback, void* context) {
    g_callback = callback;
    g_context = callback ? context : nullptr;
}

Progress CurrentProgress() {
    if (!g_callback) return {};
    TalvProgressCallback cb = g_callback;
    void* ctx = g_context;
    return [cb, ctx](long long done, long long expected) { return cb(done, expected, ctx) != 0; };
}

Status& LastAnswer() {
    static Status status;
    return status;
}

}  // namespace ordavo::mfd
