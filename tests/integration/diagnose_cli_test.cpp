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

// A restart of the counter after a "FAB:" line, which dates it for any model but the Heron 2 TH.
TEST(DiagnoseCli, ModelsExitStatusAndTheFileWritten) {
    const std::string report = "FAB:TV0102030405060708091011" "01/02/2010 08:00:00\r\n" + CooLine(30) + CooLine(2) +
                               "a\r\nb\r\nc\r\nd\r\n";
    const struct {
        std::vector<std::string> options;
        int status;
        std::string printed;  // UTF-8
    } cases[] = {
        {{}, 1, "\nData:01022010\nHora:080000\n"},
        {{"--model", "Heron 2 TH"}, 1, "\nData:\nHora:\n"},
        {{"--model", "Kestrel 1"}, 1, "\nData:01022010\n"},
        {{"--model", "Heron 4 TH RD", "--json"}, 1, "\"model_mask\": 65535"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        ASSERT_TRUE(WriteFileAtomically(dir.File("relacion.txt"), report));
        std::vector<std::string> args = {"fiscal", "diagnose", dir.File("relacion.txt"), "--dir", dir.path()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        test::RunResult r = RunProgram(ProgramPath("ordavo-cli"), args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.out.find(c.printed), std::string::npos) << r.out;
        // The file: Windows-1252 with CR LF; the terminal shows it in UTF-8.
        std::string written;
        ASSERT_TRUE(ReadWholeFile(dir.File("diagnostico_mfd.txt"), written));
        EXPECT_NE(written.find("L\xCDNEA:3*"), std::string::npos);
        std::string shown = Cp1252ToUtf8(written);
        ReplaceAll(shown, "\r\n", "\n");
        if (c.options.size() < 3) {
            EXPECT_EQ(r.out, shown);
        }
    }
}

TEST(DiagnoseCli, UnusableInputIsAnErrorNotACleanBill) {
    TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.File("diagnostico_mfd.txt"), "older"));
    ASSERT_TRUE(WriteFileAtomically(dir.File("r.txt"), CooLine(1)));
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"fiscal", "diagnose", dir.File("missing.txt"), "--dir", dir.path()}, 66},
        {{"fiscal", "diagnose", dir.File("r.txt"), "--dir", dir.File("none")}, 73},
        {{"fiscal", "diagnose"}, 64},
        {{"fiscal", "download-parts", "--out", dir.File("a.mfd"), "--from", "320309", "--to", "310309"}, 64},
        {{"fiscal", "download-parts", "--out", dir.File("a.mfd"), "--from", "010309", "--to", "0103"}, 64},
    };
    for (const auto& c : cases) {
        test::RunResult r = RunProgram(ProgramPath("ordavo-cli"), c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out.find("Ning"), std::string::npos);
    }
    std::string kept;
    ASSERT_TRUE(ReadWholeFile(dir.File("diagnostico_mfd.txt"), kept));
    EXPECT_EQ(kept, "older");
    EXPECT_FALSE(ReadWholeFile(dir.File("a.mfd"), kept));
}

}  // namespace
}  // namespace ordavo
