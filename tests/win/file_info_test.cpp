// CServicesFileInfo2 against the prefix's file system: existence, kinds and dates, shell names,
// INI values, write access with files held open by another handle, and the message boxes of
// ConfirmFileAvailableForWriting answered from a helper thread.
#include "file_sandbox.hpp"

namespace lark::test {
namespace {

using Info = _CServicesFileInfo2;
using Question = HRESULT (STDMETHODCALLTYPE Info::*)(BSTR*, VARIANT_BOOL*);

class FileInfo : public testing::Test {
protected:
    ComPtr<Info> info = createByProgId<Info>(L"LARKLIB8.CServicesFileInfo2");
    ComPtr<IDispatch> late = info.query<IDispatch>();
    Sandbox box;

    // A Boolean member, through the dual interface; the argument must stay as it was.
    bool ask(Question member, const std::wstring& path) {
        Text in(path);
        VARIANT_BOOL result = 7;
        EXPECT_EQ(S_OK, (info.get()->*member)(in.ref(), &result));
        EXPECT_EQ(path, in.text());
        EXPECT_TRUE(result == VARIANT_TRUE || result == VARIANT_FALSE) << result;
        return result == VARIANT_TRUE;
    }
    std::wstring name(HRESULT (STDMETHODCALLTYPE Info::*member)(BSTR*, BSTR*), const std::wstring& path) {
        Text in(path);
        unique_bstr out;
        EXPECT_EQ(S_OK, (info.get()->*member)(in.ref(), out.put()));
        return str(out.get());
    }
    DATE modified(const std::wstring& path) {
        Text in(path);
        DATE date = -1;
        EXPECT_EQ(S_OK, info->GetDateLastModified(in.ref(), &date));
        return date;
    }
};

TEST_F(FileInfo, ExistenceAndKind) {
    ASSERT_TRUE(info);
    box.file(L"a.txt");
    box.folder(L"My Folder");
    box.file(L"My Folder\\b c.txt");
    const std::wstring root = box.root();
    const std::wstring url = L"file:///" + root + L"/My%20Folder/b%20c.txt";

    const struct {
        std::wstring path;
        bool exists, directory;
    } cases[] = {
        {box.path(L"a.txt"), true, false},
        {box.path(L"My Folder"), true, true},
        {box.path(L"My Folder\\"), true, true},
        {L"C:\\", true, true},              // a drive root, which the search does not report
        {box.path(L"*.txt"), true, false},  // a pattern that matches
        {box.path(L"*.none"), false, false},
        {L"FILE:///" + root + L"\\My%20Folder\\b%20c.txt", true, false},
        {url, true, false},
        {L"file:///" + root + L"/My%20Folder/missing.txt", false, false},
        {box.path(L"missing.txt"), false, false},
        {box.path(L"missing\\a.txt"), false, false},
        {L"", false, false},
        {L"C:\\" + std::wstring(300, L'a'), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "path " << std::string(c.path.begin(), c.path.end()).substr(0, 80));
        EXPECT_EQ(c.exists, ask(&Info::FileExists, c.path));
        EXPECT_EQ(c.directory, ask(&Info::IsDirectory, c.path));
        EXPECT_EQ(c.directory, ask(&Info::DirectoryExists, c.path));
    }

    // A null string and a missing argument are False, not errors.
    VARIANT_BOOL result = 7;
    EXPECT_EQ(S_OK, info->FileExists(nullptr, &result));
    EXPECT_EQ(VARIANT_FALSE, result);
    unique_variant nothing = vStr(nullptr);
    Call call = invoke(late.get(), L"fileexists", {&nothing});
    EXPECT_EQ(S_OK, call.hr);
    EXPECT_EQ(VT_BOOL, call.result.vt);
    EXPECT_EQ(VARIANT_FALSE, call.result.boolVal);
}

TEST_F(FileInfo, DateLastModifiedInLocalTimeWholeSeconds) {
    ASSERT_TRUE(info);
    box.file(L"dated.txt");
    // 4 December 2026 15:30:12.789 UTC.
    SYSTEMTIME utc{2026, 12, 5, 4, 15, 30, 12, 789};
    FILETIME written{}, local{};
    ASSERT_TRUE(SystemTimeToFileTime(&utc, &written));
    HANDLE h =
        CreateFileW(box.path(L"dated.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &written));
    CloseHandle(h);

    ASSERT_TRUE(FileTimeToLocalFileTime(&written, &local));
    SYSTEMTIME expected{};
    FileTimeToSystemTime(&local, &expected);
    expected.wMilliseconds = 0;
    DATE date = 0;
    SystemTimeToVariantTime(&expected, &date);
    EXPECT_DOUBLE_EQ(date, modified(box.path(L"dated.txt")));
    EXPECT_DOUBLE_EQ(date, modified(box.path(L"dated.*"))) << "the first match of a pattern";

    SYSTEMTIME back{};
    ASSERT_TRUE(VariantTimeToSystemTime(modified(box.path(L"dated.txt")), &back));
    EXPECT_EQ(expected.wHour, back.wHour);
    EXPECT_EQ(12, back.wSecond);

    EXPECT_EQ(0.0, modified(box.path(L"missing.txt")));
    EXPECT_EQ(0.0, modified(L""));
}

TEST_F(FileInfo, ShellNames) {
    ASSERT_TRUE(info);
    box.file(L"report.txt");
    box.file(L"data.zqx9");
    const std::wstring display = name(&Info::GetDisplayName, box.path(L"report.txt"));
    EXPECT_TRUE(display == L"report.txt" || display == L"report") << std::string(display.begin(), display.end());
    EXPECT_EQ(L"", name(&Info::GetDisplayName, box.path(L"missing.txt")));
    EXPECT_EQ(L"", name(&Info::GetTypeName, box.path(L"missing.txt")));

    // An extension nobody registered: the shell makes a name up, or has none at all.
    std::wstring unknown = name(&Info::GetTypeName, box.path(L"data.zqx9"));
    EXPECT_FALSE(unknown.empty());
    CharUpperW(unknown.data());
    EXPECT_TRUE(unknown.find(L"ZQX9") != std::wstring::npos || unknown == L"<NO FILE ASSOCIATION>")
        << std::string(unknown.begin(), unknown.end());
}

TEST_F(FileInfo, ValuesAndNameListsFromINIFiles) {
    ASSERT_TRUE(info);
    const std::string longValue(3000, 'v');
    box.file(L"app.ini", "[First]\r\nkey=value one\r\nother=2\r\n[Second]\r\nlong=" + longValue + "\r\n");
    const std::wstring ini = box.path(L"app.ini");

    const auto read = [&](BSTR section, BSTR key, const wchar_t* fallback) {
        Text file(ini), def(fallback);
        unique_bstr out;
        EXPECT_EQ(S_OK, info->GetItemFromINIFile(&section, &key, def.ref(), file.ref(), out.put()));
        return str(out.get());
    };
    unique_bstr first = bstr(L"first"), key = bstr(L"KEY"), missing = bstr(L"missing"), second = bstr(L"Second"),
                longKey = bstr(L"long"), empty = bstr(L"");
    EXPECT_EQ(L"value one", read(first.get(), key.get(), L"dflt"));
    EXPECT_EQ(L"dflt", read(first.get(), missing.get(), L"dflt"));
    EXPECT_EQ(L"dflt", read(missing.get(), key.get(), L"dflt"));
    EXPECT_EQ(L"dflt", read(first.get(), empty.get(), L"dflt")) << "an empty key is a key, not a list request";
    EXPECT_EQ(std::wstring(L"key\0other\0", 10), read(first.get(), nullptr, L"")) << "null key: the key names";
    EXPECT_EQ(std::wstring(L"First\0Second\0", 13), read(nullptr, nullptr, L"")) << "null section: the sections";
    EXPECT_EQ(std::wstring(2047, L'v'), read(second.get(), longKey.get(), L"")) << "a 2,048-character buffer";

    // Late-bound, as a script passes its variables.
    unique_variant s = vStr(L"First"), k = vStr(L"other"), d = vStr(L""), f = vStr(ini.c_str());
    Call call = invoke(late.get(), L"GetItemFromINIFile", {&s, &k, &d, &f});
    ASSERT_EQ(S_OK, call.hr);
    EXPECT_EQ(L"2", str(call.result.bstrVal));
}

TEST_F(FileInfo, WriteAccess) {
    ASSERT_TRUE(info);
    box.file(L"free.txt");
    box.file(L"held.txt");
    HeldOpen held(box.path(L"held.txt"));

    EXPECT_TRUE(ask(&Info::FileAvailableForWriting, box.path(L"free.txt")));
    EXPECT_FALSE(ask(&Info::FileAvailableForWriting, box.path(L"held.txt")));
    EXPECT_FALSE(ask(&Info::FileAvailableForWriting, box.path(L"missing.txt")));
    EXPECT_FALSE(ask(&Info::FileAvailableForWriting, box.path(L"*.txt")));
    EXPECT_TRUE(ask(&Info::VerifyFileWriteAccess, box.path(L"free.txt")));
    EXPECT_FALSE(ask(&Info::VerifyFileWriteAccess, box.path(L"held.txt")));

    // The probes are made and removed again: the sandbox is as it was.
    const Snapshot before = box.snapshot();
    EXPECT_TRUE(ask(&Info::VerifyFileWriteAccess, box.path(L"new.txt")));
    EXPECT_FALSE(ask(&Info::VerifyFileWriteAccess, box.path(L"missing\\new.txt")));
    EXPECT_FALSE(ask(&Info::VerifyFileWriteAccess, L""));
    EXPECT_FALSE(ask(&Info::VerifyFileWriteAccess, L"C:\\" + std::wstring(300, L'a')));
    EXPECT_TRUE(ask(&Info::VerifyFolderWriteAccess, box.root()));
    EXPECT_TRUE(ask(&Info::VerifyFolderWriteAccess, box.root() + L"\\"));
    EXPECT_FALSE(ask(&Info::VerifyFolderWriteAccess, box.path(L"missing")));
    EXPECT_EQ(before, box.snapshot());
    EXPECT_EQ(L"x", std::wstring(1, wchar_t(box.read(L"free.txt")[0])));
}

// ConfirmFileAvailableForWriting, its message boxes answered by a helper thread.
class ConfirmWriting : public FileInfo {
protected:
    LONG confirm(const std::wstring& path) {
        Text in(path);
        LONG result = -1;
        EXPECT_EQ(S_OK, info->ConfirmFileAvailableForWriting(in.ref(), &result));
        return result;
    }
    static constexpr const wchar_t* kInUse = L"Emberfox: File In Use";
};

TEST_F(ConfirmWriting, FreeFileAtOnceMissingFileWithMessage) {
    ASSERT_TRUE(info);
    box.file(L"free.txt");
    {
        MessageBoxAnswerer any(kInUse, [](HWND b) { press(b, IDCANCEL); });
        EXPECT_EQ(1, confirm(box.path(L"free.txt")));
        EXPECT_EQ(0, any.seen()) << "no message for a free file";
    }
    std::wstring text;
    MessageBoxAnswerer notFound(L"Emberfox: File Not Found", [&](HWND b) {
        text = messageText(b);
        press(b, IDOK);
    });
    EXPECT_EQ(2, confirm(box.path(L"missing.txt")));
    EXPECT_EQ(1, notFound.seen());
    EXPECT_EQ(L"Could not locate the file: \r\n" + box.path(L"missing.txt"), text);
}

TEST_F(ConfirmWriting, CancelWhileHeldRetryAfterRelease) {
    ASSERT_TRUE(info);
    box.file(L"held.txt");
    const std::wstring path = box.path(L"held.txt");
    HeldOpen held(path);
    {
        std::wstring text;
        MessageBoxAnswerer cancel(kInUse, [&](HWND b) {
            text = messageText(b);
            press(b, IDCANCEL);
        });
        EXPECT_EQ(2, confirm(path));
        EXPECT_EQ(1, cancel.seen());
        EXPECT_EQ(path + L"\r\nis currently being used by another application.", text);
    }
    {
        // The first Retry finds it still held; the file is released before the second.
        int answered = 0;
        MessageBoxAnswerer retry(kInUse, [&](HWND b) {
            if (++answered == 2) held.release();
            press(b, IDRETRY);
        });
        EXPECT_EQ(1, confirm(path));
        EXPECT_EQ(2, retry.seen());
    }
}

}  // namespace
}  // namespace lark::test
