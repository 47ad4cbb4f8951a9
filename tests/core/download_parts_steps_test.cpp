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

using test::FakeClock;
using test::TempDir;

const std::string kNotFound = "N\xE3o achou!!";
const std::string kNoLibrary = "N\xE3o carregou DLL!!";
const std::string kPartError = "Erro no download!";
const std::string kNoSignature = "N\xE3o foi possivel pegar assinatura!!";

// The printer's answers to the address search, one per attempt (the last one repeats).
class FakePrinter : public CommandRunner {
public:
    struct Answer {
        std::string status, start, end;
        int32_t result = 0;
    };
    std::vector<Answer> answers;
    int prepare_result = 0;
    std::vector<Comando> sent;

    int32_t Run(Comando& c) override {
        sent.push_back(c);
        if (c.escape == "62 95 99") return prepare_result;
        const Answer& a = answers[std::min(searches++, answers.size() - 1)];
        if (a.result != 0) return a.result;
        c.retornos[0].valor_formatado = a.status;
        c.retornos[1].valor_formatado = a.start;
        c.retornos[2].valor_formatado = a.end;
        return 0;
    }
    size_t searches = 0;
};

// The library: writes "[first-last]" for a part, "SIG(first-last)" for the signature.
class FakeLibrary : public AddressLibrary {
public:
    struct Call {
        std::string file, kind, first, last, wait;
        int mode;
    };
    Load load = Load::Ok;
    std::map<std::string, int> failures;  // first address -> attempts that fail
    int signature_result = 0;
    bool initial_writes = true;
    std::vector<Call> calls;
    int opens = 0, closes = 0;

    Load Open() override {
        ++opens;
        return load;
    }
    void Close() override { ++closes; }
    int DownloadByAddress(const std::string& port, const std::string& file, const std::string& kind,
                          const std::string& first, const std::string& last, const std::string& wait,
                          int mode) override {
        EXPECT_EQ(port, "/dev/ttyFAKE");
        calls.push_back({file, kind, first, last, wait, mode});
        if (kind == "0") {
            if (signature_result == 0) WriteFileAtomically(file, "SIG(" + first + "-" + last + ")");
            return signature_result;
        }
        if (first == "00000000" && !initial_writes) return 0;
        if (failures[first] > 0) {
            --failures[first];
            return 0;
        }
        WriteFileAtomically(file, "[" + first + "-" + last + "]");
        return 1;
    }
};

class View : public DownloadPartsView {
public:
    std::string output;
    bool choose = true;
    int cancel_at = 0;  // the CancelRequested call that answers true
    int cancel_calls = 0;
    std::vector<std::string> statuses, messages;
    int dialogs = 0;

    void ShowStatus(const std::string& s) override { statuses.push_back(s); }
    bool ChooseOutputFile(std::string& path) override {
        ++dialogs;
        path = output;
        return choose;
    }
    void Message(const std::string& text) override { messages.push_back(text); }
    bool CancelRequested() override { return cancel_at && ++cancel_calls == cancel_at; }
};

struct Rig {
    TempDir dir;
    FakeClock clock;
    FakePrinter printer;
    FakeLibrary library;
    View view;
    DownloadInParts download{view, library, printer, clock, "/dev/ttyFAKE"};
    Rig(const std::string& start = "00000100", const std::string& end = "00000150") {
        view.output = dir.File("a.mfd");
        printer.answers = {{"04", start, end}};
    }
    DownloadInParts::Outcome Run() { return download.Run({1, 3, 2009}, {31, 3, 2009}); }
    std::string Output() const {
        std::string s;
        ReadWholeFile(view.output, s);
        return s;
    }
};

TEST(DownloadParts, FourPartsFor100To150) {
    Rig rig;
    ASSERT_EQ(rig.Run(), DownloadInParts::Outcome::Complete);
    const std::string part = rig.dir.File("a.mfd.part"), sig = rig.dir.File("a.mfdRSA");
    struct Expected {
        std::string file, kind, first, last, wait;
        int mode;
    } expected[] = {
        {part, "1", "00000000", "00000006", "100", 1}, {part, "1", "00000100", "00000116", "100", 1},
        {part, "1", "00000116", "00000132", "100", 1}, {part, "1", "00000132", "00000148", "100", 1},
        {part, "1", "00000148", "00000150", "100", 1}, {sig, "0", "00000100", "00000150", "10", 2},
    };
    ASSERT_EQ(rig.library.calls.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        const FakeLibrary::Call& c = rig.library.calls[i];
        EXPECT_EQ(c.file, expected[i].file);
        EXPECT_EQ(c.kind, expected[i].kind);
        EXPECT_EQ(c.first, expected[i].first);
        EXPECT_EQ(c.last, expected[i].last);
        EXPECT_EQ(c.wait, expected[i].wait);
        EXPECT_EQ(c.mode, expected[i].mode);
    }
    EXPECT_EQ(rig.Output(),
              "[00000000-00000006][00000100-00000116][00000116-00000132][00000132-00000148][00000148-00000150]"
              "SIG(00000100-00000150)");
    EXPECT_TRUE(rig.view.messages.empty());
    // The library is loaded for the parts and again for the signature, and released both times.
    EXPECT_EQ(rig.library.opens, 2);
    EXPECT_EQ(rig.library.closes, 2);

    const std::string search = "\r\nSTATUS04\r\nEndere\xE7o inicial:00000100\r\nEndere\xE7o final:00000150";
    const std::string full = search + "\r\nFazendo download dos 6 setoreres iniciais da MFD.." +
                             "\r\nEnd ini:00000100 End final:00000116\r\nEnd ini:00000116 End final:00000132" +
                             "\r\nEnd ini:00000132 End final:00000148\r\nEnd ini:00000148 End final:00000150";
    EXPECT_EQ(rig.download.Status(), full);
    // Shown as it grows: after the search, after the preparation, then once per line added.
    ASSERT_EQ(rig.view.statuses.size(), 7u);
    EXPECT_EQ(rig.view.statuses[0], search);
    EXPECT_EQ(rig.view.statuses[1], search);
    for (size_t i = 2; i < rig.view.statuses.size(); ++i)
        EXPECT_EQ(rig.view.statuses[i], full.substr(0, rig.view.statuses[i].size()));
    EXPECT_EQ(rig.view.statuses.back(), full);
}

TEST(DownloadParts, EqualAddressesGiveInitialSectorsAndSignatureOnly) {
    Rig rig("00000200", "00000200");
    ASSERT_EQ(rig.Run(), DownloadInParts::Outcome::Complete);
    ASSERT_EQ(rig.library.calls.size(), 2u);
    EXPECT_EQ(rig.Output(), "[00000000-00000006]SIG(00000200-00000200)");
}

TEST(DownloadParts, SearchWaitsFourSecondsAfterEveryAttempt) {
    struct Case {
        const char* name;
        std::vector<FakePrinter::Answer> answers;
        DownloadInParts::Outcome outcome;
        size_t searches;
        std::vector<std::string> messages;
    } cases[] = {
        {"04 at once", {{"04", "00000100", "00000150"}}, DownloadInParts::Outcome::Complete, 1, {}},
        {"04 at the third", {{"01", "0", "0"}, {"01", "0", "0"}, {"04", "00000100", "00000150"}},
         DownloadInParts::Outcome::Complete, 3, {}},
        {"never 04", {{"02", "00000000", "00000000"}}, DownloadInParts::Outcome::NotFound, 100, {kNotFound}},
        {"no answer", {{"", "", "", kExecSemResposta}}, DownloadInParts::Outcome::NotFound, 1,
         {Str(IDS_ERROR_ENVIAR), kNotFound}},
        {"answers, then silence", {{"01", "", ""}, {"", "", "", kExecSemResposta}},
         DownloadInParts::Outcome::NotFound, 2, {Str(IDS_ERROR_ENVIAR), kNotFound}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.printer.answers = c.answers;
        EXPECT_EQ(rig.Run(), c.outcome);
        EXPECT_EQ(rig.printer.searches, c.searches);
        // One wait per answered attempt.
        size_t answered = c.searches - (c.answers.back().result != 0 ? 1 : 0);
        EXPECT_EQ(rig.clock.Sleeps(), std::vector<int>(answered, 4000));
        EXPECT_EQ(rig.view.messages, c.messages);
        if (c.outcome != DownloadInParts::Outcome::Complete) {
            EXPECT_EQ(rig.library.opens, 0);
            EXPECT_EQ(rig.view.dialogs, 0);
        }
    }
}

TEST(DownloadParts, CommandsAsSent) {
    Comando s = DownloadInParts::SearchCommand({5, 3, 2009}, {28, 12, 2010});
    EXPECT_EQ(s.escape, "62 95 97");
    EXPECT_EQ(s.tamanho_retorno, 9);
    ASSERT_EQ(s.parametros.size(), 3u);
    EXPECT_EQ(s.parametros[0].formato, "OPTIONS");
    EXPECT_EQ(s.parametros[0].tamanho, 1);
    EXPECT_EQ(s.parametros[0].valor, "D");
    EXPECT_EQ(s.parametros[1].formato, "DATA");
    EXPECT_EQ(s.parametros[1].tamanho, 6);
    EXPECT_EQ(s.parametros[1].valor, "05/03/09");
    EXPECT_EQ(s.parametros[2].valor, "28/12/10");
    ASSERT_EQ(s.retornos.size(), 3u);
    int sizes[] = {1, 4, 4};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(s.retornos[i].tamanho, sizes[i]);
        EXPECT_EQ(s.retornos[i].formato, "BCD_INTEGER");
    }
    // The frame the engine builds: ESC, the escape bytes, "D", the dates without separators.
    ASSERT_EQ(s.MontarQuadro(), 0);
    const std::string frame(reinterpret_cast<const char*>(s.quadro.data) + 4, 3 + 1 + 12);
    EXPECT_EQ(frame, std::string("\x3E\x5F\x61") + "D050309281210");

    Comando p = DownloadInParts::PrepareCommand("0000000123456789", "00000150");
    EXPECT_EQ(p.escape, "62 95 99");
    EXPECT_EQ(p.tamanho_retorno, 0);
    std::vector<std::pair<int, std::string>> params;
    for (const Parametro& x : p.parametros) {
        EXPECT_EQ(x.formato, "INTEGER");
        params.emplace_back(x.tamanho, x.valor);
    }
    EXPECT_EQ(params, (std::vector<std::pair<int, std::string>>{
                          {4, "0000"}, {4, "2048"}, {8, "00000000"}, {8, "00000006"}, {8, "23456789"}, {8, "00000150"}}));
}

TEST(DownloadParts, RetriesOfAFailingPart) {
    struct Case {
        int failures;  // of the part starting at 116
        DownloadInParts::Outcome outcome;
        size_t attempts;  // calls for that part
        std::string output;
    } cases[] = {
        {1, DownloadInParts::Outcome::Complete, 2,
         "[00000000-00000006][00000100-00000116][00000116-00000132][00000132-00000148][00000148-00000150]"
         "SIG(00000100-00000150)"},
        {10, DownloadInParts::Outcome::Complete, 11,
         "[00000000-00000006][00000100-00000116][00000116-00000132][00000132-00000148][00000148-00000150]"
         "SIG(00000100-00000150)"},
        // Eleven failures: the output holds the parts fetched so far, no signature.
        {11, DownloadInParts::Outcome::PartFailed, 11, "[00000000-00000006][00000100-00000116]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failures);
        Rig rig;
        rig.library.failures["00000116"] = c.failures;
        EXPECT_EQ(rig.Run(), c.outcome);
        std::vector<std::string> waits;
        for (const FakeLibrary::Call& call : rig.library.calls)
            if (call.first == "00000116") waits.push_back(call.wait);
        ASSERT_EQ(waits.size(), c.attempts);
        EXPECT_EQ(waits[0], "100");
        for (size_t i = 1; i < waits.size(); ++i) EXPECT_EQ(waits[i], "10");
        EXPECT_EQ(rig.Output(), c.output);
        bool failed = c.outcome == DownloadInParts::Outcome::PartFailed;
        EXPECT_EQ(rig.view.messages, failed ? std::vector<std::string>{kPartError} : std::vector<std::string>{});
        EXPECT_EQ(rig.library.calls.back().kind, failed ? "1" : "0");
        EXPECT_EQ(rig.library.opens, rig.library.closes);
    }
}

TEST(DownloadParts, CancelBetweenParts) {
    Rig rig;
    rig.view.cancel_at = 2;  // asked before each part: the second one stops
    EXPECT_EQ(rig.Run(), DownloadInParts::Outcome::Cancelled);
    EXPECT_EQ(rig.Output(), "[00000000-00000006][00000100-00000116]");
    EXPECT_EQ(rig.library.calls.back().first, "00000100");
    EXPECT_EQ(rig.library.opens, 1);
    EXPECT_EQ(rig.library.closes, 1);
    const std::string& status = rig.download.Status();
    EXPECT_EQ(status.substr(status.size() - 18), "\r\n" + Str(IDS_DOWNLOAD_ANULADO));
    EXPECT_TRUE(rig.view.messages.empty());

    // Cancel during the search: after the attempt's wait, no further attempt.
    Rig searching;
    searching.printer.answers = {{"01", "", ""}};
    searching.view.cancel_at = 3;
    EXPECT_EQ(searching.Run(), DownloadInParts::Outcome::Cancelled);
    EXPECT_EQ(searching.printer.searches, 3u);
    EXPECT_EQ(searching.library.opens, 0);
    EXPECT_TRUE(searching.view.messages.empty());
}

TEST(DownloadParts, FailuresAndTheirMessages) {
    using O = DownloadInParts::Outcome;
    struct Case {
        const char* name;
        std::function<void(Rig&)> setup;
        O outcome;
        std::vector<std::string> messages;
        std::string output;  // "-" when no output file
    } cases[] = {
        {"preparation not answered", [](Rig& r) { r.printer.prepare_result = kExecSemResposta; }, O::Complete,
         {Str(IDS_ERROR_ENVIAR)}, "[00000000-00000006][00000100-00000116][00000116-00000132][00000132-00000148]"
                                  "[00000148-00000150]SIG(00000100-00000150)"},
        {"library missing", [](Rig& r) { r.library.load = AddressLibrary::Load::Missing; }, O::NoLibrary,
         {kNoLibrary}, "-"},
        {"function missing", [](Rig& r) { r.library.load = AddressLibrary::Load::NoFunction; }, O::NoLibrary, {}, "-"},
        // No signature under an output that does not exist.
        {"save dialog cancelled", [](Rig& r) { r.view.choose = false; }, O::NoOutput, {}, "-"},
        {"output cannot be created", [](Rig& r) { r.view.output = r.dir.File("no/dir/a.mfd"); }, O::NoOutput,
         {Str(IDS_NO_CREAR_ARCHIVO)}, "-"},
        {"signature not fetched", [](Rig& r) { r.library.signature_result = 21; }, O::SignatureFailed, {kNoSignature},
         "[00000000-00000006][00000100-00000116][00000116-00000132][00000132-00000148][00000148-00000150]"},
        // An older download under the same name: replaced, and its part file never appended
        // when the library writes nothing.
        {"initial sectors not written",
         [](Rig& r) {
             WriteFileAtomically(r.view.output, "OLD OUTPUT");
             WriteFileAtomically(PartFileName(r.view.output), "OLD PART");
             r.library.initial_writes = false;
         },
         O::PartFailed, {kPartError}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        c.setup(rig);
        EXPECT_EQ(rig.Run(), c.outcome);
        EXPECT_EQ(rig.view.messages, c.messages);
        std::string out;
        bool exists = ReadWholeFile(rig.view.output, out);
        EXPECT_EQ(exists ? out : "-", c.output);
        if (rig.library.load != AddressLibrary::Load::Missing) {
            EXPECT_EQ(rig.library.opens, rig.library.closes);
        }
    }
}

TEST(DownloadParts, AppendFileKeepsBytesAsTheyAre) {
    TempDir dir;
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
