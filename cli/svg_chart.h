// A line chart written as SVG: linear axes with ticks, grid and labels,
// and labelled polylines.
#pragma once

#include <string>
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
    int width = 960, height = 680;
};

// The whole SVG document. Axes span the data, widened to whole ticks.
std::string RenderSvg(const Chart &chart);

}  // namespace rudid::cli
