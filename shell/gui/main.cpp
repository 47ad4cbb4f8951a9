// ordavo: the desktop program.
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QIcon>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "params/gui/command_dialog.h"
#include "shell/gui/gui_support.h"
#include "sequences/gui/sequences_control.h"
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

void SetUpParser(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        "Ordavo: test and maintenance utility for fiscal receipt printers.\n"
        "Reads config_es.cfg and the command catalogs from the application directory\n"
        "(the current directory, or --dir). Without a display, use ordavo-cli.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(kPortOption);
    parser.addOption(kDirOption);
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

    if (parser.isSet(kDirOption)) {
        QByteArray dir = QFile::encodeName(parser.value(kDirOption));
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
