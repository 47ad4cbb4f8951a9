// The settings dialog: port, speed, model, country, three behaviour flags, and the button that
// gives the user access to the maker's USB printers.
#pragma once

#include <QDialog>
#include <QString>

#include "shell/core/config_model.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ordavo::gui {

class ConfigDlg : public QDialog {
    Q_OBJECT
public:
    // The sequence window locks the filter and the model.
    explicit ConfigDlg(QWidget* parent = nullptr, bool lock_filter = false, bool lock_model = false);

    // After OK: the values the caller takes over (model, show results, filter, extended return).
    const ConfigFields& Fields() const { return fields_; }

    QComboBox* PortList() const { return port_; }
    QComboBox* ModelList() const { return model_; }
    QComboBox* CountryList() const { return country_; }
    QComboBox* SpeedList() const { return speed_; }
    QLineEdit* HostField() const { return host_; }
    QCheckBox* ShowResultsBox() const { return show_results_; }
    QCheckBox* ExtendedReturnBox() const { return extended_; }
    QCheckBox* FilterBox() const { return filter_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QPushButton* UsbButton() const { return usb_; }

    // The program that runs the installation as root ("pkexec"); tests point it elsewhere.
    static void SetPrivilegeProgram(const QString& program);

public slots:
    void accept() override;  // OnOK
    void InstallUsbDriver();

private:
    void ReadControls();
    void WriteControls();
    void UpdateHostField();

    ConfigFields fields_;
    QComboBox *port_, *model_, *country_, *speed_;
    QLabel* host_label_;
    QLineEdit* host_;
    QCheckBox *show_results_, *extended_, *filter_;
    QPushButton *ok_, *cancel_, *usb_;
};

}  // namespace ordavo::gui
