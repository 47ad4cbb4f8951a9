#include "tests/support/usb_sim_backend.h"

#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "tests/support/paths.h"

namespace ordavo::test {
namespace {

constexpr uint8_t kMarker[8] = {'T', 'A', 'L', 'V', 'V', 'L', 'A', 'T'};
// Piece sizes the printer hands out, in turn: short pieces, empty ones and full ones.
constexpr size_t kPieces[] = {5, 0, 8, 1, 3, 7, 2, 8, 4, 6, 8};
// A frame cut short is given up after this much silence, as on the serial line.
constexpr int64_t kInterByteMs = 500;

}  // namespace

UsbSimBackend::UsbSimBackend(std::vector<std::string> catalogs) {
    if (catalogs.empty()) catalogs = {CatalogDir() + "/comandos_vn.xml", CatalogDir() + "/comandos_cl.xml"};
    for (const std::string& file : catalogs) {
        std::string error;
        std::vector<std::string> warnings;
        if (!catalog_.Load(file, &error, &warnings)) ADD_FAILURE() << "cannot load " << file << ": " << error;
    }
    printer_ = std::make_unique<sim::Printer>(sim::PrinterState(), &catalog_);
    responder_ = std::make_unique<sim::Responder>(options_, *printer_);
}

UsbSimBackend::~UsbSimBackend() = default;

UsbStatus UsbSimBackend::Gone() const {
    if (!open_) return UsbStatus::kNotOpen;
    if (!present_ || handle_generation_ != generation_) return UsbStatus::kRemoved;
    return UsbStatus::kOk;
}

UsbStatus UsbSimBackend::Open() {
    ++counters_.opens;
    open_ = false;
    if (!present_) return UsbStatus::kNoDevice;
    open_ = true;
    handle_generation_ = generation_;
    return UsbStatus::kOk;
}

void UsbSimBackend::Close() { open_ = false; }

void UsbSimBackend::SleepMs(int ms) {
    if (ms > 0) now_ms_ += ms;
}

void UsbSimBackend::Unplug() {
    present_ = false;
    ++generation_;
    parser_ = sim::FrameParser();
    outgoing_.clear();
    sent_ = 0;
}

void UsbSimBackend::Plug() { present_ = true; }

UsbStatus UsbSimBackend::Reset() {
    ++counters_.resets;
    // The printer's USB side starts over; the half of a frame it had is gone.
    parser_ = sim::FrameParser();
    return UsbStatus::kOk;
}

void UsbSimBackend::Answer(const sim::Reply& reply) {
    // Earlier answers nobody polled are still ahead of this one.
    outgoing_.erase(outgoing_.begin(), outgoing_.begin() + static_cast<long>(sent_));
    sent_ = 0;
    outgoing_.insert(outgoing_.end(), reply.bytes.begin(), reply.bytes.end());
    idles_due_ = idles_before_answer_;
}

void UsbSimBackend::CheckCutShort() {
    if (parser_.InFrame() && now_ms_ - last_write_ms_ >= kInterByteMs &&
        parser_.Timeout() == sim::FrameParser::Event::kRefused) {
        ++counters_.refusals;
        Answer(responder_->Refuse(parser_.why()));
    }
}

UsbStatus UsbSimBackend::BulkWrite(uint8_t endpoint, const uint8_t* data, int length, int* transferred,
                                   unsigned timeout_ms) {
    *transferred = 0;
    now_ms_ += 1;
    if (UsbStatus g = Gone(); g != UsbStatus::kOk) return g;
    if (endpoint != 0x02 || length < 0 || (length > 0 && data == nullptr)) {
        ++counters_.bad_requests;
        return UsbStatus::kNotResponding;  // a stall on an endpoint the printer does not have
    }
    CheckCutShort();
    counters_.writes.push_back(length);
    last_write_ms_ = now_ms_;
    for (int i = 0; i < length; ++i) {
        const sim::FrameParser::Event e = parser_.Feed(data[i]);
        if (e == sim::FrameParser::Event::kRefused) {
            ++counters_.refusals;
            Answer(responder_->Refuse(parser_.why()));
        } else if (e == sim::FrameParser::Event::kFrame) {
            ++counters_.frames;
            Answer(responder_->Answer(parser_.frame()));
        }
    }
    *transferred = length;
    return UsbStatus::kOk;
}

UsbStatus UsbSimBackend::ControlIn(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index,
                                   uint8_t* data, int length, int* transferred, unsigned timeout_ms) {
    *transferred = 0;
    now_ms_ += 1;
    ++counters_.polls;
    if (UsbStatus g = Gone(); g != UsbStatus::kOk) return g;
    if (request_type != 0xA0 || request != 0x81 || value != 0 || index != 0 || length < 8 || data == nullptr) {
        ++counters_.bad_requests;
        return UsbStatus::kNotResponding;
    }
    CheckCutShort();
    const bool nothing = Pending() == 0;
    if (nothing || idles_due_ > 0 || idle_next_) {
        if (!nothing && idles_due_ > 0) --idles_due_;
        idle_next_ = false;
        std::memcpy(data, kMarker, sizeof kMarker);
        *transferred = 8;
        ++counters_.idle_polls;
        return UsbStatus::kOk;
    }
    size_t n = std::min(kPieces[piece_++ % std::size(kPieces)], Pending());
    // Eight answer bytes that spell the idle marker would be taken for it.
    if (n == 8 && std::memcmp(&outgoing_[sent_], kMarker, 8) == 0) n = 7;
    std::memcpy(data, &outgoing_[sent_], n);
    sent_ += n;
    *transferred = static_cast<int>(n);
    ++counters_.data_polls;
    if (n == 0) ++counters_.empty_pieces;
    if (n == 8) ++counters_.full_pieces;
    idle_next_ = true;
    return UsbStatus::kOk;
}

}  // namespace ordavo::test
