// What CHTMLHelp decides without the platform: help-file and popup-file names, bare names and
// folders, the version text of the help engine and the browser, their release tables and the
// minimum-configuration test, the popup's font text, which long-name expansion a system gets and
// the component walk of that expansion. Portable, so every rule is checked on the host.
#pragma once

#include "sysinfo/version_rules.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lark::ui {

using Units = std::u16string_view;

// Whether the name's last three units are ext (three lower-case letters), case ignored.
bool endsWith3(Units name, Units ext);
inline bool isHelpFileName(Units name) { return endsWith3(name, u"chm"); }
inline bool isPopupFileName(Units name) { return endsWith3(name, u"txt"); }

// Blank: nothing but spaces.
inline bool isBlank(Units text) { return text.find_first_not_of(u' ') == Units::npos; }

// What the engine is given to open: the file, and ">" and the window type unless that is blank.
std::u16string helpTarget(Units file, Units windowType);

// The text after the last backslash (all of it when there is none), and the text up to and with it.
Units bareName(Units path);
Units folderOf(Units path);

// A folder as the registration stores it, without its closing NULs and trailing backslash.
Units storedFolder(Units data);

// The version text of a component: major, minor with two digits, then the revision with four
// digits when the build number is 0, else the build number and the revision with two digits each.
std::u16string componentVersion(uint16_t major, uint16_t minor, uint16_t build, uint16_t revision);

// One release of the help engine or the browser: the version text it reports, its friendly name,
// its enumeration value and the key that the minimum-configuration test compares with.
struct ComponentRelease {
    Units version, name;
    int32_t value;
    Units key;
};
std::span<const ComponentRelease> helpEngineReleases();
std::span<const ComponentRelease> browserReleases();

// The friendly name of a version text (whole text, case ignored), or "unknown".
Units friendlyName(std::span<const ComponentRelease> releases, Units version);

// Whether the version reaches the release of that value: the version text is at least the key,
// compared unit by unit with case ignored. Nothing when no release has the value.
std::optional<bool> reachesRelease(std::span<const ComponentRelease> releases, int32_t value, Units version);

// The popup's font text: "face, size, ascii, " and the style words.
std::u16string popupFont(Units face, Units size, bool bold, bool italic, bool underline);

// How a popup looks, as its properties set it. After each popup shown, the colours, the face,
// the size and bold go back to their defaults; the custom-colour choice, italic and underline stay.
struct PopupStyle {
    uint32_t textColor = 0, backColor = 0, customTextColor = 0, customBackColor = 0;
    bool customColors = false, bold = false, italic = false, underline = false;
    std::u16string face, size;

    uint32_t foreground() const { return customColors ? customTextColor : textColor; }
    uint32_t background() const { return customColors ? customBackColor : backColor; }
    std::u16string font() const { return popupFont(face, size, bold, italic, underline); }
    void resetAfterShow();
};

// The operating-system class that picks the long-name expansion: 2 for 95, 4 for 98, 1 for NT 3,
// 3 for NT 4, 5 for NT 5 (2000, XP), 0 for everything else (Me, and NT from 6 on).
int operatingSystemClass(const sysinfo::VersionRecord& v) noexcept;
inline bool expandsWithPlatform(int osClass) { return osClass >= 4; }

// The long form of a path by its components: without one leading and one trailing quote, each
// component after the drive replaced by the name that foundName gives for the path up to it,
// left to right, stopping at the first one it does not find.
using FoundName = std::function<std::optional<std::u16string>(Units pathSoFar)>;
std::u16string longNameByComponents(Units path, const FoundName& foundName);

}  // namespace lark::ui
