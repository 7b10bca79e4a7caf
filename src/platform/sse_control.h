// The SSE control and status register (MXCSR). Where the compiler does
// floating-point work in SSE registers (always on x86-64; on i686 only when
// built with SSE math), the library sets this register on the way in as it
// sets the x87 control word, and puts the caller's back on the way out.
#pragma once

#include <cstdint>

namespace rudid::platform::sse {

#if defined(__SSE__)
constexpr bool kPresent = true;

inline std::uint32_t ReadControlStatus() {
    std::uint32_t word;
    __asm__ __volatile__("stmxcsr %0" : "=m"(word));
    return word;
}

inline void WriteControlStatus(std::uint32_t word) {
    __asm__ __volatile__("ldmxcsr %0" : : "m"(word) : "memory");
}
#else
constexpr bool kPresent = false;
inline std::uint32_t ReadControlStatus() { return 0; }
inline void WriteControlStatus(std::uint32_t) {}
#endif

// The six sticky exception flags (bits 0-5).
constexpr std::uint32_t kExceptionFlags = 0x3F;

// Every exception masked (bits 7-12), round to nearest, denormals neither
// flushed to zero nor read as zero, no exception flag set.
constexpr std::uint32_t kLibraryControlStatus = 0x1F80;

}  // namespace rudid::platform::sse
