// The call corpus shared by the Windows harness (win_harness.exe under Wine)
// and the Linux one (linux_corpus): both read the same lines, call the same
// exports and print each outcome in the same format, so the two outputs can
// be compared byte for byte.
//
// Corpus lines:   NAME ARG [ARG]      # comment
//   NAME  one of the 23 property functions
//   ARG   a decimal number as strtod reads it ("1e39", "-5", "inf", "nan"),
//         or the exact bits of a double as 0x followed by 16 hex digits
// Output lines:   NAME ARG [ARG] => 0x<16 hex digits> <%.17g>
//                 NAME ARG [ARG] => FAIL <code> <message>
#pragma once

#include <cerrno>
#include <cstdarg>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/x87_control.h"
#include "rudid32.h"
#include "support/x87_state.h"

namespace corpus {

using rudid::platform::x87::ClearExceptionFlags;
using rudid::platform::x87::ReadControlWord;
using rudid::platform::x87::WriteControlWord;
using rudid::testing::x87::kEmptyStack;
using rudid::testing::x87::ReadStatusWord;
using rudid::testing::x87::ReadTagWord;

struct ExportInfo {
    const char *name;
    int ordinal;
    int arity;
};

// The property functions, in ordinal order, from the library's list.
constexpr ExportInfo kExports[] = {
#define CORPUS_EXPORT(name, ordinal, arity, ...) {#name, ordinal, arity},
    RUDID_PROPERTY_FUNCTIONS(CORPUS_EXPORT)
#undef CORPUS_EXPORT
};
constexpr int kExportCount = sizeof kExports / sizeof kExports[0];

// The diagnostic functions that follow the property functions, and the
// batch function.
constexpr ExportInfo kDiagnostics[] = {
    {"RudidLastError", 24, 0},
    {"RudidLastErrorMessage", 25, 0},
    {"RudidStartupMessage", 26, 0},
    {"RudidDataDirectory", 28, 0},
};
constexpr ExportInfo kBatch = {"RudidEvaluate", 27, 6};
constexpr ExportInfo kRefinedBatch = {"RudidEvaluateRefined", 50, 6};
constexpr ExportInfo kDerivedBatch = {"RudidSolveProperties", 62, 9};
constexpr ExportInfo kSolveStates = {"RudidSolveStates", 59, 10};

struct Call {
    int line;           // line number in the corpus file
    int exportIndex;    // into kExports
    double args[2];
    std::string text;   // NAME ARG [ARG] as written, single blanks
};

// What one call gave: a value or a failure code.
struct Outcome {
    bool failed = false;
    std::uint64_t bits = 0;  // the result double when !failed
    int code = 0;            // the failure code when failed
    std::string message;     // the failure message when failed

    bool operator==(const Outcome &other) const {
        return failed == other.failed && bits == other.bits && code == other.code;
    }
    bool operator!=(const Outcome &other) const { return !(*this == other); }
};

// Problems found besides the printed results: counted, and the first 20
// reported on stderr.
struct Checks {
    int failures = 0;
    __attribute__((format(printf, 2, 3))) void Fail(const char *format, ...) {
        if (++failures > 20) return;
        std::va_list args;
        va_start(args, format);
        std::fprintf(stderr, "FAILED: ");
        std::vfprintf(stderr, format, args);
        std::fprintf(stderr, "\n");
        va_end(args);
    }
};

// Control words of typical hosts: an MSVC program (53-bit precision, all
// exceptions masked) and a Delphi program (64-bit precision, invalid
// operation, division by zero and overflow unmasked).
constexpr std::uint16_t kHostWordMsvc = 0x027F;
constexpr std::uint16_t kHostWordDelphi = 0x1332;
constexpr std::uint16_t kExceptionFlags = 0x3F;

// A signalling NaN: loading it into the x87 unit raises invalid operation.
constexpr std::uint64_t kSignallingNaNBits = 0x7FF0000000000001ull;

inline std::uint64_t BitsOf(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline double DoubleOf(std::uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline int FindExport(const std::string &name) {
    for (int i = 0; i < kExportCount; ++i)
        if (name == kExports[i].name) return i;
    return -1;
}

inline bool ParseArgument(const std::string &token, double *value) {
    if (token.size() == 18 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        char *end = nullptr;
        errno = 0;
        const unsigned long long bits = std::strtoull(token.c_str() + 2, &end, 16);
        if (errno != 0 || *end != '\0') return false;
        // Copied as bytes: a double returned by value may pass through the
        // x87 unit on i686, which would quieten a signalling NaN.
        std::memcpy(value, &bits, sizeof bits);
        return true;
    }
    char *end = nullptr;
    *value = std::strtod(token.c_str(), &end);
    return end != token.c_str() && *end == '\0';
}

// Reads the corpus; prints the first bad line to stderr and returns false.
inline bool ReadCorpus(std::FILE *in, std::vector<Call> *calls) {
    char buffer[1024];
    int lineNumber = 0;
    while (std::fgets(buffer, sizeof buffer, in)) {
        ++lineNumber;
        std::string line(buffer);
        const std::size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::vector<std::string> tokens;
        std::size_t at = 0;
        while (true) {
            at = line.find_first_not_of(" \t\r\n", at);
            if (at == std::string::npos) break;
            const std::size_t end = line.find_first_of(" \t\r\n", at);
            tokens.push_back(line.substr(at, end == std::string::npos ? end : end - at));
            at = end;
        }
        if (tokens.empty()) continue;
        Call call{};
        call.line = lineNumber;
        call.exportIndex = FindExport(tokens[0]);
        if (call.exportIndex < 0) {
            std::fprintf(stderr, "corpus line %d: unknown function %s\n", lineNumber,
                         tokens[0].c_str());
            return false;
        }
        const int arity = kExports[call.exportIndex].arity;
        if (int(tokens.size()) != arity + 1) {
            std::fprintf(stderr, "corpus line %d: %s takes %d argument(s)\n", lineNumber,
                         tokens[0].c_str(), arity);
            return false;
        }
        call.text = tokens[0];
        for (int i = 0; i < arity; ++i) {
            if (!ParseArgument(tokens[i + 1], &call.args[i])) {
                std::fprintf(stderr, "corpus line %d: bad number %s\n", lineNumber,
                             tokens[i + 1].c_str());
                return false;
            }
            call.text += " " + tokens[i + 1];
        }
        calls->push_back(call);
    }
    return true;
}

inline void PrintOutcome(std::FILE *out, const Call &call, const Outcome &outcome) {
    if (outcome.failed) {
        std::fprintf(out, "%s => FAIL %d %s\n", call.text.c_str(), outcome.code,
                     outcome.message.c_str());
        return;
    }
    const double value = DoubleOf(outcome.bits);
    char shown[64];
    if (std::isfinite(value))
        std::snprintf(shown, sizeof shown, "%.17g", value);
    else
        std::snprintf(shown, sizeof shown, "%s", "not-finite");
    std::fprintf(out, "%s => 0x%016" PRIx64 " %s\n", call.text.c_str(), outcome.bits, shown);
}

// The results of a first pass are repeated by every later pass, on every
// thread and under every host control word. Returns the number of
// mismatches, each reported on stderr.
inline int CompareOutcomes(const char *what, const std::vector<Call> &calls,
                           const std::vector<Outcome> &expected,
                           const std::vector<Outcome> &actual) {
    int mismatches = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (expected[i] == actual[i]) continue;
        if (++mismatches <= 5)
            std::fprintf(stderr, "%s: line %d (%s) gave a different result\n", what,
                         calls[i].line, calls[i].text.c_str());
    }
    return mismatches;
}

// The corpus rows of one export, in corpus order, with their arguments as
// the two arrays of a batch call.
struct ExportRows {
    std::vector<std::size_t> rows;
    std::vector<double> first, second;
};
inline ExportRows RowsOfExport(const std::vector<Call> &calls, int exportIndex) {
    ExportRows batch;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].exportIndex != exportIndex) continue;
        batch.rows.push_back(i);
        batch.first.push_back(calls[i].args[0]);
        batch.second.push_back(calls[i].args[1]);
    }
    return batch;
}

// RudidEvaluate over the corpus rows of each export, one batch per export,
// under the MSVC-like host control word: every row must give exactly the
// single call's result, or its failure code with a NaN. Returns the number
// of problems, each reported on stderr.
using EvaluateFn = int (*)(const char *, std::size_t, const double *, const double *, double *,
                           int *);
inline int CheckBatch(EvaluateFn evaluate, const std::vector<Call> &calls,
                      const std::vector<Outcome> &single) {
    int problems = 0;
    for (int e = 0; e < kExportCount; ++e) {
        const ExportRows batch = RowsOfExport(calls, e);
        const std::vector<std::size_t> &rows = batch.rows;
        if (rows.empty()) continue;
        const std::vector<double> &first = batch.first, &second = batch.second;
        std::vector<double> result(rows.size());
        std::vector<int> failure(rows.size(), -1);
        const std::uint16_t ownWord = ReadControlWord();
        ClearExceptionFlags();
        WriteControlWord(kHostWordMsvc);
        const std::uint16_t before = ReadControlWord();
        const int failed = evaluate(kExports[e].name, rows.size(), first.data(),
                                    kExports[e].arity == 2 ? second.data() : nullptr,
                                    result.data(), failure.data());
        const std::uint16_t after = ReadControlWord();
        ClearExceptionFlags();
        WriteControlWord(ownWord);
        if (after != before) {
            ++problems;
            std::fprintf(stderr, "FAILED: RudidEvaluate %s: control word 0x%04x after the call, "
                         "host had 0x%04x\n", kExports[e].name, unsigned(after), unsigned(before));
        }
        int expectedFailed = 0;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const Outcome &want = single[rows[r]];
            expectedFailed += want.failed ? 1 : 0;
            const bool same = want.failed ? failure[r] == want.code && std::isnan(result[r])
                                          : failure[r] == 0 && BitsOf(result[r]) == want.bits;
            if (!same && ++problems <= 5)
                std::fprintf(stderr, "FAILED: RudidEvaluate: line %d (%s) differs from the single "
                             "call\n", calls[rows[r]].line, calls[rows[r]].text.c_str());
        }
        if (failed != expectedFailed) {
            ++problems;
            std::fprintf(stderr, "FAILED: RudidEvaluate %s returned %d, %d rows failed\n",
                         kExports[e].name, failed, expectedFailed);
        }
    }
    return problems;
}

// The refined answers of every corpus row (RudidEvaluateRefined, one batch
// per export), one line each in the format of PrintOutcome with "refined "
// before the call, in corpus order: both harnesses print them after the
// single calls, so that the comparison covers them too.
inline void PrintRefined(std::FILE *out, EvaluateFn refined, const std::vector<Call> &calls) {
    std::vector<Outcome> outcomes(calls.size());
    for (int e = 0; e < kExportCount; ++e) {
        const ExportRows batch = RowsOfExport(calls, e);
        const std::vector<std::size_t> &rows = batch.rows;
        if (rows.empty()) continue;
        const std::vector<double> &first = batch.first, &second = batch.second;
        std::vector<double> result(rows.size());
        std::vector<int> failure(rows.size(), -1);
        refined(kExports[e].name, rows.size(), first.data(), second.data(), result.data(), failure.data());
        for (std::size_t r = 0; r < rows.size(); ++r) {
            Outcome &outcome = outcomes[rows[r]];
            outcome.failed = failure[r] != 0;
            outcome.code = failure[r];
            outcome.bits = BitsOf(result[r]);
        }
    }
    for (std::size_t i = 0; i < calls.size(); ++i) {
        Call call = calls[i];
        call.text = "refined " + call.text;
        PrintOutcome(out, call, outcomes[i]);
    }
}

// Rows of width values each (a code of 0 for an answer), one line per value
// of a corpus call: "<kind>K <pair><the call's text> => ...".
inline void PrintPerProperty(std::FILE *out, const std::vector<Call> &calls, const std::vector<std::size_t> &rows,
                             std::size_t width, const std::vector<double> &values, const std::vector<int> &codes,
                             const std::string &kind, const std::string &pair) {
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t k = 0; k < width; ++k) {
            Call call = calls[rows[r]];
            call.text = kind + std::to_string(k) + " " + pair + call.text;
            Outcome outcome;
            outcome.failed = codes[width * r + k] != 0;
            outcome.code = codes[width * r + k];
            outcome.bits = BitsOf(values[width * r + k]);
            PrintOutcome(out, call, outcome);
        }
}

// The derived properties (RudidSolveProperties, refined, the process's
// configuration) of the states of the corpus's AQPPTH lines, given by their
// (p, T), one batch: a line "derived K AQPPTH p T => ..." per property K,
// its bits or its code as a failure. The formulations behind them must give
// the same bits in the DLLs as on Linux.
using DeriveFn = int (*)(void *, const char *, int, std::size_t, const double *, const double *, double *, int *,
                         int *);

inline void PrintDerived(std::FILE *out, DeriveFn derive, const std::vector<Call> &calls) {
    const int enthalpy = FindExport("AQPPTH");
    const ExportRows batch = RowsOfExport(calls, enthalpy);
    const std::size_t n = batch.rows.size(), width = RUDID_DERIVED_PROPERTIES;
    if (n == 0) return;
    std::vector<double> values(n * width);
    std::vector<int> codes(n * width);
    derive(nullptr, "pT", RUDID_REFINED, n, batch.first.data(), batch.second.data(), values.data(), codes.data(),
           nullptr);
    PrintPerProperty(out, calls, batch.rows, width, values, codes, "derived ", "");
}

// Whole states by temperature and volume (RudidSolveStates, table answers),
// which the library finds by searching the pressure: the (T, v) of the
// corpus's AQPPTV states, solved first by their (p, T). A line "solved K Tv
// AQPPTV p T => ..." per property K. The search must take the same steps,
// to the bit, in the DLLs as on Linux.
using SolveFn = int (*)(void *, const char *, int, std::size_t, const double *, const double *, double *, int *,
                        int *, int *);

inline void PrintSolvedByVolume(std::FILE *out, SolveFn solve, const std::vector<Call> &calls) {
    const ExportRows batch = RowsOfExport(calls, FindExport("AQPPTV"));
    const std::size_t n = batch.rows.size(), width = RUDID_STATE_PROPERTIES;
    if (n == 0) return;
    std::vector<double> byPT(n * width), states(n * width), temperature(n), volume(n);
    std::vector<int> codes(n * width), phase(n), flags(n * width);
    solve(nullptr, "pT", 0, n, batch.first.data(), batch.second.data(), byPT.data(), codes.data(), phase.data(),
          flags.data());
    for (std::size_t r = 0; r < n; ++r) {
        temperature[r] = byPT[width * r + RUDID_STATE_T];
        volume[r] = byPT[width * r + RUDID_STATE_V];
    }
    solve(nullptr, "Tv", 0, n, temperature.data(), volume.data(), states.data(), codes.data(), phase.data(),
          flags.data());
    PrintPerProperty(out, calls, batch.rows, width, states, codes, "solved ", "Tv ");
}

}  // namespace corpus
