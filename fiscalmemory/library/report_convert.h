// The conversions of stored files into reports: an audit file into its text, XML, database
// and sales books; several audit files into a monthly sales book; a fiscal memory into its
// report; either memory into type E records; an audit file's identification. Each returns the
// library's result code (report_io.h) and writes its output whole or not at all.
// docs/file-formats.md gives every layout.
#pragma once

#include <string>

#include "fiscalmemory/library/report_io.h"

namespace ordavo::mfd {

// What a conversion writes into: told the output and the source first, then given every
// chosen document in journal order, then asked to finish (Commit the output).
class DocumentSink {
public:
    virtual ~DocumentSink() = default;
    virtual int Begin(const std::string& output, const AuditSource& source, const Selection& selection) = 0;
    virtual void Document(const fm::JournalDocument& doc) = 0;
    virtual int End() = 0;
};

// Feeds the documents of `source` that `selection` takes into `sink`, then ends it.
int RunConversion(AuditSource& source, DocumentSink& sink, const Selection& selection);

enum class ReportKind { kText, kXml, kDatabase, kSalesBook, kSalesBookRD };

int ConvertAudit(const std::string& audit, const std::string& output, ReportKind kind, const Selection& selection);

// `files`: every path followed by "|".
int MonthlySalesBook(const std::string& files, const std::string& output);

// kind "C" by Z number, "D" by date, "c" and "d" simplified; first and last six digits.
int FiscalMemoryReport(const std::string& input, const std::string& output, const std::string& kind,
                       const std::string& first, const std::string& last);

// source "0" fiscal memory, "1" audit memory; selector "1" by COO, "0" by date, "" whole.
int TypeERecords(const std::string& input, const std::string& output, const std::string& source,
                 const std::string& selector, const std::string& first, const std::string& last);

int IdentifyAuditFile(const std::string& audit, const std::string& output);

}  // namespace ordavo::mfd
