// RudidEvaluate with arbitrary names, sizes and arrays (NULL ones too),
// against the single calls: an unknown name or a missing array is refused
// without touching the outputs; otherwise every row holds the single call's
// outcome bit for bit, the return value counts the failed rows, and the
// thread's last failure and the host's control word stay as they were.
// The rest of the input, when there is one, is a sweep of rows through
// RudidEvaluateWithFlags, whose flags must be RudidStateFlags' row by row.
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "loaded_library.h"

namespace {

using namespace rudid::fuzzing;

// A name: one of the 23, one of them changed a little, or any text.
std::string NameFrom(FuzzedDataProvider &data) {
    std::string name = Names()[data.ConsumeIntegralInRange(0, kExportCount - 1)];
    switch (data.ConsumeIntegralInRange(0, 4)) {
        case 0:
        case 1: return name;
        case 2: {
            const std::size_t at = data.ConsumeIntegralInRange<std::size_t>(0, name.size() - 1);
            name[at] = char(name[at] ^ 0x20);  // another case, or another character
            return name;
        }
        case 3: return name.substr(0, data.ConsumeIntegralInRange<std::size_t>(0, name.size())) +
                       data.ConsumeRandomLengthString(3);
        default: return data.ConsumeRandomLengthString(12);
    }
}

int IndexOf(const char *name) {
    for (int i = 0; i < kExportCount; ++i)
        if (Names()[i] == name) return i;
    return -1;
}

std::uint64_t Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// RudidEvaluateWithFlags over a sweep of its own: rows from one state in
// fixed steps, up to 160 of them, so that a batch of 32 rows and more reads
// its flags from the bounds of the cells its rows share. Every row must
// hold RudidEvaluate's outcome and exactly the flags RudidStateFlags gives
// the state alone.
void CheckFlagRows(const LibraryFunctions &lib, int index, FuzzedDataProvider &data, std::uint16_t word) {
    const char *name = Names()[std::size_t(index)].c_str();
    const std::size_t n = data.ConsumeIntegralInRange<std::size_t>(1, 160);
    const double a0 = ArgumentFrom(data), b0 = ArgumentFrom(data);
    const double da = data.ConsumeIntegral<std::int16_t>() / 256.0, db = data.ConsumeIntegral<std::int16_t>() / 4096.0;
    std::vector<double> first(n), second(n), plain(n), withFlags(n);
    std::vector<int> plainFailure(n), failure(n), flags(n, -1);
    for (std::size_t i = 0; i < n; ++i) {
        first[i] = a0 + da * double(i);
        second[i] = b0 + db * double(i);
    }
    const int lastBefore = lib.lastError();
    const int plainReturned =
        lib.evaluate(name, n, first.data(), second.data(), plain.data(), plainFailure.data());
    HostWord host(word);
    const int returned =
        lib.evaluateWithFlags(name, n, first.data(), second.data(), withFlags.data(), failure.data(), flags.data());
    CheckHostState(host.Leave(), std::string("RudidEvaluateWithFlags(") + name + ")");
    FUZZ_CHECK(returned == plainReturned, std::string(name) + ": another count of failed rows with flags");
    FUZZ_CHECK(lib.lastError() == lastBefore, "RudidEvaluateWithFlags changed the thread's last failure");
    for (std::size_t i = 0; i < n; ++i) {
        const std::string row = std::string(name) + " sweep row " + std::to_string(i) + " of " + std::to_string(n);
        FUZZ_CHECK(Bits(withFlags[i]) == Bits(plain[i]) && failure[i] == plainFailure[i],
                   row + ": the outcome differs from RudidEvaluate's");
        const int alone = lib.stateFlags(name, first[i], second[i]);
        FUZZ_CHECK(flags[i] == alone, row + ": flags " + std::to_string(flags[i]) + ", the state alone " +
                                          std::to_string(alone));
        if (failure[i] != 0) FUZZ_CHECK(flags[i] == 0, row + ": a failed row with flags");
    }
    FUZZ_CHECK(lib.evaluateWithFlags(name, n, first.data(), second.data(), withFlags.data(), failure.data(),
                                     nullptr) == RUDID_BAD_ARGUMENTS,
               std::string(name) + ": no flags array, yet no refusal");
}

constexpr double kUntouched = 424242.0;
constexpr int kUntouchedCode = -99;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    PreferMemoryForScratchFiles();
    LoadShippedLibraries(2);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const LibraryFunctions &lib = ShippedLibrary(data.ConsumeIntegralInRange(0, 1));
    const std::string nameText = NameFrom(data);
    const bool nullName = data.ConsumeIntegralInRange(0, 31) == 0;
    const char *name = nullName ? nullptr : nameText.c_str();
    const std::size_t n = data.ConsumeIntegralInRange<std::size_t>(0, 40);
    const std::uint8_t nulls = data.ConsumeIntegralInRange(0, 7) == 0 ? data.ConsumeIntegral<std::uint8_t>() : 0;
    const std::uint16_t word = HostControlWord(data);
    const bool failBefore = data.ConsumeBool();

    // Arrays of exactly n elements, so that a read or write past a row is
    // caught by the address sanitizer.
    std::vector<double> first(n), second(n);
    for (std::size_t i = 0; i < n; ++i) {
        first[i] = ArgumentFrom(data);
        second[i] = ArgumentFrom(data);
    }
    std::unique_ptr<double[]> result(new double[n]);
    std::unique_ptr<int[]> failure(new int[n]);
    for (std::size_t i = 0; i < n; ++i) {
        result[i] = kUntouched;
        failure[i] = kUntouchedCode;
    }
    const double *arg1 = nulls & 1 ? nullptr : first.data();
    const double *arg2 = nulls & 2 ? nullptr : second.data();
    double *results = nulls & 4 ? nullptr : result.get();
    int *failures = nulls & 8 ? nullptr : failure.get();

    // The last failure before the batch: 205, or none.
    reinterpret_cast<double *(*)(double)>(lib.property[0])(failBefore ? 1e39 : 10.0);  // AQPPT
    const int lastBefore = lib.lastError();
    FUZZ_CHECK(lastBefore == (failBefore ? RUDID_FLOATING_POINT_OVERFLOW : 0), "AQPPT did not set the last failure");

    HostWord host(word);
    const int returned = lib.evaluate(name, n, arg1, arg2, results, failures);
    const HostState state = host.Leave();
    CheckHostState(state, "RudidEvaluate(" + nameText + ")");
    FUZZ_CHECK(lib.lastError() == lastBefore, "RudidEvaluate changed the thread's last failure");

    const int index = name ? IndexOf(name) : -1;
    const bool refused = index < 0 || (n > 0 && (!arg1 || !results || !failures ||
                                                 (!TakesOneArgument(index) && !arg2)));
    if (index < 0) FUZZ_CHECK(returned == RUDID_UNKNOWN_FUNCTION, "an unknown name was not refused: " + nameText);
    else if (refused) FUZZ_CHECK(returned == RUDID_BAD_ARGUMENTS, "a missing array was not refused");
    if (refused || n == 0) {
        for (std::size_t i = 0; i < n; ++i)
            FUZZ_CHECK(std::memcmp(&result[i], &kUntouched, sizeof kUntouched) == 0 &&
                           failure[i] == kUntouchedCode,
                       "a refused call wrote a row");
        if (n == 0 && index >= 0) FUZZ_CHECK(returned == 0, "no rows, yet a count");
        return 0;
    }

    int failedRows = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Outcome single = CheckedCall(lib, index, first[i], second[i], 0x037F);
        std::uint64_t bits;
        std::memcpy(&bits, &result[i], sizeof bits);
        if (single.answered) {
            FUZZ_CHECK(failure[i] == 0 && bits == single.bits,
                       Names()[index] + ": row " + std::to_string(i) + " differs from the single call");
        } else {
            FUZZ_CHECK(failure[i] == single.code && std::isnan(result[i]),
                       Names()[index] + ": row " + std::to_string(i) + " does not fail like the single call");
            ++failedRows;
        }
    }
    FUZZ_CHECK(returned == failedRows, "the count of failed rows is wrong");
    // What is left of the input, if anything, is a sweep with flags.
    if (data.remaining_bytes() > 0 && lib.evaluateWithFlags) CheckFlagRows(lib, index, data, word);
    return 0;
}
