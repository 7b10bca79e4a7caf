// Numbers as the tool reads and writes them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rudid::cli {

// Seven significant digits: about what tables stored in single precision
// can mean.
constexpr int kDefaultDigits = 7;

// The value rounded to that many significant digits, or (significantDigits
// 0) the shortest decimal text that reads back as exactly the same double.
// Locale-independent.
std::string FormatNumber(double value, int significantDigits);

// A decimal number with optional blanks around it and an optional leading
// "+" ("10", "-5", "1e-3", "inf", "nan"); nothing else may follow it.
// Locale-independent. Every number reads as the nearest double: one too
// small for a double as zero, one too large as infinity. No value for
// anything else.
std::optional<double> ParseNumber(std::string_view text);

// An argument for the library: a finite number. On success the value is
// stored and "" returned; otherwise why not: "is not a number" or "is not
// a finite number".
std::string ReadArgument(std::string_view text, double *value);

// Text without leading and trailing blanks, tabs and carriage returns.
std::string_view TrimBlanks(std::string_view text);

}  // namespace rudid::cli
