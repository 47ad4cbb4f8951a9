// Code page conversions. Texts live as Windows-1252 bytes; the printer speaks code page 850.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ordavo {

// In place: the 47 accented letters and ordinals that differ between the two code pages are
// replaced by their code page 850 codes; every other byte is left as it is.
void ParaImpressora(std::string& text);
// In place, the other direction, for the same 47 characters.
void DaImpressora(std::string& text);

// The translation applied to the text bytes of a status-first answer while they are collected:
// printable ASCII stays, 0x60 and 0x7F become a space, and code page 850 letters and box
// drawing become their closest Windows-1252 look-alike.
uint8_t TraduzirByteRetorno(uint8_t byte);

// Terminal and Qt boundary: Windows-1252 to UTF-8 and back. Characters that Windows-1252
// cannot hold become '?'.
std::string Cp1252ToUtf8(std::string_view cp1252);
std::string Utf8ToCp1252(std::string_view utf8);

// True when the XML declaration at the start of `contents` names Windows-1252 (any spelling).
bool DeclaresWindows1252(std::string_view contents);

}  // namespace ordavo
