// The scanner object on a pseudo-terminal: the monitor thread, the texts it shows, the
// questions of opening, closing and saving, and the thread always ending before the port
// closes. The test's main thread plays the user-interface thread: it runs what the monitor
// posts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/util.h"
#include "fiscalmemory/core/audit_file.h"
#include "pdf417/core/pdf_scanner.h"
#include "sim/scanner_series.h"
#include "tests/support/paths.h"

namespace ordavo::pdf417 {
namespace {

using Clock = std::chrono::steady_clock;

class FakeUi : public ScannerUi {
public:
    struct Question {
        std::string text, caption;
        Buttons buttons;
        Icon icon;
    };

    void Post(std::function<void()> task) override {
        std::lock_guard<std::mutex> lock(mu_);
        tasks_.push_back(std::move(task));
        cv_.notify_all();
    }
    Answer Ask(const std::string& text, const std::string& caption, Buttons buttons, Icon icon) override {
        questions.push_back({text, caption, buttons, icon});
        if (answers.empty()) return buttons == Buttons::kOk ? Answer::kOk : Answer::kCancel;
        Answer a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    void ShowTexts(const CaptureTexts& t) override { shown.push_back(t); }
    void Beep() override { ++beeps; }
    void Stop() override { ++stops; }
    bool ChooseSaveFile(std::string& path) override {
        ++save_dialogs;
        path = save_path;
        return !save_path.empty();
    }

    // Runs posted tasks until `done` holds or `ms` pass; false on time-out.
    bool PumpUntil(const std::function<bool()>& done, int ms) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            if (done()) return true;
            std::function<void()> task;
            {
                std::unique_lock<std::mutex> lock(mu_);
                if (!cv_.wait_until(lock, end, [&] { return !tasks_.empty(); })) return done();
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }
    void Pump(int ms) { PumpUntil([] { return false; }, ms); }
    size_t Pending() {
        std::lock_guard<std::mutex> lock(mu_);
        return tasks_.size();
    }

    std::vector<Answer> answers;
    std::vector<Question> questions;
    std::vector<CaptureTexts> shown;
    int beeps = 0, stops = 0, save_dialogs = 0;
    std::string save_path;

private:
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
};

// A pseudo-terminal: the scanner opens the slave, the test writes to the master.
class Line {
public:
    Line() {
        char name[256];
        EXPECT_EQ(openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        path_ = name;
    }
    ~Line() {
        CloseMaster();
        if (slave_ >= 0) ::close(slave_);
    }
    const std::string& path() const { return path_; }
    int slave() const { return slave_; }
    void Send(const std::string& bytes) {
        size_t at = 0;
        while (at < bytes.size()) {
            ssize_t n = ::write(master_, bytes.data() + at, bytes.size() - at);
            ASSERT_GT(n, 0);
            at += static_cast<size_t>(n);
        }
    }
    void CloseMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1, slave_ = -1;
    std::string path_;
};

LineSettings On(const std::string& path) {
    LineSettings l;
    l.port_name = path;
    return l;
}

std::vector<std::string> ThreeSymbols() {
    // A journal of 2000 bytes: three symbols of 678, 678 and 674 bytes.
    std::string journal;
    for (int i = 0; i < 2000; ++i) journal.push_back(static_cast<char>('A' + i % 26));
    return sim::ScannerSymbols(journal);
}

// Sends a symbol and lets the monitor take it: its 1.6 s of waits, and the refresh.
void SendAndShow(Line& line, FakeUi& ui, const std::string& bytes) {
    const size_t before = ui.shown.size();
    line.Send(bytes);
    ASSERT_TRUE(ui.PumpUntil([&] { return ui.shown.size() > before; }, 5000)) << "no refresh";
}

// A scanner whose monitor watches a fresh line, with the refreshes recorded.
class PDFScannerOnLine : public ::testing::Test {
protected:
    void SetUp() override {
        scanner.SetUi(&ui);
        ASSERT_TRUE(scanner.OpenPort(On(line.path())));
    }
    Line line;
    FakeUi ui;
    PDFScanner scanner;
};

TEST_F(PDFScannerOnLine, CapturesASeriesInAnyOrderAndSavesItInPositionOrder) {
    EXPECT_TRUE(scanner.Monitoring());
    const std::vector<std::string> s = ThreeSymbols();

    struct Step {
        int symbol;
        std::string expected, received, status;
    } steps[] = {
        {2, "3", "1", "S\xEDmbolo lido: 3/3"},
        {0, "3", "2", "S\xEDmbolo lido: 1/3"},
        {0, "3", "2", "S\xEDmbolo j\xE1 foi lido"},
        {1, "3", "3", "S\xEDmbolo lido: 2/3"},
    };
    for (const Step& st : steps) {
        SendAndShow(line, ui, s[st.symbol]);
        const CaptureTexts& t = ui.shown.back();
        EXPECT_EQ(t.expected, st.expected);
        EXPECT_EQ(t.received, st.received);
        EXPECT_EQ(t.status, st.status);
        EXPECT_EQ(t.dump, SymbolDump(s[st.symbol]));
    }
    EXPECT_EQ(ui.beeps, 4);
    // The complete series: the message, then the posted "&Parar"; the thread ends by itself.
    ASSERT_TRUE(ui.PumpUntil([&] { return ui.stops == 1; }, 3000));
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text, "Todos los s\xEDmbolos foram leydos.\nPresione OK para continuar");
    EXPECT_EQ(ui.questions[0].caption, "Fim de la Captura");
    EXPECT_EQ(ui.questions[0].icon, Icon::kInformation);
    const auto end = Clock::now() + std::chrono::seconds(2);
    while (scanner.Monitoring() && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(scanner.Monitoring());

    test::TempDir dir;
    ui.save_path = dir.File("serie.mfd");
    EXPECT_TRUE(scanner.SaveCapture());
    EXPECT_FALSE(scanner.IsOpen());
    EXPECT_EQ(scanner.Expected(), 0u) << "the series is freed when the port closes";
    ASSERT_EQ(ui.questions.size(), 2u) << "no question for a complete series";
    EXPECT_EQ(ui.questions[1].caption, "Conclu\xED"
                                       "do");
    EXPECT_NE(ui.questions[1].text.find("FORAM DECODIFICADOS (3) S\xCDMBOLOS PDF-417."), std::string::npos);
    EXPECT_NE(ui.questions[1].text.find("Arquivo serie.mfd criado com sucesso."), std::string::npos);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(ui.save_path, bytes));
    std::string journal;
    for (const std::string& sym : s) journal += sym.substr(8, sym.size() - 10);
    EXPECT_EQ(bytes, fm::BuildAuditFile(journal));
    EXPECT_EQ(bytes.size(), 524288u + 1536u + 668u + 668u + 664u + 256u);
}

TEST_F(PDFScannerOnLine, MalformedSymbolsAreRefusedWithAStatusText) {
    const std::vector<std::string> s = ThreeSymbols();
    SendAndShow(line, ui, s[0]);

    std::string beyond = s[1];
    beyond[4] = 0x70, beyond[5] = 0x0A;  // position 2672: symbol 5 of 3
    struct Case {
        std::string bytes, status;
    } cases[] = {
        {"\x01\x02\x03\x04\x05", "S\xEDmbolo inv\xE1lido: 5 bytes"},
        {beyond, "S\xEDmbolo fora da s\xE9rie: 5/3"},
        {std::string(2048, '\x55'), "S\xEDmbolo com mais de 1024 bytes"},
    };
    for (const Case& c : cases) {
        SendAndShow(line, ui, c.bytes);
        EXPECT_EQ(ui.shown.back().status, c.status);
        EXPECT_EQ(ui.shown.back().received, "1");
        EXPECT_EQ(scanner.Received(), 1u);
    }
    // After the burst, the line is clean again: the next symbol is taken whole.
    SendAndShow(line, ui, s[1]);
    EXPECT_EQ(ui.shown.back().status, "S\xEDmbolo lido: 2/3");
    EXPECT_TRUE(scanner.ClosePort());
    EXPECT_FALSE(scanner.Monitoring());
}

TEST_F(PDFScannerOnLine, SymbolsScannedCloseTogetherAreTakenOneByOne) {
    const std::vector<std::string> s = ThreeSymbols();
    // One burst of two symbols, then one of the third and a stray tail: four texts.
    struct Burst {
        std::string bytes;
        std::vector<std::string> statuses;
        uint32_t received;
    } bursts[] = {
        {s[1] + s[0], {"S\xEDmbolo lido: 2/3", "S\xEDmbolo lido: 1/3"}, 2},
        {s[0] + s[2].substr(0, 100), {"S\xEDmbolo j\xE1 foi lido", "S\xEDmbolo incompleto: 90 de 664 bytes"}, 2},
        {s[2] + "\x01\x02\x03", {"S\xEDmbolo lido: 3/3", "S\xEDmbolo inv\xE1lido: 3 bytes"}, 3},
    };
    for (const Burst& b : bursts) {
        const size_t before = ui.shown.size();
        line.Send(b.bytes);
        ASSERT_TRUE(ui.PumpUntil([&] { return ui.shown.size() >= before + b.statuses.size(); }, 5000));
        std::vector<std::string> statuses;
        for (size_t i = before; i < ui.shown.size(); ++i) statuses.push_back(ui.shown[i].status);
        EXPECT_EQ(statuses, b.statuses);
        EXPECT_EQ(scanner.Received(), b.received);
    }
    EXPECT_TRUE(scanner.Series().Complete());
    EXPECT_TRUE(scanner.ClosePort());
}

TEST(PDFScanner, TheThreadEndsBeforeThePortCloses) {
    const std::vector<std::string> s = ThreeSymbols();
    // 1: closed while the monitor waits for the rest of a symbol.
    {
        Line line;
        FakeUi ui;
        PDFScanner scanner;
        scanner.SetUi(&ui);
        ASSERT_TRUE(scanner.OpenPort(On(line.path())));
        line.Send(s[0]);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const auto t0 = Clock::now();
        EXPECT_TRUE(scanner.ClosePort());
        EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(500));
        EXPECT_FALSE(scanner.Monitoring());
        EXPECT_FALSE(scanner.IsOpen());
        ui.Pump(100);
        EXPECT_TRUE(ui.shown.empty());
    }
    // 2: closed while the monitor waits for a refresh that the window never ran.
    {
        Line line;
        FakeUi ui;
        auto scanner = std::make_unique<PDFScanner>();
        scanner->SetUi(&ui);
        ASSERT_TRUE(scanner->OpenPort(On(line.path())));
        line.Send(s[0]);
        const auto end = Clock::now() + std::chrono::seconds(5);
        while (ui.Pending() == 0 && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(ui.Pending(), 1u);
        const auto t0 = Clock::now();
        EXPECT_TRUE(scanner->ClosePort());
        EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(500));
        scanner.reset();
        ui.Pump(50);  // the late refresh finds its call cancelled
        EXPECT_TRUE(ui.shown.empty());
        EXPECT_EQ(ui.beeps, 0);
    }
    // 3: the device goes away: the thread says so and ends, without spinning.
    {
        Line line;
        FakeUi ui;
        PDFScanner scanner;
        scanner.SetUi(&ui);
        ASSERT_TRUE(scanner.OpenPort(On(line.path())));
        ::close(line.slave());  // only the scanner holds the slave now
        line.CloseMaster();
        ASSERT_TRUE(ui.PumpUntil([&] { return !ui.shown.empty(); }, 3000));
        EXPECT_EQ(ui.shown.back().status.rfind("Erro na porta " + line.path(), 0), 0u) << ui.shown.back().status;
        const auto end = Clock::now() + std::chrono::seconds(2);
        while (scanner.Monitoring() && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_FALSE(scanner.Monitoring());
        EXPECT_TRUE(scanner.ClosePort());
    }
}

TEST(PDFScanner, PortsThatDoNotOpenAskToRetry) {
    test::TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.File("plain"), "x"));
    Line busy_line;
    PDFScanner holder;
    ASSERT_TRUE(holder.OpenPort(On(busy_line.path())));
    struct Case {
        std::string port;
        std::string error_start;
    } cases[] = {
        {dir.File("none"), "No such file or directory"},
        {dir.File("plain"), "Inappropriate ioctl for device"},
        {busy_line.path(), "Device or resource busy"},
    };
    for (const Case& c : cases) {
        FakeUi ui;
        ui.answers = {Answer::kOk, Answer::kRetry, Answer::kOk, Answer::kCancel};
        PDFScanner scanner;
        scanner.SetUi(&ui);
        EXPECT_FALSE(scanner.OpenPort(On(c.port))) << c.port;
        EXPECT_FALSE(scanner.IsOpen());
        ASSERT_EQ(ui.questions.size(), 4u) << c.port;
        for (int i : {0, 2}) {
            EXPECT_EQ(ui.questions[i].caption, "Erro na porta " + c.port);
            EXPECT_EQ(ui.questions[i].text.rfind(c.error_start, 0), 0u) << ui.questions[i].text;
            EXPECT_EQ(ui.questions[i].icon, Icon::kExclamation);
        }
        EXPECT_EQ(ui.questions[1].text, "Porta serial " + c.port + " pode n\xE3o ter\nsido corretamente inicializada.");
        EXPECT_EQ(ui.questions[1].caption, "Aten\xE7\xE3o");
        EXPECT_EQ(ui.questions[1].buttons, Buttons::kRetryCancel);
    }
    // A COM name maps like the printer's ports.
    FakeUi ui;
    PDFScanner scanner;
    scanner.SetUi(&ui);
    LineSettings com = On("COM4:");
    if (access("/dev/ttyS3", F_OK) != 0) {
        EXPECT_FALSE(scanner.OpenPort(com));
        ASSERT_FALSE(ui.questions.empty());
        EXPECT_NE(ui.questions[0].text.find("(/dev/ttyS3)"), std::string::npos) << ui.questions[0].text;
    }
    scanner.ClosePort();
}

TEST(PDFScanner, LineSettingsAreAppliedAndRestored) {
    Line line;
    struct termios before {};
    ASSERT_EQ(tcgetattr(line.slave(), &before), 0);
    PDFScanner scanner;
    LineSettings l = On(line.path());
    l.baud = 9600, l.data_bits = 7, l.parity = Parity::kOdd, l.stop_bits = StopBits::kTwo;
    ASSERT_TRUE(scanner.OpenPort(l));
    struct termios t {};
    ASSERT_EQ(tcgetattr(line.slave(), &t), 0);
    EXPECT_EQ(cfgetispeed(&t), B9600);
    // A pseudo-terminal keeps eight data bits without parity whatever it is asked.
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_FALSE(t.c_lflag & ICANON) << "raw: no end-of-file processing";
    EXPECT_TRUE(scanner.ClosePort());
    ASSERT_EQ(tcgetattr(line.slave(), &t), 0);
    EXPECT_EQ(t.c_cflag, before.c_cflag);
    EXPECT_EQ(t.c_lflag, before.c_lflag);
}

TEST(PDFScanner, StoppingWithSymbolsMissing) {
    const std::vector<std::string> s = ThreeSymbols();
    test::TempDir dir;
    Line line;
    FakeUi ui;
    PDFScanner scanner;
    scanner.SetUi(&ui);
    // Nothing received: no question, no file dialog, the port closes.
    ASSERT_TRUE(scanner.OpenPort(On(line.path())));
    EXPECT_TRUE(scanner.SaveCapture());
    EXPECT_FALSE(scanner.IsOpen());
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(ui.save_dialogs, 0);

    ASSERT_TRUE(scanner.OpenPort(On(line.path())));
    SendAndShow(line, ui, s[2]);
    SendAndShow(line, ui, s[0]);
    // Cancel: the capture goes on.
    ui.answers = {Answer::kCancel};
    EXPECT_FALSE(scanner.SaveCapture());
    EXPECT_TRUE(scanner.IsOpen());
    EXPECT_TRUE(scanner.Monitoring());
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].buttons, Buttons::kYesNoCancel);
    EXPECT_EQ(ui.questions[0].text.rfind("Alguns s\xEDmbolos impressos n\xE3o foram capturados.\n", 0), 0u);
    // Yes, into a folder that does not exist: the "Erro" message, no file, and the symbols are
    // kept unless the user agrees to drop them.
    ui.answers = {Answer::kYes, Answer::kOk, Answer::kNo};
    ui.save_path = dir.File("missing/parcial.mfd");
    EXPECT_FALSE(scanner.SaveCapture());
    ASSERT_EQ(ui.questions.size(), 4u);
    EXPECT_EQ(ui.questions[2].caption, "Erro");
    EXPECT_EQ(ui.questions[2].icon, Icon::kStop);
    EXPECT_NE(ui.questions[2].text.find("\nArquivo: " + ui.save_path), std::string::npos);
    EXPECT_EQ(ui.questions[3].buttons, Buttons::kYesNo);
    EXPECT_EQ(ui.questions[3].text.rfind("Los s\xEDmbolos capturados no fueron guardados", 0), 0u);
    EXPECT_TRUE(scanner.IsOpen());
    EXPECT_EQ(scanner.Received(), 2u);
    // The save dialog cancelled, then "Sí": the symbols go and the port closes.
    ui.answers = {Answer::kYes, Answer::kYes};
    ui.save_path.clear();
    EXPECT_TRUE(scanner.SaveCapture());
    ASSERT_EQ(ui.questions.size(), 6u);
    EXPECT_EQ(ui.questions[5].buttons, Buttons::kYesNo);
    EXPECT_FALSE(scanner.IsOpen());
    EXPECT_EQ(scanner.Received(), 0u);

    // Again, and Yes: both symbols are written, in position order.
    ASSERT_TRUE(scanner.OpenPort(On(line.path())));
    SendAndShow(line, ui, s[2]);
    SendAndShow(line, ui, s[0]);
    ui.answers = {Answer::kYes};
    ui.save_path = dir.File("parcial.mfd");
    EXPECT_TRUE(scanner.SaveCapture());
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(ui.save_path, bytes));
    EXPECT_EQ(bytes, fm::BuildAuditFile(s[0].substr(8, 668) + s[2].substr(8, 664)));
    EXPECT_NE(ui.questions.back().text.find("FORAM DECODIFICADOS (2)"), std::string::npos);

    // No: nothing is written and the port closes.
    ASSERT_TRUE(scanner.OpenPort(On(line.path())));
    SendAndShow(line, ui, s[1]);
    ui.answers = {Answer::kNo};
    const int dialogs = ui.save_dialogs;
    EXPECT_TRUE(scanner.SaveCapture());
    EXPECT_EQ(ui.save_dialogs, dialogs);
    EXPECT_FALSE(scanner.IsOpen());
    EXPECT_FALSE(scanner.Monitoring());
}

}  // namespace
}  // namespace ordavo::pdf417
