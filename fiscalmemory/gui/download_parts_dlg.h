// The download-in-parts window (menu "Memoria Auditoria en Partes"): two dates, the status
// text and OK / Anular. A modeless window over the fiscal-memory window; OK runs the download
// of fiscalmemory/core/download_parts.h and the window stays open for another.
//
// While a download runs the window keeps answering: the status is repainted every time it
// grows, the 4-second waits of the address search let the window run, and "Anular" (or closing
// the window) stops the download between two attempts or two parts.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "fiscalmemory/core/download_parts.h"

class QDateEdit;
class QPlainTextEdit;
class QPushButton;

namespace ordavo::gui {

// What the download talks to; each null one is the real thing (the fiscal-memory library,
// Comando::Executar, a clock whose waits let the window run).
struct DownloadPartsServices {
    AddressLibrary* library = nullptr;
    CommandRunner* runner = nullptr;
    Clock* clock = nullptr;
};

class DialogDownloadInParts : public QDialog {
    Q_OBJECT
public:
    using Services = DownloadPartsServices;
    explicit DialogDownloadInParts(QWidget* parent, Services services = Services());
    ~DialogDownloadInParts() override;

    QDateEdit* FirstDate() const { return first_; }  // "Fecha Inicial:", the range's first day
    QDateEdit* LastDate() const { return last_; }    // "Fecha Final:"
    QPlainTextEdit* StatusView() const { return status_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    bool Running() const { return running_; }
    // The outcome of the last download.
    DownloadInParts::Outcome LastOutcome() const { return outcome_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    class View;
    void RunDownload();

    Services services_;
    std::unique_ptr<AddressLibrary> own_library_;
    std::unique_ptr<CommandRunner> own_runner_;
    std::unique_ptr<Clock> own_clock_;

    QDateEdit* first_ = nullptr;
    QDateEdit* last_ = nullptr;
    QPlainTextEdit* status_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool running_ = false;
    bool stop_requested_ = false;
    bool close_after_run_ = false;
    DownloadInParts::Outcome outcome_ = DownloadInParts::Outcome::NotFound;
};

}  // namespace ordavo::gui
