#include "sysinfo/deploy_rules.hpp"

#include "text/strings.hpp"

#include <charconv>
#include <cmath>
#include <limits>

namespace lark::sysinfo {

namespace {

constexpr OfficeApp kOfficeApps[] = {{u"Access.Database", u""},
                                     {u"Excel.Sheet", u"Microsoft Excel"},
                                     {u"PowerPoint.Slide", u"Microsoft PowerPoint"},
                                     {u"Word.Document", u"Microsoft Word"},
                                     {u"Office.Binder", u""}};

bool inLongRange(double value) { return value >= -2147483648.0 && value <= 2147483647.0; }

// The runtime files of the report, each group closed by "". The first of the second group is the C
// runtime this library is built on.
// clang-format off
constexpr Units kRuntimeFiles[] = {
    u"MSVCRT.DLL", u"MFC40.DLL", u"MSVCRT40.DLL", u"",
    u"MSVCRT.DLL", u"STDOLE2.TLB", u"OLEAUT32.DLL", u"OLEPRO32.DLL", u"COMCAT.DLL", u"ASYCFILT.DLL", u"CTL3D32.DLL", u"",
    u"RSRC16.DLL", u"RSRC32.DLL", u"",
    u"SCRRUN.DLL", u"",
    u"SHDOCVW.DLL", u"MSHTML.DLL", u"SHLWAPI.DLL", u"MSVCRT.DLL", u"MSVCRT.DLL", u"MSVCRT.DLL", u"",
    u"IGTOOLBARS40.OCX", u"MSCOMCTL.OCX", u"COMDLG32.OCX", u"MSWLESS.OCX", u"MSWINSCK.OCX", u"MSMAPI32.OCX",
    u"RICHED32.DLL", u"RICHED20.DLL", u""};
// clang-format on

constexpr size_t kNameColumns = 20;
constexpr size_t kRuleLength = 80;

}  // namespace

std::optional<OfficeApp> officeApplication(int32_t value) noexcept {
    if (value < 1 || value > 5) return std::nullopt;
    return kOfficeApps[value - 1];
}

std::optional<int32_t> wholeNumber(Units text) {
    const Units trimmed = text::TrimSpaces(text);
    std::string ascii;
    size_t i = 0, digits = 0;
    if (i < trimmed.size() && (trimmed[i] == u'+' || trimmed[i] == u'-')) ascii += static_cast<char>(trimmed[i++]);
    auto takeDigits = [&] {
        for (; i < trimmed.size() && trimmed[i] >= u'0' && trimmed[i] <= u'9'; ++i, ++digits)
            ascii += static_cast<char>(trimmed[i]);
    };
    takeDigits();
    if (i < trimmed.size() && trimmed[i] == u'.') ascii += static_cast<char>(trimmed[i++]), takeDigits();
    if (digits == 0 || i != trimmed.size()) return std::nullopt;
    if (ascii[0] == '+') ascii.erase(0, 1);
    double value = 0;
    if (std::from_chars(ascii.data(), ascii.data() + ascii.size(), value).ec != std::errc()) return std::nullopt;
    value = std::nearbyint(value);  // half to even, the default rounding
    if (!inLongRange(value)) return std::nullopt;
    return static_cast<int32_t>(value);
}

std::optional<int32_t> progIdVersion(Units versionedProgId) {
    const size_t dot = versionedProgId.rfind(u'.');
    if (dot == Units::npos || dot == 0) return std::nullopt;
    return wholeNumber(versionedProgId.substr(dot + 1));
}

std::u16string serverProgram(Units commandLine) {
    Units text = commandLine;
    if (text.starts_with(u'"')) text.remove_prefix(1);
    if (text.ends_with(u'"')) text.remove_suffix(1);
    if (const size_t slash = text.find(u'/', 1); slash != Units::npos) text = text.substr(0, slash);
    text = text::TrimSpaces(text);
    // A quoted path followed by switches keeps its closing quote up to here.
    if (commandLine.starts_with(u'"') && text.ends_with(u'"')) text = text::TrimSpaces(text.substr(0, text.size() - 1));
    return std::u16string(text);
}

std::u16string commandProgram(Units commandLine) {
    if (commandLine.starts_with(u'"')) {
        const size_t close = commandLine.find(u'"', 1);  // a quoted path of at least one unit
        if (close != Units::npos && close >= 2) return std::u16string(commandLine.substr(1, close - 1));
    } else {
        const size_t blank = commandLine.find(u' ');
        if (blank != Units::npos && blank >= 2) return std::u16string(commandLine.substr(0, blank));
    }
    return std::u16string(commandLine);
}

double browserVersion(uint32_t major, uint32_t minor) {
    double fraction = 0;
    if (minor > 0) {
        const double digits = std::floor(std::log(double(minor)) / std::log(10.0)) + 1;
        fraction = minor / std::pow(10.0, digits);
        if (fraction >= 1) fraction = 0;
    }
    return major + fraction;
}

std::optional<ColourParts> colourParts(Units text) {
    const size_t first = text.find(u',');
    if (first == Units::npos) return std::nullopt;
    const size_t second = text.find(u',', first + 1);
    if (second == Units::npos) return std::nullopt;
    return ColourParts{text.substr(0, first), text.substr(first + 1, second - first - 1), text.substr(second + 1)};
}

std::optional<int32_t> colourValue(const ColourParts& parts) {
    double sum = 0, weight = 1;
    for (Units part : parts) {
        const std::optional<int32_t> value = wholeNumber(part);
        if (!value || !inLongRange(*value * weight)) return std::nullopt;
        sum += *value * weight;
        if (!inLongRange(sum)) return std::nullopt;
        weight *= 256;
    }
    return static_cast<int32_t>(sum);
}

std::u16string rtfColour(const ColourParts& parts) {
    std::u16string out = u"\\red";
    out.append(parts[0]).append(u"\\green").append(parts[1]).append(u"\\blue").append(parts[2]);
    return out;
}

std::u16string versionLine(Units fileName, Units version) {
    std::u16string line(kNameColumns - std::min(kNameColumns, fileName.size()), u' ');
    line.append(fileName).append(u" ").append(version).append(u"\r\n");
    return line;
}

std::u16string runtimeReport(const std::function<std::u16string(Units)>& versionOf) {
    const std::u16string rule = std::u16string(kRuleLength, u'-') + u"\r\n";
    std::u16string report = rule;
    for (Units name : kRuntimeFiles)
        report += name.empty() ? std::u16string(u"\r\n") : versionLine(name, versionOf(name));
    return report + rule;
}

}  // namespace lark::sysinfo
