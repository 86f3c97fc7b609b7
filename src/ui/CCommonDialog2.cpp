#include "ui/CCommonDialog2.hpp"

#include "frame/arrays.hpp"
#include "frame/errors.hpp"
#include "frame/late_binding.hpp"
#include "frame/platform_text.hpp"
#include "ui/dialog_text.hpp"

#include <olectl.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <utility>

namespace lark::ui {

using com::raises;
using com::view;

namespace {

// The events of __CCommonDialog2 by dispatch identifier.
enum Event : DISPID {
    evInitDialog = 1,
    evFileChange,
    evFolderChange,
    evDialogOK,
    evTypeChange,
    evDialogClose,
    evWMCommand,
};

// Window and device handles travel as Long and are sign-extended back.
HWND window(LONG handle) { return reinterpret_cast<HWND>(static_cast<INT_PTR>(handle)); }
LONG handleValue(const void* handle) { return static_cast<LONG>(reinterpret_cast<INT_PTR>(handle)); }
// An owner given as a Long, where -1 stands for none.
HWND ownerOf(LONG owner) { return owner == -1 ? nullptr : window(owner); }

// A flag counts as set when all its bits are.
bool has(LONG flags, LONG flag) { return (flags & flag) == flag; }

// Arguments by reference: a missing one reads as its fallback and receives nothing.
std::u16string textOf(const BSTR* p) { return std::u16string(view(p)); }
bool isTrue(const VARIANT_BOOL* p) { return p && *p != VARIANT_FALSE; }
template <class T>
T valueOf(const T* p, T fallback = T{}) {
    return p ? *p : fallback;
}
template <class T>
T* objectOf(T** p) {
    return p ? *p : nullptr;
}
void setText(BSTR* p, std::u16string_view text) {
    if (p) com::assignBstr(p, text);
}
void setBool(VARIANT_BOOL* p, bool value) {
    if (p) *p = com::variantBool(value);
}
template <class T, class U>
void setValue(T* p, U value) {
    if (p) *p = static_cast<T>(value);
}

VARIANT longValue(LONG value) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}
VARIANT longReference(LONG* value) {
    VARIANT v;
    v.vt = VT_BYREF | VT_I4;
    v.plVal = value;
    return v;
}

// Properties: reading a field and letting one. Both raise, though only memory can fail.
template <class T, class U>
HRESULT get(T* result, const U& field) {
    return raises(result, [&] { *result = static_cast<T>(field); });
}
HRESULT get(BSTR* result, const std::u16string& field) {
    return raises(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(field);
    });
}
HRESULT get(VARIANT_BOOL* result, bool field) {
    return raises(result, [&] { *result = com::variantBool(field); });
}
template <class T, class U>
HRESULT let(T& field, U value) {
    field = static_cast<T>(value);
    return S_OK;
}
HRESULT let(std::u16string& field, BSTR value) {
    return raises([&] { field = view(value); });
}
HRESULT let(bool& field, VARIANT_BOOL value) {
    field = value != VARIANT_FALSE;
    return S_OK;
}

// This library's file name without its extension, as error sources name it.
std::u16string moduleName() {
    const std::wstring path = com::modulePath();
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    name = name.substr(0, name.rfind(L'.'));
    return std::u16string(name.begin(), name.end());
}

std::u16string classSource() { return moduleName() + u"CCommonDialog2"; }

// The system's message text for a Win32 error code, raised with that code as its number.
[[noreturn]] void raiseSystemError(DWORD code) {
    char text[256];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, sizeof text, nullptr);
    raise(static_cast<int32_t>(code), classSource(), com::fromAnsi({text, length}));
}

// The number a help context is written as, 0 when it is none.
ULONG_PTR contextNumber(std::u16string_view context) {
    ULONG_PTR number = 0;
    for (char16_t c : context) {
        if (c < u'0' || c > u'9') break;
        number = number * 10 + (c - u'0');
    }
    return number;
}

FontChoice fontChoiceOf(IFont* font) {
    FontChoice choice;
    com::unique_bstr name;
    CY size{};
    BOOL bold = FALSE, italic = FALSE, underline = FALSE, strikethrough = FALSE;
    com::check(font->get_Name(name.put()));
    com::check(font->get_Size(&size));
    com::check(font->get_Weight(&choice.weight));
    com::check(font->get_Bold(&bold));
    com::check(font->get_Italic(&italic));
    com::check(font->get_Underline(&underline));
    com::check(font->get_Strikethrough(&strikethrough));
    choice.name = view(name.get());
    choice.size = static_cast<double>(size.int64) / 10000;
    choice.bold = bold, choice.italic = italic, choice.underline = underline, choice.strikethrough = strikethrough;
    return choice;
}

void applyFont(IFont* font, const FontChoice& choice) {
    const com::unique_bstr name(com::allocBstr(choice.name));
    CY size{};
    size.int64 = std::llround(choice.size * 10000);
    com::check(font->put_Bold(choice.bold));
    com::check(font->put_Italic(choice.italic));
    com::check(font->put_Strikethrough(choice.strikethrough));
    com::check(font->put_Underline(choice.underline));
    com::check(font->put_Weight(choice.weight));
    com::check(font->put_Size(size));
    com::check(font->put_Name(name.get()));
}

// What a file dialog gives back through its caller's arguments.
void setFileResults(const FileDialog& d, BSTR* Filename, BSTR* FileTitle, BSTR* Filter, LONG* FilterIndex,
                    LONG* flags) {
    setText(Filename, d.filename);
    setText(FileTitle, d.fileTitle);
    setText(Filter, d.filter);
    setValue(FilterIndex, d.filterIndex);
    setValue(flags, d.flags);
}

}  // namespace

// While a hooked dialog is open: this object is the thread's active dialog, and the sink gets
// its events. Afterwards both are as they were.
class CCommonDialog2::HookScope {
public:
    HookScope(CCommonDialog2& dialog, bool hooked, IDispatch* sink) : dialog_(dialog), hooked_(hooked) {
        if (!hooked_) return;
        active_.emplace(static_cast<DialogHookTarget*>(&dialog));
        previousSink_ = std::exchange(dialog.eventSink_, com::ComPtr<IDispatch>(sink));
    }
    HookScope(const HookScope&) = delete;
    HookScope& operator=(const HookScope&) = delete;
    ~HookScope() {
        if (hooked_) dialog_.eventSink_ = std::move(previousSink_);
    }

private:
    CCommonDialog2& dialog_;
    bool hooked_;
    std::optional<ActiveDialog> active_;
    com::ComPtr<IDispatch> previousSink_;
};

CCommonDialog2::CCommonDialog2() : EventSource(CLSID_CCommonDialog2, DIID___CCommonDialog2) {}

template <class Show>
DialogResult CCommonDialog2::run(bool hooked, IDispatch* sink, Show&& show) {
    apiReturn_ = extendedError_ = 0;
    DialogResult result;
    {
        HookScope scope(*this, hooked, sink);
        result = show();
    }
    apiReturn_ = result.apiReturn;
    extendedError_ = result.extendedError;
    return result;
}

void CCommonDialog2::cancelOrError() const {
    if (apiReturn_ != 0) raise(extendedError_ | 13450, classSource());
    if (cancelError_) raise(32755, moduleName() + u".CCommonDialog2", u"User selected cancel.");
}

// --- The hook and the events ------------------------------------------------------------------

com::unique_variant CCommonDialog2::hookMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    const com::ComPtr<IDispatch> sink = eventSink_;
    if (!sink) return {};
    VARIANT hDlg = longValue(handleValue(dialog));
    auto call = [&](const wchar_t* member, VARIANT* args = nullptr, UINT count = 0) {
        return com::callMember(sink.get(), member, DISPATCH_METHOD, args, count);
    };
    switch (message) {
        case WM_DESTROY:
            call(L"DialogClose");
            return {};
        case WM_INITDIALOG:
            return call(L"InitDialog", &hDlg, 1);
        case WM_COMMAND: {
            LONG w = static_cast<LONG>(wParam), l = static_cast<LONG>(lParam);
            VARIANT args[] = {longReference(&l), longReference(&w), hDlg};
            call(L"WMCommand", args, 3);
            return {};
        }
        case WM_NOTIFY:
            break;
        default:
            return {};
    }
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    switch (header ? header->code : 0) {
        case CDN_TYPECHANGE:
            return call(L"TypeChange", &hDlg, 1);
        case CDN_FOLDERCHANGE:
            return call(L"FolderChange", &hDlg, 1);
        case CDN_SELCHANGE:
            return call(L"FileChange", &hDlg, 1);
        case CDN_FILEOK: {
            com::unique_variant confirmed = call(L"ConfirmOK");
            com::check(VariantChangeType(&confirmed, &confirmed, 0, VT_BOOL));
            // A refused name keeps the dialog open: the dialog reads the answer from the hook's window.
            const bool refused = confirmed.boolVal == VARIANT_FALSE;
            SetWindowLongPtrA(dialog, DWLP_MSGRESULT, refused);
            com::unique_variant answer;
            if (refused) answer.vt = VT_I4, answer.lVal = 1;
            return answer;
        }
        default:
            return {};
    }
}

LONG_PTR CCommonDialog2::dialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    LONG_PTR answer = 0;
    stopOnError([&] {  // nothing may reach the dialog's window procedure
        com::unique_variant result = hookMessage(dialog, message, wParam, lParam);
        if (result.vt != VT_EMPTY && SUCCEEDED(VariantChangeType(&result, &result, 0, VT_I4))) answer = result.lVal;
    });
    return answer;
}

HRESULT CCommonDialog2::DialogHook(LONG hDlg, LONG message, LONG_PTR wParam, LONG_PTR lParam, VARIANT* result) {
    return raises(result, [&] {
        VariantInit(result);
        *result = hookMessage(window(hDlg), static_cast<UINT>(message), static_cast<WPARAM>(wParam), lParam).release();
    });
}

void CCommonDialog2::fireWithWindow(DISPID event, LONG hDlg) {
    VARIANT window = longValue(hDlg);
    fire(event, {&window, 1});
}

HRESULT CCommonDialog2::InitDialog(LONG hDlg, LONG* result) {
    return raises(result, [&] { *result = 0, fireWithWindow(evInitDialog, hDlg); });
}

HRESULT CCommonDialog2::FileChange(LONG hDlg, LONG* result) {
    return raises(result, [&] { *result = 0, fireWithWindow(evFileChange, hDlg); });
}

HRESULT CCommonDialog2::FolderChange(LONG hDlg, LONG* result) {
    return raises(result, [&] { *result = 0, fireWithWindow(evFolderChange, hDlg); });
}

HRESULT CCommonDialog2::TypeChange(LONG hDlg, LONG* result) {
    return raises(result, [&] { *result = 0, fireWithWindow(evTypeChange, hDlg); });
}

HRESULT CCommonDialog2::DialogClose() {
    return raises([&] { fire(evDialogClose); });
}

HRESULT CCommonDialog2::ConfirmOK(VARIANT_BOOL* result) {
    return raises(result, [&] {
        VARIANT_BOOL cancel = VARIANT_FALSE;
        VARIANT argument;
        argument.vt = VT_BYREF | VT_BOOL;
        argument.pboolVal = &cancel;
        fire(evDialogOK, {&argument, 1});
        *result = com::variantBool(cancel == VARIANT_FALSE);
    });
}

HRESULT CCommonDialog2::WMCommand(LONG hDlg, LONG* wParam, LONG* lParam) {
    return raises([&] {
        LONG none = 0;
        VARIANT args[] = {longReference(lParam ? lParam : &none), longReference(wParam ? wParam : &none),
                          longValue(hDlg)};
        fire(evWMCommand, args);
    });
}

// --- Show methods ----------------------------------------------------------------------------

FileDialog CCommonDialog2::fileDialogSettings(bool save) const {
    return {.save = save,
            .filename = filename_,
            .fileTitle = fileTitle_,
            .filter = filter_,
            .filterIndex = filterIndex_,
            .flags = flags_,
            .initDir = initDir_,
            .title = dialogTitle_,
            .defaultExt = defaultExt_,
            .owner = ownerOf(hWnd_),
            .instance = reinterpret_cast<HINSTANCE>(hInstance_),
            .templateName = templateName_,
            .hook = {.library = hookDialog_}};
}

void CCommonDialog2::showFileSettings(FileDialog& d) {
    IDispatch* self = this;
    const bool chosen = run(hookDialog_, self, [&] { return showFileDialog(d); }).chosen();
    filename_ = d.filename, fileTitle_ = d.fileTitle, filter_ = d.filter;
    filterIndex_ = d.filterIndex, flags_ = d.flags;
    if (!chosen) cancelOrError();
}

HRESULT CCommonDialog2::ShowOpen() {
    return raises([&] {
        explorerDialog_ = true;
        if (has(flags_, OFN_ENABLETEMPLATE) && hInstance_ < 1) flags_ &= ~OFN_ENABLETEMPLATE;
        if (filterIndex_ == 0) filterIndex_ = 1;
        FileDialog d = fileDialogSettings(false);
        d.fileMustExist = has(flags_, OFN_FILEMUSTEXIST);
        d.multiSelect = has(flags_, OFN_ALLOWMULTISELECT);
        d.readOnly = has(flags_, OFN_READONLY);
        d.hideReadOnly = has(flags_, OFN_HIDEREADONLY);
        showFileSettings(d);
    });
}

HRESULT CCommonDialog2::ShowSave() {
    return raises([&] {
        explorerDialog_ = true;
        if (has(flags_, OFN_ENABLETEMPLATE) && hInstance_ < 1) flags_ &= ~OFN_ENABLETEMPLATE;
        FileDialog d = fileDialogSettings(true);
        d.overwritePrompt = has(flags_, OFN_OVERWRITEPROMPT);
        showFileSettings(d);
    });
}

HRESULT CCommonDialog2::ShowColor() {
    return raises([&] {
        explorerDialog_ = false;
        COLORREF rgb = 0;
        if (FAILED(OleTranslateColor(color_, nullptr, &rgb))) rgb = CLR_INVALID;
        ColorDialog d{.color = rgb,
                      .anyColor = has(flags_, CC_ANYCOLOR),
                      .fullOpen = has(flags_, CC_FULLOPEN),
                      .disableFullOpen = has(flags_, CC_PREVENTFULLOPEN),
                      .owner = ownerOf(hWnd_),
                      .customColors = customColors().data(),
                      .hooked = hookDialog_};
        IDispatch* self = this;
        if (run(hookDialog_, self, [&] { return showColorDialog(d); }).chosen())
            color_ = d.color;
        else
            cancelOrError();
    });
}

HRESULT CCommonDialog2::ShowFont() {
    return raises([&] {
        explorerDialog_ = false;
        const com::ComPtr<IFont> font = this->font();
        FontDialog d{.font = fontChoiceOf(font.get()),
                     .printerDC = -1,
                     .owner = ownerOf(hWnd_),
                     .color = static_cast<LONG>(fontColor_),
                     .minSize = min_,
                     .maxSize = max_,
                     .flags = flags_,
                     .hooked = hookDialog_};
        IDispatch* self = this;
        const bool chosen = run(hookDialog_, self, [&] { return showFontDialog(d); }).chosen();
        flags_ = d.flags;
        if (!chosen) return cancelOrError();
        fontColor_ = static_cast<OLE_COLOR>(d.color);
        applyFont(font.get(), d.font);
    });
}

HRESULT CCommonDialog2::ShowPrinter() {
    return raises([&] {
        explorerDialog_ = false;
        if (copies_ < -32768 || copies_ > 32767) raise(errOverflow);
        PrintDialog d{.disablePageNumbers = !has(flags_, PD_PAGENUMS),
                      .disableSelection = has(flags_, PD_NOSELECTION),
                      .showPrintToFile = !has(flags_, PD_HIDEPRINTTOFILE),
                      .disablePrintToFile = has(flags_, PD_DISABLEPRINTTOFILE),
                      .printToFile = has(flags_, PD_PRINTTOFILE),
                      .collate = has(flags_, PD_COLLATE),
                      .preventWarning = has(flags_, PD_NOWARNING),
                      .fromPage = fromPage_,
                      .toPage = toPage_,
                      .copies = static_cast<short>(copies_),
                      .owner = window(hWnd_),
                      .flags = flags_,
                      .hooked = hookDialog_};
        d.printer.devMode = devMode_;
        IDispatch* self = this;
        // Cancelling the print dialog is never an error.
        if (!run(hookDialog_, self, [&] { return showPrintDialog(d); }).chosen()) return;
        printerDC_.reset(d.dc);
        fromPage_ = d.fromPage, toPage_ = d.toPage, copies_ = d.copies;
        takePrinter(d.printer, object_.get());
    });
}

HRESULT CCommonDialog2::ShowHelp() {
    return raises([&] {
        explorerDialog_ = false;
        if (helpCommand_ == HELP_MULTIKEY || helpCommand_ == HELP_SETWINPOS)
            raise(13705, moduleName(), u"Invalid WinHelp Command Passed to ShowHelp function.");
        const std::string file = com::toAnsi(helpFile_), key = com::toAnsi(helpKey_);
        // Commands that take data get HelpContext (a number) or HelpKey (a keyword or a macro).
        ULONG_PTR data = 0;
        switch (helpCommand_) {
            case HELP_CONTEXT:
            case HELP_CONTEXTPOPUP:
            case HELP_SETCONTENTS:
                data = contextNumber(helpContext_);
                break;
            case HELP_KEY:
            case HELP_PARTIALKEY:
            case HELP_COMMAND:
                data = reinterpret_cast<ULONG_PTR>(key.c_str());
                break;
            default:
                break;
        }
        if (!WinHelpA(window(hWnd_), file.c_str(), static_cast<UINT>(helpCommand_), data))
            raiseSystemError(GetLastError());
    });
}

// --- Dialog windows, help position, libraries, colours -------------------------------------

HWND CCommonDialog2::dialogWindow(LONG hDlg) const { return explorerDialog_ ? GetParent(window(hDlg)) : window(hDlg); }

HRESULT CCommonDialog2::CentreDialog(LONG hDlg, IDispatch** oCentreTo) {
    return raises([&] {
        const HWND dialog = dialogWindow(hDlg);
        RECT box{}, reference{};
        GetWindowRect(dialog, &box);
        bool centreToWindow = false;
        stopOnError([&] {  // an object without a usable hWnd centres on the work area
            com::unique_variant handle = com::callMember(objectOf(oCentreTo), L"hWnd", DISPATCH_PROPERTYGET);
            com::check(VariantChangeType(&handle, &handle, 0, VT_I4));
            centreToWindow = true;
            GetWindowRect(window(handle.lVal), &reference);
        });
        if (!centreToWindow && !SystemParametersInfoA(SPI_GETWORKAREA, 0, &reference, 0))
            reference = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        if (reference.right < 1 || reference.bottom < 1) return;
        const LONG width = box.right - box.left, height = box.bottom - box.top;
        MoveWindow(dialog, reference.left + (reference.right - reference.left - width) / 2,
                   reference.top + (reference.bottom - reference.top - height) / 2, width, height, TRUE);
    });
}

HRESULT CCommonDialog2::GetDialogSize(LONG hDlg, LONG* lL, LONG* lT, LONG* lW, LONG* lH) {
    return raises([&] {
        RECT box{};
        GetWindowRect(dialogWindow(hDlg), &box);
        setValue(lL, box.left), setValue(lT, box.top);
        setValue(lW, box.right - box.left), setValue(lH, box.bottom - box.top);
    });
}

HRESULT CCommonDialog2::SetHelpPosition(LONG* x, LONG* y, LONG* dx, LONG* dy, EShowHelpWindowPos* eWindowType) {
    return raises([&] {
        constexpr size_t size = offsetof(HELPWININFOA, rgchMember) + 2;  // its ANSI form, unpadded
        com::unique_hglobal block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
        com::GlobalLockGuard lock(block.get());
        if (!lock.data()) raise(errOutOfMemory);
        auto* position = reinterpret_cast<HELPWININFOA*>(lock.data());
        position->wStructSize = size;
        position->x = valueOf(x), position->y = valueOf(y), position->dx = valueOf(dx), position->dy = valueOf(dy);
        position->wMax = valueOf(eWindowType);
        const std::string file = com::toAnsi(helpFile_);
        WinHelpA(window(hWnd_), file.c_str(), HELP_SETWINPOS, reinterpret_cast<ULONG_PTR>(position));
    });
}

HRESULT CCommonDialog2::cdLoadLibrary(BSTR* DllName) {
    return raises([&] { hInstance_ = reinterpret_cast<LONG_PTR>(LoadLibraryA(com::toAnsi(view(DllName)).c_str())); });
}

HRESULT CCommonDialog2::cdFreeLibrary() {
    return raises([&] {
        if (hInstance_ > 0) FreeLibrary(reinterpret_cast<HMODULE>(hInstance_));
    });
}

std::array<COLORREF, 16>& CCommonDialog2::customColors() {
    if (!customColors_) {
        customColors_.emplace();
        for (int i = 0; i < 16; ++i)
            (*customColors_)[i] = GetSysColor(i);
    }
    return *customColors_;
}

HRESULT CCommonDialog2::get_CustomColorGCD(short* i, LONG* result) {
    return raises(result, [&] {
        const short index = valueOf(i, short(-1));
        *result = index >= 0 && index < 16 ? static_cast<LONG>(customColors()[index]) : -1;
    });
}

HRESULT CCommonDialog2::put_CustomColorGCD(short* i, LONG* RHS) {
    return raises([&] {
        const short index = valueOf(i, short(-1));
        if (index >= 0 && index < 16) customColors()[index] = static_cast<COLORREF>(valueOf(RHS));
    });
}

HRESULT CCommonDialog2::get_CustomColor(short i, LONG* result) { return get_CustomColorGCD(&i, result); }
HRESULT CCommonDialog2::put_CustomColor(short i, LONG* RHS) { return put_CustomColorGCD(&i, RHS); }

// --- The font ------------------------------------------------------------------------------

com::ComPtr<IFont> CCommonDialog2::font() {
    if (!font_)
        com::check(CoCreateInstance(CLSID_StdFont, nullptr, CLSCTX_INPROC_SERVER, IID_IFontDisp,
                                    reinterpret_cast<void**>(font_.put())));
    com::ComPtr<IFont> font = font_.query<IFont>();
    if (!font) raise(errTypeMismatch);
    return font;
}

HRESULT CCommonDialog2::get_Font(IFontDisp** result) {
    return raises(result, [&] {
        *result = nullptr;
        font();
        *result = com::ComPtr<IFontDisp>(font_).detach();
    });
}

HRESULT CCommonDialog2::put_Font(IFontDisp** RHS) {
    font_ = objectOf(RHS);
    return S_OK;
}

namespace {
using FontGetter = HRESULT (STDMETHODCALLTYPE IFont::*)(BOOL*);
using FontSetter = HRESULT (STDMETHODCALLTYPE IFont::*)(BOOL);
}  // namespace

// The font's yes-or-no attributes: read from and written to the font object itself.
HRESULT CCommonDialog2::getFontFlag(FontGetter get, VARIANT_BOOL* result) {
    return raises(result, [&] {
        BOOL value = FALSE;
        com::check((font().get()->*get)(&value));
        *result = com::variantBool(value);
    });
}
HRESULT CCommonDialog2::putFontFlag(FontSetter put, VARIANT_BOOL value) {
    return raises([&] { com::check((font().get()->*put)(value != VARIANT_FALSE)); });
}

HRESULT CCommonDialog2::get_FontBold(VARIANT_BOOL* result) { return getFontFlag(&IFont::get_Bold, result); }
HRESULT CCommonDialog2::put_FontBold(VARIANT_BOOL RHS) { return putFontFlag(&IFont::put_Bold, RHS); }
HRESULT CCommonDialog2::get_FontItalic(VARIANT_BOOL* result) { return getFontFlag(&IFont::get_Italic, result); }
HRESULT CCommonDialog2::put_FontItalic(VARIANT_BOOL RHS) { return putFontFlag(&IFont::put_Italic, RHS); }
HRESULT CCommonDialog2::get_FontUnderline(VARIANT_BOOL* result) { return getFontFlag(&IFont::get_Underline, result); }
HRESULT CCommonDialog2::put_FontUnderline(VARIANT_BOOL RHS) { return putFontFlag(&IFont::put_Underline, RHS); }
HRESULT CCommonDialog2::get_FontStrikethru(VARIANT_BOOL* result) {
    return getFontFlag(&IFont::get_Strikethrough, result);
}
HRESULT CCommonDialog2::put_FontStrikethru(VARIANT_BOOL RHS) { return putFontFlag(&IFont::put_Strikethrough, RHS); }

HRESULT CCommonDialog2::get_FontName(BSTR* result) {
    return raises(result, [&] {
        *result = nullptr;
        com::check(font()->get_Name(result));
    });
}
HRESULT CCommonDialog2::put_FontName(BSTR RHS) {
    return raises([&] {
        const com::unique_bstr name(com::allocBstr(view(RHS)));
        com::check(font()->put_Name(name.get()));
    });
}

HRESULT CCommonDialog2::get_FontSize(LONG* result) {
    return raises(result, [&] {
        CY size{};
        com::check(font()->get_Size(&size));
        *result = static_cast<LONG>(std::lround(static_cast<double>(size.int64) / 10000));
    });
}
HRESULT CCommonDialog2::put_FontSize(LONG RHS) {
    return raises([&] {
        CY size{};
        size.int64 = LONGLONG(RHS) * 10000;
        com::check(font()->put_Size(size));
    });
}

HRESULT CCommonDialog2::get_FontColor(OLE_COLOR* result) { return get(result, fontColor_); }
HRESULT CCommonDialog2::put_FontColor(OLE_COLOR* RHS) { return let(fontColor_, valueOf(RHS)); }

// --- Printers ------------------------------------------------------------------------------

void CCommonDialog2::takePrinter(const PrinterChoice& printer, IDispatch* printerObject) {
    printerName_ = printer.device, printerDriver_ = printer.driver, printerOutputPort_ = printer.port;
    devMode_ = printer.devMode;
    if (!printerObject) return;
    const DevModeFields chosen = devModeFields(printer.devMode);
    const std::pair<const wchar_t*, short> settings[] = {{L"Copies", chosen.copies},
                                                         {L"Orientation", chosen.orientation},
                                                         {L"PaperSize", chosen.paperSize},
                                                         {L"PrintQuality", chosen.printQuality}};
    for (const auto& [name, value] : settings)
        skipOnError([&] { com::letProperty(printerObject, name, longValue(value)); });
}

HRESULT CCommonDialog2::get_PrinterName(BSTR* result) { return get(result, printerName_); }
HRESULT CCommonDialog2::get_PrinterDriver(BSTR* result) { return get(result, printerDriver_); }
HRESULT CCommonDialog2::get_PrinterOutputPort(BSTR* result) { return get(result, printerOutputPort_); }

// --- Plain properties ------------------------------------------------------------------------

HRESULT CCommonDialog2::get_CancelError(VARIANT_BOOL* result) { return get(result, cancelError_); }
HRESULT CCommonDialog2::put_CancelError(VARIANT_BOOL RHS) { return let(cancelError_, RHS); }
HRESULT CCommonDialog2::get_Filter(BSTR* result) { return get(result, filter_); }
HRESULT CCommonDialog2::put_Filter(BSTR RHS) { return let(filter_, RHS); }
HRESULT CCommonDialog2::get_FilterIndex(LONG* result) { return get(result, filterIndex_); }
HRESULT CCommonDialog2::put_FilterIndex(LONG RHS) { return let(filterIndex_, RHS); }
HRESULT CCommonDialog2::get_Filename(BSTR* result) { return get(result, filename_); }
HRESULT CCommonDialog2::put_Filename(BSTR RHS) { return let(filename_, RHS); }
HRESULT CCommonDialog2::get_FileTitle(BSTR* result) { return get(result, fileTitle_); }
HRESULT CCommonDialog2::put_FileTitle(BSTR RHS) { return let(fileTitle_, RHS); }
HRESULT CCommonDialog2::get_Color(OLE_COLOR* result) { return get(result, color_); }
HRESULT CCommonDialog2::put_Color(OLE_COLOR RHS) { return let(color_, RHS); }
HRESULT CCommonDialog2::get_Copies(LONG* result) { return get(result, copies_); }
HRESULT CCommonDialog2::put_Copies(LONG RHS) { return let(copies_, RHS); }
HRESULT CCommonDialog2::get_flags(LONG* result) { return get(result, flags_); }
HRESULT CCommonDialog2::put_flags(LONG RHS) { return let(flags_, RHS); }
HRESULT CCommonDialog2::get_DialogTitle(BSTR* result) { return get(result, dialogTitle_); }
HRESULT CCommonDialog2::put_DialogTitle(BSTR RHS) { return let(dialogTitle_, RHS); }
HRESULT CCommonDialog2::get_DefaultExt(BSTR* result) { return get(result, defaultExt_); }
HRESULT CCommonDialog2::put_DefaultExt(BSTR RHS) { return let(defaultExt_, RHS); }
HRESULT CCommonDialog2::get_FromPage(LONG* result) { return get(result, fromPage_); }
HRESULT CCommonDialog2::put_FromPage(LONG RHS) { return let(fromPage_, RHS); }
HRESULT CCommonDialog2::get_ToPage(LONG* result) { return get(result, toPage_); }
HRESULT CCommonDialog2::put_ToPage(LONG RHS) { return let(toPage_, RHS); }
HRESULT CCommonDialog2::get_hWnd(LONG* result) { return get(result, hWnd_); }
HRESULT CCommonDialog2::put_hWnd(LONG RHS) { return let(hWnd_, RHS); }
HRESULT CCommonDialog2::get_HelpCommand(EShowHelpCommands* result) { return get(result, helpCommand_); }
HRESULT CCommonDialog2::put_HelpCommand(EShowHelpCommands RHS) { return let(helpCommand_, RHS); }
HRESULT CCommonDialog2::get_HelpContext(BSTR* result) { return get(result, helpContext_); }
HRESULT CCommonDialog2::put_HelpContext(BSTR RHS) { return let(helpContext_, RHS); }
HRESULT CCommonDialog2::get_HelpKey(BSTR* result) { return get(result, helpKey_); }
HRESULT CCommonDialog2::put_HelpKey(BSTR RHS) { return let(helpKey_, RHS); }
HRESULT CCommonDialog2::get_HelpFile(BSTR* result) { return get(result, helpFile_); }
HRESULT CCommonDialog2::put_HelpFile(BSTR RHS) { return let(helpFile_, RHS); }
HRESULT CCommonDialog2::get_InitDir(BSTR* result) { return get(result, initDir_); }
HRESULT CCommonDialog2::put_InitDir(BSTR RHS) { return let(initDir_, RHS); }
HRESULT CCommonDialog2::get_Max(LONG* result) { return get(result, max_); }
HRESULT CCommonDialog2::put_Max(LONG RHS) { return let(max_, RHS); }
HRESULT CCommonDialog2::get_Min(LONG* result) { return get(result, min_); }
HRESULT CCommonDialog2::put_Min(LONG RHS) { return let(min_, RHS); }
HRESULT CCommonDialog2::get_MaxFileSize(LONG* result) { return get(result, maxFileSize_); }
HRESULT CCommonDialog2::put_MaxFileSize(LONG RHS) { return let(maxFileSize_, RHS); }
HRESULT CCommonDialog2::get_PrinterDefault(short* result) { return get(result, printerDefault_); }
HRESULT CCommonDialog2::put_PrinterDefault(short RHS) { return let(printerDefault_, RHS); }
HRESULT CCommonDialog2::get_HookDialog(VARIANT_BOOL* result) { return get(result, hookDialog_); }
HRESULT CCommonDialog2::put_HookDialog(VARIANT_BOOL RHS) { return let(hookDialog_, RHS); }
HRESULT CCommonDialog2::get_hInstance(LONG_PTR* result) { return get(result, hInstance_); }
HRESULT CCommonDialog2::put_hInstance(LONG_PTR RHS) { return let(hInstance_, RHS); }
HRESULT CCommonDialog2::get_TemplateName(LONG* result) { return get(result, templateName_); }
HRESULT CCommonDialog2::put_TemplateName(LONG RHS) { return let(templateName_, RHS); }
HRESULT CCommonDialog2::get_APIReturn(LONG* result) { return get(result, apiReturn_); }
HRESULT CCommonDialog2::get_ExtendedError(LONG* result) { return get(result, extendedError_); }

HRESULT CCommonDialog2::get_Object(IDispatch** result) {
    return raises(result, [&] { *result = com::ComPtr<IDispatch>(object_).detach(); });
}
HRESULT CCommonDialog2::put_Object(IDispatch* RHS) {
    object_ = RHS;
    return S_OK;
}

// --- The one-call functions ----------------------------------------------------------------

HRESULT CCommonDialog2::VBGetOpenFileName2(BSTR* Filename, BSTR* FileTitle, VARIANT_BOOL* FileMustExist,
                                           VARIANT_BOOL* MultiSelect, VARIANT_BOOL* ReadOnly,
                                           VARIANT_BOOL* HideReadOnly, BSTR* Filter, LONG* FilterIndex, BSTR* InitDir,
                                           BSTR* DlgTitle, BSTR* DefaultExt, LONG* Owner, LONG* flags,
                                           VARIANT_BOOL* Hook, LONG_PTR* hInstance, LONG* TemplateName,
                                           _CCommonDialog2** EventSink, LONG_PTR* CustomEventHook,
                                           VARIANT_BOOL* result) {
    return raises(result, [&] {
        FileDialog d{.filename = textOf(Filename),
                     .fileTitle = textOf(FileTitle),
                     .filter = textOf(Filter),
                     .filterIndex = valueOf(FilterIndex),
                     .flags = valueOf(flags),
                     .readOnly = isTrue(ReadOnly),
                     .fileMustExist = isTrue(FileMustExist),
                     .multiSelect = isTrue(MultiSelect),
                     .hideReadOnly = isTrue(HideReadOnly),
                     .initDir = textOf(InitDir),
                     .title = textOf(DlgTitle),
                     .defaultExt = textOf(DefaultExt),
                     .owner = ownerOf(valueOf(Owner, LONG(-1))),
                     .instance = reinterpret_cast<HINSTANCE>(valueOf(hInstance)),
                     .templateName = valueOf(TemplateName),
                     .hook = {isTrue(Hook), valueOf(CustomEventHook)}};
        const bool chosen = run(d.hook.library, objectOf(EventSink), [&] { return showFileDialog(d); }).chosen();
        setFileResults(d, Filename, FileTitle, Filter, FilterIndex, flags);
        if (chosen) setBool(ReadOnly, d.readOnly);
        *result = com::variantBool(chosen);
    });
}

HRESULT CCommonDialog2::VBGetOpenFileName(BSTR* Filename, BSTR* FileTitle, VARIANT_BOOL* FileMustExist,
                                          VARIANT_BOOL* MultiSelect, VARIANT_BOOL* ReadOnly, VARIANT_BOOL* HideReadOnly,
                                          BSTR* Filter, LONG* FilterIndex, BSTR* InitDir, BSTR* DlgTitle,
                                          BSTR* DefaultExt, LONG* Owner, LONG* flags, VARIANT_BOOL* Hook,
                                          _CCommonDialog2** EventSink, LONG_PTR* CustomEventHook,
                                          VARIANT_BOOL* result) {
    LONG_PTR noInstance = 0;
    LONG noTemplate = 0;
    return VBGetOpenFileName2(Filename, FileTitle, FileMustExist, MultiSelect, ReadOnly, HideReadOnly, Filter,
                              FilterIndex, InitDir, DlgTitle, DefaultExt, Owner, flags, Hook, &noInstance, &noTemplate,
                              EventSink, CustomEventHook, result);
}

HRESULT CCommonDialog2::VBGetSaveFileName2(BSTR* Filename, BSTR* FileTitle, VARIANT_BOOL* OverWritePrompt, BSTR* Filter,
                                           LONG* FilterIndex, BSTR* InitDir, BSTR* DlgTitle, BSTR* DefaultExt,
                                           LONG* Owner, LONG* flags, VARIANT_BOOL* Hook, LONG_PTR* hInstance,
                                           LONG* TemplateName, _CCommonDialog2** EventSink, LONG_PTR* CustomEventHook,
                                           VARIANT_BOOL* result) {
    return raises(result, [&] {
        FileDialog d{.save = true,
                     .filename = textOf(Filename),
                     .fileTitle = textOf(FileTitle),
                     .filter = textOf(Filter),
                     .filterIndex = valueOf(FilterIndex),
                     .flags = valueOf(flags),
                     .overwritePrompt = isTrue(OverWritePrompt),
                     .initDir = textOf(InitDir),
                     .title = textOf(DlgTitle),
                     .defaultExt = textOf(DefaultExt),
                     .owner = ownerOf(valueOf(Owner, LONG(-1))),
                     .instance = reinterpret_cast<HINSTANCE>(valueOf(hInstance)),
                     .templateName = valueOf(TemplateName),
                     .hook = {isTrue(Hook), valueOf(CustomEventHook)}};
        const bool chosen = run(d.hook.library, objectOf(EventSink), [&] { return showFileDialog(d); }).chosen();
        setFileResults(d, Filename, FileTitle, Filter, FilterIndex, flags);
        *result = com::variantBool(chosen);
    });
}

HRESULT CCommonDialog2::VBGetSaveFileName(BSTR* Filename, BSTR* FileTitle, VARIANT_BOOL* OverWritePrompt, BSTR* Filter,
                                          LONG* FilterIndex, BSTR* InitDir, BSTR* DlgTitle, BSTR* DefaultExt,
                                          LONG* Owner, LONG* flags, VARIANT_BOOL* Hook, _CCommonDialog2** EventSink,
                                          LONG_PTR* CustomEventHook, VARIANT_BOOL* result) {
    LONG_PTR noInstance = 0;
    LONG noTemplate = 0;
    return VBGetSaveFileName2(Filename, FileTitle, OverWritePrompt, Filter, FilterIndex, InitDir, DlgTitle, DefaultExt,
                              Owner, flags, Hook, &noInstance, &noTemplate, EventSink, CustomEventHook, result);
}

HRESULT CCommonDialog2::VBGetFileTitle(BSTR* sFIle, BSTR* result) {
    return raises(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(fileTitleOf(view(sFIle)));
    });
}

HRESULT CCommonDialog2::VBChooseColor(LONG* Color, VARIANT_BOOL* AnyColor, VARIANT_BOOL* FullOpen,
                                      VARIANT_BOOL* DisableFullOpen, LONG* Owner, LONG*, VARIANT_BOOL* Hook,
                                      _CCommonDialog2** EventSink, VARIANT_BOOL* result) {
    return raises(result, [&] {
        ColorDialog d{.color = static_cast<COLORREF>(valueOf(Color)),
                      .anyColor = isTrue(AnyColor),
                      .fullOpen = isTrue(FullOpen),
                      .disableFullOpen = isTrue(DisableFullOpen),
                      .owner = ownerOf(valueOf(Owner, LONG(-1))),
                      .customColors = customColors().data(),
                      .hooked = isTrue(Hook)};
        const bool chosen = run(d.hooked, objectOf(EventSink), [&] { return showColorDialog(d); }).chosen();
        setValue(Color, d.color);
        *result = com::variantBool(chosen);
    });
}

HRESULT CCommonDialog2::VBChooseFont(IFontDisp** CurFont, LONG* PrinterDC, LONG* Owner, LONG* Color, LONG* MinSize,
                                     LONG* MaxSize, LONG* flags, VARIANT_BOOL* Hook, _CCommonDialog2** EventSink,
                                     VARIANT_BOOL* result) {
    return raises(result, [&] {
        if (!objectOf(CurFont)) raise(errObjectNotSet);
        const com::ComPtr<IFont> font = com::ComPtr<IFontDisp>(*CurFont).query<IFont>();
        if (!font) raise(errTypeMismatch);
        FontDialog d{.font = fontChoiceOf(font.get()),
                     .printerDC = valueOf(PrinterDC, LONG(-1)),
                     .owner = ownerOf(valueOf(Owner, LONG(-1))),
                     .color = valueOf(Color),
                     .minSize = valueOf(MinSize),
                     .maxSize = valueOf(MaxSize),
                     .flags = valueOf(flags),
                     .hooked = isTrue(Hook)};
        const bool chosen = run(d.hooked, objectOf(EventSink), [&] { return showFontDialog(d); }).chosen();
        setValue(flags, d.flags);
        if (chosen) setValue(Color, d.color), applyFont(font.get(), d.font);
        *result = com::variantBool(chosen);
    });
}

HRESULT CCommonDialog2::VBPrintDlg(LONG* hDC, EPrintRange* PrintRange, VARIANT_BOOL* DisablePageNumbers, LONG* FromPage,
                                   LONG* ToPage, VARIANT_BOOL* DisableSelection, short* Copies,
                                   VARIANT_BOOL* ShowPrintToFile, VARIANT_BOOL* DisablePrintToFile,
                                   VARIANT_BOOL* PrintToFile, VARIANT_BOOL* Collate, VARIANT_BOOL* PreventWarning,
                                   LONG* Owner, IDispatch** Printer, LONG* flags, VARIANT_BOOL* Hook,
                                   _CCommonDialog2** EventSink, VARIANT_BOOL* result) {
    return raises(result, [&] {
        PrintDialog d{.printRange = valueOf(PrintRange),
                      .disablePageNumbers = isTrue(DisablePageNumbers),
                      .disableSelection = isTrue(DisableSelection),
                      .showPrintToFile = isTrue(ShowPrintToFile),
                      .disablePrintToFile = isTrue(DisablePrintToFile),
                      .printToFile = isTrue(PrintToFile),
                      .collate = isTrue(Collate),
                      .preventWarning = isTrue(PreventWarning),
                      .fromPage = valueOf(FromPage),
                      .toPage = valueOf(ToPage),
                      .copies = valueOf(Copies),
                      .owner = window(valueOf(Owner)),
                      .flags = valueOf(flags),
                      .hooked = isTrue(Hook)};
        d.printer.devMode = devMode_;
        const bool chosen = run(d.hooked, objectOf(EventSink), [&] { return showPrintDialog(d); }).chosen();
        if (chosen) {
            setValue(hDC, handleValue(d.dc));
            setValue(PrintRange, d.printRange);
            setValue(FromPage, d.fromPage), setValue(ToPage, d.toPage);
            setBool(PrintToFile, d.printToFile), setBool(Collate, d.collate);
            setValue(Copies, d.copies);
            takePrinter(d.printer, objectOf(Printer));
        }
        *result = com::variantBool(chosen);
    });
}

HRESULT CCommonDialog2::VBPageSetupDlg2(LONG* Owner, VARIANT_BOOL* DisableMargins, VARIANT_BOOL* DisableOrientation,
                                        VARIANT_BOOL* DisablePaper, VARIANT_BOOL* DisablePrinter, float* LeftMargin,
                                        float* MinLeftMargin, float* RightMargin, float* MinRightMargin,
                                        float* TopMargin, float* MinTopMargin, float* BottomMargin,
                                        float* MinBottomMargin, ePaperSize* PaperSize, eOrientation* Orientation,
                                        ePrintQuality* PrintQuality, EPageSetupUnits* Units, IDispatch** Printer,
                                        LONG* flags, VARIANT_BOOL* Hook, _CCommonDialog2** EventSink,
                                        VARIANT_BOOL* result) {
    return raises(result, [&] {
        float* margins[8] = {LeftMargin, MinLeftMargin, RightMargin,  MinRightMargin,
                             TopMargin,  MinTopMargin,  BottomMargin, MinBottomMargin};
        PageSetupDialog d{.owner = window(valueOf(Owner)),
                          .disableMargins = isTrue(DisableMargins),
                          .disableOrientation = isTrue(DisableOrientation),
                          .disablePaper = isTrue(DisablePaper),
                          .disablePrinter = isTrue(DisablePrinter),
                          .millimetres = valueOf(Units) == 1,
                          .flags = valueOf(flags),
                          .hooked = isTrue(Hook)};
        d.printer.devMode = devMode_;
        for (int i = 0; i < 8; ++i)
            d.margins[i] = valueOf(margins[i]);
        const bool chosen = run(d.hooked, objectOf(EventSink), [&] { return showPageSetupDialog(d); }).chosen();
        if (chosen) {
            for (int i = 0; i < 8; ++i)
                setValue(margins[i], d.margins[i]);
            const DevModeFields paper = devModeFields(d.printer.devMode);
            setValue(PaperSize, paper.paperSize), setValue(Orientation, paper.orientation);
            setValue(PrintQuality, paper.printQuality);
            takePrinter(d.printer, objectOf(Printer));
        }
        *result = com::variantBool(chosen);
    });
}

HRESULT CCommonDialog2::VBPageSetupDlg(LONG* Owner, VARIANT_BOOL* DisableMargins, VARIANT_BOOL* DisableOrientation,
                                       VARIANT_BOOL* DisablePaper, VARIANT_BOOL* DisablePrinter, LONG* LeftMargin,
                                       LONG* MinLeftMargin, LONG* RightMargin, LONG* MinRightMargin, LONG* TopMargin,
                                       LONG* MinTopMargin, LONG* BottomMargin, LONG* MinBottomMargin,
                                       ePaperSize* PaperSize, eOrientation* Orientation, ePrintQuality* PrintQuality,
                                       EPageSetupUnits* Units, IDispatch** Printer, LONG* flags, VARIANT_BOOL* Hook,
                                       _CCommonDialog2** EventSink, VARIANT_BOOL* result) {
    LONG* given[8] = {LeftMargin, MinLeftMargin, RightMargin,  MinRightMargin,
                      TopMargin,  MinTopMargin,  BottomMargin, MinBottomMargin};
    float margins[8];
    for (int i = 0; i < 8; ++i)
        margins[i] = static_cast<float>(valueOf(given[i]));
    const HRESULT hr =
        VBPageSetupDlg2(Owner, DisableMargins, DisableOrientation, DisablePaper, DisablePrinter, &margins[0],
                        &margins[1], &margins[2], &margins[3], &margins[4], &margins[5], &margins[6], &margins[7],
                        PaperSize, Orientation, PrintQuality, Units, Printer, flags, Hook, EventSink, result);
    if (SUCCEEDED(hr)) {
        for (int i = 0; i < 8; ++i)
            setValue(given[i], std::lrint(margins[i]));  // to even, as clients round
    }
    return hr;
}

// --- Names of a multiple selection ------------------------------------------------------------

HRESULT CCommonDialog2::ParseMultiFileName(BSTR* sDir, SAFEARRAY** sFiles, LONG* iFileCount) {
    return raises([&] {
        if (!sDir || !sFiles || !iFileCount) raise(errInvalidCall);
        std::u16string folder(view(sDir));
        const FileNames names = splitFileNames(filename_, folder);
        const LONG kept = names.listed ? *iFileCount : 0;
        if (kept < 0 || size_t(kept) > size_t(LONG_MAX) - names.files.size()) raise(errSubscript);
        SAFEARRAY* old = names.listed ? *sFiles : nullptr;
        if (old && !com::vectorBounds(old)) raise(errSubscript);
        com::unique_safearray files = com::newStringVector(size_t(kept) + names.files.size(), 1);
        com::StringVectorAccess slots(files.get());
        if (old) {  // the names the list held before, as ReDim Preserve keeps them
            const com::BstrVectorAccess before(old);
            const LONG last = std::min(before.bounds().upper, kept);
            for (LONG i = std::max(before.bounds().lower, LONG(1)); i <= last; ++i)
                slots.elements()[i - 1] = com::allocBstr(view(before[i]));
        }
        for (size_t i = 0; i < names.files.size(); ++i)
            slots.elements()[kept + i] = com::allocBstr(names.files[i]);
        com::assignBstr(sDir, folder);
        SafeArrayDestroy(std::exchange(*sFiles, files.release()));
        *iFileCount = kept + static_cast<LONG>(names.files.size());
    });
}

}  // namespace lark::ui
