#include "line_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/tool_platform.h"

namespace rudid::cli {

bool LineReader::Refill(const std::function<void()> &beforeWaiting) {
    if (atEnd_) return false;
    const long got = platform::ReadBlock(fd_, buffer_, sizeof buffer_, beforeWaiting);
    if (got <= 0) {
        failed_ = got < 0;
        atEnd_ = true;
        return false;
    }
    start_ = 0;
    end_ = std::size_t(got);
    return true;
}

bool LineReader::Next(std::string *line, bool *tooLong, const std::function<void()> &beforeWaiting) {
    line->clear();
    *tooLong = false;
    bool any = false;
    for (;;) {
        if (start_ == end_ && !Refill(beforeWaiting)) return any;
        // The LF of a CR LF whose CR ended the line before.
        if (afterCr_ && buffer_[start_] == '\n') {
            afterCr_ = false;
            if (++start_ == end_) continue;
        }
        afterCr_ = false;
        any = true;
        const char *from = buffer_ + start_;
        const char *const last = buffer_ + end_;
        const char *stop = std::find_if(from, last, [](char c) { return c == '\n' || c == '\r'; });
        const std::size_t length = std::size_t(stop - from);
        const std::size_t room = longestLine_ - std::min(longestLine_, line->size());
        if (length > room) *tooLong = true;
        line->append(from, std::min(length, room));
        start_ += length;
        if (stop != last) {
            afterCr_ = *stop == '\r';
            ++start_;
            return true;
        }
    }
}

}  // namespace rudid::cli
