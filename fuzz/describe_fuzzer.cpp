// The library's self-description (functions, quantities, units, range and
// failure messages, conversions) and RudidStateFlags, with any index, code,
// name and double, after start-up from an arbitrary default.cfg, under any
// host control word. None of these functions may fail, raise or change the
// host's arithmetic state, and each answer must agree with the others: an
// index names a function exactly when it is in range and that name finds
// that index again; a unit name exists exactly for a selection inside the
// count; a range message exists exactly for an error code; a NaN converts
// to NaN; the state flags of a name that is not a function's exact name are
// RUDID_UNKNOWN_FUNCTION, and no flags call changes the thread's last
// failure; RudidVersion() is the header's version.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "config/startup.h"
#include "fuzz_checks.h"
#include "support/test_files.h"

namespace {

using namespace rudid::fuzzing;

rudid::testing::ScratchDirectory &Scratch() {
    static rudid::testing::ScratchDirectory scratch;
    return scratch;
}

#define RUDID_FUZZ_TEXT(x) #x
#define RUDID_FUZZ_VERSION(major, minor, patch) RUDID_FUZZ_TEXT(major) "." RUDID_FUZZ_TEXT(minor) "." RUDID_FUZZ_TEXT(patch)
// The version the header declares, as RudidVersion() must spell it.
const std::string kHeaderVersion =
    RUDID_FUZZ_VERSION(RUDID32_VERSION_MAJOR, RUDID32_VERSION_MINOR, RUDID32_VERSION_PATCH);

bool Terminated(const char *text) { return text && std::memchr(text, '\0', 512) != nullptr; }

// A name for RudidStateFlags: a property function's name in mixed case, with
// a NUL or more after it, or arbitrary bytes.
std::string NameFrom(FuzzedDataProvider &data) {
    if (data.ConsumeBool()) return data.ConsumeRandomLengthString(12);
    std::string name = Names()[data.ConsumeIntegralInRange<std::size_t>(0, Names().size() - 1)];
    for (char &c : name)
        if (data.ConsumeBool()) c = char(c | 0x20);
    if (data.ConsumeBool()) name += std::string(1, '\0') + data.ConsumeRandomLengthString(4);
    return name;
}

void CheckFunctions(int function, int position) {
    const char *name = RudidFunctionName(function);
    const bool inRange = function >= 0 && function < RudidFunctionCount();
    FUZZ_CHECK((name != nullptr) == inRange, "a name for function " + std::to_string(function));
    const int arity = RudidFunctionArity(function);
    FUZZ_CHECK(inRange ? arity == 1 || arity == 2 : arity == 0, "arity " + std::to_string(arity));
    FUZZ_CHECK((RudidFunctionDescription(function) != nullptr) == inRange, "a description out of range");
    if (inRange) FUZZ_CHECK(RudidFunctionIndex(name) == function, std::string(name) + " finds another index");
    const int argument = RudidFunctionArgument(function, position);
    const bool taken = inRange && position >= 1 && position <= arity;
    FUZZ_CHECK(taken ? argument >= RUDID_QUALITY && argument <= 25 : argument == RUDID_NO_QUANTITY,
               "argument " + std::to_string(position) + " is quantity " + std::to_string(argument));
    const int result = RudidFunctionResult(function);
    FUZZ_CHECK(inRange ? result >= RUDID_QUALITY && result <= 25 : result == RUDID_NO_QUANTITY, "result quantity");
}

void CheckUnits(int quantity, int selection, double value) {
    const bool known = quantity >= -1 && quantity <= 25;
    FUZZ_CHECK(known ? Terminated(RudidQuantityName(quantity)) : RudidQuantityName(quantity) == nullptr,
               "quantity name of " + std::to_string(quantity));
    FUZZ_CHECK(known ? Terminated(RudidInternalUnit(quantity)) : RudidInternalUnit(quantity) == nullptr,
               "internal unit of " + std::to_string(quantity));
    const int count = RudidUnitCount(quantity);
    FUZZ_CHECK(count >= 0 && count < 64, "unit count " + std::to_string(count));
    const char *unit = RudidUnitName(quantity, selection);
    FUZZ_CHECK((selection >= 0 && selection < count) ? Terminated(unit) : unit == nullptr, "unit name");
    const int word = RudidUnitSelectionWord(quantity);
    FUZZ_CHECK(word >= -1 && word <= 25 && (word == -1) == (count == 0), "selection word " + std::to_string(word));
    FUZZ_CHECK(Terminated(RudidConfiguredUnit(quantity)), "configured unit");

    const double to = RudidToConfiguredUnit(quantity, value), from = RudidFromConfiguredUnit(quantity, value);
    if (std::isnan(value)) FUZZ_CHECK(std::isnan(to) && std::isnan(from), "a NaN converted to a number");
    if (count == 0 && quantity != RUDID_QUALITY) FUZZ_CHECK(std::isnan(to) && std::isnan(from), "no conversion");
}

void CheckCodes(int function, int code, double value) {
    const int range = RudidRangeCode(value);
    FUZZ_CHECK(range == 0 || double(range) == value, "range code " + std::to_string(range));
    // Worded: the error codes, and the codes of a state's property that has
    // no value (never a result, so RudidRangeCode does not know them).
    const bool stateCode = code == RUDID_NO_STATE || code == RUDID_NO_QUALITY || code == RUDID_TWO_PHASE ||
                           code == RUDID_NOT_SATURATED || code == RUDID_NO_FORMULATION_STATE;
    const bool worded = RudidRangeCode(double(code)) != 0 || stateCode;
    const char *message = RudidRangeMessage(function, code);
    FUZZ_CHECK(worded ? Terminated(message) && *message : message == nullptr,
               "range message of " + std::to_string(code));
    const char *failure = RudidFailureMessage(code);
    FUZZ_CHECK(Terminated(failure) && *failure, "failure message of " + std::to_string(code));
}

void CheckStateFlags(const std::string &name, double a, double b) {
    const int before = RudidLastError();
    const int flags = RudidStateFlags(name.c_str(), a, b);
    FUZZ_CHECK(RudidLastError() == before, "RudidStateFlags changed the last failure");
    // The name as the functions' own list spells it; RudidFunctionIndex
    // alone ignores case.
    const int index = RudidFunctionIndex(name.c_str());
    if (index < 0 || std::strcmp(RudidFunctionName(index), name.c_str()) != 0)
        FUZZ_CHECK(flags == RUDID_UNKNOWN_FUNCTION, name + " is known to RudidStateFlags");
    else
        FUZZ_CHECK(flags >= 0 && flags <= 0xF, "flags " + std::to_string(flags));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    PreferMemoryForScratchFiles();
    for (const char *table : {"zarude.dat", "vevuzu.dat", "didizar.dat"})
        std::filesystem::create_symlink(std::string(RUDID_DATA_DIRECTORY) + "/" + table, Scratch().file(table));
    Scratch().write("data.ini", "[STARTUP]\nDIR=" + Scratch().path() + "\n");
    ::setenv("ZAREVIRU_INI", Scratch().file("data.ini").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    Scratch().write("default.cfg", data.ConsumeBytes<std::uint8_t>(data.ConsumeIntegralInRange(0, 70)));
    rudid::LoadStartupConfiguration();

    const std::uint16_t word = HostControlWord(data);
    const int function = data.ConsumeIntegralInRange(-3, kExportCount + 2);
    const int position = data.ConsumeIntegralInRange(-1, 3);
    const int quantity = data.ConsumeIntegralInRange(-4, 30);
    const int selection = data.ConsumeIntegralInRange(-2, 40);
    const int code = data.ConsumeBool() ? data.ConsumeIntegralInRange(-1020, -995) : data.ConsumeIntegral<int>();
    const double value = ArgumentFrom(data), other = ArgumentFrom(data);
    const std::string name = NameFrom(data);

    HostWord host(word);
    FUZZ_CHECK(std::string(RudidVersion()) == kHeaderVersion, "RudidVersion() is not the header's version");
    CheckFunctions(function, position);
    CheckUnits(quantity, selection, value);
    CheckCodes(function, code, data.ConsumeBool() ? double(code) : value);
    CheckStateFlags(name, value, other);
    CheckHostState(host.Leave(), "the self-description functions");
    return 0;
}
