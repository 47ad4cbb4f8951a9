// The engine's surroundings, replaceable by tests: the user interface, the clock, the
// transport factory and the settings record in use.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "engine/ui.h"
#include "shell/core/settings.h"
#include "transport/printer_interface.h"

namespace ordavo {

class Comando;

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds of a monotonic clock.
    virtual int64_t MonotonicMs();
    // Wall-clock time (seconds and the millisecond field), for log stamps and random seeds.
    virtual std::time_t Now();
    virtual int UtcMillisecond();
    virtual void SleepMs(int ms);
};

using TransportFactory =
    std::function<std::unique_ptr<PrinterInterface>(const std::string& port_name, const Settings&)>;

struct Environment {
    UserInterface* ui = nullptr;        // never null after EngineEnv()
    Clock* clock = nullptr;             // never null after EngineEnv()
    TransportFactory transport_factory;  // defaults to CreateTransport
    Settings* settings = nullptr;       // defaults to GetSettings()
    // Name of the parallel-port library the "TESTE" commands load.
    std::string inpout_library = "inpout32.so";
    // Told of every command that Executar ran (not the "TESTE" ones), with its result: the
    // main window shows the last outcome.
    std::function<void(const Comando&, int32_t result)> executed;
};

// The process-wide environment, with defaults filled in on first use.
Environment& EngineEnv();

// Restores the defaults (the tests call it between cases).
void ResetEngineEnv();

}  // namespace ordavo
