// One property function called from the command line.
#include <cstdio>

#include "caution.h"
#include "commands.h"
#include "configured_units.h"
#include "library_call.h"
#include "number_text.h"
#include "whole_state.h"

namespace rudid::cli {

int RunCall(const ExportInfo &info, const std::vector<std::string> &arguments, const OutputOptions &output) {
    const char *name = info.name.c_str();
    if (int(arguments.size()) != info.arity) {
        std::fprintf(stderr, "rudid32: %s takes %d argument%s, not %zu\n", name, info.arity,
                     info.arity == 1 ? "" : "s", arguments.size());
        return kExitUsage;
    }
    double values[2] = {0, 0};
    for (int i = 0; i < info.arity; ++i) {
        const std::string text(TrimBlanks(arguments[std::size_t(i)]));
        const std::string problem = ReadArgument(text, &values[i]);
        if (!problem.empty()) {
            std::fprintf(stderr, "rudid32: %s: %s \"%s\" %s\n", name, QuantityWord(info.arguments[i]).c_str(),
                         text.c_str(), problem.c_str());
            return kExitUsage;
        }
    }

    const Outcome outcome = CallExport(info, values[0], values[1]);
    switch (outcome.kind) {
        case OutcomeKind::Value: {
            const std::string number = FormatNumber(outcome.value, output.digits);
            const std::string unit = UnitOf(info.result);
            if (output.valueOnly || unit.empty())
                std::printf("%s\n", number.c_str());
            else
                std::printf("%s %s\n", number.c_str(), unit.c_str());
            // The value goes to standard output alone; the caution beside it.
            const int flags = StateFlags(info.name, values[0], values[1]);
            for (const std::string &line : CautionLines(flags, StateSymbol(info.result)))
                std::fprintf(stderr, "%s\n", line.c_str());
            return flags > 0 && output.strict ? kExitCaution : kExitOk;
        }
        case OutcomeKind::RangeError:
            std::fprintf(stderr, "rudid32: %s: error %d: %s\n", name, outcome.code, outcome.message.c_str());
            return kExitOutOfRange;
        case OutcomeKind::Failure:
            std::fprintf(stderr, "rudid32: %s failed: %s (code %d)\n", name, outcome.message.c_str(), outcome.code);
            return kExitFailure;
    }
    return kExitFailure;
}

}  // namespace rudid::cli
