// The encrypted-XML container takes any bytes. Inputs that start with 'E' are made into a real
// container of the rest, then changed at one place that the next two bytes choose: what opens
// must be exactly what was put in, and a changed container must never open.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/util.h"
#include "fiscalmemory/library/aes_container.h"

using namespace ordavo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::string dir = [] {
        char tmpl[] = "/tmp/aes_fuzz_XXXXXX";
        const char* d = mkdtemp(tmpl);
        return std::string(d ? d : "/tmp");
    }();
    const std::string in = dir + "/in.enc", out = dir + "/out.xml";
    std::string bytes(reinterpret_cast<const char*>(data), size);
    bool built = size >= 3 && data[0] == 'E';
    std::string plain;
    size_t at = 0;
    if (built) {
        plain = bytes.substr(3);
        std::string c = mfd::EncryptXmlContainer(plain, "VE0100000001");
        if (c.empty()) __builtin_trap();
        at = (static_cast<size_t>(data[1]) << 8 | data[2]);
        if (at < c.size() * 2) {  // half the time unchanged
            if (at < c.size()) c[at] ^= 0x01;
        }
        bytes = c;
    }
    if (!WriteFileAtomically(in, bytes)) return 0;
    ::unlink(out.c_str());
    int rc = mfd::DecryptXmlContainer(in, out);
    if (built) {
        bool changed = at < bytes.size();
        std::string back;
        bool exists = ReadWholeFile(out, back);
        if (changed && (rc == 0 || exists)) __builtin_trap();
        if (!changed && (rc != 0 || back != plain)) __builtin_trap();
    } else if (rc != 0 && ::access(out.c_str(), F_OK) == 0) {
        __builtin_trap();
    }
    return 0;
}
