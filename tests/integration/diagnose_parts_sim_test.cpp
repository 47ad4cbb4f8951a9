// ordavo-cli fiscal download-parts against the printer simulator: the address search, the
// preparation, the parts and the signature make the plain audit-memory download of the same
// dates, followed by its signature.
#include "fiscalmemory/core/signed_file.h"
#include "tests/integration/mfd_test_util.h"

namespace ordavo::test {
namespace {

TEST(DownloadPartsSim, PartsMakeThePlainDownloadPlusItsSignature) {
    TempDir dir;
    // COO 1..15 on 1, 2 and 3 December 2026, five documents a day.
    SimLine line(false, {"--state", SaveState(dir, DemoState(3, 4))});
    ASSERT_TRUE(line.ok());
    const std::string out = dir.File("MRA parts.mfd");
    RunResult r = RunProgram(ProgramPath("ordavo-cli"), {"fiscal", "download-parts", "--from", "021226", "--to",
                                                         "031226", "--out", out, "--port", line.port(), "--dir",
                                                         dir.path()});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    // Days 2 and 3 are the documents 5 to 14: addresses 86 to 246, ten parts of 16.
    EXPECT_NE(r.out.find("\nSTATUS04\nEndere\xC3\xA7o inicial:00000086\nEndere\xC3\xA7o final:00000246\n"
                         "Fazendo download dos 6 setoreres iniciais da MFD..\nEnd ini:00000086 End final:00000102\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\nEnd ini:00000230 End final:00000246\n"), std::string::npos);
    EXPECT_EQ(r.out.find("End ini:00000246"), std::string::npos);

    Library lib;
    ASSERT_TRUE(lib.lib.Loaded()) << lib.lib.error();
    ASSERT_EQ(lib.TalvDownloadMFD(line.port().c_str(), dir.File("plain.mra").c_str(), "1", "021226", "031226", ""), 0);
    const std::string parts = Slurp(out), signature = Slurp(out + "RSA"), plain = Slurp(dir.File("plain.mra"));
    ASSERT_GT(parts.size(), fm::kSignatureTrailerSize + 256);
    // The signature file closes the output; less its signature block, the output is the plain file.
    EXPECT_EQ(parts.substr(parts.size() - signature.size()), signature);
    EXPECT_EQ(parts.substr(0, parts.size() - 268), plain);
    ASSERT_EQ(lib.TalvDownloadPublicKey(line.port().c_str(), dir.File("k.pub").c_str()), 0);
    EXPECT_EQ(lib.TalvValidate(out.c_str(), dir.File("k.pub").c_str()), 0);

    // A range without documents: equal addresses, no part, the initial sectors and the
    // signature only.
    r = RunProgram(ProgramPath("ordavo-cli"), {"fiscal", "download-parts", "--from", "010127", "--to", "310127",
                                               "--out", dir.File("empty.mfd"), "--port", line.port(), "--json"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_NE(r.out.find("\"start_address\": \"00000246\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"end_address\": \"00000246\""), std::string::npos);
    EXPECT_EQ(r.out.find("End ini:"), std::string::npos);
    const std::string empty = Slurp(dir.File("empty.mfd"));
    EXPECT_EQ(empty.substr(0, fm::kAuditBlankSize), plain.substr(0, fm::kAuditBlankSize));
    EXPECT_EQ(empty.substr(empty.size() - 268), Slurp(dir.File("empty.mfdRSA")).substr(256));
}

}  // namespace
}  // namespace ordavo::test
