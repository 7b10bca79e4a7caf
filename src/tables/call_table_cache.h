// The table source of a batch call: each table file is opened at most once
// per call and each of its blocks read at most once, then served from
// memory for every later row of the same call. Everything is released, and
// every file closed, when the cache goes at the end of the call.
//
// A failure to open a table is remembered and raised again for every row
// that needs that table, with the same code a single call would raise; a
// span past the end of a short file raises "Read beyond end of file" as a
// single call's read does.
#pragma once

#include <cstdint>
#include <memory>

#include "tables/table_source.h"

namespace rudid {

class CallTableCache {
public:
    // rows: how many rows the call will evaluate. Few rows read the single-
    // phase table isobar by isobar, as they need them; many read it whole
    // at once, which costs about as much as 25 isobars.
    CallTableCache(const char *dataDirectory, std::size_t rows);
    ~CallTableCache();
    CallTableCache(const CallTableCache &) = delete;
    CallTableCache &operator=(const CallTableCache &) = delete;

    TableSource source() { return TableSource{&Read, this}; }

private:
    struct CachedTable;
    static void Read(const TableSource &self, Table table, const ByteSpan *spans, int count,
                     std::uint8_t *out);
    void ReadSpan(Table table, ByteSpan span, std::uint8_t *out);
    CachedTable &Opened(Table table);

    const char *dataDirectory_;
    bool wholeFiles_;
    std::unique_ptr<CachedTable> tables_[kTableCount];
};

}  // namespace rudid
