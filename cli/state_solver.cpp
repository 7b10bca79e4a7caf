#include "state_solver.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "caution.h"
#include "commands.h"
#include "configured_units.h"
#include "pressure_search.h"
#include "rudid32.h"

namespace rudid::cli {

namespace {

constexpr StateKey kKeys[] = {
    {'p', Quantity::Pressure},        {'T', Quantity::Temperature},     {'h', Quantity::SpecificEnthalpy},
    {'s', Quantity::SpecificEntropy}, {'v', Quantity::SpecificVolume}, {'x', Quantity::Quality},
};

const char *const kCompressedLiquid = "compressed liquid";
const char *const kWetSteam = "wet steam";
const char *const kSaturatedLiquid = "saturated liquid";
const char *const kSaturatedVapour = "saturated vapour";
const char *const kSuperheatedVapour = "superheated vapour";
const char *const kSupercriticalFluid = "supercritical fluid";
const char *const kSaturationLine = "saturated liquid or vapour (give a quality to tell)";

// An export of two arguments that takes a and b in either order; *swapped
// tells that it takes b first.
const ExportInfo *PairExport(Quantity result, Quantity a, Quantity b, bool *swapped) {
    *swapped = false;
    if (const ExportInfo *info = FindExportFor(result, a, b)) return info;
    *swapped = true;
    return FindExportFor(result, b, a);
}

bool IsValue(const Outcome &outcome) { return outcome.kind == OutcomeKind::Value; }

std::size_t IndexOfProperty(Quantity q) {
    for (std::size_t k = 0; k < kStatePropertyCount; ++k)
        if (kStateProperties[k] == q) return k;
    return 0;
}

int StatusOf(const Outcome &outcome) {
    switch (outcome.kind) {
        case OutcomeKind::Value: return kExitOk;
        case OutcomeKind::RangeError: return kExitOutOfRange;
        case OutcomeKind::Failure: return kExitFailure;
    }
    return kExitFailure;
}

// The rows' values of one quantity: given, or evaluated by some export.
struct Column {
    std::vector<Outcome> outcomes;
    const ExportInfo *source = nullptr;  // null for a given quantity
    bool swapped = false;
};

class Solver {
public:
    Solver(Quantity a, Quantity b, std::span<const double> first, std::span<const double> second,
           const Evaluator &evaluate, bool withFlags)
        : a_(a), b_(b), first_(first), second_(second), evaluate_(evaluate), withFlags_(withFlags) {}

    std::vector<StateRow> Solve() {
        Column columns[kStatePropertyCount];
        for (std::size_t k = 0; k < kStatePropertyCount; ++k) columns[k] = ColumnOf(kStateProperties[k]);
        std::vector<StateRow> rows(first_.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            StateRow &row = rows[i];
            for (std::size_t k = 0; k < kStatePropertyCount; ++k)
                if (!columns[k].outcomes.empty()) row.properties[k] = columns[k].outcomes[i];
        }
        Phases(&rows);
        if (withFlags_) Flags(columns, &rows);
        for (StateRow &row : rows) {
            for (std::size_t k = 0; k + 1 < kStatePropertyCount; ++k)
                row.exitStatus = std::max(row.exitStatus, StatusOf(row.properties[k]));
            const Outcome &quality = row.properties[kStatePropertyCount - 1];
            if (row.qualityMeaningful || row.qualityNote.empty())
                row.exitStatus = std::max(row.exitStatus, StatusOf(quality));
        }
        return rows;
    }

private:
    bool Given(Quantity q) const { return q == a_ || q == b_; }
    std::span<const double> GivenValues(Quantity q) const { return q == a_ ? first_ : second_; }

    std::vector<Outcome> Values(std::span<const double> values) const {
        std::vector<Outcome> outcomes(values.size());
        for (std::size_t i = 0; i < values.size(); ++i) outcomes[i].value = values[i];
        return outcomes;
    }

    // The column of a quantity: given, from the export taking the given
    // pair, or from the saturation line when a quality is given. A quality
    // at pressure and temperature has no export: left empty and told by
    // the phase.
    Column ColumnOf(Quantity q) {
        Column column;
        if (Given(q)) {
            column.outcomes = Values(GivenValues(q));
            return column;
        }
        column.source = PairExport(q, a_, b_, &column.swapped);
        if (!column.source && Given(Quantity::Quality)) {
            const Quantity other = a_ == Quantity::Quality ? b_ : a_;
            column.source = FindExportFor(q, other);
            if (column.source) {
                column.outcomes = evaluate_(*column.source, GivenValues(other), GivenValues(other));
                return column;
            }
        }
        if (!column.source) return column;
        column.outcomes = column.swapped ? evaluate_(*column.source, second_, first_)
                                         : evaluate_(*column.source, first_, second_);
        return column;
    }

    std::vector<Outcome> Evaluate(Quantity result, Quantity argument, std::span<const double> values) {
        const ExportInfo *info = FindExportFor(result, argument);
        if (!info) return std::vector<Outcome>(values.size(), FailureOutcome(0));
        return evaluate_(*info, values, values);
    }

    std::vector<Outcome> Evaluate(Quantity result, Quantity first, Quantity second, std::span<const double> one,
                                  std::span<const double> two) {
        const ExportInfo *info = FindExportFor(result, first, second);
        if (!info) return std::vector<Outcome>(one.size(), FailureOutcome(0));
        return evaluate_(*info, one, two);
    }

    static std::size_t IndexOf(Quantity q) {
        for (std::size_t k = 0; k < kStatePropertyCount; ++k)
            if (kStateProperties[k] == q) return k;
        return 0;
    }

    // Above the critical pressure there is no saturation line: the fluid
    // is liquid below the critical temperature and supercritical above.
    // Whether a temperature lies above it is the saturation function's
    // own refusal.
    void PhaseAboveCritical(std::vector<StateRow> *rows, const std::vector<std::size_t> &which) {
        if (which.empty()) return;
        const std::size_t kTemperature = IndexOf(Quantity::Temperature);
        std::vector<double> temperatures;
        for (std::size_t i : which) {
            const Outcome &t = (*rows)[i].properties[kTemperature];
            temperatures.push_back(IsValue(t) ? t.value : 0);
        }
        const std::vector<Outcome> saturation = Evaluate(Quantity::Pressure, Quantity::Temperature, temperatures);
        for (std::size_t j = 0; j < which.size(); ++j) {
            StateRow &row = (*rows)[which[j]];
            if (!IsValue(row.properties[kTemperature])) {
                row.qualityNote = "none (above the critical pressure)";
                continue;
            }
            if (IsValue(saturation[j]))
                row.phase = kCompressedLiquid;
            else if (saturation[j].code == RUDID_TEMPERATURE_ABOVE_CRITICAL)
                row.phase = kSupercriticalFluid;
            row.qualityNote = "none (above the critical pressure)";
        }
    }

    void Phases(std::vector<StateRow> *rows) {
        const std::size_t kQuality = IndexOf(Quantity::Quality);
        if (Given(Quantity::Quality)) {
            for (StateRow &row : *rows) {
                const bool saturationAnswered = IsValue(row.properties[IndexOf(Quantity::Temperature)]) &&
                                                IsValue(row.properties[IndexOf(Quantity::Pressure)]);
                const double x = row.properties[kQuality].value;
                row.qualityMeaningful = true;
                if (!saturationAnswered || !(x >= 0 && x <= 1)) continue;
                row.phase = x == 0 ? kSaturatedLiquid : x == 1 ? kSaturatedVapour : kWetSteam;
            }
            return;
        }
        if (!Given(Quantity::Pressure)) return;
        const std::vector<double> pressures(GivenValues(Quantity::Pressure).begin(),
                                            GivenValues(Quantity::Pressure).end());
        const std::vector<Outcome> saturation = Evaluate(Quantity::Temperature, Quantity::Pressure, pressures);
        const Quantity other = a_ == Quantity::Pressure ? b_ : a_;
        std::vector<std::size_t> aboveCritical;
        for (std::size_t i = 0; i < rows->size(); ++i) {
            StateRow &row = (*rows)[i];
            const Outcome &ts = saturation[i];
            if (!IsValue(ts)) {
                if (ts.code == RUDID_PRESSURE_ABOVE_CRITICAL && ts.kind == OutcomeKind::RangeError)
                    aboveCritical.push_back(i);
                else if (other == Quantity::Temperature)
                    row.properties[kQuality] = ts;  // why no phase can be told
                continue;
            }
            if (other == Quantity::Temperature) {
                const double t = GivenValues(Quantity::Temperature)[i];
                if (t == ts.value) {
                    row.phase = kSaturationLine;
                    row.qualityNote = "undetermined (on the saturation line: give a quality instead)";
                    row.properties[kQuality] = {OutcomeKind::RangeError, 0, RUDID_ON_SATURATION_LINE, {}};
                    continue;
                }
                row.phase = t < ts.value ? kCompressedLiquid : kSuperheatedVapour;
                row.qualityNote = "none (single phase)";
            }
        }
        if (other != Quantity::Temperature) PhaseByQuality(rows, other, pressures, saturation);
        PhaseAboveCritical(rows, aboveCritical);
    }

    // From pressure and enthalpy, entropy or volume: the quality the
    // library answers tells wet steam; at 0 or 1 the given property
    // equals that of the saturated liquid or vapour only on the line.
    void PhaseByQuality(std::vector<StateRow> *rows, Quantity other, const std::vector<double> &pressures,
                        const std::vector<Outcome> &saturation) {
        const std::size_t kQuality = IndexOf(Quantity::Quality);
        const std::vector<double> liquid(pressures.size(), 0.0), vapour(pressures.size(), 1.0);
        const std::vector<Outcome> onLiquid =
            Evaluate(other, Quantity::Pressure, Quantity::Quality, pressures, liquid);
        const std::vector<Outcome> onVapour =
            Evaluate(other, Quantity::Pressure, Quantity::Quality, pressures, vapour);
        const std::span<const double> given = GivenValues(other);
        for (std::size_t i = 0; i < rows->size(); ++i) {
            StateRow &row = (*rows)[i];
            const Outcome &x = row.properties[kQuality];
            if (!IsValue(x)) continue;
            if (!IsValue(saturation[i])) {
                // Above the critical pressure the temperature tells; otherwise
                // a 0 or 1 cannot be placed without the saturated state.
                if (!(x.value > 0 && x.value < 1) && saturation[i].code != RUDID_PRESSURE_ABOVE_CRITICAL)
                    row.properties[kQuality] = saturation[i];
                if (!(x.value > 0 && x.value < 1)) continue;
            }
            if (x.value > 0 && x.value < 1) {
                row.phase = kWetSteam;
            } else if (x.value == 0 && IsValue(onLiquid[i])) {
                row.phase = given[i] == onLiquid[i].value ? kSaturatedLiquid : kCompressedLiquid;
            } else if (x.value == 1 && IsValue(onVapour[i])) {
                row.phase = given[i] == onVapour[i].value ? kSaturatedVapour : kSuperheatedVapour;
            }
            if (row.phase == kCompressedLiquid || row.phase == kSuperheatedVapour)
                row.qualityNote = "none (single phase)";
            else if (!row.phase.empty())
                row.qualityMeaningful = true;
            else
                row.qualityNote = "unknown (the saturated state could not be found)";
        }
    }

    void Flags(const Column (&columns)[kStatePropertyCount], std::vector<StateRow> *rows) {
        for (const Column &column : columns) {
            if (!column.source || column.outcomes.empty()) continue;
            const bool fromQuality = column.source->arity == 1;
            for (std::size_t i = 0; i < rows->size(); ++i) {
                if (!IsValue(column.outcomes[i])) continue;
                double one = column.swapped ? second_[i] : first_[i];
                double two = column.swapped ? first_[i] : second_[i];
                if (fromQuality) one = two = (a_ == Quantity::Quality ? second_[i] : first_[i]);
                (*rows)[i].flags |= StateFlags(column.source->name, one, two);
            }
        }
    }

    Quantity a_, b_;
    std::span<const double> first_, second_;
    const Evaluator &evaluate_;
    bool withFlags_;
};

}  // namespace

const StateKey *FindStateKey(std::string_view key) {
    // The six symbols differ in more than case: P, t, H are as good as p, T, h.
    for (const StateKey &known : kKeys)
        if (key.size() == 1 && std::tolower(static_cast<unsigned char>(key[0])) ==
                                   std::tolower(static_cast<unsigned char>(known.key)))
            return &known;
    return nullptr;
}

bool StatePairSolvable(Quantity a, Quantity b) {
    return a != b && a != Quantity::None && b != Quantity::None;
}

bool StatePairSupported(Quantity a, Quantity b) {
    if (a == b) return false;
    for (const ExportInfo &info : Exports())
        if (info.arity == 2 && ((info.arguments[0] == a && info.arguments[1] == b) ||
                                (info.arguments[0] == b && info.arguments[1] == a)))
            return true;
    return false;
}

std::vector<Outcome> EvaluateBySingleCalls(const ExportInfo &info, std::span<const double> first,
                                           std::span<const double> second) {
    std::vector<Outcome> outcomes;
    outcomes.reserve(first.size());
    for (std::size_t i = 0; i < first.size(); ++i) outcomes.push_back(CallExport(info, first[i], second[i]));
    return outcomes;
}

std::vector<Outcome> EvaluateByBatch(const ExportInfo &info, std::span<const double> first,
                                     std::span<const double> second) {
    const std::size_t n = first.size();
    std::vector<double> results(n);
    std::vector<int> failures(n);
    std::vector<Outcome> outcomes;
    outcomes.reserve(n);
    const int refused = EvaluateRows(info, n, first.data(), second.data(), results.data(), failures.data());
    for (std::size_t i = 0; i < n; ++i) {
        if (refused < 0)
            outcomes.push_back({OutcomeKind::Failure, 0, refused,
                                "the library refused the rows (status " + std::to_string(refused) + ")"});
        else
            outcomes.push_back(failures[i] != 0 ? FailureOutcome(failures[i]) : ClassifyResult(info, results[i]));
    }
    return outcomes;
}

bool GivesBack(Quantity quantity, double given, const Outcome &answer) {
    if (!IsValue(answer)) return false;
    // Compared in the internal units, where the floors are.
    double want = FromConfigured(quantity, given), got = FromConfigured(quantity, answer.value);
    double floor = 0;
    switch (quantity) {
        case Quantity::Temperature: want += 273.15, got += 273.15; break;
        case Quantity::SpecificEnthalpy: floor = 1; break;
        case Quantity::SpecificEntropy: floor = 0.01; break;
        case Quantity::Quality: floor = 1; break;
        default: break;
    }
    return std::fabs(got - want) <= kGivenPairTolerance * std::fmax(std::fabs(want), floor);
}

Reproduction CheckGivenPair(const StateRow &row, Quantity a, double first, Quantity b, double second) {
    const Outcome &one = row.properties[IndexOfProperty(a)], &two = row.properties[IndexOfProperty(b)];
    if (one.kind == OutcomeKind::Failure || two.kind == OutcomeKind::Failure) return Reproduction::Failed;
    return GivesBack(a, first, one) && GivesBack(b, second, two) ? Reproduction::Reproduced
                                                                  : Reproduction::Elsewhere;
}

std::vector<StateRow> SolveStates(Quantity a, Quantity b, std::span<const double> first,
                                  std::span<const double> second, const Evaluator &evaluate, bool withFlags) {
    if (!StatePairSupported(a, b)) return SolveThroughPressure(a, b, first, second, evaluate, withFlags);
    return Solver(a, b, first, second, evaluate, withFlags).Solve();
}

}  // namespace rudid::cli
