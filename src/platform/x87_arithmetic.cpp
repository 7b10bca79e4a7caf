// The arithmetic environment around each export, the same on Linux and
// Windows: the property arithmetic runs on the x87 unit, and whatever the
// compiler puts into SSE registers runs under the library's MXCSR.
//
// The common path reads the caller's words, writes the library's only where
// they differ, and on the way out clears the flags the library raised. Only
// a caller that arrived with x87 exception flags set, on a call that raised
// others, pays for loading a whole x87 environment to put exactly its flags
// back.
#include "platform/platform.h"
#include "platform/sse_control.h"
#include "platform/x87_control.h"

namespace rudid::platform {

namespace {

// The rare way out: the caller arrived with x87 flags set and the library
// raised others.
void RestoreEnvironment(ArithmeticState saved) {
    x87::RestoreControlAndFlags(saved.x87ControlWord, saved.x87StatusFlags);
    if (sse::kPresent && sse::ReadControlStatus() != saved.sseControlStatus)
        sse::WriteControlStatus(saved.sseControlStatus);
}

}  // namespace

ArithmeticState EnterLibraryArithmetic() {
    ArithmeticState saved;
    saved.x87ControlWord = x87::ReadControlWord();
    saved.x87StatusFlags = std::uint16_t(x87::ReadStatusWord() & x87::kFlagBits);
    saved.sseControlStatus = sse::ReadControlStatus();
    if (saved.x87ControlWord != x87::kLibraryControlWord) x87::WriteControlWord(x87::kLibraryControlWord);
    // The caller's flags stay set while the library runs (its arithmetic
    // never reads them): a call that raises no flag the caller had not
    // already raised then finds nothing to put back.
    const std::uint32_t callerSseFlags = saved.sseControlStatus & sse::kExceptionFlags;
    if (sse::kPresent && saved.sseControlStatus != (sse::kLibraryControlStatus | callerSseFlags))
        sse::WriteControlStatus(sse::kLibraryControlStatus | callerSseFlags);
    return saved;
}

void LeaveLibraryArithmetic(ArithmeticState saved) {
    // The flags the library's masked arithmetic raised are dropped: one
    // left set would trap at the caller's next floating-point instruction
    // if the caller runs with that exception unmasked, and a caller that
    // tests its flags must see only its own. fnclex costs tens of cycles,
    // loading a whole environment hundreds; reading the status word one.
    const auto callerFlags = std::uint16_t(saved.x87StatusFlags & x87::kExceptionFlags);
    const auto flags = std::uint16_t(x87::ReadStatusWord() & x87::kExceptionFlags);
    if (flags != callerFlags) {
        if (callerFlags != 0) {
            RestoreEnvironment(saved);
            return;
        }
        x87::ClearExceptionFlags();
    }
    if (saved.x87ControlWord != x87::kLibraryControlWord) x87::WriteControlWord(saved.x87ControlWord);
    // The MXCSR holds the caller's flags with its controls: writing it back
    // restores both.
    if (sse::kPresent && sse::ReadControlStatus() != saved.sseControlStatus)
        sse::WriteControlStatus(saved.sseControlStatus);
}

}  // namespace rudid::platform
