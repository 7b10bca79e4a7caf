#include "api/stored_corpus_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace rudid::testing {

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

namespace {

[[noreturn]] void Malformed(const std::string &path, int line, const std::string &why) {
    throw std::runtime_error(path + " line " + std::to_string(line) + ": " + why);
}

std::uint64_t ParseBits(const std::string &token, const std::string &path, int line) {
    if (token.size() != 18 || token.compare(0, 2, "0x") != 0)
        Malformed(path, line, "not 0x and 16 hex digits: " + token);
    std::size_t used = 0;
    const std::uint64_t bits = std::stoull(token.substr(2), &used, 16);
    if (used != 16) Malformed(path, line, "not 0x and 16 hex digits: " + token);
    return bits;
}

Outcome ParseOutcome(const std::string &token, const std::string &path, int line) {
    if (token.rfind("fail=", 0) == 0) return {true, 0, std::stoi(token.substr(5))};
    return {false, ParseBits(token, path, line), 0};
}

void ParseConfiguration(std::istringstream &words, StoredConfiguration &configuration, const std::string &path,
                        int line) {
    words >> configuration.name;
    for (std::string word; words >> word && word != "#";) {
        const auto equals = word.find('=');
        if (equals == std::string::npos) Malformed(path, line, "expected KEY=VALUE: " + word);
        const std::string key = word.substr(0, equals), value = word.substr(equals + 1);
        if (key == "default.cfg")
            configuration.unitFile = value;
        else
            configuration.tables[key] = value;
    }
    if (configuration.name.empty() || configuration.unitFile.empty())
        Malformed(path, line, "incomplete configuration");
}

StoredCase ParseCase(std::istringstream &words, const std::string &text, const std::string &path, int line) {
    StoredCase c;
    c.line = line;
    c.text = text;
    std::string first, second, single, flags;
    if (!(words >> c.function >> c.group >> first >> second >> single >> flags))
        Malformed(path, line, "too few fields");
    c.arity = second == "-" ? 1 : 2;
    if (ExportArity(c.function) != c.arity)
        Malformed(path, line, "no property function " + c.function + " of that arity");
    c.a = FromBits(ParseBits(first, path, line));
    c.b = c.arity == 2 ? FromBits(ParseBits(second, path, line)) : 0.0;
    c.single = c.batch = ParseOutcome(single, path, line);
    c.flags = std::stoi(flags);
    if (std::string extra; words >> extra && extra.rfind("batch=", 0) == 0)
        c.batch = ParseOutcome(extra.substr(6), path, line);
    return c;
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

std::optional<Bytes> Table(const StoredConfiguration &configuration, const std::string &file) {
    const auto treatment = configuration.tables.find(file);
    if (treatment == configuration.tables.end()) return ShippedFile(file);
    if (treatment->second == "missing") return std::nullopt;
    if (treatment->second.rfind("cut:", 0) != 0) throw std::invalid_argument("bad table " + treatment->second);
    Bytes bytes = ShippedFile(file);
    bytes.resize(std::min<std::size_t>(bytes.size(), std::stoul(treatment->second.substr(4))));
    return bytes;
}

}  // namespace

std::vector<StoredConfiguration> ReadStoredCorpus(const std::string &path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::vector<StoredConfiguration> corpus;
    std::map<std::string, std::size_t> index;
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        if (text.empty() || text[0] == '#') continue;
        std::istringstream words(text);
        std::string first;
        words >> first;
        if (first == "config") {
            StoredConfiguration configuration;
            ParseConfiguration(words, configuration, path, line);
            index[configuration.name] = corpus.size();
            corpus.push_back(std::move(configuration));
            continue;
        }
        const auto found = index.find(first);
        if (found == index.end()) Malformed(path, line, "unknown configuration " + first);
        corpus[found->second].cases.push_back(ParseCase(words, text, path, line));
    }
    return corpus;
}

InstanceSetup SetupOf(const StoredConfiguration &configuration) {
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

void Mismatches::Check(const StoredCase &c, const std::string &expected, const std::string &actual) {
    if (expected == actual) return;
    if (++count_ <= kShown)
        ADD_FAILURE() << kind_ << ", corpus line " << c.line << ":\n  " << c.text << "\n  expected " << expected
                      << "\n  actual   " << actual;
}

Mismatches::~Mismatches() {
    if (count_ > kShown) ADD_FAILURE() << kind_ << ": " << count_ - kShown << " more cases differ";
}

std::string ParameterText(std::string name) {
    for (char &ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
}

}  // namespace rudid::testing
