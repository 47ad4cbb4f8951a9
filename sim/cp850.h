// The printer's code page on the wire. The printer speaks code page 850; texts inside the
// simulator are Windows-1252, like everywhere else in the program. Only the accented letters and
// ordinals that a fiscal printer prints differ between the two.
#pragma once

#include <string>
#include <string_view>

namespace ordavo::sim {

// Windows-1252 to code page 850 for the 47 letters that differ; every other byte is kept.
std::string ToPrinter(std::string_view cp1252);
// Code page 850 to Windows-1252 for the same letters.
std::string FromPrinter(std::string_view cp850);

}  // namespace ordavo::sim
