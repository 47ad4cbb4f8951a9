#include "programming/gui/configurations_control.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/env.h"
#include "engine/strings.h"
#include "engine/util.h"
#include "programming/core/browse.h"
#include "shell/gui/gui_support.h"

namespace ordavo::gui {
namespace {

void Fill(QComboBox* box, const std::vector<std::string>& entries) {
    box->clear();
    for (const std::string& e : entries) box->addItem(Q(e));
    box->setCurrentIndex(-1);
    box->setEditText(QString());
}

std::string StoreFile(const std::string& file) {
    return file.empty() ? EquipmentStorePath(EngineEnv().settings->AppDirectory) : file;
}

}  // namespace

ConfigurationsControl::ConfigurationsControl(QWidget* parent, const std::string& file)
    : QDialog(parent), ordavo::ConfigurationsControl(StoreFile(file)) {
    setObjectName("ConfigurationsControl");
    setWindowTitle(Q(textos::kCargarConfiguraciones));

    auto combo = [this](const char* name) {
        auto* box = new QComboBox(this);
        box->setObjectName(name);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setMinimumWidth(220);
        return box;
    };
    clients_ = combo("clients");
    serials_ = combo("serials");
    search_ = new QPushButton(Q(textos::kBuscar), this);
    search_->setObjectName("search");
    found_ = new QListWidget(this);
    found_->setObjectName("found");
    found_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    description_ = new QPlainTextEdit(this);
    description_->setObjectName("description");
    description_->setReadOnly(true);
    delete_ = new QPushButton(Q(textos::kExcluir), this);
    delete_->setObjectName("delete");
    load_ = new QPushButton(Q(textos::kCargarConfiguracion), this);
    load_->setObjectName("load");
    cancel_ = new QPushButton(this);
    cancel_->setObjectName("cancel");
    CaptionAnular(cancel_);
    for (QPushButton* b : {search_, delete_, load_, cancel_}) b->setAutoDefault(false);

    auto* top = new QGridLayout();
    auto* client_label = new QLabel(Q(textos::kClientes), this);
    client_label->setBuddy(clients_);
    auto* serial_label = new QLabel(Q(textos::kNumeroSerial), this);
    serial_label->setBuddy(serials_);
    top->addWidget(client_label, 0, 0);
    top->addWidget(clients_, 1, 0);
    top->addWidget(serial_label, 0, 1);
    top->addWidget(serials_, 1, 1);
    top->addWidget(search_, 1, 2);

    auto* lists = new QGridLayout();
    lists->addWidget(new QLabel(Q(textos::kRegistrosEncuentrados), this), 0, 0);
    lists->addWidget(new QLabel(Q(textos::kDescripcion), this), 0, 1);
    lists->addWidget(found_, 1, 0);
    lists->addWidget(description_, 1, 1);
    lists->setColumnStretch(1, 2);
    lists->setColumnStretch(0, 1);

    auto* buttons = new QHBoxLayout();
    buttons->addWidget(delete_);
    buttons->addStretch(1);
    buttons->addWidget(load_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addLayout(lists, 1);
    layout->addLayout(buttons);
    resize(640, 360);

    clients_->installEventFilter(this);
    if (clients_->lineEdit()) clients_->lineEdit()->installEventFilter(this);
    connect(clients_->lineEdit(), &QLineEdit::textEdited, this, [this] { serials_->setEditText(QString()); });
    connect(search_, &QPushButton::clicked, this, [this] { OnSearch(); });
    connect(found_, &QListWidget::currentRowChanged, this, [this] { OnFoundSelected(); });
    connect(delete_, &QPushButton::clicked, this, [this] { OnDelete(); });
    connect(load_, &QPushButton::clicked, this, [this] { OnLoad(); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    InstallHelpKey(this);
}

void ConfigurationsControl::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!opened_) {
        opened_ = true;
        Open();
    }
}

void ConfigurationsControl::Open() {
    {
        std::unique_ptr<WaitWindow> wait = EngineEnv().ui->ShowWait(Str(IDS_AGUARDE));
        ReadEquipments();
    }
    selected = false;
    dirty = false;
    FillBoxes(false);
}

void ConfigurationsControl::FillBoxes(bool clients_with_empty) {
    Fill(clients_, ClientEntries(records, clients_with_empty));
    Fill(serials_, SerialEntries(records));
}

bool ConfigurationsControl::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == clients_ || watched == clients_->lineEdit()) && event->type() == QEvent::FocusOut &&
        !clients_->isAncestorOf(QApplication::focusWidget()) && QApplication::focusWidget() != clients_)
        OnClientLeft();
    return QDialog::eventFilter(watched, event);
}

void ConfigurationsControl::OnClientLeft() {
    const std::string client = Cp(clients_->currentText());
    serials_->setEditText(QString());
    if (!client.empty()) Fill(serials_, SerialsOfClient(records, client));
}

void ConfigurationsControl::OnSearch() {
    found_->clear();
    description_->clear();
    const std::string client = Cp(clients_->currentText());
    const std::string serial = Cp(serials_->currentText());
    clients_->setEditText(QString());
    serials_->setEditText(QString());
    {
        QSignalBlocker block(found_);
        for (const std::string& s : SearchRecords(records, client, serial)) found_->addItem(Q(s));
        found_->setCurrentRow(-1);
    }
    Fill(serials_, SerialEntries(records));
    selected = false;
}

void ConfigurationsControl::OnFoundSelected() {
    QListWidgetItem* item = found_->currentItem();
    if (!item) return;
    const Equipment* record = LastOfSerial(records, Cp(item->text()));
    if (!record) return;
    description_->setPlainText(Q(RecordDescription(*record)).replace("\r\n", "\n"));
    selected_record = *record;
    selected = true;
}

void ConfigurationsControl::AskToSave() {
    if (dirty && EngineEnv().ui->MessageBox(textos::kDeseaGrabar, "", MsgButtons::YesNo, MsgIcon::Question))
        WriteEquipments();
}

void ConfigurationsControl::OnDelete() {
    QListWidgetItem* item = found_->currentItem();
    if (item && RemoveSerial(records, Cp(item->text())) > 0) {
        dirty = true;
        count = static_cast<int>(records.size());
    }
    AskToSave();
    selected = false;
    {
        QSignalBlocker block(found_);
        found_->clear();
    }
    description_->clear();
    FillBoxes(true);
}

void ConfigurationsControl::OnLoad() {
    AskToSave();
    if (selected) {
        accept();
        return;
    }
    EngineEnv().ui->MessageBox(textos::kElijaRegistro, "", MsgButtons::Ok, MsgIcon::None);
}

}  // namespace ordavo::gui
