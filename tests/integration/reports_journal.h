// Journals for the tests of the conversions: a printer's day of documents with their texts as
// the printer prints them, built with the journal's own encoder.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "fiscalmemory/core/audit_file.h"
#include "fiscalmemory/core/journal.h"

namespace ordavo::reportstest {

using fm::DocumentKind;
using fm::JournalDocument;

inline JournalDocument Identity(const std::string& serial = "VE0100000001", const std::string& model = "Heron 2 TH") {
    JournalDocument d;
    d.kind = DocumentKind::kIdentity;
    d.serial = serial;
    d.model = model;
    d.year = 2026;
    d.month = 12;
    d.day = 1;
    return d;
}

// The lines every document starts with: the maker's line, the date and the COO past column 15.
inline std::string Head(const JournalDocument& d) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d:%02d         COO:%06u\r\n", d.day, d.month, d.year,
                  d.hour, d.minute, d.second, d.coo);
    return "TALVERON        Heron 2 TH           ECF-IF\r\nRIF: J-30123456-7\r\n" + std::string(buf);
}

// A document of December 2026 at the full hour.
inline JournalDocument Base(DocumentKind kind, uint32_t coo, int day, int hour) {
    JournalDocument d;
    d.kind = kind;
    d.coo = coo;
    d.crz = 1;
    d.year = 2026;
    d.month = 12;
    d.day = day;
    d.hour = hour;
    return d;
}

// A receipt of `n` items of 1,00 at rate 1 plus one exempt item of 0,50, paid in cash.
inline JournalDocument Receipt(uint32_t coo, int day, int user = 1, int n = 2, int hour = 10) {
    JournalDocument d = Base(DocumentKind::kReceipt, coo, day, hour);
    d.user = user;
    d.minute = 15;
    d.second = 30;
    d.text = Head(d) + "       CUPON FISCAL        \r\n";
    for (int i = 0; i < n; ++i) {
        d.items.push_back({"000" + std::to_string(i + 1), "CAF\xC9 & T\xC9", 1, 1000, 100, 100, false});
        d.text += "000" + std::to_string(i + 1) + " CAF\xC9 & T\xC9   1 x 1,00   1,00 T01\r\n";
    }
    d.items.push_back({"PAN", "PAN <dulce>", 0, 2000, 25, 50, false});
    d.text += "PAN PAN <dulce>   2 x 0,25   0,50 E\r\n";
    d.payments.push_back({1, "Efectivo", 100 * n + 50});
    d.has_totals = true;
    d.rate_totals[0] = 100 * n;
    d.exempt = 50;
    d.total = 100 * n + 50;
    d.text += "TOTAL   " + std::to_string(n) + ",50\r\n";
    return d;
}

inline JournalDocument CreditNote(uint32_t coo, int day, int64_t value) {
    JournalDocument d = Base(DocumentKind::kCreditNote, coo, day, 11);
    d.text = Head(d) + "BOLETA DE CR\xC9" "DITO O D\xC9" "BITO\r\n2\xAAVIA\r\n";
    d.has_totals = true;
    d.rate_totals[0] = value;
    d.total = value;
    return d;
}

inline JournalDocument Reduction(uint32_t coo, uint32_t crz, int day, int64_t day_total, int64_t grand_total) {
    JournalDocument d = Base(DocumentKind::kReductionZ, coo, day, 23);
    d.crz = crz;
    d.minute = 59;
    d.text = Head(d) + "       REDUCCI\xD3N Z        \r\n";
    d.has_totals = true;
    d.total = day_total;
    d.grand_total = grand_total;
    return d;
}

inline JournalDocument UserChange(uint32_t coo, int day, int user) {
    JournalDocument d = Base(DocumentKind::kUserChange, coo, day, 12);
    d.user = user;
    d.text = Head(d) + "ALTERACI\xD3N DE USUARIO\r\n";
    return d;
}

// Identity; receipts COO 1..4 of user 1 on days 1..4; a credit note (COO 5, day 4); the
// reduction (COO 6, CRZ 1, day 4); a change to user 2 and its receipt COO 1 on day 5.
inline std::vector<JournalDocument> SampleDay() {
    std::vector<JournalDocument> docs{Identity()};
    for (uint32_t coo = 1; coo <= 4; ++coo) docs.push_back(Receipt(coo, static_cast<int>(coo), 1, static_cast<int>(coo)));
    docs.push_back(CreditNote(5, 4, 150));
    docs.push_back(Reduction(6, 1, 4, 1250, 99950));
    docs.push_back(UserChange(1, 5, 2));
    docs.push_back(Receipt(1, 5, 2, 1));
    docs.back().coo = 2;
    docs.back().text = Head(docs.back()) + "CUPON DE USUARIO 2\r\n";
    return docs;
}

inline std::string Journal(const std::vector<JournalDocument>& docs) {
    std::string j;
    for (const JournalDocument& d : docs) j += fm::EncodeDocument(d);
    return j;
}

inline std::string TextOf(const std::vector<JournalDocument>& docs) {
    std::string t;
    for (const JournalDocument& d : docs) t += d.text;
    return t;
}

}  // namespace ordavo::reportstest
