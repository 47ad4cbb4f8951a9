// The USB stack under the printer's device object: a few requests on one device, with the
// stack's errors reduced to the cases the device object reacts to. The real one sits on
// libusb; tests put a scripted device behind it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace ordavo {

enum class UsbStatus {
    kOk,
    kTimeout,          // the request's time limit expired
    kNotOpen,          // there is no open device to send it to
    kRemoved,          // the device went away (unplugged, or re-enumerated after a reset)
    kNotResponding,    // I/O or pipe error: the device does not answer properly
    kOverrun,          // the device sent more than was asked for
    kNoDevice,         // none of our printers is present
    kEnumerationFailed,  // the bus could not be listed at all
    kOther,
};

const char* UsbStatusText(UsbStatus status);

class UsbBackend {
public:
    virtual ~UsbBackend() = default;

    // Lists the present devices and opens the first printer among `kUsbPrinterIds`, then
    // selects configuration 0, claims interface 0 with alternate setting 0 and checks that
    // the bulk output endpoint exists. When a later step fails the device may stay open, so
    // that Reset can still reach it; Close releases it.
    virtual UsbStatus Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // One bulk transfer to `endpoint`; `transferred` gets the bytes that went out, also when
    // the transfer failed part way.
    virtual UsbStatus BulkWrite(uint8_t endpoint, const uint8_t* data, int length, int* transferred,
                                unsigned timeout_ms) = 0;
    // One control transfer from the device; short answers are allowed.
    virtual UsbStatus ControlIn(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index,
                                uint8_t* data, int length, int* transferred, unsigned timeout_ms) = 0;
    // Resets the device's port (the bus-level reset and re-enumeration of the device).
    virtual UsbStatus Reset() = 0;

    // The clock and the pauses of the device object, so that tests need not wait for them.
    virtual int64_t NowMs();
    virtual void SleepMs(int ms);

    // What went wrong in the last failed Open, in the stack's words ("" when nothing did).
    virtual std::string LastError() const { return std::string(); }
};

// Vendor and product ids of the fiscal printers, in the order they are looked for.
struct UsbPrinterId {
    uint16_t vendor;
    uint16_t product;
};
extern const UsbPrinterId kUsbPrinterIds[5];

// The backend on libusb-1.0.
std::unique_ptr<UsbBackend> MakeLibusbBackend();

}  // namespace ordavo
