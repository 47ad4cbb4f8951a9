// The fiscal-memory window's commands that work on stored files (conversions of the audit and
// fiscal memories), the key tools of "DLL Clave", and the menus "PA 0421-06" and "Panamá". Each
// asks for its files and ranges, calls the fiscal-memory library and tells the outcome.
#include <QDialog>

#include "engine/env.h"
#include "engine/strings.h"
#include "engine/util.h"
#include "fiscalmemory/core/library_loader.h"
#include "fiscalmemory/core/mfd_rules.h"
#include "fiscalmemory/gui/mfd_commands.h"
#include "fiscalmemory/gui/mfd_selection_dialogs.h"
#include "fiscalmemory/gui/report_dialogs.h"
#include "params/gui/value_dialogs.h"
#include "shell/gui/gui_support.h"

namespace ordavo::gui {

namespace {

using CooFn = int (*)(const char*, const char*, int, int, int);
using DateFn = int (*)(const char*, const char*, const char*, const char*);
using PairFn = int (*)(const char*, const char*);
using TripleFn = int (*)(const char*, const char*, const char*);
using ReadByDateFn = int (*)(const char*, const char*, const char*, const char*, const char*);
using PartialTypeEFn = int (*)(const char*, const char*, const char*, const char*, const char*, const char*,
                               const char*, const char*, const char*, const char*, const char*, const char*,
                               const char*, const char*, const char*, const char*, const char*, const char*,
                               const char*, const char*, const char*, const char*);
using TypeEFn = int (*)(const char*, const char*, const char*, const char*);

constexpr char kAllFiles[] = "|Todos los Archivos (*.*)|*.*||";
const std::string kMraFilter = std::string("Archivos de MRA (*.MRA)|*.mra|Archivos MPK (*.MPK)|*.mpk") + kAllFiles;
const std::string kMraSignedFilter = std::string("Archivos de MRA(*.mra)|*.mra|Archivos MRA Firmados(*.mpk)|*.mpk") + kAllFiles;
const std::string kTxtUpperFilter = std::string("Archivo de texto(*.TXT)|*.TXT") + kAllFiles;
const std::string kXmlFilter = std::string("Archivo de texto(*.XML)|*.XML") + kAllFiles;
const std::string kMdbFilter = std::string("Archivos de Banco de Datos (*.mdb)|*.mdb") + kAllFiles;
const std::string kTextosFilter = std::string("Archivos de Texto (*.txt)|*.txt") + kAllFiles;
const std::string kTextoFilter = std::string("Archivo de Texto(*.txt)|*.txt") + kAllFiles;
const std::string kPrivateFilter = std::string("Archivo Clave Privada(*.prv)|*.prv") + kAllFiles;
const std::string kPublicFilter = std::string("Archivo Clave P\xFA" "blica(*.pub)|*.pub") + kAllFiles;
const std::string kSignedTextFilter = std::string("Archivo de Texto Autenticado(*.txk)|*.txk") + kAllFiles;

constexpr char kConexionOk[] = "\xA1" "Conexi\xF3n OK!";
constexpr char kConexionNoOk[] = "\xA1" "Conexi\xF3n NO OK!";
constexpr char kModeloPanama[] = "Heron 4 TH";

// The path up to the last "." of its file name, then `extension`; a name without a dot keeps
// all of it (a dot in a folder name is not the extension's).
std::string WithExtension(const std::string& path, const char* extension) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
    return path.substr(0, dot) + extension;
}

std::string Port() { return EngineEnv().settings->PortName; }

std::string Digits6(long v) { return Format("%06ld", v); }
std::string DdMmYyyy(const Date& d) { return Format("%02d%02d%04d", d.day, d.month, d.year); }

// The Panamá menu's library is "TalvMFD2ES" whatever the country.
bool LoadSpanishLibrary(MfdContext& ctx, FiscalLibrary& lib, bool complain) {
    if (lib.Load(kFiscalLibraryES)) return true;
    if (complain) ctx.Message(Str(IDS_DLL_NO_CARGADA));
    return false;
}

// ------------------------------------------------------------------------- conversions

struct Conversion {
    const char* by_coo;
    const char* by_date;
    const char* whole;
    const std::string& open_filter;
    const char* save_ext;
    const std::string& save_filter;
    const char* default_extension;  // nullptr: no default name
};

void Convert(MfdContext& ctx, const Conversion& c) {
    std::string audit, out;
    if (!ChooseOpenFile(ctx.Window(), "", "*.mra", c.open_filter, "", audit)) return;
    SelDownloadMFDDlg sel(ctx.Window());
    // The conversions have no use for the public key: the option is not offered.
    sel.SetPublicKeyOffered(false);
    if (sel.exec() != QDialog::Accepted) return;
    AuditSelection s = sel.Selection();
    std::string def = c.default_extension ? WithExtension(audit, c.default_extension) : "";
    if (!ChooseSaveFile(ctx.Window(), "", def, c.save_ext, c.save_filter, out)) return;
    FiscalLibrary lib;
    if (!ctx.LoadFiscalLibrary(lib, true)) return;
    int code = 0;
    if (s.kind == 0) {
        auto f = lib.Find<CooFn>(c.by_coo);
        if (!f) return;
        code = ctx.RunLibraryCall(lib, "", [&] {
            return f(audit.c_str(), out.c_str(), s.user, static_cast<int>(s.first_coo), static_cast<int>(s.last_coo));
        });
    } else if (s.kind == 1) {
        auto f = lib.Find<DateFn>(c.by_date);
        if (!f) return;
        std::string a = DdMmYy(s.first_date), b = DdMmYy(s.last_date);
        code = ctx.RunLibraryCall(lib, "", [&] { return f(audit.c_str(), out.c_str(), a.c_str(), b.c_str()); });
    } else {
        auto f = lib.Find<PairFn>(c.whole);
        if (!f) return;
        code = ctx.RunLibraryCall(lib, "", [&] { return f(audit.c_str(), out.c_str()); });
    }
    // Every range kind tells a refusal and offers only a file that was written.
    ctx.ShowLibraryResult(code);
    if (code != 0) return;
    ctx.OfferToOpen(out);
}

void FiscalMemoryReport(MfdContext& ctx) {
    std::string in, out;
    if (!ChooseOpenFile(ctx.Window(), "Archivo de Memoria Fiscal", "*.mf",
                        std::string("Archivos de Memoria Fiscal (*.mf)|*.mf|Archivos de Memoria Fiscal Firmados "
                                    "(*.mfk)|*.mfk") + kAllFiles,
                        "", in))
        return;
    SelDownloadMFDlg sel(ctx.Window());
    if (sel.exec() != QDialog::Accepted) return;
    TxtSelection s = sel.Selection();
    if (!ChooseSaveFile(ctx.Window(), "", WithExtension(in, ".txt"), "*.txt", kTextosFilter, out)) return;
    std::string kind = s.kind == 0 ? (s.simplified ? "c" : "C") : (s.simplified ? "d" : "D");
    std::string first = s.kind == 0 ? Digits6(s.first) : DdMmYy(s.first_date);
    std::string last = s.kind == 0 ? Digits6(s.last) : DdMmYy(s.last_date);
    FiscalLibrary lib;
    if (!ctx.LoadFiscalLibrary(lib, true)) return;
    auto f = lib.Find<ReadByDateFn>("TalvRelatorioMFTxt");
    if (!f) return;
    int code = ctx.RunLibraryCall(lib, "", [&] {
        return f(in.c_str(), out.c_str(), kind.c_str(), first.c_str(), last.c_str());
    });
    ctx.ShowLibraryResult(code);
    if (code == 0) ctx.OfferToOpen(out);
}

// 32812 (source "0", the fiscal memory) and 32811 (source "1", the audit memory).
void TypeERecords(MfdContext& ctx, const char* source) {
    bool mf = std::string(source) == "0";
    std::string in, out;
    if (!ChooseOpenFile(ctx.Window(), "", mf ? "*.mfk" : "*.mpk",
                        std::string(mf ? "Archivos MFK (*.MFK)|*.mfk" : "Archivos MPK (*.MPK)|*.mpk") + kAllFiles, "",
                        in))
        return;
    std::string def = WithExtension(in, "_rf.txt");
    SelDownloadMFDDlg sel(ctx.Window());
    sel.SetPublicKeyOffered(false);
    if (sel.exec() != QDialog::Accepted) return;
    AuditSelection s = sel.Selection();
    if (!ChooseSaveFile(ctx.Window(), "", def, "*.TXT", kTxtUpperFilter, out)) return;
    FiscalLibrary lib;
    if (!ctx.LoadFiscalLibrary(lib, true)) return;
    auto partial = lib.Find<PartialTypeEFn>("TalvGeraRegistrosParciaisTipoE");
    if (!partial) return;
    int code;
    if (s.kind == 2) {
        auto whole = lib.Find<TypeEFn>("TalvGeraRegistrosTipoE");
        if (!whole) return;
        code = ctx.RunLibraryCall(lib, "", [&] { return whole(in.c_str(), out.c_str(), source, "1"); });
    } else {
        // By date the chosen dates go to the library (not a fixed range).
        std::string selector = s.kind == 0 ? "1" : "0";
        std::string first = s.kind == 0 ? Digits6(s.first_coo) : DdMmYy(s.first_date);
        std::string last = s.kind == 0 ? Digits6(s.last_coo) : DdMmYy(s.last_date);
        code = ctx.RunLibraryCall(lib, "", [&] {
            return partial(in.c_str(), out.c_str(), selector.c_str(), first.c_str(), last.c_str(), "", "", "", source,
                           "", "", "", "", "", "", "", "", "", "", "", "", "");
        });
    }
    ctx.ShowLibraryResult(code);
    if (code == 0) ctx.OfferToOpen(out);
}

void MonthlySalesBook(MfdContext& ctx) {
    FiscalLibrary lib;
    if (!ctx.LoadFiscalLibrary(lib, false)) return;
    auto f = lib.Find<PairFn>("TalvGeraLibroMensualDeVentas");
    if (!f) return;
    std::vector<std::string> files;
    if (!ChooseOpenFiles(ctx.Window(), "", files)) return;
    std::string list;
    for (const std::string& p : files) list += p + "|";
    std::string out;
    if (!ChooseSaveFile(ctx.Window(), "", "", "*.txt", kTextosFilter, out)) return;
    int code = ctx.RunLibraryCall(lib, "", [&] { return f(list.c_str(), out.c_str()); });
    ctx.ShowLibraryResult(code);
}

// ------------------------------------------------------------------------- DLL Clave

void GenerateKeys(MfdContext& ctx) {
    FiscalLibrary lib;
    if (!ctx.LoadFiscalLibrary(lib, true)) return;
    auto f = lib.Find<PairFn>("TalvGenerateKeys");
    if (!f) return;
    std::string prv, pub;
    if (!ChooseSaveFile(ctx.Window(), "Almacenar clave privada", "", "*.prv", kPrivateFilter, prv)) return;
    if (!ChooseSaveFile(ctx.Window(), "Almacenar clave p\xFA" "blica", "", "*.pub", kPublicFilter, pub)) return;
    int code = ctx.RunLibraryCall(lib, "", [&] { return f(pub.c_str(), prv.c_str()); });
    if (code != 0) ctx.ShowLibraryResult(code);
}

void Authenticate(MfdContext& ctx) {
    FiscalLibrary lib;
    if (!ctx.LoadFiscalLibrary(lib, true)) return;
    auto f = lib.Find<TripleFn>("TalvAutentificationDLLKeys");
    if (!f) return;
    std::string text, txk, pub;
    if (!ChooseOpenFile(ctx.Window(), "Archivo para autenticar", "*.txt", kTextoFilter, "", text)) return;
    if (!ChooseSaveFile(ctx.Window(), "Archivo autenticado", WithExtension(text, ""), "*.txk", kSignedTextFilter, txk))
        return;
    if (!ChooseOpenFile(ctx.Window(), "Clave p\xFA" "blica", "*.pub", kPublicFilter, "", pub)) return;
    int code = f(text.c_str(), txk.c_str(), pub.c_str());
    if (code == 0)
        ctx.Message(Str(IDS_AUTENTICACION_OK));
    else
        ctx.ShowLibraryResult(code);
}

void Validate(MfdContext& ctx) {
    FiscalLibrary lib;
    if (!ctx.LoadFiscalLibrary(lib, true)) return;
    auto f = lib.Find<PairFn>("TalvValidationDLLKeys");
    if (!f) return;
    std::string txk, prv;
    if (!ChooseOpenFile(ctx.Window(), "Archivo para validar", "*.txk", kSignedTextFilter, "", txk)) return;
    if (!ChooseOpenFile(ctx.Window(), "Clave privada", "*.prv", kPrivateFilter, "", prv)) return;
    int code = f(txk.c_str(), prv.c_str());
    ctx.Message(Str(code == 0 ? IDS_ARCHIVO_VALIDO : IDS_ARCHIVO_INVALIDO));
}

// ------------------------------------------------------------------------- PA 0421-06

// The connection check every command of the menu starts with: false when it could not be
// made (no library, no function, cancelled); the printer's answer only informs.
bool CheckConnection(MfdContext& ctx) {
    FiscalLibrary lib;
    if (!ctx.LoadFiscalLibrary(lib, true)) return false;
    auto f = lib.Find<TripleFn>("verificarConexion");
    if (!f) return false;
    VerConex dlg(ctx.Window());
    if (dlg.exec() != QDialog::Accepted) return false;
    ctx.Brand() = dlg.Brand();
    ctx.Model() = dlg.Model();
    std::string port = Port();
    int answer = ctx.RunLibraryCall(lib, "", [&] { return f(ctx.Brand().c_str(), ctx.Model().c_str(), port.c_str()); });
    ctx.Message(answer != 0 ? kConexionOk : kConexionNoOk, "", MsgButtons::Ok, MsgIcon::Exclamation);
    return true;
}

// A reading of the menu into a text file: success as the library's own rule says.
void PaReading(MfdContext& ctx, const char* title, const std::string& filter, bool with_dates, const char* function,
               bool success_is_zero) {
    if (!CheckConnection(ctx)) return;
    std::string out;
    if (!ChooseSaveFile(ctx.Window(), title, "", "*.txt", filter, out)) return;
    std::string first, last;
    if (with_dates) {
        for (std::string* date : {&first, &last}) {
            GetDate editor(ctx.Window());
            editor.SetDescription(Str(IDS_SELECIONE_FECHA) + (date == &first ? " Inicial" : " Final"));
            if (editor.exec() != QDialog::Accepted) return;
            *date = DdMmYyyy(editor.Answer());
        }
    }
    FiscalLibrary lib;
    if (!ctx.LoadFiscalLibrary(lib, true)) return;
    int result;
    if (with_dates) {
        auto f = lib.Find<ReadByDateFn>(function);
        if (!f) return;
        result = ctx.RunLibraryCall(lib, "", [&] {
            return f(ctx.Brand().c_str(), ctx.Model().c_str(), first.c_str(), last.c_str(), out.c_str());
        });
    } else {
        auto f = lib.Find<TripleFn>(function);
        if (!f) return;
        result = ctx.RunLibraryCall(lib, "", [&] { return f(ctx.Brand().c_str(), ctx.Model().c_str(), out.c_str()); });
    }
    if ((result == 0) == success_is_zero)
        ctx.OfferToOpen(out);
    else
        ctx.ShowLibraryResult(255);
}

const std::string kIdentifyFilter = std::string("Archivo txt(*.txt)|*.txt") + kAllFiles;

void IdentifyAuditFile(MfdContext& ctx) {
    if (!CheckConnection(ctx)) return;
    std::string audit, out;
    if (!ChooseOpenFile(ctx.Window(), "Identificar MA", "*.mra", kMraFilter, "", audit)) return;
    if (!ChooseSaveFile(ctx.Window(), "Identificar MA", "", "*.txt", kIdentifyFilter, out)) return;
    FiscalLibrary lib;
    if (!ctx.LoadFiscalLibrary(lib, true)) return;
    auto f = lib.Find<PairFn>("TalvIdentificaMAArchivo");
    if (!f) return;
    int code = ctx.RunLibraryCall(lib, "", [&] { return f(audit.c_str(), out.c_str()); });
    if (code != 0) return ctx.ShowLibraryResult(code);
    ctx.Message("\xA1" "Archivo Generado!", "", MsgButtons::Ok, MsgIcon::Exclamation);
    ctx.OfferToOpen(out);
}

// ------------------------------------------------------------------------- Panamá

void PanamaConnection(MfdContext& ctx) {
    FiscalLibrary lib;
    if (!LoadSpanishLibrary(ctx, lib, true)) return;
    auto f = lib.Find<TripleFn>("verificarConexion");
    if (!f) return;
    VerConexPanama dlg(ctx.Window());
    if (dlg.exec() != QDialog::Accepted) return;
    ctx.Model() = dlg.Model();
    std::string port = Port();
    int answer = ctx.RunLibraryCall(lib, "", [&] { return f(port.c_str(), ctx.Model().c_str(), nullptr); });
    ctx.Message(answer != 0 ? kConexionOk : kConexionNoOk, "", MsgButtons::Ok, MsgIcon::Exclamation);
}

void PanamaReading(MfdContext& ctx, const char* function) {
    FiscalLibrary lib;
    if (!LoadSpanishLibrary(ctx, lib, true)) return;
    auto f = lib.Find<ReadByDateFn>(function);
    if (!f) {
        ctx.Message(Str(IDS_DLL_NO_CARGADA));
        return;
    }
    std::string out;
    if (!ChooseSaveFile(ctx.Window(), "", "", "*.XML", kXmlFilter, out)) return;
    GeraXMLPanama dates(ctx.Window());
    if (dates.exec() != QDialog::Accepted) return;
    std::string first = DdMmYy(dates.First()), last = DdMmYy(dates.Last()), port = Port();
    int result = ctx.RunLibraryCall(lib, "", [&] {
        return f(port.c_str(), kModeloPanama, first.c_str(), last.c_str(), out.c_str());
    });
    ctx.Message((result & 0xFF) != 0 ? "Archivo generado con \xE9xito." : "Error al generar archivo.");
}

void OpenEncryptedXml(MfdContext& ctx) {
    FiscalLibrary lib;
    if (!LoadSpanishLibrary(ctx, lib, true)) return;
    auto f = lib.Find<PairFn>("TalvDescriptografaXmlAES");
    if (!f) return;
    std::string in, out;
    if (!ChooseOpenFile(ctx.Window(), "", "*.ENC",
                        std::string("Archivos XML encriptados (*.enc)|*.enc") + kAllFiles, "", in))
        return;
    if (!ChooseSaveFile(ctx.Window(), "", WithExtension(in, ".xml"), "*.XML", kXmlFilter, out)) return;
    int code = ctx.RunLibraryCall(lib, "", [&] { return f(in.c_str(), out.c_str()); });
    ctx.ShowLibraryResult(code);
    if (code == 0) ctx.OfferToOpen(out);
}

}  // namespace

void AddReportCommands(MfdCommandTable& table) {
    static const Conversion kTxt{"TalvGeraTxtPorCOO", "TalvGeraTxtPorData", "TalvGeraTxtTotal", kMraFilter, "*.TXT",
                                 kTxtUpperFilter, ".txt"};
    static const Conversion kXml{"TalvGeraXmlPorCOO", "TalvGeraXmlPorData", "TalvGeraXmlTotal", kMraFilter, "*.XML",
                                 kXmlFilter, ".xml"};
    static const Conversion kMdb{"TalvGeraMdbPorCOO", "TalvGeraMdbPorData", "TalvGeraMdbTotal", kMraSignedFilter,
                                 "*.mdb", kMdbFilter, nullptr};
    static const Conversion kBook{"TalvGeraLibroDeVentasPorCOO", "TalvGeraLibroDeVentasPorData",
                                  "TalvGeraLibroDeVentasTotal", kMraSignedFilter, "*.txt", kTextosFilter, nullptr};
    static const Conversion kBookRD{"TalvGeraLibroDeVentasPorCOORD", "TalvGeraLibroDeVentasPorDataRD",
                                    "TalvGeraLibroDeVentasTotalRD", kMraSignedFilter, "*.txt", kTextosFilter, nullptr};

    table[ID_MFD_INFORME_MA] = [](MfdContext& c) { Convert(c, kTxt); };
    table[ID_MFD_GENERACION_XML] = [](MfdContext& c) { Convert(c, kXml); };
    table[ID_MFD_BANCO_DATOS] = [](MfdContext& c) { Convert(c, kMdb); };
    table[ID_MFD_LIBRO_VENTAS_TXT] = [](MfdContext& c) { Convert(c, kBook); };
    table[ID_MFD_LIBRO_VENTAS_RD] = [](MfdContext& c) { Convert(c, kBookRD); };
    table[ID_MFD_INFORME_MF] = FiscalMemoryReport;
    table[ID_MFD_REGISTRO_FISCAL_MF] = [](MfdContext& c) { TypeERecords(c, "0"); };
    table[ID_MFD_REGISTRO_FISCAL_MA] = [](MfdContext& c) { TypeERecords(c, "1"); };
    table[ID_MFD_LIBRO_MENSUAL_RD] = MonthlySalesBook;

    table[ID_MFD_GENERA_CLAVES] = GenerateKeys;
    table[ID_MFD_AUTENTICACION] = Authenticate;
    table[ID_MFD_VALIDATION] = Validate;

    table[ID_MFD_PA_VERIFICAR_CONEXION] = [](MfdContext& c) { CheckConnection(c); };
    table[ID_MFD_PA_ENCABEZADO] = [](MfdContext& c) {
        PaReading(c, "Encabezado", kTextoFilter, false, "leerEncabezadoMemoriaFiscal", false);
    };
    table[ID_MFD_PA_LEER_MF] = [](MfdContext& c) { PaReading(c, "Leer MF", kTextoFilter, true, "leerMemoriaFiscalFecha", false); };
    table[ID_MFD_PA_LEER_MA] = [](MfdContext& c) {
        PaReading(c, "Leer MA", kTextoFilter, true, "leerMemoriaAuditoriaFecha", false);
    };
    table[ID_MFD_IDENTIFICAR_MA_IMPRESORA] = [](MfdContext& c) {
        PaReading(c, "Identificar MA", kIdentifyFilter, false, "leerEncabezadoMemoriaAuditoria", true);
    };
    table[ID_MFD_IDENTIFICAR_MA_ARCHIVO] = IdentifyAuditFile;

    table[ID_MFD_PANAMA_VERIFICAR_CONEXION] = PanamaConnection;
    table[ID_MFD_PANAMA_LEER_MF] = [](MfdContext& c) { PanamaReading(c, "leerMemoriaFiscal"); };
    table[ID_MFD_PANAMA_LEER_MA] = [](MfdContext& c) { PanamaReading(c, "leerMemoriaAuditoria"); };
    table[ID_MFD_PANAMA_ABRIR_XML] = OpenEncryptedXml;
}

}  // namespace ordavo::gui
