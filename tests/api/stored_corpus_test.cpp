// The library under test against the stored corpus of a release's answers
// (tests/corpus/expected_results.txt, written by tools/generate_corpus.py):
// in every configuration of the corpus, each single call, each batch row and
// each state-flags answer must be exactly the stored one, bit for bit. A
// change to a lookup, an interpolation, a rounding step or a unit factor
// that alters any stored answer fails here, even when every copy of the
// rule inside the library changed alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/library_instance.h"

namespace rudid::testing {
namespace {

// What a call gave: the answer's bits, or no answer and a failure code.
struct Outcome {
    bool failed = false;
    std::uint64_t bits = 0;
    int code = 0;
    bool operator==(const Outcome &) const = default;
};

struct Case {
    int line = 0;
    std::string function;
    int arity = 0;
    double a = 0, b = 0;
    Outcome single, batch;
    int flags = 0;
    std::string text;  // the line as stored, for messages
};

struct Configuration {
    std::string name;
    std::string unitFile;                       // "shipped" or WORD:VALUE,...
    std::map<std::string, std::string> tables;  // file -> "missing" or "cut:BYTES"
    std::vector<Case> cases;
};

std::uint64_t Bits(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

double FromBits(std::uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

std::string Describe(const Outcome &o) {
    if (o.failed) return "failure " + std::to_string(o.code);
    char text[64];
    std::snprintf(text, sizeof text, "0x%016" PRIx64 " (%.17g)", o.bits, FromBits(o.bits));
    return text;
}

[[noreturn]] void Malformed(int line, const std::string &why) {
    throw std::runtime_error("stored corpus line " + std::to_string(line) + ": " + why);
}

std::uint64_t ParseBits(const std::string &token, int line) {
    if (token.size() != 18 || token.compare(0, 2, "0x") != 0) Malformed(line, "not 0x and 16 hex digits: " + token);
    std::size_t used = 0;
    const std::uint64_t bits = std::stoull(token.substr(2), &used, 16);
    if (used != 16) Malformed(line, "not 0x and 16 hex digits: " + token);
    return bits;
}

Outcome ParseOutcome(const std::string &token, int line) {
    if (token.rfind("fail=", 0) == 0) return {true, 0, std::stoi(token.substr(5))};
    return {false, ParseBits(token, line), 0};
}

void ParseConfiguration(std::istringstream &words, Configuration &configuration, int line) {
    words >> configuration.name;
    for (std::string word; words >> word && word != "#";) {
        const auto equals = word.find('=');
        if (equals == std::string::npos) Malformed(line, "expected KEY=VALUE: " + word);
        const std::string key = word.substr(0, equals), value = word.substr(equals + 1);
        if (key == "default.cfg")
            configuration.unitFile = value;
        else
            configuration.tables[key] = value;
    }
    if (configuration.name.empty() || configuration.unitFile.empty()) Malformed(line, "incomplete configuration");
}

Case ParseCase(std::istringstream &words, const std::string &text, int line) {
    Case c;
    c.line = line;
    c.text = text;
    std::string group, first, second, single, flags;
    if (!(words >> c.function >> group >> first >> second >> single >> flags)) Malformed(line, "too few fields");
    c.arity = second == "-" ? 1 : 2;
    if (ExportArity(c.function) != c.arity) Malformed(line, "no property function " + c.function + " of that arity");
    c.a = FromBits(ParseBits(first, line));
    c.b = c.arity == 2 ? FromBits(ParseBits(second, line)) : 0.0;
    c.single = c.batch = ParseOutcome(single, line);
    c.flags = std::stoi(flags);
    if (std::string extra; words >> extra && extra.rfind("batch=", 0) == 0)
        c.batch = ParseOutcome(extra.substr(6), line);
    return c;
}

std::vector<Configuration> ReadCorpus() {
    std::ifstream in(RUDID_STORED_CORPUS);
    if (!in) throw std::runtime_error("cannot read " RUDID_STORED_CORPUS);
    std::vector<Configuration> corpus;
    std::map<std::string, std::size_t> index;
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        if (text.empty() || text[0] == '#') continue;
        std::istringstream words(text);
        std::string first;
        words >> first;
        if (first == "config") {
            Configuration configuration;
            ParseConfiguration(words, configuration, line);
            index[configuration.name] = corpus.size();
            corpus.push_back(std::move(configuration));
            continue;
        }
        const auto found = index.find(first);
        if (found == index.end()) Malformed(line, "unknown configuration " + first);
        corpus[found->second].cases.push_back(ParseCase(words, text, line));
    }
    return corpus;
}

const std::vector<Configuration> &Corpus() {
    static const std::vector<Configuration> corpus = ReadCorpus();
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

Bytes ShippedFile(const std::string &name) {
    std::ifstream in(std::string(RUDID_DATA_DIRECTORY) + "/" + name, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read the shipped " + name);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// default.cfg of 31 words, all 0 but the listed WORD:VALUE pairs.
Bytes UnitWords(const std::string &list) {
    std::int16_t words[31] = {};
    std::istringstream pairs(list);
    for (std::string pair; std::getline(pairs, pair, ',');) {
        const auto colon = pair.find(':');
        const int word = std::stoi(pair.substr(0, colon));
        if (colon == std::string::npos || word < 0 || word >= 31) throw std::invalid_argument("bad word " + pair);
        words[word] = std::int16_t(std::stoi(pair.substr(colon + 1)));
    }
    Bytes bytes;
    for (std::int16_t word : words) {
        bytes.push_back(std::uint8_t(std::uint16_t(word) & 0xFF));
        bytes.push_back(std::uint8_t(std::uint16_t(word) >> 8));
    }
    return bytes;
}

std::optional<Bytes> Table(const Configuration &configuration, const std::string &file) {
    const auto treatment = configuration.tables.find(file);
    if (treatment == configuration.tables.end()) return ShippedFile(file);
    if (treatment->second == "missing") return std::nullopt;
    if (treatment->second.rfind("cut:", 0) != 0) throw std::invalid_argument("bad table " + treatment->second);
    Bytes bytes = ShippedFile(file);
    bytes.resize(std::min<std::size_t>(bytes.size(), std::stoul(treatment->second.substr(4))));
    return bytes;
}

InstanceSetup SetupOf(const Configuration &configuration) {
    for (const auto &[file, treatment] : configuration.tables)
        if (file != "zarude.dat" && file != "vevuzu.dat" && file != "didizar.dat")
            throw std::invalid_argument("no table " + file);
    InstanceSetup setup;
    setup.saturationByPressure = Table(configuration, "zarude.dat");
    setup.saturationByTemperature = Table(configuration, "vevuzu.dat");
    setup.singlePhase = Table(configuration, "didizar.dat");
    setup.unitFile = configuration.unitFile == "shipped" ? ShippedFile("default.cfg")
                                                         : UnitWords(configuration.unitFile);
    return setup;
}

// Collects the cases that differ and reports the first few in full.
class Mismatches {
public:
    explicit Mismatches(const char *kind) : kind_(kind) {}

    void Check(const Case &c, const std::string &expected, const std::string &actual) {
        if (expected == actual) return;
        if (++count_ <= kShown)
            ADD_FAILURE() << kind_ << ", corpus line " << c.line << ":\n  " << c.text << "\n  expected "
                          << expected << "\n  actual   " << actual;
    }

    ~Mismatches() {
        if (count_ > kShown) ADD_FAILURE() << kind_ << ": " << count_ - kShown << " more cases differ";
    }

private:
    static constexpr int kShown = 8;
    const char *kind_;
    int count_ = 0;
};

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

TEST_P(StoredCorpus, StateFlagsAreTheStoredOnes) {
    const Configuration &stored = configuration();
    const LibraryInstance lib(SetupOf(stored));
    const auto flags = lib.Symbol<decltype(&::RudidStateFlags)>("RudidStateFlags");
    ASSERT_NE(flags, nullptr) << "the library does not export RudidStateFlags";
    Mismatches mismatches("state flags");
    for (const Case &c : stored.cases)
        mismatches.Check(c, std::to_string(c.flags), std::to_string(flags(c.function.c_str(), c.a, c.b)));
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

std::string ParameterName(const ::testing::TestParamInfo<std::string> &info) {
    std::string name = info.param;
    for (char &ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Configurations, StoredCorpus, ::testing::ValuesIn(ConfigurationNames()), ParameterName);

}  // namespace
}  // namespace rudid::testing
