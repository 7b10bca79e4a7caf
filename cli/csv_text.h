// The little of CSV that rows of numbers need.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rudid::cli {

// Appends one field, quoted when it holds the delimiter, a quotation mark
// or a line break, with the delimiter before it unless it is the first of
// its row.
void AppendCsvField(std::string *row, std::string_view field, bool first = false, char delimiter = ',');

// A number written with a decimal comma ("10,5"), as a semicolon- or
// tab-separated export has it, in the reader's form ("10.5"); any other
// field as it is.
std::string WithDecimalPoint(std::string field);

// Rows written with commas, one a line, rewritten for a spreadsheet whose
// list separator is `delimiter`; with decimalComma its numbers get decimal
// commas ("10.5" as "10,5"), as a European export writes them.
std::string WithDelimiter(std::string_view rows, char delimiter, bool decimalComma);

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
