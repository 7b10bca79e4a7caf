// A freshly loaded copy of the built shared library with a configuration of
// its own. Start-up runs once per load, so each configuration gets its own
// copy of libRUDID32.so under a unique file name: the dynamic loader then
// treats it as a separate library, with its own start-up and its own state.
//
// The copy reads ZAREVIRU.INI from the file named by ZAREVIRU_INI, which the
// instance writes into its scratch directory together with the tables and
// default.cfg it is given. Instances must be created from one thread at a
// time (the environment variable is process-wide); once loaded, the copy
// may be called from any number of threads.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rudid32.h"
#include "support/test_files.h"

namespace rudid::testing {

using Bytes = std::vector<std::uint8_t>;

// Unit selections of the quantities the exports use, as indices into each
// quantity's list of unit names.
struct UnitChoice {
    int pressure = 0;     // 0 "bar", 3 "MPa", 10 "psi"
    int enthalpy = 0;     // 0 "kJ/kg", 3 "Btu/lbm"
    int temperature = 0;  // 0 "C", 1 "K", 2 "F"
    int entropy = 0;      // 0 "kJ/kg,K", 3 "Btu/lbm,F"
    int volume = 1;       // 0 "m3/ton", 1 "m3/kg", 4 "ft3/lbm"
};

// A complete 62-byte default.cfg holding the choice; every other word 0.
Bytes UnitFile(const UnitChoice &units);

// What the data directory holds when the copy is loaded. A file left empty
// is not written.
struct InstanceSetup {
    std::optional<Bytes> saturationByPressure;     // zarude.dat
    std::optional<Bytes> saturationByTemperature;  // vevuzu.dat
    std::optional<Bytes> singlePhase;              // didizar.dat
    std::optional<Bytes> unitFile;                 // default.cfg
    // The "DIR" value written to the INI file; the scratch directory when
    // empty.
    std::optional<std::string> directory;
    // Further lines of the [STARTUP] section, such as "CACHE=1\n".
    std::string moreStartupLines;
};

// The synthetic tables of StandardSetup(), built once.
const Bytes &StandardSaturationByPressure();     // zarude.dat
const Bytes &StandardSaturationByTemperature();  // vevuzu.dat
const Bytes &StandardSinglePhase();              // didizar.dat

// The synthetic tables of test_files, with the single-phase table that
// varies with pressure above the critical pressure, and all units internal:
// bar, C, kJ/kg, kJ/kg,K and m3/kg unless chosen otherwise.
InstanceSetup StandardSetup(const UnitChoice &units = UnitChoice());

// The tables shipped in data/, with the units chosen.
InstanceSetup ShippedSetup(const UnitChoice &units = UnitChoice());

class LibraryInstance {
public:
    explicit LibraryInstance(const InstanceSetup &setup);
    ~LibraryInstance();
    LibraryInstance(const LibraryInstance &) = delete;
    LibraryInstance &operator=(const LibraryInstance &) = delete;

    // One instance of StandardSetup() for the whole test program.
    static const LibraryInstance &Standard();

    const ScratchDirectory &directory() const { return scratch_; }
    // DataDirectory as the instance's start-up should have formed it.
    std::string dataPrefix() const { return scratch_.prefix(); }

    // Any property function by name; b is ignored by AQPPT and AQPTP.
    double *Call(std::string_view name, double a, double b = 0) const;

    // Any other exported function of this copy, by name; nullptr when the
    // library does not export it.
    template <class Function>
    Function Symbol(const char *name) const {
        return reinterpret_cast<Function>(RawSymbol(name));
    }

    // The double a property function answered, or a quiet NaN (and a test
    // failure naming this thread's last failure) when it returned no result.
    double Answer(const double *result) const;

    // One member per property function of the header's list: AQPPT, ...
#define RUDID_TEST_MEMBER(name, ...) decltype(&::name) name = nullptr;
    RUDID_PROPERTY_FUNCTIONS(RUDID_TEST_MEMBER)
#undef RUDID_TEST_MEMBER
    decltype(&::RudidLastError) RudidLastError = nullptr;
    decltype(&::RudidLastErrorMessage) RudidLastErrorMessage = nullptr;
    decltype(&::RudidStartupMessage) RudidStartupMessage = nullptr;
    decltype(&::RudidDataDirectory) RudidDataDirectory = nullptr;
    decltype(&::RudidEvaluate) RudidEvaluate = nullptr;

private:
    void *Resolve(const char *name);
    void *RawSymbol(const char *name) const;

    ScratchDirectory scratch_;
    void *handle_ = nullptr;
    struct Resolved {
        void *symbol;
        int arity;
    };
    std::map<std::string, Resolved, std::less<>> propertyFunctions_;
};

// The property functions of the header's list, in ordinal order.
struct ExportFunction {
    std::string name;
    int arity;  // 1 or 2
};
const std::vector<ExportFunction> &ExportFunctions();
const std::vector<std::string> &ExportNames();

// The number of arguments of a property function; 0 for an unknown name.
int ExportArity(std::string_view name);

}  // namespace rudid::testing
