// The sequence window on a scratch application directory: names, the file operations, the
// working sequence, the keyboard, the run options, and runs against the printer simulator.
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>
#include <deque>
#include <filesystem>
#include <fstream>

#include "engine/catalog.h"
#include "engine/env.h"
#include "engine/util.h"
#include "params/gui/value_dialogs.h"
#include "sequences/core/sequencia.h"
#include "sequences/core/sequence_window_rules.h"
#include "sequences/gui/sequences_control.h"
#include "shell/core/settings.h"
#include "shell/gui/config_dlg.h"
#include "shell/gui/gui_support.h"
#include "shell/gui/message_return_dlg.h"
#include "shell/gui/progress_wnd.h"
#include "shell/gui/qt_user_interface.h"
#include "tests/gui/gui_test_util.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

using namespace ordavo;
using namespace ordavo::gui;

namespace {

// Answers the modal windows that come up, in order: each step waits for a new visible modal
// window whose object name or class is the step's, and acts on it. A step that does not come
// is recorded and the open window cancelled, so that a test fails instead of hanging.
class Answers : public QObject {
public:
    using Action = std::function<void(QWidget*)>;

    Answers() {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start();
        clock_.start();
    }
    Answers& Then(const char* window, Action action) {
        steps_.push_back({window, std::move(action)});
        return *this;
    }
    bool Done() const { return steps_.empty() && missed_.isEmpty(); }
    QString Missed() const { return missed_.join(", ") + (steps_.empty() ? "" : " still waiting: " + QString(steps_.front().window)); }
    // The texts of the message boxes answered, in order.
    QStringList messages;

private:
    struct Step {
        const char* window;
        Action action;
    };
    void Poll() {
        if (steps_.empty()) return;
        QWidget* w = QApplication::activeModalWidget();
        if (w && w->isVisible() && w != last_.data() &&
            (w->objectName() == steps_.front().window || w->inherits(steps_.front().window))) {
            Step s = steps_.front();
            steps_.pop_front();
            last_ = w;
            clock_.restart();
            if (auto* box = qobject_cast<QMessageBox*>(w)) messages << box->text();
            QPointer<QWidget> target = w;
            QTimer::singleShot(0, this, [target, action = s.action] {
                if (target) action(target);
            });
            return;
        }
        if (clock_.elapsed() > 8000) {
            missed_ << QString(steps_.front().window) + " (open: " + (w ? w->metaObject()->className() : "none") + ")";
            steps_.clear();
            if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
        }
    }
    std::deque<Step> steps_;
    QStringList missed_;
    QPointer<QWidget> last_;
    QTimer timer_;
    QElapsedTimer clock_;
};

Answers::Action Press(const QString& caption) {
    return [caption](QWidget* w) {
        for (QAbstractButton* b : static_cast<QMessageBox*>(w)->buttons())
            if (b->text() == caption) return QTest::mouseClick(b, Qt::LeftButton);
        static_cast<QDialog*>(w)->reject();
    };
}
const QString kOk = "OK", kYes = QString::fromUtf8("Sí"), kNo = "No";

// Types a name into the name window and confirms it.
Answers::Action Name(const QString& text) {
    return [text](QWidget* w) {
        auto* d = static_cast<GetStringDlg*>(w);
        d->Edit()->selectAll();
        QTest::keyClick(d->Edit(), Qt::Key_Delete);
        for (QChar ch : text) {
            // Letters beyond ASCII arrive as the keyboard sends them: a key with its text.
            if (ch.unicode() < 0x80)
                QTest::keyClick(d->Edit(), ch.toLatin1());
            else
                QTest::sendKeyEvent(QTest::Click, d->Edit(), Qt::Key_unknown, QString(ch), Qt::NoModifier);
        }
        QTest::mouseClick(d->OkButton(), Qt::LeftButton);
    };
}
Answers::Action Value(const QString& text) { return Name(text); }
Answers::Action Reject() {
    return [](QWidget* w) { static_cast<QDialog*>(w)->reject(); };
}

Parametro Par(const std::string& titulo, const std::string& formato, int tamanho, const std::string& valor = "",
              int obrigatorio = 1) {
    Parametro p;
    p.titulo = titulo;
    p.formato = formato;
    p.tamanho = tamanho;
    p.valor = valor;
    p.obrigatorio = obrigatorio;
    return p;
}

Comando Cmd(const std::string& tipo, const std::string& titulo, const std::string& escape,
            std::vector<Parametro> params = {}, int hab = 65535) {
    Comando c;
    c.SetTipo(tipo);
    c.SetTitulo(titulo);
    c.SetEscape(escape);
    c.tipo_retorno = "STATUS";
    c.equipamentos_hab = hab;
    for (const Parametro& p : params) c.AdicionarParametro(p);
    return c;
}

// Two types that differ only in case, a command for another model, a hidden parameter between
// two editable ones, and three texts to walk through.
std::vector<Comando> Catalog() {
    return {
        Cmd("Lecturas", "Leer Estado de la Impresora", "19"),
        Cmd("Lecturas", "Leer Fecha y Hora", "35 23"),
        Cmd("Cup\xF3n Fiscal", "Abrir Cup\xF3n Fiscal", "0", {Par("RIF", "STRING", 20, "", 0)}),
        Cmd("lecturas", "Leer Serie", "35 0", {}, 256),
        Cmd("Programaci\xF3n", "Programar Caja", "17",
            {Par("Caja", "STRING", 4, "0001"), Par("Reservado", "NOT_EDITABLE", 2, "07"), Par("Tienda", "STRING", 4, "0002")}),
        Cmd("Cup\xF3n Fiscal", "Vender", "9",
            {Par("C\xF3" "digo", "STRING", 5, "11111"), Par("Descripci\xF3n", "STRING", 6, "CAFE  "),
             Par("Tasa", "STRING", 2, "01")}),
    };
}

SequenciaComandos Seq(const std::string& title, const std::vector<Comando>& commands) {
    SequenciaComandos s;
    s.titulo = title;
    s.comandos = commands;
    return s;
}

std::string Padded(const std::string& name) { return name + std::string(20 - name.size(), ' '); }

std::string ReadBytes(const std::string& path) {
    std::string out;
    ReadWholeFile(path, out);
    return out;
}

std::vector<std::string> Titles(const ListaSequencias& l) {
    std::vector<std::string> out;
    for (const SequenciaComandos& s : l.sequencias) out.push_back(s.titulo);
    return out;
}

std::vector<std::string> CommandTitles(const SequenciaComandos& s) {
    std::vector<std::string> out;
    for (const Comando& c : s.comandos) out.push_back(c.titulo);
    return out;
}

QStringList Texts(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

int Selected(QListWidget* list) {
    auto items = list->selectedItems();
    return items.isEmpty() ? -1 : list->row(items.front());
}

void ClickRow(QListWidget* list, int row) {
    QListWidgetItem* item = list->item(row);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

void ClickRow(QListWidget* list, const QString& text) {
    auto found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    ClickRow(list, list->row(found.front()));
}

void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

// A clock that records the runner's waits instead of sleeping them, and lets a test act in
// them, when the user interface is blocked.
class RecordingClock : public Clock {
public:
    void SleepMs(int ms) override {
        sleeps.push_back(ms);
        if (on_sleep) on_sleep(static_cast<int>(sleeps.size()));
        Clock::SleepMs(std::min(ms, 5));
    }
    std::vector<int> sleeps;
    std::function<void(int)> on_sleep;
};

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

const std::string kStart = "***In\xED" "cio de la ejecuci\xF3n de la secu\xE9ncia de comandos***";
const std::string kEnd = "***Fin de la ejecuci\xF3n de la secu\xE9ncia de comandos***";

}  // namespace

class SequenceWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<QTemporaryDir> profile_;
    QtUserInterface ui_;
    guitest::Watchdog watchdog_;

    std::string SequenceFile() const { return dir_->File("secuencia_rd.xml"); }
    void WriteSequences(const std::vector<SequenciaComandos>& list) {
        ListaSequencias l;
        l.sequencias = list;
        QCOMPARE(l.Salvar(SequenceFile()), 0);
    }
    ListaSequencias FileContents(const std::string& path) {
        ListaSequencias l;
        l.Carregar(path);
        return l;
    }
    // Five sequences of one or two commands each.
    std::vector<SequenciaComandos> Five() {
        std::vector<Comando> c = Catalog();
        return {Seq(Padded("UNO"), {c[0]}), Seq(Padded("DOS"), {c[1]}), Seq(Padded("TRES"), {c[2], c[0]}),
                Seq(Padded("CUATRO"), {c[4]}), Seq(Padded("CINCO"), {c[5], c[1]})};
    }
    static void Show(SequencesControl& w) {
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }

private slots:
    void initTestCase() {
        profile_ = std::make_unique<QTemporaryDir>();
        guitest::IsolateProfile(profile_->path());
    }

    void init() {
        dir_ = std::make_unique<test::TempDir>();
        ResetEngineEnv();
        EngineEnv().ui = &ui_;
        Settings& s = GetSettings();
        s.Reset();
        s.AppDirectory = dir_->path();
        s.Country = "VENEZUELA";
        s.ShowResults = 0;
        s.StopOnError = 0;
        watchdog_.Arm();
    }

    void cleanup() {
        guitest::CancelPendingModalActions();
        QString closed = watchdog_.Disarm();
        ResetEngineEnv();
        SetDocumentOpener({});
        QVERIFY2(closed.isEmpty(), qPrintable("windows left open: " + closed));
    }

    void nameRules() {
        // What the window cases below do not type: the other removed characters, a sign that
        // the OEM code page keeps under another byte, blanks and signs around numbers.
        std::string name;
        QCOMPARE(NormalizarNomeSequencia(Padded("a<b>c\\d'e\"f/g!h?i;j"), name), NomeSequencia::Valido);
        QCOMPARE(name, "ABCDEFGHIJ" + std::string(1, ' '));
        QCOMPARE(NormalizarNomeSequencia(Padded("\xBF" "abc"), name), NomeSequencia::Invalido);
        int v = -7;
        QCOMPARE(LerCampoInteiro(" +12 ", 1, 999999, v), CampoNumerico::Ok);
        QCOMPARE(v, 12);
        QCOMPARE(LerCampoInteiro("1a", 0, 99, v), CampoNumerico::NaoNumero);
        QCOMPARE(LerCampoInteiro("99999999999", 0, 99, v), CampoNumerico::NaoNumero);
        QCOMPARE(v, 12);

        // Through the window: typed names as they end up in the file.
        SequencesControl w(Catalog());
        Show(w);
        ClickRow(w.AvailableList(), "Leer Fecha y Hora");
        QTest::mouseClick(w.AddButton(), Qt::LeftButton);
        struct Case {
            QString typed;
            std::string stored;
        };
        for (const Case& c : {Case{"abc", "ABC" + std::string(17, ' ')},
                              Case{"abcdefgh.", "ABCDEFGH" + std::string(11, ' ')},
                              Case{"./././.", std::string(13, ' ')}}) {
            Answers a;
            a.Then("GetStringDlg", Name(c.typed));
            QTest::mouseClick(w.SaveButton(), Qt::LeftButton);
            QVERIFY2(a.Done(), qPrintable(a.Missed()));
            ListaSequencias l = FileContents(SequenceFile());
            QCOMPARE(Titles(l).back(), c.stored);
            QCOMPARE(CommandTitles(l.sequencias.back()), std::vector<std::string>{"Leer Fecha y Hora"});
            // The saved sequence is the one selected afterwards.
            QCOMPARE(Selected(w.SequenceList()), w.SequenceList()->count() - 1);
            QVERIFY(w.DeleteButton()->isEnabled());
        }
        // Refused names and Cancel leave the file as it was.
        const std::string before = ReadBytes(SequenceFile());
        Answers refused;
        refused.Then("GetStringDlg", Name(QString::fromUtf8("café"))).Then("QMessageBox", Press(kOk));
        refused.Then("GetStringDlg", Name("")).Then("QMessageBox", Press(kOk));
        refused.Then("GetStringDlg", Reject());
        for (int i = 0; i < 3; ++i) QTest::mouseClick(w.SaveButton(), Qt::LeftButton);
        QVERIFY2(refused.Done(), qPrintable(refused.Missed()));
        QCOMPARE(refused.messages, QStringList({QString::fromUtf8("Nombre Inválido"), "Registro no salvo"}));
        QCOMPARE(ReadBytes(SequenceFile()), before);
        QCOMPARE(w.SequenceList()->count(), 3);
    }

    void replacingTheThirdOfFive() {
        WriteSequences(Five());
        SequencesControl w(Catalog());
        Show(w);
        ClickRow(w.SequenceList(), 2);
        QCOMPARE(CommandTitles(w.Working()), (std::vector<std::string>{"Abrir Cup\xF3n Fiscal", "Leer Estado de la Impresora"}));
        // The name window offers the selected title; saving under it replaces that sequence.
        QString offered;
        Answers a;
        a.Then("GetStringDlg", [&](QWidget* d) {
            offered = static_cast<GetStringDlg*>(d)->Edit()->text();
            QTest::mouseClick(static_cast<GetStringDlg*>(d)->OkButton(), Qt::LeftButton);
        });
        a.Then("QMessageBox", Press(kYes));
        QTest::mouseClick(w.SaveButton(), Qt::LeftButton);
        QVERIFY2(a.Done(), qPrintable(a.Missed()));
        QCOMPARE(offered, QString::fromStdString(Padded("TRES")));
        QCOMPARE(a.messages, QStringList({"Deseas substituir el registro ya existente?"}));
        const std::vector<std::string> order = {Padded("UNO"), Padded("DOS"), Padded("CUATRO"), Padded("CINCO"),
                                                Padded("TRES")};
        QCOMPARE(Titles(FileContents(SequenceFile())), order);
        QCOMPARE(Titles(w.Sequences()), order);
        QCOMPARE(Texts(w.SequenceList()).size(), 5);
        QCOMPARE(Selected(w.SequenceList()), 4);
        QCOMPARE(CommandTitles(FileContents(SequenceFile()).sequencias[4]), CommandTitles(w.Working()));

        // Refusing the replacement writes nothing and selects nothing.
        ClickRow(w.SequenceList(), 0);
        const std::string before = ReadBytes(SequenceFile());
        Answers no;
        no.Then("GetStringDlg", Name("dos")).Then("QMessageBox", Press(kNo)).Then("QMessageBox", Press(kOk));
        QTest::mouseClick(w.SaveButton(), Qt::LeftButton);
        QVERIFY2(no.Done(), qPrintable(no.Missed()));
        QCOMPARE(no.messages.back(), QString("Registro no salvo"));
        QCOMPARE(ReadBytes(SequenceFile()), before);
        QCOMPARE(Selected(w.SequenceList()), -1);
    }

    void selectingSequencesWithAndWithoutInsert() {
        WriteSequences(Five());
        SequencesControl w(Catalog());
        Show(w);
        QTest::mouseClick(w.InsertBox(), Qt::LeftButton);
        ClickRow(w.SequenceList(), 1);
        ClickRow(w.SequenceList(), 4);
        // UNO (the opening's) + DOS + CINCO.
        QCOMPARE(CommandTitles(w.Working()), (std::vector<std::string>{"Leer Estado de la Impresora", "Leer Fecha y Hora",
                                                                        "Vender", "Leer Fecha y Hora"}));
        QCOMPARE(w.CommandList()->count(), 4);
        QCOMPARE(GetSettings().DefaultSequence, 4);

        // Without it, selecting discards unsaved changes without asking.
        QTest::mouseClick(w.InsertBox(), Qt::LeftButton);
        ClickRow(w.SequenceList(), 0);
        ClickRow(w.AvailableList(), "Vender");
        QTest::mouseClick(w.AddButton(), Qt::LeftButton);
        QCOMPARE(w.Working().NumeroComandos(), 2);
        ClickRow(w.SequenceList(), 3);
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(CommandTitles(w.Working()), std::vector<std::string>{"Programar Caja"});
        QCOMPARE(GetSettings().DefaultSequence, 3);
        // The file's sequences themselves are untouched.
        QCOMPARE(CommandTitles(w.Sequences().sequencias[0]), std::vector<std::string>{"Leer Estado de la Impresora"});
    }

    void defaultSequenceAtOpening() {
        WriteSequences(Five());
        struct Case {
            int configured, selected;
        };
        for (const Case& c : {Case{5, 0}, Case{77, 0}, Case{-2, 0}, Case{3, 3}}) {
            GetSettings().DefaultSequence = c.configured;
            SequencesControl w(Catalog());
            QCOMPARE(GetSettings().DefaultSequence, c.selected);
            QCOMPARE(Selected(w.SequenceList()), c.selected);
            QCOMPARE(w.Working().titulo, std::string());
            QCOMPARE(w.Working().NumeroComandos(), Five()[static_cast<size_t>(c.selected)].NumeroComandos());
            QCOMPARE(w.ParameterList()->rowCount(), 0);
        }
        // No file: an empty list, no message, "Excluir" disabled.
        std::filesystem::remove(SequenceFile());
        GetSettings().DefaultSequence = 2;
        SequencesControl empty(Catalog());
        QCOMPARE(empty.SequenceList()->count(), 0);
        QCOMPARE(GetSettings().DefaultSequence, 0);
        QVERIFY(!empty.DeleteButton()->isEnabled());
        QCOMPARE(empty.windowTitle(), QString::fromUtf8("Secuéncias"));
    }

    void loadingAnotherFile() {
        WriteSequences(Five());
        const std::string country = SequenceFile();
        const std::string garbage = dir_->File("roto.xml");
        std::ofstream(garbage) << "<sequencias><sequencia>";
        const std::string other = dir_->File("otra.XML");
        {
            ListaSequencias l;
            l.sequencias = {Seq(Padded("OTRA"), {Catalog()[1]})};
            QCOMPARE(l.Salvar(other), 0);
        }
        SequencesControl w(Catalog());
        Show(w);

        // Cancel changes nothing.
        Answers cancel;
        cancel.Then("QFileDialog", Reject());
        QTest::mouseClick(w.LoadButton(), Qt::LeftButton);
        QVERIFY2(cancel.Done(), qPrintable(cancel.Missed()));
        QCOMPARE(w.SequenceList()->count(), 5);

        // An unreadable file: the file in use comes back.
        Answers bad;
        bad.Then("QFileDialog", [&](QWidget* d) { guitest::AcceptPath(static_cast<QFileDialog*>(d), QString::fromStdString(garbage)); });
        bad.Then("QMessageBox", Press(kOk));
        QTest::mouseClick(w.LoadButton(), Qt::LeftButton);
        QVERIFY2(bad.Done(), qPrintable(bad.Missed()));
        QCOMPARE(bad.messages, QStringList({QString::fromUtf8("Não foi possível carregar o arquivo indicado: %1.\n"
                                                              "O arquivo %2 foi carregado novamente.")
                                                .arg(QString::fromStdString(garbage), QString::fromStdString(country))}));
        QCOMPARE(w.SequenceList()->count(), 5);
        QCOMPARE(w.FilePath(), country);

        // Both unreadable: the shorter message and an empty list.
        std::filesystem::remove(country);
        Answers worse;
        worse.Then("QFileDialog", [&](QWidget* d) { guitest::AcceptPath(static_cast<QFileDialog*>(d), QString::fromStdString(garbage)); });
        worse.Then("QMessageBox", Press(kOk));
        QTest::mouseClick(w.LoadButton(), Qt::LeftButton);
        QVERIFY2(worse.Done(), qPrintable(worse.Missed()));
        QCOMPARE(worse.messages, QStringList({QString::fromUtf8("Não foi possível carregar o arquivo indicado: %1.")
                                                  .arg(QString::fromStdString(garbage))}));
        QCOMPARE(w.SequenceList()->count(), 0);
        QCOMPARE(w.Sequences().Count(), 0);
        QVERIFY(!w.DeleteButton()->isEnabled());

        // A good file becomes the file in use: "Grabar" writes it, not the country's.
        Answers good;
        good.Then("QFileDialog", [&](QWidget* d) { guitest::AcceptPath(static_cast<QFileDialog*>(d), QString::fromStdString(other)); });
        QTest::mouseClick(w.LoadButton(), Qt::LeftButton);
        QVERIFY2(good.Done(), qPrintable(good.Missed()));
        QCOMPARE(w.FilePath(), other);
        QCOMPARE(Texts(w.SequenceList()), QStringList({QString::fromStdString(Padded("OTRA"))}));
        QVERIFY(w.DeleteButton()->isEnabled());
        Answers save;
        save.Then("GetStringDlg", Name("nueva"));
        QTest::mouseClick(w.SaveButton(), Qt::LeftButton);
        QVERIFY2(save.Done(), qPrintable(save.Missed()));
        QCOMPARE(Titles(FileContents(other)), (std::vector<std::string>{Padded("OTRA"), Padded("NUEVA")}));
        QVERIFY(!std::filesystem::exists(country));
    }

    void newAndDelete() {
        std::vector<Comando> c = Catalog();
        WriteSequences({Seq(Padded("DUP"), {c[0]}), Seq(Padded("DUP"), {c[1]}), Seq(Padded("OTRA"), {c[2]})});
        SequencesControl w(Catalog());
        Show(w);

        // "Nueva": an empty sequence at the end, an empty working sequence, the last entry selected.
        Answers fresh;
        fresh.Then("GetStringDlg", Name("vacia"));
        QTest::mouseClick(w.NewButton(), Qt::LeftButton);
        QVERIFY2(fresh.Done(), qPrintable(fresh.Missed()));
        QCOMPARE(Titles(FileContents(SequenceFile())).back(), Padded("VACIA"));
        QCOMPARE(FileContents(SequenceFile()).sequencias.back().NumeroComandos(), 0);
        QCOMPARE(w.Working().NumeroComandos(), 0);
        QCOMPARE(w.CommandList()->count(), 0);
        QCOMPARE(Selected(w.SequenceList()), 3);

        // "Excluir" answered No keeps everything; Yes deletes the selected entry, also when an
        // earlier one has the same title.
        ClickRow(w.SequenceList(), 1);
        Answers keep;
        keep.Then("QMessageBox", Press(kNo));
        QTest::mouseClick(w.DeleteButton(), Qt::LeftButton);
        QVERIFY2(keep.Done(), qPrintable(keep.Missed()));
        QCOMPARE(keep.messages, QStringList({QString::fromUtf8("¿Confirma exclusión?")}));
        QCOMPARE(w.Sequences().Count(), 4);
        Answers yes;
        yes.Then("QMessageBox", Press(kYes));
        QTest::mouseClick(w.DeleteButton(), Qt::LeftButton);
        QVERIFY2(yes.Done(), qPrintable(yes.Missed()));
        ListaSequencias l = FileContents(SequenceFile());
        QCOMPARE(Titles(l), (std::vector<std::string>{Padded("DUP"), Padded("OTRA"), Padded("VACIA")}));
        QCOMPARE(CommandTitles(l.sequencias[0]), std::vector<std::string>{"Leer Estado de la Impresora"});
        // The working sequence (DUP's second) stays, and its last command is selected.
        QCOMPARE(CommandTitles(w.Working()), std::vector<std::string>{"Leer Fecha y Hora"});
        QCOMPARE(Selected(w.CommandList()), 0);

        // Nothing selected: "Registro no deletado".
        Answers none;
        none.Then("QMessageBox", Press(kYes)).Then("QMessageBox", Press(kOk));
        QTest::mouseClick(w.DeleteButton(), Qt::LeftButton);
        QVERIFY2(none.Done(), qPrintable(none.Missed()));
        QCOMPARE(none.messages.back(), QString("Registro no deletado"));

        // The last one gone: "Excluir" is disabled.
        for (int i = 0; i < 3; ++i) {
            ClickRow(w.SequenceList(), 0);
            Answers a;
            a.Then("QMessageBox", Press(kYes));
            QTest::mouseClick(w.DeleteButton(), Qt::LeftButton);
            QVERIFY2(a.Done(), qPrintable(a.Missed()));
        }
        QCOMPARE(FileContents(SequenceFile()).Count(), 0);
        QVERIFY(!w.DeleteButton()->isEnabled());
    }

    void failedSaveLosesNothing() {
        // The file in use cannot be replaced (a directory stands in its place).
        std::filesystem::create_directories(SequenceFile());
        SequencesControl w(Catalog());
        Show(w);
        ClickRow(w.AvailableList(), "Vender");
        QTest::mouseClick(w.AddButton(), Qt::LeftButton);
        Answers a;
        a.Then("GetStringDlg", Name("uno")).Then("QMessageBox", Press(kOk));
        a.Then("GetStringDlg", Name("dos")).Then("QMessageBox", Press(kOk));
        QTest::mouseClick(w.SaveButton(), Qt::LeftButton);
        QTest::mouseClick(w.NewButton(), Qt::LeftButton);
        QVERIFY2(a.Done(), qPrintable(a.Missed()));
        QCOMPARE(a.messages, QStringList({"Registro no salvo", "Registro no salvo"}));
        QCOMPARE(w.SequenceList()->count(), 0);
        QCOMPARE(w.Sequences().Count(), 0);
        QVERIFY(std::filesystem::is_directory(SequenceFile()));

        // A file that is there but does not read is kept aside before the first save replaces it.
        std::filesystem::remove(SequenceFile());
        const std::string damaged = "<sequencias><sequencia><titulo>MIA</titulo>";
        std::ofstream(SequenceFile(), std::ios::binary) << damaged;
        SequencesControl again(Catalog());
        Show(again);
        QCOMPARE(again.SequenceList()->count(), 0);
        Answers b;
        b.Then("GetStringDlg", Name("nueva"));
        QTest::mouseClick(again.NewButton(), Qt::LeftButton);
        QVERIFY2(b.Done(), qPrintable(b.Missed()));
        QCOMPARE(ReadBytes(SequenceFile() + ".bak"), damaged);
        QCOMPARE(Titles(FileContents(SequenceFile())), std::vector<std::string>{Padded("NUEVA")});
        // Once the file reads, later saves write it in place.
        b.Then("GetStringDlg", Name("otra"));
        QTest::mouseClick(again.NewButton(), Qt::LeftButton);
        QVERIFY2(b.Done(), qPrintable(b.Missed()));
        QVERIFY(!std::filesystem::exists(SequenceFile() + ".bak2"));
        QCOMPARE(FileContents(SequenceFile()).Count(), 2);
    }

    void commandsAndParameters() {
        SequencesControl w(Catalog());
        Show(w);
        // Adding: with nothing selected at the end (and the first entry selected), then after
        // the selected command.
        for (const char* title : {"Leer Estado de la Impresora", "Leer Fecha y Hora", "Vender"}) {
            ClickRow(w.AvailableList(), title);
            w.CommandList()->clearSelection();
            QTest::mouseClick(w.AddButton(), Qt::LeftButton);
            QCOMPARE(Selected(w.CommandList()), 0);
        }
        ClickRow(w.CommandList(), 1);
        ClickRow(w.AvailableList(), "Programar Caja");
        QTest::mouseClick(w.AddButton(), Qt::LeftButton);
        QCOMPARE(CommandTitles(w.Working()), (std::vector<std::string>{"Leer Estado de la Impresora", "Leer Fecha y Hora",
                                                                        "Programar Caja", "Vender"}));
        QCOMPARE(Selected(w.CommandList()), 2);
        QCOMPARE(w.ParameterList()->rowCount(), 0);

        // Every parameter is listed, the hidden one too.
        ClickRow(w.CommandList(), 2);
        QCOMPARE(w.ParameterList()->rowCount(), 3);
        QCOMPARE(w.ParameterList()->item(1, 0)->text(), QString("Reservado"));
        QCOMPARE(w.ParameterList()->item(1, 1)->text(), QString("si"));
        QCOMPARE(w.ParameterList()->item(1, 2)->text(), QString("07"));

        // Enter on the command list edits all parameters, skipping the hidden one.
        Answers all;
        all.Then("GetStringDlg", Value("A")).Then("GetStringDlg", Value("B"));
        w.CommandList()->setFocus();
        QTest::keyClick(w.CommandList(), Qt::Key_Return);
        QVERIFY2(all.Done(), qPrintable(all.Missed()));
        const auto& p = w.Working().comandos[2].parametros;
        QCOMPARE(p[0].valor, std::string("A   "));
        QCOMPARE(p[1].valor, std::string("07"));
        QCOMPARE(p[2].valor, std::string("B   "));
        QCOMPARE(w.ParameterList()->item(2, 2)->text(), QString("B   "));
        QVERIFY(w.isVisible());

        // Cancelling the second of three: the first keeps its new value, the others stay.
        ClickRow(w.CommandList(), 3);
        Answers cancelled;
        cancelled.Then("GetStringDlg", Value("22222")).Then("GetStringDlg", Reject());
        QTest::mouseDClick(w.CommandList()->viewport(), Qt::LeftButton, {},
                           w.CommandList()->visualItemRect(w.CommandList()->item(3)).center());
        QVERIFY2(cancelled.Done(), qPrintable(cancelled.Missed()));
        const auto& v = w.Working().comandos[3].parametros;
        QCOMPARE(v[0].valor, std::string("22222"));
        QCOMPARE(v[1].valor, std::string("CAFE  "));
        QCOMPARE(v[2].valor, std::string("01"));

        // Enter on the parameter list edits the selected rows, skipping the hidden type.
        ClickRow(w.CommandList(), 2);
        w.ParameterList()->selectAll();
        Answers rows;
        rows.Then("GetStringDlg", Value("9")).Then("GetStringDlg", Value("8"));
        w.ParameterList()->setFocus();
        QTest::keyClick(w.ParameterList(), Qt::Key_Enter);
        QVERIFY2(rows.Done(), qPrintable(rows.Missed()));
        QCOMPARE(w.Working().comandos[2].parametros[0].valor, std::string("9   "));
        QCOMPARE(w.Working().comandos[2].parametros[2].valor, std::string("8   "));

        // Enter on the available list adds; Enter elsewhere does nothing and never closes.
        ClickRow(w.AvailableList(), "Leer Fecha y Hora");
        QTest::keyClick(w.AvailableList(), Qt::Key_Return);
        QCOMPARE(w.Working().NumeroComandos(), 5);
        QCOMPARE(w.Working().comandos[3].titulo, std::string("Leer Fecha y Hora"));
        QSignalSpy finished(&w, &QDialog::finished);
        for (QWidget* target : std::initializer_list<QWidget*>{w.RunsEdit(), w.StopBox(), w.SaveButton(), w.SequenceList()}) {
            target->setFocus();
            QTest::keyClick(target, Qt::Key_Return);
            QVERIFY(w.isVisible());
            QVERIFY(!QApplication::activeModalWidget());
        }
        QCOMPARE(finished.count(), 0);
        QCOMPARE(w.Working().NumeroComandos(), 5);

        // Delete removes the selected command and selects the one before it.
        ClickRow(w.CommandList(), 1);
        QTest::keyClick(w.CommandList(), Qt::Key_Delete);
        QCOMPARE(w.Working().NumeroComandos(), 4);
        QCOMPARE(Selected(w.CommandList()), 0);
        QCOMPARE(w.ParameterList()->rowCount(), 0);
        QTest::keyClick(w.CommandList(), Qt::Key_Delete);
        QCOMPARE(Selected(w.CommandList()), -1);
        QCOMPARE(CommandTitles(w.Working()), (std::vector<std::string>{"Programar Caja", "Leer Fecha y Hora", "Vender"}));

        // Focus on a list without a selection selects its first entry, without filling the
        // parameters.
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.RunsEdit()->setFocus();
        w.CommandList()->setFocus();
        QTRY_COMPARE(Selected(w.CommandList()), 0);
        QCOMPARE(w.ParameterList()->rowCount(), 0);
        w.AvailableList()->clearSelection();
        w.RunsEdit()->setFocus();
        w.AvailableList()->setFocus();
        QTRY_COMPARE(Selected(w.AvailableList()), 0);
    }

    void typeFilterAndModel() {
        GetSettings().FilterCommands = 1;
        GetSettings().ModelMask = 255;
        SequencesControl w(Catalog());
        // One entry per type whatever its case, the empty one first and selected.
        QCOMPARE(Texts(w.TypeList()), QStringList({"", QString::fromUtf8("Cupón Fiscal"), "Lecturas",
                                                    QString::fromUtf8("Programación")}));
        QCOMPARE(Selected(w.TypeList()), 0);
        // The other model's command is not offered.
        QVERIFY(!Texts(w.AvailableList()).contains("Leer Serie"));
        QCOMPARE(w.AvailableList()->count(), 5);
        Show(w);
        ClickRow(w.TypeList(), "Lecturas");
        QCOMPARE(Texts(w.AvailableList()), QStringList({"Leer Estado de la Impresora", "Leer Fecha y Hora"}));
        ClickRow(w.TypeList(), 0);
        QCOMPARE(w.AvailableList()->count(), 5);

        GetSettings().FilterCommands = 0;
        SequencesControl all(Catalog());
        QVERIFY(Texts(all.AvailableList()).contains("Leer Serie"));
    }

    void runOptionsGoToSettings() {
        Settings& s = GetSettings();
        s.LoopSequences = 0;
        s.DelayBetweenCommands = 4;
        s.StopOnError = 1;
        s.PauseOnError = 0;
        SequencesControl w(Catalog());
        Show(w);
        QCOMPARE(w.RunsEdit()->text(), QString("1"));
        QCOMPARE(w.DelayEdit()->text(), QString("4"));
        QVERIFY(w.StopBox()->isChecked());
        QVERIFY(!w.PauseBox()->isChecked());
        QVERIFY(!w.StepBox()->isChecked() && !w.InsertBox()->isChecked());

        QTest::mouseClick(w.StopBox(), Qt::LeftButton);
        QCOMPARE(s.StopOnError, 0);
        QTest::mouseClick(w.PauseBox(), Qt::LeftButton);
        QCOMPARE(s.PauseOnError, 1);
        Type(w.RunsEdit(), "25");
        QCOMPARE(s.LoopSequences, 25);
        Type(w.DelayEdit(), "7");
        QCOMPARE(s.DelayBetweenCommands, 7);
        // Only digits reach the runs field.
        QTest::keyClicks(w.RunsEdit(), "x");
        QCOMPARE(w.RunsEdit()->text(), QString("25"));

        // Numbers out of range: the message, the focus on the field, the last good value kept.
        Answers a;
        a.Then("QMessageBox", Press(kOk));
        Type(w.RunsEdit(), "0");
        QVERIFY2(a.Done(), qPrintable(a.Missed()));
        QCOMPARE(a.messages, QStringList({"Please enter an integer between 1 and 999999."}));
        QCOMPARE(s.LoopSequences, 25);
        QCOMPARE(w.focusWidget(), w.RunsEdit());
        Type(w.RunsEdit(), "999999");
        QCOMPARE(s.LoopSequences, 999999);

        Answers d;
        d.Then("QMessageBox", Press(kOk)).Then("QMessageBox", Press(kOk));
        Type(w.DelayEdit(), "-");
        // The field's text is selected after the message; the next key goes after it.
        QTest::keyClick(w.DelayEdit(), Qt::Key_End);
        QTest::keyClick(w.DelayEdit(), '1');
        QVERIFY2(d.Done(), qPrintable(d.Missed()));
        QCOMPARE(d.messages, QStringList({"Please enter an integer.", "Please enter an integer between 0 and 99."}));
        QCOMPARE(s.DelayBetweenCommands, 7);
        QCOMPARE(w.focusWidget(), w.DelayEdit());
        // "Paso a paso" and "Inserir" live in the window only.
        const Settings before = s;
        QTest::mouseClick(w.StepBox(), Qt::LeftButton);
        QTest::mouseClick(w.InsertBox(), Qt::LeftButton);
        QCOMPARE(s.StopOnError, before.StopOnError);
        QCOMPARE(s.PauseOnError, before.PauseOnError);
        QCOMPARE(s.LoopSequences, before.LoopSequences);
    }

    void otherWindows() {
        SequencesControl w(Catalog());
        Show(w);
        // The settings dialog with the filter and the model locked; its results are taken.
        GetSettings().ShowResults = 0;
        bool filter_locked = false, model_locked = false;
        Answers cfg;
        cfg.Then("ConfigDlg", [&](QWidget* d) {
            auto* c = static_cast<ConfigDlg*>(d);
            filter_locked = !c->FilterBox()->isEnabled();
            model_locked = !c->ModelList()->isEnabled();
            c->ShowResultsBox()->setChecked(true);
            QTest::mouseClick(c->OkButton(), Qt::LeftButton);
        });
        QTest::mouseClick(w.SettingsButton(), Qt::LeftButton);
        QVERIFY2(cfg.Done(), qPrintable(cfg.Missed()));
        QVERIFY(filter_locked && model_locked);
        QCOMPARE(GetSettings().ShowResults, 1);

        // The about box stays beside the window, not over it.
        QTest::mouseClick(w.HelpButton(), Qt::LeftButton);
        auto* about = w.findChild<AboutBoxDlg*>();
        QVERIFY(about && about->isVisible());
        QVERIFY(!about->isModal());
        about->close();

        // The command reference: the country's file, else the loaded catalog, else comandos.xml.
        QStringList opened;
        SetDocumentOpener([&](const QString& path) {
            opened << path;
            return true;
        });
        for (const char* f : {"comandos_vn.xml", "comandos.xml", "mi_catalogo.xml"}) std::ofstream(dir_->File(f)) << "x";
        QTest::mouseClick(w.ReferenceButton(), Qt::LeftButton);
        GetSettings().Country = "LOTERIAS";
        QTest::mouseClick(w.ReferenceButton(), Qt::LeftButton);
        GetSettings().CatalogPath = dir_->File("mi_catalogo.xml");
        QTest::mouseClick(w.ReferenceButton(), Qt::LeftButton);
        QCOMPARE(opened, QStringList({QString::fromStdString(dir_->File("comandos_vn.xml")),
                                      QString::fromStdString(dir_->File("comandos.xml")),
                                      QString::fromStdString(dir_->File("mi_catalogo.xml"))}));

        // The graphic cliché window, modal.
        Answers cliche;
        cliche.Then("GraphicClicheDlg", Reject());
        QTest::mouseClick(w.ClicheButton(), Qt::LeftButton);
        QVERIFY2(cliche.Done(), qPrintable(cliche.Missed()));
    }

    void runsAgainstTheSimulator() {
        if (!QFile::exists(QString::fromStdString(test::ProgramPath("ordavo-printer-sim"))))
            QSKIP("ordavo-printer-sim is not built");
        const std::string control = dir_->File("control");
        std::ofstream(control) << "normal\n";
        test::Simulator sim({"--verbose", "--control", control});
        QVERIFY2(sim.ok(), sim.process().Errors().c_str());
        std::vector<Comando> c = Catalog();
        WriteSequences({Seq(Padded("LECTURAS"), {c[0], c[1]})});
        Settings& s = GetSettings();
        s.PortName = sim.path();
        s.ShowResults = 1;
        RecordingClock clock;
        EngineEnv().clock = &clock;
        auto frames = [&] { return Count(sim.process().Errors(), "ordavo-printer-sim: <- "); };

        SequencesControl w(Catalog());
        Show(w);
        QCOMPARE(CommandTitles(w.Working()), (std::vector<std::string>{"Leer Estado de la Impresora", "Leer Fecha y Hora"}));
        Type(w.RunsEdit(), "3");
        Type(w.DelayEdit(), "1");
        QTest::mouseClick(w.StopBox(), Qt::LeftButton);
        QCOMPARE(s.StopOnError, 1);
        bool disabled_while_running = false;
        clock.on_sleep = [&](int) { disabled_while_running = !w.findChild<QWidget*>("body")->isEnabled(); };

        // Three runs, each command followed by the delay.
        std::string message, dump;
        Answers done;
        done.Then("MessageReturnDlg", [&](QWidget* d) {
            message = static_cast<MessageReturnDlg*>(d)->Message();
            dump = static_cast<MessageReturnDlg*>(d)->Dump();
            static_cast<QDialog*>(d)->reject();
        });
        QTest::mouseClick(w.RunButton(), Qt::LeftButton);
        QVERIFY2(done.Done(), qPrintable(done.Missed()));
        QVERIFY(disabled_while_running);
        QVERIFY(w.findChild<QWidget*>("body")->isEnabled());
        QCOMPARE(w.LastRunResult(), 0);
        QCOMPARE(w.LastRunsMade(), 3);
        QCOMPARE(clock.sleeps, std::vector<int>(6, 1000));
        QTRY_COMPARE(frames(), 6);
        QCOMPARE(Count(message, kStart), 3);
        QCOMPARE(Count(message, kEnd), 3);
        QCOMPARE(message, w.LastRunText());
        QCOMPARE(Count(dump, "CMD:"), 6);
        // The working sequence itself keeps no run texts.
        QVERIFY(w.Working().resultado.empty() && w.Working().dump_total.empty());

        // The printer refuses from the second run's second command on: two runs, then the
        // error text.
        clock.sleeps.clear();
        clock.on_sleep = [&](int n) {
            if (n == 3) std::ofstream(control) << "nak 1\n";
        };
        Answers failed;
        failed.Then("MessageReturnDlg", Reject());
        QTest::mouseClick(w.RunButton(), Qt::LeftButton);
        QVERIFY2(failed.Done(), qPrintable(failed.Missed()));
        QCOMPARE(w.LastRunResult(), -4);
        QCOMPARE(w.LastRunsMade(), 2);
        QCOMPARE(clock.sleeps, std::vector<int>(3, 1000));
        QTRY_COMPARE(frames(), 10);
        const std::string& text = w.LastRunText();
        QCOMPARE(Count(text, kStart), 2);
        QCOMPARE(Count(text, kEnd), 2);
        QVERIFY2(text.size() > 23 && text.compare(text.size() - 23, 23, "Error al enviar comando") == 0, text.c_str());

        // Escape pressed in the pause after the first command: the run ends before the second.
        std::ofstream(control) << "normal\n";
        clock.sleeps.clear();
        clock.on_sleep = [&](int n) {
            if (n != 1) return;
            for (QWidget* t : QApplication::topLevelWidgets())
                if (auto* p = qobject_cast<ProgressWnd*>(t); p && p->isVisible() &&
                                                              p->windowTitle().startsWith(QString::fromUtf8("Ejecutando secuéncia")))
                    QCoreApplication::postEvent(p, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        };
        Answers escaped;
        escaped.Then("MessageReturnDlg", Reject());
        QTest::mouseClick(w.RunButton(), Qt::LeftButton);
        QVERIFY2(escaped.Done(), qPrintable(escaped.Missed()));
        QCOMPARE(w.LastRunResult(), -6);
        QCOMPARE(w.LastRunsMade(), 1);
        QCOMPARE(clock.sleeps.size(), size_t(1));
        QTest::qWait(200);
        QCOMPARE(frames(), 11);
        QVERIFY(w.LastRunText().find(kEnd) == std::string::npos);
        QVERIFY(w.LastRunText().compare(w.LastRunText().size() - 17, 17, "Secu\xE9ncia anulada") == 0);
    }

    void runAtEntry() {
        if (!QFile::exists(QString::fromStdString(test::ProgramPath("ordavo-printer-sim"))))
            QSKIP("ordavo-printer-sim is not built");
        test::Simulator sim({"--verbose"});
        QVERIFY2(sim.ok(), sim.process().Errors().c_str());
        WriteSequences(Five());
        Settings& s = GetSettings();
        s.PortName = sim.path();
        s.ShowResults = 1;
        s.RunSequenceAtEntry = 1;
        s.DefaultSequence = 1;
        RecordingClock clock;
        EngineEnv().clock = &clock;

        SequencesControl w(Catalog());
        bool window_shown_first = true;
        std::string message;
        Answers a;
        a.Then("MessageReturnDlg", [&](QWidget* d) {
            window_shown_first = w.isVisible();
            message = static_cast<MessageReturnDlg*>(d)->Message();
            static_cast<QDialog*>(d)->reject();
        });
        a.Then("SequencesControl", Reject());
        QSignalSpy closed(&w, &QDialog::rejected);
        w.exec();
        QCOMPARE(closed.count(), 1);
        QVERIFY2(a.Done(), qPrintable(a.Missed()));
        QVERIFY(!window_shown_first);
        QCOMPARE(w.LastRunResult(), 0);
        QCOMPARE(Count(message, kStart), 1);
        QTRY_COMPARE(Count(sim.process().Errors(), "ordavo-printer-sim: <- "), 1);
    }

    void screenshot() {
        const std::string catalog_path = test::CatalogDir() + "/comandos_vn.xml";
        std::vector<Comando> catalog;
        QCOMPARE(CarregarArquivoCatalogo(catalog_path, catalog), 0);
        std::filesystem::copy_file(test::CatalogDir() + "/secuencia_rd.xml", SequenceFile());
        SequencesControl w(catalog);
        w.resize(1120, 680);
        Show(w);
        QVERIFY(w.SequenceList()->count() > 0);
        QCOMPARE(Selected(w.SequenceList()), 0);
        QVERIFY(w.CommandList()->count() > 1);
        ClickRow(w.CommandList(), 1);
        QVERIFY(w.ParameterList()->rowCount() > 1);
        w.ParameterList()->selectRow(1);
        QTest::qWait(50);
        guitest::Screenshot(&w, "sequence_window");
    }
};

QTEST_MAIN(SequenceWindowTest)
#include "sequence_window_test.moc"
