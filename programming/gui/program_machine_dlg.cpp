#include "programming/gui/program_machine_dlg.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "engine/env.h"
#include "engine/strings.h"
#include "programming/core/programming.h"
#include "programming/gui/configurations_control.h"
#include "programming/gui/programming_pages.h"
#include "shell/gui/gui_support.h"
#include "shell/gui/message_return_dlg.h"

namespace ordavo::gui {

ProgramMachineDlg::ProgramMachineDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("ProgramMachineDlg");
    setWindowTitle(Q(textos::kProgramarEquipo));
    auto button = [this](const char* name, const char* caption) {
        auto* b = new QPushButton(Q(caption), this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        b->setMinimumWidth(280);
        return b;
    };
    existing_ = button("existing", textos::kCargarExistentes);
    from_printer_ = button("fromPrinter", textos::kCargarDelEquipo);
    new_ = button("new", textos::kNuevaConfiguracion);
    cancel_ = button("cancel", "");
    CaptionAnular(cancel_);
    cancel_->setMinimumWidth(0);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(10);
    layout->addWidget(existing_);
    layout->addWidget(from_printer_);
    layout->addWidget(new_);
    layout->addSpacing(8);
    layout->addWidget(cancel_, 0, Qt::AlignRight);
    connect(existing_, &QPushButton::clicked, this, [this] { OnExisting(); });
    connect(from_printer_, &QPushButton::clicked, this, [this] { OnFromPrinter(); });
    connect(new_, &QPushButton::clicked, this, [this] { ProgramPrinter(); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    InstallHelpKey(this);
}

void ProgramMachineDlg::OnExisting() {
    ConfigurationsControl browse(this);
    browse.exec();
    // Whichever button closed it: a record picked is a record to program.
    if (!browse.selected) return;
    current = browse.selected_record;
    ProgramPrinter();
}

void ProgramMachineDlg::OnFromPrinter() {
    {
        std::unique_ptr<WaitWindow> wait = EngineEnv().ui->ShowWait(Str(IDS_AGUARDE));
        ReadPrinterConfiguration(current, EngineEnv().settings->ModelMask);
    }
    ProgramPrinter();
}

void ProgramMachineDlg::ProgramPrinter() {
    Environment& env = EngineEnv();
    const Settings& s = *env.settings;
    ProgrammingSheet sheet(current, s.ModelMask, s.ModelName, this);
    if (sheet.exec() != QDialog::Accepted) {
        accept();
        return;
    }
    sheet.Store(current);
    OfferToSave(current, EquipmentStorePath(s.AppDirectory), *env.ui);

    std::unique_ptr<WaitWindow> wait = env.ui->ShowWait(Str(IDS_AGUARDE));
    SequenciaComandos sequence = BuildProgrammingSequence(current, s.ModelMask, s.ModelName);
    RunProgramming(sequence);
    MessageReturnDlg result(this);
    result.SetMessage(sequence.resultado);
    result.SetDump(sequence.dump_total);
    result.exec();
}

void OpenProgramMachine(QWidget* parent) {
    ProgramMachineDlg dialog(parent);
    dialog.exec();
}

}  // namespace ordavo::gui
