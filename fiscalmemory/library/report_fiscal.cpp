// The fiscal-memory report, the type E records and the identification of an audit file
// (docs/file-formats.md).
#include <algorithm>
#include <array>
#include <set>

#include "engine/util.h"
#include "fiscalmemory/library/report_convert.h"

namespace ordavo::mfd {

namespace {

using fm::FiscalMemory;
using fm::JournalDocument;
using fm::ZReduction;

void Line(ReportOutput& out, const std::string& s) {
    out.Write(s);
    out.Write("\r\n");
}

std::string Amount(const char* label, int64_t cents) { return PadRight(label, 24) + PadLeft(Money(cents), 18); }

// The figures of a reduction (or of a period's sum): sale, cancellations, discounts,
// surcharges, exempt and every rate that is not zero.
void Figures(ReportOutput& out, const ZReduction& z, const char* sale_label) {
    Line(out, Amount(sale_label, z.day_total));
    Line(out, Amount("  Anulaciones:", z.cancellations));
    Line(out, Amount("  Descuentos:", z.discounts));
    Line(out, Amount("  Recargos:", z.surcharges));
    Line(out, Amount("  Exento:", z.exempt));
    for (int r = 0; r < 16; ++r)
        if (z.rate_totals[r] != 0) Line(out, Amount(Format("  Tasa %02d:", r + 1).c_str(), z.rate_totals[r]));
}

}  // namespace

// ------------------------------------------------------------------ fiscal-memory report

int FiscalMemoryReport(const std::string& input, const std::string& output, const std::string& kind,
                       const std::string& first, const std::string& last) {
    if (kind.size() != 1 || std::string_view("CDcd").find(kind[0]) == std::string_view::npos) return kBadKind;
    bool by_date = kind[0] == 'D' || kind[0] == 'd';
    bool simplified = kind[0] == 'c' || kind[0] == 'd';
    long a = 0, b = 0;
    if (by_date) {
        a = fm::DateKeyFromText(first);
        b = fm::DateKeyFromText(last);
        if (a == 0 || b == 0) return kBadDate;
        if (a > b) return kDateOrder;
    } else {
        a = ParseDigits(first, 6);
        b = ParseDigits(last, 6);
        if (a < 0 || b < 0) return kSyntax;
        if (a > b) return kCooOrder;
    }
    FiscalMemory mf;
    if (int rc = LoadFiscalMemory(input, mf); rc != kOk) return rc;
    ReportOutput out;
    if (!out.Create(output)) return kTextFileError;

    Line(out, simplified ? "LECTURA DE LA MEMORIA FISCAL SIMPLIFICADA" : "LECTURA DE LA MEMORIA FISCAL");
    Line(out, "Serial: " + mf.serial);
    Line(out, "Modelo: " + mf.model);
    Line(out, by_date ? "Intervalo: fecha " + DateKeyText(static_cast<int>(a)) + " a " + DateKeyText(static_cast<int>(b))
                      : Format("Intervalo: CRZ %06ld a %06ld", a, b));
    Line(out, std::string(48, '-'));
    if (simplified) Line(out, "CRZ    COO    FECHA      HORA         VENTA DEL DIA        GRAN TOTAL");
    ZReduction sum;
    long count = 0;
    for (const ZReduction& z : mf.reductions) {
        long key = by_date ? z.DateKey() : static_cast<long>(z.crz);
        if (key < a || key > b) continue;
        ++count;
        sum.day_total += z.day_total;
        sum.cancellations += z.cancellations;
        sum.discounts += z.discounts;
        sum.surcharges += z.surcharges;
        sum.exempt += z.exempt;
        for (int r = 0; r < 16; ++r) sum.rate_totals[r] += z.rate_totals[r];
        sum.grand_total = z.grand_total;
        std::string when = DateText(z.year, z.month, z.day) + " " + TimeText(z.hour, z.minute, z.second);
        if (simplified) {
            Line(out, Format("%06u %06u ", z.crz, z.coo) + when + " " + PadLeft(Money(z.day_total), 16) + " " +
                          PadLeft(Money(z.grand_total), 17));
            continue;
        }
        Line(out, Format("CRZ: %06u  COO: %06u  Fecha: ", z.crz, z.coo) + when);
        Line(out, Amount("  Gran total:", z.grand_total));
        Figures(out, z, "  Venta del dia:");
        Line(out, std::string(48, '-'));
    }
    Line(out, "");
    Line(out, "TOTAL DEL PERIODO");
    Line(out, PadRight("  Reducciones:", 24) + PadLeft(std::to_string(count), 18));
    Figures(out, sum, "  Venta:");
    if (count > 0) Line(out, Amount("  Gran total final:", sum.grand_total));
    return out.Commit() ? kOk : kOutputError;
}

// ------------------------------------------------------------------ type E records

namespace {

std::string Num(int64_t v, int width) { return Format("%0*lld", width, static_cast<long long>(v)); }
std::string Stamp(int y, int mo, int d, int h, int mi, int s) {
    return Format("%04d%02d%02d%02d%02d%02d", y, mo, d, h, mi, s);
}

}  // namespace

int TypeERecords(const std::string& input, const std::string& output, const std::string& source,
                 const std::string& selector, const std::string& first, const std::string& last) {
    if (source != "0" && source != "1") return kSyntax;
    long a = 0, b = 0;
    char sel = 'T';
    if (selector == "1") {
        sel = 'C';
        a = ParseDigits(first, 6);
        b = ParseDigits(last, 6);
        if (a < 0 || b < 0) return kBadCoo;
        if (a > b) return kCooOrder;
    } else if (selector == "0") {
        sel = 'D';
        a = fm::DateKeyFromText(first);
        b = fm::DateKeyFromText(last);
        if (a == 0 || b == 0) return kBadDate;
        if (a > b) return kDateOrder;
    } else if (!selector.empty()) {
        return kBadKind;
    }
    auto take = [&](long coo, int date) {
        if (sel == 'C') return coo >= a && coo <= b;
        if (sel == 'D') return date >= a && date <= b;
        return true;
    };
    std::string range = sel == 'T' ? std::string(16, '0') : Num(a, 8) + Num(b, 8);

    ReportOutput out;
    long counts[3] = {0, 0, 0};
    std::string serial;
    if (source == "0") {
        FiscalMemory mf;
        if (int rc = LoadFiscalMemory(input, mf); rc != kOk) return rc;
        if (!out.Create(output)) return kTextFileError;
        serial = PadRight(mf.serial, 20);
        Line(out, "E00" + serial + PadRight(mf.model, 20) + std::string(1, sel) + range);
        for (const ZReduction& z : mf.reductions) {
            if (!take(z.coo, z.DateKey())) continue;
            std::string s = "E01" + serial + Num(z.crz, 6) + Num(z.coo, 6) +
                            Stamp(z.year, z.month, z.day, z.hour, z.minute, z.second);
            for (int64_t v : {z.grand_total, z.day_total, z.cancellations, z.discounts, z.surcharges, z.exempt})
                s += Num(v, 18);
            for (int64_t v : z.rate_totals) s += Num(v, 18);
            Line(out, s);
            ++counts[0];
        }
    } else {
        AuditSource src;
        if (int rc = src.Open(input); rc != kOk) return rc;
        if (!out.Create(output)) return kTextFileError;
        serial = PadRight(src.serial(), 20);
        Line(out, "E00" + serial + PadRight(src.model(), 20) + std::string(1, sel) + range);
        JournalDocument d;
        while (src.Next(d)) {
            if (d.kind == fm::DocumentKind::kIdentity || !take(d.coo, d.DateKey())) continue;
            std::string s = "E02" + serial + std::string(1, static_cast<char>(d.kind)) + Num(d.coo, 6) +
                            Num(d.crz, 6) + Num(d.user, 3) + Stamp(d.year, d.month, d.day, d.hour, d.minute, d.second);
            for (int64_t v : {d.total, d.discount, d.surcharge, d.exempt}) s += Num(v, 18);
            s += Num(static_cast<int64_t>(d.items.size()), 4);
            Line(out, s);
            ++counts[1];
            int n = 0;
            for (const fm::JournalItem& it : d.items) {
                Line(out, "E03" + Num(d.coo, 6) + Num(++n, 4) + PadRight(it.code, 14) + PadRight(it.description, 40) +
                              Num(it.rate, 2) + Num(it.quantity, 12) + Num(it.unit_price, 18) + Num(it.total, 18) +
                              (it.cancelled ? "1" : "0"));
                ++counts[2];
            }
        }
    }
    Line(out, "E99" + serial + Num(counts[0], 9) + Num(counts[1], 9) + Num(counts[2], 9));
    return out.Commit() ? kOk : kOutputError;
}

// ------------------------------------------------------------------ identification

int IdentifyAuditFile(const std::string& audit, const std::string& output) {
    AuditSource src;
    int rc = src.Open(audit);
    if (rc != kOk) return rc;
    long docs = 0, reductions = 0;
    uint32_t first_coo = 0, last_coo = 0, first_crz = 0, last_crz = 0;
    int first_date = 0, last_date = 0;
    std::set<int> users;
    std::array<long, 128> by_kind{};
    JournalDocument d;
    while (src.Next(d)) {
        if (d.kind == fm::DocumentKind::kIdentity) continue;
        if (docs == 0) first_coo = d.coo;
        last_coo = d.coo;
        ++docs;
        int key = d.DateKey();
        if (first_date == 0 || key < first_date) first_date = key;
        last_date = std::max(last_date, key);
        users.insert(d.user);
        ++by_kind[static_cast<unsigned char>(d.kind) & 0x7F];
        if (d.kind == fm::DocumentKind::kReductionZ) {
            if (reductions == 0) first_crz = d.crz;
            last_crz = d.crz;
            ++reductions;
        }
    }
    ReportOutput out;
    if (!out.Create(output)) return kTextFileError;
    Line(out, "IDENTIFICACION DE LA MEMORIA DE AUDITORIA");
    Line(out, "Archivo:               " + audit);
    Line(out, std::string("Tipo:                  ") + (src.is_signed() ? "MPK (firmado)" : "MRA"));
    Line(out, "Serial:                " + src.serial());
    Line(out, "Modelo:                " + src.model());
    Line(out, Format("Bytes del diario:      %lld", src.journal_size()));
    Line(out, Format("Documentos:            %ld", docs));
    if (docs > 0) {
        Line(out, Format("COO inicial:           %06u", first_coo));
        Line(out, Format("COO final:             %06u", last_coo));
        Line(out, "Fecha inicial:         " + DateKeyText(first_date));
        Line(out, "Fecha final:           " + DateKeyText(last_date));
        std::string u;
        for (int user : users) u += (u.empty() ? "" : " ") + Format("%03d", user);
        Line(out, "Usuarios:              " + u);
    }
    Line(out, Format("Reducciones Z:         %ld", reductions));
    if (reductions > 0) Line(out, Format("CRZ:                   %06u a %06u", first_crz, last_crz));
    for (unsigned k = 0; k < by_kind.size(); ++k)
        if (by_kind[k] > 0)
            Line(out, PadRight(Format("  %s:", KindName(static_cast<fm::DocumentKind>(k))), 40) +
                          std::to_string(by_kind[k]));
    Line(out, Format("Bytes ignorados:       %llu", static_cast<unsigned long long>(src.skipped())));
    return out.Commit() ? kOk : kOutputError;
}

}  // namespace ordavo::mfd
