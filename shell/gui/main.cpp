// ordavo: the desktop program.
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QIcon>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "params/gui/command_dialog.h"
#include "shell/gui/gui_support.h"
#include "sequences/gui/sequences_control.h"
#include "engine/data_directory.h"
#include "shell/core/menu_model.h"
#include "shell/gui/main_window.h"
#include "shell/gui/program_windows.h"

namespace {

const QCommandLineOption kPortOption("port",
                                     "Printer port for this run only (not saved): COM1: to COM8:, a device "
                                     "such as /dev/ttyUSB0 or a pseudo-terminal, USB, SOCKET or FILE.",
                                     "NAME");
const QCommandLineOption kDirOption("dir", "Application directory: the catalogs, config_es.cfg and log/ are there.",
                                    "DIR");
const QCommandLineOption kUserDirOption("user-dir",
                                        "Use the per-user application directory, $XDG_DATA_HOME/ordavo "
                                        "(~/.local/share/ordavo), as the desktop menu does.");

void SetUpParser(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        "Ordavo: test and maintenance utility for fiscal receipt printers.\n"
        "Reads config_es.cfg and the command catalogs from the application directory\n"
        "(the current directory, --dir or --user-dir); catalogs and sequence files that it\n"
        "does not hold are taken from the installed ones. Without a display, use ordavo-cli.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(kPortOption);
    parser.addOption(kDirOption);
    parser.addOption(kUserDirOption);
}

void SetUpApplication() {
    QCoreApplication::setOrganizationName("Ordavo");
    QCoreApplication::setApplicationName("Ordavo");
    QCoreApplication::setApplicationVersion(ORDAVO_VERSION);
}

// --help and --version need no window system.
bool OnlyInformation(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        if (a == "--help" || a == "-h" || a == "-?" || a == "--help-all" || a == "--version" || a == "-v") return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (OnlyInformation(argc, argv)) {
        QCoreApplication app(argc, argv);
        SetUpApplication();
        QCommandLineParser parser;
        SetUpParser(parser);
        parser.process(app);  // prints and exits
        return 0;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "ordavo: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                     "The command-line front end is ordavo-cli.\n");
        return 1;
    }

    QApplication app(argc, argv);
    SetUpApplication();
    QGuiApplication::setDesktopFileName("ordavo");
    ordavo::gui::InitResources();
    // Qt's own dialogs and buttons speak the program's language.
    ordavo::gui::InstallSpanishTranslations();
    QApplication::setWindowIcon(QIcon(":/ordavo/ordavo.png"));

    QCommandLineParser parser;
    SetUpParser(parser);
    parser.process(app);

    // Started from the desktop menu, the program works in the user's own directory, whatever
    // directory the menu starts it in; --dir wins over it.
    std::string user_dir;
    if (parser.isSet(kUserDirOption) && !parser.isSet(kDirOption)) {
        user_dir = ordavo::UserDataDirectory();
        std::error_code ec;
        if (user_dir.empty() || (std::filesystem::create_directories(user_dir, ec), ec)) {
            std::fprintf(stderr, "ordavo: cannot create the user directory %s: %s\n",
                         user_dir.empty() ? "(no HOME)" : user_dir.c_str(), ec.message().c_str());
            return 2;
        }
    }
    if (parser.isSet(kDirOption) || !user_dir.empty()) {
        QByteArray dir = user_dir.empty() ? QFile::encodeName(parser.value(kDirOption)) : QByteArray::fromStdString(user_dir);
        if (::chdir(dir.constData()) != 0) {
            std::fprintf(stderr, "ordavo: cannot use %s as the application directory: %s\n", dir.constData(),
                         std::strerror(errno));
            return 2;
        }
    }

    // The windows of the other parts of the program take over their menu items.
    ordavo::gui::MainWindow window;
    ordavo::gui::RegisterProgramWindows(window);
    if (parser.isSet(kPortOption)) window.SetPortOverride(QFile::encodeName(parser.value(kPortOption)).toStdString());
    window.Start();
    return app.exec();
}
