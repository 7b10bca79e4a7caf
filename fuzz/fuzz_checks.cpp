#include "fuzz_checks.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "platform/x87_control.h"
#include "support/x87_state.h"

namespace rudid::fuzzing {

namespace x87 = platform::x87;

void Broken(const std::string &what) {
    std::fprintf(stderr, "\n*** property broken: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

const std::vector<std::string> &Names() {
#define RUDID_FUZZ_NAME(name, ...) #name,
    static const std::vector<std::string> names = {RUDID_PROPERTY_FUNCTIONS(RUDID_FUZZ_NAME)};
#undef RUDID_FUZZ_NAME
    return names;
}

bool TakesOneArgument(int index) {
#define RUDID_FUZZ_ARITY(name, ordinal, arity, ...) arity,
    static constexpr int kArity[] = {RUDID_PROPERTY_FUNCTIONS(RUDID_FUZZ_ARITY)};
#undef RUDID_FUZZ_ARITY
    return kArity[index] == 1;
}

std::uint16_t HostControlWord(FuzzedDataProvider &data) {
    static constexpr std::uint16_t kWords[] = {0x037F, 0x027F, 0x007F, 0x0F7F, 0x077F,
                                               0x0372, 0x1332, 0x0362, 0x027E};
    return kWords[data.ConsumeIntegralInRange<std::size_t>(0, std::size(kWords) - 1)];
}

double ArgumentFrom(FuzzedDataProvider &data) {
    switch (data.ConsumeIntegralInRange(0, 3)) {
        case 0: {
            const auto bits = data.ConsumeIntegral<std::uint64_t>();
            double value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        case 1: return data.ConsumeIntegral<std::int16_t>() / 16.0;
        case 2: return data.ConsumeIntegral<std::int32_t>() / 65536.0;
        default: return data.ConsumeIntegralInRange(0, 100000) / 100000.0;  // a quality
    }
}

void PreferMemoryForScratchFiles() {
    if (std::getenv("TMPDIR")) return;
    if (::access("/dev/shm", W_OK | X_OK) == 0) ::setenv("TMPDIR", "/dev/shm", 1);
}

bool DocumentedFailure(int code) {
    for (int documented : {RUDID_FILE_NOT_FOUND, RUDID_INVALID_FILENAME, RUDID_TOO_MANY_OPEN_FILES,
                           RUDID_FILE_ACCESS_DENIED, RUDID_READ_BEYOND_END_OF_FILE, RUDID_DISK_FULL,
                           RUDID_INVALID_NUMERIC_INPUT, RUDID_DIVISION_BY_ZERO, RUDID_FLOATING_POINT_OVERFLOW,
                           RUDID_INVALID_FLOATING_POINT_OPERATION, RUDID_DEVICE_IO_ERROR})
        if (code == documented) return true;
    return false;
}

namespace {

std::string Describe(int index, double a, double b, std::uint16_t word) {
    char text[160];
    std::snprintf(text, sizeof text, "%s(%a, %a) under control word %#06x", Names()[index].c_str(), a, b, word);
    return text;
}

bool NotFinite(double x) { return std::isnan(x) || std::isinf(x); }

}  // namespace

HostWord::HostWord(std::uint16_t word) : saved_(x87::ReadControlWord()) {
    x87::ClearExceptionFlags();
    x87::WriteControlWord(word);
    effective_ = x87::ReadControlWord();
}

// Reads the state before anything else touches the x87 unit.
HostState HostWord::Leave() {
    HostState state;
    state.hostWord = effective_;
    state.control = x87::ReadControlWord();
    state.pendingUnmasked = std::uint16_t(testing::x87::ReadStatusWord() & ~state.control & 0x3F);
    state.tags = testing::x87::ReadTagWord();
    x87::ClearExceptionFlags();
    x87::WriteControlWord(saved_);
    return state;
}

void CheckHostState(const HostState &state, const std::string &call) {
    FUZZ_CHECK(state.control == state.hostWord, call + ": control word not restored");
    FUZZ_CHECK(state.pendingUnmasked == 0, call + ": an unmasked exception is left pending");
    FUZZ_CHECK(state.tags == testing::x87::kEmptyStack, call + ": the x87 stack is not empty");
}

namespace {

bool HostStateKept(const HostState &state) {
    return state.control == state.hostWord && state.pendingUnmasked == 0 && state.tags == testing::x87::kEmptyStack;
}

}  // namespace

namespace {

// RudidVbMessage(name, code) copied into buffers of every kind of size: the
// length it returns is the whole message's, and a short buffer gets the
// message's beginning, terminated.
void CheckVbMessage(const LibraryFunctions &lib, const char *name, int code, const std::string &call) {
    const int length = lib.vbMessage(name, code, nullptr, 0);
    if (code == 0) {
        char buffer[4] = "xyz";
        FUZZ_CHECK(length == 0 && lib.vbMessage(name, 0, buffer, 4) == 0 && buffer[0] == '\0',
                   call + ": the message of code 0 is not empty");
        return;
    }
    FUZZ_CHECK(length > 0, call + ": no message for code " + std::to_string(code));
    std::vector<char> whole(std::size_t(length) + 8, 'x');
    FUZZ_CHECK(lib.vbMessage(name, code, whole.data(), length + 1) == length &&
                   std::strlen(whole.data()) == std::size_t(length),
               call + ": the message is not as long as RudidVbMessage says");
    const int size = length / 2 + 1;
    std::vector<char> part(std::size_t(length) + 8, 'x');
    FUZZ_CHECK(lib.vbMessage(name, code, part.data(), size) == length &&
                   std::strlen(part.data()) == std::size_t(size - 1) &&
                   std::memcmp(part.data(), whole.data(), std::size_t(size - 1)) == 0 &&
                   part[std::size_t(size)] == 'x',
               call + ": a short buffer does not get the message's beginning");
}

void CheckVbTwin(const LibraryFunctions &lib, int index, double a, double b, std::uint16_t hostWord,
                 const Outcome &single) {
    auto call = [&] { return "RudidVb" + Describe(index, a, b, hostWord); };
    int code = -77777;
    HostWord host(hostWord);
    void *const function = lib.vb[index];
    const double v = TakesOneArgument(index) ? reinterpret_cast<double (*)(double, int *)>(function)(a, &code)
                                             : reinterpret_cast<double (*)(double, double, int *)>(function)(a, b, &code);
    const HostState state = host.Leave();
    if (!HostStateKept(state)) CheckHostState(state, call());
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    if (single.answered) {
        FUZZ_CHECK(bits == single.bits, call() + ": another double than the property function's");
        if (code != 0) {
            const double asCode = code;
            std::uint64_t codeBits;
            std::memcpy(&codeBits, &asCode, sizeof codeBits);
            FUZZ_CHECK(code <= -1000 && codeBits == single.bits,
                       call() + ": code " + std::to_string(code) + " for an answer that is not that error code");
        }
    } else {
        FUZZ_CHECK(code == single.code && std::isnan(v),
                   call() + ": the failure is not the property function's " + std::to_string(single.code));
    }
    // Without the code: the same double.
    const double again = TakesOneArgument(index)
                             ? reinterpret_cast<double (*)(double, int *)>(function)(a, nullptr)
                             : reinterpret_cast<double (*)(double, double, int *)>(function)(a, b, nullptr);
    std::uint64_t againBits;
    std::memcpy(&againBits, &again, sizeof againBits);
    FUZZ_CHECK(againBits == bits, call() + ": another double without a code");
    if (lib.vbMessage) CheckVbMessage(lib, Names()[index].c_str(), code, call());
}

}  // namespace

Outcome CheckedCall(const LibraryFunctions &lib, int index, double a, double b, std::uint16_t hostWord) {
    // Described only when a property breaks: the description costs more
    // than the call.
    auto call = [&] { return Describe(index, a, b, hostWord); };
    HostWord host(hostWord);
    void *const function = lib.property[index];
    const double *r = TakesOneArgument(index) ? reinterpret_cast<double *(*)(double)>(function)(a)
                                              : reinterpret_cast<double *(*)(double, double)>(function)(a, b);
    const HostState state = host.Leave();
    if (!HostStateKept(state)) CheckHostState(state, call());

    Outcome outcome{r != nullptr, 0, lib.lastError()};
    if (r) {
        std::memcpy(&outcome.bits, r, sizeof outcome.bits);
        FUZZ_CHECK(outcome.code == 0, call() + ": an answer with a failure code set");
        FUZZ_CHECK(!NotFinite(*r), call() + ": the answer is not a finite number");
    } else {
        FUZZ_CHECK(DocumentedFailure(outcome.code), call() + ": NULL without a documented failure code " +
                                                        std::to_string(outcome.code));
    }
    const bool badArgument = NotFinite(a) || (!TakesOneArgument(index) && NotFinite(b));
    if (badArgument) FUZZ_CHECK(!r && outcome.code == RUDID_FLOATING_POINT_OVERFLOW, call() + ": a NaN or infinite argument did not give 205");
    if (lib.vb[index]) CheckVbTwin(lib, index, a, b, hostWord, outcome);
    return outcome;
}

void CheckBatchRow(const LibraryFunctions &lib, int index, double a, double b, const Outcome &single,
                   std::uint16_t hostWord) {
    auto call = [&] { return "batch row of " + Describe(index, a, b, hostWord); };
    double result = 12345.0;
    int failure = -77;
    HostWord host(hostWord);
    const int failed = lib.evaluate(Names()[index].c_str(), 1, &a, TakesOneArgument(index) ? nullptr : &b,
                                    &result, &failure);
    const HostState state = host.Leave();
    if (!HostStateKept(state)) CheckHostState(state, call());
    FUZZ_CHECK(lib.lastError() == single.code, call() + ": the batch changed the thread's last failure");
    if (single.answered) {
        std::uint64_t bits;
        std::memcpy(&bits, &result, sizeof bits);
        FUZZ_CHECK(failed == 0 && failure == 0, call() + ": the single call answered, the row failed");
        FUZZ_CHECK(bits == single.bits, call() + ": the row differs from the single call");
    } else {
        FUZZ_CHECK(failed == 1 && failure == single.code,
                   call() + ": the row's failure " + std::to_string(failure) + " is not the single call's " +
                       std::to_string(single.code));
        FUZZ_CHECK(std::isnan(result), call() + ": a failed row holds a number");
    }
}

void CheckRefinedRow(const LibraryFunctions &lib, int index, double a, double b, const Outcome &single,
                     std::uint16_t hostWord) {
    auto call = [&] { return "refined row of " + Describe(index, a, b, hostWord); };
    double result = 12345.0;
    int failure = -77;
    HostWord host(hostWord);
    const int failed = lib.refined(Names()[index].c_str(), 1, &a, TakesOneArgument(index) ? nullptr : &b, &result,
                                   &failure);
    const HostState state = host.Leave();
    if (!HostStateKept(state)) CheckHostState(state, call());
    FUZZ_CHECK(lib.lastError() == single.code, call() + ": the refined row changed the thread's last failure");
    if (failed == 0) {
        FUZZ_CHECK(failure == 0 && std::isfinite(result), call() + ": an answered row without a finite value");
    } else {
        FUZZ_CHECK(failed == 1 && DocumentedFailure(failure), call() + ": failure " + std::to_string(failure));
        FUZZ_CHECK(std::isnan(result), call() + ": a failed row holds a number");
    }
}

}  // namespace rudid::fuzzing
