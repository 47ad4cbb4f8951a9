// Small text helpers shared by the engine. Texts are Windows-1252 bytes in std::string.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ordavo {

// Reads a decimal integer the way the C library's atoi does: leading white space, an optional
// sign, then digits; stops at the first other character; no digits gives 0. Unlike atoi it never
// overflows: values beyond the int32 range saturate.
int32_t AtoiC(std::string_view text);

// printf into a std::string (no length limit).
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string VFormat(const char* fmt, va_list args);

// Replaces every occurrence of `from` in `text` by `to`.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to);

// Upper-case hexadecimal of bytes, separated by single spaces ("02 05 00").
std::string HexBytes(const uint8_t* data, size_t length);
// Parses "02 05 00", "020500" or "02,05" into bytes; false on anything that is not hex pairs.
bool ParseHexBytes(std::string_view text, std::vector<uint8_t>& out);

// Writes `contents` to `path` atomically: a temporary file beside it, fsync, then rename.
// Returns false (and leaves any old file untouched) on failure; `error` gets the reason.
bool WriteFileAtomically(const std::string& path, std::string_view contents, std::string* error = nullptr);

// The directory of the running program, empty when it cannot be told.
std::string ProgramDirectory();

// Reads a whole regular file; false when it cannot be opened or read, or is a directory, a
// FIFO or a device (errno tells which). Never waits for a writer nor reads without end.
bool ReadWholeFile(const std::string& path, std::string& out);
// The same, with the reason in `error` ("PATH: Is a directory", "PATH: not a regular file"). A
// file of more than `limit` bytes is refused before it is read (errno EFBIG).
bool ReadRegularFile(const std::string& path, std::string& out, std::string* error,
                     size_t limit = SIZE_MAX);

// The largest number of attributes that one start tag of an XML text carries, counted in one
// pass. The XML parser checks every attribute of a tag against all the others, so a tag with
// tens of thousands of them costs quadratic time; readers refuse such texts first.
size_t MostAttributesInOneTag(std::string_view xml);
constexpr size_t kMaxXmlAttributes = 256;

}  // namespace ordavo
