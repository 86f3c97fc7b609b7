// The library's one error type, and the small helpers that give each member its error policy.
// Portable: no Windows headers, so the text core and its host tests use it too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace lark {

// Automation error numbers the library raises by name.
enum ErrorNumber : int32_t {
    errInvalidCall = 5,
    errOverflow = 6,
    errOutOfMemory = 7,
    errSubscript = 9,
    errTypeMismatch = 13,
    errBadFileName = 52,
    errFileNotFound = 53,
    errFileExists = 58,
    errPathAccess = 75,
    errPathNotFound = 76,
    errObjectNotSet = 91,
    errKeyExists = 457,
};

// An automation error: a number, the source that raised it and a description. An empty
// description stands for the standard text of the number; an empty source for the library.
struct Error {
    int32_t number;
    std::u16string source;
    std::u16string description;
};

// The standard description of a run-time error number, or "" when it has none.
std::u16string_view standardDescription(int32_t number) noexcept;

[[noreturn]] inline void raise(int32_t number, std::u16string_view source = {},
                               std::u16string_view description = {}) {
    throw Error{number, std::u16string(source), std::u16string(description)};
}

// "Stop and return": the first error ends the work; what the body had produced stands.
template <class Body>
void stopOnError(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}

// "Skip and continue": a failing step is skipped and the caller goes on with the next one.
template <class Step>
void skipOnError(Step&& step) noexcept {
    stopOnError(std::forward<Step>(step));
}

}  // namespace lark
