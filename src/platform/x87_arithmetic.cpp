// The arithmetic environment around each export, the same on Linux and
// Windows: both run the property arithmetic on the x87 unit.
#include "platform/platform.h"
#include "platform/x87_control.h"

namespace rudid::platform {

ArithmeticState EnterLibraryArithmetic() {
    const ArithmeticState saved{x87::ReadControlWord()};
    if (saved.x87ControlWord != x87::kLibraryControlWord) x87::WriteControlWord(x87::kLibraryControlWord);
    return saved;
}

void LeaveLibraryArithmetic(ArithmeticState saved) {
    if (saved.x87ControlWord == x87::kLibraryControlWord) return;
    // Flags that the library's masked arithmetic raised would trap at the
    // host's next floating-point instruction once an unmasked exception
    // comes back (a Delphi host runs with 0x1332). A host that masks
    // everything keeps its flags.
    if ((saved.x87ControlWord & 0x3F) != 0x3F) x87::ClearExceptionFlags();
    x87::WriteControlWord(saved.x87ControlWord);
}

}  // namespace rudid::platform
