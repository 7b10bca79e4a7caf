// Rows of arguments from standard input, answered as CSV on standard output:
// one output row for every input row, in order. Rows are evaluated a chunk
// at a time through the library's batch function, each chunk split over
// the threads asked for; memory stays the same whatever the length of the
// input.
#include <unistd.h>

#include <algorithm>
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
#include "standard_output.h"
#include "state_solver.h"

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
    std::size_t rows() const { return answered + outOfRange + failed + malformed; }
    void Add(const Tally &other) {
        answered += other.answered, outOfRange += other.outOfRange;
        failed += other.failed, malformed += other.malformed;
    }
};

std::string ColumnTitle(Quantity quantity) {
    const std::string unit = UnitOf(quantity);
    return unit.empty() ? QuantityWord(quantity) : QuantityWord(quantity) + " [" + unit + "]";
}

// A row as read: its fields for the argument columns, and its numbers or
// why it has none.
struct Row {
    std::vector<std::string> fields;
    std::string problem;
};

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

    std::size_t ChunkRows() const { return std::min(kRowsPerThread * job_.threads, kMostRowsHeld); }

    std::string Header() const {
        std::string header;
        for (int i = 0; i < arity_; ++i) AppendCsvField(&header, ColumnTitle(arguments_[i]), i == 0);
        if (job_.function) {
            AppendCsvField(&header, ColumnTitle(job_.function->result));
        } else {
            for (Quantity quantity : kStateProperties) AppendCsvField(&header, ColumnTitle(quantity));
            header += ",phase";
        }
        header += job_.flags ? ",flags,status,code,message\n" : ",status,code,message\n";
        return header;
    }

    // Takes one line of input; evaluates the chunk once it is full.
    void Add(std::size_t lineNumber, std::string_view text, bool tooLong) {
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
        const std::vector<std::string_view> fields = SplitCsvLine(line.text);
        for (int i = 0; i < arity_; ++i)
            row.fields.emplace_back(std::size_t(i) < fields.size() ? fields[std::size_t(i)] : std::string_view());
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
        if (row.problem.empty()) {
            first->push_back(values[0]);
            second->push_back(values[1]);
        }
        return row;
    }

    std::string Number(const Outcome &outcome) const {
        return outcome.kind == OutcomeKind::Value ? FormatNumber(outcome.value, output_.digits) : std::string();
    }

    static void AppendStatus(std::string *out, const Outcome &outcome, Tally *tally, const std::string &prefix = "") {
        switch (outcome.kind) {
            case OutcomeKind::Value:
                ++tally->answered;
                *out += ",ok,0,";
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
        } else {
            states = SolveStates(arguments_[0], arguments_[1], first, second, EvaluateByBatch, job_.flags);
        }

        SliceAnswer answer;
        std::string &out = answer.text;
        // The result (or the state and its phase) and the flags.
        const std::size_t emptyColumns = (job_.function ? 1 : kStatePropertyCount + 1) + (job_.flags ? 1 : 0);
        std::size_t evaluated = 0;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const Row &row = rows[r];
            for (int i = 0; i < arity_; ++i) AppendCsvField(&out, row.fields[std::size_t(i)], i == 0);
            if (!row.problem.empty()) {
                ++answer.tally.malformed;
                out.append(emptyColumns, ',');
                out += ",malformed,,";
                AppendCsvField(&out, "line " + std::to_string(lines[r].number) + ": " + row.problem, true);
            } else if (job_.function) {
                const std::size_t k = evaluated++;
                AppendCsvField(&out, Number(results[k]));
                if (job_.flags) AppendCsvField(&out, FlagWords(flags[k]));
                AppendStatus(&out, results[k], &answer.tally);
            } else {
                const StateRow &state = states[evaluated++];
                for (std::size_t k = 0; k < kStatePropertyCount; ++k) {
                    const bool hidden = kStateProperties[k] == Quantity::Quality && !state.qualityMeaningful;
                    AppendCsvField(&out, hidden ? std::string() : Number(state.properties[k]));
                }
                AppendCsvField(&out, state.phase);
                if (job_.flags) AppendCsvField(&out, FlagWords(state.flags));
                const auto [outcome, prefix] = StateStatus(state);
                AppendStatus(&out, outcome, &answer.tally, prefix);
            }
            out += '\n';
        }
        return answer;
    }

    const BatchJob &job_;
    const OutputOptions &output_;
    int arity_ = 0;
    Quantity arguments_[2] = {Quantity::None, Quantity::None};
    const bool showProgress_ = ::isatty(STDERR_FILENO) == 1;  // a running count of rows on a terminal
    std::vector<InputLine> lines_;
    Tally tally_;
    bool outputFailed_ = false;
};

bool IsCommentOrBlank(std::string_view line) {
    const std::string_view text = TrimBlanks(line);
    return text.empty() || text.front() == '#';
}

}  // namespace

int RunBatch(const BatchJob &job, const OutputOptions &output) {
    Batch batch(job, output);
    const std::string header = batch.Header();
    WriteStandardOutput(header);
    // The caller reports a failed write of the output.
    if (StandardOutputFailed()) return kExitFailure;

    LineReader reader(STDIN_FILENO, kLongestLine);
    std::string line;
    bool tooLong = false;
    std::size_t lineNumber = 0;
    // Rows already read are answered before the reader waits for more, so
    // that a slow producer sees its answers as it goes.
    const auto flushBeforeWaiting = [&] { batch.Flush(); };
    while (!batch.outputFailed() && reader.Next(&line, &tooLong, flushBeforeWaiting)) {
        ++lineNumber;
        if (lineNumber == 1 && job.skipHeader) continue;
        if (IsCommentOrBlank(line)) continue;
        batch.Add(lineNumber, line, tooLong);
    }
    batch.Flush();
    if (batch.outputFailed()) return kExitFailure;

    const Tally &tally = batch.tally();
    if (batch.showsProgress()) std::fputc('\n', stderr);
    if (reader.failed()) std::fprintf(stderr, "rudid32 batch: reading the input failed\n");
    if (tally.rows() != tally.answered)
        std::fprintf(stderr, "rudid32 batch: %zu rows: %zu answered, %zu out of range, %zu failed, %zu malformed\n",
                     tally.rows(), tally.answered, tally.outOfRange, tally.failed, tally.malformed);
    if (reader.failed() || tally.failed > 0) return kExitFailure;
    return tally.outOfRange + tally.malformed > 0 ? kExitOutOfRange : kExitOk;
}

}  // namespace rudid::cli
