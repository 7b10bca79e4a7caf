// The kept tables (CACHE=1 in the INI) with arbitrary calls: a copy of the
// library that keeps its tables in memory must answer every property
// function, batch row, refined answer and flag exactly as a copy that reads
// the files on every call, and the same failures. Each input is a short run
// of calls, so that what one call leaves in the kept tables and in the
// thread's memo is read by the next.
#include <cstring>
#include <memory>
#include <vector>

#include "loaded_library.h"

namespace {

using namespace rudid::fuzzing;
using rudid::testing::LibraryInstance;

struct Copy {
    std::unique_ptr<LibraryInstance> instance;
    LibraryFunctions functions;
    decltype(&::RudidStateFlags) stateFlags;
    decltype(&::RudidRefinedFlags) refinedFlags;
    decltype(&::RudidEvaluateWithFlags) evaluateWithFlags;
};

// [units][0 reading the files, 1 keeping the tables]
std::vector<Copy> gCopies;
constexpr int kUnitsTried = 2;

Copy Load(int units, bool keep) {
    rudid::testing::InstanceSetup setup = rudid::testing::ShippedSetup(UnitChoiceNumber(units));
    if (keep) setup.moreStartupLines += "CACHE=1\n";
    Copy copy{std::make_unique<LibraryInstance>(setup), {}, nullptr, nullptr, nullptr};
    copy.functions = FunctionsOf(*copy.instance);
    copy.stateFlags = copy.instance->Symbol<decltype(&::RudidStateFlags)>("RudidStateFlags");
    copy.refinedFlags = copy.instance->Symbol<decltype(&::RudidRefinedFlags)>("RudidRefinedFlags");
    copy.evaluateWithFlags = copy.instance->Symbol<decltype(&::RudidEvaluateWithFlags)>("RudidEvaluateWithFlags");
    return copy;
}

std::uint64_t Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Rows of one function through RudidEvaluateWithFlags and the refined batch.
void CompareRows(const Copy &files, const Copy &kept, const char *name, const std::vector<double> &first,
                 const std::vector<double> &second) {
    const std::size_t n = first.size();
    std::vector<double> results[2], refined[2];
    std::vector<int> failures[2], flags[2], refinedFailures[2];
    const Copy *copies[2] = {&files, &kept};
    int returned[2], refinedReturned[2];
    for (int k = 0; k < 2; ++k) {
        results[k].assign(n, 0), refined[k].assign(n, 0);
        failures[k].assign(n, 0), flags[k].assign(n, 0), refinedFailures[k].assign(n, 0);
        returned[k] = copies[k]->evaluateWithFlags(name, n, first.data(), second.data(), results[k].data(),
                                                   failures[k].data(), flags[k].data());
        refinedReturned[k] = copies[k]->functions.refined(name, n, first.data(), second.data(), refined[k].data(),
                                                          refinedFailures[k].data());
    }
    FUZZ_CHECK(returned[0] == returned[1] && refinedReturned[0] == refinedReturned[1],
               std::string(name) + ": the kept tables fail another count of rows");
    for (std::size_t i = 0; i < n; ++i) {
        const std::string row = std::string(name) + " row " + std::to_string(i);
        FUZZ_CHECK(Bits(results[0][i]) == Bits(results[1][i]) && failures[0][i] == failures[1][i],
                   row + ": the kept tables answer another table row");
        FUZZ_CHECK(flags[0][i] == flags[1][i], row + ": the kept tables give other flags");
        FUZZ_CHECK(Bits(refined[0][i]) == Bits(refined[1][i]) && refinedFailures[0][i] == refinedFailures[1][i],
                   row + ": the kept tables answer another refined row");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    PreferMemoryForScratchFiles();
    for (int units = 0; units < kUnitsTried; ++units) {
        gCopies.push_back(Load(units, false));
        gCopies.push_back(Load(units, true));
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const int units = data.ConsumeIntegralInRange(0, kUnitsTried - 1);
    const Copy &files = gCopies[std::size_t(2 * units)];
    const Copy &kept = gCopies[std::size_t(2 * units + 1)];
    const int calls = data.ConsumeIntegralInRange(1, 8);
    for (int call = 0; call < calls && data.remaining_bytes() > 0; ++call) {
        const int index = data.ConsumeIntegralInRange(0, kExportCount - 1);
        const char *name = Names()[std::size_t(index)].c_str();
        const std::size_t n = data.ConsumeIntegralInRange<std::size_t>(1, 6);
        std::vector<double> first(n), second(n);
        for (std::size_t i = 0; i < n; ++i) {
            first[i] = ArgumentFrom(data);
            second[i] = ArgumentFrom(data);
        }
        const std::uint16_t word = HostControlWord(data);
        // The single call, under the host's word, as hosts make it.
        const Outcome fromFiles = CheckedCall(files.functions, index, first[0], second[0], word);
        const Outcome fromKept = CheckedCall(kept.functions, index, first[0], second[0], word);
        FUZZ_CHECK(fromFiles.answered == fromKept.answered && fromFiles.bits == fromKept.bits &&
                       fromFiles.code == fromKept.code,
                   std::string(name) + ": the kept tables answer another single call");
        FUZZ_CHECK(files.stateFlags(name, first[0], second[0]) == kept.stateFlags(name, first[0], second[0]),
                   std::string(name) + ": the kept tables give other state flags");
        FUZZ_CHECK(files.refinedFlags(name, first[0], second[0]) == kept.refinedFlags(name, first[0], second[0]),
                   std::string(name) + ": the kept tables give other refined flags");
        CompareRows(files, kept, name, first, second);
    }
    return 0;
}
