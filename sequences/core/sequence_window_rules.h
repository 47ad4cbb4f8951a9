// The sequence window's rules that need no widgets: sequence names, the run fields' numbers,
// which catalog commands the window offers, and the file its command reference opens.
#pragma once

#include <string>

#include "engine/comando.h"
#include "shell/core/settings.h"

namespace ordavo {

enum class NomeSequencia {
    Valido,    // `name` holds the title to store
    Invalido,  // a character outside 7-bit ASCII: "Nombre Inválido"
    Vazio,     // nothing was typed: "Registro no salvo"
};

// Turns what the name window answered (already space-padded to 20) into a title: refused when a
// character would not survive the conversion to the printer's OEM code page, else upper case
// without < > \ ' " / ! ? ; and full stops. The padding stays, so a removed character shortens
// the title.
NomeSequencia NormalizarNomeSequencia(const std::string& typed, std::string& name);

enum class CampoNumerico {
    Ok,
    NaoNumero,    // "Please enter an integer."
    ForaDaFaixa,  // "Please enter an integer between %1 and %2."
};

// Reads a run field the way the dialog data exchange does: blanks around an optional sign and
// digits; anything else, or an empty text, is not a number. `out` is set only for Ok.
CampoNumerico LerCampoInteiro(const std::string& text, int lower, int upper, int& out);

// The validation message for a field that did not read.
std::string MensagemCampoInteiro(CampoNumerico result, int lower, int upper);

// Whether the window lists a catalog command for the configured model.
bool ComandoDisponivel(const Comando& c, const Settings& s);

// The catalog that "Referéncia de los comandos" opens from the sequence window: the country's
// own file for CHILE and VENEZUELA, else the last loaded catalog, else "comandos.xml".
std::string ReferenciaComandosSequencias(const Settings& s);

}  // namespace ordavo
