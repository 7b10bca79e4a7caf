#include "tables/call_table_cache.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "common/failure.h"

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

TableShape ShapeOf(Table table, bool wholeFiles) {
    switch (table) {
        case Table::SaturationByPressure: return {292 * 28, 292 * 28};
        case Table::SaturationByTemperature: return {377 * 28, 377 * 28};
        case Table::SinglePhase: return {224 * 972, wholeFiles ? 224u * 972u : 972u};
    }
    return {0, 1};
}

}  // namespace

struct CallTableCache::CachedTable {
    int openFailure = 0;  // non-zero once an open has failed: not tried again
    bool open = false;
    platform::FileHandle file{};
    TableShape shape{};
    std::unique_ptr<std::uint8_t[]> bytes;  // shape.reach bytes
    std::unique_ptr<std::uint32_t[]> held;  // bytes present in each block; ~0u not read yet
    std::unique_ptr<int[]> readFailure;     // failure code of each block's read, 0 if none

    ~CachedTable() {
        if (open) platform::CloseFile(file);
    }
};

CallTableCache::CallTableCache(const char *dataDirectory, std::size_t rows)
    : dataDirectory_(dataDirectory), wholeFiles_(rows >= kRowsForWholeFiles) {}

CallTableCache::~CallTableCache() = default;

CallTableCache::CachedTable &CallTableCache::Opened(Table table) {
    std::unique_ptr<CachedTable> &slot = tables_[int(table)];
    if (!slot) {
        slot = std::make_unique<CachedTable>();
        char path[1024];
        if (!TablePath(dataDirectory_, table, path, sizeof path)) {
            slot->openFailure = kInvalidFilename;
        } else {
            slot->openFailure = platform::OpenForReading(path, &slot->file);
            slot->open = slot->openFailure == 0;
        }
        if (slot->open) {
            slot->shape = ShapeOf(table, wholeFiles_);
            const std::uint32_t blocks = slot->shape.reach / slot->shape.block;
            slot->bytes.reset(new std::uint8_t[slot->shape.reach]);
            slot->held.reset(new std::uint32_t[blocks]);
            slot->readFailure.reset(new int[blocks]());
            for (std::uint32_t b = 0; b < blocks; ++b) slot->held[b] = ~0u;
        }
    }
    if (slot->openFailure != 0) RaiseFailure(slot->openFailure);
    return *slot;
}

void CallTableCache::ReadSpan(Table table, ByteSpan span, std::uint8_t *out) {
    CachedTable &t = Opened(table);
    const std::uint64_t end = span.offset + span.length;
    // The lookups never reach past the complete table; a span that would is
    // past the end of any file we hold.
    if (end > t.shape.reach) RaiseFailure(kReadBeyondEndOfFile);
    const std::uint32_t block = t.shape.block;
    for (std::uint64_t b = span.offset / block; b * block < end; ++b) {
        if (t.held[b] == ~0u) {
            std::size_t got = 0;
            t.readFailure[b] = platform::ReadAt(t.file, b * block, t.bytes.get() + b * block, block, &got);
            t.held[b] = std::uint32_t(got);
        }
        if (t.readFailure[b] != 0) RaiseFailure(t.readFailure[b]);
        if (b * block + t.held[b] < std::min<std::uint64_t>(end, (b + 1) * block))
            RaiseFailure(kReadBeyondEndOfFile);
    }
    std::memcpy(out, t.bytes.get() + span.offset, span.length);
}

void CallTableCache::Read(const TableSource &self, Table table, const ByteSpan *spans, int count,
                          std::uint8_t *out) {
    auto *cache = static_cast<CallTableCache *>(self.context);
    for (int i = 0; i < count; ++i) {
        cache->ReadSpan(table, spans[i], out);
        out += spans[i].length;
    }
}

}  // namespace rudid
