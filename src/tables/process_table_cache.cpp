#include "tables/process_table_cache.h"

#include <cstring>

#include "common/constants.h"
#include "common/failure.h"
#include "platform/platform.h"

namespace rudid {

struct TableSnapshot {
    // The failure code of opening or reading the file, 0 when it was read;
    // a failure is raised for every span the calls ask of this table.
    int failure = 0;
    char path[kMaxPathSize] = {};  // empty when the path could not be formed
    bool identified = false;       // whether identity is that of the bytes held
    platform::FileIdentity identity{};
    std::uint32_t length = 0;  // bytes held: the file's, up to the complete table
    std::unique_ptr<std::uint8_t[]> bytes;
};

namespace {

// Tells the caches apart, so that a thread's references taken from one
// cache are never mistaken for another's, even at the same address.
std::atomic<std::uint64_t> gNextCacheId{1};

// The snapshots a thread's calls read, as of one generation of one cache.
struct ThreadReferences {
    std::uint64_t cache = 0;
    std::uint64_t generation = 0;
    std::shared_ptr<const TableSnapshot> tables[kTableCount];
    // Facts about pairs of isobars of tables[SinglePhase]; written by this
    // thread's lookups only, cleared with every new set of snapshots.
    std::uint8_t isobarPairFacts[kSinglePhaseGridPoints + 1] = {};
};
thread_local ThreadReferences tReferences;

// Reads the table file whole, as a call would read it: opened, identified,
// read up to the complete table's size, closed. Any failure is kept in the
// snapshot with the file's path, to be raised by the calls.
std::shared_ptr<const TableSnapshot> ReadSnapshot(const char *dataDirectory, Table table) {
    auto snapshot = std::make_shared<TableSnapshot>();
    if (!TablePath(dataDirectory, table, snapshot->path, sizeof snapshot->path)) {
        snapshot->path[0] = '\0';
        snapshot->failure = kInvalidFilename;
        return snapshot;
    }
    platform::FileHandle file{};
    snapshot->failure = platform::OpenForReading(snapshot->path, &file);
    if (snapshot->failure != 0) return snapshot;
    // The identity is taken before the bytes are read: a change while they
    // are read then shows at the next check.
    snapshot->identified = platform::IdentifyOpenFile(file, &snapshot->identity) == 0;
    const std::uint32_t reach = TableBytes(table);
    snapshot->bytes.reset(new std::uint8_t[reach]);
    std::size_t got = 0;
    int code = platform::ReadAt(file, 0, snapshot->bytes.get(), reach, &got);
    const int closeCode = platform::CloseFile(file);
    if (code == 0) code = closeCode;
    snapshot->failure = code;
    snapshot->length = std::uint32_t(got);
    return snapshot;
}

// Whether the file may no longer hold the snapshot's bytes.
bool Changed(const TableSnapshot &snapshot) {
    if (snapshot.failure != 0 || !snapshot.identified) return true;
    platform::FileIdentity now{};
    return platform::IdentifyFile(snapshot.path, &now) != 0 || !(now == snapshot.identity);
}

const TableSnapshot &SnapshotOf(const TableSource &self, Table table) {
    return *static_cast<const CachedCallTables *>(self.context)->snapshots[int(table)];
}

// Serves the spans from the snapshot with the outcome of a read from the
// file: the snapshot's failure, or "Read beyond end of file" for a span
// past the end of a short file.
void ReadFromSnapshot(const TableSource &self, Table table, const ByteSpan *spans, int count, std::uint8_t *out) {
    const TableSnapshot &snapshot = SnapshotOf(self, table);
    if (snapshot.failure != 0) RaiseFailure(snapshot.failure, snapshot.path[0] ? snapshot.path : nullptr);
    for (int i = 0; i < count; ++i) {
        if (spans[i].offset + spans[i].length > snapshot.length) RaiseFailure(kReadBeyondEndOfFile, snapshot.path);
        std::memcpy(out, snapshot.bytes.get() + spans[i].offset, spans[i].length);
        out += spans[i].length;
    }
}

}  // namespace

TableSource CachedCallTables::source() const {
    // No view: where a table is not complete, the lookups read their spans
    // one read at a time, exactly as from the file.
    return TableSource{&ReadFromSnapshot, const_cast<CachedCallTables *>(this), nullptr, complete, isobarPairFacts};
}

ProcessTableCache::ProcessTableCache(const char *dataDirectory, std::uint64_t recheckMilliseconds)
    : dataDirectory_(dataDirectory), recheckMilliseconds_(recheckMilliseconds), id_(gNextCacheId++) {}

ProcessTableCache::~ProcessTableCache() = default;

// Checks every file and reads again those that changed. Only one thread
// checks at a time; the others go on with the snapshots they hold, except
// before the first check, when there are none to go on with.
void ProcessTableCache::Check(std::uint64_t now) {
    std::unique_lock<std::mutex> lock(mutex_, std::defer_lock);
    const bool first = generation_.load(std::memory_order_acquire) == 0;
    if (first)
        lock.lock();
    else if (!lock.try_lock())
        return;
    const std::uint64_t generation = generation_.load(std::memory_order_relaxed);
    if (generation != 0 && now < nextCheck_.load(std::memory_order_relaxed)) return;  // checked meanwhile
    bool replaced = generation == 0;
    for (int t = 0; t < kTableCount; ++t) {
        if (current_[t] && !Changed(*current_[t])) continue;
        current_[t] = ReadSnapshot(dataDirectory_, Table(t));
        replaced = true;
    }
    if (replaced) generation_.store(generation + 1, std::memory_order_release);
    nextCheck_.store(platform::MonotonicMilliseconds() + recheckMilliseconds_, std::memory_order_relaxed);
}

void ProcessTableCache::Acquire(CachedCallTables *tables) {
    const std::uint64_t now = platform::MonotonicMilliseconds();
    if (generation_.load(std::memory_order_acquire) == 0 || now >= nextCheck_.load(std::memory_order_relaxed))
        Check(now);
    ThreadReferences &held = tReferences;
    if (held.cache != id_ || held.generation != generation_.load(std::memory_order_acquire)) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int t = 0; t < kTableCount; ++t) held.tables[t] = current_[t];
        held.generation = generation_.load(std::memory_order_relaxed);
        held.cache = id_;
        std::memset(held.isobarPairFacts, 0, sizeof held.isobarPairFacts);
    }
    tables->isobarPairFacts = held.isobarPairFacts;
    tables->cache = held.cache;
    tables->generation = held.generation;
    for (int t = 0; t < kTableCount; ++t) {
        const TableSnapshot &snapshot = *held.tables[t];
        tables->snapshots[t] = &snapshot;
        const bool complete = snapshot.failure == 0 && snapshot.length == TableBytes(Table(t));
        tables->complete[t] = complete ? snapshot.bytes.get() : nullptr;
    }
}

}  // namespace rudid
