// Feeds arbitrary bytes to the configuration store's reader as "equipamentos.xml": it must load
// or refuse, never crash; whatever it loads must write out and read back field for field.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "programming/core/equipment.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ordavo;
    if (size > 1 << 20) return 0;
    std::vector<Equipment> records;
    if (!ConfigurationsControl::Parse(std::string(reinterpret_cast<const char*>(data), size), records)) return 0;
    std::vector<Equipment> again;
    if (!ConfigurationsControl::Parse(ConfigurationsControl::Serialize(records), again)) std::abort();
    if (again.size() != records.size()) std::abort();
    for (size_t i = 0; i < records.size(); ++i)
        if (!(again[i] == records[i])) std::abort();
    return 0;
}
