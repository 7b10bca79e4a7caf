// Lines of standard input, read in blocks, with a bound on the length kept
// of each line so that no input can make the reader hold more than that.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace rudid::cli {

class LineReader {
public:
    LineReader(int fd, std::size_t longestLine) : fd_(fd), longestLine_(longestLine) {}

    // The next line without its end: LF, CR or CR LF; false at the end of
    // the input. A line longer than the bound is cut there and *tooLong
    // set. beforeWaiting runs when no input is at hand and the reader is
    // about to wait for more, so that a caller holding finished work can
    // hand it on first.
    bool Next(std::string *line, bool *tooLong, const std::function<void()> &beforeWaiting);

    // Whether reading stopped on an error rather than at the end.
    bool failed() const { return failed_; }

private:
    bool Refill(const std::function<void()> &beforeWaiting);

    int fd_;
    std::size_t longestLine_;
    char buffer_[65536];
    std::size_t start_ = 0, end_ = 0;
    bool atEnd_ = false, failed_ = false;
    bool afterCr_ = false;  // the last line ended in CR: an LF next belongs to it
};

}  // namespace rudid::cli
