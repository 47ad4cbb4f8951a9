// The TCP transport against peers in the test: the tag after the frame, one connection per
// command, and absent, silent or vanishing peers that must not hold the caller.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "transport/socket_interface.h"

namespace ordavo {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

int64_t MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Reads until `n` bytes came or nothing more comes for `quiet_ms`.
Bytes ReadSome(int fd, size_t n, int quiet_ms = 1000) {
    Bytes out;
    while (out.size() < n) {
        struct pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, quiet_ms) <= 0) break;
        uint8_t buf[512];
        ssize_t r = read(fd, buf, std::min(sizeof buf, n - out.size()));
        if (r <= 0) break;
        out.insert(out.end(), buf, buf + r);
    }
    return out;
}

// A peer on 127.0.0.1 that serves each connection with `serve` and keeps what it received.
class Peer {
public:
    using Serve = std::function<void(int fd, Bytes& received)>;

    explicit Peer(Serve serve, int backlog = 8) : serve_(std::move(serve)) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        struct sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listener_, backlog);
        socklen_t length = sizeof a;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length);
        port_ = ntohs(a.sin_port);
    }
    ~Peer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        close(listener_);
    }
    void Start() {
        thread_ = std::thread([this] {
            while (!stop_) {
                struct pollfd p = {listener_, POLLIN, 0};
                if (poll(&p, 1, 20) <= 0) continue;
                int fd = accept(listener_, nullptr, nullptr);
                if (fd < 0) continue;
                Bytes received;
                serve_(fd, received);
                close(fd);
                std::lock_guard<std::mutex> lock(mutex_);
                connections_.push_back(received);
            }
        });
    }
    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    std::vector<Bytes> connections() {
        std::lock_guard<std::mutex> lock(mutex_);
        return connections_;
    }
    int listener() const { return listener_; }

private:
    Serve serve_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<Bytes> connections_;
};

// Waits (a little) until the peer has finished `n` connections.
std::vector<Bytes> WaitForConnections(Peer& peer, size_t n) {
    auto start = Clock::now();
    while (peer.connections().size() < n && MsSince(start) < 3000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return peer.connections();
}

TEST(SocketTransport, PeerTexts) {
    std::string host, error;
    int port = 0;
    EXPECT_TRUE(SocketInterface::ParsePeer("printer.local", &host, &port, &error));
    EXPECT_EQ(host, "printer.local");
    EXPECT_EQ(port, 21);
    EXPECT_TRUE(SocketInterface::ParsePeer("1.2.3.4:2121", &host, &port, &error));
    EXPECT_EQ(host, "1.2.3.4");
    EXPECT_EQ(port, 2121);
    EXPECT_TRUE(SocketInterface::ParsePeer(" localhost:65535 ", &host, &port, &error));
    EXPECT_EQ(host, "localhost");
    EXPECT_EQ(port, 65535);
    EXPECT_TRUE(SocketInterface::ParsePeer("", &host, &port, &error));
    EXPECT_EQ(host, "");
    EXPECT_EQ(port, 21);
    EXPECT_TRUE(SocketInterface::ParsePeer(":2121", &host, &port, &error));
    EXPECT_EQ(host, "");
    EXPECT_EQ(port, 2121);
    for (const char* bad : {"host:", "host:0", "host:65536", "host:21x", "host:-1", "a:b:21", "my host:21",
                            "host:999999999999"}) {
        SCOPED_TRACE(bad);
        error.clear();
        EXPECT_FALSE(SocketInterface::ParsePeer(bad, &host, &port, &error));
        EXPECT_FALSE(error.empty());
        SocketInterface t(bad, 0x7F000001);
        EXPECT_EQ(t.Open(9600), 0);
        EXPECT_FALSE(t.LastError().empty());
    }
}

TEST(SocketTransport, FrameThenTagOnOneConnectionPerCommand) {
    Peer peer([](int fd, Bytes& received) {
        // The frame of these tests is 8 bytes; the tag follows it.
        received = ReadSome(fd, 10);
        const uint8_t answer[] = {0x06, 0x00, 0x00, 0x00, 0x00};
        ASSERT_EQ(write(fd, answer, sizeof answer), static_cast<ssize_t>(sizeof answer));
        ReadSome(fd, 1, 1000);  // until the transport closes its end
    });
    peer.Start();

    const Bytes frame = {0x02, 0x05, 0x00, 0x1B, 0x23, 0x17, 0x55, 0x00};
    struct Case {
        int tag;
        uint8_t low, high;
    };
    const Case cases[] = {{258, 0x02, 0x01}, {-1, 0xFF, 0xFF}, {20000, 0x20, 0x4E}, {0x12345, 0x45, 0x23}, {5, 5, 0}};
    for (const Case& c : cases) {
        SocketInterface t(peer.address(), 0);
        ASSERT_EQ(t.Open(9600), 1) << t.LastError();
        EXPECT_EQ(t.Purge(), 1);
        EXPECT_EQ(t.Write(frame.data(), static_cast<int>(frame.size()), c.tag), 1);
        uint8_t answer[5] = {};
        EXPECT_EQ(t.Read(answer, 5, 2000), 1) << t.LastError();
        EXPECT_EQ(answer[0], 0x06);
        t.Close();
        EXPECT_FALSE(t.IsOpen());
    }
    auto connections = WaitForConnections(peer, std::size(cases));
    ASSERT_EQ(connections.size(), std::size(cases));
    for (size_t i = 0; i < connections.size(); ++i) {
        SCOPED_TRACE(cases[i].tag);
        Bytes expected = frame;
        expected.push_back(cases[i].low);
        expected.push_back(cases[i].high);
        EXPECT_EQ(connections[i], expected);
    }
}

TEST(SocketTransport, ReadTakesOnlyWhatWasAskedFor) {
    Peer peer([](int fd, Bytes& received) {
        received = ReadSome(fd, 3);
        const uint8_t ten[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        ASSERT_EQ(write(fd, ten, 10), 10);
        ReadSome(fd, 1, 2000);
    });
    peer.Start();
    // The configured address (host byte order) with a port of the peer text.
    SocketInterface t(":" + std::to_string(peer.port()), 0x7F000001);
    ASSERT_EQ(t.Open(9600), 1) << t.LastError();
    const uint8_t frame = 0x02;
    ASSERT_EQ(t.Write(&frame, 1, 0), 1);
    uint8_t b = 0xEE;
    ASSERT_EQ(t.Read(&b, 1, 2000), 1);
    EXPECT_EQ(b, 0);
    uint8_t rest[9] = {};
    ASSERT_EQ(t.Read(rest, 9, 2000), 1);
    EXPECT_EQ(rest[0], 1);
    EXPECT_EQ(rest[8], 9);
    // Nothing more: the read ends by the caller's time-out.
    auto start = Clock::now();
    EXPECT_EQ(t.Read(&b, 1, 150), 0);
    EXPECT_GE(MsSince(start), 120);
    EXPECT_LT(MsSince(start), 1500);
}

TEST(SocketTransport, NamesAreResolved) {
    Peer peer([](int fd, Bytes& received) { received = ReadSome(fd, 3, 1000); });
    peer.Start();
    SocketInterface t("localhost:" + std::to_string(peer.port()), 0);
    ASSERT_EQ(t.Open(9600), 1) << t.LastError();
    const uint8_t frame = 0x02;
    EXPECT_EQ(t.Write(&frame, 1, 1), 1);
    t.Close();
    auto connections = WaitForConnections(peer, 1);
    ASSERT_EQ(connections.size(), 1u);
    EXPECT_EQ(connections[0], (Bytes{0x02, 0x01, 0x00}));

    SocketInterface unknown("no-such-host.invalid:2121", 0);
    EXPECT_EQ(unknown.Open(9600), 0);
    EXPECT_FALSE(unknown.LastError().empty());
}

TEST(SocketTransport, SilentAndVanishingPeersEndWithinTheTimeOut) {
    // Silent: takes the frame, answers nothing, keeps the connection.
    std::atomic<bool> release{false};
    Peer silent([&](int fd, Bytes& received) {
        received = ReadSome(fd, 10, 500);
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    silent.Start();
    {
        SocketInterface t(silent.address(), 0);
        ASSERT_EQ(t.Open(9600), 1) << t.LastError();
        const Bytes frame(8, 0x33);
        EXPECT_EQ(t.Write(frame.data(), 8, 13), 1);
        uint8_t b = 0;
        for (int timeout : {0, 200}) {
            auto start = Clock::now();
            EXPECT_EQ(t.Read(&b, 1, timeout), 0);
            EXPECT_LT(MsSince(start), timeout + 1000);
            EXPECT_GE(MsSince(start), timeout - 20);
        }
    }
    release = true;

    // Vanishing: closes as soon as it has the frame. Reads fail at once, and writing into the
    // dead connection fails instead of ending the process with SIGPIPE.
    Peer vanishing([](int fd, Bytes& received) { received = ReadSome(fd, 3, 500); });
    vanishing.Start();
    SocketInterface t(vanishing.address(), 0);
    ASSERT_EQ(t.Open(9600), 1) << t.LastError();
    const uint8_t frame = 0x02;
    EXPECT_EQ(t.Write(&frame, 1, 1), 1);
    uint8_t b = 0;
    auto start = Clock::now();
    EXPECT_EQ(t.Read(&b, 1, 5000), 0);
    EXPECT_LT(MsSince(start), 2000);
    int failed_writes = 0;
    const Bytes big(4096, 0x44);
    for (int i = 0; i < 20 && failed_writes == 0; ++i) {
        if (t.Write(big.data(), static_cast<int>(big.size()), 0) == 0) ++failed_writes;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(failed_writes, 1);
}

TEST(SocketTransport, AbsentPeerFailsOpenWithinTheBound) {
    // Nobody listens: refused at once.
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    getsockname(probe, reinterpret_cast<sockaddr*>(&a), &length);
    const int closed_port = ntohs(a.sin_port);
    close(probe);

    SocketInterface refused("127.0.0.1:" + std::to_string(closed_port), 0);
    auto start = Clock::now();
    EXPECT_EQ(refused.Open(9600), 0);
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_NE(refused.LastError().find("refused"), std::string::npos) << refused.LastError();
    uint8_t b = 0;
    EXPECT_EQ(refused.Write(&b, 1, 0), 0);
    EXPECT_EQ(refused.Read(&b, 1, 100), 0);
    EXPECT_EQ(refused.Purge(), 0);
    refused.Close();

    // A peer whose connection queue is full drops the connection attempts, so they would wait
    // for the system's own limit (minutes): Open gives up after its bound.
    Peer full([](int, Bytes&) {}, 0);  // never started: never accepts
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        struct sockaddr_in to {};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(static_cast<uint16_t>(full.port()));
        connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
        fillers.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    SocketInterface stuck(full.address(), 0);
    stuck.SetConnectTimeoutMs(300);
    start = Clock::now();
    EXPECT_EQ(stuck.Open(9600), 0);
    int64_t ms = MsSince(start);
    EXPECT_GE(ms, 250);
    EXPECT_LT(ms, 2000);
    EXPECT_NE(stuck.LastError().find("no connection within 300 ms"), std::string::npos) << stuck.LastError();
    for (int fd : fillers) close(fd);
}

}  // namespace
}  // namespace ordavo
