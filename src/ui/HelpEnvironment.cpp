// CHTMLHelp's environment: whether the help engine is installed, the versions of the engine and
// of the browser component with their release names and the minimum-configuration test, and the
// pop-ups and What's This help.
#include "ui/CHTMLHelp.hpp"

#include "frame/errors.hpp"
#include "frame/module.hpp"
#include "frame/platform_text.hpp"
#include "frame/raii.hpp"
#include "registry/Registry.hpp"
#include "sysinfo/CDeploy2.hpp"
#include "sysinfo/version_text.hpp"
#include "ui/help_rules.hpp"

#include <htmlhelp.h>

#include <vector>

namespace lark::ui {

using com::traps;
using com::view;

namespace {

constexpr char kEngineTypeLibrary[] = "SOFTWARE\\Classes\\TypeLib\\{ADB880A2-D8FF-11CF-9377-00AA003B7A11}";
constexpr size_t kLongestVersionBlock = 64000;
// The pop-up record's size as the engine is sent it; the margins -1 ask for its own.
constexpr int kPopupRecordSize = 50;

std::optional<WIN32_FIND_DATAA> firstMatch(const std::string& path) {
    WIN32_FIND_DATAA found{};
    const com::unique_hfind search(FindFirstFileA(path.c_str(), &found));
    if (!search) return std::nullopt;
    return found;
}

std::string expandedEnvironment(const std::string& text) {
    const DWORD size = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (size == 0) return text;
    std::string expanded(size, '\0');
    const DWORD written = ExpandEnvironmentStringsA(text.c_str(), expanded.data(), size);
    expanded.resize(written > 0 && written <= size ? written - 1 : 0);
    return expanded;
}

// The long form of a path with short names in it; by the platform on the systems that offer it,
// else component by component.
std::string longPathName(const std::string& path) {
    if (path.find('~') == std::string::npos) return path;
    const int osClass = operatingSystemClass(sysinfo::readPlatformVersion().value_or(sysinfo::VersionRecord{}));
    if (expandsWithPlatform(osClass)) {
        char buffer[256]{};
        const DWORD n = GetLongPathNameA(path.c_str(), buffer, sizeof buffer);
        return n > 0 && n < sizeof buffer ? std::string(buffer, n) : path;
    }
    return com::toAnsi(longNameByComponents(com::fromAnsi(path), [](Units soFar) -> std::optional<std::u16string> {
        const std::optional<WIN32_FIND_DATAA> found = firstMatch(com::toAnsi(soFar));
        if (!found) return std::nullopt;
        return com::fromAnsi(found->cFileName);
    }));
}

// The file version of a component as its text; "" when the file has no version resource.
std::u16string componentVersionOf(const std::string& path) {
    DWORD unused = 0;
    const DWORD size = std::min<DWORD>(GetFileVersionInfoSizeA(path.c_str(), &unused), kLongestVersionBlock);
    if (size == 0) return {};
    std::vector<std::byte> block(size);
    void* value = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\", &value, &length))
        return {};
    const sysinfo::FixedFileInfo fixed = sysinfo::fixedFileInfoFrom(sysinfo::insideBlock(block, value, length));
    return componentVersion(HIWORD(fixed.fileVersionMS), LOWORD(fixed.fileVersionMS), HIWORD(fixed.fileVersionLS),
                            LOWORD(fixed.fileVersionLS));
}

}  // namespace

// Where a component is registered, and what the user is told when it is not there.
struct CHTMLHelp::Component {
    std::u16string_view key, notRegistered, missing;
};

void CHTMLHelp::lookUpComponent(const Component& component, std::u16string& version) {
    const std::u16string registered = registry::sharedRegistry().GetRegistryText(HKEY_CLASSES_ROOT, component.key, u"");
    if (registered.empty()) {
        showStopMessage(component.notRegistered);
        version.clear();
        return;
    }
    const std::string path = longPathName(expandedEnvironment(com::toAnsi(registered)));
    if (firstMatch(path))
        version = componentVersionOf(path);
    else
        showStopMessage(component.missing);
}

void CHTMLHelp::lookUpHelpEngine() {
    static const Component engine{u"CLSID\\{4662DAB0-D393-11D0-9A56-00C04FB68B66}\\InprocServer32",
                                  u"Hhctrl.ocx is not registered.  Please install HTML Help.",
                                  u"Hhctrl.ocx is not in its registered location.  Please reinstall HTML Help."};
    lookUpComponent(engine, hhVersion_);
}

void CHTMLHelp::lookUpBrowser() {
    static const Component browser{
        u"CLSID\\{0A89A860-D7B1-11CE-8350-444553540000}\\InProcServer32",
        u"Shdocvw.dll is not registered.  Please install Internet Explorer.",
        u"Internet Explorer is not in its registered location.  Please reinstall Internet Explorer."};
    lookUpComponent(browser, ieVersion_);
}

// True when the engine's type library can be opened with full access, which a caller without
// full access to the key does not get.
HRESULT CHTMLHelp::get_HHInstalled(VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        com::unique_hkey key;
        *result = com::variantBool(
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEngineTypeLibrary, 0, KEY_ALL_ACCESS, key.put()) == ERROR_SUCCESS);
    });
}

namespace {
HRESULT versionText(BSTR* result, const std::u16string& version) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(version);
    });
}
}  // namespace

// Errors ignored: the version found so far, "" when nothing.
HRESULT CHTMLHelp::get_HHVersion(BSTR* result) {
    skipOnError([&] { lookUpHelpEngine(); });
    return versionText(result, hhVersion_);
}

HRESULT CHTMLHelp::get_IEVersion(BSTR* result) {
    skipOnError([&] { lookUpBrowser(); });
    return versionText(result, ieVersion_);
}

HRESULT CHTMLHelp::get_HHFriendlyName(BSTR* result) {
    skipOnError([&] {
        if (hhVersion_.empty()) lookUpHelpEngine();
        hhFriendlyName_ = friendlyName(helpEngineReleases(), hhVersion_);
    });
    return versionText(result, hhFriendlyName_);
}

HRESULT CHTMLHelp::get_IEFriendlyName(BSTR* result) {
    skipOnError([&] {
        if (ieVersion_.empty()) lookUpBrowser();
        ieFriendlyName_ = friendlyName(browserReleases(), ieVersion_);
    });
    return versionText(result, ieFriendlyName_);
}

// Stops at the first error with False. A minimum that names no release makes its version "unknown".
HRESULT CHTMLHelp::HHVerifyMinConfig(HHVersion* MinHHVersion, HHIEVersion* MinIEVersion, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        lookUpHelpEngine();
        lookUpBrowser();
        const auto passes = [](std::span<const ComponentRelease> releases, const auto* minimum,
                               std::u16string& version) {
            const std::optional<bool> reached = reachesRelease(releases, minimum ? *minimum : 0, version);
            if (!reached) version = u"unknown";
            return reached.value_or(false);
        };
        const bool engine = passes(helpEngineReleases(), MinHHVersion, hhVersion_);
        const bool browser = passes(browserReleases(), MinIEVersion, ieVersion_);
        *result = com::variantBool(engine && browser);
    });
}

// ---- pop-ups ----

void CHTMLHelp::showPopup(LONG* callingForm) {
    if (popupType_ != HH_CHM_POPUP && popupType_ != HH_RESOURCE_POPUP && popupType_ != HH_TEXT_POPUP) return;
    if (popupType_ == HH_CHM_POPUP) {
        checkHelpFile(chmFile_);
        if (!ensureFileExists(chmFile_)) return;
    }
    if (popupType_ == HH_TEXT_POPUP && popupText_.empty()) return;
    AnsiPopupRecord popup{};
    GetCursorPos(&popup.pt);
    std::string text;
    if (popupType_ == HH_RESOURCE_POPUP) {
        char buffer[1024]{};
        text.assign(buffer, LoadStringA(com::moduleHandle(), static_cast<UINT>(popupId_), buffer, sizeof buffer));
    } else if (popupType_ == HH_TEXT_POPUP) {
        text = com::toAnsi(popupText_);
    } else {
        popup.idString = static_cast<UINT>(popupId_);
    }
    const std::string font = com::toAnsi(popupStyle_.font());
    popup.cbStruct = kPopupRecordSize;
    popup.pszText = text.c_str();
    popup.clrForeground = popupStyle_.foreground();
    popup.clrBackground = popupStyle_.background();
    popup.rcMargins = RECT{-1, -1, -1, -1};
    popup.pszFont = font.c_str();
    const HWND caller = callingForm ? com::windowHandle(*callingForm) : nullptr;
    if (popupType_ == HH_CHM_POPUP) {
        if (!isPopupFileName(popupFile_))
            showWarningMessage(u"The file specified as the text popup source, '" + popupFile_ +
                               u"', is not a valid popup file.");
        const std::string source = com::toAnsi(chmFile_ + u"::/" + popupFile_);
        callHtmlHelp(caller, source.c_str(), HH_DISPLAY_TEXT_POPUP, reinterpret_cast<DWORD_PTR>(&popup));
    } else {
        callHtmlHelp(caller, nullptr, HH_DISPLAY_TEXT_POPUP, reinterpret_cast<DWORD_PTR>(&popup));
    }
    popupStyle_.resetAfterShow();
}

HRESULT CHTMLHelp::HHDisplayPopup(LONG* CallingForm) {
    return traps([&] { showPopup(CallingForm); });
}

HRESULT CHTMLHelp::HHInvokeWhatsThisHelp(LONG* CallingForm) {
    return traps([&] {
        DefWindowProcA(CallingForm ? com::windowHandle(*CallingForm) : nullptr, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
    });
}

HRESULT CHTMLHelp::put_HHPopupType(HHPopupType RHS) {
    return traps([&] { popupType_ = RHS; });
}
HRESULT CHTMLHelp::put_HHPopupFile(BSTR RHS) {
    return traps([&] { popupFile_ = view(RHS); });
}
HRESULT CHTMLHelp::put_HHPopupID(LONG RHS) {
    return traps([&] { popupId_ = RHS; });
}
HRESULT CHTMLHelp::put_HHPopupText(BSTR RHS) {
    return traps([&] { popupText_ = view(RHS); });
}
HRESULT CHTMLHelp::put_HHPopupTextColor(OLE_COLOR RHS) {
    return traps([&] { popupStyle_.textColor = RHS; });
}
HRESULT CHTMLHelp::put_HHPopupBackColor(OLE_COLOR RHS) {
    return traps([&] { popupStyle_.backColor = RHS; });
}
HRESULT CHTMLHelp::put_HHPopupCustomTextColor(LONG RHS) {
    return traps([&] { popupStyle_.customTextColor = static_cast<uint32_t>(RHS); });
}
HRESULT CHTMLHelp::put_HHPopupCustomBackColor(LONG RHS) {
    return traps([&] { popupStyle_.customBackColor = static_cast<uint32_t>(RHS); });
}
HRESULT CHTMLHelp::get_HHPopupCustomColors(VARIANT_BOOL* result) {
    return traps(result, [&] { *result = com::variantBool(popupStyle_.customColors); });
}
HRESULT CHTMLHelp::put_HHPopupCustomColors(VARIANT_BOOL RHS) {
    return traps([&] { popupStyle_.customColors = RHS != VARIANT_FALSE; });
}
HRESULT CHTMLHelp::put_HHPopupTextFont(BSTR RHS) {
    return traps([&] { popupStyle_.face = view(RHS); });
}
HRESULT CHTMLHelp::put_HHPopupTextSize(BSTR RHS) {
    return traps([&] { popupStyle_.size = view(RHS); });
}
HRESULT CHTMLHelp::put_HHPopupTextBold(VARIANT_BOOL RHS) {
    return traps([&] { popupStyle_.bold = RHS != VARIANT_FALSE; });
}
HRESULT CHTMLHelp::put_HHPopupTextItalic(VARIANT_BOOL RHS) {
    return traps([&] { popupStyle_.italic = RHS != VARIANT_FALSE; });
}
HRESULT CHTMLHelp::put_HHPopupTextUnderline(VARIANT_BOOL RHS) {
    return traps([&] { popupStyle_.underline = RHS != VARIANT_FALSE; });
}

}  // namespace lark::ui
