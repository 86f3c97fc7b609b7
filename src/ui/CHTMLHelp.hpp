// CHTMLHelp: a compiled help file shown by the HTML Help engine at its contents, index, search
// page, a topic or a lookup; its folder registered so that the engine finds it by its bare name;
// the versions of the engine and of the browser component; pop-up help. No member raises: what
// the user must know is shown in a message box titled "HTML Help Class", anything else is skipped.
// CHTMLHelp.cpp holds display and registration, HelpEnvironment.cpp the environment and pop-ups.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"
#include "ui/help_rules.hpp"

#include <windows.h>

#include <string>
#include <string_view>

namespace lark::ui {

class CHTMLHelp final : public com::Object<_CHTMLHelp> {
public:
    HRESULT STDMETHODCALLTYPE HHDeleteJumpURLSysMenu(LONG* HH_hWnd) override;
    HRESULT STDMETHODCALLTYPE HHDisplayTopicURL(LONG* CallingForm) override;
    HRESULT STDMETHODCALLTYPE HHDisplayTopicID(LONG* CallingForm) override;
    HRESULT STDMETHODCALLTYPE HHDisplaySearch(LONG* CallingForm) override;
    HRESULT STDMETHODCALLTYPE HHDisplayKeyword(LONG* CallingForm) override;
    HRESULT STDMETHODCALLTYPE HHDisplayIndex(LONG* CallingForm) override;
    HRESULT STDMETHODCALLTYPE HHDisplayContents(LONG* CallingForm) override;
    HRESULT STDMETHODCALLTYPE HHDisplayALink(LONG* CallingForm) override;
    HRESULT STDMETHODCALLTYPE HHRegister(BSTR* FileToRegister) override;
    HRESULT STDMETHODCALLTYPE HHUnRegister(BSTR* FileToUnRegister) override;
    HRESULT STDMETHODCALLTYPE HHCheckRegistry(BSTR* FileToCheck, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE HHClose() override;
    HRESULT STDMETHODCALLTYPE EnsureFileExists(BSTR* FileToFind, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE HHSetHelpFile(short intSelHelpFile, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_CHMFile(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_CHMFile(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_HHWindow(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_HHWindow(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_HHTopicURL(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_HHTopicURL(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_HHTopicID(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_HHTopicID(LONG RHS) override;
    HRESULT STDMETHODCALLTYPE get_HHKeyword(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_HHKeyword(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_HHALink(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_HHALink(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_HHDefaultURL(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_HHDefaultURL(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_HHMsgText(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_HHMsgText(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_HHMsgTitle(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_HHMsgTitle(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_HHShowOnTop(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE put_HHShowOnTop(VARIANT_BOOL RHS) override;
    HRESULT STDMETHODCALLTYPE get_HHRegFileName(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_HHRegFilePath(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_HHRegFileExists(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE get_HHWndHandle(LONG* result) override;

    HRESULT STDMETHODCALLTYPE HHDisplayPopup(LONG* CallingForm) override;
    HRESULT STDMETHODCALLTYPE HHInvokeWhatsThisHelp(LONG* CallingForm) override;
    HRESULT STDMETHODCALLTYPE HHVerifyMinConfig(HHVersion* MinHHVersion, HHIEVersion* MinIEVersion,
                                                VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE get_HHInstalled(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE get_HHVersion(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_IEVersion(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_HHFriendlyName(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_IEFriendlyName(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_HHPopupType(HHPopupType RHS) override;
    HRESULT STDMETHODCALLTYPE put_HHPopupFile(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE put_HHPopupID(LONG RHS) override;
    HRESULT STDMETHODCALLTYPE put_HHPopupText(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE put_HHPopupTextColor(OLE_COLOR RHS) override;
    HRESULT STDMETHODCALLTYPE put_HHPopupBackColor(OLE_COLOR RHS) override;
    HRESULT STDMETHODCALLTYPE put_HHPopupCustomTextColor(LONG RHS) override;
    HRESULT STDMETHODCALLTYPE put_HHPopupCustomBackColor(LONG RHS) override;
    HRESULT STDMETHODCALLTYPE get_HHPopupCustomColors(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE put_HHPopupCustomColors(VARIANT_BOOL RHS) override;
    HRESULT STDMETHODCALLTYPE put_HHPopupTextFont(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE put_HHPopupTextSize(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE put_HHPopupTextBold(VARIANT_BOOL RHS) override;
    HRESULT STDMETHODCALLTYPE put_HHPopupTextItalic(VARIANT_BOOL RHS) override;
    HRESULT STDMETHODCALLTYPE put_HHPopupTextUnderline(VARIANT_BOOL RHS) override;

private:
    using Units = std::u16string_view;

    // The frame of the display methods: the file checked and found, the owner chosen, then
    // show(owner, target) makes the engine's calls. `method` names the caller in the warning
    // about a missing calling window.
    template <class Show>
    void display(const LONG* callingForm, Units method, Show&& show);
    std::string target() const;  // CHMFile, and ">" and the window type when there is one
    // An associative-link or keyword lookup of these names.
    void lookUp(HWND owner, UINT command, Units names);

    bool ensureFileExists(Units name);
    void checkRegistry(Units name);
    void registerFile(BSTR* file);
    void unregisterFile(BSTR* file);

    // Installed-component lookups; each sets its version text (HelpEnvironment.cpp).
    struct Component;
    void lookUpComponent(const Component& component, std::u16string& version);
    void lookUpHelpEngine();
    void lookUpBrowser();
    void showPopup(LONG* callingForm);

    std::u16string chmFile_, window_, topicUrl_, keyword_, aLink_, defaultUrl_, msgText_, msgTitle_;
    LONG topicId_ = 0;
    bool showOnTop_ = false;
    std::u16string regFileName_, regFilePath_;
    bool regFileExists_ = false;
    HWND helpWindow_ = nullptr;

    std::u16string hhVersion_, ieVersion_, hhFriendlyName_, ieFriendlyName_;
    LONG popupType_ = 0, popupId_ = 0;
    std::u16string popupFile_, popupText_;
    PopupStyle popupStyle_;
};

// The message boxes of the class, titled "HTML Help Class", each with its icon; they answer the
// button pressed.
int showStopMessage(std::u16string_view text);
int showWarningMessage(std::u16string_view text);
int showInfoMessage(std::u16string_view text);

// The help-file check: a name that does not end in "chm" is reported, and the work goes on.
void checkHelpFile(std::u16string_view name);

// The engine's keyword and pop-up records in their ANSI form, which the platform's header (all
// TCHAR) does not give a Unicode build.
struct AnsiLinkRecord {
    int cbStruct;
    BOOL fReserved;
    LPCSTR pszKeywords, pszUrl, pszMsgText, pszMsgTitle, pszWindow;
    BOOL fIndexOnFail;
};
struct AnsiPopupRecord {
    int cbStruct;
    HINSTANCE hinst;
    UINT idString;
    LPCSTR pszText;
    POINT pt;
    COLORREF clrForeground, clrBackground;
    RECT rcMargins;
    LPCSTR pszFont;
};

// HtmlHelpA of the engine; 0 when the engine cannot be loaded.
HWND callHtmlHelp(HWND caller, const char* file, UINT command, DWORD_PTR data);

}  // namespace lark::ui
