// The serial transport on pseudo-terminals: line settings, exclusive use, the port time-outs
// and restoring the line at Close.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/paths.h"
#include "transport/serial_interface.h"

namespace ordavo {
namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A pseudo-terminal whose master end plays the printer.
class Pty {
public:
    Pty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        slave_path_ = ptsname(master_);
    }
    ~Pty() { CloseMaster(); }
    bool ok() const { return master_ >= 0 && !slave_path_.empty(); }
    const std::string& slave() const { return slave_path_; }
    int master() const { return master_; }
    void CloseMaster() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }
    void Send(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Whatever the slave side wrote, collected until nothing more comes for `quiet_ms`.
    std::vector<uint8_t> Receive(int quiet_ms = 200) {
        std::vector<uint8_t> out;
        for (;;) {
            struct pollfd p = {master_, POLLIN, 0};
            if (poll(&p, 1, quiet_ms) <= 0) break;
            uint8_t buf[256];
            ssize_t n = read(master_, buf, sizeof buf);
            if (n <= 0) break;
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }

private:
    int master_ = -1;
    std::string slave_path_;
};

TEST(SerialTransport, PortNamesAndFailedOpens) {
    EXPECT_EQ(WinSerialInterface::DevicePath("COM1:"), "/dev/ttyS0");
    EXPECT_EQ(WinSerialInterface::DevicePath("COM8:"), "/dev/ttyS7");
    EXPECT_EQ(WinSerialInterface::DevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(WinSerialInterface::DevicePath("COM5"), "/dev/ttyS4");
    EXPECT_EQ(WinSerialInterface::DevicePath("COM9:"), "COM9:");
    EXPECT_EQ(WinSerialInterface::DevicePath("COM0"), "COM0");
    EXPECT_EQ(WinSerialInterface::DevicePath("com1:"), "com1:");
    EXPECT_EQ(WinSerialInterface::DevicePath("COM1::"), "COM1::");
    EXPECT_EQ(WinSerialInterface::DevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(WinSerialInterface::DevicePath(""), "");

    uint8_t byte = 0;
    for (const char* name : {"", "usb", "/nonexistent/ttyX"}) {
        SCOPED_TRACE(name);
        WinSerialInterface port(name);
        EXPECT_EQ(port.Open(9600), 0);
        EXPECT_FALSE(port.LastError().empty());
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(port.OpenPortName(), "");
        // A failed open leaves a transport that refuses everything and closes quietly.
        EXPECT_EQ(port.Write(&byte, 1, 20000), 0);
        EXPECT_EQ(port.Read(&byte, 1, 2000), 0);
        EXPECT_EQ(port.Purge(), 0);
        port.Close();
        port.Close();
    }
    WinSerialInterface missing("/nonexistent/ttyX");
    missing.Open(9600);
    EXPECT_NE(missing.LastError().find("No such file or directory"), std::string::npos) << missing.LastError();

    // A regular file is not a port.
    test::TempDir dir;
    int fd = open(dir.File("plain").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    close(fd);
    WinSerialInterface plain(dir.File("plain").c_str());
    EXPECT_EQ(plain.Open(9600), 0);
    EXPECT_FALSE(plain.LastError().empty());

    Pty pty;
    ASSERT_TRUE(pty.ok());
    WinSerialInterface odd_speed(pty.slave().c_str());
    EXPECT_EQ(odd_speed.Open(12345), 0);
    EXPECT_EQ(odd_speed.Open(0), 0);
}

TEST(SerialTransport, LineSettingsAppliedAndRestored) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    // An observer on the slave end, opened before the transport, reads the line settings back.
    int observer = open(pty.slave().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(observer, 0);
    struct termios before {};
    ASSERT_EQ(tcgetattr(observer, &before), 0);
    // Settings that differ from what the transport needs in every respect it changes.
    before.c_cflag &= ~(CSIZE | CSTOPB);
    before.c_cflag |= CS7 | PARENB | CRTSCTS;
    before.c_lflag |= ICANON | ECHO;
    before.c_iflag |= IXON | ICRNL;
    cfsetispeed(&before, B1200);
    cfsetospeed(&before, B1200);
    ASSERT_EQ(tcsetattr(observer, TCSANOW, &before), 0);
    ASSERT_EQ(tcgetattr(observer, &before), 0);

    WinSerialInterface port(pty.slave().c_str());
    ASSERT_EQ(port.Open(9600), 1) << port.LastError();
    EXPECT_EQ(port.OpenPortName(), pty.slave());
    EXPECT_EQ(port.LastError(), "");

    struct termios t {};
    ASSERT_EQ(tcgetattr(observer, &t), 0);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_FALSE(t.c_cflag & PARENB);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_cflag & CREAD);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(t.c_iflag & (IXON | ICRNL | ISTRIP));
    EXPECT_FALSE(t.c_oflag & OPOST);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B9600));

    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.OpenPortName(), "");
    struct termios after {};
    ASSERT_EQ(tcgetattr(observer, &after), 0);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B1200));
    close(observer);
}

TEST(SerialTransport, HeldExclusivelyWhileOpen) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    test::TempDir dir;
    const std::string link = dir.File("printer");
    ASSERT_EQ(symlink(pty.slave().c_str(), link.c_str()), 0);

    WinSerialInterface first(pty.slave().c_str());
    ASSERT_EQ(first.Open(9600), 1) << first.LastError();
    for (const std::string& name : {pty.slave(), link}) {
        SCOPED_TRACE(name);
        WinSerialInterface second(name.c_str());
        EXPECT_EQ(second.Open(9600), 0);
        EXPECT_FALSE(second.LastError().empty());
        second.Close();  // must not disturb the holder
    }
    // The holder still works after the refused attempts.
    const std::vector<uint8_t> frame = {0x02, 0x05, 0x00, 0x1B, 0x23, 0x17, 0x55, 0x00};
    EXPECT_EQ(first.Write(frame.data(), static_cast<int>(frame.size()), 20000), 1);
    EXPECT_EQ(pty.Receive(), frame);
    first.Close();

    // Released at Close: the port opens again, through the link too.
    WinSerialInterface third(link.c_str());
    EXPECT_EQ(third.Open(9600), 1) << third.LastError();
    // Opening an open transport again starts over instead of leaking the first handle.
    EXPECT_EQ(third.Open(9600), 1) << third.LastError();
    third.Close();
    WinSerialInterface fourth(pty.slave().c_str());
    EXPECT_EQ(fourth.Open(9600), 1) << fourth.LastError();
}

TEST(SerialTransport, BytesPassUnchangedBothWays) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    WinSerialInterface port(pty.slave().c_str());
    ASSERT_EQ(port.Open(9600), 1) << port.LastError();

    // Every byte value, the flow-control and line-end characters among them.
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(port.Write(all.data(), 256, 20000), 1);
    EXPECT_EQ(pty.Receive(), all);

    const std::vector<uint8_t> answer = {0x06, 0x11, 0x13, 0x0D, 0x0A, 0x03, 0x00, 0x7F, 0xFF, 0x04};
    pty.Send(answer);
    std::vector<uint8_t> got(answer.size());
    EXPECT_EQ(port.Read(got.data(), static_cast<int>(got.size()), 2000), 1);
    EXPECT_EQ(got, answer);

    // One byte at a time, as the engine reads.
    pty.Send({0x41, 0x42});
    uint8_t b = 0;
    EXPECT_EQ(port.Read(&b, 1, 2000), 1);
    EXPECT_EQ(b, 0x41);
    EXPECT_EQ(port.Read(&b, 1, 2000), 1);
    EXPECT_EQ(b, 0x42);

    EXPECT_EQ(port.Read(&b, 0, 2000), 1);
    EXPECT_EQ(port.Read(nullptr, 1, 2000), 0);
    EXPECT_EQ(port.Write(nullptr, 1, 0), 0);
    EXPECT_EQ(port.Read(&b, -1, 2000), 0);
}

TEST(SerialTransport, ReadTimeOutsOfThePort) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    WinSerialInterface port(pty.slave().c_str());
    ASSERT_EQ(port.Open(9600), 1) << port.LastError();
    uint8_t buf[8] = {};

    // No answer: a one-byte read ends after about 1005 ms, whatever time-out the caller gave.
    for (int caller_timeout : {10, 60000}) {
        SCOPED_TRACE(caller_timeout);
        auto start = Clock::now();
        EXPECT_EQ(port.Read(buf, 1, caller_timeout), 0);
        int64_t ms = MsSince(start);
        EXPECT_GE(ms, 900);
        EXPECT_LE(ms, 3000);
    }

    // The first byte may take most of the total: 1000·n + 5 ms.
    {
        std::thread late([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            pty.Send({1, 2, 3});
        });
        EXPECT_EQ(port.Read(buf, 3, 2000), 1);
        late.join();
        EXPECT_EQ(buf[0], 1);
        EXPECT_EQ(buf[2], 3);
    }

    // A pause of more than 10 ms between two bytes ends a multi-byte read early.
    {
        std::thread paused([&] {
            pty.Send({1, 2});
            std::this_thread::sleep_for(std::chrono::milliseconds(80));
            pty.Send({3, 4});
        });
        auto start = Clock::now();
        EXPECT_EQ(port.Read(buf, 4, 2000), 0);
        int64_t ms = MsSince(start);
        paused.join();
        EXPECT_LT(ms, 1000);  // far below the 4005 ms total
        port.Purge();
    }

    // Purge drops what arrived before it.
    pty.Send({9, 9, 9});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(port.Purge(), 1);
    auto start = Clock::now();
    EXPECT_EQ(port.Read(buf, 1, 2000), 0);
    EXPECT_GE(MsSince(start), 900);
}

TEST(SerialTransport, VanishedDeviceFailsAtOnce) {
    Pty pty;
    ASSERT_TRUE(pty.ok());
    WinSerialInterface port(pty.slave().c_str());
    ASSERT_EQ(port.Open(9600), 1) << port.LastError();
    pty.CloseMaster();
    uint8_t b = 0;
    auto start = Clock::now();
    EXPECT_EQ(port.Read(&b, 1, 2000), 0);
    EXPECT_LT(MsSince(start), 500);
    start = Clock::now();
    port.Close();
    EXPECT_LT(MsSince(start), 1000);
}

}  // namespace
}  // namespace ordavo
