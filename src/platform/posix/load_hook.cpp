// The load hook: runs once, when the shared library is loaded into a
// process.
#include "platform/platform.h"

namespace {

__attribute__((constructor)) void OnLoad() { rudid::platform::LibraryLoaded(); }

}  // namespace
