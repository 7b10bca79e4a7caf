#include "svg_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace rudid::cli {

namespace {

constexpr double kLeft = 80, kRight = 130, kTop = 56, kBottom = 70;

struct Axis {
    double low, high, step;
    int decimals;  // for the tick labels
};

// Ticks 1, 2 or 5 times a power of ten apart, about eight of them. Data
// reaching less than one percent past a tick is cut off there rather than
// costing a whole tick.
Axis NiceAxis(double low, double high) {
    if (!(high > low)) high = low + 1;
    const double slack = (high - low) / 100;
    low += slack;
    high -= slack;
    const double rough = (high - low) / 8;
    const int exponent = int(std::floor(std::log10(rough)));
    const double power = std::pow(10.0, exponent);
    const double fraction = rough / power;
    const double multiple = fraction < 1.5 ? 1 : fraction < 3.5 ? 2 : fraction < 7.5 ? 5 : 10;
    const double step = multiple * power;
    const int decimals = std::max(0, -(multiple == 10 ? exponent + 1 : exponent));
    return {std::floor(low / step) * step, std::ceil(high / step) * step, step, decimals};
}

std::string Escaped(const std::string &text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

struct Box {
    double left, top, right, bottom;
    bool Overlaps(const Box &other) const {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }
};

// Where a label of that many characters, wanted at (x, y), overlaps none
// placed before: moved up a line at a time.
Box PlaceLabel(double x, double y, std::size_t characters, std::vector<Box> *placed) {
    constexpr double kCharacterWidth = 7.5, kLineHeight = 15;
    Box box{x, y - kLineHeight + 4, x + kCharacterWidth * double(characters), y + 4};
    for (bool moved = true; moved;) {
        moved = false;
        for (const Box &other : *placed)
            if (box.Overlaps(other)) {
                box.top -= kLineHeight, box.bottom -= kLineHeight;
                moved = true;
            }
    }
    placed->push_back(box);
    return box;
}

std::string Format(const char *format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

}  // namespace

std::string RenderSvg(const Chart &chart) {
    double xMin = INFINITY, xMax = -INFINITY, yMin = INFINITY, yMax = -INFINITY;
    for (const ChartSeries &series : chart.series)
        for (const ChartPoint &p : series.points) {
            xMin = std::min(xMin, p.x), xMax = std::max(xMax, p.x);
            yMin = std::min(yMin, p.y), yMax = std::max(yMax, p.y);
        }
    if (xMin > xMax) xMin = 0, xMax = 1, yMin = 0, yMax = 1;
    // Room above the data for the labels at the ends of the lines.
    const Axis xAxis = NiceAxis(xMin, xMax);
    const Axis yAxis = NiceAxis(yMin, yMax + 0.04 * (yMax - yMin));

    const double plotWidth = chart.width - kLeft - kRight, plotHeight = chart.height - kTop - kBottom;
    const auto X = [&](double x) { return kLeft + (x - xAxis.low) / (xAxis.high - xAxis.low) * plotWidth; };
    const auto Y = [&](double y) { return kTop + (yAxis.high - y) / (yAxis.high - yAxis.low) * plotHeight; };

    std::string svg = Format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
        "font-family=\"sans-serif\" font-size=\"13\">\n",
        chart.width, chart.height, chart.width, chart.height);
    svg += Format("<rect width=\"%d\" height=\"%d\" fill=\"white\"/>\n", chart.width, chart.height);
    svg += Format("<text x=\"%g\" y=\"30\" font-size=\"17\" text-anchor=\"middle\">", chart.width / 2.0) +
           Escaped(chart.title) + "</text>\n";

    svg += "<g stroke=\"#dddddd\" stroke-width=\"1\">\n";
    const int xTicks = int(std::lround((xAxis.high - xAxis.low) / xAxis.step));
    const int yTicks = int(std::lround((yAxis.high - yAxis.low) / yAxis.step));
    for (int i = 0; i <= xTicks; ++i) {
        const double x = X(xAxis.low + i * xAxis.step);
        svg += Format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\"/>\n", x, kTop, x, kTop + plotHeight);
    }
    for (int i = 0; i <= yTicks; ++i) {
        const double y = Y(yAxis.low + i * yAxis.step);
        svg += Format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\"/>\n", kLeft, y, kLeft + plotWidth, y);
    }
    svg += "</g>\n";

    svg += Format("<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"none\" stroke=\"black\"/>\n",
                  kLeft, kTop, plotWidth, plotHeight);
    svg += "<g>\n";
    for (int i = 0; i <= xTicks; ++i) {
        const double value = xAxis.low + i * xAxis.step;
        svg += Format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\"/>", X(value),
                      kTop + plotHeight, X(value), kTop + plotHeight + 5);
        svg += Format("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">%.*f</text>\n", X(value),
                      kTop + plotHeight + 20, xAxis.decimals, value);
    }
    for (int i = 0; i <= yTicks; ++i) {
        const double value = yAxis.low + i * yAxis.step;
        svg += Format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\"/>", kLeft - 5,
                      Y(value), kLeft, Y(value));
        svg += Format("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"end\">%.*f</text>\n", kLeft - 8, Y(value) + 4,
                      yAxis.decimals, value);
    }
    svg += "</g>\n";
    svg += Format("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">", kLeft + plotWidth / 2,
                  double(chart.height) - 22) +
           Escaped(chart.xLabel) + "</text>\n";
    svg += Format("<text transform=\"translate(22 %.2f) rotate(-90)\" text-anchor=\"middle\">",
                  kTop + plotHeight / 2) +
           Escaped(chart.yLabel) + "</text>\n";

    svg += Format("<clipPath id=\"plot\"><rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\"/></clipPath>\n",
                  kLeft, kTop, plotWidth, plotHeight);
    std::vector<Box> labels;
    for (const ChartSeries &series : chart.series) {
        if (series.points.empty()) continue;
        svg += Format("<polyline clip-path=\"url(#plot)\" fill=\"none\" stroke-linejoin=\"round\" stroke-width=\"%g\" stroke=\"", series.width) +
               Escaped(series.colour) + "\" points=\"";
        for (const ChartPoint &p : series.points) svg += Format("%.2f,%.2f ", X(p.x), Y(p.y));
        svg.back() = '"';
        svg += "/>\n";
        if (!series.label.empty()) {
            const ChartPoint &end = series.points.back();
            const Box box = PlaceLabel(X(end.x) + 4, Y(end.y), series.label.size(), &labels);
            svg += Format("<text x=\"%.2f\" y=\"%.2f\" fill=\"", box.left, box.bottom - 4) +
                   Escaped(series.colour) + "\">" + Escaped(series.label) + "</text>\n";
        }
    }
    for (const ChartMarker &marker : chart.markers) {
        svg += Format("<circle cx=\"%.2f\" cy=\"%.2f\" r=\"4\" fill=\"black\"/>", X(marker.at.x), Y(marker.at.y));
        svg += Format("<text x=\"%.2f\" y=\"%.2f\">", X(marker.at.x) + 8, Y(marker.at.y) - 6) +
               Escaped(marker.label) + "</text>\n";
    }
    svg += "</svg>\n";
    return svg;
}

}  // namespace rudid::cli
