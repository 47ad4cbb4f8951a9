#include "pdf417/core/pdf_scanner.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

#include "engine/util.h"
#include "transport/serial_interface.h"

namespace ordavo::pdf417 {
namespace {

const char kMissingSymbols[] =
    "Alguns s\xEDmbolos impressos n\xE3o foram capturados.\n"
    "Isso significa que apenas uma parcela das informa\xE7\xF5"
    "es\n"
    "da se\xE7\xE3o estar\xE1 dispon\xEDvel para recupera\xE7\xE3o.\n\n"
    "* Clique \"Sim\" para salvar em arquivo mesmo assim; ou\n"
    "* clique \"N\xE3o\" para interromper a captura sem salvar; ou\n"
    "* clique \"Cancelar\" para voltar \xE0 captura dos s\xEDmbolos restantes";
const char kSaved[] =
    "FORAM DECODIFICADOS (%u) S\xCDMBOLOS PDF-417.\n\n"
    "Arquivo %s criado com sucesso.\n"
    "Utilize a gera\xE7\xE3o de documento RTF ou banco de dados para\n"
    "obter as informa\xE7\xF5"
    "es da mesma forma como para download.";
const char kNotSaved[] =
    "Los s\xEDmbolos capturados no fueron guardados en ning\xFAn archivo.\n"
    "\xBF" "Descartarlos?";
const char kComplete[] = "Todos los s\xEDmbolos foram leydos.\nPresione OK para continuar";
const char kAttention[] = "Aten\xE7\xE3o";

bool SpeedFor(int baud, speed_t& speed) {
    switch (baud) {
        case 1200: speed = B1200; return true;
        case 2400: speed = B2400; return true;
        case 4800: speed = B4800; return true;
        case 9600: speed = B9600; return true;
        case 19200: speed = B19200; return true;
        case 38400: speed = B38400; return true;
        case 57600: speed = B57600; return true;
        case 115200: speed = B115200; return true;
        default: return false;
    }
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

// A call from the monitor thread that the user-interface thread runs. The monitor waits for it
// unless the port is being closed; a call that has not started by then never runs.
struct UiCall {
    std::mutex m;
    std::condition_variable cv;
    std::function<void()> task;
    bool running = false, done = false, cancelled = false;
};

PDFScanner::PDFScanner() = default;

PDFScanner::~PDFScanner() {
    ui_ = nullptr;
    ClosePort();
}

PDFScanner& TheScanner() {
    static PDFScanner scanner;
    return scanner;
}

Answer PDFScanner::Ask(const std::string& text, const std::string& caption, Buttons buttons, Icon icon) {
    if (!ui_) return buttons == Buttons::kOk ? Answer::kOk : Answer::kCancel;
    return ui_->Ask(text, caption, buttons, icon);
}

void PDFScanner::ReportPortError(const std::string& error) {
    Ask(error, "Erro na porta " + port_name_, Buttons::kOk, Icon::kExclamation);
}

bool PDFScanner::Start(ScannerProfile& profile) {
    if (!OpenPort(LineSettings::From(ScannerSettings::ForCapture(profile)))) return false;
    // The monitor waits 1.5 s after a first byte before it writes any text.
    std::lock_guard<std::mutex> lock(mu_);
    texts_ = CaptureTexts();
    return true;
}

bool PDFScanner::OpenDevice(const LineSettings& line, std::string& error) {
    const std::string path = WinSerialInterface::DevicePath(line.port_name);
    auto fail = [&](int e, const std::string& what = std::string()) {
        error = what.empty() ? std::string(std::strerror(e)) : what;
        if (path != line.port_name) error += " (" + path + ")";
        if (fd_ >= 0) {
            if (exclusive_set_) ioctl(fd_, TIOCNXCL);
            ::close(fd_);
        }
        fd_ = -1;
        exclusive_set_ = false;
        return false;
    };
    speed_t speed;
    if (path.empty()) return fail(ENOENT);
    if (!SpeedFor(line.baud, speed)) return fail(EINVAL, "Velocidade " + std::to_string(line.baud) + " inv\xE1lida");
    // Non-blocking, so that neither the open (waiting for carrier) nor a read can hang.
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return fail(errno);
    // Not shared: the same lock as the printer's port, and exclusive use of the terminal.
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    if (!isatty(fd_)) return fail(ENOTTY);
    if (tcgetattr(fd_, &saved_) != 0) return fail(errno);
    if (ioctl(fd_, TIOCEXCL) == 0) exclusive_set_ = true;

    struct termios t = saved_;
    // Raw bytes, no end-of-file or other character processing.
    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSizes[std::clamp(line.data_bits, 5, 8) - 5] | CREAD | CLOCAL;
    if (line.parity != Parity::kNone) t.c_cflag |= PARENB | (line.parity == Parity::kOdd ? PARODD : 0);
    // The UART gives one and a half stop bits for five data bits when asked for two.
    if (line.stop_bits != StopBits::kOne) t.c_cflag |= CSTOPB;
    if (line.hardware_handshake) t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (tcsetattr(fd_, TCSANOW, &t) != 0) return fail(errno);
    // DTR disabled, and RTS low unless it is the handshake line (the driver raises it when the
    // port opens); a pseudo-terminal has no modem lines and refuses: that is no error.
    int lines = TIOCM_DTR | (line.hardware_handshake ? 0 : TIOCM_RTS);
    ioctl(fd_, TIOCMBIC, &lines);
    if (tcflush(fd_, TCIOFLUSH) != 0) return fail(errno);
    return true;
}

bool PDFScanner::OpenPort(const LineSettings& line) {
    if (IsOpen()) ClosePort();
    {
        std::lock_guard<std::mutex> lock(mu_);
        series_.Clear();
    }
    port_name_ = line.port_name;
    for (;;) {
        std::string error;
        if (OpenDevice(line, error)) break;
        ReportPortError(error);
        if (Ask("Porta serial " + line.port_name + " pode n\xE3o ter\nsido corretamente inicializada.", kAttention,
                Buttons::kRetryCancel, Icon::kQuestion) != Answer::kRetry) {
            port_name_.clear();
            return false;
        }
    }
    tcflush(fd_, TCIOFLUSH);
    length_ = 0;
    overflow_ = false;
    std::memset(buffer_, 0, sizeof buffer_);
    if (pipe2(stop_pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        const std::string error = std::strerror(errno);
        ::close(fd_);
        fd_ = -1;
        ReportPortError(error);
        port_name_.clear();
        return false;
    }
    stop_ = false;
    monitoring_ = true;
    thread_ = std::thread(&PDFScanner::Monitor, this);
    return true;
}

void PDFScanner::EndThread() {
    if (!thread_.joinable()) return;
    std::shared_ptr<UiCall> call;
    {
        std::lock_guard<std::mutex> lock(call_mu_);
        stop_ = true;
        call = current_call_;
    }
    if (call) {
        // Under the call's lock, so that a monitor about to wait cannot miss it.
        std::lock_guard<std::mutex> lock(call->m);
        call->cv.notify_all();
    }
    const char byte = 1;
    [[maybe_unused]] ssize_t w = ::write(stop_pipe_[1], &byte, 1);
    thread_.join();
    for (int& fd : stop_pipe_) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

bool PDFScanner::ClosePort() {
    bool ok = true;
    if (IsOpen()) {
        // The thread must be gone before the port and the series it uses.
        EndThread();
        if (exclusive_set_) ioctl(fd_, TIOCNXCL);
        exclusive_set_ = false;
        tcsetattr(fd_, TCSANOW, &saved_);  // a vanished device refuses: nothing to restore then
        const int rc = ::close(fd_);
        const int e = errno;
        fd_ = -1;
        if (rc != 0 && e != EINTR) {
            // The descriptor is released whatever close() says; there is nothing to retry.
            ReportPortError(std::strerror(e));
            Ask("Porta serial " + port_name_ + " pode n\xE3o ter\nsido corretamente liberada para o sistema.",
                kAttention, Buttons::kOk, Icon::kExclamation);
            ok = false;
        }
        port_name_.clear();
    }
    std::lock_guard<std::mutex> lock(mu_);
    series_.Clear();
    return ok;
}

bool PDFScanner::SaveCapture() {
    // The questions below run nested event loops, in which the monitor's posted stop of a
    // series completed meanwhile arrives: it must not save (and free) the series under us.
    if (saving_) return false;
    saving_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{saving_};
    SymbolSeries snapshot = Series();
    if (snapshot.expected() != 0) {
        if (snapshot.received() < snapshot.expected()) {
            switch (Ask(kMissingSymbols, kAttention, Buttons::kYesNoCancel, Icon::kQuestion)) {
                case Answer::kYes: break;
                case Answer::kNo: ClosePort(); return true;
                default: return false;  // the capture goes on
            }
        }
        std::string path;
        bool saved = false;
        if (ui_ && ui_->ChooseSaveFile(path)) {
            // Symbols may have come in while the questions were open.
            snapshot = Series();
            std::string error;
            saved = snapshot.Save(path, &error);
            if (!saved)
                Ask(Format("%s\nArquivo: %s", error.c_str(), path.c_str()), "Erro", Buttons::kOk, Icon::kStop);
            else
                Ask(Format(kSaved, snapshot.received(), BaseName(path).c_str()),
                    "Conclu\xED"
                    "do",
                    Buttons::kOk, Icon::kInformation);
        }
        // Nothing written: the symbols are dropped only when the user says so; otherwise the
        // capture stays as it is and "&Parar" saves it again.
        if (!saved && Ask(kNotSaved, kAttention, Buttons::kYesNo, Icon::kQuestion) != Answer::kYes) return false;
    }
    ClosePort();
    return true;
}

CaptureTexts PDFScanner::Texts() const {
    std::lock_guard<std::mutex> lock(mu_);
    return texts_;
}

uint32_t PDFScanner::Expected() const {
    std::lock_guard<std::mutex> lock(mu_);
    return series_.expected();
}

uint32_t PDFScanner::Received() const {
    std::lock_guard<std::mutex> lock(mu_);
    return series_.received();
}

SymbolSeries PDFScanner::Series() const {
    std::lock_guard<std::mutex> lock(mu_);
    return series_;
}

// ---------------------------------------------------------------- the monitor thread

bool PDFScanner::WaitUnlessStopped(int ms) {
    struct pollfd p = {stop_pipe_[0], POLLIN, 0};
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (stop_) return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0) return true;
        const int n = poll(&p, 1, static_cast<int>(left));
        if (n > 0) return false;
        if (n < 0 && errno != EINTR) return !stop_;
    }
}

bool PDFScanner::ReadQueued(size_t* got) {
    *got = 0;
    for (;;) {
        unsigned char scratch[256];
        const bool full = length_ >= sizeof buffer_;
        unsigned char* into = full ? scratch : buffer_ + length_;
        const size_t room = full ? sizeof scratch : sizeof buffer_ - length_;
        const ssize_t n = ::read(fd_, into, room);
        if (n > 0) {
            *got += static_cast<size_t>(n);
            // What does not fit in the burst buffer is read and dropped.
            if (full) overflow_ = true;
            else length_ += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        return false;  // end of file or an error: the device went away
    }
}

void PDFScanner::Monitor() {
    std::string gone;
    while (!stop_) {
        struct pollfd fds[2] = {{fd_, POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
        const int n = poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            gone = std::strerror(errno);
            break;
        }
        if (fds[1].revents) break;
        if (!(fds[0].revents & POLLIN)) {
            // Hang-up or error without data: the device went away; waiting again would spin.
            gone = fds[0].revents & POLLHUP ? "hang-up" : std::strerror(EIO);
            break;
        }
        // Let the rest of the symbol arrive, then read it; go on reading while more comes.
        if (!WaitUnlessStopped(kFirstWaitMs)) break;
        size_t got = 0;
        bool alive = ReadQueued(&got);
        do {
            if (!alive || !WaitUnlessStopped(kNextWaitMs)) break;
            alive = ReadQueued(&got);
        } while (alive && got > 0);
        if (stop_) break;
        // Symbols scanned close together come in one burst: each is taken on its own.
        const std::vector<std::string_view> pieces = SplitBurst(std::string_view(reinterpret_cast<char*>(buffer_), length_));
        for (size_t i = 0; i < pieces.size(); ++i)
            Take(pieces[i], pieces[i].size() > kReceiveBufferSize || (overflow_ && i + 1 == pieces.size()));
        if (pieces.empty() && overflow_) Take(std::string_view(), true);
        length_ = 0;
        overflow_ = false;
        if (!alive) {
            gone = std::strerror(EIO);
            break;
        }
        bool complete;
        {
            std::lock_guard<std::mutex> lock(mu_);
            complete = series_.Complete();
        }
        if (complete) {
            CallOnUi([this] { ui_->Ask(kComplete, "Fim de la Captura", Buttons::kOk, Icon::kInformation); });
            if (ui_ && !stop_) {
                ScannerUi* ui = ui_;
                ui->Post([ui] { ui->Stop(); });
            }
            break;
        }
    }
    if (!gone.empty() && !stop_) {
        CaptureTexts texts;
        {
            std::lock_guard<std::mutex> lock(mu_);
            texts_.status = "Erro na porta " + port_name_ + ": " + gone;
            texts = texts_;
        }
        CallOnUi([this, texts] { ui_->ShowTexts(texts); });
    }
    monitoring_ = false;
}

void PDFScanner::Take(std::string_view symbol, bool overflow) {
    CaptureTexts texts;
    {
        std::lock_guard<std::mutex> lock(mu_);
        const bool known = series_.expected() != 0;
        std::string status;
        if (overflow) {
            status = Format("S\xEDmbolo com mais de %zu bytes", kReceiveBufferSize);
        } else if (series_.Add(symbol, &status) == SymbolSeries::Outcome::kAdded) {
            if (!known) texts_.expected = Format("%u", series_.expected());
            texts_.received = Format("%u", series_.received());
        }
        texts_.status = status;
        texts_.dump = SymbolDump(symbol);
        texts = texts_;
    }
    CallOnUi([this, texts] {
        ui_->Beep();
        ui_->ShowTexts(texts);
    });
}

bool PDFScanner::CallOnUi(std::function<void()> task) {
    if (!ui_) return true;
    auto call = std::make_shared<UiCall>();
    call->task = std::move(task);
    {
        std::lock_guard<std::mutex> lock(call_mu_);
        if (stop_) return false;
        current_call_ = call;
    }
    // The posted task holds only the call, so a late one never touches a closed scanner.
    ui_->Post([call] {
        {
            std::lock_guard<std::mutex> lock(call->m);
            if (call->cancelled) return;
            call->running = true;
        }
        call->task();
        {
            std::lock_guard<std::mutex> lock(call->m);
            call->running = false;
            call->done = true;
        }
        call->cv.notify_all();
    });
    bool done;
    {
        std::unique_lock<std::mutex> lock(call->m);
        call->cv.wait(lock, [&] { return call->done || (stop_ && !call->running); });
        if (!call->done) call->cancelled = true;
        done = call->done;
    }
    std::lock_guard<std::mutex> lock(call_mu_);
    current_call_.reset();
    return done;
}

}  // namespace ordavo::pdf417
