// The rules of the fiscal-memory window that need no display: its menu, the greyed popups by
// country, the messages of the library's result codes and of the last answer's status bytes,
// default file names with their range suffixes and time stamps, the texts handed to the
// library, and the Z-validation text. The window (fiscalmemory/gui/mfd_dialog.h) only turns
// them into widgets. Texts are Windows-1252.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "fiscalmemory/core/result_messages.h"  // the messages of the library's result codes

namespace ordavo {

// Command identifiers of the fiscal-memory window's menu.
enum MfdMenuId : int {
    ID_MFD_SALIR = 2,
    ID_MFD_INFORME_MA = 32773,
    ID_MFD_BANCO_DATOS = 32774,
    ID_MFD_INFORME_MF = 32775,
    ID_MFD_DECODIFICAR_BITMAPS = 32776,
    ID_MFD_DOWNLOAD_MA = 32780,
    ID_MFD_DOWNLOAD_MF = 32781,
    ID_MFD_DOWNLOAD_SB = 32782,
    ID_MFD_SCANNER_PDF417 = 32783,
    ID_MFD_DIAGNOSTICO_MA = 32788,
    ID_MFD_DOWNLOAD_MPK = 32801,
    ID_MFD_DOWNLOAD_MFK = 32802,
    ID_MFD_VERIFICAR_FIRMADO = 32803,
    ID_MFD_VERIFICAR_Z = 32804,
    ID_MFD_LECTURA_X = 32805,
    ID_MFD_CLAVE_PUBLICA = 32806,
    ID_MFD_LECTURA_MF_TXT = 32807,
    ID_MFD_INFORME_TRANSACCIONES = 32808,
    ID_MFD_STATUS_ULTIMA = 32809,
    ID_MFD_REGISTRO_FISCAL_MA = 32811,
    ID_MFD_REGISTRO_FISCAL_MF = 32812,
    ID_MFD_PA_VERIFICAR_CONEXION = 32813,
    ID_MFD_PA_ENCABEZADO = 32814,
    ID_MFD_PA_LEER_MF = 32815,
    ID_MFD_MF_DIAGNOSTICO = 32816,
    ID_MFD_GENERA_CLAVES = 32820,
    ID_MFD_AUTENTICACION = 32821,
    ID_MFD_VALIDATION = 32822,
    ID_MFD_IDENTIFICAR_MA_ARCHIVO = 32824,
    ID_MFD_IDENTIFICAR_MA_IMPRESORA = 32825,
    ID_MFD_LIBRO_VENTAS_TXT = 32826,
    ID_MFD_PA_LEER_MA = 32830,
    ID_MFD_LIBRO_VENTAS_RD = 32832,
    ID_MFD_LIBRO_MENSUAL_RD = 32833,
    ID_MFD_MA_EN_PARTES = 32834,
    ID_MFD_GENERACION_XML = 32835,
    ID_MFD_PANAMA_VERIFICAR_CONEXION = 32836,
    ID_MFD_PANAMA_ABRIR_XML = 32838,
    ID_MFD_PANAMA_LEER_MF = 32839,
    ID_MFD_PANAMA_LEER_MA = 32840,
};

// One entry of menu 118: an item (id > 0), a separator (id 0, no children) or a popup (id 0
// with children).
struct MfdMenuNode {
    int id = 0;
    std::string text;
    std::vector<MfdMenuNode> children;
    bool IsPopup() const { return id == 0 && !children.empty(); }
    bool IsSeparator() const { return id == 0 && children.empty(); }
};

// The top-level popups of menu 118, in order.
const std::vector<MfdMenuNode>& MfdMenu();
// Positions of the top-level popups.
enum MfdPopupPosition : int { kPopupArchivo = 0, kPopupComunicacion, kPopupEmisionVE, kPopupEmisionRD, kPopupPA, kPopupDllClave, kPopupPanama };
// The top-level popups greyed for a country, ascending.
std::vector<int> GreyedMfdPopups(const std::string& country);

// "Archivo criado con éxito: \r\n<path>\r\n¿Comienzar el documento ahora?". The path is put in
// as it is, whatever "%" it holds.
std::string SuccessPromptText(const std::string& path);

// The message of "Status Última Comunicación" for the bytes the last answer left.
struct LastAckMessage {
    std::string text;
    bool exclamation = false;
};
inline constexpr char kRetornoDelComando[] = "Retorno del Comando";
inline constexpr char kRetornoNoAlmacenado[] = "Retorno no Almacenado";
LastAckMessage LastAckText(unsigned char ack, unsigned char st1, unsigned char st2);

// Default file names: time stamp "%d_%m_%y_%H_%M" of a local time.
std::string MfdTimeStamp(const std::tm& local);
std::string MfdTimeStampNow();

// The serial number as the printer gave it, made safe for a file name: the library's text ends
// at its first zero byte (at most `size` bytes are looked at), and path separators and control
// characters become "_".
std::string SerialFromBuffer(const char* buffer, size_t size);
std::string FileNameSafe(std::string_view text);

struct DayDate {
    int day = 1, month = 1, year = 2000;
};

// What a download by range hands the library and how the file is named.
struct DownloadRangeArgs {
    std::string kind;     // "2" by number, "1" by date, "0" whole memory
    std::string first, last, user;
    std::string suffix;   // appended to prefix + serial in the default name
};

// By number: six-digit first and last ("%06ld"), three-digit user ("%03d") and the suffix
// "_COO_I<first>_F<last>" with "_U<user>" when the user applies.
DownloadRangeArgs CooRangeArgs(long first, long last, int user, bool with_user);
// By date: "%02d%02d%02d" (day, month, year of the century) and "_<first>_<last>".
DownloadRangeArgs DateRangeArgs(const DayDate& first, const DayDate& last);
// The whole memory: kind "0", no range, "_" + time stamp.
DownloadRangeArgs WholeMemoryArgs(const std::string& time_stamp);
std::string DdMmYy(const DayDate& date);

// The choices of the audit-memory selection dialog (SelDownloadMFDDlg).
struct AuditSelection {
    int kind = 0;  // 0 COO, 1 date, 2 whole memory ("Total Lógico")
    long first_coo = 0, last_coo = 0;
    int user = 1;
    DayDate first_date, last_date;
    bool public_key = false;
};
DownloadRangeArgs AuditRangeArgs(const AuditSelection& s, const std::string& time_stamp);

// The choices of the fiscal-reading / transaction-report dialog (SelDownloadTxt).
struct TxtSelection {
    int kind = 0;  // 0 by number, 1 by date
    long first = 0, last = 0;
    DayDate first_date, last_date;
    bool simplified = false;
    bool public_key = false;
};
// The suffix ends in "_S" or "_N"; `variant` gets "r" or "R".
DownloadRangeArgs TxtRangeArgs(const TxtSelection& s, std::string& variant);

// The default names: prefix + serial (+ "_" + time stamp, or the range suffix).
std::string StampedName(const std::string& prefix, const std::string& serial, const std::string& time_stamp);
std::string RangedName(const std::string& prefix, const std::string& serial, const DownloadRangeArgs& range);

// A decimal entry of a selection dialog: digits only (surrounding spaces allowed), within
// [low, high]. False for anything else, an empty entry included.
bool ParseRangeField(std::string_view text, long low, long high, long& value);
std::string RangeFieldMessage(long low, long high);

// Where the public key goes when it was not asked for: the directory of the signed file (up to
// its last "/") and the serial, without extension; the serial alone for a file without a
// directory.
std::string KeyPathBeside(const std::string& file, const std::string& serial);

// The Z-validation text: "0"-"9", "A"-"F", space, carriage return and line feed are kept.
bool ZTextCharAllowed(char32_t c);
// Every other byte becomes a space; `replaced` (when given) gets their positions.
std::string FilterZText(std::string_view text, std::vector<size_t>* replaced = nullptr);
// What goes into the work file: the text without spaces, line feeds and carriage returns,
// its first 257 characters at most.
inline constexpr size_t kZWorkTextMax = 257;
std::string ZWorkFileText(std::string_view text);
inline constexpr char kZWorkFileName[] = "rsa_rz.tmp";

// True when the file opens for reading.
bool FileReadable(const std::string& path);

// The key-file failure marker of FetchPublicKey.
inline constexpr char kNoKey[] = "Error!";

}  // namespace ordavo
