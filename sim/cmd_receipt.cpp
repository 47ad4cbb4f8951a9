// The fiscal receipt: opening, items, adjustments, totalling, payments, closing and
// cancelling.
#include <algorithm>

#include "engine/util.h"
#include "sim/commands.h"
#include "sim/journal.h"
#include "sim/reports.h"

namespace ordavo::sim {

bool CanOpenDocument(Printer& p, Answer& a) {
    const PrinterState& s = p.state();
    if (s.doc.kind == DocKind::kReceipt) return Printer::Fail(a, rc::kReceiptOpen), false;
    if (s.doc.kind != DocKind::kNone) return Printer::Fail(a, rc::kNonFiscalOpen), false;
    if (s.fiscal_memory.size() >= kFiscalMemoryCapacity) return Printer::Fail(a, rc::kMfFull), false;
    // A day with sales that has passed needs its reduction before anything else is printed.
    if (s.movement && s.movement_day != DayNumber(p.Now())) return Printer::Fail(a, rc::kWaitingZ), false;
    return true;
}

bool ParseAdjustment(const std::string& text, Adjustment& out) {
    std::string t = text;
    while (!t.empty() && (t.back() == ' ' || t.back() == '\0')) t.pop_back();
    if (t.size() < 3 || t.size() > 14) return false;
    if (t[0] != 'A' && t[0] != 'D' && t[0] != 'a' && t[0] != 'd') return false;
    if (t[1] != '%' && t[1] != '$') return false;
    const std::string digits = t.substr(2);
    if (!AllDigits(digits) || digits.size() > 12) return false;
    out.surcharge = t[0] == 'A' || t[0] == 'a';
    out.percent = t[1] == '%';
    out.value = std::stoll(digits);
    return !out.percent || out.value <= 10000;
}

int64_t ApplyAdjustment(const Adjustment& adj, int64_t base, bool truncate) {
    int64_t amount = adj.value;
    if (adj.percent) amount = truncate ? base * adj.value / 10000 : (base * adj.value + 5000) / 10000;
    return adj.surcharge ? amount : -amount;
}

namespace {

bool ReceiptOpen(Printer& p, Answer& a) {
    const DocKind k = p.state().doc.kind;
    if (k == DocKind::kReceipt) return true;
    Printer::Fail(a, k == DocKind::kNone ? rc::kReceiptNotOpen : rc::kNonFiscalOpen);
    return false;
}

bool OpenReceipt(Printer& p, Answer& a, const std::string& title) {
    PrinterState& s = p.state();
    if (!CanOpenDocument(p, a)) return false;
    if (s.rif.find_first_not_of(' ') == std::string::npos)
        return Printer::Fail(a, rc::kWaitingFirstUser), false;
    if (s.store == 0 || s.till == 0) return Printer::Fail(a, rc::kTillOrStoreZero), false;
    p.StartDocument("CF");
    s.ccf = s.ccf >= 999999 ? 1 : s.ccf + 1;
    s.doc = OpenDocument();
    s.doc.kind = DocKind::kReceipt;
    s.doc.lines.push_back(title);
    s.last_receipt_cancelable = false;
    p.NoteFiscalMovement();
    return true;
}

void OpenReceiptCommand(Printer& p, const Request& r, Answer& a) {
    if (p.state().ticket_mode) return Printer::Fail(a, rc::kNotOnTicketPrinter);
    if (!OpenReceipt(p, a, "FACTURA")) return;
    p.state().doc.buyer_id = r.Trimmed(0);
    p.state().doc.buyer_name = r.Trimmed(1);
}

void OpenTicket(Printer& p, const Request& r, Answer& a) {
    if (!p.state().ticket_mode) return Printer::Fail(a, rc::kNotOnReceiptPrinter);
    if (!OpenReceipt(p, a, "BILLETE DE PASAJE")) return;
    std::string data = r.Text(0);
    while (!data.empty() && data.back() == '\n') data.pop_back();
    p.state().doc.buyer_name = data.substr(0, 200);
}

void OpenFiscalDocument(Printer& p, const Request& r, Answer& a) {
    static const char* kTitles[] = {"FACTURA CONSUMIDOR FINAL",
                                    "FACTURA PARA CR\xC9"
                                    "DITO FISCAL",
                                    "NOTA DE CR\xC9"
                                    "DITO CONSUMIDOR FINAL",
                                    "NOTA DE CR\xC9"
                                    "DITO FISCAL"};
    const int64_t type = r.Number(0);
    if (type > 3) return Printer::Fail(a, rc::kParamType, "document type must be 0 to 3");
    if (r.Trimmed(1).empty()) return Printer::Fail(a, rc::kParamType, "NCF is blank");
    // Documents for tax credit name the buyer.
    if ((type == 1 || type == 3) && r.Trimmed(2).empty())
        return Printer::Fail(a, rc::kNotDone, "RNC missing");
    if (p.state().ticket_mode) return Printer::Fail(a, rc::kNotOnTicketPrinter);
    if (!OpenReceipt(p, a, kTitles[type])) return;
    OpenDocument& d = p.state().doc;
    d.doc_type = static_cast<int>(type);
    d.buyer_id = r.Trimmed(2);
    d.buyer_name = "NCF " + r.Trimmed(1);
    p.state().last_doc_type = d.doc_type;
}

// Shared by both item commands: rate text, quantity in thousandths, price in cents.
void SellItem(Printer& p, Answer& a, const std::string& code, const std::string& description,
              const std::string& rate_text, int64_t quantity, int64_t price, int64_t percent) {
    PrinterState& s = p.state();
    if (!ReceiptOpen(p, a)) return;
    OpenDocument& d = s.doc;
    if (d.phase == Phase::kPayment) return Printer::Fail(a, rc::kPaymentOpen);
    if (d.items.size() >= kMaxItems) return Printer::Fail(a, rc::kTooManyItems);
    if (code.empty() || code.find(' ') != std::string::npos) return Printer::Fail(a, rc::kCodeWithSpaces);
    if (std::none_of(description.begin(), description.end(), [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || static_cast<unsigned char>(c) >= 0xC0;
        }))
        return Printer::Fail(a, rc::kDescriptionWithoutLetters);
    int rate = 0;
    if (rate_text == "II" || rate_text == "ii") {
        rate = 0;
    } else if (AllDigits(rate_text)) {
        rate = std::stoi(rate_text);
        if (rate < 1 || rate > kRates || rate > s.rate_count || s.rates[rate - 1] == "0000")
            return Printer::Fail(a, rc::kRateNotProgrammed);
    } else {
        return Printer::Fail(a, rc::kParamType, "tax rate must be 01 to 16 or II");
    }
    if (quantity == 0 || price == 0) return Printer::Fail(a, rc::kNullSale);
    Item item;
    item.code = code;
    item.description = description;
    item.rate = rate;
    item.quantity = quantity;
    item.unit_price = price;
    item.gross = s.truncate ? quantity * price / 1000 : (quantity * price + 500) / 1000;
    if (item.gross > 99999999999LL) return Printer::Fail(a, rc::kItemTooBig);
    if (percent > 10000) return Printer::Fail(a, rc::kDiscountOverItem);
    if (percent > 0) {
        item.adjustment = ApplyAdjustment(Adjustment{false, true, percent}, item.gross, s.truncate);
        item.discounted = true;
    }
    d.items.push_back(item);
    s.last_item_number = static_cast<int>(d.items.size());
    p.NoteFiscalMovement();
}

void Sell(Printer& p, const Request& r, Answer& a) {
    SellItem(p, a, r.Trimmed(0), r.Trimmed(1), r.Raw(2), r.Number(3), r.Number(4),
             r.Has(5) ? r.Number(5) : 0);
}

void SellLong(Printer& p, const Request& r, Answer& a) {
    std::string description = r.Text(4);
    while (!description.empty() && (description.back() == '\n' || description.back() == ' '))
        description.pop_back();
    if (description.size() > 200) return Printer::Fail(a, rc::kTooMuchText);
    SellItem(p, a, r.Trimmed(0), description, r.Raw(1), r.Number(2) * 1000, r.Number(3), 0);
}

void CancelItem(Printer& p, const Request& r, Answer& a) {
    if (!ReceiptOpen(p, a)) return;
    OpenDocument& d = p.state().doc;
    if (d.phase == Phase::kPayment) return Printer::Fail(a, rc::kPaymentOpen);
    const int64_t n = r.Number(0);
    if (n < 1 || n > static_cast<int64_t>(d.items.size()) || d.items[n - 1].cancelled)
        return Printer::Fail(a, rc::kNoSuchItem);
    p.state().day_cancellations += d.items[n - 1].Net();
    d.items[n - 1].cancelled = true;
}

void AdjustItem(Printer& p, const Request& r, Answer& a) {
    if (!ReceiptOpen(p, a)) return;
    OpenDocument& d = p.state().doc;
    if (d.phase == Phase::kPayment) return Printer::Fail(a, rc::kPaymentOpen);
    const int64_t n = r.Number(0);
    if (n < 1 || n > static_cast<int64_t>(d.items.size()) || d.items[n - 1].cancelled)
        return Printer::Fail(a, rc::kNoSuchItem);
    Adjustment adj;
    if (!ParseAdjustment(r.Text(1), adj)) return Printer::Fail(a, rc::kBadAdjustment);
    if (adj.value == 0) return Printer::Fail(a, adj.surcharge ? rc::kNullSurcharge : rc::kNullDiscount);
    Item& item = d.items[n - 1];
    const int64_t amount = ApplyAdjustment(adj, item.gross, p.state().truncate);
    if (adj.surcharge) {
        if (item.surcharged) return Printer::Fail(a, rc::kSurchargeDone);
        if (amount > item.gross) return Printer::Fail(a, rc::kSurchargeOverItem);
        item.surcharged = true;
    } else {
        if (item.discounted) return Printer::Fail(a, rc::kDiscountDone);
        if (-amount >= item.gross + item.adjustment) return Printer::Fail(a, rc::kDiscountOverItem);
        item.discounted = true;
    }
    item.adjustment += amount;
}

void Subtotal(Printer& p, const Request&, Answer& a) {
    if (!ReceiptOpen(p, a)) return;
    a.data = Bcd(static_cast<uint64_t>(std::max<int64_t>(p.state().doc.Total(), 0)), 7);
}

// Moves the receipt to its payments, with an optional adjustment of the subtotal.
bool StartPayment(Printer& p, Answer& a, const Adjustment* adj, const std::string& legend) {
    if (!ReceiptOpen(p, a)) return false;
    OpenDocument& d = p.state().doc;
    if (d.phase == Phase::kPayment) return Printer::Fail(a, rc::kAlreadySubtotaled), false;
    if (d.LiveItems() == 0) return Printer::Fail(a, rc::kNoItemSold), false;
    if (adj) {
        if (adj->value == 0)
            return Printer::Fail(a, adj->surcharge ? rc::kNullSurcharge : rc::kNullDiscount), false;
        const int64_t amount = ApplyAdjustment(*adj, d.ItemsTotal(), p.state().truncate);
        if (-amount >= d.ItemsTotal()) return Printer::Fail(a, rc::kAdjustmentOverTotal), false;
        d.subtotal_adjustment = amount;
    }
    if (!legend.empty()) d.lines.push_back(legend);
    d.phase = Phase::kPayment;
    return true;
}

void StartClosing(Printer& p, const Request& r, Answer& a) {
    Adjustment adj;
    if (r.Has(0) && !ParseAdjustment(r.Text(0), adj)) return Printer::Fail(a, rc::kBadAdjustment);
    StartPayment(p, a, r.Has(0) ? &adj : nullptr, {});
}

void StartClosingWithLegend(Printer& p, const Request& r, Answer& a) {
    const std::string t = r.Text(0);
    if (t.size() < 10 || !AllDigits(t.substr(0, 10))) return Printer::Fail(a, rc::kBadAdjustment);
    Adjustment adj{false, false, std::stoll(t.substr(0, 10))};
    std::string legend = t.substr(10);
    while (!legend.empty() && (legend.back() == ' ' || legend.back() == '\n')) legend.pop_back();
    StartPayment(p, a, &adj, legend.substr(0, 48));
}

void Pay(Printer& p, const Request& r, Answer& a) {
    if (!ReceiptOpen(p, a)) return;
    PrinterState& s = p.state();
    OpenDocument& d = s.doc;
    if (d.phase != Phase::kPayment) return Printer::Fail(a, rc::kNotTotalized);
    const int64_t method = r.Number(0);
    if (method == 0) return Printer::Fail(a, rc::kNullPaymentIndex);
    if (method > kPaymentMethods || s.payment_names[method - 1].empty())
        return Printer::Fail(a, rc::kPaymentNotProgrammed);
    const int64_t value = r.Number(1);
    if (value == 0) return Printer::Fail(a, rc::kNullPayment);
    if (d.Paid() >= d.Total()) return Printer::Fail(a, rc::kPaymentsClosed);
    if (d.payments.size() >= 100) return Printer::Fail(a, rc::kPaymentsClosed);
    d.payments.push_back({static_cast<int>(method), value});
    const std::string note = r.Trimmed(2);
    if (!note.empty()) d.lines.push_back(note.substr(0, 80));
}

std::string ReceiptText(const Printer& p, const OpenDocument& d, const std::string& promo, bool cancelled) {
    const PrinterState& s = p.state();
    std::string out = DocumentHead(p, d.lines.empty() ? "FACTURA" : d.lines.front());
    if (!d.buyer_id.empty()) out += T("RIF/C.I.: " + d.buyer_id) + "\n";
    if (!d.buyer_name.empty()) out += T(d.buyer_name) + "\n";
    out += Rule();
    int n = 0;
    for (const Item& i : d.items) {
        ++n;
        const std::string rate = i.rate ? Format("(T%02d)", i.rate) : std::string("(E)");
        out += T(Format("%03d %s %s", n, i.code.c_str(), i.description.c_str())).substr(0, kColumns) + "\n";
        out += Columns(
            Format("  %lld,%03lld x %s %s", static_cast<long long>(i.quantity / 1000),
                   static_cast<long long>(i.quantity % 1000), Money(i.unit_price).c_str(), rate.c_str()),
            Money(i.gross));
        if (i.adjustment < 0) out += Columns("  DESCUENTO", Money(i.adjustment));
        if (i.adjustment > 0) out += Columns("  RECARGO", Money(i.adjustment));
        if (i.cancelled) out += Columns("  ANULADO", Money(-i.gross - i.adjustment));
    }
    out += Rule();
    out += Columns("SUBTOTAL", Money(d.ItemsTotal()));
    if (d.subtotal_adjustment < 0) out += Columns("DESCUENTO", Money(d.subtotal_adjustment));
    if (d.subtotal_adjustment > 0) out += Columns("RECARGO", Money(d.subtotal_adjustment));
    for (size_t i = 1; i < d.lines.size(); ++i) out += T(d.lines[i]).substr(0, kColumns) + "\n";
    out += Columns("TOTAL " + s.currency, Money(d.Total()));
    for (const Payment& pay : d.payments) out += Columns(s.payment_names[pay.method - 1], Money(pay.value));
    if (d.Paid() > d.Total()) out += Columns("CAMBIO", Money(d.Paid() - d.Total()));
    if (cancelled) out += Centred("*** CUP\xD3N ANULADO ***");
    if (!promo.empty()) out += T(promo) + (promo.back() == '\n' ? "" : "\n");
    if (!s.promo_message.empty()) out += T(s.promo_message) + "\n";
    out += Centred("MF " + s.serial);
    return out;
}

void CloseReceipt(Printer& p, const Request& r, Answer& a) {
    if (!ReceiptOpen(p, a)) return;
    PrinterState& s = p.state();
    OpenDocument& d = s.doc;
    if (d.phase != Phase::kPayment) return Printer::Fail(a, rc::kNotTotalized);
    const int64_t total = d.Total();
    if (d.Paid() < total) return Printer::Fail(a, rc::kPaymentNotEqualTotal);
    s.last_receipt_rate.fill(0);
    s.last_receipt_exempt = 0;
    for (const Item& i : d.items) {
        if (i.cancelled) continue;
        if (i.rate) {
            s.day_rate[i.rate - 1] += i.Net();
            s.day_rate_quantity[i.rate - 1] += i.quantity;
            s.last_receipt_rate[i.rate - 1] += i.Net();
        } else {
            s.day_exempt += i.Net();
            s.last_receipt_exempt += i.Net();
        }
        if (i.adjustment < 0) s.day_discounts -= i.adjustment;
        if (i.adjustment > 0) s.day_surcharges += i.adjustment;
    }
    if (d.subtotal_adjustment < 0) s.day_discounts -= d.subtotal_adjustment;
    if (d.subtotal_adjustment > 0) s.day_surcharges += d.subtotal_adjustment;
    s.grand_total += total;
    s.payment_last.fill(0);
    int64_t change = d.Paid() - total;
    for (const Payment& pay : d.payments) s.payment_last[pay.method - 1] += pay.value;
    // Change goes back in cash when there was cash, else out of the last payment.
    const int from = s.payment_last[0] >= change ? 0 : d.payments.back().method - 1;
    s.payment_last[from] -= change;
    for (int i = 0; i < kPaymentMethods; ++i) s.payment_totals[i] += s.payment_last[i];
    s.last_receipt_payments = d.payments;
    s.last_receipt_total = total;
    s.last_receipt_cancelable = true;
    std::string promo = r.Text(0);
    const std::string text = ReceiptText(p, d, promo, false);
    p.SetDocumentFigures(ReceiptFigures(d, total));
    s.doc = OpenDocument();
    p.EndDocument("CF", total, text);
}

void CancelReceipt(Printer& p, const Request&, Answer& a) {
    PrinterState& s = p.state();
    if (s.doc.kind == DocKind::kReceipt) {
        s.day_cancellations += s.doc.Total();
        ++s.cancelled_receipts;
        const std::string text = ReceiptText(p, s.doc, {}, true);
        fm::JournalDocument figures = ReceiptFigures(s.doc, 0);
        for (fm::JournalItem& i : figures.items) i.cancelled = true;
        figures.rate_totals.fill(0);
        figures.exempt = figures.discount = figures.surcharge = 0;
        p.SetDocumentFigures(std::move(figures));
        s.doc = OpenDocument();
        s.last_receipt_cancelable = false;
        p.EndDocument("CF-ANULADO", 0, text);
        return;
    }
    if (s.doc.kind != DocKind::kNone) return Printer::Fail(a, rc::kNonFiscalOpen);
    if (s.last_doc_kind == "CF-ANULADO") return Printer::Fail(a, rc::kAlreadyCancelled);
    if (s.last_doc_kind != "CF" || !s.last_receipt_cancelable)
        return Printer::Fail(a, rc::kCancelNotRightAfter);
    // The last receipt is cancelled by a document of its own; its sales leave the day's totals.
    p.StartDocument("CF-ANULADO");
    for (int i = 0; i < kRates; ++i) s.day_rate[i] -= s.last_receipt_rate[i];
    s.day_exempt -= s.last_receipt_exempt;
    s.day_cancellations += s.last_receipt_total;
    ++s.cancelled_receipts;
    s.last_receipt_cancelable = false;
    std::string text = DocumentHead(p, "ANULACI\xD3N");
    text += Columns("CUP\xD3N ANULADO", Format("COO:%06d", s.coo - 1));
    text += Columns("VALOR", Money(s.last_receipt_total));
    p.EndDocument("CF-ANULADO", s.last_receipt_total, text);
}

void PrintJournal(Printer& p, const Request& r, Answer& a) {
    if (p.state().doc.kind != DocKind::kNone) return Printer::Fail(a, rc::kReceiptOpen);
    p.state().paper_lines += 1;
}

}  // namespace

void AddReceiptCommands(std::vector<CommandDef>& t) {
    const uint32_t fiscal = kPrints | kFiscalDocument;
    t.push_back({E({0}),
                 "open receipt",
                 {{P("STRING", 20, false), P("STRING", 40, false)}},
                 Shape::kFixed,
                 {},
                 fiscal,
                 OpenReceiptCommand});
    t.push_back(
        {E({60}), "open ticket", {{P("BILHETE_PASSAGEM", 200)}}, Shape::kFixed, {}, fiscal, OpenTicket});
    t.push_back({E({80, 80}),
                 "open fiscal document",
                 {{P("INTEGER", 1), P("STRING", 19), P("STRING", 11, false)}},
                 Shape::kFixed,
                 {},
                 fiscal,
                 OpenFiscalDocument});
    t.push_back({E({9}),
                 "sell item",
                 {{P("STRING", 13), P("STRING", 29), P("STRING", 2), P("FINANCE_3", 7), P("FINANCE", 8),
                   P("PERCENTAGE", 4, false)}},
                 Shape::kFixed,
                 {},
                 fiscal,
                 Sell});
    t.push_back(
        {E({56}),
         "sell item with long description",
         {{P("STRING", 13), P("STRING", 2), P("INTEGER", 4), P("FINANCE", 8), P("BIG_STRING_VAR_SIZE", 200)}},
         Shape::kFixed,
         {},
         fiscal,
         SellLong});
    t.push_back({E({31}), "cancel item", {{P("INTEGER", 3)}}, Shape::kFixed, {}, fiscal, CancelItem});
    t.push_back({E({30}),
                 "item adjustment",
                 {{P("INTEGER", 3), P("AC_OU_DESC_ITEM", 12)}},
                 Shape::kFixed,
                 {},
                 fiscal,
                 AdjustItem});
    t.push_back({E({29}), "subtotal", {}, Shape::kFixed, {F("BCD_FINANCE", 7)}, kFiscalDocument, Subtotal});
    t.push_back({E({32}),
                 "start closing",
                 {{P("AC_OU_DESC_SUB", 14, false)}},
                 Shape::kFixed,
                 {},
                 fiscal,
                 StartClosing});
    t.push_back({E({33}),
                 "start closing with legend",
                 {{P("DISCOUNT", 60)}},
                 Shape::kFixed,
                 {},
                 fiscal,
                 StartClosingWithLegend});
    t.push_back({E({72}),
                 "payment",
                 {{P("INTEGER", 2), P("FINANCE", 12), P("DESCR_FORMA_PAGAMENTO", 80, false)}},
                 Shape::kFixed,
                 {},
                 fiscal,
                 Pay});
    t.push_back({E({34}),
                 "close receipt",
                 {{P("FECHA_CUPOM", 384, false)}},
                 Shape::kFixed,
                 {},
                 fiscal,
                 CloseReceipt});
    t.push_back({E({14}), "cancel receipt", {}, Shape::kFixed, {}, fiscal, CancelReceipt});
    t.push_back(
        {E({45}), "journal text", {{P("IMPR_FITA_DETALHE", 48)}}, Shape::kFixed, {}, kPrints, PrintJournal});
}

}  // namespace ordavo::sim
