#include "shell/gui/config_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QVBoxLayout>

#include "engine/strings.h"
#include "shell/gui/gui_support.h"
#include "shell/gui/wait_dlg.h"

namespace ordavo::gui {
namespace {

QString& PrivilegeProgram() {
    static QString program = "pkexec";
    return program;
}

QComboBox* MakeList(QWidget* parent, const char* name, const std::vector<std::string>& entries) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setMaxVisibleItems(20);
    for (const std::string& e : entries) list->addItem(Q(e));
    return list;
}

// Each list selects the first entry that begins with the text, ignoring case; otherwise the
// text stays typed in its edit field.
void PutText(QComboBox* list, const std::string& text, const std::vector<std::string>& entries) {
    int index = FindListEntry(entries, text);
    if (index >= 0) {
        list->setCurrentIndex(index);
    } else {
        list->setCurrentIndex(-1);
        list->setEditText(Q(text));
    }
}

std::vector<std::string> Entries(const QComboBox* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i) out.push_back(Cp(list->itemText(i)));
    return out;
}

void ShowDriverError(QWidget* parent, const QString& reason) {
    QMessageBox::warning(parent, QStr(IDS_CONFIGURACIONES), QStr(IDS_CFG_ERROR_DRIVER_USB) + reason);
}

}  // namespace

void ConfigDlg::SetPrivilegeProgram(const QString& program) { PrivilegeProgram() = program; }

ConfigDlg::ConfigDlg(QWidget* parent, bool lock_filter, bool lock_model) : QDialog(parent) {
    setObjectName("ConfigDlg");
    setWindowTitle(QStr(IDS_CONFIGURACIONES));
    fields_.lock_filter = lock_filter;
    fields_.lock_model = lock_model;

    std::vector<std::string> ports = PortEntries();
    for (const std::string& extra : ExtraPortEntries()) ports.push_back(extra);
    port_ = MakeList(this, "port", ports);
    model_ = MakeList(this, "model", ModelEntries());
    country_ = MakeList(this, "country", CountryEntries());
    speed_ = MakeList(this, "speed", SpeedEntries());
    host_label_ = new QLabel("Servidor (host:puerto):", this);
    host_ = new QLineEdit(this);
    host_->setObjectName("host");
    host_->setPlaceholderText("192.168.0.10:21");

    show_results_ = new QCheckBox(QStr(IDS_CFG_MOSTRAR_RESULTADOS), this);
    show_results_->setObjectName("showResults");
    extended_ = new QCheckBox(QStr(IDS_CFG_RETORNO_EXTENDIDO), this);
    extended_->setObjectName("extendedReturn");
    filter_ = new QCheckBox(QStr(IDS_CFG_FILTRAR), this);
    filter_->setObjectName("filter");

    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("ok");
    ok_->setDefault(true);
    cancel_ = new QPushButton(this);
    cancel_->setObjectName("cancel");
    CaptionAnular(cancel_);
    usb_ = new QPushButton(QStr(IDS_CFG_INSTALAR_USB), this);
    usb_->setObjectName("installUsb");
    usb_->setAutoDefault(false);
    connect(ok_, &QPushButton::clicked, this, &ConfigDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(usb_, &QPushButton::clicked, this, &ConfigDlg::InstallUsbDriver);
    connect(port_, &QComboBox::currentTextChanged, this, [this] { UpdateHostField(); });

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    int row = 0;
    auto add_row = [&](int text_id, QWidget* field) {
        auto* label = new QLabel(QStr(text_id), this);
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    };
    add_row(IDS_CFG_EQUIPO, model_);
    add_row(IDS_CFG_PUERTO, port_);
    grid->addWidget(host_label_, row, 0);
    grid->addWidget(host_, row, 1);
    ++row;
    add_row(IDS_CFG_TASA, speed_);
    add_row(IDS_CFG_PAIS, country_);
    grid->setColumnStretch(1, 1);
    for (QComboBox* list : {port_, model_, country_, speed_}) list->setMinimumWidth(260);

    auto* checks = new QVBoxLayout;
    checks->addWidget(show_results_);
    checks->addWidget(filter_);
    checks->addWidget(extended_);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addStretch(1);
    buttons->addWidget(usb_);

    auto* left = new QVBoxLayout;
    left->addLayout(grid);
    left->addSpacing(10);
    left->addLayout(checks);
    left->addStretch(1);
    auto* top = new QHBoxLayout(this);
    top->setContentsMargins(16, 16, 16, 16);
    top->setSpacing(20);
    top->addLayout(left, 1);
    top->addLayout(buttons);

    // OnInitDialog: the current settings into the fields, the locks, then the controls.
    fields_ = ConfigFieldsFrom(GetSettings());
    fields_.lock_filter = lock_filter;
    fields_.lock_model = lock_model;
    filter_->setEnabled(!lock_filter);
    model_->setEnabled(!lock_model);
    WriteControls();
    InstallHelpKey(this);
}

void ConfigDlg::WriteControls() {
    PutText(port_, fields_.port, Entries(port_));
    PutText(model_, fields_.model, Entries(model_));
    PutText(country_, fields_.country, Entries(country_));
    PutText(speed_, fields_.speed, Entries(speed_));
    host_->setText(Q(fields_.socket_peer));
    show_results_->setChecked(fields_.show_results != 0);
    extended_->setChecked(fields_.extended_return != 0);
    filter_->setChecked(fields_.filter != 0);
    UpdateHostField();
}

void ConfigDlg::ReadControls() {
    fields_.port = Cp(port_->currentText());
    fields_.model = Cp(model_->currentText());
    fields_.country = Cp(country_->currentText());
    fields_.speed = Cp(speed_->currentText());
    fields_.socket_peer = Cp(host_->text().trimmed());
    fields_.show_results = show_results_->isChecked() ? 1 : 0;
    fields_.extended_return = extended_->isChecked() ? 1 : 0;
    fields_.filter = filter_->isChecked() ? 1 : 0;
}

void ConfigDlg::UpdateHostField() {
    bool socket = port_->currentText() == "SOCKET";
    host_label_->setVisible(socket);
    host_->setVisible(socket);
}

void ConfigDlg::accept() {
    ReadControls();
    ApplyConfigOk(fields_, GetSettings());
    WriteControls();
    QDialog::accept();
}

void ConfigDlg::InstallUsbDriver() {
    QTemporaryFile rules(QDir::tempPath() + "/ordavo-udev-XXXXXX.rules");
    if (!rules.open() || rules.write(QByteArray::fromStdString(UdevRulesText())) < 0 || !rules.flush()) {
        ShowDriverError(this, rules.errorString());
        return;
    }
    rules.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                         QFileDevice::ReadOther);

    QString program = PrivilegeProgram();
    if (QStandardPaths::findExecutable(program).isEmpty() && !QFileInfo(program).isExecutable()) {
        ShowDriverError(this, "The specified file was not found.");
        return;
    }

    auto wait = std::make_unique<WaitDlg>(Str(IDS_AGUARDE), this);
    setEnabled(false);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QEventLoop loop;
    connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    process.start(program, {"/bin/sh", "-c", QString::fromStdString(UdevInstallScript()), "sh", rules.fileName()});
    bool started = process.waitForStarted(10000);
    // The authentication agent's password question may take a while: keep painting meanwhile.
    if (started && process.state() != QProcess::NotRunning) loop.exec();
    setEnabled(true);
    wait.reset();

    if (!started) {
        ShowDriverError(this, process.errorString());
    } else if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        QString output = QString::fromLocal8Bit(process.readAll()).trimmed();
        ShowDriverError(this, QString(": %1 (%2)").arg(output.isEmpty() ? program : output).arg(process.exitCode()));
    }
}

}  // namespace ordavo::gui
