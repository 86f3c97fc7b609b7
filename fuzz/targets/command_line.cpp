// The command-line parser: at most 100 parameters, each a piece of the line in order; a line
// without quotation marks splits exactly at its runs of spaces, and fails only past the limits.
// A run of one unit put before the text reaches the 32,767-unit position limit.
#include "input.hpp"
#include "text/command_line.hpp"

#include <algorithm>

using namespace lark::text;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lark::fuzz::Input in(data, size);
    const size_t padding = lark::fuzz::nearLimit(in.byte(), 32767);
    const auto padUnit = static_cast<char16_t>(in.byte());
    const std::u16string line = std::u16string(padding, padUnit) + in.text();
    const ParsedCommandLine parsed = parseCommandLine(line);

    const auto stored = static_cast<int32_t>(parsed.parameters.size());
    FUZZ_CHECK(stored <= kMaxParameters);
    FUZZ_CHECK(parsed.count == stored || (parsed.count == kMaxParameters + 1 && parsed.malformed));
    size_t from = 0;
    for (const std::u16string& parameter : parsed.parameters) {
        const size_t at = line.find(parameter, from);
        FUZZ_CHECK(at != std::u16string::npos);
        from = at + parameter.size();
    }

    if (line.find(u'"') != std::u16string::npos) return 0;
    std::vector<std::u16string> words;
    for (size_t i = 0; i < line.size();) {
        const size_t end = std::min(line.find(u' ', i), line.size());
        if (end > i) words.emplace_back(line.substr(i, end - i));
        i = end + 1;
    }
    FUZZ_CHECK(parsed.parameters.size() <= words.size());
    FUZZ_CHECK(std::equal(parsed.parameters.begin(), parsed.parameters.end(), words.begin()));
    const bool tooMany = words.size() > kMaxParameters;
    FUZZ_CHECK(parsed.malformed || !tooMany);
    FUZZ_CHECK(!parsed.malformed || tooMany || line.size() >= 32767);
    if (!parsed.malformed) FUZZ_CHECK(parsed.parameters == words);
    return 0;
}
