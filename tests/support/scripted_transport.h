// In-memory transports for the engine's tests. They answer from a script (bytes, time-outs,
// endless streams, actions such as pressing Cancel at an exact point) and record everything the
// engine did to them, in a record that outlives the transport (the engine destroys its
// transport at the end of every execution).
//
//   ScriptedFactory factory(&clock);
//   factory.Add(Script().Hex("06 00 00"));          // the next command's answer
//   EngineEnv().transport_factory = factory.AsFactory();
//   ... cmd.Executar() ...
//   factory.Last().written, factory.Last().Sequence() == "Open Purge Write Read Close"
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/env.h"
#include "transport/printer_interface.h"

namespace ordavo::test {

class FakeClock;

// What a transport saw, kept after the engine destroyed it.
struct TransportRecord {
    std::string port_name;           // as the engine asked the factory for it
    bool file_pair = false;          // made as a FilePairTransport
    std::vector<std::string> calls;  // "Open", "Purge", "Write", "Read", "Close", "PutRequest",
                                     // "TakeResponse", "PendingBytes", in order
    int open_arg = -1;
    std::vector<uint8_t> written;  // bytes of every Write and PutRequest, in order
    std::vector<int> write_tags;
    int reads = 0;
    int failed_reads = 0;
    std::vector<int> read_timeouts;
    int closes = 0;
    bool destroyed = false;

    int Count(std::string_view call) const;
    // The calls with runs of the same call collapsed: "Open Purge Write Read Close".
    std::string Sequence() const;
};

// What a transport answers, step by step. When the script is used up every read times out.
class Script {
public:
    // One byte per Read.
    Script& Bytes(std::vector<uint8_t> bytes);
    // "06 00 00" or "060000".
    Script& Hex(std::string_view hex);
    Script& Text(std::string_view text);
    Script& Nak() { return Bytes({0x15}); }
    // The next n reads time out; the fake clock advances by each read's time-out.
    Script& Fail(int n);
    // Every read from here on delivers `byte` (a printer that never stops talking).
    Script& Forever(uint8_t byte);
    // Runs before the next read (for example, pressing Cancel at an exact byte).
    Script& Do(std::function<void()> action);
    // Each delivered byte advances the fake clock by this much (time on the wire).
    Script& ByteTimeMs(int ms);

    // File pair only: bytes that the other program appends to the response file `after_ms`
    // after the transport was made, and bytes that are there from the start.
    Script& Arrive(int64_t after_ms, std::vector<uint8_t> bytes);
    Script& ArriveHex(int64_t after_ms, std::string_view hex);
    Script& Stale(std::vector<uint8_t> bytes);
    // File pair only: each PutRequest writes at most this many bytes (0: writes nothing).
    Script& PutLimit(int max_bytes);
    // Result of Open.
    Script& OpenResult(int result);

    // Used by the transports.
    bool NextByte(uint8_t& out, FakeClock* clock);

private:
    friend class ScriptedFileTransport;
    friend class ScriptedTransport;
    enum class Kind { kBytes, kFail, kForever, kAction };
    struct Step {
        Kind kind;
        std::vector<uint8_t> bytes;
        size_t pos = 0;
        int count = 0;
        std::function<void()> action;
    };
    std::deque<Step> steps_;
    int byte_time_ms_ = 0;
    struct Arrival {
        int64_t after_ms;
        std::vector<uint8_t> bytes;
    };
    std::vector<Arrival> arrivals_;
    std::vector<uint8_t> stale_;
    int put_limit_ = -1;
    int open_result_ = 1;
};

// A port-like transport (serial, USB, socket): Open, Purge, Write, Read, Close.
class ScriptedTransport : public PrinterInterface {
public:
    ScriptedTransport(std::shared_ptr<TransportRecord> record, Script script, FakeClock* clock);
    ~ScriptedTransport() override;

    int Open(int baud_rate) override;
    void Close() override;
    int Write(const uint8_t* buffer, int count, int tag) override;
    int Read(uint8_t* buffer, int count, int timeout_ms) override;
    int Purge() override;
    // Plays the transport that its port name selects.
    bool SendsAnswerLength() const override { return record_->port_name == "SOCKET"; }

private:
    std::shared_ptr<TransportRecord> record_;
    Script script_;
    FakeClock* clock_;
};

// An exchange-file pair held in memory: PutRequest appends to the request "file", the script's
// arrivals fill the response "file" as the fake clock passes their times, TakeResponse takes
// from it and empties it (bytes beyond the requested count are lost, as with the real files).
class ScriptedFileTransport : public FilePairTransport {
public:
    ScriptedFileTransport(std::shared_ptr<TransportRecord> record, Script script, FakeClock* clock);
    ~ScriptedFileTransport() override;

    int Open(int mode) override;
    void Close() override;
    int Write(const uint8_t* buffer, int count, int tag) override;
    int Read(uint8_t* buffer, int count, int timeout_ms) override;
    int Purge() override;
    int PutRequest(const uint8_t* buffer, int count, uint32_t* written) override;
    int TakeResponse(uint8_t* buffer, int count, uint32_t* received) override;
    uint32_t PendingBytes() override;

private:
    void Refresh();

    std::shared_ptr<TransportRecord> record_;
    Script script_;
    FakeClock* clock_;
    int64_t created_ms_ = 0;
    std::vector<uint8_t> response_;
};

// Hands out one scripted transport per execution, in the order the scripts were added; when
// they run out, a transport that never answers. Keeps every record.
class ScriptedFactory {
public:
    explicit ScriptedFactory(FakeClock* clock = nullptr) : clock_(clock) {}

    ScriptedFactory& Add(Script script);      // a port-like transport
    ScriptedFactory& AddFile(Script script);  // a file pair
    TransportFactory AsFactory();

    int Created() const { return static_cast<int>(records_.size()); }
    const std::vector<std::shared_ptr<TransportRecord>>& Records() const { return records_; }
    TransportRecord& Last() { return *records_.back(); }

private:
    std::unique_ptr<PrinterInterface> Make(const std::string& port_name);

    FakeClock* clock_;
    std::deque<std::pair<bool, Script>> pending_;
    std::vector<std::shared_ptr<TransportRecord>> records_;
};

// Bytes from "02 05 00" (aborts the test program on a malformed literal).
std::vector<uint8_t> HexToBytes(std::string_view hex);

}  // namespace ordavo::test
