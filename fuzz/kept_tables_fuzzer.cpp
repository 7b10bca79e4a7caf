// The kept tables (CACHE=1 in the INI) with arbitrary calls: a copy of the
// library that keeps its tables in memory must answer every property
// function, batch row, refined answer and flag exactly as a copy that reads
// the files on every call, and the same failures. Each input is a short run
// of calls, so that what one call leaves in the kept tables and in the
// thread's memo is read by the next. Contexts opened in one copy with the
// units of the others must answer as those copies do, and unit choices of
// any text open a context or say why not.
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

// The unit configurations by name, as a host opens a context with them.
constexpr const char *kUnitTexts[kUnitsTried] = {
    "pressure=bar, temperature=C, enthalpy=kJ/kg, entropy=kJ/kg,K, volume=m3/kg",
    "pressure=MPa; specific enthalpy=Btu/lbm; temperature=K; entropy=Btu/lbm,F; volume=ft3/lbm"};

struct ContextCalls {
    decltype(&::RudidOpen) open;
    decltype(&::RudidClose) close;
    decltype(&::RudidContextEvaluate) evaluate;
    decltype(&::RudidContextMessage) message;
    decltype(&::RudidContextUnit) unit;
};
ContextCalls gContextCalls;
// Opened in the first copy: [units][0 reading the files, 1 keeping the tables].
RudidContext *gContexts[kUnitsTried][2];

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
    // The same rows through a context of these units opened in another copy.
    const int units = int(&files - &gCopies[0]) / 2;
    RudidContext *context = gContexts[units][n % 2];
    std::vector<double> inContext(n), refinedInContext(n);
    std::vector<int> contextFailures(n), contextFlags(n), refinedContextFailures(n);
    const int contextReturned =
        gContextCalls.evaluate(context, name, RUDID_TABLE, n, first.data(), second.data(), inContext.data(),
                               contextFailures.data(), contextFlags.data());
    gContextCalls.evaluate(context, name, RUDID_REFINED, n, first.data(), second.data(), refinedInContext.data(),
                           refinedContextFailures.data(), nullptr);
    FUZZ_CHECK(contextReturned == returned[0], std::string(name) + ": a context fails another count of rows");
    for (std::size_t i = 0; i < n; ++i)
        FUZZ_CHECK(Bits(inContext[i]) == Bits(results[0][i]) && contextFailures[i] == failures[0][i] &&
                       contextFlags[i] == flags[0][i] && Bits(refinedInContext[i]) == Bits(refined[0][i]) &&
                       refinedContextFailures[i] == refinedFailures[0][i],
                   std::string(name) + " row " + std::to_string(i) +
                       ": a context answers otherwise than a copy loaded with its units");
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
    const LibraryInstance &host = *gCopies[0].instance;
    gContextCalls = {host.Symbol<decltype(&::RudidOpen)>("RudidOpen"),
                     host.Symbol<decltype(&::RudidClose)>("RudidClose"),
                     host.Symbol<decltype(&::RudidContextEvaluate)>("RudidContextEvaluate"),
                     host.Symbol<decltype(&::RudidContextMessage)>("RudidContextMessage"),
                     host.Symbol<decltype(&::RudidContextUnit)>("RudidContextUnit")};
    for (int units = 0; units < kUnitsTried; ++units)
        for (int keep = 0; keep < 2; ++keep) {
            gContexts[units][keep] =
                gContextCalls.open(nullptr, kUnitTexts[units], keep ? RUDID_KEEP_TABLES : RUDID_READ_FILES);
            FUZZ_CHECK(gContexts[units][keep], gContextCalls.message(nullptr));
        }
    return 0;
}

namespace {

// Unit choices of any text: a context opens and says nothing, or opens
// nothing and says why.
void CheckUnitText(FuzzedDataProvider &data) {
    const std::string text = data.ConsumeRandomLengthString(80);
    const int options = data.ConsumeIntegral<std::uint8_t>() & 0x1F;
    RudidContext *context = gContextCalls.open(nullptr, text.c_str(), options);
    const std::string said = gContextCalls.message(nullptr);
    if (context) {
        FUZZ_CHECK(said.empty() && *gContextCalls.unit(context, RUDID_PRESSURE),
                   "\"" + text + "\" opened a context that is not whole: " + said);
        gContextCalls.close(context);
    } else {
        FUZZ_CHECK(!said.empty(), "\"" + text + "\" opened nothing and said nothing");
    }
}

}  // namespace

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
    if (data.remaining_bytes() > 0) CheckUnitText(data);
    return 0;
}
