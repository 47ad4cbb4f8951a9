// The PDF-417 scanner: one process-wide object that owns the scanner's serial port, the monitor
// thread that waits on it, and the series of symbols being captured.
//
// The monitor thread fills the series and the capture window's texts, and asks the
// user-interface thread to show them through a call that it waits for (ScannerUi::Post plus a
// wait that ClosePort can always end). When a series is complete it says so and posts the
// window's "&Parar". ClosePort ends the thread before it closes the port and frees the series.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <termios.h>
#include <thread>

#include "pdf417/core/scanner_settings.h"
#include "pdf417/core/symbol_series.h"

namespace ordavo::pdf417 {

enum class Buttons { kOk, kRetryCancel, kYesNoCancel, kYesNo };
enum class Icon { kNone, kInformation, kExclamation, kQuestion, kStop };
enum class Answer { kOk, kRetry, kCancel, kYes, kNo };

// What the capture window shows (Windows-1252).
struct CaptureTexts {
    std::string expected, received, status, dump;
};

// The capture window as the scanner sees it. Everything but Post is called on the
// user-interface thread.
class ScannerUi {
public:
    virtual ~ScannerUi() = default;
    // Runs `task` later on the user-interface thread; may be called from any thread. A task
    // whose window has gone is dropped.
    virtual void Post(std::function<void()> task) = 0;
    virtual Answer Ask(const std::string& text, const std::string& caption, Buttons buttons, Icon icon) = 0;
    // Copies the texts into the controls.
    virtual void ShowTexts(const CaptureTexts& texts) = 0;
    // 600 Hz for 100 ms, or the desktop's bell.
    virtual void Beep() = 0;
    // The posted "&Parar" of a complete series.
    virtual void Stop() = 0;
    // The save dialog of SaveCapture ("*.mfd"); false when cancelled.
    virtual bool ChooseSaveFile(std::string& path) = 0;
};

struct UiCall;

class PDFScanner {
public:
    PDFScanner();
    ~PDFScanner();  // ends the thread and closes the port without asking anything
    PDFScanner(const PDFScanner&) = delete;
    PDFScanner& operator=(const PDFScanner&) = delete;

    // The window the scanner talks to; null for none (questions are then answered Cancel).
    // Change it only while the port is closed.
    void SetUi(ScannerUi* ui) { ui_ = ui; }

    // "&Iniciar": the six settings from the profile, then OpenPort; the texts are emptied.
    bool Start(ScannerProfile& profile);
    // Opens the port ("COM1:".."COM4:" as the printer's ports map them, or a device path) and
    // starts the monitor thread. On failure: the system's error, then Retry/Cancel.
    bool OpenPort(const LineSettings& line);
    // Ends the monitor thread, closes the port, frees the series. Nothing to do (true) when the
    // port is not open.
    bool ClosePort();
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& PortName() const { return port_name_; }

    // "&Parar": saves the series (asking first when symbols are missing) and closes the port;
    // false when the series is kept: the user chose to go on capturing, or no file was written
    // and the user did not agree to drop the symbols. One save at a time: a stop that comes in
    // while a save asks its questions (the posted one of a complete series) does nothing.
    bool SaveCapture();
    bool Saving() const { return saving_; }

    CaptureTexts Texts() const;
    uint32_t Expected() const;
    uint32_t Received() const;
    SymbolSeries Series() const;  // a copy
    // True while the monitor thread runs (it ends by itself after a complete series).
    bool Monitoring() const { return monitoring_; }

    // The waits of the monitor thread after the first byte of a symbol and between reads.
    static constexpr int kFirstWaitMs = 1500;
    static constexpr int kNextWaitMs = 100;

private:
    bool OpenDevice(const LineSettings& line, std::string& error);
    void ReportPortError(const std::string& error);
    Answer Ask(const std::string& text, const std::string& caption, Buttons buttons, Icon icon);

    void Monitor();
    // Reads what is queued at the port into the burst buffer while it fits; the bytes read (an
    // overflow drains the rest). False when the port has gone.
    bool ReadQueued(size_t* got);
    bool WaitUnlessStopped(int ms);
    void Take(std::string_view symbol, bool overflow);
    bool CallOnUi(std::function<void()> task);
    void EndThread();

    ScannerUi* ui_ = nullptr;
    int fd_ = -1;
    int stop_pipe_[2] = {-1, -1};
    struct termios saved_ {};
    bool exclusive_set_ = false;
    std::string port_name_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> monitoring_{false};
    bool saving_ = false;  // user-interface thread only

    // The call of the monitor thread to the user-interface thread that is waited for now.
    std::mutex call_mu_;
    std::shared_ptr<UiCall> current_call_;

    mutable std::mutex mu_;  // the series and the texts
    SymbolSeries series_;
    CaptureTexts texts_;

    unsigned char buffer_[kBurstBufferSize] = {};
    size_t length_ = 0;
    bool overflow_ = false;
};

// The process-wide scanner.
PDFScanner& TheScanner();

// The file dialog's texts.
constexpr const char* kCaptureDefaultExt = "*.mfd";
constexpr const char* kCaptureFilter = "Arquivos de MFD (*.mfd)|*.mfd|Todos os Arquivos (*.*)|*.*||";

}  // namespace ordavo::pdf417
