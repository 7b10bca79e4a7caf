#include "common/real48.h"

#include "common/failure.h"

namespace rudid::real48_detail {

// Out of line, so that the inline conversions stay small.
void RaiseOverflow() { RaiseFailure(kFloatingPointOverflow); }

}  // namespace rudid::real48_detail
