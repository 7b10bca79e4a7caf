// The unit catalogue holds together: every name that a selection word can
// give for any of the 26 quantity codes is recognised by that code's table,
// converts in and back out consistently, and names one unit only. A tool
// that offers the names of the lists and writes the index of the chosen
// name into default.cfg relies on all three.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <set>
#include <string>

#include "common/real48.h"
#include "units/quantity.h"
#include "units/unit_recognition.h"
#include "units/unit_selection.h"
#include "units/value_conversion.h"

namespace rudid {
namespace {

QuantityCode Code(int n) { return static_cast<QuantityCode>(n); }

// The word of default.cfg that selects the unit of a code.
int WordOf(int code) { return code == PerDegree ? Temperature : code; }

// Every value a selection word can hold that matters: each index of the
// list, the first one past it and the extremes.
std::set<int> SelectionsToTry(int lastIndex) {
    std::set<int> selections = {-1, lastIndex + 1, std::numeric_limits<std::int16_t>::min(),
                                std::numeric_limits<std::int16_t>::max()};
    for (int k = 0; k <= lastIndex; ++k) selections.insert(k);
    return selections;
}

TEST(UnitCatalogue, EverySelectionOfEveryQuantityGivesARecognisedName) {
    int listed = 0;
    for (int code = 0; code < kQuantityCodeCount; ++code) {
        const UnitList list = UnitListFor(Code(code));
        std::int16_t words[kUnitSelectionWordCount] = {};
        if (list.names == nullptr) {
            // Dimensionless has the empty name; reserved codes have none.
            const char *name = UnitNameFor(Code(code), words);
            if (code == Dimensionless) {
                ASSERT_NE(name, nullptr);
                EXPECT_TRUE(RecogniseUnit(Code(code), name).has_value());
            } else {
                EXPECT_EQ(name, nullptr) << "code " << code;
            }
            continue;
        }
        for (int selection : SelectionsToTry(list.lastIndex)) {
            words[WordOf(code)] = std::int16_t(selection);
            const char *name = UnitNameFor(Code(code), words);
            ASSERT_NE(name, nullptr) << "code " << code << " selection " << selection;
            const bool inList = selection >= 0 && selection <= list.lastIndex;
            EXPECT_STREQ(name, list.names[inList ? selection : 0]) << "code " << code;
            const std::optional<UnitFactor> factor = RecogniseUnit(Code(code), name);
            ASSERT_TRUE(factor.has_value()) << "code " << code << " \"" << name << "\"";
            if (code != Temperature) {
                const Extended f = Real48ToExtended(*factor);
                EXPECT_TRUE(f > 0 && std::isfinite(f)) << "code " << code << " \"" << name << "\"";
            }
            listed += inList ? 1 : 0;
        }
    }
    EXPECT_EQ(listed, 107);
}

TEST(UnitCatalogue, EachListNamesEachUnitOnceAndOffersTheInternalUnit) {
    for (int code = 0; code < kQuantityCodeCount; ++code) {
        const UnitList list = UnitListFor(Code(code));
        if (list.names == nullptr) continue;
        std::set<std::string> seen;
        bool internal = false;
        for (int k = 0; k <= list.lastIndex; ++k) {
            char upper[32];
            ASSERT_TRUE(NormaliseUnitName(list.names[k], upper, sizeof upper));
            // Recognition ignores case, so names equal but for case would
            // select the same unit under two indices.
            EXPECT_TRUE(seen.insert(upper).second) << "code " << code << " repeats " << list.names[k];
            const Extended factor = Real48ToExtended(*RecogniseUnit(Code(code), list.names[k]));
            // The internal unit: factor 1, or the Celsius scale 0.
            internal = internal || factor == (code == Temperature ? 0 : 1);
        }
        EXPECT_TRUE(internal) << "code " << code << " offers no name for its internal unit";
    }
}

TEST(UnitCatalogue, EveryListedUnitConvertsInAndBackOut) {
    for (int code = 0; code < kQuantityCodeCount; ++code) {
        const UnitList list = UnitListFor(Code(code));
        if (list.names == nullptr) continue;
        for (int k = 0; k <= list.lastIndex; ++k) {
            const Extended factor = Real48ToExtended(*RecogniseUnit(Code(code), list.names[k]));
            for (Extended value : {1.0L, 123.456L, -42.0L}) {
                const Extended given = RoundToReal48(value);
                const Extended internal = ToInternalUnit(Code(code), given, factor);
                if (code != Temperature) {
                    EXPECT_EQ(internal, RoundToReal48(given * factor)) << list.names[k];
                }
                const Extended back = FromInternalUnit(Code(code), internal, factor);
                // Two roundings to six-byte reals (39 fraction bits) apart,
                // the first at the size of the internal value.
                const double tolerance = (std::fabs(double(given)) + std::fabs(double(internal))) * 0x1p-36;
                EXPECT_NEAR(double(back), double(given), tolerance)
                    << "code " << code << " \"" << list.names[k] << "\"";
            }
        }
    }
}

}  // namespace
}  // namespace rudid
