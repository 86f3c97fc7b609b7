#include "sysinfo/CDeploy2.hpp"

#include "frame/errors.hpp"
#include "frame/per_thread.hpp"
#include "frame/raii.hpp"

namespace lark::sysinfo {

using com::traps;

namespace {


}  // namespace

std::optional<VersionRecord> readPlatformVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return std::nullopt;
    return VersionRecord{info.dwMajorVersion, info.dwMinorVersion, info.dwPlatformId};
}

const VersionRecord& Deploy::version() { return version_.get(readPlatformVersion); }

bool Deploy::IsWindowsXP() { return isWindowsXP(version()); }
bool Deploy::IsWindows200x() { return isWindows200x(version()); }
bool Deploy::IsWindows9x() { return isWindows9x(version()); }
bool Deploy::IsWindows98() { return isWindows98(version()); }
bool Deploy::IsWindowsNT4() { return isWindowsNT4(version()); }

bool Deploy::IsUnicodeSystem() {
    if (!unicodeKnown_) {
        // The wide-character interface exists when it answers at all: only the 9x family stubs it.
        unicode_ = GetWindowsDirectoryW(nullptr, 0) != 0;
        unicodeKnown_ = true;
    }
    return unicode_;
}

bool Deploy::IsAdministrator() {
    if (IsWindows9x()) return true;
    // Full access to the service database is granted to administrators only.
    com::unique_schandle manager(OpenSCManagerA(nullptr, nullptr, GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE));
    return static_cast<bool>(manager);
}

bool Deploy::Is64bit() {
    // Looked up, not imported: kernels before XP SP2 do not have it.
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE kernel = GetModuleHandleA("kernel32");
    if (!kernel) return false;
    auto isWow64 =
        reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

Deploy& sharedDeploy() { return com::perThread<Deploy>(); }

namespace {
// No member raises: the answer is False when anything fails on the way.
HRESULT answer(VARIANT_BOOL* result, Deploy& deploy, bool (Deploy::*question)()) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        *result = com::variantBool((deploy.*question)());
    });
}
}  // namespace

HRESULT CDeploy2::IsWindowsXP(VARIANT_BOOL* result) { return answer(result, deploy_, &Deploy::IsWindowsXP); }
HRESULT CDeploy2::IsWindows200x(VARIANT_BOOL* result) { return answer(result, deploy_, &Deploy::IsWindows200x); }
HRESULT CDeploy2::IsWindows9x(VARIANT_BOOL* result) { return answer(result, deploy_, &Deploy::IsWindows9x); }
HRESULT CDeploy2::IsWindows98(VARIANT_BOOL* result) { return answer(result, deploy_, &Deploy::IsWindows98); }
HRESULT CDeploy2::IsWindowsNT4(VARIANT_BOOL* result) { return answer(result, deploy_, &Deploy::IsWindowsNT4); }
HRESULT CDeploy2::get_IsUnicodeSystem(VARIANT_BOOL* result) {
    return answer(result, deploy_, &Deploy::IsUnicodeSystem);
}
HRESULT CDeploy2::get_IsAdministrator(VARIANT_BOOL* result) {
    return answer(result, deploy_, &Deploy::IsAdministrator);
}
HRESULT CDeploy2::get_Is64bit(VARIANT_BOOL* result) { return answer(result, deploy_, &Deploy::Is64bit); }

}  // namespace lark::sysinfo
