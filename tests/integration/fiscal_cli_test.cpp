// ordavo-cli fiscal against the printer simulator: every job of the download side, the texts
// and exit statuses, --json, and Ctrl-C during a download.
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "fiscalmemory/library/protocol.h"
#include "tests/integration/mfd_test_util.h"

namespace ordavo::test {
namespace {

class FiscalCli : public ::testing::Test {
protected:
    void SetUp() override {
        state_ = DemoState(3, 4);
        sim_ = std::make_unique<Simulator>(std::vector<std::string>{"--state", SaveState(dir_, state_)});
        ASSERT_TRUE(sim_->ok());
    }
    // ordavo-cli fiscal ARGS --port SIM, with its own runtime directory (the last answer).
    RunResult Cli(std::vector<std::string> args, bool port = true) {
        args.insert(args.begin(), "fiscal");
        if (port) args.insert(args.end(), {"--port", sim_->path(), "--dir", dir_.path()});
        return RunProgram(ProgramPath("ordavo-cli"), args, 60000, "", {"XDG_RUNTIME_DIR=" + runtime_.path()});
    }
    TempDir dir_, runtime_;
    sim::PrinterState state_;
    std::unique_ptr<Simulator> sim_;
};

TEST_F(FiscalCli, SerialAndLastAck) {
    RunResult r = Cli({"last-ack", "--dir", dir_.path()}, false);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Retorno no Almacenado"), std::string::npos) << r.err;
    r = Cli({"serial"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "VE0100000001\n");
    r = Cli({"serial", "--json"});
    EXPECT_EQ(nlohmann::json::parse(r.out)["serial"], "VE0100000001");
    r = Cli({"last-ack", "--json", "--dir", dir_.path()}, false);
    EXPECT_EQ(r.status, 0) << r.err;
    nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["ack"], 6);
    EXPECT_EQ(j["message"], "RETORNO OK");
}

TEST_F(FiscalCli, EveryDownloadKind) {
    struct Case {
        std::vector<std::string> args;
        std::string file;
    } cases[] = {
        {{"download", "mf"}, "a.mf"},
        {{"download", "sb"}, "a.bin"},
        {{"download", "key"}, "a.pub"},
        {{"download", "mfk"}, "a.mfk"},
        {{"download", "lx"}, "a.txk"},
        {{"download", "ma", "--coo", "3", "12", "--user", "1"}, "coo.mra"},
        {{"download", "ma", "--date", "021226", "031226"}, "date.mra"},
        {{"download", "ma", "--all"}, "all.mra"},
        {{"download", "lmf", "--crz", "1", "2"}, "lmf.txk"},
        {{"download", "it", "--date", "011226", "021226", "--simplified"}, "it.txk"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.file);
        c.args.insert(c.args.end(), {"--out", dir_.File(c.file)});
        RunResult r = Cli(c.args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "Archivo criado con \xC3\xA9xito: " + dir_.File(c.file) + "\n");
        EXPECT_TRUE(std::filesystem::exists(dir_.File(c.file)));
    }
    EXPECT_EQ(Slurp(dir_.File("coo.mra")),
              fm::BuildAuditFile(JournalOf(
                  state_, [](const fm::JournalDocument& d, int, int) { return d.coo >= 3 && d.coo <= 12 && d.user == 1; },
                  0, 0)));
    EXPECT_EQ(Slurp(dir_.File("all.mra")), fm::BuildAuditFile(sim::AuditJournal(state_)));
}

TEST_F(FiscalCli, SignedDownloadAndSignatureChecks) {
    RunResult r = Cli({"download", "mpk", "--date", "011226", "021226", "--out", dir_.File("a.mpk"), "--public-key",
                       dir_.File("k.pub")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Archivo Valido"), std::string::npos) << r.out;
    r = Cli({"validate", dir_.File("a.mpk"), dir_.File("k.pub")}, false);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Archivo Valido\n");
    std::string bad = Slurp(dir_.File("a.mpk"));
    bad[fm::kAuditHeadSize + 30] ^= 4;
    WriteFileAtomically(dir_.File("b.mpk"), bad);
    r = Cli({"validate", dir_.File("b.mpk"), dir_.File("k.pub"), "--json"}, false);
    EXPECT_EQ(r.status, 1);
    nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["code"], 255);
    EXPECT_EQ(j["message"], "Archivo Invalido");
}

TEST_F(FiscalCli, ZValidationAndDiagnosis) {
    {
        mfd::Session s(sim_->path());
        ASSERT_EQ(s.Open(), 0);
        ASSERT_EQ(s.Exchange({5}, 0, nullptr), 0);  // a reduction Z, with its validation text
    }
    ASSERT_EQ(Cli({"download", "ma", "--all", "--out", dir_.File("a.mra"), "--public-key", dir_.File("k.pub")}).status, 0);
    const std::string file = Slurp(dir_.File("a.mra"));
    const size_t at = file.rfind("VALIDACI\xD3N Z");
    ASSERT_NE(at, std::string::npos);
    const size_t from = file.find('\n', at) + 1;
    WriteFileAtomically(dir_.File("z.vlz"), file.substr(from, 5 * 42 + 1));  // five lines of 40 digits and one of 1
    RunResult r = Cli({"validate-z", dir_.File("z.vlz"), dir_.File("k.pub")}, false);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Reducci\xC3\xB3n Z N\xC2\xBA 0004 v\xC3\xA1lida"), std::string::npos) << r.out;

    ASSERT_EQ(Cli({"download", "mfk", "--out", dir_.File("a.mfk")}).status, 0);
    r = Cli({"diagnose-mf", "--out", dir_.File("d.txt"), "--signed", dir_.File("a.mfk")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Resultado: sin errores"), std::string::npos) << r.out;
}

TEST_F(FiscalCli, LibraryCodesGoToStandardError) {
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string message;
    } cases[] = {
        {{"download", "ma", "--coo", "25", "10"}, 15, "COO inicial posterior a final"},
        {{"download", "mpk", "--date", "311226", "011226"}, 12, "Fecha inicial posterior a final"},
        {{"download", "ma", "--date", "010127", "020127"}, 6, "Archivos sin datos v\xC3\xA1lidos."},
    };
    for (Case& c : cases) {
        c.args.insert(c.args.end(), {"--out", dir_.File("x")});
        RunResult r = Cli(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.message + " (" + std::to_string(c.code) + ")\n");
        c.args.push_back("--json");
        r = Cli(c.args);
        EXPECT_EQ(r.status, 1);
        nlohmann::json j = nlohmann::json::parse(r.out);
        EXPECT_EQ(j["code"], c.code);
        EXPECT_EQ(j["message"], c.message);
    }
    RunResult r = RunProgram(ProgramPath("ordavo-cli"),
                             {"fiscal", "download", "mf", "--out", dir_.File("x"), "--port", dir_.File("no-port")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error en la Puerta Serial (18)\n");
    EXPECT_FALSE(std::filesystem::exists(dir_.File("x")));
    r = Cli({"download", "ma", "--out", dir_.File("x")});
    EXPECT_EQ(r.status, 64);  // no range
}

TEST(FiscalCliInterrupt, CtrlCCancelsAndLeavesNoFile) {
    TempDir dir;
    Simulator sim({"--state", SaveState(dir, DemoState(60, 30)), "--pace"});
    ASSERT_TRUE(sim.ok());
    BackgroundProcess cli(ProgramPath("ordavo-cli"), {"fiscal", "download", "ma", "--all", "--out", dir.File("a.mra"),
                                                      "--port", sim.path(), "--dir", dir.path(), "--baud", "115200"});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(20000), 5) << cli.Errors();
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) left.push_back(e.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"printer.state"});
}

}  // namespace
}  // namespace ordavo::test
