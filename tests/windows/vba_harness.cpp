/* Test host for the Visual Basic twins of RUDID32.dll (RudidVbAQPPT ...,
 * RudidVbMessage), cross-built for Win32 and Win64 and run under Wine. It
 * calls them exactly as the Declare lines of examples/excel/RUDID32.bas do:
 *
 *   Declare PtrSafe Function RudidVbAQPPTH Lib "RUDID32.dll" _
 *       (ByVal arg1 As Double, ByVal arg2 As Double, ByRef code As Long) As Double
 *   Declare PtrSafe Function RudidVbMessage Lib "RUDID32.dll" _
 *       (ByVal func As String, ByVal code As Long, ByVal buffer As String, _
 *        ByVal size As Long) As Long
 *
 * that is: on 32-bit Office __stdcall, each Double as eight bytes on the
 * stack, the Long by reference as the address of a 32-bit integer, a String
 * by value as the address of a zero-terminated ANSI copy, the Double result
 * in ST(0), the callee removing the arguments; on 64-bit Office the x64
 * convention (doubles in XMM registers, the result in XMM0).
 *
 *   vba_harness.exe RUDID32.dll [CORPUS]
 *   vba_harness.exe RUDID32.dll --load-word W [CORPUS]
 *       loads the DLL under host x87 control word W (hex; on x64 with the
 *       MXCSR of the same host) and runs the corpus under W only
 *
 * It runs the corpus (corpus.txt, read and printed with corpus.h) as
 * win_harness.exe and linux_corpus do, so that compare_with_linux.sh
 * compares it with the Linux library bit for bit; a failure prints its code
 * and RudidVbMessage's text. Besides, reported on stderr and through the exit status:
 *   - i686: the stack pointer is the same after every call as before the
 *     arguments were pushed (VBA stops with error 49, "Bad DLL calling
 *     convention", otherwise); a cdecl export called the same way shows
 *     that the check sees an unbalanced stack;
 *   - the host's x87 control word, and on x64 its MXCSR, are unchanged;
 *     no x87 exception flag is left, and the x87 stack is empty once the
 *     result is stored;
 *   - the code and the value agree: 0 and a property, an error code and
 *     that code as the value, a failure code and a NaN with RudidLastError
 *     giving the same code; nothing is raised;
 *   - where the twin answered, the cdecl export gives the same bits;
 *   - the corpus gives the same outcomes under a Delphi-like host word;
 *   - RudidVbMessage fills a short buffer as far as it goes and returns the
 *     whole length;
 *   - the context twins (RudidVbOpen, RudidVbContextEvaluate, ...) give, on
 *     every corpus line, the bits, code and flags of RudidContextEvaluate
 *     for the table and the refined answer, in the process's context and in
 *     one opened in psi, with the stack and the host's words intact; their
 *     table answers are the twins' bits.
 *
 *   vba_harness.exe RUDID32.dll --context-calls
 *       reads corpus lines from stdin and prints, for each, the refined
 *       answer's code and RudidVbContextMessage's text */
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "corpus.h"
#include "rudid32.h"

using corpus::Call;
using corpus::kExports;
using corpus::ReadControlWord;
using corpus::ReadStatusWord;
using corpus::ReadTagWord;
using corpus::WriteControlWord;

#if defined(__x86_64__)
typedef double Argument;
#else
/* The same eight bytes on the stack, never loaded into the x87 unit. */
typedef uint64_t Argument;
#endif
typedef double(__stdcall *VbProperty1)(Argument, int32_t *);
typedef double(__stdcall *VbProperty2)(Argument, Argument, int32_t *);
typedef int32_t(__stdcall *VbMessage)(const char *, int32_t, char *, int32_t);
typedef double *(__cdecl *Property1)(Argument);
typedef double *(__cdecl *Property2)(Argument, Argument);
typedef int(__cdecl *LastErrorFn)(void);
/* GetProcAddress's FARPROC is cast through this type, the one GCC accepts
 * between unrelated function types. */
typedef void (*AnyFunction)(void);

enum { kFunctionCount = corpus::kExportCount };

using corpus::kHostWordDelphi;
using corpus::kHostWordMsvc;

static struct {
    AnyFunction vb[kFunctionCount];
    AnyFunction cdecl_[kFunctionCount];
    VbMessage message;
    LastErrorFn lastError;
} gLibrary;

typedef void *(__cdecl *OpenFn)(const char *, const char *, int);
typedef void(__cdecl *CloseFn)(void *);
typedef int(__cdecl *ContextEvaluateFn)(void *, const char *, int, size_t, const double *, const double *, double *,
                                        int *, int *);
#if defined(__x86_64__)
typedef void *(__stdcall *VbOpenFn)(const char *, const char *, int32_t);
typedef void(__stdcall *VbCloseFn)(void *);
typedef double(__stdcall *VbEvaluateFn)(void *, const char *, int32_t, double, double, int32_t *);
typedef int32_t(__stdcall *VbFlagsFn)(void *, const char *, int32_t, double, double);
typedef int32_t(__stdcall *VbContextMessageFn)(const void *, const char *, int32_t, char *, int32_t);
#endif

static struct {
    AnyFunction open, close, evaluate, flags, message;
    OpenFn cOpen;
    CloseFn cClose;
    ContextEvaluateFn cEvaluate;
} gContexts;

static int gProblems;

static void Fail(const char *format, ...) {
    va_list args;
    if (++gProblems > 20) return;
    va_start(args, format);
    fprintf(stderr, "FAILED: ");
    vfprintf(stderr, format, args);
    fprintf(stderr, "\n");
    va_end(args);
}

#if defined(__x86_64__)
static uint32_t ReadMxcsr(void) {
    uint32_t value;
    __asm__ __volatile__("stmxcsr %0" : "=m"(value));
    return value;
}
static void WriteMxcsr(uint32_t value) { __asm__ __volatile__("ldmxcsr %0" : : "m"(value) : "memory"); }
/* The MXCSR of the host whose x87 word this is (as in win_harness.cpp). */
static uint32_t HostMxcsrFor(uint16_t word) {
    return ((uint32_t)(word & 0x3F) << 7) | ((uint32_t)(word & 0x0C00) << 3);
}
#else
/* Pushes count 32-bit words as a caller of a __stdcall function does (the
 * last word first, so words[0] ends up at the lowest address), calls
 * function, stores its result (ST(0) when returnsDouble, else EAX as a
 * 32-bit integer) at *result, and returns the stack pointer after the call
 * minus the stack pointer before the pushes: 0 when the callee removed
 * exactly its arguments. The stack is put right afterwards in any case. */
extern "C" int32_t StackCall(AnyFunction function, const uint32_t *words, int count, void *result, int returnsDouble);
__asm__(".text\n"
        ".globl _StackCall\n"
        "_StackCall:\n"
        "    pushl %ebp\n"
        "    movl %esp, %ebp\n"
        "    pushl %esi\n"
        "    pushl %edi\n"
        "    pushl %ebx\n"
        "    movl 12(%ebp), %esi\n"
        "    movl 16(%ebp), %ecx\n"
        "    movl %esp, %edi\n"
        "1:  testl %ecx, %ecx\n"
        "    jz 2f\n"
        "    pushl -4(%esi,%ecx,4)\n"
        "    decl %ecx\n"
        "    jmp 1b\n"
        "2:  call *8(%ebp)\n"
        "    movl 20(%ebp), %ecx\n"
        "    cmpl $0, 24(%ebp)\n"
        "    je 3f\n"
        "    fstpl (%ecx)\n"
        "    jmp 4f\n"
        "3:  movl %eax, (%ecx)\n"
        "4:  movl %esp, %eax\n"
        "    subl %edi, %eax\n"
        "    movl %edi, %esp\n"
        "    popl %ebx\n"
        "    popl %edi\n"
        "    popl %esi\n"
        "    popl %ebp\n"
        "    ret\n");

/* The argument words of a twin: each double as two words, low word first,
 * then the address of the code. */
static int VbWords(const double *args, int arity, int32_t *code, uint32_t *words) {
    int n = 0;
    for (int i = 0; i < arity; ++i) {
        memcpy(&words[n], &args[i], sizeof(double));
        n += 2;
    }
    words[n++] = (uint32_t)(uintptr_t)code;
    return n;
}
#endif

struct Outcome {
    int32_t code;
    uint64_t bits;
};

static uint64_t BitsOf(double value) { return corpus::BitsOf(value); }

/* One call of a twin under the host's word; checks the frame and returns
 * the code and the bits of the value. */
static Outcome CallTwin(const Call *call, uint16_t hostWord) {
    const corpus::ExportInfo *info = &kExports[call->exportIndex];
    const uint16_t ownWord = ReadControlWord();
    int32_t code = 0x7FFFFFFF;
    double value = 0;
    uint16_t before, after, status, tag;
#if defined(__x86_64__)
    const uint32_t ownMxcsr = ReadMxcsr();
    uint32_t mxcsrBefore, mxcsrAfter;
    __asm__ __volatile__("fnclex");
    WriteControlWord(hostWord);
    WriteMxcsr(HostMxcsrFor(hostWord));
    before = ReadControlWord();
    mxcsrBefore = ReadMxcsr();
    if (info->arity == 1)
        value = ((VbProperty1)gLibrary.vb[call->exportIndex])(call->args[0], &code);
    else
        value = ((VbProperty2)gLibrary.vb[call->exportIndex])(call->args[0], call->args[1], &code);
    mxcsrAfter = ReadMxcsr();
    after = ReadControlWord();
    WriteMxcsr(ownMxcsr);
    if (mxcsrAfter != mxcsrBefore)
        Fail("%s (line %d): MXCSR 0x%04x after the call, host had 0x%04x", call->text.c_str(), call->line,
             (unsigned)mxcsrAfter, (unsigned)mxcsrBefore);
#else
    uint32_t words[5];
    const int count = VbWords(call->args, info->arity, &code, words);
    int32_t unbalanced;
    __asm__ __volatile__("fnclex");
    WriteControlWord(hostWord);
    before = ReadControlWord();
    unbalanced = StackCall(gLibrary.vb[call->exportIndex], words, count, &value, 1);
    after = ReadControlWord();
    if (unbalanced != 0)
        Fail("%s (line %d): the stack is off by %d bytes after the call", call->text.c_str(), call->line,
             (int)unbalanced);
#endif
    status = ReadStatusWord();
    tag = ReadTagWord();
    __asm__ __volatile__("fnclex");
    WriteControlWord(ownWord);

    if (after != before)
        Fail("%s (line %d): control word 0x%04x after the call, host had 0x%04x", call->text.c_str(), call->line,
             (unsigned)after, (unsigned)before);
    /* The host calls with no exception flag set: the library leaves none. */
    if (status & 0x3F)
        Fail("%s (line %d): status word 0x%04x after the call under control word 0x%04x", call->text,
             call->line, (unsigned)status, (unsigned)before);
    if (tag != 0xFFFF)
        Fail("%s (line %d): x87 stack not empty after the call (tag word 0x%04x)", call->text.c_str(), call->line,
             (unsigned)tag);

    Outcome outcome = {code, BitsOf(value)};
    if (code == 0x7FFFFFFF) {
        Fail("%s (line %d): the code was not written", call->text.c_str(), call->line);
    } else if (code > 0) {
        if (!std::isnan(value)) Fail("%s (line %d): failure %d with a value", call->text.c_str(), call->line, (int)code);
        if (gLibrary.lastError() != code)
            Fail("%s (line %d): code %d but RudidLastError %d", call->text.c_str(), call->line, (int)code,
                 gLibrary.lastError());
        outcome.bits = 0;
    } else if (code < 0 && outcome.bits != BitsOf((double)code)) {
        Fail("%s (line %d): code %d with the value %.17g", call->text.c_str(), call->line, (int)code, value);
    }
    return outcome;
}

/* Where the twin answered, the cdecl export must answer with the same bits
 * (it does not raise there). */
static void CompareWithCdecl(const Call *call, const Outcome *outcome) {
    if (outcome->code > 0) return;
    Argument a0, a1;
    memcpy(&a0, &call->args[0], sizeof a0);
    memcpy(&a1, &call->args[1], sizeof a1);
    const double *result = kExports[call->exportIndex].arity == 1
                               ? ((Property1)gLibrary.cdecl_[call->exportIndex])(a0)
                               : ((Property2)gLibrary.cdecl_[call->exportIndex])(a0, a1);
    uint64_t bits;
    memcpy(&bits, result, sizeof bits);
    if (bits != outcome->bits)
        Fail("%s (line %d): the twin gave 0x%016" PRIx64 ", the cdecl export 0x%016" PRIx64, call->text,
             call->line, outcome->bits, bits);
}

static int CallMessage(const char *function, int32_t code, char *buffer, int32_t size) {
#if defined(__x86_64__)
    return gLibrary.message(function, code, buffer, size);
#else
    const uint32_t words[4] = {(uint32_t)(uintptr_t)function, (uint32_t)code, (uint32_t)(uintptr_t)buffer,
                               (uint32_t)size};
    int32_t length = -1;
    const int32_t unbalanced = StackCall((AnyFunction)gLibrary.message, words, 4, &length, 0);
    if (unbalanced != 0) Fail("RudidVbMessage: the stack is off by %d bytes after the call", (int)unbalanced);
    return length;
#endif
}

static void PrintOutcome(const Call *call, const Outcome *outcome) {
    corpus::Outcome printed;
    if (outcome->code > 0) {
        char message[1200];
        CallMessage(kExports[call->exportIndex].name, outcome->code, message, sizeof message);
        printed.failed = true;
        printed.code = outcome->code;
        printed.message = message;
    } else {
        printed.bits = outcome->bits;
    }
    corpus::PrintOutcome(stdout, *call, printed);
}

/* RudidVbMessage with a buffer too short, without one, and for code 0. */
static void CheckMessageBuffers(void) {
    char whole[200], shortBuffer[5] = "xxxx";
    const int length = CallMessage("AQPPT", RUDID_FLOATING_POINT_OVERFLOW, whole, sizeof whole);
    if (length != (int)strlen("Floating point overflow") || strcmp(whole, "Floating point overflow") != 0)
        Fail("RudidVbMessage(205) gave %d \"%s\"", length, whole);
    if (CallMessage("AQPPT", RUDID_FLOATING_POINT_OVERFLOW, shortBuffer, sizeof shortBuffer) != length ||
        strcmp(shortBuffer, "Floa") != 0)
        Fail("RudidVbMessage into 5 bytes gave \"%s\"", shortBuffer);
    if (CallMessage("AQPPT", RUDID_FLOATING_POINT_OVERFLOW, NULL, 0) != length)
        Fail("RudidVbMessage without a buffer does not give the length");
    if (CallMessage("AQPPT", 0, whole, sizeof whole) != 0 || whole[0] != '\0')
        Fail("RudidVbMessage(0) gave \"%s\"", whole);
    if (CallMessage("AQPPT", RUDID_PRESSURE_ABOVE_CRITICAL, whole, sizeof whole) <= 0 ||
        strncmp(whole, "pressure above ", 15) != 0)
        Fail("RudidVbMessage(-1004) gave \"%s\"", whole);
}

#if !defined(__x86_64__)
/* The stack check must see a function that leaves its arguments: the cdecl
 * AQPPT called as a __stdcall one leaves its 12 bytes. (A pressure out of
 * range: it is answered without a table.) */
static void CheckTheStackCheck(void) {
    const double pressure = -5;
    int32_t code;
    uint32_t words[3];
    void *result;
    VbWords(&pressure, 1, &code, words);
    const int32_t unbalanced = StackCall(gLibrary.cdecl_[0], words, 3, &result, 0);
    if (unbalanced != -12) Fail("a cdecl call left the stack off by %d bytes, not -12", (int)unbalanced);
}
#endif

static AnyFunction Resolve(HMODULE module, const char *name, int ordinal) {
    FARPROC byName = GetProcAddress(module, name);
    FARPROC byOrdinal = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    if (!byName || byName != byOrdinal) {
        fprintf(stderr, "FAILED: %s: by name %p, by ordinal %d %p\n", name, (void *)byName, ordinal,
                (void *)byOrdinal);
        ++gProblems;
    }
    return (AnyFunction)byName;
}

static int Load(const char *path) {
    HMODULE module = LoadLibraryA(path);
    if (!module) {
        fprintf(stderr, "FAILED: LoadLibraryA(%s): error %lu\n", path, GetLastError());
        return 0;
    }
    char name[32];
    for (int i = 0; i < kFunctionCount; ++i) {
        snprintf(name, sizeof name, "RudidVb%s", kExports[i].name);
        gLibrary.vb[i] = Resolve(module, name, 100 + kExports[i].ordinal);
        gLibrary.cdecl_[i] = Resolve(module, kExports[i].name, kExports[i].ordinal);
    }
    gLibrary.message = (VbMessage)Resolve(module, "RudidVbMessage", 100);
    gContexts.open = Resolve(module, "RudidVbOpen", 130);
    gContexts.close = Resolve(module, "RudidVbClose", 131);
    gContexts.evaluate = Resolve(module, "RudidVbContextEvaluate", 132);
    gContexts.flags = Resolve(module, "RudidVbContextFlags", 133);
    gContexts.message = Resolve(module, "RudidVbContextMessage", 134);
    gContexts.cOpen = (OpenFn)Resolve(module, "RudidOpen", 52);
    gContexts.cClose = (CloseFn)Resolve(module, "RudidClose", 53);
    gContexts.cEvaluate = (ContextEvaluateFn)Resolve(module, "RudidContextEvaluate", 54);
    gLibrary.lastError = (LastErrorFn)Resolve(module, "RudidLastError", 24);
    return gProblems == 0;
}

static uint16_t EnterHostWord(uint16_t word);

/* The error code that a double is, 0 for a property. */
static int32_t RudidRangeCodeOf(double value) {
    static const int32_t kCodes[] = {RUDID_PRESSURE_OUT_OF_RANGE,      RUDID_TEMPERATURE_OUT_OF_RANGE,
                                     RUDID_QUALITY_OUT_OF_RANGE,       RUDID_PRESSURE_ABOVE_CRITICAL,
                                     RUDID_TEMPERATURE_ABOVE_CRITICAL, RUDID_ENTROPY_OUTSIDE_TABLE,
                                     RUDID_VOLUME_OUTSIDE_TABLE,       RUDID_ENTHALPY_OUTSIDE_TABLE,
                                     RUDID_ON_SATURATION_LINE};
    for (int32_t code : kCodes)
        if (BitsOf(value) == BitsOf((double)code)) return code;
    return 0;
}

/* The context twins, called as their Declare lines call them. On i686 the
 * arguments are pushed as words and the stack is checked; on both, the
 * host's x87 word (and MXCSR) must be the same after the call. A double
 * result comes back as its bits. */
#if !defined(__x86_64__)
static uint32_t Word(const void *pointer) { return (uint32_t)(uintptr_t)pointer; }
static void CheckedStackCall(const char *what, AnyFunction function, const uint32_t *words, int count, void *result,
                             int returnsDouble) {
    const int32_t unbalanced = StackCall(function, words, count, result, returnsDouble);
    if (unbalanced != 0) Fail("%s: the stack is off by %d bytes after the call", what, (int)unbalanced);
}
#endif

/* The host's words as the processor holds them (the x87 word reads back
 * with its reserved bit 6 set). */
struct HostState {
    uint16_t word;
#if defined(__x86_64__)
    uint32_t mxcsr;
#endif
};
static HostState ReadHostState(void) {
#if defined(__x86_64__)
    return {ReadControlWord(), ReadMxcsr()};
#else
    return {ReadControlWord()};
#endif
}
static void CheckHostState(const char *what, const HostState &host) {
    const HostState now = ReadHostState();
    if (now.word != host.word)
        Fail("%s: control word 0x%04x after the call, host had 0x%04x", what, (unsigned)now.word,
             (unsigned)host.word);
#if defined(__x86_64__)
    if (now.mxcsr != host.mxcsr)
        Fail("%s: MXCSR 0x%04x after the call, host had 0x%04x", what, (unsigned)now.mxcsr, (unsigned)host.mxcsr);
#endif
}

static void *VbOpen(const char *directory, const char *units, int32_t options) {
#if defined(__x86_64__)
    return ((VbOpenFn)gContexts.open)(directory, units, options);
#else
    const uint32_t words[3] = {Word(directory), Word(units), (uint32_t)options};
    uint32_t handle = 0;
    CheckedStackCall("RudidVbOpen", gContexts.open, words, 3, &handle, 0);
    return (void *)(uintptr_t)handle;
#endif
}

static void VbClose(void *context) {
#if defined(__x86_64__)
    ((VbCloseFn)gContexts.close)(context);
#else
    const uint32_t words[1] = {Word(context)};
    uint32_t ignored;
    CheckedStackCall("RudidVbClose", gContexts.close, words, 1, &ignored, 0);
#endif
}

static uint64_t VbEvaluate(void *context, const char *name, int32_t options, const double *args, int32_t *code) {
#if defined(__x86_64__)
    return BitsOf(((VbEvaluateFn)gContexts.evaluate)(context, name, options, args[0], args[1], code));
#else
    uint32_t words[8] = {Word(context), Word(name), (uint32_t)options};
    memcpy(&words[3], &args[0], sizeof(double));
    memcpy(&words[5], &args[1], sizeof(double));
    words[7] = Word(code);
    uint64_t bits = 0;
    CheckedStackCall("RudidVbContextEvaluate", gContexts.evaluate, words, 8, &bits, 1);
    return bits;
#endif
}

static int32_t VbFlags(void *context, const char *name, int32_t options, const double *args) {
#if defined(__x86_64__)
    return ((VbFlagsFn)gContexts.flags)(context, name, options, args[0], args[1]);
#else
    uint32_t words[7] = {Word(context), Word(name), (uint32_t)options};
    memcpy(&words[3], &args[0], sizeof(double));
    memcpy(&words[5], &args[1], sizeof(double));
    int32_t flags = -99;
    CheckedStackCall("RudidVbContextFlags", gContexts.flags, words, 7, &flags, 0);
    return flags;
#endif
}

static int32_t VbContextMessage(const void *context, const char *name, int32_t code, char *buffer, int32_t size) {
#if defined(__x86_64__)
    return ((VbContextMessageFn)gContexts.message)(context, name, code, buffer, size);
#else
    const uint32_t words[5] = {Word(context), Word(name), (uint32_t)code, Word(buffer), (uint32_t)size};
    int32_t length = -1;
    CheckedStackCall("RudidVbContextMessage", gContexts.message, words, 5, &length, 0);
    return length;
#endif
}

/* Every corpus line through the context twins against RudidContextEvaluate,
 * in the process's context and in one in psi, both answers; the table
 * answer of the process's context against the twin's outcome. */
static void CheckContextTwins(const std::vector<Call> &calls, const std::vector<Outcome> &outcomes,
                              uint16_t hostWord) {
    void *psi = gContexts.cOpen("", "pressure=psi", 0);
    if (!psi) {
        Fail("RudidOpen(\"\", \"pressure=psi\", 0) failed");
        return;
    }
    int refinedDiffers = 0, flagged = 0;
    for (void *context : {(void *)NULL, psi}) {
        for (size_t i = 0; i < calls.size(); ++i) {
            const Call &call = calls[i];
            const char *name = kExports[call.exportIndex].name;
            for (int32_t options : {RUDID_TABLE, RUDID_REFINED}) {
                double expected = 0;
                int failure = -7, flags = -7;
                const int status = gContexts.cEvaluate(context, name, options, 1, &call.args[0], &call.args[1],
                                                       &expected, &failure, &flags);
                const uint16_t ownWord = EnterHostWord(hostWord);
                const HostState host = ReadHostState();
                int32_t code = 0x7FFFFFFF;
                const uint64_t bits = VbEvaluate(context, name, options, call.args, &code);
                CheckHostState(name, host);
                const int32_t twinFlags = VbFlags(context, name, options, call.args);
                CheckHostState(name, host);
                __asm__ __volatile__("fnclex");
                WriteControlWord(ownWord);
#if defined(__x86_64__)
                WriteMxcsr(HostMxcsrFor(ownWord));
#endif
                const char *kind = options == RUDID_TABLE ? "table" : "refined";
                if (status < 0) {
                    Fail("%s (line %d): RudidContextEvaluate returned %d", call.text.c_str(), call.line, status);
                } else if (failure != 0) {
                    if (code != failure || !std::isnan(corpus::DoubleOf(bits)))
                        Fail("%s (line %d) %s: failure %d, the twin gave code %d", call.text.c_str(), call.line,
                             kind, failure, (int)code);
                } else if (bits != BitsOf(expected) || code != RudidRangeCodeOf(expected)) {
                    Fail("%s (line %d) %s: 0x%016" PRIx64 " code %d, RudidContextEvaluate 0x%016" PRIx64,
                         call.text.c_str(), call.line, kind, bits, (int)code, BitsOf(expected));
                }
                if (twinFlags != (status >= 0 ? flags : status))
                    Fail("%s (line %d) %s: flags %d, RudidContextEvaluate %d", call.text.c_str(), call.line, kind,
                         (int)twinFlags, flags);
                if (context == NULL && options == RUDID_TABLE &&
                    (code != outcomes[i].code || (code <= 0 && bits != outcomes[i].bits)))
                    Fail("%s (line %d): the context's table answer is not the twin's", call.text.c_str(),
                         call.line);
                if (options == RUDID_REFINED && code == 0) {
                    double table = 0;
                    gContexts.cEvaluate(context, name, RUDID_TABLE, 1, &call.args[0], &call.args[1], &table,
                                        &failure, NULL);
                    refinedDiffers += BitsOf(table) != bits;
                }
                flagged += twinFlags > 0;
            }
        }
    }
    gContexts.cClose(psi);
    if (calls.size() > 100 && (refinedDiffers < 10 || flagged < 10))
        Fail("context twins: only %d refined answers differ from the table's, %d flagged", refinedDiffers, flagged);

    /* 6.3 bar and 161 C is steam just above saturation, in a table cell of
     * both phases: the table answer is far off, the refined one is not. */
    const double steam[2] = {6.3, 161};
    int32_t code = -1;
    const double refined = corpus::DoubleOf(VbEvaluate(NULL, "AQPPTH", RUDID_REFINED, steam, &code));
    if (code != 0 || !(refined > 2750 && refined < 2770))
        Fail("refined AQPPTH(6.3, 161) gave %.6g code %d", refined, (int)code);
    if (!(VbFlags(NULL, "AQPPTH", RUDID_TABLE, steam) & RUDID_FLAG_MIXED_PHASE_CELL))
        Fail("the table answer of AQPPTH(6.3, 161) is not flagged as of a mixed-phase cell");

    /* Wrong calls and messages. */
    if (!std::isnan(corpus::DoubleOf(VbEvaluate(NULL, "AQPPXX", RUDID_REFINED, steam, &code))) ||
        code != RUDID_UNKNOWN_FUNCTION)
        Fail("an unknown function gave code %d", (int)code);
    if (VbFlags(NULL, "AQPPTH", RUDID_TABLE | RUDID_REFINED, steam) != RUDID_BAD_ARGUMENTS)
        Fail("both answers asked for: not RUDID_BAD_ARGUMENTS");
    char text[300] = "", shortBuffer[4] = "xxx";
    const int length = VbContextMessage(NULL, "AQPPT", RUDID_PRESSURE_ABOVE_CRITICAL, text, sizeof text);
    if (length != (int)strlen(text) || strncmp(text, "pressure above ", 15) != 0)
        Fail("RudidVbContextMessage(-1004) gave %d \"%s\"", length, text);
    if (VbContextMessage(NULL, "AQPPT", RUDID_PRESSURE_ABOVE_CRITICAL, shortBuffer, sizeof shortBuffer) != length ||
        strcmp(shortBuffer, "pre") != 0)
        Fail("RudidVbContextMessage into 4 bytes gave \"%s\"", shortBuffer);

    /* Open and close through the twins: psi in, psi out. */
    void *opened = VbOpen("", "pressure=psi", RUDID_REFINED);
    if (!opened) {
        Fail("RudidVbOpen with psi failed");
    } else {
        const double inPsi[2] = {14.6959, 0};
        const double saturation = corpus::DoubleOf(VbEvaluate(opened, "AQPPT", 0, inPsi, &code));
        if (code != 0 || !(saturation > 99.5 && saturation < 100.5))
            Fail("AQPPT(14.6959 psi) in a psi context gave %.6g code %d", saturation, (int)code);
        VbClose(opened);
    }
    if (VbOpen("", "pressure=furlongs", 0) != NULL) Fail("RudidVbOpen took furlongs for a unit of pressure");
    if (VbContextMessage(NULL, "", 0, text, sizeof text) <= 0 || !strstr(text, "furlongs"))
        Fail("the failed open's message is \"%s\"", text);
    VbClose(NULL);
}

/* --context-calls: the refined answer's code and message of each line. */
static int ContextCalls(void) {
    std::vector<Call> calls;
    if (!corpus::ReadCorpus(stdin, &calls)) return 2;
    for (const Call &call : calls) {
        int32_t code = 0x7FFFFFFF;
        const uint64_t bits = VbEvaluate(NULL, kExports[call.exportIndex].name, RUDID_REFINED, call.args, &code);
        char text[1200] = "";
        VbContextMessage(NULL, kExports[call.exportIndex].name, code, text, sizeof text);
        printf("%s => code %d 0x%016" PRIx64 " %s\n", call.text.c_str(), (int)code, bits, text);
    }
    fprintf(stderr, "vba_harness: %d context calls, %d problem(s)\n", (int)calls.size(), gProblems);
    return gProblems == 0 ? 0 : 1;
}

/* Sets the host's environment of the given x87 word (and on x64 the MXCSR
 * of the same host); returns the previous x87 word. */
static uint16_t EnterHostWord(uint16_t word) {
    const uint16_t previous = ReadControlWord();
    __asm__ __volatile__("fnclex");
    WriteControlWord(word);
#if defined(__x86_64__)
    WriteMxcsr(HostMxcsrFor(word));
#endif
    return previous;
}

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s RUDID32.dll [--load-word W] [CORPUS]\n", argv[0]);
        return 2;
    }
    _setmode(_fileno(stdout), _O_BINARY);
    int next = 2, loadUnderWord = 0;
    uint16_t firstWord = kHostWordMsvc;
    if (argc > next + 1 && strcmp(argv[next], "--load-word") == 0) {
        loadUnderWord = 1;
        firstWord = (uint16_t)strtoul(argv[next + 1], NULL, 16);
        next += 2;
    }
    /* A host that runs with its word when it loads the library, too. */
#if defined(__x86_64__)
    const uint32_t ownMxcsr = ReadMxcsr();
#endif
    const uint16_t ownWord = loadUnderWord ? EnterHostWord(firstWord) : ReadControlWord();
    const int loaded = Load(argv[1]);
    __asm__ __volatile__("fnclex");
    WriteControlWord(ownWord);
#if defined(__x86_64__)
    WriteMxcsr(ownMxcsr);
#endif
    if (!loaded) return 1;
    if (argc > next && strcmp(argv[next], "--context-calls") == 0) return ContextCalls();
    FILE *in = stdin;
    if (argc > next && !(in = fopen(argv[next], "r"))) {
        fprintf(stderr, "cannot open %s\n", argv[next]);
        return 2;
    }
    std::vector<Call> calls;
    if (!corpus::ReadCorpus(in, &calls)) return 2;
    const bool fromFile = in != stdin;
    if (fromFile) fclose(in);
    const int count = int(calls.size());
    std::vector<Outcome> outcomes(calls.size());

#if !defined(__x86_64__)
    CheckTheStackCheck();
#endif
    CheckMessageBuffers();
    for (int i = 0; i < count; ++i) {
        outcomes[i] = CallTwin(&calls[i], firstWord);
        PrintOutcome(&calls[i], &outcomes[i]);
        CompareWithCdecl(&calls[i], &outcomes[i]);
    }
    fflush(stdout);
    for (int i = 0; i < count && !loadUnderWord; ++i) {
        const Outcome again = CallTwin(&calls[i], kHostWordDelphi);
        if (again.code != outcomes[i].code || again.bits != outcomes[i].bits)
            Fail("%s (line %d): a different outcome under host word 0x%04x", calls[i].text.c_str(), calls[i].line,
                 (unsigned)kHostWordDelphi);
    }
    /* With the corpus file (not a few lines on stdin, as the start-up checks
     * give with tables missing), the context twins too. */
    if (!loadUnderWord && fromFile) CheckContextTwins(calls, outcomes, kHostWordDelphi);
    fprintf(stderr, "vba_harness: %d calls, %d problem(s)\n", count, gProblems);
    return gProblems == 0 ? 0 : 1;
}
