// States given by a pair that no property function takes (T with h, s or
// v; two of h, s and v; x with h, s or v): each row is brought back to a
// pair that one does take, the pressure and one given property, by finding
// the pressure at which a function of the pressure and one given property
// answers the other. A temperature with an h, s or v between those of the
// saturated liquid and vapour is first tried as wet steam of that quality.
//
// The function may cross the given property more than once (the tables
// join liquid and vapour across the saturation line, a liquid's properties
// hardly change with pressure), and a crossing need not be the state: its
// other given property, from another function, may lie far off. So a scan
// over the tables' pressures finds the crossings, and they are tried in
// order of pressure until one's state gives back both given properties.
// The scan looks at every other pressure first and between them only
// where it must (see Scan); a row not answered is scanned again, whole.
// Each round solves all rows still open together: one batch per function.
#include <algorithm>
#include <cmath>

#include "api/context.h"
#include "api/state_solver.h"
#include "formulation/elementary.h"
#include "tables/table_limits.h"

namespace rudid {

namespace {

// The search's steps must be the same to the bit wherever the library runs:
// its doubles are computed on SSE2 everywhere (see the build), and its
// logarithms and exponentials by the library's own functions, not the C
// library's, whose last bits differ from one system to another.
double Log(double x) { return double(formulation::Logarithm(x)); }
double Exp(double x) { return double(formulation::Exponential(x)); }
// a (b / a)^f for a, b > 0.
double Between(double a, double b, double f) { return a * Exp(f * Log(b / a)); }

constexpr int kScanPoints = 32;        // pressures scanned, log-spaced over the tables' range
constexpr int kMostIterations = 80;    // steps narrowing one crossing down, at most
constexpr double kAccepted = 1e-6;     // how near the function must come to the given property (relative)
// Near enough to stop narrowing: the function within a share of the
// target itself (a liquid's volume hardly changes with pressure, so no
// floor), or the pressures within kNarrowest of each other (arguments are
// rounded to six-byte reals, 40 bits, inside the library). Table answers
// interpolate single-precision records and move in steps of about 2^-24
// (6e-8) of their value as the pressure moves, so nearer than 1e-7 is
// chance; refined answers are smooth to 1e-8 and below.
constexpr double kConvergedTable = 1e-7;
constexpr double kConvergedRefined = 1e-8;
constexpr double kNarrowest = 1e-11;
// A bracket this narrow (a share of its pressure) whose nearest value still
// misses the target by more than kAccepted holds a jump of the function
// past the target, not a crossing: across it the function of a state,
// whose slope in ln p stays below a few times the target, could not move
// by more than 1e-6 of it.
constexpr double kJump = 1e-7;
constexpr std::size_t kRowsPerScan = 512;  // rows scanned in one batch
// The scan's ends lie this much inside the tables, so that the pressures
// converted to the context's unit and back stay inside.
constexpr double kInside = 1e-9;

// How the pair is searched: the function of the pressure and `argument`
// that answers `target`; `keep` is the given property solved with the
// pressure found.
struct Plan {
    int argument, target, keep;
    const ExportDescriptor *scanned;
    const ExportDescriptor *mixture;  // target from T and x, for a temperature given
    std::vector<double> grid;         // the scan's pressures, in the context's unit
};

struct Bracket {
    double low, high, gLow, gHigh;  // pressures and the function less the target there
};

// One row's search: its given values in the plan's order, the crossings
// found, which is next, and the wet state by temperature if there is one.
struct RowSearch {
    double argument = 0, target = 0;
    std::vector<Bracket> brackets;
    std::size_t next = 0;
    bool wet = false, wetTried = false;
    double quality = 0;
    int failure = 0;  // a failure met while scanning
};

Plan MakePlan(const StateSetting &setting, GivenPair pair) {
    Plan plan{};
    const int a = pair.first, b = pair.second;
    if (a == RUDID_STATE_T || b == RUDID_STATE_T)
        plan.argument = RUDID_STATE_T;
    else if (a == RUDID_STATE_X || b == RUDID_STATE_X)
        plan.argument = RUDID_STATE_X;
    else
        plan.argument = std::min(a, b);
    plan.target = plan.argument == a ? b : a;
    plan.keep = plan.argument == RUDID_STATE_T ? plan.target : plan.argument;
    const int targetQuantity = QuantityOfProperty(plan.target);
    plan.scanned = ExportFor(targetQuantity, RUDID_PRESSURE, QuantityOfProperty(plan.argument));
    if (plan.argument == RUDID_STATE_T) plan.mixture = ExportFor(targetQuantity, RUDID_TEMPERATURE, RUDID_QUALITY);
    // Quality exists only up to the critical pressure.
    const double lowest = double(kLowestPressure) * (1 + kInside);
    const double highest =
        double(plan.argument == RUDID_STATE_X ? kCriticalPressure : kHighestPressure) * (1 - kInside);
    for (int k = 0; k < kScanPoints; ++k) {
        const double bar = Between(lowest, highest, double(k) / (kScanPoints - 1));
        plan.grid.push_back(FromInternal(*setting.context, RUDID_PRESSURE, bar));
    }
    return plan;
}

// The crossings of one row along the scan.
void FindBrackets(const Plan &plan, const Evaluation &scan, std::size_t offset, RowSearch *row) {
    const std::size_t points = plan.grid.size();
    for (std::size_t k = 0; k < points; ++k)
        if (scan.code[offset + k] > 0 && row->failure == 0) row->failure = scan.code[offset + k];
    for (std::size_t k = 0; k + 1 < points; ++k) {
        if (scan.code[offset + k] != 0 || scan.code[offset + k + 1] != 0) continue;
        const double gLow = scan.value[offset + k] - row->target, gHigh = scan.value[offset + k + 1] - row->target;
        if ((gLow < 0) == (gHigh < 0) && gHigh != 0) continue;
        row->brackets.push_back({plan.grid[k], plan.grid[k + 1], gLow, gHigh});
    }
}

// Where the function answers at one end of a scan's interval and not at
// the other (the given property leaves the table at some pressure), a
// crossing may lie between: the interval is scanned again, finer.
constexpr int kEdgePoints = 8;

void ScanEdges(const StateSetting &setting, const Plan &plan, std::vector<RowSearch> *rows, std::size_t start,
               const Evaluation &scan) {
    const std::size_t points = plan.grid.size();
    std::vector<double> pressures, arguments;
    std::vector<std::size_t> owners;
    for (std::size_t i = start; i < start + scan.code.size() / points; ++i)
        for (std::size_t k = 0; k + 1 < points; ++k) {
            const std::size_t at = (i - start) * points + k;
            if ((scan.code[at] == 0) == (scan.code[at + 1] == 0)) continue;
            for (int e = 0; e <= kEdgePoints; ++e)
                pressures.push_back(Between(plan.grid[k], plan.grid[k + 1], double(e) / kEdgePoints)),
                    arguments.push_back((*rows)[i].argument), owners.push_back(i);
        }
    if (pressures.empty()) return;
    Evaluation edge;
    EvaluateRows(setting, *plan.scanned, pressures.size(), pressures.data(), arguments.data(), &edge);
    for (std::size_t j = 0; j + 1 < pressures.size(); ++j) {
        if (owners[j] != owners[j + 1] || pressures[j + 1] <= pressures[j]) continue;
        if (edge.code[j] != 0 || edge.code[j + 1] != 0) continue;
        RowSearch &row = (*rows)[owners[j]];
        const double gLow = edge.value[j] - row.target, gHigh = edge.value[j + 1] - row.target;
        if ((gLow < 0) == (gHigh < 0) && gHigh != 0) continue;
        row.brackets.push_back({pressures[j], pressures[j + 1], gLow, gHigh});
    }
}

// The scan in two passes: the even points (and the last) first, then an
// odd point only where its neighbours leave it in question: a crossing or
// an edge of the table between them, or a row whose function does not run
// one way along the even points. Elsewhere the odd point takes its
// neighbours' mean and code, which adds no crossing. The function of a
// state runs one way there, but the tables' answers may still turn back
// between two points unseen: a row that no crossing of this scan answers
// is scanned again at every point (whole), as SolveThroughPressure does.
bool OddPointNeeded(const Evaluation &scan, std::size_t at, double target, bool monotone) {
    const int low = scan.code[at - 1], high = scan.code[at + 1];
    if (!monotone || low != high) return true;
    if (low != 0) return false;
    const double gLow = scan.value[at - 1] - target, gHigh = scan.value[at + 1] - target;
    return (gLow < 0) != (gHigh < 0) || gLow == 0 || gHigh == 0;
}

bool FirstPass(std::size_t k, std::size_t points) { return k % 2 == 0 || k + 1 == points; }

// Whether the answers of the first pass rise throughout, or fall.
bool OneWay(const Evaluation &scan, std::size_t offset, std::size_t points) {
    int direction = 0;
    double previous = NAN;
    for (std::size_t k = 0; k < points; ++k) {
        if (!FirstPass(k, points) || scan.code[offset + k] != 0) continue;
        const double value = scan.value[offset + k];
        if (!std::isnan(previous)) {
            const int step = value > previous ? 1 : value < previous ? -1 : 0;
            if (step == 0 || (direction != 0 && step != direction)) return false;
            direction = step;
        }
        previous = value;
    }
    return true;
}

void EvaluateAt(const StateSetting &setting, const Plan &plan, const std::vector<std::size_t> &positions,
                const std::vector<double> &arguments, Evaluation *scan) {
    std::vector<double> pressures;
    const std::size_t points = plan.grid.size();
    for (std::size_t at : positions) pressures.push_back(plan.grid[at % points]);
    Evaluation some;
    EvaluateRows(setting, *plan.scanned, positions.size(), pressures.data(), arguments.data(), &some);
    for (std::size_t j = 0; j < positions.size(); ++j)
        scan->value[positions[j]] = some.value[j], scan->code[positions[j]] = some.code[j];
}

void Scan(const StateSetting &setting, const Plan &plan, std::vector<RowSearch> *rows, bool whole) {
    const std::size_t points = plan.grid.size();
    std::vector<std::size_t> positions;
    std::vector<double> arguments;
    Evaluation scan;
    for (std::size_t start = 0; start < rows->size(); start += kRowsPerScan) {
        const std::size_t end = std::min(rows->size(), start + kRowsPerScan);
        scan.value.assign((end - start) * points, 0.0), scan.code.assign((end - start) * points, 0);
        positions.clear(), arguments.clear();
        for (std::size_t i = start; i < end; ++i)
            for (std::size_t k = 0; k < points; ++k)
                if (whole || FirstPass(k, points))
                    positions.push_back((i - start) * points + k), arguments.push_back((*rows)[i].argument);
        EvaluateAt(setting, plan, positions, arguments, &scan);
        positions.clear(), arguments.clear();
        for (std::size_t i = start; i < end; ++i) {
            const std::size_t offset = (i - start) * points;
            const bool monotone = OneWay(scan, offset, points);
            for (std::size_t k = 1; k + 1 < points && !whole; k += 2) {
                const std::size_t at = offset + k;
                if (OddPointNeeded(scan, at, (*rows)[i].target, monotone)) {
                    positions.push_back(at), arguments.push_back((*rows)[i].argument);
                } else {
                    scan.code[at] = scan.code[at - 1];
                    scan.value[at] = scan.value[at - 1] / 2 + scan.value[at + 1] / 2;
                }
            }
        }
        EvaluateAt(setting, plan, positions, arguments, &scan);
        for (std::size_t i = start; i < end; ++i) FindBrackets(plan, scan, (i - start) * points, &(*rows)[i]);
        ScanEdges(setting, plan, rows, start, scan);
    }
    // The crossings in order of pressure.
    for (RowSearch &row : *rows)
        std::sort(row.brackets.begin(), row.brackets.end(),
                  [](const Bracket &x, const Bracket &y) { return x.low < y.low; });
}

// A temperature and an h, s or v between those of the saturated liquid and
// vapour: wet steam of that quality.
void FindWetStates(const StateSetting &setting, const Plan &plan, std::vector<RowSearch> *rows) {
    if (!plan.mixture || rows->empty()) return;
    const std::size_t n = rows->size();
    std::vector<double> temperatures(n), zeros(n, 0.0), ones(n, 1.0);
    for (std::size_t i = 0; i < n; ++i) temperatures[i] = (*rows)[i].argument;
    Evaluation liquid, vapour;
    EvaluateRows(setting, *plan.mixture, n, temperatures.data(), zeros.data(), &liquid);
    EvaluateRows(setting, *plan.mixture, n, temperatures.data(), ones.data(), &vapour);
    for (std::size_t i = 0; i < n; ++i) {
        RowSearch &row = (*rows)[i];
        if (liquid.code[i] != 0 || vapour.code[i] != 0 || liquid.value[i] == vapour.value[i]) continue;
        const double l = liquid.value[i], v = vapour.value[i], y = row.target;
        if (y < std::fmin(l, v) || y > std::fmax(l, v)) continue;
        row.wet = true;
        row.quality = (y - l) / (v - l);
    }
}

// Narrowing brackets down, many at once: regula falsi in the logarithm of
// the pressure with the Illinois step, and a halving wherever three steps
// have not halved the bracket, so that a function that jumps past the
// target (across the saturation line) still closes in.
struct Narrowing {
    Bracket bracket;
    double target;
    double converged;    // kConvergedTable or kConvergedRefined
    double best, bestG;  // the pressure nearest the target so far
    int kept = 0;        // which end stayed last: -1 low, 1 high
    double width = 0;    // the bracket's width in ln p three steps ago
    bool done = false;
};

double Trial(Narrowing *w, int step) {
    const Bracket &b = w->bracket;
    const double low = Log(b.low), high = Log(b.high), middle = std::sqrt(b.low * b.high);
    if (step % 3 == 0) {
        const bool slow = step > 0 && high - low > w->width / 2;
        w->width = high - low;
        if (slow) return middle;
    }
    const double p = Exp(low - b.gLow * (high - low) / (b.gHigh - b.gLow));
    return p > b.low && p < b.high ? p : middle;
}

// Whether the nearest value so far answers the target within kAccepted.
bool NearEnough(const Narrowing &w) {
    return std::fabs(w.bestG) <= kAccepted * std::fmax(1.0, std::fabs(w.target));
}

void Update(Narrowing *w, double p, double value, int code) {
    Bracket &b = w->bracket;
    if (code != 0 || !(p > b.low && p < b.high)) {
        w->done = true;
        return;
    }
    const double g = value - w->target;
    if (std::fabs(g) < std::fabs(w->bestG)) w->best = p, w->bestG = g;
    if (std::fabs(g) <= w->converged * std::fabs(w->target)) w->done = true;
    if ((g < 0) == (b.gLow < 0)) {
        b.low = p, b.gLow = g;
        if (w->kept == 1) b.gHigh /= 2;
        w->kept = 1;
    } else {
        b.high = p, b.gHigh = g;
        if (w->kept == -1) b.gLow /= 2;
        w->kept = -1;
    }
    if (b.high - b.low <= kNarrowest * b.high) w->done = true;
    if (b.high - b.low <= kJump * b.high && !NearEnough(*w)) w->done = true;
}

// The pressure of each bracket where the function answers the target
// within kAccepted; NaN where it jumps past it.
std::vector<double> Narrow(const StateSetting &setting, const Plan &plan, const std::vector<Bracket> &brackets,
                           const std::vector<double> &targets, const std::vector<double> &arguments) {
    std::vector<Narrowing> all(brackets.size());
    const double converged = setting.answer == Answer::Refined ? kConvergedRefined : kConvergedTable;
    for (std::size_t j = 0; j < brackets.size(); ++j) {
        const Bracket &b = brackets[j];
        const bool lowNearer = std::fabs(b.gLow) <= std::fabs(b.gHigh);
        all[j] = {b, targets[j], converged, lowNearer ? b.low : b.high, lowNearer ? b.gLow : b.gHigh};
    }
    std::vector<std::size_t> open;
    std::vector<double> pressures, argumentsOpen;
    Evaluation values;
    for (int step = 0; step < kMostIterations; ++step) {
        open.clear(), pressures.clear(), argumentsOpen.clear();
        for (std::size_t j = 0; j < all.size(); ++j)
            if (!all[j].done) open.push_back(j), pressures.push_back(Trial(&all[j], step)),
                              argumentsOpen.push_back(arguments[j]);
        if (open.empty()) break;
        EvaluateRows(setting, *plan.scanned, open.size(), pressures.data(), argumentsOpen.data(), &values);
        for (std::size_t k = 0; k < open.size(); ++k) Update(&all[open[k]], pressures[k], values.value[k], values.code[k]);
    }
    std::vector<double> found(all.size(), NAN);
    for (std::size_t j = 0; j < all.size(); ++j)
        if (NearEnough(all[j])) found[j] = all[j].best;
    return found;
}

// Rows tried at one kind of pair in a round: (p, the kept property) or
// (T, x) for wet steam.
struct Group {
    GivenPair pair;
    std::vector<std::size_t> rows;
    std::vector<double> one, two;
};

std::size_t At(std::size_t i, int property) { return std::size_t(kStateProperties) * i + std::size_t(property); }

void CopyRow(const StateBlock &from, std::size_t j, StateBlock *to, std::size_t i) {
    for (int k = 0; k < kStateProperties; ++k) {
        to->values[At(i, k)] = from.values[At(j, k)];
        to->codes[At(i, k)] = from.codes[At(j, k)];
        to->flags[At(i, k)] = from.flags[At(j, k)];
    }
    to->phase[i] = from.phase[j];
}

void SetEveryCode(StateBlock *block, std::size_t i, int code) {
    for (int k = 0; k < kStateProperties; ++k) block->codes[At(i, k)] = code;
}

// Each open row's next candidate: the wet state first, then the crossings
// in order of pressure, narrowed down together. A row without one left is
// closed; one whose crossing jumps past its target waits for the next round.
void NextCandidates(const StateSetting &setting, const Plan &plan, std::vector<RowSearch> *rows,
                    std::vector<std::size_t> *open, Group *wet, Group *byPressure) {
    std::vector<std::size_t> narrowed, still;
    std::vector<Bracket> brackets;
    std::vector<double> targets, arguments;
    for (std::size_t i : *open) {
        RowSearch &row = (*rows)[i];
        if (!row.wetTried && (row.wetTried = true, row.wet)) {
            wet->rows.push_back(i), wet->one.push_back(row.argument), wet->two.push_back(row.quality);
            still.push_back(i);
        } else if (row.next < row.brackets.size()) {
            brackets.push_back(row.brackets[row.next++]);
            narrowed.push_back(i), targets.push_back(row.target), arguments.push_back(row.argument);
            still.push_back(i);
        }
    }
    const std::vector<double> found = Narrow(setting, plan, brackets, targets, arguments);
    for (std::size_t j = 0; j < narrowed.size(); ++j) {
        if (std::isnan(found[j])) continue;
        const RowSearch &row = (*rows)[narrowed[j]];
        byPressure->rows.push_back(narrowed[j]), byPressure->one.push_back(found[j]);
        byPressure->two.push_back(plan.keep == plan.argument ? row.argument : row.target);
    }
    open->swap(still);
}

// The states of a group's rows: those that give back the given pair are
// answered and closed; one whose given property failed is kept as the
// answer unless a later candidate gives the pair back.
void TryGroup(const StateSetting &setting, GivenPair pair, const double *first, const double *second,
              const Group &group, StateBlock *result, std::vector<char> *closed, std::vector<char> *failed) {
    if (group.rows.empty()) return;
    StateBlock block;
    SolveByFunctions(setting, group.pair, group.rows.size(), group.one.data(), group.two.data(), &block);
    for (std::size_t j = 0; j < group.rows.size(); ++j) {
        const std::size_t i = group.rows[j];
        const int codeA = block.codes[At(j, pair.first)], codeB = block.codes[At(j, pair.second)];
        if (codeA > 0 || codeB > 0) {
            if (!(*failed)[i]) CopyRow(block, j, result, i), (*failed)[i] = 1;
            continue;
        }
        const RudidContext &context = *setting.context;
        if (GivesBack(context, pair.first, first[i], block.values[At(j, pair.first)], codeA) &&
            GivesBack(context, pair.second, second[i], block.values[At(j, pair.second)], codeB))
            CopyRow(block, j, result, i), (*closed)[i] = 1;
    }
}

}  // namespace

void SolveThroughPressure(const StateSetting &setting, GivenPair pair, std::size_t n, const double *first,
                          const double *second, StateBlock *block) {
    ResizeBlock(block, n);
    for (std::size_t i = 0; i < n; ++i) SetEveryCode(block, i, RUDID_NO_STATE);
    const Plan plan = MakePlan(setting, pair);
    std::vector<RowSearch> rows(n);
    for (std::size_t i = 0; i < n; ++i) {
        const bool inOrder = pair.first == plan.argument;
        rows[i].argument = inOrder ? first[i] : second[i];
        rows[i].target = inOrder ? second[i] : first[i];
    }
    Scan(setting, plan, &rows, false);
    FindWetStates(setting, plan, &rows);
    std::vector<char> closed(n, 0), failed(n, 0);
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < n; ++i) open.push_back(i);
    for (bool whole : {false, true}) {
        if (whole) {
            // Rows left without a state: every point of their scan, in case
            // the answers turned back and forth between the first pass's.
            std::vector<std::size_t> left;
            std::vector<RowSearch> again;
            for (std::size_t i = 0; i < n; ++i)
                if (!closed[i]) left.push_back(i), again.push_back(rows[i]), again.back().brackets.clear();
            Scan(setting, plan, &again, true);
            for (std::size_t j = 0; j < left.size(); ++j)
                rows[left[j]].brackets = std::move(again[j].brackets), rows[left[j]].next = 0;
            open = std::move(left);
        }
        while (!open.empty()) {
            Group wet{{RUDID_STATE_T, RUDID_STATE_X}, {}, {}, {}}, byPressure{{RUDID_STATE_P, plan.keep}, {}, {}, {}};
            NextCandidates(setting, plan, &rows, &open, &wet, &byPressure);
            TryGroup(setting, pair, first, second, wet, block, &closed, &failed);
            TryGroup(setting, pair, first, second, byPressure, block, &closed, &failed);
            std::erase_if(open, [&](std::size_t i) { return closed[i] != 0; });
        }
    }
    for (std::size_t i = 0; i < n; ++i)
        if (!closed[i] && !failed[i] && rows[i].failure != 0) SetEveryCode(block, i, rows[i].failure);
}

}  // namespace rudid
