#include "fiscalmemory/gui/report_dialogs.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>

#include "shell/gui/gui_support.h"

namespace ordavo::gui {

namespace {

QLineEdit* Edit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

DayDate Day(const QDateEdit* picker) {
    QDate d = picker->date();
    return DayDate{d.day(), d.month(), d.year()};
}

}  // namespace

VerConex::VerConex(QWidget* parent) : MfdSelectionDialog(parent) {
    setObjectName("VerConex");
    setWindowTitle(Q("Verificar Conexi\xF3n"));
    brand_ = Edit(this, "edit1325");
    model_ = Edit(this, "edit1326");
    LayOut({}, {{Q("Marca:"), brand_}, {Q("Modelo:"), model_}, {QString(), new QLabel(Q("Kestrel 2: F A"), this)},
                {QString(), new QLabel(Q("Heron 2 TH: F B"), this)}},
           {});
    brand_->setFocus();
}

std::string VerConex::Brand() const { return Cp(brand_->text()); }
std::string VerConex::Model() const { return Cp(model_->text()); }

VerConexPanama::VerConexPanama(QWidget* parent) : MfdSelectionDialog(parent) {
    setObjectName("VerConexPanama");
    setWindowTitle(Q("Verificar Conexi\xF3n"));
    model_ = new QComboBox(this);
    model_->setObjectName("combo1330");
    model_->addItem(Q("Heron 4 TH"));
    LayOut({}, {{Q("Modelo:"), model_}}, {});
}

std::string VerConexPanama::Model() const { return Cp(model_->currentText()); }

GeraXMLPanama::GeraXMLPanama(QWidget* parent) : MfdSelectionDialog(parent) {
    setObjectName("GeraXMLPanama");
    setWindowTitle(Q("Generar XML"));
    auto picker = [this](const char* name) {
        auto* p = new QDateEdit(QDate::currentDate(), this);
        p->setObjectName(name);
        p->setCalendarPopup(true);
        p->setDisplayFormat("dd/MM/yyyy");
        return p;
    };
    first_ = picker("date1334");
    last_ = picker("date1335");
    LayOut({}, {{Q("Fecha Inicial:"), first_}, {Q("Fecha Final:"), last_}}, {});
}

DayDate GeraXMLPanama::First() const { return Day(first_); }
DayDate GeraXMLPanama::Last() const { return Day(last_); }

bool ChooseOpenFiles(QWidget* parent, const std::string& title, std::vector<std::string>& chosen) {
    QFileDialog dialog(DialogParent(parent));
    dialog.setWindowTitle(Q(title));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    InstallHelpKey(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    chosen.clear();
    for (const QString& f : dialog.selectedFiles()) chosen.push_back(NativePath(f));
    return true;
}

}  // namespace ordavo::gui
