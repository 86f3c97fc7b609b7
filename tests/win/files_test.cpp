// The file classes in the prefix's real file system: deletes that never leave their sandbox, copies
// and moves to free names, file facts, temporary files that go with their objects, special folders.
#include "support.hpp"

#include <shlobj.h>

#include <filesystem>

namespace lark::test {
namespace {

// A sandbox S, and cases that know it and show it as %S%.
class Files : public testing::Test {
protected:
    Files() { c.let("S", box.root()), c.mask(box.root(), "S"); }
    void make(const std::wstring& listing) {  // entries as listing() shows them
        for (size_t at = 0, end = 0; at < listing.size(); at = end + 1)
            box.make({listing.substr(at, (end = std::min(listing.find(L'|', at), listing.size())) - at)});
    }
    Sandbox box;
    Cases c;
};

com::unique_hfile hold(const std::wstring& path) {  // shared with nobody
    return com::unique_hfile(CreateFileW(path.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

void touch(const std::wstring& path) {  // dated 4 December 2026 15:30:12.789, local time
    SYSTEMTIME local{2026, 12, 5, 4, 15, 30, 12, 789};
    FILETIME time{}, utc{};
    SystemTimeToFileTime(&local, &time), LocalFileTimeToFileTime(&time, &utc);
    EXPECT_TRUE(SetFileTime(hold(path).get(), nullptr, nullptr, &utc));
}

TEST_F(Files, NamesReachTheirRules) {
    wchar_t file[MAX_PATH]{};
    box.make({L"long folder name\\a rather long file name.text"});
    GetShortPathNameW(box.path(L"long folder name\\a rather long file name.text").c_str(), file, MAX_PATH);
    c.let("F", file), c.let("dc", LONG(INT_PTR(GetDC(nullptr))));
    c.run(R"(
CServicesFileNames2.FileNameFromPath 'C:\a\b.txt'                         => 'b.txt'
CServicesFileNames2.PathFromFullPath 'C:\a\b.txt'                         => 'C:\a\'
CServicesFileNames2.GetParentFolder '\'                                   => ''
CServicesFileNames2.GetParentFolderName 'C:\a\b\'                         => 'C:\a\'
CServicesFileNames2.GetBaseName 'C:\a\b.tar.gz'                           => 'b.tar'
CServicesFileNames2.ConcatenatePath 'C:\a', '/b'                          => 'C:\a\b\'
CServicesFileNames2.FixURIPath 'C:/My%20Files/a'                          => 'C:\My Files\a'
# %XX maps the byte through the prefix's code page, 1252, where 80 is the euro sign.
CServicesFileNames2.FixURISpecialCharacters 'a%2541x%80'                  => 'aAx' & ChrW(8364)
CServicesFileNames2.DriveExists 'c:\'                                     => Boolean True
CServicesFileNames2.DriveExists 'C:\Windows'                              => Boolean False
CServicesFileNames2.ValidateFileName @'  a:b  ', False                    => Boolean False; '  a:b  '
CServicesFileNames2.ValidateFileName @' <bad>|name ', True                => Boolean True; '_bad__name'
CServicesFileNames2.FixFileProtocol @'FILE:///C:/My%20Files/a.txt'        => Empty; 'C:\My Files\a.txt'
CServicesFileNames2.AppendPathSeparator @'C:\a'                           => Empty; 'C:\a\'
CServicesFileNames2.MakeLongPath @F                                       => Empty; '%S%\long folder name\a rather long file name.text'
CServicesFileNames2.CompactedPathSh2 @'C:\' & ChrW(20013) & '\x.txt', 100000, dc => Empty; 'C:\' & ChrW(20013) & '\x.txt'
CServicesFileNames2.CompactedPathSh 'C:\' & ChrW(20013) & '\x.txt', 100000, dc   => 'C:\?\x.txt'
CServicesFileNames2.CompactedPathSh 'ab' & vbNullChar & 'cd', 100000, dc          => 'ab'
CServicesFileNames2.{CompactedPathSh, CompactedPathSh2} '', 1, 1             => error 5 CServicesFileNames2.CompactedPathSh | error 5 CServicesFileNames2.CompactedPathSh2
)");
}

TEST_F(Files, SpecialFoldersAndTheirCaches) {
    const std::wstring temp = temporaryFolder();
    c.let("Temp", temp), c.mask(temp, "Temp");
    const int ids[] = {CSIDL_WINDOWS, CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY, CSIDL_FAVORITES};
    const char* labels[] = {"Windows", "Docs", "Desk", "Fav"};
    for (int i = 0; i < 4; ++i) {
        wchar_t path[MAX_PATH]{};
        SHGetFolderPathW(nullptr, ids[i], nullptr, 0, path);
        c.let(labels[i], path + std::wstring(L"\\")), c.mask(path + std::wstring(L"\\"), labels[i]);
    }
    c.run(R"(
CServicesSpecialFolders2.{DesktopPath, DocumentsPath, FavoritesPath, TemporaryPath, WindowsPath} => '%Desk%' | '%Docs%' | '%Fav%' | '%Temp%' | '%Windows%'
CServicesSpecialFolders2.CSIDLFromDisplayName Docs            => Long 5
CServicesFileNames2.BeautifyPath Fav & 'sub\x.txt'            => 'Favorites\sub\x.txt'
CServicesFileNames2.BeautifyPath Docs                         => 'My Documents'
CServicesFileNames2.BeautifyPath Temp & 't'                   => 'Temporary\t'
)");
    // The temporary folder moves: slots filled before keep the old one, later ones see the move.
    SetEnvironmentVariableW(L"TMP", L"C:\\larklib\\");
    c.let("New", createByProgId<IDispatch>(L"LARKLIB8.CServicesSpecialFolders2").get());
    c.run(R"(
New.TemporaryPath                                             => 'C:\larklib\'
CServicesSpecialFolders2.TemporaryPath                        => '%Temp%'
CServicesFileNames2.BeautifyPath Temp & 't'                   => 'Temporary\t'
CServicesFileNames2.UnBeautifyPath 'Temporary\t'              => 'C:\larklib\t'
)");
    SetEnvironmentVariableW(L"TMP", temp.c_str());  // where it was
}

TEST_F(Files, CopyMoveDeleteAndFacts) {
    make(
        LR"(ro.txt|rf.txt|held.txt|c\a.txt|c\sub\s.txt|empty\|full\f.txt|tree\a\f.txt|r\gone.txt|p2\s.txt\x.txt|)"
        LR"(p2\s.txt\in\z.txt|p2\o\o.txt|p2\.h.txt\h.txt|p2\.p.txt|p2\ro.txt|p4\b.log|p4\o\o.txt|)"
        LR"(m\|My Folder\b c.txt|app.log|x.log|x_04Dec2026.log|a.txt)");
    box.file(L"source.txt", "new"), box.file(L"target.txt", "old"), box.file(L"over.txt", "old");
    box.file(L"app.ini", "[First]\r\nkey=value one\r\n[Second]\r\nlong=" + std::string(3000, 'v') + "\r\n");
    for (const wchar_t* name : {L"ro.txt", L"rf.txt", L"p2\\ro.txt"})
        SetFileAttributesW(box.path(name).c_str(), FILE_ATTRIBUTE_READONLY);
    for (const wchar_t* name : {L"app.log", L"x.log", L"x_04Dec2026.log", L"a.txt"})
        touch(box.path(name));
    com::unique_hfile file = hold(box.path(L"held.txt"));
    c.run(R"(
CServicesFileIO2.DeleteFile S & '\ro.txt'                                 => Empty
CServicesFileIO2.DeleteFile S & '\rf.txt', True                           => Empty
CServicesFileIO2.DeleteDirectoryContents S & '\held.*'                    => Boolean False
CServicesFileIO2.DeleteDirectoryContents S & '\c\*.*'                     => Boolean True
CServicesFileIO2.DeleteDirectory S & '\empty'                             => Boolean True
CServicesFileIO2.DeleteDirectory S & '\full', False                       => Boolean False
CServicesFileIO2.DeleteDirectory S & '\full', True                        => error 75 LARKLIB8
CServicesFileIO2.DeleteDirectoryDeep S & '\tree\'                         => Boolean True
CServicesFileIO2.DeleteFileToRecycle S & '\r\gone.txt'                    => Empty
CServicesFileIO2.DeleteDeep S & '\p2\', '*.txt', True, False              => Empty
CServicesFileIO2.DeleteDeep S & '\p4'                                     => Empty
CServicesFileIO2.CopyFile S & '\source.txt', S & '\sub\fresh.txt'         => Empty
CServicesFileIO2.CopyFile2 S & '\source.txt', S & '\target.txt', True     => Empty
CServicesFileIO2.CopyFile S & '\source.txt', S & '\over.txt'              => Empty
CServicesFileIO2.CopyFile2 S & '\missing.txt', S & '\target.txt'          => error 99 LARKLIB8 'Unable to copy file: %S%\missing.txt.' & vbCrLf & 'Please check for available disk space and access privileges.'
CServicesFileIO2.MoveFile S & '\a.txt', S & '\target.txt'                 => error 99 LARKLIB8
CServicesFileIO2.MoveFile S & '\ro.txt', S & '\target.txt', True          => Empty
CServicesFileIO2.CreateFoldersDeep S & '\m\b\c'                           => Boolean True
CServicesFileIO2.RenameFile S & '\a.txt', S & '\over.txt'                 => error 58 LARKLIB8
CServicesFileIO2.RenameFile S & '\gone.txt', S & '\x.txt'                  => error 53 LARKLIB8
CServicesFileIO2.RenameFile S & '\no\a.txt', S & '\x.txt'                 => error 76 LARKLIB8
CServicesFileIO2.RenameWithDate S & '\app.log'                            => Boolean True
CServicesFileIO2.RenameWithDate S & '\x.log'                              => Boolean True
CServicesFileInfo2.FileExists 'file:///' & S & '/My%20Folder/b%20c.txt'   => Boolean True
CServicesFileInfo2.DirectoryExists S & '\a.txt'                           => Boolean False
CServicesFileInfo2.FileExists 'C:\'                                        => Boolean True
CServicesFileInfo2.GetDateLastModified S & '\a.*'                         => Date 12/4/2026 3:30:12 PM
CServicesFileInfo2.GetItemFromINIFile 'first', 'KEY', 'dflt', S & '\app.ini'   => 'value one'
CServicesFileInfo2.GetItemFromINIFile 'first', 'KEY', 'dflt', String(1000, 'a') => ''
CServicesFileInfo2.VerifyFileWriteAccess S & '\new.txt'                   => Boolean True
CServicesFileInfo2.VerifyFolderWriteAccess S                              => Boolean True
)");
    EXPECT_EQ(
        LR"(My Folder\|My Folder\b c.txt|a.txt|app.ini|app_04Dec2026.log|c\|c\sub\|c\sub\s.txt|)"
        LR"(full1\|full1\f.txt|held.txt|m\|m\b\|m\b\c\|over.txt|p2\|p2\.h.txt\|p2\.h.txt\h.txt|p2\.p.txt|)"
        LR"(p2\o\|p2\o\o.txt|p2\ro.txt|p2\s.txt\|p2\s.txt\in\|p2\s.txt\in\z.txt|p4\|p4\o\|p4\o\o.txt|r\|)"
        LR"(source.txt|sub\|sub\fresh.txt|target.txt|target1.txt|target2.txt|x_04Dec2026.log|)"
        LR"(x_04Dec2026_153012.log)",
        box.listing());
}

TEST_F(Files, DriveRootsAndBadPathsChangeNothing) {
    box.make({L"d\\a.txt"});
    const auto count = [](auto f) { return std::distance(std::filesystem::directory_iterator(f), {}); };
    const auto root = count(L"C:\\"), current = count(L".");
    for (std::string path : {R"('C:\')", R"('C:')", R"('c:\\\')", R"('C:\.')", R"('C:\users\..')", R"('C:\*')", "''",
                             R"('\')", "'.'", "'..'", R"(S & '\*')", R"(S & '\d\..')", R"('C:\' & String(300, 'z'))"}) {
        for (std::string call : {"DeleteDirectoryDeep #, True => Boolean False",
                                 "DeleteDirectory #, True => Boolean False", "DeleteFileToRecycle #, True => Empty",
                                 "DeleteFile #, True => Empty", "DeleteDeep #, '*.*', True, True => Empty"})
            c.run("CServicesFileIO2." + call.replace(call.find('#'), 1, path));
        for (const char* flags : {"True, False", "True, True"}) {
            Cases marker;  // deletes, if anything, as it goes
            marker.let("S", box.root());
            marker.run("CServicesFileTemporary2.Initialize " + path + ", True, " + flags + " => Empty");
        }
    }
    EXPECT_EQ(L"d\\|d\\a.txt", box.listing());
    EXPECT_EQ(root, count(L"C:\\"));
    EXPECT_EQ(current, count(L"."));
}

TEST_F(Files, ConfirmFileAvailableForWritingAsksUntilFreeOrCancelled) {
    make(L"held.txt");
    com::unique_hfile held = hold(box.path(L"held.txt"));
    std::vector<std::wstring> texts;  // OK, Cancel, then Retry twice, the file released before the second
    const auto answer = [&](HWND b) {
        texts.push_back(messageText(b));
        if (texts.size() == 4) held.reset();
        press(b, texts.size() == 1 ? IDOK : texts.size() == 2 ? IDCANCEL : IDRETRY);
    };
    MessageBoxAnswerer inUse(L"Emberfox: File In Use", answer), notFound(L"Emberfox: File Not Found", answer);
    c.run(R"(
CServicesFileInfo2.ConfirmFileAvailableForWriting S & '\missing.txt' => Long 2
CServicesFileInfo2.ConfirmFileAvailableForWriting S & '\held.txt'    => Long 2
CServicesFileInfo2.ConfirmFileAvailableForWriting S & '\held.txt'    => Long 1
)");
    const std::wstring busy = box.path(L"held.txt") + L"\r\nis currently being used by another application.";
    EXPECT_EQ(
        (std::vector<std::wstring>{L"Could not locate the file: \r\n" + box.path(L"missing.txt"), busy, busy, busy}),
        texts);
}

TEST_F(Files, TemporaryFilesGoWithTheirObjects) {
    make(LR"(deep\sub\|deep\f.txt|flat\sub\g.txt|flat\f.txt|kept\f.txt|file.txt|work\|a.txt|b.txt)");
    c.run(R"(
CServicesFileUtilities2.UniqueFilePath S & '\b.txt'                              => '%S%\b1.txt'
CServicesFileUtilities2.MarkTemporaryFile S & '\deep\', True, True, True         => Empty
CServicesFileUtilities2.MarkTemporaryFile S & '\flat', True, True, False         => Empty
CServicesFileUtilities2.MarkTemporaryFile S & '\kept', True, False, True         => Empty
CServicesFileUtilities2.MarkTemporaryFile S & '\file.txt', False, False, False   => Empty
CServicesFileUtilities2.UniqueTempFolder S & '\work', True                       => '%S%\work1'
CServicesFileUtilities2.UniqueTempFolder S & '\work', False                      => '%S%\work2'
CServicesFileUtilities2.UniqueTempFolder S & '\new'                              => '%S%\new'
CServicesFileTemporary2.Initialize S & '\b.txt', False, False, False             => Empty
CServicesFileTemporary2.Initialize S & '\a.txt', False, False, False             => Empty
self = CServicesFileTemporary2.Self                                              => Object _CServicesFileTemporary2
)");
    EXPECT_TRUE(box.exists(L"deep\\sub") && box.exists(L"file.txt")) << "nothing goes while the objects live";
    // A name with an extension is only a name; without one the platform makes the file.
    c.outcome("named = CServicesFileUtilities2.GetTemporaryFilePath '.txt'"),
        c.outcome("made = CServicesFileUtilities2.GetTemporaryFilePath");
    EXPECT_FALSE(std::filesystem::exists(str(c.value("named").bstrVal)));
    EXPECT_TRUE(DeleteFileW(str(c.value("made").bstrVal).c_str()));
    c.let("CServicesFileTemporary2", static_cast<IDispatch*>(nullptr)),
        c.let("CServicesFileUtilities2", static_cast<IDispatch*>(nullptr));
    EXPECT_TRUE(box.exists(L"a.txt")) << "still referenced through Self";
    c.let("self", static_cast<IDispatch*>(nullptr));
    EXPECT_EQ(LR"(b.txt|flat1\|flat1\sub\|flat1\sub\g.txt|kept\|kept\f.txt|work2\|work\)", box.listing());
}

// Shortcuts in the temporary folder byte for byte, a name used before going to the recycle bin
// (a reader that holds the old file still reads it), listings without hidden and dot entries, the
// text-file round trip in the ANSI code page, and bad paths that give "", False or nothing.
TEST_F(Files, ShortcutsListingsAndTextFiles) {
    make(LR"(list\a.txt|list\.gitignore|list\hidden.txt|list\sub\|list\sub\deep.txt)");
    SetFileAttributesW(box.path(L"list\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    const std::wstring temp = temporaryFolder(), old = temp + L"Lark Site.url", folder = temp + L"Lark Folder.url";
    writeBytes(old, "old"), CreateDirectoryW(folder.c_str(), nullptr), c.mask(temp, "Temp");
    const DWORD anyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const com::unique_hfile reader(
        CreateFileW(old.c_str(), GENERIC_READ, anyShare, nullptr, OPEN_EXISTING, 0, nullptr));
    c.outcome("list = CServicesFileUtilities2.GetDirectoryContents S & '\\list'");
    c.outcome("random = CServicesFileUtilities2.CreateURLShortCut 'http://example.com/'");
    const std::wstring random = str(c.value("random").bstrVal);
    c.run(R"(
CServicesFileUtilities2.CreateURLShortCut 'http://example.com/?a=1', 'Lark Site.htm' => '%Temp%Lark Site.url'
CServicesFileUtilities2.CreateURLShortCut 'file:///C:/x', 'a:b/c' => '%Temp%a_b_c.url'
CServicesFileUtilities2.CreateURLShortCut 'x', 'Lark Folder' => ''
list.Count => Long 2
list.Item S & '\list\a.txt' => 'a.txt'
list.Item S & '\list\sub' => 'sub'
CServicesFileUtilities2.GetDirectoryContents S & '\list\a.txt' => Object _Collection[]
CServicesFileUtilities2.CreateTextFile S & '\t.txt', 'line 1' & vbCrLf & 'caf' & ChrW(233) => Boolean True
CServicesFileUtilities2.GetTextFileContents S & '\t.txt' => 'line 1' & vbCrLf & 'caf' & ChrW(233) & vbCrLf
CServicesFileUtilities2.CreateTextFile S & '\no\t.txt', 'x' => Boolean False
CServicesFileUtilities2.CreateTextFile S & '\t.txt' & vbNullChar & 'x', 'x' => Boolean False
CServicesFileUtilities2.CreateTextFile S, 'x' => Boolean False
CServicesFileUtilities2.{GetTextFileContents, GetDirectoryContents} S & '\none.txt' => '' | Object _Collection[]
)");
    EXPECT_TRUE(random.starts_with(temp + L"~RD") && random.ends_with(L".url") && random.size() == temp.size() + 11)
        << random;
    EXPECT_EQ("[InternetShortcut]\r\n\r\nURL=http://example.com/?a=1\r\n\r\n", bytesOf(old));
    char held[8]{};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(reader.get(), held, sizeof held, &got, nullptr) && std::string(held, got) == "old") << held;
    EXPECT_EQ("line 1\r\ncaf\xE9\r\n", box.read(L"t.txt"));
    EXPECT_TRUE(RemoveDirectoryW(folder.c_str()) && DeleteFileW(random.c_str()));
    EXPECT_TRUE(DeleteFileW((temp + L"a_b_c.url").c_str()) && DeleteFileW(old.c_str()));
}

}  // namespace
}  // namespace lark::test
