// Contexts: a configuration that a host opens and passes with its calls
// (its own data directory, units, kept tables and kind of answer) instead
// of the process's, which start-up reads once from ZAREVIRU.INI. A context
// never changes after it is opened, so any number of threads may use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "api/call_frame.h"
#include "api/export_table.h"
#include "config/startup.h"
#include "tables/process_table_cache.h"

struct RudidContext {
    // Tells contexts apart in the threads' messages, whatever their
    // addresses; 0 for the default context, whose configuration is read
    // from start-up's (ConfigOf) rather than copied.
    std::uint64_t id;
    rudid::StartupConfiguration config;
    rudid::Answer answer;
    // The tables kept in memory for this context; null where the files are
    // read on every call.
    std::unique_ptr<rudid::ProcessTableCache> kept;
};

namespace rudid {

// The context of the property functions and of the entry points that take
// none: the process's configuration, with its tables kept when the INI
// says CACHE=1. Made at its first use, under the library's arithmetic.
RudidContext &DefaultContext();

// The configuration a context's calls run with: the process's own as
// start-up wrote it for the default context (whatever start-up wrote last),
// the context's copy for one that was opened.
inline const StartupConfiguration &ConfigOf(const RudidContext &context) {
    return context.id == 0 ? Startup() : context.config;
}

// A new context as the settings describe it, or null with why in message
// (the setting or file named). directory null or empty: the process's
// data directory; units null or empty: the directory's default.cfg as it
// is, else choices over it (units/unit_choices.h).
std::unique_ptr<RudidContext> OpenContext(const char *directory, const char *units, bool keepTables,
                                          Answer answer, char *message, std::size_t size);

// Rows of one export in a context, as EvaluateBatch gives them; keptTables
// false reads the files for this call even where the context keeps them.
// Runs under the library's arithmetic; raises std::bad_alloc.
int EvaluateInContext(const RudidContext &context, const ExportDescriptor &fn, Answer answer, bool keptTables,
                      std::size_t n, const double *first, const double *second, double *result, int *failure,
                      unsigned *flags);
// The same for the columns of EvaluateColumns (call_frame.h), from the
// context's kept tables where it keeps them.
int EvaluateColumnsInContext(const RudidContext &context, const Column *columns, int count, Answer answer,
                             std::size_t n, const double *first, const double *second);

// An evaluation by name as the entry points take it: the name checked
// (RUDID_UNKNOWN_FUNCTION), the arrays the call needs checked
// (RUDID_BAD_ARGUMENTS; flags only when flagsWanted), the rows evaluated
// under the library's arithmetic, RUDID_OUT_OF_MEMORY when the tables
// could not be held. Returns the count of failed rows otherwise.
int EvaluateByName(const RudidContext &context, const char *name, Answer answer, bool keptTables, std::size_t n,
                   const double *first, const double *second, double *result, int *failure, int *flags,
                   bool flagsWanted);

// The kind of answer a call's options ask for (RUDID_REFINED, RUDID_TABLE
// or neither: byDefault); false when they name both or bits that mean
// nothing here.
bool AnswerOf(int options, Answer byDefault, Answer *answer);

// The message of the last failure of a context's calls on this thread;
// "" when its last call had none. Null context: why this thread's last
// open failed.
void RecordContextMessage(const RudidContext *context, const char *message);
const char *ContextMessage(const RudidContext *context);

}  // namespace rudid
