// The transport interface: a byte pipe to the printer. Framing, checksums and the time-outs
// between answer bytes stay in the engine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace ordavo {

class PrinterInterface {
public:
    PrinterInterface();
    // Copies at most 1023 characters of the name.
    explicit PrinterInterface(const char* port_name);
    virtual ~PrinterInterface();

    PrinterInterface(const PrinterInterface&) = delete;
    PrinterInterface& operator=(const PrinterInterface&) = delete;

    // Non-zero when the transport is ready for Write and Read.
    virtual int Open(int baud_rate) = 0;
    // Leaves the transport unusable until the next Open.
    virtual void Close() = 0;
    // Non-zero only when all `count` bytes were handed over.
    virtual int Write(const uint8_t* buffer, int count, int tag) = 0;
    // Non-zero only when `count` bytes were placed in `buffer` within the time-out.
    virtual int Read(uint8_t* buffer, int count, int timeout_ms) = 0;
    // Non-zero on success.
    virtual int Purge() = 0;
    // File pair only; every other transport does nothing and returns 0.
    virtual int PutRequest(const uint8_t* buffer, int count, uint32_t* written);
    virtual int TakeResponse(uint8_t* buffer, int count, uint32_t* received);

    // Why the last operation failed, in the system's own words ("" when nothing failed or the
    // transport keeps no reason).
    virtual std::string LastError() const { return std::string(); }
    // True once the link is gone for good (the peer closed the connection, the device
    // vanished): no later Read on this transport can bring a byte.
    virtual bool LinkLost() const { return false; }
    // True for a transport whose peer is told, after the frame, how long the answer will be
    // (the Write tag); the others get the fixed tag.
    virtual bool SendsAnswerLength() const { return false; }

    const char* PortName() const { return port_name_; }

protected:
    char port_name_[1024] = {};
};

// A transport that exchanges frames through files and can say how many answer bytes wait.
class FilePairTransport : public PrinterInterface {
public:
    // Bytes currently waiting in the incoming file.
    virtual uint32_t PendingBytes() = 0;
};

struct Settings;

// Creates the transport that a port name selects: "USB", "FILE" and "SOCKET" (exact and
// case-sensitive) pick those transports, any other text a serial port of that name.
std::unique_ptr<PrinterInterface> CreateTransport(const std::string& port_name, const Settings& settings);

}  // namespace ordavo
