// The scanner's serial settings: six lists holding indices, read from and written back to the
// profile. The port list also takes a device path typed by hand.
#pragma once

#include <QDialog>

#include "pdf417/core/scanner_settings.h"

class QComboBox;

namespace ordavo::gui {

class SerialConfigDlg : public QDialog {
    Q_OBJECT
public:
    SerialConfigDlg(QWidget* parent, pdf417::ScannerProfile& profile);

    QComboBox* Port() const { return port_; }
    QComboBox* Speed() const { return speed_; }
    QComboBox* ByteLength() const { return byte_length_; }
    QComboBox* Parity() const { return parity_; }
    QComboBox* StopBits() const { return stop_bits_; }
    QComboBox* Handshake() const { return handshake_; }

    void accept() override;

private:
    pdf417::ScannerProfile& profile_;
    pdf417::ScannerSettings settings_;
    QComboBox *port_, *speed_, *byte_length_, *parity_, *stop_bits_, *handshake_;
};

}  // namespace ordavo::gui
