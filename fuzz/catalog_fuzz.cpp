// Feeds arbitrary bytes to the catalog readers as a catalog file: they must load or refuse,
// never crash, and the one-pass reader must read exactly what the document-tree reader reads.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/bdom.h"
#include "engine/catalog.h"

namespace {

bool Same(const ordavo::Comando& a, const ordavo::Comando& b) {
    if (a.tipo != b.tipo || a.titulo != b.titulo || a.escape != b.escape || a.tipo_retorno != b.tipo_retorno ||
        a.equipamentos_hab != b.equipamentos_hab || a.tamanho_retorno != b.tamanho_retorno ||
        a.n_bytes_escape != b.n_bytes_escape || a.escape_valido != b.escape_valido ||
        a.parametros.size() != b.parametros.size() || a.retornos.size() != b.retornos.size())
        return false;
    for (size_t i = 0; i < a.parametros.size(); ++i) {
        const auto &p = a.parametros[i], &q = b.parametros[i];
        if (p.titulo != q.titulo || p.tamanho != q.tamanho || p.formato != q.formato ||
            p.obrigatorio != q.obrigatorio || p.valor != q.valor)
            return false;
    }
    for (size_t i = 0; i < a.retornos.size(); ++i) {
        const auto &r = a.retornos[i], &s = b.retornos[i];
        if (r.titulo != s.titulo || r.tamanho != s.tamanho || r.formato != s.formato) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ordavo;
    std::string xml(reinterpret_cast<const char*>(data), size);
    BDOM dom;
    const bool tree_ok = dom.LoadMemory(xml) == 0;
    std::vector<Comando> tree;
    std::vector<std::string> warnings;
    if (tree_ok) {
        for (BNode cmd : dom.SelectNodes("//cmd")) {
            for (bool inherit : {false, true}) {
                CmdReadOptions options;
                options.inherit_valor = inherit;
                Comando c = LerCmd(cmd, options, "fuzz.xml", &warnings);
                if (c.n_bytes_escape < 0 || c.n_bytes_escape > Comando::kMaxEscape) std::abort();
                if (!c.escape_valido && c.n_bytes_escape != 0) std::abort();
                if (!inherit) tree.push_back(c);
            }
        }
    }
    // The one-pass reader takes the texts the loader gives it: UTF-8 without a document type.
    const bool plain = xml.find("<!DOCTYPE") == std::string::npos && xml.find("encoding") == std::string::npos &&
                       xml.compare(0, 3, "\xEF\xBB\xBF") != 0;
    if (!plain) return 0;
    std::vector<Comando> stream;
    const bool stream_ok = LerCatalogoTexto(xml, "fuzz.xml", stream) == 0;
    if (stream_ok != tree_ok) std::abort();
    if (!stream_ok) return 0;
    if (stream.size() != tree.size()) std::abort();
    for (size_t i = 0; i < tree.size(); ++i)
        if (!Same(stream[i], tree[i])) std::abort();
    return 0;
}
