// Rows of arguments from standard input, evaluated through the library's
// batch function a chunk at a time, answered as CSV on standard output.
// Memory stays the same whatever the length of the input.
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "configured_units.h"
#include "csv_text.h"
#include "library_call.h"
#include "line_reader.h"
#include "number_text.h"
#include "rudid32.h"

namespace rudid::cli {

namespace {

constexpr std::size_t kChunkRows = 4096;
// Numbers are short; a longer line is reported, not kept.
constexpr std::size_t kLongestLine = 1024;

struct Row {
    std::size_t lineNumber = 0;
    std::string fields[2];
    std::string problem;  // why the row is malformed; empty for a row of numbers
};

struct Tally {
    std::size_t answered = 0, outOfRange = 0, failed = 0, malformed = 0;
    std::size_t rows() const { return answered + outOfRange + failed + malformed; }
};

std::string ColumnTitle(Quantity quantity, const ConfiguredUnits &units) {
    const std::string unit = units.NameOf(quantity);
    return unit.empty() ? QuantityWord(quantity) : std::string(QuantityWord(quantity)) + " [" + unit + "]";
}

class Batch {
public:
    Batch(const ExportInfo &info, const OutputOptions &output, bool showProgress)
        : info_(info), output_(output), showProgress_(showProgress) {
        rows_.reserve(kChunkRows);
        for (std::vector<double> *column : {&first_, &second_, &result_}) column->reserve(kChunkRows);
        failure_.reserve(kChunkRows);
    }

    void WriteHeader() {
        const ConfiguredUnits units = LoadConfiguredUnits();
        std::string header;
        for (int i = 0; i < info_.arity; ++i) AppendCsvField(&header, ColumnTitle(info_.arguments[i], units), i == 0);
        AppendCsvField(&header, ColumnTitle(info_.result, units));
        header += ",status,code,message\n";
        std::fputs(header.c_str(), stdout);
    }

    // Takes one line of input; evaluates the chunk once it is full.
    bool Add(std::size_t lineNumber, std::string_view line, bool tooLong) {
        Row row;
        row.lineNumber = lineNumber;
        if (tooLong)
            row.problem = "line longer than " + std::to_string(kLongestLine) + " characters";
        else
            ReadArguments(line, &row);
        rows_.push_back(std::move(row));
        return rows_.size() < kChunkRows || Flush();
    }

    // Evaluates and writes the rows held; false when the library refused
    // the whole chunk.
    bool Flush() {
        if (rows_.empty()) return true;
        result_.resize(first_.size());
        failure_.resize(first_.size());
        const int failed = RudidEvaluate(info_.name, first_.size(), first_.data(),
                                         info_.arity == 2 ? second_.data() : nullptr, result_.data(), failure_.data());
        if (failed < 0) {
            std::fprintf(stderr, "rudid32 batch: the library refused the rows (RudidEvaluate returned %d)\n", failed);
            return false;
        }
        std::string out;
        std::size_t evaluated = 0;
        for (const Row &row : rows_) {
            for (int i = 0; i < info_.arity; ++i) AppendCsvField(&out, row.fields[i], i == 0);
            if (!row.problem.empty()) {
                ++tally_.malformed;
                out += ",,malformed,,";
                AppendCsvField(&out, "line " + std::to_string(row.lineNumber) + ": " + row.problem, true);
            } else {
                const std::size_t k = evaluated++;
                const Outcome outcome =
                    failure_[k] != 0 ? FailureOutcome(failure_[k]) : ClassifyResult(info_, result_[k]);
                WriteOutcome(&out, outcome);
            }
            out += '\n';
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
        rows_.clear();
        first_.clear();
        second_.clear();
        if (showProgress_) std::fprintf(stderr, "\rrudid32 batch: %zu rows", tally_.rows());
        return true;
    }

    const Tally &tally() const { return tally_; }
    bool showsProgress() const { return showProgress_; }

private:
    // Takes the row's fields; a row of numbers joins the arguments to evaluate.
    void ReadArguments(std::string_view line, Row *row) {
        const std::vector<std::string_view> fields = SplitCsvLine(line);
        if (int(fields.size()) != info_.arity) {
            row->problem = "expected " + std::to_string(info_.arity) + " field" + (info_.arity == 1 ? "" : "s") +
                           ", found " + std::to_string(fields.size()) + ": " + std::string(line);
            return;
        }
        double values[2] = {0, 0};
        for (int i = 0; i < info_.arity; ++i) {
            row->fields[i] = fields[std::size_t(i)];
            const std::optional<double> value = ParseNumber(fields[std::size_t(i)]);
            if (!value && row->problem.empty())
                row->problem = std::string(QuantityWord(info_.arguments[i])) + " \"" + row->fields[i] + "\" is not a number";
            values[i] = value.value_or(0);
        }
        if (!row->problem.empty()) return;
        first_.push_back(values[0]);
        second_.push_back(values[1]);
    }

    void WriteOutcome(std::string *out, const Outcome &outcome) {
        switch (outcome.kind) {
            case OutcomeKind::Value:
                ++tally_.answered;
                AppendCsvField(out, FormatNumber(outcome.value, output_.digits));
                *out += ",ok,0,";
                return;
            case OutcomeKind::RangeError:
                ++tally_.outOfRange;
                *out += ",,out-of-range,";
                break;
            case OutcomeKind::Failure:
                ++tally_.failed;
                *out += ",,failure,";
                break;
        }
        *out += std::to_string(outcome.code);
        AppendCsvField(out, outcome.message);
    }

    const ExportInfo &info_;
    const OutputOptions &output_;
    const bool showProgress_;  // a running count of rows on a terminal's stderr
    std::vector<Row> rows_;
    std::vector<double> first_, second_;  // the arguments of the rows of numbers
    std::vector<double> result_;          // and what the library answered for them
    std::vector<int> failure_;
    Tally tally_;
};

}  // namespace

int RunBatch(const ExportInfo &info, bool skipHeader, const OutputOptions &output) {
    Batch batch(info, output, ::isatty(STDERR_FILENO) == 1);
    batch.WriteHeader();
    std::fflush(stdout);

    LineReader reader(STDIN_FILENO, kLongestLine);
    std::string line;
    bool tooLong = false;
    bool refused = false;
    std::size_t lineNumber = 0;
    // Rows already read are answered before the reader waits for more, so
    // that a slow producer sees its answers as it goes.
    const auto flushBeforeWaiting = [&] { refused = refused || !batch.Flush(); };
    while (!refused && reader.Next(&line, &tooLong, flushBeforeWaiting)) {
        ++lineNumber;
        if (lineNumber == 1 && skipHeader) continue;
        if (!tooLong && TrimBlanks(line).empty()) continue;
        refused = !batch.Add(lineNumber, line, tooLong);
    }
    refused = refused || !batch.Flush();

    const Tally &tally = batch.tally();
    if (batch.showsProgress()) std::fputc('\n', stderr);
    if (reader.failed()) std::fprintf(stderr, "rudid32 batch: reading the input failed\n");
    if (tally.rows() != tally.answered)
        std::fprintf(stderr, "rudid32 batch: %zu rows: %zu answered, %zu out of range, %zu failed, %zu malformed\n",
                     tally.rows(), tally.answered, tally.outOfRange, tally.failed, tally.malformed);
    if (refused || reader.failed() || tally.failed > 0) return kExitFailure;
    return tally.outOfRange + tally.malformed > 0 ? kExitOutOfRange : kExitOk;
}

}  // namespace rudid::cli
