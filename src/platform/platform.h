// Everything that differs between the Linux shared library and the 32-bit
// Windows DLL. Code outside src/platform/ includes this header only, never a
// system header of one platform.
//
// File operations report failures as the library's codes (2 "File not
// found", 3 "Invalid filename", 5 "File access denied", ...), mapped from the
// platform's own error numbers; they never throw.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rudid::platform {

// Appended to the configured data directory: '/' on Linux, '\' on Windows.
extern const char kPathSeparator;

// The value of key "DIR" in section "STARTUP" of ZAREVIRU.INI, or the default
// "C:\" when there is no such file, section or key. Section and key match
// without regard to case, one pair of enclosing quotation marks is removed,
// and a longer value is cut to 254 characters. Writes a zero-terminated text
// into buffer, which holds at least 256 characters.
void ReadStartupDirectoryValue(char *buffer, std::size_t size);

// The value of key in section "STARTUP" of ZAREVIRU.INI read as a whole
// number, or defaultValue when there is no such file, section or key, or
// the value is empty. The INI file is found and read as for "DIR"; the
// number is read as the profile services read one: blanks, an optional
// sign, an optional base prefix (0x, 0o, 0b), then digits up to the first
// character that is not one ("1x" reads as 1, "on" as 0).
int ReadStartupIntegerValue(const char *key, int defaultValue);

struct FileHandle {
    std::intptr_t value;
};

// Opens an existing file for reading only, sharing read access with others.
// Returns 0 or a failure code.
int OpenForReading(const char *path, FileHandle *file);

// Reads up to length bytes from byte offset. Returns 0 or a failure code;
// *transferred tells how many bytes arrived (fewer at the end of the file).
int ReadAt(FileHandle file, std::uint64_t offset, void *buffer, std::size_t length,
           std::size_t *transferred);

// Returns 0 or a failure code.
int CloseFile(FileHandle file);

// What tells one state of a file from another without reading it: the file
// itself (device and inode, or volume and file index), its size, and the
// times of its last change. A file replaced, truncated or rewritten has
// another identity.
struct FileIdentity {
    std::uint64_t volume;
    std::uint64_t index;
    std::uint64_t size;
    std::int64_t modified;  // last write of the contents
    std::int64_t changed;   // last change of the file's status (Linux), creation (Windows)
    bool operator==(const FileIdentity &) const = default;
};

// The identity of the file at path, without opening it for reading; of an
// open file. Return 0 or a failure code.
int IdentifyFile(const char *path, FileIdentity *identity);
int IdentifyOpenFile(FileHandle file, FileIdentity *identity);

// Milliseconds on a clock that only moves forward, whatever is done to the
// time of day; its resolution may be coarse (a few milliseconds).
std::uint64_t MonotonicMilliseconds();

// The arithmetic environment of a call: on the x87 unit a 64-bit
// significand, rounding to nearest, every exception masked (the library
// tests for its failures itself); in the SSE control register the same
// masks and rounding, denormals kept. EnterLibraryArithmetic sets it and
// returns the caller's environment; LeaveLibraryArithmetic puts back the
// caller's control words and exactly the exception flags the caller had,
// dropping those the library raised. Nothing may touch a floating-point
// value of the caller's before the one or after the other.
struct ArithmeticState {
    std::uint16_t x87ControlWord;
    std::uint16_t x87StatusFlags;    // the flag bits of the status word
    std::uint32_t sseControlStatus;  // MXCSR; 0 where the build uses no SSE
};
ArithmeticState EnterLibraryArithmetic();
void LeaveLibraryArithmetic(ArithmeticState saved);

// EnterLibraryArithmetic for the lifetime of the object: for what is
// computed once, at load or at first use, whose bits must not depend on the
// environment the host happens to have at that moment.
class LibraryArithmeticScope {
public:
    LibraryArithmeticScope() : saved_(EnterLibraryArithmetic()) {}
    ~LibraryArithmeticScope() { LeaveLibraryArithmetic(saved_); }
    LibraryArithmeticScope(const LibraryArithmeticScope &) = delete;
    LibraryArithmeticScope &operator=(const LibraryArithmeticScope &) = delete;

private:
    ArithmeticState saved_;
};

// Whether RudidLastErrorMessage names the file that failed after the
// code's message: on Linux it does ("File not found: /data/zarude.dat"); on
// Windows the message is the code's alone, as hosts of the DLL expect.
extern const bool kFailureMessageNamesFile;

// Hands a failure to the host on the way out of an export, after the
// arithmetic environment has been restored. On Linux it returns a null
// result; on Windows it raises the library's exception and does not return.
double *FailExport(int code);

// Called once by each platform's load hook, when the library is loaded into
// a process. Defined above this layer, by the library's start-up: the hooks
// need know nothing of what start-up does.
void LibraryLoaded();

}  // namespace rudid::platform
