// A stand-in for the fiscal-memory library, for the window tests: it exports the functions of
// talvmfd.h, writes every call with its arguments into the log file that ORDAVO_FAKE_MFD_LOG
// names, one line per call (library name, function, arguments, tab-separated; "(null)" for a
// null pointer), and answers what the control file that ORDAVO_FAKE_MFD_CONTROL names says,
// read afresh on every call:
//
//   result FUNCTION CODE     the code FUNCTION returns (default 0)
//   serial TEXT              the serial number (default "TA0000000001")
//   lastack ACK ST1 ST2      the bytes TalvGetLastAck hands back (default 6 0 0)
//   verdict TEXT             the verdict text of TalvValidateRZ
//   progress STEPS MS        downloads report STEPS steps of 1000 bytes, MS milliseconds apart
//   nofile FUNCTION 1        FUNCTION says 0 but writes no file
//
// A download that returns 0 writes "FAKE FUNCTION" into its output file; one that is cancelled
// through the progress callback returns 20 and leaves no file. Built with FAKE_BASIC it lacks
// TalvSetProgressCallback and TalvDownloadLecturaX, like an older library.
//
// Plain C style on purpose: no static C++ objects, so that the object really unloads.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "fiscalmemory/library/talvmfd.h"

#ifndef FAKE_LIBRARY_NAME
#define FAKE_LIBRARY_NAME "TalvMFD2ES"
#endif

namespace {

TalvProgressCallback g_callback = nullptr;
void* g_context = nullptr;

void Log(const char* function, int count, ...) {
    const char* path = getenv("ORDAVO_FAKE_MFD_LOG");
    if (!path || !*path) return;
    FILE* f = fopen(path, "a");
    if (!f) return;
    fprintf(f, "%s\t%s", FAKE_LIBRARY_NAME, function);
    va_list args;
    va_start(args, count);
    for (int i = 0; i < count; ++i) {
        const char* a = va_arg(args, const char*);
        fprintf(f, "\t%s", a ? a : "(null)");
    }
    va_end(args);
    fputc('\n', f);
    fclose(f);
}

// The value after "KEY " (and, for "result", after "result FUNCTION ") in the control file,
// into out; false when there is no such line.
bool Control(const char* key, const char* function, char* out, size_t size) {
    const char* path = getenv("ORDAVO_FAKE_MFD_CONTROL");
    if (!path || !*path) return false;
    FILE* f = fopen(path, "r");
    if (!f) return false;
    char line[2048];
    bool found = false;
    size_t key_length = strlen(key);
    while (fgets(line, sizeof line, f)) {
        line[strcspn(line, "\r\n")] = '\0';
        if (strncmp(line, key, key_length) != 0 || line[key_length] != ' ') continue;
        const char* value = line + key_length + 1;
        if (function) {
            size_t n = strlen(function);
            if (strncmp(value, function, n) != 0 || value[n] != ' ') continue;
            value += n + 1;
        }
        snprintf(out, size, "%s", value);
        found = true;
    }
    fclose(f);
    return found;
}

int Result(const char* function) {
    char value[64];
    return Control("result", function, value, sizeof value) ? atoi(value) : 0;
}

void SleepMs(int ms) {
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

// A download into `file`: progress as the control file says, then the file, or nothing when
// cancelled.
int Download(const char* function, const char* file) {
    int steps = 0, ms = 0;
    char value[64];
    if (Control("progress", nullptr, value, sizeof value)) sscanf(value, "%d %d", &steps, &ms);
    for (int i = 1; i <= steps; ++i) {
        SleepMs(ms);
        if (g_callback && g_callback(1000LL * i, 1000LL * steps, g_context) != 0) {
            Log("cancelled", 1, function);
            return 20;
        }
    }
    int result = Result(function);
    char none[8];
    if (result == 0 && file && !Control("nofile", function, none, sizeof none)) {
        FILE* f = fopen(file, "w");
        if (!f) return 19;
        fprintf(f, "FAKE %s\n", function);
        fclose(f);
    }
    return result;
}

}  // namespace

#define FAKE_UNUSED(name, ...)                  \
    int name(__VA_ARGS__) {                     \
        Log(#name, 0);                          \
        return 7;                               \
    }

extern "C" {

TALV_API int TalvSetBaudrate(int baud) {
    char text[16];
    snprintf(text, sizeof text, "%d", baud);
    Log("TalvSetBaudrate", 1, text);
    return 0;
}

TALV_API int TalvGetSerialNumber(const char* port, char* serial) {
    Log("TalvGetSerialNumber", 1, port);
    int result = Result("TalvGetSerialNumber");
    char value[256] = "TA0000000001";
    Control("serial", nullptr, value, sizeof value);
    if (result == 0) memcpy(serial, value, strnlen(value, TALV_SERIAL_SIZE));
    return result;
}

TALV_API int TalvGetLastAck(unsigned char* ack, unsigned char* st1, unsigned char* st2) {
    Log("TalvGetLastAck", 0);
    unsigned a = 6, s1 = 0, s2 = 0;
    char value[64];
    if (Control("lastack", nullptr, value, sizeof value)) sscanf(value, "%u %u %u", &a, &s1, &s2);
    *ack = static_cast<unsigned char>(a);
    *st1 = static_cast<unsigned char>(s1);
    *st2 = static_cast<unsigned char>(s2);
    return Result("TalvGetLastAck");
}

#ifndef FAKE_BASIC
TALV_API int TalvSetProgressCallback(TalvProgressCallback callback, void* context) {
    Log("TalvSetProgressCallback", 1, callback ? "set" : "(null)");
    g_callback = callback;
    g_context = context;
    return 0;
}
#endif

#define FAKE_DOWNLOAD2(name)                              \
    TALV_API int name(const char* port, const char* file) { \
        Log(#name, 2, port, file);                        \
        return Download(#name, file);                     \
    }
FAKE_DOWNLOAD2(TalvDownloadMF)
FAKE_DOWNLOAD2(TalvDownloadMFK)
FAKE_DOWNLOAD2(TalvDownloadSB)
FAKE_DOWNLOAD2(TalvDownloadPublicKey)
#ifndef FAKE_BASIC
FAKE_DOWNLOAD2(TalvDownloadLecturaX)
#endif

#define FAKE_DOWNLOAD6(name)                                                                              \
    TALV_API int name(const char* port, const char* file, const char* kind, const char* first, const char* last, \
                      const char* sixth) {                                                                \
        Log(#name, 6, port, file, kind, first, last, sixth);                                              \
        return Download(#name, file);                                                                     \
    }
FAKE_DOWNLOAD6(TalvDownloadMFD)
FAKE_DOWNLOAD6(TalvDownloadMPK)
FAKE_DOWNLOAD6(TalvDownloadLecturaMF)
FAKE_DOWNLOAD6(TalvDownloadRelTransacciones)

TALV_API int TalvDownloadMFDByAddress(const char* port, const char* file, const char* kind, const char* first,
                                      const char* last, const char* wait, int mode) {
    char m[16];
    snprintf(m, sizeof m, "%d", mode);
    Log("TalvDownloadMFDByAddress", 7, port, file, kind, first, last, wait, m);
    return Download("TalvDownloadMFDByAddress", file);
}

TALV_API int TalvDiagnoseMF(const char* port, const char* signed_file, const char* output) {
    Log("TalvDiagnoseMF", 3, port, signed_file, output);
    return Download("TalvDiagnoseMF", output);
}

TALV_API int TalvValidate(const char* signed_file, const char* public_key) {
    Log("TalvValidate", 2, signed_file, public_key);
    return Result("TalvValidate");
}

TALV_API int TalvValidateRZ(const char* z_text_file, const char* public_key, char* verdict) {
    Log("TalvValidateRZ", 2, z_text_file, public_key);
    char value[TALV_VERDICT_SIZE] = "";
    Control("verdict", nullptr, value, sizeof value);
    snprintf(verdict, TALV_VERDICT_SIZE, "%s", value);
    return Result("TalvValidateRZ");
}

// The rest answer "Comando no ejecutado", as the real library does for what it lacks.
TALV_API FAKE_UNUSED(TalvGeraTxtPorCOO, const char*, const char*, int, int, int)
TALV_API FAKE_UNUSED(TalvGeraMdbPorCOO, const char*, const char*, int, int, int)
TALV_API FAKE_UNUSED(TalvGeraXmlPorCOO, const char*, const char*, int, int, int)
TALV_API FAKE_UNUSED(TalvGeraLibroDeVentasPorCOO, const char*, const char*, int, int, int)
TALV_API FAKE_UNUSED(TalvGeraLibroDeVentasPorCOORD, const char*, const char*, int, int, int)
TALV_API FAKE_UNUSED(TalvGeraTxtPorData, const char*, const char*, const char*, const char*)
TALV_API FAKE_UNUSED(TalvGeraMdbPorData, const char*, const char*, const char*, const char*)
TALV_API FAKE_UNUSED(TalvGeraXmlPorData, const char*, const char*, const char*, const char*)
TALV_API FAKE_UNUSED(TalvGeraLibroDeVentasPorData, const char*, const char*, const char*, const char*)
TALV_API FAKE_UNUSED(TalvGeraLibroDeVentasPorDataRD, const char*, const char*, const char*, const char*)
TALV_API FAKE_UNUSED(TalvGeraTxtTotal, const char*, const char*)
TALV_API FAKE_UNUSED(TalvGeraMdbTotal, const char*, const char*)
TALV_API FAKE_UNUSED(TalvGeraXmlTotal, const char*, const char*)
TALV_API FAKE_UNUSED(TalvGeraLibroDeVentasTotal, const char*, const char*)
TALV_API FAKE_UNUSED(TalvGeraLibroDeVentasTotalRD, const char*, const char*)
TALV_API FAKE_UNUSED(TalvGeraLibroMensualDeVentas, const char*, const char*)
TALV_API FAKE_UNUSED(TalvRelatorioMFTxt, const char*, const char*, const char*, const char*, const char*)
TALV_API FAKE_UNUSED(TalvGeraRegistrosParciaisTipoE, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*)
TALV_API FAKE_UNUSED(TalvGeraRegistrosTipoE, const char*, const char*, const char*, const char*)
TALV_API FAKE_UNUSED(TalvIdentificaMAArchivo, const char*, const char*)
TALV_API FAKE_UNUSED(TalvOpenPdf417ToMfd, const char*)
TALV_API FAKE_UNUSED(TalvAddBmpFile, const char*)
TALV_API FAKE_UNUSED(TalvClosePdf417ToMfd, void)
TALV_API FAKE_UNUSED(TalvGenerateKeys, const char*, const char*)
TALV_API FAKE_UNUSED(TalvAutentificationDLLKeys, const char*, const char*, const char*)
TALV_API FAKE_UNUSED(TalvValidationDLLKeys, const char*, const char*)
TALV_API FAKE_UNUSED(TalvDescriptografaXmlAES, const char*, const char*)
TALV_API FAKE_UNUSED(verificarConexion, const char*, const char*, const char*)
TALV_API FAKE_UNUSED(leerEncabezadoMemoriaFiscal, const char*, const char*, const char*)
TALV_API FAKE_UNUSED(leerEncabezadoMemoriaAuditoria, const char*, const char*, const char*)
TALV_API FAKE_UNUSED(leerMemoriaFiscalFecha, const char*, const char*, const char*, const char*, const char*)
TALV_API FAKE_UNUSED(leerMemoriaAuditoriaFecha, const char*, const char*, const char*, const char*, const char*)
TALV_API FAKE_UNUSED(leerMemoriaFiscal, const char*, const char*, const char*, const char*, const char*)
TALV_API FAKE_UNUSED(leerMemoriaAuditoria, const char*, const char*, const char*, const char*, const char*)

}  // extern "C"
