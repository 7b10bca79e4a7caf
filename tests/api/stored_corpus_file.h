// The stored corpora of a release's answers (tests/corpus/*_results.txt,
// written by tools/generate_corpus.py), read into configurations and their
// cases, and the library set up for one configuration. One format serves
// the table answers and the refined ones:
//   config NAME default.cfg=shipped|WORD:VALUE,... [TABLE=missing|cut:BYTES] # ...
//   NAME FUNCTION GROUP ARG1 ARG2 RESULT FLAGS [batch=RESULT] # readable
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "api/library_instance.h"

namespace rudid::testing {

// What a call gave: the answer's bits, or no answer and a failure code.
struct Outcome {
    bool failed = false;
    std::uint64_t bits = 0;
    int code = 0;
    bool operator==(const Outcome &) const = default;
};

struct StoredCase {
    int line = 0;
    std::string function;
    std::string group;
    int arity = 0;
    double a = 0, b = 0;
    Outcome single, batch;
    int flags = 0;
    std::string text;  // the line as stored, for messages
};

struct StoredConfiguration {
    std::string name;
    std::string unitFile;                       // "shipped" or WORD:VALUE,...
    std::map<std::string, std::string> tables;  // file -> "missing" or "cut:BYTES"
    std::vector<StoredCase> cases;
};

std::uint64_t Bits(double x);
double FromBits(std::uint64_t bits);
// "failure CODE" or "0x... (value)".
std::string Describe(const Outcome &o);

// The configurations of a corpus file in file order. Raises
// std::runtime_error naming the line of a malformed one.
std::vector<StoredConfiguration> ReadStoredCorpus(const std::string &path);

// The shipped tables and the configuration's default.cfg, tables cut short
// or left out as it says.
InstanceSetup SetupOf(const StoredConfiguration &configuration);

// Collects the cases that differ and reports the first few in full.
class Mismatches {
public:
    explicit Mismatches(const char *kind) : kind_(kind) {}
    Mismatches(const Mismatches &) = delete;
    Mismatches &operator=(const Mismatches &) = delete;
    ~Mismatches();

    void Check(const StoredCase &c, const std::string &expected, const std::string &actual);
    int count() const { return count_; }

private:
    static constexpr int kShown = 8;
    const char *kind_;
    int count_ = 0;
};

// A configuration's name as a test parameter's name.
std::string ParameterText(std::string name);

}  // namespace rudid::testing
