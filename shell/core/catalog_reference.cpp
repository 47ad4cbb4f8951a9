#include "shell/core/catalog_reference.h"

#include <algorithm>

#include "engine/util.h"

namespace ordavo {
namespace {

std::string Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string AnswerText(int32_t length) {
    if (length == -1) return "texto terminado en ETX";
    if (length == -2) return "texto terminado en NUL (sin estado)";
    return Format("%d bytes de datos", length);
}

}  // namespace

std::string CatalogReferenceHtml(const std::vector<Comando>& commands, const std::string& source_file) {
    // Groups in the order of their first command, as in the menus.
    std::vector<std::string> groups;
    for (const Comando& c : commands)
        if (std::find(groups.begin(), groups.end(), c.tipo) == groups.end()) groups.push_back(c.tipo);

    std::string html = "<html><head><title>Refer\xE9ncia de los comandos</title></head><body>";
    html += "<h1>Refer\xE9ncia de los comandos</h1><p>" + Escape(source_file) + Format(" &mdash; %zu comandos", commands.size()) + "</p>";
    html += "<p>";
    for (size_t g = 0; g < groups.size(); ++g)
        html += Format("<a href=\"#g%zu\">", g) + Escape(groups[g]) + "</a>&nbsp;&nbsp; ";
    html += "</p>";
    for (size_t g = 0; g < groups.size(); ++g) {
        html += Format("<h2><a name=\"g%zu\"></a>", g) + Escape(groups[g]) + "</h2>";
        for (const Comando& c : commands) {
            if (c.tipo != groups[g]) continue;
            html += "<h3>" + Escape(c.titulo) + "</h3>";
            html += "<p>Escape: <code>" + Escape(c.escape) + "</code> &mdash; respuesta: " + AnswerText(c.tamanho_retorno);
            if (!c.escape_valido) html += " &mdash; <b>escape inv\xE1lido: no se env\xED" "a</b>";
            html += "</p>";
            if (!c.parametros.empty()) {
                html += "<table border=\"1\" cellpadding=\"3\" cellspacing=\"0\"><tr><th>#</th><th>Par\xE1metro</th>"
                        "<th>Tipo</th><th>Tama\xF1o</th><th>Obligat\xF3rio</th></tr>";
                for (size_t k = 0; k < c.parametros.size(); ++k) {
                    const Parametro& p = c.parametros[k];
                    html += Format("<tr><td>%zu</td><td>", k + 1) + Escape(p.titulo) + "</td><td>" + Escape(p.formato) +
                            Format("</td><td>%d</td><td>", p.tamanho) + (p.obrigatorio ? "s\xED" : "no") + "</td></tr>";
                }
                html += "</table>";
            }
            if (!c.retornos.empty()) {
                html += "<p>Campos de retorno:</p><table border=\"1\" cellpadding=\"3\" cellspacing=\"0\"><tr>"
                        "<th>Campo</th><th>Tipo</th><th>Tama\xF1o</th></tr>";
                for (const Retorno& r : c.retornos)
                    html += "<tr><td>" + Escape(r.titulo) + "</td><td>" + Escape(r.formato) +
                            Format("</td><td>%d</td></tr>", r.tamanho);
                html += "</table>";
            }
        }
    }
    html += "</body></html>";
    return html;
}

}  // namespace ordavo
