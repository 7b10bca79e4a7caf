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
#include "library_call.h"
#include "number_text.h"
#include "replace_file.h"
#include "standard_output.h"
#include "svg_chart.h"

namespace rudid::cli {

namespace {

using enum Quantity;

constexpr const char *kIsobarColours[] = {"#1f77b4", "#2ca02c", "#ff7f0e", "#9467bd",
                                          "#d62728", "#8c564b", "#e377c2", "#17becf"};
constexpr int kMostIsobars = 8;
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

// Standard output is checked, and reported, when the tool ends; a file is
// replaced whole, so that a full disk never leaves half a diagram.
bool WriteFile(const std::string &path, const std::string &text) {
    if (path == "-") {
        WriteStandardOutput(text);
        return true;
    }
    std::string error;
    if (ReplaceFileAtomically(path, text, &error)) return true;
    std::fprintf(stderr, "rudid32 diagram: %s\n", error.c_str());
    return false;
}

}  // namespace

int RunDiagram(const std::string &path, bool mollier) {
    Sampler sample;
    const std::optional<Ranges> ranges = FindRanges(sample);
    if (!ranges) {
        std::fprintf(stderr, "rudid32 diagram: the library gave no point of the saturation line%s%s\n",
                     sample.failure().empty() ? "" : ": ", sample.failure().c_str());
        return kExitFailure;
    }
    Diagram diagram(sample, *ranges, mollier);

    Chart chart;
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
    if (!sample.failure().empty()) {
        std::fprintf(stderr, "rudid32 diagram: %s\n", sample.failure().c_str());
        return kExitFailure;
    }
    if (!mollier) chart.yRange = {{ranges->lowTemperature, ranges->highTemperature}};
    return WriteFile(path, RenderSvg(chart)) ? kExitOk : kExitFailure;
}

}  // namespace rudid::cli
