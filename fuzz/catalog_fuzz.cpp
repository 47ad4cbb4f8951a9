// Feeds arbitrary bytes to the catalog reader as a catalog file: it must load or refuse, never
// crash, and every command it loads must have consistent escape bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/bdom.h"
#include "engine/catalog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ordavo;
    std::string xml(reinterpret_cast<const char*>(data), size);
    BDOM dom;
    if (dom.LoadMemory(xml) != 0) return 0;
    std::vector<std::string> warnings;
    for (BNode cmd : dom.SelectNodes("//cmd")) {
        for (bool inherit : {false, true}) {
            CmdReadOptions options;
            options.inherit_valor = inherit;
            Comando c = LerCmd(cmd, options, "fuzz.xml", &warnings);
            if (c.n_bytes_escape < 0 || c.n_bytes_escape > Comando::kMaxEscape) std::abort();
            if (!c.escape_valido && c.n_bytes_escape != 0) std::abort();
            Comando copy = c;
            if (copy.parametros.size() != c.parametros.size()) std::abort();
        }
    }
    return 0;
}
