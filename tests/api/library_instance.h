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

    decltype(&::AQPPT) AQPPT = nullptr;
    decltype(&::AQPTP) AQPTP = nullptr;
    decltype(&::AQPTQH) AQPTQH = nullptr;
    decltype(&::AQPTQS) AQPTQS = nullptr;
    decltype(&::AQPTQV) AQPTQV = nullptr;
    decltype(&::AQPPQH) AQPPQH = nullptr;
    decltype(&::AQPPQS) AQPPQS = nullptr;
    decltype(&::AQPPQV) AQPPQV = nullptr;
    decltype(&::AQPPTH) AQPPTH = nullptr;
    decltype(&::AQPPTS) AQPPTS = nullptr;
    decltype(&::AQPPTV) AQPPTV = nullptr;
    decltype(&::AQPPHT) AQPPHT = nullptr;
    decltype(&::AQPPHS) AQPPHS = nullptr;
    decltype(&::AQPPHV) AQPPHV = nullptr;
    decltype(&::AQPPHQ) AQPPHQ = nullptr;
    decltype(&::AQPPST) AQPPST = nullptr;
    decltype(&::AQPPSH) AQPPSH = nullptr;
    decltype(&::AQPPSV) AQPPSV = nullptr;
    decltype(&::AQPPSQ) AQPPSQ = nullptr;
    decltype(&::AQPPVT) AQPPVT = nullptr;
    decltype(&::AQPPVH) AQPPVH = nullptr;
    decltype(&::AQPPVS) AQPPVS = nullptr;
    decltype(&::AQPPVQ) AQPPVQ = nullptr;
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
    std::map<std::string, void *, std::less<>> oneArgument_;
    std::map<std::string, void *, std::less<>> twoArguments_;
};

// The names of the 23 property functions in ordinal order.
const std::vector<std::string> &ExportNames();

}  // namespace rudid::testing
