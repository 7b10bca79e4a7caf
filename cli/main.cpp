// rudid32: water and steam properties from the command line, through the
// RUDID32 library's exported functions only.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "export_table.h"

#ifndef RUDID32_VERSION
#define RUDID32_VERSION "unknown"
#endif

namespace {

constexpr const char *kFooter = R"(
Values are given and printed in the units of default.cfg in the library's data
directory (see "rudid32 units"). Results are printed in the shortest form that
reads back as exactly the same double, unless --digits is given.

Exit status: 0 answered; 1 a state outside the tables (or a malformed batch
row); 2 a wrong command line; 3 the library failed without a result, or a file
could not be written.)";

// A quantity as the name of a positional argument: "specific-enthalpy".
std::string ArgumentName(rudid::cli::Quantity quantity) {
    std::string name = rudid::cli::QuantityWord(quantity);
    std::replace(name.begin(), name.end(), ' ', '-');
    return name;
}

}  // namespace

int main(int argc, char **argv) {
    using namespace rudid::cli;

    CLI::App app{"Properties of water and steam from the RUDID32 tables.", "rudid32"};
    app.footer(kFooter);
    app.set_version_flag("--version", RUDID32_VERSION);
    app.require_subcommand(1);
    app.fallthrough();

    OutputOptions output;
    app.add_option("--digits", output.digits, "Round results to this many significant digits")
        ->check(CLI::Range(1, 17));
    app.add_flag("--value-only", output.valueOnly, "Print a result without its unit");

    int status = kExitOk;
    for (const ExportInfo &info : Exports()) {
        CLI::App *call = app.add_subcommand(info.name, info.summary)->ignore_case()->group("Property functions");
        auto arguments = std::make_shared<std::vector<std::string>>(std::size_t(info.arity));
        for (int i = 0; i < info.arity; ++i)
            call->add_option(ArgumentName(info.arguments[i]), (*arguments)[std::size_t(i)],
                             std::string(QuantityWord(info.arguments[i])) +
                                 (info.arguments[i] == Quantity::Quality ? " (0 liquid to 1 vapour)" : " in its configured unit"))
                ->required();
        call->callback([&status, &info, &output, arguments] { status = RunCall(info, *arguments, output); });
    }

    std::vector<std::string> assignments;
    CLI::App *state = app.add_subcommand("state", "The whole state from two properties, e.g. state p=10 h=3000");
    state->add_option("properties", assignments, "Two of p, T, h, s, v, x as KEY=VALUE; pairs p,T p,h p,s p,v p,x T,x")
        ->required()
        ->expected(2);
    state->callback([&] { status = RunState(assignments, output); });

    std::string batchName;
    bool skipHeader = false;
    CLI::App *batch = app.add_subcommand("batch", "Rows of CSV arguments on stdin, CSV results on stdout");
    batch->add_option("function", batchName, "The property function, e.g. AQPPHT")->required();
    batch->add_flag("--header", skipHeader, "The first input line is a header: skip it");
    batch->callback([&] {
        const ExportInfo *info = FindExport(batchName);
        if (!info) {
            std::fprintf(stderr, "rudid32 batch: no property function \"%s\"\n", batchName.c_str());
            status = kExitUsage;
            return;
        }
        status = RunBatch(*info, skipHeader, output);
    });

    std::string quantity, unit;
    CLI::App *units = app.add_subcommand("units", "List the quantities and their configured units");
    CLI::App *unitsSet = units->add_subcommand("set", "Select the unit of a quantity in default.cfg");
    unitsSet->add_option("quantity", quantity, "Quantity name or code, e.g. pressure")->required();
    unitsSet->add_option("unit", unit, "One of the quantity's units, e.g. psi")->required();
    units->callback([&] { status = unitsSet->parsed() ? RunUnitsSet(quantity, unit) : RunUnitsList(); });

    std::string diagramPath;
    CLI::App *diagram = app.add_subcommand("diagram", "Draw a temperature-entropy diagram as SVG");
    diagram->add_option("file", diagramPath, "The SVG file to write, - for stdout")->required();
    diagram->callback([&] { status = RunDiagram(diagramPath); });

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        app.exit(e);
        return kExitUsage;
    }
    return status;
}
