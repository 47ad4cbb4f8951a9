#include <libusb.h>

#include <chrono>
#include <thread>

#include "transport/usb/usb_backend.h"

namespace ordavo {

const UsbPrinterId kUsbPrinterIds[5] = {
    {0x6C0D, 0x0000}, {0x7A1F, 0x0101}, {0x7A1F, 0x0102}, {0x7A1F, 0x0103}, {0x7A1F, 0x0104},
};

const char* UsbStatusText(UsbStatus status) {
    switch (status) {
        case UsbStatus::kOk: return "ok";
        case UsbStatus::kTimeout: return "Request timeout interval has expired.";
        case UsbStatus::kNotOpen: return "Device not open.";
        case UsbStatus::kRemoved: return "Device is removed.";
        case UsbStatus::kNotResponding: return "HC Error: Device not responding.";
        case UsbStatus::kOverrun: return "HC Error: Data Overrun.";
        case UsbStatus::kNoDevice: return "no USB printer found";
        case UsbStatus::kEnumerationFailed: return "the USB devices could not be listed";
        case UsbStatus::kOther: break;
    }
    return "USB error";
}

int64_t UsbBackend::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void UsbBackend::SleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

namespace {

constexpr uint8_t kOutEndpoint = 0x02;

UsbStatus FromLibusb(int code) {
    if (code >= 0) return UsbStatus::kOk;
    switch (code) {
        case LIBUSB_ERROR_TIMEOUT: return UsbStatus::kTimeout;
        // NOT_FOUND is what a handle reports after its device re-enumerated (a reset that
        // changed the descriptors, or a replug): for us the device is gone.
        case LIBUSB_ERROR_NO_DEVICE:
        case LIBUSB_ERROR_NOT_FOUND: return UsbStatus::kRemoved;
        case LIBUSB_ERROR_IO:
        case LIBUSB_ERROR_PIPE: return UsbStatus::kNotResponding;
        case LIBUSB_ERROR_OVERFLOW: return UsbStatus::kOverrun;
        default: return UsbStatus::kOther;
    }
}

class LibusbBackend : public UsbBackend {
public:
    ~LibusbBackend() override {
        Close();
        if (ctx_) libusb_exit(ctx_);
    }

    UsbStatus Open() override {
        Close();
        last_error_.clear();
        if (!ctx_) {
            int r = libusb_init(&ctx_);
            if (r < 0) {
                ctx_ = nullptr;
                return Failed(UsbStatus::kEnumerationFailed, "libusb_init", r);
            }
        }
        libusb_device** list = nullptr;
        ssize_t n = libusb_get_device_list(ctx_, &list);
        if (n < 0) return Failed(UsbStatus::kEnumerationFailed, "libusb_get_device_list", static_cast<int>(n));

        libusb_device* found = nullptr;
        for (const UsbPrinterId& id : kUsbPrinterIds) {
            for (ssize_t i = 0; i < n && !found; ++i) {
                libusb_device_descriptor d;
                if (libusb_get_device_descriptor(list[i], &d) == 0 && d.idVendor == id.vendor &&
                    d.idProduct == id.product) {
                    found = list[i];
                }
            }
            if (found) break;
        }
        if (!found) {
            libusb_free_device_list(list, 1);
            last_error_ = "no USB printer found";
            return UsbStatus::kNoDevice;
        }
        int r = libusb_open(found, &handle_);
        libusb_free_device_list(list, 1);  // the open handle keeps its own reference
        if (r < 0) {
            handle_ = nullptr;
            // Access denied is the usual case on a fresh system: the udev rule is missing.
            return Failed(r == LIBUSB_ERROR_ACCESS ? UsbStatus::kOther : FromLibusb(r), "libusb_open", r);
        }
        // The kernel's printer driver may have bound the interface; take it over while we use it.
        libusb_set_auto_detach_kernel_driver(handle_, 1);

        libusb_device* dev = libusb_get_device(handle_);
        libusb_config_descriptor* cfg = nullptr;
        r = libusb_get_config_descriptor(dev, 0, &cfg);
        if (r < 0) return Failed(FromLibusb(r), "libusb_get_config_descriptor", r);
        UsbStatus status = Configure(cfg);
        libusb_free_config_descriptor(cfg);
        return status;
    }

    void Close() override {
        if (!handle_) return;
        if (claimed_) libusb_release_interface(handle_, 0);
        claimed_ = false;
        libusb_close(handle_);
        handle_ = nullptr;
    }

    bool IsOpen() const override { return handle_ != nullptr; }

    UsbStatus BulkWrite(uint8_t endpoint, const uint8_t* data, int length, int* transferred,
                        unsigned timeout_ms) override {
        *transferred = 0;
        if (!handle_ || !claimed_) return UsbStatus::kNotOpen;
        int r = libusb_bulk_transfer(handle_, endpoint, const_cast<uint8_t*>(data), length, transferred,
                                     timeout_ms);
        return FromLibusb(r);
    }

    UsbStatus ControlIn(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                        int length, int* transferred, unsigned timeout_ms) override {
        *transferred = 0;
        if (!handle_ || !claimed_) return UsbStatus::kNotOpen;
        int r = libusb_control_transfer(handle_, request_type, request, value, index, data,
                                        static_cast<uint16_t>(length), timeout_ms);
        if (r >= 0) *transferred = r;
        return FromLibusb(r);
    }

    UsbStatus Reset() override {
        if (!handle_) return UsbStatus::kNotOpen;
        int r = libusb_reset_device(handle_);
        if (r == LIBUSB_ERROR_NOT_FOUND || r == LIBUSB_ERROR_NO_DEVICE) {
            // The device came back as a new device (or not at all): this handle is dead.
            Close();
            return UsbStatus::kRemoved;
        }
        return FromLibusb(r);
    }

    std::string LastError() const override { return last_error_; }

private:
    UsbStatus Configure(const libusb_config_descriptor* cfg) {
        // Selecting the configuration that is already active would reset the device for nothing.
        int active = 0;
        int r = libusb_get_configuration(handle_, &active);
        if (r < 0) return Failed(FromLibusb(r), "libusb_get_configuration", r);
        if (active != cfg->bConfigurationValue) {
            r = libusb_set_configuration(handle_, cfg->bConfigurationValue);
            if (r < 0) return Failed(FromLibusb(r), "libusb_set_configuration", r);
        }
        if (cfg->bNumInterfaces < 1 || cfg->interface[0].num_altsetting < 1) {
            last_error_ = "the printer has no interface 0";
            return UsbStatus::kOther;
        }
        r = libusb_claim_interface(handle_, 0);
        if (r < 0) return Failed(FromLibusb(r), "libusb_claim_interface", r);
        claimed_ = true;
        if (cfg->interface[0].num_altsetting > 1) {
            r = libusb_set_interface_alt_setting(handle_, 0, 0);
            if (r < 0) return Failed(FromLibusb(r), "libusb_set_interface_alt_setting", r);
        }
        const libusb_interface_descriptor& alt = cfg->interface[0].altsetting[0];
        for (int i = 0; i < alt.bNumEndpoints; ++i) {
            const libusb_endpoint_descriptor& ep = alt.endpoint[i];
            if (ep.bEndpointAddress == kOutEndpoint &&
                (ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) == LIBUSB_TRANSFER_TYPE_BULK) {
                return UsbStatus::kOk;
            }
        }
        last_error_ = "the printer has no bulk endpoint 0x02";
        return UsbStatus::kOther;
    }

    UsbStatus Failed(UsbStatus status, const char* step, int code) {
        last_error_ = std::string(step) + ": " + libusb_strerror(static_cast<libusb_error>(code));
        if (code == LIBUSB_ERROR_ACCESS) last_error_ += " (install the udev rule for the printer)";
        return status;
    }

    libusb_context* ctx_ = nullptr;
    libusb_device_handle* handle_ = nullptr;
    bool claimed_ = false;
    std::string last_error_;
};

}  // namespace

std::unique_ptr<UsbBackend> MakeLibusbBackend() { return std::make_unique<LibusbBackend>(); }

}  // namespace ordavo
