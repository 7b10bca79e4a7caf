#include "api/last_failure.h"

#include <cstdio>
#include <cstring>

#include "common/failure.h"
#include "platform/platform.h"

namespace rudid {

namespace {

constexpr int kMessageSize = 64;  // longer than every failure code's message

thread_local int tCode = 0;
thread_local char tMessage[kMessageSize + kMaxPathSize] = "";
thread_local char tPath[kMaxPathSize] = "";

}  // namespace

void RecordLastFailure(int code, const char *path) {
    tCode = code;
    tPath[0] = '\0';
    if (code == 0) {
        tMessage[0] = '\0';
        return;
    }
    if (path) std::snprintf(tPath, sizeof tPath, "%s", path);
    FailureMessage(code, tMessage, kMessageSize);
    if (platform::kFailureMessageNamesFile && path && path[0] != '\0') {
        const std::size_t length = std::strlen(tMessage);
        std::snprintf(tMessage + length, sizeof tMessage - length, ": %s", path);
    }
}

int LastFailureCode() { return tCode; }

const char *LastFailureMessage() { return tMessage; }

const char *LastFailurePath() { return tPath; }

}  // namespace rudid
