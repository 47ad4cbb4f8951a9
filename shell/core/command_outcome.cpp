#include "shell/core/command_outcome.h"

#include <vector>

#include "engine/strings.h"

namespace ordavo {
namespace {

std::vector<std::string> TextLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return lines;
}

}  // namespace

CommandOutcome OutcomeOf(const Comando& command, int32_t result) {
    CommandOutcome out;
    const std::string header = Str(IDS_COMANDO) + ":\t";
    std::vector<std::string> lines;
    for (const std::string& line : TextLines(command.retorno_formatado))
        if (line.rfind(header, 0) != 0) lines.push_back(line);
    const std::string prefix = command.titulo.empty() ? std::string() : command.titulo + ": ";
    if (result == kExecOk && (lines.empty() || lines.front() == Str(IDS_COMANDO_OK))) {
        out.ok = true;
        out.text = prefix + "OK";
        return out;
    }
    // The printer's first error line, or the system's message; the reason follows it.
    std::string what = lines.empty() ? std::string("ERROR") : lines.front();
    if (result != kExecOk && !command.motivo.empty() && what != command.motivo) what += " - " + command.motivo;
    out.text = prefix + what;
    return out;
}

}  // namespace ordavo
