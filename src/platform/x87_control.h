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

// The status word without waiting for a pending exception.
inline std::uint16_t ReadStatusWord() {
    std::uint16_t word;
    __asm__ __volatile__("fnstsw %0" : "=m"(word));
    return word;
}

// The six sticky exception flags of the status word (invalid, denormal, zero
// divide, overflow, underflow, precision), with the stack-fault bit, the
// summary bit and the busy bit that follow from them.
constexpr std::uint16_t kExceptionFlags = 0x003F;
constexpr std::uint16_t kFlagBits = 0x80FF;

// Puts back the control word and exactly the given exception flags, keeping
// the register stack and its condition codes as they are now. Loading a
// whole environment is slow, so this is for a caller that arrived with flags
// set; one without any gets ClearExceptionFlags instead.
inline void RestoreControlAndFlags(std::uint16_t control, std::uint16_t status) {
    // The 28-byte environment of 32-bit protected mode, as fnstenv stores it
    // on both i686 and x86-64.
    struct {
        std::uint16_t control, unused0, status, unused1;
        std::uint32_t rest[5];
    } environment;
    __asm__ __volatile__("fnstenv %0" : "=m"(environment));
    environment.control = control;
    environment.status = std::uint16_t((environment.status & ~kFlagBits) | (status & kFlagBits));
    __asm__ __volatile__("fldenv %0" : : "m"(environment) : "memory");
}

}  // namespace rudid::platform::x87
