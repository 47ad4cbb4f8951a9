// Entry points of the fiscal-memory library with C linkage: conversions of stored files, key
// tools, the decryption of the printers' XML, and the readings of the menus "PA 0421-06" and
// "Panamá". A null pointer where a text is expected is "syntax incorrect" (9).
#include <cstring>
#include <string>

#include "fiscalmemory/library/aes_container.h"
#include "fiscalmemory/library/country_readings.h"
#include "fiscalmemory/library/keys_dll.h"
#include "fiscalmemory/library/report_io.h"
#include "fiscalmemory/library/report_convert.h"
#include "fiscalmemory/library/talvmfd.h"

using namespace ordavo::mfd;

namespace {

bool Given(std::initializer_list<const char*> texts) {
    for (const char* t : texts)
        if (!t) return false;
    return true;
}

int ByCoo(const char* audit, const char* output, int user, int first, int last, ReportKind kind) {
    if (!Given({audit, output})) return kSyntax;
    Selection sel;
    if (int rc = SelectByCoo(user, first, last, sel); rc != kOk) return rc;
    return ConvertAudit(audit, output, kind, sel);
}

int ByDate(const char* audit, const char* output, const char* first, const char* last, ReportKind kind) {
    if (!Given({audit, output, first, last})) return kSyntax;
    Selection sel;
    if (int rc = SelectByDate(first, last, sel); rc != kOk) return rc;
    return ConvertAudit(audit, output, kind, sel);
}

int Whole(const char* audit, const char* output, ReportKind kind) {
    if (!Given({audit, output})) return kSyntax;
    return ConvertAudit(audit, output, kind, Selection{});
}

// The dates of each menu's readings: DDMMYYYY for "PA 0421-06", DDMMYY for "Panamá".
bool DatesOfLength(const char* first, const char* last, size_t length) {
    return std::strlen(first) == length && std::strlen(last) == length && !ShortDate(first).empty() &&
           !ShortDate(last).empty();
}

std::string& RememberedPort() {
    static std::string port;
    return port;
}

// The audit memory of a date range from the printer, converted.
bool AuditByDate(const char* port, const char* first, const char* last, const char* output, ReportKind kind) {
    std::string a = ShortDate(first), b = ShortDate(last);
    Selection sel;
    if (a.empty() || b.empty() || SelectByDate(first, last, sel) != kOk) return false;
    TempDownload ma(output, ".mra");
    if (TalvDownloadMFD(port, ma.path().c_str(), "1", a.c_str(), b.c_str(), "") != kOk) return false;
    return ConvertAudit(ma.path(), output, kind, sel) == kOk;
}

// 0 or the code of the first step that failed.
int FiscalMemoryHeaderFromPrinter(const char* output) {
    TempDownload mf(output, ".mf");
    if (int rc = TalvDownloadMF(RememberedPort().c_str(), mf.path().c_str()); rc != kOk) return rc;
    return FiscalMemoryHeader(mf.path(), output);
}

}  // namespace

extern "C" {

int TalvGeraTxtPorCOO(const char* a, const char* o, int u, int f, int l) { return ByCoo(a, o, u, f, l, ReportKind::kText); }
int TalvGeraMdbPorCOO(const char* a, const char* o, int u, int f, int l) { return ByCoo(a, o, u, f, l, ReportKind::kDatabase); }
int TalvGeraXmlPorCOO(const char* a, const char* o, int u, int f, int l) { return ByCoo(a, o, u, f, l, ReportKind::kXml); }
int TalvGeraLibroDeVentasPorCOO(const char* a, const char* o, int u, int f, int l) {
    return ByCoo(a, o, u, f, l, ReportKind::kSalesBook);
}
int TalvGeraLibroDeVentasPorCOORD(const char* a, const char* o, int u, int f, int l) {
    return ByCoo(a, o, u, f, l, ReportKind::kSalesBookRD);
}
int TalvGeraTxtPorData(const char* a, const char* o, const char* f, const char* l) { return ByDate(a, o, f, l, ReportKind::kText); }
int TalvGeraMdbPorData(const char* a, const char* o, const char* f, const char* l) {
    return ByDate(a, o, f, l, ReportKind::kDatabase);
}
int TalvGeraXmlPorData(const char* a, const char* o, const char* f, const char* l) { return ByDate(a, o, f, l, ReportKind::kXml); }
int TalvGeraLibroDeVentasPorData(const char* a, const char* o, const char* f, const char* l) {
    return ByDate(a, o, f, l, ReportKind::kSalesBook);
}
int TalvGeraLibroDeVentasPorDataRD(const char* a, const char* o, const char* f, const char* l) {
    return ByDate(a, o, f, l, ReportKind::kSalesBookRD);
}
int TalvGeraTxtTotal(const char* a, const char* o) { return Whole(a, o, ReportKind::kText); }
int TalvGeraMdbTotal(const char* a, const char* o) { return Whole(a, o, ReportKind::kDatabase); }
int TalvGeraXmlTotal(const char* a, const char* o) { return Whole(a, o, ReportKind::kXml); }
int TalvGeraLibroDeVentasTotal(const char* a, const char* o) { return Whole(a, o, ReportKind::kSalesBook); }
int TalvGeraLibroDeVentasTotalRD(const char* a, const char* o) { return Whole(a, o, ReportKind::kSalesBookRD); }

int TalvGeraLibroMensualDeVentas(const char* files, const char* output) {
    if (!Given({files, output})) return kSyntax;
    return MonthlySalesBook(files, output);
}

int TalvRelatorioMFTxt(const char* fiscal_memory, const char* output, const char* kind, const char* first,
                       const char* last) {
    if (!Given({fiscal_memory, output, kind, first, last})) return kSyntax;
    return FiscalMemoryReport(fiscal_memory, output, kind, first, last);
}

int TalvGeraRegistrosParciaisTipoE(const char* input, const char* output, const char* selector, const char* first,
                                   const char* last, const char*, const char*, const char*, const char* source,
                                   const char*, const char*, const char*, const char*, const char*, const char*,
                                   const char*, const char*, const char*, const char*, const char*, const char*,
                                   const char*) {
    if (!Given({input, output, selector, first, last, source})) return kSyntax;
    if (std::string(selector) != "0" && std::string(selector) != "1") return kBadKind;
    return TypeERecords(input, output, source, selector, first, last);
}

int TalvGeraRegistrosTipoE(const char* input, const char* output, const char* source, const char*) {
    if (!Given({input, output, source})) return kSyntax;
    return TypeERecords(input, output, source, "", "", "");
}

int TalvIdentificaMAArchivo(const char* audit, const char* output) {
    if (!Given({audit, output})) return kSyntax;
    return IdentifyAuditFile(audit, output);
}

int TalvGenerateKeys(const char* public_key, const char* private_key) {
    if (!Given({public_key, private_key})) return kSyntax;
    return GenerateKeys(public_key, private_key);
}

int TalvAutentificationDLLKeys(const char* text, const char* signed_text, const char* public_key) {
    if (!Given({text, signed_text, public_key})) return kSyntax;
    return AuthenticateText(text, signed_text, public_key);
}

int TalvValidationDLLKeys(const char* signed_text, const char* private_key) {
    if (!Given({signed_text, private_key})) return kSyntax;
    return ValidateText(signed_text, private_key);
}

int TalvDescriptografaXmlAES(const char* encrypted, const char* output_xml) {
    if (!Given({encrypted, output_xml})) return kSyntax;
    return DecryptXmlContainer(encrypted, output_xml);
}

// The menu "PA 0421-06" gives (brand, model, port), the menu "Panamá" (port, model, NULL). The
// printer answers when it tells its serial number. The port is remembered for the readings of
// the first menu, which do not name it.
int verificarConexion(const char* a, const char* b, const char* c) {
    const char* port = c ? c : a;
    if (!port || !*port) return 0;
    RememberedPort() = port;
    char serial[TALV_SERIAL_SIZE] = {};
    return TalvGetSerialNumber(port, serial) == 0 ? 1 : 0;
}

int leerEncabezadoMemoriaFiscal(const char* brand, const char* model, const char* output) {
    if (!Given({output}) || RememberedPort().empty()) return 0;
    return FiscalMemoryHeaderFromPrinter(output) == kOk ? 1 : 0;
}

int leerEncabezadoMemoriaAuditoria(const char* brand, const char* model, const char* output) {
    if (!Given({output})) return kSyntax;
    if (RememberedPort().empty()) return kBadPort;
    TempDownload ma(output, ".mra");
    if (int rc = TalvDownloadMFD(RememberedPort().c_str(), ma.path().c_str(), "0", "", "", ""); rc != kOk) return rc;
    return IdentifyAuditFile(ma.path(), output);
}

int leerMemoriaFiscalFecha(const char* brand, const char* model, const char* first, const char* last,
                           const char* output) {
    if (!Given({first, last, output}) || RememberedPort().empty() || !DatesOfLength(first, last, 8)) return 0;
    TempDownload mf(output, ".mf");
    if (TalvDownloadMF(RememberedPort().c_str(), mf.path().c_str()) != kOk) return 0;
    return FiscalMemoryReport(mf.path(), output, "D", first, last) == kOk ? 1 : 0;
}

int leerMemoriaAuditoriaFecha(const char* brand, const char* model, const char* first, const char* last,
                              const char* output) {
    if (!Given({first, last, output}) || RememberedPort().empty() || !DatesOfLength(first, last, 8)) return 0;
    return AuditByDate(RememberedPort().c_str(), first, last, output, ReportKind::kText) ? 1 : 0;
}

int leerMemoriaFiscal(const char* port, const char* model, const char* first, const char* last, const char* output) {
    if (!Given({port, first, last, output}) || !DatesOfLength(first, last, 6)) return 0;
    TempDownload mf(output, ".mf");
    if (TalvDownloadMF(port, mf.path().c_str()) != kOk) return 0;
    return FiscalMemoryXml(mf.path(), output, first, last) == kOk ? 1 : 0;
}

int leerMemoriaAuditoria(const char* port, const char* model, const char* first, const char* last, const char* output) {
    if (!Given({port, first, last, output}) || !DatesOfLength(first, last, 6)) return 0;
    return AuditByDate(port, first, last, output, ReportKind::kXml) ? 1 : 0;
}

}  // extern "C"
