// Entry points of the fiscal-memory library with C linkage. Not done yet: "command not
// executed" (7).
#include "fiscalmemory/library/talvmfd.h"

extern "C" {

int TalvSetBaudrate(int baud) { return 7; }
int TalvGetSerialNumber(const char* port, char* serial /* TALV_SERIAL_SIZE, zero-filled */) { return 7; }
int TalvGetLastAck(unsigned char* ack, unsigned char* st1, unsigned char* st2) { return 7; }
int TalvSetProgressCallback(TalvProgressCallback callback, void* context) { return 7; }
int TalvDownloadMF(const char* port, const char* file) { return 7; }
int TalvDownloadMFK(const char* port, const char* file) { return 7; }
int TalvDownloadSB(const char* port, const char* file) { return 7; }
int TalvDownloadLecturaX(const char* port, const char* file) { return 7; }
int TalvDownloadPublicKey(const char* port, const char* file) { return 7; }
int TalvDownloadMFD(const char* port, const char* file, const char* kind, const char* first, const char* last, const char* user) { return 7; }
int TalvDownloadMPK(const char* port, const char* file, const char* kind, const char* first, const char* last, const char* user) { return 7; }
int TalvDownloadLecturaMF(const char* port, const char* file, const char* kind, const char* first, const char* last, const char* variant) { return 7; }
int TalvDownloadRelTransacciones(const char* port, const char* file, const char* kind, const char* first, const char* last, const char* variant) { return 7; }
int TalvDownloadMFDByAddress(const char* port, const char* file, const char* kind, const char* first, const char* last, const char* wait, int mode) { return 7; }
int TalvDiagnoseMF(const char* port, const char* signed_file, const char* output) { return 7; }
int TalvValidate(const char* signed_file, const char* public_key) { return 7; }
int TalvValidateRZ(const char* z_text_file, const char* public_key, char* verdict) { return 7; }

}  // extern "C"
