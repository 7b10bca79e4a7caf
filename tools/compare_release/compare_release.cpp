// Compares two builds of the library call by call: every property function,
// as a single call, as batch rows through RudidEvaluate, and through
// RudidStateFlags, on the same arguments; any difference in the result's
// bits, the failure code or the flags is printed.
//
//   compare_release OLD.so NEW.so CALLS_PER_FUNCTION [SEED]
//
// Both libraries are loaded into this one process, so they read the same
// ZAREVIRU.INI (the environment variable ZAREVIRU_INI names it) and the
// same default.cfg: run it once per unit configuration (compare_release.sh
// does, for three). Exit status 0 when nothing differs, 1 when something
// does, 2 when a library cannot be loaded.
//
// Arguments: random states across each function's range and a little
// beyond, the range limits themselves and their neighbours, and for the
// inverse functions keys that the tables give at random states (so that
// most land inside the table), all converted to the configured units.
#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "rudid32.h"

namespace {

using Single1 = double *(*)(double);
using Single2 = double *(*)(double, double);
using Evaluate = int (*)(const char *, size_t, const double *, const double *, double *, int *);
using Flags = int (*)(const char *, double, double);
using EvaluateWithFlags = int (*)(const char *, size_t, const double *, const double *, double *, int *, int *);
using LastError = int (*)();
using ToConfigured = double (*)(int, double);

struct Function {
    const char *name;
    int arity;
    int first, second, result;
};

const Function kFunctions[] = {
#define ROW(name, ordinal, arity, first, second, result, ...) {#name, arity, first, second, result},
    RUDID_PROPERTY_FUNCTIONS(ROW)
#undef ROW
};

struct Library {
    void *handle = nullptr;
    Evaluate evaluate = nullptr;
    Flags flags = nullptr;
    EvaluateWithFlags evaluateWithFlags = nullptr;  // a newer build only
    LastError lastError = nullptr;
    ToConfigured toConfigured = nullptr;

    bool Load(const char *path) {
        handle = dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
        if (!handle) {
            std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
            return false;
        }
        evaluate = reinterpret_cast<Evaluate>(dlsym(handle, "RudidEvaluate"));
        flags = reinterpret_cast<Flags>(dlsym(handle, "RudidStateFlags"));
        evaluateWithFlags = reinterpret_cast<EvaluateWithFlags>(dlsym(handle, "RudidEvaluateWithFlags"));
        lastError = reinterpret_cast<LastError>(dlsym(handle, "RudidLastError"));
        toConfigured = reinterpret_cast<ToConfigured>(dlsym(handle, "RudidToConfiguredUnit"));
        return evaluate && flags && lastError && toConfigured;
    }

    // The answer of a single call as bits, or the failure code with the
    // top bit set.
    std::uint64_t Single(const Function &f, double a, double b) const {
        const double *result;
        if (f.arity == 1)
            result = reinterpret_cast<Single1>(dlsym(handle, f.name))(a);
        else
            result = reinterpret_cast<Single2>(dlsym(handle, f.name))(a, b);
        if (!result) return (std::uint64_t(1) << 63) | std::uint64_t(lastError());
        std::uint64_t bits;
        std::memcpy(&bits, result, 8);
        return bits;
    }
};

std::uint64_t Bits(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, 8);
    return bits;
}

// The internal-unit range of a quantity that the functions accept, with a
// margin either side.
struct Range {
    double low, high;
    bool logarithmic;
};

Range RangeOf(const Function &f, int position) {
    const int quantity = position == 1 ? f.first : f.second;
    const bool saturation = f.result != RUDID_QUALITY && position == 1 &&
                            (f.second == RUDID_QUALITY || f.second == RUDID_NO_QUANTITY);
    switch (quantity) {
        case RUDID_PRESSURE: return {0.008, saturation ? 230.0 : 1010.0, true};
        case RUDID_TEMPERATURE: return {-1.0, saturation ? 380.0 : 805.0, false};
        case RUDID_QUALITY: return {-0.05, 1.05, false};
        case RUDID_SPECIFIC_ENTHALPY: return {-50.0, 4300.0, false};
        case RUDID_SPECIFIC_ENTROPY: return {-0.1, 13.0, false};
        case RUDID_SPECIFIC_VOLUME: return {0.0009, 200.0, true};
        default: return {0.0, 1.0, false};
    }
}

// Values that sit on a range test or a grid boundary, in internal units.
std::vector<double> EdgeValues(int quantity) {
    switch (quantity) {
        case RUDID_PRESSURE: return {0.01, 0.0099999, 0.0100001, 221.2, 221.19999, 221.20001, 1000, 999.9999, 1000.0001, 1, 100, 220};
        case RUDID_TEMPERATURE: return {0, -0.0001, 0.005, 0.01, 374.15, 374.1499, 374.1501, 374, 800, 799.9999, 800.0001, 10, 370};
        case RUDID_QUALITY: return {0, 1, -1e-9, 1 + 1e-9, 0.5};
        default: return {};
    }
}

struct Argument {
    double first, second;
};

std::vector<Argument> MakeArguments(const Function &f, const Library &old, std::size_t n, std::mt19937_64 &random) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto draw = [&](const Range &r) {
        const double u = unit(random);
        return r.logarithmic ? std::exp(std::log(r.low) + u * (std::log(r.high) - std::log(r.low)))
                             : r.low + u * (r.high - r.low);
    };
    const char *keyFunction = f.second == RUDID_SPECIFIC_ENTHALPY ? "AQPPTH"
                              : f.second == RUDID_SPECIFIC_ENTROPY ? "AQPPTS"
                              : f.second == RUDID_SPECIFIC_VOLUME  ? "AQPPTV"
                                                                   : nullptr;
    std::vector<Argument> args(n);
    const std::vector<double> edges1 = EdgeValues(f.first), edges2 = EdgeValues(f.second);
    for (std::size_t i = 0; i < n; ++i) {
        double a = draw(RangeOf(f, 1));
        double b = f.arity == 2 ? draw(RangeOf(f, 2)) : 0;
        const int kind = int(random() % 8);
        if (kind == 0 && !edges1.empty()) a = edges1[random() % edges1.size()];
        if (kind == 1 && !edges2.empty()) b = edges2[random() % edges2.size()];
        if (kind >= 3 && keyFunction) {
            // A key the tables give at (a, t), pressure and temperature in
            // internal units; a refused state keeps its random key.
            const double t = unit(random) * 800;
            double key;
            int failure;
            const double p = a;
            old.evaluate(keyFunction, 1, &p, &t, &key, &failure);
            if (failure == 0 && key > -1000) b = key * (1 + (unit(random) - 0.5) * 1e-3 * (kind == 3));
        }
        if (kind == 2 && f.arity == 2 && !edges2.empty() && !edges1.empty())
            a = edges1[random() % edges1.size()], b = edges2[random() % edges2.size()];
        args[i].first = f.first == RUDID_QUALITY ? a : old.toConfigured(f.first, a);
        args[i].second = f.arity == 1 || f.second == RUDID_QUALITY ? b : old.toConfigured(f.second, b);
    }
    return args;
}

struct Counts {
    std::size_t single = 0, batch = 0, flags = 0, differences = 0;
};

void Report(const char *what, const Function &f, const Argument &x, std::uint64_t a, std::uint64_t b, Counts &c) {
    if (++c.differences <= 20)
        std::printf("%s %s(%.17g, %.17g): old %016llx new %016llx\n", what, f.name, x.first, x.second,
                    (unsigned long long)a, (unsigned long long)b);
}

void Compare(const Function &f, const Library &old, const Library &fresh, const std::vector<Argument> &args,
             std::size_t flagRows, Counts &c) {
    const std::size_t n = args.size();
    for (const Argument &x : args) {
        const std::uint64_t a = old.Single(f, x.first, x.second), b = fresh.Single(f, x.first, x.second);
        if (a != b) Report("single", f, x, a, b, c);
        ++c.single;
    }
    std::vector<double> first(n), second(n), r1(n), r2(n);
    std::vector<int> f1(n), f2(n);
    for (std::size_t i = 0; i < n; ++i) first[i] = args[i].first, second[i] = args[i].second;
    // Whole, and in short runs, which read the tables another way.
    for (std::size_t chunk : {n, std::size_t(1), std::size_t(7)}) {
        for (std::size_t start = 0; start < n; start += chunk) {
            const std::size_t m = std::min(chunk, n - start);
            const int n1 = old.evaluate(f.name, m, &first[start], &second[start], &r1[start], &f1[start]);
            const int n2 = fresh.evaluate(f.name, m, &first[start], &second[start], &r2[start], &f2[start]);
            if (n1 != n2) std::printf("batch %s: %d failed rows against %d\n", f.name, n1, n2), ++c.differences;
            if (chunk != n && start > 64 * chunk) break;  // short runs: the first rows only
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (Bits(r1[i]) != Bits(r2[i]) || f1[i] != f2[i])
                Report("batch", f, args[i], Bits(r1[i]) ^ std::uint64_t(f1[i]), Bits(r2[i]) ^ std::uint64_t(f2[i]), c);
        }
        c.batch += chunk == n ? n : std::min(n, 65 * chunk);
    }
    // The new build's batch flags, row by row against the old single call.
    const std::size_t m = std::min(flagRows, n);
    std::vector<int> batchFlags(m, -1);
    if (fresh.evaluateWithFlags)
        fresh.evaluateWithFlags(f.name, m, first.data(), second.data(), r2.data(), f2.data(), batchFlags.data());
    for (std::size_t i = 0; i < m; ++i) {
        const int a = old.flags(f.name, args[i].first, args[i].second);
        const int b = fresh.flags(f.name, args[i].first, args[i].second);
        if (a != b) Report("flags", f, args[i], std::uint64_t(a), std::uint64_t(b), c);
        if (fresh.evaluateWithFlags && a != batchFlags[i])
            Report("batch flags", f, args[i], std::uint64_t(a), std::uint64_t(batchFlags[i]), c);
        ++c.flags;
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s OLD.so NEW.so CALLS_PER_FUNCTION [SEED] [FLAG_CALLS]\n", argv[0]);
        return 2;
    }
    Library old, fresh;
    if (!old.Load(argv[1]) || !fresh.Load(argv[2])) return 2;
    const std::size_t calls = std::strtoull(argv[3], nullptr, 10);
    std::mt19937_64 random(argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1);
    const std::size_t flagCalls = argc > 5 ? std::strtoull(argv[5], nullptr, 10) : calls / 4;
    Counts c;
    for (const Function &f : kFunctions) {
        const std::vector<Argument> args = MakeArguments(f, old, calls, random);
        Compare(f, old, fresh, args, flagCalls, c);
    }
    // The range messages of every function and code, in the configured units.
    using Message = const char *(*)(int, int);
    const auto oldMessage = reinterpret_cast<Message>(dlsym(old.handle, "RudidRangeMessage"));
    const auto newMessage = reinterpret_cast<Message>(dlsym(fresh.handle, "RudidRangeMessage"));
    std::size_t messages = 0;
    for (int function = -1; oldMessage && newMessage && function < int(std::size(kFunctions)); ++function)
        for (int code = -1016; code <= -1000; ++code) {
            const char *a = oldMessage(function, code);
            const std::string first = a ? a : "(null)";
            const char *b = newMessage(function, code);
            const std::string second = b ? b : "(null)";
            ++messages;
            if (first != second && ++c.differences <= 20)
                std::printf("message %d %d: old \"%s\" new \"%s\"\n", function, code, first.c_str(), second.c_str());
        }
    std::printf("range messages %zu\n", messages);
    std::printf("single calls %zu, batch rows %zu, flag calls %zu, differences %zu\n", c.single, c.batch, c.flags,
                c.differences);
    return c.differences == 0 ? 0 : 1;
}
