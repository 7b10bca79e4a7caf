// The tool's input readers with arbitrary text: the number reader, the CSV
// fields of a row and the line reader of standard input. A number read must
// be the double strtod reads (in the "C" locale) from the same text, and
// what the tool prints must read back as the same double; fields written
// as CSV must split back into the same fields; lines must end at LF, CR or
// CR LF, be cut at the bound with the cut told, and lose no input.
#include <locale.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "csv_text.h"
#include "fuzz_checks.h"
#include "line_reader.h"
#include "number_text.h"

namespace {

using namespace rudid::fuzzing;
using rudid::cli::ParseNumber;

std::uint64_t Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void CheckNumber(const std::string &text) {
    const std::optional<double> value = ParseNumber(text);
    if (!value) return;
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    const std::string trimmed(rudid::cli::TrimBlanks(text));
    const double expected = ::strtod_l(trimmed.c_str(), nullptr, cLocale);
    FUZZ_CHECK(std::isnan(*value) ? std::isnan(expected) : Bits(*value) == Bits(expected),
               "\"" + text + "\" read as another double than strtod reads");
    if (!std::isfinite(*value)) return;
    for (int digits : {0, 7, 17}) {
        const std::string printed = rudid::cli::FormatNumber(*value, digits);
        const std::optional<double> back = ParseNumber(printed);
        FUZZ_CHECK(back.has_value(), "\"" + printed + "\" printed but not read");
        if (digits != 7) FUZZ_CHECK(Bits(*back) == Bits(*value), "\"" + printed + "\" does not read back");
    }
}

// Fields without commas, blanks at their ends or enclosing quotes come back
// from a row of them as they were.
void CheckCsv(const std::vector<std::string> &fields) {
    std::string row;
    for (std::size_t i = 0; i < fields.size(); ++i) rudid::cli::AppendCsvField(&row, fields[i], i == 0);
    const std::vector<std::string_view> split = rudid::cli::SplitCsvLine(row);
    FUZZ_CHECK(split.size() == fields.size(), "row \"" + row + "\" splits into another number of fields");
    for (std::size_t i = 0; i < fields.size(); ++i)
        FUZZ_CHECK(split[i] == fields[i], "field \"" + fields[i] + "\" came back as \"" + std::string(split[i]) + "\"");
}

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::vector<std::string> PlainFields(FuzzedDataProvider &data) {
    std::vector<std::string> fields(data.ConsumeIntegralInRange(1, 4));
    for (std::string &field : fields) {
        for (char c : data.ConsumeRandomLengthString(10))
            if (c != ',' && c != '"' && c != '\n') field += c;
        while (!field.empty() && Blank(field.back())) field.pop_back();
        while (!field.empty() && Blank(field.front())) field.erase(0, 1);
    }
    return fields;
}

// The lines of text read the plain way, each cut to the bound.
struct Line {
    std::string text;
    bool tooLong;
};
std::vector<Line> ExpectedLines(const std::string &text, std::size_t bound) {
    std::vector<Line> lines;
    std::string current;
    bool open = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.push_back({current.substr(0, bound), current.size() > bound});
            current.clear();
            open = false;
        } else {
            current += text[i];
            open = true;
        }
    }
    if (open) lines.push_back({current.substr(0, bound), current.size() > bound});
    return lines;
}

void CheckLines(const std::string &text, std::size_t bound) {
    int fds[2];
    FUZZ_CHECK(::pipe(fds) == 0, "no pipe");
    FUZZ_CHECK(::write(fds[1], text.data(), text.size()) == ssize_t(text.size()), "the pipe is full");
    ::close(fds[1]);
    rudid::cli::LineReader reader(fds[0], bound);
    std::vector<Line> lines;
    std::string line;
    bool tooLong = false;
    while (reader.Next(&line, &tooLong, nullptr)) lines.push_back({line, tooLong});
    ::close(fds[0]);
    const std::vector<Line> expected = ExpectedLines(text, bound);
    FUZZ_CHECK(lines.size() == expected.size(), std::to_string(lines.size()) + " lines, not " +
                                                    std::to_string(expected.size()));
    for (std::size_t i = 0; i < lines.size(); ++i)
        FUZZ_CHECK(lines[i].text == expected[i].text && lines[i].tooLong == expected[i].tooLong,
                   "line " + std::to_string(i + 1) + " is \"" + lines[i].text + "\"");
    FUZZ_CHECK(!reader.failed(), "reading the pipe failed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::size_t bound = data.ConsumeIntegralInRange<std::size_t>(1, 64);
    CheckNumber(data.ConsumeRandomLengthString(40));
    CheckCsv(PlainFields(data));
    CheckLines(data.ConsumeRemainingBytesAsString(), bound);
    return 0;
}
