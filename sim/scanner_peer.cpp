// The simulated PDF-417 scanner: a second pseudo-terminal on which, each time the program
// opens the port, the symbols of the printer's journal are sent in the chosen order, at the
// pace of the chosen line speed, with a pause between symbols as a person scanning them.
#include <errno.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <functional>
#include <iostream>

#include "sim/line.h"
#include "sim/scanner_peer.h"

namespace ordavo::sim {
namespace {

constexpr int64_t kMs = 1000000;

class ScannerLine {
public:
    ScannerLine(const Options& o, Pty& pty, std::vector<std::string> symbols, std::vector<size_t> order,
                bool main_thread, std::function<void()> ready)
        : o_(o),
          pty_(pty),
          symbols_(std::move(symbols)),
          order_(std::move(order)),
          main_thread_(main_thread),
          ready_(std::move(ready)) {}
    ~ScannerLine() {
        if (watch_ >= 0) ::close(watch_);
    }

    int Run() {
        watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (watch_ < 0 || inotify_add_watch(watch_, pty_.slave_name().c_str(), IN_OPEN | IN_CLOSE) < 0) {
            std::perror("ordavo-printer-sim: scanner: inotify");
            return 1;
        }
        // Ready only now: an open before the watch would go unseen.
        if (main_thread_) std::cout << o_.scanner_path << std::endl;
        if (ready_) ready_();
        while (!g_stop) {
            if (Wait(watch_, -1) <= 0) continue;
            if (!Events()) continue;
            Log("the port was opened; sending " + std::to_string(order_.size()) + " symbols");
            if (!Sleep(NowNs() + o_.scanner_delay_ms * kMs)) continue;
            SendSeries();
        }
        return 0;
    }

private:
    // Reads the pending events: true when the port was opened (and not closed since).
    bool Events() {
        alignas(struct inotify_event) char buf[4096];
        bool opened = false;
        ssize_t n;
        while ((n = ::read(watch_, buf, sizeof buf)) > 0) {
            for (char* p = buf; p < buf + n;) {
                auto* e = reinterpret_cast<struct inotify_event*>(p);
                if (e->mask & IN_OPEN) opened = true;
                if (e->mask & IN_CLOSE) {
                    opened = false;
                    pty_.OnSlaveClosed();
                }
                p += sizeof(struct inotify_event) + e->len;
            }
        }
        return opened;
    }

    void SendSeries() {
        for (size_t k = 0; k < order_.size() && !g_stop; ++k) {
            const std::string& s = symbols_[order_[k]];
            Log("symbol " + std::to_string(order_[k]) + " (" + std::to_string(s.size()) + " bytes)");
            // Ten bits a byte: a start bit, eight data bits, a stop bit.
            const int64_t byte_ns = 10 * 1000000000LL / o_.scanner_baud;
            const int64_t start = NowNs();
            for (size_t at = 0; at < s.size() && !g_stop;) {
                const size_t chunk = std::min<size_t>(64, s.size() - at);
                if (!WriteAll(pty_.master(), reinterpret_cast<const uint8_t*>(s.data()) + at, chunk, 2000)) {
                    Log("the symbol was not taken off the line");
                    return;
                }
                at += chunk;
                if (!Sleep(start + static_cast<int64_t>(at) * byte_ns)) return;
            }
            if (k + 1 < order_.size() && !Sleep(NowNs() + o_.scanner_gap_ms * kMs)) return;
        }
        Log("series sent");
    }

    // Sleeps, but a close of the port ends the series: false then, or on a stop signal.
    bool Sleep(int64_t deadline) {
        for (;;) {
            const int w = Wait(watch_, deadline);
            if (w < 0) return false;
            if (w == 0) return true;
            alignas(struct inotify_event) char buf[4096];
            ssize_t n;
            bool closed = false;
            while ((n = ::read(watch_, buf, sizeof buf)) > 0)
                for (char* p = buf; p < buf + n;) {
                    auto* e = reinterpret_cast<struct inotify_event*>(p);
                    if (e->mask & IN_CLOSE) closed = true;
                    p += sizeof(struct inotify_event) + e->len;
                }
            if (closed) {
                pty_.OnSlaveClosed();
                Log("the port was closed; the rest of the series is not sent");
                return false;
            }
        }
    }

    // 1 readable, 0 deadline, -1 stop. The main thread waits for the stop signals itself; a
    // second thread (beside the printer's line) looks at the stop flag every 50 ms.
    int Wait(int fd, int64_t deadline) {
        if (main_thread_) return WaitReadable(fd, deadline);
        for (;;) {
            if (g_stop) return -1;
            int64_t left = deadline < 0 ? 50 * kMs : deadline - NowNs();
            if (left <= 0) return 0;
            struct pollfd p = {fd, POLLIN, 0};
            const int n = poll(&p, 1, static_cast<int>(std::min<int64_t>(left, 50 * kMs) / kMs) + 1);
            if (n > 0) return 1;
            if (n < 0 && errno != EINTR) return -1;
        }
    }

    void Log(const std::string& what) {
        if (o_.verbose) std::cerr << "ordavo-printer-sim: scanner: " << what << std::endl;
    }

    const Options& o_;
    Pty& pty_;
    std::vector<std::string> symbols_;
    std::vector<size_t> order_;
    bool main_thread_;
    std::function<void()> ready_;
    int watch_ = -1;
};

}  // namespace

int RunScanner(const Options& o, Pty& pty, std::vector<std::string> symbols, std::vector<size_t> order,
               bool main_thread, std::function<void()> ready) {
    if (o.verbose)
        std::cerr << "ordavo-printer-sim: scanner " << o.scanner_path << " -> " << pty.slave_name() << ", "
                  << symbols.size() << " symbols" << std::endl;
    ScannerLine line(o, pty, std::move(symbols), std::move(order), main_thread, std::move(ready));
    return line.Run();
}

}  // namespace ordavo::sim
