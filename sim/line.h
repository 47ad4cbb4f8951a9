// What every line of the simulator shares: the stop request from a signal, waits that wake up
// for it, and sending an answer at the pace the misbehaviour asks for.
#pragma once

#include <signal.h>

#include <cstddef>
#include <cstdint>
#include <functional>

#include "sim/responder.h"

namespace ordavo::sim {

// Set by SIGTERM, SIGINT and SIGHUP.
extern volatile sig_atomic_t g_stop;
// The signal mask to wait with: the stop signals are blocked everywhere else, so that none is
// lost between a check of g_stop and the next wait.
extern sigset_t g_unblocked;
void InstallStopSignals();

// Waits until `fd` is readable (or hung up), until `deadline_ns` (monotonic; -1: no deadline),
// or a stop signal. 1: readable; 0: deadline reached; -1: stop requested.
int WaitReadable(int fd, int64_t deadline_ns);
// Sleeps until `deadline_ns` unless a stop signal comes first; false when it did.
bool SleepUntil(int64_t deadline_ns);

// Writes everything, waiting at most `stall_ms` each time the other end takes nothing.
bool WriteAll(int fd, const uint8_t* data, size_t size, int stall_ms);

// Sends a reply through `put`, all at once or byte by byte at the pace it asks for. Between
// paced bytes `interrupted` is asked whether the other side moved on (a new frame on the line);
// if so the rest of the answer is dropped. False when `put` failed or the answer was dropped.
bool SendPaced(const Reply& reply, const std::function<bool(const uint8_t*, size_t)>& put,
               const std::function<bool(int64_t deadline_ns)>& interrupted);

// One byte at 9600 baud with a start bit, 8 data bits and 2 stop bits.
constexpr int64_t kByteTimeNs = 11 * 1000000000LL / 9600;
// A frame cut short is given up after this much silence on the line.
constexpr int kInterByteMs = 500;

}  // namespace ordavo::sim
