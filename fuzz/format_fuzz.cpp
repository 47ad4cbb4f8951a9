// Feeds arbitrary answers and return field lists to the formatter: any type, any size (negative
// and absurd ones too) and any answer bytes, with and without the extended return. It must
// never read past the answer and never build a text out of proportion to it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/comando.h"
#include "engine/env.h"

namespace {

using namespace ordavo;

const char* const kTypes[] = {
    "ASCII", "INTEGER", "BCD_INTEGER", "BCD_PERCENTAGE", "BCD_FINANCE", "BCD_DATA", "BCD_HORA",
    "BCD_FLAG_PAYMENT_MODE", "STATUS_PAPEL", "ASCII_FLAGS_FISCAIS", "ASCII_FLAGS_FISCAIS_II",
    "ASCII_FLAGS_FISCAIS_III", "FLAG_SENSORES", "FLAG_CHEQUE", "ASCII_FLAG_VINC_ISS", "BCD_FLAG_INT_TEC",
    "BCD_FLAG_EPROM_CONECT", "FLAG_TRUNCAMENTO", "FLAG_CORTE", "FLAG_ALINHAMENTO", "FLAG_BP_CF",
    "FLAG_PRESENTER_GAVETA", "FLAG_CUTTER_AUTENTIC", "FLAG_RED_AUT_COM", "FLAG_GAVETA", "OPER_NO_FISCAL",
    "FORMAS_DE_PAGAMENTO", "DEPARTAMENTOS", "TOT_NAO_SUJ_ICMS", "RELAT_GER", "VER_INT_MEM_FISCAL",
    "VER_INT_MEM_FISCAL_COMP", "VER_INT_MEM_FISCAL_COMP_RD", "ALIQUOTAS", "TOT_PARCIAIS", "TIPO_DOC_ABERTO",
    "UNKNOWN",
};
constexpr size_t kTypeCount = sizeof kTypes / sizeof kTypes[0];

// The longest fixed layout (50 non-fiscal operations) writes under 4,000 bytes; the rate list
// writes at most about eight characters per answer byte.
constexpr size_t kLongestLayout = 4000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Settings settings;
    EngineEnv().settings = &settings;
    if (size < 2) return 0;
    settings.ExtendedReturn = data[0] & 1;
    const size_t fields = (data[0] >> 1) % 12;
    size_t pos = 1;

    Comando c;
    for (size_t i = 0; i < fields && pos + 3 <= size; ++i, pos += 3) {
        Retorno r;
        r.formato = kTypes[data[pos] % kTypeCount];
        const int32_t v = static_cast<int32_t>(data[pos + 1] | (data[pos + 2] << 8));
        r.tamanho = data[pos] >= 240 ? INT32_MAX - v : (data[pos] >= 200 ? -v : v % 1024);
        r.titulo = "T";
        c.retornos.push_back(r);
    }
    c.resposta.assign(data + pos, data + size);

    c.FormatarRetorno();
    // The status lines (all sixteen flags and a return text) stay under 1,024 bytes.
    const size_t bound = 1024 + fields * (kLongestLayout + 10 * c.resposta.size());
    if (c.retorno_formatado.size() > bound) std::abort();
    if (c.retorno_formatado.compare(0, 2, "\r\n") != 0) std::abort();

    Comando::MensagemStatus(data[0], data[1]);
    Comando::MensagemRetorno(data[1], data[0]);
    return 0;
}
