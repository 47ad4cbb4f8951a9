// A clock that only moves when told to: sleeps and time-outs advance it at once, so tests of
// the engine's waits (52 reads of 2000 ms, 300 ms pauses) run in microseconds and can check
// the exact time spent.
#pragma once

#include <cstdint>
#include <ctime>
#include <vector>

#include "engine/env.h"

namespace ordavo::test {

class FakeClock : public Clock {
public:
    // `wall_start` is the wall-clock time at monotonic 0 (local time of the log stamps).
    explicit FakeClock(std::time_t wall_start = 0);

    int64_t MonotonicMs() override { return now_ms_; }
    std::time_t Now() override;
    int UtcMillisecond() override;
    void SleepMs(int ms) override;

    // Moves time forward without counting it as a sleep (a transport's time-out, a byte's
    // time on the wire).
    void Advance(int64_t ms);
    // Sets the wall-clock time that Now() reports from here on.
    void SetWallTime(std::time_t t);

    // Every SleepMs call, in order.
    const std::vector<int>& Sleeps() const { return sleeps_; }
    int64_t TotalSleptMs() const;
    void ClearSleeps() { sleeps_.clear(); }

private:
    int64_t now_ms_ = 0;
    std::time_t wall_start_ = 0;
    int64_t wall_offset_ms_ = 0;  // monotonic time at which wall_start_ holds
    std::vector<int> sleeps_;
};

// A local time as time_t (for log tests: "2009-03-15 23:59:58").
std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second);

}  // namespace ordavo::test
