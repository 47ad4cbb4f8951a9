// The USB transport: a thin PrinterInterface over the process-wide USB device object.
#pragma once

#include "transport/printer_interface.h"

namespace ordavo {

class TalvUsbPrinter;

class UsbInterface : public PrinterInterface {
public:
    // Uses TalvUsbPrinter::Instance().
    UsbInterface();
    // Uses the given device object (which must outlive this transport).
    explicit UsbInterface(TalvUsbPrinter& device);
    ~UsbInterface() override = default;

    int Open(int baud_rate) override;  // connects the device object; 1 when connected
    void Close() override;             // nothing: the device stays connected
    // Sends the buffer in pieces of at most 512 bytes; 1 only when every byte went out.
    int Write(const uint8_t* buffer, int count, int tag) override;
    // Waits up to the time-out + 500 ms for each missing piece; 1 only with `count` bytes.
    int Read(uint8_t* buffer, int count, int timeout_ms) override;
    int Purge() override;  // discards what earlier commands left queued; always 1
    std::string LastError() const override;  // the device object's last failure

    static constexpr int kReadSlackMs = 500;

private:
    TalvUsbPrinter& device_;
};

}  // namespace ordavo
