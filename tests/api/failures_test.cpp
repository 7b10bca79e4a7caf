// Failures that are not states out of range: table files missing, short or
// unreadable, and arguments no six-byte real can hold. The property function
// returns no result and RudidLastError tells why; calls that need no failing
// file are still answered and clear the record.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "api/expected_values.h"

namespace rudid::testing {
namespace {

const LibraryInstance &Lib() { return LibraryInstance::Standard(); }

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Whether the call returned no result with the failure code and message;
// a failure on a table file names the file after the message.
::testing::AssertionResult FailsWith(const LibraryInstance &lib, const double *result, int code,
                                     const char *message, const char *file = nullptr) {
    if (result) return ::testing::AssertionFailure() << "answered " << *result;
    const std::string expected = file ? std::string(message) + ": " + lib.dataPrefix() + file : message;
    if (lib.RudidLastError() != code || lib.RudidLastErrorMessage() != expected)
        return ::testing::AssertionFailure()
               << "failed with " << lib.RudidLastError() << " \"" << lib.RudidLastErrorMessage() << "\"";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult AnsweredCleanly(const LibraryInstance &lib, const double *result) {
    if (!result) return ::testing::AssertionFailure() << "failed with " << lib.RudidLastError();
    if (lib.RudidLastError() != 0 || std::string(lib.RudidLastErrorMessage()) != "")
        return ::testing::AssertionFailure() << "answered " << *result << " but the failure record holds "
                                             << lib.RudidLastError();
    return ::testing::AssertionSuccess();
}

InstanceSetup Without(std::optional<Bytes> InstanceSetup::*table) {
    InstanceSetup setup = StandardSetup();
    (setup.*table).reset();
    return setup;
}

TEST(MissingTable, MissingSaturationByPressureFailsSubcriticalCallsOnly) {
    const LibraryInstance lib(Without(&InstanceSetup::saturationByPressure));
    EXPECT_TRUE(FailsWith(lib, lib.AQPPT(1), 2, "File not found", "zarude.dat"));
    EXPECT_TRUE(FailsWith(lib, lib.AQPPQH(1, 0.5), 2, "File not found", "zarude.dat"));
    EXPECT_TRUE(FailsWith(lib, lib.AQPPTH(1, 50), 2, "File not found", "zarude.dat"));
    EXPECT_TRUE(FailsWith(lib, lib.AQPPHT(1, 1500), 2, "File not found", "zarude.dat"));
    // Supercritical states and saturation by temperature need no zarude.dat.
    EXPECT_TRUE(AnsweredCleanly(lib, lib.AQPPTH(300, 500)));
    EXPECT_EQ(*lib.AQPPTH(300, 500), Lib().Answer(Lib().AQPPTH(300, 500)));
    EXPECT_TRUE(AnsweredCleanly(lib, lib.AQPPHT(300, 1500)));
    EXPECT_TRUE(AnsweredCleanly(lib, lib.AQPTP(100)));
}

TEST(MissingTable, MissingSaturationByTemperatureStillAnswersZeroCelsius) {
    const LibraryInstance lib(Without(&InstanceSetup::saturationByTemperature));
    EXPECT_TRUE(FailsWith(lib, lib.AQPTP(100), 2, "File not found", "vevuzu.dat"));
    EXPECT_TRUE(AnsweredCleanly(lib, lib.AQPTP(0)));
    EXPECT_EQ(*lib.AQPTP(0), Lib().Answer(Lib().AQPTP(0)));
    EXPECT_TRUE(FailsWith(lib, lib.AQPTQS(0.01, 1), 2, "File not found", "vevuzu.dat"));
    EXPECT_TRUE(AnsweredCleanly(lib, lib.AQPTQH(0.005, 0.5)));
}

TEST(MissingTable, MissingSinglePhaseTableFailsOutsideTheTwoPhaseRegion) {
    const LibraryInstance lib(Without(&InstanceSetup::singlePhase));
    EXPECT_TRUE(FailsWith(lib, lib.AQPPTH(1, 50), 2, "File not found", "didizar.dat"));
    EXPECT_TRUE(FailsWith(lib, lib.AQPPTV(300, 500), 2, "File not found", "didizar.dat"));
    EXPECT_TRUE(FailsWith(lib, lib.AQPPHT(1, 3000), 2, "File not found", "didizar.dat"));
    // A two-phase key is answered from zarude.dat alone.
    EXPECT_TRUE(AnsweredCleanly(lib, lib.AQPPHT(1, 1500)));
    EXPECT_TRUE(FailsWith(lib, lib.AQPPHT(300, 1500), 2, "File not found", "didizar.dat"));
}

TEST(MissingTable, RefusedStatesAreAnsweredWithoutAnyTable) {
    InstanceSetup setup;
    setup.unitFile = UnitFile({});
    const LibraryInstance lib(setup);
    EXPECT_TRUE(FailsWith(lib, lib.AQPPT(1), 2, "File not found", "zarude.dat"));
    EXPECT_TRUE(AnsweredCleanly(lib, lib.AQPPT(0.005)));
    EXPECT_EQ(*lib.AQPPT(0.005), kPressureOutOfRange);
    EXPECT_TRUE(FailsWith(lib, lib.AQPPHT(10, 1e6), 2, "File not found", "zarude.dat"));
    EXPECT_TRUE(AnsweredCleanly(lib, lib.AQPPHT(1500, 3000)));
    EXPECT_EQ(*lib.AQPPHT(1500, 3000), kPressureOutOfRange);
    EXPECT_TRUE(AnsweredCleanly(lib, lib.AQPTQH(100, 2)));
    EXPECT_EQ(*lib.AQPTQH(100, 2), kQualityOutOfRange);
}

TEST(MissingTable, MissingDataDirectoryIsAnInvalidFilename) {
    InstanceSetup setup = StandardSetup();
    ScratchDirectory parent;
    setup.directory = parent.file("no-such-directory");
    const LibraryInstance lib(setup);
    EXPECT_STRNE(lib.RudidStartupMessage(), "");
    EXPECT_EQ(std::string(lib.RudidDataDirectory()), *setup.directory + "/");
    EXPECT_TRUE(FailsWith(lib, lib.AQPPT(1), 3, ("Invalid filename: " + *setup.directory + "/zarude.dat").c_str()));
    EXPECT_TRUE(FailsWith(lib, lib.AQPTP(100), 3, ("Invalid filename: " + *setup.directory + "/vevuzu.dat").c_str()));
    EXPECT_TRUE(FailsWith(lib, lib.AQPPTH(300, 500), 3, ("Invalid filename: " + *setup.directory + "/didizar.dat").c_str()));
}

TEST(ShortTable, RecordsBeforeTheEndAreAnsweredAndThoseBeyondFail) {
    InstanceSetup setup = StandardSetup();
    setup.saturationByPressure = SaturationByPressureTable(291);  // the 221.2 bar record missing
    setup.saturationByTemperature = SaturationByTemperatureTable(50);
    setup.singlePhase = SinglePhaseTableVaryingAboveCritical(100);  // up to 20 bar
    const LibraryInstance lib(setup);

    EXPECT_TRUE(AnsweredCleanly(lib, lib.AQPPT(219)));  // records 289 and 290
    EXPECT_TRUE(FailsWith(lib, lib.AQPPT(220), 100, "Read beyond end of file", "zarude.dat"));
    EXPECT_TRUE(AnsweredCleanly(lib, lib.AQPTP(47.5)));  // records 48 and 49
    EXPECT_TRUE(FailsWith(lib, lib.AQPTP(48), 100, "Read beyond end of file", "vevuzu.dat"));
    EXPECT_TRUE(AnsweredCleanly(lib, lib.AQPPTH(19.9, 300)));  // isobars 99 and 100
    EXPECT_TRUE(FailsWith(lib, lib.AQPPTH(20, 300), 100, "Read beyond end of file", "didizar.dat"));
    EXPECT_TRUE(FailsWith(lib, lib.AQPPHT(300, 1500), 100, "Read beyond end of file", "didizar.dat"));
    EXPECT_TRUE(FailsWith(lib, lib.AQPPST(20, 9.5), 100, "Read beyond end of file", "didizar.dat"));
}

TEST(ShortTable, FailedCallLeavesTheResultOfTheLastAnswerAlone) {
    InstanceSetup setup = StandardSetup();
    setup.saturationByPressure = SaturationByPressureTable(100);
    const LibraryInstance lib(setup);
    const double *first = lib.AQPPT(1);
    ASSERT_TRUE(first);
    const double answer = *first;
    EXPECT_TRUE(FailsWith(lib, lib.AQPPT(100), 100, "Read beyond end of file", "zarude.dat"));
    EXPECT_EQ(*first, answer);
}

TEST(UnreadableTable, ReadOnlyTablesAreRead) {
    const LibraryInstance lib(StandardSetup());
    for (const char *name : {"zarude.dat", "vevuzu.dat", "didizar.dat"})
        ASSERT_EQ(::chmod(lib.directory().file(name).c_str(), 0444), 0);
    EXPECT_TRUE(AnsweredCleanly(lib, lib.AQPPT(1)));
    EXPECT_EQ(*lib.AQPPT(1), Lib().Answer(Lib().AQPPT(1)));
    EXPECT_TRUE(AnsweredCleanly(lib, lib.AQPTP(100)));
    EXPECT_TRUE(AnsweredCleanly(lib, lib.AQPPTH(1, 50)));
    EXPECT_TRUE(AnsweredCleanly(lib, lib.AQPPHT(1, 3000)));
}

TEST(UnreadableTable, DirectoryInPlaceOfATableIsAccessDenied) {
    const LibraryInstance lib(Without(&InstanceSetup::saturationByPressure));
    std::filesystem::create_directory(lib.directory().file("zarude.dat"));
    EXPECT_TRUE(FailsWith(lib, lib.AQPPT(1), 5, "File access denied", "zarude.dat"));
    EXPECT_TRUE(FailsWith(lib, lib.AQPPHT(1, 1500), 5, "File access denied", "zarude.dat"));
}

TEST(UnreadableTable, FifoOrDeviceInPlaceOfATableIsAccessDenied) {
    const LibraryInstance lib(Without(&InstanceSetup::saturationByPressure));
    const std::string table = lib.directory().file("zarude.dat");
    // /dev/zero reads as a table of zeros.
    ASSERT_EQ(::symlink("/dev/zero", table.c_str()), 0);
    EXPECT_TRUE(FailsWith(lib, lib.AQPPT(1), 5, "File access denied", "zarude.dat"));
    EXPECT_TRUE(FailsWith(lib, lib.AQPPHT(1, 1500), 5, "File access denied", "zarude.dat"));
    // A FIFO is refused before it is read: one without a writer would block
    // the call, so this one has a writer with a record waiting.
    ASSERT_EQ(::unlink(table.c_str()), 0);
    ASSERT_EQ(::mkfifo(table.c_str(), 0600), 0);
    const int writer = ::open(table.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    const Bytes &record = StandardSaturationByPressure();
    ASSERT_EQ(::write(writer, record.data(), 28), 28);
    EXPECT_TRUE(FailsWith(lib, lib.AQPPT(1), 5, "File access denied", "zarude.dat"));
    EXPECT_TRUE(FailsWith(lib, lib.AQPPHT(1, 1500), 5, "File access denied", "zarude.dat"));
    ::close(writer);
}

TEST(UnrepresentableArgument, HugeInfiniteOrNaNFirstArgumentFailsWithOverflow) {
    for (double bad : {1e39, -1e39, kInfinity, -kInfinity, kNaN, std::ldexp(1.0, 127)}) {
        SCOPED_TRACE(bad);
        EXPECT_TRUE(FailsWith(Lib(), Lib().AQPPT(bad), 205, "Floating point overflow"));
        EXPECT_TRUE(FailsWith(Lib(), Lib().AQPTQH(bad, 0.5), 205, "Floating point overflow"));
        EXPECT_TRUE(FailsWith(Lib(), Lib().AQPPTH(bad, 100), 205, "Floating point overflow"));
        EXPECT_TRUE(FailsWith(Lib(), Lib().AQPPVQ(bad, 0.1), 205, "Floating point overflow"));
    }
}

TEST(UnrepresentableArgument, HugeInfiniteOrNaNSecondArgumentFailsWithOverflow) {
    // The second argument fails although the first alone would be refused.
    for (double bad : {1e39, -1e39, kInfinity, -kInfinity, kNaN, std::numeric_limits<double>::signaling_NaN()}) {
        SCOPED_TRACE(bad);
        EXPECT_TRUE(FailsWith(Lib(), Lib().AQPTQV(100, bad), 205, "Floating point overflow"));
        EXPECT_TRUE(FailsWith(Lib(), Lib().AQPPQS(1, bad), 205, "Floating point overflow"));
        EXPECT_TRUE(FailsWith(Lib(), Lib().AQPPTS(1, bad), 205, "Floating point overflow"));
        EXPECT_TRUE(FailsWith(Lib(), Lib().AQPPHT(0.001, bad), 205, "Floating point overflow"));
        EXPECT_TRUE(FailsWith(Lib(), Lib().AQPPSH(1, bad), 205, "Floating point overflow"));
    }
}

TEST(UnrepresentableArgument, LargestSixByteRealIsStillATestedPressure) {
    EXPECT_TRUE(AnsweredCleanly(Lib(), Lib().AQPPT(1.7e38)));
    EXPECT_EQ(*Lib().AQPPT(1.7e38), kAboveCriticalPressure);
    EXPECT_EQ(Lib().Answer(Lib().AQPPTH(1, -1.7e38)), kTemperatureOutOfRange);
}

TEST(UnrepresentableArgument, OverflowInTheUnitConversionFails) {
    // In "MPa" the pressure is multiplied by 10 on the way in.
    static const LibraryInstance mpa(StandardSetup({.pressure = 3}));
    EXPECT_TRUE(FailsWith(mpa, mpa.AQPPT(1.5e38), 205, "Floating point overflow"));
    EXPECT_TRUE(FailsWith(mpa, mpa.AQPPHT(-1.5e38, 100), 205, "Floating point overflow"));
    EXPECT_TRUE(AnsweredCleanly(mpa, mpa.AQPPT(1.5e37)));
    EXPECT_EQ(*mpa.AQPPT(1.5e37), kAboveCriticalPressure);
    EXPECT_EQ(mpa.Answer(mpa.AQPPT(0.1)), Lib().Answer(Lib().AQPPT(1)));
}

TEST(UnrepresentableArgument, FailureRecordIsClearedByTheNextAnswer) {
    EXPECT_TRUE(FailsWith(Lib(), Lib().AQPPT(1e39), 205, "Floating point overflow"));
    EXPECT_TRUE(AnsweredCleanly(Lib(), Lib().AQPPTH(1, 50)));
    EXPECT_TRUE(FailsWith(Lib(), Lib().AQPPT(kNaN), 205, "Floating point overflow"));
    EXPECT_TRUE(AnsweredCleanly(Lib(), Lib().AQPPT(0.001)));
}

}  // namespace
}  // namespace rudid::testing
