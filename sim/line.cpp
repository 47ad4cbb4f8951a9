#include "sim/line.h"

#include <errno.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

namespace ordavo::sim {

volatile sig_atomic_t g_stop = 0;
sigset_t g_unblocked;

namespace {

void OnSignal(int) {
    g_stop = 1;
}

struct timespec Left(int64_t deadline_ns) {
    const int64_t left = std::max<int64_t>(deadline_ns - NowNs(), 0);
    return {static_cast<time_t>(left / 1000000000LL), static_cast<long>(left % 1000000000LL)};
}

}  // namespace

void InstallStopSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGHUP);
    sigprocmask(SIG_BLOCK, &blocked, &g_unblocked);
    sigdelset(&g_unblocked, SIGTERM);
    sigdelset(&g_unblocked, SIGINT);
    sigdelset(&g_unblocked, SIGHUP);
}

int WaitReadable(int fd, int64_t deadline_ns) {
    while (!g_stop) {
        if (deadline_ns >= 0 && deadline_ns - NowNs() <= 0) return 0;
        struct timespec ts = Left(deadline_ns);
        struct pollfd p {
            fd, POLLIN, 0
        };
        const int n = ppoll(&p, 1, deadline_ns >= 0 ? &ts : nullptr, &g_unblocked);
        if (n > 0) return 1;  // readable, or hung up: the next read tells
        if (n < 0 && errno != EINTR) return 0;
    }
    return -1;
}

bool SleepUntil(int64_t deadline_ns) {
    while (!g_stop) {
        if (deadline_ns - NowNs() <= 0) return true;
        struct timespec ts = Left(deadline_ns);
        ppoll(nullptr, 0, &ts, &g_unblocked);
    }
    return false;
}

bool WriteAll(int fd, const uint8_t* data, size_t size, int stall_ms) {
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
            stall_ms / 1000, (stall_ms % 1000) * 1000000L
        };
        if (ppoll(&p, 1, &ts, &g_unblocked) == 0) return false;  // nobody takes the bytes
    }
    return done == size;
}

bool SendPaced(const Reply& reply, const std::function<bool(const uint8_t*, size_t)>& put,
               const std::function<bool(int64_t deadline_ns)>& interrupted) {
    const Bytes& out = reply.bytes;
    if (out.empty()) return true;
    const Misbehaviour& m = reply.how;
    if (!m.pace && m.slow_ms == 0) return put(out.data(), out.size());
    const int64_t start = NowNs();
    for (size_t i = 0; i < out.size(); ++i) {
        const int64_t byte_ns = reply.byte_ns > 0 ? reply.byte_ns : kByteTimeNs;
        const int64_t due = start + (m.pace ? static_cast<int64_t>(i + 1) * byte_ns : 0) +
                            static_cast<int64_t>(i + 1) * m.slow_ms * 1000000LL;
        if (interrupted(due) || g_stop) return false;
        if (!put(&out[i], 1)) return false;
    }
    return true;
}

}  // namespace ordavo::sim
