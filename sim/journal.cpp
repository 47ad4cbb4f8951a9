#include "sim/journal.h"

#include "engine/util.h"
#include "sim/cp850.h"
#include "sim/fields.h"

namespace ordavo::sim {

fm::DocumentKind JournalKind(const std::string& kind) {
    using K = fm::DocumentKind;
    if (kind == "CF") return K::kReceipt;
    if (kind == "CF-ANULADO") return K::kCancelled;
    if (kind == "X") return K::kReadingX;
    if (kind == "Z") return K::kReductionZ;
    if (kind == "CNF") return K::kNonFiscal;
    if (kind == "RG") return K::kManagement;
    if (kind == "CDC") return K::kLinked;
    if (kind == "MF") return K::kFiscalReading;
    if (kind == "CDN") return K::kCreditNote;
    if (kind == "USR") return K::kUserChange;
    return K::kOther;
}

std::string IdentityRecord(const PrinterState& s) {
    fm::JournalDocument id;
    id.kind = fm::DocumentKind::kIdentity;
    id.coo = 0;
    id.crz = 0;
    id.user = 1;
    id.year = 2000;  // the date the printer left the factory
    id.serial = s.serial.substr(0, 24);
    id.model = s.model.substr(0, 20);
    return fm::EncodeDocument(id);
}

std::string AuditJournal(const PrinterState& s) {
    size_t size = 0;
    for (const std::string& r : s.journal) size += r.size();
    std::string out = IdentityRecord(s);
    out.reserve(out.size() + size);
    for (const std::string& r : s.journal) out += r;
    return out;
}

std::string JournalRecord(const PrinterState& s, const std::string& kind, int64_t when, const std::string& text,
                          fm::JournalDocument doc) {
    doc.kind = JournalKind(kind);
    doc.coo = static_cast<uint32_t>(s.coo);
    doc.crz = static_cast<uint32_t>(s.crz);
    doc.user = s.user;
    const Clock c = Split(when);
    doc.year = c.year, doc.month = c.month, doc.day = c.day;
    doc.hour = c.hour, doc.minute = c.minute, doc.second = c.second;
    std::string t = FromPrinter(text);
    if (!t.empty() && t.back() != '\n') t += '\n';
    ReplaceAll(t, "\n", "\r\n");
    doc.text = std::move(t);
    if (doc.kind == fm::DocumentKind::kReductionZ || doc.kind == fm::DocumentKind::kReadingX)
        doc.grand_total = s.grand_total;
    for (fm::JournalPayment& p : doc.payments)
        if (p.description.empty() && p.method >= 1 && p.method <= kPaymentMethods)
            p.description = s.payment_names[p.method - 1];
    return fm::EncodeDocument(doc);
}

fm::JournalDocument ReceiptFigures(const OpenDocument& d, int64_t total) {
    fm::JournalDocument f;
    for (const Item& i : d.items) {
        fm::JournalItem j;
        j.code = i.code;
        j.description = i.description;
        j.rate = i.rate;
        j.quantity = i.quantity;
        j.unit_price = i.unit_price;
        j.total = i.gross + i.adjustment;
        j.cancelled = i.cancelled;
        f.items.push_back(std::move(j));
        if (i.cancelled) continue;
        if (i.rate >= 1 && i.rate <= kRates)
            f.rate_totals[i.rate - 1] += i.Net();
        else
            f.exempt += i.Net();
        if (i.adjustment < 0) f.discount -= i.adjustment;
        if (i.adjustment > 0) f.surcharge += i.adjustment;
    }
    if (d.subtotal_adjustment < 0) f.discount -= d.subtotal_adjustment;
    if (d.subtotal_adjustment > 0) f.surcharge += d.subtotal_adjustment;
    for (const Payment& p : d.payments) f.payments.push_back({p.method, std::string(), p.value});
    f.has_totals = true;
    f.total = total;
    return f;
}

}  // namespace ordavo::sim
