#include "library_call.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "number_text.h"
#include "rudid32.h"

namespace rudid::cli {

namespace {

RudidContext *gToolContext = nullptr;  // set once, before the first call
bool gRefinedAnswers = false;

// The kind of answer every call asks its context for.
int AnswerOption() { return gRefinedAnswers ? RUDID_REFINED : RUDID_TABLE; }

// The failure of a single row in the tool's context: the library's words
// for its code and the file it concerned, without the count of failed rows
// that a context's message of many rows begins with ("1 row failed; row 0: ").
Outcome ContextFailure(int code) {
    Outcome outcome = FailureOutcome(code);
    const std::string message = RudidContextMessage(gToolContext);
    const std::size_t row = message.find("; row ");
    const std::size_t words = row == std::string::npos ? row : message.find(": ", row);
    if (words != std::string::npos) outcome.message = message.substr(words + 2);
    return outcome;
}

// The number that ends just before text[end], as the library prints a
// limit ("221.2", "-0.01", "1e+03"); where it begins, or end when there is
// none.
std::size_t NumberBefore(const std::string &text, std::size_t end) {
    std::size_t begin = end;
    while (begin > 0 && std::string_view("0123456789.e+-").find(text[begin - 1]) != std::string_view::npos) --begin;
    return begin;
}

// A limit of a range message in the process's unit of pressure or
// temperature, told in the context's: the library words the messages in
// the process's units only. "pressure above 221.2 bar" becomes "pressure
// above 3208.25 psi" in a context of psi.
std::string LimitsInContextUnits(std::string message) {
    for (const int quantity : {RUDID_PRESSURE, RUDID_TEMPERATURE}) {
        const std::string from = std::string(" ") + RudidConfiguredUnit(quantity);
        const std::string into = RudidContextUnit(gToolContext, quantity);
        if (from == " " + into) continue;
        for (std::size_t at = message.find(from); at != std::string::npos; at = message.find(from, at + 1)) {
            const std::size_t after = at + from.size();
            if (after < message.size() && std::string_view(" ,)").find(message[after]) == std::string_view::npos)
                continue;
            const std::size_t begin = NumberBefore(message, at);
            const std::optional<double> limit = ParseNumber(message.substr(begin, at - begin));
            if (begin == at || !limit) continue;
            const double internal = RudidFromConfiguredUnit(quantity, *limit);
            char written[32];
            std::snprintf(written, sizeof written, "%.6g %s",
                          RudidContextConvert(gToolContext, quantity, internal, 1), into.c_str());
            message.replace(begin, after - begin, written);
            at = begin + std::strlen(written) - 1;
        }
    }
    return message;
}

}  // namespace

void UseToolContext(RudidContext *context) { gToolContext = context; }
RudidContext *ToolContext() { return gToolContext; }

void UseRefinedAnswers(bool refined) { gRefinedAnswers = refined; }
bool RefinedAnswers() { return gRefinedAnswers; }

int EvaluateRows(const ExportInfo &info, std::size_t n, const double *first, const double *second,
                 double *results, int *failures) {
    // Refined answers go through a context even without one of the tool's
    // own (null: the process's configuration), whose message names the
    // file a failure concerned.
    if (gToolContext || gRefinedAnswers)
        return RudidContextEvaluate(gToolContext, info.name.c_str(), AnswerOption(), n, first, second, results,
                                    failures, nullptr);
    return RudidEvaluate(info.name.c_str(), n, first, second, results, failures);
}

Outcome ClassifyResult(const ExportInfo &info, double result) {
    const int code = RudidRangeCode(result);
    if (code == 0) return {OutcomeKind::Value, result, 0, {}};
    const char *meaning = RudidRangeMessage(info.index, code);
    if (!meaning) return {OutcomeKind::RangeError, 0, code, "error code " + std::to_string(code)};
    return {OutcomeKind::RangeError, 0, code, gToolContext ? LimitsInContextUnits(meaning) : meaning};
}

Outcome FailureOutcome(int code) {
    const char *message = RudidFailureMessage(code);
    return {OutcomeKind::Failure, 0, code, message ? message : ""};
}

Outcome CallExport(const ExportInfo &info, double first, double second) {
    if (gToolContext || gRefinedAnswers) {
        double answer = 0;
        int failure = 0;
        if (EvaluateRows(info, 1, &first, &second, &answer, &failure) < 0) return FailureOutcome(0);
        return failure != 0 ? ContextFailure(failure) : ClassifyResult(info, answer);
    }
    const double *result = nullptr;
    if (info.arity == 1 && info.one) {
        result = info.one(first);
    } else if (info.arity == 2 && info.two) {
        result = info.two(first, second);
    } else {
        double answer = 0;
        int failure = 0;
        if (RudidEvaluate(info.name.c_str(), 1, &first, &second, &answer, &failure) < 0) return FailureOutcome(0);
        return failure != 0 ? FailureOutcome(failure) : ClassifyResult(info, answer);
    }
    if (!result) {
        const char *message = RudidLastErrorMessage();
        return {OutcomeKind::Failure, 0, RudidLastError(), message ? message : ""};
    }
    return ClassifyResult(info, *result);
}

}  // namespace rudid::cli
