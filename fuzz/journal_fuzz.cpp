// The journal reader takes any bytes: a damaged capture, a hostile file.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fiscalmemory/core/audit_file.h"
#include "fiscalmemory/core/journal.h"
#include "fiscalmemory/core/mf_file.h"
#include "fiscalmemory/core/signed_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ordavo::fm::JournalReader reader(bytes);
    ordavo::fm::JournalDocument doc;
    size_t n = 0;
    while (reader.Next(doc)) {
        // What was read encodes and reads back the same.
        std::string again = ordavo::fm::EncodeDocument(doc);
        ordavo::fm::JournalDocument back;
        size_t used = 0;
        if (!ordavo::fm::DecodeDocument(again, back, &used) || used != again.size() || back.text != doc.text ||
            back.coo != doc.coo || back.items.size() != doc.items.size())
            __builtin_trap();
        if (++n > size) __builtin_trap();  // every record takes bytes
    }
    ordavo::fm::FiscalMemory mf;
    ordavo::fm::DecodeFiscalMemory(bytes, mf);
    std::string_view content, signature;
    ordavo::fm::SplitSignedFile(bytes, content, signature);
    ordavo::fm::CheckAuditHead(bytes);
    return 0;
}
