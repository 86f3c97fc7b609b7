// What the deployment checks make of registry texts: whole numbers read back from their decimal
// text (a half rounded to even), ProgID versions, colours split and joined, the programs of
// command lines found in the line itself, report lines and browser versions within their bounds.
#include "input.hpp"
#include "sysinfo/deploy_rules.hpp"

#include <algorithm>
#include <string>

using namespace lark::sysinfo;

namespace {

std::u16string decimal(int64_t value) {
    const std::string text = std::to_string(value);
    return {text.begin(), text.end()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lark::fuzz::Input in(data, size);
    const auto n = static_cast<int32_t>(in.word());
    const uint32_t major = in.word(), minor = in.word();
    const uint8_t red = in.byte(), green = in.byte(), blue = in.byte();
    const std::u16string text = in.text(), version = in.text();

    FUZZ_CHECK(wholeNumber(u"  " + decimal(n) + u" ") == n && progIdVersion(u"A.b." + decimal(n)) == n);
    const int64_t half = n % 2 == 0 ? n : n >= 0 ? int64_t{n} + 1 : int64_t{n} - 1;  // n + 0.5 or n - 0.5 to even
    const std::optional<int32_t> rounded = half <= INT32_MAX && half >= INT32_MIN ? std::optional(static_cast<int32_t>(half)) : std::nullopt;
    FUZZ_CHECK(wholeNumber(decimal(n) + u".5") == rounded);
    if (const std::optional<int32_t> whole = wholeNumber(text))
        FUZZ_CHECK(text.find_first_not_of(u" +-.0123456789") == std::u16string::npos);

    const std::u16string rgb = decimal(red) + u"," + decimal(green) + u"," + decimal(blue);
    const std::optional<ColourParts> parts = colourParts(rgb);
    FUZZ_CHECK(parts && colourValue(*parts) == red + green * 256 + blue * 65536);
    FUZZ_CHECK(rtfColour(*parts) == u"\\red" + decimal(red) + u"\\green" + decimal(green) + u"\\blue" + decimal(blue));
    if (const std::optional<ColourParts> split = colourParts(text)) {
        FUZZ_CHECK(std::u16string((*split)[0]) + u"," + std::u16string((*split)[1]) + u"," + std::u16string((*split)[2]) == text);
        FUZZ_CHECK((*split)[0].find(u',') == Units::npos && (*split)[1].find(u',') == Units::npos);
    } else {
        FUZZ_CHECK(std::count(text.begin(), text.end(), u',') < 2);
    }

    const std::u16string server = serverProgram(text), program = commandProgram(text);
    FUZZ_CHECK(text.find(server) != std::u16string::npos && text.find(program) != std::u16string::npos);

    const std::u16string line = versionLine(text, version);
    FUZZ_CHECK(line.size() == std::max<size_t>(20, text.size()) + version.size() + 3);
    FUZZ_CHECK(line.ends_with(text + u" " + version + u"\r\n"));

    const double browser = browserVersion(major, minor);
    FUZZ_CHECK(browser >= major && browser < double(major) + 1);
    return 0;
}
