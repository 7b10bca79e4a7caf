// The table source of a batch call: each table file is read at most once
// per call, in blocks, and served from memory for every later row of the
// same call. At most one file is open at a time, so a batch call never
// needs more descriptors than a single call does. Everything is
// released when the cache goes at the end of the call.
//
// A failure to open a table is remembered and raised again for every row
// that needs that table, with the same code a single call would raise; a
// span past the end of a short file raises "Read beyond end of file" as a
// single call's read does.
#pragma once

#include <cstdint>
#include <memory>

#include "common/constants.h"
#include "platform/platform.h"
#include "tables/table_source.h"

namespace rudid {

class CallTableCache {
public:
    // rows: how many rows the call will evaluate. Few rows read the single-
    // phase table isobar by isobar, as they need them; many read it whole
    // at once, which costs about as much as 25 isobars. The saturation
    // tables are read whole, except for a single row, which reads them
    // record by record as a single call does. A span's blocks not read yet
    // are read together in one read.
    CallTableCache(const char *dataDirectory, std::size_t rows);
    ~CallTableCache();
    CallTableCache(const CallTableCache &) = delete;
    CallTableCache &operator=(const CallTableCache &) = delete;

    TableSource source() { return TableSource{&Read, this, &View, complete_, isobarPairFacts_}; }

private:
    struct CachedTable;
    static void Read(const TableSource &self, Table table, const ByteSpan *spans, int count,
                     std::uint8_t *out);
    static const std::uint8_t *View(const TableSource &self, Table table, ByteSpan span);
    const std::uint8_t *Held(Table table, ByteSpan span);
    CachedTable &Prepared(Table table);
    void ReadBlocks(Table table, CachedTable &t, std::uint32_t first, std::uint32_t last);
    int CloseOpenFile();

    const char *dataDirectory_;
    std::size_t rows_;
    std::unique_ptr<CachedTable> tables_[kTableCount];
    int openTable_ = -1;  // the table whose file is open, or -1
    platform::FileHandle openFile_{};
    const std::uint8_t *complete_[kTableCount] = {};
    std::uint8_t isobarPairFacts_[kSinglePhaseGridPoints + 1] = {};
};

}  // namespace rudid
