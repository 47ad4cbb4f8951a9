#include "shell/core/file_filter.h"

#include <vector>

namespace ordavo {
namespace {

std::vector<std::string> Split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(sep, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return parts;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

std::string ChangeCase(std::string s, bool upper) {
    for (char& c : s) {
        if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

void AddUnique(std::vector<std::string>& list, const std::string& item) {
    for (const std::string& s : list)
        if (s == item) return;
    list.push_back(item);
}

}  // namespace

std::string QtFileFilter(const std::string& mfc_filter) {
    std::vector<std::string> parts = Split(mfc_filter, '|');
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string name = parts[i];
        if (name.empty()) break;  // "||" ends the list
        size_t open = name.rfind('(');
        if (open != std::string::npos && name.find(')', open) != std::string::npos) name.erase(open);
        name = Trim(name);

        std::vector<std::string> patterns;
        for (std::string p : Split(parts[i + 1], ';')) {
            p = Trim(p);
            if (p.empty()) continue;
            if (p == "*.*") {
                AddUnique(patterns, "*");
                continue;
            }
            AddUnique(patterns, ChangeCase(p, false));
            AddUnique(patterns, ChangeCase(p, true));
        }
        if (patterns.empty()) patterns.push_back("*");

        std::string joined;
        for (const std::string& p : patterns) joined += (joined.empty() ? "" : " ") + p;
        if (!out.empty()) out += ";;";
        out += name.empty() ? joined : name + " (" + joined + ")";
    }
    return out;
}

std::string DefaultSuffix(const std::string& default_ext) {
    std::string s = Trim(default_ext);
    if (s.rfind("*.", 0) == 0) return s.substr(2);
    if (s.rfind('.', 0) == 0) return s.substr(1);
    if (s == "*") return {};
    return s;
}

}  // namespace ordavo
