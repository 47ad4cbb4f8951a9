// Feeds arbitrary bytes to the command line's JSON record reader: it must accept or refuse with
// a message, never crash; an accepted record must keep every limit of the programming sheet,
// and print and read back as the same record.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "programming/core/equipment_json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ordavo;
    if (size > 1 << 16) return 0;
    Equipment e;
    std::string error;
    if (!EquipmentFromJson(std::string(reinterpret_cast<const char*>(data), size), e, error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    for (const EquipmentField& f : EquipmentFields())
        if (!f.flag && static_cast<int>(f.Get(e).size()) > EquipmentFieldLimit(f)) std::abort();
    if (e.numero_de_serie.find(' ') != std::string::npos) std::abort();
    Equipment back;
    if (!EquipmentFromJson(EquipmentToJson(e).dump(), back, error)) std::abort();
    back.senha = e.senha;  // never printed
    if (!(back == e)) std::abort();
    return 0;
}
