// ordavo-cli fiscal diagnose and download-parts as a user runs them: the file written, what is
// printed, the models, and the exit statuses.
#include <gtest/gtest.h>

#include <string>

#include "engine/codepage.h"
#include "engine/util.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

namespace ordavo {
namespace {

using test::ProgramPath;
using test::RunProgram;
using test::TempDir;

std::string CooLine(int n) { return Format("%-20sCOO:%06d\r\n", "CUPON FISCAL", n); }
const std::string kFab = "FAB:TV0102030405060708091011" "01/02/2010 08:00:00\r\n";
const std::string kFiller = "a\r\nb\r\nc\r\nd\r\n";

struct Case {
    const char* name;
    std::string report;
    std::vector<std::string> options;
    int status;
    std::string printed;  // UTF-8, a part of standard output
};

TEST(DiagnoseCli, ExitStatusFollowsTheFindings) {
    const Case cases[] = {
        {"clean report", CooLine(1) + CooLine(2), {}, 0, "\nNing\xC3\xBAn erro encontrado!\n"},
        {"lost documents", CooLine(120) + CooLine(123) + kFiller, {}, 1,
         "Perda de 2 documento(s)\nPerda de documento(s): 121 a 122\n"},
        {"user change only", CooLine(9) + "  ALTERACI\xD3N DE USUARIO\r\n" + CooLine(1), {}, 0,
         "ALTERACI\xC3\x93N DE USUARIO EN LA L\xC3\x8DNEA:2"},
        // The "FAB:" line dates the restart for any model but the Heron 2 TH.
        {"restart, no model", kFab + CooLine(30) + CooLine(2) + kFiller, {}, 1, "\nData:01022010\nHora:080000\n"},
        {"restart, Heron 2 TH", kFab + CooLine(30) + CooLine(2) + kFiller, {"--model", "Heron 2 TH"}, 1,
         "\nData:\nHora:\n"},
        {"restart, Kestrel 1", kFab + CooLine(30) + CooLine(2) + kFiller, {"--model", "Kestrel 1"}, 1,
         "\nData:01022010\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        ASSERT_TRUE(WriteFileAtomically(dir.File("relacion.txt"), c.report));
        std::vector<std::string> args = {"fiscal", "diagnose", dir.File("relacion.txt"), "--dir", dir.path()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        test::RunResult r = RunProgram(ProgramPath("ordavo-cli"), args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.out.find(c.printed), std::string::npos) << r.out;
        // The file: Windows-1252 with CR LF, what was printed.
        std::string written;
        ASSERT_TRUE(ReadWholeFile(dir.File("diagnostico_mfd.txt"), written));
        std::string as_printed = Cp1252ToUtf8(written);
        ReplaceAll(as_printed, "\r\n", "\n");
        EXPECT_EQ(r.out, as_printed);
        EXPECT_NE(written.find("\r\n"), std::string::npos);
    }
}

TEST(DiagnoseCli, ModelMaskInJson) {
    TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.File("r.txt"), CooLine(1)));
    const std::pair<const char*, const char*> cases[] = {
        {"Heron 2 TH", "\"model_mask\": 4096"}, {"Heron 4 TH RD", "\"model_mask\": 65535"}};
    for (const auto& [model, mask] : cases) {
        test::RunResult r = RunProgram(ProgramPath("ordavo-cli"), {"fiscal", "diagnose", dir.File("r.txt"), "--dir",
                                                                    dir.path(), "--json", "--model", model});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(mask), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("\"found\": false"), std::string::npos);
    }
}

TEST(DiagnoseCli, UnusableInputIsAnErrorNotACleanBill) {
    TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.File("diagnostico_mfd.txt"), "older"));
    test::RunResult r =
        RunProgram(ProgramPath("ordavo-cli"), {"fiscal", "diagnose", dir.File("missing.txt"), "--dir", dir.path()});
    EXPECT_EQ(r.status, 66);
    EXPECT_NE(r.err.find("missing.txt"), std::string::npos);
    EXPECT_EQ(r.out.find("Ning"), std::string::npos);
    std::string kept;
    ASSERT_TRUE(ReadWholeFile(dir.File("diagnostico_mfd.txt"), kept));
    EXPECT_EQ(kept, "older");

    ASSERT_TRUE(WriteFileAtomically(dir.File("r.txt"), CooLine(1)));
    r = RunProgram(ProgramPath("ordavo-cli"), {"fiscal", "diagnose", dir.File("r.txt"), "--dir", dir.File("none")});
    EXPECT_EQ(r.status, 73);
    r = RunProgram(ProgramPath("ordavo-cli"), {"fiscal", "diagnose"});
    EXPECT_EQ(r.status, 64);
}

TEST(DownloadPartsCli, DatesThatAreNoDates) {
    TempDir dir;
    const std::pair<const char*, const char*> cases[] = {{"320309", "310309"}, {"010309", "0103"}};
    for (const auto& [from, to] : cases) {
        test::RunResult r = RunProgram(ProgramPath("ordavo-cli"), {"fiscal", "download-parts", "--out", dir.File("a.mfd"),
                                                                    "--from", from, "--to", to, "--port", "/dev/null"});
        EXPECT_EQ(r.status, 64) << r.err;
        EXPECT_NE(r.err.find("expected a date DDMMYY"), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace ordavo
