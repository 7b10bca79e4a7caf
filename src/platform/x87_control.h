// The x87 floating-point unit's control and status words, shared by the Linux
// and the Windows platform layer. The property arithmetic runs in the 80-bit
// extended format, so the library sets the control word itself on the way in
// and puts the caller's back on the way out.
#pragma once

#include <cstdint>

namespace rudid::platform::x87 {

// 64-bit significand (precision control 11), round to nearest (rounding
// control 00), every exception masked (bits 0-5 set). The library detects
// its own floating-point failures and reports them by code.
constexpr std::uint16_t kLibraryControlWord = 0x037F;

inline std::uint16_t ReadControlWord() {
    std::uint16_t word;
    __asm__ __volatile__("fnstcw %0" : "=m"(word));
    return word;
}

inline void WriteControlWord(std::uint16_t word) {
    __asm__ __volatile__("fldcw %0" : : "m"(word) : "memory");
}

// Clears the exception flags of the status word. Used before the caller's
// control word is put back: a flag that the library's masked arithmetic left
// set would otherwise trap at the caller's next floating-point instruction
// if the caller runs with that exception unmasked.
inline void ClearExceptionFlags() { __asm__ __volatile__("fnclex" : : : "memory"); }

}  // namespace rudid::platform::x87
