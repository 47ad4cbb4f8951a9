// The printer's journal as PDF-417 pictures, one file a symbol, for the decoding of bitmaps.
#pragma once

#include <string>
#include <vector>

namespace ordavo::sim {

// Writes each symbol as DIR/symbol_NNN.EXT (NNN its number from 0, EXT "bmp" or "png"), each
// file whole or not at all. The paths written, in order; false with the reason on failure.
bool WritePdf417Pictures(const std::string& dir, const std::vector<std::string>& symbols, const std::string& ext,
                         std::vector<std::string>& written, std::string& error);

// One picture of one symbol.
bool WritePdf417Picture(const std::string& path, const std::string& symbol, std::string& error);

}  // namespace ordavo::sim
