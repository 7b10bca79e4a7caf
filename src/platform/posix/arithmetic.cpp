// The x87 control word around each export, and how a failure leaves one.
#include "platform/platform.h"

namespace rudid::platform {

namespace {

// 64-bit significand, rounding to nearest, every exception masked.
constexpr std::uint16_t kLibraryControlWord = 0x037F;

}  // namespace

ArithmeticState EnterLibraryArithmetic() {
    ArithmeticState saved;
    __asm__ __volatile__("fnstcw %0" : "=m"(saved.x87ControlWord));
    if (saved.x87ControlWord != kLibraryControlWord) {
        const std::uint16_t word = kLibraryControlWord;
        __asm__ __volatile__("fldcw %0" : : "m"(word));
    }
    return saved;
}

void LeaveLibraryArithmetic(ArithmeticState saved) {
    if (saved.x87ControlWord == kLibraryControlWord) return;
    // Flags raised by the library's own (masked) arithmetic must not trap
    // once a host's unmasked exceptions come back.
    if ((saved.x87ControlWord & 0x3F) != 0x3F) __asm__ __volatile__("fnclex");
    __asm__ __volatile__("fldcw %0" : : "m"(saved.x87ControlWord));
}

// On Linux a failed export returns a null result; the caller reads the code
// with RudidLastError.
double *FailExport(int) { return nullptr; }

}  // namespace rudid::platform
