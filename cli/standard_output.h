// Standard output as the tool's results reach it: a failed write there
// (a full disk, /dev/full, a closed descriptor) is reported and ends the
// tool with the failure status, never lost quietly.
#pragma once

#include <string_view>

namespace rudid::cli {

// Puts /dev/null on any of descriptors 0, 1 and 2 that the tool was started
// without: no file opened later may take their place and receive output
// meant for them. Standard output is opened for reading only, so that
// every write to a closed standard output still fails.
void KeepStandardDescriptorsOpen();

// Writes text to standard output; false when not all of it went.
bool WriteStandardOutput(std::string_view text);

// Whether a write to standard output has failed so far; flushes first.
bool StandardOutputFailed();

// Flushes and closes standard output. False, after a message on standard
// error that names it, when anything written to it was lost.
bool FinishStandardOutput();

}  // namespace rudid::cli
