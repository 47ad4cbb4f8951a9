// The browse window of the configuration store, "Cargar configuraciones existentes": find
// saved configurations by client or serial number, look at one, delete them, and pick one.
// The window is the store as well: it reads the file when it opens.
#pragma once

#include <QDialog>
#include <string>

#include "programming/core/equipment.h"

class QComboBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace ordavo::gui {

class ConfigurationsControl : public QDialog, public ordavo::ConfigurationsControl {
    Q_OBJECT
  public:
    // The store of the application directory, or `file`.
    explicit ConfigurationsControl(QWidget* parent = nullptr, const std::string& file = {});

    // Set when a record was picked in the list; its copy.
    bool selected = false;
    Equipment selected_record;
    // Set when a record was deleted while the window was open.
    bool dirty = false;

    QComboBox* Clients() const { return clients_; }
    QComboBox* Serials() const { return serials_; }
    QListWidget* Found() const { return found_; }
    QPlainTextEdit* Description() const { return description_; }
    QPushButton* SearchButton() const { return search_; }
    QPushButton* DeleteButton() const { return delete_; }
    QPushButton* LoadButton() const { return load_; }
    QPushButton* CancelButton() const { return cancel_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void Open();
    void FillBoxes(bool clients_with_empty);
    void OnClientLeft();
    void OnSearch();
    void OnFoundSelected();
    void OnDelete();
    void OnLoad();
    void AskToSave();

    bool opened_ = false;
    QComboBox* clients_ = nullptr;
    QComboBox* serials_ = nullptr;
    QListWidget* found_ = nullptr;
    QPlainTextEdit* description_ = nullptr;
    QPushButton* search_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* load_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace ordavo::gui
