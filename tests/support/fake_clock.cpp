#include "tests/support/fake_clock.h"

namespace ordavo::test {

FakeClock::FakeClock(std::time_t wall_start) : wall_start_(wall_start) {}

std::time_t FakeClock::Now() {
    return wall_start_ + static_cast<std::time_t>((now_ms_ - wall_offset_ms_) / 1000);
}

int FakeClock::UtcMillisecond() {
    return static_cast<int>((now_ms_ - wall_offset_ms_) % 1000);
}

void FakeClock::SleepMs(int ms) {
    sleeps_.push_back(ms);
    if (ms > 0) now_ms_ += ms;
}

void FakeClock::Advance(int64_t ms) {
    if (ms > 0) now_ms_ += ms;
}

void FakeClock::SetWallTime(std::time_t t) {
    wall_start_ = t;
    wall_offset_ms_ = now_ms_;
}

int64_t FakeClock::TotalSleptMs() const {
    int64_t total = 0;
    for (int ms : sleeps_) total += ms > 0 ? ms : 0;
    return total;
}

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

}  // namespace ordavo::test
