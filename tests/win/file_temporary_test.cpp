// CServicesFileUtilities2's naming and temporary members and CServicesFileTemporary2 markers:
// unique names up to the last numbered variant, temporary names and files, and deletion tied to
// the release of markers and of the utilities object.
#include "file_sandbox.hpp"

#include <regex>

namespace lark::test {
namespace {

using Utilities = _CServicesFileUtilities2;
using Marker = _CServicesFileTemporary2;

ComPtr<Utilities> newUtilities() { return createByProgId<Utilities>(L"LARKLIB8.CServicesFileUtilities2"); }
ComPtr<Marker> newMarker() { return createByProgId<Marker>(L"LARKLIB8.CServicesFileTemporary2"); }
VARIANT_BOOL flag(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

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
    static void mark(Utilities* owner, const std::wstring& path, bool folder, bool contents, bool recurse) {
        unique_bstr p = bstr(path.c_str());
        EXPECT_EQ(S_OK, owner->MarkTemporaryFile(p.get(), flag(folder), flag(contents), flag(recurse)));
    }
    static std::wstring tempFolder(Utilities* owner, const std::wstring& suggested, bool markIt) {
        Text in(suggested);
        unique_bstr out;
        EXPECT_EQ(S_OK, owner->UniqueTempFolder(in.ref(), flag(markIt), out.put()));
        return str(out.get());
    }
};

TEST_F(Temporaries, UniqueFilePath) {
    EXPECT_EQ(box.path(L"b.txt"), unique(box.path(L"b.txt")));
    box.make({L"b.txt", L"b1.txt", L"b2.txt\\"});
    EXPECT_EQ(box.path(L"b3.txt"), unique(box.path(L"b.txt"))) << "folders count as taken";
    EXPECT_EQ(L"", unique(L""));

    // All 299 variants taken: error 99, even though the 300th would be free.
    box.make({L"full\\n.txt"});
    for (int n = 1; n <= 299; ++n)
        box.make({L"full\\n" + std::to_wstring(n) + L".txt"});
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(L"", unique(box.path(L"full\\n.txt"), vbError(99)));
    EXPECT_EQ(L"LARKLIB8: ", lastError());
    DeleteFileW(box.path(L"full\\n299.txt").c_str());
    EXPECT_EQ(box.path(L"full\\n299.txt"), unique(box.path(L"full\\n.txt")));
}

TEST_F(Temporaries, TemporaryFilePaths) {
    const std::wstring folder = temporaryFolder();
    std::set<std::wstring> names;
    for (int i = 0; i < 20; ++i) {
        const std::wstring named = temporaryFile(L".txt");
        ASSERT_EQ(0u, named.rfind(folder, 0));
        EXPECT_TRUE(std::regex_match(named.substr(folder.size()), std::wregex(L"~RD[0-9A-F]{4,5}\\.txt")));
        EXPECT_FALSE(fs::exists(named)) << "nothing is made for a name with an extension";
        names.insert(named);
    }
    EXPECT_GT(names.size(), 15u) << "the draws differ";

    const std::wstring made = temporaryFile(L""), omitted = temporaryFile(nullptr);
    EXPECT_TRUE(std::regex_match(made.substr(folder.size()), std::wregex(L"~RD[0-9A-Fa-f]{1,4}\\.tmp")));
    EXPECT_TRUE(fs::is_regular_file(made) && fs::file_size(made) == 0) << "the platform makes an empty file";
    EXPECT_TRUE(fs::is_regular_file(omitted));
    EXPECT_NE(made, omitted);
    fs::remove(made);
    fs::remove(omitted);
}

TEST_F(Temporaries, MarkersGoWithTheUtilitiesObject) {
    box.make({L"deep\\sub\\", L"deep\\f.txt", L"flat\\sub\\", L"flat\\f.txt", L"flat\\sub\\g.txt", L"flat2\\f.txt",
              L"kept\\f.txt", L"file.txt", L"twice.txt", L"beside.txt"});
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
        box.make({L"twice.txt"});  // the first marker is still there, and takes it at the end
    }
    // flat loses its file; the removal its sub-folder stops is retried under a free name,
    // where the folder stays.
    Snapshot expected = without(all, {L"deep", L"flat", L"flat2", L"file.txt", L"twice.txt"});
    expected[L"flat1"] = expected[L"flat1\\sub"] = "<dir>";
    expected[L"flat1\\sub\\g.txt"] = "x";
    EXPECT_EQ(expected, box.snapshot());
}

TEST_F(Temporaries, UniqueTempFolder) {
    box.make({L"work\\"});
    std::wstring marked, byDefault;
    {
        ComPtr<Utilities> owner = newUtilities();
        marked = tempFolder(owner.get(), box.path(L"work"), true);
        EXPECT_EQ(box.path(L"work1"), marked) << "the first free number";
        box.make({L"work1\\inside.txt", L"work1\\sub\\"});
        EXPECT_EQ(box.path(L"work2"), tempFolder(owner.get(), box.path(L"work"), false));
        unique_variant suggested = vStr(box.path(L"new").c_str());
        byDefault = str(invoke(owner.query<IDispatch>().get(), L"UniqueTempFolder", {&suggested}).result.bstrVal);
        EXPECT_TRUE(fs::is_directory(box.path(L"new")));
    }
    EXPECT_EQ(box.path(L"new"), byDefault);
    EXPECT_EQ((std::set<std::wstring>{L"work", L"work2"}), namesIn(box.root())) << "marked ones gone, contents too";
    EXPECT_EQ(L"", tempFolder(utilities.get(), box.path(L"missing\\x"), false)) << "the parent is missing";
    EXPECT_EQ(L"", tempFolder(utilities.get(), L"", false));
}

TEST_F(Temporaries, MarkerObjects) {
    box.make({L"a.txt", L"b.txt", L"d\\f.txt"});
    const Snapshot all = box.snapshot();
    {
        ComPtr<Marker> marker = newMarker();
        unique_variant path = vStr(box.path(L"b.txt").c_str()), no = vBool(false);
        Call first = invoke(marker.query<IDispatch>().get(), L"Initialize", {&path, &no, &no, &no});
        EXPECT_EQ(S_OK, first.hr);
        EXPECT_EQ(VT_EMPTY, first.result.vt);
        unique_bstr a = bstr(box.path(L"a.txt").c_str());
        unique_variant again;
        EXPECT_EQ(S_OK, marker->Initialize(a.get(), VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, &again));
        ComPtr<Marker> self;
        EXPECT_EQ(S_OK, marker->get_Self(self.put()));
        EXPECT_EQ(marker.get(), self.get());
        marker = nullptr;
        EXPECT_EQ(all, box.snapshot()) << "still referenced through Self";
    }
    EXPECT_EQ(without(all, {L"a.txt"}), box.snapshot()) << "the later Initialize counts";

    newMarker();  // never initialized: its release deletes nothing
    {
        // Released on another thread than the one that made it.
        ComPtr<Marker> marker = newMarker();
        unique_bstr d = bstr(box.path(L"d").c_str());
        unique_variant ignored;
        ASSERT_EQ(S_OK, marker->Initialize(d.get(), VARIANT_TRUE, VARIANT_TRUE, VARIANT_TRUE, &ignored));
        std::thread([raw = marker.detach()] { raw->Release(); }).join();
    }
    EXPECT_EQ(without(all, {L"a.txt", L"d"}), box.snapshot());

    const std::set<std::wstring> rootNames = namesIn(L"C:\\");
    for (const wchar_t* bad : {L"C:\\", L"C:", L"", L"C:\\*", L"\\", L"C:\\users\\.."}) {
        for (int flags = 0; flags < 4; ++flags) {
            unique_bstr p = bstr(bad);
            unique_variant ignored;
            newMarker()->Initialize(p.get(), VARIANT_TRUE, flag(flags & 1), flag(flags & 2), &ignored);
        }
    }
    EXPECT_EQ(rootNames, namesIn(L"C:\\")) << "drive roots and bad paths: nothing deleted";
    EXPECT_EQ(without(all, {L"a.txt", L"d"}), box.snapshot());
}

}  // namespace
}  // namespace lark::test
