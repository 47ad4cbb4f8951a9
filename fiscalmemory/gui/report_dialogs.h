// The small dialogs of the country menus: the connection checks of "PA 0421-06" (VerConex) and
// "Panamá" (VerConexPanama), and the date range of the Panamá readings (GeraXMLPanama).
// Controls carry object names after their resource numbers ("edit1325", "date1334").
#pragma once

#include <string>

#include "fiscalmemory/core/mfd_rules.h"
#include "fiscalmemory/gui/mfd_selection_dialogs.h"

class QComboBox;
class QWidget;

namespace ordavo::gui {

// "Verificar Conexión": the printer's brand and model, both empty at open.
class VerConex : public MfdSelectionDialog {
    Q_OBJECT
public:
    explicit VerConex(QWidget* parent = nullptr);
    std::string Brand() const;
    std::string Model() const;
    QLineEdit* BrandEdit() const { return brand_; }
    QLineEdit* ModelEdit() const { return model_; }

private:
    QLineEdit *brand_ = nullptr, *model_ = nullptr;
};

// The Panamá connection check: the model, from a list of one.
class VerConexPanama : public MfdSelectionDialog {
    Q_OBJECT
public:
    explicit VerConexPanama(QWidget* parent = nullptr);
    std::string Model() const;
    QComboBox* ModelList() const { return model_; }

private:
    QComboBox* model_ = nullptr;
};

// "Generar XML": first and last date, both today at open.
class GeraXMLPanama : public MfdSelectionDialog {
    Q_OBJECT
public:
    explicit GeraXMLPanama(QWidget* parent = nullptr);
    DayDate First() const;
    DayDate Last() const;
    QDateEdit* FirstDate() const { return first_; }
    QDateEdit* LastDate() const { return last_; }

private:
    QDateEdit *first_ = nullptr, *last_ = nullptr;
};

// An open dialog that takes several existing files; their paths in the order the dialog gives
// them. False when cancelled.
bool ChooseOpenFiles(QWidget* parent, const std::string& title, std::vector<std::string>& chosen);

}  // namespace ordavo::gui
