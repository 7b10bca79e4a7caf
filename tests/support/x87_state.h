// What test programs read of the x87 unit besides the control word: the
// status word with its pending exception flags, and the tag word that tells
// whether the register stack is empty.
#pragma once

#include <cstdint>

#include "platform/x87_control.h"

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

// Runs with the given control word, as a host would, and puts the previous
// one back, with the exception flags cleared so that nothing pending
// survives the test.
class HostControlWord {
public:
    explicit HostControlWord(std::uint16_t word) : saved_(platform::x87::ReadControlWord()) {
        platform::x87::ClearExceptionFlags();
        platform::x87::WriteControlWord(word);
    }
    ~HostControlWord() {
        platform::x87::ClearExceptionFlags();
        platform::x87::WriteControlWord(saved_);
    }
    HostControlWord(const HostControlWord &) = delete;
    HostControlWord &operator=(const HostControlWord &) = delete;

private:
    std::uint16_t saved_;
};

}  // namespace rudid::testing::x87
