// The messages of the fiscal-memory library's result codes, as the fiscal-memory window and
// ordavo-cli fiscal show them. One table for both.
#pragma once

namespace ordavo {

// The number of the string (engine/strings.h) that tells a library result code: 0 for the
// codes 0 and 1, which show nothing; the string of "Error en la operación" for every code the
// table does not know, negative ones included.
int LibraryResultStringId(int code);

// The text of that string (Windows-1252), or nullptr for the codes 0 and 1.
const char* LibraryResultText(int code);

}  // namespace ordavo
