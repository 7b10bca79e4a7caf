#include "tables/call_table_cache.h"

#include <algorithm>
#include <cstring>

#include "common/failure.h"
#include "platform/platform.h"
#include "tables/saturation_by_temperature.h"
#include "tables/saturation_state.h"
#include "tables/single_phase_table.h"

namespace rudid {

namespace {

// How much of each file a lookup can ever reach, and the blocks in which it
// is read: the saturation tables whole, the single-phase table by isobar or
// whole.
struct TableShape {
    std::uint32_t reach;
    std::uint32_t block;
};

// From this many rows on, the single-phase table is read whole.
constexpr std::size_t kRowsForWholeFiles = 32;

constexpr std::uint32_t kSaturationOnPressureGridBytes = kSaturationGridPoints * kSaturationRecordSize;
constexpr std::uint32_t kSaturationOnTemperatureGridBytes = kSaturationTemperatureRecords * kSaturationRecordSize;
constexpr std::uint32_t kSinglePhaseBytes = kSinglePhaseGridPoints * kIsobarSize;

TableShape ShapeOf(Table table, bool wholeFiles) {
    switch (table) {
        case Table::SaturationOnPressureGrid:
            return {kSaturationOnPressureGridBytes, kSaturationOnPressureGridBytes};
        case Table::SaturationOnTemperatureGrid:
            return {kSaturationOnTemperatureGridBytes, kSaturationOnTemperatureGridBytes};
        case Table::SinglePhase: return {kSinglePhaseBytes, wholeFiles ? kSinglePhaseBytes : kIsobarSize};
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
    : dataDirectory_(dataDirectory), wholeFiles_(rows >= kRowsForWholeFiles) {}

CallTableCache::~CallTableCache() { CloseOpenFile(); }

CallTableCache::CachedTable &CallTableCache::Prepared(Table table) {
    std::unique_ptr<CachedTable> &slot = tables_[int(table)];
    if (!slot) {
        slot = std::make_unique<CachedTable>();
        if (!TablePath(dataDirectory_, table, slot->path, sizeof slot->path)) {
            slot->openFailure = kInvalidFilename;
        } else {
            slot->shape = ShapeOf(table, wholeFiles_);
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

// Reads one block. The cache keeps at most one file open, as a single call
// does: a table read whole is closed as soon as it has been read; one read
// block by block stays open for its next block until another table has to
// be opened or the call ends.
void CallTableCache::ReadBlock(Table table, CachedTable &t, std::uint32_t b) {
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
    int code = platform::ReadAt(openFile_, std::uint64_t(b) * block, t.bytes.get() + std::size_t(b) * block, block,
                                &got);
    if (block == t.shape.reach) {
        const int closeFailure = CloseOpenFile();
        if (code == 0) code = closeFailure;
    }
    t.readFailure[b] = code;
    t.held[b] = std::uint32_t(got);
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
    for (std::uint64_t b = span.offset / block; b * block < end; ++b) {
        if (t.held[b] == ~0u) ReadBlock(table, t, std::uint32_t(b));
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
