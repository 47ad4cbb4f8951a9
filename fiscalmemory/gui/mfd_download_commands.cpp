// The fiscal-memory window's own commands: the downloads (plain and signed), the public key,
// the fiscal-memory diagnosis, the signature checks and the last answer's status.
#include <QDialog>

#include "engine/strings.h"
#include "engine/util.h"
#include "fiscalmemory/core/library_loader.h"
#include "fiscalmemory/core/mfd_rules.h"
#include "fiscalmemory/gui/mfd_commands.h"
#include "fiscalmemory/gui/mfd_selection_dialogs.h"
#include "fiscalmemory/library/talvmfd.h"
#include "shell/core/settings.h"
#include "shell/gui/gui_support.h"

// The library's function of that name, typed after its declaration in talvmfd.h.
#define TALV_FIND(library, name) (library).Find<decltype(&name)>(#name)

namespace ordavo::gui {
namespace {

constexpr char kGuardarComo[] = "Guardar como";
constexpr char kAbrir[] = "Abrir";
constexpr char kFilterPub[] = "Archivos de Clave P\xFA" "blica (*.pub)|*.pub|Todos los Archivos (*.*)|*.*||";

const char* Port() { return GetSettings().PortName.c_str(); }

// "Serial required": without the printer's serial number the command ends with "Impresora no
// responde" before any file dialog.
bool SerialRequired(MfdContext& c, std::string& serial) {
    if (c.FetchSerialNumber(serial)) return true;
    c.ShowLibraryResult(8);
    return false;
}

// "Serial optional": the serial only proposes a file name.
std::string SerialOptional(MfdContext& c) {
    std::string serial;
    if (!c.FetchSerialNumber(serial)) serial.clear();
    return FileNameSafe(serial);
}

bool Accepted(QDialog& dialog) { return dialog.exec() == QDialog::Accepted; }

// 32781 and 32782: the whole fiscal memory or the basic software into one file.
template <class Download>
void DownloadToFile(MfdContext& c, FiscalLibrary& library, Download download, const std::string& prefix, bool stamped,
                    const char* ext, const char* filter) {
    if (!download) return;
    std::string serial;
    if (!SerialRequired(c, serial)) return;
    std::string name = stamped ? StampedName(prefix, serial, MfdTimeStampNow()) : prefix + FileNameSafe(serial);
    std::string file;
    if (!ChooseSaveFile(c.Window(), kGuardarComo, name, ext, filter, file)) return;
    int result = c.RunLibraryCall(library, "", [&] { return download(Port(), file.c_str()); });
    c.ShowLibraryResult(result);
}

void DownloadMF(MfdContext& c) {
    FiscalLibrary library;
    if (!c.LoadFiscalLibrary(library, false)) return;
    DownloadToFile(c, library, TALV_FIND(library, TalvDownloadMF), "MF_", true, "*.mf",
                   "Archivos de Memoria Fiscal (*.mf)|*.mf|Todos los Archivos (*.*)|*.*||");
}

void DownloadSB(MfdContext& c) {
    FiscalLibrary library;
    if (!c.LoadFiscalLibrary(library, false)) return;
    DownloadToFile(c, library, TALV_FIND(library, TalvDownloadSB), "SB_", false, "*.bin",
                   "Archivos Binarios (*.BIN)|*.bin|Todos los Archivos (*.*)|*.*||");
}

// 32780 (plain, "MRA_") and 32801 (signed, "MPK_"): the audit memory by COO, date or whole.
void DownloadAudit(MfdContext& c, bool signed_file) {
    std::string serial;
    if (!SerialRequired(c, serial)) return;
    SelDownloadMFDDlg dialog(c.Window());
    dialog.SetPublicKeyOffered(true);
    if (!Accepted(dialog)) return;
    const AuditSelection s = dialog.Selection();
    if (signed_file && s.kind == 0 && s.last_coo < s.first_coo) {
        c.Message(Str(IDS_COO_INICIAL_POSTERIOR));
        return;
    }
    const DownloadRangeArgs range = AuditRangeArgs(s, MfdTimeStampNow());

    FiscalLibrary library;
    if (!c.LoadFiscalLibrary(library, true)) return;
    auto download = signed_file ? TALV_FIND(library, TalvDownloadMPK) : TALV_FIND(library, TalvDownloadMFD);
    if (!download) return;
    std::string file;
    bool chosen = signed_file
                      ? ChooseSaveFile(c.Window(), kGuardarComo, RangedName("MPK_", serial, range), "*.mpk",
                                       "Archivos MPK Firmados (*.mpk)|*.mpk|Todos los Archivos (*.*)|*.*||", file)
                      : ChooseSaveFile(c.Window(), kGuardarComo, RangedName("MRA_", serial, range), "*.mra",
                                       "Archivos de MRA (*.mra)|*.mra|Todos los Archivos (*.*)|*.*||", file);
    if (!chosen && signed_file) return;
    if (chosen) {
        int result = c.RunLibraryCall(library, signed_file ? Str(IDS_AGUARDE_MPK) : "", [&] {
            return download(Port(), file.c_str(), range.kind.c_str(), range.first.c_str(), range.last.c_str(),
                            range.user.c_str());
        });
        if (signed_file && result == 12) {
            c.Message(Str(IDS_FECHA_INICIAL_POSTERIOR));
            return;
        }
        c.ShowLibraryResult(result);
        if (result != 0) return;
    }
    if (signed_file) {
        c.SignedDownloadTail(serial, library, file, s.public_key);
        return;
    }
    // The key is offered even when the memory itself was not saved.
    if (s.public_key) c.FetchPublicKey(serial, library, file, true);
}

// 32802 (MFK) and 32805 (Lectura X): a signed file of the whole memory or the X reading.
void DownloadSignedWhole(MfdContext& c, bool lectura_x) {
    std::string serial;
    if (!SerialRequired(c, serial)) return;
    FiscalLibrary library;
    if (!c.LoadFiscalLibrary(library, true)) return;
    auto download = lectura_x ? TALV_FIND(library, TalvDownloadLecturaX) : TALV_FIND(library, TalvDownloadMFK);
    if (!download) {
        if (lectura_x) c.Message(Str(IDS_DLL_NO_CARGADA));
        return;
    }
    std::string file;
    bool chosen = lectura_x
                      ? ChooseSaveFile(c.Window(), "Lectura X", StampedName("LX_", serial, MfdTimeStampNow()), "*.txk",
                                       "Archivo de Texto(*.txk)|*.txk|Todos los Archivos (*.*)|*.*||", file)
                      : ChooseSaveFile(c.Window(), kGuardarComo, StampedName("MFK_", serial, MfdTimeStampNow()),
                                       "*.mfk",
                                       "Archivos de Memoria Fiscal Firmados (*.mfk)|*.mfk|Todos los Archivos (*.*)|*.*||",
                                       file);
    if (!chosen) return;
    DlgSelDownloadPublicKey key_choice(c.Window());
    if (!Accepted(key_choice)) return;
    int result = c.RunLibraryCall(library, Str(lectura_x ? IDS_AGUARDE_LECTURA_X : IDS_AGUARDE_MFK),
                                  [&] { return download(Port(), file.c_str()); });
    c.ShowLibraryResult(result);
    if (result != 0) return;
    c.SignedDownloadTail(serial, library, file, key_choice.PublicKeyWanted());
}

// 32807 (mode 0, fiscal-memory reading "LMF_") and 32808 (mode 1, transaction report "IT_").
void DownloadTxt(MfdContext& c, int mode) {
    std::string serial;
    if (!SerialRequired(c, serial)) return;
    SelDownloadTxt dialog(mode, c.Window());
    if (!Accepted(dialog)) return;
    const TxtSelection s = dialog.Selection();
    if (s.kind == 0 && s.last < s.first) {
        c.Message(Str(IDS_COO_INICIAL_POSTERIOR));
        return;
    }
    std::string variant;
    const DownloadRangeArgs range = TxtRangeArgs(s, variant);

    FiscalLibrary library;
    if (!c.LoadFiscalLibrary(library, true)) return;
    auto download =
        mode == 0 ? TALV_FIND(library, TalvDownloadLecturaMF) : TALV_FIND(library, TalvDownloadRelTransacciones);
    if (!download) {
        c.Message(Str(IDS_DLL_NO_CARGADA));
        return;
    }
    std::string file;
    if (!ChooseSaveFile(c.Window(), kGuardarComo, RangedName(mode == 0 ? "LMF_" : "IT_", serial, range), "*.txk",
                        "Archivos TXT Firmados (*.txk)|*.txk|Todos los Archivos (*.*)|*.*||", file))
        return;
    int result = c.RunLibraryCall(library, "", [&] {
        return download(Port(), file.c_str(), range.kind.c_str(), range.first.c_str(), range.last.c_str(),
                        variant.c_str());
    });
    if (result == 12) {
        c.Message(Str(IDS_FECHA_INICIAL_POSTERIOR));
        return;
    }
    c.ShowLibraryResult(result);
    if (result != 0) return;
    c.SignedDownloadTail(serial, library, file, s.public_key);
}

// 32806: the printer's public key.
void DownloadPublicKey(MfdContext& c) {
    std::string serial;
    if (!SerialRequired(c, serial)) return;
    std::string file;
    if (!ChooseSaveFile(c.Window(), "Downlaod Archivo de Clave Publica", FileNameSafe(serial), "*.pub", kFilterPub, file))
        return;
    FiscalLibrary library;
    auto download = c.LoadFiscalLibrary(library, false) ? TALV_FIND(library, TalvDownloadPublicKey) : nullptr;
    if (!download) {
        c.Message(Str(IDS_DLL_NO_CARGADA));
        return;
    }
    int result = c.RunLibraryCall(library, Str(IDS_AGUARDE_CLAVE), [&] { return download(Port(), file.c_str()); });
    c.ShowLibraryResult(result);
}

// 32816: the fiscal memory checked against the printer, optionally against a signed file too.
void DiagnoseMF(MfdContext& c) {
    std::string output;
    if (!ChooseSaveFile(c.Window(), "Diagnose MF", "", "*.txt",
                        "Archivo de Texto(*.txt)|*.txt|Todos los Archivos (*.*)|*.*||", output))
        return;
    std::string signed_file;
    if (!ChooseOpenFile(c.Window(), "Archivo de Memoria Fiscal", "*.mfk",
                        "Archivos de Memoria Fiscal Firmados (*.mfk)|*.mfk|Todos los Archivos (*.*)|*.*||", "",
                        signed_file))
        signed_file.clear();
    FiscalLibrary library;
    if (!c.LoadFiscalLibrary(library, true)) return;
    auto diagnose = TALV_FIND(library, TalvDiagnoseMF);
    if (!diagnose) return;
    int result = diagnose(Port(), signed_file.empty() ? nullptr : signed_file.c_str(), output.c_str());
    library.Release();
    if (result != 0)
        c.ShowLibraryResult(result);
    else
        c.OfferToOpen(output);
}

// 32809: what the printer answered last.
void LastAnswerStatus(MfdContext& c) {
    FiscalLibrary library;
    if (!c.LoadFiscalLibrary(library, true)) return;
    auto last_ack = TALV_FIND(library, TalvGetLastAck);
    if (!last_ack) return;
    unsigned char ack = 0, st1 = 0, st2 = 0;
    int result = last_ack(&ack, &st1, &st2);
    if (result != 0) {
        c.Message(kRetornoNoAlmacenado, kRetornoDelComando, MsgButtons::Ok, MsgIcon::Exclamation);
        c.ShowLibraryResult(result);
        return;
    }
    LastAckMessage m = LastAckText(ack, st1, st2);
    c.Message(m.text, kRetornoDelComando, MsgButtons::Ok, m.exclamation ? MsgIcon::Exclamation : MsgIcon::None);
}

// 32803: a signed file (MPK, MFK, TXK) against a public key.
void VerifySignedFile(MfdContext& c) {
    std::string serial = SerialOptional(c);
    std::string file, key;
    if (!ChooseOpenFile(c.Window(), "Archivos MRA y MF Firmados", "*.mpk",
                        "Archivos MPK (*.mpk)|*.mpk|Archivos MFK (*.mfk)|*.mfk|Archivos de Texto (*.txk)|*.txk|"
                        "Todos los Archivos (*.*)|*.*||",
                        "", file))
        return;
    if (!ChooseOpenFile(c.Window(), "Archivos de Clave Publica", "*.pub",
                        "Archivos de Clave Pulica (*.pub)|*.pub|Todos los Archivos (*.*)|*.*||", serial, key))
        return;
    FiscalLibrary library;
    if (!c.LoadFiscalLibrary(library, true)) return;
    if (!FileReadable(file)) {
        c.Message(Str(IDS_ARCHIVO_NO_ENCONTRADO));
        return;
    }
    auto validate = TALV_FIND(library, TalvValidate);
    if (!validate) return;
    int result = validate(file.c_str(), key.c_str());
    if (result == 0)
        c.Message(Str(IDS_ARCHIVO_VALIDO));
    else if (result == 255)
        c.Message(Str(IDS_ARCHIVO_INVALIDO));
    else
        c.ShowLibraryResult(result);
}

// 32804: the Z-validation text against a public key.
void VerifyZ(MfdContext& c) {
    const std::string work = CurrentDirectory() + "/" + kZWorkFileName;
    DlgValidateRZ dialog(c.Window());
    if (!Accepted(dialog)) return;
    if (!WriteFileAtomically(work, ZWorkFileText(dialog.Text()))) return;
    std::string serial = SerialOptional(c);
    std::string key;
    if (!ChooseOpenFile(c.Window(), "Archivos Clave Publica", "*.pub",
                        "Archivos Clave Publica (*.pub)|*.pub|Todos los Archivos (*.*)|*.*||", serial, key))
        return;
    FiscalLibrary library;
    if (!c.LoadFiscalLibrary(library, false)) return;
    auto validate = TALV_FIND(library, TalvValidateRZ);
    if (!validate) return;
    // One byte more than the library may fill, so that the verdict always ends.
    std::string verdict(TALV_VERDICT_SIZE + 1, '\0');
    int result = validate(work.c_str(), key.c_str(), verdict.data());
    c.ShowLibraryResult(result);
    if (result != 0) return;
    DlgRZVal shown(SerialFromBuffer(verdict.data(), TALV_VERDICT_SIZE), c.Window());
    shown.exec();
}

}  // namespace

void AddDownloadCommands(MfdCommandTable& table) {
    table[ID_MFD_DOWNLOAD_MF] = DownloadMF;
    table[ID_MFD_DOWNLOAD_SB] = DownloadSB;
    table[ID_MFD_DOWNLOAD_MA] = [](MfdContext& c) { DownloadAudit(c, false); };
    table[ID_MFD_DOWNLOAD_MPK] = [](MfdContext& c) { DownloadAudit(c, true); };
    table[ID_MFD_DOWNLOAD_MFK] = [](MfdContext& c) { DownloadSignedWhole(c, false); };
    table[ID_MFD_LECTURA_X] = [](MfdContext& c) { DownloadSignedWhole(c, true); };
    table[ID_MFD_LECTURA_MF_TXT] = [](MfdContext& c) { DownloadTxt(c, 0); };
    table[ID_MFD_INFORME_TRANSACCIONES] = [](MfdContext& c) { DownloadTxt(c, 1); };
    table[ID_MFD_CLAVE_PUBLICA] = DownloadPublicKey;
    table[ID_MFD_MF_DIAGNOSTICO] = DiagnoseMF;
    table[ID_MFD_STATUS_ULTIMA] = LastAnswerStatus;
    table[ID_MFD_VERIFICAR_FIRMADO] = VerifySignedFile;
    table[ID_MFD_VERIFICAR_Z] = VerifyZ;
}

}  // namespace ordavo::gui
