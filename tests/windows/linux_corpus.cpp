// Linux counterpart of win_harness.exe: loads libRUDID32.so with dlopen, runs
// the same corpus and prints the same lines (corpus.h), so that the outputs
// of the shared library and of the DLL under Wine can be compared byte for
// byte.
//
//   linux_corpus libRUDID32.so [CORPUS]     (corpus from stdin without CORPUS)
//
// Like the Windows harness it also checks that the x87 control word of the
// caller survives every call, that no exception flag is left pending that
// the caller's control word unmasks, that results do not depend on the
// caller's control word, that two threads get the single-threaded results
// and that RudidEvaluate gives every row the single call's result; problems
// go to stderr and the exit status.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "corpus.h"

namespace {

using corpus::Call;
using corpus::Checks;
using corpus::ClearExceptionFlags;
using corpus::kExceptionFlags;
using corpus::kHostWordDelphi;
using corpus::kHostWordMsvc;
using corpus::Outcome;
using corpus::ReadControlWord;
using corpus::kEmptyStack;
using corpus::ReadStatusWord;
using corpus::ReadTagWord;
using corpus::WriteControlWord;

using Export1 = double *(*)(double);
using Export2 = double *(*)(double, double);
using LastErrorFn = int (*)();
using MessageFn = const char *(*)();

struct Library {
    void *handle = nullptr;
    void *exports[corpus::kExportCount] = {};
    LastErrorFn lastError = nullptr;
    MessageFn lastErrorMessage = nullptr;
    corpus::EvaluateFn evaluate = nullptr;
    corpus::EvaluateFn refined = nullptr;
    corpus::DeriveFn derived = nullptr;  // null for a library older than the derived properties
    corpus::SolveFn solve = nullptr;      // null for a library older than the state solver
};

Outcome CallOnce(const Library &library, const Call &call, std::uint16_t hostWord,
                 Checks *checks) {
    const corpus::ExportInfo &info = corpus::kExports[call.exportIndex];
    const std::uint16_t ownWord = ReadControlWord();
    ClearExceptionFlags();
    WriteControlWord(hostWord);
    const std::uint16_t before = ReadControlWord();
    double *result = info.arity == 1
                         ? reinterpret_cast<Export1>(library.exports[call.exportIndex])(call.args[0])
                         : reinterpret_cast<Export2>(library.exports[call.exportIndex])(call.args[0],
                                                                                        call.args[1]);
    const std::uint16_t after = ReadControlWord();
    const std::uint16_t status = ReadStatusWord();
    const std::uint16_t tag = ReadTagWord();
    ClearExceptionFlags();
    WriteControlWord(ownWord);

    const char *name = call.text.c_str();
    if (after != before)
        checks->Fail("%s (line %d): control word 0x%04x after the call, host had 0x%04x", name,
                     call.line, unsigned(after), unsigned(before));
    // The host calls with no exception flag set: the library must leave none.
    if (status & kExceptionFlags)
        checks->Fail("%s (line %d): status word 0x%04x after the call under control word 0x%04x: the "
                     "host had no flag set", name, call.line, unsigned(status), unsigned(before));
    if (tag != kEmptyStack)
        checks->Fail("%s (line %d): x87 stack not empty after the call (tag word 0x%04x)", name,
                     call.line, unsigned(tag));

    Outcome outcome;
    const int lastError = library.lastError();
    if (result) {
        double value;
        std::memcpy(&value, result, sizeof value);
        outcome.bits = corpus::BitsOf(value);
        if (lastError != 0)
            checks->Fail("%s (line %d): RudidLastError %d after a call that answered", name,
                         call.line, lastError);
        return outcome;
    }
    outcome.failed = true;
    outcome.code = lastError;
    outcome.message = library.lastErrorMessage();
    if (lastError == 0)
        checks->Fail("%s (line %d): null result but RudidLastError 0", name, call.line);
    return outcome;
}

std::vector<Outcome> RunCorpus(const Library &library, const std::vector<Call> &calls,
                               std::uint16_t hostWord, Checks *checks) {
    std::vector<Outcome> outcomes;
    outcomes.reserve(calls.size());
    for (const Call &call : calls) outcomes.push_back(CallOnce(library, call, hostWord, checks));
    return outcomes;
}

bool LoadExports(const char *path, Library *library) {
    library->handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library->handle) {
        std::fprintf(stderr, "FAILED: dlopen(%s): %s\n", path, dlerror());
        return false;
    }
    bool ok = true;
    auto resolve = [&](const char *name) {
        void *address = dlsym(library->handle, name);
        if (!address) {
            std::fprintf(stderr, "FAILED: %s is not exported\n", name);
            ok = false;
        }
        return address;
    };
    for (int i = 0; i < corpus::kExportCount; ++i)
        library->exports[i] = resolve(corpus::kExports[i].name);
    library->lastError = reinterpret_cast<LastErrorFn>(resolve(corpus::kDiagnostics[0].name));
    library->lastErrorMessage = reinterpret_cast<MessageFn>(resolve(corpus::kDiagnostics[1].name));
    library->evaluate = reinterpret_cast<corpus::EvaluateFn>(resolve(corpus::kBatch.name));
    library->refined = reinterpret_cast<corpus::EvaluateFn>(resolve(corpus::kRefinedBatch.name));
    library->derived = reinterpret_cast<corpus::DeriveFn>(dlsym(library->handle, corpus::kDerivedBatch.name));
    library->solve = reinterpret_cast<corpus::SolveFn>(dlsym(library->handle, corpus::kSolveStates.name));
    return ok;
}

int RunThreads(const Library &library, const std::vector<Call> &calls,
               const std::vector<Outcome> &expected) {
    int problems[2] = {0, 0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            Checks checks;
            for (int round = 0; round < 4; ++round) {
                const std::uint16_t word = round % 2 ? kHostWordDelphi : kHostWordMsvc;
                problems[t] += corpus::CompareOutcomes("thread", calls, expected,
                                                       RunCorpus(library, calls, word, &checks));
            }
            problems[t] += checks.failures;
        });
    }
    for (std::thread &thread : threads) thread.join();
    return problems[0] + problems[1];
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s libRUDID32.so [CORPUS]\n", argv[0]);
        return 2;
    }
    Library library;
    if (!LoadExports(argv[1], &library)) return 1;

    std::FILE *in = stdin;
    if (argc > 2 && !(in = std::fopen(argv[2], "r"))) {
        std::fprintf(stderr, "cannot open %s\n", argv[2]);
        return 2;
    }
    std::vector<Call> calls;
    if (!corpus::ReadCorpus(in, &calls)) return 2;
    if (in != stdin) std::fclose(in);

    Checks checks;
    const std::vector<Outcome> outcomes = RunCorpus(library, calls, kHostWordMsvc, &checks);
    for (std::size_t i = 0; i < calls.size(); ++i) corpus::PrintOutcome(stdout, calls[i], outcomes[i]);
    if (library.refined) corpus::PrintRefined(stdout, library.refined, calls);
    if (library.derived) corpus::PrintDerived(stdout, library.derived, calls);
    if (library.solve) corpus::PrintSolvedByVolume(stdout, library.solve, calls);
    std::fflush(stdout);

    const int mismatches = corpus::CompareOutcomes(
        "host control word 0x1332", calls, outcomes,
        RunCorpus(library, calls, kHostWordDelphi, &checks));
    const int problems = checks.failures + mismatches + RunThreads(library, calls, outcomes) +
                         corpus::CheckBatch(library.evaluate, calls, outcomes);

    std::fprintf(stderr, "linux_corpus: %zu calls, %d problem(s)\n", calls.size(), problems);
    return problems == 0 ? 0 : 1;
}
