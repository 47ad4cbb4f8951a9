// Time keeping of the transports' bounded waits: a monotonic clock in microseconds and the
// whole milliseconds that poll() takes.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace ordavo {

inline int64_t NowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Rounded up, so that a wait never ends before its limit.
inline int PollMs(int64_t remaining_us) {
    if (remaining_us <= 0) return 0;
    return static_cast<int>(std::min<int64_t>((remaining_us + 999) / 1000, 1 << 30));
}

}  // namespace ordavo
