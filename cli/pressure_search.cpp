#include "pressure_search.h"

#include <cmath>
#include <map>
#include <optional>
#include <utility>

#include "configured_units.h"

namespace rudid::cli {

namespace {

// The tables' pressures, in bar: all of them, and the saturation line.
constexpr double kLowestPressure = 0.01, kHighestPressure = 1000, kCriticalPressure = 221.2;
constexpr int kScanPoints = 400;  // pressures tried before narrowing down on a crossing
constexpr int kBisections = 100;  // halvings of the crossing's interval, to the last bit
constexpr double kRelativeTolerance = 1e-6;  // how near the given property the answer must come

bool IsValue(const Outcome &outcome) { return outcome.kind == OutcomeKind::Value; }

int Rank(Quantity q) {  // the order h, s, v in which a pair of them is taken
    return q == Quantity::SpecificEnthalpy ? 0 : q == Quantity::SpecificEntropy ? 1 : 2;
}

// The pair a row is brought back to: the pressure (or a temperature with a
// quality) and one given property.
struct Reduced {
    Quantity first = Quantity::Pressure, second = Quantity::None;
    double one = 0, two = 0;
    bool found = false;
};

// Where a row's search stands: the wet state by temperature, if any, then
// the intervals of the pressure scan over which the function crosses the
// given property, in order of pressure, each tried in turn.
struct Crossings {
    std::optional<Reduced> wet;
    std::vector<std::size_t> intervals;  // k: between grid pressures k and k + 1
    std::vector<bool> lowBelow;          // whether the function is below the target at the lower end
    std::size_t next = 0;                // the next interval to try, after the wet state
    bool wetTried = false;
    double one = 0, two = 0;             // the row's given values, in the search's order
};

class Search {
public:
    Search(Quantity a, Quantity b, const Evaluator &evaluate) : evaluate_(evaluate) {
        // a becomes the temperature or the quality if given, else the
        // first of h, s, v: the argument beside the pressure.
        const auto special = [](Quantity q) { return q == Quantity::Temperature || q == Quantity::Quality; };
        if (b == Quantity::Temperature || (b == Quantity::Quality && a != Quantity::Temperature) ||
            (!special(a) && !special(b) && Rank(b) < Rank(a)))
            std::swap(a, b), swapped_ = true;
        a_ = a, b_ = b;
        // The function of the pressure and a that answers b; the pair kept.
        function_ = FindExportFor(b, Quantity::Pressure, a);
        keep_ = a == Quantity::Temperature ? b : a;
        const double highest = a == Quantity::Quality ? kCriticalPressure : kHighestPressure;
        for (int k = 0; k < kScanPoints; ++k) {
            const double bar = kLowestPressure * std::pow(highest / kLowestPressure, double(k) / (kScanPoints - 1));
            grid_.push_back(ToConfigured(Quantity::Pressure, bar));
        }
    }

    // Every place where the row's pair may lie, found by one scan of the
    // pressures; Next() narrows them down one at a time.
    Crossings Scan(double one, double two) const {
        if (swapped_) std::swap(one, two);
        Crossings crossings;
        crossings.one = one, crossings.two = two;
        if (!function_) return crossings;
        if (a_ == Quantity::Temperature) crossings.wet = WetByTemperature(one, two);
        const std::vector<double> arguments(grid_.size(), one);
        const std::vector<Outcome> values = evaluate_(*function_, grid_, arguments);
        for (std::size_t k = 0; k + 1 < grid_.size(); ++k) {
            if (!IsValue(values[k]) || !IsValue(values[k + 1])) continue;
            const bool below = values[k].value < two, belowNext = values[k + 1].value < two;
            if (below == belowNext && values[k + 1].value != two) continue;
            crossings.intervals.push_back(k);
            crossings.lowBelow.push_back(below);
        }
        return crossings;
    }

    // The next pair the row may be brought back to; not found when every
    // crossing has been tried.
    Reduced Next(Crossings *crossings) const {
        if (!crossings->wetTried) {
            crossings->wetTried = true;
            if (crossings->wet) return *crossings->wet;
        }
        const double one = crossings->one, two = crossings->two;
        while (crossings->next < crossings->intervals.size()) {
            const std::size_t n = crossings->next++;
            const std::size_t k = crossings->intervals[n];
            if (const std::optional<double> p = Bisect(grid_[k], grid_[k + 1], crossings->lowBelow[n], one, two))
                return Reduced{Quantity::Pressure, keep_, *p, keep_ == a_ ? one : two, true};
        }
        return {};
    }

private:
    double At(double p, double argument) const {
        const double pressures[] = {p}, arguments[] = {argument};
        const Outcome outcome = evaluate_(*function_, pressures, arguments)[0];
        return IsValue(outcome) ? outcome.value : NAN;
    }

    std::optional<double> Bisect(double low, double high, bool lowBelow, double argument, double target) const {
        for (int i = 0; i < kBisections; ++i) {
            const double middle = std::sqrt(low * high);
            if (!(low < middle && middle < high)) break;
            const double value = At(middle, argument);
            if (std::isnan(value)) break;
            ((value < target) == lowBelow ? low : high) = middle;
        }
        for (double p : {low, high})
            if (std::fabs(At(p, argument) - target) <= kRelativeTolerance * std::fmax(1.0, std::fabs(target)))
                return p;
        return std::nullopt;  // the function jumps past the target here
    }

    // A temperature and an h, s or v between those of the saturated liquid
    // and vapour: wet steam of that quality.
    std::optional<Reduced> WetByTemperature(double t, double y) const {
        const ExportInfo *mixture = FindExportFor(b_, Quantity::Temperature, Quantity::Quality);
        if (!mixture) return std::nullopt;
        const double temperatures[] = {t, t}, qualities[] = {0, 1};
        const std::vector<Outcome> ends = evaluate_(*mixture, temperatures, qualities);
        if (!IsValue(ends[0]) || !IsValue(ends[1]) || ends[0].value == ends[1].value) return std::nullopt;
        const double liquid = ends[0].value, vapour = ends[1].value;
        if (y < std::fmin(liquid, vapour) || y > std::fmax(liquid, vapour)) return std::nullopt;
        return Reduced{Quantity::Temperature, Quantity::Quality, t, (y - liquid) / (vapour - liquid), true};
    }

    const Evaluator &evaluate_;
    Quantity a_ = Quantity::None, b_ = Quantity::None, keep_ = Quantity::None;
    bool swapped_ = false;
    const ExportInfo *function_ = nullptr;
    std::vector<double> grid_;
};

StateRow NotFound() {
    StateRow row;
    const Outcome none{OutcomeKind::RangeError, 0, 0, "no state in the tables has these two properties"};
    for (Outcome &property : row.properties) property = none;
    row.qualityNote = "none";
    row.exitStatus = 1;
    return row;
}

}  // namespace

std::vector<StateRow> SolveThroughPressure(Quantity a, Quantity b, std::span<const double> first,
                                           std::span<const double> second, const Evaluator &evaluate,
                                           bool withFlags) {
    const Search search(a, b, evaluate);
    std::vector<StateRow> rows(first.size(), NotFound());
    std::vector<Crossings> crossings(first.size());
    std::vector<std::size_t> open;  // rows whose state is still to be found
    for (std::size_t i = 0; i < first.size(); ++i) {
        crossings[i] = search.Scan(first[i], second[i]);
        open.push_back(i);
    }
    // A function may cross the given property more than once (the tables
    // join liquid and vapour across the saturation line, and a liquid's
    // properties hardly change with pressure), and a crossing need not be
    // the state: its other given property, from the other function, may lie
    // far off. So the crossings are tried in order of pressure, until the
    // state of one gives back both given properties. Each round, the rows
    // brought back to the same pair are solved together.
    std::vector<bool> failed(first.size(), false);
    while (!open.empty()) {
        std::map<std::pair<Quantity, Quantity>, std::vector<std::size_t>> groups;
        std::vector<Reduced> reduced(first.size());
        for (std::size_t i : open) {
            reduced[i] = search.Next(&crossings[i]);
            if (reduced[i].found) groups[{reduced[i].first, reduced[i].second}].push_back(i);
        }
        open.clear();
        for (const auto &[pair, members] : groups) {
            std::vector<double> one, two;
            for (std::size_t i : members) one.push_back(reduced[i].one), two.push_back(reduced[i].two);
            const std::vector<StateRow> solved = SolveStates(pair.first, pair.second, one, two, evaluate, withFlags);
            for (std::size_t k = 0; k < members.size(); ++k) {
                const std::size_t i = members[k];
                switch (CheckGivenPair(solved[k], a, first[i], b, second[i])) {
                    case Reproduction::Reproduced: rows[i] = solved[k]; continue;
                    // A property function failing (a table missing) is told
                    // rather than "no state", unless another crossing is the state.
                    case Reproduction::Failed:
                        if (!failed[i]) rows[i] = solved[k], failed[i] = true;
                        break;
                    case Reproduction::Elsewhere: break;
                }
                open.push_back(i);
            }
        }
    }
    return rows;
}

}  // namespace rudid::cli
