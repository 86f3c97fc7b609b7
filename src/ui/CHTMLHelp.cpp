#include "ui/CHTMLHelp.hpp"

#include "frame/errors.hpp"
#include "frame/module.hpp"
#include "frame/platform_text.hpp"
#include "frame/raii.hpp"
#include "registry/Registry.hpp"
#include "ui/help_rules.hpp"

#include <htmlhelp.h>

namespace lark::ui {

using com::traps;
using com::view;

namespace {

constexpr char16_t kRegistrationKey[] = u"Software\\Microsoft\\Windows\\HTML Help";
// The command of the Jump-to-URL item in a help window's system menu.
constexpr UINT kJumpUrlCommand = 61439;

// The record sizes the engine is sent, as its first clients sent them (the keyword record is
// eight fields long, but 28 is the size it has always been given).
constexpr int kLookupRecordSize = 28;
constexpr int kSearchRecordSize = 32;

// A message made of its pieces.
std::u16string joined(std::initializer_list<std::u16string_view> pieces) {
    std::u16string text;
    for (std::u16string_view piece : pieces)
        text += piece;
    return text;
}

int showMessage(std::u16string_view text, DWORD icon) {
    const std::string ansi = com::toAnsi(text);
    MSGBOXPARAMSA box{};
    static_assert(sizeof(void*) == 8 || sizeof box == 40);
    box.cbSize = sizeof box;
    box.lpszText = ansi.c_str();
    box.lpszCaption = "HTML Help Class";
    box.dwStyle = icon;
    return MessageBoxIndirectA(&box);
}

std::u16string libraryFolder() {
    const std::wstring path = com::modulePath();
    const std::u16string wide(path.begin(), path.end());
    return std::u16string(storedFolder(folderOf(wide)));
}

bool hasBackslash(std::u16string_view name) { return name.find(u'\\') != std::u16string_view::npos; }

HWND window(const LONG* handle) { return handle ? com::windowHandle(*handle) : nullptr; }

}  // namespace

int showStopMessage(std::u16string_view text) { return showMessage(text, MB_ICONSTOP); }
int showWarningMessage(std::u16string_view text) { return showMessage(text, MB_ICONEXCLAMATION); }
int showInfoMessage(std::u16string_view text) { return showMessage(text, MB_ICONINFORMATION); }

void checkHelpFile(std::u16string_view name) {
    if (!isHelpFileName(name)) showWarningMessage(joined({name, u" is not a valid HTML Help file."}));
}

HWND callHtmlHelp(HWND caller, const char* file, UINT command, DWORD_PTR data) {
    using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
    // Loaded on first use and kept for the life of the process: the engine's windows outlive
    // the calls that open them, and may outlive this library.
    static const HtmlHelpFn engine = [] {
        const HMODULE module = LoadLibraryA("hhctrl.ocx");
        return module ? reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void (*)()>(GetProcAddress(module, "HtmlHelpA")))
                      : nullptr;
    }();
    return engine ? engine(caller, file, command, data) : nullptr;
}

// ---- display ----

std::string CHTMLHelp::target() const { return com::toAnsi(helpTarget(chmFile_, window_)); }

template <class Show>
void CHTMLHelp::display(const LONG* callingForm, Units method, Show&& show) {
    checkHelpFile(chmFile_);
    if (!ensureFileExists(chmFile_)) return;
    if (showOnTop_ && !window(callingForm)) {
        showWarningMessage(joined({u"The ", method, u" method was called ",
                                   u"without a form being specified, while HHShowOnTop ", u"was set to True."}));
        return;
    }
    const HWND owner = showOnTop_ ? window(callingForm) : nullptr;
    skipOnError([&] { show(owner); });
}

void CHTMLHelp::lookUp(HWND owner, UINT command, Units names) {
    // Texts left empty go as null pointers.
    const auto optional = [](const std::u16string& text) {
        return text.empty() ? std::nullopt : std::optional(com::toAnsi(text));
    };
    const std::string keywords = com::toAnsi(names), file = com::toAnsi(chmFile_);
    const std::optional<std::string> url = optional(defaultUrl_), text = optional(msgText_),
                                     title = optional(msgTitle_),
                                     windowType = isBlank(window_) ? std::nullopt : std::optional(com::toAnsi(window_));
    const auto pointer = [](const std::optional<std::string>& s) { return s ? s->c_str() : nullptr; };
    AnsiLinkRecord link{};
    link.cbStruct = kLookupRecordSize;
    link.pszKeywords = keywords.c_str();
    link.pszUrl = pointer(url);
    link.pszMsgText = pointer(text);
    link.pszMsgTitle = pointer(title);
    link.pszWindow = pointer(windowType);
    helpWindow_ = callHtmlHelp(owner, file.c_str(), command, reinterpret_cast<DWORD_PTR>(&link));
}

// Each display method: errors skipped once the engine is called, messages shown before.
HRESULT CHTMLHelp::HHDisplayTopicURL(LONG* CallingForm) {
    return traps([&] {
        display(CallingForm, u"HHDisplayContents", [&](HWND owner) {
            const std::string topic = com::toAnsi(topicUrl_);
            helpWindow_ =
                callHtmlHelp(owner, target().c_str(), HH_DISPLAY_TOPIC, reinterpret_cast<DWORD_PTR>(topic.c_str()));
        });
    });
}

HRESULT CHTMLHelp::HHDisplayTopicID(LONG* CallingForm) {
    return traps([&] {
        display(CallingForm, u"HHDisplayContents", [&](HWND owner) {
            helpWindow_ = callHtmlHelp(owner, target().c_str(), HH_HELP_CONTEXT, static_cast<DWORD>(topicId_));
        });
    });
}

HRESULT CHTMLHelp::HHDisplaySearch(LONG* CallingForm) {
    return traps([&] {
        display(CallingForm, u"HHDisplayContents", [&](HWND owner) {
            HH_FTS_QUERY query{};
            query.cbStruct = kSearchRecordSize;
            helpWindow_ = callHtmlHelp(owner, target().c_str(), HH_DISPLAY_SEARCH, reinterpret_cast<DWORD_PTR>(&query));
        });
    });
}

HRESULT CHTMLHelp::HHDisplayKeyword(LONG* CallingForm) {
    return traps([&] {
        display(CallingForm, u"HHDisplayKeyword", [&](HWND owner) {
            helpWindow_ = callHtmlHelp(owner, com::toAnsi(chmFile_).c_str(), HH_DISPLAY_TOPIC, 0);
            lookUp(owner, HH_KEYWORD_LOOKUP, keyword_);
        });
    });
}

// The index leaves the window handle as it was.
HRESULT CHTMLHelp::HHDisplayIndex(LONG* CallingForm) {
    return traps([&] {
        display(CallingForm, u"HHDisplayContents",
                [&](HWND owner) { callHtmlHelp(owner, target().c_str(), HH_DISPLAY_INDEX, 0); });
    });
}

HRESULT CHTMLHelp::HHDisplayContents(LONG* CallingForm) {
    return traps([&] {
        display(CallingForm, u"HHDisplayContents",
                [&](HWND owner) { helpWindow_ = callHtmlHelp(owner, target().c_str(), HH_DISPLAY_TOC, 0); });
    });
}

HRESULT CHTMLHelp::HHDisplayALink(LONG* CallingForm) {
    return traps([&] {
        display(CallingForm, u"HHDisplayContents", [&](HWND owner) { lookUp(owner, HH_ALINK_LOOKUP, aLink_); });
    });
}

HRESULT CHTMLHelp::HHClose() {
    return traps([] { callHtmlHelp(nullptr, "", HH_CLOSE_ALL, 0); });
}

HRESULT CHTMLHelp::HHDeleteJumpURLSysMenu(LONG* HH_hWnd) {
    return traps([&] { DeleteMenu(GetSystemMenu(window(HH_hWnd), FALSE), kJumpUrlCommand, MF_BYCOMMAND); });
}

HRESULT CHTMLHelp::get_HHWndHandle(LONG* result) {
    return traps(result, [&] {
        *result = com::windowLong(helpWindow_);
        if (!helpWindow_) showWarningMessage(u"No HTML Help window handle to retrieve.");
    });
}

HRESULT CHTMLHelp::HHSetHelpFile(short intSelHelpFile, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(intSelHelpFile == 1   ? libraryFolder() + u"\\Library.chm"
                                 : intSelHelpFile == 2 ? u"Library.txt"
                                                       : u"");
    });
}

// ---- files and registration ----

bool CHTMLHelp::ensureFileExists(Units name) {
    std::u16string full(name);
    if (!hasBackslash(name)) {
        checkRegistry(name);
        full = (regFileName_.empty() ? libraryFolder() : regFilePath_) + u"\\" + full;
    }
    WIN32_FIND_DATAA found{};
    const com::unique_hfind search(FindFirstFileA(com::toAnsi(full).c_str(), &found));
    if (!search)
        showWarningMessage(joined({u"The file ", full, u" does not exist.", u"\n\n",
                                   u"Please make sure the correct path and file name have been specified."}));
    return static_cast<bool>(search);
}

HRESULT CHTMLHelp::EnsureFileExists(BSTR* FileToFind, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        *result = com::variantBool(ensureFileExists(view(FileToFind)));
    });
}

void CHTMLHelp::checkRegistry(Units name) {
    if (name.empty()) return;
    regFileExists_ = false;
    checkHelpFile(name);
    const std::u16string bare(bareName(name));
    registry::Registry& registry = registry::sharedRegistry();
    if (!registry.CheckRegistryValue(HKEY_LOCAL_MACHINE, kRegistrationKey, bare, REG_SZ)) {
        regFileName_.clear(), regFilePath_.clear();
        return;
    }
    regFileName_ = bare;
    regFilePath_ = storedFolder(registry.GetRegistryText(HKEY_LOCAL_MACHINE, kRegistrationKey, bare));
    regFileExists_ = ensureFileExists(regFilePath_ + u"\\" + regFileName_);
}

// Always the Boolean False: the findings are in the registration properties.
HRESULT CHTMLHelp::HHCheckRegistry(BSTR* FileToCheck, VARIANT* result) {
    return traps(result, [&] {
        VariantInit(result);
        result->vt = VT_BOOL;
        result->boolVal = VARIANT_FALSE;
        checkRegistry(view(FileToCheck));
    });
}

void CHTMLHelp::registerFile(BSTR* file) {
    const std::u16string given(view(file));
    if (given.empty()) return;
    checkHelpFile(given);
    checkRegistry(given);
    if (!regFileName_.empty()) {
        showInfoMessage(joined({u"The file ", given, u" is already registered.  ",
                                u"HHRegister will not be run as no action need be taken."}));
        return;
    }
    checkHelpFile(given);
    if (!ensureFileExists(given)) return;
    if (!hasBackslash(given)) {
        showWarningMessage(joined({u"Cannot register ", given, u" without having a supplied path.\""}));
        return;
    }
    const std::u16string bare(bareName(given));
    const std::string folder = com::toAnsi(folderOf(given));
    com::assignBstr(file, bare);
    com::unique_hkey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, com::toAnsi(kRegistrationKey).c_str(), 0, const_cast<char*>(""),
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | KEY_CREATE_SUB_KEY, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
        showWarningMessage(u"HTML Help Class: HHRegister Error");
        return;
    }
    if (RegSetValueExA(key.get(), com::toAnsi(bare).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>(folder.size() + 1)) != ERROR_SUCCESS)
        checkRegistry(bare);
}

HRESULT CHTMLHelp::HHRegister(BSTR* FileToRegister) {
    return traps([&] { registerFile(FileToRegister); });
}

void CHTMLHelp::unregisterFile(BSTR* file) {
    const std::u16string given(view(file));
    if (given.empty()) return;
    checkHelpFile(given);
    checkRegistry(given);
    if (regFileName_.empty()) {
        showInfoMessage(joined({u"The file ", given, u" is not registered.  ",
                                u"HHUnRegister will not be run as no action need be taken."}));
        return;
    }
    const std::u16string bare(bareName(given));
    com::assignBstr(file, bare);
    registry::sharedRegistry().DeleteRegistryValue(HKEY_LOCAL_MACHINE, kRegistrationKey, bare);
    checkRegistry(bare);
}

HRESULT CHTMLHelp::HHUnRegister(BSTR* FileToUnRegister) {
    return traps([&] { unregisterFile(FileToUnRegister); });
}

// ---- properties ----

namespace {
HRESULT getText(BSTR* result, const std::u16string& value) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(value);
    });
}
HRESULT letText(std::u16string& field, BSTR value) {
    return traps([&] { field = view(value); });
}
}  // namespace

HRESULT CHTMLHelp::get_CHMFile(BSTR* result) { return getText(result, chmFile_); }
HRESULT CHTMLHelp::put_CHMFile(BSTR RHS) { return letText(chmFile_, RHS); }
HRESULT CHTMLHelp::get_HHWindow(BSTR* result) { return getText(result, window_); }
HRESULT CHTMLHelp::put_HHWindow(BSTR RHS) { return letText(window_, RHS); }
HRESULT CHTMLHelp::get_HHTopicURL(BSTR* result) { return getText(result, topicUrl_); }
HRESULT CHTMLHelp::put_HHTopicURL(BSTR RHS) { return letText(topicUrl_, RHS); }
HRESULT CHTMLHelp::get_HHKeyword(BSTR* result) { return getText(result, keyword_); }
HRESULT CHTMLHelp::put_HHKeyword(BSTR RHS) { return letText(keyword_, RHS); }
HRESULT CHTMLHelp::get_HHALink(BSTR* result) { return getText(result, aLink_); }
HRESULT CHTMLHelp::put_HHALink(BSTR RHS) { return letText(aLink_, RHS); }
HRESULT CHTMLHelp::get_HHDefaultURL(BSTR* result) { return getText(result, defaultUrl_); }
HRESULT CHTMLHelp::put_HHDefaultURL(BSTR RHS) { return letText(defaultUrl_, RHS); }
HRESULT CHTMLHelp::get_HHMsgText(BSTR* result) { return getText(result, msgText_); }
HRESULT CHTMLHelp::put_HHMsgText(BSTR RHS) { return letText(msgText_, RHS); }
HRESULT CHTMLHelp::get_HHMsgTitle(BSTR* result) { return getText(result, msgTitle_); }
HRESULT CHTMLHelp::put_HHMsgTitle(BSTR RHS) { return letText(msgTitle_, RHS); }
HRESULT CHTMLHelp::get_HHRegFileName(BSTR* result) { return getText(result, regFileName_); }
HRESULT CHTMLHelp::get_HHRegFilePath(BSTR* result) { return getText(result, regFilePath_); }

HRESULT CHTMLHelp::get_HHTopicID(LONG* result) {
    return traps(result, [&] { *result = topicId_; });
}
HRESULT CHTMLHelp::put_HHTopicID(LONG RHS) {
    return traps([&] { topicId_ = RHS; });
}
HRESULT CHTMLHelp::get_HHShowOnTop(VARIANT_BOOL* result) {
    return traps(result, [&] { *result = com::variantBool(showOnTop_); });
}
HRESULT CHTMLHelp::put_HHShowOnTop(VARIANT_BOOL RHS) {
    return traps([&] { showOnTop_ = RHS != VARIANT_FALSE; });
}
HRESULT CHTMLHelp::get_HHRegFileExists(VARIANT_BOOL* result) {
    return traps(result, [&] { *result = com::variantBool(regFileExists_); });
}

}  // namespace lark::ui
