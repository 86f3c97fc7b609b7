// HTML Help through CHTMLHelp with the platform's own engine (hhctrl.ocx) on the virtual display:
// the help file the build compiled with chmcmd, opened by every display command and closed; the
// registration of its folder; the versions of the engine and the browser, registered for the test
// at fixture libraries with chosen version resources; every message box read and pressed.
#include "support.hpp"

#include <mutex>

namespace lark::test {
namespace {

const std::wstring kFixtures = L"C:\\larklib\\fixtures\\";
const wchar_t kRegistrationKey[] = L"Software\\Microsoft\\Windows\\HTML Help";
const wchar_t kEngineKey[] = L"CLSID\\{4662DAB0-D393-11D0-9A56-00C04FB68B66}";
const wchar_t kBrowserKey[] = L"CLSID\\{0A89A860-D7B1-11CE-8350-444553540000}";
const std::wstring kCheckPath = L"\n\nPlease make sure the correct path and file name have been specified.";

// Calls visit for every child window of parent.
template <class Visit>
void eachChild(HWND parent, Visit visit) {
    EnumChildWindows(
        parent, [](HWND child, LPARAM v) { return (*reinterpret_cast<Visit*>(v))(child), TRUE; },
        reinterpret_cast<LPARAM>(&visit));
}

// What a person sees of a help window: its title and the pane its navigation shows (the contents
// are a tree, the index a list, the search an edit box).
std::wstring seen(HWND window) {
    if (!IsWindow(window)) return L"no window";
    bool tree = false, edit = false, list = false;
    eachChild(window, [&](HWND child) {
        wchar_t kind[32]{};
        GetClassNameW(child, kind, 32);
        const std::wstring k = kind;
        const bool visible = IsWindowVisible(child);
        tree |= visible && k == L"SysTreeView32", edit |= visible && k == L"Edit",
            list |= visible && k == L"SysListView32";
    });
    const wchar_t* pane = tree ? L"contents" : edit ? L"search" : list ? L"index" : L"nothing";
    return windowTitle(window) + L", " + pane;
}

// The class's message boxes as they come, each pressed OK: the icon (x stop, ! warning,
// i information) and the text, the sandbox shown as %S%.
class Boxes {
public:
    explicit Boxes(std::wstring sandbox) : sandbox_(std::move(sandbox)) {}
    // The boxes since the last call, joined by " | ".
    std::wstring take() {
        std::lock_guard lock(mutex_);
        return std::exchange(texts_, L"");
    }

private:
    void answer(HWND box) {
        HICON icon = nullptr;
        eachChild(box, [&](HWND child) {
            if (HICON shown = HICON(SendMessageW(child, STM_GETICON, 0, 0))) icon = shown;
        });
        std::wstring text = (icon == LoadIconW(nullptr, IDI_HAND)          ? L"x "
                             : icon == LoadIconW(nullptr, IDI_EXCLAMATION) ? L"! "
                             : icon == LoadIconW(nullptr, IDI_ASTERISK)    ? L"i "
                                                                           : L"? ") +
                            messageText(box);
        for (size_t at; (at = text.find(sandbox_)) != std::wstring::npos;)
            text.replace(at, sandbox_.size(), L"%S%");
        std::lock_guard lock(mutex_);
        texts_ += (texts_.empty() ? L"" : L" | ") + text;
        press(box, IDOK);
    }

    std::wstring sandbox_, texts_;
    std::mutex mutex_;
    MessageBoxAnswerer answerer_{L"HTML Help Class", [this](HWND box) { answer(box); }};
};

// The registrations the tests make, none of which the prefix has, gone before and after.
void removeRegistrations() {
    for (const wchar_t* key : {kEngineKey, kBrowserKey})
        RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
    for (const wchar_t* name : {L"lark.chm", L"notes.txt"})
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRegistrationKey, name);
}

// A sandbox S holding the built help file, a text file and a help file that is none; the help
// object h on S\lark.chm; a window W of the test's own.
class Help : public testing::Test {
protected:
    Help() {
        removeRegistrations();
        box.file(L"lark.chm", bytesOf(kFixtures + L"lark.chm"));
        box.file(L"notes.txt", "notes"), box.file(L"broken.chm", "not a help file");
        c.let("S", box.root()), c.mask(box.root(), "S"), c.let("W", com::windowLong(own));
        c.let("h", createByProgId<IDispatch>(L"LARKLIB8.CHTMLHelp").get());
        c.run("h.CHMFile = S & '\\lark.chm' => Empty");
    }
    ~Help() override {
        c.run("h.HHClose => Empty");
        DestroyWindow(own);
        removeRegistrations();
    }
    // Runs each line and compares the message boxes it brought up.
    void steps(std::initializer_list<std::pair<std::string_view, std::wstring_view>> lines) {
        for (auto [line, expected] : lines) {
            c.run(line);
            EXPECT_EQ(expected, boxes.take()) << line;
        }
    }
    HWND handle() {
        const std::wstring outcome = c.outcome("h.HHWndHandle");
        return com::windowHandle(outcome.starts_with(L"Long ") ? std::stol(outcome.substr(5)) : 0);
    }

    Sandbox box;
    Cases c;
    Boxes boxes{box.root()};
    HWND own = CreateWindowExW(0, L"STATIC", L"own", WS_OVERLAPPEDWINDOW, 0, 0, 99, 99, nullptr, nullptr, nullptr, 0);
};

// Each display command on the built file: the engine's window at the pane the command asks for,
// and the handle the object keeps. Wine's engine does not handle the keyword and link lookups:
// it answers them with no window.
TEST_F(Help, DisplayCommandsOpenTheBuiltFile) {
    c.run("h.HHTopicURL = 'second.htm' => Empty"), c.run("h.HHKeyword = 'second' => Empty");
    c.run("h.HHALink = 'second' => Empty");
    // clang-format off
    const struct { const char* call; const wchar_t* seen; const wchar_t* kept; } displays[] = {
        {"h.HHDisplayTopicURL", L"Lark Help, contents", L"its window"}, {"h.HHDisplayIndex", L"Lark Help, index", L"the last one"},
        {"h.HHDisplayContents", L"Lark Help, contents", L"its window"}, {"h.HHDisplaySearch", L"Lark Help, search", L"its window"},
        {"h.HHDisplayKeyword", L"Lark Help, contents", L"none"}, {"h.HHDisplayALink", L"no window", L"none"}};
    // clang-format on
    for (const auto& d : displays) {
        const HWND before = handle();
        c.run("h.HHClose => Empty");
        EXPECT_FALSE(FindWindowW(L"HH Parent", nullptr));
        c.run(d.call + std::string(" => Empty"));
        const HWND window = FindWindowW(L"HH Parent", nullptr), after = handle();
        EXPECT_EQ(d.seen, seen(window)) << d.call;
        EXPECT_EQ(d.kept, !after            ? L"none"
                          : after == window ? L"its window"
                          : after == before ? L"the last one"
                                            : L"?")
            << d.call;
    }
    boxes.take();  // the handle asked for while there was none
    c.run("h.HHClose => Empty");

    // A context number of the file's map opens it; one the map lacks does not. (Wine's engine keeps
    // a file open for good once a second display reaches a window already open on it, and the
    // sandbox could not go: every display here starts with the windows closed.)
    steps({{"h.HHTopicID = 1002 => Empty", L""}, {"h.HHDisplayTopicID => Empty", L""}});
    EXPECT_EQ(L"Lark Help, contents", seen(handle()));
    steps({{"h.HHClose => Empty", L""},
           {"h.HHTopicID = 1003 => Empty", L""},
           {"h.HHDisplayTopicID => Empty", L""},
           {"h.HHWndHandle => Long 0", L"! No HTML Help window handle to retrieve."}});

    // An owner when the window is to stay above the caller's. (Wine's engine opens every window
    // type as the file's own window. The target's form is checked on the host.)
    c.run("h.HHClose => Empty"), c.run("h.HHWindow = 'side' => Empty"), c.run("h.HHShowOnTop = True => Empty");
    c.run("h.HHDisplayContents W => Empty");
    EXPECT_EQ(L"Lark Help, contents", seen(handle()));
    EXPECT_EQ(own, GetWindow(handle(), GW_OWNER));
}

// Files that are missing, not help files or empty, and a missing caller's window: the stated
// warnings, and the engine only asked when the file is there.
TEST_F(Help, BadInputGetsItsWarnings) {
    const std::wstring missing = L"! The file %S%\\gone.chm does not exist." + kCheckPath,
                       noForm =
                           L" method was called without a form being specified, while HHShowOnTop was set to True.";
    steps({
        {"h.HHWndHandle => Long 0", L"! No HTML Help window handle to retrieve."},
        {"h.{HHSetHelpFile 1, HHSetHelpFile 2, HHSetHelpFile 3} => 'C:\\larklib\\Library.chm' | 'Library.txt' | ''",
         L""},
        {"h.CHMFile = S & '\\gone.chm' => Empty", L""},
        {"h.{HHDisplayContents, HHDisplayKeyword, HHDisplayPopup W} => Empty | Empty | Empty",
         missing + L" | " + missing},
        {"h.EnsureFileExists @S & '\\gone.chm' => Boolean False; '%S%\\gone.chm'", missing},
        {"h.CHMFile = S & '\\notes.txt' => Empty", L""},
        {"h.HHDisplayContents => Empty", L"! %S%\\notes.txt is not a valid HTML Help file."},
        {"h.CHMFile = S & '\\broken.chm' => Empty", L""},
        {"h.HHDisplayIndex => Empty", L""},
        {"h.CHMFile = '' => Empty", L""},
        {"h.HHDisplaySearch => Empty",
         L"!  is not a valid HTML Help file. | ! The file C:\\larklib\\ does not exist." + kCheckPath},
        {"h.CHMFile = S & '\\lark.chm' => Empty", L""},
        {"h.HHShowOnTop = True => Empty", L""},
        {"h.HHDisplayContents => Empty", L"! The HHDisplayContents" + noForm},
        {"h.HHDisplayKeyword 0 => Empty", L"! The HHDisplayKeyword" + noForm},
    });
    EXPECT_FALSE(FindWindowW(L"HH Parent", nullptr));

    // The Jump-to-URL item leaves a window's system menu.
    const HMENU menu = GetSystemMenu(own, FALSE);
    AppendMenuW(menu, MF_STRING, 61439, L"Jump to URL...");
    c.run("h.HHDeleteJumpURLSysMenu @W => Empty; Long " + std::to_string(com::windowLong(own)));
    EXPECT_EQ(-1, GetMenuState(menu, 61439, MF_BYCOMMAND));
    c.run("h.HHDeleteJumpURLSysMenu @0 => Empty; Long 0");
}

// The registered value: type, length in units and data.
std::wstring registered(const wchar_t* name) {
    wchar_t data[300]{};
    DWORD type = 0, size = sizeof data;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kRegistrationKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size))
        return L"none";
    return std::to_wstring(type) + L" " + std::to_wstring(size / 2) + L" " + data;
}

// A folder registered under its file's bare name, found by it, and unregistered; the messages
// of each rule. The library's own folder serves bare names that are not registered.
TEST_F(Help, RegistrationAndBareNames) {
    const std::wstring spare = L"C:\\larklib\\spare.chm", notHelp = L"! notes.txt is not a valid HTML Help file.";
    writeBytes(spare, "x");
    steps({
        {"h.HHCheckRegistry @'' => Boolean False; ''", L""},
        {"h.HHRegister @'' => Empty; ''", L""},
        {"h.HHRegister @S & '\\lark.chm' => Empty; 'lark.chm'", L""},
        {"h.{HHRegFileName, HHRegFilePath, HHRegFileExists} => '' | '' | Boolean False", L""},
        {"h.HHCheckRegistry @'LARK.chm' => Boolean False; 'LARK.chm'", L""},
        {"h.{HHRegFileName, HHRegFilePath, HHRegFileExists} => 'LARK.chm' | '%S%' | Boolean True", L""},
        {"h.HHRegister @S & '\\lark.chm' => Empty; '%S%\\lark.chm'",
         L"i The file %S%\\lark.chm is already registered.  HHRegister will not be run as no action need be taken."},
        {"h.CHMFile = 'lark.chm' => Empty", L""},
        {"h.HHDisplayContents => Empty", L""},
        {"h.EnsureFileExists @'lark.chm' => Boolean True; 'lark.chm'", L""},
        {"h.HHRegister @'spare.chm' => Empty; 'spare.chm'",
         L"! Cannot register spare.chm without having a supplied path.\""},
        {"h.HHRegister @S & '\\notes.txt' => Empty; 'notes.txt'",
         L"! %S%\\notes.txt is not a valid HTML Help file. | ! %S%\\notes.txt is not a valid HTML Help file. | "
         L"! %S%\\notes.txt is not a valid HTML Help file."},
        {"h.HHUnRegister @'notes.txt' => Empty; 'notes.txt'", notHelp + L" | " + notHelp + L" | " + notHelp},
    });
    // The class finds the registered file, but Wine's engine looks for bare names in the Windows
    // help folder only, so it opens nothing.
    EXPECT_EQ(L"no window", seen(FindWindowW(L"HH Parent", nullptr)));
    EXPECT_EQ(L"1 " + std::to_wstring(box.root().size() + 2) + L" " + box.root() + L"\\", registered(L"lark.chm"));
    EXPECT_EQ(L"none", registered(L"notes.txt"));
    DeleteFileW(spare.c_str());
    steps({
        {"h.HHUnRegister @S & '\\lark.chm' => Empty; 'lark.chm'", L""},
        {"h.{HHRegFileName, HHRegFilePath, HHRegFileExists} => '' | '' | Boolean False", L""},
        {"h.HHUnRegister @'lark.chm' => Empty; 'lark.chm'",
         L"i The file lark.chm is not registered.  HHUnRegister will not be run as no action need be taken."},
        {"h.EnsureFileExists @'lark.chm' => Boolean False; 'lark.chm'",
         L"! The file C:\\larklib\\lark.chm does not exist." + kCheckPath},
        {"h.HHRegister @'spare.chm' => Empty; 'spare.chm'",
         L"! The file C:\\larklib\\spare.chm does not exist." + kCheckPath},
    });
    EXPECT_EQ(L"none", registered(L"lark.chm"));

    // A registered file that went missing is reported where it was registered.
    c.run("h.HHRegister @S & '\\lark.chm' => Empty; 'lark.chm'");
    DeleteFileW(box.path(L"lark.chm").c_str());
    steps({{"h.HHCheckRegistry @'lark.chm' => Boolean False; 'lark.chm'",
            L"! The file %S%\\lark.chm does not exist." + kCheckPath},
           {"h.{HHRegFileName, HHRegFileExists} => 'lark.chm' | Boolean False", L""}});
}

// Points a component's registration at a file, as its installer would.
void registerComponent(const wchar_t* key, const wchar_t* server, const std::wstring& path) {
    const std::wstring name = std::wstring(key) + L"\\" + server;
    EXPECT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CLASSES_ROOT, name.c_str(), nullptr, REG_SZ, path.c_str(),
                                             DWORD((path.size() + 1) * 2)));
}

// Neither component is registered in the prefix: the test registers the version fixtures in their
// place, once through an environment variable and once through a short name.
TEST_F(Help, ComponentVersionsAndMinimumConfiguration) {
    const std::wstring notRegistered =
        L"x Hhctrl.ocx is not registered.  Please install HTML Help. | "
        L"x Shdocvw.dll is not registered.  Please install Internet Explorer.";
    steps({
        {"h.HHInstalled => Boolean True", L""},
        {"h.{HHVersion, IEVersion} => '' | ''", notRegistered},
        {"h.{HHFriendlyName, IEFriendlyName} => 'unknown' | 'unknown'", notRegistered},
        {"h.HHVerifyMinConfig @16, @256 => Boolean False; Long 16; Long 256", notRegistered},
    });
    const std::wstring browser = box.path(L"Lark Browser Folder\\ie.dll");
    box.make({L"Lark Browser Folder\\"});
    CopyFileW((kFixtures + L"version_ie501.dll").c_str(), browser.c_str(), FALSE);
    wchar_t shortName[MAX_PATH]{};
    GetShortPathNameW(browser.c_str(), shortName, MAX_PATH);
    ASSERT_NE(std::wstring(shortName).find(L'~'), std::wstring::npos) << shortName;
    registerComponent(kEngineKey, L"InprocServer32", L"%SystemDrive%\\larklib\\fixtures\\version_hh13.dll");
    registerComponent(kBrowserKey, L"InProcServer32", shortName);
    steps({
        {"h.{HHVersion, HHFriendlyName, IEVersion, IEFriendlyName} => '4.74.8702.00' | '1.3' | '5.00.2919.6307' | "
         "'5.01'",
         L""},
        {"h.HHVerifyMinConfig @16, @256 => Boolean True; Long 16; Long 256", L""},
        {"h.HHVerifyMinConfig @26, @275 => Boolean False; Long 26; Long 275", L""},
        {"h.HHVerifyMinConfig @15, @256 => Boolean False; Long 15; Long 256", L""},
        {"h.{HHFriendlyName, IEFriendlyName} => 'unknown' | '5.01'", L""},
        {"h.HHVerifyMinConfig @16, @276 => Boolean False; Long 16; Long 276", L""},
        {"h.{HHFriendlyName, IEFriendlyName} => '1.3' | 'unknown'", L""},
    });
    registerComponent(kEngineKey, L"InprocServer32", kFixtures + L"version_full.dll");
    registerComponent(kBrowserKey, L"InProcServer32", kFixtures + L"version_none.dll");
    steps({{"h.{HHVersion, HHFriendlyName, IEVersion, IEFriendlyName} => '1.02.03.04' | 'unknown' | '' | 'unknown'",
            L""}});
    registerComponent(kEngineKey, L"InprocServer32", kFixtures + L"gone.dll");
    registerComponent(kBrowserKey, L"InProcServer32", L"\"" + kFixtures + L"version_hh13.dll\"");
    steps(
        {{"h.{HHVersion, IEVersion} => '1.02.03.04' | ''",
          L"x Hhctrl.ocx is not in its registered location.  Please reinstall HTML Help. | x Internet Explorer is not "
          L"in its registered location.  Please reinstall Internet Explorer."}});
}

// Wine's engine shows no pop-ups (it answers HH_DISPLAY_TEXT_POPUP with nothing), so what is seen
// is the class's own part: its checks and messages, and no pop-up without something to show.
TEST_F(Help, PopupsAndWhatsThis) {
    c.run(R"(
h.HHPopupFile = 'popups.doc' => Empty
h.HHPopupID = 1 => Empty
h.HHPopupCustomColors = True => Empty
h.HHPopupCustomColors => Boolean True
h.{HHDisplayPopup, HHInvokeWhatsThisHelp} W => Empty | Empty
)");
    EXPECT_EQ(L"", boxes.take()) << "no pop-up of no type";
    c.run("h.HHPopupType = 1 => Empty"), c.run("h.CHMFile = S & '\\notes.txt' => Empty");
    c.run("h.HHDisplayPopup W => Empty");
    EXPECT_EQ(
        L"! %S%\\notes.txt is not a valid HTML Help file. | "
        L"! The file specified as the text popup source, 'popups.doc', is not a valid popup file.",
        boxes.take());
    c.run(R"(
h.HHPopupType = 4 => Empty
h.HHDisplayPopup W => Empty
h.HHPopupType = 2 => Empty
h.HHDisplayPopup W => Empty
)");
    EXPECT_EQ(L"", boxes.take());
}

}  // namespace
}  // namespace lark::test
