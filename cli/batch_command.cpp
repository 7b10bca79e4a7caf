// Rows of arguments from standard input, answered as CSV on standard output:
// one output row for every input row, in order. Rows are evaluated a chunk
// at a time through the library's batch function, each chunk split over
// the threads asked for; memory stays the same whatever the length of the
// input.

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <cstdio>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "caution.h"
#include "commands.h"
#include "configured_units.h"
#include "csv_text.h"
#include "library_call.h"
#include "line_reader.h"
#include "number_text.h"
#include "platform/tool_platform.h"
#include "standard_output.h"
#include "whole_state.h"

namespace rudid::cli {

namespace {

// Rows a thread takes at a time: enough that starting and joining the
// threads costs little beside them; and the most rows held at once,
// whatever the number of threads.
constexpr std::size_t kRowsPerThread = 65536;
constexpr std::size_t kMostRowsHeld = 262144;
// Numbers are short; a longer line is reported, not kept.
constexpr std::size_t kLongestLine = 1024;

struct InputLine {
    std::size_t number = 0;
    std::string text;
    bool tooLong = false;
};

struct Tally {
    std::size_t answered = 0, outOfRange = 0, failed = 0, malformed = 0;
    std::size_t cautioned = 0;  // among the answered: where the tables are known to be poor
    std::size_t rows() const { return answered + outOfRange + failed + malformed; }
    void Add(const Tally &other) {
        answered += other.answered, outOfRange += other.outOfRange;
        failed += other.failed, malformed += other.malformed, cautioned += other.cautioned;
    }
};

std::string ColumnTitle(Quantity quantity) {
    const std::string unit = UnitOf(quantity);
    return unit.empty() ? QuantityWord(quantity) : QuantityWord(quantity) + " [" + unit + "]";
}

// A row as read: its fields for the argument columns, the columns passed
// through, and its numbers or why it has none.
struct Row {
    std::vector<std::string> fields;
    std::vector<std::string> kept;
    std::string problem;
};

// Where the columns are: the input's delimiter and the columns passed
// through (by index from 0), with their titles.
struct Layout {
    char delimiter = ',';
    std::vector<std::size_t> kept;
    std::vector<std::string> keptTitles;
    bool Kept(std::size_t column) const {
        for (std::size_t k : kept)
            if (k == column) return true;
        return false;
    }
};

// One export over rows, in one call of the library's batch function.
std::vector<Outcome> EvaluateByBatch(const ExportInfo &info, std::span<const double> first,
                                     std::span<const double> second) {
    const std::size_t n = first.size();
    std::vector<double> results(n);
    std::vector<int> failures(n);
    std::vector<Outcome> outcomes;
    outcomes.reserve(n);
    const int refused = EvaluateRows(info, n, first.data(), second.data(), results.data(), failures.data());
    for (std::size_t i = 0; i < n; ++i) {
        if (refused < 0)
            outcomes.push_back({OutcomeKind::Failure, 0, refused,
                                "the library refused the rows (status " + std::to_string(refused) + ")"});
        else
            outcomes.push_back(failures[i] != 0 ? FailureOutcome(failures[i]) : ClassifyResult(info, results[i]));
    }
    return outcomes;
}

// What one thread makes of a run of lines: their CSV rows and their tally.
struct SliceAnswer {
    std::string text;
    Tally tally;
};

class Batch {
public:
    Batch(const BatchJob &job, const OutputOptions &output) : job_(job), output_(output) {
        if (job.function) {
            arity_ = job.function->arity;
            for (int i = 0; i < arity_; ++i) arguments_[i] = job.function->arguments[i];
        } else {
            arity_ = 2;
            for (int i = 0; i < 2; ++i) arguments_[i] = FindStateKey(job.stateKeys.substr(std::size_t(i), 1))->quantity;
        }
        lines_.reserve(ChunkRows());
    }

    void Begin(Layout layout) { layout_ = std::move(layout); }

    std::size_t ChunkRows() const { return std::min(kRowsPerThread * job_.threads, kMostRowsHeld); }

    std::string Header() const {
        std::string header;
        // A state repeats the given quantities among its properties: the
        // columns of the input are "given ..." so that every name is unique.
        const std::string given = job_.function ? "" : "given ";
        for (std::size_t k = 0; k < layout_.keptTitles.size(); ++k)
            AppendCsvField(&header, layout_.keptTitles[k], k == 0);
        for (int i = 0; i < arity_; ++i)
            AppendCsvField(&header, given + ColumnTitle(arguments_[i]), i == 0 && layout_.kept.empty());
        if (job_.function) {
            AppendCsvField(&header, ColumnTitle(job_.function->result));
        } else {
            for (Quantity quantity : kStateProperties) AppendCsvField(&header, ColumnTitle(quantity));
            header += ",phase";
            // The derived properties after the phase; empty where the state
            // has none (wet steam's cp, a single phase's surface tension).
            for (std::size_t k = 0; k < kDerivedCount; ++k) {
                const std::string unit = DerivedUnit(k);
                AppendCsvField(&header, unit.empty() ? DerivedWord(k) : DerivedWord(k) + " [" + unit + "]");
            }
        }
        // "state_flags", not "flags": a pandas DataFrame has an attribute
        // of that name, and the column should be reachable as one. A state
        // has the flags of each property ("T_flags", ...): the tables can
        // be poor for one property and good for the others.
        if (job_.flags && job_.function) header += ",state_flags";
        if (job_.flags && !job_.function)
            for (const std::string_view symbol : kStateSymbols) header += "," + std::string(symbol) + "_flags";
        header += ",status,code,message\n";
        return InInputsConvention(header);
    }

    // Takes one line of input; evaluates the chunk once it is full.
    void Add(std::size_t lineNumber, std::string_view text, bool tooLong) {
        if (lines_.empty() && tally_.rows() == 0) decimalComma_ = WritesDecimalCommas(text);
        lines_.push_back({lineNumber, std::string(text), tooLong});
        if (lines_.size() >= ChunkRows()) Flush();
    }

    // Evaluates and writes the rows held.
    void Flush() {
        if (lines_.empty()) return;
        const std::size_t slices = std::min<std::size_t>(job_.threads, (lines_.size() + 1023) / 1024);
        std::vector<SliceAnswer> answers(slices);
        const std::span<const InputLine> all(lines_);
        const auto slice = [&](std::size_t k) {
            const std::size_t from = all.size() * k / slices, to = all.size() * (k + 1) / slices;
            return all.subspan(from, to - from);
        };
        std::vector<std::thread> helpers;
        for (std::size_t k = 1; k < slices; ++k)
            helpers.emplace_back([&, k] { answers[k] = Answer(slice(k)); });
        answers[0] = Answer(slice(0));
        for (std::thread &helper : helpers) helper.join();
        for (const SliceAnswer &answer : answers) {
            if (!WriteStandardOutput(answer.text)) outputFailed_ = true;
            tally_.Add(answer.tally);
        }
        if (StandardOutputFailed()) outputFailed_ = true;
        lines_.clear();
        if (showProgress_) std::fprintf(stderr, "\rrudid32 batch: %zu rows", tally_.rows());
    }

    const Tally &tally() const { return tally_; }
    // Whether writing the results failed: there is no point in reading on.
    bool outputFailed() const { return outputFailed_; }
    bool showsProgress() const { return showProgress_; }

private:
    Row ReadRow(const InputLine &line, std::vector<double> *first, std::vector<double> *second) const {
        Row row;
        const std::vector<std::string_view> all = SplitCsvLine(line.text, layout_.delimiter);
        std::vector<std::string_view> fields;
        for (std::size_t column = 0; column < all.size(); ++column)
            if (!layout_.Kept(column)) fields.push_back(all[column]);
        for (std::size_t column : layout_.kept)
            row.kept.emplace_back(column < all.size() ? all[column] : std::string_view());
        for (int i = 0; i < arity_; ++i) {
            const std::string field(std::size_t(i) < fields.size() ? fields[std::size_t(i)] : std::string_view());
            row.fields.push_back(layout_.delimiter == ',' ? field : WithDecimalPoint(field));
        }
        if (line.tooLong) {
            row.problem = "line longer than " + std::to_string(kLongestLine) + " characters";
            return row;
        }
        if (int(fields.size()) != arity_) {
            row.problem = "expected " + std::to_string(arity_) + " field" + (arity_ == 1 ? "" : "s") + ", found " +
                          std::to_string(fields.size()) + ": " + line.text;
            return row;
        }
        double values[2] = {0, 0};
        for (int i = 0; i < arity_ && row.problem.empty(); ++i) {
            const std::string problem = ReadArgument(row.fields[std::size_t(i)], &values[i]);
            if (!problem.empty())
                row.problem = QuantityWord(arguments_[i]) + " \"" + row.fields[std::size_t(i)] + "\" " + problem;
        }
        // Words where the first line should hold numbers: most likely a
        // header that --header would have skipped.
        if (!row.problem.empty() && line.number == 1 && !job_.skipHeader && !ParseNumber(fields[0]))
            row.problem += " (is line 1 a header? give --header to skip it)";
        if (row.problem.empty()) {
            first->push_back(values[0]);
            second->push_back(values[1]);
        }
        return row;
    }

    // Semicolon-separated input is answered the same way, with decimal
    // commas unless its first row wrote its numbers with points: what
    // the spreadsheet that saved it reads back.
    bool WritesDecimalCommas(std::string_view firstRow) const {
        if (layout_.delimiter != ';') return false;
        for (std::string_view field : SplitCsvLine(firstRow, ';'))
            if (ParseNumber(field) && field.find('.') != std::string_view::npos) return false;
        return true;
    }
    std::string InInputsConvention(std::string rows) const {
        return layout_.delimiter == ';' ? WithDelimiter(rows, ';', decimalComma_) : rows;
    }

    std::string Number(const Outcome &outcome) const {
        return outcome.kind == OutcomeKind::Value ? FormatNumber(outcome.value, output_.digits) : std::string();
    }

    // An answer the library flags is "caution", with the reasons as its
    // message: a poor answer must not read as a good one.
    // caution is the summary of the reasons, made only for a flagged row.
    static void AppendStatus(std::string *out, const Outcome &outcome, Tally *tally, int flags,
                             const std::string &prefix, const std::function<std::string()> &caution) {
        switch (outcome.kind) {
            case OutcomeKind::Value:
                ++tally->answered;
                if (flags <= 0) {
                    *out += ",ok,0,";
                    return;
                }
                ++tally->cautioned;
                *out += ",caution,0";
                AppendCsvField(out, caution());
                return;
            case OutcomeKind::RangeError:
                ++tally->outOfRange;
                *out += ",out-of-range,";
                break;
            case OutcomeKind::Failure:
                ++tally->failed;
                *out += ",failure,";
                break;
        }
        *out += std::to_string(outcome.code);
        AppendCsvField(out, prefix + outcome.message);
    }

    // The first property of a state without a value, named.
    static std::pair<Outcome, std::string> StateStatus(const StateRow &row) {
        for (std::size_t k = 0; k < kStatePropertyCount; ++k) {
            const bool quality = kStateProperties[k] == Quantity::Quality;
            if (quality && !row.qualityMeaningful && !row.qualityNote.empty()) continue;
            if (row.properties[k].kind != OutcomeKind::Value)
                return {row.properties[k], QuantityWord(kStateProperties[k]) + ": "};
        }
        return {Outcome{}, ""};
    }

    SliceAnswer Answer(std::span<const InputLine> lines) const {
        std::vector<Row> rows;
        rows.reserve(lines.size());
        std::vector<double> first, second;
        first.reserve(lines.size());
        second.reserve(lines.size());
        for (const InputLine &line : lines) rows.push_back(ReadRow(line, &first, &second));

        std::vector<Outcome> results;
        std::vector<StateRow> states;
        std::vector<int> flags;
        if (job_.function) {
            results = EvaluateByBatch(*job_.function, first, second);
            flags = job_.flags ? StateFlagsOfRows(job_.function->name, first, second)
                               : std::vector<int>(results.size(), 0);
            for (std::size_t i = 0; i < results.size(); ++i)
                if (results[i].kind != OutcomeKind::Value) flags[i] = 0;
        } else {
            states = SolveStates(arguments_[0], arguments_[1], first, second, job_.flags);
        }

        SliceAnswer answer;
        std::string &out = answer.text;
        // The result (or the state and its phase) and the flags.
        const std::size_t emptyColumns =
            job_.function ? 1 + (job_.flags ? 1 : 0)
                          : kStatePropertyCount + 1 + kDerivedCount + (job_.flags ? kStatePropertyCount : 0);
        std::size_t evaluated = 0;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const Row &row = rows[r];
            for (std::size_t k = 0; k < row.kept.size(); ++k) AppendCsvField(&out, row.kept[k], k == 0);
            for (int i = 0; i < arity_; ++i)
                AppendCsvField(&out, row.fields[std::size_t(i)], i == 0 && row.kept.empty());
            if (!row.problem.empty()) {
                ++answer.tally.malformed;
                out.append(emptyColumns, ',');
                out += ",malformed,,";
                AppendCsvField(&out, "line " + std::to_string(lines[r].number) + ": " + row.problem, true);
            } else if (job_.function) {
                const std::size_t k = evaluated++;
                AppendCsvField(&out, Number(results[k]));
                if (job_.flags) AppendCsvField(&out, FlagWords(flags[k]));
                AppendStatus(&out, results[k], &answer.tally, flags[k], "", [&] { return CautionSummary(flags[k]); });
            } else {
                const StateRow &state = states[evaluated++];
                for (std::size_t k = 0; k < kStatePropertyCount; ++k) {
                    const bool hidden = kStateProperties[k] == Quantity::Quality && !state.qualityMeaningful;
                    AppendCsvField(&out, hidden ? std::string() : Number(state.properties[k]));
                }
                AppendCsvField(&out, state.phase);
                for (std::size_t k = 0; k < kDerivedCount; ++k) AppendCsvField(&out, Number(state.derived[k]));
                for (std::size_t k = 0; job_.flags && k < kStatePropertyCount; ++k)
                    AppendCsvField(&out, FlagWords(state.propertyFlags[k]));
                const auto [outcome, prefix] = StateStatus(state);
                AppendStatus(&out, outcome, &answer.tally, outcome.kind == OutcomeKind::Value ? state.flags : 0, prefix,
                             [&] { return PropertyCautionSummary(state.propertyFlags, kStateSymbols); });
            }
            out += '\n';
        }
        out = InInputsConvention(std::move(out));
        return answer;
    }

    const BatchJob &job_;
    const OutputOptions &output_;
    Layout layout_;
    int arity_ = 0;
    Quantity arguments_[2] = {Quantity::None, Quantity::None};
    const bool showProgress_ = platform::StandardErrorIsTerminal();  // a running count of rows on a terminal
    std::vector<InputLine> lines_;
    Tally tally_;
    bool outputFailed_ = false;
    bool decimalComma_ = false;
};

bool IsCommentOrBlank(std::string_view line) {
    const std::string_view text = TrimBlanks(line);
    return text.empty() || text.front() == '#';
}

}  // namespace

// The layout told by the first line (the header, if there is one): the
// delimiter, and the columns to pass through. False with a message for a
// --keep that names no column.
bool ReadLayout(const BatchJob &job, std::string_view firstLine, bool isHeader, Layout *layout) {
    layout->delimiter = job.delimiter ? job.delimiter : DetectDelimiter(firstLine);
    const std::vector<std::string_view> titles = SplitCsvLine(firstLine, layout->delimiter);
    for (const std::string &wanted : job.keep) {
        std::size_t column = titles.size();
        for (std::size_t c = 0; isHeader && c < titles.size(); ++c)
            if (titles[c] == wanted) column = c;
        const std::optional<double> number = ParseNumber(wanted);
        if (column == titles.size() && number && *number >= 1 && *number == std::floor(*number))
            column = std::size_t(*number) - 1;
        else if (column == titles.size()) {
            std::fprintf(stderr, "rudid32 batch: --keep %s: %s\n", wanted.c_str(),
                         isHeader ? "no column of that name in the header"
                                  : "name the column by its number, or give --header to name it by its title");
            return false;
        }
        layout->kept.push_back(column);
        layout->keptTitles.push_back(isHeader && column < titles.size() ? std::string(titles[column]) : wanted);
    }
    return true;
}

int RunBatch(const BatchJob &job, const OutputOptions &output) {
    Batch batch(job, output);
    bool begun = false;
    // The header goes out once the first line has told the layout.
    const auto begin = [&](std::string_view firstLine, bool isHeader) {
        Layout layout;
        if (!ReadLayout(job, firstLine, isHeader, &layout)) return false;
        batch.Begin(std::move(layout));
        WriteStandardOutput(batch.Header());
        begun = true;
        return true;
    };

    LineReader reader(platform::kStandardInput, kLongestLine);
    std::string line;
    bool tooLong = false;
    std::size_t lineNumber = 0;
    // Rows already read are answered before the reader waits for more, so
    // that a slow producer sees its answers as it goes.
    const auto flushBeforeWaiting = [&] { batch.Flush(); };
    while (!batch.outputFailed() && reader.Next(&line, &tooLong, flushBeforeWaiting)) {
        ++lineNumber;
        // A spreadsheet's mark of UTF-8 is no part of the first title or number.
        if (lineNumber == 1) line.erase(0, line.size() - WithoutByteOrderMark(line).size());
        const bool header = lineNumber == 1 && job.skipHeader;
        if (!header && IsCommentOrBlank(line)) continue;
        if (!begun && !begin(line, header)) return kExitUsage;
        // The caller reports a failed write of the output.
        if (StandardOutputFailed()) return kExitFailure;
        if (header) continue;
        batch.Add(lineNumber, line, tooLong);
    }
    if (!begun && !begin("", false)) return kExitUsage;
    if (StandardOutputFailed()) return kExitFailure;
    batch.Flush();
    if (batch.outputFailed()) return kExitFailure;

    const Tally &tally = batch.tally();
    if (batch.showsProgress()) std::fputc('\n', stderr);
    if (reader.failed()) std::fprintf(stderr, "rudid32 batch: reading the input failed\n");
    if (tally.rows() != tally.answered || tally.cautioned > 0)
        std::fprintf(stderr,
                     "rudid32 batch: %zu rows: %zu answered (%zu with caution), %zu out of range, %zu failed, "
                     "%zu malformed\n",
                     tally.rows(), tally.answered, tally.cautioned, tally.outOfRange, tally.failed, tally.malformed);
    if (reader.failed() || tally.failed > 0) return kExitFailure;
    if (tally.outOfRange + tally.malformed > 0) return kExitOutOfRange;
    return tally.cautioned > 0 && output.strict ? kExitCaution : kExitOk;
}

}  // namespace rudid::cli
