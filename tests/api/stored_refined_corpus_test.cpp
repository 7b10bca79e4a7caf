// The library under test against the stored corpus of a release's refined
// answers (tests/corpus/refined_results.txt, written by
// tools/generate_corpus.py beside the table corpus): in each configuration,
// RudidEvaluateRefined for every row alone and for all rows of a function
// at once, RudidRefinedFlags, and a refined context's evaluation with flags
// must give exactly the stored answers, failure codes and flags. A change
// to the refined interpolation, its solver, its clearance from the
// saturation line or the bounds of its flags that alters any stored answer
// fails here.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/library_instance.h"
#include "api/stored_corpus_file.h"

namespace rudid::testing {
namespace {

const std::vector<StoredConfiguration> &Corpus() {
    static const std::vector<StoredConfiguration> corpus = ReadStoredCorpus(RUDID_STORED_REFINED_CORPUS);
    return corpus;
}

const StoredConfiguration &Named(const std::string &name) {
    for (const StoredConfiguration &configuration : Corpus())
        if (configuration.name == name) return configuration;
    throw std::invalid_argument("no configuration " + name);
}

// Read when the tests are registered; a corpus that cannot be read gives
// one configuration whose tests fail with the reason.
std::vector<std::string> ConfigurationNames() {
    std::vector<std::string> names;
    try {
        for (const StoredConfiguration &configuration : Corpus()) names.push_back(configuration.name);
    } catch (const std::exception &) {
        names.push_back("unreadable");
    }
    return names;
}

// The rows of each function, in corpus order.
std::map<std::string, std::vector<const StoredCase *>> ByFunction(const StoredConfiguration &stored) {
    std::map<std::string, std::vector<const StoredCase *>> rows;
    for (const StoredCase &c : stored.cases) rows[c.function].push_back(&c);
    return rows;
}

// A row of a batch: a failed row must hold a NaN, whatever its bits.
std::string RowOutcome(double result, int failure) {
    if (failure == 0) return Describe(Outcome{false, Bits(result), 0});
    if (!std::isnan(result)) return "failure " + std::to_string(failure) + " beside a number";
    return Describe(Outcome{true, 0, failure});
}

class StoredRefinedCorpus : public ::testing::TestWithParam<std::string> {
protected:
    const StoredConfiguration &stored() const { return Named(GetParam()); }
};

TEST_P(StoredRefinedCorpus, EachRowAloneGivesTheStoredAnswer) {
    const LibraryInstance lib(SetupOf(stored()));
    const auto evaluate = lib.Symbol<decltype(&::RudidEvaluateRefined)>("RudidEvaluateRefined");
    ASSERT_NE(evaluate, nullptr) << "the library does not export RudidEvaluateRefined";
    Mismatches mismatches("refined row alone");
    for (const StoredCase &c : stored().cases) {
        double result = 0;
        int failure = -1;
        const int failed = evaluate(c.function.c_str(), 1, &c.a, &c.b, &result, &failure);
        const std::string actual = RowOutcome(result, failure);
        mismatches.Check(c, Describe(c.single) + " returned " + std::to_string(c.single.failed),
                         actual + " returned " + std::to_string(failed));
    }
}

TEST_P(StoredRefinedCorpus, AllRowsAtOnceGiveTheStoredAnswers) {
    const LibraryInstance lib(SetupOf(stored()));
    const auto evaluate = lib.Symbol<decltype(&::RudidEvaluateRefined)>("RudidEvaluateRefined");
    ASSERT_NE(evaluate, nullptr) << "the library does not export RudidEvaluateRefined";
    Mismatches mismatches("refined batch row");
    for (const auto &[function, rows] : ByFunction(stored())) {
        std::vector<double> first, second, result(rows.size(), 0.0);
        std::vector<int> failure(rows.size(), -1);
        int expectedFailures = 0;
        for (const StoredCase *c : rows) {
            first.push_back(c->a);
            second.push_back(c->b);
            expectedFailures += c->batch.failed;
        }
        const int failed = evaluate(function.c_str(), rows.size(), first.data(),
                                    rows.front()->arity == 1 ? nullptr : second.data(), result.data(), failure.data());
        for (std::size_t i = 0; i < rows.size(); ++i)
            mismatches.Check(*rows[i], Describe(rows[i]->batch), RowOutcome(result[i], failure[i]));
        EXPECT_EQ(failed, expectedFailures) << function << ": the count of failed rows RudidEvaluateRefined returned";
    }
}

TEST_P(StoredRefinedCorpus, RefinedFlagsAreTheStoredOnes) {
    const LibraryInstance lib(SetupOf(stored()));
    const auto flags = lib.Symbol<decltype(&::RudidRefinedFlags)>("RudidRefinedFlags");
    ASSERT_NE(flags, nullptr) << "the library does not export RudidRefinedFlags";
    Mismatches mismatches("refined flags");
    for (const StoredCase &c : stored().cases)
        mismatches.Check(c, std::to_string(c.flags), std::to_string(flags(c.function.c_str(), c.a, c.b)));
}

// A context opened on the configuration's own directory and units for
// refined answers, with the tables kept in memory: every row's answer as
// the batch gives it, and its flags those of RudidRefinedFlags (none for a
// row that fails).
TEST_P(StoredRefinedCorpus, ARefinedContextGivesTheStoredAnswersAndFlags) {
    const LibraryInstance lib(SetupOf(stored()));
    const auto open = lib.Symbol<decltype(&::RudidOpen)>("RudidOpen");
    const auto close = lib.Symbol<decltype(&::RudidClose)>("RudidClose");
    const auto evaluate = lib.Symbol<decltype(&::RudidContextEvaluate)>("RudidContextEvaluate");
    ASSERT_TRUE(open && close && evaluate) << "the library does not export the context functions";
    RudidContext *context = open(nullptr, nullptr, RUDID_REFINED | RUDID_KEEP_TABLES);
    ASSERT_NE(context, nullptr);
    Mismatches mismatches("refined context row");
    for (const auto &[function, rows] : ByFunction(stored())) {
        std::vector<double> first, second, result(rows.size(), 0.0);
        std::vector<int> failure(rows.size(), -1), flags(rows.size(), -1);
        for (const StoredCase *c : rows) {
            first.push_back(c->a);
            second.push_back(c->b);
        }
        evaluate(context, function.c_str(), 0, rows.size(), first.data(), second.data(), result.data(),
                 failure.data(), flags.data());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const StoredCase &c = *rows[i];
            mismatches.Check(c, Describe(c.batch) + " flags " + std::to_string(c.batch.failed ? 0 : c.flags),
                             RowOutcome(result[i], failure[i]) + " flags " + std::to_string(flags[i]));
        }
    }
    close(context);
}

// A corpus cut short, a function dropped, or the cases that decide the
// refined rules left out would let the checks above pass on less.
TEST(StoredRefinedCorpusCoverage, EveryFunctionAndTheRefinedRulesInEveryConfiguration) {
    ASSERT_GE(Corpus().size(), 3u);
    for (const StoredConfiguration &configuration : Corpus()) {
        std::map<std::string, int> count;
        std::set<std::string> groups;
        int critical = 0, illPosed = 0, failed = 0;
        for (const StoredCase &c : configuration.cases) {
            ++count[c.function];
            groups.insert(c.group);
            critical += (c.flags & RUDID_FLAG_CRITICAL_REGION) != 0;
            illPosed += (c.flags & RUDID_FLAG_ILL_POSED) != 0;
            failed += c.single.failed;
        }
        for (const std::string &name : ExportNames())
            EXPECT_GE(count[name], 10) << configuration.name << " has too few cases of " << name;
        for (const char *group : {"grid", "nodes", "saturation", "crossing", "critical", "region", "cold", "random"})
            EXPECT_TRUE(groups.count(group)) << configuration.name << " has no case of group " << group;
        EXPECT_GE(critical, 100) << configuration.name << ": too few answers in the critical region";
        EXPECT_GE(illPosed, 100) << configuration.name << ": too few ill-posed answers";
        EXPECT_GE(failed, 10) << configuration.name << ": too few failures";
    }
}

std::string ParameterName(const ::testing::TestParamInfo<std::string> &info) { return ParameterText(info.param); }

INSTANTIATE_TEST_SUITE_P(Configurations, StoredRefinedCorpus, ::testing::ValuesIn(ConfigurationNames()),
                         ParameterName);

}  // namespace
}  // namespace rudid::testing
