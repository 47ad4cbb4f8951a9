#include "sim/reports.h"

#include "engine/util.h"
#include "sim/cp850.h"

namespace ordavo::sim {

std::string T(const std::string& cp1252) {
    return ToPrinter(cp1252);
}

std::string Columns(const std::string& left, const std::string& right) {
    const std::string l = T(left), r = T(right);
    if (l.size() + r.size() + 1 > static_cast<size_t>(kColumns)) return l + " " + r + "\n";
    return l + std::string(kColumns - l.size() - r.size(), ' ') + r + "\n";
}

std::string Centred(const std::string& text) {
    const std::string t = T(text);
    const size_t pad = t.size() < static_cast<size_t>(kColumns) ? (kColumns - t.size()) / 2 : 0;
    return std::string(pad, ' ') + t + "\n";
}

std::string Rule() {
    return std::string(kColumns, '-') + "\n";
}

std::string DocumentHead(const Printer& p, const std::string& title) {
    const PrinterState& s = p.state();
    const Clock c = Split(p.Now());
    std::string out = p.HeaderText();
    out += Columns("RIF: " + s.rif, "NIT: " + s.nit);
    out += Rule();
    out +=
        Columns(Format("%02d/%02d/%04d %02d:%02d:%02d", c.day, c.month, c.year, c.hour, c.minute, c.second),
                Format("COO:%06d", s.coo));
    out += Centred(title);
    return out;
}

std::string DayReport(const Printer& p, bool reduction) {
    const PrinterState& s = p.state();
    std::string out = DocumentHead(p, reduction ? "REDUCCI\xD3N Z" : "LECTURA X");
    out += Rule();
    int64_t day = s.day_exempt;
    for (int i = 0; i < kRates; ++i) {
        if (i >= s.rate_count && s.day_rate[i] == 0) continue;
        out += Columns(Format("TASA %02d  %s%%", i + 1, RateText(s.rates[i]).c_str()), Money(s.day_rate[i]));
        day += s.day_rate[i];
    }
    out += Columns("EXENTO", Money(s.day_exempt));
    out += Columns("DESCUENTOS", Money(s.day_discounts));
    out += Columns("RECARGOS", Money(s.day_surcharges));
    out += Columns("ANULACIONES", Money(s.day_cancellations));
    out += Rule();
    out += Columns(
        "TOTAL DEL D\xCD"
        "A",
        Money(day));
    for (int i = 0; i < kTotalizers; ++i)
        if (s.day_totalizers[i]) out += Columns(s.totalizers[i], Money(s.day_totalizers[i]));
    for (int i = 0; i < kPaymentMethods; ++i)
        if (s.payment_totals[i]) out += Columns(s.payment_names[i], Money(s.payment_totals[i]));
    out += Rule();
    out += Columns("GRAN TOTAL", Money(s.grand_total));
    out += Columns("CUPONES FISCALES", Format("%06d", s.ccf));
    out += Columns("OPERACIONES NO FISCALES", Format("%06d", s.gnf));
    out += Columns("CUPONES ANULADOS", Format("%04d", s.cancelled_receipts));
    out += Columns("CONTADOR DE REDUCCIONES", Format("%04d", s.crz));
    out += Centred(reduction ? "FIN DE LA REDUCCI\xD3N Z" : "FIN DE LA LECTURA X");
    return out;
}

}  // namespace ordavo::sim
