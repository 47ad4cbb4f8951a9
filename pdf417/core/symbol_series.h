// A series of PDF-417 symbols as a scanner sends them, and the audit file they make. Both the
// serial capture and the decoding of symbol pictures collect their symbols here.
//
// A symbol (integers little-endian):
//   0  4  total: the number of data bytes of the whole series
//   4  4  position of this symbol's data in the series, a multiple of 668
//   8  .. data
//   -2 2  two final bytes, not saved
// A series has ceil(total / 668) symbols; a symbol's number is position / 668.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ordavo::pdf417 {

constexpr size_t kSymbolDataSize = 668;    // data bytes of every symbol but the last
constexpr size_t kSymbolHeaderSize = 8;    // total and position
constexpr size_t kSymbolTrailerSize = 2;   // the two final bytes
constexpr size_t kSymbolMinSize = kSymbolHeaderSize + kSymbolTrailerSize;
constexpr size_t kReceiveBufferSize = 1024;  // the longest symbol taken
// What one burst of the line may hold: symbols scanned close together come as one.
constexpr size_t kBurstBufferSize = 65536;
// A series cannot be longer than the audit memory a printer holds; anything claiming more is
// garbage, and would make the slot table absurdly large.
constexpr uint32_t kMaxSeriesTotal = 64u << 20;

struct SymbolHeader {
    uint32_t total = 0;
    uint32_t position = 0;
};

// Reads the header of a symbol; false when the bytes are too short to hold one.
bool ReadSymbolHeader(std::string_view symbol, SymbolHeader& header);

// Symbols in a series of `total` data bytes: ceil(total / 668).
uint32_t SymbolsInSeries(uint32_t total);

// Cuts a burst of bytes at the ends of the symbols it holds, each as long as its own header
// says (the header, min(668, total - position) data bytes and the two final bytes). What
// cannot be cut so (no header that makes sense, or fewer bytes than it calls for) is the last
// piece, whole, for SymbolSeries::Add to refuse.
std::vector<std::string_view> SplitBurst(std::string_view burst);

// The dump of a symbol: 8 bytes a line, "%06X  " offset, then "%02X " for each byte, "\n".
std::string SymbolDump(std::string_view bytes);

// The symbols of a series, by number.
class SymbolSeries {
public:
    enum class Outcome {
        kAdded,      // a new symbol of the series
        kDuplicate,  // its position was read before: nothing changes
        kRefused,    // not a symbol of this series (too short, out of the series, damaged)
    };

    // Takes one symbol as received. `status` gets the text the capture window shows:
    // "Símbolo lido: %d/%d", "Símbolo já foi lido", or why the symbol was refused.
    Outcome Add(std::string_view symbol, std::string* status = nullptr);

    // Forgets everything: no slots, expected and received 0.
    void Clear();

    uint32_t expected() const { return expected_; }
    uint32_t received() const { return received_; }
    uint32_t total() const { return total_; }
    bool Complete() const { return expected_ != 0 && received_ == expected_; }
    bool HasSlot(uint32_t number) const { return number < slots_.size() && !slots_[number].empty(); }
    // The numbers of the symbols received, ascending.
    std::vector<uint32_t> Numbers() const;

    // The data of every received symbol (bytes 8 to length - 3), in ascending order of
    // position: the journal the audit file carries.
    std::string Journal() const;
    // The whole audit file (".mfd"): the 0xFF area, blocks A and B, the journal, 0xFF bytes.
    std::string AuditFile() const;
    // Writes it atomically; false with the system's reason.
    bool Save(const std::string& path, std::string* error = nullptr) const;

private:
    uint32_t expected_ = 0;
    uint32_t received_ = 0;
    uint32_t total_ = 0;
    std::vector<std::string> slots_;  // the symbol's bytes as received; empty when none
    std::set<uint32_t> positions_;    // positions seen
};

}  // namespace ordavo::pdf417
