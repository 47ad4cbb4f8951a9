// ordavo-printer-sim: a fiscal printer on a pseudo-terminal, for tests, demonstrations and
// users without the hardware.
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>

#include "engine/util.h"
#include "sim/catalog.h"
#include "sim/frame.h"
#include "sim/options.h"
#include "sim/printer.h"
#include "sim/pty.h"

namespace ordavo::sim {
namespace {

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

// A frame cut short is given up after this much silence on the line.
constexpr int kInterByteMs = 500;
// One byte at 9600 baud with a start bit, 8 data bits and 2 stop bits.
constexpr int64_t kByteTimeNs = 11 * 1000000000LL / 9600;
// How long an answer may wait for the other end to take bytes off the line.
constexpr int kWriteStallMs = 2000;

sigset_t g_unblocked;

int64_t NowNs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

// Waits until `deadline_ns` (monotonic) or until the master becomes readable, whichever is first.
// 1: readable; 0: deadline reached; -1: stop requested.
int WaitInputUntil(int master, int64_t deadline_ns) {
    while (!g_stop) {
        const int64_t left = deadline_ns - NowNs();
        if (left <= 0) return 0;
        struct timespec ts {
            static_cast<time_t>(left / 1000000000LL), static_cast<long>(left % 1000000000LL)
        };
        struct pollfd p {
            master, POLLIN, 0
        };
        const int n = ppoll(&p, 1, &ts, &g_unblocked);
        if (n > 0 && (p.revents & POLLIN)) return 1;
        if (n < 0 && errno != EINTR) return 0;
    }
    return -1;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size && !g_stop) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return false;
        struct pollfd p {
            fd, POLLOUT, 0
        };
        struct timespec ts {
            kWriteStallMs / 1000, (kWriteStallMs % 1000) * 1000000L
        };
        if (ppoll(&p, 1, &ts, &g_unblocked) == 0) return false;  // nobody reads the line
    }
    return done == size;
}

class Simulator {
  public:
    Simulator(const Options& o, Printer& printer, Pty& pty)
        : o_(o), printer_(printer), pty_(pty), rng_(std::random_device{}()) {}

    int Run() {
        uint8_t buf[4096];
        while (!g_stop) {
            struct pollfd fds[2] = {{pty_.master(), POLLIN, 0}, {pty_.watch(), POLLIN, 0}};
            struct timespec ts {
                0, kInterByteMs * 1000000L
            };
            const int n =
                ppoll(fds, pty_.watch() >= 0 ? 2 : 1, parser_.InFrame() ? &ts : nullptr, &g_unblocked);
            if (n < 0) {
                if (errno == EINTR) continue;
                std::perror("ordavo-printer-sim: poll");
                return 1;
            }
            if (n == 0) {
                if (parser_.Timeout() == FrameParser::Event::kRefused) Refuse();
                continue;
            }
            if (pty_.watch() >= 0 && (fds[1].revents & POLLIN) && pty_.OnSlaveClosed())
                Log("the port was closed with exclusive use still set; released it");
            if (fds[0].revents & POLLIN) {
                const ssize_t got = ::read(pty_.master(), buf, sizeof buf);
                if (got > 0) Feed(buf, static_cast<size_t>(got));
            } else if (fds[0].revents & (POLLHUP | POLLERR)) {
                // Cannot happen while the simulator holds the slave open; do not spin if it does.
                usleep(10000);
            }
        }
        return 0;
    }

  private:
    void Log(const std::string& text) {
        if (o_.verbose) std::cerr << "ordavo-printer-sim: " << text << std::endl;
    }

    void Feed(const uint8_t* data, size_t size) {
        for (size_t i = 0; i < size && !g_stop; ++i) {
            const FrameParser::Event e = parser_.Feed(data[i]);
            if (e == FrameParser::Event::kRefused) {
                Refuse();
            } else if (e == FrameParser::Event::kFrame) {
                if (const size_t noise = parser_.TakeNoiseCount())
                    Log("skipped " + std::to_string(noise) + " bytes before STX");
                Answer(parser_.frame());
            }
        }
    }

    Misbehaviour CurrentMisbehaviour() {
        if (o_.control_file.empty()) return o_.misbehaviour;
        ControlFile c = ReadControlFile(o_.control_file, o_.misbehaviour);
        for (const std::string& e : c.errors) std::cerr << "ordavo-printer-sim: " << e << std::endl;
        PrinterState& s = printer_.state();
        for (const auto& [name, on] : c.conditions) {
            if (name == "paper-out") s.paper_out = on;
            if (name == "paper-low") s.paper_low = on;
            if (name == "clock-error") s.clock_error = on;
            if (name == "head-up") s.head_up = on;
            if (name == "intervention") s.intervention = on;
        }
        return c.misbehaviour;
    }

    void Refuse() {
        Log("NAK: " + parser_.why());
        const Misbehaviour m = CurrentMisbehaviour();
        Send(Bytes{kNak}, m);
    }

    void Answer(const Frame& frame) {
        const Misbehaviour m = CurrentMisbehaviour();
        Log("<- " + HexBytes(frame.raw.data(), frame.raw.size()));
        printer_.forced_gprs_kind = m.gprs_kind;
        const sim::Answer a = printer_.Handle(frame);
        if (!a.note.empty()) Log("   " + a.note);
        if (!o_.state_file.empty()) {
            std::string error;
            if (!WriteFileAtomically(o_.state_file, printer_.state().Serialize(), &error))
                std::cerr << "ordavo-printer-sim: cannot save " << o_.state_file << ": " << error
                          << std::endl;
        }
        Bytes out = AnswerBytes(a, frame.prefix() == kFs, !m.no_etx);
        if (m.nak) out = {kNak};
        if (m.garbage) {
            std::uniform_int_distribution<int> byte(0, 255);
            for (uint8_t& b : out) b = static_cast<uint8_t>(byte(rng_));
            if (out[0] == kAck) out[0] = 0xA5;  // never looks like an acknowledged answer
        }
        Send(out, m);
    }

    void Send(Bytes out, const Misbehaviour& m) {
        if (m.silent_after >= 0 && out.size() > static_cast<size_t>(m.silent_after))
            out.resize(static_cast<size_t>(m.silent_after));
        Log("-> " + HexBytes(out.data(), out.size()));
        if (out.empty()) return;
        if (!m.pace && m.slow_ms == 0) {
            if (!WriteAll(pty_.master(), out.data(), out.size()))
                Log("the answer was not taken off the line");
            return;
        }
        // Byte by byte on a schedule; a new frame arriving meanwhile ends this answer.
        const int64_t start = NowNs();
        for (size_t i = 0; i < out.size(); ++i) {
            const int64_t due = start + (m.pace ? static_cast<int64_t>(i + 1) * kByteTimeNs : 0) +
                                static_cast<int64_t>(i + 1) * m.slow_ms * 1000000LL;
            const int w = WaitInputUntil(pty_.master(), due);
            if (w != 0) {
                if (w > 0) Log("new input; the rest of the answer is dropped");
                return;
            }
            if (!WriteAll(pty_.master(), &out[i], 1)) {
                Log("the answer was not taken off the line");
                return;
            }
        }
    }

    const Options& o_;
    Printer& printer_;
    Pty& pty_;
    FrameParser parser_;
    std::mt19937 rng_;
};

int Main(int argc, char** argv) {
    Options o;
    std::string message;
    if (const int rc = ParseOptions(argc, argv, o, message); rc != 0) {
        (rc < 0 ? std::cout : std::cerr) << message;
        return rc < 0 ? 0 : rc;
    }

    Catalog catalog;
    std::vector<std::string> files = o.catalogs;
    if (files.empty()) {
        files = DefaultCatalogs();
        if (files.empty())
            std::cerr << "ordavo-printer-sim: no sample catalogs found; only built-in commands" << std::endl;
    }
    std::vector<std::string> warnings;
    for (const std::string& f : files) {
        std::string error;
        if (!catalog.Load(f, &error, &warnings)) {
            std::cerr << "ordavo-printer-sim: cannot load catalog " << error << std::endl;
            return 66;
        }
    }
    for (const std::string& w : warnings) std::cerr << "ordavo-printer-sim: " << w << std::endl;

    PrinterState state;
    if (!o.state_file.empty() && std::filesystem::exists(o.state_file)) {
        std::string text, error;
        if (!ReadWholeFile(o.state_file, text) || !PrinterState::Parse(text, state, &error)) {
            std::cerr << "ordavo-printer-sim: " << o.state_file << ": "
                      << (error.empty() ? std::string("cannot be read") : error)
                      << "; the file is left as it is" << std::endl;
            return 65;
        }
    }
    if (!o.serial.empty()) state.serial = o.serial;
    if (o.intervention) state.intervention = true;
    Printer printer(std::move(state), &catalog);

    if (o.check_catalogs) {
        const std::vector<std::string> problems = printer.Check(catalog);
        for (const std::string& p : problems) std::cout << p << "\n";
        std::cout << catalog.commands().size() << " commands in " << catalog.files().size() << " catalogs, "
                  << problems.size() << " problems" << std::endl;
        return problems.empty() && warnings.empty() ? 0 : 1;
    }

    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    // The signals are taken only while waiting, so none is lost between a check and a wait.
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGHUP);
    sigprocmask(SIG_BLOCK, &blocked, &g_unblocked);
    sigdelset(&g_unblocked, SIGTERM);
    sigdelset(&g_unblocked, SIGINT);
    sigdelset(&g_unblocked, SIGHUP);

    Pty pty;
    std::string error;
    if (!pty.Open(o.pty_path, &error)) {
        std::cerr << "ordavo-printer-sim: " << error << std::endl;
        return 1;
    }
    std::cout << o.pty_path << std::endl;
    if (o.verbose)
        std::cerr << "ordavo-printer-sim: " << o.pty_path << " -> " << pty.slave_name() << std::endl;

    Simulator sim(o, printer, pty);
    const int rc = sim.Run();
    pty.Close();
    return rc;
}

}  // namespace
}  // namespace ordavo::sim

int main(int argc, char** argv) {
    return ordavo::sim::Main(argc, argv);
}
