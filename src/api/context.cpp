#include "api/context.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "api/batch.h"
#include "common/failure.h"
#include "platform/platform.h"
#include "units/unit_choices.h"
#include "units/unit_recognition.h"

namespace rudid {

namespace {

std::atomic<std::uint64_t> gNextContextId{1};

// Each thread's messages of the contexts it used last, newest first: a few
// contexts per thread are plenty, and an old one's message simply reads "".
constexpr std::size_t kRememberedContexts = 8;
struct ThreadMessage {
    std::uint64_t context;  // 0: the thread's last open
    std::string text;
};
thread_local std::vector<ThreadMessage> tMessages;

std::uint64_t IdOf(const RudidContext *context) { return context ? context->id : 0; }

// Every table readable whole: a context that opens answers, or names the
// file that keeps it from answering.
bool CheckTables(const char *directory, char *message, std::size_t size) {
    for (int t = 0; t < kTableCount; ++t) {
        const Table table = Table(t);
        char path[kMaxPathSize];
        if (!TablePath(directory, table, path, sizeof path)) {
            std::snprintf(message, size, "the data directory %s is too long a path", directory);
            return false;
        }
        platform::FileHandle file{};
        int code = platform::OpenForReading(path, &file);
        if (code != 0) {
            std::snprintf(message, size, "cannot read the table %s: %s", path, RudidFailureMessage(code));
            return false;
        }
        std::vector<std::uint8_t> bytes(TableBytes(table));
        std::size_t got = 0;
        code = platform::ReadAt(file, 0, bytes.data(), bytes.size(), &got);
        const int closed = platform::CloseFile(file);
        if (code == 0) code = closed;
        if (code != 0) {
            std::snprintf(message, size, "cannot read the table %s: %s", path, RudidFailureMessage(code));
            return false;
        }
        if (got < bytes.size()) {
            std::snprintf(message, size, "the table %s is damaged: %zu bytes where a complete table has %zu",
                          path, got, bytes.size());
            return false;
        }
    }
    return true;
}

// The choices of a units text over the configuration's default.cfg.
bool ApplyChoices(const char *units, StartupConfiguration *config, char *message, std::size_t size) {
    UnitChoices choices{};
    std::memcpy(choices.selections, config->unitSelections, sizeof choices.selections);
    if (!ApplyUnitChoices(units, &choices, message, size)) return false;
    std::memcpy(config->unitSelections, choices.selections, sizeof choices.selections);
    ResolveConfiguredUnits(config);
    for (int q = 0; q < kQuantityCodeCount; ++q) {
        if (!choices.namedOnly[q]) continue;
        const std::optional<UnitFactor> factor = RecogniseUnit(QuantityCode(q), choices.namedOnly[q]);
        if (!factor) continue;  // every name offered is recognised; a test holds them to it
        config->unitName[q] = choices.namedOnly[q];
        config->unitFactor[q] = *factor;
        config->unitFactorValue[q] = Real48ToDouble(*factor);
        config->unitRecognised[q] = true;
    }
    return true;
}

}  // namespace

RudidContext &DefaultContext() {
    static RudidContext context = [] {
        RudidContext made{0, Startup(), Answer::Table, nullptr};
        if (made.config.cacheTables) made.kept = std::make_unique<ProcessTableCache>(
            Startup().dataDirectory, kTableRecheckMilliseconds);
        return made;
    }();
    return context;
}

std::unique_ptr<RudidContext> OpenContext(const char *directory, const char *units, bool keepTables,
                                          Answer answer, char *message, std::size_t size) {
    auto context = std::make_unique<RudidContext>();
    context->id = gNextContextId.fetch_add(1);
    context->answer = answer;
    std::string value = directory && *directory ? directory : Startup().dataDirectory;
    // The configuration appends the separator itself.
    while (value.size() > 1 && (value.back() == '/' || value.back() == '\\')) value.pop_back();
    if (value.size() + 2 > sizeof context->config.dataDirectory) {
        std::snprintf(message, size, "the data directory %s is too long a path", value.c_str());
        return nullptr;
    }
    LoadConfiguration(value.c_str(), &context->config);
    if (units && *units && !ApplyChoices(units, &context->config, message, size)) return nullptr;
    if (!CheckTables(context->config.dataDirectory, message, size)) return nullptr;
    context->config.cacheTables = keepTables;
    if (keepTables)
        context->kept =
            std::make_unique<ProcessTableCache>(context->config.dataDirectory, kTableRecheckMilliseconds);
    return context;
}

namespace {

int ColumnsIn(const RudidContext &context, const Column *columns, int count, Answer answer, bool keptTables,
              std::size_t n, const double *first, const double *second) {
    const bool boundFirst = answer == Answer::Table;
    if (!keptTables || !context.kept)
        return EvaluateBatchColumns(columns, count, ConfigOf(context), n, first, second, boundFirst, nullptr, answer);
    CachedCallTables tables;
    context.kept->Acquire(&tables);
    return EvaluateBatchColumns(columns, count, ConfigOf(context), n, first, second, boundFirst, nullptr, answer,
                                &tables);
}

}  // namespace

int EvaluateInContext(const RudidContext &context, const ExportDescriptor &fn, Answer answer, bool keptTables,
                      std::size_t n, const double *first, const double *second, double *result, int *failure,
                      unsigned *flags) {
    const Column column{&fn, result, failure, flags};
    return ColumnsIn(context, &column, 1, answer, keptTables, n, first, second);
}

int EvaluateColumnsInContext(const RudidContext &context, const Column *columns, int count, Answer answer,
                             std::size_t n, const double *first, const double *second) {
    return ColumnsIn(context, columns, count, answer, true, n, first, second);
}

int EvaluateByName(const RudidContext &context, const char *name, Answer answer, bool keptTables, std::size_t n,
                   const double *first, const double *second, double *result, int *failure, int *flags,
                   bool flagsWanted) {
    const std::optional<ExportId> id = FindExport(name);
    if (!id) return RUDID_UNKNOWN_FUNCTION;
    const ExportDescriptor &fn = Describe(*id);
    if (n == 0) return 0;
    if (!first || !result || !failure || (fn.arguments == 2 && !second) || (flagsWanted && !flags))
        return RUDID_BAD_ARGUMENTS;
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    int failed;
    try {
        // int and unsigned int may name the same object.
        failed = EvaluateInContext(context, fn, answer, keptTables, n, first, second, result, failure,
                                   reinterpret_cast<unsigned *>(flagsWanted ? flags : nullptr));
    } catch (const std::bad_alloc &) {
        failed = RUDID_OUT_OF_MEMORY;
    }
    platform::LeaveLibraryArithmetic(saved);
    return failed;
}

void RecordContextMessage(const RudidContext *context, const char *message) {
    const std::uint64_t id = IdOf(context);
    // A call that went well, as most do, only clears a message that is
    // there: nothing is allocated or moved on its way.
    if (*message == '\0') {
        for (ThreadMessage &m : tMessages)
            if (m.context == id) m.text.clear();
        return;
    }
    for (std::size_t i = 0; i < tMessages.size(); ++i)
        if (tMessages[i].context == id) {
            tMessages.erase(tMessages.begin() + std::ptrdiff_t(i));
            break;
        }
    if (tMessages.size() == kRememberedContexts) tMessages.pop_back();
    tMessages.insert(tMessages.begin(), ThreadMessage{id, message});
}

const char *ContextMessage(const RudidContext *context) {
    const std::uint64_t id = IdOf(context);
    for (const ThreadMessage &m : tMessages)
        if (m.context == id) return m.text.c_str();
    return "";
}

}  // namespace rudid
