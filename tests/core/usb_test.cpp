// The USB transport and its device object, driven by a scripted device on a virtual clock:
// pieces of writes, polls of 0 to 8 bytes, idle answers, time-outs, overruns, stalls, and the
// printer unplugged and plugged back.
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "transport/usb/talvusbprinter.h"
#include "transport/usb_interface.h"

namespace ordavo {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const char* s) { return Bytes(s, s + std::strlen(s)); }

struct PollReply {
    UsbStatus status = UsbStatus::kOk;
    Bytes bytes;
};

// A printer on a bus. Every transfer costs a millisecond of virtual time; a time-out costs the
// time-out. Unplugging invalidates the open handle, as the stack does.
class FakeUsb : public UsbBackend {
public:
    // Scripts, consumed front first. An empty poll script answers "TALVVLAT".
    std::deque<UsbStatus> open_script;
    std::deque<PollReply> poll_script;
    std::deque<UsbStatus> write_script;
    int write_limit = -1;  // most bytes one bulk write takes (-1: all)

    bool present = true;
    int generation = 0;  // bumped by every unplug
    int handle_generation = -1;
    bool open = false;

    int opens = 0, closes = 0, resets = 0, polls = 0;
    int64_t now = 0;
    int64_t slept = 0;
    std::vector<Bytes> pieces;  // bulk writes as submitted (and accepted)
    bool bad_poll_request = false;

    void Unplug() {
        present = false;
        ++generation;
    }

    UsbStatus Open() override {
        ++opens;
        open = false;
        UsbStatus s = UsbStatus::kOk;
        if (!open_script.empty()) {
            s = open_script.front();
            open_script.pop_front();
        } else if (!present) {
            s = UsbStatus::kNoDevice;
        }
        if (s == UsbStatus::kOk) {
            open = true;
            handle_generation = generation;
        }
        return s;
    }
    void Close() override {
        if (open) ++closes;
        open = false;
    }
    bool IsOpen() const override { return open; }

    UsbStatus Gone() const {
        if (!open) return UsbStatus::kNotOpen;
        if (!present || handle_generation != generation) return UsbStatus::kRemoved;
        return UsbStatus::kOk;
    }

    UsbStatus BulkWrite(uint8_t endpoint, const uint8_t* data, int length, int* transferred,
                        unsigned timeout_ms) override {
        *transferred = 0;
        now += 1;
        if (UsbStatus g = Gone(); g != UsbStatus::kOk) return g;
        EXPECT_EQ(endpoint, 0x02);
        EXPECT_LE(length, 512);
        if (!write_script.empty()) {
            UsbStatus s = write_script.front();
            write_script.pop_front();
            if (s == UsbStatus::kTimeout) now += timeout_ms;
            if (s != UsbStatus::kOk) return s;
        }
        int n = write_limit >= 0 ? std::min(write_limit, length) : length;
        pieces.emplace_back(data, data + n);
        *transferred = n;
        return UsbStatus::kOk;
    }

    UsbStatus ControlIn(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                        int length, int* transferred, unsigned timeout_ms) override {
        *transferred = 0;
        now += 1;
        ++polls;
        if (request_type != 0xA0 || request != 0x81 || value != 0 || index != 0 || length != 8) {
            bad_poll_request = true;
        }
        if (UsbStatus g = Gone(); g != UsbStatus::kOk) return g;
        PollReply r;
        if (poll_script.empty()) {
            r.bytes = Text("TALVVLAT");
        } else {
            r = poll_script.front();
            poll_script.pop_front();
        }
        if (r.status == UsbStatus::kTimeout) now += timeout_ms;
        if (r.status != UsbStatus::kOk) return r.status;
        if (!r.bytes.empty()) {
            std::memcpy(data, r.bytes.data(), std::min<size_t>(r.bytes.size(), static_cast<size_t>(length)));
        }
        *transferred = static_cast<int>(r.bytes.size());
        return UsbStatus::kOk;
    }

    UsbStatus Reset() override {
        ++resets;
        return UsbStatus::kOk;
    }

    int64_t NowMs() override { return now; }
    void SleepMs(int ms) override {
        now += ms;
        slept += ms;
    }
};

// A device object over a fake, and the transport over that object.
struct Rig {
    FakeUsb* fake;
    TalvUsbPrinter printer;
    UsbInterface usb;
    Rig() : fake(new FakeUsb), printer(std::unique_ptr<UsbBackend>(fake)), usb(printer) {}
};

Bytes Numbered(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7);
    return b;
}

TEST(UsbTransport, ConnectTriesTwiceAndStaysConnected) {
    {
        Rig rig;
        EXPECT_EQ(rig.usb.Open(9600), 1);
        EXPECT_EQ(rig.fake->opens, 1);
        // Close leaves the device connected; the next command's Open finds it ready.
        rig.usb.Close();
        EXPECT_TRUE(rig.printer.IsConnected());
        EXPECT_EQ(rig.usb.Open(9600), 1);
        EXPECT_EQ(rig.fake->opens, 1);
    }
    {
        Rig rig;  // the first attempt fails, the recovery lets the second succeed
        rig.fake->open_script = {UsbStatus::kNotResponding};
        EXPECT_EQ(rig.usb.Open(9600), 1);
        EXPECT_EQ(rig.fake->opens, 2);
        EXPECT_EQ(rig.fake->slept, 200);
    }
    {
        Rig rig;  // no printer: two attempts and one 200 ms pause
        rig.fake->present = false;
        EXPECT_EQ(rig.usb.Open(9600), 0);
        EXPECT_EQ(rig.fake->opens, 2);
        EXPECT_EQ(rig.fake->slept, 200);
        EXPECT_FALSE(rig.printer.IsConnected());
        // Every transfer then fails.
        const uint8_t b = 1;
        EXPECT_EQ(rig.usb.Write(&b, 1, 20000), 0);
        uint8_t r = 0;
        EXPECT_EQ(rig.usb.Read(&r, 1, 2000), 0);
    }
    {
        Rig rig;  // the bus cannot be listed: no second attempt
        rig.fake->open_script = {UsbStatus::kEnumerationFailed};
        EXPECT_EQ(rig.usb.Open(9600), 0);
        EXPECT_EQ(rig.fake->opens, 1);
        EXPECT_EQ(rig.fake->slept, 0);
    }
    {
        Rig rig;  // a device that opened but could not be configured is released
        rig.fake->open_script = {UsbStatus::kOther, UsbStatus::kOther};
        EXPECT_EQ(rig.usb.Open(9600), 0);
        EXPECT_FALSE(rig.fake->open);
    }
}

TEST(UsbTransport, WritesGoOutInPiecesOf512) {
    Rig rig;
    ASSERT_EQ(rig.usb.Open(9600), 1);
    const Bytes frame = Numbered(1000);
    EXPECT_EQ(rig.usb.Write(frame.data(), 1000, 20000), 1);
    ASSERT_EQ(rig.fake->pieces.size(), 2u);
    EXPECT_EQ(rig.fake->pieces[0], Bytes(frame.begin(), frame.begin() + 512));
    EXPECT_EQ(rig.fake->pieces[1], Bytes(frame.begin() + 512, frame.end()));

    rig.fake->pieces.clear();
    EXPECT_EQ(rig.usb.Write(frame.data(), 512, 20000), 1);
    ASSERT_EQ(rig.fake->pieces.size(), 1u);
    EXPECT_EQ(rig.fake->pieces[0].size(), 512u);

    // A device that takes less than a piece at a time gets the rest, in order.
    rig.fake->pieces.clear();
    rig.fake->write_limit = 100;
    EXPECT_EQ(rig.usb.Write(frame.data(), 700, 20000), 1);
    Bytes joined;
    for (const Bytes& p : rig.fake->pieces) joined.insert(joined.end(), p.begin(), p.end());
    EXPECT_EQ(joined, Bytes(frame.begin(), frame.begin() + 700));
    EXPECT_EQ(rig.fake->pieces.size(), 8u);  // 512 as 6 × 100 + 12, then 188 as 100 + 88

    // Pieces above 512 bytes are refused by the device object itself.
    uint32_t sent = 9;
    EXPECT_FALSE(rig.printer.WriteData(frame.data(), 513, &sent));
    EXPECT_EQ(sent, 0u);
}

TEST(UsbTransport, WriteErrorReactions) {
    const Bytes frame = Numbered(1000);
    {
        Rig rig;  // time-out and overrun fail the write
        ASSERT_EQ(rig.usb.Open(9600), 1);
        rig.fake->write_script = {UsbStatus::kTimeout};
        EXPECT_EQ(rig.usb.Write(frame.data(), 10, 20000), 0);
        rig.fake->write_script = {UsbStatus::kOverrun};
        EXPECT_EQ(rig.usb.Write(frame.data(), 10, 20000), 0);
        rig.fake->write_script = {UsbStatus::kOther};
        EXPECT_EQ(rig.usb.Write(frame.data(), 10, 20000), 0);
        EXPECT_EQ(rig.fake->resets, 0);
    }
    {
        Rig rig;  // not responding: one recovery per write, then the write goes on
        ASSERT_EQ(rig.usb.Open(9600), 1);
        rig.fake->write_script = {UsbStatus::kNotResponding};
        EXPECT_EQ(rig.usb.Write(frame.data(), 10, 20000), 1);
        EXPECT_EQ(rig.fake->resets, 1);
        EXPECT_EQ(rig.fake->slept, 200);
        rig.fake->write_script = {UsbStatus::kNotResponding, UsbStatus::kNotResponding};
        EXPECT_EQ(rig.usb.Write(frame.data(), 10, 20000), 0);
        EXPECT_EQ(rig.fake->resets, 2);
    }
    {
        Rig rig;  // the second piece stalls once: recovered, both pieces out
        ASSERT_EQ(rig.usb.Open(9600), 1);
        rig.fake->write_script = {UsbStatus::kOk, UsbStatus::kNotResponding};
        EXPECT_EQ(rig.usb.Write(frame.data(), 1000, 20000), 1);
        ASSERT_EQ(rig.fake->pieces.size(), 2u);
        EXPECT_EQ(rig.fake->pieces[1].size(), 488u);
    }
    {
        Rig rig;  // a device that accepts nothing gives up on the 400 ms timer
        ASSERT_EQ(rig.usb.Open(9600), 1);
        rig.fake->write_limit = 0;
        EXPECT_EQ(rig.usb.Write(frame.data(), 10, 20000), 0);
        EXPECT_GE(rig.fake->now, 400);
        EXPECT_LT(rig.fake->now, 500);
    }
}

TEST(UsbTransport, PollsFeedTheQueue) {
    Rig rig;
    ASSERT_EQ(rig.usb.Open(9600), 1);
    // One poll of 5 bytes serves two one-byte reads; the second does not poll.
    rig.fake->poll_script = {{UsbStatus::kOk, {0x06, 0x11, 0x22, 0x33, 0x44}}};
    uint8_t b = 0;
    EXPECT_EQ(rig.usb.Read(&b, 1, 2000), 1);
    EXPECT_EQ(b, 0x06);
    EXPECT_EQ(rig.fake->polls, 1);
    EXPECT_EQ(rig.printer.QueuedBytes(), 4u);
    EXPECT_EQ(rig.usb.Read(&b, 1, 2000), 1);
    EXPECT_EQ(b, 0x11);
    EXPECT_EQ(rig.fake->polls, 1);
    EXPECT_EQ(rig.printer.QueuedBytes(), 3u);
    EXPECT_FALSE(rig.fake->bad_poll_request);

    // A read spanning polls of 0 to 8 bytes, idle answers between them.
    rig.usb.Purge();
    rig.fake->poll_script = {{UsbStatus::kOk, Text("TALVVLAT")},
                             {UsbStatus::kOk, {1, 2, 3}},
                             {UsbStatus::kOk, {}},
                             {UsbStatus::kOk, Text("TALVVLAT")},
                             {UsbStatus::kOk, {4, 5, 6, 7, 8, 9, 10, 11}},
                             {UsbStatus::kOk, {12}}};
    uint8_t twelve[12] = {};
    EXPECT_EQ(rig.usb.Read(twelve, 12, 2000), 1);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(twelve[i], i + 1);

    // Eight bytes that are not exactly the idle marker are data, as are its first seven.
    for (const char* data : {"VLATTALV", "TALVVLAt", "TALVVLA"}) {
        SCOPED_TRACE(data);
        rig.usb.Purge();
        rig.fake->poll_script = {{UsbStatus::kOk, Text(data)}};
        Bytes got(std::strlen(data));
        EXPECT_EQ(rig.usb.Read(got.data(), static_cast<int>(got.size()), 2000), 1);
        EXPECT_EQ(got, Text(data));
    }

    // More than 8 bytes from one poll cannot be: the read fails.
    rig.usb.Purge();
    rig.fake->poll_script = {{UsbStatus::kOk, Bytes(9, 0x41)}};
    EXPECT_EQ(rig.usb.Read(&b, 1, 2000), 0);
}

TEST(UsbTransport, QuietPrinterEndsTheRead) {
    {
        Rig rig;  // idle answers: 701 of them end the read, well before the time-out
        ASSERT_EQ(rig.usb.Open(9600), 1);
        uint8_t b = 0;
        EXPECT_EQ(rig.usb.Read(&b, 1, 2000), 0);
        EXPECT_EQ(rig.fake->polls, 701);
        EXPECT_LE(rig.fake->now, 2500);
    }
    {
        Rig rig;  // polls that time out: the read ends at the caller's time-out + 500 ms
        ASSERT_EQ(rig.usb.Open(9600), 1);
        for (int i = 0; i < 100; ++i) rig.fake->poll_script.push_back({UsbStatus::kTimeout, {}});
        uint8_t b = 0;
        EXPECT_EQ(rig.usb.Read(&b, 1, 2000), 0);
        EXPECT_GE(rig.fake->now, 2500);
        EXPECT_LE(rig.fake->now, 2510);
    }
    {
        Rig rig;  // what arrived before the time-out is delivered, but the read fails
        ASSERT_EQ(rig.printer.Connect(), true);
        rig.fake->poll_script = {{UsbStatus::kOk, {7, 8}}};
        uint8_t buf[4] = {};
        uint32_t delivered = 0;
        EXPECT_FALSE(rig.printer.ReadData(buf, 4, &delivered, 100));
        EXPECT_EQ(delivered, 2u);
        EXPECT_EQ(buf[1], 8);
    }
    {
        Rig rig;  // no time limit means no idle limit either
        ASSERT_EQ(rig.printer.Connect(), true);
        for (int i = 0; i < 900; ++i) rig.fake->poll_script.push_back({UsbStatus::kOk, Text("TALVVLAT")});
        rig.fake->poll_script.push_back({UsbStatus::kOk, {0x42}});
        uint8_t b = 0;
        uint32_t delivered = 0;
        EXPECT_TRUE(rig.printer.ReadData(&b, 1, &delivered, -1));
        EXPECT_EQ(b, 0x42);
    }
}

TEST(UsbTransport, ReadErrorReactions) {
    Rig rig;
    ASSERT_EQ(rig.usb.Open(9600), 1);
    uint8_t b = 0;
    // Time-outs and overruns of single polls: poll again.
    rig.fake->poll_script = {{UsbStatus::kTimeout, {}}, {UsbStatus::kOverrun, {}}, {UsbStatus::kOk, {0x31}}};
    EXPECT_EQ(rig.usb.Read(&b, 1, 2000), 1);
    EXPECT_EQ(b, 0x31);
    // Not responding: up to two recoveries per read.
    rig.fake->poll_script = {{UsbStatus::kNotResponding, {}}, {UsbStatus::kNotResponding, {}}, {UsbStatus::kOk, {0x32}}};
    EXPECT_EQ(rig.usb.Read(&b, 1, 2000), 1);
    EXPECT_EQ(b, 0x32);
    EXPECT_EQ(rig.fake->resets, 2);
    rig.fake->poll_script = {{UsbStatus::kNotResponding, {}},
                             {UsbStatus::kNotResponding, {}},
                             {UsbStatus::kNotResponding, {}},
                             {UsbStatus::kOk, {0x33}}};
    EXPECT_EQ(rig.usb.Read(&b, 1, 2000), 0);
    EXPECT_EQ(rig.fake->resets, 4);
    // Any other error ends the read; what was queued stays queued.
    rig.fake->poll_script = {{UsbStatus::kOk, {0x34}}, {UsbStatus::kOther, {}}};
    uint8_t two[2] = {};
    EXPECT_EQ(rig.usb.Read(two, 2, 2000), 0);
    EXPECT_EQ(rig.printer.QueuedBytes(), 1u);
}

TEST(UsbTransport, PurgeDropsWhatAnEarlierCommandLeft) {
    Rig rig;
    ASSERT_EQ(rig.usb.Open(9600), 1);
    rig.fake->poll_script = {{UsbStatus::kOk, {1, 2, 3, 4, 5}}, {UsbStatus::kOk, {9}}};
    uint8_t b = 0;
    ASSERT_EQ(rig.usb.Read(&b, 1, 2000), 1);
    EXPECT_EQ(rig.printer.QueuedBytes(), 4u);
    const int64_t slept = rig.fake->slept;
    EXPECT_EQ(rig.usb.Purge(), 1);
    EXPECT_EQ(rig.printer.QueuedBytes(), 0u);
    EXPECT_EQ(rig.fake->slept - slept, 5);
    EXPECT_EQ(rig.usb.Read(&b, 1, 2000), 1);
    EXPECT_EQ(b, 9);
    // An empty queue is purged without the pause.
    EXPECT_EQ(rig.usb.Purge(), 1);
    EXPECT_EQ(rig.fake->slept - slept, 5);
}

TEST(UsbTransport, UnplugBetweenCommands) {
    const Bytes frame = Numbered(20);
    {
        Rig rig;  // unplugged and plugged back: the next transfer reconnects and goes on
        ASSERT_EQ(rig.usb.Open(9600), 1);
        ASSERT_EQ(rig.usb.Write(frame.data(), 20, 20000), 1);
        rig.fake->Unplug();
        rig.fake->present = true;
        ASSERT_EQ(rig.usb.Open(9600), 1);  // still believes it is connected
        EXPECT_EQ(rig.fake->opens, 1);
        rig.fake->pieces.clear();
        EXPECT_EQ(rig.usb.Write(frame.data(), 20, 20000), 1);
        EXPECT_EQ(rig.fake->opens, 2);
        ASSERT_EQ(rig.fake->pieces.size(), 1u);
        EXPECT_EQ(rig.fake->pieces[0], frame);
        // The same for a read.
        rig.fake->Unplug();
        rig.fake->present = true;
        rig.fake->poll_script = {{UsbStatus::kOk, {0x06}}};
        uint8_t b = 0;
        EXPECT_EQ(rig.usb.Read(&b, 1, 2000), 1);
        EXPECT_EQ(b, 0x06);
        EXPECT_EQ(rig.fake->opens, 3);
    }
    {
        Rig rig;  // unplugged for good: the transfers fail, and the device recovers when back
        ASSERT_EQ(rig.usb.Open(9600), 1);
        rig.fake->Unplug();
        EXPECT_EQ(rig.usb.Write(frame.data(), 20, 20000), 0);
        EXPECT_FALSE(rig.printer.IsConnected());
        uint8_t b = 0;
        EXPECT_EQ(rig.usb.Read(&b, 1, 2000), 0);
        EXPECT_EQ(rig.usb.Open(9600), 0);
        rig.fake->present = true;
        EXPECT_EQ(rig.usb.Open(9600), 1);
        EXPECT_EQ(rig.usb.Write(frame.data(), 20, 20000), 1);
    }
}

}  // namespace
}  // namespace ordavo
