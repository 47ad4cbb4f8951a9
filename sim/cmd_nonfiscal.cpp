// Non-fiscal documents: management reports, linked payment slips, non-fiscal receipts, and the
// slip station (cheques, authentication), drawer and cutter.
#include <algorithm>
#include <cctype>

#include "engine/util.h"
#include "sim/commands.h"
#include "sim/reports.h"

namespace ordavo::sim {
namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0' || s.back() == '\n')) s.pop_back();
    size_t start = s.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : s.substr(start);
}

void OpenGerencial(Printer& p, const Request& r, Answer& a) {
    PrinterState& s = p.state();
    const int64_t n = r.Has(0) ? r.Number(0) : 1;
    if (n < 1 || n > kGerencialReports || s.gerencial_names[n - 1].empty())
        return Printer::Fail(a, rc::kBadGerencialNumber);
    if (!CanOpenDocument(p, a)) return;
    p.StartDocument("RG");
    s.gnf = s.gnf >= 999999 ? 1 : s.gnf + 1;
    ++s.gerencial_counts[n - 1];
    s.doc = OpenDocument();
    s.doc.kind = DocKind::kGerencial;
    s.doc.gerencial = static_cast<int>(n);
}

void PrintLine(Printer& p, const Request& r, Answer& a) {
    OpenDocument& d = p.state().doc;
    if (d.kind != DocKind::kGerencial && d.kind != DocKind::kVinculado)
        return Printer::Fail(a, rc::kNoGerencialOrCdc);
    std::string line = r.Text(0);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (line.size() > static_cast<size_t>(kColumns + 8)) return Printer::Fail(a, rc::kTooMuchText);
    if (d.lines.size() >= 1000) return Printer::Fail(a, rc::kTextTooLong);
    d.lines.push_back(line);
}

void CloseNonFiscal(Printer& p, const Request&, Answer& a) {
    PrinterState& s = p.state();
    if (s.doc.kind != DocKind::kGerencial && s.doc.kind != DocKind::kVinculado)
        return Printer::Fail(a, rc::kNoNonFiscalOpen);
    const bool gerencial = s.doc.kind == DocKind::kGerencial;
    std::string text = DocumentHead(p, gerencial ? "INFORME GERENCIAL" : "COMPROBANTE VINCULADO");
    if (gerencial) text += Centred(s.gerencial_names[s.doc.gerencial - 1]);
    for (const std::string& l : s.doc.lines) text += T(l) + "\n";
    text += Centred("NO FISCAL");
    s.doc = OpenDocument();
    p.EndDocument(gerencial ? "RG" : "CDC", 0, text);
}

void NonFiscalReceipt(Printer& p, const Request& r, Answer& a) {
    PrinterState& s = p.state();
    const int64_t n = AllDigits(r.Raw(0)) ? r.Number(0) : 0;
    if (n < 1 || n > kTotalizers) return Printer::Fail(a, rc::kBadTotalizerNumber);
    if (s.totalizers[n - 1].empty()) return Printer::Fail(a, rc::kTotalizerNotProgrammed);
    const int64_t value = r.Number(1);
    if (value == 0) return Printer::Fail(a, rc::kNullNonFiscal);
    if (!CanOpenDocument(p, a)) return;
    p.StartDocument("CNF");
    s.gnf = s.gnf >= 999999 ? 1 : s.gnf + 1;
    ++s.totalizer_counts[n - 1];
    s.day_totalizers[n - 1] += value;
    std::string text = DocumentHead(p, "COMPROBANTE NO FISCAL");
    text += Columns(s.totalizers[n - 1], Money(value));
    if (r.Has(2)) text += T(Trim(r.Text(2))) + "\n";
    p.EndDocument("CNF", value, text);
}

void OpenLinked(Printer& p, const Request& r, Answer& a) {
    PrinterState& s = p.state();
    const std::string name = Lower(Trim(r.Text(0)));
    bool found = false;
    if (s.last_doc_kind == "CF")
        for (const Payment& pay : s.last_receipt_payments)
            found = found || Lower(s.payment_names[pay.method - 1]) == name;
    if (!found) return Printer::Fail(a, rc::kCdcNotAllowed);
    if (!CanOpenDocument(p, a)) return;
    p.StartDocument("CDC");
    s.gnf = s.gnf >= 999999 ? 1 : s.gnf + 1;
    s.doc = OpenDocument();
    s.doc.kind = DocKind::kVinculado;
    s.doc.lines.push_back("FORMA DE PAGO: " + Trim(r.Text(0)));
}

void PrizePayment(Printer& p, const Request& r, Answer& a) {
    PrinterState& s = p.state();
    const int64_t value = r.Number(1);
    if (value == 0) return Printer::Fail(a, rc::kNullNonFiscal);
    // Prizes are paid from the cash in the drawer: the float and cash sales less withdrawals.
    const int64_t cash = s.day_totalizers[0] + s.payment_totals[0] - s.day_totalizers[1];
    if (value > cash) return Printer::Fail(a, rc::kPrizeNegative);
    if (!CanOpenDocument(p, a)) return;
    p.StartDocument("CNF");
    s.gnf = s.gnf >= 999999 ? 1 : s.gnf + 1;
    ++s.totalizer_counts[1];
    s.day_totalizers[1] += value;
    std::string text = DocumentHead(p, "PAGO DE PREMIO");
    text += T("BOLETO: " + Trim(r.Text(0))) + "\n";
    text += Columns("PREMIO", Money(value));
    p.EndDocument("CNF", value, text);
}

void OpenDrawer(Printer&, const Request&, Answer&) {}

void CutPaper(Printer& p, const Request&, Answer& a) {
    if (!p.state().cut) return Printer::Fail(a, rc::kNotDone, "the cutter is switched off");
}

void PrintCheque(Printer& p, const Request& r, Answer& a) {
    PrinterState& s = p.state();
    if (s.doc.kind != DocKind::kNone) return Printer::Fail(a, rc::kReceiptOpen);
    const int bank = static_cast<int>(r.Number(0));
    if (!s.cheque_positions.count(bank)) return Printer::Fail(a, rc::kBadCoordinates);
    if (r.Number(1) == 0) return Printer::Fail(a, rc::kNullCheque);
    if (Trim(r.Text(3)).empty()) return Printer::Fail(a, rc::kChequeWithoutPlace);
    if (!ValidDate(r.Raw(4), false)) return Printer::Fail(a, rc::kBadDate);
}

void ProgramChequePositions(Printer& p, const Request& r, Answer& a) {
    const std::string pos = r.Raw(1);
    // Columns of the amount, words, payee, place, day, month and year: all on an 80-column slip.
    for (char c : pos)
        if (static_cast<unsigned char>(c) > 80) return Printer::Fail(a, rc::kBadCoordinates);
    p.state().cheque_positions[static_cast<int>(r.Number(0))] = pos;
}

void ProgramAuthenticationCharacter(Printer& p, const Request& r, Answer&) {
    p.state().auth_char = r.Raw(0);
}

void Authenticate(Printer& p, const Request&, Answer& a) {
    if (p.state().cutter) return Printer::Fail(a, rc::kNoAuthentication, "the mechanism has a cutter");
    if (p.state().last_doc_kind.empty()) return Printer::Fail(a, rc::kNoAuthentication);
}

}  // namespace

void AddNonFiscalCommands(std::vector<CommandDef>& t) {
    t.push_back({E({20}),
                 "open management report",
                 {{P("INTEGER", 2, false)}},
                 Shape::kFixed,
                 {},
                 kPrints,
                 OpenGerencial});
    t.push_back(
        {E({21}), "non-fiscal line", {{P("STRING_VAR_SIZE", 48)}}, Shape::kFixed, {}, kPrints, PrintLine});
    t.push_back({E({22}), "close non-fiscal document", {}, Shape::kFixed, {}, kPrints, CloseNonFiscal});
    t.push_back({E({25}),
                 "non-fiscal receipt",
                 {{P("INTEGER", 2), P("FINANCE", 14), P("STRING_VAR_SIZE_WITHOUT_CR", 48, false)}},
                 Shape::kFixed,
                 {},
                 kPrints | kFiscalDocument,
                 NonFiscalReceipt});
    t.push_back({E({66}),
                 "open linked slip",
                 {{P("DESCR_FORMA_PAGAMENTO_MP_20", 16)}},
                 Shape::kFixed,
                 {},
                 kPrints | kFiscalDocument,
                 OpenLinked});
    t.push_back({E({80, 86}),
                 "prize payment",
                 {{P("STRING", 20), P("FINANCE", 12)}},
                 Shape::kFixed,
                 {},
                 kPrints | kFiscalDocument,
                 PrizePayment});
    t.push_back({E({70}), "open drawer", {}, Shape::kFixed, {}, 0, OpenDrawer});
    t.push_back({E({75}), "cut paper", {}, Shape::kFixed, {}, kPrints, CutPaper});
    t.push_back({E({57}),
                 "print cheque",
                 {{P("INTEGER", 3), P("FINANCE", 14), P("STRING", 45), P("STRING", 27), P("DATA", 6),
                   P("STRING_VAR_SIZE", 120, false)}},
                 Shape::kFixed,
                 {},
                 kPrints,
                 PrintCheque});
    t.push_back({E({58}),
                 "cheque positions",
                 {{P("INTEGER", 3), P("CHEQUE_POS", 13)}},
                 Shape::kFixed,
                 {},
                 0,
                 ProgramChequePositions});
    t.push_back({E({64}),
                 "authentication character",
                 {{P("CAR_GRAF_AUTENTICACAO", 18)}},
                 Shape::kFixed,
                 {},
                 0,
                 ProgramAuthenticationCharacter});
    t.push_back({E({16}), "authenticate", {}, Shape::kFixed, {}, kPrints, Authenticate});
}

}  // namespace ordavo::sim
