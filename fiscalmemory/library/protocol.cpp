#include "fiscalmemory/library/protocol.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "engine/util.h"
#include "fiscalmemory/library/library.h"
#include "transport/file_interface.h"
#include "transport/printer_interface.h"

namespace ordavo::mfd {

namespace {

constexpr uint8_t kStx = 0x02, kAck = 0x06, kNak = 0x15, kEscByte = 0x1B;
constexpr size_t kInfoSize = 16;
constexpr size_t kIdentitySize = 48;
constexpr size_t kBlockHeader = 6;      // number (4), length (2)
constexpr size_t kBlockTrailer = 4;     // CRC-32
constexpr uint32_t kSignatureBlock = 0xFFFFFFFFu;
constexpr int kBlockFirstByteMs = kQuickAnswerMs;
constexpr int kDrainQuietMs = 100;
constexpr int kDrainLimitMs = 30000;
constexpr size_t kMaxBlock = 65535;

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

std::string Trimmed(const uint8_t* p, size_t n) {
    std::string s(reinterpret_cast<const char*>(p), n);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    return s;
}

void AppendText(Bytes& out, const std::string& text, size_t width, char pad) {
    for (size_t i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(i < text.size() ? text[i] : pad));
}

// Dates go to the printer with four-digit years.
std::string RangeField(const DownloadRequest& r, const std::string& v) {
    if (r.range == RangeKind::kWhole) return std::string(8, '0');
    if (r.range == RangeKind::kDate && v.size() == 6) return v.substr(0, 4) + "20" + v.substr(4, 2);
    if (r.range == RangeKind::kDate) return v;
    std::string digits = v.size() > 8 ? v.substr(v.size() - 8) : v;
    return std::string(8 - digits.size(), '0') + digits;
}

}  // namespace

uint32_t BlockCrc(const uint8_t* data, size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    return static_cast<uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
}

int OpenReasonCode(uint8_t reason, RangeKind range) {
    const bool date = range == RangeKind::kDate;
    switch (reason) {
        case kReasonOk: return 0;
        case kReasonContent:
        case kReasonRangeKind: return 11;
        case kReasonFirst:
        case kReasonLast: return date ? 3 : 13;
        case kReasonOrder: return date ? 12 : 15;
        case kReasonUser: return 14;
        case kReasonEmpty: return 6;
        case kReasonBusy: return 7;
        default: return 21;
    }
}

Sink MemorySink(std::string& out) {
    return [&out](const uint8_t* data, size_t size) {
        out.append(reinterpret_cast<const char*>(data), size);
        return true;
    };
}

Bytes BuildFrame(const Bytes& payload) {
    Bytes f;
    f.reserve(payload.size() + 6);
    const size_t nb = 1 + payload.size() + 2;
    f.push_back(kStx);
    f.push_back(static_cast<uint8_t>(nb & 0xFF));
    f.push_back(static_cast<uint8_t>((nb >> 8) & 0xFF));
    f.push_back(kEscByte);
    unsigned sum = kEscByte;
    for (uint8_t b : payload) {
        f.push_back(b);
        sum += b;
    }
    f.push_back(static_cast<uint8_t>(sum & 0xFF));
    f.push_back(static_cast<uint8_t>((sum >> 8) & 0xFF));
    return f;
}

bool ParseBlock(const uint8_t* data, size_t size, uint32_t want_number, size_t want_length, std::string* bytes) {
    if (size < kBlockHeader + kBlockTrailer) return false;
    const uint32_t number = Le32(data);
    const uint16_t field = Le16(data + 4);
    const bool fill = (field & kFillFlag) != 0;
    const size_t length = field & ~kFillFlag;
    const size_t carried = fill ? 1 : length;  // a filled block carries its one byte
    if (number != want_number || length != want_length || size != kBlockHeader + carried + kBlockTrailer) return false;
    if (BlockCrc(data, kBlockHeader + carried) != Le32(data + kBlockHeader + carried)) return false;
    if (bytes) {
        const char* at = reinterpret_cast<const char*>(data + kBlockHeader);
        if (fill)
            bytes->assign(length, *at);
        else
            bytes->assign(at, length);
    }
    return true;
}

bool ParseDownloadInfo(const uint8_t* d, size_t size, DownloadInfo* info) {
    if (size != kInfoSize) return false;
    DownloadInfo i;
    i.reason = d[0];
    i.signed_content = (d[1] & 1) != 0;
    i.block_size = Le16(d + 2);
    i.size = Le32(d + 4);
    i.blocks = Le32(d + 8);
    i.signature_size = Le16(d + 12);
    if (i.reason == kReasonOk) {
        // The blocks must cover the content exactly.
        if (i.block_size == 0 && i.size != 0) return false;
        const uint64_t need = i.block_size ? (uint64_t{i.size} + i.block_size - 1) / i.block_size : 0;
        if (need != i.blocks) return false;
        if (i.signed_content && (i.signature_size == 0 || i.signature_size > 1024)) return false;
    }
    *info = i;
    return true;
}

Bytes OpenParameters(const DownloadRequest& r) {
    Bytes p{kEscape0, kEscape1, static_cast<uint8_t>(Cmd::kOpen)};
    p.push_back(static_cast<uint8_t>(r.content));
    p.push_back(static_cast<uint8_t>(r.range));
    AppendText(p, RangeField(r, r.first), 8, '0');
    AppendText(p, RangeField(r, r.last), 8, '0');
    AppendText(p, r.user > 0 ? Format("%03d", r.user % 1000) : std::string("000"), 3, '0');
    p.push_back(static_cast<uint8_t>(r.simplified ? 'r' : 'R'));
    p.push_back(static_cast<uint8_t>(r.sign ? '1' : '0'));
    return p;
}

Settings LinkSettings() {
    Settings s;
    const char* dir = std::getenv("ORDAVO_CONFIG_DIR");
    s.AppDirectory = dir && *dir ? std::string(dir) : CurrentDirectory();
    LoadConfiguration(s, s.AppDirectory + "/config_es.cfg");
    if (const char* peer = std::getenv("ORDAVO_SOCKET_PEER"); peer && *peer) s.SocketPeer = peer;
    if (const char* ex = std::getenv("ORDAVO_EXCHANGE_DIR"); ex && *ex) s.ExchangeDirectory = ex;
    return s;
}

Session::Session(std::string port) : port_(std::move(port)) {}

Session::Session(std::string port, std::unique_ptr<PrinterInterface> link)
    : port_(std::move(port)), given_(std::move(link)) {}

Session::~Session() { Close(); }

int Session::Open() {
    Close();
    if (port_.empty()) return 10;
    settings_ = LinkSettings();
    own_link_ = given_ != nullptr;
    link_ = given_ ? std::move(given_) : CreateTransport(port_, settings_);
    file_pair_ = port_ == "FILE";
    per_command_ = port_ == "SOCKET";
    serial_ = !file_pair_ && !per_command_ && port_ != "USB";
    baud_ = kCommandBaud;
    moved_ = 0;
    cancelled_ = false;
    if (!per_command_ && !link_->Open(file_pair_ ? 0 : kCommandBaud)) {
        if (own_link_) given_ = std::move(link_);
        link_.reset();
        return serial_ ? 18 : 8;
    }
    open_ = true;
    return 0;
}

void Session::Close() {
    if (answered_) KeepLastAnswer(status_);  // once a call, not once a block
    answered_ = false;
    if (link_ && open_ && !per_command_) link_->Close();
    if (own_link_ && link_) given_ = std::move(link_);  // the caller's transport serves the next Open too
    link_.reset();
    open_ = false;
}

bool Session::BeginExchange() {
    if (!link_) return false;
    if (per_command_) return link_->Open(kCommandBaud) != 0;
    return true;
}

void Session::EndExchange() {
    if (link_ && per_command_) link_->Close();
}

bool Session::SendFrame(const Bytes& frame, int tag) {
    moved_ += frame.size();
    const int n = static_cast<int>(frame.size());
    if (file_pair_) {
        link_->Purge();
        uint32_t done = 0;
        for (int tries = 0; tries < 50 && done < frame.size(); ++tries) {
            uint32_t written = 0;
            if (!link_->PutRequest(frame.data() + done, n - static_cast<int>(done), &written)) return false;
            done += written;
        }
        return done == frame.size();
    }
    link_->Purge();
    return link_->Write(frame.data(), n, tag) != 0;
}

size_t Session::ReadBytes(uint8_t* out, size_t size, int first_byte_ms, int gap_ms) {
    size_t got = 0;
    int64_t deadline = NowMs() + first_byte_ms;
    if (file_pair_) {
        auto* pair = static_cast<FilePairTransport*>(link_.get());
        while (got < size) {
            const uint32_t pending = pair->PendingBytes();
            if (pending > 0) {
                uint32_t received = 0;
                const int want = static_cast<int>(std::min<size_t>(size - got, pending));
                if (!link_->TakeResponse(out + got, want, &received)) break;
                if (received > 0) {
                    got += received;
                    deadline = NowMs() + gap_ms;
                    continue;
                }
            }
            if (NowMs() >= deadline) break;
            SleepMs(2);
        }
    } else if (per_command_) {
        // One connection per command: a chunk lost with a failed read only ends this answer.
        while (got < size) {
            const size_t want = std::min<size_t>(size - got, got == 0 ? 1 : 256);
            const int64_t left = deadline - NowMs();
            if (left <= 0) break;
            if (!link_->Read(out + got, static_cast<int>(want), static_cast<int>(left))) break;
            got += want;
            deadline = NowMs() + gap_ms + static_cast<int64_t>(want) * 2;
        }
    } else {
        // Once an answer flows, in pieces (a piece that runs out of time loses its bytes: the
        // block is then asked for again, and read byte by byte); otherwise byte by byte, so
        // that a read that runs out of time never loses a byte it received.
        while (chunked_ && got > 0 && got < size) {
            const size_t want = std::min<size_t>(size - got, 256);
            if (!link_->Read(out + got, static_cast<int>(want), gap_ms)) {
                moved_ += got;
                return got;  // short: the caller drains the line and asks again
            }
            got += want;
            if (Tick(got)) break;
        }
        while (got < size) {
            const int64_t left = deadline - NowMs();
            if (left <= 0 || Tick(got)) break;
            if (link_->Read(out + got, 1, static_cast<int>(std::min<int64_t>(left, 1000)))) {
                ++got;
                deadline = NowMs() + gap_ms;
            }
        }
    }
    moved_ += got;
    return got;
}

void Session::Drain() {
    if (!link_ || per_command_) return;
    // A cancel does not cut the drain short: the line must be quiet before the next command.
    const bool ticking = ticking_;
    ticking_ = false;
    struct Restore {
        bool& on;
        bool was;
        ~Restore() { on = was; }
    } restore{ticking_, ticking};
    uint8_t scratch[256];
    const int64_t limit = NowMs() + kDrainLimitMs;
    while (NowMs() < limit) {
        if (ReadBytes(scratch, 1, kDrainQuietMs, kDrainQuietMs) == 0) return;
    }
}

size_t Session::Transact(const Bytes& frame, int tag, uint8_t* answer, size_t size, int first_byte_ms) {
    if (!BeginExchange()) return 0;
    size_t got = 0;
    if (SendFrame(frame, tag)) {
        got = ReadBytes(answer, 1, first_byte_ms, kByteGapMs);
        if (got == 1 && answer[0] != kNak && size > 1) got += ReadBytes(answer + 1, size - 1, kByteGapMs, kByteGapMs);
    }
    EndExchange();
    return got;
}

void Session::Note(uint8_t ack, uint8_t st1, uint8_t st2) {
    status_ = {ack, st1, st2, true};
    answered_ = true;
}

int Session::Exchange(const Bytes& payload, size_t data_size, Bytes* data, int first_byte_ms) {
    if (!link_) return 8;
    Bytes answer(1 + data_size + 2);
    const size_t got = Transact(BuildFrame(payload), static_cast<int>(answer.size()), answer.data(), answer.size(),
                                first_byte_ms);
    if (got == 0) return 8;
    if (answer[0] == kNak) {
        Note(kNak, 0, 0);
        return 7;
    }
    if (got < answer.size() || answer[0] != kAck) {
        Drain();
        return 21;
    }
    Note(kAck, answer[1 + data_size], answer[2 + data_size]);
    if (data) data->assign(answer.begin() + 1, answer.begin() + 1 + static_cast<long>(data_size));
    return 0;
}

int Session::ExchangeText(const Bytes& payload, std::string* text, int first_byte_ms) {
    if (!link_) return 8;
    if (!BeginExchange()) return 8;
    int rc = 8;
    if (SendFrame(BuildFrame(payload), -1)) {
        uint8_t head[3];
        size_t got = ReadBytes(head, 1, first_byte_ms, kByteGapMs);
        if (got == 1 && head[0] == kNak) {
            Note(kNak, 0, 0);
            rc = 7;
        } else if (got == 1) {
            got += ReadBytes(head + 1, 2, kByteGapMs, kByteGapMs);
            rc = 21;
            if (got == 3 && head[0] == kAck) {
                std::string t;
                uint8_t b = 0;
                // Texts are bounded: a printer that never sends ETX ends at the byte gap.
                while (t.size() < (64u << 20) && ReadBytes(&b, 1, kByteGapMs, kByteGapMs) == 1) {
                    if (b == 0x03) {
                        rc = 0;
                        break;
                    }
                    t.push_back(static_cast<char>(b));
                }
                Note(kAck, head[1], head[2]);
                if (text) *text = std::move(t);
            }
        }
    }
    EndExchange();
    return rc;
}

// The status bytes of a command the printer did not carry out: COMANDO NO EJECUTADO, a wrong
// parameter type or count, an unknown command, a first byte that was not ESC.
bool Refused(const Status& s) { return (s.st2 & 0x81) != 0 || (s.st1 & 0x0D) != 0; }

int Session::Identity(PrinterIdentity* id) {
    Bytes data;
    const int rc = Exchange({kEscape0, kEscape1, static_cast<uint8_t>(Cmd::kIdentity)}, kIdentitySize, &data);
    if (rc != 0) return rc;
    if (Refused(status_)) return 7;
    PrinterIdentity r;
    r.serial = Trimmed(data.data(), 24);
    r.model = Trimmed(data.data() + 24, 20);
    r.protocol = Trimmed(data.data() + 44, 4);
    if (r.serial.empty()) return 2;
    if (id) *id = r;
    return 0;
}

int Session::SwitchSpeed(int baud) {
    if (!serial_ || baud == baud_ || !link_) return 0;
    Bytes p{kEscape0, kEscape1, static_cast<uint8_t>(Cmd::kSetSpeed)};
    AppendText(p, Format("%06d", baud % 1000000), 6, '0');
    const int rc = Exchange(p, 0, nullptr);
    if (rc != 0) return rc;
    if (Refused(status_)) return 0;  // the printer keeps its speed: so does the port
    link_->Close();
    if (!link_->Open(baud)) {
        // The port cannot go that fast: the printer returns to 9600 after a silence.
        link_->Open(kCommandBaud);
        baud_ = kCommandBaud;
        return 18;
    }
    baud_ = baud;
    return 0;
}

int Session::OpenDownload(const DownloadRequest& r, DownloadInfo* info) {
    Bytes data;
    const int rc = Exchange(OpenParameters(r), kInfoSize, &data, answer_timeout_ms_);
    if (rc != 0) return rc;
    DownloadInfo i;
    if (!ParseDownloadInfo(data.data(), data.size(), &i)) return 21;
    if (i.reason != kReasonOk) return OpenReasonCode(i.reason, r.range);
    if (i.block_size > kMaxBlock) return 21;
    if (info) *info = i;
    return 0;
}

bool Session::Cancelled(long long done, long long expected) {
    if (cancelled_) return true;
    if (done <= reported_) return false;  // nothing new; never backwards
    reported_ = done;
    if (progress_ && progress_(done, expected)) cancelled_ = true;
    return cancelled_;
}

// During a block: the caller hears about the bytes coming in at least every kTickMs, so that
// a slow line neither freezes it nor keeps it from cancelling.
bool Session::Tick(size_t more) {
    if (!ticking_) return false;
    if (cancelled_) return true;
    const int64_t now = NowMs();
    if (now - last_tick_ < kTickMs) return false;
    last_tick_ = now;
    return Cancelled(tick_done_ + static_cast<long long>(more), tick_expected_);
}

int Session::ReadContent(const DownloadInfo& info, const Sink& sink, std::string* signature) {
    const long long expected = static_cast<long long>(info.size) + (signature ? info.signature_size : 0);
    reported_ = -1;
    if (Cancelled(0, expected)) return 20;
    ticking_ = true;
    struct Ticking {
        bool& on;
        ~Ticking() { on = false; }
    } ticking{ticking_};
    tick_expected_ = expected;
    last_tick_ = NowMs();
    Bytes answer;
    long long done = 0;
    const uint32_t parts = info.blocks + (signature && info.signed_content ? 1 : 0);
    for (uint32_t i = 0; i < parts; ++i) {
        const bool sig = i == info.blocks;
        const uint32_t number = sig ? kSignatureBlock : i;
        const size_t length = sig ? info.signature_size
                                  : std::min<size_t>(info.block_size, info.size - size_t{i} * info.block_size);
        Bytes payload{kEscape0, kEscape1, static_cast<uint8_t>(sig ? Cmd::kSignature : Cmd::kBlock)};
        if (!sig) AppendText(payload, Format("%08u", i), 8, '0');
        const Bytes frame = BuildFrame(payload);
        answer.resize(1 + kBlockHeader + std::max<size_t>(length, 1) + kBlockTrailer + 2);
        bool any = false, good = false;
        std::string& bytes = block_;
        tick_done_ = done;
        for (int attempt = 0; attempt < kBlockAttempts && !good && !cancelled_; ++attempt) {
            if (!BeginExchange()) continue;
            chunked_ = attempt == 0;
            size_t got = 0;
            if (SendFrame(frame, -1)) {
                got = ReadBytes(answer.data(), 1, kBlockFirstByteMs, kByteGapMs);
                if (got == 1 && answer[0] == kAck) {
                    got += ReadBytes(answer.data() + 1, kBlockHeader, kByteGapMs, kByteGapMs);
                    // The length the printer announces decides how much follows, within bounds;
                    // a filled block carries one byte.
                    const uint16_t field = got == 1 + kBlockHeader ? Le16(answer.data() + 5) : 0;
                    const size_t announced = (field & kFillFlag) ? 1 : field;
                    if (got == 1 + kBlockHeader && announced <= std::max<size_t>(length, 1)) {
                        const size_t rest = announced + kBlockTrailer + 2;
                        got += ReadBytes(answer.data() + got, rest, kByteGapMs, kByteGapMs);
                        const size_t body = kBlockHeader + announced + kBlockTrailer;
                        if (got == 1 + body + 2) {
                            Note(kAck, answer[1 + body], answer[2 + body]);
                            good = !Refused(status_) &&
                                   ParseBlock(answer.data() + 1, body, number, length, &bytes);
                        }
                    }
                } else if (got == 1 && answer[0] == kNak) {
                    Note(kNak, 0, 0);
                }
            }
            EndExchange();
            chunked_ = false;
            any = any || got > 0;
            if (!good && got > 0) Drain();
        }
        if (cancelled_) return 20;
        if (!good) return any ? 21 : 8;
        if (sig) {
            *signature = bytes;
        } else if (!sink(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) {
            return 19;
        }
        done += static_cast<long long>(bytes.size());
        if (Cancelled(done, expected)) return 20;
    }
    return 0;
}

int Session::CloseDownload() {
    const int rc = Exchange({kEscape0, kEscape1, static_cast<uint8_t>(Cmd::kClose)}, 0, nullptr);
    if (serial_ && baud_ != kCommandBaud && link_) {
        link_->Close();
        link_->Open(kCommandBaud);
        baud_ = kCommandBaud;
    }
    return rc;
}

int Session::Download(const DownloadRequest& r, const Sink& sink, std::string* signature, DownloadInfo* info) {
    DownloadInfo i;
    int rc = OpenDownload(r, &i);
    if (rc != 0) return rc;
    if (info) *info = i;
    if (signature && !i.signed_content) {
        CloseDownload();
        return 21;
    }
    rc = SwitchSpeed(speed_);
    if (rc == 0) rc = ReadContent(i, sink, signature);
    const int closed = CloseDownload();
    return rc != 0 ? rc : closed;
}

}  // namespace ordavo::mfd
