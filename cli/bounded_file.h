// The small files the tool reads (default.cfg, a user's units): regular
// files of bounded size, read whole. A device, a FIFO or a directory named
// in their place is refused instead of read for ever or blocked on.
#pragma once

#include <cstddef>
#include <string>

namespace rudid::cli {

enum class FileRead { Read, Missing, Refused };

// Reads the whole file at path into *bytes when it is a regular file of at
// most limit bytes. Missing when nothing has that name; Refused, with why
// in *error (naming the file), for anything else that stops the read.
FileRead ReadBoundedFile(const std::string &path, std::size_t limit, std::string *bytes, std::string *error);

}  // namespace rudid::cli
