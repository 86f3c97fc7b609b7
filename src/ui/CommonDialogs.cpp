#include "ui/CommonDialogs.hpp"

#include "frame/error.hpp"
#include "frame/per_thread.hpp"
#include "frame/platform_text.hpp"
#include "frame/raii.hpp"
#include "ui/dialog_text.hpp"

#include <cderr.h>
#include <winspool.h>

#include <cmath>
#include <cstddef>
#include <cstring>

namespace lark::ui {

// The open and save record without the fields Windows 2000 added after lpTemplateName.
constexpr DWORD kOpenFileNameSize = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);

// The records go out in their ANSI forms, of the sizes the 32-bit library has always sent.
static_assert(sizeof(void*) == 8 ||
              (kOpenFileNameSize == 76 && sizeof(CHOOSECOLORA) == 36 && sizeof(CHOOSEFONTA) == 60 &&
               sizeof(PRINTDLGA) == 66 && sizeof(PAGESETUPDLGA) == 84));

namespace {

struct ActiveDialogSlot {
    DialogHookTarget* target = nullptr;
};
DialogHookTarget*& activeDialog() { return com::perThread<ActiveDialogSlot>().target; }

constexpr size_t kMultipleSelectionBuffer = 8192;

// A name buffer of `size` bytes: the text, then NULs. A text longer than the buffer overflows.
std::string nameBuffer(std::u16string_view text, size_t size) {
    std::string buffer = com::toAnsi(text);
    if (buffer.size() > size) raise(errOverflow);
    buffer.resize(size, '\0');
    return buffer;
}

std::u16string untilNul(std::string_view buffer) { return com::fromAnsi(buffer.substr(0, buffer.find('\0'))); }

// An empty setting is no setting: the dialog then uses its own title, folder or extension.
const char* orNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

// The file dialogs copy the initial folder into a buffer of MAX_PATH characters (Wine's run past
// it); a longer path names no folder, and the dialog starts where it does for a missing one.
const char* initialFolder(const std::string& path) { return path.size() < MAX_PATH ? orNull(path) : nullptr; }

// What a file dialog wrote: a list (the folder, a NUL, the names separated by NULs, two NULs) or
// one path. The name's offset tells which: in a list it follows the folder's NUL.
std::u16string chosenFiles(std::string_view buffer, WORD nameOffset, bool multiSelect) {
    const bool list = multiSelect && nameOffset > 0 && nameOffset < buffer.size() && buffer[nameOffset - 1] == '\0';
    if (!list) return untilNul(buffer);
    return com::fromAnsi(buffer.substr(0, buffer.find(std::string_view("\0\0", 2))));
}

LONG extendedErrorOf(LONG apiReturn) { return apiReturn == 0 || apiReturn == 1 ? 0 : LONG(CommDlgExtendedError()); }

template <class Hook>
Hook libraryHook() {
    return reinterpret_cast<Hook>(reinterpret_cast<void*>(&commonDialogHook));
}

// A global memory block holding a copy of bytes; none for no bytes.
com::unique_hglobal globalCopy(const std::vector<BYTE>& bytes) {
    if (bytes.empty()) return {};
    com::unique_hglobal block(GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
    com::GlobalLockGuard lock(block.get());
    if (!lock.data()) raise(errOutOfMemory);
    std::memcpy(lock.data(), bytes.data(), bytes.size());
    return block;
}

std::vector<BYTE> bytesOf(HGLOBAL block) {
    com::GlobalLockGuard lock(block);
    return lock.data() ? std::vector<BYTE>(lock.data(), lock.data() + lock.size()) : std::vector<BYTE>();
}

// The printer the dialog returned: its DEVMODE and the names in its DEVNAMES.
void takePrinter(PrinterChoice& printer, HGLOBAL devMode, HGLOBAL devNames) {
    printer.devMode = bytesOf(devMode);
    com::GlobalLockGuard names(devNames);
    if (names.size() < sizeof(DEVNAMES)) return;
    const auto* offsets = reinterpret_cast<const DEVNAMES*>(names.data());
    const std::string_view text(reinterpret_cast<const char*>(names.data()), names.size());
    auto at = [&](WORD offset) { return offset < text.size() ? untilNul(text.substr(offset)) : std::u16string(); };
    printer.driver = at(offsets->wDriverOffset);
    printer.device = at(offsets->wDeviceOffset);
    printer.port = at(offsets->wOutputOffset);
}

// A page number as the print record holds it: 16 bits, signed or not.
WORD pageNumber(LONG page) {
    if (page < -32768 || page > 65535) raise(errOverflow);
    return static_cast<WORD>(page);
}

void releaseScreen(HDC dc) { ReleaseDC(nullptr, dc); }

int screenPixelsPerInch() {
    const com::unique_any<HDC, &releaseScreen> screen(GetDC(nullptr));
    return GetDeviceCaps(screen.get(), LOGPIXELSY);
}

com::unique_hdc defaultPrinterDC() {
    char name[256]{};
    DWORD size = sizeof name;
    if (!GetDefaultPrinterA(name, &size)) return {};
    return com::unique_hdc(CreateDCA(nullptr, name, nullptr, nullptr));
}

}  // namespace

ActiveDialog::ActiveDialog(DialogHookTarget* target) : previous_(activeDialog()) { activeDialog() = target; }

ActiveDialog::~ActiveDialog() { activeDialog() = previous_; }

UINT_PTR CALLBACK commonDialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogHookTarget* target = activeDialog();
    return target ? static_cast<UINT_PTR>(target->dialogHook(dialog, message, wParam, lParam)) : 0;
}

DialogResult showFileDialog(FileDialog& d) {
    const bool multiSelect = !d.save && d.multiSelect;
    DWORD flags = d.save
                      ? (d.overwritePrompt ? OFN_OVERWRITEPROMPT : 0) | OFN_HIDEREADONLY
                      : (d.hideReadOnly ? OFN_HIDEREADONLY : 0) | (d.fileMustExist ? OFN_FILEMUSTEXIST : 0) |
                            (multiSelect ? OFN_ALLOWMULTISELECT | OFN_EXPLORER : 0) | (d.readOnly ? OFN_READONLY : 0);
    const size_t size = multiSelect ? kMultipleSelectionBuffer : MAX_PATH;
    std::string file = nameBuffer(d.filename, size), title = nameBuffer(d.fileTitle, size);
    const std::u16string filter = dialogFilter(d.filter);
    const std::string ansiFilter = com::toAnsi(filter), initDir = com::toAnsi(d.initDir),
                      caption = com::toAnsi(d.title), defaultExt = com::toAnsi(d.defaultExt);

    OPENFILENAMEA record{};
    record.lStructSize = kOpenFileNameSize;
    record.hwndOwner = d.owner;
    record.lpstrFilter = ansiFilter.c_str();
    record.nFilterIndex = static_cast<DWORD>(d.filterIndex);
    record.lpstrFile = file.data();
    record.nMaxFile = static_cast<DWORD>(size);
    record.lpstrFileTitle = title.data();
    record.nMaxFileTitle = static_cast<DWORD>(size);
    record.lpstrInitialDir = initialFolder(initDir);
    record.lpstrTitle = orNull(caption);
    record.lpstrDefExt = orNull(defaultExt);
    if (d.hook.library) {
        flags |= OFN_EXPLORER | OFN_ENABLEHOOK;
        record.lpfnHook = libraryHook<LPOFNHOOKPROC>();
    }
    if (d.hook.custom) {
        flags |= OFN_ENABLEHOOK;
        record.lpfnHook = reinterpret_cast<LPOFNHOOKPROC>(d.hook.custom);
    }
    if ((d.flags & OFN_ENABLETEMPLATE) && reinterpret_cast<LONG_PTR>(d.instance) > 0) {
        flags |= OFN_ENABLETEMPLATE;
        record.hInstance = d.instance;
        record.lpTemplateName = MAKEINTRESOURCEA(d.templateName);
    }
    record.Flags = flags;

    DialogResult result;
    result.apiReturn = d.save ? GetSaveFileNameA(&record) : GetOpenFileNameA(&record);
    if (result.chosen()) {
        d.filename = chosenFiles(file, record.nFileOffset, multiSelect);
        d.fileTitle = untilNul(title);
        d.flags = static_cast<LONG>(record.Flags);
        d.filterIndex = static_cast<LONG>(record.nFilterIndex);
        d.filter = filterEntry(filter, d.filterIndex);
        d.readOnly = record.Flags & OFN_READONLY;
    } else {
        d.filename.clear(), d.fileTitle.clear(), d.filter.clear();
        d.flags = 0;
        d.filterIndex = d.save ? 0 : -1;
        result.extendedError = extendedErrorOf(result.apiReturn);
    }
    return result;
}

DialogResult showColorDialog(ColorDialog& d) {
    CHOOSECOLORA record{};
    record.lStructSize = sizeof record;
    record.hwndOwner = d.owner;
    record.rgbResult = d.color;
    record.lpCustColors = d.customColors;
    record.Flags = CC_RGBINIT | (d.anyColor ? CC_ANYCOLOR : CC_SOLIDCOLOR) | (d.fullOpen ? CC_FULLOPEN : 0) |
                   (d.disableFullOpen ? CC_PREVENTFULLOPEN : 0);
    if (d.hooked) {
        record.Flags |= CC_ENABLEHOOK;
        record.lpfnHook = libraryHook<LPCCHOOKPROC>();
    }
    DialogResult result;
    result.apiReturn = ChooseColorA(&record);
    d.color = result.chosen() ? record.rgbResult : CLR_INVALID;
    result.extendedError = extendedErrorOf(result.apiReturn);
    return result;
}

DialogResult showFontDialog(FontDialog& d) {
    LONG flags = d.flags;
    com::unique_hdc defaultPrinter;
    HDC dc = nullptr;
    if (d.printerDC == -1) {
        if (flags & CF_PRINTERFONTS) dc = (defaultPrinter = defaultPrinterDC()).get();
    } else {
        dc = reinterpret_cast<HDC>(static_cast<INT_PTR>(d.printerDC));
        flags |= CF_PRINTERFONTS;
    }
    if (!(flags & CF_PRINTERFONTS)) flags |= CF_SCREENFONTS;
    if (d.color) flags |= CF_EFFECTS;
    if (d.minSize || d.maxSize) flags |= CF_LIMITSIZE;
    // The call sends no template of the caller's, so it asks for none.
    flags &= ~(CF_ENABLEHOOK | CF_ENABLETEMPLATE | CF_ENABLETEMPLATEHANDLE | CF_APPLY);
    flags |= CF_INITTOLOGFONTSTRUCT;
    d.flags = flags;

    const int pixelsPerInch = screenPixelsPerInch();
    const double twipsPerPixel = pixelsPerInch > 0 ? 1440 / pixelsPerInch : 15;  // whole twips, as hosts count them
    LOGFONTA font{};
    font.lfHeight = -std::lround(d.font.size * 20 / twipsPerPixel);
    font.lfWeight = d.font.weight;
    font.lfItalic = d.font.italic;
    font.lfUnderline = d.font.underline;
    font.lfStrikeOut = d.font.strikethrough;
    const std::string face = com::toAnsi(d.font.name);
    std::memcpy(font.lfFaceName, face.data(), std::min(face.size(), sizeof font.lfFaceName - 1));
    char style[LF_FACESIZE]{};  // CF_USESTYLE reads and writes it

    CHOOSEFONTA record{};
    record.lStructSize = sizeof record;
    record.hwndOwner = d.owner;
    record.hDC = dc;
    record.lpLogFont = &font;
    record.iPointSize = static_cast<INT>(std::lround(d.font.size * 10));
    record.Flags = static_cast<DWORD>(flags);
    record.rgbColors = static_cast<COLORREF>(d.color);
    record.nSizeMin = d.minSize;
    record.nSizeMax = d.maxSize;
    record.lpszStyle = style;
    if (d.hooked) {
        record.Flags |= CF_ENABLEHOOK;
        record.lpfnHook = libraryHook<LPCFHOOKPROC>();
    }
    DialogResult result;
    result.apiReturn = ChooseFontA(&record);
    result.extendedError = extendedErrorOf(result.apiReturn);
    if (!result.chosen()) return result;
    d.flags = static_cast<LONG>(record.Flags);
    d.color = static_cast<LONG>(record.rgbColors);
    d.font.bold = record.nFontType & BOLD_FONTTYPE;
    d.font.italic = font.lfItalic;
    d.font.strikethrough = font.lfStrikeOut;
    d.font.underline = font.lfUnderline;
    d.font.weight = static_cast<short>(font.lfWeight);
    d.font.size = record.iPointSize / 10.0;
    d.font.name = untilNul({font.lfFaceName, sizeof font.lfFaceName});
    return result;
}

DialogResult showPrintDialog(PrintDialog& d) {
    DWORD flags = static_cast<DWORD>(d.flags) | (d.disablePageNumbers ? PD_NOPAGENUMS : 0) |
                  (d.disablePrintToFile ? PD_DISABLEPRINTTOFILE : 0) | (d.disableSelection ? PD_NOSELECTION : 0) |
                  (d.printToFile ? PD_PRINTTOFILE : 0) | (d.showPrintToFile ? 0 : PD_HIDEPRINTTOFILE) |
                  (d.preventWarning ? PD_NOWARNING : 0) | (d.collate ? PD_COLLATE : 0) | PD_USEDEVMODECOPIES |
                  PD_RETURNDC;
    if (d.printRange == 1) flags |= PD_PAGENUMS;
    if (d.printRange == 2) flags |= PD_SELECTION;
    // The call sends no hook or template of the caller's, so it asks for none.
    flags &= ~(PD_ENABLEPRINTHOOK | PD_ENABLESETUPHOOK | PD_ENABLEPRINTTEMPLATE | PD_ENABLESETUPTEMPLATE |
               PD_ENABLEPRINTTEMPLATEHANDLE | PD_ENABLESETUPTEMPLATEHANDLE);

    PRINTDLGA record{};
    record.lStructSize = sizeof record;
    record.hwndOwner = d.owner;
    record.nFromPage = pageNumber(d.fromPage);
    record.nToPage = pageNumber(d.toPage);
    record.nMinPage = 1;
    record.nMaxPage = 65535;
    record.nCopies = static_cast<WORD>(d.copies);
    if (d.hooked && (flags & PD_PRINTSETUP)) {
        flags |= PD_ENABLESETUPHOOK;
        record.lpfnSetupHook = libraryHook<LPSETUPHOOKPROC>();
    } else if (d.hooked) {
        flags |= PD_ENABLEPRINTHOOK;
        record.lpfnPrintHook = libraryHook<LPPRINTHOOKPROC>();
    }
    record.Flags = flags;
    record.hDevMode = globalCopy(d.printer.devMode).release();

    DialogResult result;
    result.apiReturn = PrintDlgA(&record);
    const com::unique_hglobal devMode(record.hDevMode), devNames(record.hDevNames);
    com::unique_hdc dc(record.hDC);
    result.extendedError = extendedErrorOf(result.apiReturn);
    if (!result.chosen()) return result;
    d.dc = dc.release();
    d.printRange = (record.Flags & PD_PAGENUMS) ? 1 : (record.Flags & PD_SELECTION) ? 2 : 0;
    d.fromPage = record.nFromPage;
    d.toPage = record.nToPage;
    d.printToFile = record.Flags & PD_PRINTTOFILE;
    takePrinter(d.printer, devMode.get(), devNames.get());
    const DevModeFields chosen = devModeFields(d.printer.devMode);
    if (chosen.fields & DM_COPIES) {
        d.copies = chosen.copies;
        d.collate = chosen.collate == 1;
    } else {
        d.copies = static_cast<short>(record.nCopies);
        d.collate = true;
    }
    return result;
}

DialogResult showPageSetupDialog(PageSetupDialog& d) {
    const double factor = d.millimetres ? 100 : 1000;
    const DWORD units = d.millimetres ? PSD_INHUNDREDTHSOFMILLIMETERS : PSD_INTHOUSANDTHSOFINCHES;
    DWORD flags = static_cast<DWORD>(d.flags);
    // The call sends no hook or template of the caller's, and chooses the units itself.
    flags &= ~(PSD_ENABLEPAGESETUPHOOK | PSD_ENABLEPAGESETUPTEMPLATE | PSD_ENABLEPAGESETUPTEMPLATEHANDLE |
               PSD_ENABLEPAGEPAINTHOOK | PSD_INTHOUSANDTHSOFINCHES | PSD_INHUNDREDTHSOFMILLIMETERS);
    flags |= (d.disableMargins ? PSD_DISABLEMARGINS : 0) | (d.disableOrientation ? PSD_DISABLEORIENTATION : 0) |
             (d.disablePaper ? PSD_DISABLEPAPER : 0) | (d.disablePrinter ? PSD_DISABLEPRINTER : 0) | units;

    auto scaled = [&](int i) { return std::lround(d.margins[i] * factor); };
    PAGESETUPDLGA record{};
    record.lStructSize = sizeof record;
    record.hwndOwner = d.owner;
    record.rtMargin = {scaled(0), scaled(4), scaled(2), scaled(6)};
    record.rtMinMargin = {scaled(1), scaled(5), scaled(3), scaled(7)};
    if (d.hooked) {
        flags |= PSD_ENABLEPAGESETUPHOOK;
        record.lpfnPageSetupHook = libraryHook<LPPAGESETUPHOOK>();
    }
    record.Flags = flags;
    record.hDevMode = globalCopy(d.printer.devMode).release();

    DialogResult result;
    result.apiReturn = PageSetupDlgA(&record);
    const com::unique_hglobal devMode(record.hDevMode), devNames(record.hDevNames);
    result.extendedError = extendedErrorOf(result.apiReturn);
    if (result.apiReturn == 0) return result;
    const LONG back[8] = {record.rtMargin.left,     record.rtMinMargin.left,  record.rtMargin.right,
                          record.rtMinMargin.right, record.rtMargin.top,      record.rtMinMargin.top,
                          record.rtMargin.bottom,   record.rtMinMargin.bottom};
    for (int i = 0; i < 8; ++i)
        d.margins[i] = back[i] / factor;
    takePrinter(d.printer, devMode.get(), devNames.get());
    return result;
}

DevModeFields devModeFields(const std::vector<BYTE>& devMode) {
    DevModeFields out;
    if (devMode.size() < offsetof(DEVMODEA, dmCollate) + sizeof(short)) return out;
    DEVMODEA fields{};
    std::memcpy(&fields, devMode.data(), std::min(devMode.size(), sizeof fields));
    out.fields = fields.dmFields;
    out.copies = fields.dmCopies;
    out.orientation = fields.dmOrientation;
    out.paperSize = fields.dmPaperSize;
    out.printQuality = fields.dmPrintQuality;
    out.collate = fields.dmCollate;
    return out;
}

std::u16string fileTitleOf(std::u16string_view file) {
    const std::string name = com::toAnsi(file);
    char title[MAX_PATH]{};
    return GetFileTitleA(name.c_str(), title, sizeof title) == 0 ? untilNul({title, sizeof title}) : std::u16string();
}

}  // namespace lark::ui
