// Splitting a command line into parameters, with the quoting rules clients rely on.
// Portable: no Windows headers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lark::text {

inline constexpr int32_t kMaxParameters = 100;

struct ParsedCommandLine {
    std::vector<std::u16string> parameters;  // at most 100, in order: parameters[0] is parameter 1
    int32_t count = 0;                       // 101 when a 101st parameter was found
    bool malformed = false;                  // this parse failed and stopped early
};

// Parses a line (leading and trailing spaces are removed first).
ParsedCommandLine parseCommandLine(std::u16string_view line);

}  // namespace lark::text
