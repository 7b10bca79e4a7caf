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

void RecogniseUnit(QuantityCode code, const char *name, UnitFactor *factor, int *failed) {
    *failed = 1;
    const bool empty = name == nullptr || name[0] == '\0';
    if (code == Dimensionless) {
        // A number without unit: factor 1 whatever the name, but only the
        // empty name counts as recognised.
        *factor = kOne;
        if (empty) *failed = 0;
        return;
    }
    const RecognitionTable table = RecognitionTableFor(code);
    if (table.rows == nullptr || empty) return;

    char upper[kNameBufferSize];
    if (!NormaliseUnitName(name, upper, sizeof upper)) return;
    for (int r = 0; r < table.rowCount; ++r) {
        const UnitNameRow &row = table.rows[r];
        for (const char *candidate : row.names) {
            if (candidate != nullptr && std::strcmp(candidate, upper) == 0) {
                *factor = row.factor;
                *failed = 0;
                return;
            }
        }
    }
}

}  // namespace rudid
