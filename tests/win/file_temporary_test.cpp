// CServicesFileUtilities2's naming and temporary members and CServicesFileTemporary2 markers:
// unique names up to the last numbered variant, temporary names and files, and deletion tied
// to the release of markers and of the utilities object.
#include "file_sandbox.hpp"

#include <regex>

namespace lark::test {
namespace {

using Utilities = _CServicesFileUtilities2;
using Marker = _CServicesFileTemporary2;

ComPtr<Utilities> newUtilities() { return createByProgId<Utilities>(L"LARKLIB8.CServicesFileUtilities2"); }

class Temporaries : public testing::Test {
protected:
    ComPtr<Utilities> utilities = newUtilities();
    Sandbox box;

    std::wstring unique(const std::wstring& proposed, HRESULT expected = S_OK) {
        Text in(proposed);
        unique_bstr out;
        EXPECT_EQ(expected, utilities->UniqueFilePath(in.ref(), out.put()));
        EXPECT_EQ(proposed, in.text());
        return str(out.get());
    }
    std::wstring temporaryFile(const wchar_t* extension) {
        unique_bstr ext = bstr(extension), out;
        EXPECT_EQ(S_OK, utilities->GetTemporaryFilePath(ext.get(), out.put()));
        return str(out.get());
    }
    void mark(Utilities* owner, const std::wstring& path, bool folder, bool contents, bool recurse) {
        unique_bstr p = bstr(path.c_str());
        const auto b = [](bool v) { return v ? VARIANT_TRUE : VARIANT_FALSE; };
        EXPECT_EQ(S_OK, owner->MarkTemporaryFile(p.get(), b(folder), b(contents), b(recurse)));
    }
    std::wstring tempFolder(Utilities* owner, const std::wstring& suggested, bool markIt) {
        Text in(suggested);
        unique_bstr out;
        EXPECT_EQ(S_OK, owner->UniqueTempFolder(in.ref(), markIt ? VARIANT_TRUE : VARIANT_FALSE, out.put()));
        return str(out.get());
    }
    // A folder with a file and a sub-folder with a file.
    void tree(const std::wstring& name) {
        box.folder(name);
        box.file(name + L"\\f.txt");
        box.folder(name + L"\\sub");
        box.file(name + L"\\sub\\g.txt");
    }
};

TEST_F(Temporaries, UniqueFilePath) {
    ASSERT_TRUE(utilities);
    EXPECT_EQ(box.path(L"b.txt"), unique(box.path(L"b.txt")));
    box.file(L"b.txt");
    box.file(L"b1.txt");
    box.folder(L"b2.txt");
    EXPECT_EQ(box.path(L"b3.txt"), unique(box.path(L"b.txt"))) << "folders count as taken";
    box.folder(L"f.d");
    box.file(L"f.d\\c");
    EXPECT_EQ(box.path(L"f.d\\c1"), unique(box.path(L"f.d\\c"))) << "a dot in a folder name";
    EXPECT_EQ(L"", unique(L""));

    // All 299 variants taken: error 99, even though the 300th would be free.
    box.folder(L"full");
    box.file(L"full\\n.txt");
    for (int n = 1; n <= 299; ++n)
        box.file(L"full\\n" + std::to_wstring(n) + L".txt");
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(L"", unique(box.path(L"full\\n.txt"), vbError(99)));
    EXPECT_EQ(L"LARKLIB8: ", lastError());
    DeleteFileW(box.path(L"full\\n299.txt").c_str());
    EXPECT_EQ(box.path(L"full\\n299.txt"), unique(box.path(L"full\\n.txt")));
}

TEST_F(Temporaries, TemporaryFilePaths) {
    ASSERT_TRUE(utilities);
    const std::wstring folder = temporaryFolder();
    const std::wstring named = temporaryFile(L".txt");
    ASSERT_EQ(0u, named.rfind(folder, 0));
    const std::wstring name = named.substr(folder.size());
    EXPECT_TRUE(std::regex_match(name, std::wregex(L"~RD[0-9A-F]{4,5}\\.txt")))
        << std::string(name.begin(), name.end());
    EXPECT_FALSE(fs::exists(named)) << "no file with an extension";
    const std::wstring bare = temporaryFile(L"txt");
    EXPECT_TRUE(std::regex_match(bare.substr(folder.size()), std::wregex(L"~RD[0-9A-F]{4,5}txt")));

    // Draws differ from call to call.
    std::set<std::wstring> names;
    for (int i = 0; i < 20; ++i)
        names.insert(temporaryFile(L".x"));
    EXPECT_GT(names.size(), 15u);

    const std::wstring made = temporaryFile(L"");
    ASSERT_EQ(0u, made.rfind(folder, 0));
    EXPECT_TRUE(std::regex_match(made.substr(folder.size()), std::wregex(L"~RD[0-9A-Fa-f]{1,4}\\.tmp")))
        << std::string(made.begin(), made.end());
    EXPECT_TRUE(fs::is_regular_file(made)) << "the platform makes the file";
    EXPECT_EQ(0u, fs::file_size(made));
    EXPECT_NE(made, temporaryFile(nullptr)) << "omitted: a second file";
    for (const std::wstring& name : namesIn(folder))
        if (name.rfind(L"~RD", 0) == 0 && name.size() > 7 && name.substr(name.size() - 4) == L".tmp")
            DeleteFileW((folder + name).c_str());
}

TEST_F(Temporaries, MarkersGoWithTheUtilitiesObject) {
    ASSERT_TRUE(utilities);
    tree(L"deep");
    tree(L"flat");
    tree(L"kept");
    box.folder(L"flat2");
    box.file(L"flat2\\f.txt");
    box.file(L"file.txt");
    box.file(L"twice.txt");
    box.file(L"beside.txt");
    const Snapshot all = box.snapshot();
    {
        ComPtr<Utilities> owner = newUtilities();
        mark(owner.get(), box.path(L"deep\\"), true, true, true);
        mark(owner.get(), box.path(L"flat"), true, true, false);
        mark(owner.get(), box.path(L"flat2"), true, true, false);
        mark(owner.get(), box.path(L"kept"), true, false, true);
        mark(owner.get(), box.path(L"file.txt"), false, false, false);
        mark(owner.get(), box.path(L"twice.txt"), false, false, false);
        EXPECT_EQ(all, box.snapshot()) << "nothing goes while the object lives";

        // Marked a second time (keys ignore case): the new marker goes at once, and deletes.
        mark(owner.get(), box.path(L"TWICE.TXT"), false, false, false);
        EXPECT_FALSE(box.exists(L"twice.txt"));
        box.file(L"twice.txt");  // the first marker is still there, and will take it
    }
    // deep goes whole; flat2 loses its file and then goes; kept stays. flat loses its file, and
    // the removal that its sub-folder stops is retried under a free name, where it stays.
    Snapshot expected = without(all, {L"deep", L"flat", L"flat2", L"file.txt", L"twice.txt"});
    expected[L"flat1"] = expected[L"flat1\\sub"] = "<dir>";
    expected[L"flat1\\sub\\g.txt"] = "x";
    EXPECT_EQ(expected, box.snapshot());
}

TEST_F(Temporaries, UniqueTempFolder) {
    ASSERT_TRUE(utilities);
    box.folder(L"work");
    std::wstring marked, unmarked;
    {
        ComPtr<Utilities> owner = newUtilities();
        marked = tempFolder(owner.get(), box.path(L"work"), true);
        EXPECT_EQ(box.path(L"work1"), marked) << "the first free number";
        box.file(L"work1\\inside.txt");
        box.folder(L"work1\\sub");
        unmarked = tempFolder(owner.get(), box.path(L"work"), false);
        EXPECT_EQ(box.path(L"work2"), unmarked);

        unique_variant suggested = vStr(box.path(L"new").c_str());
        Call c = invoke(ComPtr<IDispatch>(owner.query<IDispatch>()).get(), L"UniqueTempFolder", {&suggested});
        EXPECT_EQ(box.path(L"new"), str(c.result.bstrVal)) << "marked by default";
        EXPECT_TRUE(fs::is_directory(box.path(L"new")));
        EXPECT_TRUE(fs::is_directory(marked));
    }
    EXPECT_FALSE(fs::exists(marked)) << "gone with its contents";
    EXPECT_FALSE(fs::exists(box.path(L"new")));
    EXPECT_TRUE(fs::is_directory(unmarked));
    EXPECT_TRUE(fs::is_directory(box.path(L"work")));

    EXPECT_EQ(L"", tempFolder(utilities.get(), box.path(L"missing\\x"), false)) << "the parent is missing";
    EXPECT_EQ(L"", tempFolder(utilities.get(), L"", false));
}

TEST_F(Temporaries, MarkerObjects) {
    box.file(L"a.txt");
    box.file(L"b.txt");
    box.folder(L"d");
    const Snapshot all = box.snapshot();
    {
        ComPtr<Marker> marker = createByProgId<Marker>(L"LARKLIB8.CServicesFileTemporary2");
        ASSERT_TRUE(marker);
        unique_variant path = vStr(box.path(L"b.txt").c_str()), no = vBool(false);
        Call first = invoke(ComPtr<IDispatch>(marker.query<IDispatch>()).get(), L"Initialize", {&path, &no, &no, &no});
        EXPECT_EQ(S_OK, first.hr);
        EXPECT_EQ(VT_EMPTY, first.result.vt);
        unique_bstr a = bstr(box.path(L"a.txt").c_str());
        unique_variant again;
        EXPECT_EQ(S_OK, marker->Initialize(a.get(), VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, &again))
            << "the later call wins";

        ComPtr<Marker> self;
        EXPECT_EQ(S_OK, marker->get_Self(self.put()));
        EXPECT_EQ(marker.get(), self.get());
        marker = nullptr;
        EXPECT_EQ(all, box.snapshot()) << "still referenced through Self";
    }
    EXPECT_EQ(without(all, {L"a.txt"}), box.snapshot());

    // Never initialized: its release deletes nothing.
    createByProgId<Marker>(L"LARKLIB8.CServicesFileTemporary2");
    // Released on another thread than the one that made it.
    {
        ComPtr<Marker> marker = createByProgId<Marker>(L"LARKLIB8.CServicesFileTemporary2");
        unique_bstr d = bstr(box.path(L"d").c_str());
        unique_variant ignored;
        ASSERT_EQ(S_OK, marker->Initialize(d.get(), VARIANT_TRUE, VARIANT_TRUE, VARIANT_TRUE, &ignored));
        Marker* raw = marker.detach();
        std::thread([raw] { raw->Release(); }).join();
    }
    EXPECT_EQ(without(all, {L"a.txt", L"d"}), box.snapshot());

    // Drive roots and bad paths: released markers delete nothing.
    const std::set<std::wstring> rootNames = namesIn(L"C:\\");
    for (const wchar_t* bad : {L"C:\\", L"C:", L"", L"C:\\*", L"\\", L"C:\\users\\.."}) {
        for (int flags = 0; flags < 4; ++flags) {
            ComPtr<Marker> marker = createByProgId<Marker>(L"LARKLIB8.CServicesFileTemporary2");
            unique_bstr p = bstr(bad);
            unique_variant ignored;
            marker->Initialize(p.get(), VARIANT_TRUE, flags & 1 ? VARIANT_TRUE : VARIANT_FALSE,
                               flags & 2 ? VARIANT_TRUE : VARIANT_FALSE, &ignored);
        }
    }
    EXPECT_EQ(rootNames, namesIn(L"C:\\"));
    EXPECT_EQ(without(all, {L"a.txt", L"d"}), box.snapshot());
}

}  // namespace
}  // namespace lark::test
