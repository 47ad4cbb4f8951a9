// Which transport a port name selects, and what each gives the engine before any printer is
// involved.
#include <string>

#include <gtest/gtest.h>

#include "engine/util.h"
#include "shell/core/settings.h"
#include "tests/support/paths.h"
#include "transport/file_interface.h"
#include "transport/serial_interface.h"
#include "transport/socket_interface.h"
#include "transport/usb_interface.h"

namespace ordavo {
namespace {

TEST(TransportSelection, ByExactPortName) {
    Settings s;
    EXPECT_NE(dynamic_cast<UsbInterface*>(CreateTransport("USB", s).get()), nullptr);
    EXPECT_NE(dynamic_cast<FileInterface*>(CreateTransport("FILE", s).get()), nullptr);
    EXPECT_NE(dynamic_cast<SocketInterface*>(CreateTransport("SOCKET", s).get()), nullptr);

    // Anything else, letter case and stray spaces included, is a serial port of that name.
    for (const char* name : {"COM1:", "COM8", "/dev/ttyUSB0", "usb", "File", "socket", "USB ", " FILE", ""}) {
        SCOPED_TRACE(std::string("\"") + name + "\"");
        auto t = CreateTransport(name, s);
        auto* serial = dynamic_cast<WinSerialInterface*>(t.get());
        ASSERT_NE(serial, nullptr);
        EXPECT_STREQ(serial->PortName(), name);
    }

    // A serial name that names no device does not open, and the transport stays harmless.
    for (const char* name : {"usb", ""}) {
        auto t = CreateTransport(name, s);
        EXPECT_EQ(t->Open(9600), 0);
        uint8_t b = 0;
        EXPECT_EQ(t->Read(&b, 1, 2000), 0);
        uint32_t count = 5;
        EXPECT_EQ(t->PutRequest(&b, 1, &count), 0);
        EXPECT_EQ(t->TakeResponse(&b, 1, &count), 0);
        t->Close();
    }

    // Port names longer than the name array are cut, not overflowed.
    const std::string long_name(5000, 'x');
    auto t = CreateTransport(long_name, s);
    EXPECT_EQ(std::string(t->PortName()).size(), 1023u);
}

TEST(TransportSelection, FilePairFollowsTheSettings) {
    test::TempDir app, exchange;
    Settings s;
    s.AppDirectory = app.path();
    const uint8_t frame[3] = {2, 1, 0};
    uint32_t written = 0;

    auto in_app = CreateTransport("FILE", s);
    ASSERT_EQ(in_app->Open(0), 1);
    ASSERT_EQ(in_app->PutRequest(frame, 3, &written), 1);
    std::string contents;
    EXPECT_TRUE(ReadWholeFile(app.File("comando.dat"), contents));
    EXPECT_EQ(contents.size(), 3u);

    s.ExchangeDirectory = exchange.path();
    auto in_exchange = CreateTransport("FILE", s);
    ASSERT_EQ(in_exchange->Open(0), 1);
    ASSERT_EQ(in_exchange->PutRequest(frame, 3, &written), 1);
    EXPECT_TRUE(ReadWholeFile(exchange.File("comando.dat"), contents));
    EXPECT_EQ(contents.size(), 3u);
    auto* pair = dynamic_cast<FilePairTransport*>(in_exchange.get());
    ASSERT_NE(pair, nullptr);
    EXPECT_EQ(pair->PendingBytes(), 0u);
}

TEST(TransportSelection, SocketPeerFromTheSettings) {
    Settings s;
    s.SocketHost = 0x7F000001;
    s.SocketPeer = "127.0.0.1:1";  // port 1: nobody listens there
    auto t = CreateTransport("SOCKET", s);
    EXPECT_EQ(t->Open(9600), 0);
    auto* socket = dynamic_cast<SocketInterface*>(t.get());
    ASSERT_NE(socket, nullptr);
    EXPECT_NE(socket->LastError().find("127.0.0.1:1"), std::string::npos) << socket->LastError();
}

}  // namespace
}  // namespace ordavo
