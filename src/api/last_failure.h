// The failure of the last property call, kept per thread for the host to ask.
#pragma once

namespace rudid {

// 0 clears the record: the call answered.
void RecordLastFailure(int code);
int LastFailureCode();
const char *LastFailureMessage();  // "" when the code is 0

}  // namespace rudid
