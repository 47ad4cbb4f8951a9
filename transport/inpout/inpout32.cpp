// Parallel-port output for the "TESTE" commands, loaded at run time by name like the library it
// stands in for. Out32 writes a byte to an I/O port; on Linux user programs reach the first
// parallel port's data register (I/O address 0x378) through the parport driver instead of raw
// port I/O, which would need root and ioperm.
#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr short kFirstDataRegister = 0x378;  // 888
constexpr const char* kFirstParport = "/dev/parport0";

}  // namespace

extern "C" __attribute__((visibility("default"))) void Out32(short port, short value) {
    // Only the data register of the first port is mapped; writing another port's value to it
    // would drive the wrong pins.
    if (port != kFirstDataRegister) return;
    int fd = ::open(kFirstParport, O_RDWR | O_CLOEXEC);
    if (fd < 0) return;
    if (::ioctl(fd, PPCLAIM) == 0) {
        unsigned char data = static_cast<unsigned char>(value & 0xFF);
        (void)::ioctl(fd, PPWDATA, &data);
        (void)::ioctl(fd, PPRELEASE);
    }
    ::close(fd);
}
