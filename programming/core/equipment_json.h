// A configuration as a JSON object, for the command line: the keys are the file's element
// names, flags are true or false, texts are UTF-8. Reading checks every key and value against
// what the programming sheet accepts.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "programming/core/equipment.h"

namespace ordavo {

// Every stored field, in file order (the password is never part of it).
nlohmann::ordered_json EquipmentToJson(const Equipment& e);

// A record from a JSON document holding one object. Missing keys keep the defaults; the serial
// number loses its spaces, as the sheet saves it. False with a message naming the key for
// anything else: a document that does not parse, an unknown key, a value of the wrong kind,
// a text longer than its box, characters outside Windows-1252, a non-hexadecimal "senha".
bool EquipmentFromJson(const std::string& utf8, Equipment& out, std::string& error);

// The longest text the sheet takes for a field (0: the field has no box of its own).
int EquipmentFieldLimit(const EquipmentField& f);

// True for 0 to 20 hexadecimal digits.
bool IsHexPassword(const std::string& text);

}  // namespace ordavo
