// The property sheet of the programming wizard and its pages: "Informaciones Generales",
// "Alícuotas" (the parameter entry's tax-rate page), "Totalizadores Parciales no fiscales" and,
// for the two restaurant models, "Restaurante".
#pragma once

#include <QDialog>
#include <QWidget>
#include <array>
#include <string>

#include "programming/core/equipment.h"
#include "programming/core/programming.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace ordavo::gui {

class CAliquotasPrPg;

class CGeneralInformationPrPg : public QWidget {
    Q_OBJECT
  public:
    explicit CGeneralInformationPrPg(QWidget* parent = nullptr);

    // Every field from `e`, the password from its default.
    void Load(const Equipment& e);
    // The fields back into `e` (the serial number as typed).
    void Store(Equipment& e) const;

    QLineEdit* Cliente() const { return cliente_; }
    QLineEdit* Serial() const { return serial_; }
    QLineEdit* Rif() const { return rif_; }
    QLineEdit* Ie() const { return ie_; }
    QLineEdit* Nit() const { return nit_; }
    QLineEdit* Uf() const { return uf_; }
    QLineEdit* Clave() const { return clave_; }
    QLineEdit* Tienda() const { return tienda_; }
    QLineEdit* Caja() const { return caja_; }
    QLineEdit* Fecha() const { return fecha_; }
    QLineEdit* Hora() const { return hora_; }
    QPlainTextEdit* Cliche() const { return cliche_; }
    // 0 summer time, 1 additional coupon, 2 ISS discount, 3 linked CNF, 4 RV, 5 automatic Z, 6 ticket.
    QCheckBox* Flag(int i) const { return flags_[static_cast<size_t>(i)]; }
    QPushButton* LoadComputerTime() const { return load_time_; }
    QPushButton* EditHeader() const { return edit_header_; }

    // The header as CR LF text.
    std::string HeaderText() const;
    void SetHeaderText(const std::string& text);

  private:
    void OnEditHeader();

    QLineEdit *cliente_ = nullptr, *serial_ = nullptr, *rif_ = nullptr, *ie_ = nullptr, *nit_ = nullptr,
              *uf_ = nullptr, *clave_ = nullptr, *tienda_ = nullptr, *caja_ = nullptr, *fecha_ = nullptr,
              *hora_ = nullptr;
    QPlainTextEdit* cliche_ = nullptr;
    QString accepted_header_;
    std::array<QCheckBox*, 7> flags_{};
    QPushButton* load_time_ = nullptr;
    QPushButton* edit_header_ = nullptr;
};

class CTotNaoSujPrPg : public QWidget {
    Q_OBJECT
  public:
    explicit CTotNaoSujPrPg(QWidget* parent = nullptr);
    // The 50 names, the first `totalizer_count` of them editable.
    void Load(const Equipment& e, int totalizer_count);
    void Store(Equipment& e) const;
    QLineEdit* Name(int n) const { return names_[static_cast<size_t>(n - 1)]; }  // n from 1

  private:
    std::array<QLineEdit*, Equipment::kTotalizers> names_{};
};

class CRestaurantPrPg : public QWidget {
    Q_OBJECT
  public:
    explicit CRestaurantPrPg(QWidget* parent = nullptr);
    void Load(const RestaurantChoice& c);
    RestaurantChoice Choice() const;
    QRadioButton* Restaurant() const { return restaurant_; }
    QRadioButton* Store() const { return store_; }
    QCheckBox* CheckCoupon() const { return check_; }
    QRadioButton* Parameter(int p) const { return parameters_[static_cast<size_t>(p)]; }

  private:
    QRadioButton* restaurant_ = nullptr;
    QRadioButton* store_ = nullptr;
    QCheckBox* check_ = nullptr;
    std::array<QRadioButton*, 4> parameters_{};
};

// The sheet, filled from a configuration for one model.
class ProgrammingSheet : public QDialog {
    Q_OBJECT
  public:
    ProgrammingSheet(const Equipment& current, int model_mask, const std::string& model_name,
                     QWidget* parent = nullptr);

    // The pages copied back into `e`.
    void Store(Equipment& e) const;

    QTabWidget* Tabs() const { return tabs_; }
    CGeneralInformationPrPg* General() const { return general_; }
    CAliquotasPrPg* Rates() const { return rates_; }
    CTotNaoSujPrPg* Totalizers() const { return totalizers_; }
    CRestaurantPrPg* Restaurant() const { return restaurant_; }  // null for other models
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

  private:
    QTabWidget* tabs_ = nullptr;
    CGeneralInformationPrPg* general_ = nullptr;
    CAliquotasPrPg* rates_ = nullptr;
    CTotNaoSujPrPg* totalizers_ = nullptr;
    CRestaurantPrPg* restaurant_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace ordavo::gui
