// The simulated PDF-417 scanner on a pseudo-terminal of its own (--scanner PATH).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sim/options.h"
#include "sim/pty.h"

namespace ordavo::sim {

// Serves until a stop signal: every time the port is opened, `symbols` are sent in `order`.
// `main_thread`: the only line of the simulator (prints PATH as its first line of output, and
// waits for the stop signals itself); otherwise it runs beside the printer's line. `ready` is
// called once the port is watched, before the first open can be missed.
int RunScanner(const Options& o, Pty& pty, std::vector<std::string> symbols, std::vector<size_t> order,
               bool main_thread, std::function<void()> ready = {});

}  // namespace ordavo::sim
