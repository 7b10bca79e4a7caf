#include "svg_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace rudid::cli {

namespace {

constexpr double kLeft = 80, kRight = 130, kTop = 56, kBottom = 70;
// Label boxes are estimated from the character count: wide enough for the
// widest sans-serif digits and letters at these sizes.
constexpr double kCharacterWidth = 7.5, kLineHeight = 15;
constexpr double kSmallCharacterWidth = 6, kSmallLineHeight = 12;

struct Axis {
    double low, high;  // the axis spans exactly this
    double firstTick, step;
    int decimals;  // for the tick labels
};

// Ticks 1, 2 or 5 times a power of ten apart, about eight of them, inside
// [low, high].
Axis RoundTicks(double low, double high) {
    if (!(high > low)) high = low + 1;
    const double rough = (high - low) / 8;
    const int exponent = int(std::floor(std::log10(rough)));
    const double power = std::pow(10.0, exponent);
    const double fraction = rough / power;
    const double multiple = fraction < 1.5 ? 1 : fraction < 3.5 ? 2 : fraction < 7.5 ? 5 : 10;
    const double step = multiple * power;
    const int decimals = std::max(0, -(multiple == 10 ? exponent + 1 : exponent));
    return {low, high, std::ceil(low / step - 1e-9) * step, step, decimals};
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
    bool Inside(const Box &frame) const {
        return left >= frame.left && right <= frame.right && top >= frame.top && bottom <= frame.bottom;
    }
    bool Contains(ChartPoint p) const { return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom; }
};

struct Segment {
    ChartPoint a, b;
    int series;  // index of the line it belongs to
};

// Whether the segment a-b passes through the box (Liang-Barsky clipping).
bool Crosses(const Segment &segment, const Box &box) {
    if (box.Contains(segment.a) || box.Contains(segment.b)) return true;
    const double dx = segment.b.x - segment.a.x, dy = segment.b.y - segment.a.y;
    double enter = 0, leave = 1;
    const double p[] = {-dx, dx, -dy, dy};
    const double q[] = {segment.a.x - box.left, box.right - segment.a.x, segment.a.y - box.top,
                        box.bottom - segment.a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0)
            enter = std::max(enter, r);
        else
            leave = std::min(leave, r);
        if (enter > leave) return false;
    }
    return true;
}

struct Label {
    std::string text, colour;
    bool small;
    Box box;
};

// Finds a place for labels: beside points of their line, inside the plot,
// over no other label and crossed by no line.
class LabelPlacer {
public:
    LabelPlacer(const Box &plot, std::vector<Segment> segments) : plot_(plot), segments_(std::move(segments)) {}

    // Tries each anchor in turn: beside it, clear of every line; then
    // centred on it, crossed by no line but its own (the label is drawn
    // with a white halo). linesMayCross drops the test of the lines.
    std::optional<Box> Place(const std::vector<ChartPoint> &anchors, std::size_t characters, bool small,
                             bool linesMayCross, int series = -1) {
        const double width = double(characters) * (small ? kSmallCharacterWidth : kCharacterWidth);
        const double height = small ? kSmallLineHeight : kLineHeight;
        for (const ChartPoint &at : anchors) {
            const Box beside[] = {
                {at.x + 4, at.y - 3 - height, at.x + 4 + width, at.y - 3},
                {at.x - 4 - width, at.y - 3 - height, at.x - 4, at.y - 3},
                {at.x + 4, at.y + 3, at.x + 4 + width, at.y + 3 + height},
                {at.x - 4 - width, at.y + 3, at.x - 4, at.y + 3 + height},
            };
            for (const Box &box : beside)
                if (Free(box, linesMayCross, -1)) return Take(box);
            const Box centred{at.x - width / 2, at.y - height / 2, at.x + width / 2, at.y + height / 2};
            if (series >= 0 && Free(centred, linesMayCross, series)) return Take(centred);
        }
        return std::nullopt;
    }

private:
    Box Take(const Box &box) {
        placed_.push_back(box);
        return box;
    }

    // Inside the plot, over no label placed, crossed by no line but that
    // of series `own`.
    bool Free(const Box &box, bool linesMayCross, int own) const {
        const Box inner{plot_.left + 2, plot_.top + 2, plot_.right - 2, plot_.bottom - 2};
        if (!box.Inside(inner)) return false;
        for (const Box &other : placed_)
            if (box.Overlaps(other)) return false;
        if (!linesMayCross)
            for (const Segment &segment : segments_)
                if (segment.series != own && Crosses(segment, box)) return false;
        return true;
    }

    Box plot_;
    std::vector<Segment> segments_;
    std::vector<Box> placed_;
};

std::string Format(const char *format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// Where the plot lies in the picture and how values map onto it.
struct Frame {
    Axis xAxis, yAxis;
    double width, height;  // of the plot
    double X(double x) const { return kLeft + (x - xAxis.low) / (xAxis.high - xAxis.low) * width; }
    double Y(double y) const { return kTop + (yAxis.high - y) / (yAxis.high - yAxis.low) * height; }
    ChartPoint Screen(ChartPoint p) const { return {X(p.x), Y(p.y)}; }
    Box Plot() const { return {kLeft, kTop, kLeft + width, kTop + height}; }
};

// Axes that span the data (or the ranges given).
Frame FrameOf(const Chart &chart) {
    double xMin = INFINITY, xMax = -INFINITY, yMin = INFINITY, yMax = -INFINITY;
    for (const ChartSeries &series : chart.series)
        for (const ChartPoint &p : series.points) {
            xMin = std::min(xMin, p.x), xMax = std::max(xMax, p.x);
            yMin = std::min(yMin, p.y), yMax = std::max(yMax, p.y);
        }
    if (xMin > xMax) xMin = 0, xMax = 1, yMin = 0, yMax = 1;
    const double xPad = (xMax - xMin) / 50, yPad = (yMax - yMin) / 50;
    return {chart.xRange ? RoundTicks(chart.xRange->first, chart.xRange->second) : RoundTicks(xMin - xPad, xMax + xPad),
            chart.yRange ? RoundTicks(chart.yRange->first, chart.yRange->second) : RoundTicks(yMin - yPad, yMax + yPad),
            chart.width - kLeft - kRight, chart.height - kTop - kBottom};
}

// Tick values counted in steps, so that no sum drifts and none prints as "-0".
std::vector<double> Ticks(const Axis &axis) {
    std::vector<double> ticks;
    for (int i = 0;; ++i) {
        double v = axis.firstTick + i * axis.step;
        if (v > axis.high + axis.step * 1e-9) return ticks;
        if (std::fabs(v) < axis.step * 1e-9) v = 0;
        ticks.push_back(v);
    }
}

// The document's start, the title, the grid, the frame with its ticks and
// the axes' titles, and the clip path of the plot.
std::string RenderAxes(const Chart &chart, const Frame &f) {
    std::string svg = Format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
        "font-family=\"sans-serif\" font-size=\"13\">\n",
        chart.width, chart.height, chart.width, chart.height);
    svg += Format("<rect width=\"%d\" height=\"%d\" fill=\"white\"/>\n", chart.width, chart.height);
    svg += Format("<text x=\"%g\" y=\"30\" font-size=\"17\" text-anchor=\"middle\">", chart.width / 2.0) +
           Escaped(chart.title) + "</text>\n";
    const std::vector<double> xTicks = Ticks(f.xAxis), yTicks = Ticks(f.yAxis);
    svg += "<g stroke=\"#dddddd\" stroke-width=\"1\">\n";
    for (double v : xTicks)
        svg += Format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\"/>\n", f.X(v), kTop, f.X(v), kTop + f.height);
    for (double v : yTicks)
        svg += Format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\"/>\n", kLeft, f.Y(v), kLeft + f.width, f.Y(v));
    svg += "</g>\n";
    svg += Format("<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"none\" stroke=\"black\"/>\n",
                  kLeft, kTop, f.width, f.height);
    svg += "<g>\n";
    for (double v : xTicks) {
        svg += Format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\"/>", f.X(v),
                      kTop + f.height, f.X(v), kTop + f.height + 5);
        svg += Format("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">%.*f</text>\n", f.X(v),
                      kTop + f.height + 20, f.xAxis.decimals, v);
    }
    for (double v : yTicks) {
        svg += Format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\"/>", kLeft - 5, f.Y(v),
                      kLeft, f.Y(v));
        svg += Format("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"end\">%.*f</text>\n", kLeft - 8, f.Y(v) + 4,
                      f.yAxis.decimals, v);
    }
    svg += "</g>\n";
    svg += Format("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">", kLeft + f.width / 2,
                  double(chart.height) - 22) +
           Escaped(chart.xLabel) + "</text>\n";
    svg += Format("<text transform=\"translate(22 %.2f) rotate(-90)\" text-anchor=\"middle\">", kTop + f.height / 2) +
           Escaped(chart.yLabel) + "</text>\n";
    svg += Format("<clipPath id=\"plot\"><rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\"/></clipPath>\n",
                  kLeft, kTop, f.width, f.height);
    return svg;
}

// The series as polylines clipped to the plot; *segments gets their
// pieces on the screen, and *drawn whether any of each series shows.
std::string RenderLines(const Chart &chart, const Frame &f, std::vector<Segment> *segments, std::vector<bool> *drawn) {
    std::string svg;
    const Box plot = f.Plot();
    for (int index = 0; index < int(chart.series.size()); ++index) {
        const ChartSeries &series = chart.series[std::size_t(index)];
        drawn->push_back(false);
        if (series.points.empty()) continue;
        svg += Format("<polyline clip-path=\"url(#plot)\" fill=\"none\" stroke-linejoin=\"round\" stroke-width=\"%g\" stroke=\"", series.width) +
               Escaped(series.colour) + "\" points=\"";
        for (const ChartPoint &p : series.points) svg += Format("%.2f,%.2f ", f.X(p.x), f.Y(p.y));
        svg.back() = '"';
        svg += "/>\n";
        drawn->back() = plot.Contains(f.Screen(series.points.front()));
        for (std::size_t i = 1; i < series.points.size(); ++i) {
            segments->push_back({f.Screen(series.points[i - 1]), f.Screen(series.points[i]), index});
            if (Crosses(segments->back(), plot)) drawn->back() = true;
        }
    }
    return svg;
}

// The markers inside the plot and the labels of what is drawn: beside
// their points or lines, else in a list to the right of the plot. Nothing
// outside the plot is listed.
std::string RenderLabels(const Chart &chart, const Frame &f, std::vector<Segment> segments,
                         const std::vector<bool> &drawn) {
    std::string svg;
    LabelPlacer placer(f.Plot(), std::move(segments));
    std::vector<Label> labels, listed;
    for (const ChartMarker &marker : chart.markers) {
        const std::vector<ChartPoint> anchor = {f.Screen(marker.at)};
        if (!f.Plot().Contains(anchor[0])) continue;
        svg += Format("<circle cx=\"%.2f\" cy=\"%.2f\" r=\"4\" fill=\"black\"/>\n", anchor[0].x, anchor[0].y);
        std::optional<Box> box = placer.Place(anchor, marker.label.size(), false, false);
        if (!box) box = placer.Place(anchor, marker.label.size(), false, true);
        if (box)
            labels.push_back({marker.label, "black", false, *box});
        else
            listed.push_back({marker.label, "black", false, {}});
    }
    for (int index = 0; index < int(chart.series.size()); ++index) {
        const ChartSeries &series = chart.series[std::size_t(index)];
        if (series.label.empty() || !drawn[std::size_t(index)]) continue;
        std::vector<ChartPoint> anchors;
        for (const ChartPoint &p : series.points) anchors.push_back(f.Screen(p));
        if (!series.labelAtStart) std::reverse(anchors.begin(), anchors.end());
        if (const std::optional<Box> box = placer.Place(anchors, series.label.size(), series.small, false, index))
            labels.push_back({series.label, series.colour, series.small, *box});
        else
            listed.push_back({series.label, series.colour, series.small, {}});
    }
    double listY = kTop + kLineHeight;
    for (Label &label : listed) {
        const double x = kLeft + f.width + 30;
        svg += Format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke-width=\"2\" stroke=\"",
                      x - 22, listY - 4, x - 4, listY - 4) +
               Escaped(label.colour) + "\"/>\n";
        label.box = {x, listY - kLineHeight + 4, x + double(label.text.size()) * kCharacterWidth, listY + 4};
        label.small = false;
        labels.push_back(label);
        listY += kLineHeight;
    }
    for (const Label &label : labels)
        svg += Format("<text class=\"label\" x=\"%.2f\" y=\"%.2f\"%s stroke=\"white\" stroke-width=\"3\" "
                      "paint-order=\"stroke\" fill=\"",
                      label.box.left, label.box.bottom - (label.small ? 3 : 4), label.small ? " font-size=\"10\"" : "") +
               Escaped(label.colour) + "\">" + Escaped(label.text) + "</text>\n";
    return svg;
}

}  // namespace

std::string RenderSvg(const Chart &chart) {
    const Frame frame = FrameOf(chart);
    std::vector<Segment> segments;
    std::vector<bool> drawn;
    std::string svg = RenderAxes(chart, frame);
    svg += RenderLines(chart, frame, &segments, &drawn);
    svg += RenderLabels(chart, frame, std::move(segments), drawn);
    return svg + "</svg>\n";
}

}  // namespace rudid::cli
