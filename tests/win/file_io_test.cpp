// CServicesFileIO2 in sandbox folders of the prefix: each deleting member removes its target
// and nothing beside it, files held open and read-only files, the shell's copy, move and
// recycle requests, the rename primitive's errors, and drive roots and bad paths that must
// leave everything alone.
#include "file_sandbox.hpp"

namespace lark::test {
namespace {

using IO = _CServicesFileIO2;

class FileIO : public testing::Test {
protected:
    ComPtr<IO> io = createByProgId<IO>(L"LARKLIB8.CServicesFileIO2");
    ComPtr<IDispatch> late = io.query<IDispatch>();
    Sandbox box;

    // A late-bound call with a path and Boolean arguments, as a script makes it.
    template <class... Flags>
    Call call(const wchar_t* member, const std::wstring& path, Flags... flags) {
        std::vector<unique_variant> values;
        values.push_back(vStr(path.c_str()));
        (values.push_back(vBool(flags)), ...);
        std::vector<VARIANT*> positional;
        for (auto& v : values)
            positional.push_back(&v);
        return invoke(late.get(), member, positional);
    }
    // The Boolean a late-bound call returned (in a Variant or not).
    static bool truth(const Call& c) {
        EXPECT_EQ(S_OK, c.hr) << str(c.exception.bstrDescription);
        EXPECT_EQ(VT_BOOL, c.result.vt);
        return c.result.vt == VT_BOOL && c.result.boolVal == VARIANT_TRUE;
    }
    bool deleteDirectory(const std::wstring& path, bool kill) {
        unique_bstr p = bstr(path.c_str());
        VARIANT_BOOL result = 7;
        EXPECT_EQ(S_OK, io->DeleteDirectory(p.get(), kill ? VARIANT_TRUE : VARIANT_FALSE, &result)) << lastError();
        return result == VARIANT_TRUE;
    }
    bool deleteContents(const std::wstring& pattern) {
        Text p(pattern);
        VARIANT_BOOL result = 7;
        EXPECT_EQ(S_OK, io->DeleteDirectoryContents(p.ref(), &result));
        return result == VARIANT_TRUE;
    }
    void deleteDeep(const std::wstring& folder, const wchar_t* wildCard, bool recurse, bool force) {
        unique_bstr f = bstr(folder.c_str()), w = bstr(wildCard);
        EXPECT_EQ(S_OK, io->DeleteDeep(f.get(), w.get(), recurse ? VARIANT_TRUE : VARIANT_FALSE,
                                       force ? VARIANT_TRUE : VARIANT_FALSE));
    }
    HRESULT renameFile(const std::wstring& from, const std::wstring& to) {
        Text a(from), b(to);
        return io->RenameFile(a.ref(), b.ref());
    }
};

TEST_F(FileIO, DeleteFileWithAndWithoutForce) {
    ASSERT_TRUE(io);
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"readonly.txt", L"held.txt"})
        box.file(name);
    ASSERT_TRUE(SetFileAttributesW(box.path(L"readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    const Snapshot all = box.snapshot();

    Text a(box.path(L"a.txt"));
    EXPECT_EQ(S_OK, io->DeleteFile(a.ref(), VARIANT_FALSE));
    EXPECT_EQ(without(all, {L"a.txt"}), box.snapshot());

    EXPECT_EQ(S_OK, call(L"DeleteFile", box.path(L"readonly.txt")).hr) << "Force omitted";
    EXPECT_TRUE(box.exists(L"readonly.txt")) << "read-only stays without Force";
    EXPECT_EQ(S_OK, call(L"DeleteFile", box.path(L"readonly.txt"), true).hr);
    EXPECT_FALSE(box.exists(L"readonly.txt")) << "and goes with it";

    {
        HeldOpen held(box.path(L"held.txt"));
        EXPECT_EQ(S_OK, call(L"DeleteFile", box.path(L"held.txt"), true).hr) << "nothing is reported";
        EXPECT_TRUE(box.exists(L"held.txt"));
    }
    for (const std::wstring& bad : {std::wstring(), box.path(L"*.txt"), box.path(L"missing.txt"), std::wstring(L"C:\\"),
                                    box.root(), L"C:\\" + std::wstring(300, L'b')})
        EXPECT_EQ(S_OK, call(L"DeleteFile", bad, true).hr);
    EXPECT_EQ(without(all, {L"a.txt", L"readonly.txt"}), box.snapshot());
}

TEST_F(FileIO, DeleteDirectoryContentsTakesFilesOnly) {
    ASSERT_TRUE(io);
    box.folder(L"d");
    box.folder(L"d\\sub");
    for (const wchar_t* name : {L"d\\a.txt", L"d\\b.txt", L"d\\c.log", L"d\\sub\\s.txt", L"beside.txt"})
        box.file(name);
    const Snapshot all = box.snapshot();

    EXPECT_TRUE(deleteContents(box.path(L"d\\*.txt")));
    EXPECT_EQ(without(all, {L"d\\a.txt", L"d\\b.txt"}), box.snapshot());
    EXPECT_TRUE(deleteContents(box.path(L"d\\*.none"))) << "nothing matched";
    EXPECT_TRUE(deleteContents(box.path(L"d\\*.*")));
    EXPECT_EQ(without(all, {L"d\\a.txt", L"d\\b.txt", L"d\\c.log"}), box.snapshot()) << "sub-folders stay";

    box.file(L"d\\held.txt");
    box.file(L"d\\other.txt");
    {
        HeldOpen held(box.path(L"d\\held.txt"));
        EXPECT_FALSE(deleteContents(box.path(L"d\\*.*"))) << "a file in use";
    }
    EXPECT_TRUE(box.exists(L"d\\held.txt"));
    EXPECT_FALSE(box.exists(L"d\\other.txt")) << "the others went";

    // A root or folder without a pattern deletes nothing.
    const Snapshot left = box.snapshot();
    const std::set<std::wstring> rootNames = namesIn(L"C:\\");
    EXPECT_TRUE(deleteContents(L"C:\\"));
    EXPECT_TRUE(deleteContents(box.path(L"d"))) << "the folder itself is found, and is not a file";
    EXPECT_TRUE(deleteContents(L""));
    EXPECT_EQ(left, box.snapshot());
    EXPECT_EQ(rootNames, namesIn(L"C:\\"));
}

TEST_F(FileIO, DeleteDirectoryAndTheRecoveryOfAHeldFolder) {
    ASSERT_TRUE(io);
    box.folder(L"empty");
    box.folder(L"slash");
    box.folder(L"full");
    box.file(L"full\\f.txt");
    box.file(L"beside.txt");
    const Snapshot all = box.snapshot();

    EXPECT_TRUE(deleteDirectory(box.path(L"empty"), false));
    EXPECT_TRUE(deleteDirectory(box.path(L"slash\\"), false)) << "one trailing separator is dropped";
    EXPECT_FALSE(deleteDirectory(box.path(L"full"), false));
    EXPECT_FALSE(deleteDirectory(box.path(L"missing"), true));
    EXPECT_EQ(without(all, {L"empty", L"slash"}), box.snapshot());

    // A non-empty folder with the recovery: it is moved aside, and removing the moved folder
    // fails too, which is raised.
    unique_bstr full = bstr(box.path(L"full").c_str());
    VARIANT_BOOL result = 7;
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(vbError(75), io->DeleteDirectory(full.get(), VARIANT_TRUE, &result));
    EXPECT_EQ(L"LARKLIB8: Path/File access error", lastError());
    EXPECT_FALSE(box.exists(L"full"));
    EXPECT_EQ("x", box.read(L"full1\\f.txt")) << "moved aside under the first free number";

    // A folder held open by another handle.
    box.folder(L"held");
    {
        HeldOpen held(box.path(L"held"));
        EXPECT_FALSE(deleteDirectory(box.path(L"held"), false));
        EXPECT_TRUE(box.exists(L"held"));
        // Held without delete sharing, the folder cannot be moved aside either: that error is raised.
        unique_bstr path = bstr(box.path(L"held").c_str());
        EXPECT_EQ(vbError(75), io->DeleteDirectory(path.get(), VARIANT_TRUE, &result));
        EXPECT_TRUE(box.exists(L"held"));
        EXPECT_FALSE(box.exists(L"held1"));
    }
    EXPECT_TRUE(box.exists(L"beside.txt"));
}

TEST_F(FileIO, DeleteDirectoryDeepRemovesTheTree) {
    ASSERT_TRUE(io);
    box.folder(L"tree");
    box.folder(L"tree\\a");
    box.folder(L"tree\\a\\b");
    box.file(L"tree\\a\\b\\f.txt");
    box.file(L"tree\\g.txt");
    box.folder(L"tree2");
    box.file(L"tree2\\keep.txt");
    const Snapshot all = box.snapshot();

    EXPECT_TRUE(truth(call(L"DeleteDirectoryDeep", box.path(L"tree\\"))));
    EXPECT_EQ(without(all, {L"tree"}), box.snapshot());
    EXPECT_FALSE(truth(call(L"DeleteDirectoryDeep", box.path(L"tree"), true)));
}

TEST_F(FileIO, DeleteDeepByPatternAndRecursion) {
    ASSERT_TRUE(io);
    for (const wchar_t* folder : {L"d", L"d\\sub.txt", L"d\\sub.txt\\inner", L"d\\other", L"d\\.hidden.txt"})
        box.folder(folder);
    for (const wchar_t* file : {L"d\\a.txt", L"d\\b.log", L"d\\.profile", L"d\\.p.txt", L"d\\ro.txt",
                                L"d\\sub.txt\\x.txt", L"d\\sub.txt\\y.log", L"d\\sub.txt\\inner\\z.txt",
                                L"d\\other\\o.txt", L"d\\.hidden.txt\\h.txt", L"beside.txt"})
        box.file(file);
    ASSERT_TRUE(SetFileAttributesW(box.path(L"d\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    const Snapshot all = box.snapshot();

    // No recursion: matching files of the folder itself; sub.txt is seen but not empty.
    deleteDeep(box.path(L"d"), L"*.txt", false, false);
    EXPECT_EQ(without(all, {L"d\\a.txt"}), box.snapshot());

    // Recursion goes only into sub-folders that match; names with a leading dot stay.
    deleteDeep(box.path(L"d\\"), L"*.txt", true, false);
    const Snapshot recursed = without(all, {L"d\\a.txt", L"d\\sub.txt\\x.txt"});
    EXPECT_EQ(recursed, box.snapshot()) << "inner does not match *.txt; ro.txt needs Force";

    deleteDeep(box.path(L"d"), L"*.txt", true, true);
    EXPECT_EQ(without(recursed, {L"d\\ro.txt"}), box.snapshot());

    // The default pattern and a missing Recurse (False), late-bound.
    unique_variant folder = vStr(box.path(L"d").c_str());
    EXPECT_EQ(S_OK, invoke(late.get(), L"DeleteDeep", {&folder}).hr);
    const Snapshot after = without(recursed, {L"d\\ro.txt", L"d\\b.log"});
    EXPECT_EQ(after, box.snapshot());
    unique_variant yes = vBool(true);
    EXPECT_EQ(S_OK, invoke(late.get(), L"DeleteDeep", {&folder}, {{L"Recurse", &yes}}).hr);
    // Everything below d goes but the names with a leading dot; d itself stays.
    EXPECT_EQ((Snapshot{{L"beside.txt", "x"},
                        {L"d", "<dir>"},
                        {L"d\\.hidden.txt", "<dir>"},
                        {L"d\\.hidden.txt\\h.txt", "x"},
                        {L"d\\.p.txt", "x"},
                        {L"d\\.profile", "x"}}),
              box.snapshot());
}

TEST_F(FileIO, DrivesRootsAndBadPathsChangeNothing) {
    ASSERT_TRUE(io);
    box.folder(L"d");
    box.file(L"d\\a.txt");
    box.file(L"b.txt");
    const Snapshot all = box.snapshot();
    const Snapshot temporary = snapshotOf(temporaryFolder());
    const std::set<std::wstring> rootNames = namesIn(L"C:\\");
    // The test program's current folder, which "C:" stands for.
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    const std::set<std::wstring> currentNames = namesIn(current);

    const std::wstring roots[] = {L"C:\\",
                                  L"C:",
                                  L"c:\\\\\\",
                                  L"C:\\.",
                                  L"C:\\d\\..",
                                  L"C:\\*",
                                  L"C:\\*.*",
                                  L"",
                                  L"\\",
                                  L".",
                                  box.path(L"*"),
                                  box.path(L"d\\*.txt"),
                                  L"C:\\" + std::wstring(300, L'z'),
                                  box.path(std::wstring(300, L'z'))};
    for (const std::wstring& path : roots) {
        SCOPED_TRACE(testing::Message() << "path " << std::string(path.begin(), path.end()).substr(0, 40));
        EXPECT_FALSE(truth(call(L"DeleteDirectoryDeep", path, true)));
        EXPECT_EQ(S_OK, call(L"DeleteFileToRecycle", path, true).hr);
        EXPECT_EQ(S_OK, call(L"DeleteFile", path, true).hr);
        EXPECT_EQ(S_OK, call(L"DeleteDeep", path).hr);
        deleteDeep(path, L"*.*", true, true);
        EXPECT_FALSE(deleteDirectory(path, false));
        EXPECT_FALSE(deleteDirectory(path, true));
    }
    for (const std::wstring& pattern : {std::wstring(L"C:\\"), std::wstring(L"C:"), std::wstring()})
        deleteContents(pattern);
    EXPECT_EQ(all, box.snapshot());
    EXPECT_EQ(temporary, snapshotOf(temporaryFolder()));
    EXPECT_EQ(rootNames, namesIn(L"C:\\"));
    EXPECT_EQ(currentNames, namesIn(current));
}

TEST_F(FileIO, RecycleBin) {
    ASSERT_TRUE(io);
    box.file(L"gone.txt");
    box.file(L"keep.txt");
    box.folder(L"folder");
    box.file(L"folder\\in.txt");
    const Snapshot all = box.snapshot();

    EXPECT_EQ(S_OK, call(L"DeleteFileToRecycle", box.path(L"gone.txt")).hr);
    EXPECT_EQ(without(all, {L"gone.txt"}), box.snapshot());
    EXPECT_EQ(S_OK, call(L"DeleteFileToRecycle", box.path(L"missing.txt")).hr);
    EXPECT_EQ(S_OK, call(L"DeleteFileToRecycle", box.path(L"folder"), true).hr) << "Quiet sends it anyway";
    EXPECT_EQ(without(all, {L"gone.txt", L"folder"}), box.snapshot());
}

TEST_F(FileIO, CopyWithAndWithoutRenameOnCollision) {
    ASSERT_TRUE(io);
    box.file(L"source.txt", "new");
    box.file(L"target.txt", "old");
    Text source(box.path(L"source.txt")), target(box.path(L"target.txt")), fresh(box.path(L"sub\\fresh.txt"));
    EXPECT_EQ(S_OK, io->CopyFile(source.ref(), fresh.ref())) << lastError();
    EXPECT_EQ("new", box.read(L"sub\\fresh.txt")) << "the missing folder is made";

    unique_bstr s = bstr(source.text().c_str()), t = bstr(target.text().c_str());
    EXPECT_EQ(S_OK, io->CopyFile2(s.get(), t.get(), VARIANT_TRUE, VARIANT_TRUE));
    EXPECT_EQ("old", box.read(L"target.txt")) << "the target stays";
    EXPECT_EQ(4u, namesIn(box.root()).size()) << "source, target, sub and the renamed copy";
    bool copied = false;
    for (const std::wstring& name : namesIn(box.root()))
        copied |= name != L"source.txt" && name != L"target.txt" && name != L"sub" && box.read(name) == "new";
    EXPECT_TRUE(copied);

    EXPECT_EQ(S_OK, io->CopyFile(source.ref(), target.ref()));
    EXPECT_EQ("new", box.read(L"target.txt")) << "overwritten without a question";

    Text missing(box.path(L"missing.txt"));
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(vbError(99), io->CopyFile(missing.ref(), target.ref()));
    EXPECT_EQ(L"LARKLIB8: Unable to copy file: " + missing.text() +
                  L".\r\nPlease check for available disk space and access privileges.",
              lastError());
    unique_variant from = vStr(L""), to = vStr(target.text().c_str());
    Call c = invoke(late.get(), L"CopyFile2", {&from, &to});
    EXPECT_EQ(DISP_E_EXCEPTION, c.hr);
    EXPECT_EQ(vbError(99), c.exception.scode);
    EXPECT_EQ(L"LARKLIB8", c.source());
    EXPECT_EQ(L"Unable to copy file: .\r\nPlease check for available disk space and access privileges.",
              c.description());
}

TEST_F(FileIO, MoveFile) {
    ASSERT_TRUE(io);
    box.file(L"a.txt", "a");
    box.file(L"b.txt", "b");
    unique_bstr a = bstr(box.path(L"a.txt").c_str()), b = bstr(box.path(L"b.txt").c_str()),
                c = bstr(box.path(L"c.txt").c_str());
    const Snapshot before = box.snapshot();
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(vbError(99), io->MoveFile(a.get(), b.get(), VARIANT_FALSE));
    EXPECT_EQ(L"LARKLIB8: ", lastError()) << "no description of its own";
    EXPECT_EQ(before, box.snapshot()) << "both files as they were";

    EXPECT_EQ(S_OK, io->MoveFile(a.get(), c.get(), VARIANT_FALSE));
    EXPECT_EQ("a", box.read(L"c.txt"));
    EXPECT_FALSE(box.exists(L"a.txt"));

    EXPECT_EQ(S_OK, io->MoveFile(c.get(), b.get(), VARIANT_TRUE));
    EXPECT_EQ("b", box.read(L"b.txt"));
    EXPECT_FALSE(box.exists(L"c.txt"));
    EXPECT_EQ(2u, namesIn(box.root()).size()) << "b.txt and the moved file under a new name";

    EXPECT_EQ(vbError(99), io->MoveFile(c.get(), a.get(), VARIANT_TRUE)) << "a missing source";
}

TEST_F(FileIO, CreatingFolders) {
    ASSERT_TRUE(io);
    box.folder(L"a");
    const auto deep = [&](const std::wstring& path) { return truth(call(L"CreateFoldersDeep", path)); };
    const auto single = [&](const std::wstring& path) { return truth(call(L"CreateDirectory", path)); };

    EXPECT_TRUE(deep(box.path(L"a\\b\\c")));
    EXPECT_TRUE(fs::is_directory(box.path(L"a\\b\\c")));
    EXPECT_TRUE(deep(box.path(L"a\\b\\c\\")));
    EXPECT_TRUE(deep(L"C:\\"));

    DWORD drives = GetLogicalDrives();
    wchar_t missing = L'Y';
    while (missing > L'C' && (drives & (1u << (missing - L'A'))))
        --missing;
    EXPECT_TRUE(deep(std::wstring(1, missing) + L":\\x\\y")) << "a drive that does not exist";
    EXPECT_TRUE(deep(L"relative\\path"));
    EXPECT_FALSE(fs::exists(L"relative"));

    EXPECT_FALSE(single(box.path(L"a"))) << "exists already";
    EXPECT_TRUE(single(box.path(L"e")));
    EXPECT_FALSE(single(box.path(L"x\\y"))) << "the parent is missing";
    EXPECT_FALSE(single(L""));
    EXPECT_FALSE(deep(box.path(std::wstring(300, L'q'))));
    EXPECT_EQ((std::set<std::wstring>{L"a", L"e"}), namesIn(box.root()));
}

TEST_F(FileIO, RenameFileErrors) {
    ASSERT_TRUE(io);
    box.file(L"a.txt", "a");
    box.file(L"b.txt", "b");
    EXPECT_EQ(vbError(58), renameFile(box.path(L"a.txt"), box.path(L"b.txt")));
    EXPECT_EQ(vbError(53), renameFile(box.path(L"missing.txt"), box.path(L"c.txt")));
    {
        HeldOpen held(box.path(L"a.txt"));
        EXPECT_EQ(vbError(75), renameFile(box.path(L"a.txt"), box.path(L"c.txt")));
    }
    EXPECT_EQ(S_OK, renameFile(box.path(L"a.txt"), box.path(L"c.txt")));
    EXPECT_EQ("a", box.read(L"c.txt"));
    EXPECT_EQ((std::set<std::wstring>{L"b.txt", L"c.txt"}), namesIn(box.root()));
}

TEST_F(FileIO, RenameWithDateTwiceOnTheSameDay) {
    ASSERT_TRUE(io);
    box.file(L"app.log", "first");
    const auto rename = [&](const std::wstring& path) {
        Text p(path);
        VARIANT_BOOL result = 7;
        EXPECT_EQ(S_OK, io->RenameWithDate(p.ref(), &result));
        return result == VARIANT_TRUE;
    };
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t stamp[32] = {};
    GetDateFormatW(LOCALE_USER_DEFAULT, 0, &now, L"ddMMMyyyy", stamp, 32);

    EXPECT_TRUE(rename(box.path(L"app.log")));
    const std::wstring dated = std::wstring(L"app_") + stamp + L".log";
    EXPECT_EQ("first", box.read(dated));

    box.file(L"app.log", "second");
    EXPECT_TRUE(rename(box.path(L"app.log")));
    EXPECT_EQ(2u, namesIn(box.root()).size()) << "app.log went a second time";
    std::wstring timed;
    for (const std::wstring& name : namesIn(box.root()))
        if (name != dated) timed = name;
    // app_<date>_hhmmss.log, the time of the file that was in the way.
    ASSERT_EQ(dated.size() + 7, timed.size()) << std::string(timed.begin(), timed.end());
    EXPECT_EQ(0u, timed.rfind(std::wstring(L"app_") + stamp + L"_", 0));
    EXPECT_EQ("second", box.read(timed));

    // A third time the file in the way is the same, so both names are taken.
    box.file(L"app.log", "third");
    EXPECT_FALSE(rename(box.path(L"app.log")));
    EXPECT_EQ("third", box.read(L"app.log"));
    EXPECT_TRUE(rename(box.path(L"missing.log"))) << "a missing file is no failure";
    EXPECT_TRUE(box.exists(L"app.log"));
}

}  // namespace
}  // namespace lark::test
