// The table source of single calls when the installation keeps the tables
// in memory (CACHE=1 in ZAREVIRU.INI). Each table file is read whole into a
// snapshot shared by every thread of the process; the snapshots are checked
// against the files at most once per recheck interval (a second for the
// library's own cache): a file whose identity, size or time of last change
// differs, or that cannot be identified, is read again, and a file that
// could not be read before is tried again. From that check on, the calls
// see the new contents, or fail as a call that opened the file itself
// would: the same code, the same file named, "Read beyond end of file" for
// a span past the end of a short file.
//
// No file stays open between checks. A call holds the snapshots it reads
// through its thread's own references, so a check on another thread that
// replaces them cannot free them under it; a replaced snapshot goes when
// the last thread that held it makes its next call or ends. Beside them
// each thread keeps what its lookups learnt about pairs of isobars of the
// snapshot it holds, so that a single call need not work it out again.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "tables/table_source.h"

namespace rudid {

// One table file as read at one check.
struct TableSnapshot;

// What one call reads from: the snapshots, and for each table its bytes
// where the snapshot holds the complete table.
struct CachedCallTables {
    const TableSnapshot *snapshots[kTableCount] = {};
    const std::uint8_t *complete[kTableCount] = {};
    // The facts about pairs of isobars that the thread's calls have worked
    // out from these snapshots (TableSource::isobarPairFacts).
    std::uint8_t *isobarPairFacts = nullptr;
    // Which cache and which of its sets of snapshots these are: what a
    // thread learns of them holds while both stay the same.
    std::uint64_t cache = 0, generation = 0;
    TableSource source() const;
};

// How often kept tables are checked against their files.
constexpr std::uint64_t kTableRecheckMilliseconds = 1000;

class ProcessTableCache {
public:
    // dataDirectory must end in the path separator and outlive the cache.
    ProcessTableCache(const char *dataDirectory, std::uint64_t recheckMilliseconds);
    ~ProcessTableCache();
    ProcessTableCache(const ProcessTableCache &) = delete;
    ProcessTableCache &operator=(const ProcessTableCache &) = delete;

    // The snapshots for the calling thread's next call, checking the files
    // first when the interval has passed. The pointers stay valid until the
    // thread's next Acquire, of this cache or another.
    void Acquire(CachedCallTables *tables);

private:
    void Check(std::uint64_t now);

    const char *dataDirectory_;
    const std::uint64_t recheckMilliseconds_;
    const std::uint64_t id_;  // tells the caches apart in the threads' references
    std::mutex mutex_;        // guards current_ and the checks
    std::shared_ptr<const TableSnapshot> current_[kTableCount];
    // Counts the changes of current_, 0 before the first check; written
    // under the mutex.
    std::atomic<std::uint64_t> generation_{0};
    std::atomic<std::uint64_t> nextCheck_{0};
};

}  // namespace rudid
