#include "support/real48_bytes.h"
#include "tables/saturation_by_pressure.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "common/failure.h"

namespace rudid {
namespace {

using testing::ScratchDirectory;
using testing::SingleAt;
using Bytes = testing::Real48Bytes;
using testing::BytesOf;

Real48 R(Extended v) { return ExtendedToReal48(v); }

template <typename Call>
int FailureCodeOf(Call call) {
    try {
        call();
    } catch (const LibraryFailure &f) {
        return f.code;
    }
    return 0;
}

class SaturationByPressureTest : public ::testing::Test {
protected:
    void WriteTable(int records = 292) {
        table_ = testing::SaturationByPressureTable(records);
        dir_.write("zarude.dat", table_);
    }
    // The state at p rounded to Real48, every field asked for.
    SaturationState At(Extended p) {
        SaturationPoint point = SaturationAtPressure(FileTableSource(prefix_.c_str()), Real48ToExtended(R(p)));
        SaturationState state;
        for (int f = 0; f < kSaturationFields; ++f) state.field[f] = ExtendedToReal48(point.field(f));
        return state;
    }
    int FailureAt(Extended p) {
        return FailureCodeOf([&] { At(p); });
    }
    // Field f of record r of the table, as it enters the arithmetic.
    Real48 Stored(int record, int field) { return R(SingleAt(table_, 7 * record + field)); }
    void ExpectRecord(const SaturationState &state, int record) {
        for (int f = 0; f < kSaturationFields; ++f)
            EXPECT_EQ(BytesOf(state.field[f]), BytesOf(Stored(record, f)))
                << "record " << record << ", field " << f;
    }

    ScratchDirectory dir_;
    std::string prefix_ = dir_.prefix();
    std::vector<std::uint8_t> table_;
};

TEST_F(SaturationByPressureTest, LowestPressureGivesTheFirstRecordExactly) {
    WriteTable();
    ExpectRecord(At(0.01L), 0);
}

TEST_F(SaturationByPressureTest, GridPressuresGiveTheirOwnRecordExactly) {
    WriteTable();
    ExpectRecord(At(1), 55);
    ExpectRecord(At(10), 120);
    ExpectRecord(At(30), 160);
    ExpectRecord(At(100), 230);
    ExpectRecord(At(0.1L), 18);
    ExpectRecord(At(5.2L), 96);
}

TEST_F(SaturationByPressureTest, CriticalPressureGivesTheLastRecordWithoutReadingPastIt) {
    // A file of exactly 292 records: a read past record 291 would fail.
    WriteTable(292);
    ExpectRecord(At(221.2L), 291);
}

TEST_F(SaturationByPressureTest, HalfWayBetweenGridPointsGivesTheMeanRoundedToReal48) {
    WriteTable();
    const SaturationState state = At(101);
    for (int f = 0; f < kSaturationFields; ++f) {
        const Extended mean = (Real48ToExtended(Stored(230, f)) + Real48ToExtended(Stored(231, f))) / 2;
        EXPECT_EQ(BytesOf(state.field[f]), BytesOf(R(mean))) << "field " << f;
    }
}

TEST_F(SaturationByPressureTest, MissingFileFailsWithFileNotFound) {
    EXPECT_EQ(FailureAt(1), kFileNotFound);
}

TEST_F(SaturationByPressureTest, MissingDirectoryFailsWithInvalidFilename) {
    prefix_ = dir_.file("no-such-directory") + "/";
    EXPECT_EQ(FailureAt(1), kInvalidFilename);
}

TEST_F(SaturationByPressureTest, DataDirectoryThatIsAFileFailsWithInvalidFilename) {
    dir_.write("plain-file", std::string("not a directory"));
    prefix_ = dir_.file("plain-file") + "/";
    EXPECT_EQ(FailureAt(1), kInvalidFilename);
}

TEST_F(SaturationByPressureTest, ShortFileFailsOnlyWhereAMissingRecordIsNeeded) {
    // Records 0..199: points 1..200, the last of them 69 bar.
    WriteTable(200);
    ExpectRecord(At(68), 198);
    EXPECT_EQ(FailureAt(68.5L), 0);
    EXPECT_EQ(FailureAt(69), kReadBeyondEndOfFile);
    EXPECT_EQ(FailureAt(150), kReadBeyondEndOfFile);
    EXPECT_EQ(FailureAt(221.2L), kReadBeyondEndOfFile);
}

TEST_F(SaturationByPressureTest, ReadOnlyFileIsRead) {
    WriteTable();
    ASSERT_EQ(chmod(dir_.file("zarude.dat").c_str(), 0444), 0);
    ExpectRecord(At(10), 120);
}

TEST_F(SaturationByPressureTest, FileNameIsJoinedToTheDirectoryPrefixWithoutSeparator) {
    // A prefix that is not a directory: "<dir>/tab" + "zarude.dat".
    table_ = testing::SaturationByPressureTable();
    dir_.write("tabzarude.dat", table_);
    prefix_ = dir_.file("tab");
    ExpectRecord(At(30), 160);
}

}  // namespace
}  // namespace rudid
