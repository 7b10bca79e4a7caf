#include "units/unit_recognition.h"

#include <cstring>

namespace rudid {

namespace {

// Longer than every accepted name, which are at most 11 characters; a longer
// name cannot match and is refused without being looked up.
constexpr std::size_t kNameBufferSize = 16;

constexpr Real48 kOne = {{0x81, 0x00, 0x00, 0x00, 0x00, 0x00}};

}  // namespace

bool NormaliseUnitName(const char *in, char *out, std::size_t size) {
    std::size_t i = 0;
    for (; in[i] != '\0'; ++i) {
        if (i + 1 >= size) {
            out[i] = '\0';
            return false;
        }
        const char c = in[i];
        out[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    out[i] = '\0';
    return true;
}

std::optional<UnitFactor> RecogniseUnit(QuantityCode code, const char *name) {
    const bool empty = name == nullptr || name[0] == '\0';
    // A number without unit: only the empty name, with the factor 1.
    if (code == Dimensionless) return empty ? std::optional<UnitFactor>(kOne) : std::nullopt;
    const RecognitionTable table = RecognitionTableFor(code);
    if (table.rows == nullptr || empty) return std::nullopt;

    char upper[kNameBufferSize];
    if (!NormaliseUnitName(name, upper, sizeof upper)) return std::nullopt;
    for (int r = 0; r < table.rowCount; ++r) {
        const UnitNameRow &row = table.rows[r];
        for (const char *candidate : row.names)
            if (candidate != nullptr && std::strcmp(candidate, upper) == 0) return row.factor;
    }
    return std::nullopt;
}

}  // namespace rudid
