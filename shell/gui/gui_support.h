// Helpers every window of the desktop program shares: text conversion at the Qt boundary,
// the help key, "Anular" buttons, the desktop's "open", and file dialogs that take the
// program's "Name|*.x||" filters.
#pragma once

#include <QFont>
#include <QString>
#include <functional>
#include <string>

class QWidget;
class QAbstractButton;
class QPushButton;

namespace ordavo::gui {

// Windows-1252 texts to Qt and back.
QString Q(const std::string& cp1252);
std::string Cp(const QString& text);
// A string-table text as a QString.
QString QStr(int id);

// File paths stay in the system's own encoding: they are names, not texts.
QString QPath(const std::string& native);
std::string NativePath(const QString& path);

// Opens a file with the desktop's "open" (QDesktopServices). False when the file is missing
// or nothing could be started. Tests replace the opener to see what would be opened.
bool OpenDocument(const std::string& path);
using DocumentOpener = std::function<bool(const QString& path)>;
void SetDocumentOpener(DocumentOpener opener);  // an empty function restores the desktop's

// Opens the help document: the first of HelpFileCandidates that exists and opens; else
// "Archivo de ayuda no encontrado" and a file dialog to pick it by hand.
void OpenHelp(QWidget* parent);
// Makes F1 in `window` open the help document.
void InstallHelpKey(QWidget* window);

// The program's own captions for a cancel button.
void CaptionAnular(QAbstractButton* button);

// The OK button (the default, named "ok") and the "Anular" button (named "cancel", never the
// default) that most dialogs end with; the caller connects and lays them out.
struct OkAnularButtons {
    QPushButton* ok;
    QPushButton* cancel;
};
OkAnularButtons MakeOkAnularButtons(QWidget* parent);

// A file-open dialog: title, default extension ("*.xml"), "Name|*.x||" filter, initial name.
// True with the chosen path (system encoding) in `chosen`.
bool ChooseOpenFile(QWidget* parent, const std::string& title, const std::string& default_ext,
                    const std::string& filter, const std::string& initial_name, std::string& chosen);
// A file-save dialog that asks before overwriting.
bool ChooseSaveFile(QWidget* parent, const std::string& title, const std::string& default_name,
                    const std::string& default_ext, const std::string& filter, std::string& chosen);

// The window that dialogs opened from code should sit on: the active modal window, else the
// active window, else the given fallback.
QWidget* DialogParent(QWidget* fallback = nullptr);

// A font whose characters all have one width, whatever fonts the machine has: the system's
// fixed font when it really is fixed, else the first of the usual monospaced families that
// is, else any fixed-pitch family installed.
QFont FixedPitchFont();

// Loads Qt's own Spanish texts (file dialogs, standard buttons) from the system's Qt
// translations; true when they were found.
bool InstallSpanishTranslations();

// Registers the icons and the logo (once).
void InitResources();

}  // namespace ordavo::gui
