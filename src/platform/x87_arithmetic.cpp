// The arithmetic environment around each export, the same on Linux and
// Windows: the property arithmetic runs on the x87 unit, and whatever the
// compiler puts into SSE registers runs under the library's MXCSR.
//
// The common path reads the caller's words, writes the library's only where
// they differ, and on the way out clears the flags the library raised. Only
// a caller that arrived with x87 exception flags already set pays for
// loading a whole x87 environment, which puts exactly its flags back.
#include "platform/platform.h"
#include "platform/sse_control.h"
#include "platform/x87_control.h"

namespace rudid::platform {

ArithmeticState EnterLibraryArithmetic() {
    ArithmeticState saved;
    saved.x87ControlWord = x87::ReadControlWord();
    saved.x87StatusFlags = std::uint16_t(x87::ReadStatusWord() & x87::kFlagBits);
    saved.sseControlStatus = sse::ReadControlStatus();
    if (saved.x87ControlWord != x87::kLibraryControlWord) x87::WriteControlWord(x87::kLibraryControlWord);
    if (sse::kPresent && saved.sseControlStatus != sse::kLibraryControlStatus)
        sse::WriteControlStatus(sse::kLibraryControlStatus);
    return saved;
}

void LeaveLibraryArithmetic(ArithmeticState saved) {
    // The flags the library's masked arithmetic raised are dropped: one
    // left set would trap at the caller's next floating-point instruction
    // if the caller runs with that exception unmasked, and a caller that
    // tests its flags must see only its own.
    if ((saved.x87StatusFlags & x87::kExceptionFlags) == 0) {
        x87::ClearExceptionFlags();
        if (saved.x87ControlWord != x87::kLibraryControlWord) x87::WriteControlWord(saved.x87ControlWord);
    } else {
        x87::RestoreControlAndFlags(saved.x87ControlWord, saved.x87StatusFlags);
    }
    // The MXCSR holds the caller's flags with its controls: writing it back
    // restores both.
    if (sse::kPresent && sse::ReadControlStatus() != saved.sseControlStatus)
        sse::WriteControlStatus(saved.sseControlStatus);
}

}  // namespace rudid::platform
