#include "transport/serial_interface.h"

#include "transport/poll_time.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace ordavo {

namespace {

bool SpeedFor(int baud, speed_t& speed) {
    struct Entry {
        int baud;
        speed_t speed;
    };
    static const Entry kSpeeds[] = {
        {50, B50},         {75, B75},         {110, B110},       {134, B134},
        {150, B150},       {200, B200},       {300, B300},       {600, B600},
        {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
        {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
        {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (const Entry& e : kSpeeds) {
        if (e.baud == baud) {
            speed = e.speed;
            return true;
        }
    }
    return false;
}

// Bytes per second of an 8N2 line: a start bit, eight data bits and two stop bits.
int64_t BytesPerSecond(int baud) { return baud > 0 ? std::max(1, baud / 11) : 872; }

}  // namespace

WinSerialInterface::WinSerialInterface(const char* port_name) : PrinterInterface(port_name) {}

WinSerialInterface::~WinSerialInterface() { Close(); }

std::string WinSerialInterface::DevicePath(const std::string& name) {
    if (name.empty()) return std::string();
    // Names such as "COM3:" and "COM3" (the latter set by the port switch of the test commands)
    // are what users and the settings file know; Linux numbers its UARTs from ttyS0.
    if (name.size() >= 4 && name.size() <= 5 && name.compare(0, 3, "COM") == 0 && name[3] >= '1' &&
        name[3] <= '8' && (name.size() == 4 || name[4] == ':')) {
        return "/dev/ttyS" + std::string(1, static_cast<char>('0' + (name[3] - '1')));
    }
    return name;
}

void WinSerialInterface::Fail(const std::string& step, int error_number) {
    last_error_ = step;
    if (error_number != 0) {
        last_error_ += ": ";
        last_error_ += std::strerror(error_number);
    }
}

void WinSerialInterface::ReleaseHandle() {
    if (fd_ < 0) return;
    if (exclusive_set_) ioctl(fd_, TIOCNXCL);
    exclusive_set_ = false;
    ::close(fd_);  // also drops the advisory lock
    fd_ = -1;
    open_port_name_.clear();
}

int WinSerialInterface::Open(int baud_rate) {
    if (fd_ >= 0) Close();
    last_error_.clear();
    link_lost_ = false;

    const std::string name = port_name_;
    const std::string path = DevicePath(name);
    if (path.empty()) {
        Fail("no port name", 0);
        return 0;
    }
    speed_t speed;
    if (!SpeedFor(baud_rate, speed)) {
        Fail(path + ": unsupported line speed " + std::to_string(baud_rate), 0);
        return 0;
    }

    // Non-blocking, so that neither the open (waiting for carrier) nor any later transfer can
    // hang: every wait goes through poll() with the port's own time-outs.
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int e = errno;
        // TIOCEXCL of another opener answers EBUSY: say what it means.
        if (e == EBUSY)
            Fail(path + ": the port is in use", e);
        else
            Fail(path, e);
        return 0;
    }
    fd_ = fd;

    // TIOCEXCL keeps ordinary users out; the advisory lock also stops a second opener that is
    // privileged, or that is this same process through another transport object.
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        int e = errno;
        ReleaseHandle();
        Fail(path + ": the port is in use", e == EWOULDBLOCK ? 0 : e);
        return 0;
    }
    if (!isatty(fd_)) {
        ReleaseHandle();
        Fail(path, ENOTTY);
        return 0;
    }
    if (tcgetattr(fd_, &saved_termios_) != 0) {
        int e = errno;
        ReleaseHandle();
        Fail(path, e);
        return 0;
    }
    if (ioctl(fd_, TIOCEXCL) == 0) exclusive_set_ = true;
    int lines = 0;
    modem_saved_ = ioctl(fd_, TIOCMGET, &lines) == 0;
    saved_modem_lines_ = lines;

    struct termios t = saved_termios_;
    // Raw bytes both ways: the printer's frames carry every byte value, 0x11 and 0x13 included.
    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | CRTSCTS);
    t.c_cflag |= CS8 | CSTOPB | CREAD | CLOCAL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (tcsetattr(fd_, TCSANOW, &t) != 0) {
        int e = errno;
        tcsetattr(fd_, TCSANOW, &saved_termios_);
        ReleaseHandle();
        Fail(path, e);
        return 0;
    }

    // RTS raised, DTR low. Pseudo-terminals have no modem lines and refuse both: carry on.
    int rts = TIOCM_RTS;
    int dtr = TIOCM_DTR;
    ioctl(fd_, TIOCMBIS, &rts);
    ioctl(fd_, TIOCMBIC, &dtr);

    tcflush(fd_, TCIOFLUSH);
    baud_ = baud_rate;
    open_port_name_ = name;
    return 1;
}

void WinSerialInterface::Close() {
    if (fd_ < 0) return;

    // Let queued output reach the printer, but never wait without a bound: a pseudo-terminal
    // whose other side does not read, or a port held by flow control, would keep it forever.
    int queued = 0;
    bool queue_readable = ioctl(fd_, TIOCOUTQ, &queued) == 0;
    if (queue_readable && queued > 0) {
        int64_t limit_us = 100000 + 2 * (int64_t{queued} * 1000000) / BytesPerSecond(baud_);
        limit_us = std::min<int64_t>(limit_us, 10000000);
        const int64_t end = NowUs() + limit_us;
        while ((queue_readable = ioctl(fd_, TIOCOUTQ, &queued) == 0) && queued > 0 && NowUs() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (queue_readable && queued == 0) {
        // The driver's queue is empty; this waits only for the last bytes in the UART itself.
        tcdrain(fd_);
    } else {
        // What is still queued now will not go out; dropping it keeps close() from waiting.
        tcflush(fd_, TCOFLUSH);
    }

    tcsetattr(fd_, TCSANOW, &saved_termios_);
    if (modem_saved_) ioctl(fd_, TIOCMSET, &saved_modem_lines_);
    modem_saved_ = false;
    ReleaseHandle();
}

int WinSerialInterface::Write(const uint8_t* buffer, int count, int tag) {
    if (fd_ < 0 || count < 0 || (count > 0 && buffer == nullptr)) return 0;
    const int64_t end =
        NowUs() + (int64_t{kWritePerByteMs} * count + kWriteConstantMs) * 1000;
    int done = 0;
    while (done < count) {
        ssize_t n = ::write(fd_, buffer + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return 0;
        int64_t remaining = end - NowUs();
        if (remaining <= 0) return 0;
        struct pollfd p = {fd_, POLLOUT, 0};
        int r = poll(&p, 1, PollMs(remaining));
        if (r < 0 && errno != EINTR) return 0;
        if (r > 0 && (p.revents & (POLLERR | POLLNVAL))) return 0;
    }
    return 1;
}

int WinSerialInterface::Read(uint8_t* buffer, int count, int timeout_ms) {
    if (fd_ < 0 || count < 0 || (count > 0 && buffer == nullptr)) return 0;
    if (count == 0) return 1;
    const int64_t start = NowUs();
    const int64_t end = start + (int64_t{kReadPerByteMs} * count + kReadConstantMs) * 1000;
    int64_t last_byte = 0;
    int got = 0;
    while (got < count) {
        int64_t now = NowUs();
        int64_t remaining = end - now;
        // The interval limit starts with the first byte; before it only the total applies.
        if (got > 0) remaining = std::min(remaining, last_byte + kReadIntervalMs * 1000 - now);
        if (remaining <= 0) return 0;

        struct pollfd p = {fd_, POLLIN, 0};
        int r = poll(&p, 1, PollMs(remaining));
        if (r < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        if (r == 0) continue;  // the limits are checked again above
        ssize_t n = ::read(fd_, buffer + got, static_cast<size_t>(count - got));
        if (n > 0) {
            got += static_cast<int>(n);
            last_byte = NowUs();
            continue;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        // End of file or EIO: the device went away (a pseudo-terminal whose other side closed,
        // an unplugged adapter). Waiting longer cannot bring bytes.
        Fail(open_port_name_.empty() ? std::string(port_name_) : open_port_name_,
             n == 0 ? 0 : errno);
        if (n == 0) last_error_ += ": end of file (the device went away)";
        link_lost_ = true;
        return 0;
    }
    return 1;
}

int WinSerialInterface::Purge() {
    if (fd_ < 0) return 0;
    return tcflush(fd_, TCIOFLUSH) == 0 ? 1 : 0;
}

}  // namespace ordavo
