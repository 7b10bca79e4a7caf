#include "tables/call_table_cache.h"

#include <algorithm>
#include <cstring>

#include "common/constants.h"
#include "common/failure.h"
#include "platform/platform.h"

namespace rudid {

namespace {

// How much of each file a lookup can ever reach, and the blocks in which it
// is read: each table whole, or for few rows the single-phase table by
// isobar, and for one row also the saturation tables by record.
struct TableShape {
    std::uint32_t reach;
    std::uint32_t block;
};

// From this many rows on, the single-phase table is read whole.
constexpr std::size_t kRowsForWholeFiles = 32;
// Below this many rows, the saturation tables are read by record. A
// saturation table read by record stays open for its next records, so that
// rows needing both it and the single-phase table would open the two files
// in turn for every row; from two rows on, reading it whole once costs less.
constexpr std::size_t kRowsForWholeSaturationFiles = 2;

TableShape ShapeOf(Table table, std::size_t rows) {
    const std::uint32_t reach = TableBytes(table);
    const bool wholeSaturationFiles = rows >= kRowsForWholeSaturationFiles;
    switch (table) {
        case Table::SaturationOnPressureGrid:
        case Table::SaturationOnTemperatureGrid:
            return {reach, wholeSaturationFiles ? reach : std::uint32_t(kSaturationRecordSize)};
        case Table::SinglePhase: return {reach, rows >= kRowsForWholeFiles ? reach : std::uint32_t(kIsobarSize)};
    }
    return {0, 1};
}

}  // namespace

struct CallTableCache::CachedTable {
    int openFailure = 0;  // non-zero once an open has failed: not tried again
    bool opened = false;  // whether an open has succeeded
    char path[kMaxPathSize] = {};
    TableShape shape{};
    std::unique_ptr<std::uint8_t[]> bytes;  // shape.reach bytes
    std::unique_ptr<std::uint32_t[]> held;  // bytes present in each block; ~0u not read yet
    std::unique_ptr<int[]> readFailure;     // failure code of each block's read, 0 if none
};

CallTableCache::CallTableCache(const char *dataDirectory, std::size_t rows)
    : dataDirectory_(dataDirectory), rows_(rows) {}

CallTableCache::~CallTableCache() { CloseOpenFile(); }

CallTableCache::CachedTable &CallTableCache::Prepared(Table table) {
    std::unique_ptr<CachedTable> &slot = tables_[int(table)];
    if (!slot) {
        slot = std::make_unique<CachedTable>();
        if (!TablePath(dataDirectory_, table, slot->path, sizeof slot->path)) {
            slot->openFailure = kInvalidFilename;
        } else {
            slot->shape = ShapeOf(table, rows_);
            const std::uint32_t blocks = slot->shape.reach / slot->shape.block;
            slot->bytes.reset(new std::uint8_t[slot->shape.reach]);
            slot->held.reset(new std::uint32_t[blocks]);
            slot->readFailure.reset(new int[blocks]());
            for (std::uint32_t b = 0; b < blocks; ++b) slot->held[b] = ~0u;
        }
    }
    if (slot->openFailure != 0) RaiseFailure(slot->openFailure, slot->path[0] ? slot->path : nullptr);
    return *slot;
}

// Reads the blocks first..last, none of them read yet, in one read, as a
// single call reads a span. The cache keeps at most one file open, as a
// single call does: a table read whole is closed as soon as it has been
// read; one read block by block stays open for its next blocks until
// another table has to be opened or the call ends.
void CallTableCache::ReadBlocks(Table table, CachedTable &t, std::uint32_t first, std::uint32_t last) {
    if (openTable_ != int(table)) {
        CloseOpenFile();
        const int openFailure = platform::OpenForReading(t.path, &openFile_);
        if (openFailure != 0) {
            // Remembered when the file could not be opened at all in this
            // call, so that every later row fails alike; once a block has
            // been read, a failed open fails only the row at hand.
            if (!t.opened) t.openFailure = openFailure;
            RaiseFailure(openFailure, t.path);
        }
        t.opened = true;
        openTable_ = int(table);
    }
    const std::uint32_t block = t.shape.block;
    std::size_t got = 0;
    int code = platform::ReadAt(openFile_, std::uint64_t(first) * block, t.bytes.get() + std::size_t(first) * block,
                                std::size_t(last - first + 1) * block, &got);
    if (block == t.shape.reach) {
        const int closeFailure = CloseOpenFile();
        if (code == 0) code = closeFailure;
    }
    // A short read fills the blocks in order.
    for (std::uint32_t b = first; b <= last; ++b) {
        const std::size_t before = std::size_t(b - first) * block;
        t.readFailure[b] = code;
        t.held[b] = got > before ? std::uint32_t(std::min<std::size_t>(got - before, block)) : 0;
    }
    if (block == t.shape.reach && code == 0 && got == block) complete_[int(table)] = t.bytes.get();
}

int CallTableCache::CloseOpenFile() {
    if (openTable_ < 0) return 0;
    openTable_ = -1;
    return platform::CloseFile(openFile_);
}

const std::uint8_t *CallTableCache::Held(Table table, ByteSpan span) {
    CachedTable &t = Prepared(table);
    const std::uint64_t end = span.offset + span.length;
    // The lookups never reach past the complete table; a span that would is
    // past the end of any file we hold.
    if (end > t.shape.reach) RaiseFailure(kReadBeyondEndOfFile, t.path);
    const std::uint32_t block = t.shape.block;
    const std::uint64_t lastOfSpan = (end - 1) / block;
    for (std::uint64_t b = span.offset / block; b * block < end; ++b) {
        if (t.held[b] == ~0u) {
            // The run of blocks not read yet from here within the span.
            std::uint64_t last = b;
            while (last < lastOfSpan && t.held[last + 1] == ~0u) ++last;
            ReadBlocks(table, t, std::uint32_t(b), std::uint32_t(last));
        }
        if (t.readFailure[b] != 0) RaiseFailure(t.readFailure[b], t.path);
        if (b * block + t.held[b] < std::min<std::uint64_t>(end, (b + 1) * block))
            RaiseFailure(kReadBeyondEndOfFile, t.path);
    }
    return t.bytes.get() + span.offset;
}

const std::uint8_t *CallTableCache::View(const TableSource &self, Table table, ByteSpan span) {
    return static_cast<CallTableCache *>(self.context)->Held(table, span);
}

void CallTableCache::Read(const TableSource &self, Table table, const ByteSpan *spans, int count,
                          std::uint8_t *out) {
    auto *cache = static_cast<CallTableCache *>(self.context);
    for (int i = 0; i < count; ++i) {
        std::memcpy(out, cache->Held(table, spans[i]), spans[i].length);
        out += spans[i].length;
    }
}

}  // namespace rudid
