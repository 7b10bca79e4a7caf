// RudidOpen, RudidClose, RudidContextEvaluate and RudidContextMessage: the
// entry points of contexts. No C++ exception leaves here.
#define RUDID_BUILDING_LIBRARY
#include "rudid32.h"

#include <new>
#include <string>

#include "api/context.h"
#include "common/failure.h"

namespace rudid {

namespace {

constexpr int kOpenOptions = RUDID_KEEP_TABLES | RUDID_READ_FILES | RUDID_REFINED | RUDID_TABLE;

// What the rows' failures were: the first failed row's message, and how
// many rows failed.
std::string RowsMessage(std::size_t n, const int *failure, int failed) {
    if (failed <= 0) return "";
    for (std::size_t i = 0; i < n; ++i)
        if (failure[i] != 0)
            return std::to_string(failed) + " row" + (failed == 1 ? "" : "s") + " failed; row " + std::to_string(i) +
                   ": " + RudidFailureMessage(failure[i]) + (*FirstFailedFile() ? ": " : "") + FirstFailedFile();
    return "";
}

}  // namespace

bool AnswerOf(int options, Answer byDefault, Answer *answer) {
    if ((options & ~(RUDID_REFINED | RUDID_TABLE)) != 0) return false;
    if ((options & RUDID_REFINED) && (options & RUDID_TABLE)) return false;
    *answer = options & RUDID_REFINED ? Answer::Refined : options & RUDID_TABLE ? Answer::Table : byDefault;
    return true;
}

}  // namespace rudid

extern "C" {

RUDID_API RudidContext *RUDID_CALL RudidOpen(const char *directory, const char *units, int options) {
    using namespace rudid;
    char message[512] = "";
    try {
        if ((options & ~kOpenOptions) != 0 || ((options & RUDID_KEEP_TABLES) && (options & RUDID_READ_FILES)) ||
            ((options & RUDID_REFINED) && (options & RUDID_TABLE))) {
            RecordContextMessage(nullptr, "RudidOpen: the options ask for both of a pair, or hold unknown bits");
            return nullptr;
        }
        const bool keep = options & RUDID_KEEP_TABLES   ? true
                          : options & RUDID_READ_FILES ? false
                                                       : Startup().cacheTables;
        const Answer answer = options & RUDID_REFINED ? Answer::Refined : Answer::Table;
        std::unique_ptr<RudidContext> context = OpenContext(directory, units, keep, answer, message, sizeof message);
        RecordContextMessage(nullptr, context ? "" : message);
        return context.release();
    } catch (const std::bad_alloc &) {
        RecordContextMessage(nullptr, "RudidOpen: out of memory");
        return nullptr;
    }
}

RUDID_API void RUDID_CALL RudidClose(RudidContext *context) { delete context; }

RUDID_API int RUDID_CALL RudidContextEvaluate(RudidContext *context, const char *name, int options, size_t n,
                                              const double *arg1, const double *arg2, double *result, int *failure,
                                              int *flags) {
    using namespace rudid;
    const RudidContext &in = context ? *context : DefaultContext();
    Answer answer;
    if (!AnswerOf(options, in.answer, &answer)) return RUDID_BAD_ARGUMENTS;
    const int failed = EvaluateByName(in, name, answer, true, n, arg1, arg2, result, failure, flags, flags != nullptr);
    try {
        RecordContextMessage(context, failed >= 0 ? RowsMessage(n, failure, failed).c_str()
                                      : failed == RUDID_UNKNOWN_FUNCTION ? "no property function of that name"
                                      : failed == RUDID_OUT_OF_MEMORY    ? "out of memory"
                                                                         : "an array the call needs is missing");
    } catch (const std::bad_alloc &) {
    }
    return failed;
}

RUDID_API const char *RUDID_CALL RudidContextMessage(const RudidContext *context) {
    return rudid::ContextMessage(context);
}

RUDID_API const char *RUDID_CALL RudidContextUnit(const RudidContext *context, int quantity) {
    const RudidContext &in = context ? *context : rudid::DefaultContext();
    if (quantity < 0 || quantity >= rudid::kQuantityCodeCount) return "";
    return rudid::ConfigOf(in).unitName[quantity];
}

RUDID_API const char *RUDID_CALL RudidContextDirectory(const RudidContext *context) {
    return rudid::ConfigOf(context ? *context : rudid::DefaultContext()).dataDirectory;
}

}  // extern "C"
