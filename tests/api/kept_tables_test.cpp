// Tables kept in memory (CACHE=1): a file replaced, cut short or removed
// is seen from the next check on, with exactly the answers or failures of a
// library that reads the files on every call; no file stays open between
// calls; and under many threads a check that replaces a snapshot never
// pulls it from under a call that reads it (these tests also run under
// ThreadSanitizer, tools/test.sh).
#include <dirent.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "api/library_instance.h"
#include "common/failure.h"
#include "tables/process_table_cache.h"

namespace rudid::testing {
namespace {

int OpenDescriptors() {
    int count = 0;
    DIR *dir = ::opendir("/proc/self/fd");
    if (!dir) return -1;
    while (const dirent *entry = ::readdir(dir)) count += entry->d_name[0] != '.';
    ::closedir(dir);
    return count;
}

struct Probe {
    const char *name;
    double a, b;
};

// Calls that read each table: the single-phase table at low and at high
// pressure (past the isobars of a cut file), both saturation tables; and a
// state whose flags tell the shipped tables (coarse grid by the critical
// point) from a replacement that varies linearly above it.
constexpr Probe kProbes[] = {{"AQPPTH", 10, 300}, {"AQPPTH", 500, 600}, {"AQPPHT", 10, 3000},
                             {"AQPPHT", 800, 2500}, {"AQPPT", 10, 0},    {"AQPTP", 200, 0},
                             {"AQPPTV", 265, 395}};

// What each probe gave, as text: the answer's bits and its flags (from the
// same kept tables, and what the thread has worked out of them), or the
// failure's code and message with the library's data directory written as
// "<dir>/".
std::string Outcomes(const LibraryInstance &lib) {
    const auto flagsOf = lib.Symbol<decltype(&::RudidStateFlags)>("RudidStateFlags");
    std::string text;
    for (const Probe &p : kProbes) {
        const double *r = lib.Call(p.name, p.a, p.b);
        char line[1200];
        if (r) {
            std::snprintf(line, sizeof line, "%s %a flags %d\n", p.name, *r, flagsOf(p.name, p.a, p.b));
        } else {
            std::string message = lib.RudidLastErrorMessage();
            const std::string dir = lib.dataPrefix();
            if (const auto at = message.find(dir); at != std::string::npos) message.replace(at, dir.size(), "<dir>/");
            std::snprintf(line, sizeof line, "%s fails %d %s\n", p.name, lib.RudidLastError(), message.c_str());
        }
        text += line;
    }
    return text;
}

// Long enough for the next call to check the files again (a second).
void AwaitNextCheck() { std::this_thread::sleep_for(std::chrono::milliseconds(1150)); }

Bytes Cut(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

TEST(KeptTables, ReplacedCutAndRemovedFilesAreSeenAtTheNextCheckAsTheFileReadingCallsSeeThem) {
    InstanceSetup setup = ShippedSetup();
    setup.moreStartupLines = "CACHE=1\n";
    const LibraryInstance kept(setup);
    const Bytes shipped = *ShippedSetup().singlePhase;

    // Libraries that read the files on every call, one per state of didizar.dat.
    InstanceSetup replacedSetup = ShippedSetup(), cutSetup = ShippedSetup(), missingSetup = ShippedSetup();
    replacedSetup.singlePhase = SinglePhaseTableVaryingAboveCritical();
    cutSetup.singlePhase = Cut(shipped, 100 * 972 + 500);
    missingSetup.singlePhase.reset();
    const LibraryInstance asShipped(ShippedSetup()), asReplaced(replacedSetup), asCut(cutSetup),
        asMissing(missingSetup);
    ASSERT_NE(Outcomes(asShipped), Outcomes(asReplaced));
    ASSERT_NE(Outcomes(asCut), Outcomes(asShipped));
    ASSERT_NE(Outcomes(asCut), Outcomes(asMissing));

    const int descriptors = OpenDescriptors();
    const std::string path = kept.directory().file("didizar.dat");
    EXPECT_EQ(Outcomes(kept), Outcomes(asShipped));

    kept.directory().write("didizar.new", *replacedSetup.singlePhase);
    std::filesystem::rename(kept.directory().file("didizar.new"), path);
    AwaitNextCheck();
    EXPECT_EQ(Outcomes(kept), Outcomes(asReplaced)) << "a file replaced by another";

    // Rewritten in place, shorter: same file, another size and time.
    kept.directory().write("didizar.dat", *cutSetup.singlePhase);
    AwaitNextCheck();
    EXPECT_EQ(Outcomes(kept), Outcomes(asCut)) << "a file cut short in place";

    std::filesystem::remove(path);
    AwaitNextCheck();
    EXPECT_EQ(Outcomes(kept), Outcomes(asMissing)) << "a file removed";

    kept.directory().write("didizar.dat", shipped);
    AwaitNextCheck();
    EXPECT_EQ(Outcomes(kept), Outcomes(asShipped)) << "the file back";
    EXPECT_EQ(OpenDescriptors(), descriptors) << "a table file left open between calls";
}

TEST(KeptTables, AnyValueButOneReadsTheFilesOnEveryCall) {
    InstanceSetup setup = ShippedSetup();
    setup.moreStartupLines = "CACHE=yes\n";
    const LibraryInstance lib(setup);
    const std::string before = Outcomes(lib);
    std::filesystem::remove(lib.directory().file("didizar.dat"));
    // No wait: a call that reads the file sees it gone at once.
    EXPECT_NE(Outcomes(lib), before);
}

// Through the exports: threads that start together share the first read of
// the kept tables and then read them at once, with the answers of the
// calls that read the files.
TEST(Concurrency, EightThreadsOfCallsFromKeptTablesGiveTheAnswersOfTheFiles) {
    InstanceSetup setup = ShippedSetup();
    setup.moreStartupLines = "CACHE=1\n";
    const LibraryInstance kept(setup), files(ShippedSetup());
    const std::string expected = Outcomes(files);
    std::atomic<int> differing{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int round = 0; round < 50; ++round) differing += Outcomes(kept) != expected;
        });
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(differing.load(), 0);
}

// The two contents the writer puts in place, told apart by the last entry
// of the single-phase table.
struct Versions {
    Bytes a = SinglePhaseTable(), b = SinglePhaseTableVaryingAboveCritical();
    static constexpr std::size_t kLast = 224 * 972 - 12;
    // 1 or 2 for the version whose last entry this is, else 0.
    int Which(const std::uint8_t *entry) const {
        return std::memcmp(entry, a.data() + kLast, 12) == 0 ? 1 : std::memcmp(entry, b.data() + kLast, 12) == 0 ? 2 : 0;
    }
};

TEST(Concurrency, KeptTablesReplacedUnderLoadAreReadWholeOrFailAsTheFileWould) {
    const ScratchDirectory dir;
    const Versions versions;
    dir.write("zarude.dat", SaturationByPressureTable());
    dir.write("vevuzu.dat", SaturationByTemperatureTable());
    dir.write("didizar.dat", versions.a);
    const std::string prefix = dir.prefix();
    const int descriptors = OpenDescriptors();
    // Checked at every call, so that the snapshots change under the readers
    // as often as the writer changes the file.
    ProcessTableCache cache(prefix.c_str(), 0);

    std::atomic<bool> stop{false};
    std::atomic<int> unknown{0}, answered{0}, failed{0}, wrongFailure{0}, seen[3] = {0, 0, 0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&] {
            while (!stop.load()) {
                CachedCallTables tables;
                cache.Acquire(&tables);
                const TableSource source = tables.source();
                try {
                    std::uint8_t entry[12];
                    const ByteSpan last{Versions::kLast, 12};
                    ReadSpans(source, Table::SinglePhase, &last, 1, entry);
                    const std::uint8_t *complete = CompleteTable(source, Table::SinglePhase);
                    const int version = versions.Which(entry);
                    if (version == 0 || (complete && versions.Which(complete + Versions::kLast) != version))
                        ++unknown;
                    ++seen[version];
                    ++answered;
                } catch (const LibraryFailure &f) {
                    const bool documented = (f.code == kFileNotFound || f.code == kReadBeyondEndOfFile) &&
                                            std::string(f.path) == prefix + "didizar.dat";
                    ++(documented ? failed : wrongFailure);
                }
            }
        });

    // Replaced by renaming, removed and put back, rewritten in place.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (int change = 0; change < 300 && std::chrono::steady_clock::now() < deadline; ++change) {
        const Bytes &next = change % 2 ? versions.a : versions.b;
        switch (change % 3) {
            case 0:
                dir.write("didizar.new", next);
                std::filesystem::rename(dir.file("didizar.new"), dir.file("didizar.dat"));
                break;
            case 1:
                std::filesystem::remove(dir.file("didizar.dat"));
                std::this_thread::sleep_for(std::chrono::microseconds(300));
                dir.write("didizar.dat", next);
                break;
            default: dir.write("didizar.dat", next); break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    stop = true;
    for (std::thread &reader : readers) reader.join();

    EXPECT_EQ(unknown.load(), 0) << "bytes of neither version";
    EXPECT_EQ(wrongFailure.load(), 0) << "a failure a read of the file would not give";
    EXPECT_GT(seen[1].load(), 0);
    EXPECT_GT(seen[2].load(), 0) << "the readers never saw the file replaced";
    EXPECT_EQ(OpenDescriptors(), descriptors) << "a table file left open";
}

}  // namespace
}  // namespace rudid::testing
