// The audit file (".mra" downloads, ".mpk" signed downloads, ".mfd" PDF-417 captures and bitmap
// decodings): one layout for all, docs/file-formats.md:
//   524288 bytes 0xFF, block A three times, block B three times, the journal, 256 bytes 0xFF;
// a signed file adds the signature block after that (signed_file.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ordavo::fm {

constexpr size_t kAuditBlankSize = 524288;
constexpr size_t kAuditBlockSize = 256;
constexpr size_t kAuditHeadSize = kAuditBlankSize + 6 * kAuditBlockSize;  // 525824
constexpr size_t kAuditTailSize = 256;

// Block A (kind 0) or B (kind 1).
std::string AuditBlock(int kind);
// The 0xFF area and the blocks: everything before the journal.
std::string AuditFileHead();
// The whole file around a journal.
std::string BuildAuditFile(std::string_view journal);
// Writes it atomically (a new file, or the old one whole); false with the system's reason.
bool WriteAuditFile(const std::string& path, std::string_view journal, std::string* error = nullptr);

// Checks the head of an audit file (the blocks A and B; the 0xFF area is not examined) and
// gives the offset where the journal starts. False when the bytes are not an audit file.
bool CheckAuditHead(std::string_view head, std::string* error = nullptr);

}  // namespace ordavo::fm
