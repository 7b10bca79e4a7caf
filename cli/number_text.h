// Numbers as the tool reads and writes them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rudid::cli {

// The shortest decimal text that reads back as exactly the same double
// (significantDigits 0), or the value rounded to that many significant
// digits. Locale-independent.
std::string FormatNumber(double value, int significantDigits = 0);

// A decimal number with optional blanks around it and an optional leading
// "+" ("10", "-5", "1e-3", "inf", "nan"); nothing else may follow it.
// Locale-independent. No value for anything else, or for a number beyond
// the range of a double.
std::optional<double> ParseNumber(std::string_view text);

// Text without leading and trailing blanks, tabs and carriage returns.
std::string_view TrimBlanks(std::string_view text);

}  // namespace rudid::cli
