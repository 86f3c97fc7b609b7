// CVersion against files whose version resources the tests chose (built with windres into
// C:\larklib\fixtures) and the library's own DLL, and against files that
// are missing, carry no resource, are no PE files or have broken resources.
#include "com_support.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace lark::test {
namespace {

std::wstring fixture(const std::wstring& name) { return L"C:\\larklib\\fixtures\\" + name; }

using Values = std::map<std::wstring, std::wstring>;

// Every property, with what an instance that holds nothing answers.
// clang-format off
const Values kEmpty = {
    {L"ExeName", L""}, {L"FullFileVersion", L""}, {L"FullProductVersion", L""}, {L"FileVersionMajor", L"0"},
    {L"FileVersionMinor", L"0"}, {L"ProductVersionMajor", L"0"}, {L"ProductVersionMinor", L"0"},
    {L"BuildOptions", L"0"}, {L"BuildString", L""}, {L"Environment", L""}, {L"ExeType", L""}, {L"TimeStamp", L"0"},
    {L"Company", L""}, {L"Comments", L""}, {L"Description", L""}, {L"ProductVersionString", L""},
    {L"FileVersionString", L""}, {L"InternalName", L""}, {L"Copyright", L""}, {L"Trademarks", L""},
    {L"OriginalFilename", L""}, {L"PrivateBuild", L""}, {L"ProductName", L""}, {L"ProductVersion", L""},
    {L"SpecialBuild", L""}};
// clang-format on

// Every property read late-bound by name, as text (a date as the number behind it).
Values readAll(_CVersion* version) {
    Values out;
    ComPtr<IDispatch> late = ComPtr<_CVersion>(version).query<IDispatch>();
    for (const auto& [name, empty] : kEmpty) {
        Call call = invoke(late.get(), name.c_str(), {}, {}, DISPATCH_PROPERTYGET);
        EXPECT_EQ(S_OK, call.hr) << name;
        if (call.result.vt == VT_DATE) call.result.vt = VT_R8;
        unique_variant text;
        EXPECT_EQ(S_OK, VariantChangeType(&text, &call.result, 0, VT_BSTR)) << name;
        out[name] = str(text.bstrVal);
    }
    return out;
}

void expectValues(const Values& expected, const Values& actual) {
    for (const auto& [name, value] : expected) {
        auto found = actual.find(name);
        ASSERT_NE(actual.end(), found) << name;
        EXPECT_EQ(value, found->second) << name;
    }
}

std::wstring custom(_CVersion* version, const wchar_t* name) {
    Text entry(name);
    BSTR before = entry.value;
    BSTR value = nullptr;
    EXPECT_EQ(S_OK, version->get_Custom(entry.ref(), &value));
    EXPECT_EQ(before, entry.value) << "the entry name is the caller's and stays as it was";
    std::wstring out = str(value);
    SysFreeString(value);
    return out;
}

HRESULT create(_CVersion* version, const std::wstring& path) {
    Text name(path);
    BSTR before = name.value;
    HRESULT hr = version->Create(name.ref());
    EXPECT_EQ(before, name.value);
    EXPECT_EQ(path, name.text());
    return hr;
}

// The code the platform itself reports for a file without readable version information.
DWORD platformCode(const std::wstring& path) {
    DWORD unused = 0;
    SetLastError(0);
    EXPECT_EQ(0u, GetFileVersionInfoSizeW(path.c_str(), &unused)) << "the file was meant to have no resource";
    return GetLastError();
}

void writeFile(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string readFile(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Text as it comes back from the system code page.
std::wstring throughAnsi(const std::wstring& text) {
    char ansi[256] = {};
    int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), int(text.size()), ansi, sizeof ansi, nullptr, nullptr);
    wchar_t wide[256] = {};
    return std::wstring(wide, MultiByteToWideChar(CP_ACP, 0, ansi, n, wide, 256));
}

class Version : public testing::Test {
protected:
    ComPtr<_CVersion> version = createByProgId<_CVersion>(L"LARKLIB8.CVersion");
};

TEST_F(Version, EveryPropertyOfAFixtureWithEveryEntry) {
    ASSERT_TRUE(version);
    const std::wstring path = fixture(L"version_full.dll");
    ASSERT_EQ(S_OK, create(version.get(), path)) << lastError();
    expectValues({{L"ExeName", path},
                  {L"FullFileVersion", L"1.2.3.4"},
                  {L"FullProductVersion", L"5.6.7.8"},
                  {L"FileVersionMajor", L"65538"},
                  {L"FileVersionMinor", L"196612"},
                  {L"ProductVersionMajor", std::to_wstring(5 * 65536 + 6)},
                  {L"ProductVersionMinor", std::to_wstring(7 * 65536 + 8)},
                  {L"BuildOptions", L"33"},
                  {L"BuildString", L"Debug SpecialBuild "},
                  {L"Environment", L"Windows (16-bit) under MS-DOS"},
                  {L"ExeType", L"Driver"},
                  {L"TimeStamp", L"0"},
                  {L"Company", L"Larkspur Test Works"},
                  {L"Comments", throughAnsi(L"Fixture comments \xE9")},
                  {L"Description", L"Version fixture with every entry"},
                  {L"ProductVersionString", L"5.6.7.8 beta"},
                  {L"FileVersionString", L"1.2.3.4 (fixture)"},
                  {L"InternalName", L"version_full"},
                  {L"Copyright", L"Copyright (C) 2026 Larkspur"},
                  {L"Trademarks", L"Lark(TM)"},
                  {L"OriginalFilename", L"version_full.dll"},
                  {L"PrivateBuild", L"built by the tests"},
                  {L"ProductName", L"Lark Fixtures"},
                  {L"ProductVersion", L"5.6.7.8 beta"},
                  {L"SpecialBuild", L"special 0x20"}},
                 readAll(version.get()));
    EXPECT_EQ(L"1.2.3.4 (fixture)", custom(version.get(), L"FileVersion"));
    EXPECT_EQ(L"fixture-host", custom(version.get(), L"BuildMachine"));
    EXPECT_EQ(L"", custom(version.get(), L"NoSuchEntry"));
    EXPECT_EQ(L"", custom(version.get(), L""));  // read late-bound by name in version.vbs
}

TEST_F(Version, TheLibraryItself) {
    ASSERT_TRUE(version);
    ASSERT_EQ(S_OK, create(version.get(), L"C:\\larklib\\LARKLIB8.dll")) << lastError();
    expectValues({{L"FullFileVersion", L"2010.0.0.97"},
                  {L"FullProductVersion", L"2010.0.0.97"},
                  {L"ExeType", L"Dynamic Link Library"},
                  {L"Environment", L"Windows (32-bit) under Windows-NT"},
                  {L"BuildString", L""},
                  {L"Company", L"LARKLIB8 developers"},
                  {L"OriginalFilename", L"LARKLIB8.dll"}},
                 readAll(version.get()));
}

TEST_F(Version, CreateRaisesThePlatformsCodeAndLeavesTheInstanceEmpty) {
    ASSERT_TRUE(version);
    expectValues(kEmpty, readAll(version.get()));  // nothing before Create
    EXPECT_EQ(L"", custom(version.get(), L"CompanyName"));
    writeFile(fixture(L"not_a_program.txt"), "This is plain text, not a program.\r\n");
    const std::wstring missing = fixture(L"no_such_file.dll");
    for (const std::wstring& path : {missing, fixture(L"version_none.dll"), fixture(L"not_a_program.txt")}) {
        SCOPED_TRACE(path);
        const DWORD code = platformCode(path);
        ASSERT_NE(0u, code);
        ASSERT_EQ(S_OK, create(version.get(), fixture(L"version_full.dll")));
        EXPECT_EQ(vbError(int(code)), create(version.get(), path));
        expectValues(kEmpty, readAll(version.get()));
    }
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, platformCode(missing));
    const DWORD none = platformCode(fixture(L"version_none.dll"));
    EXPECT_TRUE(none == ERROR_RESOURCE_DATA_NOT_FOUND || none == ERROR_RESOURCE_TYPE_NOT_FOUND) << none;

    // A missing name reads as "", which names no file; a missing entry name finds no entry.
    const DWORD unnamed = platformCode(L"");
    ASSERT_NE(0u, unnamed);
    EXPECT_EQ(vbError(int(unnamed)), version->Create(nullptr));
    BSTR value = nullptr;
    EXPECT_EQ(S_OK, version->get_Custom(nullptr, &value));
    EXPECT_EQ(L"", str(value));
    SysFreeString(value);

    // Late-bound: the number is the code, and the class adds no text of its own.
    ComPtr<IDispatch> late = version.query<IDispatch>();
    unique_variant name = vStr(missing.c_str());
    Call call = invoke(late.get(), L"Create", {&name}, {}, DISPATCH_METHOD);
    EXPECT_EQ(DISP_E_EXCEPTION, call.hr);
    EXPECT_EQ(vbError(ERROR_FILE_NOT_FOUND), call.exception.scode);
    EXPECT_EQ(L"", call.description());

    // Assigning ExeName reads the file the same way; components from 32,768 up come back as
    // negative words (the text rules themselves are checked on the host).
    ASSERT_EQ(S_OK, version->put_ExeName(bstr(fixture(L"version_large.dll").c_str()).get()));
    expectValues({{L"ExeName", fixture(L"version_large.dll")},
                  {L"FullFileVersion", L"-25536.-1.32767.-32768"},
                  {L"FileVersionMajor", std::to_wstring(LONG(40000u * 65536u + 65535u))},
                  {L"ProductVersionMinor", L"1"},
                  {L"BuildString", L"Debug Prerelease Patched PrivateBuild InfoInferred SpecialBuild "}},
                 readAll(version.get()));
    EXPECT_EQ(vbError(ERROR_FILE_NOT_FOUND), version->put_ExeName(bstr(missing.c_str()).get()));
    expectValues(kEmpty, readAll(version.get()));
}

TEST_F(Version, TranslationTablesThatAreMissingOrEmpty) {
    ASSERT_TRUE(version);
    // No translation table at all: the platform cannot find it, and its code is raised.
    const std::wstring path = fixture(L"version_notrans.dll");
    DWORD unused = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), &unused));
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, DWORD(block.size()), block.data()));
    void* value = nullptr;
    UINT length = 0;
    SetLastError(0);
    ASSERT_FALSE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length));
    const DWORD code = GetLastError();
    ASSERT_NE(0u, code);

    ASSERT_EQ(S_OK, create(version.get(), fixture(L"version_full.dll")));
    EXPECT_EQ(vbError(int(code)), create(version.get(), path));
    // The block read before the failure stays, without a file name, and its string table is
    // looked for where the last translation read pointed (English, Unicode).
    expectValues({{L"ExeName", L""}, {L"FullFileVersion", L"9.8.7.6"}, {L"Company", L"Nobody Finds Me"}},
                 readAll(version.get()));
    // An instance that never read a translation has no string table to look in.
    ComPtr<_CVersion> fresh = createByProgId<_CVersion>(L"LARKLIB8.CVersion");
    EXPECT_EQ(vbError(int(code)), create(fresh.get(), path));
    expectValues({{L"ExeName", L""}, {L"FullFileVersion", L"9.8.7.6"}, {L"Company", L""}}, readAll(fresh.get()));

    // An empty translation table: nothing is kept, and nothing is raised.
    EXPECT_EQ(S_OK, create(version.get(), fixture(L"version_emptytrans.dll")));
    expectValues(kEmpty, readAll(version.get()));
}

// A copy of the full fixture, cut off or with a string entry that claims far more than it has.
TEST_F(Version, BrokenResourcesAnswerQuietly) {
    ASSERT_TRUE(version);
    const std::string original = readFile(fixture(L"version_full.dll"));
    const std::string key("C\0o\0m\0p\0a\0n\0y\0N\0a\0m\0e\0", 22);
    const size_t at = original.rfind(key);
    ASSERT_NE(std::string::npos, at);

    std::string overlong = original;
    overlong[at - 4] = '\xFF';  // wValueLength of the entry
    overlong[at - 3] = '\x7F';
    writeFile(fixture(L"overlong_entry.dll"), overlong);
    ASSERT_EQ(S_OK, create(version.get(), fixture(L"overlong_entry.dll"))) << lastError();
    EXPECT_EQ(L"1.2.3.4", readAll(version.get())[L"FullFileVersion"]);
    const std::wstring company = readAll(version.get())[L"Company"];
    EXPECT_LT(company.size(), 0x7FFFu) << "never read past the block";

    for (size_t length : {at, at / 2, size_t(64), size_t(0)}) {
        SCOPED_TRACE(length);
        writeFile(fixture(L"truncated.dll"), original.substr(0, length));
        HRESULT hr = create(version.get(), fixture(L"truncated.dll"));
        EXPECT_TRUE(hr == S_OK || HRESULT_FACILITY(hr) == FACILITY_CONTROL) << std::hex << hr;
        readAll(version.get());
    }
}

}  // namespace
}  // namespace lark::test
