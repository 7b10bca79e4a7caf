// Files the tool writes (default.cfg, diagrams) replaced whole: a reader,
// or a disk that fills up, never leaves a part of the new file in place of
// the old one.
#pragma once

#include <string>
#include <string_view>

namespace rudid::cli {

// Replaces the file at path with bytes so that a reader sees either the old
// or the new file, never a part: a temporary file ".NAME.XXXXXX" beside it,
// flushed to disk, then renamed over it; the temporary is removed when
// anything fails. Keeps the mode of the file it replaces (a new file gets
// 0644; on Windows the permissions its folder gives new files); follows a symbolic link to the file it names. Refuses, with false
// and why, a path that names anything but a regular file (a device, a FIFO,
// a directory), whether directly or through a link. Temporaries that
// earlier writers, killed midway, left beside the file are removed first.
bool ReplaceFileAtomically(const std::string &path, std::string_view bytes, std::string *error);

}  // namespace rudid::cli
