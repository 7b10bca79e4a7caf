// What every fuzz target checks about a call, beyond "it did not crash":
// the host's x87 control word comes back unchanged with no unmasked
// exception pending and the x87 stack empty; a NULL result comes exactly
// with a failure code, and the code is one the library documents; an
// answer is a finite double; a NaN or infinite argument fails with 205;
// and the batch call gives the single call's double bit for bit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "rudid32.h"

namespace rudid::fuzzing {

// Reports a broken property and aborts, so that libFuzzer keeps the input.
[[noreturn]] void Broken(const std::string &what);

#define FUZZ_CHECK(condition, what)                                                         \
    do {                                                                                    \
        if (!(condition)) ::rudid::fuzzing::Broken(std::string(#condition " -- ") + (what)); \
    } while (0)

// The 23 property functions in ordinal order, as the header lists them.
#define RUDID_FUZZ_COUNT_ROW(...) +1
constexpr int kExportCount = 0 RUDID_PROPERTY_FUNCTIONS(RUDID_FUZZ_COUNT_ROW);
#undef RUDID_FUZZ_COUNT_ROW
const std::vector<std::string> &Names();
bool TakesOneArgument(int index);

// The functions of one loaded library: a dlopen'ed copy or the library's
// code linked into the fuzz target. property[i] is the address of function
// i, of type double *(double) or double *(double, double) by its arity.
struct LibraryFunctions {
    void *property[kExportCount];
    decltype(&::RudidEvaluate) evaluate;
    decltype(&::RudidLastError) lastError;
    decltype(&::RudidEvaluateRefined) refined;
    // The VBA twin RudidVb<name> of function i, of type
    // double (double, int *) or double (double, double, int *) by its arity,
    // and their messages; CheckedCall calls the twin when it is there.
    void *vb[kExportCount];
    decltype(&::RudidVbMessage) vbMessage;
    decltype(&::RudidEvaluateWithFlags) evaluateWithFlags;
    decltype(&::RudidStateFlags) stateFlags;
};

// Control words a host may run with: the library's own, double and single
// precision, other rounding, and the invalid-operation, zero-divide and
// overflow exceptions unmasked.
std::uint16_t HostControlWord(FuzzedDataProvider &data);

// A double from the input: raw bits (NaN payloads, infinities, huge and tiny
// values) or a value in the range where the tables answer.
double ArgumentFrom(FuzzedDataProvider &data);

struct Outcome {
    bool answered;
    std::uint64_t bits;  // of the answer
    int code;            // RudidLastError() after the call
};

// One call of export `index` under the host's control word, with every
// property of a single call checked; then the same call of its VBA twin,
// which must give the same double (an error code also as `code`, a failure
// as its code with a NaN), and RudidVbMessage of that code.
Outcome CheckedCall(const LibraryFunctions &lib, int index, double a, double b, std::uint16_t hostWord);

// The same arguments as one batch row: the row must hold the single call's
// outcome, the return value must count it, and the thread's last failure
// must stay what the single call left.
void CheckBatchRow(const LibraryFunctions &lib, int index, double a, double b, const Outcome &single,
                   std::uint16_t hostWord);

// Puts the targets' scratch directories into memory (/dev/shm) unless
// TMPDIR says otherwise: a target rewrites its files on every input.
// The refined answer of the same state (RudidEvaluateRefined, one row):
// a finite double, or NaN with a documented failure code; the host's
// words kept and the thread's last failure untouched.
void CheckRefinedRow(const LibraryFunctions &lib, int index, double a, double b, const Outcome &single,
                     std::uint16_t hostWord);

void PreferMemoryForScratchFiles();

// A documented failure code of a call that gives no value.
bool DocumentedFailure(int code);

// The host's view of the arithmetic state right after a call returned.
struct HostState {
    std::uint16_t hostWord;  // as the processor holds it: reserved bits read back fixed
    std::uint16_t control, pendingUnmasked, tags;
};

// Runs the host with a control word from construction to Leave(), which
// reads the state the call left and puts the fuzzer's own word back.
class HostWord {
public:
    explicit HostWord(std::uint16_t word);
    HostState Leave();

private:
    std::uint16_t saved_, effective_;
};

// The control word is the host's again, no unmasked exception is pending,
// and the x87 stack is empty.
void CheckHostState(const HostState &state, const std::string &call);

}  // namespace rudid::fuzzing
