// The diagnosis of the printer's fiscal memory: reads it from the printer, checks that its
// reductions follow each other, and compares a signed copy (".mfk") with it, in a text report.
#include <ctime>

#include "engine/util.h"
#include "fiscalmemory/core/mf_file.h"
#include "fiscalmemory/core/signed_file.h"
#include "fiscalmemory/library/crypto.h"
#include "fiscalmemory/library/downloads.h"
#include "fiscalmemory/library/library.h"
#include "fiscalmemory/library/output_file.h"

namespace ordavo::mfd {

namespace {

constexpr size_t kMaxSignedFile = 64u << 20;
constexpr size_t kMfCapacity = 1825;

std::string Date(const fm::ZReduction& z) {
    return Format("%02d/%02d/%04d %02d:%02d", z.day, z.month, z.year, z.hour, z.minute);
}

std::string Money(int64_t cents) {
    const bool neg = cents < 0;
    const uint64_t u = neg ? 0 - static_cast<uint64_t>(cents) : static_cast<uint64_t>(cents);
    return Format("%s%llu,%02u", neg ? "-" : "", static_cast<unsigned long long>(u / 100), static_cast<unsigned>(u % 100));
}

// The checks of one fiscal memory; one line per fault.
std::vector<std::string> Check(const fm::FiscalMemory& mf) {
    std::vector<std::string> faults;
    for (size_t i = 1; i < mf.reductions.size(); ++i) {
        const fm::ZReduction& a = mf.reductions[i - 1];
        const fm::ZReduction& b = mf.reductions[i];
        if (b.crz != a.crz + 1) faults.push_back(Format("  Z %04u sigue a Z %04u: falta la numeraci\xF3n intermedia", b.crz, a.crz));
        if (b.DateKey() < a.DateKey())
            faults.push_back(Format("  Z %04u tiene fecha anterior a la de Z %04u", b.crz, a.crz));
        if (b.coo <= a.coo) faults.push_back(Format("  Z %04u: COO %06u no es posterior al de Z %04u", b.crz, b.coo, a.crz));
        if (b.grand_total < a.grand_total) faults.push_back(Format("  Z %04u: el gran total disminuye", b.crz));
    }
    if (mf.reductions.size() >= kMfCapacity) faults.push_back("  La memoria fiscal est\xE1 llena");
    return faults;
}

}  // namespace

int DiagnoseFiscalMemory(const std::string& port, const char* signed_file, const std::string& output) {
    if (output.empty()) return 19;
    OutputFile out;
    if (!out.Create(output)) return 19;
    std::string signed_bytes;
    std::string_view signed_content, signature;
    fm::FiscalMemory copy;
    if (signed_file) {
        if (!ReadWholeFile(signed_file, signed_bytes) || signed_bytes.size() > kMaxSignedFile ||
            !fm::SplitSignedFile(signed_bytes, signed_content, signature) ||
            !fm::DecodeFiscalMemory(signed_content, copy))
            return 17;
    }
    if (port.empty()) return 10;
    Session s(port);
    int rc = s.Open();
    if (rc != 0) return rc;
    s.SetSpeed(DownloadSpeed());
    s.SetProgress(CurrentProgress());
    PrinterIdentity id;
    if ((rc = s.Identity(&id)) != 0) return rc;
    std::string mf_bytes, key_pem;
    DownloadRequest r;
    r.content = Content::kFiscalMemory;
    if ((rc = s.Download(r, MemorySink(mf_bytes))) != 0) return rc;
    if (signed_file) {
        r.content = Content::kPublicKey;
        if ((rc = s.Download(r, MemorySink(key_pem))) != 0) return rc;
    }
    s.Close();

    std::string t = "DIAGN\xD3STICO DE LA MEMORIA FISCAL\r\n\r\n";
    const time_t now = time(nullptr);
    struct tm lt {};
    localtime_r(&now, &lt);
    t += "Impresora: " + id.serial + "   Modelo: " + id.model + "\r\n";
    t += Format("Fecha del diagn\xF3stico: %02d/%02d/%04d %02d:%02d\r\n\r\n", lt.tm_mday, lt.tm_mon + 1,
                lt.tm_year + 1900, lt.tm_hour, lt.tm_min);
    int problems = 0;
    fm::FiscalMemory mf;
    std::string error;
    if (!fm::DecodeFiscalMemory(mf_bytes, mf, &error)) {
        t += "La memoria fiscal de la impresora no se puede leer: " + error + "\r\n";
        ++problems;
    } else {
        t += Format("Reducciones en la memoria: %zu de %zu\r\n", mf.reductions.size(), kMfCapacity);
        if (!mf.reductions.empty()) {
            const fm::ZReduction& a = mf.reductions.front();
            const fm::ZReduction& b = mf.reductions.back();
            t += Format("Primera: Z %04u del %s\r\n", a.crz, Date(a).c_str());
            t += Format("\xDAltima: Z %04u del %s\r\n", b.crz, Date(b).c_str());
            t += "Gran total: " + Money(b.grand_total) + "\r\n";
        }
        if (mf.serial != id.serial) {
            t += "El n\xFAmero de serie de la memoria (" + mf.serial + ") no es el de la impresora\r\n";
            ++problems;
        }
        const std::vector<std::string> faults = Check(mf);
        t += faults.empty() ? "Secuencia de reducciones, fechas, COO y gran total: OK\r\n"
                            : "Secuencia de reducciones, fechas, COO y gran total:\r\n";
        for (const std::string& f : faults) t += f + "\r\n";
        problems += static_cast<int>(faults.size());
    }
    if (signed_file) {
        t += "\r\nArchivo firmado: " + std::string(signed_file) + "\r\n";
        PublicKeys keys;
        const bool valid = ParsePublicKeys(key_pem, &keys) && keys.rsa && Verify(keys.rsa.get(), signed_content, signature);
        t += valid ? "  Firma: v\xE1lida (clave de la impresora)\r\n" : "  Firma: NO v\xE1lida con la clave de la impresora\r\n";
        problems += valid ? 0 : 1;
        if (copy.serial != id.serial) {
            t += "  N\xFAmero de serie del archivo: " + copy.serial + " (otra impresora)\r\n";
            ++problems;
        }
        size_t same = 0;
        for (; same < copy.reductions.size() && same < mf.reductions.size(); ++same) {
            const fm::ZReduction& a = copy.reductions[same];
            const fm::ZReduction& b = mf.reductions[same];
            if (a.crz != b.crz || a.coo != b.coo || a.DateKey() != b.DateKey() || a.grand_total != b.grand_total ||
                a.day_total != b.day_total || a.rate_totals != b.rate_totals)
                break;
        }
        t += Format("  Reducciones del archivo: %zu, iguales a las de la impresora: %zu\r\n", copy.reductions.size(), same);
        if (same < copy.reductions.size()) {
            t += Format("  La reducci\xF3n Z %04u del archivo no es la de la impresora\r\n", copy.reductions[same].crz);
            ++problems;
        }
    }
    t += problems == 0 ? "\r\nResultado: sin errores\r\n" : Format("\r\nResultado: %d problema(s)\r\n", problems);
    if (!out.Write(t.data(), t.size()) || !out.Commit()) return 19;
    return 0;
}

}  // namespace ordavo::mfd
