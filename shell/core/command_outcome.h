// The last command's outcome as the main window's status bar shows it: "OK", or what went
// wrong (the printer's error, no answer and why, a cancel), marked as a failure.
#pragma once

#include <cstdint>
#include <string>

#include "engine/comando.h"

namespace ordavo {

struct CommandOutcome {
    bool ok = false;
    std::string text;  // Windows-1252
};

CommandOutcome OutcomeOf(const Comando& command, int32_t result);

}  // namespace ordavo
