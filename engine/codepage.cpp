#include "engine/codepage.h"

#include <array>
#include <cctype>
#include <string>

namespace ordavo {
namespace {

struct Pair {
    uint8_t ansi;
    uint8_t oem;
};

// Windows-1252 code, code page 850 code.
constexpr Pair kAccents[47] = {
    {0xAA, 0xA6}, {0xBA, 0xA7}, {0xC0, 0xB7}, {0xC1, 0xB5}, {0xC2, 0xB6}, {0xC3, 0xC7}, {0xC4, 0x8E},
    {0xC7, 0x80}, {0xC8, 0xD4}, {0xC9, 0x90}, {0xCA, 0xD2}, {0xCC, 0xDE}, {0xCD, 0xD6}, {0xCF, 0xD8},
    {0xD1, 0xA5}, {0xD2, 0xE3}, {0xD3, 0xE0}, {0xD4, 0xE2}, {0xD5, 0xE5}, {0xD9, 0xEB}, {0xDA, 0xE9},
    {0xDB, 0xEA}, {0xDC, 0x9A}, {0xE0, 0x85}, {0xE1, 0xA0}, {0xE2, 0x83}, {0xE3, 0xC6}, {0xE4, 0x84},
    {0xE7, 0x87}, {0xE8, 0x8A}, {0xE9, 0x82}, {0xEA, 0x88}, {0xEB, 0x89}, {0xEC, 0x8D}, {0xED, 0xA1},
    {0xEF, 0x8B}, {0xF1, 0xA4}, {0xF2, 0x95}, {0xF3, 0xA2}, {0xF4, 0x93}, {0xF5, 0xE4}, {0xF6, 0x94},
    {0xF9, 0x97}, {0xFA, 0xA3}, {0xFB, 0x96}, {0xFC, 0x81}, {0xFF, 0x98},
};

struct Tables {
    std::array<uint8_t, 256> to_printer{};
    std::array<uint8_t, 256> from_printer{};
    Tables() {
        for (int i = 0; i < 256; ++i) to_printer[i] = from_printer[i] = static_cast<uint8_t>(i);
        for (const Pair& p : kAccents) {
            to_printer[p.ansi] = p.oem;
            from_printer[p.oem] = p.ansi;
        }
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

// Bytes 0x80..0xFF of an answer text, as their Windows-1252 look-alikes.
constexpr uint8_t kAnswerHigh[128] = {
    0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0x20,
    0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xF8, 0xA3, 0xD8, 0xD7, 0x20,
    0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA, 0xBF, 0xAE, 0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB,
    0x5F, 0x5F, 0x5F, 0xA6, 0xA6, 0xC1, 0xC2, 0xC0, 0xA9, 0xA6, 0xA6, 0x2B, 0x2B, 0xA2, 0xA5, 0x2B,
    0x2B, 0x2D, 0x2D, 0x2B, 0x2D, 0x2B, 0xE3, 0xC3, 0x2B, 0x2B, 0x2D, 0x2D, 0xA6, 0x2D, 0x2B, 0xA4,
    0xF0, 0xD0, 0xCA, 0xCB, 0xC8, 0x69, 0xCD, 0xCE, 0xCF, 0x2B, 0x2B, 0x5F, 0x5F, 0xA6, 0xCC, 0x5F,
    0xD3, 0xDF, 0xD4, 0xD2, 0xF5, 0xD5, 0xB5, 0xFE, 0xDE, 0xDA, 0xDB, 0xD9, 0xFD, 0xDD, 0xAF, 0xB4,
    0xAD, 0xB1, 0x5F, 0xBE, 0xB6, 0xA7, 0xF7, 0xB8, 0xB0, 0xA8, 0xB7, 0xB9, 0xB3, 0xB2, 0x5F, 0x20,
};

// Unicode code points of Windows-1252 bytes 0x80..0x9F (0 = undefined there).
constexpr uint16_t kCp1252C1[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

}  // namespace

void ParaImpressora(std::string& text) {
    const auto& t = tables().to_printer;
    for (char& c : text) c = static_cast<char>(t[static_cast<uint8_t>(c)]);
}

void DaImpressora(std::string& text) {
    const auto& t = tables().from_printer;
    for (char& c : text) c = static_cast<char>(t[static_cast<uint8_t>(c)]);
}

uint8_t TraduzirByteRetorno(uint8_t byte) {
    if (byte == 0x60 || byte == 0x7F) return 0x20;
    if (byte < 0x80) return byte;
    return kAnswerHigh[byte - 0x80];
}

namespace {

// Length of the run of ASCII bytes at the start of `text`.
size_t AsciiRun(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
    return i;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view in) {
    size_t run = AsciiRun(in);
    if (run == in.size()) return std::string(in);
    std::string out;
    out.reserve(in.size() + in.size() / 4);
    out.append(in.data(), run);
    for (size_t i = run; i < in.size();) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        if (c < 0x80) {
            size_t ascii = AsciiRun(in.substr(i));
            out.append(in.data() + i, ascii);
            i += ascii;
            continue;
        }
        ++i;
        uint32_t cp = c;
        if (c < 0xA0) cp = kCp1252C1[c - 0x80] ? kCp1252C1[c - 0x80] : c;
        if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string Utf8ToCp1252(std::string_view in) {
    size_t run = AsciiRun(in);
    if (run == in.size()) return std::string(in);
    std::string out;
    out.reserve(in.size());
    out.append(in.data(), run);
    size_t i = run;
    while (i < in.size()) {
        unsigned char c = in[i];
        if (c < 0x80) {
            size_t ascii = AsciiRun(in.substr(i));
            out.append(in.data() + i, ascii);
            i += ascii;
            continue;
        }
        uint32_t cp;
        size_t len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < in.size()) {
            cp = ((c & 0x1F) << 6) | (in[i + 1] & 0x3F);
            len = 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < in.size()) {
            cp = ((c & 0x0F) << 12) | ((in[i + 1] & 0x3F) << 6) | (in[i + 2] & 0x3F);
            len = 3;
        } else if ((c & 0xF8) == 0xF0 && i + 3 < in.size()) {
            cp = 0x110000;  // outside the Basic Multilingual Plane: never in Windows-1252
            len = 4;
        } else {
            // Not UTF-8 at all: keep the byte, so Windows-1252 text passes through unchanged.
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        i += len;
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += static_cast<char>(cp);
            continue;
        }
        char mapped = '?';
        // The five positions Windows-1252 leaves undefined travel as the C1 code points of
        // the same value, so they survive a round trip.
        if (cp == 0x81 || cp == 0x8D || cp == 0x8F || cp == 0x90 || cp == 0x9D) mapped = static_cast<char>(cp);
        for (int k = 0; k < 32 && mapped == '?'; ++k) {
            if (kCp1252C1[k] == cp) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        }
        out += mapped;
    }
    return out;
}

// True when the XML declaration at the start names Windows-1252 (in any of its spellings).
bool DeclaresWindows1252(std::string_view contents) {
    size_t end = contents.find("?>");
    if (contents.compare(0, 5, "<?xml") != 0 || end == std::string::npos || end > 200) return false;
    std::string decl(contents.substr(0, end));
    for (char& c : decl) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t enc = decl.find("encoding");
    if (enc == std::string::npos) return false;
    std::string rest = decl.substr(enc + 8);
    for (const char* name : {"windows-1252", "cp1252", "cp-1252", "windows1252"}) {
        if (rest.find(std::string("\"") + name + "\"") != std::string::npos ||
            rest.find(std::string("'") + name + "'") != std::string::npos)
            return true;
    }
    return false;
}

}  // namespace ordavo
