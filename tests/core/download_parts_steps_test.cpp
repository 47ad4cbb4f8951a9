// The download in parts on a fake clock, a fake library and a fake printer: the address
// search, the parts and their retries, the signature, the status text and every message.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/strings.h"
#include "engine/util.h"
#include "fiscalmemory/core/download_parts.h"
#include "tests/support/fake_clock.h"
#include "tests/support/paths.h"

namespace ordavo {
namespace {

using O = DownloadInParts::Outcome;
using Texts = std::vector<std::string>;
const std::string kNotFound = "N\xE3o achou!!", kNoLibrary = "N\xE3o carregou DLL!!", kPartError = "Erro no download!",
                  kNoSignature = "N\xE3o foi possivel pegar assinatura!!";
const std::string kWhole = "[00000000-00000006][00000100-00000116][00000116-00000132][00000132-00000148]"
                           "[00000148-00000150]";

// The printer's answers to the address search, one per attempt (the last one repeats).
struct FakePrinter : CommandRunner {
    struct Answer {
        std::string status, start = "00000100", end = "00000150";
        int32_t result = 0;
    };
    std::vector<Answer> answers{{"04"}};
    int prepare_result = 0;
    size_t searches = 0;
    int32_t Run(Comando& c) override {
        if (c.escape == "62 95 99") return prepare_result;
        const Answer& a = answers[std::min(searches++, answers.size() - 1)];
        c.retornos[0].valor_formatado = a.status;
        c.retornos[1].valor_formatado = a.start;
        c.retornos[2].valor_formatado = a.end;
        return a.result;
    }
};

// Writes "[first-last]" for a part and "SIG(first-last)" for the signature; records each call
// as "kind first-last wait mode file".
struct FakeLibrary : AddressLibrary {
    Load load = Load::Ok;
    std::map<std::string, int> failures;  // first address -> attempts that fail
    int signature_result = 0;
    Texts calls;
    int opens = 0, closes = 0;
    Load Open() override { return ++opens, load; }
    void Close() override { ++closes; }
    int DownloadByAddress(const std::string& port, const std::string& file, const std::string& kind,
                          const std::string& first, const std::string& last, const std::string& wait,
                          int mode) override {
        EXPECT_EQ(port, "/dev/ttyFAKE");
        calls.push_back(kind + " " + first + "-" + last + " " + wait + " " + std::to_string(mode) + " " +
                        file.substr(file.rfind('/') + 1));
        if (failures[first] > 0) return --failures[first], kind == "0" ? 21 : 0;
        if (kind == "0" && signature_result != 0) return signature_result;
        WriteFileAtomically(file, (kind == "0" ? "SIG(" : "[") + first + "-" + last + (kind == "0" ? ")" : "]"));
        return kind == "0" ? 0 : 1;
    }
};

struct View : DownloadPartsView {
    std::string output;
    bool choose = true;
    int cancel_at = 0, cancel_calls = 0, dialogs = 0;  // the CancelRequested call that answers true
    Texts statuses, messages;
    void ShowStatus(const std::string& s) override { statuses.push_back(s); }
    bool ChooseOutputFile(std::string& path) override { return ++dialogs, path = output, choose; }
    void Message(const std::string& text) override { messages.push_back(text); }
    bool CancelRequested() override { return cancel_at && ++cancel_calls == cancel_at; }
};

struct Rig {
    test::TempDir dir;
    test::FakeClock clock;
    FakePrinter printer;
    FakeLibrary library;
    View view;
    DownloadInParts download{view, library, printer, clock, "/dev/ttyFAKE"};
    Rig() { view.output = dir.File("a.mfd"); }
    O Run() { return download.Run({1, 3, 2009}, {31, 3, 2009}); }
    std::string Output() const {
        std::string s;
        return ReadWholeFile(view.output, s) ? s : "-";
    }
};

TEST(DownloadParts, FourPartsFor100To150) {
    Rig rig;
    ASSERT_EQ(rig.Run(), O::Complete);
    EXPECT_EQ(rig.library.calls, (Texts{"1 00000000-00000006 100 1 a.mfd.part", "1 00000100-00000116 100 1 a.mfd.part",
                                        "1 00000116-00000132 100 1 a.mfd.part", "1 00000132-00000148 100 1 a.mfd.part",
                                        "1 00000148-00000150 100 1 a.mfd.part", "0 00000100-00000150 10 2 a.mfdRSA"}));
    EXPECT_EQ(rig.Output(), kWhole + "SIG(00000100-00000150)");
    EXPECT_TRUE(rig.view.messages.empty());
    EXPECT_EQ(rig.library.opens, 2);  // for the parts, then for the signature; released both times
    EXPECT_EQ(rig.library.closes, 2);
    // Shown as it grows: after the search, after the preparation, then once per line added.
    const std::string search = "\r\nSTATUS04\r\nEndere\xE7o inicial:00000100\r\nEndere\xE7o final:00000150";
    std::string shown = search + "|" + search;
    for (const char* line : {"\r\nFazendo download dos 6 setoreres iniciais da MFD..",
                             "\r\nEnd ini:00000100 End final:00000116", "\r\nEnd ini:00000116 End final:00000132",
                             "\r\nEnd ini:00000132 End final:00000148", "\r\nEnd ini:00000148 End final:00000150"})
        shown += "|" + shown.substr(shown.rfind('|') + 1) + line;
    std::string got;
    for (const std::string& s : rig.view.statuses) got += (got.empty() ? "" : "|") + s;
    EXPECT_EQ(got, shown);
}

TEST(DownloadParts, SearchWaitsFourSecondsAfterEveryAnswer) {
    struct Case {
        std::vector<FakePrinter::Answer> answers;
        O outcome;
        size_t searches, waits;
        Texts messages;
    } cases[] = {
        {{{"04"}}, O::Complete, 1, 1, {}},
        {{{"01"}, {"03"}, {"04"}}, O::Complete, 3, 3, {}},
        {{{"02"}}, O::NotFound, 100, 100, {kNotFound}},
        {{{"", "", "", kExecSemResposta}}, O::NotFound, 1, 0, {Str(IDS_ERROR_ENVIAR), kNotFound}},
        {{{"01"}, {"", "", "", kExecSemResposta}}, O::NotFound, 2, 1, {Str(IDS_ERROR_ENVIAR), kNotFound}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.searches);
        Rig rig;
        rig.printer.answers = c.answers;
        EXPECT_EQ(rig.Run(), c.outcome);
        EXPECT_EQ(rig.printer.searches, c.searches);
        EXPECT_EQ(rig.clock.Sleeps(), std::vector<int>(c.waits, 4000));
        EXPECT_EQ(rig.view.messages, c.messages);
        EXPECT_EQ(rig.library.opens, c.outcome == O::Complete ? 2 : 0);
    }
}

TEST(DownloadParts, FramesOfTheSearchAndThePreparation) {
    auto frame = [](Comando c) {
        EXPECT_EQ(c.MontarQuadro(), 0);
        return std::string(reinterpret_cast<const char*>(c.quadro.data) + 4, c.quadro.length - 6);
    };
    Comando search = DownloadInParts::SearchCommand({5, 3, 2009}, {28, 12, 2010});
    EXPECT_EQ(frame(search), "\x3E\x5F\x61" "D050309281210");
    EXPECT_EQ(search.tamanho_retorno, 9);
    std::string fields;
    for (const Retorno& r : search.retornos) fields += std::to_string(r.tamanho) + r.formato + " ";
    EXPECT_EQ(fields, "1BCD_INTEGER 4BCD_INTEGER 4BCD_INTEGER ");
    // The last eight characters of each address.
    Comando prepare = DownloadInParts::PrepareCommand("0000000123456789", "150");
    EXPECT_EQ(frame(prepare), "\x3E\x5F\x63" "0000204800000000000000062345678900000150");
    EXPECT_EQ(prepare.tamanho_retorno, 0);
}

TEST(DownloadParts, PartsRetriesCancelAndFailures) {
    struct Case {
        const char* name;
        std::function<void(Rig&)> setup;
        O outcome;
        Texts messages;
        std::string output;  // "-" when no output file
        size_t calls;
    } cases[] = {
        {"equal addresses: no part", [](Rig& r) { r.printer.answers = {{"04", "00000200", "00000200"}}; },
         O::Complete, {}, "[00000000-00000006]SIG(00000200-00000200)", 2},
        {"a part failing ten times", [](Rig& r) { r.library.failures["00000116"] = 10; }, O::Complete, {},
         kWhole + "SIG(00000100-00000150)", 16},
        // Eleven failures: the parts fetched so far, no signature.
        {"a part failing eleven times", [](Rig& r) { r.library.failures["00000116"] = 11; }, O::PartFailed,
         {kPartError}, "[00000000-00000006][00000100-00000116]", 13},
        {"cancel before the second part", [](Rig& r) { r.view.cancel_at = 2; }, O::Cancelled, {},
         "[00000000-00000006][00000100-00000116]", 2},
        {"cancel during the search",
         [](Rig& r) {
             r.printer.answers = {{"01"}};
             r.view.cancel_at = 3;
         },
         O::Cancelled, {}, "-", 0},
        {"preparation not answered", [](Rig& r) { r.printer.prepare_result = kExecSemResposta; }, O::Complete,
         {Str(IDS_ERROR_ENVIAR)}, kWhole + "SIG(00000100-00000150)", 6},
        {"library missing", [](Rig& r) { r.library.load = AddressLibrary::Load::Missing; }, O::NoLibrary,
         {kNoLibrary}, "-", 0},
        {"function missing", [](Rig& r) { r.library.load = AddressLibrary::Load::NoFunction; }, O::NoLibrary, {}, "-",
         0},
        // No signature under an output that does not exist.
        {"save dialog cancelled", [](Rig& r) { r.view.choose = false; }, O::NoOutput, {}, "-", 0},
        {"output cannot be created", [](Rig& r) { r.view.output = r.dir.File("no/dir/a.mfd"); }, O::NoOutput,
         {Str(IDS_NO_CREAR_ARCHIVO)}, "-", 0},
        {"signature not fetched", [](Rig& r) { r.library.signature_result = 21; }, O::SignatureFailed, {kNoSignature},
         kWhole, 6},
        // An older download of that name is replaced, and its part file is not taken for the
        // initial sectors the library did not write.
        {"initial sectors not written",
         [](Rig& r) {
             WriteFileAtomically(r.view.output, "OLD OUTPUT");
             WriteFileAtomically(PartFileName(r.view.output), "OLD PART");
             r.library.failures["00000000"] = 1;
         },
         O::PartFailed, {kPartError}, "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        c.setup(rig);
        const int planned_failures = rig.library.failures["00000116"];
        EXPECT_EQ(rig.Run(), c.outcome);
        EXPECT_EQ(rig.view.messages, c.messages);
        EXPECT_EQ(rig.Output(), c.output);
        EXPECT_EQ(rig.library.calls.size(), c.calls);
        EXPECT_EQ(c.outcome == O::Cancelled, rig.download.Status().ends_with("\r\n" + Str(IDS_DOWNLOAD_ANULADO)));
        // A failing part: its first attempt waits "100", each of the ten more "10".
        int retries = 0;
        for (const std::string& call : rig.library.calls) retries += call.starts_with("1 00000116-00000132 10 ");
        EXPECT_EQ(retries, std::min(planned_failures, 10));
        EXPECT_EQ(rig.library.closes, rig.library.load == AddressLibrary::Load::Missing ? 0 : rig.library.opens);
    }
}

TEST(DownloadParts, AppendFileKeepsBytesAsTheyAre) {
    test::TempDir dir;
    const std::string target = dir.File("t"), source = dir.File("s");
    const std::string bytes("A\r\n\0\x1A\xFF" "B", 7);
    ASSERT_TRUE(WriteFileAtomically(source, bytes));
    EXPECT_TRUE(AppendFile(target, source));  // created
    EXPECT_TRUE(AppendFile(target, source));
    EXPECT_FALSE(AppendFile(target, dir.File("missing")));
    std::string got;
    ASSERT_TRUE(ReadWholeFile(target, got));
    EXPECT_EQ(got, bytes + bytes);
}

}  // namespace
}  // namespace ordavo
