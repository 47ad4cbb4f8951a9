#include "fiscalmemory/core/mfd_rules.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "engine/strings.h"
#include "engine/util.h"

namespace ordavo {
namespace {

MfdMenuNode Item(int id, const char* text) { return {id, text, {}}; }
MfdMenuNode Separator() { return {}; }
MfdMenuNode Popup(const char* text, std::vector<MfdMenuNode> children) { return {0, text, std::move(children)}; }

std::vector<MfdMenuNode> BuildMenu() {
    return {
        Popup("Archivo", {Item(ID_MFD_VERIFICAR_FIRMADO, "Verificar Autenticidad Archivo Firmado"),
                          Item(ID_MFD_VERIFICAR_Z, "Verificar Autenticidad  Z"), Separator(),
                          Item(ID_MFD_MF_DIAGNOSTICO, "MF Diagn\xF3stico"),
                          Item(ID_MFD_DIAGNOSTICO_MA, "Diagnostico de lo Informe de la MA"),
                          Item(ID_MFD_DECODIFICAR_BITMAPS, "Descodificar Bitmaps PDF-417 Distintos"), Separator(),
                          Item(ID_MFD_SALIR, "Salir")}),
        Popup("Comunicaci\xF3n",
              {Popup("Download", {Item(ID_MFD_DOWNLOAD_MA, "Memoria de Rollo de Auditoria (MA)"),
                                  Item(ID_MFD_DOWNLOAD_MF, "Memoria Fiscal (MF)"),
                                  Item(ID_MFD_DOWNLOAD_SB, "Software B\xE1sico (SB)"),
                                  Item(ID_MFD_CLAVE_PUBLICA, "Clave P\xFA" "blica"),
                                  Item(ID_MFD_MA_EN_PARTES, "Memoria Auditoria en Partes")}),
               Popup("Download con Firma Digital", {Item(ID_MFD_DOWNLOAD_MPK, "MA Firmada (MPK)"),
                                                    Item(ID_MFD_DOWNLOAD_MFK, "MF Firmada (MFK)"),
                                                    Item(ID_MFD_LECTURA_X, "Lectura X"),
                                                    Item(ID_MFD_LECTURA_MF_TXT, "Lectura Memoria Fiscal TXT"),
                                                    Item(ID_MFD_INFORME_TRANSACCIONES, "Informe de Transaciones")}),
               Item(ID_MFD_SCANNER_PDF417, "Leitura via scanner (PDF - 417)"),
               Item(ID_MFD_STATUS_ULTIMA, "Status \xDAltima Comunicaci\xF3n")}),
        Popup("Emisi\xF3n de Documento(s) VE",
              {Item(ID_MFD_INFORME_MA, "Informe de Memoria de Rollo de Auditoria"),
               Item(ID_MFD_INFORME_MF, "Informe de Memoria Fiscal"),
               Item(ID_MFD_BANCO_DATOS, "Generaci\xF3n de Banco de Datos"),
               Item(ID_MFD_REGISTRO_FISCAL_MA, "Generaci\xF3n del Registro Fiscal MA"),
               Item(ID_MFD_REGISTRO_FISCAL_MF, "Generaci\xF3n del Registro Fiscal MF"),
               Item(ID_MFD_LIBRO_VENTAS_TXT, "Generaci\xF3n Libro de Ventas TXT"),
               Item(ID_MFD_GENERACION_XML, "Generaci\xF3n de XML")}),
        Popup("Emisi\xF3n de Documento(s) RD",
              {Item(ID_MFD_INFORME_MA, "Informe de Memoria de Rollo de Auditoria"),
               Item(ID_MFD_INFORME_MF, "Informe de Memoria Fiscal"),
               Item(ID_MFD_LIBRO_VENTAS_RD, "Generaci\xF3n Libro de Ventas RD"),
               Item(ID_MFD_LIBRO_MENSUAL_RD, "Generaci\xF3n Libro Mensual de Ventas RD")}),
        Popup("PA 0421-06", {Item(ID_MFD_PA_VERIFICAR_CONEXION, "Verificar Conexi\xF3n"),
                             Item(ID_MFD_PA_ENCABEZADO, "Obtener Encabezado"), Item(ID_MFD_PA_LEER_MF, "Leer MF"),
                             Popup("Identificar MA", {Item(ID_MFD_IDENTIFICAR_MA_ARCHIVO, "Archivo"),
                                                      Item(ID_MFD_IDENTIFICAR_MA_IMPRESORA, "Impresora")}),
                             Item(ID_MFD_PA_LEER_MA, "Leer MA")}),
        Popup("DLL Clave", {Item(ID_MFD_GENERA_CLAVES, "Genera Claves"),
                            Item(ID_MFD_AUTENTICACION, "Autenticaci\xF3n"), Item(ID_MFD_VALIDATION, "Validation")}),
        Popup("Panam\xE1", {Item(ID_MFD_PANAMA_VERIFICAR_CONEXION, "Verificar Conexi\xF3n"),
                            Item(ID_MFD_PANAMA_LEER_MF, "Leer Memoria Fiscal"),
                            Item(ID_MFD_PANAMA_LEER_MA, "Leer Memoria de Auditoria"),
                            Item(ID_MFD_PANAMA_ABRIR_XML, "Abrir XML Criptografado"),
                            Item(ID_MFD_GENERACION_XML, "Generaci\xF3n de XML")}),
    };
}

}  // namespace

const std::vector<MfdMenuNode>& MfdMenu() {
    static const std::vector<MfdMenuNode> menu = BuildMenu();
    return menu;
}

std::vector<int> GreyedMfdPopups(const std::string& country) {
    if (country == "CHILE") return {kPopupEmisionVE, kPopupEmisionRD};
    if (country == "VENEZUELA" || country == "LOTERIAS" || country == "PANAMA") return {kPopupEmisionRD};
    if (country == "REP DOMINICANA") return {kPopupEmisionVE};
    return {};
}

std::string SuccessPromptText(const std::string& path) {
    std::string text = Str(IDS_ARCHIVO_CRIADO);
    size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, path);
    return text + "\r\n" + Str(IDS_COMENZAR_DOCUMENTO);
}

LastAckMessage LastAckText(unsigned char ack, unsigned char st1, unsigned char st2) {
    if (ack != 6) return {"NAK", true};
    if (st1 == 0 && st2 == 0) return {"RETORNO OK", false};
    std::string text;
    for (int bit = 7; bit >= 0; --bit)
        if (st1 & (1u << bit)) text += "\n" + Str(IDS_ST1_BIT7 + (7 - bit));
    for (int bit = 7; bit >= 0; --bit)
        if (st2 & (1u << bit)) text += "\n" + Str(IDS_ST2_BIT7 + (7 - bit));
    return {text, false};
}

std::string MfdTimeStamp(const std::tm& local) {
    char buf[32];
    size_t n = std::strftime(buf, sizeof buf, "%d_%m_%y_%H_%M", &local);
    return std::string(buf, n);
}

std::string MfdTimeStampNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return MfdTimeStamp(local);
}

std::string SerialFromBuffer(const char* buffer, size_t size) {
    size_t n = 0;
    while (n < size && buffer[n] != '\0') ++n;
    return std::string(buffer, n);
}

std::string FileNameSafe(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '/' || c == '\\') c = '_';
    }
    // "." and ".." would name directories.
    if (out.find_first_not_of('.') == std::string::npos && !out.empty()) std::fill(out.begin(), out.end(), '_');
    return out;
}

std::string DdMmYy(const DayDate& d) { return Format("%02d%02d%02d", d.day, d.month, ((d.year % 100) + 100) % 100); }

DownloadRangeArgs CooRangeArgs(long first, long last, int user, bool with_user) {
    DownloadRangeArgs a;
    a.kind = "2";
    a.first = Format("%06ld", first);
    a.last = Format("%06ld", last);
    a.suffix = Format("_COO_I%ld_F%ld", first, last);
    if (with_user) {
        a.user = Format("%03d", user);
        a.suffix += Format("_U%d", user);
    }
    return a;
}

DownloadRangeArgs DateRangeArgs(const DayDate& first, const DayDate& last) {
    DownloadRangeArgs a;
    a.kind = "1";
    a.first = DdMmYy(first);
    a.last = DdMmYy(last);
    a.suffix = "_" + a.first + "_" + a.last;
    return a;
}

DownloadRangeArgs WholeMemoryArgs(const std::string& time_stamp) {
    DownloadRangeArgs a;
    a.kind = "0";
    a.suffix = "_" + time_stamp;
    return a;
}

DownloadRangeArgs AuditRangeArgs(const AuditSelection& s, const std::string& time_stamp) {
    switch (s.kind) {
        case 0: return CooRangeArgs(s.first_coo, s.last_coo, s.user, true);
        case 1: return DateRangeArgs(s.first_date, s.last_date);
        default: return WholeMemoryArgs(time_stamp);
    }
}

DownloadRangeArgs TxtRangeArgs(const TxtSelection& s, std::string& variant) {
    DownloadRangeArgs a = s.kind == 0 ? CooRangeArgs(s.first, s.last, 0, false) : DateRangeArgs(s.first_date, s.last_date);
    a.suffix += s.simplified ? "_S" : "_N";
    variant = s.simplified ? "r" : "R";
    return a;
}

std::string StampedName(const std::string& prefix, const std::string& serial, const std::string& time_stamp) {
    return prefix + FileNameSafe(serial) + "_" + time_stamp;
}

std::string RangedName(const std::string& prefix, const std::string& serial, const DownloadRangeArgs& range) {
    return prefix + FileNameSafe(serial) + range.suffix;
}

bool ParseRangeField(std::string_view text, long low, long high, long& value) {
    size_t b = text.find_first_not_of(' ');
    if (b == std::string_view::npos) return false;
    size_t e = text.find_last_not_of(' ');
    text = text.substr(b, e - b + 1);
    if (text.size() > 12) return false;
    long v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.front() == '-' || text.front() == '+')
        return false;
    if (v < low || v > high) return false;
    value = v;
    return true;
}

std::string RangeFieldMessage(long low, long high) {
    return Format("Introduzca un n\xFAmero entero entre %ld y %ld.", low, high);
}

std::string KeyPathBeside(const std::string& file, const std::string& serial) {
    size_t slash = file.rfind('/');
    if (slash == std::string::npos) return FileNameSafe(serial);
    return file.substr(0, slash) + "/" + FileNameSafe(serial);
}

bool ZTextCharAllowed(char32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == ' ' || c == '\r' || c == '\n';
}

std::string FilterZText(std::string_view text, std::vector<size_t>* replaced) {
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        if (ZTextCharAllowed(static_cast<unsigned char>(out[i]))) continue;
        out[i] = ' ';
        if (replaced) replaced->push_back(i);
    }
    return out;
}

std::string ZWorkFileText(std::string_view text) {
    std::string out;
    out.reserve(std::min(text.size(), kZWorkTextMax));
    for (char c : text) {
        if (c == ' ' || c == '\r' || c == '\n') continue;
        out.push_back(c);
        if (out.size() == kZWorkTextMax) break;
    }
    return out;
}

bool FileReadable(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return false;
    std::fclose(f);
    return true;
}

}  // namespace ordavo
