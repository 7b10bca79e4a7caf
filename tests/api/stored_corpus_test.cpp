// The library under test against the stored corpus of a release's answers
// (tests/corpus/expected_results.txt, written by tools/generate_corpus.py):
// in every configuration of the corpus, each single call, each batch row and
// each state-flags answer must be exactly the stored one, bit for bit. A
// change to a lookup, an interpolation, a rounding step or a unit factor
// that alters any stored answer fails here, even when every copy of the
// rule inside the library changed alike.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/library_instance.h"
#include "api/stored_corpus_file.h"

namespace rudid::testing {
namespace {

using Case = StoredCase;
using Configuration = StoredConfiguration;

const std::vector<Configuration> &Corpus() {
    static const std::vector<Configuration> corpus = ReadStoredCorpus(RUDID_STORED_CORPUS);
    return corpus;
}

const Configuration &Named(const std::string &name) {
    for (const Configuration &configuration : Corpus())
        if (configuration.name == name) return configuration;
    throw std::invalid_argument("no configuration " + name);
}

// The configurations, read when the tests are registered. A corpus that
// cannot be read gives one configuration whose tests fail with the reason.
std::vector<std::string> ConfigurationNames() {
    std::vector<std::string> names;
    try {
        for (const Configuration &configuration : Corpus()) names.push_back(configuration.name);
    } catch (const std::exception &) {
        names.push_back("unreadable");
    }
    return names;
}

class StoredCorpus : public ::testing::TestWithParam<std::string> {
protected:
    const Configuration &configuration() const { return Named(GetParam()); }
};

TEST_P(StoredCorpus, SingleCallsGiveTheStoredResults) {
    const Configuration &stored = configuration();
    const LibraryInstance lib(SetupOf(stored));
    Mismatches mismatches("single call");
    for (const Case &c : stored.cases) {
        const double *r = lib.Call(c.function, c.a, c.b);
        const Outcome actual = r ? Outcome{false, Bits(*r), 0} : Outcome{true, 0, lib.RudidLastError()};
        mismatches.Check(c, Describe(c.single), Describe(actual));
    }
}

// With the tables kept in memory (CACHE=1), the same single calls give the
// same answers and the same failures: a missing table fails with its code,
// a span past the end of a cut table with "Read beyond end of file".
TEST_P(StoredCorpus, SingleCallsFromKeptTablesGiveTheStoredResults) {
    const Configuration &stored = configuration();
    InstanceSetup setup = SetupOf(stored);
    setup.moreStartupLines = "CACHE=1\n";
    const LibraryInstance lib(setup);
    Mismatches mismatches("single call, tables kept");
    for (const Case &c : stored.cases) {
        const double *r = lib.Call(c.function, c.a, c.b);
        const Outcome actual = r ? Outcome{false, Bits(*r), 0} : Outcome{true, 0, lib.RudidLastError()};
        mismatches.Check(c, Describe(c.single), Describe(actual));
    }
}

TEST_P(StoredCorpus, BatchRowsGiveTheStoredResults) {
    const Configuration &stored = configuration();
    const LibraryInstance lib(SetupOf(stored));
    std::map<std::string, std::vector<const Case *>> byFunction;
    for (const Case &c : stored.cases) byFunction[c.function].push_back(&c);
    Mismatches mismatches("batch row");
    for (const auto &[function, rows] : byFunction) {
        std::vector<double> first, second;
        for (const Case *c : rows) {
            first.push_back(c->a);
            second.push_back(c->b);
        }
        std::vector<double> result(rows.size(), 0.0);
        std::vector<int> failure(rows.size(), -1);
        const int failed = lib.RudidEvaluate(function.c_str(), rows.size(), first.data(),
                                             rows.front()->arity == 1 ? nullptr : second.data(), result.data(),
                                             failure.data());
        int expectedFailures = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Case &c = *rows[i];
            expectedFailures += c.batch.failed;
            // A failed row holds a NaN, whatever its bits.
            const std::string actual =
                failure[i] == 0         ? Describe(Outcome{false, Bits(result[i]), 0})
                : std::isnan(result[i]) ? Describe(Outcome{true, 0, failure[i]})
                                        : "failure " + std::to_string(failure[i]) + " beside a number";
            mismatches.Check(c, Describe(c.batch), actual);
        }
        EXPECT_EQ(failed, expectedFailures) << function << ": the count of failed rows RudidEvaluate returned";
    }
}

// Each state's flags, from the files read for the call and from the kept
// tables.
TEST_P(StoredCorpus, StateFlagsAreTheStoredOnes) {
    const Configuration &stored = configuration();
    for (const char *startup : {"", "CACHE=1\n"}) {
        InstanceSetup setup = SetupOf(stored);
        setup.moreStartupLines = startup;
        const LibraryInstance lib(setup);
        const auto flags = lib.Symbol<decltype(&::RudidStateFlags)>("RudidStateFlags");
        ASSERT_NE(flags, nullptr) << "the library does not export RudidStateFlags";
        Mismatches mismatches(*startup ? "state flags, tables kept" : "state flags");
        for (const Case &c : stored.cases)
            mismatches.Check(c, std::to_string(c.flags), std::to_string(flags(c.function.c_str(), c.a, c.b)));
    }
}

// The batch with flags: each row's result as RudidEvaluate gives it, and its
// flags those of the single call (none for a row that fails).
TEST_P(StoredCorpus, BatchFlagsAreTheStoredOnes) {
    const Configuration &stored = configuration();
    const LibraryInstance lib(SetupOf(stored));
    const auto evaluate = lib.Symbol<decltype(&::RudidEvaluateWithFlags)>("RudidEvaluateWithFlags");
    ASSERT_NE(evaluate, nullptr) << "the library does not export RudidEvaluateWithFlags";
    std::map<std::string, std::vector<const Case *>> byFunction;
    for (const Case &c : stored.cases) byFunction[c.function].push_back(&c);
    Mismatches mismatches("batch flags");
    for (const auto &[function, rows] : byFunction) {
        std::vector<double> first, second, result(rows.size());
        std::vector<int> failure(rows.size(), -1), flags(rows.size(), -1);
        for (const Case *c : rows) {
            first.push_back(c->a);
            second.push_back(c->b);
        }
        evaluate(function.c_str(), rows.size(), first.data(), second.data(), result.data(), failure.data(),
                 flags.data());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Case &c = *rows[i];
            const std::string actual = failure[i] == 0 ? Describe(Outcome{false, Bits(result[i]), 0})
                                                       : Describe(Outcome{true, 0, failure[i]});
            mismatches.Check(c, Describe(c.batch) + " flags " + std::to_string(c.batch.failed ? 0 : c.flags),
                             actual + " flags " + std::to_string(flags[i]));
        }
    }
}

// A corpus cut short or a function dropped from it would let the checks
// above pass on fewer answers.
TEST(StoredCorpusCoverage, EveryPropertyFunctionInEveryConfiguration) {
    ASSERT_GE(Corpus().size(), 3u);
    for (const Configuration &configuration : Corpus()) {
        std::map<std::string, int> count;
        for (const Case &c : configuration.cases) ++count[c.function];
        for (const std::string &name : ExportNames())
            EXPECT_GE(count[name], 10) << configuration.name << " has too few cases of " << name;
    }
}

std::string ParameterName(const ::testing::TestParamInfo<std::string> &info) { return ParameterText(info.param); }

INSTANTIATE_TEST_SUITE_P(Configurations, StoredCorpus, ::testing::ValuesIn(ConfigurationNames()), ParameterName);

}  // namespace
}  // namespace rudid::testing
