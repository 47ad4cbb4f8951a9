// Feeds arbitrary bytes to the guards in front of the XML parser: the attribute count of one
// tag, and the document reader with its refusal of entity declarations. Neither may crash, a
// text with a tag beyond the attribute limit is always refused, and every refusal has a reason.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/bdom.h"
#include "engine/util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t most = ordavo::MostAttributesInOneTag(text);
    ordavo::BDOM dom;
    const int loaded = dom.LoadMemory(text);
    if (most > ordavo::kMaxXmlAttributes && loaded == 0) std::abort();
    // A refusal always says why.
    if (loaded != 0 && dom.LastError().empty()) std::abort();
    return 0;
}
