#include "sim/cmd_encrypted.h"

#include <iostream>

#include "engine/util.h"
#include "fiscalmemory/core/journal.h"
#include "fiscalmemory/library/aes_container.h"
#include "fiscalmemory/library/report_io.h"

namespace ordavo::sim {

std::string AuditXml(const PrinterState& s) {
    std::string x = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<memoria_auditoria version=\"1\" serial=\"" +
                    mfd::XmlEscaped(s.serial) + "\" modelo=\"" + mfd::XmlEscaped(s.model) + "\" seleccion=\"todo\">\r\n";
    for (const std::string& record : s.journal) {
        fm::JournalDocument d;
        size_t used = 0;
        if (!fm::DecodeDocument(record, d, &used)) continue;
        x += Format("  <documento tipo=\"%c\" coo=\"%u\" crz=\"%u\" usuario=\"%d\" fecha=\"%02d/%02d/%04d\" "
                    "hora=\"%02d:%02d:%02d\">\r\n",
                    static_cast<char>(d.kind), d.coo, d.crz, d.user, d.day, d.month, d.year, d.hour, d.minute, d.second);
        int n = 0;
        for (const fm::JournalItem& i : d.items)
            x += Format("    <item numero=\"%d\" codigo=\"", ++n) + mfd::XmlEscaped(i.code) + "\" descripcion=\"" +
                 mfd::XmlEscaped(i.description) + Format("\" tasa=\"%d\" total=\"", i.rate) + mfd::Money(i.total) +
                 (i.cancelled ? "\" anulado=\"1\"/>\r\n" : "\" anulado=\"0\"/>\r\n");
        for (const fm::JournalPayment& p : d.payments)
            x += Format("    <pago medio=\"%d\" descripcion=\"", p.method) + mfd::XmlEscaped(p.description) + "\" valor=\"" +
                 mfd::Money(p.value) + "\"/>\r\n";
        if (d.has_totals) x += "    <totales total=\"" + mfd::Money(d.total) + "\"/>\r\n";
        x += "    <texto>" + mfd::XmlEscaped(d.text) + "</texto>\r\n  </documento>\r\n";
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
