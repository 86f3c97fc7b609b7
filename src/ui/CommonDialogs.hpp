// The platform's common dialogs as CCommonDialog2 shows them: each call takes the dialog's settings
// as plain values, fills the ANSI record, shows the dialog and gives the choice back in the same
// values. A hooked dialog's messages go to the thread's active dialog (ActiveDialog).
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <string>
#include <vector>

namespace lark::ui {

// What a hooked dialog's messages are handed to.
class DialogHookTarget {
public:
    virtual LONG_PTR dialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~DialogHookTarget() = default;
};

// Makes target the thread's active dialog while it lives: the hook procedure of every dialog
// opened on this thread meanwhile hands its messages to target. A dialog opened from inside a
// hooked one takes the slot over and gives it back when it closes.
class ActiveDialog {
public:
    explicit ActiveDialog(DialogHookTarget* target);
    ActiveDialog(const ActiveDialog&) = delete;
    ActiveDialog& operator=(const ActiveDialog&) = delete;
    ~ActiveDialog();

private:
    DialogHookTarget* previous_;
};

// The hook procedure of every hooked dialog.
UINT_PTR CALLBACK commonDialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// How a dialog call ended: the dialog function's result, and the extended error code for a result
// other than 0 and 1.
struct DialogResult {
    LONG apiReturn = 0;
    LONG extendedError = 0;
    bool chosen() const { return apiReturn == 1; }
};

// The hook a dialog is shown with: none, the library's (commonDialogHook, for the active dialog),
// or an address the caller gives.
struct DialogHook {
    bool library = false;
    LONG_PTR custom = 0;
};

struct FileDialog {
    bool save = false;
    // Given and, after the dialog, chosen (or emptied when nothing was).
    std::u16string filename, fileTitle, filter;  // filter: as the caller writes it; then the entry chosen
    LONG filterIndex = 1;
    LONG flags = 0;  // only OFN_ENABLETEMPLATE counts; then the dialog's final flags
    bool readOnly = false;
    // Given only.
    bool fileMustExist = false, multiSelect = false, hideReadOnly = false, overwritePrompt = false;
    std::u16string initDir, title, defaultExt;
    HWND owner = nullptr;
    HINSTANCE instance = nullptr;
    LONG templateName = 0;
    DialogHook hook;
};
DialogResult showFileDialog(FileDialog& dialog);

struct ColorDialog {
    COLORREF color = 0;  // then the colour chosen, or -1
    bool anyColor = true, fullOpen = false, disableFullOpen = false;
    HWND owner = nullptr;
    COLORREF* customColors = nullptr;  // 16 entries, which the dialog may change
    bool hooked = false;
};
DialogResult showColorDialog(ColorDialog& dialog);

struct FontChoice {
    std::u16string name;
    double size = 0;  // points
    short weight = 400;
    bool bold = false, italic = false, underline = false, strikethrough = false;
};

struct FontDialog {
    FontChoice font;
    LONG printerDC = -1;  // -1: screen fonts, or the default printer's with CF_PRINTERFONTS
    HWND owner = nullptr;
    LONG color = 0, minSize = 0, maxSize = 0;
    LONG flags = 0;  // as sent; then the dialog's final flags
    bool hooked = false;
};
DialogResult showFontDialog(FontDialog& dialog);

// The printer a print or page-setup dialog leaves chosen.
struct PrinterChoice {
    std::vector<BYTE> devMode;  // the whole DEVMODEA with its driver's bytes; given, then chosen
    std::u16string driver, device, port;
};

struct PrintDialog {
    HDC dc = nullptr;
    LONG printRange = 0;  // 0 all, 1 page numbers, 2 selection
    bool disablePageNumbers = false, disableSelection = false, showPrintToFile = false, disablePrintToFile = true,
         printToFile = false, collate = false, preventWarning = false;
    LONG fromPage = 1, toPage = -1;
    short copies = 0;
    HWND owner = nullptr;
    LONG flags = 0;
    bool hooked = false;
    PrinterChoice printer{};
};
DialogResult showPrintDialog(PrintDialog& dialog);

struct PageSetupDialog {
    HWND owner = nullptr;
    bool disableMargins = false, disableOrientation = false, disablePaper = false, disablePrinter = false;
    // Left, minimum left, right, minimum right, top, minimum top, bottom, minimum bottom.
    double margins[8] = {};
    bool millimetres = false;  // else inches
    LONG flags = 0;
    bool hooked = false;
    PrinterChoice printer{};
};
DialogResult showPageSetupDialog(PageSetupDialog& dialog);

// The fields of a DEVMODEA that callers read back; all 0 for an empty one.
struct DevModeFields {
    short copies = 0, orientation = 0, paperSize = 0, printQuality = 0, collate = 0;
    DWORD fields = 0;
};
DevModeFields devModeFields(const std::vector<BYTE>& devMode);

// The title GetFileTitleA gives for a file, "" when it gives none.
std::u16string fileTitleOf(std::u16string_view file);

}  // namespace lark::ui
