#include "support/real48_bytes.h"
#include "tables/saturation_by_temperature.h"

#include <gtest/gtest.h>

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

class SaturationByTemperatureTest : public ::testing::Test {
protected:
    void WriteTable(int records = 377) {
        table_ = testing::SaturationByTemperatureTable(records);
        // The synthetic water has zero pressure at 0 degC and so an infinite
        // vapour volume in record 1; give it a finite one.
        const float vapourVolumeAtZero = 206.3f;
        std::memcpy(table_.data() + 28 + 4 * kVapourVolume, &vapourVolumeAtZero, 4);
        dir_.write("vevuzu.dat", table_);
    }
    // The state at t, every field asked for.
    SaturationState At(Real48 t) {
        SaturationPoint point = SaturationAtTemperature(FileTableSource(prefix_.c_str()), Real48ToExtended(t));
        SaturationState state;
        for (int f = 0; f < kSaturationFields; ++f) state.field[f] = ExtendedToReal48(point.field(f));
        return state;
    }
    SaturationState At(Extended t) { return At(R(t)); }
    int FailureAt(Extended t) {
        try {
            At(t);
        } catch (const LibraryFailure &f) {
            return f.code;
        }
        return 0;
    }
    Real48 Stored(int record, int field) { return R(SingleAt(table_, 7 * record + field)); }
    void ExpectRecord(const SaturationState &state, int record) {
        for (int f = 0; f < kSaturationFields; ++f)
            EXPECT_EQ(BytesOf(state.field[f]), BytesOf(Stored(record, f)))
                << "record " << record << ", field " << f;
    }
    // The line through records a and b at weight w (exact for the weights
    // used here) from a's abscissa, rounded once.
    void ExpectBetween(const SaturationState &state, int a, int b, Extended w) {
        for (int f = 0; f < kSaturationFields; ++f) {
            const Extended ya = Real48ToExtended(Stored(a, f)), yb = Real48ToExtended(Stored(b, f));
            EXPECT_EQ(BytesOf(state.field[f]), BytesOf(R(ya + (yb - ya) * w))) << "field " << f;
        }
    }

    ScratchDirectory dir_;
    std::string prefix_ = dir_.prefix();
    std::vector<std::uint8_t> table_;
};

void ExpectBytes(const SaturationState &state, const Bytes (&expected)[kSaturationFields]) {
    for (int f = 0; f < kSaturationFields; ++f) EXPECT_EQ(BytesOf(state.field[f]), expected[f]) << "field " << f;
}

TEST_F(SaturationByTemperatureTest, ZeroGivesTheFixedValuesWithoutAFile) {
    // No vevuzu.dat in the directory at all.
    const Bytes expected[kSaturationFields] = {
        {0x79, 0x3A, 0x1F, 0x9E, 0x25, 0x48}, {0x77, 0x34, 0x94, 0x24, 0x19, 0x03},
        {0x88, 0xCD, 0xCC, 0xCC, 0x4C, 0x4E}, {0x7C, 0x71, 0x3D, 0x0A, 0xD7, 0xA3},
        {0x8C, 0x9A, 0x99, 0x99, 0x59, 0x1C}, {0x74, 0xE2, 0x58, 0x17, 0xB7, 0xD1},
        {0x84, 0x69, 0x6F, 0xF0, 0x85, 0x12}};
    ExpectBytes(At(0.0L), expected);
    // The fixed values are the Real48 nearest to their decimals.
    const Extended decimals[] = {0.006108L, 0.0010002L, 206.3L, -0.04L, 2501.6L, -0.0002L, 9.1577L};
    for (int f = 0; f < kSaturationFields; ++f) EXPECT_EQ(BytesOf(R(decimals[f])), expected[f]) << f;
}

TEST_F(SaturationByTemperatureTest, JustAboveZeroGivesTheSecondFixedSetWithoutAFile) {
    const Bytes expected[kSaturationFields] = {
        {0x79, 0x7C, 0x0E, 0x2C, 0x47, 0x48}, {0x77, 0x34, 0x94, 0x24, 0x19, 0x03},
        {0x88, 0x33, 0x33, 0x33, 0x33, 0x4E}, {0, 0, 0, 0, 0, 0},
        {0x8C, 0x9A, 0x99, 0x99, 0x59, 0x1C}, {0, 0, 0, 0, 0, 0},
        {0x84, 0x52, 0xB8, 0x1E, 0x85, 0x12}};
    ExpectBytes(At(0.005L), expected);
    // The whole open interval up to the extended 0.01: the smallest Real48
    // and the one just below the Real48 nearest to 0.01 (which lies above
    // the extended 0.01 and reads the file).
    ExpectBytes(At(Real48{{0x01, 0, 0, 0, 0, 0}}), expected);
    Real48 belowHundredth = R(0.01L);
    ASSERT_GT(Real48ToExtended(belowHundredth), 0.01L);
    ASSERT_NE(belowHundredth.bytes[1], 0);
    --belowHundredth.bytes[1];
    ASSERT_LT(Real48ToExtended(belowHundredth), 0.01L);
    ExpectBytes(At(belowHundredth), expected);
}

TEST_F(SaturationByTemperatureTest, HundredthOfADegreeReadsTheFirstTwoRecords) {
    WriteTable();
    // The lower end is the file's 0 degC record, not a fixed value; the
    // weight on record 2 is the Real48 0.01 itself (abscissae 0 and 1).
    ExpectBetween(At(0.01L), 1, 2, Real48ToExtended(R(0.01L)));
}

TEST_F(SaturationByTemperatureTest, WholeDegreesGiveTheirOwnRecordExactly) {
    WriteTable();
    for (int t = 1; t <= 374; ++t) {
        SCOPED_TRACE(t);
        ExpectRecord(At(Extended(t)), t + 1);
    }
}

TEST_F(SaturationByTemperatureTest, HalfDegreeIsTheMeanOfItsNeighbours) {
    WriteTable();
    ExpectBetween(At(373.5L), 374, 375, 0.5L);
    ExpectBetween(At(20.5L), 21, 22, 0.5L);
}

TEST_F(SaturationByTemperatureTest, LastIntervalEndsAtTheCriticalTemperature) {
    WriteTable();
    const Real48 tc = R(374.15L);
    ASSERT_EQ(BytesOf(tc), (Bytes{0x89, 0x33, 0x33, 0x33, 0x13, 0x3B}));
    ExpectRecord(At(tc), 376);

    // 374.1 degC on the line from record 375 (374 degC) to record 376 at the
    // Real48 374.15, not at 375.
    const Real48 t = R(374.1L);
    const Extended d = Real48ToExtended(t) - 374, width = Real48ToExtended(tc) - 374;
    const SaturationState state = At(t);
    for (int f = 0; f < kSaturationFields; ++f) {
        const Extended ya = Real48ToExtended(Stored(375, f)), yb = Real48ToExtended(Stored(376, f));
        EXPECT_EQ(BytesOf(state.field[f]), BytesOf(R(ya + ((yb - ya) * d) / width))) << "field " << f;
    }
}

TEST_F(SaturationByTemperatureTest, ShortFileFailsOnlyWhereAMissingRecordIsNeeded) {
    // Records 0..299: temperatures up to 298 degC. A whole degree reads its
    // own record and the next one.
    WriteTable(300);
    EXPECT_EQ(FailureAt(297.5L), 0);
    ExpectRecord(At(297.0L), 298);
    EXPECT_EQ(FailureAt(298), kReadBeyondEndOfFile);
    EXPECT_EQ(FailureAt(374.15L), kReadBeyondEndOfFile);
}

TEST_F(SaturationByTemperatureTest, MissingFileFailsAboveAHundredthOfADegree) {
    EXPECT_EQ(FailureAt(0.01L), kFileNotFound);
    EXPECT_EQ(FailureAt(100), kFileNotFound);
    EXPECT_EQ(FailureAt(0.005L), 0);
}

}  // namespace
}  // namespace rudid
