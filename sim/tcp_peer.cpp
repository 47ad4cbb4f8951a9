// The printer behind a TCP port, as behind a network box that forwards frames to a printer:
// one connection per command carrying the frame, a two-byte tag (the answer length the program
// expects, low byte first; FF FF for an answer that ends with its terminator), then the answer,
// after which the connection is closed. Connections are served one at a time, in the order
// they come, as the printer behind them takes one command at a time.
#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>

#include "engine/util.h"
#include "sim/line.h"
#include "sim/peers.h"

namespace ordavo::sim {
namespace {

// A connection that brings no frame within this time is closed without an answer.
constexpr int kFirstByteMs = 10000;
// The tag follows the frame at once; after this much silence the frame is answered without it.
constexpr int kTagWaitMs = kInterByteMs;
// A printer that fell silent keeps the connection open, as the box in front of it would, until
// the program gives up and closes it; but not for ever. Longer than the program waits for an
// answer (52 reads of 2 s with 0.3 s pauses).
constexpr int kSilentHoldMs = 180000;
constexpr int kWriteStallMs = 2000;

std::string AddressText(const sockaddr_in& a) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(a.sin_port));
}

int64_t After(int ms) {
    return NowNs() + static_cast<int64_t>(ms) * 1000000LL;
}

class Connection {
  public:
    Connection(Responder& r, int fd, int number) : r_(r), fd_(fd), name_("connection " + std::to_string(number)) {}

    void Serve() {
        Frame frame;
        if (!ReadFrame(frame)) return;
        const std::string tag = ReadTag();
        Reply reply = r_.Answer(frame);
        r_.Log(name_ + ": frame of " + std::to_string(frame.raw.size()) + " bytes, tag " + tag + ", answer of " +
               std::to_string(reply.full_size) + " bytes");
        if (!Send(reply)) return;
        if (!reply.complete) Hold();
    }

  private:
    // False when the connection ends without a good frame (a NAK was sent for a bad one).
    bool ReadFrame(Frame& frame) {
        int64_t deadline = After(kFirstByteMs);
        for (;;) {
            const int w = WaitReadable(fd_, parser_.InFrame() ? After(kInterByteMs) : deadline);
            if (w < 0) return false;
            if (w == 0) {
                if (parser_.Timeout() == FrameParser::Event::kRefused) {
                    Send(r_.Refuse(parser_.why()));
                } else {
                    r_.Log(name_ + ": no frame within " + std::to_string(kFirstByteMs) + " ms; closed");
                }
                return false;
            }
            const ssize_t got = ::recv(fd_, buf_, sizeof buf_, 0);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                r_.Log(name_ + (parser_.InFrame() ? ": closed in the middle of a frame" : ": closed without a frame"));
                return false;
            }
            for (ssize_t i = 0; i < got; ++i) {
                const FrameParser::Event e = parser_.Feed(buf_[i]);
                if (e == FrameParser::Event::kRefused) {
                    Send(r_.Refuse(parser_.why()));
                    return false;
                }
                if (e == FrameParser::Event::kFrame) {
                    if (const size_t noise = parser_.TakeNoiseCount())
                        r_.Log(name_ + ": skipped " + std::to_string(noise) + " bytes before STX");
                    frame = parser_.frame();
                    rest_.assign(buf_ + i + 1, buf_ + got);
                    return true;
                }
            }
        }
    }

    // The two tag bytes, as "0B 00", or what came of them.
    std::string ReadTag() {
        Bytes tag = std::move(rest_);
        const int64_t deadline = After(kTagWaitMs);
        while (tag.size() < 2) {
            if (WaitReadable(fd_, deadline) <= 0) break;
            const ssize_t got = ::recv(fd_, buf_, sizeof buf_, 0);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            tag.insert(tag.end(), buf_, buf_ + got);
        }
        if (tag.size() > 2)
            r_.Log(name_ + ": " + std::to_string(tag.size() - 2) + " bytes after the tag are ignored");
        if (tag.size() < 2) return tag.empty() ? "missing" : "cut short (" + HexBytes(tag.data(), tag.size()) + ")";
        return HexBytes(tag.data(), 2);
    }

    bool Send(const Reply& reply) {
        return SendPaced(
            reply,
            [&](const uint8_t* data, size_t size) {
                if (WriteAll(fd_, data, size, kWriteStallMs)) return true;
                r_.Log(name_ + ": the answer was not taken");
                return false;
            },
            [&](int64_t due) {
                // Only a closed connection can make the socket readable now.
                const int w = WaitReadable(fd_, due);
                if (w > 0) r_.Log(name_ + ": the program went away; the rest of the answer is dropped");
                return w != 0;
            });
    }

    // Keeps a silent printer's connection open until the other side gives up.
    void Hold() {
        const int64_t deadline = After(kSilentHoldMs);
        for (;;) {
            if (WaitReadable(fd_, deadline) <= 0) return;
            const ssize_t got = ::recv(fd_, buf_, sizeof buf_, 0);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return;
        }
    }

    Responder& r_;
    int fd_;
    std::string name_;
    FrameParser parser_;
    uint8_t buf_[4096];
    Bytes rest_;
};

bool Resolve(const std::string& host, in_addr& out, std::string& error) {
    if (inet_pton(AF_INET, host.c_str(), &out) == 1) return true;
    struct addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo* found = nullptr;
    const int r = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (r != 0 || found == nullptr) {
        error = host + ": " + gai_strerror(r);
        return false;
    }
    out = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

}  // namespace

int RunTcp(const Options& o, Responder& responder) {
    struct sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(o.tcp_port));
    std::string error;
    if (!Resolve(o.tcp_host, address.sin_addr, error)) {
        std::cerr << "ordavo-printer-sim: " << error << std::endl;
        return 1;
    }
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) {
        std::perror("ordavo-printer-sim: socket");
        return 1;
    }
    const int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0) {
        std::cerr << "ordavo-printer-sim: " << AddressText(address) << ": " << std::strerror(errno) << std::endl;
        ::close(listener);
        return 1;
    }
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::cout << AddressText(address) << std::endl;

    int served = 0;
    while (!g_stop) {
        if (WaitReadable(listener, -1) < 0) break;
        struct sockaddr_in peer {};
        socklen_t peer_length = sizeof peer;
        const int fd = ::accept4(listener, reinterpret_cast<sockaddr*>(&peer), &peer_length, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors or memory for a moment: do not spin on the waiting peer.
                SleepUntil(NowNs() + 100000000LL);
                continue;
            }
            std::perror("ordavo-printer-sim: accept");
            break;
        }
        ++served;
        responder.Log("connection " + std::to_string(served) + " from " + AddressText(peer));
        Connection(responder, fd, served).Serve();
        ::close(fd);
    }
    ::close(listener);
    return 0;
}

}  // namespace ordavo::sim
