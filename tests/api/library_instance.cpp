#include "api/library_instance.h"

#include <fstream>
#include <iterator>

#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <stdexcept>

namespace rudid::testing {

namespace {

// The library under test: RUDID32_LIBRARY when set (to run these tests
// against another build), otherwise the one this build made.
std::string LibraryFile() {
    if (const char *named = std::getenv("RUDID32_LIBRARY"); named && *named) return named;
    return RUDID32_LIBRARY_FILE;
}

// The copies live until the program ends: a copy's file, and so its inode,
// is never reused by a later copy while an earlier one may still be mapped.
const ScratchDirectory &CopyDirectory() {
    static const ScratchDirectory copies;
    return copies;
}

std::string FreshCopyOfLibrary() {
    static std::atomic<int> counter{0};
    const std::string copy = CopyDirectory().file("libRUDID32-" + std::to_string(::getpid()) + "-" +
                                                  std::to_string(counter++) + ".so");
    std::filesystem::copy_file(LibraryFile(), copy);
    return copy;
}

// Sets ZAREVIRU_INI for the duration of one load and restores it after.
class IniVariable {
public:
    explicit IniVariable(const std::string &path) {
        if (const char *old = std::getenv(kName)) previous_ = old;
        ::setenv(kName, path.c_str(), 1);
    }
    ~IniVariable() {
        if (previous_)
            ::setenv(kName, previous_->c_str(), 1);
        else
            ::unsetenv(kName);
    }

private:
    static constexpr const char *kName = "ZAREVIRU_INI";
    std::optional<std::string> previous_;
};

}  // namespace

Bytes UnitFile(const UnitChoice &units) {
    std::int16_t words[31] = {};
    words[3] = std::int16_t(units.pressure);
    words[5] = std::int16_t(units.enthalpy);
    words[6] = std::int16_t(units.temperature);
    words[10] = std::int16_t(units.entropy);
    words[12] = std::int16_t(units.volume);
    Bytes bytes;
    for (std::int16_t word : words) {
        const auto raw = std::uint16_t(word);
        bytes.push_back(std::uint8_t(raw & 0xFF));
        bytes.push_back(std::uint8_t(raw >> 8));
    }
    return bytes;
}

const Bytes &StandardSaturationByPressure() {
    static const Bytes table = SaturationByPressureTable();
    return table;
}

const Bytes &StandardSaturationByTemperature() {
    // The synthetic vapour volume at 0 degC divides by a saturation pressure
    // of 0 and is infinite, which no six-byte real holds: every temperature
    // from 0.01 to 1 degC would fail with an overflow. Record 1 gets the
    // real water's 206.14 m3/kg instead.
    static const Bytes table = [] {
        Bytes bytes = SaturationByTemperatureTable();
        const float volume = 206.14f;
        std::memcpy(bytes.data() + 1 * 28 + 2 * 4, &volume, 4);
        return bytes;
    }();
    return table;
}

const Bytes &StandardSinglePhase() {
    static const Bytes table = SinglePhaseTableVaryingAboveCritical();
    return table;
}

InstanceSetup StandardSetup(const UnitChoice &units) {
    InstanceSetup setup;
    setup.saturationByPressure = StandardSaturationByPressure();
    setup.saturationByTemperature = StandardSaturationByTemperature();
    setup.singlePhase = StandardSinglePhase();
    setup.unitFile = UnitFile(units);
    return setup;
}

const std::vector<ExportFunction> &ExportFunctions() {
#define RUDID_TEST_ROW(name, ordinal, arity, ...) {#name, arity},
    static const std::vector<ExportFunction> functions = {RUDID_PROPERTY_FUNCTIONS(RUDID_TEST_ROW)};
#undef RUDID_TEST_ROW
    return functions;
}

const std::vector<std::string> &ExportNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const ExportFunction &function : ExportFunctions()) list.push_back(function.name);
        return list;
    }();
    return names;
}

int ExportArity(std::string_view name) {
    for (const ExportFunction &function : ExportFunctions())
        if (function.name == name) return function.arity;
    return 0;
}

LibraryInstance::LibraryInstance(const InstanceSetup &setup) {
    if (setup.saturationByPressure) scratch_.write("zarude.dat", *setup.saturationByPressure);
    if (setup.saturationByTemperature) scratch_.write("vevuzu.dat", *setup.saturationByTemperature);
    if (setup.singlePhase) scratch_.write("didizar.dat", *setup.singlePhase);
    if (setup.unitFile) scratch_.write("default.cfg", *setup.unitFile);
    const std::string directory = setup.directory.value_or(scratch_.path());
    scratch_.write("ZAREVIRU.INI", "[STARTUP]\nDIR=" + directory + "\n" + setup.moreStartupLines);

    const std::string copy = FreshCopyOfLibrary();
    {
        IniVariable ini(scratch_.file("ZAREVIRU.INI"));
        handle_ = ::dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle_) throw std::runtime_error(std::string("cannot load the library: ") + ::dlerror());

#define RUDID_RESOLVE(name) name = reinterpret_cast<decltype(name)>(Resolve(#name))
#define RUDID_RESOLVE_PROPERTY_FUNCTION(name, ...) RUDID_RESOLVE(name);
    RUDID_PROPERTY_FUNCTIONS(RUDID_RESOLVE_PROPERTY_FUNCTION)
#undef RUDID_RESOLVE_PROPERTY_FUNCTION
    RUDID_RESOLVE(RudidLastError);
    RUDID_RESOLVE(RudidLastErrorMessage);
    RUDID_RESOLVE(RudidStartupMessage);
    RUDID_RESOLVE(RudidDataDirectory);
    RUDID_RESOLVE(RudidEvaluate);
#undef RUDID_RESOLVE

    for (const ExportFunction &function : ExportFunctions())
        propertyFunctions_[function.name] = {Resolve(function.name.c_str()), function.arity};
}

LibraryInstance::~LibraryInstance() {
    if (handle_) ::dlclose(handle_);
}

void *LibraryInstance::RawSymbol(const char *name) const { return ::dlsym(handle_, name); }

void *LibraryInstance::Resolve(const char *name) {
    void *symbol = ::dlsym(handle_, name);
    if (!symbol) {
        ::dlclose(handle_);
        handle_ = nullptr;
        throw std::runtime_error(std::string("the library does not export ") + name);
    }
    return symbol;
}

const LibraryInstance &LibraryInstance::Standard() {
    static const LibraryInstance instance(StandardSetup());
    return instance;
}

double *LibraryInstance::Call(std::string_view name, double a, double b) const {
    const auto found = propertyFunctions_.find(name);
    if (found == propertyFunctions_.end()) throw std::invalid_argument("no property function " + std::string(name));
    const Resolved &function = found->second;
    if (function.arity == 1) return reinterpret_cast<double *(*)(double)>(function.symbol)(a);
    return reinterpret_cast<double *(*)(double, double)>(function.symbol)(a, b);
}

double LibraryInstance::Answer(const double *result) const {
    if (result) return *result;
    ADD_FAILURE() << "the property function returned no result: failure " << RudidLastError() << " \""
                  << RudidLastErrorMessage() << "\"";
    return std::numeric_limits<double>::quiet_NaN();
}

InstanceSetup ShippedSetup(const UnitChoice &units) {
    auto read = [](const std::string &name) {
        std::ifstream in(std::string(RUDID_DATA_DIRECTORY) + "/" + name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    InstanceSetup setup;
    setup.saturationByPressure = read("zarude.dat");
    setup.saturationByTemperature = read("vevuzu.dat");
    setup.singlePhase = read("didizar.dat");
    setup.unitFile = UnitFile(units);
    return setup;
}

}  // namespace rudid::testing
