// Feeds arbitrary parameter lists to the encoder: any type, size, flag and value, after a
// header of any length. It must encode or refuse, never write past the frame's room for the
// checksum, and report failures the way the sender expects.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/comando.h"
#include "engine/env.h"
#include "engine/strings.h"

namespace {

using namespace ordavo;

const char* const kTypes[] = {
    "STRING", "BIG_STRING", "RANDOM_STRING", "STRING_VAR_SIZE", "BIG_STRING_VAR_SIZE",
    "STRING_VAR_SIZE_WITHOUT_CR", "BILHETE_PASSAGEM", "LEIT_DADOS_MEM_FISCAL", "DISCOUNT", "CLICHE",
    "INTEGER", "FINANCE", "FINANCE_3", "PERCENTAGE", "RANDOM_NUMBER", "BCD_INTEGER", "BINARIO", "DATA",
    "DATA_2_2_4", "HORA", "FECHA_CUPOM", "AC_OU_DESC_ITEM", "AC_OU_DESC_SUB", "DESCR_FORMA_PAGAMENTO",
    "DESCR_FORMA_PAGAMENTO_MP_20", "IMPR_FITA_DETALHE", "LEIT_MEM_FISCAL", "CHEQUE_POS", "DIG_HEX",
    "DIG_HEX_NOT_EDITABLE", "CAR_GRAF_AUTENTICACAO", "NOT_EDITABLE", "TROCA_SIT_TRIB",
    "CUPOM_OU_BILHETE_CONV_156", "VINC_ISS", "OPTIONS", "STRING_VAR_SIZE_LINE", "INFORME_TRANSACIONES",
    "INFORME_TRANSACIONES_SERIAL", "UNKNOWN", "",
};
constexpr size_t kTypeCount = sizeof kTypes / sizeof kTypes[0];

class FuzzClock : public Clock {
public:
    int UtcMillisecond() override { return ms; }
    int ms = 0;
};

struct Input {
    const uint8_t* p;
    size_t n;
    uint8_t Byte() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    int32_t Size() {
        // Mostly small sizes, sometimes negative or far beyond any frame.
        const uint8_t kind = Byte();
        const int32_t v = static_cast<int32_t>(Byte() | (Byte() << 8));
        if (kind < 200) return v % 300;
        if (kind < 230) return -v;
        if (kind < 250) return v * 1000;
        return INT32_MAX - v;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzClock clock;
    EngineEnv().clock = &clock;
    Input in{data, size};
    clock.ms = in.Byte() * 4;

    Comando c;
    // Anything from an empty header to one that leaves no room for a single parameter byte.
    const int32_t header = static_cast<int32_t>((in.Byte() | (in.Byte() << 8)) % (BufferComando::kCapacity - 4));
    c.quadro.Reset(3);
    std::string fill(static_cast<size_t>(header), '\x1B');
    c.quadro.Append(fill.data(), header);
    const int32_t start = c.quadro.length;
    uint8_t before[BufferComando::kCapacity];
    std::memcpy(before, c.quadro.data, static_cast<size_t>(start));

    while (in.n > 0 && c.parametros.size() < 32) {
        Parametro p;
        p.formato = kTypes[in.Byte() % kTypeCount];
        p.tamanho = in.Size();
        p.obrigatorio = in.Byte() & 1;
        const size_t len = in.Byte() % 128 * (in.Byte() % 4 == 0 ? 40 : 1);
        const size_t take = len < in.n ? len : in.n;
        p.valor.assign(reinterpret_cast<const char*>(in.p), take);
        in.p += take;
        in.n -= take;
        c.parametros.push_back(p);
    }
    c.tamanho_status = 5;
    c.tamanho_retorno = 100 + 5;

    const int32_t rc = c.CodificarParametros();
    if (rc != 0 && rc != -2 && rc != -3) std::abort();
    if (c.quadro.length < start || c.quadro.length > BufferComando::kCapacity - 2) std::abort();
    if (std::memcmp(before, c.quadro.data, static_cast<size_t>(start)) != 0) std::abort();
    if (rc == 0) {
        if (c.tamanho_retorno != 105 || !c.retorno_formatado.empty()) std::abort();
    } else {
        if (c.tamanho_retorno != 100) std::abort();
        const int message = rc == -2 ? IDS_PARAM_OBLIGATORIO : IDS_PARAM_TAMANO;
        if (c.retorno_formatado != Str(message)) std::abort();
    }
    return 0;
}
