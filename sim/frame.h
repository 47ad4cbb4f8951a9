// Reading command frames off the line: STX, NB (low byte first), the ESC or FS byte, the escape
// code, the parameters and a 16-bit sum. The parser is fed one byte at a time and never holds
// more than one frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ordavo::sim {

constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kFs = 0x1C;

// A frame whose length and checksum were right.
struct Frame {
    std::vector<uint8_t> raw;  // STX to the last checksum byte

    uint8_t prefix() const { return raw[3]; }
    // Escape code and parameters: from position 4 up to the checksum.
    const uint8_t* payload() const { return raw.data() + 4; }
    size_t payload_size() const { return raw.size() - 6; }
};

class FrameParser {
  public:
    // One frame never exceeds 4096 bytes, so NB is at most 4093; the smallest frame holds the
    // prefix byte and the checksum (NB 3).
    static constexpr size_t kMaxFrame = 4096;
    static constexpr int kMinNb = 3;
    static constexpr int kMaxNb = static_cast<int>(kMaxFrame) - 3;

    enum class Event { kNone, kFrame, kRefused };

    // kFrame: frame() holds a good frame. kRefused: the frame was dropped (why() tells) and
    // must be answered with NAK.
    Event Feed(uint8_t byte);
    // The line went quiet: a frame cut short is dropped. Returns kRefused when one was.
    Event Timeout();

    bool InFrame() const { return state_ != State::kIdle; }
    const Frame& frame() const { return frame_; }
    const std::string& why() const { return why_; }
    // Bytes seen outside any frame since the last call (line noise before an STX).
    size_t TakeNoiseCount();

  private:
    enum class State { kIdle, kLenLow, kLenHigh, kBody };
    Event Refuse(std::string why);

    State state_ = State::kIdle;
    int nb_ = 0;
    Frame frame_;
    std::string why_;
    size_t noise_ = 0;
};

// Sum of the bytes from position 3 up to the last parameter byte, modulo 65536.
uint16_t FrameChecksum(const uint8_t* frame, size_t length_without_checksum);

}  // namespace ordavo::sim
