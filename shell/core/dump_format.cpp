#include "shell/core/dump_format.h"

#include <cstdio>

#include "engine/codepage.h"

namespace ordavo {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Cuts the next line (without its CR LF) off `rest` starting at `pos`; advances `pos`.
std::string NextLine(const std::string& text, size_t& pos) {
    size_t end = text.find('\n', pos);
    std::string line;
    if (end == std::string::npos) {
        line = text.substr(pos);
        pos = text.size();
    } else {
        line = text.substr(pos, end - pos);
        pos = end + 1;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// Dumps one line of "XX XX ..." bytes, 16 to an output line.
void DumpBytes(std::string bytes, bool printable, std::string& out) {
    int offset = 0;
    while (!bytes.empty()) {
        char head[16];
        std::snprintf(head, sizeof head, "%.4x  ", offset & 0xFFFF);
        out += head;
        std::string piece = bytes.substr(0, 48);
        out += piece;
        if (piece.size() < 48) out.append(48 - piece.size(), ' ');
        for (size_t i = 0; i < piece.size(); i += 3) {
            int hi = HexDigit(piece[i]);
            int lo = i + 1 < piece.size() ? HexDigit(piece[i + 1]) : -1;
            // A pair that is not hexadecimal is a damaged record; show it like a zero byte.
            int byte = (hi < 0 || lo < 0) ? 0 : hi * 16 + lo;
            if (byte == 0)
                out += '.';
            else if (printable && (byte < 0x20 || byte == 0x7F))
                out += static_cast<char>(0xB7);
            else if (printable && byte >= 0x80)
                out += static_cast<char>(TraduzirByteRetorno(static_cast<uint8_t>(byte)));  // code page 850
            else
                out += static_cast<char>(byte);
        }
        out += "\r\n";
        bytes.erase(0, piece.size());
        offset += 16;
    }
}

std::string DropPrefix(const std::string& line, size_t n) { return line.size() > n ? line.substr(n) : std::string(); }

}  // namespace

std::string FormatDump(const std::string& record, bool printable) {
    std::string out;
    size_t pos = 0;
    for (;;) {
        size_t cmd = record.find("CMD:", pos);
        if (cmd == std::string::npos) break;
        pos = cmd;
        std::string command_line = NextLine(record, pos);
        out += "CMD:\r\n";
        DumpBytes(DropPrefix(command_line, 6), printable, out);

        std::string answer_line;
        if (record.compare(pos, 4, "RET:") == 0) answer_line = DropPrefix(NextLine(record, pos), 6);
        out += "RET:\r\n";
        DumpBytes(answer_line, printable, out);
        out += "\r\n";
    }
    return out;
}

std::string ResultFileText(SaveContent what, const std::string& message, const std::string& record) {
    switch (what) {
        case SaveContent::Message:
            return WithCrLf(message);
        case SaveContent::Dump:
            return WithCrLf(FormatDump(record));
        case SaveContent::MessageAndDump:
            return WithCrLf(message + FormatDump(record));
    }
    return {};
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

std::string TextForDisplay(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (c == '\n' || c == '\r' || c == '\t') {
            out += c == '\t' ? '\t' : '\n';
        } else if (c < 0x20 || c == 0x7F) {
            out += static_cast<char>(0xB7);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace ordavo
