// Entry points of the fiscal-memory library with C linkage: settings, downloads and signature
// checks. Each is a thin shell over the C++ code in downloads.h; no exception leaves the
// library (a failure that throws, such as running out of memory, gives 16).
#include <cstring>
#include <new>

#include "fiscalmemory/library/downloads.h"
#include "fiscalmemory/library/library.h"
#include "fiscalmemory/library/talvmfd.h"

using namespace ordavo::mfd;

namespace {

template <class F>
int Guard(F f) {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return 16;
    } catch (...) {
        return 21;
    }
}

}  // namespace

extern "C" {

int TalvSetBaudrate(int baud) {
    if (!SupportedSpeed(baud)) return 9;
    DownloadSpeed() = baud;
    return 0;
}

int TalvGetSerialNumber(const char* port, char* serial) {
    return Guard([&] {
        std::string s;
        const int rc = GetSerialNumber(Arg(port), &s);
        if (rc == 0 && serial) {
            std::memset(serial, 0, TALV_SERIAL_SIZE);
            std::memcpy(serial, s.data(), std::min<size_t>(s.size(), TALV_SERIAL_SIZE - 1));
        }
        return rc;
    });
}

int TalvGetLastAck(unsigned char* ack, unsigned char* st1, unsigned char* st2) {
    const Status s = LastAnswer();
    if (!s.valid) return 7;
    if (ack) *ack = s.ack;
    if (st1) *st1 = s.st1;
    if (st2) *st2 = s.st2;
    return 0;
}

int TalvSetProgressCallback(TalvProgressCallback callback, void* context) {
    SetProgressCallback(callback, context);
    return 0;
}

int TalvDownloadMF(const char* port, const char* file) {
    return Guard([&] { return DownloadFile(Arg(port), Arg(file), FileKind::kFiscalMemory); });
}
int TalvDownloadMFK(const char* port, const char* file) {
    return Guard([&] { return DownloadFile(Arg(port), Arg(file), FileKind::kSignedFiscalMemory); });
}
int TalvDownloadSB(const char* port, const char* file) {
    return Guard([&] { return DownloadFile(Arg(port), Arg(file), FileKind::kBasicSoftware); });
}
int TalvDownloadLecturaX(const char* port, const char* file) {
    return Guard([&] { return DownloadFile(Arg(port), Arg(file), FileKind::kReadingX); });
}
int TalvDownloadPublicKey(const char* port, const char* file) {
    return Guard([&] { return DownloadFile(Arg(port), Arg(file), FileKind::kPublicKey); });
}

int TalvDownloadMFD(const char* port, const char* file, const char* kind, const char* first, const char* last,
                    const char* user) {
    return Guard([&] { return DownloadAudit(Arg(port), Arg(file), Arg(kind), Arg(first), Arg(last), Arg(user), false); });
}
int TalvDownloadMPK(const char* port, const char* file, const char* kind, const char* first, const char* last,
                    const char* user) {
    return Guard([&] { return DownloadAudit(Arg(port), Arg(file), Arg(kind), Arg(first), Arg(last), Arg(user), true); });
}

int TalvDownloadLecturaMF(const char* port, const char* file, const char* kind, const char* first, const char* last,
                          const char* variant) {
    return Guard([&] {
        return DownloadReading(Arg(port), Arg(file), Arg(kind), Arg(first), Arg(last), Arg(variant), false);
    });
}
int TalvDownloadRelTransacciones(const char* port, const char* file, const char* kind, const char* first,
                                 const char* last, const char* variant) {
    return Guard([&] {
        return DownloadReading(Arg(port), Arg(file), Arg(kind), Arg(first), Arg(last), Arg(variant), true);
    });
}

int TalvDownloadMFDByAddress(const char* port, const char* file, const char* kind, const char* first,
                             const char* last, const char* wait, int mode) {
    return Guard([&] {
        return DownloadByAddress(Arg(port), Arg(file), Arg(kind), Arg(first), Arg(last), Arg(wait), mode);
    });
}

int TalvDiagnoseMF(const char* port, const char* signed_file, const char* output) {
    return Guard([&] { return DiagnoseFiscalMemory(Arg(port), signed_file, Arg(output)); });
}

int TalvValidate(const char* signed_file, const char* public_key) {
    return Guard([&] { return ValidateSignedFile(Arg(signed_file), Arg(public_key)); });
}

int TalvValidateRZ(const char* z_text_file, const char* public_key, char* verdict) {
    return Guard([&] { return ValidateZText(Arg(z_text_file), Arg(public_key), verdict, TALV_VERDICT_SIZE); });
}

}  // extern "C"
