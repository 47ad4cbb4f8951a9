#include "transport/usb/talvusbprinter.h"

#include <algorithm>
#include <cstring>

namespace ordavo {

const uint8_t TalvUsbPrinter::kIdleMarker[8] = {'T', 'A', 'L', 'V', 'V', 'L', 'A', 'T'};

TalvUsbPrinter::TalvUsbPrinter(std::unique_ptr<UsbBackend> backend) : backend_(std::move(backend)) {}

TalvUsbPrinter::~TalvUsbPrinter() { Disconnect(); }

TalvUsbPrinter& TalvUsbPrinter::Instance() {
    static TalvUsbPrinter printer(MakeLibusbBackend());
    return printer;
}

std::string TalvUsbPrinter::LastError() const {
    std::lock_guard<std::mutex> lock(device_lock_);
    return backend_->LastError();
}

size_t TalvUsbPrinter::QueuedBytes() const {
    std::lock_guard<std::mutex> lock(pilha_lock_);
    return m_pilha.size();
}

void TalvUsbPrinter::Disconnect() {
    std::lock_guard<std::mutex> lock(device_lock_);
    backend_->Close();
    connected_ = false;
}

void TalvUsbPrinter::Recover() {
    {
        std::lock_guard<std::mutex> lock(device_lock_);
        if (backend_->IsOpen()) backend_->Reset();
    }
    backend_->SleepMs(kRecoveryPauseMs);
}

bool TalvUsbPrinter::Connect() {
    if (connected_) return true;
    for (int attempt = 0; attempt < 2; ++attempt) {
        Disconnect();
        UsbStatus status;
        {
            std::lock_guard<std::mutex> lock(device_lock_);
            status = backend_->Open();
        }
        if (status == UsbStatus::kOk) {
            connected_ = true;
            return true;
        }
        if (status == UsbStatus::kEnumerationFailed) break;
        if (attempt == 1) break;
        Recover();
    }
    // A device that opened but could not be configured is not kept half-claimed.
    Disconnect();
    return false;
}

bool TalvUsbPrinter::Reconnect() {
    Disconnect();
    return Connect();
}

bool TalvUsbPrinter::WriteData(const uint8_t* data, uint32_t length, uint32_t* sent) {
    if (sent) *sent = 0;
    if (length > static_cast<uint32_t>(kWritePiece) || (length > 0 && data == nullptr)) return false;
    if (!connected_ && !Connect()) return false;

    const int64_t start = backend_->NowMs();
    uint32_t position = 0;
    bool recovered = false;
    for (;;) {
        if (backend_->NowMs() - start >= kWriteTimerMs) return false;
        int transferred = 0;
        UsbStatus status;
        {
            std::lock_guard<std::mutex> lock(device_lock_);
            status = backend_->BulkWrite(kOutEndpoint, data + position, static_cast<int>(length - position),
                                         &transferred, kBulkTransferTimeoutMs);
        }
        // Bytes that went out before an error are not sent again.
        if (transferred > 0) position += std::min<uint32_t>(static_cast<uint32_t>(transferred), length - position);
        if (sent) *sent = position;
        if (status == UsbStatus::kOk) {
            if (position >= length) return true;
            continue;
        }
        switch (status) {
            case UsbStatus::kNotOpen:
            case UsbStatus::kRemoved:
                if (!Reconnect()) return false;
                break;
            case UsbStatus::kNotResponding:
                if (recovered) return false;
                recovered = true;
                Recover();
                break;
            default:
                return false;
        }
    }
}

UsbStatus TalvUsbPrinter::Poll(uint8_t* answer, int* received, int timeout_ms) {
    std::lock_guard<std::mutex> lock(device_lock_);
    *received = 0;
    if (!connected_) return UsbStatus::kNotOpen;
    return backend_->ControlIn(kPollRequestType, kPollRequest, 0, 0, answer, MAX_READ_SIZE, received,
                               static_cast<unsigned>(timeout_ms));
}

bool TalvUsbPrinter::ReadData(uint8_t* buffer, uint32_t bytesToRead, uint32_t* delivered, int timeout_ms) {
    if (delivered) *delivered = 0;
    if (bytesToRead > 0 && buffer == nullptr) return false;

    size_t have = QueuedBytes();
    const int64_t start = backend_->NowMs();
    int idle = 0;
    int recoveries = 0;
    bool result = true;
    while (have < bytesToRead) {
        int poll_timeout = kPollTimeoutMaxMs;
        if (timeout_ms != -1) {
            int64_t elapsed = backend_->NowMs() - start;
            if (elapsed >= timeout_ms || idle > kIdleLimit) {
                result = false;
                break;
            }
            poll_timeout = static_cast<int>(
                std::clamp<int64_t>(timeout_ms - elapsed, kPollTimeoutMinMs, kPollTimeoutMaxMs));
        }
        uint8_t answer[MAX_READ_SIZE] = {};
        int received = 0;
        UsbStatus status = Poll(answer, &received, poll_timeout);
        if (status == UsbStatus::kOk) {
            if (received < 0 || received > MAX_READ_SIZE) return false;
            if (received == MAX_READ_SIZE && std::memcmp(answer, kIdleMarker, MAX_READ_SIZE) == 0) {
                ++idle;
                backend_->SleepMs(1);
                continue;
            }
            idle = 0;
            {
                std::lock_guard<std::mutex> lock(pilha_lock_);
                m_pilha.insert(m_pilha.end(), answer, answer + received);
            }
            have += static_cast<size_t>(received);
            continue;
        }
        switch (status) {
            case UsbStatus::kTimeout:
            case UsbStatus::kOverrun:
                break;
            case UsbStatus::kNotOpen:
            case UsbStatus::kRemoved:
                if (!Reconnect()) return false;
                break;
            case UsbStatus::kNotResponding:
                if (recoveries >= 2) return false;
                ++recoveries;
                Recover();
                break;
            default:
                return false;
        }
    }

    uint32_t n = static_cast<uint32_t>(std::min<size_t>(have, bytesToRead));
    {
        std::lock_guard<std::mutex> lock(pilha_lock_);
        n = static_cast<uint32_t>(std::min<size_t>(n, m_pilha.size()));
        std::copy_n(m_pilha.begin(), n, buffer);
        m_pilha.erase(m_pilha.begin(), m_pilha.begin() + n);
    }
    if (delivered) *delivered = n;
    return result;
}

void TalvUsbPrinter::Flush() {
    // A piece of the answer may still be on its way from the last poll.
    if (QueuedBytes() > 0) backend_->SleepMs(5);
    std::lock_guard<std::mutex> lock(pilha_lock_);
    m_pilha.clear();
}

}  // namespace ordavo
