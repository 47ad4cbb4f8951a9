#include "cli/ask_editors.h"

#include <cstdio>
#include <set>

#include "engine/codepage.h"
#include "params/core/editar_valor.h"
#include "params/core/terminal_editors.h"

namespace ordavo::cli {
namespace {

// The parameter numbers (from 1) that --set named; malformed entries were refused before.
std::set<size_t> GivenNumbers(const std::vector<std::string>& sets) {
    std::set<size_t> given;
    for (const std::string& s : sets) {
        size_t eq = s.find('=');
        std::string number = s.substr(0, eq);
        if (eq == std::string::npos || number.empty() || number.size() > 5 ||
            number.find_first_not_of("0123456789") != std::string::npos)
            continue;
        given.insert(std::stoul(number));
    }
    return given;
}

}  // namespace

int AskParameters(Comando& command, const std::vector<std::string>& sets) {
    std::set<size_t> given = GivenNumbers(sets);
    TerminalEditors editors(stdin, stderr);
    for (size_t k = 0; k < command.parametros.size(); ++k) {
        Parametro& p = command.parametros[k];
        if (given.count(k + 1) || IsHiddenType(p.formato)) continue;
        std::string header = "\n== " + std::to_string(k + 1) + ". " + p.titulo + (p.obrigatorio ? " *" : "") +
                             " (" + p.formato + ")\n";
        std::string utf8 = Cp1252ToUtf8(header);
        std::fwrite(utf8.data(), 1, utf8.size(), stderr);
        std::string answer = EditarValor(p, editors);
        if (answer == kMarcaAnulacao) return -5;
        p.valor = answer;
    }
    return 0;
}

}  // namespace ordavo::cli
