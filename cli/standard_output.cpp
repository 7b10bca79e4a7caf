#include "standard_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace rudid::cli {

namespace {

// Why the first failed flush failed: the stream may drop what it could not
// write, so that a later flush succeeds and no longer tells.
int firstError = 0;

bool Flush() {
    errno = 0;
    if (std::fflush(stdout) == 0) return true;
    if (firstError == 0) firstError = errno;
    return false;
}

}  // namespace

bool WriteStandardOutput(std::string_view text) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size()) return true;
    if (firstError == 0) firstError = errno;
    return false;
}

bool StandardOutputFailed() { return !Flush() || std::ferror(stdout); }

bool FinishStandardOutput() {
    const bool flushed = Flush();
    int error = firstError;
    const bool clean = flushed && !std::ferror(stdout);
    errno = 0;
    const bool closed = std::fclose(stdout) == 0;
    if (clean && !closed) error = errno;
    if (clean && closed) return true;
    std::fprintf(stderr, "rudid32: cannot write to standard output: %s\n",
                 error ? std::strerror(error) : "some output was lost");
    return false;
}

}  // namespace rudid::cli
