#include "files/file_operations.hpp"

#include "files/path_names.hpp"

#include <algorithm>

namespace lark::files {

namespace {
constexpr size_t kMaxPath = 260;

bool isDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

std::u16string twoDigits(int value) {
    return {static_cast<char16_t>(u'0' + value / 10 % 10), static_cast<char16_t>(u'0' + value % 10)};
}

// The text before the extension, "_", the part, and the extension.
std::u16string withSuffix(Units path, Units part) {
    return std::u16string(PathWithoutExtension(path)) + u'_' + std::u16string(part) +
           std::u16string(ExtensionFromPath(path));
}
}  // namespace

Units WithoutTrailingSeparator(Units path) { return EndsWithSeparator(path) ? path.substr(0, path.size() - 1) : path; }

bool IsDriveRelative(Units path) {
    return path.size() >= 2 && isDriveLetter(path[0]) && path[1] == u':' && (path.size() == 2 || path[2] != u'\\');
}

bool NamesOneEntryBelowRoot(Units path) {
    if (path.empty() || path.size() >= kMaxPath || path.find_first_of(u"*?") != Units::npos) return false;
    Units below;  // what follows the root
    if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == u':' && path[2] == u'\\') {
        below = path.substr(3);
    } else if (path.starts_with(u"\\\\")) {
        // \\server\share is the root of a UNC path.
        const size_t server = path.find(u'\\', 2);
        if (server == Units::npos || server == 2) return false;
        const size_t share = path.find(u'\\', server + 1);
        if (share == Units::npos || share == server + 1) return false;
        below = path.substr(share + 1);
    } else {
        return false;  // relative, or relative to a drive's current folder (C:x)
    }
    // Something other than separators (either kind), dots and blanks must be left, or the path
    // is the root again.
    return below.find_first_not_of(u"\\/. ") != Units::npos;
}

bool HasDotComponent(Units path) {
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find_first_of(u"\\/", start), path.size());
        const Units component = path.substr(start, end - start);
        if (component == u"." || component == u"..") return true;
        start = end + 1;
    }
    return false;
}

std::u16string DateStamp(int day, Units monthAbbreviation, int year) {
    std::u16string stamp = twoDigits(day) + std::u16string(monthAbbreviation);
    for (int divisor : {1000, 100, 10, 1})
        stamp.push_back(static_cast<char16_t>(u'0' + year / divisor % 10));
    return stamp;
}

std::u16string TimeStamp(int hour, int minute, int second) {
    return twoDigits(hour) + twoDigits(minute) + twoDigits(second);
}

std::u16string DateStampedName(Units pathname, Units stamp,
                               const std::function<bool(Units text, Units part)>& contains) {
    if (contains(FileNameFromPath(pathname), stamp)) return std::u16string(pathname);
    return withSuffix(pathname, stamp);
}

std::u16string TimeStampedName(Units candidate, Units timeStamp) { return withSuffix(candidate, timeStamp); }

}  // namespace lark::files
