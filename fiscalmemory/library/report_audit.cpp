// An audit file into its text report, its XML and its database.
#include <sqlite3.h>

#include <memory>

#include "engine/codepage.h"
#include "engine/util.h"
#include "fiscalmemory/library/report_convert.h"
#include "fiscalmemory/library/report_sales.h"

namespace ordavo::mfd {

namespace {

using fm::JournalDocument;

// --------------------------------------------------------------------------- text

// The journal's text, line for line as the printer printed it.
class TextReport : public DocumentSink {
public:
    int Begin(const std::string& output, const AuditSource&, const Selection&) override {
        return out_.Create(output) ? kOk : kTextFileError;
    }
    void Document(const JournalDocument& doc) override {
        if (doc.text.empty()) return;
        out_.Write(doc.text);
        // Every line ends in CR LF, also a record whose last line was cut.
        if (doc.text.size() < 2 || doc.text.compare(doc.text.size() - 2, 2, "\r\n") != 0) out_.Write("\r\n");
    }
    int End() override { return out_.Commit() ? kOk : kOutputError; }

private:
    ReportOutput out_;
};

// --------------------------------------------------------------------------- XML

class XmlReport : public DocumentSink {
public:
    int Begin(const std::string& output, const AuditSource& src, const Selection& sel) override {
        if (!out_.Create(output)) return kOutputError;
        std::string s = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<memoria_auditoria version=\"1\" serial=\"";
        AppendXmlEscaped(s, src.serial());
        s += "\" modelo=\"";
        AppendXmlEscaped(s, src.model());
        s += "\" seleccion=\"";
        AppendXmlEscaped(s, sel.Describe());
        s += "\">\r\n";
        out_.Write(s);
        return kOk;
    }
    void Document(const JournalDocument& d) override {
        std::string& s = line_;
        s.clear();
        s += Format("  <documento tipo=\"%c\" nombre=\"", static_cast<char>(d.kind));
        AppendXmlEscaped(s, KindName(d.kind));
        s += Format("\" coo=\"%u\" crz=\"%u\" usuario=\"%d\" fecha=\"%02d/%02d/%04d\" hora=\"%02d:%02d:%02d\">\r\n",
                    d.coo, d.crz, d.user, d.day, d.month, d.year, d.hour, d.minute, d.second);
        int n = 0;
        for (const fm::JournalItem& it : d.items) {
            s += Format("    <item numero=\"%d\" codigo=\"", ++n);
            AppendXmlEscaped(s, it.code);
            s += "\" descripcion=\"";
            AppendXmlEscaped(s, it.description);
            s += Format("\" tasa=\"%d\" cantidad=\"%lld.%03lld\" precio=\"", it.rate,
                        static_cast<long long>(it.quantity / 1000), static_cast<long long>(std::llabs(it.quantity % 1000)));
            AppendMoney(s, it.unit_price);
            s += "\" total=\"";
            AppendMoney(s, it.total);
            s += it.cancelled ? "\" anulado=\"1\"/>\r\n" : "\" anulado=\"0\"/>\r\n";
        }
        for (const fm::JournalPayment& p : d.payments) {
            s += Format("    <pago medio=\"%d\" descripcion=\"", p.method);
            AppendXmlEscaped(s, p.description);
            s += "\" valor=\"";
            AppendMoney(s, p.value);
            s += "\"/>\r\n";
        }
        if (d.has_totals) {
            s += "    <totales exento=\"";
            AppendMoney(s, d.exempt);
            s += "\" descuento=\"";
            AppendMoney(s, d.discount);
            s += "\" recargo=\"";
            AppendMoney(s, d.surcharge);
            s += "\" total=\"";
            AppendMoney(s, d.total);
            s += "\">\r\n";
            for (int r = 0; r < fm::kJournalRates; ++r) {
                if (d.rate_totals[r] == 0) continue;
                s += Format("      <tasa numero=\"%d\" valor=\"", r + 1);
                AppendMoney(s, d.rate_totals[r]);
                s += "\"/>\r\n";
            }
            s += "    </totales>\r\n";
        }
        if (d.grand_total != 0) {
            s += "    <gran_total valor=\"";
            AppendMoney(s, d.grand_total);
            s += "\"/>\r\n";
        }
        if (!d.text.empty()) {
            s += "    <texto>";
            AppendXmlEscaped(s, d.text);
            s += "</texto>\r\n";
        }
        s += "  </documento>\r\n";
        out_.Write(s);
    }
    int End() override {
        out_.Write("</memoria_auditoria>\r\n");
        return out_.Commit() ? kOk : kOutputError;
    }

private:
    ReportOutput out_;
    std::string line_;
};

// --------------------------------------------------------------------------- SQLite

constexpr const char* kSchema = R"SQL(
CREATE TABLE impresora (
  serial TEXT PRIMARY KEY,
  modelo TEXT NOT NULL,
  seleccion TEXT NOT NULL,
  biblioteca TEXT NOT NULL
);
CREATE TABLE documentos (
  id INTEGER PRIMARY KEY,
  tipo TEXT NOT NULL,
  nombre TEXT NOT NULL,
  coo INTEGER NOT NULL,
  crz INTEGER NOT NULL,
  usuario INTEGER NOT NULL,
  fecha TEXT NOT NULL,
  hora TEXT NOT NULL,
  exento INTEGER,
  descuento INTEGER,
  recargo INTEGER,
  total INTEGER,
  texto TEXT NOT NULL
);
CREATE INDEX documentos_coo ON documentos (usuario, coo);
CREATE INDEX documentos_fecha ON documentos (fecha);
CREATE TABLE tasas_documento (
  documento INTEGER NOT NULL REFERENCES documentos (id),
  tasa INTEGER NOT NULL,
  valor INTEGER NOT NULL,
  PRIMARY KEY (documento, tasa)
);
CREATE TABLE items (
  id INTEGER PRIMARY KEY,
  documento INTEGER NOT NULL REFERENCES documentos (id),
  numero INTEGER NOT NULL,
  codigo TEXT NOT NULL,
  descripcion TEXT NOT NULL,
  tasa INTEGER NOT NULL,
  cantidad INTEGER NOT NULL,
  precio_unitario INTEGER NOT NULL,
  total INTEGER NOT NULL,
  anulado INTEGER NOT NULL,
  UNIQUE (documento, numero)
);
CREATE TABLE pagos (
  id INTEGER PRIMARY KEY,
  documento INTEGER NOT NULL REFERENCES documentos (id),
  numero INTEGER NOT NULL,
  medio INTEGER NOT NULL,
  descripcion TEXT NOT NULL,
  valor INTEGER NOT NULL,
  UNIQUE (documento, numero)
);
CREATE TABLE reducciones_z (
  crz INTEGER NOT NULL,
  documento INTEGER NOT NULL UNIQUE REFERENCES documentos (id),
  coo INTEGER NOT NULL,
  fecha TEXT NOT NULL,
  hora TEXT NOT NULL,
  gran_total INTEGER NOT NULL,
  total_dia INTEGER,
  PRIMARY KEY (crz, documento)
);
)SQL";

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { ok_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) == SQLITE_OK; }
    ~Statement() { sqlite3_finalize(stmt_); }
    bool ok() const { return ok_; }
    Statement& Int(int i, int64_t v) { sqlite3_bind_int64(stmt_, i, v); return *this; }
    Statement& Null(int i) { sqlite3_bind_null(stmt_, i); return *this; }
    Statement& Text(int i, const std::string& utf8) {
        sqlite3_bind_text(stmt_, i, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
        return *this;
    }
    bool Run() {
        int rc = sqlite3_step(stmt_);
        sqlite3_reset(stmt_);
        return rc == SQLITE_DONE;
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    bool ok_ = false;
};

class DatabaseReport : public DocumentSink {
public:
    ~DatabaseReport() override { Close(true); }

    int Begin(const std::string& output, const AuditSource& src, const Selection& sel) override {
        path_ = output;
        temp_ = TempPathBeside(output);
        if (sqlite3_open_v2(temp_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
            return kDatabaseError;
        // The file is private until it is complete: no rollback journal is needed; the whole
        // database is one transaction.
        if (!Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA foreign_keys=ON; BEGIN;") ||
            !Exec(kSchema))
            return kDatabaseError;
        doc_ = std::make_unique<Statement>(db_,
            "INSERT INTO documentos (tipo, nombre, coo, crz, usuario, fecha, hora, exento, descuento, recargo, total, "
            "texto) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
        rate_ = std::make_unique<Statement>(db_, "INSERT INTO tasas_documento VALUES (?1, ?2, ?3)");
        item_ = std::make_unique<Statement>(db_,
            "INSERT INTO items (documento, numero, codigo, descripcion, tasa, cantidad, precio_unitario, total, "
            "anulado) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
        pay_ = std::make_unique<Statement>(db_,
            "INSERT INTO pagos (documento, numero, medio, descripcion, valor) VALUES (?1, ?2, ?3, ?4, ?5)");
        z_ = std::make_unique<Statement>(db_, "INSERT INTO reducciones_z VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        if (!doc_->ok() || !rate_->ok() || !item_->ok() || !pay_->ok() || !z_->ok()) return kDatabaseError;
        Statement printer(db_, "INSERT INTO impresora VALUES (?1, ?2, ?3, ?4)");
        if (!printer.ok() || !printer.Text(1, Cp1252ToUtf8(src.serial()))
                                  .Text(2, Cp1252ToUtf8(src.model()))
                                  .Text(3, Cp1252ToUtf8(sel.Describe()))
                                  .Text(4, std::string("Ordavo ") + ORDAVO_VERSION)
                                  .Run())
            return kDatabaseError;
        return kOk;
    }

    void Document(const JournalDocument& d) override {
        if (failed_) return;
        std::string date = Format("%04d-%02d-%02d", d.year, d.month, d.day);
        std::string time = TimeText(d.hour, d.minute, d.second);
        doc_->Text(1, std::string(1, static_cast<char>(d.kind)))
            .Text(2, Cp1252ToUtf8(KindName(d.kind)))
            .Int(3, d.coo)
            .Int(4, d.crz)
            .Int(5, d.user)
            .Text(6, date)
            .Text(7, time);
        if (d.has_totals)
            doc_->Int(8, d.exempt).Int(9, d.discount).Int(10, d.surcharge).Int(11, d.total);
        else
            doc_->Null(8).Null(9).Null(10).Null(11);
        doc_->Text(12, Cp1252ToUtf8(d.text));
        if (!doc_->Run()) return Fail();
        int64_t id = sqlite3_last_insert_rowid(db_);
        if (d.has_totals)
            for (int r = 0; r < fm::kJournalRates; ++r)
                if (d.rate_totals[r] != 0 && !rate_->Int(1, id).Int(2, r + 1).Int(3, d.rate_totals[r]).Run()) return Fail();
        int n = 0;
        for (const fm::JournalItem& it : d.items)
            if (!item_->Int(1, id).Int(2, ++n).Text(3, Cp1252ToUtf8(it.code)).Text(4, Cp1252ToUtf8(it.description))
                     .Int(5, it.rate).Int(6, it.quantity).Int(7, it.unit_price).Int(8, it.total)
                     .Int(9, it.cancelled ? 1 : 0).Run())
                return Fail();
        n = 0;
        for (const fm::JournalPayment& p : d.payments)
            if (!pay_->Int(1, id).Int(2, ++n).Int(3, p.method).Text(4, Cp1252ToUtf8(p.description)).Int(5, p.value).Run())
                return Fail();
        if (d.kind == fm::DocumentKind::kReductionZ) {
            z_->Int(1, d.crz).Int(2, id).Int(3, d.coo).Text(4, date).Text(5, time).Int(6, d.grand_total);
            if (d.has_totals)
                z_->Int(7, d.total);
            else
                z_->Null(7);
            if (!z_->Run()) return Fail();
        }
    }

    int End() override {
        if (failed_ || !Exec("COMMIT;")) {
            Close(true);
            return kDatabaseError;
        }
        if (!Close(false)) return kDatabaseError;
        return PublishTemp(temp_, path_) ? kOk : kOutputError;
    }

private:
    bool Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    void Fail() { failed_ = true; }
    bool Close(bool remove) {
        doc_.reset();
        rate_.reset();
        item_.reset();
        pay_.reset();
        z_.reset();
        bool ok = true;
        if (db_) ok = sqlite3_close(db_) == SQLITE_OK;
        db_ = nullptr;
        if ((remove || !ok) && !temp_.empty()) {
            std::remove(temp_.c_str());
            temp_.clear();
        }
        return ok;
    }
    sqlite3* db_ = nullptr;
    std::string path_, temp_;
    std::unique_ptr<Statement> doc_, rate_, item_, pay_, z_;
    bool failed_ = false;
};

}  // namespace

int RunConversion(AuditSource& src, DocumentSink& sink, const Selection& sel) {
    JournalDocument doc;
    while (src.Next(doc))
        if (doc.kind != fm::DocumentKind::kIdentity && sel.Matches(doc)) sink.Document(doc);
    return sink.End();
}

int ConvertAudit(const std::string& audit, const std::string& output, ReportKind kind, const Selection& sel) {
    AuditSource src;
    if (int rc = src.Open(audit); rc != kOk) return rc;
    std::unique_ptr<DocumentSink> sink;
    switch (kind) {
        case ReportKind::kText: sink = std::make_unique<TextReport>(); break;
        case ReportKind::kXml: sink = std::make_unique<XmlReport>(); break;
        case ReportKind::kDatabase: sink = std::make_unique<DatabaseReport>(); break;
        case ReportKind::kSalesBook: sink = MakeSalesBook(false); break;
        case ReportKind::kSalesBookRD: sink = MakeSalesBook(true); break;
    }
    if (int rc = sink->Begin(output, src, sel); rc != kOk) return rc;
    return RunConversion(src, *sink, sel);
}

}  // namespace ordavo::mfd
