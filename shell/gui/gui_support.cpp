#include "shell/gui/gui_support.h"

#include "shell/gui/help_window.h"

#include <QLocale>

#include <QLibraryInfo>

#include <QTranslator>

#include <QFontMetrics>

#include <QFontInfo>

#include <QFontDatabase>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QFileInfo>
#include <QMessageBox>
#include <QShortcut>
#include <QUrl>

#include "engine/codepage.h"
#include "engine/strings.h"
#include "engine/data_directory.h"
#include "shell/core/file_filter.h"
#include "shell/core/menu_model.h"
#include "shell/core/settings.h"


namespace ordavo::gui {
namespace {

constexpr int IDS_AYUDA_NO_ENCONTRADA = 33095;

DocumentOpener& Opener() {
    static DocumentOpener opener;
    return opener;
}

void PrepareFileDialog(QFileDialog& dialog, const std::string& title, const std::string& default_ext,
                       const std::string& filter) {
    dialog.setWindowTitle(Q(title));
    QString qt_filter = Q(QtFileFilter(filter));
    if (!qt_filter.isEmpty()) dialog.setNameFilter(qt_filter);
    QString suffix = Q(DefaultSuffix(default_ext));
    if (!suffix.isEmpty()) dialog.setDefaultSuffix(suffix);
    InstallHelpKey(&dialog);
}

}  // namespace

QString Q(const std::string& cp1252) { return QString::fromStdString(Cp1252ToUtf8(cp1252)); }
std::string Cp(const QString& text) { return Utf8ToCp1252(text.toStdString()); }
QString QStr(int id) { return Q(Str(id)); }

QString QPath(const std::string& native) { return QFile::decodeName(QByteArray::fromStdString(native)); }
std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

void SetDocumentOpener(DocumentOpener opener) { Opener() = std::move(opener); }

bool OpenDocument(const std::string& path) {
    QString qpath = QPath(path);
    if (!QFileInfo::exists(qpath)) return false;
    if (Opener()) return Opener()(qpath);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(qpath).absoluteFilePath()));
}

void OpenHelp(QWidget* parent) {
    const Settings& s = GetSettings();
    std::string app_dir = s.AppDirectory.empty() ? CurrentDirectory() : s.AppDirectory;
    std::string program_dir = NativePath(QCoreApplication::applicationDirPath());
    std::vector<std::string> candidates =
        HelpFileCandidates(app_dir, program_dir, InstalledDataDirectory());
    QWidget* owner = DialogParent(parent);
    // A document that is there is shown: by the desktop's viewer, or else in our own window.
    // "Not found" is said only when none of the places holds it.
    auto show = [owner](const std::string& path) {
        if (OpenDocument(path)) return true;
        HelpWindow window(owner);
        if (!window.ShowFile(path)) return false;
        window.exec();
        return true;
    };
    for (const std::string& path : candidates)
        if (QFileInfo(QPath(path)).isFile() && show(path)) return;

    QMessageBox box(QMessageBox::Warning, QStr(IDS_ORDAVO), QStr(IDS_AYUDA_NO_ENCONTRADA), QMessageBox::Ok, owner);
    box.exec();
    std::string chosen;
    // The caption says CHM, but our own document is HTML: offer both.
    if (ChooseOpenFile(owner, "Seleccione Archivo de Ayuda", "*.chm",
                       "Archivos Ayuda(*.CHM)|*.chm;*.html;*.htm|Todos los Archivos (*.*)|*.*||", candidates.front(),
                       chosen))
        show(chosen);
}

void InstallHelpKey(QWidget* window) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_F1), window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, window, [window] { OpenHelp(window); });
}

void CaptionAnular(QAbstractButton* button) { button->setText(QStr(IDS_ANULAR)); }

bool ChooseOpenFile(QWidget* parent, const std::string& title, const std::string& default_ext,
                    const std::string& filter, const std::string& initial_name, std::string& chosen) {
    QFileDialog dialog(DialogParent(parent));
    PrepareFileDialog(dialog, title, default_ext, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!initial_name.empty()) {
        QFileInfo initial(QPath(initial_name));
        if (initial.dir().exists()) dialog.setDirectory(initial.dir());
        dialog.selectFile(initial.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    chosen = NativePath(dialog.selectedFiles().front());
    return true;
}

OkAnularButtons MakeOkAnularButtons(QWidget* parent) {
    auto* ok = new QPushButton("OK", parent);
    ok->setObjectName("ok");
    ok->setDefault(true);
    auto* cancel = new QPushButton(parent);
    cancel->setObjectName("cancel");
    CaptionAnular(cancel);
    cancel->setAutoDefault(false);
    return {ok, cancel};
}

bool ChooseSaveFile(QWidget* parent, const std::string& title, const std::string& default_name,
                    const std::string& default_ext, const std::string& filter, std::string& chosen) {
    QFileDialog dialog(DialogParent(parent));
    PrepareFileDialog(dialog, title, default_ext, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (!default_name.empty()) dialog.selectFile(QPath(default_name));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    chosen = NativePath(dialog.selectedFiles().front());
    return true;
}

QWidget* DialogParent(QWidget* fallback) {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    return fallback;
}

}  // namespace ordavo::gui

// Resources of a static library are registered by hand; Q_INIT_RESOURCE must be used outside
// any namespace.
static void RegisterOrdavoResources() { Q_INIT_RESOURCE(ordavo); }

namespace ordavo::gui {
void InitResources() {
    static bool done = false;
    if (!done) RegisterOrdavoResources();
    done = true;
}
QFont FixedPitchFont() {
    QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    auto fixed = [](QFont font) {
        font.setStyleHint(QFont::TypeWriter, QFont::PreferMatch);
        font.setFixedPitch(true);
        QFontInfo info(font);
        QFontMetrics metrics(font);
        // The pitch flag of some fonts is wrong: the widths decide.
        bool same = metrics.horizontalAdvance(QString(10, 'i')) == metrics.horizontalAdvance(QString(10, 'M'));
        return std::make_pair(info.fixedPitch() && same, font);
    };
    if (auto [ok, font] = fixed(system); ok) return font;
    QStringList families = {"DejaVu Sans Mono", "Liberation Mono", "Noto Mono", "Noto Sans Mono", "Nimbus Mono PS",
                            "Courier New", "Courier", "FreeMono", "monospace"};
    for (const QString& family : QFontDatabase::families())
        if (QFontDatabase::isFixedPitch(family) && !families.contains(family)) families << family;
    for (const QString& family : families) {
        QFont candidate = system;
        candidate.setFamilies({family});
        if (auto [ok, font] = fixed(candidate); ok) return font;
    }
    return system;
}

bool InstallSpanishTranslations() {
    static QTranslator* installed = nullptr;
    if (installed) return true;
    auto* translator = new QTranslator(QCoreApplication::instance());
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // "qt_es" pulls in qtbase_es and the other modules' files; "qtbase_es" alone also does.
    if (!translator->load(QLocale(QLocale::Spanish), "qt", "_", dir) &&
        !translator->load(QLocale(QLocale::Spanish), "qtbase", "_", dir)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

}  // namespace ordavo::gui
