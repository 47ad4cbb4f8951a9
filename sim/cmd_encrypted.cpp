#include "sim/cmd_encrypted.h"

#include <iostream>

#include "engine/util.h"
#include "fiscalmemory/core/journal.h"
#include "fiscalmemory/library/aes_container.h"

namespace ordavo::sim {

namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (ch == '&') out += "&amp;";
        else if (ch == '<') out += "&lt;";
        else if (ch == '>') out += "&gt;";
        else if (ch == '"') out += "&quot;";
        else if (ch == '\r') out += "&#13;";
        else if ((c < 0x20 && ch != '\n' && ch != '\t') || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D)
            out += '?';
        else out += ch;
    }
    return out;
}

std::string Cents(int64_t v) {
    const uint64_t a = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    return Format("%s%llu.%02llu", v < 0 ? "-" : "", static_cast<unsigned long long>(a / 100),
                  static_cast<unsigned long long>(a % 100));
}

}  // namespace

std::string AuditXml(const PrinterState& s) {
    std::string x = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<memoria_auditoria version=\"1\" serial=\"" +
                    Escaped(s.serial) + "\" modelo=\"" + Escaped(s.model) + "\" seleccion=\"todo\">\r\n";
    for (const std::string& record : s.journal) {
        fm::JournalDocument d;
        size_t used = 0;
        if (!fm::DecodeDocument(record, d, &used)) continue;
        x += Format("  <documento tipo=\"%c\" coo=\"%u\" crz=\"%u\" usuario=\"%d\" fecha=\"%02d/%02d/%04d\" "
                    "hora=\"%02d:%02d:%02d\">\r\n",
                    static_cast<char>(d.kind), d.coo, d.crz, d.user, d.day, d.month, d.year, d.hour, d.minute, d.second);
        int n = 0;
        for (const fm::JournalItem& i : d.items)
            x += Format("    <item numero=\"%d\" codigo=\"", ++n) + Escaped(i.code) + "\" descripcion=\"" +
                 Escaped(i.description) + Format("\" tasa=\"%d\" total=\"", i.rate) + Cents(i.total) +
                 (i.cancelled ? "\" anulado=\"1\"/>\r\n" : "\" anulado=\"0\"/>\r\n");
        for (const fm::JournalPayment& p : d.payments)
            x += Format("    <pago medio=\"%d\" descripcion=\"", p.method) + Escaped(p.description) + "\" valor=\"" +
                 Cents(p.value) + "\"/>\r\n";
        if (d.has_totals) x += "    <totales total=\"" + Cents(d.total) + "\"/>\r\n";
        x += "    <texto>" + Escaped(d.text) + "</texto>\r\n  </documento>\r\n";
    }
    return x + "</memoria_auditoria>\r\n";
}

std::string EncryptedAuditXml(const PrinterState& s) { return mfd::EncryptXmlContainer(AuditXml(s), s.serial); }

int WriteEncryptedAuditXml(const PrinterState& s, const std::string& path) {
    const std::string container = EncryptedAuditXml(s);
    std::string error = "cannot encrypt";
    if (container.empty() || !WriteFileAtomically(path, container, &error)) {
        std::cerr << "ordavo-printer-sim: " << path << ": " << error << std::endl;
        return 73;
    }
    return 0;
}

}  // namespace ordavo::sim
