// How the lookups get their records. A lookup names a table and the byte
// spans it needs, in the order it would read them; the source delivers them
// into one buffer or raises the input/output failure of the first step that
// went wrong.
//
// Three sources exist: the one of a single call, which opens the file, reads
// the spans and closes it again; the one of a batch call, which reads each
// file once for the whole call and serves the rows from memory; and, where
// the installation asks for it (CACHE=1), the one of a single call that
// serves the spans from process-wide copies of the files, checked against
// the files once a second (process_table_cache.h). The first two live for
// one call only: nothing read from a table survives the call that read it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rudid {

enum class Table : int {
    SaturationOnPressureGrid = 0,     // zarude.dat, 28-byte records
    SaturationOnTemperatureGrid = 1,  // vevuzu.dat, 28-byte records
    SinglePhase = 2,                  // didizar.dat, 12-byte entries, 972-byte isobars
};
constexpr int kTableCount = 3;

const char *TableFileName(Table table);

// The size of a complete table: the bytes a lookup can ever reach.
std::uint32_t TableBytes(Table table);

struct ByteSpan {
    std::uint64_t offset;
    std::uint32_t length;
};

struct TableSource {
    // Fills out with the spans one after another; raises LibraryFailure.
    void (*read)(const TableSource &self, Table table, const ByteSpan *spans, int count,
                 std::uint8_t *out);
    void *context;
    // Null, or: the bytes of one span where the source holds them for the
    // rest of the call, raising the failure that read would raise.
    const std::uint8_t *(*view)(const TableSource &self, Table table, ByteSpan span) = nullptr;
    // Null, or for each table the start of its bytes where the source holds
    // the complete table in memory (else null), filled in as the tables are
    // read.
    const std::uint8_t *const *completeTables = nullptr;
    // Null, or one byte per isobar index of the single-phase table in
    // which a lookup may remember facts about the pair of isobars that ends
    // there (0: nothing known yet). The facts depend on the table's bytes
    // only, which cannot change while the source lives.
    std::uint8_t *isobarPairFacts = nullptr;
};

inline void ReadSpans(const TableSource &source, Table table, const ByteSpan *spans, int count,
                      std::uint8_t *out) {
    source.read(source, table, spans, count, out);
}

// The bytes of one span: in place where the source holds them, otherwise
// read into scratch, which has room for span.length bytes. The lookups ask
// only for spans within the complete table.
inline const std::uint8_t *SpanBytes(const TableSource &source, Table table, ByteSpan span,
                                     std::uint8_t *scratch) {
    if (source.completeTables && source.completeTables[int(table)]) return source.completeTables[int(table)] + span.offset;
    if (source.view) return source.view(source, table, span);
    source.read(source, table, &span, 1, scratch);
    return scratch;
}

// The complete table where the source holds it in memory, else null.
inline const std::uint8_t *CompleteTable(const TableSource &source, Table table) {
    return source.completeTables ? source.completeTables[int(table)] : nullptr;
}

// The source of a single call: each read opens DataDirectory + file name for
// reading, reads the spans in order and closes the file, on every path.
// dataDirectory must end in the path separator and outlive the source.
TableSource FileTableSource(const char *dataDirectory);

// Joins the data directory and a table's file name; returns false when the
// result does not fit.
bool TablePath(const char *dataDirectory, Table table, char *path, std::size_t size);

}  // namespace rudid
