// What the library's state flags mean to the user: one line of plain words
// per reason, with how large the error can be there.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rudid::cli {

// The library's flags for the answer of the named function at these
// arguments (RudidStateFlags, or RudidContextEvaluate's in the tool's
// context); 0 when it reports nothing.
int StateFlags(const std::string &function, double first, double second);

// The same for many rows, in one pass through the tables where the library
// has RudidEvaluateWithFlags or the tool has a context; second as long as
// first.
std::vector<int> StateFlagsOfRows(const std::string &function, std::span<const double> first,
                                  std::span<const double> second);

// One "caution: ..." line per reason set in flags, in the order of the bits,
// with what to do about it; "caution: h: ..." with the property named.
std::vector<std::string> CautionLines(int flags, std::string_view name = "");

// The cautions of several properties (a whole state): flags[k] those of
// the property called names[k]. One line per reason, naming the properties
// it applies to: "caution: v, s: the table's grid is coarse ...".
std::vector<std::string> PropertyCautionLines(std::span<const int> flags, std::span<const std::string_view> names);

// The same in a few words, for one CSV field: "caution: v, s: coarse-grid
// (...)"; "" for none.
std::string PropertyCautionSummary(std::span<const int> flags, std::span<const std::string_view> names);

// The reasons as short words joined by "+" ("mixed-phase-cell+near-saturation");
// "" for none. For a CSV column.
std::string FlagWords(int flags);

// The reasons in a few words each, for the message of a row whose answer
// the tables are poor for: "caution: mixed-phase-cell (liquid and vapour
// table points mixed; enthalpy seen off by up to 7,900 %)". "" for none.
std::string CautionSummary(int flags);

}  // namespace rudid::cli
