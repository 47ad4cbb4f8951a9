// PDF-417 pictures into an audit file: each picture's symbol is decoded (its raw bytes, as a
// scanner would send them), collected in a series like the serial capture's, and written at
// the close as the same ".mfd".
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "pdf417/core/symbol_series.h"

namespace ordavo::mfd {

// A picture as grey levels, one byte a pixel, rows top to bottom.
struct GreyPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

// The largest picture file read (a 600 dpi A4 page in 24-bit BMP is about 100 MB); anything
// larger is refused before a byte of it is read.
constexpr int64_t kMaxPictureFileBytes = 128ll << 20;

// Reads a BMP (uncompressed 1, 4, 8, 24 or 32 bits a pixel, or 16/32 with bit fields), PNG or
// JPEG file. False, with the reason, for anything else.
bool LoadPicture(const std::string& path, GreyPicture& out, std::string* error = nullptr);
// The same from bytes in memory.
bool ParseBmp(const uint8_t* data, size_t size, GreyPicture& out, std::string* error = nullptr);
bool ParsePng(const uint8_t* data, size_t size, GreyPicture& out, std::string* error = nullptr);
bool ParseJpeg(const uint8_t* data, size_t size, GreyPicture& out, std::string* error = nullptr);

// The bytes of the PDF-417 symbol in the picture; false when none is found.
bool DecodePdf417(const GreyPicture& picture, std::string& bytes);

// One decoding session, as TalvOpenPdf417ToMfd, TalvAddBmpFile and TalvClosePdf417ToMfd drive
// it; the results are the library's codes.
class Pdf417ToMfd {
public:
    int Open(const char* output);
    int Add(const char* picture);
    // Writes the series. With symbols missing it writes nothing, says which are missing and
    // returns kIncompleteSeries; the session stays open, and a second Close right after it
    // writes the symbols there are.
    int Close();

    static constexpr int kIncompleteSeries = 23;

    bool IsOpen() const { return open_; }
    const pdf417::SymbolSeries& series() const { return series_; }
    // The last picture's outcome, as the capture window would show it.
    const std::string& status() const { return status_; }

private:
    bool open_ = false;
    bool incomplete_told_ = false;
    std::string output_;
    pdf417::SymbolSeries series_;
    std::string status_;
};

// The session behind the C entry points, with the lock that keeps its callers one at a time.
Pdf417ToMfd& TheDecoding();
std::mutex& TheDecodingLock();

}  // namespace ordavo::mfd
