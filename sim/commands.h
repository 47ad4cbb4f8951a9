// Pieces shared by the command handlers.
#pragma once

#include <cstdint>
#include <string>

#include "sim/printer.h"

namespace ordavo::sim {

// A surcharge or discount written as "A" or "D", then "%" or "$", then digits: a percentage
// with two decimals or an amount in cents.
struct Adjustment {
    bool surcharge = false;
    bool percent = false;
    int64_t value = 0;
};
bool ParseAdjustment(const std::string& text, Adjustment& out);
// Signed amount in cents: positive for a surcharge, negative for a discount.
int64_t ApplyAdjustment(const Adjustment& adj, int64_t base, bool truncate);

// No document may be open, and the memory and the day must allow a new one; refuses otherwise.
bool CanOpenDocument(Printer& p, Answer& a);

}  // namespace ordavo::sim
