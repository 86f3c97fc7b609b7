#include "files/file_utilities.hpp"

#include "files/path_names.hpp"

#include <algorithm>

namespace lark::files {

std::vector<std::u16string> SelectedPaths(Units filename) {
    std::vector<Units> parts;
    for (size_t at = 0; at <= filename.size() && !filename.empty();) {
        const size_t end = std::min(filename.find(u'\0', at), filename.size());
        parts.push_back(filename.substr(at, end - at));
        at = end + 1;
    }
    if (parts.size() < 2) return {parts.begin(), parts.end()};
    const Units folder = parts.front();
    std::vector<std::u16string> paths;
    for (auto name = parts.begin() + 1; name != parts.end(); ++name)
        paths.push_back(name->find(u'\\') != Units::npos ? std::u16string(*name)
                                                         : std::u16string(folder) + u'\\' + std::u16string(*name));
    return paths;
}

Units WithoutLeadingDot(Units extension) { return extension.starts_with(u'.') ? extension.substr(1) : extension; }

std::u16string ShortcutFileName(Units locationName) {
    return RepairFileName(PathWithoutExtension(locationName)) + u".url";
}

std::u16string InternetShortcutText(Units url) {
    return u"[InternetShortcut]\r\n\r\nURL=" + std::u16string(url) + u"\r\n\r\n";
}

}  // namespace lark::files
