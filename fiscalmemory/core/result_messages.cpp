#include "fiscalmemory/core/result_messages.h"

#include "engine/strings.h"

namespace ordavo {

int LibraryResultStringId(int code) {
    static constexpr int kIds[] = {
        0,      0,      32999, 33000, 33001, 33002, 33003, 33004, 33017, 33018, 33019, 33020,
        33021,  33022,  33023, 33024, 33025, 33026, 33028, 33029, 33075, 33093, 33102, IDS_SIMBOLOS_FALTANTES,
    };
    if (code >= 0 && code < static_cast<int>(sizeof kIds / sizeof kIds[0])) return kIds[code];
    return IDS_ERROR_OPERACION;
}

const char* LibraryResultText(int code) {
    const int id = LibraryResultStringId(code);
    return id == 0 ? nullptr : Str(id).c_str();
}

}  // namespace ordavo
