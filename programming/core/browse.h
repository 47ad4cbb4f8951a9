// The rules of the browse window "Cargar configuraciones existentes", without the window:
// what its combo boxes and its list hold, what a search finds, what the description says and
// what "Excluir" removes.
#pragma once

#include <string>
#include <vector>

#include "programming/core/equipment.h"

namespace ordavo {

// The client box: each client the box does not hold yet, compared ignoring case (the first
// spelling stays), in sorted order. Empty clients are left out unless `with_empty`.
std::vector<std::string> ClientEntries(const std::vector<Equipment>& records, bool with_empty);
// The serial box: every record's serial number (repeats included), sorted.
std::vector<std::string> SerialEntries(const std::vector<Equipment>& records);
// The serial box after the client box lost the focus: the serials of that exact client, sorted.
std::vector<std::string> SerialsOfClient(const std::vector<Equipment>& records, const std::string& client);

// "Buscar": the serial numbers of the records that match, in list order. With only a serial,
// the records of that serial; with only a client, that client's records; with both, records
// matching both; with neither, nothing. All comparisons exact.
std::vector<std::string> SearchRecords(const std::vector<Equipment>& records, const std::string& client,
                                       const std::string& serial);

// The five-line description of a record, lines joined by CR LF.
std::string RecordDescription(const Equipment& e);
// The last record of that serial number, or null.
const Equipment* LastOfSerial(const std::vector<Equipment>& records, const std::string& serial);
// "Excluir": removes every record of that serial number; the number removed.
int RemoveSerial(std::vector<Equipment>& records, const std::string& serial);

// The sorted order of the window's combo boxes: ignoring case, as the platform's sorted boxes.
bool ComboLess(const std::string& a, const std::string& b);

namespace textos {
inline constexpr char kCargarConfiguraciones[] = "Cargar configuraciones existentes";
inline constexpr char kClientes[] = "Clientes";
inline constexpr char kNumeroSerial[] = "N\xFAmero serial";
inline constexpr char kBuscar[] = "Buscar";
inline constexpr char kRegistrosEncuentrados[] = "Registros encuentrados";
inline constexpr char kDescripcion[] = "Descripci\xF3n";
inline constexpr char kExcluir[] = "Excluir";
inline constexpr char kCargarConfiguracion[] = "Cargar configuraci\xF3n";
inline constexpr char kDeseaGrabar[] = "Desea grabar las modificaciones?";
inline constexpr char kElijaRegistro[] = "Por favor, elija un registro.";
inline constexpr char kCliente[] = "Cliente";
inline constexpr char kRif[] = "RIF";
inline constexpr char kIeBrasil[] = "IE (BRASIL)";
inline constexpr char kNit[] = "NIT";
}  // namespace textos

}  // namespace ordavo
