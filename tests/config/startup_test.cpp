#include "config/startup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace rudid {
namespace {

using testing::ScratchDirectory;

const std::string kCorruptMessage = "File is corrupt or missing! \"default.cfg\" is corrupt or missing!";

std::vector<std::uint8_t> Words(std::initializer_list<int> values) {
    std::vector<std::uint8_t> bytes;
    for (int v : values) {
        const auto word = std::uint16_t(v);
        bytes.push_back(std::uint8_t(word & 0xFF));
        bytes.push_back(std::uint8_t(word >> 8));
    }
    return bytes;
}

// 31 distinct words, some negative, some with both bytes in use.
std::vector<std::uint8_t> FullFile() {
    std::vector<std::uint8_t> bytes;
    for (int k = 0; k < kUnitSelectionWordCount; ++k) {
        const std::vector<std::uint8_t> w = Words({k % 3 == 0 ? -k - 1 : 0x0100 * k + 2 * k + 1});
        bytes.insert(bytes.end(), w.begin(), w.end());
    }
    return bytes;
}

std::int16_t WordAt(const std::vector<std::uint8_t> &bytes, int k) {
    return std::int16_t(std::uint16_t(bytes[2 * k] | (bytes[2 * k + 1] << 8)));
}

class LoadConfigurationTest : public ::testing::Test {
protected:
    StartupConfiguration Load(const std::string &directory) {
        StartupConfiguration configuration{};
        LoadConfiguration(directory.c_str(), &configuration);
        return configuration;
    }
    StartupConfiguration LoadWith(const std::vector<std::uint8_t> &file) {
        dir_.write("default.cfg", file);
        return Load(dir_.path());
    }
    static void ExpectWords(const StartupConfiguration &c, const std::vector<int> &expected) {
        for (int k = 0; k < kUnitSelectionWordCount; ++k) {
            const int want = k < int(expected.size()) ? expected[k] : 0;
            EXPECT_EQ(c.unitSelections[k], want) << "word " << k;
        }
    }

    ScratchDirectory dir_;
};

TEST_F(LoadConfigurationTest, CompleteFileFillsAllWordsWithoutAMessage) {
    const std::vector<std::uint8_t> file = FullFile();
    ASSERT_EQ(file.size(), 62u);
    const StartupConfiguration c = LoadWith(file);
    for (int k = 0; k < kUnitSelectionWordCount; ++k) EXPECT_EQ(c.unitSelections[k], WordAt(file, k)) << "word " << k;
    EXPECT_STREQ(c.startupMessage, "");
}

TEST_F(LoadConfigurationTest, BytesAfterTheLastWordAreIgnored) {
    std::vector<std::uint8_t> file = FullFile();
    file.insert(file.end(), {0x11, 0x22, 0x33, 0x44, 0x55});
    const StartupConfiguration c = LoadWith(file);
    for (int k = 0; k < kUnitSelectionWordCount; ++k) EXPECT_EQ(c.unitSelections[k], WordAt(file, k)) << "word " << k;
    EXPECT_STREQ(c.startupMessage, "");
}

TEST_F(LoadConfigurationTest, SelectionsAreSignedLittleEndianWords) {
    std::vector<std::uint8_t> file = FullFile();
    file[0] = 0xFF, file[1] = 0xFF;  // -1
    file[2] = 0x02, file[3] = 0x01;  // 258
    file[4] = 0x00, file[5] = 0x80;  // -32768
    const StartupConfiguration c = LoadWith(file);
    EXPECT_EQ(c.unitSelections[0], -1);
    EXPECT_EQ(c.unitSelections[1], 258);
    EXPECT_EQ(c.unitSelections[2], -32768);
}

TEST_F(LoadConfigurationTest, ShortFileFillsTheWordsItHoldsAndStoresTheMessage) {
    const StartupConfiguration c = LoadWith(Words({3, 1, 2, 0, 5}));
    ExpectWords(c, {3, 1, 2, 0, 5});
    EXPECT_EQ(std::string(c.startupMessage), kCorruptMessage);
    EXPECT_EQ(kCorruptMessage.size(), 64u);
}

TEST_F(LoadConfigurationTest, OddTrailingByteLandsInTheLowByteOfItsWord) {
    std::vector<std::uint8_t> file = Words({3, 1, 2, 0, 5});
    file.push_back(0xC7);
    const StartupConfiguration c = LoadWith(file);
    ExpectWords(c, {3, 1, 2, 0, 5, 0xC7});
    EXPECT_EQ(std::string(c.startupMessage), kCorruptMessage);
}

TEST_F(LoadConfigurationTest, FileWithoutTheReservedWordsKeepsAllSelectionsButStoresTheMessage) {
    std::vector<std::uint8_t> file = FullFile();
    file.resize(52);
    const StartupConfiguration c = LoadWith(file);
    for (int k = 0; k < kQuantityCodeCount; ++k) EXPECT_EQ(c.unitSelections[k], WordAt(file, k)) << "word " << k;
    for (int k = kQuantityCodeCount; k < kUnitSelectionWordCount; ++k) EXPECT_EQ(c.unitSelections[k], 0) << "word " << k;
    EXPECT_EQ(std::string(c.startupMessage), kCorruptMessage);
}

TEST_F(LoadConfigurationTest, MissingOrEmptyFileLeavesEverySelectionZeroAndStoresTheMessage) {
    StartupConfiguration c = Load(dir_.path());
    ExpectWords(c, {});
    EXPECT_EQ(std::string(c.startupMessage), kCorruptMessage);

    c = LoadWith({});
    ExpectWords(c, {});
    EXPECT_EQ(std::string(c.startupMessage), kCorruptMessage);

    c = Load(dir_.file("no-such-directory"));
    ExpectWords(c, {});
    EXPECT_EQ(std::string(c.startupMessage), kCorruptMessage);
}

TEST_F(LoadConfigurationTest, ReadOnlyFileIsRead) {
    const std::vector<std::uint8_t> file = FullFile();
    dir_.write("default.cfg", file);
    ASSERT_EQ(chmod(dir_.file("default.cfg").c_str(), 0444), 0);
    const StartupConfiguration c = Load(dir_.path());
    for (int k = 0; k < kUnitSelectionWordCount; ++k) EXPECT_EQ(c.unitSelections[k], WordAt(file, k)) << "word " << k;
    EXPECT_STREQ(c.startupMessage, "");
}

TEST_F(LoadConfigurationTest, WhatIsNotARegularFileIsNotReadAndStoresTheMessage) {
    // /dev/zero would give 62 zero bytes, and a FIFO would hold the load
    // until someone wrote to it.
    ASSERT_EQ(::symlink("/dev/zero", dir_.file("default.cfg").c_str()), 0);
    StartupConfiguration c = Load(dir_.path());
    EXPECT_EQ(std::string(c.startupMessage), kCorruptMessage);
    ASSERT_EQ(::unlink(dir_.file("default.cfg").c_str()), 0);
    ASSERT_EQ(::mkdir(dir_.file("default.cfg").c_str(), 0700), 0);
    c = Load(dir_.path());
    EXPECT_EQ(std::string(c.startupMessage), kCorruptMessage);
}

TEST_F(LoadConfigurationTest, DataDirectoryIsTheValueWithOneSeparatorAppended) {
    EXPECT_EQ(std::string(Load(dir_.path()).dataDirectory), dir_.path() + "/");
    EXPECT_EQ(std::string(Load("").dataDirectory), "/");
    EXPECT_EQ(std::string(Load("C:\\").dataDirectory), "C:\\/");
    // Appended also after a separator already there.
    EXPECT_EQ(std::string(Load(dir_.path() + "/").dataDirectory), dir_.path() + "//");
}

TEST_F(LoadConfigurationTest, LongestIniValueFitsTheDataDirectory) {
    const std::string value(254, 'd');
    const StartupConfiguration c = Load(value);
    EXPECT_EQ(std::string(c.dataDirectory), value + "/");
}

// The process-wide start-up, from the INI file named by ZAREVIRU_INI.
TEST(LoadStartupConfiguration, ReadsTheIniFileThenDefaultCfg) {
    ScratchDirectory dir;
    const std::vector<std::uint8_t> file = FullFile();
    dir.write("default.cfg", file);
    dir.write("ZAREVIRU.INI", "[STARTUP]\nDIR=" + dir.path() + "\n");

    const char *saved = std::getenv("ZAREVIRU_INI");
    const std::string savedValue = saved ? saved : "";
    setenv("ZAREVIRU_INI", dir.file("ZAREVIRU.INI").c_str(), 1);
    LoadStartupConfiguration();
    if (saved)
        setenv("ZAREVIRU_INI", savedValue.c_str(), 1);
    else
        unsetenv("ZAREVIRU_INI");

    EXPECT_EQ(std::string(Startup().dataDirectory), dir.path() + "/");
    for (int k = 0; k < kUnitSelectionWordCount; ++k) EXPECT_EQ(Startup().unitSelections[k], WordAt(file, k)) << "word " << k;
    EXPECT_STREQ(Startup().startupMessage, "");
}

}  // namespace
}  // namespace rudid
