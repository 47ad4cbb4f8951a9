#include "fiscalmemory/library/country_readings.h"

#include <unistd.h>

#include "engine/util.h"
#include "fiscalmemory/library/report_io.h"

namespace ordavo::mfd {

int FiscalMemoryHeader(const std::string& input, const std::string& output) {
    fm::FiscalMemory mf;
    if (int rc = LoadFiscalMemory(input, mf); rc != kOk) return rc;
    ReportOutput out;
    if (!out.Create(output)) return kTextFileError;
    auto line = [&](const std::string& s) {
        out.Write(s);
        out.Write("\r\n");
    };
    line("ENCABEZADO DE LA MEMORIA FISCAL");
    line("Serial:           " + mf.serial);
    line("Modelo:           " + mf.model);
    line(Format("Reducciones Z:    %zu", mf.reductions.size()));
    if (!mf.reductions.empty()) {
        const fm::ZReduction& a = mf.reductions.front();
        const fm::ZReduction& b = mf.reductions.back();
        line(Format("CRZ:              %06u a %06u", a.crz, b.crz));
        line("Fecha inicial:    " + DateText(a.year, a.month, a.day));
        line("Fecha final:      " + DateText(b.year, b.month, b.day));
        line("Gran total:       " + Money(b.grand_total));
    }
    return out.Commit() ? kOk : kOutputError;
}

int FiscalMemoryXml(const std::string& input, const std::string& output, const std::string& first,
                    const std::string& last) {
    int a = fm::DateKeyFromText(first), b = fm::DateKeyFromText(last);
    if (a == 0 || b == 0) return kBadDate;
    if (a > b) return kDateOrder;
    fm::FiscalMemory mf;
    if (int rc = LoadFiscalMemory(input, mf); rc != kOk) return rc;
    ReportOutput out;
    if (!out.Create(output)) return kOutputError;
    out.Write("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n");
    out.Write("<memoria_fiscal version=\"1\" serial=\"" + XmlEscaped(mf.serial) + "\" modelo=\"" + XmlEscaped(mf.model) +
              "\" fecha_inicial=\"" + DateKeyText(a) + "\" fecha_final=\"" + DateKeyText(b) + "\">\r\n");
    for (const fm::ZReduction& z : mf.reductions) {
        if (z.DateKey() < a || z.DateKey() > b) continue;
        std::string s = Format("  <reduccion crz=\"%u\" coo=\"%u\" fecha=\"", z.crz, z.coo) +
                        DateText(z.year, z.month, z.day) + "\" hora=\"" + TimeText(z.hour, z.minute, z.second) +
                        "\" gran_total=\"" + Money(z.grand_total) + "\" venta=\"" + Money(z.day_total) +
                        "\" anulaciones=\"" + Money(z.cancellations) + "\" descuentos=\"" + Money(z.discounts) +
                        "\" recargos=\"" + Money(z.surcharges) + "\" exento=\"" + Money(z.exempt) + "\">\r\n";
        for (int r = 0; r < 16; ++r)
            if (z.rate_totals[r] != 0)
                s += Format("    <tasa numero=\"%d\" valor=\"", r + 1) + Money(z.rate_totals[r]) + "\"/>\r\n";
        s += "  </reduccion>\r\n";
        out.Write(s);
    }
    out.Write("</memoria_fiscal>\r\n");
    return out.Commit() ? kOk : kOutputError;
}

std::string ShortDate(const std::string& date) {
    if (fm::DateKeyFromText(date) == 0) return {};
    return date.size() == 8 ? date.substr(0, 4) + date.substr(6, 2) : date;
}

TempDownload::TempDownload(const std::string& beside, const char* extension)
    : path_(TempPathBeside(beside) + extension) {}

TempDownload::~TempDownload() { ::unlink(path_.c_str()); }

}  // namespace ordavo::mfd
