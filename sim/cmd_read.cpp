// Readings: identity, counters, totals, flags, clock and programming, each answered in the
// layout of its return fields.
#include <functional>

#include "engine/util.h"
#include "sim/commands.h"

namespace ordavo::sim {
namespace {

using Producer = std::function<Bytes(Printer&, const Request&)>;

// A reading: the data bytes come from `produce`, or field by field from the state when there is
// no producer.
CommandDef Reading(std::vector<uint8_t> escape, const char* name, std::vector<FieldDef> fields,
                   Producer produce = nullptr, std::vector<std::vector<ParamDef>> layouts = {}) {
    CommandDef d;
    d.escape = std::move(escape);
    d.name = name;
    d.layouts = std::move(layouts);
    d.fields = fields;
    d.handler = [fields, produce](Printer& p, const Request& r, Answer& a) {
        if (produce) {
            a.data = produce(p, r);
            return;
        }
        for (const FieldDef& f : fields)
            Append(a.data, FillField(p.state(), p.Now(), f.formato, f.tamanho, f.titulo));
    };
    return d;
}

Producer Text(std::function<std::string(const PrinterState&)> get, int size, char pad = ' ') {
    return [get, size, pad](Printer& p, const Request&) { return FixedText(get(p.state()), size, pad); };
}

Producer Number(std::function<int64_t(const PrinterState&)> get, int nbytes) {
    return [get, nbytes](Printer& p, const Request&) {
        const int64_t v = get(p.state());
        return Bcd(static_cast<uint64_t>(v < 0 ? 0 : v), nbytes);
    };
}

Bytes DateTime(int64_t when) {
    const Clock c = Split(when);
    return {Bcd(c.day, 1)[0],  Bcd(c.month, 1)[0],  Bcd(c.year % 100, 1)[0],
            Bcd(c.hour, 1)[0], Bcd(c.minute, 1)[0], Bcd(c.second, 1)[0]};
}

std::vector<FieldDef> Repeat(const char* formato, int size, int count) {
    return std::vector<FieldDef>(static_cast<size_t>(count), F(formato, size));
}

Bytes Names(const PrinterState& s, int count) {
    Bytes b;
    for (int i = 0; i < count; ++i) Append(b, FixedText(s.totalizers[i], 19));
    return b;
}

}  // namespace

void AddReadingCommands(std::vector<CommandDef>& t) {
    t.push_back(Reading(E({19}), "status", {}));
    t.push_back(
        Reading(E({35, 0}), "serial number", {F("ASCII", 15)}, Text([](auto& s) { return s.serial; }, 15)));
    t.push_back(
        Reading(E({35, 1}), "firmware", {F("ASCII", 5)}, Text([](auto& s) { return s.firmware; }, 5)));
    t.push_back(Reading(E({35, 2}), "identity", {F("ASCII", 33)}, [](Printer& p, const Request&) {
        Bytes b = FixedText(p.state().rif, 18);
        Append(b, FixedText(p.state().nit, 15));
        return b;
    }));
    t.push_back(Reading(E({35, 3}), "grand total", {F("BCD_FINANCE", 9)},
                        Number([](auto& s) { return s.grand_total; }, 9)));
    t.push_back(Reading(E({35, 4}), "cancellations", {F("BCD_FINANCE", 7)},
                        Number([](auto& s) { return s.day_cancellations; }, 7)));
    t.push_back(Reading(E({35, 5}), "discounts", {F("BCD_FINANCE", 7)},
                        Number([](auto& s) { return s.day_discounts; }, 7)));
    t.push_back(Reading(E({35, 6}), "COO", {F("BCD_INTEGER", 3)}, Number([](auto& s) { return s.coo; }, 3)));
    t.push_back(Reading(E({35, 7}), "GNF", {F("BCD_INTEGER", 3)}, Number([](auto& s) { return s.gnf; }, 3)));
    t.push_back(Reading(E({35, 8}), "cancelled receipts", {F("BCD_INTEGER", 2)},
                        Number([](auto& s) { return s.cancelled_receipts; }, 2)));
    t.push_back(Reading(E({35, 9}), "CRZ", {F("BCD_INTEGER", 2)}, Number([](auto& s) { return s.crz; }, 2)));
    t.push_back(Reading(E({35, 10}), "partial totals", {F("TOT_PARCIAIS", 219)}));
    t.push_back(Reading(E({35, 11}), "last item", {F("BCD_INTEGER", 2)},
                        Number([](auto& s) { return s.last_item_number; }, 2)));
    t.push_back(Reading(E({35, 12}), "surcharges", {F("BCD_FINANCE", 7)},
                        Number([](auto& s) { return s.day_surcharges; }, 7)));
    t.push_back(Reading(E({35, 13}), "header", {F("ASCII", 186)}, [](Printer& p, const Request&) {
        Bytes b(p.state().header.begin(), p.state().header.end());
        b.resize(186, 0);
        return b;
    }));
    t.push_back(
        Reading(E({35, 14}), "till", {F("BCD_INTEGER", 2)}, Number([](auto& s) { return s.till; }, 2)));
    t.push_back(
        Reading(E({35, 15}), "store", {F("BCD_INTEGER", 2)}, Number([](auto& s) { return s.store; }, 2)));
    t.push_back(
        Reading(E({35, 16}), "currency", {F("ASCII", 2)}, Text([](auto& s) { return s.currency; }, 2)));
    t.push_back(Reading(E({35, 17}), "fiscal flags", {F("ASCII_FLAGS_FISCAIS", 1)}));
    t.push_back(Reading(E({35, 18}), "fiscal flags II", {F("ASCII_FLAGS_FISCAIS_II", 1)}));
    t.push_back(Reading(E({35, 19}), "fiscal flags III", {F("ASCII_FLAGS_FISCAIS_III", 1)}));
    t.push_back(Reading(E({35, 20}), "sensors", {F("FLAG_SENSORES", 1)}));
    t.push_back(Reading(E({35, 21}), "paper", {F("STATUS_PAPEL", 2)}));
    t.push_back(Reading(E({35, 22}), "operating mode", {F("BCD_FLAG_INT_TEC", 1)}));
    t.push_back(Reading(E({35, 23}), "clock", {F("BCD_DATA", 3), F("BCD_HORA", 3)}));
    t.push_back(Reading(E({35, 24}), "EPROM", {F("BCD_FLAG_EPROM_CONECT", 1)}));
    t.push_back(Reading(E({35, 25}), "totalizer names (9)", Repeat("ASCII", 19, 9),
                        [](Printer& p, const Request&) { return Names(p.state(), 9); }));
    t.push_back(Reading(E({35, 26}), "printing options",
                        {F("FLAG_TRUNCAMENTO", 1), F("FLAG_CORTE", 1), F("FLAG_ALINHAMENTO", 1),
                         F("FLAG_RED_AUT_COM", 1), F("FLAG_GAVETA", 1)}));
    t.push_back(Reading(E({35, 27}), "last reduction", {F("BCD_DATA", 3), F("BCD_HORA", 3)},
                        [](Printer& p, const Request&) {
                            const int64_t when = p.state().last_z_time;
                            return when ? DateTime(when) : Bytes(6, 0);
                        }));
    t.push_back(Reading(E({35, 28}), "day of movement", {F("BCD_DATA", 3)}, [](Printer& p, const Request&) {
        const PrinterState& s = p.state();
        Bytes b = DateTime(s.movement ? s.movement_day * 86400 : p.Now());
        b.resize(3);
        return b;
    }));
    t.push_back(Reading(E({35, 29}), "IVA links", {F("ASCII_FLAG_VINC_ISS", 2)}));
    t.push_back(Reading(E({35, 30}), "payment methods", {F("FORMAS_DE_PAGAMENTO", 620)}));
    t.push_back(Reading(E({35, 31}), "departments", {F("DEPARTAMENTOS", 600)}));
    t.push_back(Reading(E({35, 32}), "non-fiscal operations", {F("OPER_NO_FISCAL", 1550)}));
    t.push_back(Reading(E({35, 33}), "non-taxed totals", {F("TOT_NAO_SUJ_ICMS", 780)}));
    t.push_back(Reading(E({35, 34}), "management reports", {F("RELAT_GER", 570)}));
    t.push_back(Reading(E({35, 35}), "document type", {F("TIPO_DOC_ABERTO", 1)}));
    t.push_back(Reading(E({35, 36}), "cheque station", {F("FLAG_CHEQUE", 1)}));
    t.push_back(Reading(E({35, 37}), "rate count", {F("INTEGER", 1)}, [](Printer& p, const Request&) {
        return Bytes{static_cast<uint8_t>(p.state().rate_count)};
    }));
    t.push_back(Reading(E({35, 40}), "serial number (20)", {F("ASCII", 20)},
                        Text([](auto& s) { return s.serial; }, 20)));
    t.push_back(Reading(E({35, 42}), "RIF (20)", {F("ASCII", 20)}, Text([](auto& s) { return s.rif; }, 20)));
    t.push_back(Reading(E({35, 43}), "NIT (20)", {F("ASCII", 20)}, Text([](auto& s) { return s.nit; }, 20)));
    t.push_back(Reading(E({35, 44}), "municipal registration", {F("ASCII", 20)},
                        Text([](auto& s) { return s.im; }, 20)));
    t.push_back(Reading(E({35, 48}), "totalizer names (30)", Repeat("ASCII", 19, 30),
                        [](Printer& p, const Request&) { return Names(p.state(), 30); }));
    t.push_back(Reading(E({35, 70}), "state", {F("ASCII", 2)}, Text([](auto& s) { return s.uf; }, 2)));
    t.push_back(Reading(E({35, 253}), "document options",
                        {F("FLAG_BP_CF", 1), F("FLAG_PRESENTER_GAVETA", 1), F("FLAG_CUTTER_AUTENTIC", 1)}));
    std::vector<FieldDef> rates{F("INTEGER", 1)};
    for (int i = 0; i < kRates; ++i) rates.push_back(F("BCD_PERCENTAGE", 2));
    t.push_back(Reading(E({26}), "tax rates", rates, [](Printer& p, const Request&) {
        return FillField(p.state(), p.Now(), "ALIQUOTAS", 33, {});
    }));
    // The echo tests give back what they were sent, so that a caller sees what reached the printer.
    t.push_back(Reading(E({35, 250}), "echo", {F("ASCII", 20)},
                        [](Printer&, const Request& r) {
                            const std::string v = r.Raw(0);
                            return Bytes(v.begin(), v.end());
                        },
                        {{P("RANDOM_STRING", 20)}}));
    t.push_back(Reading(E({35, 251}), "numeric echo", {F("ASCII", 10)},
                        [](Printer&, const Request& r) {
                            const std::string v = r.Raw(0);
                            return Bytes(v.begin(), v.end());
                        },
                        {{P("RANDOM_NUMBER", 10)}}));
    t.push_back(Reading(E({46}), "fiscal memory check", {F("VER_INT_MEM_FISCAL", 6)}));
    t.push_back(Reading(E({47}), "fiscal memory full check", {F("VER_INT_MEM_FISCAL_COMP", 30)}));
    t.push_back(Reading(E({49}), "fiscal memory full check (RD)", {F("VER_INT_MEM_FISCAL_COMP_RD", 36)}));
}

}  // namespace ordavo::sim
