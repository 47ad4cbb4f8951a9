// PDF-417: decoding 100 pictures of symbols into an audit file (goal: at least 50 symbols a
// second); decoding photographed or scanned pages of the same symbols (2200 x 900, turned,
// blurred, noisy) against clean pages of that size (goal: at most 5 times the clean time); and
// capturing a 20-symbol series from the simulated scanner at 115200 baud (goal:
// the capture time at most 1.05 times the wire time of its bytes plus the 1.6 s of fixed waits
// per symbol).
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "engine/util.h"
#include "fiscalmemory/library/pdf417_decoder.h"
#include "pdf417/core/pdf_scanner.h"
#include "sim/pdf417_bitmaps.h"
#include "sim/scanner_series.h"
#include "tests/support/degraded_picture.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

namespace {

using namespace ordavo;
using Steady = std::chrono::steady_clock;

void BM_DecodePictures(benchmark::State& state) {
    const std::vector<std::string> symbols = sim::ScannerSymbols(sim::ScannerJournal(sim::PrinterWithSymbols(100)));
    test::TempDir dir;
    std::vector<std::string> files;
    std::string error;
    if (symbols.size() != 100 || !sim::WritePdf417Pictures(dir.path(), symbols, "bmp", files, error)) {
        state.SkipWithError(("pictures not written: " + error).c_str());
        return;
    }
    double seconds = 0;
    for (auto _ : state) {
        const Steady::time_point t0 = Steady::now();
        mfd::Pdf417ToMfd d;
        d.Open(dir.File("out.mfd").c_str());
        for (const std::string& f : files)
            if (d.Add(f.c_str()) != 0) state.SkipWithError(("not decoded: " + f).c_str());
        if (d.Close() != 0) state.SkipWithError("not written");
        seconds = std::chrono::duration<double>(Steady::now() - t0).count();
    }
    state.counters["symbols_per_s"] = 100 / seconds;
    state.counters["goal_met"] = 100 / seconds >= 50;
}
BENCHMARK(BM_DecodePictures)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_DecodeDegradedPages(benchmark::State& state) {
    const std::vector<std::string> symbols = sim::ScannerSymbols(sim::ScannerJournal(sim::PrinterWithSymbols(12)));
    test::TempDir dir;
    std::vector<mfd::GreyPicture> clean, degraded;
    const test::Degradation kinds[] = {
        {2200, 900, 3, 1.0, 20, 1}, {2200, 900, -5, 0, 30, 2}, {2200, 900, 1, 1.0, 0, 3}, {2200, 900, -2, 1.0, 35, 4},
    };
    for (size_t i = 0; i < symbols.size(); ++i) {
        std::string error;
        mfd::GreyPicture symbol;
        if (!sim::WritePdf417Picture(dir.File("s.png"), symbols[i], error) ||
            !mfd::LoadPicture(dir.File("s.png"), symbol, &error)) {
            state.SkipWithError(("picture not written: " + error).c_str());
            return;
        }
        clean.push_back(test::Degrade(symbol, {2200, 900, 0, 0, 0, 1}));
        test::Degradation how = kinds[i % 4];
        how.seed = static_cast<uint32_t>(i + 1);
        degraded.push_back(test::Degrade(symbol, how));
    }
    auto run = [&](const std::vector<mfd::GreyPicture>& pages, int& decoded) {
        const Steady::time_point t0 = Steady::now();
        decoded = 0;
        for (size_t i = 0; i < pages.size(); ++i) {
            std::string bytes;
            if (mfd::DecodePdf417(pages[i], bytes) && bytes == symbols[i]) ++decoded;
        }
        return std::chrono::duration<double>(Steady::now() - t0).count();
    };
    double clean_s = 0, degraded_s = 0;
    int clean_ok = 0, degraded_ok = 0;
    for (auto _ : state) {
        clean_s = run(clean, clean_ok);
        degraded_s = run(degraded, degraded_ok);
    }
    const double n = static_cast<double>(symbols.size());
    state.counters["clean_symbols_per_s"] = n / clean_s;
    state.counters["degraded_symbols_per_s"] = n / degraded_s;
    state.counters["clean_decoded"] = clean_ok;
    state.counters["degraded_decoded"] = degraded_ok;
    state.counters["ratio"] = degraded_s / clean_s;
    state.counters["goal_met"] = degraded_ok == static_cast<int>(n) && degraded_s <= 5 * clean_s;
}
BENCHMARK(BM_DecodeDegradedPages)->Iterations(1)->Unit(benchmark::kMillisecond);

// The capture window's part: the monitor's calls run here, as on the user-interface thread.
class Window : public pdf417::ScannerUi {
public:
    void Post(std::function<void()> task) override {
        std::lock_guard<std::mutex> lock(mu_);
        tasks_.push_back(std::move(task));
        cv_.notify_all();
    }
    pdf417::Answer Ask(const std::string&, const std::string&, pdf417::Buttons, pdf417::Icon) override {
        return pdf417::Answer::kOk;
    }
    void ShowTexts(const pdf417::CaptureTexts&) override {}
    void Beep() override {}
    void Stop() override { stopped = true; }
    bool ChooseSaveFile(std::string&) override { return false; }
    bool RunUntilStopped(int seconds) {
        const auto end = Steady::now() + std::chrono::seconds(seconds);
        while (!stopped) {
            std::function<void()> task;
            {
                std::unique_lock<std::mutex> lock(mu_);
                if (!cv_.wait_until(lock, end, [&] { return !tasks_.empty(); })) return false;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
        return true;
    }
    bool stopped = false;

private:
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
};

void BM_Capture20Symbols(benchmark::State& state) {
    const int kDelayMs = 300;  // the simulator's pause after the port opens, before the first byte
    const sim::PrinterState printer = sim::PrinterWithSymbols(20);
    const std::vector<std::string> symbols = sim::ScannerSymbols(sim::ScannerJournal(printer));
    test::TempDir dir;
    WriteFileAtomically(dir.File("state.txt"), printer.Serialize());
    size_t bytes = 0;
    for (const std::string& s : symbols) bytes += s.size();
    const double wire = bytes * 10.0 / 115200;  // start bit, eight data bits, stop bit
    const double ideal = wire + 1.6 * symbols.size();
    double ratio = 0, seconds = 0;
    for (auto _ : state) {
        // The scanner's user pauses 1.65 s between symbols: a symbol must not run into the
        // capture's 1.6 s of waits for the one before.
        test::BackgroundProcess sim(test::ProgramPath("ordavo-printer-sim"),
                                    {"--scanner", dir.File("scanner"), "--state", dir.File("state.txt"),
                                     "--scanner-baud", "115200", "--scanner-gap", "1650", "--scanner-delay",
                                     std::to_string(kDelayMs)});
        if (sim.FirstLine(10000) != dir.File("scanner")) {
            state.SkipWithError("the simulated scanner did not start");
            return;
        }
        Window window;
        pdf417::PDFScanner scanner;
        scanner.SetUi(&window);
        pdf417::LineSettings line;
        line.port_name = dir.File("scanner");
        const Steady::time_point t0 = Steady::now();
        if (!scanner.OpenPort(line) || !window.RunUntilStopped(120) || !scanner.Series().Complete()) {
            scanner.ClosePort();
            state.SkipWithError("the series was not captured");
            return;
        }
        seconds = std::chrono::duration<double>(Steady::now() - t0).count() - kDelayMs / 1000.0;
        scanner.ClosePort();
        ratio = seconds / ideal;
    }
    state.counters["symbols"] = static_cast<double>(symbols.size());
    state.counters["capture_s"] = seconds;
    state.counters["wire_plus_waits_s"] = ideal;
    state.counters["ratio"] = ratio;
    state.counters["goal_met"] = ratio <= 1.05;
}
BENCHMARK(BM_Capture20Symbols)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
