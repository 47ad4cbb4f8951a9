// Running the built programs from tests: one-shot runs with captured output, and the printer
// simulator as a background process on a pseudo-terminal.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace ordavo::test {

struct RunResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Runs `program` with `args`, waits for it (at most `timeout_ms`, then kills it) and returns
// what it printed. `stdin_text` is written to its standard input.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args, int timeout_ms = 60000,
                     const std::string& stdin_text = "", const std::vector<std::string>& extra_env = {});

// A process started in the background, stopped (SIGTERM, then SIGKILL) when the object goes.
class BackgroundProcess {
public:
    BackgroundProcess(const std::string& program, const std::vector<std::string>& args);
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    pid_t pid() const { return pid_; }
    // The first line the process printed (waits at most `timeout_ms`); empty on time-out.
    std::string FirstLine(int timeout_ms = 10000);
    // Everything it printed so far, waiting at most `timeout_ms` for `wanted` to appear in it.
    std::string OutputUntil(const std::string& wanted, int timeout_ms);
    void Signal(int sig);
    // Waits for the process to end; its exit status, or 128 + signal; -1 on time-out.
    int Wait(int timeout_ms);
    // Everything it wrote to standard error so far.
    std::string Errors();

private:
    pid_t pid_ = -1;
    int out_fd_ = -1;
    std::string err_path_;
    std::string buffered_;
    int status_ = -1;
};

// ordavo-printer-sim on a fresh pseudo-terminal; `path()` is the device to give as port.
class Simulator {
public:
    explicit Simulator(const std::vector<std::string>& options = {});
    ~Simulator();
    const std::string& path() const { return path_; }
    bool ok() const { return !path_.empty(); }
    BackgroundProcess& process() { return *process_; }

private:
    std::string dir_;
    std::string path_;
    std::unique_ptr<BackgroundProcess> process_;
};

}  // namespace ordavo::test
