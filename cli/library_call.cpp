#include "library_call.h"

#include "rudid32.h"

namespace rudid::cli {

namespace {

RudidContext *gToolContext = nullptr;  // set once, before the first call

}  // namespace

void UseToolContext(RudidContext *context) { gToolContext = context; }
RudidContext *ToolContext() { return gToolContext; }

namespace {

bool gRefinedAnswers = false;

}  // namespace

void UseRefinedAnswers(bool refined) { gRefinedAnswers = refined; }

bool RefinedAnswers() { return gRefinedAnswers; }

int EvaluateRows(const ExportInfo &info, std::size_t n, const double *first, const double *second,
                 double *results, int *failures) {
    return (gRefinedAnswers ? RudidEvaluateRefined : RudidEvaluate)(info.name.c_str(), n, first, second, results,
                                                                    failures);
}

Outcome ClassifyResult(const ExportInfo &info, double result) {
    const int code = RudidRangeCode(result);
    if (code == 0) return {OutcomeKind::Value, result, 0, {}};
    const char *meaning = RudidRangeMessage(info.index, code);
    return {OutcomeKind::RangeError, 0, code, meaning ? meaning : "error code " + std::to_string(code)};
}

Outcome FailureOutcome(int code) {
    const char *message = RudidFailureMessage(code);
    return {OutcomeKind::Failure, 0, code, message ? message : ""};
}

Outcome CallExport(const ExportInfo &info, double first, double second) {
    const double *result = nullptr;
    if (gRefinedAnswers) {
        double answer = 0;
        int failure = 0;
        if (EvaluateRows(info, 1, &first, &second, &answer, &failure) < 0) return FailureOutcome(0);
        return failure != 0 ? FailureOutcome(failure) : ClassifyResult(info, answer);
    }
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
