// The fiscal-memory window's text rules take whatever the user types, a file read with "Leer"
// or a printer's serial: the Z-validation filter and work text, the number fields, file names.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fiscalmemory/core/mfd_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<size_t> replaced;
    std::string filtered = ordavo::FilterZText(bytes, &replaced);
    if (filtered.size() != size) __builtin_trap();
    for (char c : filtered)
        if (!ordavo::ZTextCharAllowed(static_cast<unsigned char>(c))) __builtin_trap();
    std::string work = ordavo::ZWorkFileText(filtered);
    if (work.size() > ordavo::kZWorkTextMax || work.find_first_of(" \r\n") != std::string::npos) __builtin_trap();

    long value = -1;
    if (ordavo::ParseRangeField(bytes, 0, 999999, value) && (value < 0 || value > 999999)) __builtin_trap();

    std::string serial = ordavo::SerialFromBuffer(reinterpret_cast<const char*>(data), size);
    std::string name = ordavo::FileNameSafe(serial);
    if (name.find('/') != std::string::npos || name == "." || name == "..") __builtin_trap();
    std::string key = ordavo::KeyPathBeside("/tmp/x.mpk", serial);
    if (key.rfind("/tmp/", 0) != 0 || key.find('/', 5) != std::string::npos) __builtin_trap();
    return 0;
}
