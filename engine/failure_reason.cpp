#include "engine/failure_reason.h"

#include "engine/util.h"

namespace ordavo {
namespace {

bool Has(const std::string& text, const char* what) { return text.find(what) != std::string::npos; }

std::string Shown(const std::string& port_name) { return port_name.empty() ? "(sin nombre)" : port_name; }

// What usually fixes an open failure, by the system's reason.
std::string Remedio(const std::string& port_name, const std::string& error) {
    if (port_name == "USB") {
        if (Has(error, "Access denied") || Has(error, "udev") || Has(error, "ermission"))
            return " Sin acceso a la impresora USB: instale la regla udev (60-ordavo-printers.rules en "
                   "/etc/udev/rules.d/), ejecute \"udevadm control --reload\" y vuelva a conectar la impresora.";
        if (Has(error, "no USB printer"))
            return " No hay ninguna impresora USB conectada: revise el cable y que la impresora est\xE9 encendida.";
        return "";
    }
    if (port_name == "SOCKET") {
        if (Has(error, "refused"))
            return " El equipo rechaz\xF3 la conexi\xF3n: no hay ning\xFAn programa escuchando en esa direcci\xF3n y puerto.";
        if (Has(error, "no connection within"))
            return " El equipo no contest\xF3: revise la direcci\xF3n y la red.";
        return "";
    }
    if (port_name == "FILE") return " Revise la carpeta de los archivos de intercambio y sus permisos.";
    if (Has(error, "in use") || Has(error, "busy"))
        return " El puerto est\xE1 en uso por otro programa (port in use): ci\xE9rrelo o elija otro puerto.";
    if (Has(error, "Permission denied"))
        return " Su usuario no tiene acceso al puerto: agr\xE9guelo al grupo dialout "
               "(sudo usermod -aG dialout $USER) y vuelva a iniciar la sesi\xF3n.";
    if (Has(error, "No such file"))
        return " El puerto no existe: revise el nombre del puerto en Configuraciones.";
    if (Has(error, "Not a typewriter") || Has(error, "Inappropriate ioctl"))
        return " Ese nombre no es un puerto serie.";
    return "";
}

}  // namespace

const char* const kMotivoPrefixo = "Motivo: ";

std::string MotivoAbertura(const std::string& port_name, const std::string& device_error) {
    std::string what = port_name == "SOCKET" ? "no se pudo conectar con el equipo"
                       : port_name == "FILE" ? "no se pudo abrir el archivo de intercambio"
                                             : "no se pudo abrir el puerto " + Shown(port_name);
    std::string out = kMotivoPrefixo + what;
    if (!device_error.empty()) out += " (" + device_error + ")";
    out += ".";
    out += Remedio(port_name, device_error);
    return out;
}

std::string MotivoSemTransporte(const std::string& port_name) {
    return kMotivoPrefixo + std::string("no hay transporte para el puerto ") + Shown(port_name) + ".";
}

std::string MotivoSilencio(const std::string& port_name, int64_t silent_ms, int32_t received, int32_t expected) {
    const long long seconds = static_cast<long long>((silent_ms + 500) / 1000);
    if (received <= 0)
        return kMotivoPrefixo + Format("la impresora no respondi\xF3 durante %lld s despu\xE9s de enviado el comando "
                                       "por %s.",
                                       seconds, Shown(port_name).c_str());
    std::string of = expected > 0 ? Format(" de %d", expected) : std::string();
    return kMotivoPrefixo + Format("la impresora dej\xF3 de responder despu\xE9s de %d%s bytes (%lld s en silencio, "
                                   "puerto %s).",
                                   received, of.c_str(), seconds, Shown(port_name).c_str());
}

std::string MotivoConexaoPerdida(const std::string& port_name, const std::string& device_error) {
    std::string out = kMotivoPrefixo + std::string("se perdi\xF3 la conexi\xF3n con la impresora (") + Shown(port_name);
    if (!device_error.empty()) out += ": " + device_error;
    return out + ").";
}

std::string MotivoCancelado() { return kMotivoPrefixo + std::string("cancelado por el usuario."); }

}  // namespace ordavo
