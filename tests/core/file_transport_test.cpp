// The exchange-file pair: both sides, stale answers, appended frames and answers taken in
// pieces without losing bytes, also while the other side keeps appending.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/util.h"
#include "shell/core/settings.h"
#include "tests/support/paths.h"
#include "transport/file_interface.h"

namespace ordavo {
namespace {

using Bytes = std::vector<uint8_t>;

std::string Contents(const std::string& path) {
    std::string s;
    if (!ReadWholeFile(path, s)) return "<missing>";
    return s;
}

// Appends in place, as the other program does (a replaced file would not be the one held open).
void Put(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "ab");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    fclose(f);
}

TEST(FileTransport, StaleAnswersArePurgedAndFramesAppended) {
    test::TempDir dir;
    const std::string request = dir.File("comando.dat");
    const std::string response = dir.File("retorno.dat");
    Put(response, "old answer");
    Put(request, "frame of an earlier command");

    FileInterface t(dir.path());
    EXPECT_EQ(Contents(request), "frame of an earlier command");  // nothing happens before Open
    ASSERT_EQ(t.Open(0), 1) << t.LastError();
    EXPECT_EQ(t.IncomingPath(), response);
    EXPECT_EQ(t.OutgoingPath(), request);
    EXPECT_EQ(Contents(request), "");  // the new command starts with an empty request file

    EXPECT_EQ(t.PendingBytes(), 10u);
    EXPECT_EQ(t.Purge(), 1);
    EXPECT_EQ(t.PendingBytes(), 0u);
    EXPECT_EQ(Contents(response), "");
    EXPECT_EQ(t.Purge(), 1);  // nothing pending is no failure

    const Bytes first = {0x02, 0x05, 0x00, 0x1B, 0x23, 0x17, 0x55, 0x00};
    const Bytes second = {0x02, 0x04, 0x00, 0x1B, 0x05, 0x20, 0x00};
    uint32_t written = 99;
    EXPECT_EQ(t.PutRequest(first.data(), static_cast<int>(first.size()), &written), 1);
    EXPECT_EQ(written, first.size());
    EXPECT_EQ(t.PutRequest(second.data(), static_cast<int>(second.size()), &written), 1);
    EXPECT_EQ(written, second.size());
    std::string expected(first.begin(), first.end());
    expected.append(second.begin(), second.end());
    EXPECT_EQ(Contents(request), expected);

    // The port transports' operations do nothing here.
    uint8_t b = 0;
    EXPECT_EQ(t.Write(&b, 1, 0), 0);
    EXPECT_EQ(t.Read(&b, 1, 0), 0);
    t.Close();
    EXPECT_EQ(t.PendingBytes(), 0u);
}

TEST(FileTransport, AnswersAreTakenWithoutLoss) {
    test::TempDir dir;
    const std::string response = dir.File("retorno.dat");
    FileInterface t(dir.path() + "/");
    ASSERT_EQ(t.Open(0), 1) << t.LastError();
    EXPECT_EQ(t.IncomingPath(), response);

    // Empty file: success, nothing received, file unchanged.
    uint8_t buf[16] = {};
    uint32_t received = 77;
    EXPECT_EQ(t.TakeResponse(buf, 4, &received), 1);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(Contents(response), "");

    Put(response, "0123456789");
    EXPECT_EQ(t.PendingBytes(), 10u);
    EXPECT_EQ(t.TakeResponse(buf, 4, &received), 1);
    EXPECT_EQ(received, 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 4), "0123");
    // The six bytes beyond the four taken wait for the next call.
    EXPECT_EQ(Contents(response), "456789");
    EXPECT_EQ(t.PendingBytes(), 6u);
    EXPECT_EQ(t.TakeResponse(buf, 16, &received), 1);
    EXPECT_EQ(received, 6u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 6), "456789");
    EXPECT_EQ(Contents(response), "");
    EXPECT_EQ(t.PendingBytes(), 0u);

    // Degenerate requests.
    Put(response, "ab");
    EXPECT_EQ(t.TakeResponse(buf, 0, &received), 1);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(t.TakeResponse(nullptr, 1, &received), 0);
    EXPECT_EQ(Contents(response), "ab");
    EXPECT_EQ(t.TakeResponse(buf, 1, nullptr), 1);
    EXPECT_EQ(Contents(response), "b");
}

TEST(FileTransport, AnsweringSideInModeOne) {
    test::TempDir dir;
    FileInterface command_side(dir.path());
    FileInterface answering_side(dir.path());
    ASSERT_EQ(answering_side.Open(1), 1) << answering_side.LastError();
    EXPECT_EQ(answering_side.IncomingPath(), dir.File("comando.dat"));
    EXPECT_EQ(answering_side.OutgoingPath(), dir.File("retorno.dat"));
    ASSERT_EQ(command_side.Open(0), 1) << command_side.LastError();

    const Bytes frame = {0x02, 0x05, 0x00, 0x1B, 0x23, 0x17, 0x55, 0x00};
    uint32_t count = 0;
    ASSERT_EQ(command_side.PutRequest(frame.data(), static_cast<int>(frame.size()), &count), 1);

    // Opening the answering side again must not throw away the requests it is to answer.
    FileInterface late_answerer(dir.path());
    ASSERT_EQ(late_answerer.Open(1), 1);
    EXPECT_EQ(late_answerer.PendingBytes(), frame.size());
    late_answerer.Close();

    EXPECT_EQ(answering_side.PendingBytes(), frame.size());
    Bytes got(frame.size());
    ASSERT_EQ(answering_side.TakeResponse(got.data(), static_cast<int>(got.size()), &count), 1);
    EXPECT_EQ(count, frame.size());
    EXPECT_EQ(got, frame);
    EXPECT_EQ(answering_side.PendingBytes(), 0u);

    const Bytes answer = {0x06, 0x00, 0x00, 0x00, 0x00};
    ASSERT_EQ(answering_side.PutRequest(answer.data(), static_cast<int>(answer.size()), &count), 1);
    EXPECT_EQ(command_side.PendingBytes(), answer.size());
    Bytes back(answer.size());
    ASSERT_EQ(command_side.TakeResponse(back.data(), static_cast<int>(back.size()), &count), 1);
    EXPECT_EQ(back, answer);
}

TEST(FileTransport, NothingLostWhileTheOtherSideAppends) {
    test::TempDir dir;
    FileInterface reader(dir.path());
    ASSERT_EQ(reader.Open(0), 1);

    // The answering side appends 30000 numbered bytes in small pieces while the reader takes
    // them in pieces of other sizes.
    constexpr int kTotal = 30000;
    std::atomic<bool> writer_done{false};
    std::thread writer([&] {
        FileInterface answerer(dir.path());
        answerer.Open(1);
        Bytes all(kTotal);
        for (int i = 0; i < kTotal; ++i) all[i] = static_cast<uint8_t>(i % 251);
        int done = 0;
        while (done < kTotal) {
            int n = std::min(3, kTotal - done);
            uint32_t w = 0;
            if (answerer.PutRequest(all.data() + done, n, &w) == 1) done += static_cast<int>(w);
        }
        writer_done = true;
    });
    Bytes collected;
    for (int round = 0;; ++round) {
        bool finished = writer_done;
        uint8_t buf[13];
        uint32_t got = 0;
        if (reader.TakeResponse(buf, 1 + round % 13, &got) != 1) {
            ADD_FAILURE() << reader.LastError();
            break;
        }
        collected.insert(collected.end(), buf, buf + got);
        if (finished && got == 0) break;
    }
    writer.join();
    ASSERT_EQ(collected.size(), static_cast<size_t>(kTotal));
    for (int i = 0; i < kTotal; ++i) ASSERT_EQ(collected[i], i % 251) << "at " << i;
}

TEST(FileTransport, MissingDirectoryFailsClearly) {
    test::TempDir dir;
    FileInterface t(dir.File("no/such/dir"));
    EXPECT_EQ(t.Open(0), 0);
    EXPECT_NE(t.LastError().find("no/such/dir"), std::string::npos) << t.LastError();
    EXPECT_EQ(t.PendingBytes(), 0u);
    uint8_t buf[4];
    uint32_t count = 5;
    EXPECT_EQ(t.TakeResponse(buf, 4, &count), 1);
    EXPECT_EQ(count, 0u);
    const uint8_t frame[3] = {1, 2, 3};
    EXPECT_EQ(t.PutRequest(frame, 3, &count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(t.Purge(), 1);
}

TEST(FileTransport, DirectoryFromSettings) {
    Settings s;
    s.AppDirectory = "/app";
    EXPECT_EQ(FileInterface::DirectoryFor(s), "/app");
    s.ExchangeDirectory = "/exchange";
    EXPECT_EQ(FileInterface::DirectoryFor(s), "/exchange");

    FileInterface here("");
    EXPECT_EQ(here.IncomingPath(), "retorno.dat");
}

}  // namespace
}  // namespace ordavo
