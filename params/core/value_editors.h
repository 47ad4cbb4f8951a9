// The typed value editors as the rest of the program sees them: what a caller sets before an
// editor opens, what it gets back, and the rules that turn what the user typed into the exact
// text the command encoder expects. The windows themselves live elsewhere (params/gui for the
// desktop, params/core/terminal_editors for the command line); they all build their answers
// with the functions below, so every front end answers byte for byte the same.
//
// All texts are Windows-1252 bytes.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "engine/ui.h"

namespace ordavo {

// What an editor chain hands back when the user cancelled.
inline constexpr std::string_view kMarcaAnulacao = "ERROR";

// ----------------------------------------------------------------------------- texts

namespace textos {
inline constexpr char kDigiteValor[] = "Digite o valor";
inline constexpr char kDigiteData[] = "Digite a data";
inline constexpr char kSelecioneHora[] = "Selecione a hora";
inline constexpr char kSelecioneFecha[] = "Selecione la fecha";
inline constexpr char kSelecioneLaHora[] = "Selecione la hora";
inline constexpr char kFecha[] = "Fecha";
inline constexpr char kHora[] = "Hora";
inline constexpr char kCargarFecha[] = "Cargar fecha del ordenador";
inline constexpr char kCargarHora[] = "Cargar la hora del ordenador";
inline constexpr char kHorarioVerano[] = "Hor\xE1rio de verano";
inline constexpr char kFechaCorrecta[] =
    "\xBF"
    "La fecha est\xE1 correcta?";
inline constexpr char kAceptarFechaHora[] =
    "\xBF"
    "Acceptar fecha y hora de la computadora?";
inline constexpr char kValor[] = "&Valor";
inline constexpr char kPorcentual[] = "&Porcentual";
inline constexpr char kAnular[] = "Anular";
inline constexpr char kClichePropietario[] = "Clich\xE9 del propiet\xE1rio";
inline constexpr char kSubrayado[] = "Subrayado";
inline constexpr char kItalico[] = "It\xE1lico";
inline constexpr char kRealzado[] = "Realzado";
inline constexpr char kExpandido[] = "Expandido";
inline constexpr char kCentralizado[] = "Centralizado";
inline constexpr char kClicheGrafico[] =
    "Clich\xE9 Gr\xE1"
    "fico";
inline constexpr char kSalir[] = "Salir";
inline constexpr char kSinUsb[] = "Este comando no suporta interfaz USB";
inline constexpr char kAlicuotas[] =
    "Al\xED"
    "cuotas";
inline constexpr char kAlicuota[] =
    "Al\xED"
    "cuota";
inline constexpr char kIva[] = "IVA";
inline constexpr char kNoIva[] = "no IVA";
inline constexpr char kParametros[] = "Par\xE1metros";
inline constexpr char kEditar[] = "Editar";
inline constexpr char kOk[] = "Ok";
}  // namespace textos

// The eight rows of the cheque editor, in the order of its answer.
extern const std::array<const char*, 8> kChequeRotulos;

// ----------------------------------------------------------------------------- editors

struct StringEditor {  // GetStringDlg
    std::string description;
    int limit = 0;
    bool padded = true;  // cleared: variable size
    std::string initial;
    // Upper-case hexadecimal digits only (the hexadecimal types): the encoder reads a
    // lower-case letter as the wrong nibble.
    bool hex = false;
};

struct BigStringEditor {  // GetBigStringDlg
    std::string description;
    int limit = 100;
    std::string initial;
};

struct IntegerEditor {  // GetIntegerDlg
    std::string description = textos::kDigiteValor;
    int limit = 0;
    std::string initial;
};

struct FinanceEditor {  // GetFinanceDlg
    std::string description;
    int integer_digits = 0;
    int decimal_digits = 2;
    std::string initial;
};

struct PercentEditor {  // DlgGetPercent
    std::string description;
};

struct PercentAnswer {
    std::string integer_part;                                           // 2 digits
    std::string decimal_part;                                           // 2 digits
    std::string Joined() const { return integer_part + decimal_part; }  // IIDD
};

struct DateEditor {  // GetDate
    std::string description = textos::kDigiteData;
};

struct Date {
    int day = 1, month = 1, year = 2000;
};

struct HourEditor {  // GetHourDlg
    std::string description = textos::kSelecioneHora;
    bool date_and_time = false;
};

struct HourAnswer {
    int hour = 0, minute = 0, second = 0;
    int summer_time = 0;  // 0 or 1
};

struct OptionEditor {  // GetOptionDlg
    static constexpr int kButtons = 12;
    std::string description;
    std::array<std::string, kButtons> captions;
};

struct ChequeEditor {  // GetChequeDlg
    static constexpr int kBoxes = 13;
    std::array<std::string, kBoxes> initial;  // in answer order
};

// The tax-rate page ("Alícuotas"): 16 rates of four digits and 16 IVA (0) / no IVA (1) choices.
struct TaxRatePage {
    static constexpr int kRates = 16;
    std::array<std::string, kRates> rates;
    std::array<int, kRates> iva{};
    bool read_only_rates = false;  // the rate boxes are disabled
    bool rates_only = false;       // the IVA / no IVA columns and their headings are hidden
};

// One front end's editors. Every call is modal and returns the editor's final answer, already
// in the encoder's form, or nothing when the user cancelled.
class ValueEditors {
  public:
    virtual ~ValueEditors() = default;
    virtual std::optional<std::string> GetString(const StringEditor& e) = 0;
    virtual std::optional<std::string> GetBigString(const BigStringEditor& e) = 0;
    virtual std::optional<std::string> GetInteger(const IntegerEditor& e) = 0;
    virtual std::optional<std::string> GetFinance(const FinanceEditor& e) = 0;
    virtual std::optional<PercentAnswer> GetPercent(const PercentEditor& e) = 0;
    // The chosen date, after the editor's own confirmation.
    virtual std::optional<Date> GetDate(const DateEditor& e) = 0;
    virtual std::optional<HourAnswer> GetHour(const HourEditor& e) = 0;
    // The number (1 to 12) of the button pressed.
    virtual std::optional<int> GetOption(const OptionEditor& e) = 0;
    virtual std::optional<std::string> GetCheque(const ChequeEditor& e) = 0;
    virtual std::optional<std::string> GetCliche() = 0;
    // A Yes/No question; true for Yes.
    virtual bool AskYesNo(const std::string& text, MsgIcon icon = MsgIcon::None) = 0;
    // The tax-rate page in a property sheet; true when it was left with OK. Only OK takes the
    // user's changes into `page`; after a cancel it holds what the caller preset.
    virtual bool EditTaxRates(TaxRatePage& page) = 0;
};

// ----------------------------------------------------------------------------- answers

// GetStringDlg: the text (cut to the limit, since the box holds no more), padded with spaces
// to the limit when padded and not empty. A hexadecimal editor's text is upper-cased. A limit
// of 0 or less is no limit.
std::string StringAnswer(std::string text, int limit, bool padded, bool hex = false);
// Whether a character may be typed into the hexadecimal string box.
bool IsHexDigit(char c);

// GetBigStringDlg: the text with every line break as CR LF (a lone LF or CR becomes CR LF),
// cut to the limit (0: none) without splitting a CR LF pair.
std::string BigStringAnswer(const std::string& text, int limit);

// GetIntegerDlg: a non-empty text left-padded with "0" to the limit.
std::string IntegerAnswer(const std::string& text, int limit);

// GetFinanceDlg.
// The text the box starts with: the initial value (its digits) when not empty and at most
// I + D characters long, else D + 1 zeros. The comma is put in afterwards by FinanceReformat.
std::string FinanceInitialText(const std::string& initial, int integer_digits, int decimal_digits);
// The box after a change: commas removed, a comma before the last D digits when there are more
// than D, and where the caret goes.
struct FinanceBox {
    std::string text;
    int caret = 0;
};
FinanceBox FinanceReformat(const std::string& text, int caret, int decimal_digits);
// The answer: no comma, left-padded with "0" to I + D digits.
std::string FinanceAnswer(const std::string& text, int integer_digits, int decimal_digits);
// The box's character limit: I + D + 1 (room for the comma).
int FinanceBoxLimit(int integer_digits, int decimal_digits);

// DlgGetPercent: one part, left-padded with "0" to 2 digits.
std::string PercentPart(const std::string& text);
PercentAnswer MakePercentAnswer(const std::string& integer_text, const std::string& decimal_text);

// GetChequeDlg: each box left-padded with "0" to 2 digits, joined in answer order.
std::string ChequeAnswer(const std::array<std::string, ChequeEditor::kBoxes>& boxes);
// The 13 preset boxes from a 26-character value; all empty for any other length.
std::array<std::string, ChequeEditor::kBoxes> ChequePreset(const std::string& valor);

// GetClicheDlg.
struct ClicheLine {
    std::string text;  // the third text keeps its line breaks as CR LF
    bool underline = false, italic = false, emphasized = false, expanded = false;
};
struct ClicheInput {
    static constexpr int kWidth = 47;       // characters of a printed line
    static constexpr int kLineLimit = 47;   // lines 1 and 2
    static constexpr int kThirdLimit = 94;  // text 3
    std::array<ClicheLine, 3> lines;
    bool centered = false;
};
std::string ComposeCliche(const ClicheInput& input);

// GetOptionDlg: buttons 1 and 2 are always shown, the others only with a caption.
bool OptionButtonVisible(const OptionEditor& e, int button);
// A caption as shown on a plain label: "&&" is "&", a single "&" marks the next letter.
std::string WithoutMnemonic(const std::string& caption);

// The "OPTIONS" title: up to 12 entries "name(code)" separated by "ou".
struct OptionsList {
    std::array<std::string, OptionEditor::kButtons> names;
    std::array<std::string, OptionEditor::kButtons> codes;
};
OptionsList ParseOptionsTitle(const std::string& titulo);

// Dates and times as the encoder takes them.
std::string DateDDMMYY(const Date& d);
std::string DateDDMMYYYY(const Date& d);
std::string TimeHHMMSS(const HourAnswer& t);
// A valid calendar date (years 1 to 9999).
bool IsValidDate(const Date& d);

// GetDate's confirmation question: "¿La fecha está correcta?", CR LF, DD/MM/YY.
std::string DateConfirmationText(const Date& d);
// GetHourDlg's description in date-and-time mode, with today's date.
std::string DateTimeModeDescription(const Date& today);

// Today and now from the engine's clock (local time).
Date Today();
HourAnswer Now();

}  // namespace ordavo
