#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "config/startup.h"
#include "platform/platform.h"
#include "support/test_files.h"

namespace rudid {
namespace {

using testing::ScratchDirectory;

// Points ZAREVIRU_INI at INI files in a scratch directory and puts the
// variable back as it was afterwards.
class StartupIniTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char *value = std::getenv("ZAREVIRU_INI");
        hadValue_ = value != nullptr;
        if (value) savedValue_ = value;
    }
    void TearDown() override {
        if (hadValue_)
            setenv("ZAREVIRU_INI", savedValue_.c_str(), 1);
        else
            unsetenv("ZAREVIRU_INI");
    }

    // The directory value read from an INI file with this text.
    std::string ValueFrom(const std::string &iniText) {
        dir_.write("ZAREVIRU.INI", iniText);
        setenv("ZAREVIRU_INI", dir_.file("ZAREVIRU.INI").c_str(), 1);
        return Read();
    }
    static std::string Read() {
        char buffer[256];
        std::memset(buffer, 'x', sizeof buffer);
        platform::ReadStartupDirectoryValue(buffer, sizeof buffer);
        return buffer;
    }

    // The value read in a child process that is ended after a minute, so
    // that a read which blocks fails the test instead of holding up the run.
    static std::string ReadInChildProcess() {
        int fds[2];
        if (::pipe(fds) != 0) return "(no pipe)";
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            ::alarm(60);
            const std::string value = Read();
            const bool written = ::write(fds[1], value.data(), value.size()) == ssize_t(value.size());
            ::_exit(written ? 0 : 1);
        }
        ::close(fds[1]);
        std::string value;
        char block[512];
        for (ssize_t got; (got = ::read(fds[0], block, sizeof block)) > 0;) value.append(block, std::size_t(got));
        ::close(fds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "(the read did not finish)";
        return value;
    }

    ScratchDirectory dir_;
    bool hadValue_ = false;
    std::string savedValue_;
};

TEST_F(StartupIniTest, ReadsDirFromTheStartupSection) {
    EXPECT_EQ(ValueFrom("[STARTUP]\nDIR=/opt/water/tables\n"), "/opt/water/tables");
    EXPECT_EQ(ValueFrom("[OTHER]\nDIR=/wrong\n[STARTUP]\nLANG=1\nDIR=/right\n[LATER]\nDIR=/late\n"), "/right");
}

TEST_F(StartupIniTest, SectionAndKeyMatchWithoutRegardToCase) {
    EXPECT_EQ(ValueFrom("[startup]\ndir=/lower\n"), "/lower");
    EXPECT_EQ(ValueFrom("[StartUp]\nDiR=/mixed\n"), "/mixed");
}

TEST_F(StartupIniTest, BlanksAroundKeyAndValueAreIgnored) {
    EXPECT_EQ(ValueFrom("[STARTUP]\n   DIR   =   /with inner blank  \t\n"), "/with inner blank");
    EXPECT_EQ(ValueFrom("  [STARTUP]  \r\nDIR=/crlf\r\n"), "/crlf");
}

TEST_F(StartupIniTest, OnePairOfEnclosingQuotesIsRemoved) {
    EXPECT_EQ(ValueFrom("[STARTUP]\nDIR=\"/quoted dir\"\n"), "/quoted dir");
    EXPECT_EQ(ValueFrom("[STARTUP]\nDIR=  \"/quoted\"  \n"), "/quoted");
    EXPECT_EQ(ValueFrom("[STARTUP]\nDIR=\"\"/twice\"\"\n"), "\"/twice\"");
    // A quote on one side only stays.
    EXPECT_EQ(ValueFrom("[STARTUP]\nDIR=\"/open\n"), "\"/open");
}

TEST_F(StartupIniTest, LongValueIsCutTo254Characters) {
    const std::string longValue = "/" + std::string(299, 'a');
    EXPECT_EQ(ValueFrom("[STARTUP]\nDIR=" + longValue + "\n"), longValue.substr(0, 254));
    const std::string exact(254, 'b');
    EXPECT_EQ(ValueFrom("[STARTUP]\nDIR=" + exact + "\n"), exact);
}

TEST_F(StartupIniTest, MissingSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(ValueFrom("[STARTUP]\nDIRECTORY=/not/this\n"), "C:\\");
    EXPECT_EQ(ValueFrom("[OTHER]\nDIR=/not/this\n"), "C:\\");
    EXPECT_EQ(ValueFrom(""), "C:\\");
    EXPECT_EQ(ValueFrom("[STARTUP]\n;DIR=/commented/out\n"), "C:\\");
}

TEST_F(StartupIniTest, EmptyValueGivesAnEmptyTextAndTheRootDirectory) {
    const std::string value = ValueFrom("[STARTUP]\nDIR=\n");
    EXPECT_EQ(value, "");
    StartupConfiguration configuration{};
    LoadConfiguration(value.c_str(), &configuration);
    EXPECT_STREQ(configuration.dataDirectory, "/");
}

TEST_F(StartupIniTest, LineOfAnyLengthIsOneLine) {
    // A comment longer than any buffer must not spill into a line of its own:
    // 10,000 characters with "DIR=/evil" where a 4096-byte reader's third
    // piece would begin.
    std::string comment = ";" + std::string(2 * 4095 - 1, 'x') + "DIR=/evil";
    comment.resize(10000, ' ');
    EXPECT_EQ(ValueFrom("[STARTUP]\n" + comment + "\nDIR=/good\n"), "/good");
    for (std::size_t length : {4094u, 4095u, 4096u, 4097u, 8191u, 8192u})
        EXPECT_EQ(ValueFrom("[STARTUP]\n;" + std::string(length, 'y') + "DIR=/evil\nDIR=/good\n"), "/good")
            << length;
    // A long value line is read whole before it is cut.
    const std::string spaced = "DIR=" + std::string(6000, ' ') + "/far/right";
    EXPECT_EQ(ValueFrom("[STARTUP]\n" + spaced + "\n"), "/far/right");
}

TEST_F(StartupIniTest, UtfEightByteOrderMarkIsSkipped) {
    EXPECT_EQ(ValueFrom("\xEF\xBB\xBF[STARTUP]\r\nDIR=/after/bom\r\n"), "/after/bom");
    // Only at the very start of the file.
    EXPECT_EQ(ValueFrom("[STARTUP]\n\xEF\xBB\xBF" "DIR=/x\nDIR=/second\n"), "/second");
}

TEST_F(StartupIniTest, LinesMayEndInLfCrOrCrLf) {
    EXPECT_EQ(ValueFrom("[STARTUP]\rDIR=/lone/cr\r"), "/lone/cr");
    EXPECT_EQ(ValueFrom("[OTHER]\rDIR=/no\r[STARTUP]\r\nLANG=1\nDIR=/mixed\r"), "/mixed");
    EXPECT_EQ(ValueFrom("[STARTUP]\nDIR=/no/final/end"), "/no/final/end");
    // A comment ended by a lone CR hides only itself.
    EXPECT_EQ(ValueFrom("[STARTUP]\r;DIR=/commented\rDIR=/real\r"), "/real");
}

TEST_F(StartupIniTest, FirstDirInTheSectionWins) {
    EXPECT_EQ(ValueFrom("[STARTUP]\nDIR=/first\ndir=/second\n"), "/first");
    EXPECT_EQ(ValueFrom("[STARTUP]\nDIR=\nDIR=/second\n"), "");
    // A line that names the key without "=" is the key without a value.
    EXPECT_EQ(ValueFrom("[STARTUP]\nDIR\nDIR=/later\n"), "C:\\");
    EXPECT_EQ(ValueFrom("[STARTUP]\n  dir  \r\nDIR=/later\n"), "C:\\");
    EXPECT_EQ(ValueFrom("[STARTUP]\nDIRECTORY\nDIR=/later\n"), "/later");
}

TEST_F(StartupIniTest, OnlyTheFirstSectionOfTheNameIsSearched) {
    EXPECT_EQ(ValueFrom("[STARTUP]\nLANG=1\n[STARTUP]\nDIR=/in/second/section\n"), "C:\\");
    EXPECT_EQ(ValueFrom("[STARTUP]\nLANG=1\n[OTHER]\n[startup]\nDIR=/in/second/section\n"), "C:\\");
    EXPECT_EQ(ValueFrom("[STARTUP]\nDIR=/first\n[STARTUP]\nDIR=/second\n"), "/first");
}

// text as UTF-16 with a byte-order mark.
std::string Utf16(const std::u16string &text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : text) {
        const char high = char(c >> 8), low = char(c & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

TEST_F(StartupIniTest, UtfSixteenFileWithAByteOrderMarkIsReadAsUtfEight) {
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
        EXPECT_EQ(ValueFrom(Utf16(u"[STARTUP]\r\nDIR=/opt/water\r\n", bigEndian)), "/opt/water");
        // U+00E9, U+20AC and U+1F4A7 (a surrogate pair); a lone surrogate is "?".
        EXPECT_EQ(ValueFrom(Utf16(u"[startup]\nDIR=/caf\u00e9/\u20ac/\U0001F4A7/\xD800x\n", bigEndian)),
                  "/caf\xC3\xA9/\xE2\x82\xAC/\xF0\x9F\x92\xA7/?x");
    }
    // Without the mark, the same bytes are not text of this file.
    EXPECT_EQ(ValueFrom(Utf16(u"[STARTUP]\nDIR=/x\n", false).substr(2)), "C:\\");
}

TEST_F(StartupIniTest, FileTooLargeForAnIniFileGivesTheDefault) {
    // Two MiB of comment after the value: the file is refused, not read.
    const std::string text = "[STARTUP]\nDIR=/big\n;" + std::string(2 << 20, 'x') + "\n";
    EXPECT_EQ(ValueFrom(text), "C:\\");
    EXPECT_EQ(ValueFrom(text.substr(0, 1 << 20)), "/big");
}

TEST_F(StartupIniTest, WhatIsNotARegularFileCountsAsMissing) {
    unsetenv("ZAREVIRU_INI");
    const std::string withoutVariable = Read();
    // A FIFO that nobody writes would block an ordinary open for ever; a
    // device such as /dev/zero would never end (/dev/null stands for the
    // devices here: it ends at once, whatever the reader).
    const std::string fifo = dir_.file("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    setenv("ZAREVIRU_INI", fifo.c_str(), 1);
    EXPECT_EQ(ReadInChildProcess(), withoutVariable);
    setenv("ZAREVIRU_INI", "/dev/null", 1);
    EXPECT_EQ(Read(), withoutVariable);
    setenv("ZAREVIRU_INI", dir_.path().c_str(), 1);
    EXPECT_EQ(Read(), withoutVariable);
}

bool ExistsBesideThisProgram() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return true;  // cannot tell: assume it might
    self[length] = '\0';
    return std::filesystem::exists(std::filesystem::path(self).parent_path() / "ZAREVIRU.INI");
}

// CACHE is read from the same file by the same rules as DIR, and as a
// number the way the profile services read one; only 1 turns it on.
TEST_F(StartupIniTest, CacheValueIsReadAsAProfileInteger) {
    const struct {
        const char *lines;
        int expected;
    } cases[] = {
        {"CACHE=1", 1},       {"cache = 1 ", 1},  {"CACHE=\"1\"", 1}, {"CACHE=1x", 1},  {"CACHE=0x1", 1},
        {"CACHE=+01", 1},     {"CACHE=0", 0},     {"CACHE=on", 0},     {"CACHE=2", 2},   {"CACHE=-1", -1},
        {"CACHE=", 7},        {"CACHE", 7},       {"DIR=/x", 7},       {"CACHE=1\nCACHE=0", 1},
    };
    for (const auto &c : cases) {
        dir_.write("ZAREVIRU.INI", std::string("[STARTUP]\n") + c.lines + "\n[OTHER]\nCACHE=5\n");
        setenv("ZAREVIRU_INI", dir_.file("ZAREVIRU.INI").c_str(), 1);
        EXPECT_EQ(platform::ReadStartupIntegerValue("CACHE", 7), c.expected) << c.lines;
    }
    dir_.write("ZAREVIRU.INI", "[OTHER]\nCACHE=1\n");
    EXPECT_EQ(platform::ReadStartupIntegerValue("CACHE", 0), 0) << "a key of another section";
}

TEST_F(StartupIniTest, MissingFileNamedByTheVariableFallsThroughToTheNextPlace) {
    unsetenv("ZAREVIRU_INI");
    const std::string withoutVariable = Read();

    setenv("ZAREVIRU_INI", dir_.file("no-such.ini").c_str(), 1);
    EXPECT_EQ(Read(), withoutVariable);
    setenv("ZAREVIRU_INI", "", 1);
    EXPECT_EQ(Read(), withoutVariable);

    if (ExistsBesideThisProgram() || std::filesystem::exists("/etc/ZAREVIRU.INI"))
        GTEST_SKIP() << "an INI file in one of the later places decides the value here";
    EXPECT_EQ(withoutVariable, "C:\\");
}

}  // namespace
}  // namespace rudid
