// rudid32: water and steam properties from the command line, through the
// RUDID32 library's exported functions only. The functions, quantities,
// units and messages are all the library's own.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "export_table.h"
#include "number_text.h"
#include "standard_output.h"
#include "state_solver.h"

namespace {

constexpr const char *kFooter = R"(
Values are given and printed in the units of default.cfg in the library's data
directory (see "rudid32 units"). Results are printed to seven significant
digits; --exact prints the shortest form that reads back as exactly the same
double. Negative numbers, nan and inf are values; an argument that is not a
finite number is refused.

Where the tables are known to be poor for an answer, "caution:" lines say why
and how large the error can be (on standard error for a single function).

Exit status: 0 answered; 1 a state outside the tables (or a malformed batch
row); 2 a wrong command line; 3 the library failed without a result, or a file
could not be written.)";

// A quantity as the name of a positional argument: "specific-enthalpy".
std::string ArgumentName(rudid::cli::Quantity quantity) {
    std::string name = rudid::cli::QuantityWord(quantity);
    std::replace(name.begin(), name.end(), ' ', '-');
    return name;
}

// Numbers that begin with "-" ("-5", "-inf", "-1e-3") are values, never
// options: a leading blank keeps the parser from taking them for one, and
// the number readers skip it.
std::vector<std::string> ArgumentsWithNumbersMarked(int argc, char **argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument.size() > 1 && argument[0] == '-' && rudid::cli::ParseNumber(argument)) argument.insert(0, " ");
        arguments.push_back(std::move(argument));
    }
    std::reverse(arguments.begin(), arguments.end());  // the order CLI11 takes a vector in
    return arguments;
}

}  // namespace

int main(int argc, char **argv) {
    using namespace rudid::cli;
    KeepStandardDescriptorsOpen();

    CLI::App app{"Properties of water and steam from the RUDID32 tables.", "rudid32"};
    app.footer(kFooter);
    app.set_version_flag("--version", RudidVersion());
    app.require_subcommand(1);
    app.fallthrough();

    OutputOptions output;
    bool exact = false;
    app.add_option("--digits", output.digits, "Round results to this many significant digits (default 7)")
        ->check(CLI::Range(1, 17));
    app.add_flag("--exact", exact, "Print results in the shortest form that reads back as the same double");
    app.add_flag("--value-only", output.valueOnly, "Print a result without its unit");

    int status = kExitOk;
    const auto finalOutput = [&] {
        OutputOptions chosen = output;
        if (exact) chosen.digits = 0;
        return chosen;
    };
    for (const ExportInfo &info : Exports()) {
        CLI::App *call = app.add_subcommand(info.name, info.summary)->ignore_case()->group("Property functions");
        auto arguments = std::make_shared<std::vector<std::string>>(std::size_t(info.arity));
        for (int i = 0; i < info.arity; ++i)
            call->add_option(ArgumentName(info.arguments[i]), (*arguments)[std::size_t(i)],
                             QuantityWord(info.arguments[i]) +
                                 (info.arguments[i] == Quantity::Quality ? " (0 liquid to 1 vapour)" : " in its configured unit"))
                ->required();
        call->callback([&, &info = info, arguments] { status = RunCall(info, *arguments, finalOutput()); });
    }

    std::vector<std::string> assignments;
    CLI::App *state = app.add_subcommand("state", "The whole state from two properties, e.g. state p=10 h=3000");
    state->add_option("properties", assignments, "Two of p, T, h, s, v, x as KEY=VALUE; pairs p,T p,h p,s p,v p,x T,x")
        ->required()
        ->expected(2);
    state->callback([&] { status = RunState(assignments, finalOutput()); });

    std::vector<std::string> batchWhat;
    BatchJob job;
    job.threads = std::max(1u, std::thread::hardware_concurrency());
    CLI::App *batch = app.add_subcommand("batch", "Rows of CSV arguments on stdin, CSV results on stdout");
    batch->add_option("function", batchWhat,
                      "A property function (listed by --help), or state and two keys, e.g. state p h")
        ->required()
        ->expected(1, 3);
    batch->add_flag("--header", job.skipHeader, "The first input line is a header: skip it");
    bool noFlags = false;
    batch->add_flag("--no-flags", noFlags, "Leave out the flags column (asking for it costs more than the rows)");
    batch->add_option("--threads", job.threads, "Threads to evaluate on (default: the number of cores)")
        ->check(CLI::Range(1, 256));
    batch->callback([&] {
        if (batchWhat[0] == "state") {
            const StateKey *a = batchWhat.size() == 3 ? FindStateKey(batchWhat[1]) : nullptr;
            const StateKey *b = batchWhat.size() == 3 ? FindStateKey(batchWhat[2]) : nullptr;
            if (!a || !b || !StatePairSupported(a->quantity, b->quantity)) {
                std::fprintf(stderr, "rudid32 batch state: give two keys of a pair p,T p,h p,s p,v p,x or T,x, "
                                     "e.g. batch state p h\n");
                status = kExitUsage;
                return;
            }
            job.stateKeys = std::string{a->key, b->key};
        } else {
            job.function = FindExport(batchWhat[0]);
            if (!job.function) {
                std::fprintf(stderr, "rudid32 batch: no property function \"%s\"\n", batchWhat[0].c_str());
                status = kExitUsage;
                return;
            }
            if (batchWhat.size() > 1) {
                std::fprintf(stderr, "rudid32 batch %s: unexpected argument \"%s\" (the arguments come as rows on "
                                     "standard input)\n", job.function->name.c_str(), batchWhat[1].c_str());
                status = kExitUsage;
                return;
            }
        }
        job.flags = !noFlags;
        status = RunBatch(job, finalOutput());
    });

    std::string quantity, unit;
    CLI::App *units = app.add_subcommand("units", "List the quantities and their configured units");
    CLI::App *unitsSet = units->add_subcommand("set", "Select the unit of a quantity in default.cfg");
    unitsSet->add_option("quantity", quantity, "Quantity name or code, e.g. pressure")->required();
    unitsSet->add_option("unit", unit, "One of the quantity's units, e.g. psi")->required();
    units->callback([&] { status = unitsSet->parsed() ? RunUnitsSet(quantity, unit) : RunUnitsList(); });

    std::string diagramPath;
    bool mollier = false;
    CLI::App *diagram = app.add_subcommand("diagram", "Draw a temperature-entropy (or h-s) diagram as SVG");
    diagram->add_option("file", diagramPath, "The SVG file to write, - for stdout")->required();
    diagram->add_flag("--mollier", mollier, "Draw the enthalpy-entropy (Mollier) chart instead");
    diagram->callback([&] { status = RunDiagram(diagramPath, mollier); });

    try {
        app.parse(ArgumentsWithNumbersMarked(argc, argv));
    } catch (const CLI::Success &e) {
        status = app.exit(e);
    } catch (const CLI::ParseError &e) {
        app.exit(e);
        return kExitUsage;
    }
    // Results that did not reach standard output are a failure, whatever
    // the command made of them.
    return FinishStandardOutput() ? status : kExitFailure;
}
