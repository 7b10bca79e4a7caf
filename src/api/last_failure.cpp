#include "api/last_failure.h"

#include "common/failure.h"

namespace rudid {

namespace {

thread_local int tCode = 0;
thread_local char tMessage[64] = "";

}  // namespace

void RecordLastFailure(int code) {
    if (code == tCode) return;
    tCode = code;
    if (code == 0)
        tMessage[0] = '\0';
    else
        FailureMessage(code, tMessage, sizeof tMessage);
}

int LastFailureCode() { return tCode; }

const char *LastFailureMessage() { return tMessage; }

}  // namespace rudid
