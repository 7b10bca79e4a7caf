#include "csv_text.h"

#include <algorithm>

#include "number_text.h"

namespace rudid::cli {

void AppendCsvField(std::string *row, std::string_view field, bool first, char delimiter) {
    if (!first) *row += delimiter;
    const char special[] = {delimiter, '"', '\r', '\n', '\0'};
    if (field.find_first_of(special) == std::string_view::npos) {
        *row += field;
        return;
    }
    *row += '"';
    for (char c : field) {
        if (c == '"') *row += '"';
        *row += c;
    }
    *row += '"';
}

std::string WithDecimalPoint(std::string field) {
    const std::size_t comma = field.find(',');
    if (comma != std::string::npos && field.find(',', comma + 1) == std::string::npos &&
        field.find('.') == std::string::npos)
        field[comma] = '.';
    return field;
}

namespace {

// The next field of a comma-separated row as AppendCsvField writes it,
// without its quotation marks; *rest is left past the comma after it, and
// *more tells whether there was one.
std::string NextWrittenField(std::string_view *rest, bool *more) {
    std::string field;
    std::size_t i = 0;
    if (!rest->empty() && rest->front() == '"') {
        for (i = 1; i < rest->size() && !((*rest)[i] == '"' && (i + 1 == rest->size() || (*rest)[i + 1] != '"'));
             ++i) {
            field += (*rest)[i];
            if ((*rest)[i] == '"') ++i;  // a doubled quotation mark stands for one
        }
        ++i;  // past the closing mark
    } else {
        i = std::min(rest->find(','), rest->size());
        field = rest->substr(0, i);
    }
    *more = i < rest->size() && (*rest)[i] == ',';
    rest->remove_prefix(std::min(i + 1, rest->size()));
    return field;
}

}  // namespace

std::string WithDelimiter(std::string_view rows, char delimiter, bool decimalComma) {
    std::string out;
    out.reserve(rows.size() + rows.size() / 8);
    while (!rows.empty()) {
        const std::size_t end = std::min(rows.find('\n'), rows.size());
        std::string_view row = rows.substr(0, end);
        rows.remove_prefix(std::min(end + 1, rows.size()));
        bool more = true;
        for (bool first = true; more; first = false) {
            std::string field = NextWrittenField(&row, &more);
            if (decimalComma && ParseNumber(field) && field.find('.') != std::string::npos)
                field[field.find('.')] = ',';
            AppendCsvField(&out, field, first, delimiter);
        }
        out += '\n';
    }
    return out;
}

char DetectDelimiter(std::string_view line) {
    if (line.find('\t') != std::string_view::npos) return '\t';
    if (line.find(';') != std::string_view::npos) return ';';
    return ',';
}

std::string_view WithoutByteOrderMark(std::string_view firstLine) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (firstLine.starts_with(kByteOrderMark)) firstLine.remove_prefix(kByteOrderMark.size());
    return firstLine;
}

std::vector<std::string_view> SplitCsvLine(std::string_view line, char delimiter) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t comma = line.find(delimiter);
        std::string_view field = TrimBlanks(line.substr(0, comma));
        if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
            field = TrimBlanks(field.substr(1, field.size() - 2));
        fields.push_back(field);
        if (comma == std::string_view::npos) return fields;
        line.remove_prefix(comma + 1);
    }
}

}  // namespace rudid::cli
