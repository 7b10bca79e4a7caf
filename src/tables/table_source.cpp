#include "tables/table_source.h"

#include <cstring>

#include "common/constants.h"
#include "common/failure.h"
#include "platform/platform.h"

namespace rudid {

namespace {

void ReadFromFile(const TableSource &self, Table table, const ByteSpan *spans, int count,
                  std::uint8_t *out) {
    char path[kMaxPathSize];
    if (!TablePath(static_cast<const char *>(self.context), table, path, sizeof path))
        RaiseFailure(kInvalidFilename);

    platform::FileHandle file{};
    int code = platform::OpenForReading(path, &file);
    if (code != 0) RaiseFailure(code, path);
    for (int i = 0; i < count && code == 0; ++i) {
        std::size_t got = 0;
        code = platform::ReadAt(file, spans[i].offset, out, spans[i].length, &got);
        if (code == 0 && got != spans[i].length) code = kReadBeyondEndOfFile;
        out += spans[i].length;
    }
    const int closeCode = platform::CloseFile(file);
    if (code == 0) code = closeCode;
    if (code != 0) RaiseFailure(code, path);
}

}  // namespace

const char *TableFileName(Table table) {
    switch (table) {
        case Table::SaturationOnPressureGrid: return "zarude.dat";
        case Table::SaturationOnTemperatureGrid: return "vevuzu.dat";
        case Table::SinglePhase: return "didizar.dat";
    }
    return "";
}

std::uint32_t TableBytes(Table table) {
    switch (table) {
        case Table::SaturationOnPressureGrid: return kSaturationGridPoints * kSaturationRecordSize;
        case Table::SaturationOnTemperatureGrid: return kSaturationTemperatureRecords * kSaturationRecordSize;
        case Table::SinglePhase: return kSinglePhaseGridPoints * kIsobarSize;
    }
    return 0;
}

bool TablePath(const char *dataDirectory, Table table, char *path, std::size_t size) {
    const char *name = TableFileName(table);
    const std::size_t dirLength = std::strlen(dataDirectory);
    const std::size_t nameLength = std::strlen(name);
    if (dirLength + nameLength + 1 > size) return false;
    std::memcpy(path, dataDirectory, dirLength);
    std::memcpy(path + dirLength, name, nameLength + 1);
    return true;
}

TableSource FileTableSource(const char *dataDirectory) {
    return TableSource{&ReadFromFile, const_cast<char *>(dataDirectory)};
}

}  // namespace rudid
