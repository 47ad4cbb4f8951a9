// A fiscal printer on a USB bus inside the test process: the simulator's printer behind the
// USB backend interface, so that TalvUsbPrinter and UsbInterface run real commands end to end.
//
// Bulk writes to endpoint 0x02 feed the printer's frame parser; the class poll (request type
// 0xA0, request 0x81, 8 bytes) returns the answer in pieces of 0 to 8 bytes, with the idle
// marker "TALVVLAT" before the answer and between its pieces. Time is virtual: every transfer
// costs a millisecond and the device object's pauses cost nothing, so a quiet printer is given
// up on at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/catalog.h"
#include "sim/frame.h"
#include "sim/options.h"
#include "sim/printer.h"
#include "sim/responder.h"
#include "transport/usb/usb_backend.h"

namespace ordavo::test {

class UsbSimBackend : public UsbBackend {
public:
    // The printer learns the commands it does not know itself from `catalogs` (default: the
    // sample catalogs).
    explicit UsbSimBackend(std::vector<std::string> catalogs = {});
    ~UsbSimBackend() override;

    UsbStatus Open() override;
    void Close() override;
    bool IsOpen() const override { return open_; }
    UsbStatus BulkWrite(uint8_t endpoint, const uint8_t* data, int length, int* transferred,
                        unsigned timeout_ms) override;
    UsbStatus ControlIn(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                        int length, int* transferred, unsigned timeout_ms) override;
    UsbStatus Reset() override;
    int64_t NowMs() override { return now_ms_; }
    void SleepMs(int ms) override;

    // The cable: an unplugged printer invalidates the open handle and cannot be opened; what it
    // was about to send is lost.
    void Unplug();
    void Plug();

    // The printer's memory, and how it misbehaves from its next answer on.
    sim::Printer& printer() { return *printer_; }
    sim::Misbehaviour& misbehaviour() { return options_.misbehaviour; }
    // Idle polls before an answer starts (default 3).
    void SetIdlesBeforeAnswer(int n) { idles_before_answer_ = n; }

    // What the device saw.
    struct Counters {
        int opens = 0;
        int resets = 0;
        int frames = 0;         // good frames answered
        int refusals = 0;       // NAK for a bad or cut-short frame
        int polls = 0;
        int idle_polls = 0;     // answered with the idle marker
        int data_polls = 0;     // answered with 0 to 8 answer bytes
        int bad_requests = 0;   // transfers the printer does not understand (stalled)
        int empty_pieces = 0;   // data polls that carried no byte
        int full_pieces = 0;    // data polls that carried 8 bytes
        std::vector<int> writes;  // length of every bulk write, in order
    };
    const Counters& counters() const { return counters_; }
    // Answer bytes not yet polled.
    size_t Pending() const { return outgoing_.size() - sent_; }

private:
    UsbStatus Gone() const;
    void Answer(const sim::Reply& reply);
    void CheckCutShort();

    sim::Options options_;
    sim::Catalog catalog_;
    std::unique_ptr<sim::Printer> printer_;
    std::unique_ptr<sim::Responder> responder_;
    sim::FrameParser parser_;

    bool present_ = true;
    bool open_ = false;
    int generation_ = 0;  // bumped by every unplug
    int handle_generation_ = -1;
    int64_t now_ms_ = 0;
    int64_t last_write_ms_ = 0;

    std::vector<uint8_t> outgoing_;
    size_t sent_ = 0;
    int idles_before_answer_ = 3;
    int idles_due_ = 0;
    bool idle_next_ = false;  // an idle marker between two pieces
    size_t piece_ = 0;        // position in the cycle of piece sizes
    Counters counters_;
};

}  // namespace ordavo::test
