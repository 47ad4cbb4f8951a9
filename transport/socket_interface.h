// The TCP transport: one connection per command to a peer that forwards frames to a printer.
// The frame goes out followed by a two-byte tag (the expected answer length, low byte first).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "transport/printer_interface.h"

class sockinetbuf;

namespace ordavo {

class SocketInterface : public PrinterInterface {
public:
    static constexpr int kDefaultPort = 21;
    static constexpr int kConnectTimeoutMs = 3000;
    static constexpr int kSendTimeoutMs = 5000;

    // `peer` is "host", "host:port" or "1.2.3.4:2121" (host name or dotted IPv4 address);
    // empty means `host_address` (IPv4, host byte order) on port 21.
    SocketInterface(std::string peer, uint32_t host_address);
    ~SocketInterface() override;

    // Connects within kConnectTimeoutMs (or the time set below); 1 when connected.
    int Open(int baud_rate) override;
    void Close() override;
    // Sends the frame, then the low 16 bits of `tag`, low byte first; 1 when all went out.
    int Write(const uint8_t* buffer, int count, int tag) override;
    // Waits at most `timeout_ms` for `count` bytes; bytes beyond them stay in the connection.
    int Read(uint8_t* buffer, int count, int timeout_ms) override;
    int Purge() override;  // a new connection holds nothing stale: 1 while connected
    bool SendsAnswerLength() const override { return true; }

    void SetConnectTimeoutMs(int ms) { connect_timeout_ms_ = ms; }
    // Why the last operation failed ("" when none did).
    std::string LastError() const override { return last_error_; }
    // The peer closed the connection or it broke.
    bool LinkLost() const override { return link_lost_; }
    bool IsOpen() const { return sock_ != nullptr; }

    // Splits a peer text into host and port; an empty host means "the configured address".
    // False, with the reason in `error`, for a text that is not "host" or "host:port".
    static bool ParsePeer(const std::string& peer, std::string* host, int* port, std::string* error);

private:
    bool WaitFor(short events, int64_t deadline_us);
    bool SendAll(const uint8_t* data, int count, int64_t deadline_us);

    std::string peer_;
    uint32_t host_address_ = 0;
    int connect_timeout_ms_ = kConnectTimeoutMs;
    std::unique_ptr<sockinetbuf> sock_;
    std::string last_error_;
    bool link_lost_ = false;
};

}  // namespace ordavo
