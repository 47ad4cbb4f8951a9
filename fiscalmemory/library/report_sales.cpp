// The sales books (docs/file-formats.md, "Sales books").
#include "fiscalmemory/library/report_sales.h"

#include <array>
#include <vector>

#include "engine/util.h"

namespace ordavo::mfd {

namespace {

using fm::DocumentKind;
using fm::JournalDocument;

// Sign of a document in the book: receipts add, credit notes and cancellations take away,
// everything else is not a sale.
int SaleSign(DocumentKind k) {
    switch (k) {
        case DocumentKind::kReceipt: return 1;
        case DocumentKind::kCreditNote:
        case DocumentKind::kCancelled: return -1;
        default: return 0;
    }
}

const char* BookKindName(DocumentKind k, bool rd) {
    if (!rd) return KindName(k);
    switch (k) {
        case DocumentKind::kReceipt: return "FACTURA";
        case DocumentKind::kCreditNote: return "NOTA DE CREDITO";
        default: return KindName(k);
    }
}

class SalesBook {
public:
    explicit SalesBook(bool rd) : rd_(rd) {}

    bool Create(const std::string& output) { return out_.Create(output); }

    void Title(const char* title) {
        Line(title);
        Line(std::string(std::string_view(title).size(), '='));
    }
    void Source(const AuditSource& src, const std::string& selection, const std::string& file = {}) {
        if (!file.empty()) Line("Archivo: " + file);
        Line("Serial: " + src.serial());
        Line("Modelo: " + src.model());
        Line("Seleccion: " + selection);
        Line(PadRight("FECHA", 10) + " " + PadRight("HORA", 8) + " " + PadRight("TIPO", 26) + " " + PadLeft("COO", 6) +
             " USR " + PadLeft("EXENTO", 15) + " " + PadLeft("TOTAL", 15) +
             (rd_ ? "  BASES ITBIS POR TASA" : "  BASES POR TASA"));
    }
    void Document(const JournalDocument& d) {
        int sign = SaleSign(d.kind);
        if (sign == 0) return;
        std::string s = DateText(d.year, d.month, d.day) + " " + TimeText(d.hour, d.minute, d.second) + " " +
                        PadRight(BookKindName(d.kind, rd_), 26) + Format(" %06u %03d ", d.coo, d.user);
        int64_t exempt = d.has_totals ? d.exempt * sign : 0, total = d.has_totals ? d.total * sign : 0;
        s += PadLeft(Money(exempt), 15) + " " + PadLeft(Money(total), 15);
        for (int r = 0; r < fm::kJournalRates; ++r) {
            int64_t v = d.has_totals ? d.rate_totals[r] * sign : 0;
            if (v == 0) continue;
            s += Format("  T%02d ", r + 1) + Money(v);
            rates_[r] += v;
        }
        Line(s);
        exempt_ += exempt;
        total_ += total;
        if (d.has_totals) {
            discount_ += d.discount * sign;
            surcharge_ += d.surcharge * sign;
        }
        ++count_[d.kind == DocumentKind::kReceipt ? 0 : d.kind == DocumentKind::kCreditNote ? 1 : 2];
    }
    void Totals() {
        Line("");
        Line("TOTALES");
        Line(PadRight(rd_ ? "Facturas:" : "Comprobantes:", 20) + PadLeft(std::to_string(count_[0]), 15));
        Line(PadRight("Notas de credito:", 20) + PadLeft(std::to_string(count_[1]), 15));
        Line(PadRight("Anulaciones:", 20) + PadLeft(std::to_string(count_[2]), 15));
        for (int r = 0; r < fm::kJournalRates; ++r)
            if (rates_[r] != 0) Line(PadRight(Format("Tasa %02d:", r + 1), 20) + PadLeft(Money(rates_[r]), 15));
        Line(PadRight("Exento:", 20) + PadLeft(Money(exempt_), 15));
        Line(PadRight("Descuentos:", 20) + PadLeft(Money(discount_), 15));
        Line(PadRight("Recargos:", 20) + PadLeft(Money(surcharge_), 15));
        Line(PadRight("Total de ventas:", 20) + PadLeft(Money(total_), 15));
    }
    void Line(const std::string& s) {
        out_.Write(s);
        out_.Write("\r\n");
    }
    int Commit() { return out_.Commit() ? kOk : kOutputError; }

private:
    bool rd_;
    ReportOutput out_;
    std::array<int64_t, fm::kJournalRates> rates_{};
    int64_t exempt_ = 0, discount_ = 0, surcharge_ = 0, total_ = 0;
    std::array<long, 3> count_{};
};

class SalesBookSink : public DocumentSink {
public:
    explicit SalesBookSink(bool rd) : book_(rd), rd_(rd) {}
    int Begin(const std::string& output, const AuditSource& src, const Selection& sel) override {
        if (!book_.Create(output)) return kTextFileError;
        book_.Title(rd_ ? "LIBRO DE VENTAS RD" : "LIBRO DE VENTAS");
        book_.Source(src, sel.Describe());
        return kOk;
    }
    void Document(const JournalDocument& doc) override { book_.Document(doc); }
    int End() override {
        book_.Totals();
        return book_.Commit();
    }

private:
    SalesBook book_;
    bool rd_;
};

}  // namespace

std::unique_ptr<DocumentSink> MakeSalesBook(bool rd) { return std::make_unique<SalesBookSink>(rd); }

int MonthlySalesBook(const std::string& files, const std::string& output) {
    // Every path is followed by "|"; a last path without it is taken too, empty ones are not.
    std::vector<std::string> paths;
    size_t start = 0;
    while (start < files.size()) {
        size_t bar = files.find('|', start);
        if (bar == std::string::npos) bar = files.size();
        if (bar > start) paths.push_back(files.substr(start, bar - start));
        start = bar + 1;
    }
    if (paths.empty()) return kSyntax;
    // Every file must be an audit file before anything is written.
    for (const std::string& p : paths) {
        AuditSource probe;
        if (int rc = probe.Open(p); rc != kOk) return rc;
    }
    SalesBook book(true);
    if (!book.Create(output)) return kTextFileError;
    book.Title("LIBRO MENSUAL DE VENTAS");
    Selection all;
    for (const std::string& p : paths) {
        AuditSource src;
        if (int rc = src.Open(p); rc != kOk) return rc;
        book.Line("");
        book.Source(src, all.Describe(), p);
        fm::JournalDocument doc;
        while (src.Next(doc)) book.Document(doc);
    }
    book.Totals();
    return book.Commit();
}

}  // namespace ordavo::mfd
