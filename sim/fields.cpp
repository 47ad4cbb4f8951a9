#include "sim/fields.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "sim/cp850.h"

namespace ordavo::sim {

Bytes Bcd(uint64_t value, int nbytes) {
    Bytes out(static_cast<size_t>(std::max(nbytes, 0)));
    for (int i = nbytes - 1; i >= 0; --i) {
        const int lo = static_cast<int>(value % 10);
        value /= 10;
        const int hi = static_cast<int>(value % 10);
        value /= 10;
        out[static_cast<size_t>(i)] = static_cast<uint8_t>(hi << 4 | lo);
    }
    return out;
}

Bytes BcdDigits(const std::string& digits) {
    std::string d = digits.size() % 2 ? "0" + digits : digits;
    Bytes out;
    for (size_t i = 0; i + 1 < d.size(); i += 2)
        out.push_back(static_cast<uint8_t>((d[i] - '0') << 4 | (d[i + 1] - '0')));
    return out;
}

Bytes FixedText(const std::string& cp1252, int size, char pad) {
    std::string t = ToPrinter(cp1252);
    t.resize(static_cast<size_t>(std::max(size, 0)), pad);
    return Bytes(t.begin(), t.end());
}

void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

void AppendLe16(Bytes& to, int value) {
    to.push_back(static_cast<uint8_t>(value & 0xFF));
    to.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

std::string Money(int64_t cents) {
    const bool negative = cents < 0;
    const uint64_t v = negative ? 0 - static_cast<uint64_t>(cents) : static_cast<uint64_t>(cents);
    std::string units = std::to_string(v / 100);
    std::string grouped;
    for (size_t i = 0; i < units.size(); ++i) {
        if (i && (units.size() - i) % 3 == 0) grouped += '.';
        grouped += units[i];
    }
    const int c = static_cast<int>(v % 100);
    return (negative ? "-" : "") + grouped + "," + (c < 10 ? "0" : "") + std::to_string(c);
}

std::string RateText(const std::string& r) {
    if (r.size() != 4) return r;
    return std::to_string(std::atoi(r.substr(0, 2).c_str())) + "," + r.substr(2);
}

Clock Split(int64_t t) {
    time_t tt = static_cast<time_t>(t);
    struct tm tm {};
    gmtime_r(&tt, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

int64_t Join(const Clock& c) {
    struct tm tm {};
    tm.tm_year = c.year - 1900;
    tm.tm_mon = c.month - 1;
    tm.tm_mday = c.day;
    tm.tm_hour = c.hour;
    tm.tm_min = c.minute;
    tm.tm_sec = c.second;
    return static_cast<int64_t>(timegm(&tm));
}

int64_t DayNumber(int64_t t) {
    return t >= 0 ? t / 86400 : -((-t + 86399) / 86400);
}

uint8_t FiscalFlags(const PrinterState& s) {
    uint8_t f = 0;
    if (s.doc.kind == DocKind::kReceipt) f |= 0x01;
    if (s.doc.kind == DocKind::kReceipt && s.doc.phase == Phase::kPayment) f |= 0x02;
    if (s.summer_time) f |= 0x04;
    if (s.last_z_automatic) f |= 0x10;
    if (s.last_receipt_cancelable && s.doc.kind == DocKind::kNone) f |= 0x20;
    if (s.fiscal_memory.size() >= kFiscalMemoryCapacity) f |= 0x80;
    return f;
}

uint8_t FiscalFlags2(const PrinterState& s) {
    uint8_t f = 0;
    if (s.doc.kind == DocKind::kGerencial || s.doc.kind == DocKind::kVinculado) f |= 0x01;
    if (s.doc.kind == DocKind::kVinculado) f |= 0x02;
    if (s.doc.kind == DocKind::kGerencial) f |= 0x04;
    if (s.last_doc_kind == "CNF") f |= 0x20;
    if (s.last_doc_kind == "CDC") f |= 0x40;
    return f;
}

uint8_t FiscalFlags3(const PrinterState& s) {
    uint8_t f = 0;
    if (s.paper_low) f |= 0x01;
    f |= 0x02;  // the near-end sensor is fitted and on
    if (s.z_automatica) f |= 0x10;
    return f;
}

uint8_t SensorFlags(const PrinterState& s) {
    uint8_t f = 0;
    if (s.head_up) f |= 0x01;
    if (s.paper_out) f |= 0x04;
    if (s.paper_low) f |= 0x08;
    if (s.drawer_level_high) f |= 0x10;
    if (s.intervention) f |= 0x80;
    return f;
}

namespace {

Bytes Finance(int64_t cents, int nbytes) {
    return Bcd(static_cast<uint64_t>(std::max<int64_t>(cents, 0)), nbytes);
}

// The totalizer report: 16 taxed totals, reserved/exempt/reserved, 9 non-taxed totals, the
// withdrawals and the float, and the grand total.
Bytes PartialTotals(const PrinterState& s) {
    Bytes b;
    for (int i = 0; i < kRates; ++i) Append(b, Finance(s.day_rate[i], 7));
    Append(b, Finance(0, 7));
    Append(b, Finance(s.day_exempt, 7));
    Append(b, Finance(0, 7));
    for (int i = 0; i < 9; ++i) Append(b, Finance(s.day_totalizers[i], 7));
    Append(b, Finance(s.day_totalizers[1], 7));  // "Retiro de Caja"
    Append(b, Finance(s.day_totalizers[0], 7));  // "Fondo de Caja"
    Append(b, Finance(s.grand_total, 9));
    return b;
}

Bytes PaymentMethods(const PrinterState& s) {
    Bytes b;
    for (int i = 0; i < kPaymentMethods; ++i) Append(b, FixedText(s.payment_names[i], 16, '\0'));
    for (int i = 0; i < kPaymentMethods; ++i) Append(b, Finance(s.payment_totals[i], 7));
    for (int i = 0; i < kPaymentMethods; ++i) Append(b, Finance(s.payment_last[i], 7));
    for (int i = 0; i < kPaymentMethods; ++i) b.push_back(s.payment_tef[i] ? 0x55 : 0x00);
    return b;
}

// Twenty departments, one per tax rate that sold (the rest empty): value and name, then the
// quantities.
Bytes Departments(const PrinterState& s) {
    Bytes b;
    for (int i = 0; i < 20; ++i) {
        const bool used = i < kRates && (s.day_rate[i] || i < s.rate_count);
        Append(b, Finance(i < kRates ? s.day_rate[i] : 0, 10));
        Append(b, FixedText(used ? "Tasa " + RateText(s.rates[i]) + "%" : std::string(), 10, ' '));
    }
    for (int i = 0; i < 20; ++i)
        Append(b, Bcd(static_cast<uint64_t>(i < kRates ? s.day_rate_quantity[i] / 10 : 0), 10));
    return b;
}

Bytes NonFiscalOperations(const PrinterState& s) {
    Bytes b;
    for (int i = 0; i < kTotalizers; ++i) {
        const int n = std::min(s.totalizer_counts[i], 65535);
        b.push_back(static_cast<uint8_t>(n >> 8));
        b.push_back(static_cast<uint8_t>(n & 0xFF));
        Append(b, Finance(s.day_totalizers[i], 10));
        Append(b, FixedText(s.totalizers[i], 19, '\0'));
    }
    return b;
}

Bytes NonTaxedTotals(const PrinterState& s) {
    Bytes b;
    for (int i = 0; i < 30; ++i) Append(b, FixedText(s.totalizers[i], 19, '\0'));
    for (int i = 0; i < 30; ++i) Append(b, Finance(s.day_totalizers[i], 7));
    return b;
}

Bytes ManagementReports(const PrinterState& s) {
    Bytes b;
    for (int i = 0; i < kGerencialReports; ++i)
        Append(b, Bcd(static_cast<uint64_t>(s.gerencial_counts[i]), 2));
    for (int i = 0; i < kGerencialReports; ++i) Append(b, FixedText(s.gerencial_names[i], 17, '\0'));
    return b;
}

Bytes Rates(const PrinterState& s) {
    Bytes b{static_cast<uint8_t>(s.rate_count)};
    for (int i = 0; i < kRates; ++i) Append(b, BcdDigits(s.rates[i].size() == 4 ? s.rates[i] : "0000"));
    return b;
}

// Fiscal memory integrity counters: cells written, cells OK, cells not OK per area.
Bytes Integrity(const PrinterState& s, int groups) {
    const int reductions = static_cast<int>(s.fiscal_memory.size());
    // initial cells, serial number, reductions, (status,) memory readings, software versions
    std::vector<int> written = {4, 1, reductions, 1, 1, 1};
    if (groups == 5) written = {4, 1, reductions, 1, 1};
    if (groups == 1) written = {4 + 1 + reductions + 2};
    Bytes b;
    for (int g = 0; g < groups && g < static_cast<int>(written.size()); ++g) {
        AppendLe16(b, written[g]);
        AppendLe16(b, written[g]);
        AppendLe16(b, 0);
    }
    return b;
}

}  // namespace

Bytes FillField(const PrinterState& s, int64_t now, const std::string& f, int size,
                const std::string& titulo) {
    Bytes b;
    const Clock c = Split(now);
    if (f == "BCD_DATA") {
        b = {Bcd(c.day, 1)[0], Bcd(c.month, 1)[0], Bcd(c.year % 100, 1)[0]};
    } else if (f == "BCD_HORA") {
        b = {Bcd(c.hour, 1)[0], Bcd(c.minute, 1)[0], Bcd(c.second, 1)[0]};
    } else if (f == "ASCII_FLAGS_FISCAIS") {
        b = {FiscalFlags(s)};
    } else if (f == "ASCII_FLAGS_FISCAIS_II") {
        b = {FiscalFlags2(s)};
    } else if (f == "ASCII_FLAGS_FISCAIS_III") {
        b = {FiscalFlags3(s)};
    } else if (f == "FLAG_SENSORES") {
        b = {SensorFlags(s)};
    } else if (f == "FLAG_CHEQUE") {
        b = {0x01};  // no document in the slip station
    } else if (f == "ASCII_FLAG_VINC_ISS") {
        uint8_t hi = 0, lo = 0;
        for (int n = 1; n <= 8; ++n)
            if (s.vinc[n - 1]) hi |= static_cast<uint8_t>(1 << (8 - n));
        for (int n = 9; n <= 16; ++n)
            if (s.vinc[n - 1]) lo |= static_cast<uint8_t>(1 << (16 - n));
        b = {hi, lo};
    } else if (f == "BCD_FLAG_INT_TEC") {
        b = {static_cast<uint8_t>(s.intervention ? 0xAA : 0x55)};
    } else if (f == "BCD_FLAG_EPROM_CONECT") {
        b = {0x55};
    } else if (f == "FLAG_TRUNCAMENTO") {
        b = {static_cast<uint8_t>(s.truncate ? 0x00 : 0x01)};
    } else if (f == "FLAG_CORTE") {
        b = {static_cast<uint8_t>(s.cut ? 0x30 : 0x31)};
    } else if (f == "FLAG_ALINHAMENTO") {
        b = {static_cast<uint8_t>(s.align_left ? 0x30 : 0x31)};
    } else if (f == "FLAG_BP_CF") {
        b = {static_cast<uint8_t>(s.ticket_mode ? 0x00 : 0x01)};
    } else if (f == "FLAG_PRESENTER_GAVETA") {
        b = {static_cast<uint8_t>(s.drawer_mode ? 0x01 : 0x00)};
    } else if (f == "FLAG_CUTTER_AUTENTIC") {
        b = {static_cast<uint8_t>(s.cutter ? 0x00 : 0x01)};
    } else if (f == "FLAG_RED_AUT_COM") {
        b = {static_cast<uint8_t>(s.z_automatica ? 0x01 : 0x00)};
    } else if (f == "FLAG_GAVETA") {
        b = {static_cast<uint8_t>(s.drawer_level_high ? 0x01 : 0x00)};
    } else if (f == "STATUS_PAPEL") {
        AppendLe16(b, std::min(s.paper_lines, 65535));
    } else if (f == "TOT_PARCIAIS") {
        b = PartialTotals(s);
    } else if (f == "FORMAS_DE_PAGAMENTO") {
        b = PaymentMethods(s);
    } else if (f == "DEPARTAMENTOS") {
        b = Departments(s);
    } else if (f == "OPER_NO_FISCAL") {
        b = NonFiscalOperations(s);
    } else if (f == "TOT_NAO_SUJ_ICMS") {
        b = NonTaxedTotals(s);
    } else if (f == "RELAT_GER") {
        b = ManagementReports(s);
    } else if (f == "ALIQUOTAS") {
        b = Rates(s);
    } else if (f == "VER_INT_MEM_FISCAL") {
        b = Integrity(s, 1);
    } else if (f == "VER_INT_MEM_FISCAL_COMP") {
        b = Integrity(s, 5);
    } else if (f == "VER_INT_MEM_FISCAL_COMP_RD") {
        b = Integrity(s, 6);
    } else if (f == "TIPO_DOC_ABERTO") {
        b = {static_cast<uint8_t>(s.doc.kind == DocKind::kReceipt ? s.doc.doc_type : s.last_doc_type)};
    } else if (f == "BCD_FLAG_PAYMENT_MODE") {
        b = FixedText("001", size);
    } else if (f == "ASCII") {
        b = FixedText(titulo, size);
    } else if (f == "BCD_PERCENTAGE") {
        b = BcdDigits("0000");
    } else {
        // INTEGER, BCD_INTEGER, BCD_FINANCE and names outside the vocabulary: zeros.
    }
    b.resize(static_cast<size_t>(std::max(size, 0)), 0);
    return b;
}

}  // namespace ordavo::sim
