// The common dialogs, opened for real on the virtual display and answered by the tests: through the
// object's events (a C++ sink that fills the dialog and presses its buttons, as a person would), or
// by a helper thread that cancels them.
#include "support.hpp"

#include <commdlg.h>
#include <dlgs.h>
#include <ocidl.h>
#include <olectl.h>
#include <shlobj.h>
#include <winspool.h>

#include <sstream>

namespace lark::test {
namespace {

// A C++ client's handler of __CCommonDialog2: it writes down every event and hands it to `on`,
// which plays the person in front of the dialog.
class Sink final : public IDispatch {
public:
    std::function<void(const std::wstring& event, DISPPARAMS& args)> on;
    std::wstring log;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        const bool ours = iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID___CCommonDialog2;
        *out = ours ? this : nullptr;
        return ours ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* args, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        static const wchar_t* names[] = {L"?",        L"InitDialog", L"FileChange",  L"FolderChange",
                                         L"DialogOK", L"TypeChange", L"DialogClose", L"WMCommand"};
        const std::wstring event = names[id >= 1 && id <= 7 ? id : 0];
        log += (log.empty() ? L"" : L" ") + event;
        if (on) on(event, *args);
        return S_OK;
    }
};

// Advises a sink on an object's events for as long as it lives.
class Connection {
public:
    Connection(IDispatch* source, IUnknown* sink) {
        auto container = ComPtr<IDispatch>(source).query<IConnectionPointContainer>();
        EXPECT_EQ(S_OK, container->FindConnectionPoint(DIID___CCommonDialog2, point_.put()));
        EXPECT_EQ(S_OK, point_->Advise(sink, &cookie_));
    }
    ~Connection() { point_->Unadvise(cookie_); }

private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

HWND windowOf(const VARIANT& hDlg) { return reinterpret_cast<HWND>(static_cast<INT_PTR>(hDlg.lVal)); }
// What a person types into a file dialog's name box (Windows names it cmb13, Wine edt1).
// The library shows the ANSI dialogs, whose messages take ANSI text.
void typeName(HWND frame, const char* text) {
    for (int box : {cmb13, edt1})
        SendMessageA(frame, CDM_SETCONTROLTEXT, box, reinterpret_cast<LPARAM>(text));
}
void chooseType(HWND frame, int index) {
    const HWND types = GetDlgItem(frame, cmb1);
    SendMessageW(types, CB_SETCURSEL, index, 0);
    SendMessageW(frame, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELENDOK), reinterpret_cast<LPARAM>(types));
}

// A printer on a FILE: port with the platform's PostScript driver and its generic PPD, made the
// default. It stays in the prefix: the platform does not take a printer back under its old name.
void useTestPrinter() {
    static bool ready = false;
    if (ready) return;
    const com::unique_hmodule spooler(LoadLibraryExW(L"winspool.drv", nullptr, LOAD_LIBRARY_AS_DATAFILE));
    const HRSRC ppd = FindResourceW(spooler.get(), MAKEINTRESOURCEW(1), L"PPDFILE");
    std::wstring file = temporaryFolder() + L"lark.ppd";  // copied to the driver's folder
    writeBytes(file, std::string(static_cast<const char*>(LockResource(LoadResource(spooler.get(), ppd))),
                                 SizeofResource(spooler.get(), ppd)));
    DRIVER_INFO_3W driver{};
    driver.cVersion = 3, driver.pName = const_cast<wchar_t*>(L"Wine PostScript Driver");
    driver.pDriverPath = driver.pConfigFile = const_cast<wchar_t*>(L"wineps.drv");
    driver.pDataFile = file.data();
    driver.pDefaultDataType = const_cast<wchar_t*>(L"RAW");
    EXPECT_TRUE(AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&driver),
                                    APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY));
    DeleteFileW(file.c_str());
    PRINTER_INFO_2W printer{};
    printer.pPrinterName = const_cast<wchar_t*>(L"Lark Test Printer");
    printer.pDriverName = driver.pName;
    printer.pPortName = const_cast<wchar_t*>(L"FILE:");
    printer.pPrintProcessor = const_cast<wchar_t*>(L"WinPrint");
    printer.pDatatype = driver.pDefaultDataType;
    HANDLE handle = nullptr;
    if (OpenPrinterW(printer.pPrinterName, &handle, nullptr) ||
        (handle = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer))))
        ClosePrinter(handle);
    ready = handle && SetDefaultPrinterW(printer.pPrinterName);
    EXPECT_TRUE(ready);
}

// A sandbox S holding a.txt and b.txt, cases that know it, and the dialog object d with a sink.
class Dialogs : public testing::Test {
protected:
    Dialogs() {
        box.make({L"a.txt", L"b.txt"});
        c.let("S", box.root()), c.mask(box.root(), "S");
        c.let("d", dialog.get()), c.run("d.DialogTitle = 'Pick' => Empty");
    }
    // A confirmed file dialog leaves its folder current, which would keep the sandbox.
    ~Dialogs() override { SetCurrentDirectoryW(temporaryFolder().c_str()); }
    Sandbox box;
    Cases c;
    Sink sink;
    ComPtr<IDispatch> dialog = createByProgId<IDispatch>(L"LARKLIB8.CCommonDialog2");
    Connection connection{dialog.get(), &sink};
};

TEST_F(Dialogs, StateAndHelpWithoutADialog) {
    c.mask(std::to_wstring(GetSysColor(5)), "sys5");
    ComPtr<_CCommonDialog2> early = dialog.query<_CCommonDialog2>();  // Let with an index
    LONG color = 0x123456, none = 7;
    short last = 15;
    EXPECT_EQ(S_OK, early->put_CustomColorGCD(&last, &color));
    EXPECT_EQ(S_OK, early->put_CustomColor(16, &none));
    c.run(R"(
d.{FilterIndex, Filter, flags, CancelError, Color, hInstance, APIReturn, HookDialog, PrinterName} => Long 1 | '' | Long 0 | Boolean False | ULong 0 | LongLong 0 | Long 0 | Boolean False | ''
d.{CustomColor 5, CustomColorGCD CInt(5), CustomColor 15, CustomColor 16, CustomColor -1} => Long %sys5% | Long %sys5% | Long 1193046 | Long -1 | Long -1
d.FontName = 'DejaVu Serif' => Empty
d.FontSize = 12 => Empty
d.FontBold = True => Empty
d.{FontName, FontSize, FontBold, FontItalic} => 'DejaVu Serif' | Long 12 | Boolean True | Boolean False
d.VBGetFileTitle @'C:\dir\name.txt' => 'name.txt'; 'C:\dir\name.txt'
d.VBGetFileTitle @'C:\dir\' => ''; 'C:\dir\'
d.cdLoadLibrary @'no such library.dll' => Empty; 'no such library.dll'
d.hInstance => LongLong 0
d.DialogHook 0, 272, 0, 0 => Empty
d.HelpCommand = 515 => Empty
d.ShowHelp => error 13705 LARKLIB8 'Invalid WinHelp Command Passed to ShowHelp function.'
d.HelpCommand = 513 => Empty
d.ShowHelp => error 13705 LARKLIB8 'Invalid WinHelp Command Passed to ShowHelp function.'
# Closing WinHelp when it is not open succeeds without starting it.
d.HelpCommand = 2 => Empty
d.ShowHelp => Empty
)");
}

// Both forms of a name: a list (as the dialogs leave it, or ended by two NULs) and one path.
TEST_F(Dialogs, ParseMultiFileNameSplitsListsAndPaths) {
    c.run(R"(
d.Filename = 'C:\dir' & vbNullChar & 'a.txt' & vbNullChar & 'b c.txt' => Empty
d.ParseMultiFileName @'', @String(), @0 => Empty; 'C:\dir'; String(1 To 2)['a.txt'|'b c.txt']; Long 2
d.ParseMultiFileName @'C:\given', @String(1 To 1)['kept'], @1 => Empty; 'C:\given'; String(1 To 4)['kept'|'C:\dir'|'a.txt'|'b c.txt']; Long 4
d.ParseMultiFileName @'', @String(), @-1 => error 9 LARKLIB8; ''; String(); Long -1
d.Filename = 'C:\dir' & vbNullChar & 'a.txt' & vbNullChar & vbNullChar & 'left over' => Empty
d.ParseMultiFileName @'', @String(1 To 3)['x'|'y'|'z'], @2 => Empty; 'C:\dir'; String(1 To 3)['x'|'y'|'a.txt']; Long 3
d.Filename = 'C:\dir\a.txt' => Empty
d.ParseMultiFileName @'x', @String(1 To 2)['p'|'q'], @5 => Empty; 'C:\dir'; String(1 To 1)['a.txt']; Long 1
d.Filename = '\a.txt' => Empty
d.ParseMultiFileName @'x', @String(), @0 => Empty; ''; String(1 To 1)['\a.txt']; Long 1
d.Filename = 'a.txt' => Empty
d.ParseMultiFileName @'x', @String(), @0 => Empty; ''; String(1 To 1)['a.txt']; Long 1
)");
}

TEST_F(Dialogs, CentreDialogAndGetDialogSizeOutsideADialog) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    auto popup = [](int x, int y, int w, int h) {
        return CreateWindowExW(0, L"STATIC", L"", WS_POPUP, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
    };
    const HWND target = popup(10, 20, 200, 100), reference = popup(100, 100, 400, 300);
    c.let("w", LONG(INT_PTR(target))), c.let("r", LONG(INT_PTR(reference)));
    c.mask(L"Long " + std::to_wstring((work.right - work.left - 200) / 2 + work.left) + L"; Long " +
               std::to_wstring((work.bottom - work.top - 100) / 2 + work.top),
           "centred on the work area");
    c.object("CDataStructures3"), c.object("CCommonDialog2");  // one without an hWnd, one with
    c.run(R"(
d.GetDialogSize w, @0, @0, @0, @0 => Empty; Long 10; Long 20; Long 200; Long 100
d.CentreDialog w, @CDataStructures3 => Empty; Object _CDataStructures3
d.GetDialogSize w, @0, @0, @0, @0 => Empty; %centred on the work area%; Long 200; Long 100
CCommonDialog2.hWnd = r => Empty
d.CentreDialog w, @CCommonDialog2 => Empty; Object _CCommonDialog2
d.GetDialogSize w, @0, @0, @0, @0 => Empty; Long 200; Long 200; Long 200; Long 100
)");
    DestroyWindow(target), DestroyWindow(reference);
}

// A person picks b.txt of the "Text" type in a real open dialog. The first OK is refused by the
// DialogOK handler, which keeps the dialog open and centres it on another window.
TEST_F(Dialogs, OpenDialogFilledAndConfirmedThroughEvents) {
    const HWND reference =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    c.let("r", LONG(INT_PTR(reference))), c.object("CCommonDialog2"), c.run("CCommonDialog2.hWnd = r => Empty");
    std::wstring during;
    HWND frame = nullptr;
    int confirmations = 0;
    sink.on = [&](const std::wstring& event, DISPPARAMS& args) {
        if (event == L"InitDialog") {
            frame = GetParent(windowOf(args.rgvarg[0]));
            c.let("h", args.rgvarg[0].lVal);
            during = c.outcome("d.flags");  // the template flag is gone: there is no template module
            PostMessageW(windowOf(args.rgvarg[0]), WM_COMMAND, 1234, 0);
        } else if (event == L"FolderChange") {
            chooseType(frame, 1);
            typeName(frame, "b.txt");
            press(frame, IDOK);
        } else if (event == L"WMCommand") {
            during += L" " + show(args.rgvarg[1]);
        } else if (event == L"DialogOK" && ++confirmations == 1) {
            during += L" " + c.outcome("d.CentreDialog h, CCommonDialog2");
            *args.rgvarg[0].pboolVal = VARIANT_TRUE;
            press(frame, IDOK);
        } else if (event == L"DialogOK") {
            during += L" " + c.outcome("d.GetDialogSize h, @0, @0, @0, @0");
        }
    };
    c.run(R"(
d.HookDialog = True => Empty
d.InitDir = S => Empty
d.Filter = 'All|*.*|Text|*.txt' => Empty
d.flags = &H40 => Empty
d.ShowOpen => Empty
d.{Filename, FileTitle, FilterIndex, Filter, flags} => '%S%\b.txt' | 'b.txt' | Long 2 | 'Text' & vbNullChar & '*.txt' | Long 524320
)");
    EXPECT_EQ(L"InitDialog FolderChange TypeChange FileChange WMCommand DialogOK DialogOK DialogClose", sink.log);
    EXPECT_EQ(L"Long 0 Long 1234 Empty Empty; Long -98; Long -46; Long 496; Long 292", during);
    DestroyWindow(reference);
}

// Every dialog cancelled, by the functions and by the Show methods, with and without CancelError:
// only the print dialog never raises it.
TEST_F(Dialogs, CancelledDialogsAndTheCancelError) {
    useTestPrinter();
    std::wstring cancelled;  // the titles of the dialogs, each cancelled
    MessageBoxAnswerer canceller(L"", [&](HWND box) { cancelled += windowTitle(box) + L"|", press(box, IDCANCEL); });
    c.run(R"(
d.Filename = 'x.txt' => Empty
d.ShowOpen => Empty
d.{Filename, FileTitle, Filter, FilterIndex, flags, APIReturn, ExtendedError} => '' | '' | '' | Long -1 | Long 0 | Long 0 | Long 0
d.ShowSave => Empty
d.FilterIndex => Long 0
d.CancelError = True => Empty
d.{ShowOpen, ShowSave, ShowColor, ShowFont} => error 32755 LARKLIB8.CCommonDialog2 'User selected cancel.' | error 32755 LARKLIB8.CCommonDialog2 'User selected cancel.' | error 32755 LARKLIB8.CCommonDialog2 'User selected cancel.' | error 32755 LARKLIB8.CCommonDialog2 'User selected cancel.'
d.flags = 0 => Empty
d.ShowPrinter => Empty
f = d.Font => Object Font
d.VBChooseColor @&H123456 => Boolean False; Long -1
d.VBChooseFont @f => Boolean False; Object Font
d.VBGetOpenFileName @'name', @'title', DlgTitle:='Pick' => Boolean False; ''; ''
d.VBGetSaveFileName @'name', DlgTitle:='Pick' => Boolean False; ''
d.VBPrintDlg @0 => Boolean False; Long 0
d.{VBPageSetupDlg, VBPageSetupDlg2} => Boolean False | Boolean False
)");
    EXPECT_EQ(L"Pick|Pick|Pick|Pick|Color|Font|Print|Color|Font|Pick|Pick|Print|Setup Page|Setup Page|", cancelled);
}

// A person chooses a colour, a font size, the printer and the page, and presses OK each time.
TEST_F(Dialogs, ColourFontPrinterAndPageChosenThroughEvents) {
    useTestPrinter();
    sink.on = [&](const std::wstring& event, DISPPARAMS& args) {
        if (event != L"InitDialog") return;
        const HWND dialog = windowOf(args.rgvarg[0]);
        const std::wstring title = windowTitle(dialog);
        if (title == L"Color")
            for (int box : {706, 707, 708})
                SetDlgItemInt(dialog, box, box == 706 ? 18 : box == 707 ? 52 : 86, FALSE);
        if (title == L"Font") {
            SendDlgItemMessageW(dialog, cmb3, CB_SELECTSTRING, WPARAM(-1), LPARAM(L"20"));
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(cmb3, CBN_SELCHANGE), LPARAM(GetDlgItem(dialog, cmb3)));
        }
        press(dialog, IDOK);
    };
    c.object("CCommonDialog2");
    c.run(R"(
d.HookDialog = True => Empty
d.Color = &HFF => Empty
d.ShowColor => Empty
d.Color => ULong 5649426
d.VBChooseColor @0, Hook:=True, EventSink:=d => Boolean True; Long 5649426
d.FontName = 'DejaVu Sans' => Empty
d.FontItalic = True => Empty
d.FontColor = &H80 => Empty
d.ShowFont => Empty
d.{FontName, FontSize, FontItalic, FontBold, FontColor, flags} => 'DejaVu Sans' | Long 20 | Boolean True | Boolean False | ULong 128 | Long 329
d.flags = 0 => Empty
d.Object = CCommonDialog2 => Empty
d.Copies = 3 => Empty
d.ShowPrinter => Empty
d.{PrinterName, PrinterDriver, PrinterOutputPort, Copies, FromPage, ToPage} => 'Lark Test Printer' | 'wineps.drv' | 'FILE:' | Long 3 | Long 1 | Long 1
# The object handed to the print dialog hears of the copies.
CCommonDialog2.Copies => Long 3
# Margins in inches (the units by default), A4, portrait, 300 dots per inch.
d.VBPageSetupDlg , , , , , @0, @0, @0, @0, @0, @0, @0, @0, @0, @0, @0, , , , True, d => Boolean True; Long 1; Long 0; Long 1; Long 0; Long 1; Long 0; Long 1; Long 0; Long 9; Long 1; Long 300
)");
    std::wistringstream events(sink.log);  // the controls' commands aside
    std::wstring event, opened;
    while (events >> event)
        if (event != L"WMCommand") opened += (opened.empty() ? L"" : L" ") + event;
    EXPECT_EQ(
        L"InitDialog DialogClose InitDialog DialogClose InitDialog DialogClose InitDialog DialogClose "
        L"InitDialog DialogClose",
        opened);
}

// The one-call functions hooked through d: a person types names and presses OK, or cancels. The
// template flag counts only with a module (the page-setup template of the platform's dialog
// library, whose margin boxes then show in the hooked file dialog); bad input gets its error or an
// empty choice, never a crash.
TEST_F(Dialogs, FunctionsTheirFlagRulesAndBadInput) {
    useTestPrinter();
    const char* typed = "\"a.txt\" \"b.txt\"";  // or nothing: Cancel
    std::wstring templates;
    sink.on = [&](const std::wstring& event, DISPPARAMS& args) {
        if (event == L"InitDialog") templates += GetDlgItem(windowOf(args.rgvarg[0]), edt4) ? L"T" : L"-";
        if (event != L"FolderChange") return;
        const HWND frame = GetParent(windowOf(args.rgvarg[0]));
        if (typed) typeName(frame, typed);
        press(frame, typed ? IDOK : IDCANCEL);
    };
    c.let("names", L"");
    c.run(R"(
d.VBGetOpenFileName @names, @'', True, True, , , , , S, 'Pick', , , , True, d => Boolean True; '%S%' & vbNullChar & 'a.txt' & vbNullChar & 'b.txt'; ''
d.Filename = names => Empty
d.ParseMultiFileName @'', @String(), @0 => Empty; '%S%'; String(1 To 2)['a.txt'|'b.txt']; Long 2
)");
    typed = "c.txt";
    c.run(R"(
d.VBGetSaveFileName2 @'', @'', Filter:='Text|*.txt|None|', FilterIndex:=2, InitDir:=S, Hook:=True, EventSink:=d => Boolean True; '%S%\c.txt'; 'c.txt'
)");
    typed = "b.txt";
    c.run(R"(
d.VBGetOpenFileName @'a much longer name than the one chosen', @'', Filter:='||', FilterIndex:=3, InitDir:=S, Hook:=True, EventSink:=d => Boolean True; '%S%\b.txt'; 'b.txt'
)");
    typed = nullptr;
    c.run("d.cdLoadLibrary @'comdlg32.dll' => Empty; 'comdlg32.dll'");
    EXPECT_NE(L"LongLong 0", c.outcome("h = d.hInstance"));
    c.run(R"(
d.VBGetOpenFileName2 @'', flags:=64, Hook:=True, hInstance:=h, TemplateName:=1546, EventSink:=d => Boolean False; ''
d.VBGetOpenFileName2 @'', flags:=64, Hook:=True, TemplateName:=1546, EventSink:=d => Boolean False; ''
d.TemplateName = 1546 => Empty
d.HookDialog = True => Empty
d.flags = 64 => Empty
d.ShowOpen => Empty
d.flags = 64 => Empty
d.hInstance = 0 => Empty
d.ShowSave => Empty
d.cdFreeLibrary => Empty
)");
    EXPECT_EQ(L"---T-T-", templates);
    std::wstring cancelled;  // the titles of the dialogs, each cancelled
    MessageBoxAnswerer canceller(L"", [&](HWND box) { cancelled += windowTitle(box) + L"|", press(box, IDCANCEL); });
    c.run(R"(
d.VBGetOpenFileName @String(261, 'x') => error 6 LARKLIB8; String(261, 'x')
d.VBGetOpenFileName @String(261, 'x'), MultiSelect:=True, DlgTitle:='Pick' => Boolean False; ''
d.VBGetSaveFileName @'', Filter:=String(32768, '|') => error 6 LARKLIB8; ''
d.VBGetOpenFileName @'', Filter:=':', DlgTitle:='Pick' => Boolean False; ''
d.VBGetOpenFileName @'', Filter:='|*.txt', DlgTitle:='Pick' => Boolean False; ''
d.VBChooseFont @d => error 13 LARKLIB8; Object _CCommonDialog2
f = d.Font => Object Font
d.VBChooseFont @f, flags:=&H7F000000 => Boolean False; Object Font
d.VBChooseFont @f, flags:=-1 => Boolean False; Object Font
d.VBPrintDlg @0, flags:=&H7F000000 => Boolean False; Long 0
d.VBPageSetupDlg flags:=&H7F000000 => Boolean False
)");
    EXPECT_EQ(L"Pick|Pick|Pick|Font|Font|Print|Setup Page|", cancelled);
}

// What a WithEvents client or a script host asks of the object, and the events its public
// methods raise, with their by-reference arguments, in every advised sink.
TEST_F(Dialogs, ConnectionPointClassInfoAndRaisedEvents) {
    const auto container = dialog.query<IConnectionPointContainer>();
    ComPtr<IConnectionPoint> point, listed, none;
    ComPtr<IEnumConnectionPoints> points;
    ULONG n = 0;
    ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID___CCommonDialog2, point.put()));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(IID_IDispatch, none.put()));
    ASSERT_EQ(S_OK, container->EnumConnectionPoints(points.put()));
    EXPECT_EQ(S_OK, points->Next(1, listed.put(), &n));
    EXPECT_EQ(point.get(), listed.get());
    EXPECT_EQ(S_FALSE, points->Next(1, none.put(), &n));

    DWORD cookie = 0;
    Sink second;
    EXPECT_EQ(CONNECT_E_CANNOTCONNECT, point->Advise(c.object("CDataStructures3").get(), &cookie));
    ASSERT_EQ(S_OK, point->Advise(&second, &cookie));
    ComPtr<IEnumConnections> connections;
    CONNECTDATA advised[3]{};
    ASSERT_EQ(S_OK, point->EnumConnections(connections.put()));
    EXPECT_EQ(S_FALSE, connections->Next(3, advised, &n));
    EXPECT_EQ(2u, n);
    for (ULONG i = 0; i < n; ++i)
        advised[i].pUnk->Release();

    sink.on = [](const std::wstring& event, DISPPARAMS& args) {
        if (event == L"DialogOK") *args.rgvarg[0].pboolVal = VARIANT_TRUE;
        if (event == L"WMCommand") *args.rgvarg[1].plVal = 99;
    };
    c.run(R"(
d.InitDialog 5 => Long 0
d.ConfirmOK => Boolean False
d.WMCommand 1, @2, @3 => Empty; Long 99; Long 3
d.DialogClose => Empty
)");
    EXPECT_EQ(S_OK, point->Unadvise(cookie));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(cookie));
    c.run("d.ConfirmOK => Boolean False");
    EXPECT_EQ(L"InitDialog DialogOK WMCommand DialogClose DialogOK", sink.log);
    EXPECT_EQ(L"InitDialog DialogOK WMCommand DialogClose", second.log);

    GUID source{};
    ComPtr<ITypeInfo> coclass;
    unique_bstr name;
    EXPECT_EQ(S_OK, dialog.query<IProvideClassInfo2>()->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source));
    EXPECT_EQ(DIID___CCommonDialog2, source);
    ASSERT_EQ(S_OK, dialog.query<IProvideClassInfo>()->GetClassInfo(coclass.put()));
    coclass->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
    EXPECT_EQ(L"CCommonDialog2", str(name.get()));
}

// A person in front of every dialog of this process, with one answer for each: a file name to
// type or a folder to pick ("" takes what the dialog shows), or "cancel". A message box (a name
// refused, a file to replace) is confirmed, and a dialog still there after its answer is
// cancelled: a wrong answer fails a case, never hangs it. The titles seen are noted.
struct Person {
    explicit Person(std::vector<std::string> answers) : answers(std::move(answers)) {}
    std::vector<std::string> answers;
    size_t next = 0;
    std::wstring titles;
    MessageBoxAnswerer watcher{L"", [this](HWND window) { answer(window); }};

    void answer(HWND window) {
        titles += windowTitle(window) + L"|";
        if (!GetDlgItem(window, IDCANCEL)) return press(window, GetDlgItem(window, IDYES) ? IDYES : IDOK);
        const std::string choice = next < answers.size() ? answers[next++] : "cancel";
        Sleep(200);  // a dialog still setting itself up may take a click half-way through
        const bool cancel = choice == "cancel", browser = FindWindowExW(window, nullptr, L"SysTreeView32", nullptr);
        if (browser && !cancel && !choice.empty())
            SendMessageA(window, BFFM_SETSELECTIONA, TRUE, LPARAM(choice.c_str()));
        if (!browser && !cancel && !choice.empty()) typeName(window, choice.c_str());
        press(window, cancel ? IDCANCEL : IDOK);
        for (int i = 0; i < 100 && IsWindow(window); ++i, Sleep(20))
            for (HWND box = nullptr; (box = FindWindowExW(nullptr, box, L"#32770", nullptr));)
                if (GetWindow(box, GW_OWNER) == window && IsWindowVisible(box)) answer(box);
        if (IsWindow(window)) press(window, IDCANCEL);
    }
};

// Two folder browsers used in turn, each with its caption and initial folder, and the utilities'
// plain one: a folder picked, one outside the file system, one that is not there, a cancel.
TEST_F(Dialogs, FolderBrowsersPreselectCaptionAndCancel) {
    box.make({L"one\\", L"two\\"});
    const std::wstring path = box.path(L"one");
    const std::string one(path.begin(), path.end()), computer = "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
    Person person({"", "", "", one, one, one, computer, computer, "cancel", "cancel"});
    c.let("b1", createByProgId<IDispatch>(L"LARKLIB8.CBrowseForFolder2").get());
    c.let("b2", createByProgId<IDispatch>(L"LARKLIB8.CBrowseForFolder2").get());
    c.run(R"(
b1.BrowseForFolder 0, 'Where?', S & '\one', TitleCaption:='First' => '%S%\one'
b2.BrowseForFolder 0, 'Where?', S & '\two', 81, @'Second' => '%S%\two'; 'Second'
b1.BrowseForFolder 0, 'Where?', S & '\two' => '%S%\two'
b2.BrowseForFolder 0, 'Where?', '' => '%S%\one'
b2.BrowseForFolder 0, 'Where?', 'C:\no such folder' => '%S%\one'
CServicesFileUtilities2.BrowseForFolder 0, 'Where?' => '%S%\one'
b1.BrowseForFolder 0, 'Where?', '', 64 => ''
CServicesFileUtilities2.BrowseForFolder 0, 'Where?', 64 => String(260, ' ')
b1.BrowseForFolder 0, 'Where?', S & '\one' => ''
CServicesFileUtilities2.BrowseForFolder 0, 'Where?' => ''
)");
    EXPECT_EQ(
        L"First|Second|Browse for Folder|Browse for Folder|Browse for Folder|Browse for Folder|"
        L"Browse for Folder|Browse for Folder|Browse for Folder|Browse for Folder|",
        person.titles);
    // The hidden window's messages pass through the thunk to the window's own procedure.
    char text[64]{};
    EXPECT_EQ(26, GetWindowTextA(FindWindowA("Static", "Emberfox.CBrowseForFolder2"), text, 64));
    c.let("b1", static_cast<IDispatch*>(nullptr)), c.let("b2", static_cast<IDispatch*>(nullptr));
    EXPECT_FALSE(FindWindowA("Static", "Emberfox.CBrowseForFolder2"));
}

// The utilities' file dialogs, each shown by a dialog object of its own: the default extension
// with and without its dot, a file to replace, a dialog without a folder that starts where this
// object's last one ended (not where another dialog since did), three files chosen at once and two
// in a drive root (where the folder's separator is doubled), a missing file, cancels, bad input.
TEST_F(Dialogs, UtilitiesFileDialogsStartWhereTheLastEnded) {
    box.make({L"c.txt", L"one\\x.txt", L"one\\y.txt", L"two\\z.txt"});
    writeBytes(L"C:\\lark root 1.txt", "x"), writeBytes(L"C:\\lark root 2.txt", "x");
    EXPECT_EQ(c.outcome("CServicesSpecialFolders2.DocumentsPath"),
              c.outcome("CServicesFileUtilities2.DefaultSavePath"));
    Person person({"", "", "", "x.txt", "z.txt", "y.txt", R"("a.txt" "b.txt" "c.txt")", "a.txt",
                   R"("lark root 1.txt" "lark root 2.txt")", "missing.txt", "cancel", "cancel", "cancel"});
    c.run(R"(
CServicesFileUtilities2.SaveAsDialog @'All|*.*', @1, S, @'draft', '.txt', @'Save it' => '%S%\draft.txt'; 'All|*.*'; Long 1; 'draft'; 'Save it'
CServicesFileUtilities2.SaveAsDialog '', 1, S, 'notes', 'txt', 'Save it', 0 => '%S%\notes.txt'
CServicesFileUtilities2.SaveAsDialog '', 1, S, 'c', 'txt', 'Save it' => '%S%\c.txt'
CServicesFileUtilities2.DefaultSavePath => '%S%\'
CServicesFileUtilities2.OpenDialog '', 1, S & '\one', '', 'Pick one' => '%S%\one\x.txt'
d.InitDir = S & '\two' => Empty
d.ShowOpen => Empty
CServicesFileUtilities2.OpenDialog '', 1, '', '', 'Pick one' => '%S%\one\y.txt'
CServicesFileUtilities2.OpenDialogWithMultiSelect '', 1, S, '', 'Pick' => String(1 To 3)['%S%\a.txt'|'%S%\b.txt'|'%S%\c.txt']
CServicesFileUtilities2.OpenDialogWithMultiSelect '', 1, S, '', 'Pick' => String(1 To 1)['%S%\a.txt']
CServicesFileUtilities2.OpenDialogWithMultiSelect '', 1, 'C:\', '', 'Pick' => String(1 To 2)['C:\\lark root 1.txt'|'C:\\lark root 2.txt']
CServicesFileUtilities2.DefaultSavePath => 'C:\\'
CServicesFileUtilities2.OpenDialog '', 1, S, '', 'Pick one' => ''
CServicesFileUtilities2.SaveAsDialog '', 1, S, 'e', '', 'Save it' => ''
CServicesFileUtilities2.OpenDialog '', 1, S, '', 'Pick one' => ''
CServicesFileUtilities2.OpenDialogWithMultiSelect '', 1, S, '', 'Pick' => String()
CServicesFileUtilities2.SaveAsDialog '', 1, S, Null, '', 'Save it' => ''
CServicesFileUtilities2.OpenDialog String(32768, '|'), 1, S, '', 'Pick one' => ''
CServicesFileUtilities2.DefaultSavePath = 'C:\elsewhere' => Empty
CServicesFileUtilities2.DefaultSavePath => 'C:\elsewhere'
)");
    EXPECT_EQ(L"Save it|Save it|Save it|Save it|Pick one|Pick|Pick one|Pick|Pick|Pick|Pick one||Save it|Pick one|Pick|",
              person.titles);
    DeleteFileW(L"C:\\lark root 1.txt"), DeleteFileW(L"C:\\lark root 2.txt");
}

}  // namespace
}  // namespace lark::test
