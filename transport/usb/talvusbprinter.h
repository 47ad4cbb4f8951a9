// The process-wide USB printer: connects on first use and stays connected across commands.
// Commands go out as bulk writes; the answer is fetched by polling a class request that
// returns at most 8 bytes, the 8 bytes "TALVVLAT" meaning "nothing to send now".
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "transport/usb/usb_backend.h"

namespace ordavo {

class TalvUsbPrinter {
public:
    static constexpr int MAX_READ_SIZE = 8;            // most bytes one poll returns
    static constexpr int kWritePiece = 512;            // most bytes of one WriteData
    static constexpr int kIdleLimit = 700;             // idle answers after which a read gives up
    static constexpr uint8_t kPollRequestType = 0xA0;  // class request, device to host
    static constexpr uint8_t kPollRequest = 0x81;
    static constexpr uint8_t kOutEndpoint = 0x02;
    static constexpr int kWriteTimerMs = 400;
    static constexpr int kRecoveryPauseMs = 200;
    // Limits of single transfers. Without them a device that stops answering would hold the
    // calling thread for good; the timers above still decide when an operation gives up.
    static constexpr unsigned kBulkTransferTimeoutMs = 5000;
    static constexpr int kPollTimeoutMaxMs = 500;
    static constexpr int kPollTimeoutMinMs = 50;
    static const uint8_t kIdleMarker[8];

    explicit TalvUsbPrinter(std::unique_ptr<UsbBackend> backend);
    ~TalvUsbPrinter();
    TalvUsbPrinter(const TalvUsbPrinter&) = delete;
    TalvUsbPrinter& operator=(const TalvUsbPrinter&) = delete;

    // The one device object of the process, on libusb, created on first use.
    static TalvUsbPrinter& Instance();

    // True when connected; tries twice, with a device reset between the attempts.
    bool Connect();
    void Disconnect();
    bool IsConnected() const { return connected_; }

    // Sends at most kWritePiece bytes; `sent` gets the bytes that went out.
    bool WriteData(const uint8_t* data, uint32_t length, uint32_t* sent);
    // Delivers up to `bytesToRead` bytes, oldest first, and reports true only when all of them
    // arrived within `timeout_ms` (-1: no time limit and no idle limit). Bytes beyond
    // `bytesToRead` stay queued for the next read.
    bool ReadData(uint8_t* buffer, uint32_t bytesToRead, uint32_t* delivered, int timeout_ms);
    // Discards what is queued.
    void Flush();

    size_t QueuedBytes() const;
    std::string LastError() const;

private:
    void Recover();
    UsbStatus Poll(uint8_t* answer, int* received, int timeout_ms);
    bool Reconnect();

    std::unique_ptr<UsbBackend> backend_;
    mutable std::mutex device_lock_;  // serialises the requests to the device
    bool connected_ = false;

    std::deque<uint8_t> m_pilha;  // received and not yet delivered, oldest first
    mutable std::mutex pilha_lock_;
};

}  // namespace ordavo
