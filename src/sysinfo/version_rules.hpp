// Which Windows the version record describes. Portable, so that every family and version can be
// checked on any host, whatever system the tests happen to run on.
#pragma once

#include <cstdint>
#include <optional>

namespace lark::sysinfo {

// The platform identifiers of the version record.
inline constexpr uint32_t platformWindows = 1;  // 95, 98, Me
inline constexpr uint32_t platformNT = 2;

// The parts of the platform's version record that the rules read. A record that could not be
// read is all zeros, which no rule accepts.
struct VersionRecord {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t platform = 0;
};

bool isWindows9x(const VersionRecord& v) noexcept;
// Also true on Me.
bool isWindows98(const VersionRecord& v) noexcept;
bool isWindowsNT4(const VersionRecord& v) noexcept;
// Every NT from 5.0 on.
bool isWindows200x(const VersionRecord& v) noexcept;
// Major and minor are tested separately: true for 5.1, 5.2 and 6.1, false for 6.0.
bool isWindowsXP(const VersionRecord& v) noexcept;
// Whether the system offers long forms of short path names (Me, and NT from 5.0 on).
bool hasLongPathNames(const VersionRecord& v) noexcept;

// The version record of one owner, read on first use only: a failed read is not repeated and
// leaves the all-zero record.
class VersionOnce {
public:
    // read() gives std::optional<VersionRecord>, empty when the platform refused.
    template <class Read>
    const VersionRecord& get(Read&& read) {
        if (!asked_) {
            asked_ = true;
            if (std::optional<VersionRecord> r = read()) record_ = *r;
        }
        return record_;
    }

private:
    bool asked_ = false;
    VersionRecord record_;
};

}  // namespace lark::sysinfo
