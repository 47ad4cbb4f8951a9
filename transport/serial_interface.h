// The serial transport on a POSIX terminal device: a real port (/dev/ttyS0, /dev/ttyUSB0) or
// a pseudo-terminal, held exclusively while open, 8 data bits, no parity, two stop bits.
#pragma once

#include <termios.h>

#include <cstdint>
#include <string>

#include "transport/printer_interface.h"

namespace ordavo {

class WinSerialInterface : public PrinterInterface {
public:
    // "COM1:" to "COM8:" and "COM1" to "COM8" stand for /dev/ttyS0 to /dev/ttyS7; any other
    // text is used as a device path.
    explicit WinSerialInterface(const char* port_name);
    ~WinSerialInterface() override;

    int Open(int baud_rate) override;
    void Close() override;
    // The tag is ignored. Gives up after 1000 ms per byte + 1 ms.
    int Write(const uint8_t* buffer, int count, int tag) override;
    // The time-out argument is ignored: a read of n bytes gives up after 1000·n + 5 ms in all,
    // or as soon as more than 10 ms pass between two received bytes.
    int Read(uint8_t* buffer, int count, int timeout_ms) override;
    int Purge() override;

    // The device path that a port name stands for ("" for an empty name).
    static std::string DevicePath(const std::string& port_name);

    // Why the last Open or Read failed, with the system's own wording ("" after a successful
    // Open).
    std::string LastError() const override { return last_error_; }
    // The device answered a read with end of file or an I/O error (an unplugged adapter, a
    // pseudo-terminal whose other side closed).
    bool LinkLost() const override { return link_lost_; }
    // The port name while open, "" when closed.
    const std::string& OpenPortName() const { return open_port_name_; }
    bool IsOpen() const { return fd_ >= 0; }

    // Port time-outs, in milliseconds.
    static constexpr int kReadIntervalMs = 10;
    static constexpr int kReadPerByteMs = 1000;
    static constexpr int kReadConstantMs = 5;
    static constexpr int kWritePerByteMs = 1000;
    static constexpr int kWriteConstantMs = 1;

private:
    void Fail(const std::string& step, int error_number);
    void ReleaseHandle();

    int fd_ = -1;
    int baud_ = 0;
    bool exclusive_set_ = false;
    bool link_lost_ = false;
    struct termios saved_termios_ {};
    bool modem_saved_ = false;
    int saved_modem_lines_ = 0;
    std::string open_port_name_;
    std::string last_error_;
};

}  // namespace ordavo
