#include "pdf417/gui/serial_config_dlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/gui/gui_support.h"

namespace ordavo::gui {
namespace {

QComboBox* List(QWidget* parent, const char* name, const std::vector<std::string>& entries, int index) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    for (const std::string& e : entries) list->addItem(Q(e));
    // An index that is no entry selects nothing, as the stored value says.
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
    return list;
}

}  // namespace

SerialConfigDlg::SerialConfigDlg(QWidget* parent, pdf417::ScannerProfile& profile)
    : QDialog(parent), profile_(profile), settings_(pdf417::ScannerSettings::ForDialog(profile)) {
    setObjectName("SerialConfigDlg");
    setWindowTitle("Scanner Port");
    const int port_index = pdf417::PortIndexOf(settings_.port_name);
    port_ = List(this, "port", pdf417::PortEntries(), port_index);
    port_->setEditable(true);
    port_->setInsertPolicy(QComboBox::NoInsert);
    if (port_index < 0) port_->setEditText(QPath(settings_.port_name));
    speed_ = List(this, "speed", pdf417::BaudEntries(), settings_.baud_index);
    byte_length_ = List(this, "byteLength", pdf417::ByteLengthEntries(), settings_.byte_length_index);
    parity_ = List(this, "parity", pdf417::ParityEntries(), settings_.parity_index);
    stop_bits_ = List(this, "stopBits", pdf417::StopBitsEntries(), settings_.stop_bits_index);
    handshake_ = List(this, "handshake", pdf417::HandshakeEntries(), settings_.handshake_index);

    auto* form = new QFormLayout;
    form->addRow("Puerta:", port_);
    form->addRow("Velocidad:", speed_);
    form->addRow("Bits de datos:", byte_length_);
    form->addRow("Paridad:", parity_);
    form->addRow("Bits de parada:", stop_bits_);
    form->addRow("Control de flujo:", handshake_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    CaptionAnular(buttons->button(QDialogButtonBox::Cancel));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    InstallHelpKey(this);
}

void SerialConfigDlg::accept() {
    const std::string typed = NativePath(port_->currentText().trimmed());
    int index = port_->currentIndex();
    if (index >= 0 && port_->itemText(index) != port_->currentText().trimmed()) index = -1;
    settings_.port_name = pdf417::PortNameFor(settings_.port_name, index, typed);
    settings_.baud_index = speed_->currentIndex();
    settings_.byte_length_index = byte_length_->currentIndex();
    settings_.parity_index = parity_->currentIndex();
    settings_.stop_bits_index = stop_bits_->currentIndex();
    settings_.handshake_index = handshake_->currentIndex();
    settings_.Write(profile_);
    QDialog::accept();
}

}  // namespace ordavo::gui
