// What the tool does differently on Linux and on Windows, behind one
// interface. platform/posix/*.cpp or platform/windows/*.cpp define these
// (cli/CMakeLists.txt builds one set), and with them the whole-file calls
// of replace_file.h and bounded_file.h and KeepStandardDescriptorsOpen of
// standard_output.h. Nothing else in the tool knows the platform.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace rudid::cli::platform {

// The descriptor of standard input, for LineReader.
extern const int kStandardInput;

// Reads up to size bytes of the input fd into buffer: the count, 0 at the
// end of the input, -1 when reading failed. When no input is at hand yet,
// beforeWaiting (if any) runs first.
long ReadBlock(int fd, char *buffer, std::size_t size, const std::function<void()> &beforeWaiting);

// Whether standard error is a terminal (a console) that a person reads.
bool StandardErrorIsTerminal();

// A decimal number read in the "C" locale and rounded to the nearest
// double, out to zero and to infinity with its sign.
double DecimalToNearestDouble(const std::string &number);

// The library's export of that name, for the tool to call directly; null
// where failures do not come back from a direct call as a null result, so
// that the tool calls through RudidEvaluate instead.
void *DirectExport(const char *name);

// The file of this user's units; "" when the environment names no place
// for it, and then NoUserUnitPlace() says why.
std::string UserUnitFilePath();
std::string NoUserUnitPlace();

// The directory part of a path (the path itself when it has none).
std::string DirectoryOf(const std::string &path);

// Creates the directory and those above it that are missing; true when it
// is there as a directory. errno says why not.
bool MakeDirectories(const std::string &path);

}  // namespace rudid::cli::platform
