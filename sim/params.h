// Parameter and return-field layouts, named by the catalog's type names, and the cutting of a
// frame's parameter bytes into values by such a layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ordavo::sim {

struct ParamDef {
    std::string formato;
    int tamanho = 0;
    bool obrigatorio = true;
    std::string titulo;
};

struct FieldDef {
    std::string formato;
    int tamanho = 0;
    std::string titulo;
};

// Bytes that a parameter of this type and size puts on the wire: a fixed count, kVariable for
// texts sent whatever their length, or 0 for the types that send nothing.
constexpr int kVariable = -1;
int WireSize(const std::string& formato, int tamanho);

// Parameter errors as the printer reports them.
enum class ParamError { kNone, kCount, kType };

struct SplitResult {
    ParamError error = ParamError::kNone;
    std::string why;  // for the log
    // One entry per parameter of the layout; empty when the parameter was left out.
    std::vector<std::optional<std::string>> values;
};

// Cuts `bytes` by the layout. Optional parameters may each be missing (an empty optional
// parameter contributes nothing); among the ways to leave some out, the one keeping the most
// parameters, earliest first, is taken. A variable-size text takes what the fixed ones leave.
// Digits-only types are checked for digits, dates and times for their ranges.
SplitResult SplitParams(const std::vector<ParamDef>& layout, const uint8_t* bytes, size_t size);

// Layout shapes (wire sizes and optional flags, types that send nothing left out) compared.
bool SameWireShape(const std::vector<ParamDef>& a, const std::vector<ParamDef>& b);
std::string WireShapeText(const std::vector<ParamDef>& layout);

// Whole-field checks also used by the command handlers.
bool AllDigits(const std::string& s);
// DDMMYY (or DDMMYYYY when four_digit_year) and HHMMSS.
bool ValidDate(const std::string& s, bool four_digit_year, int* day = nullptr, int* month = nullptr,
               int* year = nullptr);
bool ValidTime(const std::string& s, int* hour = nullptr, int* minute = nullptr, int* second = nullptr);

}  // namespace ordavo::sim
