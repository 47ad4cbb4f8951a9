// The printer on a pseudo-terminal, as on a serial line.
#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "sim/line.h"
#include "sim/peers.h"
#include "sim/pty.h"

namespace ordavo::sim {
namespace {

// How long an answer may wait for the other end to take bytes off the line.
constexpr int kWriteStallMs = 2000;

class PtyLine {
  public:
    PtyLine(Responder& responder, Pty& pty) : r_(responder), pty_(pty) {}

    int Run() {
        uint8_t buf[4096];
        while (!g_stop) {
            struct pollfd fds[2] = {{pty_.master(), POLLIN, 0}, {pty_.watch(), POLLIN, 0}};
            struct timespec ts {
                0, kInterByteMs * 1000000L
            };
            // A printer left at another speed goes back to 9600 after a quiet spell.
            const int64_t speed_due = r_.SpeedDeadline(last_activity_);
            struct timespec speed_ts {};
            if (speed_due >= 0 && !parser_.InFrame()) {
                const int64_t left = std::max<int64_t>(speed_due - NowNs(), 0);
                speed_ts = {static_cast<time_t>(left / 1000000000LL), static_cast<long>(left % 1000000000LL)};
            }
            const struct timespec* wait = parser_.InFrame() ? &ts : speed_due >= 0 ? &speed_ts : nullptr;
            const int n = ppoll(fds, pty_.watch() >= 0 ? 2 : 1, wait, &g_unblocked);
            if (n < 0) {
                if (errno == EINTR) continue;
                std::perror("ordavo-printer-sim: poll");
                return 1;
            }
            if (n == 0) {
                if (parser_.InFrame() && parser_.Timeout() == FrameParser::Event::kRefused)
                    Send(r_.Refuse(parser_.why()));
                continue;
            }
            if (pty_.watch() >= 0 && (fds[1].revents & POLLIN) && pty_.OnSlaveClosed())
                r_.Log("the port was closed with exclusive use still set; released it");
            if (fds[0].revents & POLLIN) {
                const ssize_t got = ::read(pty_.master(), buf, sizeof buf);
                if (got > 0) {
                    last_activity_ = NowNs();
                    // Bytes sent at another speed than the printer listens at are noise to it.
                    const int baud = pty_.SlaveBaud();
                    if (baud != 0 && baud != r_.printer().line_baud) {
                        r_.Log(std::to_string(got) + " bytes at " + std::to_string(baud) +
                               " baud while the printer listens at " + std::to_string(r_.printer().line_baud) +
                               ": not understood");
                        continue;
                    }
                    Feed(buf, static_cast<size_t>(got));
                }
            } else if (fds[0].revents & (POLLHUP | POLLERR)) {
                // Cannot happen while the simulator holds the slave open; do not spin if it does.
                usleep(10000);
            }
        }
        return 0;
    }

  private:
    void Feed(const uint8_t* data, size_t size) {
        for (size_t i = 0; i < size && !g_stop; ++i) {
            const FrameParser::Event e = parser_.Feed(data[i]);
            if (e == FrameParser::Event::kRefused) {
                Send(r_.Refuse(parser_.why()));
            } else if (e == FrameParser::Event::kFrame) {
                if (const size_t noise = parser_.TakeNoiseCount())
                    r_.Log("skipped " + std::to_string(noise) + " bytes before STX");
                Send(r_.Answer(parser_.frame()));
            }
        }
    }

    void Send(const Reply& reply) {
        const int master = pty_.master();
        struct ActivityAtEnd {
            int64_t& at;
            ~ActivityAtEnd() { at = NowNs(); }
        } mark{last_activity_};
        SendPaced(
            reply,
            [&](const uint8_t* data, size_t size) {
                if (WriteAll(master, data, size, kWriteStallMs)) return true;
                r_.Log("the answer was not taken off the line");
                return false;
            },
            [&](int64_t due) {
                // A new frame arriving meanwhile ends this answer.
                const int w = WaitReadable(master, due);
                if (w > 0) r_.Log("new input; the rest of the answer is dropped");
                return w != 0;
            });
    }

    Responder& r_;
    Pty& pty_;
    FrameParser parser_;
    int64_t last_activity_ = NowNs();
};

}  // namespace

int RunPty(const Options& o, Responder& responder) {
    Pty pty;
    std::string error;
    if (!pty.Open(o.pty_path, &error)) {
        std::cerr << "ordavo-printer-sim: " << error << std::endl;
        return 1;
    }
    std::cout << o.pty_path << std::endl;
    if (o.verbose) std::cerr << "ordavo-printer-sim: " << o.pty_path << " -> " << pty.slave_name() << std::endl;
    PtyLine line(responder, pty);
    const int rc = line.Run();
    pty.Close();
    return rc;
}

}  // namespace ordavo::sim
