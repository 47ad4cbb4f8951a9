// The printer behind any line: turns frames into the bytes the printer sends back, with the
// misbehaviour asked for on the command line or in the control file, and keeps the state file
// up to date. The pseudo-terminal, the TCP peer, the exchange files and the tests' USB device
// all answer through it, so every line carries the same printer.
#pragma once

#include <random>
#include <string>

#include "sim/frame.h"
#include "sim/options.h"
#include "sim/printer.h"

namespace ordavo::sim {

// Monotonic clock, nanoseconds.
int64_t NowNs();


struct Reply {
    Bytes bytes;         // what goes on the line, already cut short by silent-after
    Misbehaviour how;    // the pacing of those bytes
    bool complete = true;  // false when the printer falls silent before the end of its answer
    size_t full_size = 0;  // the length of the whole answer, before any cut
    int64_t byte_ns = 0;   // one byte on the line at the speed the printer answers with
};

class Responder {
  public:
    Responder(const Options& options, Printer& printer);

    // The printer's answer to a good frame.
    Reply Answer(const Frame& frame);
    // NAK for a frame that was dropped (`why` goes to the log).
    Reply Refuse(const std::string& why);

    // On standard error with --verbose.
    void Log(const std::string& text) const;

    Printer& printer() { return printer_; }

    // The line has been quiet since `since_ns` (monotonic): a printer left at another speed by
    // a download that never ended goes back to 9600 baud after kSpeedSilenceMs. Returns the
    // time at which it will, or -1 when it is at 9600.
    int64_t SpeedDeadline(int64_t since_ns);
    static constexpr int kSpeedSilenceMs = 3000;

  private:
    Misbehaviour Current();
    Reply Finish(Bytes out, const Misbehaviour& m, bool ends);

    const Options& o_;
    Printer& printer_;
    std::mt19937 rng_;
};

}  // namespace ordavo::sim
