// A temperature-entropy diagram of water and steam drawn from the library:
// the saturation dome and a few isobars, in the configured units.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "configured_units.h"
#include "library_call.h"
#include "number_text.h"
#include "svg_chart.h"
#include "sweep_units.h"

namespace rudid::cli {

namespace {

constexpr double kCriticalPressure = 221.2;      // bar
constexpr double kIsobars[] = {0.1, 1, 10, 50, 100, 300};  // bar
constexpr const char *kIsobarColours[] = {"#1f77b4", "#2ca02c", "#ff7f0e", "#9467bd", "#d62728", "#8c564b"};

// Calls an export; a failure without a result ends the diagram, an error
// code only leaves the point out.
class Sampler {
public:
    std::optional<double> operator()(const char *name, double first, double second = 0) {
        const Outcome outcome = CallExport(*FindExport(name), first, second);
        if (outcome.kind == OutcomeKind::Failure && failure_.empty())
            failure_ = std::string(name) + " failed: " + outcome.message + " (code " + std::to_string(outcome.code) + ")";
        if (outcome.kind != OutcomeKind::Value) return std::nullopt;
        return outcome.value;
    }
    const std::string &failure() const { return failure_; }

private:
    std::string failure_;
};

// Temperatures in C from 0 to the critical temperature, closer together
// near the top of the dome where it turns.
std::vector<double> DomeTemperatures() {
    std::vector<double> celsius;
    for (double t = 0; t < 370; t += 2) celsius.push_back(t);
    for (double t = 370; t < 374; t += 0.25) celsius.push_back(t);
    for (double t : {374.0, 374.1, 374.14}) celsius.push_back(t);
    return celsius;
}

ChartSeries SaturationDome(Sampler &sample, const std::string &temperatureUnit, ChartPoint *top) {
    std::vector<ChartPoint> liquid, vapour;
    for (double celsius : DomeTemperatures()) {
        const double t = TemperatureFromCelsius(celsius, temperatureUnit);
        const std::optional<double> sLiquid = sample("AQPTQS", t, 0), sVapour = sample("AQPTQS", t, 1);
        if (!sLiquid || !sVapour) continue;
        liquid.push_back({*sLiquid, t});
        vapour.push_back({*sVapour, t});
    }
    ChartSeries dome{liquid, "black", 2.5, ""};
    if (!liquid.empty()) *top = {(liquid.back().x + vapour.back().x) / 2, liquid.back().y};
    dome.points.insert(dome.points.end(), vapour.rbegin(), vapour.rend());
    return dome;
}

// Below the critical pressure an isobar crosses the dome as a horizontal
// line at the saturation temperature, from saturated liquid to vapour.
ChartSeries Isobar(Sampler &sample, double bar, const ConfiguredUnits &units) {
    const std::string pressureUnit = units.NameOf(Quantity::Pressure);
    const std::string temperatureUnit = units.NameOf(Quantity::Temperature);
    const double p = PressureFromBar(bar, pressureUnit);
    std::optional<double> saturation;
    if (bar < kCriticalPressure) saturation = sample("AQPPT", p);

    ChartSeries isobar;
    bool crossed = !saturation;
    for (double celsius = 0; celsius <= 800; celsius += 5) {
        const double t = TemperatureFromCelsius(celsius, temperatureUnit);
        if (!crossed && t > *saturation) {
            for (double quality : {0.0, 1.0})
                if (const std::optional<double> s = sample("AQPPQS", p, quality)) isobar.points.push_back({*s, *saturation});
            crossed = true;
        }
        if (const std::optional<double> s = sample("AQPPTS", p, t)) isobar.points.push_back({*s, t});
    }
    isobar.label = FormatNumber(p, 4) + " " + pressureUnit;
    return isobar;
}

}  // namespace

int RunDiagram(const std::string &path) {
    const ConfiguredUnits units = LoadConfiguredUnits();
    const std::string temperatureUnit = units.NameOf(Quantity::Temperature);
    Sampler sample;

    Chart chart;
    chart.title = "Water and steam: temperature-entropy diagram";
    chart.xLabel = "specific entropy s [" + units.NameOf(Quantity::SpecificEntropy) + "]";
    chart.yLabel = "temperature T [" + temperatureUnit + "]";
    ChartPoint top{};
    chart.series.push_back(SaturationDome(sample, temperatureUnit, &top));
    if (chart.series.back().points.empty()) {
        std::fprintf(stderr, "rudid32 diagram: the library gave no point of the saturation line%s%s\n",
                     sample.failure().empty() ? "" : ": ", sample.failure().c_str());
        return kExitFailure;
    }
    chart.markers.push_back({top, "critical point"});
    for (std::size_t i = 0; i < std::size(kIsobars); ++i) {
        ChartSeries isobar = Isobar(sample, kIsobars[i], units);
        isobar.colour = kIsobarColours[i];
        chart.series.push_back(std::move(isobar));
    }
    if (!sample.failure().empty()) {
        std::fprintf(stderr, "rudid32 diagram: %s\n", sample.failure().c_str());
        return kExitFailure;
    }

    const std::string svg = RenderSvg(chart);
    std::FILE *out = path == "-" ? stdout : std::fopen(path.c_str(), "w");
    if (!out) {
        std::perror(("rudid32 diagram: " + path).c_str());
        return kExitFailure;
    }
    const bool written = std::fwrite(svg.data(), 1, svg.size(), out) == svg.size();
    const bool closed = out == stdout ? std::fflush(out) == 0 : std::fclose(out) == 0;
    if (!written || !closed) {
        std::perror(("rudid32 diagram: " + path).c_str());
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace rudid::cli
