#include "tests/support/scripted_transport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/util.h"
#include "tests/support/fake_clock.h"

namespace ordavo::test {

int TransportRecord::Count(std::string_view call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

std::string TransportRecord::Sequence() const {
    std::string out;
    const std::string* previous = nullptr;
    for (const std::string& c : calls) {
        if (previous && *previous == c) continue;
        if (!out.empty()) out += ' ';
        out += c;
        previous = &c;
    }
    return out;
}

std::vector<uint8_t> HexToBytes(std::string_view hex) {
    std::vector<uint8_t> out;
    if (!ParseHexBytes(hex, out)) {
        std::fprintf(stderr, "malformed hex literal in a test: %.*s\n", static_cast<int>(hex.size()),
                     hex.data());
        std::abort();
    }
    return out;
}

// ------------------------------------------------------------------------------------ Script

Script& Script::Bytes(std::vector<uint8_t> bytes) {
    if (!bytes.empty()) steps_.push_back(Step{Kind::kBytes, std::move(bytes), 0, 0, {}});
    return *this;
}

Script& Script::Hex(std::string_view hex) { return Bytes(HexToBytes(hex)); }

Script& Script::Text(std::string_view text) {
    return Bytes(std::vector<uint8_t>(text.begin(), text.end()));
}

Script& Script::Fail(int n) {
    if (n > 0) steps_.push_back(Step{Kind::kFail, {}, 0, n, {}});
    return *this;
}

Script& Script::Forever(uint8_t byte) {
    steps_.push_back(Step{Kind::kForever, {byte}, 0, 0, {}});
    return *this;
}

Script& Script::Do(std::function<void()> action) {
    steps_.push_back(Step{Kind::kAction, {}, 0, 0, std::move(action)});
    return *this;
}

Script& Script::ByteTimeMs(int ms) {
    byte_time_ms_ = ms;
    return *this;
}

Script& Script::Arrive(int64_t after_ms, std::vector<uint8_t> bytes) {
    arrivals_.push_back(Arrival{after_ms, std::move(bytes)});
    std::stable_sort(arrivals_.begin(), arrivals_.end(),
                     [](const Arrival& a, const Arrival& b) { return a.after_ms < b.after_ms; });
    return *this;
}

Script& Script::ArriveHex(int64_t after_ms, std::string_view hex) {
    return Arrive(after_ms, HexToBytes(hex));
}

Script& Script::Stale(std::vector<uint8_t> bytes) {
    stale_ = std::move(bytes);
    return *this;
}

Script& Script::PutLimit(int max_bytes) {
    put_limit_ = max_bytes;
    return *this;
}

Script& Script::OpenResult(int result) {
    open_result_ = result;
    return *this;
}

bool Script::NextByte(uint8_t& out, FakeClock* clock) {
    while (!steps_.empty()) {
        Step& step = steps_.front();
        switch (step.kind) {
            case Kind::kAction: {
                // Popped before it runs: the action may itself read nothing, but must not see
                // itself again.
                std::function<void()> action = std::move(step.action);
                steps_.pop_front();
                if (action) action();
                continue;
            }
            case Kind::kBytes:
                out = step.bytes[step.pos++];
                if (step.pos >= step.bytes.size()) steps_.pop_front();
                if (clock) clock->Advance(byte_time_ms_);
                return true;
            case Kind::kFail:
                if (--step.count <= 0) steps_.pop_front();
                return false;
            case Kind::kForever:
                out = step.bytes[0];
                if (clock) clock->Advance(byte_time_ms_);
                return true;
        }
    }
    return false;
}

// ------------------------------------------------------------------------- ScriptedTransport

ScriptedTransport::ScriptedTransport(std::shared_ptr<TransportRecord> record, Script script,
                                     FakeClock* clock)
    : PrinterInterface(record->port_name.c_str()),
      record_(std::move(record)),
      script_(std::move(script)),
      clock_(clock) {}

ScriptedTransport::~ScriptedTransport() { record_->destroyed = true; }

int ScriptedTransport::Open(int baud_rate) {
    record_->calls.push_back("Open");
    record_->open_arg = baud_rate;
    return script_.open_result_;
}

void ScriptedTransport::Close() {
    record_->calls.push_back("Close");
    ++record_->closes;
}

int ScriptedTransport::Write(const uint8_t* buffer, int count, int tag) {
    record_->calls.push_back("Write");
    if (buffer && count > 0) record_->written.insert(record_->written.end(), buffer, buffer + count);
    record_->write_tags.push_back(tag);
    return 1;
}

int ScriptedTransport::Read(uint8_t* buffer, int count, int timeout_ms) {
    record_->calls.push_back("Read");
    ++record_->reads;
    record_->read_timeouts.push_back(timeout_ms);
    for (int i = 0; i < count; ++i) {
        if (!script_.NextByte(buffer[i], clock_)) {
            ++record_->failed_reads;
            if (clock_) clock_->Advance(timeout_ms);
            return 0;
        }
    }
    return 1;
}

int ScriptedTransport::Purge() {
    record_->calls.push_back("Purge");
    return 1;
}

// --------------------------------------------------------------------- ScriptedFileTransport

ScriptedFileTransport::ScriptedFileTransport(std::shared_ptr<TransportRecord> record,
                                             Script script, FakeClock* clock)
    : record_(std::move(record)), script_(std::move(script)), clock_(clock) {
    record_->file_pair = true;
    created_ms_ = clock_ ? clock_->MonotonicMs() : 0;
    response_ = script_.stale_;
}

ScriptedFileTransport::~ScriptedFileTransport() { record_->destroyed = true; }

void ScriptedFileTransport::Refresh() {
    int64_t elapsed = clock_ ? clock_->MonotonicMs() - created_ms_ : INT64_MAX;
    auto& arrivals = script_.arrivals_;
    size_t taken = 0;
    while (taken < arrivals.size() && arrivals[taken].after_ms <= elapsed) {
        response_.insert(response_.end(), arrivals[taken].bytes.begin(), arrivals[taken].bytes.end());
        ++taken;
    }
    arrivals.erase(arrivals.begin(), arrivals.begin() + static_cast<std::ptrdiff_t>(taken));
}

int ScriptedFileTransport::Open(int mode) {
    record_->calls.push_back("Open");
    record_->open_arg = mode;
    return script_.open_result_;
}

void ScriptedFileTransport::Close() {
    record_->calls.push_back("Close");
    ++record_->closes;
}

int ScriptedFileTransport::Write(const uint8_t*, int, int tag) {
    record_->calls.push_back("Write");
    record_->write_tags.push_back(tag);
    return 0;
}

int ScriptedFileTransport::Read(uint8_t*, int, int timeout_ms) {
    record_->calls.push_back("Read");
    ++record_->reads;
    ++record_->failed_reads;
    record_->read_timeouts.push_back(timeout_ms);
    return 0;
}

int ScriptedFileTransport::Purge() {
    record_->calls.push_back("Purge");
    Refresh();
    response_.clear();
    return 1;
}

int ScriptedFileTransport::PutRequest(const uint8_t* buffer, int count, uint32_t* written) {
    record_->calls.push_back("PutRequest");
    int n = count < 0 ? 0 : count;
    if (script_.put_limit_ >= 0) n = std::min(n, script_.put_limit_);
    if (buffer && n > 0) record_->written.insert(record_->written.end(), buffer, buffer + n);
    if (written) *written = static_cast<uint32_t>(n);
    return 1;
}

int ScriptedFileTransport::TakeResponse(uint8_t* buffer, int count, uint32_t* received) {
    record_->calls.push_back("TakeResponse");
    Refresh();
    if (received) *received = 0;
    size_t n = count > 0 ? std::min(static_cast<size_t>(count), response_.size()) : 0;
    if (n > 0) {
        std::memcpy(buffer, response_.data(), n);
        response_.clear();  // bytes beyond `count` are lost, as with the real file
    }
    if (received) *received = static_cast<uint32_t>(n);
    return 1;
}

uint32_t ScriptedFileTransport::PendingBytes() {
    record_->calls.push_back("PendingBytes");
    Refresh();
    return static_cast<uint32_t>(response_.size());
}

// --------------------------------------------------------------------------- ScriptedFactory

ScriptedFactory& ScriptedFactory::Add(Script script) {
    pending_.emplace_back(false, std::move(script));
    return *this;
}

ScriptedFactory& ScriptedFactory::AddFile(Script script) {
    pending_.emplace_back(true, std::move(script));
    return *this;
}

TransportFactory ScriptedFactory::AsFactory() {
    return [this](const std::string& port_name, const Settings&) { return Make(port_name); };
}

std::unique_ptr<PrinterInterface> ScriptedFactory::Make(const std::string& port_name) {
    auto record = std::make_shared<TransportRecord>();
    record->port_name = port_name;
    records_.push_back(record);
    bool file = false;
    Script script;
    if (!pending_.empty()) {
        file = pending_.front().first;
        script = std::move(pending_.front().second);
        pending_.pop_front();
    }
    if (file) return std::make_unique<ScriptedFileTransport>(record, std::move(script), clock_);
    return std::make_unique<ScriptedTransport>(record, std::move(script), clock_);
}

}  // namespace ordavo::test
