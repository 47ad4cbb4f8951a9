// The GPRS module. Its answers start with a kind byte: 0 a done/not-done flag, 1 a 16-bit
// value, 2 a counted block, 3 a text up to a terminator byte, 4 "busy" (no status after it),
// 5 status only.
#include "sim/commands.h"

namespace ordavo::sim {
namespace {

constexpr int64_t kTransmissionSeconds = 60;

// While a transmission runs the module answers every command with "busy".
bool Busy(Printer& p, Answer& a) {
    if (p.Now() >= p.state().gprs_busy_until) return false;
    const int64_t left = p.state().gprs_busy_until - p.Now();
    a.data = {0x04, static_cast<uint8_t>(left & 0xFF), static_cast<uint8_t>(left >> 8)};
    const std::string msg = "MODULO OCUPADO";
    a.data.insert(a.data.end(), msg.begin(), msg.end());
    a.data.push_back(0x00);
    a.with_status = false;
    return true;
}

CommandDef Gprs(std::vector<uint8_t> escape, const char* name, Handler h,
                std::vector<std::vector<ParamDef>> layouts = {}) {
    return {std::move(escape),
            name,
            std::move(layouts),
            Shape::kGprs,
            {},
            0,
            [h](Printer& p, const Request& r, Answer& a) {
                if (!Busy(p, a)) h(p, r, a);
            }};
}

}  // namespace

void AddGprsCommands(std::vector<CommandDef>& t) {
    t.push_back(Gprs(E({90, 0}), "module check", [](Printer&, const Request&, Answer& a) {
        a.data = {0x00, 0x00};
    }));
    t.push_back(Gprs(E({90, 1}), "signal strength", [](Printer&, const Request&, Answer& a) {
        a.data = {0x01, 23, 0};  // on the 0..31 scale of GSM modules
    }));
    t.push_back(Gprs(E({90, 2}), "event log", [](Printer& p, const Request&, Answer& a) {
        a.data = {0x02, 8};
        const Bytes when = FillField(p.state(), p.Now(), "BCD_DATA", 3, {});
        a.data.insert(a.data.end(), when.begin(), when.end());
        a.data.insert(a.data.end(), {0x01, 0x00, 0x00, 0x00, 0x2A});
    }));
    t.push_back(Gprs(E({90, 3}), "IP address", [](Printer&, const Request&, Answer& a) {
        const std::string ip = "10.64.12.7";
        a.data = {0x03, kEtx};
        a.data.insert(a.data.end(), ip.begin(), ip.end());
        a.data.push_back(kEtx);
    }));
    t.push_back(Gprs(E({90, 4}), "send fiscal memory", [](Printer& p, const Request&, Answer& a) {
        a.data = {0x00, 0x00};
        p.state().gprs_busy_until = p.Now() + kTransmissionSeconds;
    }));
    t.push_back(
        {E({90, 5}), "module restart", {}, Shape::kGprs, {}, 0, [](Printer& p, const Request&, Answer& a) {
             p.state().gprs_busy_until = 0;
             a.data = {0x05};
         }});
    t.push_back(Gprs(E({90, 6}), "access point",
                     [](Printer& p, const Request& r, Answer& a) {
                         const std::string apn = r.Trimmed(0);
                         if (apn.empty()) {
                             a.data = {0x00, 0x01};
                             return Printer::Fail(a, rc::kParamType, "blank access point");
                         }
                         p.state().gprs_apn = apn;
                         a.data = {0x00, 0x00};
                     },
                     {{P("STRING_VAR_SIZE", 40)}}));
}

}  // namespace ordavo::sim
