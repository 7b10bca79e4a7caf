#include "diagram_points.h"

#include <fstream>

#include "csv_text.h"
#include "number_text.h"
#include "whole_state.h"

namespace rudid::cli {

namespace {

constexpr const char *kProcessColour = "#000000";

std::size_t IndexOf(Quantity quantity) {
    for (std::size_t k = 0; k < kStatePropertyCount; ++k)
        if (kStateProperties[k] == quantity) return k;
    return 0;
}

}  // namespace

bool ReadDiagramPoints(const std::string &path, bool mollier, DiagramPoints *points, std::string *error) {
    std::ifstream file(path);
    if (!file) {
        *error = "cannot read " + path;
        return false;
    }
    std::string line;
    if (!std::getline(file, line)) {
        *error = path + " is empty: its first line names two of p, T, h, s, v, x";
        return false;
    }
    line.erase(0, line.size() - WithoutByteOrderMark(line).size());
    const char delimiter = DetectDelimiter(line);
    const std::vector<std::string_view> titles = SplitCsvLine(line, delimiter);
    const StateKey *keys[2] = {nullptr, nullptr};
    int found = 0;
    std::size_t columns[2] = {0, 0}, labelColumn = titles.size();
    for (std::size_t c = 0; c < titles.size(); ++c) {
        if (const StateKey *key = FindStateKey(titles[c]); key && found < 2) {
            columns[found] = c;
            keys[found++] = key;
        } else if (titles[c] == "label") {
            labelColumn = c;
        }
    }
    if (found != 2 || !StatePairSolvable(keys[0]->quantity, keys[1]->quantity)) {
        *error = path + ": the first line must name two different keys of p, T, h, s, v, x (and label), e.g. p,T,label";
        return false;
    }
    const std::size_t x = IndexOf(Quantity::SpecificEntropy);
    const std::size_t y = IndexOf(mollier ? Quantity::SpecificEnthalpy : Quantity::Temperature);
    ChartSeries process{{}, kProcessColour, 2.0, ""};
    const auto endLine = [&] {
        if (process.points.size() >= 2) points->lines.push_back(process);
        process.points.clear();
    };
    for (std::size_t number = 2; std::getline(file, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (TrimBlanks(line).empty()) {
            endLine();
            continue;
        }
        if (TrimBlanks(line).front() == '#') continue;
        const std::vector<std::string_view> fields = SplitCsvLine(line, delimiter);
        double values[2];
        std::string problem;
        for (int k = 0; k < 2 && problem.empty(); ++k) {
            // Decimal commas as batch reads them, in a file not separated by commas.
            std::string field(columns[k] < fields.size() ? fields[columns[k]] : std::string_view());
            if (delimiter != ',') field = WithDecimalPoint(field);
            problem = ReadArgument(field, &values[k]);
            if (!problem.empty()) problem = std::string(1, keys[k]->key) + " \"" + field + "\" " + problem;
        }
        if (problem.empty()) {
            const double first[] = {values[0]}, second[] = {values[1]};
            const StateRow state = SolveStates(keys[0]->quantity, keys[1]->quantity, first, second, false)[0];
            if (state.properties[x].kind == OutcomeKind::Value && state.properties[y].kind == OutcomeKind::Value) {
                const ChartPoint at{state.properties[x].value, state.properties[y].value};
                process.points.push_back(at);
                const std::string label = labelColumn < fields.size() ? std::string(fields[labelColumn]) : "";
                points->markers.push_back({at, label});
                continue;
            }
            problem = "no state in the tables";
        }
        points->problems.push_back(path + " line " + std::to_string(number) + ": " + problem);
        endLine();
    }
    endLine();
    return true;
}

}  // namespace rudid::cli
