#include "number_text.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "platform/tool_platform.h"

namespace rudid::cli {

std::string FormatNumber(double value, int significantDigits) {
    char text[64];
    const std::to_chars_result written =
        significantDigits > 0
            ? std::to_chars(text, text + sizeof text, value, std::chars_format::general, significantDigits)
            : std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

std::string_view TrimBlanks(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

namespace {

// A decimal number beyond the range of a double, rounded as every other one
// is, to the nearest double: a tiny one to zero, a huge one to infinity,
// each with its sign. strtod rounds so; it runs in the "C" locale, so that
// the decimal point is always ".".
double NearestDouble(std::string_view number) {
    return platform::DecimalToNearestDouble(std::string(number));
}

}  // namespace

std::optional<double> ParseNumber(std::string_view text) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return std::nullopt;  // "+-1"
    }
    if (text.empty()) return std::nullopt;
    double value = 0;
    const std::from_chars_result read = std::from_chars(text.data(), text.data() + text.size(), value);
    if (read.ptr != text.data() + text.size()) return std::nullopt;
    if (read.ec == std::errc::result_out_of_range) return NearestDouble(text);
    if (read.ec != std::errc()) return std::nullopt;
    return value;
}

std::string ReadArgument(std::string_view text, double *value) {
    const std::optional<double> number = ParseNumber(text);
    if (!number) return "is not a number";
    if (!std::isfinite(*number)) return "is not a finite number";
    *value = *number;
    return "";
}

}  // namespace rudid::cli
