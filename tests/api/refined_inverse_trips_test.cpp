// Refined forward answers fed back into the refined inverse functions, over
// random states of every phase: each inverse answer gives the state back,
// or RudidRefinedFlags says why it may not (two states share the key, or
// the critical region). A liquid entered by a volume below its 0 C one is
// refused, as the table answer refuses it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "api/library_instance.h"

namespace rudid::testing {
namespace {

const LibraryInstance &Shipped() {
    static const LibraryInstance instance(ShippedSetup());
    return instance;
}

std::vector<double> Refined(const std::string &name, const std::vector<double> &a, const std::vector<double> &b) {
    const auto evaluate = Shipped().Symbol<decltype(&::RudidEvaluateRefined)>("RudidEvaluateRefined");
    std::vector<double> result(a.size());
    std::vector<int> failure(a.size());
    EXPECT_EQ(evaluate(name.c_str(), a.size(), a.data(), b.data(), result.data(), failure.data()), 0) << name;
    return result;
}

// Within these an inverse answer is the state: the solver's tolerance and
// the six-byte rounding of the key, carried through the slope of the key.
constexpr double kTemperatureTolerance = 1e-3;  // C
constexpr double kRelativeTolerance = 1e-6;     // of a volume, enthalpy or entropy
constexpr double kQualityTolerance = 1e-6;

TEST(RefinedInverseTrips, EveryInverseGivesTheStateBackOrFlagsIt) {
    const auto flagsOf = Shipped().Symbol<decltype(&::RudidRefinedFlags)>("RudidRefinedFlags");
    std::mt19937_64 random(20261230);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    constexpr int kStates = 20000;
    const std::string outputs = "VHS";
    for (const char key : std::string("HSV")) {
        // 40 % anywhere in the table (0.01..1000 bar, 0..800 C), 30 % cold
        // water (0..25 C), 30 % wet steam (0.01..221.2 bar; x < 0: single phase).
        struct {
            std::vector<double> p, t, x;
        } s;
        for (int i = 0; i < kStates; ++i) {
            const double u = unit(random);
            const bool wet = u >= 0.7;
            s.p.push_back(0.01 * std::pow(wet ? 22120.0 : 1e5, unit(random)));
            s.t.push_back(wet ? 0 : u < 0.4 ? 800 * unit(random) : 25 * unit(random));
            s.x.push_back(wet ? unit(random) : -1);
        }
        // The forward answers: every property at each state, and the
        // saturation temperature and 0 C volume at its pressure.
        std::vector<double> forward[3];
        for (int o = 0; o < 3; ++o) {
            std::vector<double> single = Refined(std::string("AQPPT") + outputs[o], s.p, s.t);
            const std::vector<double> wet = Refined(std::string("AQPPQ") + outputs[o], s.p, s.x);
            for (int i = 0; i < kStates; ++i)
                if (s.x[i] >= 0) single[i] = wet[i];
            forward[o] = single;
        }
        const std::vector<double> ts = Refined("AQPPT", s.p, s.p);
        const std::vector<double> v0 = Refined("AQPPTV", s.p, std::vector<double>(kStates, 0.0));
        const std::vector<double> &keys = forward[outputs.find(key)];

        for (const char output : std::string("TVHSQ")) {
            if (output == key) continue;
            const std::string name = std::string("AQPP") + key + output;
            const std::vector<double> back = Refined(name, s.p, keys);
            int compared = 0, flagged = 0, refused = 0, failed = 0;
            for (int i = 0; i < kStates; ++i) {
                if (keys[i] <= -1000) continue;  // on the saturation line
                ++compared;
                const bool wet = s.x[i] >= 0;
                if (back[i] <= -1000) {
                    // Refused: only a liquid entered by a volume below its 0 C one.
                    EXPECT_TRUE(key == 'V' && keys[i] < v0[i])
                        << name << "(" << s.p[i] << ", " << keys[i] << ") = " << back[i];
                    ++refused;
                    continue;
                }
                bool same;
                if (output == 'T') {
                    same = std::fabs(back[i] - (wet ? ts[i] : s.t[i])) <= kTemperatureTolerance;
                } else if (output == 'Q') {
                    // A single phase is 0 or 1 exactly (above the critical
                    // pressure either).
                    same = wet ? std::fabs(back[i] - s.x[i]) <= kQualityTolerance
                               : back[i] == (s.p[i] > 221.2 ? back[i] == 1 : s.t[i] > ts[i]);
                } else {
                    const double want = forward[outputs.find(output)][i];
                    same = std::fabs(back[i] - want) <= kRelativeTolerance * std::fabs(want) + 1e-9;
                }
                if (same) continue;
                if (flagsOf(name.c_str(), s.p[i], keys[i]) > 0) {
                    ++flagged;
                    continue;
                }
                ++failed;
                ADD_FAILURE() << name << "(" << s.p[i] << ", " << keys[i] << ") = " << back[i] << " from "
                              << (wet ? "x = " : "T = ") << (wet ? s.x[i] : s.t[i]) << ", unflagged";
            }
            std::printf("%s: %d states, %d off and flagged, %d refused, %d off unflagged\n", name.c_str(),
                        compared, flagged, refused, failed);
            EXPECT_GT(compared, kStates * 9 / 10) << name;
        }
    }
}

}  // namespace
}  // namespace rudid::testing
