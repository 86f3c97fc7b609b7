// What CDeploy2 makes of the texts and numbers it reads: the Office applications' registry keys,
// server and open command lines, the browser's version number and link colour, and the layout of
// the runtime-file report. Portable, so every rule is checked on the host.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace lark::sysinfo {

using Units = std::u16string_view;

// An Office application as an OFFICEAPPS value selects it: the document ProgID whose
// registration tells its version and server, and the application name of its "Open With" verb.
struct OfficeApp {
    Units progId;
    Units verbName;  // "" for Access and Binder
};

// The application of value 1 to 5; nothing for any other value.
std::optional<OfficeApp> officeApplication(int32_t value) noexcept;

// A whole number written in decimal, blanks around it allowed, a fraction rounded half to even;
// nothing when the text is no such number or the value leaves the Long range.
std::optional<int32_t> wholeNumber(Units text);

// The version a versioned ProgID ends in ("Excel.Sheet.8" gives 8): the number after its last dot,
// when that dot stands after the first character.
std::optional<int32_t> progIdVersion(Units versionedProgId);

// The program path of a local server's command line: quotes around it and switches after it
// ("/automation") removed, blanks trimmed.
std::u16string serverProgram(Units commandLine);

// The program an open command starts: a quoted path without its quotes, or an unquoted command's
// text before its first blank; otherwise the whole command.
std::u16string commandProgram(Units commandLine);

// The browser's version as one number: the minor version behind the decimal point by its count of
// digits (5.50 gives 5.5, 6.12 gives 6.12). The count comes from a logarithm; where that makes the
// fraction 1 or more (6.1000), the fraction counts as 0.
double browserVersion(uint32_t major, uint32_t minor);

// Red, green and blue of an "r,g,b" text, split at the first two commas, as views into the text;
// nothing unless there are three parts.
using ColourParts = std::array<Units, 3>;
std::optional<ColourParts> colourParts(Units text);

// red + green * 256 + blue * 65,536; nothing when a part is not a whole number or the sum leaves
// the Long range.
std::optional<int32_t> colourValue(const ColourParts& parts);

// The colour-table entry of rich text, the parts as written: "\red255\green0\blue0".
std::u16string rtfColour(const ColourParts& parts);

// The link colour when the browser's setting gives none: blue.
inline constexpr int32_t defaultAnchorColour = 0xFF0000;
inline constexpr Units defaultAnchorText = u"0,0,255";
inline constexpr Units defaultAnchorRtf = u"\\red0\\green0\\blue255";

// One line of the runtime-file report: the name right-aligned in 20 columns, a blank, the version.
std::u16string versionLine(Units fileName, Units version);

// The runtime-file report: a rule, the files in their groups with an empty line after each group,
// and a closing rule. versionOf gives a file's version, "" when it has none.
std::u16string runtimeReport(const std::function<std::u16string(Units)>& versionOf);

}  // namespace lark::sysinfo
