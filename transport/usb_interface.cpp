#include "transport/usb_interface.h"

#include <algorithm>
#include <climits>

#include "transport/usb/talvusbprinter.h"

namespace ordavo {

UsbInterface::UsbInterface() : device_(TalvUsbPrinter::Instance()) {}

UsbInterface::UsbInterface(TalvUsbPrinter& device) : device_(device) {}

int UsbInterface::Open(int baud_rate) { return device_.Connect() ? 1 : 0; }

void UsbInterface::Close() {}

int UsbInterface::Write(const uint8_t* buffer, int count, int tag) {
    if (count < 0 || (count > 0 && buffer == nullptr)) return 0;
    int done = 0;
    while (done < count) {
        uint32_t piece = static_cast<uint32_t>(std::min(count - done, TalvUsbPrinter::kWritePiece));
        uint32_t sent = 0;
        if (!device_.WriteData(buffer + done, piece, &sent) || sent != piece) return 0;
        done += static_cast<int>(piece);
    }
    return 1;
}

int UsbInterface::Read(uint8_t* buffer, int count, int timeout_ms) {
    if (count < 0 || (count > 0 && buffer == nullptr)) return 0;
    // A negative time-out from the caller means no wait of its own, not "wait for ever".
    const int wait = static_cast<int>(
        std::clamp<int64_t>(int64_t{timeout_ms} + kReadSlackMs, 0, INT_MAX));
    int done = 0;
    while (done < count) {
        uint32_t got = 0;
        if (!device_.ReadData(buffer + done, static_cast<uint32_t>(count - done), &got, wait)) return 0;
        done += static_cast<int>(got);
    }
    return 1;
}

std::string UsbInterface::LastError() const { return device_.LastError(); }

int UsbInterface::Purge() {
    device_.Flush();
    return 1;
}

}  // namespace ordavo
