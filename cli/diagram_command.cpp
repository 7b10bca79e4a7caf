// A temperature-entropy diagram of water and steam drawn from the library,
// or the enthalpy-entropy (Mollier) chart: the saturation dome, lines of
// constant quality and isobars at round values of the configured pressure
// unit, over the whole range of the tables. Every limit is found by asking
// the library where its answers stop.
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "configured_units.h"
#include "diagram_points.h"
#include "library_call.h"
#include "number_text.h"
#include "replace_file.h"
#include "standard_output.h"
#include "svg_chart.h"

namespace rudid::cli {

namespace {

using enum Quantity;

// One colour for every isobar, none of them a red like the isotherms', the
// brown of the isenthalps or the teal of the isochores.
constexpr const char *kIsobarColours[] = {"#1f77b4", "#2ca02c", "#ff7f0e", "#9467bd", "#e377c2", "#bcbd22",
                                          "#393b79", "#637939", "#7b4173", "#6b6ecf", "#e7ba52", "#006d2c",
                                          "#a55194", "#fd8d3c", "#5254a3", "#b5cf6b"};
constexpr int kMostIsobars = 16;  // 1, 2 and 5 bar over the whole table
static_assert(std::size(kIsobarColours) >= kMostIsobars, "an isobar without a colour of its own");
constexpr int kSweepSteps = 160;

// Calls the export giving `result` from these arguments; a failure without
// a result ends the diagram, an error code only leaves the point out.
class Sampler {
public:
    std::optional<double> operator()(Quantity result, Quantity first, Quantity second, double a, double b = 0) {
        const ExportInfo *info = FindExportFor(result, first, second);
        if (!info) {
            if (failure_.empty()) failure_ = "the library has no function for " + QuantityWord(result);
            return std::nullopt;
        }
        const Outcome outcome = CallExport(*info, a, b);
        if (outcome.kind == OutcomeKind::Failure && failure_.empty())
            failure_ = info->name + " failed: " + outcome.message + " (code " + std::to_string(outcome.code) + ")";
        if (outcome.kind != OutcomeKind::Value) return std::nullopt;
        return outcome.value;
    }
    bool Valid(Quantity result, Quantity first, Quantity second, double a, double b = 0) {
        return (*this)(result, first, second, a, b).has_value();
    }
    const std::string &failure() const { return failure_; }

private:
    std::string failure_;
};

// The last value for which valid() holds, going from `inside` (where it
// holds) in the direction of `step`: the step doubled until it fails, then
// the edge bisected. Multiplicative steps (factor) for pressures.
double Edge(const std::function<bool(double)> &valid, double inside, double step, bool multiply) {
    double good = inside, bad = inside;
    for (int i = 0; i < 60; ++i) {
        bad = multiply ? good * step : good + step;
        if (!valid(bad)) break;
        good = bad;
        step *= multiply ? step : 2;
    }
    if (valid(bad)) return bad;
    for (int i = 0; i < 80; ++i) {
        const double middle = multiply ? std::sqrt(good * bad) : (good + bad) / 2;
        if (middle == good || middle == bad) break;
        (valid(middle) ? good : bad) = middle;
    }
    return good;
}

struct Ranges {
    double lowPressure, highPressure;        // of the single-phase tables
    double lowTemperature, highTemperature;  // of the single-phase tables
    double criticalPressure, criticalTemperature;
};

// The tables' ranges and the end of the saturation line, in configured units.
std::optional<Ranges> FindRanges(Sampler &sample) {
    const double oneBar = ToConfigured(Pressure, 1);
    const std::optional<double> boiling = sample(Temperature, Pressure, None, oneBar);
    if (!boiling) return std::nullopt;
    const double warm = ToConfigured(Temperature, FromConfigured(Temperature, *boiling) + 50);
    const double cool = ToConfigured(Temperature, FromConfigured(Temperature, *boiling) - 50);
    const double degree = warm - *boiling > 0 ? (warm - *boiling) / 50 : 1;
    Ranges r{};
    const auto entropyAt = [&](double p, double t) { return sample.Valid(SpecificEntropy, Pressure, Temperature, p, t); };
    r.lowTemperature = Edge([&](double t) { return entropyAt(oneBar, t); }, cool, -degree, false);
    r.highTemperature = Edge([&](double t) { return entropyAt(oneBar, t); }, warm, degree, false);
    r.lowPressure = Edge([&](double p) { return entropyAt(p, warm); }, oneBar, 0.5, true);
    r.highPressure = Edge([&](double p) { return entropyAt(p, warm); }, oneBar, 2, true);
    r.criticalPressure = Edge([&](double p) { return sample.Valid(Temperature, Pressure, None, p); }, oneBar, 2, true);
    r.criticalTemperature = Edge([&](double t) { return sample.Valid(Pressure, Temperature, None, t); }, *boiling,
                                 degree, false);
    return r;
}

// Round pressures in the configured unit: 1, 2 and 5 times powers of ten
// inside the range, thinned to whole decades when there are too many.
std::vector<double> RoundPressures(double low, double high) {
    std::vector<double> all;
    for (int exponent = int(std::floor(std::log10(low))); exponent <= int(std::ceil(std::log10(high))); ++exponent)
        for (double mantissa : {1.0, 2.0, 5.0}) {
            const double p = mantissa * std::pow(10.0, exponent);
            if (p >= low * (1 - 1e-12) && p <= high * (1 + 1e-12)) all.push_back(p);
        }
    if (int(all.size()) <= kMostIsobars) return all;
    std::vector<double> decades;
    for (double p : all)
        if (std::fabs(std::log10(p) - std::round(std::log10(p))) < 1e-9) decades.push_back(p);
    while (int(decades.size()) > kMostIsobars) {  // every other decade
        std::vector<double> fewer;
        for (std::size_t i = 0; i < decades.size(); i += 2) fewer.push_back(decades[i]);
        decades = fewer;
    }
    return decades;
}

// Round values of a linear quantity in the configured unit: 1, 2, 2.5 or 5
// times a power of ten, at most `most` of them inside the range.
std::vector<double> RoundSteps(double low, double high, int most) {
    std::vector<double> values;
    if (!(high > low)) return values;
    for (double decade = std::pow(10.0, std::floor(std::log10((high - low) / most)));; decade *= 10)
        for (double mantissa : {1.0, 2.0, 2.5, 5.0}) {
            const double step = mantissa * decade;
            if ((high - low) / step > most) continue;
            for (double v = std::ceil(low / step) * step; v <= high * (1 + 1e-12); v += step)
                values.push_back(std::fabs(v) < step * 1e-9 ? 0 : v);
            return values;
        }
}

// Whole decades of a quantity spread over many of them (specific volume).
std::vector<double> Decades(double low, double high) {
    std::vector<double> values;
    for (int e = int(std::ceil(std::log10(low))); e <= int(std::floor(std::log10(high))); ++e)
        values.push_back(std::pow(10.0, e));
    return values;
}

// Temperatures from low up to the critical temperature, closer together
// near the top of the dome where it turns; the top itself included.
std::vector<double> DomeTemperatures(double low, double critical) {
    std::vector<double> temperatures;
    constexpr int kSteps = 200;
    for (int i = 0; i <= kSteps; ++i) {
        const double u = 1 - double(i) / kSteps;
        temperatures.push_back(critical - (critical - low) * u * u);
    }
    temperatures.back() = critical;
    return temperatures;
}

// The chart's y of a state: its temperature (T-s) or its enthalpy (h-s).
class Diagram {
public:
    Diagram(Sampler &sample, const Ranges &ranges, bool mollier) : sample_(sample), ranges_(ranges), mollier_(mollier) {}

    // A point on the saturation line at temperature t and quality x.
    std::optional<ChartPoint> Saturated(double t, double x) {
        const std::optional<double> s = sample_(SpecificEntropy, Temperature, Quality, t, x);
        if (!s) return std::nullopt;
        if (!mollier_) return ChartPoint{*s, t};
        const std::optional<double> h = sample_(SpecificEnthalpy, Temperature, Quality, t, x);
        if (!h) return std::nullopt;
        return ChartPoint{*s, *h};
    }

    ChartSeries Dome(ChartPoint *top) {
        std::vector<ChartPoint> liquid, vapour;
        for (double t : DomeTemperatures(ranges_.lowTemperature, ranges_.criticalTemperature)) {
            const std::optional<ChartPoint> f = Saturated(t, 0), g = Saturated(t, 1);
            if (!f || !g) continue;
            liquid.push_back(*f);
            vapour.push_back(*g);
        }
        ChartSeries dome{liquid, "black", 2.5, ""};
        if (!liquid.empty()) *top = {(liquid.back().x + vapour.back().x) / 2, (liquid.back().y + vapour.back().y) / 2};
        dome.points.insert(dome.points.end(), vapour.rbegin(), vapour.rend());
        return dome;
    }

    ChartSeries QualityLine(double x) {
        ChartSeries line;
        for (double t : DomeTemperatures(ranges_.lowTemperature, ranges_.criticalTemperature))
            if (const std::optional<ChartPoint> point = Saturated(t, x)) line.points.push_back(*point);
        line.colour = "#999999";
        line.width = 0.8;
        line.label = "x=" + FormatNumber(x, 1);
        line.labelAtStart = true;
        line.small = true;
        return line;
    }

    // Below the critical pressure an isobar crosses the dome from
    // saturated liquid to vapour at the saturation temperature.
    ChartSeries Isobar(double p) {
        std::optional<double> saturation;
        if (p < ranges_.criticalPressure) saturation = sample_(Temperature, Pressure, None, p);
        ChartSeries isobar;
        bool crossed = !saturation;
        const double low = ranges_.lowTemperature, high = ranges_.highTemperature;
        for (int i = 0; i <= kSweepSteps; ++i) {
            const double t = i == kSweepSteps ? high : low + (high - low) * i / kSweepSteps;
            if (!crossed && t > *saturation) {
                for (double x : {0.0, 1.0})
                    if (const std::optional<ChartPoint> point = SaturatedAtPressure(p, x, *saturation))
                        isobar.points.push_back(*point);
                crossed = true;
            }
            if (const std::optional<ChartPoint> point = Single(p, t)) isobar.points.push_back(*point);
        }
        isobar.label = FormatNumber(p, 6) + " " + UnitOf(Pressure);
        return isobar;
    }

    // A line along which one property is held (an isotherm on the Mollier
    // chart, an isenthalp or isochore on the T-s diagram), swept over the
    // tables' pressures; `point` gives its place at a pressure.
    ChartSeries SweptLine(const std::function<std::optional<ChartPoint>(double)> &point) {
        ChartSeries line;
        for (int i = 0; i <= kSweepSteps; ++i) {
            const double p = ranges_.lowPressure *
                             std::pow(ranges_.highPressure / ranges_.lowPressure, double(i) / kSweepSteps);
            if (const std::optional<ChartPoint> at = point(p)) line.points.push_back(*at);
        }
        return line;
    }

    // An isotherm on the Mollier chart: vapour at low pressures, across the
    // dome at the saturation pressure, liquid above it.
    ChartSeries Isotherm(double t) {
        const std::optional<double> saturation =
            t < ranges_.criticalTemperature ? sample_(Pressure, Temperature, None, t) : std::nullopt;
        bool crossed = !saturation;
        ChartSeries line = SweptLine([&](double p) -> std::optional<ChartPoint> {
            std::optional<ChartPoint> dome;
            if (!crossed && p > *saturation) crossed = true, dome = Saturated(t, 1);
            return Single(p, t) ? Single(p, t) : dome;
        });
        if (saturation)  // the straight part inside the dome, between the saturated ends
            for (std::size_t i = 0; i < line.points.size(); ++i)
                if (const std::optional<ChartPoint> liquid = Saturated(t, 0);
                    liquid && i + 1 < line.points.size() && line.points[i].y > liquid->y &&
                    line.points[i + 1].y < liquid->y) {
                    line.points.insert(line.points.begin() + std::ptrdiff_t(i) + 1, *liquid);
                    break;
                }
        line.label = FormatNumber(t, 6) + " " + UnitOf(Temperature);
        return line;
    }

    // An isenthalp (key SpecificEnthalpy) or isochore (SpecificVolume) on
    // the T-s diagram, through the inverse functions of the pressure.
    ChartSeries HeldAlong(Quantity key, double value, const char *symbol) {
        ChartSeries line = SweptLine([&](double p) -> std::optional<ChartPoint> {
            const std::optional<double> s = sample_(SpecificEntropy, Pressure, key, p, value);
            const std::optional<double> t = sample_(Temperature, Pressure, key, p, value);
            if (!s || !t) return std::nullopt;
            return ChartPoint{*s, *t};
        });
        line.label = std::string(symbol) + "=" + FormatNumber(value, 6) + " " + UnitOf(key);
        line.width = 0.9;
        line.small = true;
        return line;
    }

private:
    std::optional<ChartPoint> SaturatedAtPressure(double p, double x, double t) {
        const std::optional<double> s = sample_(SpecificEntropy, Pressure, Quality, p, x);
        if (!s) return std::nullopt;
        if (!mollier_) return ChartPoint{*s, t};
        const std::optional<double> h = sample_(SpecificEnthalpy, Pressure, Quality, p, x);
        if (!h) return std::nullopt;
        return ChartPoint{*s, *h};
    }

    std::optional<ChartPoint> Single(double p, double t) {
        const std::optional<double> s = sample_(SpecificEntropy, Pressure, Temperature, p, t);
        if (!s) return std::nullopt;
        if (!mollier_) return ChartPoint{*s, t};
        const std::optional<double> h = sample_(SpecificEnthalpy, Pressure, Temperature, p, t);
        if (!h) return std::nullopt;
        return ChartPoint{*s, *h};
    }

    Sampler &sample_;
    const Ranges &ranges_;
    bool mollier_;
};

// Standard output ("-", or its name /dev/stdout) is checked, and reported,
// when the tool ends; a file is replaced whole, so that a full disk never
// leaves half a diagram. Anything but a regular file is refused.
bool WriteFile(const std::string &path, const std::string &text) {
    if (path == "-" || path == "/dev/stdout") {
        WriteStandardOutput(text);
        return true;
    }
    std::string error;
    if (ReplaceFileAtomically(path, text, &error)) return true;
    std::fprintf(stderr, "rudid32 diagram: %s\n", error.c_str());
    return false;
}

}  // namespace

// "s=5:9,T=100:600" into the chart's axes; false with why.
bool ApplyRange(const std::string &text, bool mollier, Chart *chart, std::string *error) {
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = TrimBlanks(rest.substr(0, comma));
        rest.remove_prefix(comma == std::string_view::npos ? rest.size() : comma + 1);
        const std::size_t equals = item.find('='), colon = item.find(':');
        const bool shaped = equals != std::string_view::npos && colon != std::string_view::npos && equals < colon;
        double low = NAN, high = NAN;
        if (shaped) {
            low = ParseNumber(item.substr(equals + 1, colon - equals - 1)).value_or(NAN);
            high = ParseNumber(item.substr(colon + 1)).value_or(NAN);
        }
        const std::string key(shaped ? TrimBlanks(item.substr(0, equals)) : item);
        for (const std::string_view limit : {item.substr(equals + 1, colon - equals - 1), item.substr(colon + 1)})
            if (shaped && ParseNumber(limit) && !std::isfinite(*ParseNumber(limit))) {
                *error = "--range: \"" + std::string(TrimBlanks(limit)) + "\" is not a finite number";
                return false;
            }
        const char yKey = mollier ? 'h' : 'T';
        if (!std::isfinite(low) || !std::isfinite(high) || !(low < high) ||
            (key != "s" && key != std::string(1, yKey))) {
            *error = "--range: \"" + std::string(item) + "\" is not s=LOW:HIGH or " + yKey + "=LOW:HIGH";
            return false;
        }
        (key == "s" ? chart->xRange : chart->yRange) = {{low, high}};
    }
    return true;
}

bool ApplySize(const std::string &text, Chart *chart, std::string *error) {
    const std::size_t by = text.find('x');
    const std::optional<double> readWidth = ParseNumber(text.substr(0, by));
    const std::optional<double> readHeight = by == std::string::npos ? std::nullopt : ParseNumber(text.substr(by + 1));
    *error = "--size: \"" + text + "\" is not WIDTHxHEIGHT (320x240 to 20000x20000)";
    if (!readWidth || !readHeight) return false;
    const double width = *readWidth, height = *readHeight;
    // NaN passes every comparison below: it is refused first.
    if (!std::isfinite(width) || !std::isfinite(height)) {
        *error = "--size: \"" + text + "\": the width or height is not a finite number";
        return false;
    }
    if (width < 320 || height < 240 || width > 20000 || height > 20000) return false;
    chart->width = int(width), chart->height = int(height);
    return true;
}

// The lines of constant property beside the isobars: isotherms on the
// Mollier chart; isenthalps and isochores on the T-s diagram.
void AddHeldLines(Diagram &diagram, Sampler &sample, const Ranges &ranges, bool mollier, Chart *chart) {
    if (mollier) {
        for (double t : RoundSteps(ranges.lowTemperature, ranges.highTemperature, 9)) {
            ChartSeries line = diagram.Isotherm(t);
            line.colour = "#c0392b";
            line.width = 0.9;
            line.small = true;
            chart->series.push_back(std::move(line));
        }
        return;
    }
    const auto corner = [&](Quantity q, double p, double t) { return sample(q, Pressure, Temperature, p, t); };
    const std::optional<double> hLow = corner(SpecificEnthalpy, ranges.highPressure, ranges.lowTemperature);
    const std::optional<double> hHigh = corner(SpecificEnthalpy, ranges.lowPressure, ranges.highTemperature);
    if (hLow && hHigh)
        for (double h : RoundSteps(*hLow, *hHigh, 7)) {
            ChartSeries line = diagram.HeldAlong(SpecificEnthalpy, h, "h");
            line.colour = "#8c6d31";
            chart->series.push_back(std::move(line));
        }
    const std::optional<double> vLow = corner(SpecificVolume, ranges.highPressure, ranges.lowTemperature);
    const std::optional<double> vHigh = corner(SpecificVolume, ranges.lowPressure, ranges.highTemperature);
    if (vLow && vHigh)
        for (double v : Decades(*vLow * 10, *vHigh)) {
            ChartSeries line = diagram.HeldAlong(SpecificVolume, v, "v");
            line.colour = "#17a2b8";
            chart->series.push_back(std::move(line));
        }
}

int RunDiagram(const std::string &path, const DiagramOptions &options) {
    const bool mollier = options.mollier;
    Chart chart;
    std::string error;
    if (!ApplyRange(options.range, mollier, &chart, &error)) {
        std::fprintf(stderr, "rudid32 diagram: %s\n", error.c_str());
        return kExitUsage;
    }
    if (!options.size.empty() && !ApplySize(options.size, &chart, &error)) {
        std::fprintf(stderr, "rudid32 diagram: %s\n", error.c_str());
        return kExitUsage;
    }
    DiagramPoints points;
    if (!options.pointsFile.empty() && !ReadDiagramPoints(options.pointsFile, mollier, &points, &error)) {
        std::fprintf(stderr, "rudid32 diagram: --points: %s\n", error.c_str());
        return kExitUsage;
    }
    Sampler sample;
    const std::optional<Ranges> ranges = FindRanges(sample);
    if (!ranges) {
        std::fprintf(stderr, "rudid32 diagram: the library gave no point of the saturation line%s%s\n",
                     sample.failure().empty() ? "" : ": ", sample.failure().c_str());
        return kExitFailure;
    }
    Diagram diagram(sample, *ranges, mollier);

    chart.title = mollier ? "Water and steam: enthalpy-entropy (Mollier) chart"
                          : "Water and steam: temperature-entropy diagram";
    chart.xLabel = "specific entropy s [" + UnitOf(SpecificEntropy) + "]";
    chart.yLabel = mollier ? "specific enthalpy h [" + UnitOf(SpecificEnthalpy) + "]"
                           : "temperature T [" + UnitOf(Temperature) + "]";
    ChartPoint top{};
    chart.series.push_back(diagram.Dome(&top));
    if (chart.series.back().points.empty()) {
        std::fprintf(stderr, "rudid32 diagram: the library gave no point of the saturation line%s%s\n",
                     sample.failure().empty() ? "" : ": ", sample.failure().c_str());
        return kExitFailure;
    }
    chart.markers.push_back({top, "critical point"});
    for (int tenth = 1; tenth <= 9; ++tenth) chart.series.push_back(diagram.QualityLine(tenth / 10.0));
    const std::vector<double> pressures = RoundPressures(ranges->lowPressure, ranges->highPressure);
    for (std::size_t i = 0; i < pressures.size(); ++i) {
        ChartSeries isobar = diagram.Isobar(pressures[i]);
        isobar.colour = kIsobarColours[i % std::size(kIsobarColours)];
        chart.series.push_back(std::move(isobar));
    }
    AddHeldLines(diagram, sample, *ranges, mollier, &chart);
    if (!sample.failure().empty()) {
        std::fprintf(stderr, "rudid32 diagram: %s\n", sample.failure().c_str());
        return kExitFailure;
    }
    // The user's states last, drawn over everything else.
    for (ChartSeries &line : points.lines) chart.series.push_back(std::move(line));
    chart.markers.insert(chart.markers.end(), points.markers.begin(), points.markers.end());
    for (const std::string &problem : points.problems) std::fprintf(stderr, "rudid32 diagram: %s\n", problem.c_str());
    // A state drawn where the tables are poor is drawn, and said so.
    for (const std::string &caution : points.cautions) std::fprintf(stderr, "rudid32 diagram: %s\n", caution.c_str());
    if (!mollier && !chart.yRange) chart.yRange = {{ranges->lowTemperature, ranges->highTemperature}};
    if (!WriteFile(path, RenderSvg(chart))) return kExitFailure;
    if (!points.problems.empty()) return kExitOutOfRange;
    return options.strict && !points.cautions.empty() ? kExitCaution : kExitOk;
}

}  // namespace rudid::cli
