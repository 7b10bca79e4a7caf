// The failure of the last property call, kept per thread for the host to ask.
#pragma once

namespace rudid {

// Code 0 clears the record: the call answered. path names the file that
// failed; null or "" when the failure concerns none.
void RecordLastFailure(int code, const char *path = nullptr);
int LastFailureCode();
// "" when the code is 0; else the code's message, followed on platforms
// whose messages name the file by ": " and the path of the failing file.
const char *LastFailureMessage();
// The file that the last failure concerned; "" when none.
const char *LastFailurePath();

}  // namespace rudid
