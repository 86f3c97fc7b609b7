#include "ui/help_rules.hpp"

#include <algorithm>
#include <array>

namespace lark::ui {

namespace {

char16_t folded(char16_t unit) { return unit >= u'a' && unit <= u'z' ? unit - (u'a' - u'A') : unit; }

bool sameText(Units a, Units b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return folded(x) == folded(y); });
}

// -1, 0 or 1, unit by unit with case ignored; a text that runs out first is the smaller.
int compareText(Units a, Units b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (folded(a[i]) != folded(b[i])) return folded(a[i]) < folded(b[i]) ? -1 : 1;
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

std::u16string padded(uint16_t number, size_t digits) {
    std::u16string text;
    for (unsigned n = number; n || text.empty(); n /= 10)
        text.insert(text.begin(), static_cast<char16_t>(u'0' + n % 10));
    if (text.size() < digits) text.insert(0, digits - text.size(), u'0');
    return text;
}

// clang-format off
constexpr std::array<ComponentRelease, 11> kHelpEngine{{
    {u"4.72.7290.00", u"1.0", 16, u"4.72.7290"},
    {u"4.72.7323.00", u"1.1", 17, u"4.72.7323"},
    {u"4.72.7325.00", u"1.1a", 18, u"4.72.7325"},
    {u"4.72.8164.00", u"1.1b", 19, u"4.72.8164.0"},
    {u"4.73.8252.00", u"1.2", 20, u"4.73.8252"},
    {u"4.73.8412.00", u"1.21", 21, u"4.73.8412"},
    {u"4.73.8474.00", u"1.21a", 22, u"4.73.8474"},
    {u"4.73.8561.00", u"1.22", 23, u"4.73.8561"},
    {u"4.74.8566.00", u"1.3 Windows 2000 Beta", 24, u"4.74.8566"},
    {u"4.74.8637.00", u"1.3 IE 5.5 Platform Preview Beta", 25, u"4.74.8637"},
    {u"4.74.8702.00", u"1.3", 26, u"4.74.8702"},
}};

// Several rows carry leading zeros or four-digit revisions that componentVersion never writes;
// those releases are named "unknown", and the rows stay as the releases were published.
constexpr std::array<ComponentRelease, 20> kBrowser{{
    {u"4.70.1155.0000", u"3.0", 256, u"4.70.1155"},
    {u"4.70.1158.0000", u"3.0 OSR2", 257, u"4.70.1158"},
    {u"4.70.1215.0000", u"3.02", 258, u"4.70.1215"},
    {u"4.70.1300.0000", u"3.02", 259, u"4.70.1300"},
    {u"4.71.1008.3000", u"4.0 PP2", 260, u"4.71.1008.3"},
    {u"4.71.1712.5000", u"4.0", 261, u"4.71.1712.5"},
    {u"4.72.2106.7000", u"4.01", 262, u"4.72.2106.7"},
    {u"4.72.3110.0300", u"4.0 SP1", 263, u"4.72.3110.03"},
    {u"4.72.3612.1707", u"4.0 SP2", 264, u"4.72.3612.1707"},
    {u"5.00.0518.5000", u"5.0 beta 1", 265, u"5.00.0518.5"},
    {u"5.00.0910.1308", u"5.0 beta 2", 266, u"5.00.0910.1308"},
    {u"5.00.2014.2130", u"5.0", 267, u"5.00.2014.213"},
    {u"5.00.2314.1000", u"5.0a (Office 2000)", 268, u"5.00.2314.1000"},
    {u"5.00.2614.3500", u"5.0b (Windows 98 SE)", 269, u"5.00.2614.3500"},
    {u"5.00.2717.2000", u"5.0c (Icon Security Issue Update)", 270, u"5.0.2717.2000"},
    {u"5.00.2721.1400", u"5.0d (ImportExport Favorites Issue Update)", 271, u"5.00.2721.1400"},
    {u"5.00.2919.800", u"5.x (Windows 2000 RC1, build 5.00.2072)", 272, u"5.00.2919.800"},
    {u"5.00.2919.3800", u"5.x (Windows 2000 RC2, build 5.00.2128)", 273, u"5.00.2919.3800"},
    {u"5.00.2919.6307", u"5.01", 274, u"5.00.2919.6307"},
    {u"5.50.3825.1300", u"5.5 Platform Preview", 275, u"5.50.3825.1300"},
}};
// clang-format on

}  // namespace

bool endsWith3(Units name, Units ext) { return name.size() >= 3 && sameText(name.substr(name.size() - 3), ext); }

std::u16string helpTarget(Units file, Units windowType) {
    std::u16string target(file);
    if (!isBlank(windowType)) (target += u'>') += windowType;
    return target;
}

Units bareName(Units path) {
    const size_t slash = path.rfind(u'\\');
    return slash == Units::npos ? path : path.substr(slash + 1);
}

Units folderOf(Units path) {
    const size_t slash = path.rfind(u'\\');
    return slash == Units::npos ? Units() : path.substr(0, slash + 1);
}

Units storedFolder(Units data) {
    while (!data.empty() && data.back() == u'\0')
        data.remove_suffix(1);
    if (!data.empty() && data.back() == u'\\') data.remove_suffix(1);
    return data;
}

std::u16string componentVersion(uint16_t major, uint16_t minor, uint16_t build, uint16_t revision) {
    std::u16string text = padded(major, 1) + u"." + padded(minor, 2) + u".";
    if (build < 1) return text + padded(revision, 4);
    return text + padded(build, 2) + u"." + padded(revision, 2);
}

std::span<const ComponentRelease> helpEngineReleases() { return kHelpEngine; }
std::span<const ComponentRelease> browserReleases() { return kBrowser; }

Units friendlyName(std::span<const ComponentRelease> releases, Units version) {
    const auto found =
        std::ranges::find_if(releases, [&](const ComponentRelease& r) { return sameText(r.version, version); });
    return found == releases.end() ? u"unknown" : found->name;
}

std::optional<bool> reachesRelease(std::span<const ComponentRelease> releases, int32_t value, Units version) {
    const auto found = std::ranges::find(releases, value, &ComponentRelease::value);
    if (found == releases.end()) return std::nullopt;
    return compareText(version, found->key) >= 0;
}

std::u16string popupFont(Units face, Units size, bool bold, bool italic, bool underline) {
    std::u16string text(face.empty() ? u"Arial" : face);
    text += u", ";
    text += size.empty() ? u"10" : size;
    text += u", ascii, ";
    if (bold) text += u"Bold ";
    if (italic) text += u"Italic ";
    if (underline) text += u"Underline";
    return text;
}

void PopupStyle::resetAfterShow() {
    textColor = backColor = customTextColor = customBackColor = 0;
    face.clear(), size.clear();
    bold = false;
}

int operatingSystemClass(const sysinfo::VersionRecord& v) noexcept {
    if (v.platform == sysinfo::platformWindows) return v.minor == 0 ? 2 : v.minor == 10 ? 4 : 0;
    if (v.platform != sysinfo::platformNT) return 0;
    switch (v.major) {
        case 3:
            return 1;
        case 4:
            return 3;
        case 5:
            return 5;
        default:
            return 0;
    }
}

std::u16string longNameByComponents(Units path, const FoundName& foundName) {
    if (!path.empty() && path.front() == u'"') path.remove_prefix(1);
    if (!path.empty() && path.back() == u'"') path.remove_suffix(1);
    size_t end = path.find(u'\\');
    if (end == Units::npos) return std::u16string(path);
    std::u16string done(path.substr(0, end));  // the drive
    while (end < path.size()) {
        const size_t next = std::min(path.find(u'\\', end + 1), path.size());
        const Units component = path.substr(end + 1, next - end - 1);
        const std::optional<std::u16string> found = foundName(done + u"\\" + std::u16string(component));
        if (!found) return done + std::u16string(path.substr(end));
        done += u"\\" + *found;
        end = next;
    }
    return done;
}

}  // namespace lark::ui
