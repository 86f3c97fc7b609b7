// CDeploy2's browser, display and window queries, and the runtime-file report. On the 9x family
// the window texts come through the ANSI calls, elsewhere through the wide ones.
#include "frame/errors.hpp"
#include "frame/filled_string.hpp"
#include "frame/platform_text.hpp"
#include "registry/Registry.hpp"
#include "sysinfo/CDeploy2.hpp"
#include "sysinfo/CVersion.hpp"
#include "sysinfo/deploy_rules.hpp"

#include <shlwapi.h>

#include <algorithm>

namespace lark::sysinfo {

namespace {

constexpr int kTextBuffer = 260;

// The browser's link colour as "r,g,b"; blue when the setting is missing.
std::u16string anchorSetting() {
    return registry::sharedRegistry().GetRegistryText(
        HKEY_CURRENT_USER, u"Software\\Microsoft\\Internet Explorer\\Settings", u"Anchor Color", defaultAnchorText);
}

// A text the platform writes into a buffer of 260 characters: call(buffer, size) answers its
// length, 0 or less for none.
template <class Call>
std::u16string wideText(Call call) {
    return filledString<char16_t>(kTextBuffer, [&](char16_t* out) {
        const int n = call(reinterpret_cast<wchar_t*>(out), kTextBuffer);
        return n > 0 ? static_cast<size_t>(n) : 0;
    });
}

template <class Call>
std::u16string ansiText(Call call) {
    char buffer[kTextBuffer] = {};
    const int n = call(buffer, kTextBuffer);
    return n > 0 ? com::fromAnsi({buffer, static_cast<size_t>(std::min(n, kTextBuffer))}) : std::u16string();
}

// The shell light-weight utility library's own version.
DLLVERSIONINFO shellUtilityVersion() {
    DLLVERSIONINFO info{};
    info.cbSize = sizeof info;
    com::unique_hmodule shlwapi(LoadLibraryA("shlwapi.dll"));
    auto getVersion = shlwapi ? reinterpret_cast<DLLGETVERSIONPROC>(
                                    reinterpret_cast<void (*)()>(GetProcAddress(shlwapi.get(), "DllGetVersion")))
                              : nullptr;
    if (!getVersion || FAILED(getVersion(&info))) info.dwMajorVersion = info.dwMinorVersion = 0;
    return info;
}

// The version a new CVersion finds for a file looked for by the platform; "" when it finds none.
std::u16string fileVersionOf(Units fileName) {
    std::u16string version;
    skipOnError([&] {
        com::ComPtr<CVersion> reader = com::makeObject<CVersion>();
        reader->read(fileName);
        version = reader->fullFileVersion();
    });
    return version;
}

}  // namespace

double Deploy::IEVersion() {
    if (ieVersion_ == 0) {
        DLLVERSIONINFO info{};
        skipOnError([&] { info = shellUtilityVersion(); });
        ieVersion_ = browserVersion(info.dwMajorVersion, info.dwMinorVersion);
    }
    return ieVersion_;
}

int32_t Deploy::AnchorColor() {
    if (anchorColour_ == 0) {
        const std::u16string setting = anchorSetting();
        if (const std::optional<ColourParts> parts = colourParts(setting)) {
            const std::optional<int32_t> colour = colourValue(*parts);
            if (!colour) return defaultAnchorColour;  // not numbers: asked again next time
            anchorColour_ = *colour;
        }
        if (anchorColour_ == 0) anchorColour_ = defaultAnchorColour;
    }
    return anchorColour_;
}

std::u16string Deploy::AnchorColorString() {
    if (anchorText_.empty()) anchorText_ = anchorSetting();
    if (anchorText_.empty()) anchorText_ = defaultAnchorText;
    return anchorText_;
}

std::u16string Deploy::AnchorColorRTFString() {
    if (anchorRtf_.empty()) {
        const std::u16string setting = anchorSetting();
        const std::optional<ColourParts> parts = colourParts(setting);
        anchorRtf_ = parts ? rtfColour(*parts) : std::u16string(defaultAnchorRtf);
    }
    return anchorRtf_;
}

std::u16string Deploy::GetWindowClassName(HWND window) {
    if (IsWindows9x()) return ansiText([&](char* out, int size) { return GetClassNameA(window, out, size); });
    return wideText([&](wchar_t* out, int size) { return GetClassNameW(window, out, size); });
}

std::u16string Deploy::GetWindowText(HWND window) {
    if (IsWindows9x()) return ansiText([&](char* out, int size) { return GetWindowTextA(window, out, size); });
    return wideText([&](wchar_t* out, int size) { return GetWindowTextW(window, out, size); });
}

std::u16string Deploy::WMGETTEXT(HWND window, int32_t timeout) {
    // A window of another thread of this process that answers after the time-out still writes
    // into the buffer it was lent, so the buffer outlives the call.
    thread_local wchar_t lent[kTextBuffer];
    // Handles that stand for every window (HWND_BROADCAST, HWND_TOPMOST) would send the buffer
    // round them all.
    if (!IsWindow(window)) return {};
    // Wine waits for the answer, however long, when the time-out is 0.
    const UINT wait = static_cast<UINT>(std::max(timeout, 1));
    const UINT flags = SMTO_BLOCK | SMTO_ABORTIFHUNG;
    const auto ask = [&](auto send) {
        DWORD_PTR count = 0;
        return send(window, WM_GETTEXT, kTextBuffer, reinterpret_cast<LPARAM>(lent), flags, wait, &count)
                   ? static_cast<int>(std::min<DWORD_PTR>(count, kTextBuffer - 1))
                   : 0;
    };
    if (IsWindows9x()) {
        const int n = ask(SendMessageTimeoutA);
        return n > 0 ? com::fromAnsi({reinterpret_cast<const char*>(lent), static_cast<size_t>(n)}) : u"";
    }
    const int n = ask(SendMessageTimeoutW);
    return std::u16string(reinterpret_cast<const char16_t*>(lent), static_cast<size_t>(n));
}

int32_t Deploy::DisplayBPP() {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;  // the platform checks it
    return EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode) ? static_cast<int32_t>(mode.dmBitsPerPel) : 0;
}

std::u16string Deploy::GetDLLVersions() { return runtimeReport(fileVersionOf); }

}  // namespace lark::sysinfo
