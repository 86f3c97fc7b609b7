// CCommonDialog2: the common dialogs as an object in the manner of a dialog control without a
// window (set properties, call a Show method, read the choice back from the properties, get events
// from a hooked dialog), and as one-call functions whose by-reference arguments receive the choice.
// CommonDialogs.hpp shows the dialogs; this class converts, keeps the state and raises the events.
#pragma once

#include "LARKLIB8.h"
#include "frame/events.hpp"
#include "ui/CommonDialogs.hpp"

#include <array>
#include <optional>

namespace lark::ui {

class CCommonDialog2 final : public com::EventSource<_CCommonDialog2>, private DialogHookTarget {
public:
    CCommonDialog2();

    HRESULT STDMETHODCALLTYPE WMCommand(LONG hDlg, LONG* wParam, LONG* lParam) override;
    HRESULT STDMETHODCALLTYPE ParseMultiFileName(BSTR* sDir, SAFEARRAY** sFiles, LONG* iFileCount) override;
    HRESULT STDMETHODCALLTYPE DialogClose() override;
    HRESULT STDMETHODCALLTYPE TypeChange(LONG hDlg, LONG* result) override;
    HRESULT STDMETHODCALLTYPE InitDialog(LONG hDlg, LONG* result) override;
    HRESULT STDMETHODCALLTYPE FileChange(LONG hDlg, LONG* result) override;
    HRESULT STDMETHODCALLTYPE FolderChange(LONG hDlg, LONG* result) override;
    HRESULT STDMETHODCALLTYPE ConfirmOK(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE CentreDialog(LONG hDlg, IDispatch** oCentreTo) override;
    HRESULT STDMETHODCALLTYPE GetDialogSize(LONG hDlg, LONG* lL, LONG* lT, LONG* lW, LONG* lH) override;
    HRESULT STDMETHODCALLTYPE SetHelpPosition(LONG* x, LONG* y, LONG* dx, LONG* dy,
                                              EShowHelpWindowPos* eWindowType) override;
    HRESULT STDMETHODCALLTYPE get_CancelError(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE put_CancelError(VARIANT_BOOL RHS) override;
    HRESULT STDMETHODCALLTYPE get_Filter(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_Filter(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_FilterIndex(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_FilterIndex(LONG RHS) override;
    HRESULT STDMETHODCALLTYPE get_Filename(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_Filename(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_FileTitle(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_FileTitle(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_Color(OLE_COLOR* result) override;
    HRESULT STDMETHODCALLTYPE put_Color(OLE_COLOR RHS) override;
    HRESULT STDMETHODCALLTYPE get_Copies(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_Copies(LONG RHS) override;
    HRESULT STDMETHODCALLTYPE get_flags(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_flags(LONG RHS) override;
    HRESULT STDMETHODCALLTYPE get_DialogTitle(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_DialogTitle(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_DefaultExt(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_DefaultExt(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_Font(IFontDisp** result) override;
    HRESULT STDMETHODCALLTYPE put_Font(IFontDisp** RHS) override;
    HRESULT STDMETHODCALLTYPE get_FontBold(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE put_FontBold(VARIANT_BOOL RHS) override;
    HRESULT STDMETHODCALLTYPE get_FontItalic(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE put_FontItalic(VARIANT_BOOL RHS) override;
    HRESULT STDMETHODCALLTYPE get_FontName(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_FontName(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_FontSize(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_FontSize(LONG RHS) override;
    HRESULT STDMETHODCALLTYPE get_FontStrikethru(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE put_FontStrikethru(VARIANT_BOOL RHS) override;
    HRESULT STDMETHODCALLTYPE get_FontUnderline(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE put_FontUnderline(VARIANT_BOOL RHS) override;
    HRESULT STDMETHODCALLTYPE get_FontColor(OLE_COLOR* result) override;
    HRESULT STDMETHODCALLTYPE put_FontColor(OLE_COLOR* RHS) override;
    HRESULT STDMETHODCALLTYPE get_FromPage(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_FromPage(LONG RHS) override;
    HRESULT STDMETHODCALLTYPE get_ToPage(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_ToPage(LONG RHS) override;
    HRESULT STDMETHODCALLTYPE get_hWnd(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_hWnd(LONG RHS) override;
    HRESULT STDMETHODCALLTYPE get_HelpCommand(EShowHelpCommands* result) override;
    HRESULT STDMETHODCALLTYPE put_HelpCommand(EShowHelpCommands RHS) override;
    HRESULT STDMETHODCALLTYPE get_HelpContext(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_HelpContext(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_HelpKey(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_HelpKey(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_HelpFile(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_HelpFile(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_InitDir(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_InitDir(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_Max(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_Max(LONG RHS) override;
    HRESULT STDMETHODCALLTYPE get_Min(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_Min(LONG RHS) override;
    HRESULT STDMETHODCALLTYPE get_MaxFileSize(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_MaxFileSize(LONG RHS) override;
    HRESULT STDMETHODCALLTYPE get_Object(IDispatch** result) override;
    HRESULT STDMETHODCALLTYPE put_Object(IDispatch* RHS) override;
    HRESULT STDMETHODCALLTYPE get_PrinterDefault(short* result) override;
    HRESULT STDMETHODCALLTYPE put_PrinterDefault(short RHS) override;
    HRESULT STDMETHODCALLTYPE get_PrinterName(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_PrinterDriver(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_PrinterOutputPort(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_CustomColor(short i, LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_CustomColor(short i, LONG* RHS) override;
    HRESULT STDMETHODCALLTYPE ShowOpen() override;
    HRESULT STDMETHODCALLTYPE ShowSave() override;
    HRESULT STDMETHODCALLTYPE ShowColor() override;
    HRESULT STDMETHODCALLTYPE ShowFont() override;
    HRESULT STDMETHODCALLTYPE ShowPrinter() override;
    HRESULT STDMETHODCALLTYPE ShowHelp() override;
    HRESULT STDMETHODCALLTYPE get_HookDialog(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE put_HookDialog(VARIANT_BOOL RHS) override;
    HRESULT STDMETHODCALLTYPE get_hInstance(LONG_PTR* result) override;
    HRESULT STDMETHODCALLTYPE put_hInstance(LONG_PTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_TemplateName(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_TemplateName(LONG RHS) override;
    HRESULT STDMETHODCALLTYPE cdLoadLibrary(BSTR* DllName) override;
    HRESULT STDMETHODCALLTYPE cdFreeLibrary() override;
    HRESULT STDMETHODCALLTYPE DialogHook(LONG hDlg, LONG message, LONG_PTR wParam, LONG_PTR lParam,
                                         VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE get_APIReturn(LONG* result) override;
    HRESULT STDMETHODCALLTYPE get_ExtendedError(LONG* result) override;
    HRESULT STDMETHODCALLTYPE get_CustomColorGCD(short* i, LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_CustomColorGCD(short* i, LONG* RHS) override;
    HRESULT STDMETHODCALLTYPE VBGetOpenFileName2(BSTR* Filename, BSTR* FileTitle, VARIANT_BOOL* FileMustExist,
                                                 VARIANT_BOOL* MultiSelect, VARIANT_BOOL* ReadOnly,
                                                 VARIANT_BOOL* HideReadOnly, BSTR* Filter, LONG* FilterIndex,
                                                 BSTR* InitDir, BSTR* DlgTitle, BSTR* DefaultExt, LONG* Owner,
                                                 LONG* flags, VARIANT_BOOL* Hook, LONG_PTR* hInstance,
                                                 LONG* TemplateName, _CCommonDialog2** EventSink,
                                                 LONG_PTR* CustomEventHook, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE VBGetOpenFileName(BSTR* Filename, BSTR* FileTitle, VARIANT_BOOL* FileMustExist,
                                                VARIANT_BOOL* MultiSelect, VARIANT_BOOL* ReadOnly,
                                                VARIANT_BOOL* HideReadOnly, BSTR* Filter, LONG* FilterIndex,
                                                BSTR* InitDir, BSTR* DlgTitle, BSTR* DefaultExt, LONG* Owner,
                                                LONG* flags, VARIANT_BOOL* Hook, _CCommonDialog2** EventSink,
                                                LONG_PTR* CustomEventHook, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE VBGetSaveFileName2(BSTR* Filename, BSTR* FileTitle, VARIANT_BOOL* OverWritePrompt,
                                                 BSTR* Filter, LONG* FilterIndex, BSTR* InitDir, BSTR* DlgTitle,
                                                 BSTR* DefaultExt, LONG* Owner, LONG* flags, VARIANT_BOOL* Hook,
                                                 LONG_PTR* hInstance, LONG* TemplateName, _CCommonDialog2** EventSink,
                                                 LONG_PTR* CustomEventHook, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE VBGetSaveFileName(BSTR* Filename, BSTR* FileTitle, VARIANT_BOOL* OverWritePrompt,
                                                BSTR* Filter, LONG* FilterIndex, BSTR* InitDir, BSTR* DlgTitle,
                                                BSTR* DefaultExt, LONG* Owner, LONG* flags, VARIANT_BOOL* Hook,
                                                _CCommonDialog2** EventSink, LONG_PTR* CustomEventHook,
                                                VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE VBGetFileTitle(BSTR* sFIle, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE VBChooseColor(LONG* Color, VARIANT_BOOL* AnyColor, VARIANT_BOOL* FullOpen,
                                            VARIANT_BOOL* DisableFullOpen, LONG* Owner, LONG* flags, VARIANT_BOOL* Hook,
                                            _CCommonDialog2** EventSink, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE VBChooseFont(IFontDisp** CurFont, LONG* PrinterDC, LONG* Owner, LONG* Color,
                                           LONG* MinSize, LONG* MaxSize, LONG* flags, VARIANT_BOOL* Hook,
                                           _CCommonDialog2** EventSink, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE VBPrintDlg(LONG* hDC, EPrintRange* PrintRange, VARIANT_BOOL* DisablePageNumbers,
                                         LONG* FromPage, LONG* ToPage, VARIANT_BOOL* DisableSelection, short* Copies,
                                         VARIANT_BOOL* ShowPrintToFile, VARIANT_BOOL* DisablePrintToFile,
                                         VARIANT_BOOL* PrintToFile, VARIANT_BOOL* Collate, VARIANT_BOOL* PreventWarning,
                                         LONG* Owner, IDispatch** Printer, LONG* flags, VARIANT_BOOL* Hook,
                                         _CCommonDialog2** EventSink, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE VBPageSetupDlg2(LONG* Owner, VARIANT_BOOL* DisableMargins,
                                              VARIANT_BOOL* DisableOrientation, VARIANT_BOOL* DisablePaper,
                                              VARIANT_BOOL* DisablePrinter, float* LeftMargin, float* MinLeftMargin,
                                              float* RightMargin, float* MinRightMargin, float* TopMargin,
                                              float* MinTopMargin, float* BottomMargin, float* MinBottomMargin,
                                              ePaperSize* PaperSize, eOrientation* Orientation,
                                              ePrintQuality* PrintQuality, EPageSetupUnits* Units, IDispatch** Printer,
                                              LONG* flags, VARIANT_BOOL* Hook, _CCommonDialog2** EventSink,
                                              VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE VBPageSetupDlg(
        LONG* Owner, VARIANT_BOOL* DisableMargins, VARIANT_BOOL* DisableOrientation, VARIANT_BOOL* DisablePaper,
        VARIANT_BOOL* DisablePrinter, LONG* LeftMargin, LONG* MinLeftMargin, LONG* RightMargin, LONG* MinRightMargin,
        LONG* TopMargin, LONG* MinTopMargin, LONG* BottomMargin, LONG* MinBottomMargin, ePaperSize* PaperSize,
        eOrientation* Orientation, ePrintQuality* PrintQuality, EPageSetupUnits* Units, IDispatch** Printer,
        LONG* flags, VARIANT_BOOL* Hook, _CCommonDialog2** EventSink, VARIANT_BOOL* result) override;

private:
    class HookScope;

    // A hooked dialog's message, turned into a call of the event sink's member of that name.
    com::unique_variant hookMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    LONG_PTR dialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) override;
    // Shows a dialog through show(), with this object as the thread's active dialog and sink as
    // its event sink when hooked; keeps the result in APIReturn and ExtendedError.
    template <class Show>
    DialogResult run(bool hooked, IDispatch* sink, Show&& show);
    // After a Show method's dialog failed or was cancelled: the extended error, or 32755 when
    // CancelError asks for it.
    void cancelOrError() const;
    void fireWithWindow(DISPID event, LONG hDlg);
    // The file dialog the properties describe, and showing it with the choice written back to them.
    FileDialog fileDialogSettings(bool save) const;
    void showFileSettings(FileDialog& dialog);
    // The window that CentreDialog and GetDialogSize move and measure.
    HWND dialogWindow(LONG hDlg) const;
    std::array<COLORREF, 16>& customColors();
    com::ComPtr<IFont> font();
    HRESULT getFontFlag(HRESULT (STDMETHODCALLTYPE IFont::*get)(BOOL*), VARIANT_BOOL* result);
    HRESULT putFontFlag(HRESULT (STDMETHODCALLTYPE IFont::*put)(BOOL), VARIANT_BOOL value);
    // Keeps the printer a print or page-setup dialog left chosen, and tells printerObject of it.
    void takePrinter(const PrinterChoice& printer, IDispatch* printerObject);

    bool cancelError_ = false, hookDialog_ = false;
    std::u16string filter_, filename_, fileTitle_, dialogTitle_, defaultExt_, initDir_;
    std::u16string helpContext_, helpKey_, helpFile_;
    LONG filterIndex_ = 1, flags_ = 0, copies_ = 0, fromPage_ = 0, toPage_ = 0, hWnd_ = 0, helpCommand_ = 0;
    LONG max_ = 0, min_ = 0, maxFileSize_ = 0, templateName_ = 0, apiReturn_ = 0, extendedError_ = 0;
    LONG_PTR hInstance_ = 0;  // the caller's to free (cdFreeLibrary), never the object's
    short printerDefault_ = 0;
    OLE_COLOR color_ = 0, fontColor_ = 0;
    com::ComPtr<IFontDisp> font_;
    com::ComPtr<IDispatch> object_;
    std::optional<std::array<COLORREF, 16>> customColors_;  // the system colours once first read
    std::u16string printerName_, printerDriver_, printerOutputPort_;
    std::vector<BYTE> devMode_;  // the last printer chosen, where the next print dialog starts
    com::unique_hdc printerDC_;
    com::ComPtr<IDispatch> eventSink_;  // while a hooked dialog is open
    bool explorerDialog_ = false;       // the open dialog is a file dialog, whose frame is its parent
};

}  // namespace lark::ui
