// The line that follows "Error al enviar comando" and tells the technician why a command got
// no answer, and what usually fixes it. Texts are Windows-1252.
#pragma once

#include <cstdint>
#include <string>

namespace ordavo {

// Every reason line starts with this.
extern const char* const kMotivoPrefixo;

// The port named by the settings could not be opened; `device_error` is the transport's own
// reason ("/dev/ttyS2: Permission denied", "127.0.0.1:21: Connection refused").
std::string MotivoAbertura(const std::string& port_name, const std::string& device_error);
// No transport could be made for the port setting.
std::string MotivoSemTransporte(const std::string& port_name);
// The printer sent nothing (or stopped after `received` of `expected` bytes; `expected` < 0
// for an answer that ends with a terminator) for `silent_ms` after the frame went out.
std::string MotivoSilencio(const std::string& port_name, int64_t silent_ms, int32_t received, int32_t expected);
// The link went away while the answer was read.
std::string MotivoConexaoPerdida(const std::string& port_name, const std::string& device_error);
std::string MotivoCancelado();

}  // namespace ordavo
