#include "sysinfo/CDeploy2.hpp"

#include "frame/errors.hpp"
#include "frame/per_thread.hpp"
#include "frame/raii.hpp"
#include "sysinfo/deploy_rules.hpp"

namespace lark::sysinfo {

using com::traps;

Deploy::Deploy(VersionRecord fixed) {
    version_.get([&] { return std::optional(fixed); });
}

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

namespace {
// A text answer that stops at the first error, with "" at worst.
template <class Text>
HRESULT answerText(BSTR* result, Text text) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(text());
    });
}

void writeBack(BSTR* target, std::u16string_view text) {
    if (target) com::assignBstr(target, text);
}
}  // namespace

HRESULT CDeploy2::GetOfficeAppVersion(OFFICEAPPS OfficeApp, LONG* result) {
    return traps(result, [&] {
        *result = 0;
        *result = deploy_.GetOfficeAppVersion(OfficeApp);
    });
}

HRESULT CDeploy2::GetOfficeAppExePath(OFFICEAPPS OfficeApp, BSTR* result) {
    return answerText(result, [&] { return deploy_.GetOfficeAppExePath(OfficeApp); });
}

// Stops at the first error with False, the outputs written as far as the lookup got.
HRESULT CDeploy2::GetAssociation(BSTR Extension, BSTR* ExtensionProgID, BSTR* FileDescription,
                                 BSTR* AssociatedApplication, BSTR* RawCommandLine, BSTR* IconPath,
                                 VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        Deploy::Association found;
        bool complete = false;
        stopOnError([&] {
            deploy_.GetAssociation(com::view(Extension), found);
            complete = true;
        });
        writeBack(ExtensionProgID, found.progId);
        writeBack(FileDescription, found.description);
        writeBack(AssociatedApplication, found.application);
        writeBack(RawCommandLine, found.commandLine);
        writeBack(IconPath, found.iconPath);
        *result = com::variantBool(complete);
    });
}

// Stops at the first error with False; the caller's variables are never changed.
HRESULT CDeploy2::SetAssociation(BSTR Extension, BSTR* NewCommandLine, BSTR* IconPath, BSTR* FileDescription,
                                 BSTR* RecommendedProgID, OFFICEAPPS OfficeApp, VARIANT_BOOL Force,
                                 VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        *result = com::variantBool(deploy_.SetAssociation(com::view(Extension), com::view(NewCommandLine),
                                                          com::view(IconPath), com::view(FileDescription),
                                                          com::view(RecommendedProgID), OfficeApp, Force));
    });
}

HRESULT CDeploy2::GetOfficeProductVersion2(OFFICEAPPS OfficeApp, BSTR* result) {
    return answerText(result, [&] { return deploy_.GetOfficeProductVersion2(OfficeApp); });
}

HRESULT CDeploy2::get_IEVersion(double* result) {
    return traps(result, [&] {
        *result = 0;
        *result = deploy_.IEVersion();
    });
}

HRESULT CDeploy2::get_AnchorColor(OLE_COLOR* result) {
    return traps(result, [&] {
        *result = defaultAnchorColour;
        *result = deploy_.AnchorColor();
    });
}

HRESULT CDeploy2::get_AnchorColorString(BSTR* result) {
    return traps(result, [&] {
        *result = com::allocBstr(defaultAnchorText);
        com::assignBstr(result, deploy_.AnchorColorString());
    });
}

HRESULT CDeploy2::get_AnchorColorRTFString(BSTR* result) {
    return traps(result, [&] {
        *result = com::allocBstr(defaultAnchorRtf);
        com::assignBstr(result, deploy_.AnchorColorRTFString());
    });
}

HRESULT CDeploy2::GetWindowClassName(LONG hWnd, BSTR* result) {
    return answerText(result, [&] { return deploy_.GetWindowClassName(com::windowHandle(hWnd)); });
}

HRESULT CDeploy2::GetWindowText(LONG hWnd, BSTR* result) {
    return answerText(result, [&] { return deploy_.GetWindowText(com::windowHandle(hWnd)); });
}

HRESULT CDeploy2::WMGETTEXT(LONG hWnd, LONG TimeOut, BSTR* result) {
    return answerText(result, [&] { return deploy_.WMGETTEXT(com::windowHandle(hWnd), TimeOut); });
}

HRESULT CDeploy2::get_DisplayBPP(LONG* result) {
    return traps(result, [&] {
        *result = 0;
        *result = deploy_.DisplayBPP();
    });
}

HRESULT CDeploy2::GetDLLVersions(BSTR* result) {
    return answerText(result, [&] { return deploy_.GetDLLVersions(); });
}

}  // namespace lark::sysinfo
