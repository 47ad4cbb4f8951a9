// The printer side of the fiscal-memory library: a session with the printer over any of the
// program's transports, and the download protocol spoken over it.
//
// A Session owns one port (a serial device or "COM1:".."COM8:", "USB", "SOCKET", "FILE") for the
// length of one library call. Every command is a frame like any other printer command
//     STX, NB (2 bytes, low first), ESC, escape bytes, parameters, 16-bit sum (low first)
// and every answer starts with ACK (or NAK) and ends with the status bytes ST1 and ST2. The
// download commands all have the escape bytes 3E 60 nn (docs/fiscal-memory-protocol.md):
//
//     Session s("/dev/ttyUSB0");              // or "SOCKET", "FILE", "USB", "COM1:"
//     if (int rc = s.Open(); rc != 0) return rc;   // library result codes: 8, 10, 18, ...
//     PrinterIdentity id;
//     s.Identity(&id);                          // serial number and model
//     DownloadRequest r;
//     r.content = Content::kFiscalMemory;       // the ".mf" bytes
//     std::string bytes;
//     int rc = s.Download(r, MemorySink(bytes)); // numbered blocks, each checked, retried
//
// Exchange() sends any command (an escape code of the printer's command set with its encoded
// parameters) and reads its fixed-length answer; ExchangeText() reads a status-first answer
// that ends with ETX. Both keep the acknowledge and status bytes of the last answer
// (LastStatus(), and process-wide for TalvGetLastAck).
//
// Where SOCKET and FILE lead: "config_es.cfg" of the current directory (or of
// $ORDAVO_CONFIG_DIR) gives the socket peer and the exchange directory, and the environment
// variables ORDAVO_SOCKET_PEER and ORDAVO_EXCHANGE_DIR override them (LinkSettings()).
//
// Not thread-safe: one session per thread, one library call at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/core/settings.h"

namespace ordavo {
class PrinterInterface;
}

namespace ordavo::mfd {

using Bytes = std::vector<uint8_t>;

// Escape bytes of the download commands: 3E 60 and the command byte.
constexpr uint8_t kEscape0 = 0x3E, kEscape1 = 0x60;
enum class Cmd : uint8_t {
    kIdentity = 0x01,   // serial number, model, protocol version
    kSetSpeed = 0x02,   // switch the line speed after the answer
    kOpen = 0x03,       // prepare a download: what, which range; answers its size
    kBlock = 0x04,      // one numbered block of the download, with its CRC-32
    kSignature = 0x05,  // the signature of the prepared download
    kClose = 0x06,      // end of the download; the printer goes back to 9600 baud
};

constexpr int kCommandBaud = 9600;     // the printer always listens at this speed first
constexpr int kBlockAttempts = 5;      // a bad or missing block is asked for this often in all
constexpr int kAnswerTimeoutMs = 5000;   // first byte of the open command's answer (it may sign)
constexpr int kQuickAnswerMs = 3000;     // first byte of any other answer
constexpr int kByteGapMs = 1500;       // between two bytes of one answer

// What a download fetches (the letter sent in the open command).
enum class Content : char {
    kFiscalMemory = 'F',     // the ".mf" file
    kAuditJournal = 'A',     // the journal of the audit memory (the ".mra" without its frame)
    kBasicSoftware = 'S',    // the ".bin" image
    kPublicKey = 'K',        // the ".pub" file
    kReadingX = 'X',         // the text of a reading X
    kFiscalReading = 'L',    // the text of a fiscal-memory reading
    kTransactions = 'T',     // the text of the transaction report
    kAuditAddresses = 'P',   // audit memory sectors by address (download in parts)
    kAuditClosing = 'Q',     // the end of an address range: erased tail and signature block
};

// Range kinds (the digit sent in the open command).
enum class RangeKind : char { kWhole = '0', kDate = '1', kNumber = '2', kAddress = '3' };

struct DownloadRequest {
    Content content = Content::kFiscalMemory;
    RangeKind range = RangeKind::kWhole;
    // kDate: DDMMYY or DDMMYYYY; kNumber, kAddress: decimal digits. Unused for kWhole.
    std::string first, last;
    int user = 0;            // audit memory by COO: 1..255; 0 otherwise
    bool simplified = false; // texts of the fiscal reading and the transaction report
    bool sign = false;       // also fetch the signature (Download's `signature`)
};

// A request for `content` over a range (the whole memory by default).
inline DownloadRequest RequestOf(Content content, RangeKind range = RangeKind::kWhole, std::string first = {},
                                 std::string last = {}) {
    DownloadRequest r;
    r.content = content;
    r.range = range;
    r.first = std::move(first);
    r.last = std::move(last);
    return r;
}

// The printer's answer to the open command.
struct DownloadInfo {
    uint8_t reason = 0;          // 0 accepted; else why not (OpenReason)
    bool signed_content = false; // a signature can be fetched
    uint32_t size = 0;           // bytes of the content
    uint16_t block_size = 0;
    uint32_t blocks = 0;
    uint16_t signature_size = 0;
};

// Reasons of a refused open command, and the library codes they give (OpenReasonCode).
enum OpenReason : uint8_t {
    kReasonOk = 0,
    kReasonContent = 1,      // unknown content letter            -> 11
    kReasonRangeKind = 2,    // range kind not for this content   -> 11
    kReasonFirst = 3,        // first of the range invalid        -> 3 (date) / 13 (number)
    kReasonLast = 4,         // last of the range invalid         -> 3 / 13
    kReasonOrder = 5,        // first after last                  -> 12 (date) / 15 (number)
    kReasonUser = 6,         // user invalid                      -> 14
    kReasonEmpty = 7,        // nothing in the range              -> 6
    kReasonBusy = 8,         // a document is open                -> 7
};
int OpenReasonCode(uint8_t reason, RangeKind range);

struct PrinterIdentity {
    std::string serial;  // trimmed, at most 24 characters
    std::string model;   // trimmed, at most 20 characters
    std::string protocol;  // "0100"
};

// The acknowledge byte and the status bytes of an answer.
struct Status {
    uint8_t ack = 0, st1 = 0, st2 = 0;
    bool valid = false;  // false before the first answer
};

// True when the status bytes say the printer did not carry the command out.
bool Refused(const Status& s);

// Where downloaded bytes go, in order. Returning false stops the download (code 19).
using Sink = std::function<bool(const uint8_t* data, size_t size)>;
Sink MemorySink(std::string& out);

// Progress of a download: bytes done and expected; returning true cancels (code 20).
using Progress = std::function<bool(long long done, long long expected)>;

// A frame of the printer's command set: STX, NB, ESC, escape bytes, parameters, sum.
Bytes BuildFrame(const Bytes& escape_and_params);
// Bit 15 of a block's length: the block is that many copies of the one byte it carries (an
// erased stretch of memory goes as a few bytes).
constexpr uint16_t kFillFlag = 0x8000;
// Checks the block answer data (number, length, bytes, CRC-32): true and the bytes when right.
bool ParseBlock(const uint8_t* data, size_t size, uint32_t want_number, size_t want_length, std::string* bytes);
// Decodes the data of the open command's answer (16 bytes).
bool ParseDownloadInfo(const uint8_t* data, size_t size, DownloadInfo* info);
// The 22 parameter bytes of the open command.
Bytes OpenParameters(const DownloadRequest& r);
// CRC-32 of the block answers (zlib's).
uint32_t BlockCrc(const uint8_t* data, size_t size);

// The settings the transports need for SOCKET and FILE (see above).
Settings LinkSettings();

class Session {
public:
    explicit Session(std::string port);
    // Over a transport the caller made (a USB printer object of its own, say); `port` says
    // which kind it is ("USB", "SOCKET", "FILE", else serial).
    Session(std::string port, std::unique_ptr<PrinterInterface> link);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the port at 9600 baud. 0, or 10 (no port name), 18 (a serial port that does not
    // open), 8 (USB or socket peer not reachable).
    int Open();
    void Close();

    // One command with a fixed-length answer of `data_size` data bytes: ACK, data, ST1, ST2.
    // 0 answered (the status bytes may still report a printer error; see LastStatus()), 8 no
    // answer, 21 answer cut short or refused with NAK, 20 cancelled by `progress`.
    int Exchange(const Bytes& escape_and_params, size_t data_size, Bytes* data, int first_byte_ms = kQuickAnswerMs);
    // One command whose answer is status first and text up to ETX (not kept in `text`).
    int ExchangeText(const Bytes& escape_and_params, std::string* text, int first_byte_ms = kAnswerTimeoutMs);

    // The download commands.
    int Identity(PrinterIdentity* id);
    // Asks the printer to change speed and reopens the port at that speed (serial ports only;
    // other ports, and 9600, do nothing). 0, or the code of the failed exchange.
    int SwitchSpeed(int baud);
    // Prepares a download: 0 with `info`, or the code of a refusal (OpenReasonCode).
    int OpenDownload(const DownloadRequest& r, DownloadInfo* info);
    // Blocks 0..info.blocks-1 into `sink`, then (when `signature`) the signature.
    int ReadContent(const DownloadInfo& info, const Sink& sink, std::string* signature);
    // Ends the download: the printer returns to 9600, and so does the port.
    int CloseDownload();
    // OpenDownload + SwitchSpeed(speed) + ReadContent + CloseDownload. On any failure the
    // download is closed as far as the printer still answers.
    int Download(const DownloadRequest& r, const Sink& sink, std::string* signature = nullptr,
                 DownloadInfo* info = nullptr);

    void SetProgress(Progress p) { progress_ = std::move(p); }
    void SetSpeed(int baud) { speed_ = baud; }  // the speed of Download's blocks
    void SetAnswerTimeoutMs(int ms) { answer_timeout_ms_ = ms; }
    const Status& LastStatus() const { return status_; }
    // Bytes written to and read from the port since Open (for the benchmark).
    uint64_t BytesMoved() const { return moved_; }
    bool IsSerial() const { return serial_; }

private:
    // Sends a frame and reads `size` answer bytes; returns how many arrived.
    size_t Transact(const Bytes& frame, int tag, uint8_t* answer, size_t size, int first_byte_ms);
    size_t ReadBytes(uint8_t* out, size_t size, int first_byte_ms, int gap_ms);
    bool SendFrame(const Bytes& frame, int tag);
    void Drain();
    bool BeginExchange();
    void EndExchange();
    bool Cancelled(long long done, long long expected);
    bool Tick(size_t more);
    void Note(uint8_t ack, uint8_t st1, uint8_t st2);

    std::string port_;
    Settings settings_;
    std::unique_ptr<PrinterInterface> link_, given_;
    bool serial_ = false, per_command_ = false, file_pair_ = false, open_ = false;
    int baud_ = kCommandBaud;  // the port's speed now
    int speed_ = kCommandBaud;
    int answer_timeout_ms_ = kAnswerTimeoutMs;
    Status status_;
    Progress progress_;
    uint64_t moved_ = 0;
    bool cancelled_ = false;
    bool answered_ = false;
    bool chunked_ = false;  // block bodies read in pieces (first attempt of a block)
    bool own_link_ = false; // link_ came from the caller
    std::string block_;     // the bytes of the block being read
    static constexpr int kTickMs = 100;
    bool ticking_ = false;
    long long tick_done_ = 0, tick_expected_ = 0, reported_ = -1;
    int64_t last_tick_ = 0;
};

}  // namespace ordavo::mfd
