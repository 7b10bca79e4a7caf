// rudid32: water and steam properties from the command line, through the
// RUDID32 library's exported functions only. The functions, quantities,
// units and messages are all the library's own.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "configured_units.h"
#include "unit_choice.h"
#include "unit_file.h"
#include "export_table.h"
#include "library_call.h"
#include "number_text.h"
#include "standard_output.h"
#include "whole_state.h"

namespace {

constexpr const char *kFooter = R"(
Values are given and printed in the units of default.cfg in the library's data
directory, with the choices of this user (rudid32 units set --user) and of the
run (--units or the variable RUDID32_UNITS) over it; "rudid32 units" lists
them. Results are printed to seven significant digits; --exact prints the shortest form that reads back as exactly the same
double. Negative numbers, nan and inf are values; an argument that is not a
finite number is refused.

Answers are the refined ones by default: the same tables interpolated along
the state's phase, far closer to IAPWS-IF97 next to the saturation line.
--table gives the table answers instead, exactly what the library's 23
exported functions (the DLL) return. Either way, state shows the other kind
of answer beside one that differs from it by more than 0.1 %. Where an
answer is known to be
poor, "caution:" lines name the property, say why and how large the error
can be, and what to do (on standard error for a single function).

Exit status: 0 answered; 1 a state outside the tables (or a malformed batch
row); 2 a wrong command line; 3 the library failed without a result, or a file
could not be written; 4 (only with --strict) answered, but the library flags
an answer as poor (a batch row with status "caution").)";

// A quantity as the name of a positional argument: "specific-enthalpy".
std::string ArgumentName(rudid::cli::Quantity quantity) {
    std::string name = rudid::cli::QuantityWord(quantity);
    std::replace(name.begin(), name.end(), ' ', '-');
    return name;
}

// "(temperature [C], quality) -> specific enthalpy [kJ/kg]": what a
// property function takes and gives, in the configured units.
std::string Signature(const rudid::cli::ExportInfo &info) {
    using namespace rudid::cli;
    const auto titled = [](Quantity quantity) {
        const std::string unit = UnitOf(quantity);
        return QuantityWord(quantity) + (unit.empty() ? "" : " [" + unit + "]");
    };
    std::string text = "(";
    for (int i = 0; i < info.arity; ++i) text += (i ? ", " : "") + titled(info.arguments[i]);
    return text + ") -> " + titled(info.result);
}

std::size_t EditDistance(std::string a, std::string b) {
    for (char &c : a) c = char(std::toupper(static_cast<unsigned char>(c)));
    for (char &c : b) c = char(std::toupper(static_cast<unsigned char>(c)));
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The first word that names a command, past the options before it; ""
// when there is none.
std::string CommandWord(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--digits" || argument == "--units") {
            ++i;
            continue;
        }
        if (argument.empty() || argument[0] != '-') return argument;
    }
    return "";
}

// A command word that is neither a property function nor a command: said
// so, with the nearest name. True when it was.
bool RefusedUnknownCommand(int argc, char **argv) {
    using namespace rudid::cli;
    const std::string word = CommandWord(argc, argv);
    if (word.empty() || FindExport(word)) return false;
    std::vector<std::string> names = {"state", "batch", "units", "diagram"};
    for (const std::string &name : names)
        if (EditDistance(word, name) == 0) return false;
    for (const ExportInfo &info : Exports()) names.push_back(info.name);
    std::size_t best = std::string::npos;
    for (const std::string &name : names) best = std::min(best, EditDistance(word, name));
    std::string nearest;
    for (const std::string &name : names)
        if (EditDistance(word, name) == best) nearest += (nearest.empty() ? "" : " or ") + name;
    std::fprintf(stderr, "rudid32: no property function or command \"%s\"", word.c_str());
    if (best <= std::max<std::size_t>(2, word.size() / 3)) std::fprintf(stderr, "; did you mean %s?", nearest.c_str());
    std::fprintf(stderr, "\n(rudid32 --help lists them)\n");
    return true;
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

// The text of --units in the arguments, if given.
std::string UnitsArgument(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--units" && i + 1 < argc) return argv[i + 1];
        if (argument.rfind("--units=", 0) == 0) return argument.substr(8);
    }
    return "";
}

// Once per run: a default.cfg that is missing or short silently selects
// the first unit of the quantities it does not cover. Said once, in the
// tool's words with the file's path: the library's start-up message says
// "corrupt or missing" twice and names no path.
void WarnOfAnIncompleteUnitFile() {
    const char *message = RudidStartupMessage();
    if (!message || !*message) return;
    const std::string path = rudid::cli::UnitFilePath();
    std::error_code error;
    const bool present = std::filesystem::exists(path, error);
    std::fprintf(stderr,
                 "rudid32: warning: the unit file %s %s, so %s its first unit; see rudid32 units\n",
                 path.c_str(), present ? "is short or cannot be read" : "is missing",
                 present ? "every quantity it does not cover uses" : "every quantity uses");
}

// What the command line chose: filled in by the parser, read by the
// commands.
struct CommandLine {
    rudid::cli::OutputOptions output;
    bool exact = false;
    bool refined = false;  // accepted, and the default: the refined answers
    bool table = false;    // the table answers, as the exported functions give them
    std::string unitsChosen;  // applied before parsing, see OpenChosenUnits
    int status = rudid::cli::kExitOk;

    std::vector<std::string> assignments;  // state
    std::vector<std::string> batchWhat;    // batch
    rudid::cli::BatchJob job;
    std::string delimiter;
    bool noFlags = false;
    std::string quantity, unit;  // units set
    bool forUser = false, forInstallation = false;
    std::string diagramPath;  // diagram
    rudid::cli::DiagramOptions drawing;

    rudid::cli::OutputOptions FinalOutput() const {
        rudid::cli::OutputOptions chosen = output;
        if (exact) chosen.digits = 0;
        return chosen;
    }
};

void AddGlobalOptions(CLI::App *app, CommandLine *line) {
    app->footer(kFooter);
    app->set_version_flag("--version", RudidVersion());
    app->require_subcommand(1);
    app->fallthrough();
    app->add_option("--digits", line->output.digits, "Round results to this many significant digits (default 7)")
        ->check(CLI::Range(1, 17));
    app->add_flag("--exact", line->exact, "Print results in the shortest form that reads back as the same double");
    app->add_flag("--value-only", line->output.valueOnly, "Print a result without its unit");
    CLI::Option *refined = app->add_flag(
        "--refined", line->refined,
        "Give the refined answers (the default): the same tables interpolated along the state's phase and the "
        "way the properties bend (RudidEvaluateRefined), closer to IAPWS-IF97 where the table answers are poor");
    app->add_flag("--table", line->table,
                  "Give the table answers instead: exactly what the library's exported functions (the DLL) "
                  "return")
        ->excludes(refined);
    app->add_option("--units", line->unitsChosen,
                    "Units for this run, e.g. pressure=psi,temperature=F (the calls go through a library context "
                    "of them)");
    app->add_flag("--strict", line->output.strict,
                  "Exit with status 4 when an answer is flagged as poor (a caution), instead of 0");
}

void AddPropertyFunctions(CLI::App *app, CommandLine *line) {
    using namespace rudid::cli;
    for (const ExportInfo &info : Exports()) {
        CLI::App *call = app->add_subcommand(info.name, info.summary + ": " + Signature(info))
                             ->ignore_case()
                             ->group("Property functions (arguments and result in the configured units)");
        auto arguments = std::make_shared<std::vector<std::string>>(std::size_t(info.arity));
        for (int i = 0; i < info.arity; ++i)
            call->add_option(ArgumentName(info.arguments[i]), (*arguments)[std::size_t(i)],
                             QuantityWord(info.arguments[i]) + (info.arguments[i] == Quantity::Quality
                                                                       ? " (0 liquid to 1 vapour)"
                                                                       : " in " + UnitOf(info.arguments[i])))
                ->required();
        call->callback([line, &info = info, arguments] {
            UseRefinedAnswers(!line->table);
            line->status = RunCall(info, *arguments, line->FinalOutput());
        });
    }
}

void AddState(CLI::App *app, CommandLine *line) {
    CLI::App *state = app->add_subcommand("state", "The whole state from two properties, e.g. state p=10 h=3000");
    state->add_option("properties", line->assignments,
                      "Two of p, T, h, s, v, x (any case) as KEY=VALUE, any pair; those no property function "
                      "takes (h,s T,h T,s ...) are solved for the pressure")
        ->required()
        ->expected(2);
    state->callback([line] {
        rudid::cli::UseRefinedAnswers(!line->table);
        line->status = rudid::cli::RunState(line->assignments, line->FinalOutput());
    });
}

// batch FUNCTION or batch state KEY KEY, once parsed.
int RunBatchCommand(CommandLine *line) {
    using namespace rudid::cli;
    const std::vector<std::string> &what = line->batchWhat;
    if (what[0] == "state") {
        const StateKey *a = what.size() == 3 ? FindStateKey(what[1]) : nullptr;
        const StateKey *b = what.size() == 3 ? FindStateKey(what[2]) : nullptr;
        if (!a || !b || !StatePairSolvable(a->quantity, b->quantity)) {
            std::fprintf(stderr, "rudid32 batch state: give two different keys of p, T, h, s, v, x, "
                                 "e.g. batch state p h\n");
            return kExitUsage;
        }
        line->job.stateKeys = std::string{a->key, b->key};
    } else {
        line->job.function = FindExport(what[0]);
        if (!line->job.function) {
            std::fprintf(stderr, "rudid32 batch: no property function \"%s\"\n", what[0].c_str());
            return kExitUsage;
        }
        if (what.size() > 1) {
            std::fprintf(stderr, "rudid32 batch %s: unexpected argument \"%s\" (the arguments come as rows on "
                                 "standard input)\n", line->job.function->name.c_str(), what[1].c_str());
            return kExitUsage;
        }
    }
    line->job.flags = !line->noFlags;
    line->job.delimiter = line->delimiter.empty() ? 0 : line->delimiter == "tab" ? '\t' : line->delimiter[0];
    UseRefinedAnswers(!line->table);
    return RunBatch(line->job, line->FinalOutput());
}

void AddBatch(CLI::App *app, CommandLine *line) {
    line->job.threads = std::max(1u, std::thread::hardware_concurrency());
    CLI::App *batch = app->add_subcommand("batch", "Rows of CSV arguments on stdin, CSV results on stdout");
    batch->add_option("function", line->batchWhat,
                      "A property function (listed by --help), or state and two keys, e.g. state p h")
        ->required()
        ->expected(1, 3);
    batch->add_flag("--header", line->job.skipHeader, "The first input line is a header: skip it");
    batch->add_option("--delimiter", line->delimiter,
                      "The input's delimiter: , ; or tab (default: told by the first line; with ; or tab a "
                      "decimal comma is read as a point). Semicolon-separated input is answered with semicolons, and "
                      "with decimal commas when its first row has no decimal point")
        ->check(CLI::IsMember({",", ";", "tab", "\t"}));
    // One name (or a comma list) a use, never the words after it: those
    // are the function or the state's keys.
    batch->add_option("--keep", line->job.keep,
                      "Columns to pass through to the output before the results, by header title (with "
                      "--header) or number from 1, e.g. --keep id; repeat it or give a comma list "
                      "(--keep id,tag) for more; the other columns are the arguments")
        ->delimiter(',')
        ->allow_extra_args(false)
        ->take_all();
    batch->add_flag("--no-flags", line->noFlags, "Leave out the flags column and the caution status");
    batch->add_option("--threads", line->job.threads, "Threads to evaluate on (default: the number of cores)")
        ->check(CLI::Range(1, 256));
    batch->callback([line] { line->status = RunBatchCommand(line); });
}

void AddUnits(CLI::App *app, CommandLine *line) {
    CLI::App *units = app->add_subcommand("units", "List the quantities and their units in effect");
    CLI::App *unitsSet = units->add_subcommand(
        "set", "Select the unit of a quantity for you alone (--user) or for every program (--installation)");
    CLI::Option *user = unitsSet->add_flag("--user", line->forUser,
                                           "Keep the choice in your own file ($XDG_CONFIG_HOME/rudid32/units, "
                                           "else ~/.config/rudid32/units), over the installation's");
    unitsSet->add_flag("--installation", line->forInstallation,
                       "Change the installation's default.cfg, which every program that loads the library reads")
        ->excludes(user);
    unitsSet->add_option("quantity", line->quantity, "Quantity name or code, e.g. pressure")->required();
    unitsSet->add_option("unit", line->unit, "One of the quantity's units, e.g. psi")->required();
    units->callback([line, unitsSet] {
        using rudid::cli::UnitScope;
        const UnitScope scope = line->forUser           ? UnitScope::User
                                : line->forInstallation ? UnitScope::Installation
                                                        : UnitScope::Unsaid;
        line->status = unitsSet->parsed() ? rudid::cli::RunUnitsSet(line->quantity, line->unit, scope)
                                          : rudid::cli::RunUnitsList();
    });
}

void AddDiagram(CLI::App *app, CommandLine *line) {
    CLI::App *diagram = app->add_subcommand("diagram", "Draw a temperature-entropy (or h-s) diagram as SVG");
    diagram->add_option("file", line->diagramPath, "The SVG file to write, - for stdout")->required();
    diagram->add_flag("--mollier", line->drawing.mollier, "Draw the enthalpy-entropy (Mollier) chart instead");
    diagram->add_option("--range", line->drawing.range,
                        "The part to draw, in the configured units: s=LOW:HIGH and/or T=LOW:HIGH (h= on the "
                        "Mollier chart), e.g. s=5:9,T=100:600");
    diagram->add_option("--size", line->drawing.size, "The picture's size in pixels, WIDTHxHEIGHT (default 960x680)");
    diagram->add_option("--points", line->drawing.pointsFile,
                        "A CSV file of states to draw: a header of two keys of p, T, h, s, v, x (and label), "
                        "a state a row; rows in a run are joined as a process line, a blank line ends it");
    diagram->callback([line] {
        rudid::cli::UseRefinedAnswers(!line->table);
        line->drawing.strict = line->output.strict;
        line->status = rudid::cli::RunDiagram(line->diagramPath, line->drawing);
    });
}

// Parses the command line and runs its command; the exit status.
int RunCommandLine(int argc, char **argv) {
    using namespace rudid::cli;
    CLI::App app{"Properties of water and steam from the RUDID32 tables.", "rudid32"};
    CommandLine line;
    AddGlobalOptions(&app, &line);
    AddPropertyFunctions(&app, &line);
    AddState(&app, &line);
    AddBatch(&app, &line);
    AddUnits(&app, &line);
    AddDiagram(&app, &line);
    try {
        app.parse(ArgumentsWithNumbersMarked(argc, argv));
    } catch (const CLI::Success &e) {
        // --help and --version through the tool's own writes, so that a
        // failed write is told with its reason like any other output.
        std::ostringstream text;
        line.status = app.exit(e, text, std::cerr);
        WriteStandardOutput(text.str());
    } catch (const CLI::ParseError &e) {
        app.exit(e);
        return kExitUsage;
    }
    // Results that did not reach standard output are a failure, whatever
    // the command made of them.
    return FinishStandardOutput() ? line.status : kExitFailure;
}

}  // namespace

int main(int argc, char **argv) {
    using namespace rudid::cli;
    KeepStandardDescriptorsOpen();

    WarnOfAnIncompleteUnitFile();
    if (const int status = OpenChosenUnits(UnitsArgument(argc, argv)); status >= 0) return status;
    if (RefusedUnknownCommand(argc, argv)) {
        CloseChosenUnits();
        return kExitUsage;
    }
    const int status = RunCommandLine(argc, argv);
    CloseChosenUnits();
    return status;
}
