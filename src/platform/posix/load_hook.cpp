// Start-up runs once, when the shared library is loaded into a process.
#include "config/startup.h"

namespace {

__attribute__((constructor)) void LoadLibraryConfiguration() { rudid::LoadStartupConfiguration(); }

}  // namespace
