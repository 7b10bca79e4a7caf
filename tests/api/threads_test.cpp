// Many threads at once: single calls and batch calls of different functions
// in two unit configurations, answering and failing, give exactly the
// outcomes of the same calls made one at a time; and table files that
// vanish, come back and are rewritten under load give either a documented
// failure or the answer of the complete tables, never another number.
// These tests also run under ThreadSanitizer (tools/test.sh).
#include <dirent.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <latch>
#include <limits>
#include <map>
#include <thread>
#include <vector>

#include "api/library_instance.h"

namespace rudid::testing {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct Call {
    const char *name;
    double a, b;
};

// What a call gave when made alone: the answer's bits, or no result and the
// failure code.
struct Outcome {
    Call call;
    bool answered;
    std::uint64_t bits;
    int code;
};

std::uint64_t Bits(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

Outcome Alone(const LibraryInstance &lib, const Call &call) {
    const double *r = lib.Call(call.name, call.a, call.b);
    return {call, r != nullptr, r ? Bits(*r) : 0, lib.RudidLastError()};
}

// The calls every thread makes, in internal units: properties, error codes
// and failures (205 for arguments no six-byte real holds), over every table.
const std::vector<Call> &MixedCalls() {
    static const std::vector<Call> calls = {
        {"AQPPT", 10, 0},        {"AQPPT", 1e39, 0},       {"AQPTP", 100, 0},        {"AQPTP", 400, 0},
        {"AQPTQH", 150, 0.3},    {"AQPTQV", 20, 0.9},      {"AQPTQS", 150, kNaN},    {"AQPPQH", 5, 0.5},
        {"AQPPQS", 5, 0.5},      {"AQPPQV", 300, 0.5},     {"AQPPTH", 1, 95},        {"AQPPTH", 100, 500},
        {"AQPPTS", 250, 380},    {"AQPPTV", 500, 600},     {"AQPPTV", 10, -kInfinity}, {"AQPPHT", 10, 3000},
        {"AQPPHS", 10, 1000},    {"AQPPHV", 50, 2800},     {"AQPPHQ", 1, 1500},      {"AQPPST", 10, 6.5},
        {"AQPPSH", 300, 5},      {"AQPPSV", 20, 7},        {"AQPPSQ", 10, 5},        {"AQPPVT", 10, 0.2},
        {"AQPPVH", 1, 0.001043}, {"AQPPVS", 100, 0.03},    {"AQPPVQ", 5, 0.2},       {"AQPPHT", 0.001, 100},
    };
    return calls;
}

std::vector<Outcome> OutcomesAlone(const LibraryInstance &lib) {
    std::vector<Outcome> outcomes;
    for (const Call &call : MixedCalls()) outcomes.push_back(Alone(lib, call));
    return outcomes;
}

// The rows of one batch: every call of one function.
std::map<std::string, std::vector<Outcome>> ByFunction(const std::vector<Outcome> &outcomes) {
    std::map<std::string, std::vector<Outcome>> groups;
    for (const Outcome &o : outcomes) groups[o.call.name].push_back(o);
    return groups;
}

// Judges a single call or a batch row against the outcome alone. `allowed`
// lists failures that may stand in for any outcome (a table that is away).
class Judge {
public:
    explicit Judge(std::vector<int> allowed = {}) : allowed_(std::move(allowed)) {}

    void Single(const LibraryInstance &lib, const Outcome &expected) {
        const double *r = lib.Call(expected.call.name, expected.call.a, expected.call.b);
        const int code = lib.RudidLastError();
        if (!r && Allowed(code)) return Failed();
        if ((r != nullptr) == expected.answered && code == expected.code && (!r || Bits(*r) == expected.bits))
            return Answered();
        Wrong();
    }

    void Batch(const LibraryInstance &lib, const std::vector<Outcome> &rows) {
        std::vector<double> first, second, result(rows.size(), 0);
        std::vector<int> failure(rows.size(), -1);
        for (const Outcome &row : rows) {
            first.push_back(row.call.a);
            second.push_back(row.call.b);
        }
        const char *name = rows.front().call.name;
        const int failed = lib.RudidEvaluate(name, rows.size(), first.data(),
                                             ExportArity(name) == 1 ? nullptr : second.data(), result.data(),
                                             failure.data());
        int failedRows = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            failedRows += failure[i] != 0;
            if (failure[i] != 0 && Allowed(failure[i]) && std::isnan(result[i])) {
                Failed();
            } else if (rows[i].answered ? failure[i] == 0 && Bits(result[i]) == rows[i].bits
                                        : failure[i] == rows[i].code && std::isnan(result[i])) {
                Answered();
            } else {
                Wrong();
            }
        }
        if (failed != failedRows) Wrong();
    }

    // Read by other threads while this one judges.
    int wrong() const { return wrong_.load(std::memory_order_relaxed); }
    int answered() const { return answered_.load(std::memory_order_relaxed); }
    int failed() const { return failed_.load(std::memory_order_relaxed); }

private:
    bool Allowed(int code) const { return std::find(allowed_.begin(), allowed_.end(), code) != allowed_.end(); }
    void Answered() { answered_.fetch_add(1, std::memory_order_relaxed); }
    void Failed() { failed_.fetch_add(1, std::memory_order_relaxed); }
    void Wrong() { wrong_.fetch_add(1, std::memory_order_relaxed); }

    std::vector<int> allowed_;
    std::atomic<int> wrong_{0}, answered_{0}, failed_{0};
};

TEST(Threads, EightThreadsOfSingleAndBatchCallsInTwoUnitConfigurationsMatchTheCallsAlone) {
    const LibraryInstance &internal = LibraryInstance::Standard();
    const LibraryInstance british(ShippedSetup({3, 3, 1, 3, 4}));  // MPa, Btu/lbm, K, Btu/lbm,F, ft3/lbm
    const LibraryInstance *libs[2] = {&internal, &british};
    const std::vector<Outcome> alone[2] = {OutcomesAlone(internal), OutcomesAlone(british)};
    const std::map<std::string, std::vector<Outcome>> groups[2] = {ByFunction(alone[0]), ByFunction(alone[1])};

    constexpr int kThreads = 8, kRounds = 100;
    std::deque<Judge> judges(kThreads);
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int round = 0; round < kRounds; ++round) {
                const int k = (round + t) % 2;
                if ((round / 2 + t) % 2 == 0) {
                    // Each thread walks the calls from its own starting point.
                    for (std::size_t i = 0; i < alone[k].size(); ++i)
                        judges[t].Single(*libs[k], alone[k][(i + std::size_t(t) * 5) % alone[k].size()]);
                } else {
                    for (const auto &[name, rows] : groups[k]) judges[t].Batch(*libs[k], rows);
                }
            }
        });
    for (std::thread &thread : threads) thread.join();

    int wrong = 0, answered = 0;
    for (const Judge &judge : judges) {
        wrong += judge.wrong();
        answered += judge.answered();
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(answered, kThreads * kRounds * int(MixedCalls().size()));
    // The mix holds answers, error codes and failures in both configurations.
    for (const std::vector<Outcome> &outcomes : alone) {
        int answers = 0, codes = 0, failures = 0;
        for (const Outcome &o : outcomes) {
            double value;
            std::memcpy(&value, &o.bits, sizeof value);
            answers += o.answered && value >= 0;
            codes += o.answered && value < -1000;
            failures += !o.answered && o.code == 205;
        }
        EXPECT_GE(answers, 8);
        EXPECT_GE(codes, 2);
        EXPECT_EQ(failures, 3);
    }
}

int OpenDescriptors() {
    int count = 0;
    DIR *dir = ::opendir("/proc/self/fd");
    if (!dir) return -1;
    while (const dirent *entry = ::readdir(dir)) count += entry->d_name[0] != '.';
    ::closedir(dir);
    return count;
}

Bytes ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes the bytes into the file in place, truncating it first and writing
// in pieces: a reader meanwhile sees the file short, never with other bytes.
void RewriteInPlace(const std::string &path, const Bytes &bytes) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    for (std::size_t at = 0; at < bytes.size(); at += 4096)
        std::fwrite(bytes.data() + at, 1, std::min<std::size_t>(4096, bytes.size() - at), file);
    std::fclose(file);
}

TEST(TablesChangingUnderLoad, EveryAnswerIsADocumentedFailureOrTheAnswerOfTheCompleteTables) {
    const LibraryInstance lib(ShippedSetup());
    const std::vector<Outcome> alone = OutcomesAlone(lib);
    const auto groups = ByFunction(alone);
    const int descriptorsBefore = OpenDescriptors();

    const std::string names[3] = {"zarude.dat", "vevuzu.dat", "didizar.dat"};
    Bytes contents[3];
    for (int k = 0; k < 3; ++k) contents[k] = ReadAll(lib.directory().file(names[k]));

    constexpr int kCallers = 6;
    std::atomic<bool> stop{false};
    std::deque<Judge> judges;
    for (int t = 0; t < kCallers; ++t) judges.emplace_back(std::vector<int>{2, 100});  // file not found, read beyond end
    std::vector<std::thread> callers;
    for (int t = 0; t < kCallers; ++t)
        callers.emplace_back([&, t] {
            for (int round = 0; !stop.load(); ++round) {
                if ((round + t) % 3 == 0) {
                    for (const auto &[name, rows] : groups) judges[t].Batch(lib, rows);
                } else {
                    for (std::size_t i = 0; i < alone.size(); ++i)
                        judges[t].Single(lib, alone[(i + std::size_t(t) * 7) % alone.size()]);
                }
            }
        });

    // Each table in turn: renamed away and back, rewritten in place, and
    // replaced by a complete new file renamed over it; until the callers
    // have seen failures and answers both, for at least 60 changes.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int change = 0;; ++change) {
        const int k = change % 3;
        const std::string path = lib.directory().file(names[k]);
        switch (change / 3 % 3) {
            case 0:
                std::filesystem::rename(path, path + ".away");
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                std::filesystem::rename(path + ".away", path);
                break;
            case 1: RewriteInPlace(path, contents[k]); break;
            default:
                lib.directory().write(names[k] + ".new", contents[k]);
                std::filesystem::rename(path + ".new", path);
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        int failed = 0, answered = 0;
        for (const Judge &judge : judges) {
            failed += judge.failed();
            answered += judge.answered();
        }
        if ((change >= 60 && failed > 0 && answered > 0) || std::chrono::steady_clock::now() > deadline) break;
    }
    stop = true;
    for (std::thread &caller : callers) caller.join();

    int wrong = 0, failed = 0, answered = 0;
    for (const Judge &judge : judges) {
        wrong += judge.wrong();
        failed += judge.failed();
        answered += judge.answered();
    }
    EXPECT_EQ(wrong, 0) << "answers that are neither a documented failure nor the complete tables' answer";
    EXPECT_GT(failed, 0) << "no call ever met a table away or short";
    EXPECT_GT(answered, 0);
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore) << "a table file was left open";

    // With the tables whole again every call gives its answer.
    Judge after;
    for (const Outcome &o : alone) after.Single(lib, o);
    for (const auto &[name, rows] : groups) after.Batch(lib, rows);
    EXPECT_EQ(after.wrong(), 0);
    EXPECT_EQ(after.failed(), 0);
}

}  // namespace
}  // namespace rudid::testing
