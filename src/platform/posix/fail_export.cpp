// How a failure leaves an export on Linux.
#include "platform/platform.h"

namespace rudid::platform {

const bool kFailureMessageNamesFile = true;

// A failed export returns a null result; the caller reads the code with
// RudidLastError.
double *FailExport(int) { return nullptr; }

}  // namespace rudid::platform
