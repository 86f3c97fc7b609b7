#include "sysinfo/version_rules.hpp"

namespace lark::sysinfo {

bool isWindows9x(const VersionRecord& v) noexcept { return v.platform == platformWindows; }

bool isWindows98(const VersionRecord& v) noexcept {
    return v.platform == platformWindows && ((v.major == 4 && v.minor > 0) || v.major > 4);
}

bool isWindowsNT4(const VersionRecord& v) noexcept { return v.platform == platformNT && v.major == 4; }

bool isWindows200x(const VersionRecord& v) noexcept { return v.platform == platformNT && v.major >= 5; }

bool isWindowsXP(const VersionRecord& v) noexcept { return v.platform == platformNT && v.major >= 5 && v.minor >= 1; }

bool hasLongPathNames(const VersionRecord& v) noexcept {
    return (v.platform == platformWindows && v.minor > 10) || (v.platform == platformNT && v.major >= 5);
}

}  // namespace lark::sysinfo
