// The little of CSV that rows of numbers need.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rudid::cli {

// Appends one field, quoted when it holds a comma, a quotation mark or a
// line break, with the separating comma unless it is the first of its row.
void AppendCsvField(std::string *row, std::string_view field, bool first = false);

// The fields of a line separated by commas (or the delimiter given), each
// without the blanks around it and without one pair of enclosing quotation
// marks. Numbers hold no delimiters, so quoted ones are not looked for.
std::vector<std::string_view> SplitCsvLine(std::string_view line, char delimiter = ',');

// The delimiter of a spreadsheet's export, told by its first line: a tab,
// else a semicolon (European exports, whose numbers may have decimal
// commas), else a comma.
char DetectDelimiter(std::string_view line);

// The first line of a file without the UTF-8 byte-order mark (EF BB BF)
// that Excel's "CSV UTF-8" writes before it; any other line as it is.
std::string_view WithoutByteOrderMark(std::string_view firstLine);

}  // namespace rudid::cli
