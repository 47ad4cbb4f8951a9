#include "sim/responder.h"

#include <time.h>

#include <algorithm>
#include <iostream>

#include "engine/util.h"

namespace ordavo::sim {

int64_t NowNs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}


Responder::Responder(const Options& options, Printer& printer)
    : o_(options), printer_(printer), rng_(std::random_device{}()) {}

void Responder::Log(const std::string& text) const {
    if (o_.verbose) std::cerr << "ordavo-printer-sim: " << text << std::endl;
}

Misbehaviour Responder::Current() {
    if (o_.control_file.empty()) return o_.misbehaviour;
    ControlFile c = ReadControlFile(o_.control_file, o_.misbehaviour);
    for (const std::string& e : c.errors) std::cerr << "ordavo-printer-sim: " << e << std::endl;
    PrinterState& s = printer_.state();
    for (const auto& [name, on] : c.conditions) {
        if (name == "paper-out") s.paper_out = on;
        if (name == "paper-low") s.paper_low = on;
        if (name == "clock-error") s.clock_error = on;
        if (name == "head-up") s.head_up = on;
        if (name == "intervention") s.intervention = on;
    }
    return c.misbehaviour;
}

Reply Responder::Finish(Bytes out, const Misbehaviour& m, bool ends) {
    Reply r;
    r.how = m;
    r.byte_ns = 11 * 1000000000LL / std::max(printer_.line_baud, 300);
    r.full_size = out.size();
    r.complete = ends;
    if (m.silent_after >= 0 && out.size() > static_cast<size_t>(m.silent_after)) {
        out.resize(static_cast<size_t>(m.silent_after));
        r.complete = false;
    }
    r.bytes = std::move(out);
    Log("-> " + HexBytes(r.bytes.data(), r.bytes.size()));
    return r;
}

Reply Responder::Refuse(const std::string& why) {
    Log("NAK: " + why);
    return Finish(Bytes{kNak}, Current(), true);
}

Reply Responder::Answer(const Frame& frame) {
    const Misbehaviour m = Current();
    Log("<- " + HexBytes(frame.raw.data(), frame.raw.size()));
    printer_.forced_gprs_kind = m.gprs_kind;
    printer_.corrupt_download = m.corrupt_download;
    const sim::Answer a = printer_.Handle(frame);
    if (!a.note.empty()) Log("   " + a.note);
    if (!o_.state_file.empty() && !a.read_only) {
        std::string error;
        if (!WriteFileAtomically(o_.state_file, printer_.state().Serialize(), &error))
            std::cerr << "ordavo-printer-sim: cannot save " << o_.state_file << ": " << error << std::endl;
    }
    const bool status_first = a.shape == Shape::kEtx || a.shape == Shape::kNul;
    Bytes out = AnswerBytes(a, frame.prefix() == kFs, !m.no_etx);
    if (m.nak) out = {kNak};
    if (m.garbage) {
        std::uniform_int_distribution<int> byte(0, 255);
        for (uint8_t& b : out) b = static_cast<uint8_t>(byte(rng_));
        if (out[0] == kAck) out[0] = 0xA5;  // never looks like an acknowledged answer
    }
    // A block of a download damaged on the line, once: the program must ask for it again.
    const uint8_t* pl = frame.payload();
    if (m.line_error_block >= 0 && frame.payload_size() == 11 && pl[0] == 0x3E && pl[1] == 0x60 && pl[2] == 0x04 &&
        !printer_.download.line_error_done && out.size() > 8 &&
        std::string(reinterpret_cast<const char*>(pl + 3), 8) == Format("%08d", m.line_error_block)) {
        printer_.download.line_error_done = true;
        out[8] ^= 0x20;
        Log("   block " + std::to_string(m.line_error_block) + " damaged on the line");
    }
    // A status-first answer without its terminator never ends for the other side.
    const bool ends = m.nak || m.garbage || !(status_first && m.no_etx);
    Reply r = Finish(std::move(out), m, ends);
    // The answer goes out at the old speed; a speed switch takes effect after it.
    if (printer_.next_baud) {
        Log("   line speed " + std::to_string(printer_.line_baud) + " -> " + std::to_string(printer_.next_baud));
        printer_.line_baud = printer_.next_baud;
        printer_.next_baud = 0;
    }
    return r;
}

int64_t Responder::SpeedDeadline(int64_t since_ns) {
    if (printer_.line_baud == 9600) return -1;
    const int64_t due = since_ns + int64_t{kSpeedSilenceMs} * 1000000LL;
    if (NowNs() < due) return due;
    Log("line quiet for " + std::to_string(kSpeedSilenceMs) + " ms: back to 9600 baud");
    printer_.line_baud = 9600;
    return -1;
}

}  // namespace ordavo::sim
