// A line chart written as SVG: linear axes with ticks, grid and labels,
// and labelled polylines.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace rudid::cli {

struct ChartPoint {
    double x, y;
};

struct ChartSeries {
    std::vector<ChartPoint> points;
    std::string colour;  // an SVG colour, "#1f77b4"
    double width = 1.5;
    std::string label;   // written beside the series' last point; "" for none
    bool labelAtStart = false;  // beside the first point instead
    bool small = false;         // a smaller label
};

struct ChartMarker {
    ChartPoint at;
    std::string label;
};

struct Chart {
    std::string title;
    std::string xLabel, yLabel;
    std::vector<ChartSeries> series;
    std::vector<ChartMarker> markers;
    std::optional<std::pair<double, double>> xRange;  // the x axis exactly; else the data's
    std::optional<std::pair<double, double>> yRange;  // the y axis exactly; else the data's
    int width = 960, height = 680;
};

// The whole SVG document. Axes span the data (or the range given); ticks
// at round values inside. Labels are placed along their series where they
// overlap no other label and no line and stay inside the plot; a label
// that finds no such place goes to the list beside the plot.
std::string RenderSvg(const Chart &chart);

}  // namespace rudid::cli
