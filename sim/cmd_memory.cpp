// Readings X and reductions Z, the fiscal memory readings (printed or through the port), the
// audit memory search and download preparation, and the texts the printer sends back.
#include <algorithm>

#include "engine/util.h"
#include "sim/commands.h"
#include "sim/reports.h"

namespace ordavo::sim {
namespace {

Bytes ToBytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

std::string DateText(int64_t when) {
    const Clock c = Split(when);
    return Format("%02d/%02d/%04d", c.day, c.month, c.year);
}

// The day's totals as a reading or reduction records them in the journal.
fm::JournalDocument DayFigures(const PrinterState& s, int64_t day) {
    fm::JournalDocument f;
    f.has_totals = true;
    f.rate_totals = s.day_rate;
    f.exempt = s.day_exempt;
    f.discount = s.day_discounts;
    f.surcharge = s.day_surcharges;
    f.total = day;
    return f;
}

void ReadingX(Printer& p, const Request&, Answer& a) {
    if (!CanOpenDocument(p, a)) return;
    p.StartDocument("X");
    {
        const PrinterState& s = p.state();
        int64_t day = s.day_exempt;
        for (int64_t v : s.day_rate) day += v;
        p.SetDocumentFigures(DayFigures(s, day));
    }
    p.EndDocument("X", 0, DayReport(p, false));
}

void ReadingXThroughPort(Printer& p, const Request&, Answer& a) {
    a.data = ToBytes(DayReport(p, false));
}

void Reduction(Printer& p, const Request& r, Answer& a) {
    PrinterState& s = p.state();
    if (s.intervention) return Printer::Fail(a, rc::kZInIntervention);
    int64_t new_clock = 0;
    if (r.Has(0) || r.Has(1)) {
        int d, mo, y, h = 0, mi = 0, se = 0;
        if (!r.Has(0) || !ValidDate(r.Raw(0), true, &d, &mo, &y) ||
            (r.Has(1) && !ValidTime(r.Raw(1), &h, &mi, &se)))
            return Printer::Fail(a, rc::kBadDateTime);
        new_clock = Join({y, mo, d, h, mi, se});
        if (new_clock < p.Now()) return Printer::Fail(a, rc::kDateTimeBeforeLastDoc);
    }
    if (s.doc.kind == DocKind::kReceipt) return Printer::Fail(a, rc::kReceiptOpen);
    if (s.doc.kind != DocKind::kNone) return Printer::Fail(a, rc::kNonFiscalOpen);
    if (s.fiscal_memory.size() >= kFiscalMemoryCapacity) return Printer::Fail(a, rc::kMfFull);
    s.crz = s.crz >= 9999 ? 1 : s.crz + 1;
    p.StartDocument("Z");
    int64_t day = s.day_exempt;
    for (int64_t v : s.day_rate) day += v;
    ZRecord z{s.crz, s.coo, p.Now(), s.grand_total, day, s.day_cancellations, s.day_discounts};
    z.surcharges = s.day_surcharges;
    z.exempt = s.day_exempt;
    z.rate_totals = s.day_rate;
    s.fiscal_memory.push_back(z);
    const std::string text = DayReport(p, true) + ZValidationLines(p, z);
    p.SetDocumentFigures(DayFigures(s, day));
    s.day_rate.fill(0);
    s.day_rate_quantity.fill(0);
    s.day_totalizers.fill(0);
    s.payment_totals.fill(0);
    s.day_exempt = s.day_cancellations = s.day_discounts = s.day_surcharges = 0;
    s.movement = false;
    s.last_receipt_cancelable = false;
    s.last_z_automatic = false;
    s.last_z_time = p.Now();
    p.EndDocument("Z", day, text);
    if (new_clock) p.SetClock(new_clock);
}

}  // namespace

// The fiscal memory between two dates or two reduction numbers: one block per reduction,
// or one line each in the simplified form.
std::string FiscalMemoryText(const Printer& p, bool by_date, int64_t from, int64_t to, bool complete) {
    const PrinterState& s = p.state();
    std::string out = DocumentHead(p, complete ? "LECTURA DE MEMORIA FISCAL" : "LECTURA DE MF SIMPLIFICADA");
    out += by_date ? Columns("DESDE " + DateText(from * 86400), "HASTA " + DateText(to * 86400))
                   : Columns(Format("DESDE Z %04lld", static_cast<long long>(from)),
                             Format("HASTA Z %04lld", static_cast<long long>(to)));
    out += Rule();
    int64_t sum = 0;
    int n = 0;
    for (const ZRecord& z : s.fiscal_memory) {
        const int64_t key = by_date ? DayNumber(z.when) : z.crz;
        if (key < from || key > to) continue;
        ++n;
        sum += z.day_total;
        if (complete) {
            out += Columns(Format("Z %04d  COO %06d", z.crz, z.coo), DateText(z.when));
            out += Columns(
                "  VENTA DEL D\xCD"
                "A",
                Money(z.day_total));
            out += Columns("  DESCUENTOS", Money(z.discounts));
            out += Columns("  ANULACIONES", Money(z.cancellations));
            out += Columns("  GRAN TOTAL", Money(z.grand_total));
        } else {
            out += Columns(Format("Z %04d %s", z.crz, DateText(z.when).c_str()), Money(z.day_total));
        }
    }
    if (n == 0) out += Centred("SIN REDUCCIONES EN EL RANGO");
    out += Rule();
    out += Columns(Format("REDUCCIONES: %d", n), Money(sum));
    return out;
}

namespace {

void FiscalMemoryReading(Printer& p, const Request& r, Answer& a) {
    const std::string v(reinterpret_cast<const char*>(r.params), r.params_size);
    if (v.size() != 13) return Printer::Fail(a, rc::kParamCount, "the reading takes 12 digits and a letter");
    const std::string from = v.substr(0, 6), to = v.substr(6, 6);
    const char kind = v[12];
    if (kind != 'I' && kind != 'R' && kind != 'r') return Printer::Fail(a, rc::kParamType, "I, R or r");
    bool by_date = false;
    int64_t lo = 0, hi = 0;
    int d, m, y;
    if (ValidDate(from, false, &d, &m, &y) && ValidDate(to, false)) {
        by_date = true;
        lo = DayNumber(Join({y, m, d, 0, 0, 0}));
        ValidDate(to, false, &d, &m, &y);
        hi = DayNumber(Join({y, m, d, 0, 0, 0}));
        if (hi < lo) return Printer::Fail(a, rc::kBadEndDate);
    } else if (AllDigits(from) && AllDigits(to)) {
        lo = std::stoll(from), hi = std::stoll(to);
        if (lo == 0) return Printer::Fail(a, rc::kBadStartCrz);
        if (hi < lo) return Printer::Fail(a, rc::kBadEndCrz);
    } else {
        return Printer::Fail(a, rc::kParamType, "dates DDMMYY or reduction numbers");
    }
    if (kind == 'I') {
        if (p.state().paper_out) return Printer::Fail(a, rc::kNoPaper);
        if (!CanOpenDocument(p, a)) return;
        p.StartDocument("MF");
        p.EndDocument("MF", 0, FiscalMemoryText(p, by_date, lo, hi, true));
        return;
    }
    a.data = ToBytes(FiscalMemoryText(p, by_date, lo, hi, kind == 'R'));
}


bool DateRange(const Request& r, size_t first, int64_t& lo, int64_t& hi, Answer& a) {
    int d, m, y;
    if (!ValidDate(r.Raw(first), false, &d, &m, &y)) return Printer::Fail(a, rc::kBadStartDate), false;
    lo = DayNumber(Join({y, m, d, 0, 0, 0}));
    if (!ValidDate(r.Raw(first + 1), false, &d, &m, &y)) return Printer::Fail(a, rc::kBadEndDate), false;
    hi = DayNumber(Join({y, m, d, 0, 0, 0}));
    if (hi < lo) return Printer::Fail(a, rc::kBadEndDate), false;
    return true;
}

void FindAddresses(Printer& p, const Request& r, Answer& a) {
    if (r.Raw(0) != "D") return Printer::Fail(a, rc::kParamType, "search option must be D");
    int64_t lo, hi;
    if (!DateRange(r, 1, lo, hi, a)) return;
    int64_t first = -1, last = -1;
    if (!JournalDateSpan(p.state(), DateKeyOfDay(lo), DateKeyOfDay(hi), &first, &last)) first = last = -1;
    const int64_t n = static_cast<int64_t>(p.state().journal.size());
    // Found ("04"): the addresses of the first document of the range and the one after the
    // last; an empty range gives equal addresses.
    const int64_t start = first < 0 ? AuditAddress(n) : AuditAddress(first);
    const int64_t end = first < 0 ? start : AuditAddress(last + 1);
    a.data = {0x04};
    Append(a.data, Bcd(static_cast<uint64_t>(start), 4));
    Append(a.data, Bcd(static_cast<uint64_t>(end), 4));
}

void PrepareDownload(Printer& p, const Request& r, Answer& a) {
    if (r.Number(4) > r.Number(5)) return Printer::Fail(a, rc::kBadInterval);
    if (r.Number(5) > AuditAddress(static_cast<int64_t>(p.state().journal.size()))) return Printer::Fail(a, rc::kBadInterval);
}

void AuditThroughPort(Printer& p, const Request& r, Answer& a) {
    int64_t lo, hi;
    if (!DateRange(r, 0, lo, hi, a)) return;
    std::string out = DocumentHead(p,
                                   "MEMORIA DE AUDITOR\xCD"
                                   "A");
    int n = 0;
    for (const AuditRecord& rec : p.state().audit_memory) {
        const int64_t day = DayNumber(rec.when);
        if (day < lo || day > hi) continue;
        const Clock c = Split(rec.when);
        out += Columns(Format("%06d %-10s %02d/%02d/%02d %02d:%02d", rec.coo, rec.kind.c_str(), c.day,
                              c.month, c.year % 100, c.hour, c.minute),
                       Money(rec.total));
        ++n;
    }
    if (n == 0) return Printer::Fail(a, rc::kNoAuditData);
    a.data = ToBytes(out + Rule() + Columns("DOCUMENTOS", std::to_string(n)));
}

void LastDocumentCopy(Printer& p, const Request&, Answer& a) {
    const std::string& t = p.state().last_document_text;
    if (t.empty()) return Printer::Fail(a, rc::kNoAuditData);
    // The text ends at the first NUL on the line, so none may be inside it.
    std::string clean = t;
    std::replace(clean.begin(), clean.end(), '\0', ' ');
    a.data = ToBytes(clean);
}

void Transactions(Printer& p, const Request&, Answer& a, bool with_serial) {
    const PrinterState& s = p.state();
    std::string out = DocumentHead(p, "INFORME DE TRANSACCIONES");
    if (with_serial) out += Columns("SERIAL", s.serial);
    int n = 0;
    for (auto it = s.audit_memory.rbegin(); it != s.audit_memory.rend() && it->kind != "Z"; ++it, ++n)
        out += Columns(Format("%06d %s", it->coo, it->kind.c_str()), Money(it->total));
    out += Columns(
        "TRANSACCIONES DEL D\xCD"
        "A",
        std::to_string(n));
    a.data = ToBytes(out);
}

}  // namespace

void AddMemoryCommands(std::vector<CommandDef>& t) {
    t.push_back({E({6}), "reading X", {}, Shape::kFixed, {}, kPrints, ReadingX});
    t.push_back({E({69}), "reading X through the port", {}, Shape::kEtx, {}, 0, ReadingXThroughPort});
    t.push_back({E({5}),
                 "reduction Z",
                 {{P("DATA_2_2_4", 8, false), P("HORA", 6, false)}},
                 Shape::kFixed,
                 {},
                 kPrints,
                 Reduction});
    t.push_back({E({8}),
                 "fiscal memory reading",
                 {{P("DATA", 6), P("DATA", 6), P("LEIT_MEM_FISCAL", 1)},
                  {P("INTEGER", 6), P("INTEGER", 6), P("LEIT_MEM_FISCAL", 1)},
                  {P("LEIT_DADOS_MEM_FISCAL", 13)}},
                 Shape::kFixed,
                 {},
                 0,
                 FiscalMemoryReading});
    t.push_back({E({62, 95, 97}),
                 "audit address search",
                 {{P("OPTIONS", 1), P("DATA", 6), P("DATA", 6)}},
                 Shape::kFixed,
                 {F("BCD_INTEGER", 1), F("BCD_INTEGER", 4), F("BCD_INTEGER", 4)},
                 0,
                 FindAddresses});
    t.push_back({E({62, 95, 99}),
                 "prepare audit download",
                 {{P("INTEGER", 4), P("INTEGER", 4), P("INTEGER", 8), P("INTEGER", 8), P("INTEGER", 8),
                   P("INTEGER", 8)}},
                 Shape::kFixed,
                 {},
                 0,
                 PrepareDownload});
    t.push_back({E({62, 95, 98}),
                 "audit memory through the port",
                 {{P("DATA", 6), P("DATA", 6)}},
                 Shape::kEtx,
                 {},
                 0,
                 AuditThroughPort});
    t.push_back({E({62, 95, 90}), "last document copy", {}, Shape::kNul, {}, 0, LastDocumentCopy});
    t.push_back({E({62, 95, 101}),
                 "transactions",
                 {},
                 Shape::kNul,
                 {},
                 0,
                 [](Printer& p, const Request& r, Answer& a) { Transactions(p, r, a, false); }});
    t.push_back({E({62, 95, 102}),
                 "transactions with serial",
                 {},
                 Shape::kNul,
                 {},
                 0,
                 [](Printer& p, const Request& r, Answer& a) { Transactions(p, r, a, true); }});
}

}  // namespace ordavo::sim
