// Start-up of the desktop program with a large catalog: the main window shown with its menus
// built from 5,000 commands in 50 groups. Run by hand (QT_QPA_PLATFORM=offscreen works):
//   gui_startup_qbench            QtTest benchmark output, milliseconds per start
#include <unistd.h>

#include <QElapsedTimer>
#include <QMenuBar>
#include <QtTest>
#include <filesystem>
#include <fstream>

#include "shell/core/settings.h"
#include "shell/gui/main_window.h"

namespace {

std::string MakeCatalog(int commands, int groups) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n<comandos>\n";
    for (int i = 0; i < commands; ++i) {
        xml += "  <cmd>\n    <tipo>Grupo " + std::to_string(i % groups) + "</tipo>\n";
        xml += "    <titulo>Comando n\xFAmero " + std::to_string(i) + "</titulo>\n";
        xml += "    <escape>35 " + std::to_string(i % 250) + "</escape>\n";
        xml += "    <equipamentos_hab>" + std::to_string(i % 3 == 0 ? 256 : 4096) + "</equipamentos_hab>\n";
        xml += "    <tamanho_retorno>9</tamanho_retorno>\n";
        xml += "    <parametro>\n      <titulo>Valor</titulo>\n      <tamanho>8</tamanho>\n"
               "      <formato>INTEGER</formato>\n      <obrigatorio>S</obrigatorio>\n    </parametro>\n";
        xml += "    <retorno>\n      <titulo>Total</titulo>\n      <tamanho>9</tamanho>\n"
               "      <formato>BCD_FINANCE</formato>\n    </retorno>\n  </cmd>\n";
    }
    return xml + "</comandos>\n";
}

}  // namespace

class GuiStartupBench : public QObject {
    Q_OBJECT
private:
    std::string dir_;
    std::string old_dir_;

private slots:
    void initTestCase() {
        QCoreApplication::setOrganizationName("OrdavoBench");
        char tmpl[] = "/tmp/ordavo-gui-bench-XXXXXX";
        QVERIFY(mkdtemp(tmpl));
        dir_ = tmpl;
        std::ofstream(dir_ + "/comandos_vn.xml", std::ios::binary) << MakeCatalog(5000, 50);
        std::ofstream(dir_ + "/config_es.cfg", std::ios::binary) << "Filtre cmds      : 1\r\n";
        old_dir_ = ordavo::CurrentDirectory();
        QVERIFY(::chdir(dir_.c_str()) == 0);
    }
    void cleanupTestCase() {
        (void)::chdir(old_dir_.c_str());
        std::filesystem::remove_all(dir_);
    }

    void mainWindowWith5000Commands() {
        QBENCHMARK {
            ordavo::gui::MainWindow window;
            QVERIFY(window.Start());
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QCOMPARE(window.Commands().size(), size_t(5000));
            QCOMPARE(window.menuBar()->actions().size(), 52);
        }
    }

    void menuRebuildOnly() {
        ordavo::gui::MainWindow window;
        QVERIFY(window.Start());
        QBENCHMARK { window.BuildMenu(); }
    }
};

QTEST_MAIN(GuiStartupBench)
#include "gui_startup_qbench.moc"
