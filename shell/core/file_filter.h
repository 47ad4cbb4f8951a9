// File-dialog filters: the program writes them in the "Name (*.x)|*.x|Name|*.y||" form of its
// message texts; Qt wants "Name (*.x);;Name (*.y)".
#pragma once

#include <string>

namespace ordavo {

// Converts a "|"-separated filter into Qt's ";;" form. Each entry keeps its name (a trailing
// "(…)" group of the name is replaced by the entry's real patterns), ";"-separated patterns
// become space-separated, "*.*" becomes "*" (a file name without a dot matches too), and
// every extension pattern is offered in lower and upper case because Linux file names are
// case-sensitive. An empty text gives "". Works on Windows-1252 or UTF-8 alike.
std::string QtFileFilter(const std::string& mfc_filter);

// The default extension of a file dialog without its "*." or ".": "*.xml" gives "xml".
std::string DefaultSuffix(const std::string& default_ext);

}  // namespace ordavo
