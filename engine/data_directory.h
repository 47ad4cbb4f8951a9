// Where the program finds the files it ships with (the sample catalogs, the sequence files and
// the help document) and the per-user application directory of the desktop menu.
#pragma once

#include <string>

namespace ordavo {

// The installed data directory: $ORDAVO_DATA_DIR when set, else "share/ordavo" beside the
// program's "bin" ("<program>/../share/ordavo"), found at run time so that a tree installed
// under any prefix works. Empty when there is none.
std::string InstalledDataDirectory();

// A file of the application directory by its name below it ("comandos_vn.xml",
// "XML/secuencia_pa.xml"): the application directory's own when it has one, else the installed
// one when that exists, else the application directory's path (which then does not exist).
std::string ApplicationFile(const std::string& app_directory, const std::string& relative);

// True when `path` lies in the installed data directory rather than the application directory.
bool IsInstalledFile(const std::string& path);

// The per-user application directory: "$XDG_DATA_HOME/ordavo" when XDG_DATA_HOME is an absolute
// path, else "$HOME/.local/share/ordavo". Empty when neither variable helps.
std::string UserDataDirectory();

}  // namespace ordavo
