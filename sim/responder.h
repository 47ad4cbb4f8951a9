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

struct Reply {
    Bytes bytes;         // what goes on the line, already cut short by silent-after
    Misbehaviour how;    // the pacing of those bytes
    bool complete = true;  // false when the printer falls silent before the end of its answer
    size_t full_size = 0;  // the length of the whole answer, before any cut
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

  private:
    Misbehaviour Current();
    Reply Finish(Bytes out, const Misbehaviour& m, bool ends);

    const Options& o_;
    Printer& printer_;
    std::mt19937 rng_;
};

}  // namespace ordavo::sim
