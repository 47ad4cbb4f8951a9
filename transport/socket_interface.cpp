#include "transport/socket_interface.h"

#include "transport/poll_time.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <socket++/sockinet.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace ordavo {

namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

}  // namespace

SocketInterface::SocketInterface(std::string peer, uint32_t host_address)
    : peer_(std::move(peer)), host_address_(host_address) {}

SocketInterface::~SocketInterface() { Close(); }

bool SocketInterface::ParsePeer(const std::string& text, std::string* host, int* port, std::string* error) {
    std::string peer = Trim(text);
    host->clear();
    *port = kDefaultPort;
    size_t colon = peer.rfind(':');
    std::string port_text;
    if (colon == std::string::npos) {
        *host = peer;
    } else {
        *host = peer.substr(0, colon);
        port_text = peer.substr(colon + 1);
        if (host->find(':') != std::string::npos) {
            if (error) *error = "\"" + peer + "\" is not a host or host:port";
            return false;
        }
        if (port_text.empty() || port_text.size() > 5 ||
            port_text.find_first_not_of("0123456789") != std::string::npos) {
            if (error) *error = "\"" + port_text + "\" is not a TCP port";
            return false;
        }
        int value = std::stoi(port_text);
        if (value < 1 || value > 65535) {
            if (error) *error = "\"" + port_text + "\" is not a TCP port";
            return false;
        }
        *port = value;
    }
    if (host->find_first_of(" \t/") != std::string::npos) {
        if (error) *error = "\"" + *host + "\" is not a host name";
        return false;
    }
    return true;
}

int SocketInterface::Open(int baud_rate) {
    Close();
    last_error_.clear();
    link_lost_ = false;

    std::string host;
    int port = kDefaultPort;
    if (!ParsePeer(peer_, &host, &port, &last_error_)) return 0;

    struct sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (host.empty()) {
        address.sin_addr.s_addr = htonl(host_address_);
    } else if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        struct addrinfo hints {};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        struct addrinfo* found = nullptr;
        int r = getaddrinfo(host.c_str(), nullptr, &hints, &found);
        if (r != 0 || found == nullptr) {
            last_error_ = host + ": " + gai_strerror(r);
            return 0;
        }
        address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        freeaddrinfo(found);
    }
    char shown[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, shown, sizeof shown);
    const std::string where = std::string(shown) + ":" + std::to_string(port);

    // The stream library's connect waits as long as the system does (minutes for a host that
    // drops the packets), so the connection is made here with a bounded wait and the
    // connected socket is then handed to the library.
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        last_error_ = std::string("socket: ") + std::strerror(errno);
        return 0;
    }
    int r = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (r != 0 && errno != EINPROGRESS) {
        last_error_ = where + ": " + std::strerror(errno);
        ::close(fd);
        return 0;
    }
    if (r != 0) {
        const int64_t deadline = NowUs() + int64_t{std::max(connect_timeout_ms_, 0)} * 1000;
        struct pollfd p = {fd, POLLOUT, 0};
        int ready;
        do {
            ready = poll(&p, 1, PollMs(deadline - NowUs()));
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0) {
            last_error_ = where + ": no connection within " + std::to_string(connect_timeout_ms_) + " ms";
            ::close(fd);
            return 0;
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
        if (error != 0) {
            last_error_ = where + ": " + std::strerror(error);
            ::close(fd);
            return 0;
        }
    }
    // Blocking again: every wait is bounded by poll() before the library sends or receives.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    try {
        sock_ = std::make_unique<sockinetbuf>(sockbuf::sockdesc(fd));  // owns fd from here on
    } catch (...) {
        ::close(fd);
        last_error_ = where + ": the socket library refused the connection";
        return 0;
    }
    return 1;
}

void SocketInterface::Close() {
    sock_.reset();  // closes the connection
}

bool SocketInterface::WaitFor(short events, int64_t deadline_us) {
    for (;;) {
        struct pollfd p = {sock_->sd(), events, 0};
        int r = poll(&p, 1, PollMs(deadline_us - NowUs()));
        if (r > 0) return true;  // ready, or an error that the next call reports
        if (r == 0) return false;
        if (errno != EINTR) return false;
    }
}

bool SocketInterface::SendAll(const uint8_t* data, int count, int64_t deadline_us) {
    int done = 0;
    while (done < count) {
        if (!WaitFor(POLLOUT, deadline_us)) {
            last_error_ = "the peer does not take the frame";
            return false;
        }
        int n;
        try {
            // MSG_NOSIGNAL: a peer that has gone must not end the program with SIGPIPE.
            n = sock_->send(data + done, count - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        } catch (...) {
            last_error_ = "the connection was lost while sending";
            return false;
        }
        if (n <= 0) {
            last_error_ = "the connection was lost while sending";
            return false;
        }
        done += n;
    }
    return true;
}

int SocketInterface::Write(const uint8_t* buffer, int count, int tag) {
    if (!sock_ || count < 0 || (count > 0 && buffer == nullptr)) return 0;
    const int64_t deadline = NowUs() + int64_t{kSendTimeoutMs} * 1000;
    const uint8_t tag_bytes[2] = {static_cast<uint8_t>(tag & 0xFF), static_cast<uint8_t>((tag >> 8) & 0xFF)};
    if (!SendAll(buffer, count, deadline)) return 0;
    if (!SendAll(tag_bytes, 2, deadline)) return 0;
    return 1;
}

int SocketInterface::Read(uint8_t* buffer, int count, int timeout_ms) {
    if (!sock_ || count < 0 || (count > 0 && buffer == nullptr)) return 0;
    const int64_t deadline = NowUs() + int64_t{std::max(timeout_ms, 0)} * 1000;
    int got = 0;
    while (got < count) {
        if (!WaitFor(POLLIN, deadline)) return 0;
        int n;
        try {
            n = sock_->recv(buffer + got, count - got);
        } catch (...) {
            last_error_ = "the connection was lost while receiving";
            link_lost_ = true;
            return 0;
        }
        if (n <= 0) {
            // The peer closed the connection: no more bytes will come on it.
            last_error_ = n == 0 ? "the peer closed the connection"
                                 : std::string("the connection broke: ") + std::strerror(errno);
            link_lost_ = true;
            return 0;
        }
        got += n;
    }
    return 1;
}

int SocketInterface::Purge() { return sock_ ? 1 : 0; }

}  // namespace ordavo
