// What test programs read of the x87 unit besides the control word: the
// status word with its pending exception flags, and the tag word that tells
// whether the register stack is empty.
#pragma once

#include <cstdint>

namespace rudid::testing::x87 {

inline std::uint16_t ReadStatusWord() {
    std::uint16_t word;
    __asm__ __volatile__("fnstsw %0" : "=m"(word));
    return word;
}

// 0xFFFF when every register of the stack is empty. fnstenv masks every
// exception as a side effect; fldenv puts the stored environment back.
inline std::uint16_t ReadTagWord() {
    struct {
        std::uint16_t control, unused0, status, unused1, tag, unused2;
        std::uint32_t pointers[4];
    } environment;
    __asm__ __volatile__("fnstenv %0\n\tfldenv %0" : "+m"(environment) : : "memory");
    return environment.tag;
}

constexpr std::uint16_t kEmptyStack = 0xFFFF;

}  // namespace rudid::testing::x87
