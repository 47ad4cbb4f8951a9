#include "sim/state.h"

#include <openssl/evp.h>

#include <charconv>
#include <functional>
#include <sstream>

namespace ordavo::sim {

int64_t OpenDocument::ItemsTotal() const {
    int64_t t = 0;
    for (const Item& i : items) t += i.Net();
    return t;
}

int64_t OpenDocument::Paid() const {
    int64_t t = 0;
    for (const Payment& p : payments) t += p.value;
    return t;
}

int OpenDocument::LiveItems() const {
    int n = 0;
    for (const Item& i : items) n += i.cancelled ? 0 : 1;
    return n;
}

PrinterState::PrinterState() {
    password.fill(0xC3);
    // "ORDAVO DEMO, C.A." / "AV. PRINCIPAL DE LOS CAOBOS" / "CARACAS - VENEZUELA", centred.
    header = "       ORDAVO DEMO, C.A.\n   AV. PRINCIPAL DE LOS CAOBOS\n      CARACAS - VENEZUELA\n";
    rates[0] = "1600";
    rates[1] = "0800";
    rates[2] = "3100";
    for (int i = 3; i < kRates; ++i) rates[i] = "0000";
    rate_count = 3;
    totalizers[0] = "Fondo de Caja";
    totalizers[1] = "Retiro de Caja";
    totalizers[2] = "Cobro de Servicios";
    gerencial_names[0] = "Informe General";
    payment_names[0] = "Efectivo";
    payment_names[1] =
        "Tarjeta D\xE9"
        "bito";
    payment_names[2] =
        "Tarjeta Cr\xE9"
        "dito";
    payment_names[3] = "Cheque";
    payment_tef[1] = payment_tef[2] = true;
}

namespace {

constexpr const char* kMagic = "ordavo-printer-sim-state 1";

std::string Escape(const std::string& s) {
    if (s.empty()) return "%";
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c <= 0x20 || c >= 0x7F || c == '%') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool Unescape(const std::string& s, std::string& out) {
    out.clear();
    if (s == "%") return true;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return false;
        int v = 0;
        for (int k = 1; k <= 2; ++k) {
            const char c = s[i + k];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= c - '0';
            else if (c >= 'A' && c <= 'F')
                v |= c - 'A' + 10;
            else
                return false;
        }
        out += static_cast<char>(v);
        i += 2;
    }
    return true;
}

template <typename T>
bool ToNumber(const std::string& s, T& out) {
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> t;
    std::istringstream in(line);
    std::string w;
    while (in >> w) t.push_back(w);
    return t;
}

// One line of the state file: a key and its value tokens.
struct Binding {
    std::string key;
    std::function<std::vector<std::string>()> get;
    std::function<bool(const std::vector<std::string>&)> set;
};

Binding Str(const std::string& key, std::string& v) {
    return {key, [&v] { return std::vector<std::string>{Escape(v)}; },
            [&v](const std::vector<std::string>& t) { return t.size() == 1 && Unescape(t[0], v); }};
}

template <typename T>
Binding Num(const std::string& key, T& v) {
    return {key, [&v] { return std::vector<std::string>{std::to_string(v)}; },
            [&v](const std::vector<std::string>& t) { return t.size() == 1 && ToNumber(t[0], v); }};
}

Binding Flag(const std::string& key, bool& v) {
    return {key, [&v] { return std::vector<std::string>{v ? "1" : "0"}; },
            [&v](const std::vector<std::string>& t) {
                if (t.size() != 1 || (t[0] != "0" && t[0] != "1")) return false;
                v = t[0] == "1";
                return true;
            }};
}

std::vector<Binding> Scalars(PrinterState& s) {
    std::vector<Binding> b = {
        Str("serial", s.serial),
        Str("rif", s.rif),
        Str("nit", s.nit),
        Str("im", s.im),
        Str("uf", s.uf),
        Str("header", s.header),
        Str("currency", s.currency),
        Str("firmware", s.firmware),
        Num("store", s.store),
        Num("till", s.till),
        Num("clock_offset", s.clock_offset),
        Flag("summer_time", s.summer_time),
        Num("rate_count", s.rate_count),
        Str("promo_message", s.promo_message),
        Str("auth_char", s.auth_char),
        Flag("cupon_adicional", s.cupon_adicional),
        Flag("desc_iss", s.desc_iss),
        Flag("vinc_cnf", s.vinc_cnf),
        Flag("rv_conferencia", s.rv_conferencia),
        Flag("z_automatica", s.z_automatica),
        Flag("last_z_automatic", s.last_z_automatic),
        Flag("ticket_mode", s.ticket_mode),
        Num("restaurant", s.restaurant),
        Num("cupom_conferencia", s.cupom_conferencia),
        Num("coupon_spacing", s.coupon_spacing),
        Flag("truncate", s.truncate),
        Flag("cut", s.cut),
        Flag("align_left", s.align_left),
        Flag("drawer_mode", s.drawer_mode),
        Flag("cutter", s.cutter),
        Flag("drawer_level_high", s.drawer_level_high),
        Flag("intervention", s.intervention),
        Flag("paper_low", s.paper_low),
        Flag("paper_out", s.paper_out),
        Flag("clock_error", s.clock_error),
        Flag("head_up", s.head_up),
        Num("paper_lines", s.paper_lines),
        Num("coo", s.coo),
        Num("gnf", s.gnf),
        Num("crz", s.crz),
        Num("ccf", s.ccf),
        Num("cancelled_receipts", s.cancelled_receipts),
        Num("day_exempt", s.day_exempt),
        Num("day_cancellations", s.day_cancellations),
        Num("day_discounts", s.day_discounts),
        Num("day_surcharges", s.day_surcharges),
        Num("grand_total", s.grand_total),
        Flag("movement", s.movement),
        Num("movement_day", s.movement_day),
        Num("last_document_time", s.last_document_time),
        Num("last_z_time", s.last_z_time),
        Str("last_doc_kind", s.last_doc_kind),
        Num("last_doc_type", s.last_doc_type),
        Num("last_receipt_total", s.last_receipt_total),
        Flag("last_receipt_cancelable", s.last_receipt_cancelable),
        Num("last_receipt_exempt", s.last_receipt_exempt),
        Num("last_item_number", s.last_item_number),
        Str("last_document_text", s.last_document_text),
        Num("gprs_busy_until", s.gprs_busy_until),
        Str("gprs_apn", s.gprs_apn),
    };
    b.push_back({"password",
                 [&s] {
                     std::string h;
                     static const char* hex = "0123456789ABCDEF";
                     for (uint8_t c : s.password) h += {hex[c >> 4], hex[c & 15]};
                     return std::vector<std::string>{h};
                 },
                 [&s](const std::vector<std::string>& t) {
                     if (t.size() != 1 || t[0].size() != 20) return false;
                     for (int i = 0; i < 10; ++i) {
                         unsigned v = 0;
                         auto [p, ec] = std::from_chars(t[0].data() + 2 * i, t[0].data() + 2 * i + 2, v, 16);
                         if (ec != std::errc() || p != t[0].data() + 2 * i + 2) return false;
                         s.password[i] = static_cast<uint8_t>(v);
                     }
                     return true;
                 }});
    // Open document scalars.
    b.push_back({"doc",
                 [&s] {
                     const OpenDocument& d = s.doc;
                     return std::vector<std::string>{std::to_string(static_cast<int>(d.kind)),
                                                     std::to_string(d.doc_type),
                                                     std::to_string(static_cast<int>(d.phase)),
                                                     std::to_string(d.subtotal_adjustment),
                                                     Escape(d.buyer_id),
                                                     Escape(d.buyer_name),
                                                     std::to_string(d.gerencial)};
                 },
                 [&s](const std::vector<std::string>& t) {
                     OpenDocument& d = s.doc;
                     int kind = 0, phase = 0;
                     if (t.size() != 7 || !ToNumber(t[0], kind) || kind < 0 || kind > 3 ||
                         !ToNumber(t[1], d.doc_type) || !ToNumber(t[2], phase) || phase < 0 || phase > 1 ||
                         !ToNumber(t[3], d.subtotal_adjustment) || !Unescape(t[4], d.buyer_id) ||
                         !Unescape(t[5], d.buyer_name) || !ToNumber(t[6], d.gerencial))
                         return false;
                     d.kind = static_cast<DocKind>(kind);
                     d.phase = static_cast<Phase>(phase);
                     return true;
                 }});
    return b;
}

// Indexed values: "key.N value" with N from 1.
template <typename Array, typename Fn>
void Indexed(std::vector<Binding>& b, const std::string& key, Array& a, Fn make) {
    for (size_t i = 0; i < a.size(); ++i) b.push_back(make(key + "." + std::to_string(i + 1), a[i]));
}

std::vector<Binding> AllScalars(PrinterState& s) {
    std::vector<Binding> b = Scalars(s);
    Indexed(b, "rate", s.rates, Str);
    Indexed(b, "vinc", s.vinc, [](const std::string& k, bool& v) { return Flag(k, v); });
    Indexed(b, "totalizer", s.totalizers, Str);
    Indexed(b, "gerencial_name", s.gerencial_names, Str);
    Indexed(b, "payment_name", s.payment_names, Str);
    Indexed(b, "payment_tef", s.payment_tef, [](const std::string& k, bool& v) { return Flag(k, v); });
    Indexed(b, "payment_total", s.payment_totals, Num<int64_t>);
    Indexed(b, "payment_last", s.payment_last, Num<int64_t>);
    Indexed(b, "totalizer_count", s.totalizer_counts, Num<int>);
    Indexed(b, "gerencial_count", s.gerencial_counts, Num<int>);
    Indexed(b, "day_rate", s.day_rate, Num<int64_t>);
    Indexed(b, "day_rate_quantity", s.day_rate_quantity, Num<int64_t>);
    Indexed(b, "day_totalizer", s.day_totalizers, Num<int64_t>);
    Indexed(b, "last_receipt_rate", s.last_receipt_rate, Num<int64_t>);
    return b;
}

// ---- The fiscal-memory download block of the state (journal, software image, keys).

std::string ZExtra(const ZRecord& z) {
    std::string out = " " + std::to_string(z.surcharges) + " " + std::to_string(z.exempt);
    for (int64_t v : z.rate_totals) out += " " + std::to_string(v);
    return out;
}

std::string Base64(const std::string& bytes) {
    if (bytes.empty()) return "%";
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

bool FromBase64(const std::string& text, std::string& out) {
    out.clear();
    if (text == "%") return true;
    if (text.size() % 4 != 0 || text.size() > (64u << 20)) return false;
    out.resize(text.size() / 4 * 3);
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (n < 0) return false;
    size_t pad = 0;
    if (!text.empty() && text.back() == '=') ++pad;
    if (text.size() > 1 && text[text.size() - 2] == '=') ++pad;
    out.resize(static_cast<size_t>(n) - pad);
    return true;
}

std::string SerializeDownloads(const PrinterState& s) {
    std::string out = "model " + Escape(s.model) + "\n" + "user " + std::to_string(s.user) + "\n";
    for (const std::string& r : s.journal) out += "journal " + Base64(r) + "\n";
    if (!s.basic_software.empty()) out += "basic_software " + Base64(s.basic_software) + "\n";
    if (!s.rsa_key.empty()) out += "rsa_key " + Escape(s.rsa_key) + "\n";
    if (!s.z_key.empty()) out += "z_key " + Escape(s.z_key) + "\n";
    return out;
}

// 1 read, 0 a bad value, -1 not a key of this block.
int ParseDownloadLine(const std::string& key, const std::vector<std::string>& t, PrinterState& s) {
    if (key == "model") return t.size() == 1 && Unescape(t[0], s.model) && s.model.size() <= 20 ? 1 : 0;
    if (key == "user") return t.size() == 1 && ToNumber(t[0], s.user) && s.user >= 1 && s.user <= 255 ? 1 : 0;
    if (key == "journal") {
        std::string r;
        if (t.size() != 1 || !FromBase64(t[0], r) || r.empty() || s.journal.size() >= kAuditMemoryCapacity) return 0;
        s.journal.push_back(std::move(r));
        return 1;
    }
    if (key == "basic_software") return t.size() == 1 && FromBase64(t[0], s.basic_software) ? 1 : 0;
    if (key == "rsa_key") return t.size() == 1 && Unescape(t[0], s.rsa_key) ? 1 : 0;
    if (key == "z_key") return t.size() == 1 && Unescape(t[0], s.z_key) ? 1 : 0;
    return -1;
}

}  // namespace

std::string PrinterState::Serialize() const {
    PrinterState& s = const_cast<PrinterState&>(*this);  // the bindings only read here
    std::string out = std::string(kMagic) + "\n";
    for (const Binding& b : AllScalars(s)) {
        out += b.key;
        for (const std::string& t : b.get()) out += " " + t;
        out += "\n";
    }
    for (const Item& i : doc.items)
        out += "item " + Escape(i.code) + " " + Escape(i.description) + " " + std::to_string(i.rate) + " " +
               std::to_string(i.quantity) + " " + std::to_string(i.unit_price) + " " +
               std::to_string(i.gross) + " " + std::to_string(i.adjustment) + " " +
               (i.discounted ? "1" : "0") + " " + (i.surcharged ? "1" : "0") + " " +
               (i.cancelled ? "1" : "0") + "\n";
    for (const Payment& p : doc.payments)
        out += "payment " + std::to_string(p.method) + " " + std::to_string(p.value) + "\n";
    for (const std::string& l : doc.lines) out += "line " + Escape(l) + "\n";
    for (const Payment& p : last_receipt_payments)
        out += "last_payment " + std::to_string(p.method) + " " + std::to_string(p.value) + "\n";
    for (const auto& [bank, pos] : cheque_positions)
        out += "cheque " + std::to_string(bank) + " " + Escape(pos) + "\n";
    for (const ZRecord& z : fiscal_memory)
        out += "z " + std::to_string(z.crz) + " " + std::to_string(z.coo) + " " + std::to_string(z.when) +
               " " + std::to_string(z.grand_total) + " " + std::to_string(z.day_total) + " " +
               std::to_string(z.cancellations) + " " + std::to_string(z.discounts) + ZExtra(z) + "\n";
    for (const AuditRecord& a : audit_memory)
        out += "audit " + std::to_string(a.coo) + " " + Escape(a.kind) + " " + std::to_string(a.when) + " " +
               std::to_string(a.total) + "\n";
    out += SerializeDownloads(*this);
    return out;
}

bool PrinterState::Parse(const std::string& text, PrinterState& out, std::string* error) {
    PrinterState s;
    s.doc = OpenDocument();
    std::vector<Binding> bindings = AllScalars(s);
    std::map<std::string, const Binding*> by_key;
    for (const Binding& b : bindings) by_key[b.key] = &b;

    std::istringstream in(text);
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& why) {
        if (error) *error = "line " + std::to_string(number) + ": " + why;
        return false;
    };
    if (!std::getline(in, line) || line != kMagic) {
        number = 1;
        return fail("not a printer state file (first line must be \"" + std::string(kMagic) + "\")");
    }
    number = 1;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> t = Split(line);
        if (t.empty()) continue;
        const std::string key = t[0];
        t.erase(t.begin());
        bool ok = false;
        if (auto it = by_key.find(key); it != by_key.end()) {
            ok = it->second->set(t);
        } else if (key == "item") {
            Item i;
            int d = 0, su = 0, c = 0;
            ok = t.size() == 10 && Unescape(t[0], i.code) && Unescape(t[1], i.description) &&
                 ToNumber(t[2], i.rate) && i.rate >= 0 && i.rate <= kRates && ToNumber(t[3], i.quantity) &&
                 ToNumber(t[4], i.unit_price) && ToNumber(t[5], i.gross) && ToNumber(t[6], i.adjustment) &&
                 ToNumber(t[7], d) && ToNumber(t[8], su) && ToNumber(t[9], c) &&
                 s.doc.items.size() < kMaxItems;
            i.discounted = d, i.surcharged = su, i.cancelled = c;
            if (ok) s.doc.items.push_back(i);
        } else if (key == "payment" || key == "last_payment") {
            Payment p;
            ok = t.size() == 2 && ToNumber(t[0], p.method) && p.method >= 1 && p.method <= kPaymentMethods &&
                 ToNumber(t[1], p.value);
            auto& list = key == "payment" ? s.doc.payments : s.last_receipt_payments;
            ok = ok && list.size() < 1000;
            if (ok) list.push_back(p);
        } else if (key == "line") {
            std::string l;
            ok = t.size() == 1 && Unescape(t[0], l) && s.doc.lines.size() < 10000;
            if (ok) s.doc.lines.push_back(l);
        } else if (key == "cheque") {
            int bank = 0;
            std::string pos;
            ok = t.size() == 2 && ToNumber(t[0], bank) && Unescape(t[1], pos);
            if (ok) s.cheque_positions[bank] = pos;
        } else if (key == "z") {
            ZRecord z;
            ok = (t.size() == 7 || t.size() == 7 + 2 + kRates) && ToNumber(t[0], z.crz) && ToNumber(t[1], z.coo) &&
                 ToNumber(t[2], z.when) && ToNumber(t[3], z.grand_total) && ToNumber(t[4], z.day_total) &&
                 ToNumber(t[5], z.cancellations) && ToNumber(t[6], z.discounts) &&
                 s.fiscal_memory.size() < kFiscalMemoryCapacity;
            for (size_t k = 7; ok && k < t.size(); ++k) {
                int64_t& v = k == 7 ? z.surcharges : k == 8 ? z.exempt : z.rate_totals[k - 9];
                ok = ToNumber(t[k], v);
            }
            if (ok) s.fiscal_memory.push_back(z);
        } else if (key == "audit") {
            AuditRecord a;
            ok = t.size() == 4 && ToNumber(t[0], a.coo) && Unescape(t[1], a.kind) && ToNumber(t[2], a.when) &&
                 ToNumber(t[3], a.total) && s.audit_memory.size() < kAuditMemoryCapacity;
            if (ok) s.audit_memory.push_back(a);
        } else if (int known = ParseDownloadLine(key, t, s); known >= 0) {
            ok = known == 1;
        } else {
            return fail("unknown key \"" + key + "\"");
        }
        if (!ok) return fail("bad value for \"" + key + "\"");
    }
    // Values the printer itself could never hold would mislead every reading after them.
    auto within = [](int64_t v, int64_t lo, int64_t hi) { return v >= lo && v <= hi; };
    if (!within(s.rate_count, 0, kRates)) return fail("rate_count out of range");
    if (!within(s.coo, 0, 999999) || !within(s.gnf, 0, 999999) || !within(s.ccf, 0, 999999) ||
        !within(s.crz, 0, 9999) || !within(s.cancelled_receipts, 0, 9999) ||
        !within(s.last_item_number, 0, kMaxItems))
        return fail("a counter is out of range");
    if (!within(s.store, 0, 9999) || !within(s.till, 0, 999) || !within(s.restaurant, 0, 1) ||
        !within(s.cupom_conferencia, -1, 3) || !within(s.coupon_spacing, 0, 255) ||
        !within(s.paper_lines, 0, 65535) || !within(s.last_doc_type, 0, 3))
        return fail("a setting is out of range");
    if (!within(s.doc.doc_type, 0, 3) ||
        (s.doc.kind == DocKind::kGerencial && !within(s.doc.gerencial, 1, kGerencialReports)))
        return fail("the open document is not one the printer could have");
    for (int c : s.totalizer_counts)
        if (c < 0) return fail("a counter is out of range");
    for (int c : s.gerencial_counts)
        if (c < 0) return fail("a counter is out of range");
    bindings.clear();  // they point into s
    out = std::move(s);
    return true;
}

}  // namespace ordavo::sim
