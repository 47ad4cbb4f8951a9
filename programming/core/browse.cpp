#include "programming/core/browse.h"

#include <algorithm>
#include <cctype>

namespace ordavo {
namespace {

unsigned char Lower(char c) { return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c))); }

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return Lower(x) == Lower(y);
           });
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::stable_sort(v.begin(), v.end(), ComboLess);
    return v;
}

}  // namespace

bool ComboLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
}

std::vector<std::string> ClientEntries(const std::vector<Equipment>& records, bool with_empty) {
    std::vector<std::string> out;
    for (const Equipment& e : records) {
        if (e.cliente.empty() && !with_empty) continue;
        bool held = std::any_of(out.begin(), out.end(),
                                [&](const std::string& c) { return EqualIgnoringCase(c, e.cliente); });
        if (!held) out.push_back(e.cliente);
    }
    return Sorted(std::move(out));
}

std::vector<std::string> SerialEntries(const std::vector<Equipment>& records) {
    std::vector<std::string> out;
    out.reserve(records.size());
    for (const Equipment& e : records) out.push_back(e.numero_de_serie);
    return Sorted(std::move(out));
}

std::vector<std::string> SerialsOfClient(const std::vector<Equipment>& records, const std::string& client) {
    std::vector<std::string> out;
    for (const Equipment& e : records)
        if (e.cliente == client) out.push_back(e.numero_de_serie);
    return Sorted(std::move(out));
}

std::vector<std::string> SearchRecords(const std::vector<Equipment>& records, const std::string& client,
                                       const std::string& serial) {
    std::vector<std::string> out;
    if (client.empty() && serial.empty()) return out;
    for (const Equipment& e : records) {
        const bool serial_ok = serial.empty() || e.numero_de_serie == serial;
        const bool client_ok = client.empty() || e.cliente == client;
        if (serial_ok && client_ok) out.push_back(e.numero_de_serie);
    }
    return out;
}

std::string RecordDescription(const Equipment& e) {
    std::string d;
    d += std::string(textos::kNumeroSerial) + ": " + e.numero_de_serie + "\r\n";
    d += std::string(textos::kCliente) + ": " + e.cliente + "\r\n";
    d += std::string(textos::kRif) + ": " + e.CNPJ + "\r\n";
    d += std::string(textos::kIeBrasil) + ": " + e.IE + "\r\n";
    d += std::string(textos::kNit) + ": " + e.IM;
    return d;
}

const Equipment* LastOfSerial(const std::vector<Equipment>& records, const std::string& serial) {
    const Equipment* found = nullptr;
    for (const Equipment& e : records)
        if (e.numero_de_serie == serial) found = &e;
    return found;
}

int RemoveSerial(std::vector<Equipment>& records, const std::string& serial) {
    const size_t before = records.size();
    std::erase_if(records, [&](const Equipment& e) { return e.numero_de_serie == serial; });
    return static_cast<int>(before - records.size());
}

}  // namespace ordavo
