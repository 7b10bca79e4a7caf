// The user's own states on a diagram: a CSV file whose header names two of
// p, T, h, s, v, x (and optionally a label column); each row is a state,
// rows in a run are joined as a process line, and a blank line ends it.
#pragma once

#include <string>
#include <vector>

#include "svg_chart.h"

namespace rudid::cli {

struct DiagramPoints {
    std::vector<ChartSeries> lines;    // process lines, one per run of two or more states
    std::vector<ChartMarker> markers;  // every state, with its label
    std::vector<std::string> problems; // rows without a state, with why
    std::vector<std::string> cautions; // states drawn where the library flags an answer as poor, with why
};

// Reads the file and places its states at (s, T) or, on the Mollier chart,
// (s, h). False with a message in *error when the file cannot be used.
bool ReadDiagramPoints(const std::string &path, bool mollier, DiagramPoints *points, std::string *error);

}  // namespace rudid::cli
