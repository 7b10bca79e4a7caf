// Every export with two arbitrary doubles, over the shipped tables, in four
// unit configurations and under hosts with different x87 control words.
// Besides the properties of every call (fuzz_checks.h): the batch row is the
// single call bit for bit, the answer does not depend on the host's control
// word, and with complete tables the only failure is 205 for an argument
// that no six-byte real holds.
#include "loaded_library.h"

using namespace rudid::fuzzing;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    PreferMemoryForScratchFiles();
    LoadShippedLibraries(kUnitChoices);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const LibraryFunctions &lib = ShippedLibrary(data.ConsumeIntegralInRange(0, kUnitChoices - 1));
    const int index = data.ConsumeIntegralInRange(0, kExportCount - 1);
    const std::uint16_t word = HostControlWord(data);
    const double a = ArgumentFrom(data);
    const double b = ArgumentFrom(data);

    const Outcome single = CheckedCall(lib, index, a, b, word);
    FUZZ_CHECK(single.answered || single.code == RUDID_FLOATING_POINT_OVERFLOW, "complete tables failed with " + std::to_string(single.code));
    CheckBatchRow(lib, index, a, b, single, word);
    CheckRefinedRow(lib, index, a, b, single, word);

    const Outcome underOwnWord = CheckedCall(lib, index, a, b, 0x037F);
    FUZZ_CHECK(underOwnWord.answered == single.answered && underOwnWord.bits == single.bits &&
                   underOwnWord.code == single.code,
               Names()[index] + ": the outcome depends on the host's control word");
    return 0;
}
