// Programming a printer from a configuration: reading the configuration the printer holds,
// the rules of the wizard's pages, saving to the store, and the command sequence that sends a
// configuration to the printer. Texts are Windows-1252 bytes.
#pragma once

#include <array>
#include <string>

#include "engine/ui.h"
#include "programming/core/equipment.h"
#include "sequences/core/sequencia.h"

namespace ordavo {

namespace textos {
inline constexpr char kProgramarEquipo[] = "Programar Equipo";
inline constexpr char kCargarExistentes[] = "Cargar configuraciones existentes";
inline constexpr char kCargarDelEquipo[] = "Cargar configuraciones del equipo";
inline constexpr char kNuevaConfiguracion[] = "Nueva configuraci\xF3n del equipo";
inline constexpr char kInformacionesGenerales[] = "Informaciones Generales";
inline constexpr char kTotalizadoresParciales[] = "Totalizadores Parciales no fiscales";
inline constexpr char kRestaurante[] = "Restaurante";
inline constexpr char kCargarDoOrdenador[] = "Cargar do ordenador";
inline constexpr char kSenaTamanho[] = "Se\xF1" "a com tamanho errado";
inline constexpr char kInformarSerial[] =
    "Para grabar el registro es necesario informar un n\xFAmero serial.";
inline constexpr char kSubstituirRegistro[] = "Deseas substituir el registro ya existente?";
inline constexpr char kRegistroNoSalvo[] = "Registro no salvo";
inline constexpr char kDeseaGrabarModificaciones[] = "Desea grabar las modificaciones?";
}  // namespace textos

// The password the sheet starts with, every time.
inline constexpr char kDefaultPassword[] = "C3C3C3C3C3C3C3C3C3C3";

// "Kestrel 1 R" and "Kestrel 2 R", 20-character padded names compared exactly.
bool IsRestaurantModel(const std::string& model_name);
// Totalizer names the printer holds: 30 above mask 255, else 50.
int TotalizerCount(int model_mask);
// A model name padded with spaces to (or cut at) 20 characters.
std::string PaddedModelName(const std::string& name);

// Reads the connected printer's configuration into `current`, one command per item (the rows
// chosen by `model_mask`). 0, or -4 after "Error al enviar comando" when a command went
// unanswered or was refused; the remaining items are then left as they were.
int ReadPrinterConfiguration(Equipment& current, int model_mask);

// "Billete de pasaje": the printer answers 0x00 in ticket mode, anything else for sales receipts
// (as the answer's text says).
bool TicketModeByte(uint8_t value);
// The answer bytes recorded in a command's dump after "RET:"; false when there are none.
bool AnswerBytesFromDump(const std::string& dump, std::vector<uint8_t>& out);

// The header as the printer holds it (its formatting sequences) in the marker words.
std::string HeaderWithMarkers(std::string printer_text);

// ---------------------------------------------------------------- the sheet's rules

// The IVA radio of rate n (from 1): 1 when character n of `vinc` is there and not "0".
int VincRadio(const std::string& vinc, int n);
// Sixteen characters, "1" for each rate whose radio is not 0.
std::string VincFromRadios(const std::array<int, Equipment::kRates>& radios);
// Every space removed.
std::string WithoutSpaces(std::string text);

// The restaurant page.
struct RestaurantChoice {
    int restaurant = 0;  // 0 restaurant, 1 store
    bool check_coupon = false;
    int parameter = 0;  // 0 to 3
};
RestaurantChoice RestaurantChoiceFrom(const Equipment& e);
void ApplyRestaurantChoice(Equipment& e, const RestaurantChoice& c);

// "Cargar do ordenador": the computer's date (DDMMYY) and time (HHMMSS).
void ComputerDateTime(std::string& data, std::string& hora);

// The save question after the sheet: asks, and saves `current` under its serial number into
// the store file, with every message of the way. True when the file was written.
bool OfferToSave(const Equipment& current, const std::string& store_file, UserInterface& ui);

// ---------------------------------------------------------------- the programming sequence

// The value of the rate command: the count of rates that count (four characters, not "0000")
// as two digits, those rates in order, then "0000" for every other rate.
std::string RateSequenceValue(const std::array<std::string, Equipment::kRates>& rates);

// "Programa maquina": the commands that program `e` into the printer. A password that is not
// 20 characters shows "Seña com tamanho errado" and leaves the identity command's "SENHA"
// empty, so that the command is refused without being sent.
SequenciaComandos BuildProgrammingSequence(const Equipment& e, int model_mask, const std::string& model_name);

// Runs the sequence once, on after failures: its result (as ExecutarSequencia), text and dump.
int32_t RunProgramming(SequenciaComandos& sequence);

}  // namespace ordavo
