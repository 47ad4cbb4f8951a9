#include "engine/env.h"

#include <chrono>
#include <thread>

namespace ordavo {

int64_t Clock::MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::time_t Clock::Now() { return std::time(nullptr); }

int Clock::UtcMillisecond() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<int>(ms % 1000);
}

void Clock::SleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

namespace {

Environment& Storage() {
    static Environment env;
    return env;
}

void FillDefaults(Environment& env) {
    static UserInterface default_ui;
    static Clock default_clock;
    if (!env.ui) env.ui = &default_ui;
    if (!env.clock) env.clock = &default_clock;
    if (!env.transport_factory) env.transport_factory = CreateTransport;
    if (!env.settings) env.settings = &GetSettings();
}

}  // namespace

Environment& EngineEnv() {
    Environment& env = Storage();
    FillDefaults(env);
    return env;
}

void ResetEngineEnv() {
    Storage() = Environment();
    FillDefaults(Storage());
}

}  // namespace ordavo
