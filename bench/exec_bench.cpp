// Command execution end to end: 200 commands of the Venezuelan sample catalog through
// Comando::Executar against the printer simulator on a pseudo-terminal, unpaced (engine and
// transport overhead per command, open and close included) and paced at 9600 baud 8N2 (whole
// time against the time the bytes need on the wire). Beside each, the same exchanges done by a
// minimal program with plain system calls.
//
// Goals: overhead under 2 ms per command; paced ratio under 1.05.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/catalog.h"
#include "engine/comando.h"
#include "engine/env.h"
#include "engine/ui.h"

namespace {

using namespace ordavo;
using Steady = std::chrono::steady_clock;

constexpr int kCommands = 200;
constexpr double kWireMsPerByte = 11.0 * 1000.0 / 9600.0;  // start, 8 data, 2 stop bits
constexpr int kWatchdogMs = 5000;

double MsSince(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

std::string FindSimulator() {
    for (const char* sub : {"/bin/", "/sim/", "/"}) {
        std::string p = std::string(ORDAVO_BINARY_DIR) + sub + "ordavo-printer-sim";
        if (::access(p.c_str(), X_OK) == 0) return p;
    }
    return {};
}

// The simulator as a child process; stopped (by its own pid) when the object goes away.
class Simulator {
public:
    ~Simulator() { Stop(); }

    bool Start(bool paced, const std::string& dir, std::string* error) {
        const std::string program = FindSimulator();
        if (program.empty()) {
            *error = "ordavo-printer-sim is not built";
            return false;
        }
        // A fresh name for every start: an older simulator's output must not be taken for
        // this one's.
        static int starts = 0;
        requested_ = dir + (paced ? "/printer-paced-" : "/printer-") + std::to_string(++starts);
        const std::string out = requested_ + ".out";
        ::unlink(out.c_str());
        pid_ = ::fork();
        if (pid_ < 0) {
            *error = "fork failed";
            return false;
        }
        if (pid_ == 0) {
            // Its output goes to a file: a pipe that nobody reads would stall it.
            int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) {
                ::dup2(fd, 1);
                ::dup2(fd, 2);
            }
            if (paced)
                ::execl(program.c_str(), program.c_str(), "--pty", requested_.c_str(), "--pace", (char*)nullptr);
            else
                ::execl(program.c_str(), program.c_str(), "--pty", requested_.c_str(), (char*)nullptr);
            ::_exit(127);
        }
        // The simulator prints the path on its first line once it answers.
        auto start = Steady::now();
        while (MsSince(start) < 10000) {
            std::ifstream in(out);
            std::string line;
            if (std::getline(in, line) && !in.eof()) {
                path_ = line;
                return true;
            }
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                *error = "the simulator ended before it was ready";
                return false;
            }
            ::usleep(10000);
        }
        *error = "the simulator did not say it was ready";
        return false;
    }

    void Stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

    const std::string& path() const { return path_; }

private:
    pid_t pid_ = -1;
    std::string requested_;
    std::string path_;
};

// No windows; a command that hangs for longer than the watchdog is cancelled, so that one
// silent command cannot stall the benchmark for minutes.
class WatchdogUi : public UserInterface {
public:
    class Progress : public ProgressWindow {
    public:
        using ProgressWindow::ProgressWindow;
        void PumpMessages(bool) override {
            if (!IsCancelled() && MsSince(start_) > kWatchdogMs) Cancel();
        }

    private:
        Steady::time_point start_ = Steady::now();
    };
    std::unique_ptr<ProgressWindow> CreateProgress(const std::string& title, bool) override {
        return std::make_unique<Progress>(title);
    }
};

// What the minimal program needs to know to read an answer.
struct Exchange {
    Comando prototype;
    std::vector<uint8_t> frame;
    bool status_first = false;
    int length = 0;  // fixed: whole answer; status first: the status part
    uint8_t terminator = 0x03;
};

size_t AnswerBytes(const std::string& dump) {
    size_t ret = dump.find("RET:");
    if (ret == std::string::npos) return 0;
    size_t n = 0;
    for (size_t i = ret; i < dump.size(); ++i)
        if (dump[i] == ' ' && i + 2 < dump.size() && dump[i + 1] != ' ') ++n;
    return n;
}

struct Setup {
    std::string error;
    std::string dir;
    Settings settings;
    WatchdogUi ui;
    Simulator unpaced;
    std::vector<Exchange> exchanges;  // kCommands of them, in execution order
    size_t distinct = 0;
    double baseline_unpaced_ms = -1;

    void UsePort(const std::string& port) {
        ResetEngineEnv();
        settings.PortName = port;
        settings.ExtendedReturn = 1;
        settings.AppDirectory = dir;
        EngineEnv().settings = &settings;
        EngineEnv().ui = &ui;
    }

    Setup() {
        char tmpl[] = "/tmp/ordavo-exec-bench-XXXXXX";
        if (!::mkdtemp(tmpl)) {
            error = "mkdtemp failed";
            return;
        }
        dir = tmpl;
        std::vector<Comando> catalog;
        const std::string path = std::string(ORDAVO_SOURCE_DIR) + "/catalogs/comandos_vn.xml";
        if (CarregarArquivoCatalogo(path, catalog, &error) != 0) {
            error = "cannot load " + path + ": " + error;
            return;
        }
        if (!unpaced.Start(false, dir, &error)) return;
        UsePort(unpaced.path());

        // Every command of the catalog that is sent to the printer and answered in a layout the
        // minimal program can read (GPRS answers need the state machine).
        std::vector<Exchange> usable;
        for (const Comando& proto : catalog) {
            if (proto.tipo == "TESTE" || proto.tipo == "GPRS") continue;
            Comando run = proto;
            if (run.Executar() != kExecOk) continue;
            Exchange e;
            e.prototype = proto;
            e.frame.assign(run.quadro.data, run.quadro.data + run.quadro.length);
            const int32_t catalog_len = run.tamanho_retorno - run.tamanho_status;
            const bool mf_port = run.n_bytes_escape > 0 && run.bytes_escape[0] == 8 && run.quadro.length > 17 &&
                                 (run.quadro.data[17] == 'R' || run.quadro.data[17] == 'r');
            e.status_first = catalog_len == -1 || catalog_len == -2 || mf_port;
            e.length = e.status_first ? run.tamanho_status : run.tamanho_retorno;
            e.terminator = catalog_len == -2 ? 0x00 : 0x03;
            usable.push_back(std::move(e));
        }
        if (usable.empty()) {
            error = "no command of the catalog was answered";
            return;
        }
        distinct = usable.size();
        for (int i = 0; i < kCommands; ++i) exchanges.push_back(usable[static_cast<size_t>(i) % usable.size()]);
    }

    ~Setup() {
        unpaced.Stop();
        ResetEngineEnv();
        if (!dir.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    }
};

Setup& TheSetup() {
    static Setup setup;
    return setup;
}

struct RunResult {
    double elapsed_ms = 0;
    size_t wire_bytes = 0;
    size_t answer_bytes = 0;  // the part that a pacing printer sends
    int failures = 0;
};

RunResult RunEngine(Setup& s) {
    RunResult r;
    auto start = Steady::now();
    for (const Exchange& e : s.exchanges) {
        Comando c = e.prototype;
        const int32_t result = c.Executar();
        if (result != kExecOk) {
            ++r.failures;
            std::fprintf(stderr, "exec_bench: \"%s\" (escape %s) ended with %d\n%s\n", c.titulo.c_str(),
                         c.escape.c_str(), result, c.dump.c_str());
        }
        const size_t answer = AnswerBytes(c.dump);
        r.answer_bytes += answer;
        r.wire_bytes += static_cast<size_t>(c.quadro.length) + answer;
    }
    r.elapsed_ms = MsSince(start);
    return r;
}

// Waits up to 2000 ms for something to read; false on time-out or error.
bool ReadSome(int fd, uint8_t* buf, size_t want, size_t& got) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 2000) <= 0) return false;
    ssize_t n = ::read(fd, buf, want);
    if (n <= 0) return false;
    got = static_cast<size_t>(n);
    return true;
}

// The same exchange with nothing but open, termios, write, poll, read and close.
bool RunMinimal(const std::string& port, const Exchange& e, size_t& answer_bytes) {
    int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    t.c_cflag |= CSTOPB | CLOCAL | CREAD;
    ::cfsetspeed(&t, B9600);
    ::tcsetattr(fd, TCSANOW, &t);
    ::tcflush(fd, TCIOFLUSH);
    bool ok = ::write(fd, e.frame.data(), e.frame.size()) == static_cast<ssize_t>(e.frame.size());
    uint8_t buf[4096];
    size_t total = 0;
    if (!e.status_first) {
        while (ok && total < static_cast<size_t>(e.length)) {
            size_t got = 0;
            ok = ReadSome(fd, buf, static_cast<size_t>(e.length) - total, got);
            if (ok && total == 0 && buf[0] == 0x15) {
                total = 1;
                break;
            }
            total += got;
        }
    } else {
        // Status part, then text up to the terminator (read one byte at a time past the status
        // so that nothing after the terminator is taken).
        bool done = false;
        while (ok && !done) {
            size_t want = total < static_cast<size_t>(e.length) ? static_cast<size_t>(e.length) - total : 1;
            size_t got = 0;
            ok = ReadSome(fd, buf, want, got);
            for (size_t i = 0; ok && i < got; ++i, ++total)
                if (total >= static_cast<size_t>(e.length) && buf[i] == e.terminator) done = true;
        }
    }
    ::close(fd);
    answer_bytes = total;
    return ok;
}

RunResult RunBaseline(const std::string& port, Setup& s) {
    RunResult r;
    auto start = Steady::now();
    for (const Exchange& e : s.exchanges) {
        size_t answer = 0;
        if (!RunMinimal(port, e, answer)) ++r.failures;
        r.answer_bytes += answer;
        r.wire_bytes += e.frame.size() + answer;
    }
    r.elapsed_ms = MsSince(start);
    return r;
}

void Report(benchmark::State& state, const RunResult& r) {
    state.counters["ms_per_command"] = r.elapsed_ms / kCommands;
    state.counters["wire_ratio"] = r.elapsed_ms / (static_cast<double>(r.wire_bytes) * kWireMsPerByte);
    // On a pseudo-terminal only the answer is paced; the frame arrives at once.
    state.counters["answer_ratio"] = r.elapsed_ms / (static_cast<double>(r.answer_bytes) * kWireMsPerByte);
    state.counters["bytes"] = static_cast<double>(r.wire_bytes);
    state.counters["distinct_commands"] = static_cast<double>(TheSetup().distinct);
    state.counters["failures"] = r.failures;
}

void BM_MinimalUnpaced(benchmark::State& state) {
    Setup& s = TheSetup();
    if (!s.error.empty()) return state.SkipWithError(s.error.c_str());
    RunResult r;
    for (auto _ : state) r = RunBaseline(s.unpaced.path(), s);
    s.baseline_unpaced_ms = r.elapsed_ms / kCommands;
    Report(state, r);
}

void BM_ExecutarUnpaced(benchmark::State& state) {
    Setup& s = TheSetup();
    if (!s.error.empty()) return state.SkipWithError(s.error.c_str());
    s.UsePort(s.unpaced.path());
    RunResult r;
    for (auto _ : state) r = RunEngine(s);
    Report(state, r);
    if (s.baseline_unpaced_ms >= 0)
        state.counters["overhead_ms_per_command"] = r.elapsed_ms / kCommands - s.baseline_unpaced_ms;
}

void BM_MinimalPaced(benchmark::State& state) {
    Setup& s = TheSetup();
    if (!s.error.empty()) return state.SkipWithError(s.error.c_str());
    Simulator paced;
    std::string error;
    if (!paced.Start(true, s.dir, &error)) return state.SkipWithError(error.c_str());
    RunResult r;
    for (auto _ : state) r = RunBaseline(paced.path(), s);
    Report(state, r);
}

void BM_ExecutarPaced(benchmark::State& state) {
    Setup& s = TheSetup();
    if (!s.error.empty()) return state.SkipWithError(s.error.c_str());
    Simulator paced;
    std::string error;
    if (!paced.Start(true, s.dir, &error)) return state.SkipWithError(error.c_str());
    s.UsePort(paced.path());
    RunResult r;
    for (auto _ : state) r = RunEngine(s);
    Report(state, r);
}

// The minimal program first, so that the engine's overhead can be given against it.
BENCHMARK(BM_MinimalUnpaced)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExecutarUnpaced)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MinimalPaced)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExecutarPaced)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
