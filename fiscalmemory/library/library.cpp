// The fiscal-memory library's own version and process-wide settings.
#include "fiscalmemory/library/library.h"

#include <unistd.h>

#include <cstdlib>

#include "engine/util.h"

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

namespace {

// The last answer outlives the process that received it (a command-line tool asks for it in a
// process of its own): a few bytes in the user's runtime directory.
std::string LastAnswerPath() {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/ordavo-mfd-last-answer-" + std::to_string(getuid());
}

}  // namespace

namespace {
Status g_last;
}  // namespace

Status LastAnswer() {
    if (g_last.valid) return g_last;
    Status none;
    std::string bytes;
    if (!ReadWholeFile(LastAnswerPath(), bytes) || bytes.size() != 7 || bytes.compare(0, 4, "OLA1") != 0) return none;
    return {static_cast<uint8_t>(bytes[4]), static_cast<uint8_t>(bytes[5]), static_cast<uint8_t>(bytes[6]), true};
}

void KeepLastAnswer(const Status& s) {
    g_last = s;
    std::string bytes = "OLA1";
    bytes += static_cast<char>(s.ack);
    bytes += static_cast<char>(s.st1);
    bytes += static_cast<char>(s.st2);
    WriteFileAtomically(LastAnswerPath(), bytes);
}

}  // namespace ordavo::mfd
