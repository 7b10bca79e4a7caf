#include "diagram_points.h"

#include <cmath>
#include <sstream>

#include "bounded_file.h"
#include "caution.h"
#include "csv_text.h"
#include "number_text.h"
#include "whole_state.h"

namespace rudid::cli {

namespace {

// A points file holds a process's states, a line each; one this large is
// not one.
constexpr std::size_t kLargestPointsFile = 16 << 20;

constexpr const char *kProcessColour = "#000000";
// States solved between two of the user's: enough that a line through the
// dome or along an isobar's bend reads as a curve.
constexpr int kStepsBetweenStates = 32;

std::size_t IndexOf(Quantity quantity) {
    for (std::size_t k = 0; k < kStatePropertyCount; ++k)
        if (kStateProperties[k] == quantity) return k;
    return 0;
}

// The columns of a points file: every key the header names, and the label.
struct PointColumns {
    std::vector<std::pair<std::size_t, const StateKey *>> keys;
    std::size_t label = std::string::npos;
    std::string Names() const {
        std::string names;
        for (const auto &[column, key] : keys) names += (names.empty() ? "" : ", ") + std::string(1, key->key);
        return names;
    }
};

// The header's keys and label; false with why when it names fewer than
// two keys or one key twice.
bool ReadPointColumns(const std::vector<std::string_view> &titles, PointColumns *columns, std::string *error) {
    for (std::size_t c = 0; c < titles.size(); ++c) {
        if (const StateKey *key = FindStateKey(titles[c])) {
            for (const auto &[column, seen] : columns->keys)
                if (seen == key) {
                    *error = "the first line names " + std::string(1, key->key) + " twice";
                    return false;
                }
            columns->keys.emplace_back(c, key);
        } else if (titles[c] == "label") {
            columns->label = c;
        }
    }
    if (columns->keys.size() >= 2) return true;
    *error = "the first line must name two different keys of p, T, h, s, v, x (and label), e.g. p,T,label; "
             "with more, each row gives the two it has";
    return false;
}

// The state of a row: the two keys it gives a value for. "" or why not.
std::string SolveRow(const PointColumns &columns, const std::vector<std::string_view> &fields, char delimiter,
                     StateRow *state) {
    const StateKey *given[2] = {nullptr, nullptr};
    double values[2] = {0, 0};
    int found = 0;
    for (const auto &[column, key] : columns.keys) {
        std::string field(column < fields.size() ? fields[column] : std::string_view());
        if (field.empty()) continue;
        // Decimal commas as batch reads them, in a file not separated by commas.
        if (delimiter != ',') field = WithDecimalPoint(field);
        if (found == 2) return "gives more than two of " + columns.Names() + ": leave all but two empty";
        if (const std::string problem = ReadArgument(field, &values[found]); !problem.empty())
            return std::string(1, key->key) + " \"" + field + "\" " + problem;
        given[found++] = key;
    }
    if (found < 2)
        return std::string(found == 0 ? "gives no value" : "gives a value of " + std::string(1, given[0]->key) +
                                                               " only") +
               ": a state needs two of " + columns.Names();
    const double first[] = {values[0]}, second[] = {values[1]};
    *state = SolveStates(given[0]->quantity, given[1]->quantity, first, second, true)[0];
    // Where it is drawn, and what a process line from it is drawn along.
    for (Quantity q : {Quantity::SpecificEntropy, Quantity::Temperature, Quantity::Pressure, Quantity::SpecificEnthalpy})
        if (state->properties[IndexOf(q)].kind != OutcomeKind::Value) return "no state in the tables";
    return "";
}

// The chart's place of a state: (s, T) or (s, h).
ChartPoint PlaceOf(const StateRow &state, bool mollier) {
    const Quantity y = mollier ? Quantity::SpecificEnthalpy : Quantity::Temperature;
    return {state.properties[IndexOf(Quantity::SpecificEntropy)].value, state.properties[IndexOf(y)].value};
}

// The process from one state to the next as an engineer reads it: the
// states along a straight line in (log p, h), each solved by the library,
// so that heating at a constant pressure follows the isobar through the
// dome and an expansion bends as the states do. Samples outside the tables
// are left out. Both ends are included.
std::vector<ChartPoint> ProcessBetween(const StateRow &from, const StateRow &to, bool mollier) {
    const std::size_t p = IndexOf(Quantity::Pressure), h = IndexOf(Quantity::SpecificEnthalpy);
    const double p0 = from.properties[p].value, p1 = to.properties[p].value;
    const double h0 = from.properties[h].value, h1 = to.properties[h].value;
    const bool logarithmic = p0 > 0 && p1 > 0;
    std::vector<double> pressures, enthalpies;
    for (int i = 1; i < kStepsBetweenStates; ++i) {
        const double u = double(i) / kStepsBetweenStates;
        pressures.push_back(logarithmic ? p0 * std::pow(p1 / p0, u) : p0 + (p1 - p0) * u);
        enthalpies.push_back(h0 + (h1 - h0) * u);
    }
    std::vector<ChartPoint> path = {PlaceOf(from, mollier)};
    const std::size_t s = IndexOf(Quantity::SpecificEntropy), y = mollier ? h : IndexOf(Quantity::Temperature);
    for (const StateRow &state : SolveStates(Quantity::Pressure, Quantity::SpecificEnthalpy, pressures, enthalpies,
                                             false))
        if (state.properties[s].kind == OutcomeKind::Value && state.properties[y].kind == OutcomeKind::Value)
            path.push_back(PlaceOf(state, mollier));
    path.push_back(PlaceOf(to, mollier));
    return path;
}

}  // namespace

bool ReadDiagramPoints(const std::string &path, bool mollier, DiagramPoints *points, std::string *error) {
    // A regular file of bounded size, as every file the tool reads: a FIFO
    // or a device named here is refused, not waited on or read for ever.
    std::string text;
    const FileRead read = ReadBoundedFile(path, kLargestPointsFile, &text, error);
    if (read != FileRead::Read) {
        if (read == FileRead::Missing) *error = "cannot read " + path + ": no such file";
        return false;
    }
    std::istringstream file(text);
    std::string line;
    if (!std::getline(file, line)) {
        *error = path + " is empty: its first line names two of p, T, h, s, v, x";
        return false;
    }
    line.erase(0, line.size() - WithoutByteOrderMark(line).size());
    const char delimiter = DetectDelimiter(line);
    PointColumns columns;
    if (!ReadPointColumns(SplitCsvLine(line, delimiter), &columns, error)) {
        *error = path + ": " + *error;
        return false;
    }
    ChartSeries process{{}, kProcessColour, 2.0, ""};
    std::vector<StateRow> run;  // the states of the process line being read
    const auto endLine = [&] {
        if (run.size() >= 2) points->lines.push_back(process);
        process.points.clear();
        run.clear();
    };
    for (std::size_t number = 2; std::getline(file, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (TrimBlanks(line).empty()) {
            endLine();
            continue;
        }
        if (TrimBlanks(line).front() == '#') continue;
        const std::vector<std::string_view> fields = SplitCsvLine(line, delimiter);
        StateRow state;
        if (const std::string problem = SolveRow(columns, fields, delimiter, &state); !problem.empty()) {
            points->problems.push_back(path + " line " + std::to_string(number) + ": " + problem);
            endLine();
            continue;
        }
        for (const std::string &caution : PropertyCautionLines(state.propertyFlags, kStateSymbols))
            points->cautions.push_back(path + " line " + std::to_string(number) + ": " + caution);
        const ChartPoint at = PlaceOf(state, mollier);
        if (run.empty()) {
            process.points.push_back(at);
        } else {
            const std::vector<ChartPoint> between = ProcessBetween(run.back(), state, mollier);
            process.points.insert(process.points.end(), between.begin() + 1, between.end());
        }
        run.push_back(state);
        const std::string label = columns.label < fields.size() ? std::string(fields[columns.label]) : "";
        points->markers.push_back({at, label});
    }
    endLine();
    return true;
}

}  // namespace rudid::cli
