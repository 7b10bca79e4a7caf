#include "csv_text.h"

#include "number_text.h"

namespace rudid::cli {

void AppendCsvField(std::string *row, std::string_view field, bool first) {
    if (!first) *row += ',';
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
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
