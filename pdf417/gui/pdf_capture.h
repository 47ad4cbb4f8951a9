// The capture window: the series' expected and received counts, the last symbol's status and
// dump, and "&Iniciar", "&Parar", "Configurar". The scanner's monitor thread refreshes it
// through calls it posts here and waits for.
#pragma once

#include <QDialog>

#include "pdf417/core/pdf_scanner.h"
#include "pdf417/gui/qt_scanner_profile.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;

namespace ordavo::gui {

class PDFCapture : public QDialog, public pdf417::ScannerUi {
    Q_OBJECT
public:
    PDFCapture(QWidget* parent, pdf417::PDFScanner& scanner);
    ~PDFCapture() override;

    QLineEdit* Expected() const { return expected_; }
    QLineEdit* Received() const { return received_; }
    QLabel* Status() const { return status_; }
    QTextEdit* Dump() const { return dump_; }
    QPushButton* StartButton() const { return start_; }
    QPushButton* StopButton() const { return stop_; }
    QPushButton* ConfigureButton() const { return configure_; }

    // pdf417::ScannerUi
    void Post(std::function<void()> task) override;
    pdf417::Answer Ask(const std::string& text, const std::string& caption, pdf417::Buttons buttons,
                       pdf417::Icon icon) override;
    void ShowTexts(const pdf417::CaptureTexts& texts) override;
    void Beep() override;
    void Stop() override;
    bool ChooseSaveFile(std::string& path) override;

    void reject() override;

private:
    void OnStart();
    void OnStop();
    void OnConfigure();
    void SetCapturing(bool on);
    void CloseScanner();

    pdf417::PDFScanner& scanner_;
    QtScannerProfile profile_;
    QLineEdit *expected_, *received_;
    QLabel* status_;
    QTextEdit* dump_;
    QPushButton *start_, *stop_, *configure_;
};

}  // namespace ordavo::gui
