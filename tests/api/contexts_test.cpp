// Contexts: each answers bit for bit as a library loaded with the same
// units in default.cfg, two of them side by side in one process and eight
// at once on eight threads (also run under ThreadSanitizer, tools/test.sh);
// a wrong setting opens nothing and says which setting it was.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "api/library_instance.h"

namespace rudid::testing {
namespace {

struct ContextFunctions {
    decltype(&::RudidOpen) open;
    decltype(&::RudidClose) close;
    decltype(&::RudidContextEvaluate) evaluate;
    decltype(&::RudidContextMessage) message;
    decltype(&::RudidContextUnit) unit;
    explicit ContextFunctions(const LibraryInstance &lib)
        : open(lib.Symbol<decltype(&::RudidOpen)>("RudidOpen")),
          close(lib.Symbol<decltype(&::RudidClose)>("RudidClose")),
          evaluate(lib.Symbol<decltype(&::RudidContextEvaluate)>("RudidContextEvaluate")),
          message(lib.Symbol<decltype(&::RudidContextMessage)>("RudidContextMessage")),
          unit(lib.Symbol<decltype(&::RudidContextUnit)>("RudidContextUnit")) {}
};

// A configuration as default.cfg selects it and as RudidOpen names it.
struct Units {
    UnitChoice choice;
    const char *names;
};
const Units kUnits[] = {
    {{}, "pressure=bar, temperature=C, enthalpy=kJ/kg, entropy=kJ/kg,K, volume=m3/kg"},
    {{3, 3, 1, 3, 4}, "pressure=MPa, specific enthalpy=Btu/lbm, temperature=K, Specific_Entropy=btu/lbm,f, "
                      "volume=ft3/lbm"},
    {{10, 0, 2, 0, 0}, "PRESSURE=psi, temperature=F, volume=m3/ton"},
};

std::vector<double> Spread(std::mt19937_64 &random, double low, double high, std::size_t n) {
    std::uniform_real_distribution<double> d(low, high);
    std::vector<double> values(n);
    for (double &v : values) v = d(random);
    return values;
}

struct Rows {
    std::vector<double> first, second;
};

// Arguments spread a little past each function's range, in internal
// units, then converted into the loaded library's units as a host holds
// its values.
Rows RowsFor(const LibraryInstance &lib, const ExportFunction &fn, std::mt19937_64 &random) {
    const auto toConfigured = lib.Symbol<decltype(&::RudidToConfiguredUnit)>("RudidToConfiguredUnit");
    const auto argument = lib.Symbol<decltype(&::RudidFunctionArgument)>("RudidFunctionArgument");
    const int index = lib.Symbol<decltype(&::RudidFunctionIndex)>("RudidFunctionIndex")(fn.name.c_str());
    constexpr std::size_t n = 300;
    Rows rows;
    for (int position = 1; position <= fn.arity; ++position) {
        const int quantity = argument(index, position);
        std::vector<double> values =
            quantity == RUDID_PRESSURE      ? Spread(random, 0.005, 1100, n)
            : quantity == RUDID_TEMPERATURE ? Spread(random, -5, 820, n)
            : quantity == RUDID_QUALITY     ? Spread(random, -0.1, 1.1, n)
            : quantity == RUDID_SPECIFIC_ENTHALPY ? Spread(random, -10, 4200, n)
            : quantity == RUDID_SPECIFIC_ENTROPY  ? Spread(random, -0.1, 9.5, n)
                                                  : Spread(random, 0.0009, 200, n);
        // Internal units into this library's, as a host holds its values.
        for (double &v : values) v = toConfigured(quantity, v);
        (position == 1 ? rows.first : rows.second) = values;
    }
    if (rows.second.empty()) rows.second = rows.first;
    return rows;
}

// The rows of every function through a context, against the batch call of
// a library loaded with the same units: the same bits, failures and flags.
void ExpectContextAnswersAsLoaded(const ContextFunctions &api, RudidContext *context,
                                  const LibraryInstance &loaded, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const auto withFlags = loaded.Symbol<decltype(&::RudidEvaluateWithFlags)>("RudidEvaluateWithFlags");
    const auto refined = loaded.Symbol<decltype(&::RudidEvaluateRefined)>("RudidEvaluateRefined");
    for (const ExportFunction &fn : ExportFunctions()) {
        const Rows rows = RowsFor(loaded, fn, random);
        const std::size_t n = rows.first.size();
        std::vector<double> want(n), got(n);
        std::vector<int> wantFailure(n), gotFailure(n), wantFlags(n), gotFlags(n);
        ASSERT_EQ(withFlags(fn.name.c_str(), n, rows.first.data(), rows.second.data(), want.data(),
                            wantFailure.data(), wantFlags.data()),
                  api.evaluate(context, fn.name.c_str(), RUDID_TABLE, n, rows.first.data(), rows.second.data(),
                               got.data(), gotFailure.data(), gotFlags.data()));
        ASSERT_EQ(0, std::memcmp(want.data(), got.data(), n * sizeof(double))) << fn.name;
        ASSERT_EQ(wantFailure, gotFailure) << fn.name;
        ASSERT_EQ(wantFlags, gotFlags) << fn.name;
        refined(fn.name.c_str(), n, rows.first.data(), rows.second.data(), want.data(), wantFailure.data());
        api.evaluate(context, fn.name.c_str(), RUDID_REFINED, n, rows.first.data(), rows.second.data(), got.data(),
                     gotFailure.data(), nullptr);
        ASSERT_EQ(0, std::memcmp(want.data(), got.data(), n * sizeof(double))) << fn.name << " refined";
    }
}

class Contexts : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        host_ = new LibraryInstance(ShippedSetup());
        for (const Units &units : kUnits) loaded_.push_back(new LibraryInstance(ShippedSetup(units.choice)));
    }
    static void TearDownTestSuite() {
        for (LibraryInstance *lib : loaded_) delete lib;
        loaded_.clear();
        delete host_;
    }
    static LibraryInstance *host_;  // the library the contexts are opened in
    static std::vector<LibraryInstance *> loaded_;
};
LibraryInstance *Contexts::host_ = nullptr;
std::vector<LibraryInstance *> Contexts::loaded_;

TEST_F(Contexts, TwoContextsWithOtherUnitsAnswerAsLibrariesLoadedWithThem) {
    const ContextFunctions api(*host_);
    RudidContext *british = api.open(nullptr, kUnits[1].names, RUDID_KEEP_TABLES);
    RudidContext *psi = api.open(host_->dataPrefix().c_str(), kUnits[2].names, RUDID_READ_FILES);
    ASSERT_TRUE(british && psi) << api.message(nullptr);
    EXPECT_STREQ("MPa", api.unit(british, RUDID_PRESSURE));
    EXPECT_STREQ("psi", api.unit(psi, RUDID_PRESSURE));
    EXPECT_STREQ("bar", api.unit(nullptr, RUDID_PRESSURE));  // the process's stay as they were
    ExpectContextAnswersAsLoaded(api, british, *loaded_[1], 1);
    ExpectContextAnswersAsLoaded(api, psi, *loaded_[2], 2);
    ExpectContextAnswersAsLoaded(api, nullptr, *loaded_[0], 3);
    api.close(british);
    api.close(psi);
}

TEST_F(Contexts, EightThreadsWithContextsOfTheirOwnAnswerAsLoadedLibraries) {
    const ContextFunctions api(*host_);
    std::vector<std::thread> threads;
    std::vector<std::string> problems(8);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            const Units &units = kUnits[std::size_t(t) % std::size(kUnits)];
            RudidContext *context = api.open(nullptr, units.names, t % 2 ? RUDID_KEEP_TABLES : RUDID_READ_FILES);
            if (!context) {
                problems[std::size_t(t)] = api.message(nullptr);
                return;
            }
            ExpectContextAnswersAsLoaded(api, context, *loaded_[std::size_t(t) % std::size(kUnits)],
                                         std::uint64_t(10 + t));
            api.close(context);
        });
    for (std::thread &thread : threads) thread.join();
    for (const std::string &problem : problems) EXPECT_EQ("", problem);
}

TEST_F(Contexts, KilopascalsAreChosenByNameWithoutChangingWhatDefaultCfgSelects) {
    const ContextFunctions api(*host_);
    RudidContext *kpa = api.open(nullptr, "pressure=KPA", RUDID_READ_FILES);
    ASSERT_NE(nullptr, kpa) << api.message(nullptr);
    EXPECT_STREQ("kPa", api.unit(kpa, RUDID_PRESSURE));
    const double t = 100, bar = 1.01325, kilopascals = 101.325;
    double inKpa, inBar, tFromKpa, tFromBar;
    int failure;
    api.evaluate(kpa, "AQPTP", 0, 1, &t, &t, &inKpa, &failure, nullptr);
    api.evaluate(nullptr, "AQPTP", 0, 1, &t, &t, &inBar, &failure, nullptr);
    EXPECT_NEAR(inBar * 100, inKpa, inKpa * 1e-9);
    api.evaluate(kpa, "AQPPT", 0, 1, &kilopascals, &kilopascals, &tFromKpa, &failure, nullptr);
    api.evaluate(nullptr, "AQPPT", 0, 1, &bar, &bar, &tFromBar, &failure, nullptr);
    EXPECT_NEAR(tFromBar, tFromKpa, 1e-6);
    api.close(kpa);
    // No selection word means kPa: the list of default.cfg is as it was.
    const auto count = host_->Symbol<decltype(&::RudidUnitCount)>("RudidUnitCount");
    const auto name = host_->Symbol<decltype(&::RudidUnitName)>("RudidUnitName");
    for (int i = 0; i < count(RUDID_PRESSURE); ++i) EXPECT_STRNE("kPa", name(RUDID_PRESSURE, i));
}

TEST_F(Contexts, AWrongSettingOpensNothingAndSaysWhichSetting) {
    const ContextFunctions api(*host_);
    const ScratchDirectory scratch;
    const std::string shortTables = scratch.prefix() + "short";
    std::filesystem::create_directory(shortTables);
    for (const char *name : {"zarude.dat", "vevuzu.dat", "didizar.dat"})
        std::filesystem::copy_file(std::string(RUDID_DATA_DIRECTORY) + "/" + name, shortTables + "/" + name);
    std::filesystem::resize_file(shortTables + "/didizar.dat", 1000);
    const struct {
        const char *directory, *units;
        int options;
        const char *said;
    } wrong[] = {
        {nullptr, "pressure=furlong", 0, "pressure has no unit \"furlong\"; choose one of: bar Pa"},
        {nullptr, "colour=red", 0, "\"colour=red\" is not QUANTITY=UNIT"},
        {nullptr, "per degree=K", 0, "\"per degree=K\""},
        {"/nonexistent/rudid32", nullptr, 0, "/nonexistent/rudid32/zarude.dat"},
        {shortTables.c_str(), nullptr, 0, "didizar.dat is damaged"},
        {nullptr, nullptr, RUDID_KEEP_TABLES | RUDID_READ_FILES, "both of a pair"},
        {nullptr, nullptr, 0x100, "unknown bits"},
    };
    for (const auto &w : wrong) {
        EXPECT_EQ(nullptr, api.open(w.directory, w.units, w.options)) << w.said;
        EXPECT_NE(nullptr, std::strstr(api.message(nullptr), w.said)) << api.message(nullptr);
    }
    RudidContext *context = api.open(nullptr, "", RUDID_REFINED);
    ASSERT_NE(nullptr, context);
    EXPECT_STREQ("", api.message(nullptr));
    double a = 6.3, b = 161, result;
    int failure, flags;
    EXPECT_EQ(RUDID_BAD_ARGUMENTS,
              api.evaluate(context, "AQPPTH", RUDID_TABLE | RUDID_REFINED, 1, &a, &b, &result, &failure, &flags));
    EXPECT_EQ(RUDID_UNKNOWN_FUNCTION, api.evaluate(context, "AQPPXX", 0, 1, &a, &b, &result, &failure, &flags));
    EXPECT_STREQ("no property function of that name", api.message(context));
    // The context's own kind of answer: refined, the steam of a deaerator.
    ASSERT_EQ(0, api.evaluate(context, "AQPPTH", 0, 1, &a, &b, &result, &failure, &flags));
    EXPECT_NEAR(2758.88, result, 1.0);
    api.close(context);
}

}  // namespace
}  // namespace rudid::testing
