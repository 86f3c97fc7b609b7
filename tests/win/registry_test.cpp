// CRegistry2 through COM against the prefix's registry: every value type through set, get,
// enumeration and copy, the buffer limits, keys, the REGEDIT4 export byte for byte, a round trip
// through the registry editor, window placement with real windows, file types and bad input.
// Each test works in its own branch under HKEY_CURRENT_USER, removed afterwards. The .reg text
// rules are covered on the host by reg_text_test, the 64-bit system's branches by
// registry_view_test.
#include "com_support.hpp"

#include <tlhelp32.h>

#include <chrono>
#include <thread>

namespace lark::test {
namespace {

constexpr LONG kHKCU = static_cast<LONG>(0x80000001u);
constexpr LONG kBadRoot = 0x1234;
constexpr const wchar_t* kBranchRoot = L"Software\\LarkLib8Tests";

std::string ansiOf(const std::wstring& text) {
    std::string out(text.size() * 2 + 1, '\0');
    out.resize(WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), out.data(), int(out.size()), 0, 0));
    return out;
}
std::string sz(const std::string& text) { return text + '\0'; }
std::string dword(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

// A String argument that lives until the end of the call's full expression.
struct B {
    unique_bstr s;
    B(const std::wstring& text) : s(SysAllocStringLen(text.data(), UINT(text.size()))) {}
    operator BSTR() const { return s.get(); }
};

// A value as the platform stores it (ANSI forms, as the library reads): type 0 when missing.
struct Stored {
    DWORD type = 0;
    std::string data;
    bool operator==(const Stored&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Stored& s) {
    os << "type " << s.type << ", " << s.data.size() << " bytes:";
    for (unsigned char c : s.data.substr(0, 24))
        os << ' ' << std::hex << int(c) << std::dec;
    return os;
}

unique_variant byteArray(const std::string& bytes, LONG lower) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, lower, ULONG(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), static_cast<char*>(array->pvData));
    return vArray(array, VT_UI1);
}

// A Variant as text; Byte arrays as "bytes(lower bound):hex".
std::wstring text(const VARIANT& v) {
    if (v.vt != (VT_ARRAY | VT_UI1)) return describe(v);
    std::wstring out = L"bytes(" + std::to_wstring(lowerBound(v.parray)) + L"):";
    for (ULONG i = 0; i < v.parray->rgsabound[0].cElements; ++i) {
        wchar_t hex[3];
        swprintf(hex, 3, L"%02X", static_cast<BYTE*>(v.parray->pvData)[i]);
        out += hex;
    }
    return out;
}

class Registry : public testing::Test {
public:
    ComPtr<_CRegistry2> reg = createByProgId<_CRegistry2>(L"LARKLIB8.CRegistry2");
    ComPtr<IDispatch> late = reg.query<IDispatch>();
    std::wstring branch = std::wstring(kBranchRoot) + L"\\" + testName();
    VARIANT_BOOL b = 1;  // where the Boolean members answer

    static std::wstring testName() {
        const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        return std::wstring(name.begin(), name.end());
    }
    void SetUp() override {
        ASSERT_TRUE(reg);
        RegDeleteTreeW(HKEY_CURRENT_USER, branch.c_str());
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, branch.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, kBranchRoot);  // only when no other test left a branch
    }

    std::wstring path(const std::wstring& sub = L"") const { return sub.empty() ? branch : branch + L"\\" + sub; }
    // The Boolean that the call left in b: exactly True or False.
    bool yes(HRESULT hr) {
        EXPECT_EQ(S_OK, hr);
        EXPECT_TRUE(b == VARIANT_TRUE || b == VARIANT_FALSE) << b;
        return std::exchange(b, 1) == VARIANT_TRUE;
    }
    void put(const std::wstring& sub, const std::wstring& name, DWORD type, const std::string& data) {
        HKEY key = nullptr;
        ASSERT_EQ(0, RegCreateKeyExA(HKEY_CURRENT_USER, ansiOf(path(sub)).c_str(), 0, 0, 0, KEY_WRITE, 0, &key, 0));
        ASSERT_EQ(0, RegSetValueExA(key, ansiOf(name).c_str(), 0, type, (const BYTE*)data.data(), DWORD(data.size())));
        RegCloseKey(key);
    }
    void makeKey(const std::wstring& sub) {
        HKEY key = nullptr;
        ASSERT_EQ(0, RegCreateKeyExW(HKEY_CURRENT_USER, path(sub).c_str(), 0, 0, 0, KEY_WRITE, 0, &key, 0));
        RegCloseKey(key);
    }
    bool exists(const std::wstring& sub) const {
        HKEY key = nullptr;
        const bool found = RegOpenKeyExW(HKEY_CURRENT_USER, path(sub).c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
        RegCloseKey(key);
        return found;
    }
    Stored stored(const std::wstring& sub, const std::wstring& name) const {
        Stored s;
        std::string data(70000, '\0');
        DWORD size = DWORD(data.size());
        if (RegGetValueA(HKEY_CURRENT_USER, ansiOf(path(sub)).c_str(), ansiOf(name).c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                         &s.type, data.data(), &size) != ERROR_SUCCESS)
            return {};
        s.data = data.substr(0, size);
        return s;
    }
    unique_variant get(const std::wstring& sub, const wchar_t* name, LONG type, VARIANT* fallback = nullptr) {
        unique_variant missing, out;
        missing.vt = VT_ERROR;
        missing.scode = DISP_E_PARAMNOTFOUND;
        EXPECT_EQ(S_OK,
                  reg->GetRegistryValue(kHKCU, B(path(sub)), B(name), type, fallback ? fallback : &missing, &out));
        return out;
    }
    void set(const std::wstring& sub, const wchar_t* name, LONG type, unique_variant value) {
        EXPECT_EQ(S_OK, reg->SetRegistryValue(kHKCU, B(path(sub)), B(name), type, &value));
    }
    Strings keys(LONG root, const std::wstring& key) {
        SAFEARRAY* names = reinterpret_cast<SAFEARRAY*>(1);
        EXPECT_EQ(S_OK, reg->EnumRegistryKeys(root, B(key), &names));
        Array owner(names);
        if (names) {
            EXPECT_EQ(0, lowerBound(names));
        }
        return elementsOf(names);
    }
    // Each value as "name=data".
    Strings values(LONG root, const std::wstring& key) {
        SAFEARRAY* result = reinterpret_cast<SAFEARRAY*>(1);
        EXPECT_EQ(S_OK, reg->EnumRegistryValues(root, B(key), &result));
        Array owner(result);
        Strings out;
        LONG bounds[4] = {-1, -1, -1, -1};
        if (!result) return out;
        for (UINT d = 1; d <= 2; ++d) {
            SafeArrayGetLBound(result, d, &bounds[2 * d - 2]);
            SafeArrayGetUBound(result, d, &bounds[2 * d - 1]);
        }
        EXPECT_EQ(2u, SafeArrayGetDim(result));
        EXPECT_EQ((std::vector<LONG>{0, 1, 0}), std::vector<LONG>(bounds, bounds + 3));
        for (LONG i = 0; i <= bounds[3]; ++i) {
            LONG nameAt[2] = {0, i}, dataAt[2] = {1, i};
            unique_variant name, data;
            SafeArrayGetElement(result, nameAt, &name);
            SafeArrayGetElement(result, dataAt, &data);
            out.push_back(str(name.bstrVal) + L"=" + text(data));
        }
        return out;
    }
    void save(LONG root, const std::wstring& key, const std::wstring& file, bool subKeys = true, bool append = false) {
        EXPECT_EQ(S_OK, reg->SaveRegToFile(root, B(key), B(file), subKeys ? -1 : 0, append ? -1 : 0));
    }
};

TEST_F(Registry, EveryValueTypeThroughSetGetEnumerationAndCopy) {
    unique_variant held = vLong(7), fallback = vStr(L"fallback");
    set(L"", L"", REG_SZ, vStr(L"default"));
    set(L"", L"bin", REG_BINARY, byteArray(std::string("\x00\xAB\x01", 3), 5));
    set(L"", L"byRef", REG_DWORD, vRef(&held));
    set(L"", L"dword", REG_DWORD, vLong(-2));
    set(L"", L"empty", REG_SZ, vStr(L""));
    set(L"", L"expand", REG_EXPAND_SZ, vStr(L"%SystemRoot%\\x"));
    set(L"", L"multi", REG_MULTI_SZ, vStr(L"a"));     // the caller supplies the separating NULs
    set(L"", L"notNumber", REG_DWORD, vStr(L"abc"));  // the failed conversion is skipped: 0
    set(L"", L"other", 11, vLong(1));
    set(L"", L"sz", REG_SZ, vStr(L"abc"));
    put(L"", L"ab", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    put(L"", L"none", REG_NONE, "\x07");
    const std::pair<const wchar_t*, Stored> expected[] = {{L"", {REG_SZ, sz("default")}},
                                                          {L"bin", {REG_BINARY, std::string("\0\xAB\x01", 3)}},
                                                          {L"byRef", {REG_DWORD, dword(7)}},
                                                          {L"dword", {REG_DWORD, dword(0xFFFFFFFE)}},
                                                          {L"empty", {REG_SZ, ""}},
                                                          {L"expand", {REG_EXPAND_SZ, sz("%SystemRoot%\\x")}},
                                                          {L"multi", {REG_MULTI_SZ, sz("a")}},
                                                          {L"notNumber", {REG_DWORD, dword(0)}},
                                                          {L"other", {}},
                                                          {L"sz", {REG_SZ, sz("abc")}}};
    for (const auto& [name, value] : expected)
        EXPECT_EQ(value, stored(L"", name)) << name;

    EXPECT_EQ(L"'abc'", describe(get(L"", L"sz", REG_SZ)));
    EXPECT_EQ(L"'%SystemRoot%\\x'", describe(get(L"", L"expand", REG_EXPAND_SZ))) << "never expanded";
    EXPECT_EQ(std::wstring(L"a\0b\0", 4), str(get(L"", L"ab", REG_MULTI_SZ).bstrVal));
    EXPECT_EQ(L"-2", describe(get(L"", L"dword", REG_DWORD)));
    EXPECT_EQ(L"bytes(0):00AB01", text(get(L"", L"bin", REG_BINARY)));
    // The stored type is not compared with the one asked for.
    EXPECT_EQ(L"bytes(0):61626300", text(get(L"", L"sz", REG_BINARY)));
    EXPECT_EQ(0x00636261, get(L"", L"sz", REG_DWORD).lVal);
    // Missing or empty values give the default, or the omitted-argument marker without one;
    // other type codes give the empty String.
    put(L"", L"onlyNul", REG_SZ, std::string(1, '\0'));
    for (const wchar_t* name : {L"missing", L"empty", L"onlyNul"})
        EXPECT_EQ(L"'fallback'", describe(get(L"", name, REG_SZ, &fallback))) << name;
    EXPECT_EQ(L"'fallback'", describe(get(L"NoSuchKey", L"sz", REG_SZ, &fallback)));
    unique_variant marker = get(L"", L"missing", REG_DWORD);
    EXPECT_TRUE(marker.vt == VT_ERROR && marker.scode == DISP_E_PARAMNOTFOUND) << describe(marker);
    EXPECT_EQ(L"''", describe(get(L"", L"sz", 5, &fallback)));
    EXPECT_EQ(L"''", describe(get(L"", L"sz", 70000, &fallback)));
    LONG type = -1;
    for (auto [name, code] : {std::pair{L"sz", 1}, {L"expand", 2}, {L"bin", 3}, {L"dword", 4}, {L"ab", 7}, {L"x", 0}}) {
        EXPECT_EQ(S_OK, reg->GetRegistryValueType(kHKCU, B(path()), B(name), &type));
        EXPECT_EQ(code, type) << name;
    }

    // Enumerated: strings as String, numbers as Long, every other type as its bytes.
    EXPECT_EQ((Strings{L"='default'", L"ab=bytes(0):6100620000", L"bin=bytes(0):00AB01", L"byRef=7", L"dword=-2",
                       L"empty=''", L"expand=bytes(0):2553797374656D526F6F74255C7800", L"multi=bytes(0):6100",
                       L"none=bytes(0):07", L"notNumber=0", L"onlyNul=''", L"sz='abc'"}),
              values(kHKCU, path()));
    // Copied: every supported type byte for byte, the others skipped.
    put(L"copy", L"sz", REG_SZ, sz("overwritten"));
    put(L"copy", L"kept", REG_SZ, sz("kept"));
    EXPECT_EQ(S_OK, reg->CopyRegistryKey(kHKCU, B(path()), B(path(L"copy")), VARIANT_FALSE));
    for (const wchar_t* name : {L"", L"ab", L"bin", L"dword", L"empty", L"expand", L"multi", L"sz"})
        EXPECT_EQ(stored(L"", name), stored(L"copy", name)) << name;
    EXPECT_EQ(Stored{}, stored(L"copy", L"none"));
    EXPECT_EQ(sz("kept"), stored(L"copy", L"kept").data);

    // Late-bound, the default may be named (registry.vbs leaves it out).
    unique_variant root = vLong(kHKCU), key = vStr(path().c_str()), name = vStr(L"x"), szType = vLong(REG_SZ),
                   named = vStr(L"named");
    Call given = invoke(late.get(), L"getregistryvalue", {&root, &key, &name, &szType}, {{L"DefaultValue", &named}});
    EXPECT_EQ(L"'named'", describe(given.result));
}

TEST_F(Registry, BufferLimitsAndEnumerations) {
    unique_variant fallback = vStr(L"fallback");
    put(L"", L"s1023", REG_SZ, sz(std::string(1022, 'x')));  // 1,023 bytes with the NUL
    put(L"", L"s1025", REG_SZ, sz(std::string(1024, 'x')));
    put(L"", L"m2000", REG_MULTI_SZ, std::string(1998, 'm') + std::string(2, '\0'));
    put(L"", L"b4096", REG_BINARY, std::string(4096, 'Z'));
    put(L"", L"b4097", REG_BINARY, std::string(4097, 'Z'));
    put(L"", L"d", REG_DWORD, dword(1));
    put(L"", L"e", REG_EXPAND_SZ, sz("e"));
    EXPECT_EQ(1022u, str(get(L"", L"s1023", REG_SZ, &fallback).bstrVal).size());
    EXPECT_EQ(L"'fallback'", describe(get(L"", L"s1025", REG_SZ, &fallback)));
    EXPECT_EQ(L"'fallback'", describe(get(L"", L"m2000", REG_MULTI_SZ, &fallback))) << "strings read 1,024 bytes";
    EXPECT_EQ(4096u, get(L"", L"b4096", REG_BINARY, &fallback).parray->rgsabound[0].cElements);
    EXPECT_EQ(L"'fallback'", describe(get(L"", L"b4097", REG_BINARY, &fallback)));
    // Strings are checked with 1,024 bytes, multi-strings and bytes with 4,096, nothing else.
    const std::tuple<const wchar_t*, const wchar_t*, LONG, bool> checks[] = {
        {L"", L"s1023", REG_SZ, true},      {L"", L"s1025", REG_SZ, false},    {L"", L"s1025", REG_MULTI_SZ, true},
        {L"", L"m2000", REG_BINARY, true},  {L"", L"b4096", REG_BINARY, true}, {L"", L"b4097", REG_BINARY, false},
        {L"", L"d", REG_DWORD, false},      {L"", L"e", REG_EXPAND_SZ, false}, {L"", L"none", REG_SZ, false},
        {L"NoSuchKey", L"d", REG_SZ, false}};
    for (const auto& [sub, name, type, readable] : checks)
        EXPECT_EQ(readable, yes(reg->CheckRegistryValue(kHKCU, B(path(sub)), B(name), type, &b))) << name << type;

    // A value of more than 4,096 bytes ends the enumeration there (names are sorted).
    put(L"list", L"a", REG_SZ, sz("first"));
    put(L"list", L"b", REG_BINARY, std::string(5000, '\1'));
    put(L"list", L"c", REG_SZ, sz("never listed"));
    EXPECT_EQ((Strings{L"a='first'"}), values(kHKCU, path(L"list")));
    put(L"list", L"b", REG_BINARY, "");
    EXPECT_EQ((Strings{L"a='first'", L"b=bytes(0):", L"c='never listed'"}), values(kHKCU, path(L"list")));
    makeKey(L"list\\z");
    makeKey(L"list\\y\\deeper");
    EXPECT_EQ((Strings{L"y", L"z"}), keys(kHKCU, path(L"list")));
    EXPECT_EQ(Strings{}, keys(kHKCU, path(L"list\\z"))) << "no subkeys: an empty array";
    EXPECT_EQ(Strings{}, keys(kHKCU, path(L"missing")));
    EXPECT_EQ(Strings{}, values(kHKCU, path(L"list\\z")));
    // An empty name enumerates the caller's handle itself, which stays open.
    HKEY own = nullptr;
    ASSERT_EQ(0, RegOpenKeyExW(HKEY_CURRENT_USER, path(L"list").c_str(), 0, KEY_READ, &own));
    const LONG handle = static_cast<LONG>(reinterpret_cast<INT_PTR>(own));
    EXPECT_EQ((Strings{L"y", L"z"}), keys(handle, L""));
    EXPECT_EQ(3u, values(handle, L"").size());
    EXPECT_EQ((Strings{L"deeper"}), keys(handle, L"y"));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(own)) << "the library closed the caller's handle";
}

TEST_F(Registry, KeysAreCreatedCheckedDeletedAndCopied) {
    EXPECT_FALSE(yes(reg->CreateRegistryKey(kHKCU, B(path(L"k")), &b))) << "newly created";
    EXPECT_TRUE(yes(reg->CreateRegistryKey(kHKCU, B(path(L"k")), &b))) << "already there";
    EXPECT_TRUE(yes(reg->CheckRegistryKey(kHKCU, B(path(L"k")), VARIANT_TRUE, &b)));
    EXPECT_TRUE(yes(reg->CheckRegistryKey(kHKCU, B(L""), VARIANT_FALSE, &b)));
    EXPECT_FALSE(yes(reg->CheckRegistryKey(kHKCU, B(path(L"none")), VARIANT_FALSE, &b)));
    put(L"k\\sub\\deep", L"v", REG_SZ, sz("v"));
    EXPECT_FALSE(yes(reg->DeleteRegistryKey(kHKCU, B(path(L"k\\sub")), &b))) << "a key with subkeys stays";
    EXPECT_TRUE(yes(reg->DeleteRegistryKey(kHKCU, B(path(L"k\\sub\\deep")), &b)));
    EXPECT_FALSE(exists(L"k\\sub\\deep"));
    EXPECT_FALSE(yes(reg->DeleteRegistryKey(kHKCU, B(path(L"k\\sub\\deep")), &b)));
    put(L"k\\sub\\deep", L"v", REG_SZ, sz("v"));
    EXPECT_FALSE(yes(reg->DeleteRegistryKeyDeep(kHKCU, B(L""), &b)));
    EXPECT_TRUE(yes(reg->DeleteRegistryKeyDeep(kHKCU, B(path(L"k")), &b)));
    EXPECT_FALSE(exists(L"k"));
    EXPECT_FALSE(yes(reg->DeleteRegistryKeyDeep(kHKCU, B(path(L"k")), &b))) << "a 32-bit system's deep delete";

    EXPECT_EQ(S_OK, reg->CreateRegistryKeyRecursive(kHKCU, B(path(L"r1\\r2\\r3"))));
    EXPECT_TRUE(exists(L"r1\\r2\\r3"));
    EXPECT_EQ(vbError(99), reg->CreateRegistryKeyRecursive(kBadRoot, B(L"a\\b")));

    // Several strings at once: always as strings, and only with matching bounds.
    Array names(stringVector({L"one", L"two"}, 1)), texts(stringVector({L"1", L""}, 1)), shifted(stringVector({L"x"})),
        none;
    EXPECT_TRUE(yes(reg->SetRegistryValueArray(kHKCU, B(path(L"r1")), names.ref(), REG_DWORD, texts.ref(), &b)));
    EXPECT_EQ((Stored{REG_SZ, sz("1")}), stored(L"r1", L"one"));
    EXPECT_EQ((Stored{REG_SZ, ""}), stored(L"r1", L"two"));
    EXPECT_FALSE(yes(reg->SetRegistryValueArray(kHKCU, B(path(L"r2")), shifted.ref(), REG_SZ, texts.ref(), &b)));
    EXPECT_FALSE(yes(reg->SetRegistryValueArray(kHKCU, B(path(L"r2")), none.ref(), REG_SZ, none.ref(), &b)));
    EXPECT_FALSE(exists(L"r2")) << "nothing written";

    // Copies: subkeys on request, into a new path, and a value of over 4,096 bytes ends the
    // value loop; a missing source changes nothing.
    put(L"src", L"a", REG_SZ, sz("a"));
    put(L"src", L"b", REG_BINARY, std::string(5000, '\2'));
    put(L"src", L"c", REG_SZ, sz("c"));
    put(L"src\\child\\grand", L"deep", REG_DWORD, dword(3));
    EXPECT_EQ(S_OK, reg->CopyRegistryKey(kHKCU, B(path(L"src")), B(path(L"flat")), VARIANT_FALSE));
    EXPECT_EQ((Strings{L"a='a'"}), values(kHKCU, path(L"flat")));
    EXPECT_FALSE(exists(L"flat\\child"));
    EXPECT_EQ(S_OK, reg->CopyRegistryKey(kHKCU, B(path(L"src")), B(path(L"new\\copy")), VARIANT_TRUE));
    EXPECT_EQ((Stored{REG_DWORD, dword(3)}), stored(L"new\\copy\\child\\grand", L"deep"));
    EXPECT_EQ(S_OK, reg->CopyRegistryKey(kHKCU, B(path(L"missing")), B(path(L"never")), VARIANT_TRUE));
    EXPECT_FALSE(exists(L"never"));
}

// The tree that the export and round-trip tests write: every kind of value the export knows.
void buildExportTree(Registry& t) {
    t.put(L"exp", L"", REG_SZ, sz("text"));
    t.put(L"exp", L"Count", REG_DWORD, dword(10));
    t.put(L"exp", L"Expand", REG_EXPAND_SZ, sz("%SystemRoot%\\x"));
    t.put(L"exp", L"Folder", REG_SZ, sz("C:\\Data\\In"));
    t.put(L"exp", L"Minus", REG_DWORD, dword(0xFFFFFFFF));
    t.put(L"exp", L"Multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    t.put(L"exp", L"None", REG_NONE, "\x07");
    t.put(L"exp", L"Raw", REG_BINARY, "\x01\x0A\xFF");
    t.put(L"exp\\a", L"v", REG_SZ, sz("1"));
    t.makeKey(L"exp\\a\\deep");
    t.put(L"exp\\b", L"q", REG_SZ, sz("say \"hi\""));
    t.put(L"exp\\b", L"big", REG_BINARY, std::string(5000, '\x11'));
}

std::string keyLine(const std::wstring& key) { return "[HKEY_CURRENT_USER\\" + ansiOf(key) + "]\r\n"; }

TEST_F(Registry, ExportWritesRegedit4BlocksDepthFirst) {
    buildExportTree(*this);
    const std::wstring file = tempFile(L"lark_export.reg");
    DeleteFileW(file.c_str());
    save(kHKCU, path(L"exp"), file);
    std::string big = "\"big\"=hex:11";
    for (int i = 1; i < 5000; ++i)
        big += ",11";
    const std::string a = keyLine(path(L"exp\\a")) + "\"v\"=\"1\"\r\n\r\n",
                      deep = keyLine(path(L"exp\\a\\deep")) + "\r\n";
    EXPECT_EQ("REGEDIT4\r\n\r\n" + keyLine(path(L"exp")) +
                  "@=\"text\"\r\n\"Count\"=dword:0000000A\r\n\"Expand\"=\"%SystemRoot%\\x\"\r\n"
                  "\"Folder\"=\"C:\\\\Data\\\\In\"\r\n\"Minus\"=dword:FFFFFFFF\r\n" +
                  std::string("\"Multi\"=\"a\0b\"\r\n", 15) + "\"None\"=\r\n\"Raw\"=hex:01,0A,FF\r\n\r\n" + a + deep +
                  keyLine(path(L"exp\\b")) + big + "\r\n\"q\"=\"say \"hi\"\"\r\n\r\n",
              bytesOf(file));
    // Without subkeys; appended to a file with the header in another letter case (no second
    // header), to one without it (the header after what is there), and to a missing file.
    save(kHKCU, path(L"exp\\a"), file, false);
    EXPECT_EQ("REGEDIT4\r\n\r\n" + a, bytesOf(file));
    writeBytes(file, "regedit4\r\n\r\n");
    save(kHKCU, path(L"exp\\a"), file, true, true);
    EXPECT_EQ("regedit4\r\n\r\n" + a + deep, bytesOf(file));
    writeBytes(file, "; notes\r\n");
    save(kHKCU, path(L"exp\\a\\deep"), file, true, true);
    EXPECT_EQ("; notes\r\nREGEDIT4\r\n\r\n" + deep, bytesOf(file));
    DeleteFileW(file.c_str());
    save(kHKCU, path(L"exp\\a\\deep"), file, false, true);
    EXPECT_EQ("REGEDIT4\r\n\r\n" + deep, bytesOf(file));
    // A key that does not open still gets its lines; another handle has no root name; an empty
    // path names the root itself.
    save(kHKCU, path(L"missing"), file);
    EXPECT_EQ("REGEDIT4\r\n\r\n" + keyLine(path(L"missing")) + "\r\n", bytesOf(file));
    HKEY own = nullptr;
    ASSERT_EQ(0, RegOpenKeyExW(HKEY_CURRENT_USER, path(L"exp").c_str(), 0, KEY_READ, &own));
    save(static_cast<LONG>(reinterpret_cast<INT_PTR>(own)), L"a", file, false);
    EXPECT_EQ("REGEDIT4\r\n\r\n[a]\r\n\"v\"=\"1\"\r\n\r\n", bytesOf(file));
    RegCloseKey(own);
    save(kHKCU, L"", file, false);
    EXPECT_EQ(0u, bytesOf(file).find("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\]\r\n"));
    DeleteFileW(file.c_str());
    // Unwritable targets are skipped without an error.
    const std::wstring noFolder = tempFile(L"no_such_folder\\x.reg");
    save(kHKCU, path(L"exp"), noFolder);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(noFolder.c_str()));
    save(kHKCU, path(L"exp"), tempFile(L""), true, true);
}

bool regeditRunning() {
    com::unique_handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        if (_wcsicmp(entry.szExeFile, L"regedit.exe") == 0) return true;
    return false;
}

TEST_F(Registry, ExportedTreeComesBackThroughTheRegistryEditor) {
    buildExportTree(*this);
    // A multi-string of several items puts NUL characters into the file, where the registry
    // editor stops reading altogether; one item has none.
    put(L"exp", L"Multi", REG_MULTI_SZ, std::string("a\0\0", 3));
    put(L"exp\\z", L"last", REG_SZ, sz("done"));
    const std::pair<const wchar_t*, const wchar_t*> kept[] = {
        {L"exp", L""},    {L"exp", L"Count"}, {L"exp", L"Folder"}, {L"exp", L"Minus"},
        {L"exp", L"Raw"}, {L"exp\\a", L"v"},  {L"exp\\b", L"big"}};
    std::vector<Stored> before;
    for (const auto& [sub, name] : kept)
        before.push_back(stored(sub, name));
    const std::wstring file = tempFile(L"lark_roundtrip.reg");
    save(kHKCU, path(L"exp"), file);
    EXPECT_TRUE(yes(reg->DeleteRegistryKeyDeep(kHKCU, B(path(L"exp")), &b)));
    ASSERT_FALSE(exists(L"exp"));
    // Folders and missing files start nothing; a file starts the editor, and the call returns
    // before the import is done.
    ASSERT_FALSE(regeditRunning());
    for (const std::wstring& bad : {tempFile(L""), tempFile(L"lark_missing.reg"), std::wstring()}) {
        EXPECT_EQ(S_OK, reg->ApplyRegFile(B(bad)));
        EXPECT_FALSE(regeditRunning()) << ansiOf(bad);
    }
    EXPECT_EQ(S_OK, reg->ApplyRegFile(B(file)));
    EXPECT_TRUE(regeditRunning());
    for (int i = 0; i < 300 && stored(L"exp\\z", L"last").type == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(sz("done"), stored(L"exp\\z", L"last").data) << "the registry editor did not import the file";
    // REGEDIT4 carries plain strings (a drive path's doubled backslashes read back as single
    // ones), numbers and bytes of any length unchanged, and keys without values.
    for (size_t i = 0; i < std::size(kept); ++i)
        EXPECT_EQ(before[i], stored(kept[i].first, kept[i].second)) << ansiOf(kept[i].second);
    EXPECT_TRUE(exists(L"exp\\a\\deep"));
    // Not unchanged: an expandable string comes back as a plain one that lost its backslash (it
    // is not a drive path, so it is not doubled), a multi-string as a plain string, and a value
    // without data or a string holding double quotes is not imported at all.
    EXPECT_EQ((Stored{REG_SZ, sz("%SystemRoot%x")}), stored(L"exp", L"Expand"));
    EXPECT_EQ((Stored{REG_SZ, sz("a")}), stored(L"exp", L"Multi"));
    EXPECT_EQ(Stored{}, stored(L"exp", L"None"));
    EXPECT_EQ(Stored{}, stored(L"exp\\b", L"q"));
    DeleteFileW(file.c_str());
}

// A top-level window of its own class, hidden until a test shows it.
struct TestWindow {
    HWND hwnd = nullptr;
    TestWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"LarkRegistryTestWindow";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(0, wc.lpszClassName, L"placement", WS_OVERLAPPEDWINDOW, 10, 10, 200, 200, 0, 0, 0, 0);
    }
    ~TestWindow() { DestroyWindow(hwnd); }
    LONG handle() const { return static_cast<LONG>(reinterpret_cast<INT_PTR>(hwnd)); }
    void pump() const {
        MSG msg;
        for (int i = 0; i < 20; ++i, Sleep(10))
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
    }
    std::string normal() const {
        WINDOWPLACEMENT wp{};
        wp.length = sizeof wp;
        GetWindowPlacement(hwnd, &wp);
        const RECT& r = wp.rcNormalPosition;
        return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
               std::to_string(r.bottom);
    }
    void place(RECT r, UINT show = SW_HIDE) const {
        WINDOWPLACEMENT wp{};
        wp.length = sizeof wp;
        GetWindowPlacement(hwnd, &wp);
        wp.rcNormalPosition = r;
        wp.showCmd = show;
        SetWindowPlacement(hwnd, &wp);
    }
};

TEST_F(Registry, WindowPlacementIsSavedAndRestored) {
    TestWindow window;
    ASSERT_TRUE(window.hwnd) << "no window: is the display there?";
    window.place({120, 130, 420, 330}, SW_SHOWNORMAL);
    Text key(path(L"window")), small(path(L"small")), nothing(path(L"nothing"));
    EXPECT_EQ(S_OK, reg->SaveWindowPos(window.handle(), key.ref()));
    EXPECT_EQ(path(L"window"), key.text()) << "the caller's variable is not changed";
    EXPECT_EQ((Strings{L"rcNormalPositionBottom=330", L"rcNormalPositionLeft=120", L"rcNormalPositionRight=420",
                       L"rcNormalPositionTop=130", L"ShowCmd=1"}),
              values(kHKCU, path(L"window")));

    // Defaults, early- and late-bound: back to the saved rectangle, and shown.
    LONG zero = 0, minWidth = 200, minHeight = 100;
    window.place({300, 300, 520, 480});
    EXPECT_EQ(S_OK, reg->RestoreWindowPos(window.handle(), key.ref(), &zero, &zero, -1));
    EXPECT_EQ("120,130,420,330", window.normal());
    EXPECT_TRUE(IsWindowVisible(window.hwnd));
    window.place({300, 300, 520, 480});
    unique_variant hwnd = vLong(window.handle()), keyArg = vStr(path(L"window").c_str());
    EXPECT_EQ(S_OK, invoke(late.get(), L"RestoreWindowPos", {&hwnd, &keyArg}).hr);
    EXPECT_EQ("120,130,420,330", window.normal());
    // SW = 0 applies the rectangle and does not show the window.
    window.place({300, 300, 520, 480});
    EXPECT_EQ(S_OK, reg->RestoreWindowPos(window.handle(), key.ref(), &zero, &zero, 0));
    EXPECT_EQ("120,130,420,330", window.normal());
    EXPECT_FALSE(IsWindowVisible(window.hwnd));
    // The minimum size widens and heightens a small stored rectangle.
    for (auto [name, v] : {std::pair{L"ShowCmd", 1},
                           {L"rcNormalPositionLeft", 100},
                           {L"rcNormalPositionTop", 100},
                           {L"rcNormalPositionRight", 150},
                           {L"rcNormalPositionBottom", 120}})
        put(L"small", name, REG_DWORD, dword(v));
    EXPECT_EQ(S_OK, reg->RestoreWindowPos(window.handle(), small.ref(), &minWidth, &minHeight, 0));
    EXPECT_EQ("100,100,300,200", window.normal());
    EXPECT_EQ(200, minWidth);
    // A coordinate of 0, or no stored values: the window stays, but a missing show command
    // (-1) still shows it.
    put(L"small", L"rcNormalPositionLeft", REG_DWORD, dword(0));
    window.place({300, 300, 520, 480});
    EXPECT_EQ(S_OK, reg->RestoreWindowPos(window.handle(), small.ref(), &zero, &zero, 0));
    EXPECT_EQ("300,300,520,480", window.normal());
    EXPECT_EQ(S_OK, reg->RestoreWindowPos(window.handle(), nothing.ref(), &zero, &zero, -1));
    EXPECT_EQ("300,300,520,480", window.normal());
    EXPECT_TRUE(IsWindowVisible(window.hwnd));

    // A saved maximised state ends maximised once the posted command is handled.
    ShowWindow(window.hwnd, SW_MAXIMIZE);
    window.pump();
    EXPECT_EQ(S_OK, reg->SaveWindowPos(window.handle(), key.ref()));
    EXPECT_EQ(dword(SW_SHOWMAXIMIZED), stored(L"window", L"ShowCmd").data);
    ShowWindow(window.hwnd, SW_RESTORE);
    ShowWindow(window.hwnd, SW_HIDE);
    window.pump();
    ASSERT_FALSE(IsZoomed(window.hwnd));
    EXPECT_EQ(S_OK, reg->RestoreWindowPos(window.handle(), key.ref(), &zero, &zero, -1));
    window.pump();
    EXPECT_TRUE(IsZoomed(window.hwnd));

    // No window: the key is still made, nothing is stored, nothing fails.
    Text gone(path(L"gone"));
    EXPECT_EQ(S_OK, reg->SaveWindowPos(0x7FFF0, gone.ref()));
    EXPECT_TRUE(exists(L"gone"));
    EXPECT_EQ(Strings{}, values(kHKCU, path(L"gone")));
    EXPECT_EQ(S_OK, reg->RestoreWindowPos(0x7FFF0, key.ref(), &zero, &zero, -1));
}

TEST_F(Registry, FileTypesComeFromTheProgIdAndAreCachedPerInstance) {
    const std::pair<const wchar_t*, const char*> classes[] = {{L".larktest", "LarkLib8Test.File"},
                                                              {L"LarkLib8Test.File", "Lark test file"},
                                                              {L".larkprog", "LarkLib8Test.NoText"},
                                                              {L"LarkLib8Test.NoText", nullptr},
                                                              {L".larknodefault", nullptr}};
    auto define = [](const wchar_t* key, const char* text) {
        HKEY k = nullptr;
        ASSERT_EQ(0, RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, 0, 0, KEY_WRITE, 0, &k, 0));
        if (text) RegSetValueExA(k, nullptr, 0, REG_SZ, (const BYTE*)text, DWORD(strlen(text) + 1));
        RegCloseKey(k);
    };
    for (const auto& [key, text] : classes)
        define(key, text);
    auto type = [](_CRegistry2* r, const wchar_t* extension) {
        BSTR out = nullptr;
        EXPECT_EQ(S_OK, r->GetFileType(B(extension), &out));
        unique_bstr owner(out);
        return str(out);
    };
    EXPECT_EQ(L"Lark test file", type(reg.get(), L".larktest"));
    EXPECT_EQ(L"Lark test file", type(reg.get(), L"larktest"));
    EXPECT_EQ(L"LarkLib8Test.NoText", type(reg.get(), L".larkprog")) << "a ProgID without a description";
    EXPECT_EQ(L".larknodefault", type(reg.get(), L".larknodefault")) << "an extension key without a default value";
    EXPECT_EQ(L".XYZLARK", type(reg.get(), L"xyzlark")) << "unregistered";
    EXPECT_EQ(L"", type(reg.get(), L""));
    // The cache answers as it stored, compared as given and without regard to case, so the form
    // without a dot is looked up again; another instance has its own cache.
    define(L"LarkLib8Test.File", "Changed");
    EXPECT_EQ(L"Lark test file", type(reg.get(), L".LARKTEST"));
    EXPECT_EQ(L"Changed", type(reg.get(), L"larktest"));
    EXPECT_EQ(L"Changed", type(createByProgId<_CRegistry2>(L"LARKLIB8.CRegistry2").get(), L".larktest"));
    for (const auto& [key, text] : classes)
        RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
}

// The lowest free handle slot is handed out again, so a key handle that a member left open
// shows as a higher value for the next key opened.
HKEY nextKeyHandle() {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key);
    RegCloseKey(key);
    return key;
}

TEST_F(Registry, BadInputGivesTheStatedResultsAndLeavesNoHandleOpen) {
    LONG type = -1;
    unique_variant five = vLong(5), out, text = vStr(L"x"), fallback = vStr(L"fallback");
    EXPECT_FALSE(yes(reg->CheckRegistryKey(kBadRoot, B(L"x"), VARIANT_TRUE, &b)));
    EXPECT_FALSE(yes(reg->CreateRegistryKey(kBadRoot, B(L"x"), &b)));
    EXPECT_FALSE(yes(reg->DeleteRegistryKey(kBadRoot, B(L"x"), &b)));
    EXPECT_FALSE(yes(reg->DeleteRegistryKeyDeep(kBadRoot, B(L"x"), &b)));
    EXPECT_FALSE(yes(reg->CheckRegistryValue(kBadRoot, B(L"x"), B(L"x"), REG_SZ, &b)));
    EXPECT_EQ(S_OK, reg->GetRegistryValueType(kBadRoot, B(L"x"), B(L"x"), &type));
    EXPECT_EQ(0, type);
    EXPECT_EQ(S_OK, reg->GetRegistryValue(kBadRoot, B(L"x"), B(L"x"), REG_SZ, &five, &out));
    EXPECT_EQ(L"5", describe(out));
    EXPECT_EQ(S_OK, reg->SetRegistryValue(kBadRoot, B(L"x"), B(L"x"), REG_SZ, &text));
    EXPECT_EQ(S_OK, reg->DeleteRegistryValue(kBadRoot, B(L"x"), B(L"x")));
    EXPECT_EQ(S_OK, reg->CopyRegistryKey(kBadRoot, B(L"x"), B(L"y"), VARIANT_TRUE));
    EXPECT_EQ(Strings{}, keys(kBadRoot, L""));
    EXPECT_EQ(Strings{}, values(kBadRoot, L"x"));
    EXPECT_EQ(E_POINTER, reg->CheckRegistryKey(kHKCU, B(L"x"), VARIANT_FALSE, nullptr));
    EXPECT_EQ(E_POINTER, reg->SetRegistryValue(kHKCU, B(L"x"), B(L"x"), REG_SZ, nullptr));
    // Values that do not convert: no Byte array writes nothing, an object no text.
    set(L"", L"bin", REG_BINARY, vStr(L"not bytes"));
    EXPECT_EQ(Stored{}, stored(L"", L"bin"));
    unique_variant object;
    object.vt = VT_DISPATCH;
    object.pdispVal = late.get();
    late->AddRef();
    set(L"", L"obj", REG_SZ, std::move(object));
    EXPECT_EQ((Stored{REG_SZ, ""}), stored(L"", L"obj"));
    // Data larger than every buffer are not half-read.
    put(L"", L"huge", REG_SZ, sz(std::string(60000, 'h')));
    for (LONG t : {REG_SZ, REG_BINARY, REG_DWORD})
        EXPECT_EQ(L"'fallback'", describe(get(L"", L"huge", t, &fallback))) << t;

    // Every member, many times over, leaves no key handle open.
    buildExportTree(*this);
    const std::wstring file = tempFile(L"lark_handles.reg");
    Array names(stringVector({L"n"})), texts(stringVector({L"t"}));
    HKEY before = nullptr;
    for (int i = 0; i < 21; ++i) {
        if (i == 1) {  // after one round, which may leave the platform's own state behind
            before = nextKeyHandle();
            ASSERT_EQ(before, nextKeyHandle()) << "handle slots are not reused here";
        }
        set(L"h", L"s", REG_SZ, vStr(L"x"));
        set(L"h", L"b", REG_BINARY, vStr(L"not bytes"));
        get(L"h", L"s", REG_SZ);
        get(L"h", L"s", 99);
        yes(reg->CheckRegistryValue(kHKCU, B(path(L"h")), B(L"s"), REG_SZ, &b));
        yes(reg->CreateRegistryKey(kHKCU, B(path(L"h2")), &b));
        yes(reg->CheckRegistryKey(kHKCU, B(path(L"h2")), VARIANT_TRUE, &b));
        yes(reg->SetRegistryValueArray(kHKCU, B(path(L"h")), names.ref(), REG_SZ, texts.ref(), &b));
        values(kHKCU, path(L"exp"));
        keys(kHKCU, path(L"exp"));
        reg->CopyRegistryKey(kHKCU, B(path(L"exp")), B(path(L"copy")), VARIANT_TRUE);
        save(kHKCU, path(L"exp"), file);
        reg->CreateRegistryKeyRecursive(kBadRoot, B(L"a\\b"));
        yes(reg->DeleteRegistryKeyDeep(kHKCU, B(path(L"copy")), &b));
        reg->DeleteRegistryValue(kHKCU, B(path(L"h")), B(L"s"));
    }
    EXPECT_LE(reinterpret_cast<uintptr_t>(nextKeyHandle()), reinterpret_cast<uintptr_t>(before));
    DeleteFileW(file.c_str());
}

}  // namespace
}  // namespace lark::test
