#include "sim/frame.h"

#include <utility>

namespace ordavo::sim {

uint16_t FrameChecksum(const uint8_t* frame, size_t length_without_checksum) {
    uint32_t sum = 0;
    for (size_t i = 3; i < length_without_checksum; ++i) sum += frame[i];
    return static_cast<uint16_t>(sum & 0xFFFF);
}

FrameParser::Event FrameParser::Refuse(std::string why) {
    why_ = std::move(why);
    state_ = State::kIdle;
    frame_.raw.clear();
    return Event::kRefused;
}

size_t FrameParser::TakeNoiseCount() {
    return std::exchange(noise_, 0);
}

FrameParser::Event FrameParser::Feed(uint8_t byte) {
    switch (state_) {
        case State::kIdle:
            if (byte != kStx) {
                ++noise_;
                return Event::kNone;
            }
            frame_.raw.clear();
            frame_.raw.push_back(byte);
            state_ = State::kLenLow;
            return Event::kNone;
        case State::kLenLow:
            frame_.raw.push_back(byte);
            nb_ = byte;
            state_ = State::kLenHigh;
            return Event::kNone;
        case State::kLenHigh:
            frame_.raw.push_back(byte);
            nb_ |= byte << 8;
            if (nb_ < kMinNb || nb_ > kMaxNb) {
                return Refuse("impossible length NB=" + std::to_string(nb_));
            }
            frame_.raw.reserve(3 + static_cast<size_t>(nb_));
            state_ = State::kBody;
            return Event::kNone;
        case State::kBody: {
            frame_.raw.push_back(byte);
            if (frame_.raw.size() < 3 + static_cast<size_t>(nb_)) return Event::kNone;
            const size_t n = frame_.raw.size();
            const uint16_t want = FrameChecksum(frame_.raw.data(), n - 2);
            const uint16_t got = static_cast<uint16_t>(frame_.raw[n - 2] | (frame_.raw[n - 1] << 8));
            if (want != got) {
                return Refuse("bad checksum: frame says " + std::to_string(got) + ", bytes add up to " +
                              std::to_string(want));
            }
            state_ = State::kIdle;
            return Event::kFrame;
        }
    }
    return Event::kNone;
}

FrameParser::Event FrameParser::Timeout() {
    if (state_ == State::kIdle) return Event::kNone;
    const size_t have = frame_.raw.size();
    return Refuse("frame cut short after " + std::to_string(have) + " bytes" +
                  (state_ == State::kBody ? " of " + std::to_string(3 + nb_) : std::string()));
}

}  // namespace ordavo::sim
