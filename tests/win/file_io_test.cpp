// CServicesFileIO2 in sandbox folders of the prefix: each deleting member removes its target and
// nothing beside it, with files held open and read-only files; the shell's copy, move and
// recycle requests; the rename primitive's errors; and drive roots and bad paths that must
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

    // A late-bound call with a path, more strings and Booleans, as a script makes it.
    template <class... More>
    Call call(const wchar_t* member, const std::wstring& path, More... more) {
        std::vector<unique_variant> values;
        values.push_back(vStr(path.c_str()));
        [[maybe_unused]] const auto add = [&](auto v) {
            if constexpr (std::is_same_v<decltype(v), bool>)
                values.push_back(vBool(v));
            else
                values.push_back(vStr(std::wstring(v).c_str()));
        };
        (add(more), ...);
        std::vector<VARIANT*> positional;
        for (auto& v : values)
            positional.push_back(&v);
        return invoke(late.get(), member, positional);
    }
    // The Boolean result of a late-bound call that must succeed.
    template <class... More>
    bool truth(const wchar_t* member, const std::wstring& path, More... more) {
        Call c = call(member, path, more...);
        EXPECT_EQ(S_OK, c.hr) << member << ": " << c.description().size();
        EXPECT_EQ(VT_BOOL, c.result.vt);
        return c.result.vt == VT_BOOL && c.result.boolVal == VARIANT_TRUE;
    }
};

TEST_F(FileIO, DeleteFileAndDirectoryContents) {
    box.make({L"a.txt", L"ro.txt", L"held.txt", L"d\\", L"d\\a.txt", L"d\\b.log", L"d\\sub\\", L"d\\sub\\s.txt"});
    ASSERT_TRUE(SetFileAttributesW(box.path(L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    const Snapshot all = box.snapshot();
    EXPECT_EQ(S_OK, call(L"DeleteFile", box.path(L"a.txt")).hr);
    EXPECT_EQ(S_OK, call(L"DeleteFile", box.path(L"ro.txt")).hr);
    EXPECT_TRUE(box.exists(L"ro.txt")) << "read-only stays without Force";
    {
        HeldOpen held(box.path(L"held.txt"));
        EXPECT_EQ(S_OK, call(L"DeleteFile", box.path(L"held.txt"), true).hr) << "nothing is reported";
        EXPECT_FALSE(truth(L"DeleteDirectoryContents", box.path(L"*.txt"))) << "a file in use";
    }
    EXPECT_EQ(without(all, {L"a.txt"}), box.snapshot()) << "ro.txt needs Force, held.txt is in use";
    EXPECT_EQ(S_OK, call(L"DeleteFile", box.path(L"ro.txt"), true).hr);
    EXPECT_FALSE(box.exists(L"ro.txt"));

    EXPECT_TRUE(truth(L"DeleteDirectoryContents", box.path(L"d\\*.txt")));
    EXPECT_TRUE(truth(L"DeleteDirectoryContents", box.path(L"d\\*.none"))) << "nothing matched";
    EXPECT_TRUE(truth(L"DeleteDirectoryContents", box.path(L"d\\*.*")));
    EXPECT_TRUE(truth(L"DeleteDirectoryContents", box.path(L"d"))) << "the folder itself is no file";
    EXPECT_EQ(without(all, {L"a.txt", L"ro.txt", L"d\\a.txt", L"d\\b.log"}), box.snapshot()) << "sub-folders stay";
}

TEST_F(FileIO, DeleteDirectoryAndItsRecovery) {
    box.make({L"empty\\", L"slash\\", L"full\\", L"full\\f.txt", L"held\\", L"beside.txt"});
    const Snapshot all = box.snapshot();
    const auto remove = [&](const std::wstring& path, bool kill, HRESULT expected = S_OK) {
        unique_bstr p = bstr(path.c_str());
        VARIANT_BOOL result = 7;
        EXPECT_EQ(expected, io->DeleteDirectory(p.get(), kill ? VARIANT_TRUE : VARIANT_FALSE, &result));
        return result == VARIANT_TRUE;
    };
    EXPECT_TRUE(remove(box.path(L"empty"), false));
    EXPECT_TRUE(remove(box.path(L"slash\\"), false)) << "one trailing separator is dropped";
    EXPECT_FALSE(remove(box.path(L"full"), false));
    EXPECT_FALSE(remove(box.path(L"missing"), true));
    {
        HeldOpen held(box.path(L"held"));
        EXPECT_FALSE(remove(box.path(L"held"), false));
        // Held without delete sharing it cannot be moved aside either: that error is raised.
        remove(box.path(L"held"), true, vbError(75));
    }
    EXPECT_EQ(without(all, {L"empty", L"slash"}), box.snapshot());

    // Not empty: moved aside under the first free number, where the removal fails again.
    SetErrorInfo(0, nullptr);
    remove(box.path(L"full"), true, vbError(75));
    EXPECT_EQ(L"LARKLIB8: Path/File access error", lastError());
    EXPECT_FALSE(box.exists(L"full"));
    EXPECT_EQ("x", box.read(L"full1\\f.txt"));
}

TEST_F(FileIO, ShellDeletionWholeTreesAndToTheRecycleBin) {
    box.make({L"tree\\a\\b\\", L"tree\\a\\b\\f.txt", L"tree\\g.txt", L"tree2\\", L"gone.txt", L"folder\\in.txt"});
    const Snapshot all = box.snapshot();
    EXPECT_TRUE(truth(L"DeleteDirectoryDeep", box.path(L"tree\\")));
    EXPECT_FALSE(truth(L"DeleteDirectoryDeep", box.path(L"tree"), true));
    EXPECT_EQ(S_OK, call(L"DeleteFileToRecycle", box.path(L"gone.txt")).hr);
    EXPECT_EQ(S_OK, call(L"DeleteFileToRecycle", box.path(L"missing.txt")).hr);
    EXPECT_EQ(without(all, {L"tree", L"gone.txt"}), box.snapshot());
    EXPECT_EQ(S_OK, call(L"DeleteFileToRecycle", box.path(L"folder"), true).hr);
    EXPECT_EQ(without(all, {L"tree", L"gone.txt", L"folder"}), box.snapshot());
}

TEST_F(FileIO, DeleteDeepByPatternAndRecursion) {
    box.make({L"d\\sub.txt\\inner\\", L"d\\other\\", L"d\\.hidden.txt\\", L"d\\a.txt", L"d\\b.log", L"d\\.profile",
              L"d\\.p.txt", L"d\\ro.txt", L"d\\sub.txt\\x.txt", L"d\\sub.txt\\y.log", L"d\\sub.txt\\inner\\z.txt",
              L"d\\other\\o.txt", L"d\\.hidden.txt\\h.txt", L"beside.txt"});
    ASSERT_TRUE(SetFileAttributesW(box.path(L"d\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    const Snapshot all = box.snapshot();

    // Without recursion the matching files of the folder itself; sub.txt matches but is not empty.
    EXPECT_EQ(S_OK, call(L"DeleteDeep", box.path(L"d"), L"*.txt", false, false).hr);
    EXPECT_EQ(without(all, {L"d\\a.txt"}), box.snapshot());
    // Recursion enters only matching sub-folders (not inner); dotted names and ro.txt stay.
    EXPECT_EQ(S_OK, call(L"DeleteDeep", box.path(L"d\\"), L"*.txt", true, false).hr);
    EXPECT_EQ(without(all, {L"d\\a.txt", L"d\\sub.txt\\x.txt"}), box.snapshot());
    EXPECT_EQ(S_OK, call(L"DeleteDeep", box.path(L"d"), L"*.txt", true, true).hr);
    EXPECT_FALSE(box.exists(L"d\\ro.txt"));
    // The default pattern, Recurse left out (False), then named.
    EXPECT_EQ(S_OK, call(L"DeleteDeep", box.path(L"d")).hr);
    EXPECT_EQ(without(all, {L"d\\a.txt", L"d\\sub.txt\\x.txt", L"d\\ro.txt", L"d\\b.log"}), box.snapshot());
    unique_variant folder = vStr(box.path(L"d").c_str()), yes = vBool(true);
    EXPECT_EQ(S_OK, invoke(late.get(), L"DeleteDeep", {&folder}, {{L"Recurse", &yes}}).hr);
    EXPECT_EQ((Snapshot{{L"beside.txt", "x"},
                        {L"d", "<dir>"},
                        {L"d\\.hidden.txt", "<dir>"},
                        {L"d\\.hidden.txt\\h.txt", "x"},
                        {L"d\\.p.txt", "x"},
                        {L"d\\.profile", "x"}}),
              box.snapshot());
}

TEST_F(FileIO, DriveRootsAndBadPathsChangeNothing) {
    box.make({L"d\\a.txt", L"b.txt"});
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);  // what "C:" and "." stand for
    const Snapshot sandbox = box.snapshot(), temporary = snapshotOf(temporaryFolder());
    const std::set<std::wstring> rootNames = namesIn(L"C:\\"), currentNames = namesIn(current);

    for (const std::wstring& path : {std::wstring(L"C:\\"), std::wstring(L"C:"), std::wstring(L"c:\\\\\\"),
                                     std::wstring(L"C:\\."), std::wstring(L"C:\\users\\.."), std::wstring(L"C:\\*"),
                                     std::wstring(), std::wstring(L"\\"), std::wstring(L"."), std::wstring(L".."),
                                     box.path(L"*"), box.path(L"d\\.."), L"C:\\" + std::wstring(300, L'z')}) {
        SCOPED_TRACE(testing::Message() << fs::path(path).string());
        EXPECT_FALSE(truth(L"DeleteDirectoryDeep", path, true));
        EXPECT_FALSE(truth(L"DeleteDirectory", path, false));
        EXPECT_FALSE(truth(L"DeleteDirectory", path, true));
        EXPECT_EQ(S_OK, call(L"DeleteFileToRecycle", path, true).hr);
        EXPECT_EQ(S_OK, call(L"DeleteFile", path, true).hr);
        EXPECT_EQ(S_OK, call(L"DeleteDeep", path, L"*.*", true, true).hr);
    }
    for (const std::wstring& pattern : {std::wstring(L"C:\\"), std::wstring(L"C:"), std::wstring()})
        EXPECT_TRUE(truth(L"DeleteDirectoryContents", pattern));
    EXPECT_EQ(sandbox, box.snapshot());
    EXPECT_EQ(temporary, snapshotOf(temporaryFolder()));
    EXPECT_EQ(currentNames, namesIn(current));
    EXPECT_EQ(rootNames, namesIn(L"C:\\"));
}

TEST_F(FileIO, CopyAndMove) {
    box.file(L"source.txt", "new");
    box.file(L"target.txt", "old");
    const std::wstring source = box.path(L"source.txt"), target = box.path(L"target.txt");
    EXPECT_EQ(S_OK, call(L"CopyFile", source, box.path(L"sub\\fresh.txt")).hr);
    EXPECT_EQ("new", box.read(L"sub\\fresh.txt")) << "the missing folder is made";
    EXPECT_EQ(S_OK, call(L"CopyFile2", source, target, true).hr);
    EXPECT_EQ("old", box.read(L"target.txt")) << "the target stays";
    EXPECT_EQ("new", box.read(L"target1.txt")) << "beside it a copy under a new name";
    EXPECT_EQ(S_OK, call(L"CopyFile", source, target).hr);
    EXPECT_EQ("new", box.read(L"target.txt")) << "overwritten without a question";

    for (const std::wstring& from : {box.path(L"missing.txt"), std::wstring()}) {
        Call c = call(L"CopyFile2", from, target);
        EXPECT_EQ(vbError(99), c.exception.scode);
        EXPECT_EQ(L"LARKLIB8", c.source());
        EXPECT_EQ(
            L"Unable to copy file: " + from + L".\r\nPlease check for available disk space and access privileges.",
            c.description());
    }

    box.file(L"a.txt", "a");
    const Snapshot before = box.snapshot();
    Call refused = call(L"MoveFile", box.path(L"a.txt"), target);
    EXPECT_EQ(vbError(99), refused.exception.scode);
    EXPECT_EQ(before, box.snapshot()) << "both files as they were";
    EXPECT_EQ(S_OK, call(L"MoveFile", box.path(L"a.txt"), box.path(L"c.txt")).hr);
    EXPECT_EQ(S_OK, call(L"MoveFile", box.path(L"c.txt"), target, true).hr);
    EXPECT_EQ("new", box.read(L"target.txt"));
    EXPECT_EQ("a", box.read(L"target2.txt"));
    EXPECT_EQ(vbError(99), call(L"MoveFile", box.path(L"c.txt"), target, true).exception.scode) << "source gone";
    EXPECT_EQ((std::set<std::wstring>{L"source.txt", L"sub", L"target.txt", L"target1.txt", L"target2.txt"}),
              namesIn(box.root()));
}

TEST_F(FileIO, CreatingFolders) {
    box.make({L"a\\"});
    EXPECT_TRUE(truth(L"CreateFoldersDeep", box.path(L"a\\b\\c")));
    EXPECT_TRUE(fs::is_directory(box.path(L"a\\b\\c")));
    wchar_t missing = L'Y';
    while (GetLogicalDrives() & (1u << (missing - L'A')))
        --missing;
    for (const std::wstring& nothingMade : {std::wstring(1, missing) + L":\\x", std::wstring(L"relative\\path"),
                                            std::wstring(L"C:\\"), box.path(L"a\\b\\c\\")})
        EXPECT_TRUE(truth(L"CreateFoldersDeep", nothingMade));
    EXPECT_FALSE(fs::exists(L"relative"));
    EXPECT_TRUE(truth(L"CreateDirectory", box.path(L"e")));
    for (const std::wstring& refused : {box.path(L"a"), box.path(L"x\\y"), std::wstring()})
        EXPECT_FALSE(truth(L"CreateDirectory", refused));
    EXPECT_FALSE(truth(L"CreateFoldersDeep", box.path(std::wstring(300, L'q'))));
    EXPECT_EQ((std::set<std::wstring>{L"a", L"e"}), namesIn(box.root()));
}

TEST_F(FileIO, RenameFileAndRenameWithDate) {
    box.file(L"a.txt", "a");
    box.file(L"b.txt", "b");
    EXPECT_EQ(vbError(58), call(L"RenameFile", box.path(L"a.txt"), box.path(L"b.txt")).exception.scode);
    EXPECT_EQ(vbError(53), call(L"RenameFile", box.path(L"missing.txt"), box.path(L"c.txt")).exception.scode);
    {
        HeldOpen held(box.path(L"a.txt"));
        EXPECT_EQ(vbError(75), call(L"RenameFile", box.path(L"a.txt"), box.path(L"c.txt")).exception.scode);
    }
    EXPECT_EQ(S_OK, call(L"RenameFile", box.path(L"a.txt"), box.path(L"app.log")).hr);
    DeleteFileW(box.path(L"b.txt").c_str());

    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t stamp[32] = {};
    GetDateFormatW(LOCALE_USER_DEFAULT, 0, &now, L"ddMMMyyyy", stamp, 32);
    const std::wstring dated = std::wstring(L"app_") + stamp + L".log";
    EXPECT_TRUE(truth(L"RenameWithDate", box.path(L"app.log")));
    EXPECT_EQ("a", box.read(dated));
    box.file(L"app.log", "second");
    EXPECT_TRUE(truth(L"RenameWithDate", box.path(L"app.log")));
    // The second name carries the time of the file in the way: app_<date>_hhmmss.log.
    std::set<std::wstring> names = namesIn(box.root());
    ASSERT_EQ(2u, names.size());
    names.erase(dated);
    const std::wstring timed = *names.begin();
    EXPECT_EQ(dated.size() + 7, timed.size());
    EXPECT_EQ(0u, timed.rfind(std::wstring(L"app_") + stamp + L"_", 0));
    EXPECT_EQ("second", box.read(timed));
    // A third time both names are taken; a missing file is no failure.
    box.file(L"app.log", "third");
    EXPECT_FALSE(truth(L"RenameWithDate", box.path(L"app.log")));
    EXPECT_TRUE(box.exists(L"app.log"));
    EXPECT_TRUE(truth(L"RenameWithDate", box.path(L"missing.log")));
}

}  // namespace
}  // namespace lark::test
