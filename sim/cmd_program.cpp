// Programming: clock, identity, header, till and store, tax rates and their IVA links,
// totalizer names, payment methods and the option switches.
#include <algorithm>
#include <cctype>

#include "engine/util.h"
#include "sim/commands.h"

namespace ordavo::sim {
namespace {

std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    const size_t start = s.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : s.substr(start);
}

bool NoOpenDocument(Printer& p, Answer& a) {
    const DocKind k = p.state().doc.kind;
    if (k == DocKind::kNone) return true;
    Printer::Fail(a, k == DocKind::kReceipt ? rc::kReceiptOpen : rc::kNonFiscalOpen);
    return false;
}

// Tables that the day's documents used stay as they are until the reduction.
bool NoMovement(Printer& p, Answer& a) {
    if (!p.state().movement) return true;
    Printer::Fail(a, rc::kMovementToday);
    return false;
}

void SetClock(Printer& p, const Request& r, Answer& a) {
    PrinterState& s = p.state();
    int d, mo, y, h, mi, se;
    if (!ValidDate(r.Raw(0), false, &d, &mo, &y) || !ValidTime(r.Raw(1), &h, &mi, &se))
        return Printer::Fail(a, rc::kBadDateTime);
    // The third byte is a flag: 0 or 1, as a number or as a digit.
    const uint8_t flag = static_cast<uint8_t>(r.Raw(2)[0]);
    if (flag != 0 && flag != 1 && flag != '0' && flag != '1') return Printer::Fail(a, rc::kParamType);
    if (!NoOpenDocument(p, a)) return;
    const int64_t when = Join({y, mo, d, h, mi, se});
    if (!s.intervention) {
        if (when < s.last_document_time) return Printer::Fail(a, rc::kDateTimeBeforeLastDoc);
        if (s.movement && DayNumber(when) != s.movement_day) return Printer::Fail(a, rc::kMovementToday);
    }
    p.SetClock(when);
    s.summer_time = flag == 1 || flag == '1';
    s.clock_error = false;
}

void ProgramHeader(Printer& p, const Request& r, Answer& a) {
    const std::string h = r.Raw(0);
    if (h.size() > 186) return Printer::Fail(a, rc::kTooMuchText);
    if (h.empty() || h.back() != '\n') return Printer::Fail(a, rc::kStringTerminatorMissing);
    // Only the formatting sequences the printer knows: underline, italic, emphasis, expansion.
    for (size_t i = 0; i < h.size(); ++i) {
        if (h[i] != 0x1B) continue;
        if (i + 1 >= h.size()) return Printer::Fail(a, rc::kIncompleteEscSequence);
        const char c = h[i + 1];
        if (c == '4' || c == '5' || c == 'E' || c == 'F') {
            ++i;
        } else if (c == '-' || c == 'W') {
            if (i + 2 >= h.size()) return Printer::Fail(a, rc::kIncompleteEscSequence);
            const char v = h[i + 2];
            const bool ok = c == '-' ? (v == 0x01 || v == 0x30) : (v == 0x01 || v == 0x02);
            if (!ok) return Printer::Fail(a, rc::kBadEscSequence);
            i += 2;
        } else {
            return Printer::Fail(a, rc::kBadEscSequence);
        }
    }
    p.state().header = h;
}

void ProgramIdentity(Printer& p, const Request& r, Answer& a) {
    PrinterState& s = p.state();
    std::string rif, nit, im, uf, flag;
    if (r.layout == 0) {
        rif = r.Trimmed(0), nit = r.Trimmed(1), flag = r.Raw(2), im = r.Trimmed(3);
        uf = s.uf;
    } else {
        rif = r.Trimmed(0), nit = r.Trimmed(1), im = r.Trimmed(2), flag = r.Raw(4), uf = r.Trimmed(5);
        const std::string pw = r.Raw(6);
        if (!std::equal(pw.begin(), pw.end(), s.password.begin(),
                        [](char c, uint8_t b) { return static_cast<uint8_t>(c) == b; }))
            return Printer::Fail(a, rc::kBadPassword);
    }
    if (rif.empty()) return Printer::Fail(a, rc::kBlankIdentity);
    const bool ticket = flag == "B" || flag == "b";
    if (rif == s.rif && nit == s.nit && im == s.im && uf == s.uf && ticket == s.ticket_mode)
        return Printer::Fail(a, rc::kSameUserData);
    s.rif = rif, s.nit = nit, s.im = im, s.uf = uf, s.ticket_mode = ticket;
}

void ProgramTillAndStore(Printer& p, const Request& r, Answer& a) {
    const std::string till = r.Trimmed(0), store = r.Trimmed(1);
    if (!AllDigits(till) || !AllDigits(store))
        return Printer::Fail(a, rc::kParamType, "till and store are digits");
    if (std::stoi(till) == 0 || std::stoi(store) == 0) return Printer::Fail(a, rc::kTillOrStoreZero);
    p.state().till = std::stoi(till);
    p.state().store = std::stoi(store);
}

void ProgramRates(Printer& p, const Request& r, Answer& a) {
    const std::string v = r.Raw(0);
    const int count = static_cast<uint8_t>(v[0]);
    const std::string rates = v.substr(1);
    if (!AllDigits(rates)) return Printer::Fail(a, rc::kParamType, "rates are digits");
    if (count > kRates) return Printer::Fail(a, rc::kRatesFull);
    if (!NoMovement(p, a)) return;
    for (int i = 0; i < count; ++i)
        if (rates.substr(4 * i, 4) == "0000") return Printer::Fail(a, rc::kZeroRate);
    PrinterState& s = p.state();
    for (int i = 0; i < kRates; ++i) s.rates[i] = i < count ? rates.substr(4 * i, 4) : "0000";
    s.rate_count = count;
}

void ProgramLinks(Printer& p, const Request& r, Answer& a) {
    const std::string v = r.Raw(0);
    if (v.find_first_not_of("01") != std::string::npos)
        return Printer::Fail(a, rc::kParamType, "links are 0 or 1");
    if (!NoMovement(p, a)) return;
    for (int i = 0; i < kRates; ++i) p.state().vinc[i] = v[i] == '1';
}

void NameTotalizer(Printer& p, const Request& r, Answer& a) {
    const int64_t n = r.Number(0);
    if (n < 1 || n > kTotalizers) return Printer::Fail(a, rc::kBadTotalizerNumber);
    const std::string name = r.Trimmed(1);
    if (name.empty()) return Printer::Fail(a, rc::kBlankTotalizerName);
    p.state().totalizers[n - 1] = name;
}

// Option switches: one digit, odd or even.
CommandDef Switch(std::vector<uint8_t> escape, const char* name, bool odd_enables,
                  bool PrinterState::*option) {
    return {std::move(escape),
            name,
            {{P("INTEGER", 1)}},
            Shape::kFixed,
            {},
            kNeedsIntervention,
            [odd_enables, option](Printer& p, const Request& r, Answer&) {
                const bool odd = r.Number(0) % 2 == 1;
                p.state().*option = odd == odd_enables;
            }};
}

void ProgramRestaurant(Printer& p, const Request& r, Answer& a) {
    const std::string v = r.Raw(0);
    if (v != "0" && v != "1") return Printer::Fail(a, rc::kParamType, "0 restaurant, 1 store");
    p.state().restaurant = v[0] - '0';
}

void ProgramCheckCoupon(Printer& p, const Request& r, Answer& a) {
    const std::string v = r.Raw(0);
    if (v.size() != 1 || v[0] < '0' || v[0] > '3')
        return Printer::Fail(a, rc::kParamType, "parameter 0 to 3");
    p.state().cupom_conferencia = v[0] - '0';
}

void ProgramPayment(Printer& p, const Request& r, Answer& a) {
    PrinterState& s = p.state();
    const Bytes refused = FixedText("255", 3);
    const std::string tef = r.Raw(0);
    if (tef != "S" && tef != "N" && tef != "s" && tef != "n")
        return Printer::Fail(a, rc::kParamType, "TEF is S or N");
    const std::string name = Trim(r.Text(1)).substr(0, 16);
    if (name.empty()) return Printer::Fail(a, rc::kParamType, "blank payment method");
    auto lower = [](std::string x) {
        for (char& c : x) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return x;
    };
    if (!NoMovement(p, a)) return void(a.data = refused);
    int free_slot = -1;
    for (int i = 0; i < kPaymentMethods; ++i) {
        if (lower(s.payment_names[i]) == lower(name)) {
            Printer::Fail(a, rc::kSamePaymentName);
            a.data = refused;
            return;
        }
        if (free_slot < 0 && s.payment_names[i].empty()) free_slot = i;
    }
    if (free_slot < 0) {
        Printer::Fail(a, rc::kPaymentTableFull);
        a.data = refused;
        return;
    }
    s.payment_names[free_slot] = name;
    s.payment_tef[free_slot] = tef == "S" || tef == "s";
    a.data = FixedText(Format("%03d", free_slot + 1), 3);
}

void ProgramSpacing(Printer& p, const Request& r, Answer& a) {
    const std::string v = r.Raw(0);
    if (static_cast<uint8_t>(v[1]) != 0) return Printer::Fail(a, rc::kParamType);
    const int lines = static_cast<uint8_t>(v[0]);
    if (lines < 4) return Printer::Fail(a, rc::kSpacingBelow4);
    p.state().coupon_spacing = lines;
}

void ProgramDocumentKind(Printer& p, const Request& r, Answer& a) {
    const uint8_t v = static_cast<uint8_t>(r.Raw(0)[0]);
    if (v != 0x00 && v != 0xFF) return Printer::Fail(a, rc::kParamType);
    if (!NoMovement(p, a)) return;
    p.state().ticket_mode = v == 0xFF;
}

void ProgramPromo(Printer& p, const Request& r, Answer&) {
    std::string m = r.Text(0);
    while (!m.empty() && (m.back() == ' ' || m.back() == '\n')) m.pop_back();
    p.state().promo_message = m;
}

void UnlockClock(Printer& p, const Request& r, Answer& a) {
    const std::string v = r.Raw(0);
    if (v != std::string("\xA5\x5A", 2)) return Printer::Fail(a, rc::kNotDone, "wrong unlock key");
    p.state().clock_error = false;
    p.state().head_up = false;
}

}  // namespace

void AddProgrammingCommands(std::vector<CommandDef>& t) {
    const uint32_t it = kNeedsIntervention;
    t.push_back(
        {E({2}), "clock", {{P("DATA", 6), P("HORA", 6), P("BINARIO", 1)}}, Shape::kFixed, {}, 0, SetClock});
    t.push_back({E({3}), "header", {{P("CLICHE", 186)}}, Shape::kFixed, {}, it, ProgramHeader});
    t.push_back({E({4}),
                 "identity",
                 {{P("STRING", 18), P("STRING", 15), P("STRING", 1), P("STRING", 15, false)},
                  {P("STRING", 20), P("STRING", 20), P("STRING", 20), P("STRING", 10), P("STRING", 1),
                   P("STRING", 2), P("DIG_HEX", 10)}},
                 Shape::kFixed,
                 {},
                 it,
                 ProgramIdentity});
    t.push_back({E({17}),
                 "till and store",
                 {{P("STRING", 3), P("STRING", 4)}},
                 Shape::kFixed,
                 {},
                 it,
                 ProgramTillAndStore});
    t.push_back({E({36}), "tax rates", {{P("TROCA_SIT_TRIB", 65)}}, Shape::kFixed, {}, it, ProgramRates});
    t.push_back({E({38}), "IVA links", {{P("STRING", 16)}}, Shape::kFixed, {}, it, ProgramLinks});
    t.push_back({E({40}),
                 "totalizer name",
                 {{P("INTEGER", 2), P("STRING", 19)}},
                 Shape::kFixed,
                 {},
                 it,
                 NameTotalizer});
    t.push_back(Switch(E({68}), "additional coupon", true, &PrinterState::cupon_adicional));
    t.push_back(Switch(E({123}), "discount on ISS", true, &PrinterState::desc_iss));
    t.push_back(Switch(E({80, 64}), "linked to CNF", false, &PrinterState::vinc_cnf));
    t.push_back(Switch(E({80, 65}), "RV on check coupon", false, &PrinterState::rv_conferencia));
    t.push_back(Switch(E({84}), "automatic Z", false, &PrinterState::z_automatica));
    t.push_back(
        {E({80, 63}), "restaurant or store", {{P("STRING", 1)}}, Shape::kFixed, {}, it, ProgramRestaurant});
    t.push_back({E({80, 57}), "check coupon", {{P("STRING", 1)}}, Shape::kFixed, {}, it, ProgramCheckCoupon});
    t.push_back({E({71}),
                 "payment method",
                 {{P("STRING", 1), P("DESCR_FORMA_PAGAMENTO_MP_20", 16)}},
                 Shape::kFixed,
                 {F("BCD_FLAG_PAYMENT_MODE", 3)},
                 0,
                 ProgramPayment});
    t.push_back(
        {E({80, 60}), "coupon spacing", {{P("BCD_INTEGER", 2)}}, Shape::kFixed, {}, 0, ProgramSpacing});
    t.push_back({E({80, 61}),
                 "document kind",
                 {{P("CUPOM_OU_BILHETE_CONV_156", 1)}},
                 Shape::kFixed,
                 {},
                 it,
                 ProgramDocumentKind});
    t.push_back(
        {E({80, 62}), "promotional message", {{P("BIG_STRING", 384)}}, Shape::kFixed, {}, 0, ProgramPromo});
    t.push_back({E({80, 66}), "unlock", {{P("DIG_HEX_NOT_EDITABLE", 2)}}, Shape::kFixed, {}, 0, UnlockClock});
}

}  // namespace ordavo::sim
