// CServicesFileInfo2 against the prefix's file system: existence and kind, dates, shell names,
// INI values, write access beside files held open by another handle, and the message boxes of
// ConfirmFileAvailableForWriting answered from a helper thread.
#include "file_sandbox.hpp"

namespace lark::test {
namespace {

using Info = _CServicesFileInfo2;

class FileInfo : public testing::Test {
protected:
    ComPtr<Info> info = createByProgId<Info>(L"LARKLIB8.CServicesFileInfo2");
    Sandbox box;

    // A member through the dual interface; the caller's string stays as it was.
    template <class Result>
    Result call(HRESULT (STDMETHODCALLTYPE Info::*member)(BSTR*, Result*), const std::wstring& path) {
        Text in(path);
        Result result{};
        EXPECT_EQ(S_OK, (info.get()->*member)(in.ref(), &result));
        EXPECT_EQ(path, in.text());
        return result;
    }
    bool ask(HRESULT (STDMETHODCALLTYPE Info::*member)(BSTR*, VARIANT_BOOL*), const std::wstring& path) {
        return call(member, path) == VARIANT_TRUE;
    }
    std::wstring name(HRESULT (STDMETHODCALLTYPE Info::*member)(BSTR*, BSTR*), const std::wstring& path) {
        unique_bstr out(call(member, path));
        return str(out.get());
    }
};

TEST_F(FileInfo, ExistenceKindAndDates) {
    box.make({L"a.txt", L"My Folder\\", L"My Folder\\b c.txt"});
    const std::wstring missing = box.path(L"missing.txt"), tooLong = L"C:\\" + std::wstring(300, L'a');
    const struct {
        std::wstring path;
        bool exists, folder;
    } cases[] = {{box.path(L"a.txt"), true, false},
                 {box.path(L"My Folder\\"), true, true},
                 {L"C:\\", true, true},
                 {box.path(L"*.txt"), true, false},
                 {box.path(L"*.none"), false, false},
                 {L"file:///" + box.root() + L"/My%20Folder/b%20c.txt", true, false},
                 {L"FILE://" + box.path(L"My%20Folder"), true, false},
                 {missing, false, false},
                 {L"", false, false},
                 {tooLong, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << fs::path(c.path).string());
        EXPECT_EQ(c.exists, ask(&Info::FileExists, c.path));
        EXPECT_EQ(c.folder, ask(&Info::IsDirectory, c.path));
        EXPECT_EQ(c.folder, ask(&Info::DirectoryExists, c.path));
    }
    VARIANT_BOOL result = 7;
    EXPECT_EQ(S_OK, info->FileExists(nullptr, &result));
    EXPECT_EQ(VARIANT_FALSE, result);

    // Local time, whole seconds: 4 December 2026 15:30:12.789 UTC as written.
    SYSTEMTIME utc{2026, 12, 5, 4, 15, 30, 12, 789}, local{};
    FILETIME written{}, localTime{};
    SystemTimeToFileTime(&utc, &written);
    HANDLE h = CreateFileW(box.path(L"a.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &written));
    CloseHandle(h);
    FileTimeToLocalFileTime(&written, &localTime);
    FileTimeToSystemTime(&localTime, &local);
    local.wMilliseconds = 0;
    DATE expected = 0;
    SystemTimeToVariantTime(&local, &expected);
    EXPECT_DOUBLE_EQ(expected, call(&Info::GetDateLastModified, box.path(L"a.txt")));
    EXPECT_DOUBLE_EQ(expected, call(&Info::GetDateLastModified, box.path(L"a.*"))) << "the first match";
    EXPECT_EQ(0.0, call(&Info::GetDateLastModified, missing));
    EXPECT_EQ(0.0, call(&Info::GetDateLastModified, L""));
}

TEST_F(FileInfo, ShellNamesAndINIValues) {
    box.make({L"report.txt", L"data.zqx9"});
    const std::wstring display = name(&Info::GetDisplayName, box.path(L"report.txt"));
    EXPECT_TRUE(display == L"report.txt" || display == L"report") << fs::path(display).string();
    std::wstring type = name(&Info::GetTypeName, box.path(L"data.zqx9"));
    CharUpperW(type.data());
    EXPECT_TRUE(type.find(L"ZQX9") != std::wstring::npos || type == L"<NO FILE ASSOCIATION>") << type.size();
    EXPECT_EQ(L"", name(&Info::GetDisplayName, box.path(L"missing.txt")));
    EXPECT_EQ(L"", name(&Info::GetTypeName, box.path(L"missing.txt")));

    box.file(L"app.ini", "[First]\r\nkey=value one\r\nother=2\r\n[Second]\r\nlong=" + std::string(3000, 'v') + "\r\n");
    const auto read = [&](const wchar_t* section, const wchar_t* key) {
        unique_bstr s(section ? SysAllocString(section) : nullptr), k(key ? SysAllocString(key) : nullptr);
        BSTR sv = s.get(), kv = k.get();
        Text fallback(L"dflt"), file(box.path(L"app.ini"));
        unique_bstr out;
        EXPECT_EQ(S_OK, info->GetItemFromINIFile(&sv, &kv, fallback.ref(), file.ref(), out.put()));
        return str(out.get());
    };
    EXPECT_EQ(L"value one", read(L"first", L"KEY"));
    EXPECT_EQ(L"dflt", read(L"First", L"missing"));
    EXPECT_EQ(L"dflt", read(L"First", L"")) << "an empty key is a key, not a request for the list";
    EXPECT_EQ(std::wstring(L"key\0other\0", 10), read(L"First", nullptr)) << "null key: the key names";
    EXPECT_EQ(std::wstring(L"First\0Second\0", 13), read(nullptr, nullptr)) << "null section: the sections";
    EXPECT_EQ(std::wstring(2047, L'v'), read(L"Second", L"long")) << "a 2,048-character buffer";
}

TEST_F(FileInfo, WriteAccessLeavesNoProbeBehind) {
    box.make({L"free.txt", L"held.txt"});
    HeldOpen held(box.path(L"held.txt"));
    EXPECT_TRUE(ask(&Info::FileAvailableForWriting, box.path(L"free.txt")));
    EXPECT_TRUE(ask(&Info::VerifyFileWriteAccess, box.path(L"free.txt")));
    for (const std::wstring& path : {box.path(L"held.txt"), box.path(L"missing.txt"), box.path(L"*.txt")})
        EXPECT_FALSE(ask(&Info::FileAvailableForWriting, path));
    EXPECT_FALSE(ask(&Info::VerifyFileWriteAccess, box.path(L"held.txt")));

    const Snapshot before = box.snapshot();
    EXPECT_TRUE(ask(&Info::VerifyFileWriteAccess, box.path(L"new.txt")));
    EXPECT_TRUE(ask(&Info::VerifyFolderWriteAccess, box.root()));
    EXPECT_TRUE(ask(&Info::VerifyFolderWriteAccess, box.root() + L"\\"));
    for (const std::wstring& path : {box.path(L"missing\\new.txt"), std::wstring(), L"C:\\" + std::wstring(300, L'a')})
        EXPECT_FALSE(ask(&Info::VerifyFileWriteAccess, path));
    EXPECT_FALSE(ask(&Info::VerifyFolderWriteAccess, box.path(L"missing")));
    EXPECT_EQ(before, box.snapshot());
}

TEST_F(FileInfo, ConfirmFileAvailableForWriting) {
    box.make({L"free.txt", L"held.txt"});
    const std::wstring held = box.path(L"held.txt"), missing = box.path(L"missing.txt");
    std::vector<std::wstring> texts;
    const auto answerWith = [&](int button) {
        return [&texts, button](HWND b) { texts.push_back(messageText(b)), press(b, button); };
    };
    {
        MessageBoxAnswerer none(L"Emberfox: File In Use", answerWith(IDCANCEL));
        EXPECT_EQ(1, call(&Info::ConfirmFileAvailableForWriting, box.path(L"free.txt")));
        EXPECT_EQ(0, none.seen()) << "no message for a free file";
    }
    {
        MessageBoxAnswerer notFound(L"Emberfox: File Not Found", answerWith(IDOK));
        EXPECT_EQ(2, call(&Info::ConfirmFileAvailableForWriting, missing));
    }
    HeldOpen holder(held);
    {
        MessageBoxAnswerer cancel(L"Emberfox: File In Use", answerWith(IDCANCEL));
        EXPECT_EQ(2, call(&Info::ConfirmFileAvailableForWriting, held));
    }
    {
        // The first Retry finds the file still held; it is released before the second.
        MessageBoxAnswerer retry(L"Emberfox: File In Use", [&](HWND b) {
            if (texts.size() == 3) holder.release();
            answerWith(IDRETRY)(b);
        });
        EXPECT_EQ(1, call(&Info::ConfirmFileAvailableForWriting, held));
    }
    const std::wstring inUse = held + L"\r\nis currently being used by another application.";
    EXPECT_EQ((std::vector<std::wstring>{L"Could not locate the file: \r\n" + missing, inUse, inUse, inUse}), texts);
}

}  // namespace
}  // namespace lark::test
