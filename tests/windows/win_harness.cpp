// Test host for RUDID32.dll, cross-built for Win32 and for Win64 and run
// under Wine's 32- or 64-bit loader.
//
//   win_harness.exe RUDID32.dll [CORPUS]     (corpus from stdin without CORPUS)
//   win_harness.exe RUDID32.dll --startup    (prints what start-up found: the
//       data directory and the start-up message)
//   win_harness.exe RUDID32.dll --signalling-nan
//       a signalling NaN in either argument of every property function under
//       a host word that unmasks invalid operations: failure 205 each time
//   win_harness.exe RUDID32.dll --load-word W [CORPUS]
//       loads the DLL under host x87 control word W (hex), keeps W for every
//       call, prints the corpus results and checks the helper functions
//       under W (no hardware exception, no flag left)
//   win_harness.exe RUDID32.dll --hold-open FILE [CORPUS]
//       keeps FILE open for reading, as another reader of the tables would,
//       while the corpus runs
//
// It loads the DLL as a host does, checks that every export resolves to the
// same address by name and by ordinal, runs the corpus and prints one line
// per call (see corpus.h). A call that raises the library's exception prints
// its failure code; the exception is caught through a vectored handler that
// resumes the thread in the harness.
//
// Besides the printed results it checks, reporting on stderr and through the
// exit status:
//   - the host's x87 control word is the same after every call, normal or
//     failing, the x87 register stack is empty, and no exception flag is
//     left pending that the host's control
//     word unmasks (the corpus runs under an MSVC-like word with 53-bit
//     precision and again under a Delphi-like word with invalid operation,
//     division by zero and overflow unmasked);
//   - on x64, the host's SSE control and status register (MXCSR) is the same
//     after every call too; each x87 host word goes with the MXCSR of the
//     same host (the same exceptions masked, the same rounding);
//   - the results do not depend on the host's control word;
//   - a failure is raised as RUDID_EXCEPTION_CODE, non-continuable, with the
//     failure code as its one parameter, and RudidLastError agrees with it;
//   - two threads running the corpus at the same time get the same results;
//   - RudidEvaluate gives every row exactly what the single call gave.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "corpus.h"
#include "rudid32.h"

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

// The exports take doubles by value (cdecl). On i686 they are called through
// a type that passes the same eight bytes per argument on the stack as
// integers, so that the call itself runs no x87 instruction under the host
// control word. On x64 doubles travel in SSE registers, which copy a
// signalling NaN unchanged.
#if defined(__x86_64__)
using Argument = double;
#else
using Argument = std::uint64_t;
#endif
using Export1 = double *(__cdecl *)(Argument);
using Export2 = double *(__cdecl *)(Argument, Argument);
using LastErrorFn = int(__cdecl *)();
using MessageFn = const char *(__cdecl *)();

// GetProcAddress gives a FARPROC; the detour through a function type without
// arguments is the sanctioned way to cast between unrelated function types.
template <typename Function>
Function As(FARPROC address) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

struct Library {
    HMODULE module = nullptr;
    FARPROC exports[corpus::kExportCount] = {};
    LastErrorFn lastError = nullptr;
    MessageFn lastErrorMessage = nullptr;
    MessageFn startupMessage = nullptr;
    MessageFn dataDirectory = nullptr;
    corpus::EvaluateFn evaluate = nullptr;
    corpus::EvaluateFn refined = nullptr;
    corpus::DeriveFn derived = nullptr;
    corpus::SolveFn solve = nullptr;
};

// Per-thread state of a guarded call, reached from the vectored handler
// through a TLS slot.
struct Guard {
    void *jump[5];           // __builtin_setjmp buffer
    ULONG_PTR sehHead;       // i686: fs:[0] when the call started
    volatile LONG armed;
    DWORD exceptionCode;
    DWORD exceptionFlags;
    DWORD parameterCount;
    ULONG_PTR parameter;
};

DWORD gGuardSlot = TLS_OUT_OF_INDEXES;

bool IsCaughtException(DWORD code) {
    switch (code) {
        case RUDID_EXCEPTION_CODE:
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_STACK_OVERFLOW:
        case EXCEPTION_NONCONTINUABLE_EXCEPTION:
        case EXCEPTION_FLT_DENORMAL_OPERAND:
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_FLT_INEXACT_RESULT:
        case EXCEPTION_FLT_INVALID_OPERATION:
        case EXCEPTION_FLT_OVERFLOW:
        case EXCEPTION_FLT_STACK_CHECK:
        case EXCEPTION_FLT_UNDERFLOW:
            return true;
        default:
            return false;
    }
}

// Entered in place of the faulting code: puts the SEH chain back as it was
// when the call started and jumps back into GuardedCall.
// (x64 has no SEH chain in memory: its handlers are found through the
// unwind tables, so only the stack and the jump matter.)
__attribute__((noreturn, noinline)) void ResumeAfterException() {
    auto *guard = static_cast<Guard *>(TlsGetValue(gGuardSlot));
#if !defined(__x86_64__)
    __asm__ __volatile__("movl %0, %%fs:0" : : "r"(guard->sehHead) : "memory");
#endif
    __builtin_longjmp(guard->jump, 1);
}

LONG CALLBACK VectoredHandler(EXCEPTION_POINTERS *pointers) {
    if (gGuardSlot == TLS_OUT_OF_INDEXES) return EXCEPTION_CONTINUE_SEARCH;
    auto *guard = static_cast<Guard *>(TlsGetValue(gGuardSlot));
    const EXCEPTION_RECORD *record = pointers->ExceptionRecord;
    if (!guard || !guard->armed || !IsCaughtException(record->ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    guard->armed = 0;
    guard->exceptionCode = record->ExceptionCode;
    guard->exceptionFlags = record->ExceptionFlags;
    guard->parameterCount = record->NumberParameters;
    guard->parameter = record->NumberParameters > 0 ? record->ExceptionInformation[0] : 0;
    // Continue in ResumeAfterException on the stack below the faulting
    // frame; everything below the frame that raised is dead once the
    // dispatcher continues. A vectored handler may redirect even a
    // non-continuable exception: the context is simply resumed.
    CONTEXT *context = pointers->ContextRecord;
#if defined(__x86_64__)
    // On entry to a function the stack is 16-byte aligned but for the
    // return address.
    DWORD64 rsp = (context->Rsp - 512) & ~DWORD64(15);
    rsp -= sizeof(DWORD64);
    *reinterpret_cast<DWORD64 *>(rsp) = 0;  // return address, never used
    context->Rsp = rsp;
    context->Rip = reinterpret_cast<DWORD64>(&ResumeAfterException);
#else
    DWORD esp = (context->Esp - 512) & ~DWORD(15);
    esp -= sizeof(DWORD);
    *reinterpret_cast<DWORD *>(esp) = 0;  // return address, never used
    context->Esp = esp;
    context->Eip = reinterpret_cast<DWORD>(&ResumeAfterException);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

Guard *ThreadGuard() {
    auto *guard = static_cast<Guard *>(TlsGetValue(gGuardSlot));
    if (!guard) {
        guard = new Guard{};
        TlsSetValue(gGuardSlot, guard);
    }
    return guard;
}

// Everything the guarded call leaves behind; written before the long jump
// and read after it, so it lives in memory.
struct RawCall {
    bool raised;
    double *result;
    std::uint16_t controlWordBefore;  // the host word as the FPU reads it back
    std::uint16_t controlWordAfter;
    std::uint16_t statusWordAfter;
    std::uint16_t tagWordAfter;
    std::uint32_t mxcsrBefore;  // x64: the host's MXCSR as set
    std::uint32_t mxcsrAfter;
};

#if defined(__x86_64__)
std::uint32_t ReadMxcsr() {
    std::uint32_t value;
    __asm__ __volatile__("stmxcsr %0" : "=m"(value));
    return value;
}

void WriteMxcsr(std::uint32_t value) { __asm__ __volatile__("ldmxcsr %0" : : "m"(value) : "memory"); }

// The MXCSR of the host whose x87 control word this is: the same exceptions
// masked (x87 bits 0-5, MXCSR bits 7-12) and the same rounding (bits 10-11,
// 13-14), no flag pending. 0x027F gives 0x1F80, the Windows default; the
// Delphi word 0x1332 gives 0x1900, Delphi's default on Win64.
std::uint32_t HostMxcsrFor(std::uint16_t hostWord) {
    return (std::uint32_t(hostWord & 0x3F) << 7) | (std::uint32_t(hostWord & 0x0C00) << 3);
}
#endif

__attribute__((noinline)) void GuardedCall(Guard *guard, FARPROC function, int arity,
                                           const double *args, std::uint16_t hostWord,
                                           volatile RawCall *raw) {
    const std::uint16_t ownWord = ReadControlWord();
    raw->raised = false;
    raw->result = nullptr;
    Argument a0, a1;
    std::memcpy(&a0, &args[0], sizeof a0);
    std::memcpy(&a1, &args[1], sizeof a1);
#if defined(__x86_64__)
    const std::uint32_t ownMxcsr = ReadMxcsr();
#endif
    if (__builtin_setjmp(guard->jump) == 0) {
#if !defined(__x86_64__)
        DWORD head;
        __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
        guard->sehHead = head;
#endif
        guard->armed = 1;
        ClearExceptionFlags();
        WriteControlWord(hostWord);
        raw->controlWordBefore = ReadControlWord();
#if defined(__x86_64__)
        WriteMxcsr(HostMxcsrFor(hostWord));
        raw->mxcsrBefore = ReadMxcsr();
#endif
        double *result = arity == 1 ? As<Export1>(function)(a0)
                                    : As<Export2>(function)(a0, a1);
#if defined(__x86_64__)
        raw->mxcsrAfter = ReadMxcsr();
#endif
        raw->controlWordAfter = ReadControlWord();
        raw->statusWordAfter = ReadStatusWord();
        raw->tagWordAfter = ReadTagWord();
        guard->armed = 0;
        raw->result = result;
    } else {
#if defined(__x86_64__)
        raw->mxcsrAfter = ReadMxcsr();
#endif
        raw->controlWordAfter = ReadControlWord();
        raw->statusWordAfter = ReadStatusWord();
        raw->tagWordAfter = ReadTagWord();
        raw->raised = true;
    }
#if defined(__x86_64__)
    WriteMxcsr(ownMxcsr);
#endif
    ClearExceptionFlags();
    WriteControlWord(ownWord);
}

Outcome CallOnce(const Library &library, const Call &call, std::uint16_t hostWord,
                 Checks *checks) {
    Guard *guard = ThreadGuard();
    const corpus::ExportInfo &info = corpus::kExports[call.exportIndex];
    volatile RawCall raw{};
    GuardedCall(guard, library.exports[call.exportIndex], info.arity, call.args, hostWord, &raw);

    const char *name = call.text.c_str();
    if (raw.controlWordAfter != raw.controlWordBefore)
        checks->Fail("%s (line %d): control word 0x%04x after the call, host had 0x%04x", name,
                     call.line, unsigned(raw.controlWordAfter), unsigned(raw.controlWordBefore));
    // The host calls with no exception flag set: the library must leave none.
    if (raw.statusWordAfter & kExceptionFlags)
        checks->Fail("%s (line %d): status word 0x%04x after the call under control word 0x%04x: the "
                     "host had no flag set", name, call.line, unsigned(raw.statusWordAfter),
                     unsigned(raw.controlWordBefore));
    if (raw.tagWordAfter != kEmptyStack)
        checks->Fail("%s (line %d): x87 stack not empty after the call (tag word 0x%04x)", name,
                     call.line, unsigned(raw.tagWordAfter));
#if defined(__x86_64__)
    if (raw.mxcsrAfter != raw.mxcsrBefore)
        checks->Fail("%s (line %d): MXCSR 0x%04x after the call, host had 0x%04x", name, call.line,
                     unsigned(raw.mxcsrAfter), unsigned(raw.mxcsrBefore));
#endif

    Outcome outcome;
    const int lastError = library.lastError();
    if (!raw.raised) {
        if (!raw.result) {
            checks->Fail("%s (line %d): null result without an exception", name, call.line);
            outcome.failed = true;
            outcome.code = -1;
            outcome.message = "null result";
            return outcome;
        }
        double value;
        std::memcpy(&value, const_cast<double *>(raw.result), sizeof value);
        outcome.bits = corpus::BitsOf(value);
        if (lastError != 0)
            checks->Fail("%s (line %d): RudidLastError %d after a call that answered", name,
                         call.line, lastError);
        return outcome;
    }

    outcome.failed = true;
    if (guard->exceptionCode != RUDID_EXCEPTION_CODE) {
        char text[64];
        std::snprintf(text, sizeof text, "exception 0x%08lx", guard->exceptionCode);
        outcome.code = -1;
        outcome.message = text;
        checks->Fail("%s (line %d): unexpected exception 0x%08x", name, call.line,
                     unsigned(guard->exceptionCode));
        return outcome;
    }
    if (!(guard->exceptionFlags & EXCEPTION_NONCONTINUABLE))
        checks->Fail("%s (line %d): exception flags 0x%x lack EXCEPTION_NONCONTINUABLE", name,
                     call.line, unsigned(guard->exceptionFlags));
    if (guard->parameterCount != 1)
        checks->Fail("%s (line %d): exception has %u parameters, not 1", name, call.line,
                     unsigned(guard->parameterCount));
    outcome.code = int(guard->parameter);
    outcome.message = library.lastErrorMessage();
    if (lastError != outcome.code)
        checks->Fail("%s (line %d): exception parameter %d but RudidLastError %d", name,
                     call.line, outcome.code, lastError);
    if (outcome.message.empty())
        checks->Fail("%s (line %d): failure %d without a message", name, call.line,
                     outcome.code);
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
    library->module = LoadLibraryA(path);
    if (!library->module) {
        std::fprintf(stderr, "FAILED: LoadLibraryA(%s): error %lu\n", path, GetLastError());
        return false;
    }
    bool ok = true;
    auto resolve = [&](const corpus::ExportInfo &info) -> FARPROC {
        FARPROC byName = GetProcAddress(library->module, info.name);
        FARPROC byOrdinal = GetProcAddress(library->module, MAKEINTRESOURCEA(info.ordinal));
        if (!byName || byName != byOrdinal) {
            std::fprintf(stderr, "FAILED: %s: by name %p, by ordinal %d %p\n", info.name,
                         reinterpret_cast<void *>(byName), info.ordinal,
                         reinterpret_cast<void *>(byOrdinal));
            ok = false;
        }
        return byName;
    };
    for (int i = 0; i < corpus::kExportCount; ++i)
        library->exports[i] = resolve(corpus::kExports[i]);
    library->lastError = As<LastErrorFn>(resolve(corpus::kDiagnostics[0]));
    library->lastErrorMessage = As<MessageFn>(resolve(corpus::kDiagnostics[1]));
    library->startupMessage = As<MessageFn>(resolve(corpus::kDiagnostics[2]));
    library->dataDirectory = As<MessageFn>(resolve(corpus::kDiagnostics[3]));
    library->evaluate = As<corpus::EvaluateFn>(resolve(corpus::kBatch));
    library->refined = As<corpus::EvaluateFn>(resolve(corpus::kRefinedBatch));
    library->derived = As<corpus::DeriveFn>(resolve(corpus::kDerivedBatch));
    library->solve = As<corpus::SolveFn>(resolve(corpus::kSolveStates));
    return ok;
}

// A signalling NaN in either argument of every property function, under a
// host control word that unmasks invalid operations: each call must raise
// the library's exception with failure 205 (Floating point overflow), like
// any NaN argument, and leave the host's control word, no pending unmasked
// flag and an empty x87 stack. Returns the number of problems.
int CheckSignallingNaNs(const Library &library) {
    Checks checks;
    int calls = 0;
    for (int e = 0; e < corpus::kExportCount; ++e) {
        const corpus::ExportInfo &info = corpus::kExports[e];
        for (int position = 0; position < info.arity; ++position) {
            Call call{};
            call.line = 0;
            call.exportIndex = e;
            call.args[0] = 1;    // 1 bar or 1 C
            call.args[1] = 0.5;  // any finite value: the NaN decides
            std::memcpy(&call.args[position], &corpus::kSignallingNaNBits, sizeof(double));
            call.text = std::string(info.name) + (position == 0 ? " sNaN first" : " sNaN second");
            const Outcome outcome = CallOnce(library, call, kHostWordDelphi, &checks);
            ++calls;
            if (!outcome.failed || outcome.code != RUDID_FLOATING_POINT_OVERFLOW)
                checks.Fail("%s: %s %d instead of the failure %d", call.text.c_str(),
                            outcome.failed ? "failure" : "answered", outcome.failed ? outcome.code : 0,
                            RUDID_FLOATING_POINT_OVERFLOW);
        }
    }
    std::printf("signalling NaN: %d calls, %d problem(s)\n", calls, checks.failures);
    return checks.failures;
}

// A helper function (not a property function) called under a host word:
// through types that pass doubles as integers, so that only the library
// touches them.
struct HelperCall {
    const char *text;
    void (*run)(const Library &, volatile int *);
    int expected;
};

using RangeCodeFn = int(__cdecl *)(Argument);
using StateFlagsFn = int(__cdecl *)(const char *, Argument, Argument);
using ConvertFn = double(__cdecl *)(int, Argument);
using RangeMessageFn = const char *(__cdecl *)(int, int);

constexpr std::uint64_t kQuietNaNBits = 0x7FF8000000000000ull;
constexpr std::uint64_t kInfinityBits = 0x7FF0000000000000ull;
constexpr std::uint64_t kOneBits = 0x3FF0000000000000ull;

// A double argument of the given bits, as the helper types pass it.
Argument Arg(std::uint64_t bits) {
    Argument argument;
    std::memcpy(&argument, &bits, sizeof argument);
    return argument;
}

FARPROC Helper(const Library &library, const char *name) { return GetProcAddress(library.module, name); }

// Each one a way a helper could run floating-point code on the host's word:
// a NaN in RudidRangeCode (a failed batch row holds one), a signalling NaN
// in RudidStateFlags, values the conversions cannot convert, a range
// message that converts its limits.
const HelperCall kHelperCalls[] = {
    {"RudidRangeCode(quiet NaN)", [](const Library &l, volatile int *out) {
         *out = As<RangeCodeFn>(Helper(l, "RudidRangeCode"))(Arg(kQuietNaNBits)); }, 0},
    {"RudidRangeCode(signalling NaN)", [](const Library &l, volatile int *out) {
         *out = As<RangeCodeFn>(Helper(l, "RudidRangeCode"))(Arg(corpus::kSignallingNaNBits)); }, 0},
    {"RudidStateFlags(AQPPT, signalling NaN)", [](const Library &l, volatile int *out) {
         *out = As<StateFlagsFn>(Helper(l, "RudidStateFlags"))("AQPPT", Arg(corpus::kSignallingNaNBits), Arg(0)); }, 0},
    {"RudidStateFlags(AQPPTH, 1, signalling NaN)", [](const Library &l, volatile int *out) {
         *out = As<StateFlagsFn>(Helper(l, "RudidStateFlags"))("AQPPTH", Arg(kOneBits), Arg(corpus::kSignallingNaNBits)); }, 0},
    {"RudidToConfiguredUnit(pressure, signalling NaN)", [](const Library &l, volatile int *out) {
         *out = std::isnan(As<ConvertFn>(Helper(l, "RudidToConfiguredUnit"))(RUDID_PRESSURE, Arg(corpus::kSignallingNaNBits))); }, 1},
    {"RudidFromConfiguredUnit(pressure, quiet NaN)", [](const Library &l, volatile int *out) {
         *out = std::isnan(As<ConvertFn>(Helper(l, "RudidFromConfiguredUnit"))(RUDID_PRESSURE, Arg(kQuietNaNBits))); }, 1},
    {"RudidToConfiguredUnit(enthalpy, infinity)", [](const Library &l, volatile int *out) {
         *out = std::isnan(As<ConvertFn>(Helper(l, "RudidToConfiguredUnit"))(RUDID_SPECIFIC_ENTHALPY, Arg(kInfinityBits))); }, 1},
    {"RudidFromConfiguredUnit(pressure, 1)", [](const Library &l, volatile int *out) {
         *out = As<ConvertFn>(Helper(l, "RudidFromConfiguredUnit"))(RUDID_PRESSURE, Arg(kOneBits)) == 1.0; }, 1},
    {"RudidRangeMessage(-1, -1001)", [](const Library &l, volatile int *out) {
         *out = As<RangeMessageFn>(Helper(l, "RudidRangeMessage"))(-1, RUDID_PRESSURE_OUT_OF_RANGE) != nullptr; }, 1},
};

__attribute__((noinline)) void GuardedHelper(Guard *guard, const Library &library, const HelperCall &call,
                                             std::uint16_t hostWord, volatile RawCall *raw,
                                             volatile int *answer) {
    const std::uint16_t ownWord = ReadControlWord();
#if defined(__x86_64__)
    const std::uint32_t ownMxcsr = ReadMxcsr();
#endif
    raw->raised = false;
    if (__builtin_setjmp(guard->jump) == 0) {
#if defined(__x86_64__)
        raw->mxcsrBefore = ReadMxcsr();
#else
        DWORD head;
        __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
        guard->sehHead = head;
#endif
        guard->armed = 1;
        ClearExceptionFlags();
        WriteControlWord(hostWord);
        raw->controlWordBefore = ReadControlWord();
#if defined(__x86_64__)
        WriteMxcsr(HostMxcsrFor(hostWord));
        raw->mxcsrBefore = ReadMxcsr();
#endif
        call.run(library, answer);
#if defined(__x86_64__)
        raw->mxcsrAfter = ReadMxcsr();
#endif
        raw->controlWordAfter = ReadControlWord();
        raw->statusWordAfter = ReadStatusWord();
        guard->armed = 0;
    } else {
#if defined(__x86_64__)
        raw->mxcsrAfter = ReadMxcsr();
#endif
        raw->controlWordAfter = ReadControlWord();
        raw->statusWordAfter = ReadStatusWord();
        raw->raised = true;
    }
#if defined(__x86_64__)
    WriteMxcsr(ownMxcsr);
#endif
    ClearExceptionFlags();
    WriteControlWord(ownWord);
}

// The helpers under a host word: none may raise an exception (hardware or
// the library's), and each must leave the host's control word and no flag.
// Returns the number of problems.
int CheckHelpers(const Library &library, std::uint16_t hostWord) {
    Checks checks;
    for (const HelperCall &call : kHelperCalls) {
        volatile RawCall raw{};
        volatile int answer = -1;
        GuardedHelper(ThreadGuard(), library, call, hostWord, &raw, &answer);
        if (raw.raised)
            checks.Fail("%s under 0x%04x raised exception 0x%08x", call.text, unsigned(hostWord),
                        unsigned(ThreadGuard()->exceptionCode));
        else if (answer != call.expected)
            checks.Fail("%s under 0x%04x: wrong answer %d", call.text, unsigned(hostWord), int(answer));
        if (raw.controlWordAfter != raw.controlWordBefore)
            checks.Fail("%s: control word 0x%04x after the call, host had 0x%04x", call.text,
                        unsigned(raw.controlWordAfter), unsigned(raw.controlWordBefore));
        if (raw.statusWordAfter & kExceptionFlags)
            checks.Fail("%s: status word 0x%04x after the call: the host had no flag set", call.text,
                        unsigned(raw.statusWordAfter));
#if defined(__x86_64__)
        if (raw.mxcsrAfter != raw.mxcsrBefore)
            checks.Fail("%s: MXCSR 0x%04x after the call, host had 0x%04x", call.text,
                        unsigned(raw.mxcsrAfter), unsigned(raw.mxcsrBefore));
#endif
    }
    std::fprintf(stderr, "helpers under 0x%04x: %d calls, %d problem(s)\n", unsigned(hostWord),
                int(sizeof kHelperCalls / sizeof kHelperCalls[0]), checks.failures);
    return checks.failures;
}

struct ThreadWork {
    const Library *library;
    const std::vector<Call> *calls;
    const std::vector<Outcome> *expected;
    HANDLE start;
    int rounds;
    int mismatches;
    Checks checks;
};

DWORD WINAPI ThreadMain(LPVOID parameter) {
    auto *work = static_cast<ThreadWork *>(parameter);
    WaitForSingleObject(work->start, INFINITE);
    for (int round = 0; round < work->rounds; ++round) {
        const std::uint16_t word = round % 2 ? kHostWordDelphi : kHostWordMsvc;
        const std::vector<Outcome> got = RunCorpus(*work->library, *work->calls, word, &work->checks);
        work->mismatches += corpus::CompareOutcomes("thread", *work->calls, *work->expected, got);
    }
    delete static_cast<Guard *>(TlsGetValue(gGuardSlot));
    return 0;
}

// Two threads run the corpus at the same time; each must see exactly the
// single-threaded results.
int RunThreads(const Library &library, const std::vector<Call> &calls,
               const std::vector<Outcome> &expected) {
    HANDLE start = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ThreadWork work[2];
    HANDLE threads[2];
    for (int i = 0; i < 2; ++i) {
        work[i] = ThreadWork{&library, &calls, &expected, start, 4, 0, {}};
        threads[i] = CreateThread(nullptr, 0, &ThreadMain, &work[i], 0, nullptr);
        if (!threads[i]) {
            std::fprintf(stderr, "FAILED: CreateThread: error %lu\n", GetLastError());
            return 1;
        }
    }
    SetEvent(start);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    int problems = 0;
    for (int i = 0; i < 2; ++i) {
        CloseHandle(threads[i]);
        problems += work[i].mismatches + work[i].checks.failures;
    }
    CloseHandle(start);
    return problems;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s RUDID32.dll [--hold-open FILE] [CORPUS | --startup]\n",
                     argv[0]);
        return 2;
    }
    // Plain "\n" line ends, as on Linux, so that the outputs compare byte for byte.
    _setmode(_fileno(stdout), _O_BINARY);
    gGuardSlot = TlsAlloc();
    AddVectoredExceptionHandler(1, &VectoredHandler);

    // --load-word W: the host runs with x87 control word W when it loads
    // the DLL and keeps it for every call; the corpus output must be the
    // same as under any other word.
    int next = 2;
    bool loadUnderWord = false;
    std::uint16_t loadWord = 0;
    if (argc > next + 1 && std::strcmp(argv[next], "--load-word") == 0) {
        loadUnderWord = true;
        loadWord = std::uint16_t(std::strtoul(argv[next + 1], nullptr, 16));
        next += 2;
    }
    const std::uint16_t ownWord = ReadControlWord();
    if (loadUnderWord) {
        ClearExceptionFlags();
        WriteControlWord(loadWord);
    }
    Library library;
    const bool exportsOk = LoadExports(argv[1], &library);
    if (loadUnderWord) {
        ClearExceptionFlags();
        WriteControlWord(ownWord);
    }
    if (!library.module) return 1;
    if (argc > next && std::strcmp(argv[next], "--startup") == 0) {
        if (!library.startupMessage || !library.dataDirectory) return 1;
        std::printf("data-directory: %s\n", library.dataDirectory());
        std::printf("startup-message: %s\n", library.startupMessage());
        return exportsOk ? 0 : 1;
    }
    if (!exportsOk) return 1;
    if (argc > next && std::strcmp(argv[next], "--signalling-nan") == 0)
        return CheckSignallingNaNs(library) == 0 ? 0 : 1;
    HANDLE held = INVALID_HANDLE_VALUE;
    if (argc > next + 1 && std::strcmp(argv[next], "--hold-open") == 0) {
        held = CreateFileA(argv[next + 1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (held == INVALID_HANDLE_VALUE) {
            std::fprintf(stderr, "cannot open %s: error %lu\n", argv[next + 1], GetLastError());
            return 2;
        }
        next += 2;
    }

    std::FILE *in = stdin;
    if (argc > next && !(in = std::fopen(argv[next], "r"))) {
        std::fprintf(stderr, "cannot open %s\n", argv[next]);
        return 2;
    }
    std::vector<Call> calls;
    if (!corpus::ReadCorpus(in, &calls)) return 2;
    if (in != stdin) std::fclose(in);

    Checks checks;
    if (loadUnderWord) {
        const std::vector<Outcome> outcomes = RunCorpus(library, calls, loadWord, &checks);
        for (std::size_t i = 0; i < calls.size(); ++i) corpus::PrintOutcome(stdout, calls[i], outcomes[i]);
        if (library.refined) corpus::PrintRefined(stdout, library.refined, calls);
    if (library.derived) corpus::PrintDerived(stdout, library.derived, calls);
    if (library.solve) corpus::PrintSolvedByVolume(stdout, library.solve, calls);
        std::fflush(stdout);
        const int problems = checks.failures + CheckHelpers(library, loadWord);
        std::fprintf(stderr, "win_harness: loaded under 0x%04x, %zu calls, %d problem(s)\n", unsigned(loadWord),
                     calls.size(), problems);
        return problems == 0 ? 0 : 1;
    }
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
                         corpus::CheckBatch(library.evaluate, calls, outcomes) +
                         CheckHelpers(library, kHostWordDelphi);

    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    std::fprintf(stderr, "win_harness: %zu calls, %d problem(s)\n", calls.size(), problems);
    return problems == 0 ? 0 : 1;
}
