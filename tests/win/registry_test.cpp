// CRegistry2 through COM against the real registry of the prefix: every value type through get,
// set, enumeration and copy, the buffer limits, keys, REGEDIT4 export compared byte for byte, a
// round trip through the system registry editor, window placement with real windows, file
// types, and bad input. Each test works in its own branch under HKEY_CURRENT_USER, removed
// afterwards. The .reg text rules themselves are covered on the host by reg_text_test.
#include "com_support.hpp"

#include <chrono>
#include <thread>

namespace lark::test {
namespace {

constexpr LONG kHKCU = static_cast<LONG>(0x80000001u);
constexpr const wchar_t* kBranchRoot = L"Software\\LarkLib8Tests";

std::string ansiOf(const std::wstring& text) {
    std::string out(text.size() * 2 + 1, '\0');
    out.resize(
        WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), out.data(), int(out.size()), nullptr, nullptr));
    return out;
}

// A value as the platform stores it: its type and its bytes (ANSI forms, as the library reads).
struct Stored {
    DWORD type = 0;
    std::string data;
    bool operator==(const Stored&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Stored& s) {
    os << "type " << s.type << ", " << s.data.size() << " bytes:";
    for (unsigned char c : s.data.substr(0, 40))
        os << ' ' << std::hex << int(c) << std::dec;
    return os;
}

Stored storedAs(DWORD type, const std::string& data) { return {type, data}; }

std::wstring numbered(const wchar_t* stem, int i) { return stem + std::to_wstring(i); }

class Registry : public testing::Test {
public:
    ComPtr<_CRegistry2> reg = createByProgId<_CRegistry2>(L"LARKLIB8.CRegistry2");
    ComPtr<IDispatch> late = reg.query<IDispatch>();
    std::wstring branch = std::wstring(kBranchRoot) + L"\\" + testName();

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

    // Writes a value directly through the platform, creating its key.
    void put(const std::wstring& sub, const std::wstring& name, DWORD type, const std::string& data) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, ansiOf(path(sub)).c_str(), 0, nullptr, 0, KEY_WRITE,
                                                 nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, ansiOf(name).c_str(), 0, type,
                                                reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size())));
        RegCloseKey(key);
    }
    void makeKey(const std::wstring& sub) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path(sub).c_str(), 0, nullptr, 0, KEY_WRITE,
                                                 nullptr, &key, nullptr));
        RegCloseKey(key);
    }
    bool exists(const std::wstring& sub) const {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path(sub).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    // A value as stored, or type 0 with no bytes when it is missing.
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
        EXPECT_EQ(S_OK, reg->GetRegistryValue(kHKCU, bstr(path(sub).c_str()).get(), bstr(name).get(), type,
                                              fallback ? fallback : &missing, &out));
        return out;
    }
    void set(const std::wstring& sub, const wchar_t* name, LONG type, VARIANT value) {
        EXPECT_EQ(S_OK, reg->SetRegistryValue(kHKCU, bstr(path(sub).c_str()).get(), bstr(name).get(), type, &value));
    }
    bool boolean(HRESULT hr, const VARIANT_BOOL& value) {  // read after the call
        EXPECT_EQ(S_OK, hr);
        EXPECT_TRUE(value == VARIANT_TRUE || value == VARIANT_FALSE) << value;
        return value == VARIANT_TRUE;
    }
    bool createKey(LONG root, const std::wstring& key) {
        VARIANT_BOOL r = 1;
        return boolean(reg->CreateRegistryKey(root, bstr(key.c_str()).get(), &r), r);
    }
    bool checkKey(LONG root, const std::wstring& key, bool write = false) {
        VARIANT_BOOL r = 1;
        return boolean(reg->CheckRegistryKey(root, bstr(key.c_str()).get(), write ? VARIANT_TRUE : VARIANT_FALSE, &r),
                       r);
    }
    bool deleteKey(LONG root, const std::wstring& key, bool deep = false) {
        VARIANT_BOOL r = 1;
        HRESULT hr = deep ? reg->DeleteRegistryKeyDeep(root, bstr(key.c_str()).get(), &r)
                          : reg->DeleteRegistryKey(root, bstr(key.c_str()).get(), &r);
        return boolean(hr, r);
    }
    bool checkValue(const std::wstring& sub, const wchar_t* name, LONG type) {
        VARIANT_BOOL r = 1;
        return boolean(reg->CheckRegistryValue(kHKCU, bstr(path(sub).c_str()).get(), bstr(name).get(), type, &r), r);
    }
    Strings keys(LONG root, const std::wstring& key) {
        SAFEARRAY* names = reinterpret_cast<SAFEARRAY*>(1);
        EXPECT_EQ(S_OK, reg->EnumRegistryKeys(root, bstr(key.c_str()).get(), &names));
        Array owner(names);
        if (names) {
            EXPECT_EQ(0, lowerBound(names));
        }
        return elementsOf(names);
    }
    // The name and data of each value, as "name=data" with data described by describe() or,
    // for a Byte array, "bytes:<hex>".
    Strings values(LONG root, const std::wstring& key) {
        SAFEARRAY* result = reinterpret_cast<SAFEARRAY*>(1);
        EXPECT_EQ(S_OK, reg->EnumRegistryValues(root, bstr(key.c_str()).get(), &result));
        Array owner(result);
        Strings out;
        if (!result) return out;
        EXPECT_EQ(2u, SafeArrayGetDim(result));
        LONG lower1 = -1, upper1 = -1, lower2 = -1, upper2 = -1;
        SafeArrayGetLBound(result, 1, &lower1);
        SafeArrayGetUBound(result, 1, &upper1);
        SafeArrayGetLBound(result, 2, &lower2);
        SafeArrayGetUBound(result, 2, &upper2);
        EXPECT_EQ(0, lower1);
        EXPECT_EQ(1, upper1);
        EXPECT_EQ(0, lower2);
        for (LONG i = 0; i <= upper2; ++i) {
            LONG nameAt[2] = {0, i}, dataAt[2] = {1, i};
            unique_variant name, data;
            SafeArrayGetElement(result, nameAt, &name);
            SafeArrayGetElement(result, dataAt, &data);
            out.push_back(str(name.bstrVal) + L"=" + text(data));
        }
        return out;
    }
    static std::wstring text(const VARIANT& v) {
        if (v.vt != (VT_ARRAY | VT_UI1)) return describe(v);
        std::wstring out = L"bytes(" + std::to_wstring(lowerBound(v.parray)) + L"):";
        static const wchar_t hex[] = L"0123456789ABCDEF";
        for (ULONG i = 0; i < v.parray->rgsabound[0].cElements; ++i) {
            const BYTE b = static_cast<BYTE*>(v.parray->pvData)[i];
            out += hex[b >> 4];
            out += hex[b & 15];
        }
        return out;
    }
    void save(LONG root, const std::wstring& key, const std::wstring& file, bool subKeys = true, bool append = false) {
        EXPECT_EQ(S_OK,
                  reg->SaveRegToFile(root, bstr(key.c_str()).get(), bstr(file.c_str()).get(),
                                     subKeys ? VARIANT_TRUE : VARIANT_FALSE, append ? VARIANT_TRUE : VARIANT_FALSE));
    }
};

std::string sz(const char* text) { return std::string(text) + '\0'; }
std::string dword(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

unique_variant byteArray(const std::string& bytes, LONG lower = 0) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, lower, ULONG(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), static_cast<char*>(array->pvData));
    return vArray(array, VT_UI1);
}

TEST_F(Registry, EveryValueTypeIsWrittenAndReadBack) {
    set(L"", L"sz", REG_SZ, vStr(L"abc"));
    set(L"", L"expand", REG_EXPAND_SZ, vStr(L"%SystemRoot%\\x"));
    set(L"", L"multi", REG_MULTI_SZ, vStr(std::wstring(L"a\0b\0", 4).c_str()));
    set(L"", L"multi", REG_MULTI_SZ, vStr(L"a"));  // overwritten; the caller supplies the NULs
    set(L"", L"multi2", REG_MULTI_SZ, vArray(nullptr, VT_EMPTY));
    set(L"", L"dword", REG_DWORD, vLong(-2));
    set(L"", L"fromText", REG_DWORD, vStr(L"17"));
    set(L"", L"notNumber", REG_DWORD, vStr(L"abc"));  // the conversion is skipped: 0 is written
    set(L"", L"binary", REG_BINARY, byteArray(std::string("\x00\xAB\x01", 3), 5));
    set(L"", L"empty", REG_SZ, vStr(L""));
    set(L"", L"none", 0, vStr(L"ignored"));
    set(L"", L"other", 11, vLong(1));
    unique_variant held = vLong(7);
    set(L"", L"byRef", REG_DWORD, vRef(&held));

    EXPECT_EQ(storedAs(REG_SZ, sz("abc")), stored(L"", L"sz"));
    EXPECT_EQ(storedAs(REG_EXPAND_SZ, sz("%SystemRoot%\\x")), stored(L"", L"expand"));
    EXPECT_EQ(storedAs(REG_MULTI_SZ, sz("a")), stored(L"", L"multi"));
    EXPECT_EQ(storedAs(REG_DWORD, dword(0xFFFFFFFE)), stored(L"", L"dword"));
    EXPECT_EQ(storedAs(REG_DWORD, dword(17)), stored(L"", L"fromText"));
    EXPECT_EQ(storedAs(REG_DWORD, dword(0)), stored(L"", L"notNumber"));
    EXPECT_EQ(storedAs(REG_DWORD, dword(7)), stored(L"", L"byRef"));
    EXPECT_EQ(storedAs(REG_BINARY, std::string("\x00\xAB\x01", 3)), stored(L"", L"binary"));
    EXPECT_EQ(storedAs(REG_SZ, ""), stored(L"", L"empty")) << "the empty String is stored as no bytes";
    EXPECT_EQ(Stored{}, stored(L"", L"none")) << "unsupported types write nothing";
    EXPECT_EQ(Stored{}, stored(L"", L"other"));
    EXPECT_TRUE(exists(L"")) << "the key is created even when nothing is written";

    EXPECT_EQ(L"'abc'", describe(get(L"", L"sz", REG_SZ)));
    EXPECT_EQ(L"'%SystemRoot%\\x'", describe(get(L"", L"expand", REG_EXPAND_SZ))) << "never expanded";
    EXPECT_EQ(-2, get(L"", L"dword", REG_DWORD).lVal);
    EXPECT_EQ(L"bytes(0):00AB01", text(get(L"", L"binary", REG_BINARY)));
    // The stored type is not compared with the one asked for.
    EXPECT_EQ(L"'abc'", describe(get(L"", L"sz", REG_MULTI_SZ)));
    EXPECT_EQ(L"bytes(0):61626300", text(get(L"", L"sz", REG_BINARY)));
    EXPECT_EQ(0x00636261, get(L"", L"sz", REG_DWORD).lVal);

    // Multi-strings keep every NUL but the final one.
    put(L"", L"ab", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    unique_variant ab = get(L"", L"ab", REG_MULTI_SZ);
    EXPECT_EQ(std::wstring(L"a\0b\0", 4), str(ab.bstrVal));

    // Missing and empty values give the default, or the omitted-argument marker without one.
    unique_variant fallback = vStr(L"fallback");
    EXPECT_EQ(L"'fallback'", describe(get(L"", L"missing", REG_SZ, &fallback)));
    EXPECT_EQ(L"'fallback'", describe(get(L"", L"empty", REG_SZ, &fallback)));
    put(L"", L"onlyNul", REG_SZ, std::string(1, '\0'));
    EXPECT_EQ(L"'fallback'", describe(get(L"", L"onlyNul", REG_SZ, &fallback)));
    unique_variant marker = get(L"", L"missing", REG_DWORD);
    EXPECT_EQ(VT_ERROR, marker.vt);
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, marker.scode);
    EXPECT_EQ(L"'fallback'", describe(get(L"NoSuchKey", L"sz", REG_SZ, &fallback)));
    // Unsupported and out-of-range type codes answer the empty String.
    EXPECT_EQ(L"''", describe(get(L"", L"sz", 5, &fallback)));
    EXPECT_EQ(L"''", describe(get(L"", L"sz", 70000, &fallback)));

    LONG type = -1;
    const std::pair<const wchar_t*, LONG> types[] = {{L"sz", REG_SZ},         {L"expand", REG_EXPAND_SZ},
                                                     {L"binary", REG_BINARY}, {L"dword", REG_DWORD},
                                                     {L"ab", REG_MULTI_SZ},   {L"missing", 0}};
    for (const auto& [name, expected] : types) {
        EXPECT_EQ(S_OK, reg->GetRegistryValueType(kHKCU, bstr(path().c_str()).get(), bstr(name).get(), &type));
        EXPECT_EQ(expected, type) << name;
    }
    EXPECT_EQ(S_OK, reg->GetRegistryValueType(kHKCU, bstr(path(L"NoSuchKey").c_str()).get(), bstr(L"x").get(), &type));
    EXPECT_EQ(0, type);

    // Late-bound, as scripts call it: the default is optional and may be named.
    unique_variant root = vLong(kHKCU), key = vStr(path().c_str()), name = vStr(L"missing"), sz = vLong(REG_SZ),
                   named = vStr(L"named");
    Call omitted = invoke(late.get(), L"GetRegistryValue", {&root, &key, &name, &sz});
    EXPECT_EQ(S_OK, omitted.hr);
    EXPECT_EQ(VT_ERROR, omitted.result.vt);
    Call given = invoke(late.get(), L"getregistryvalue", {&root, &key, &name, &sz}, {{L"DefaultValue", &named}});
    EXPECT_EQ(L"'named'", describe(given.result));
}

TEST_F(Registry, BufferLimitsOfReadsAndEnumerations) {
    unique_variant fallback = vStr(L"fallback");
    put(L"", L"s1023", REG_SZ, sz(std::string(1022, 'x').c_str()));  // 1,023 bytes with the NUL
    put(L"", L"s1025", REG_SZ, sz(std::string(1024, 'x').c_str()));  // 1,025
    put(L"", L"m2000", REG_MULTI_SZ, std::string(1998, 'm') + std::string(2, '\0'));
    put(L"", L"b4096", REG_BINARY, std::string(4096, '\x5A'));
    put(L"", L"b4097", REG_BINARY, std::string(4097, '\x5A'));
    put(L"", L"d", REG_DWORD, dword(1));
    put(L"", L"e", REG_EXPAND_SZ, sz("e"));
    EXPECT_EQ(1022u, str(get(L"", L"s1023", REG_SZ, &fallback).bstrVal).size());
    EXPECT_EQ(L"'fallback'", describe(get(L"", L"s1025", REG_SZ, &fallback)));
    EXPECT_EQ(L"'fallback'", describe(get(L"", L"m2000", REG_MULTI_SZ, &fallback))) << "strings read 1,024 bytes";
    unique_variant b4096 = get(L"", L"b4096", REG_BINARY, &fallback);
    ASSERT_EQ(VT_ARRAY | VT_UI1, b4096.vt);
    EXPECT_EQ(4096u, b4096.parray->rgsabound[0].cElements);
    EXPECT_EQ(L"'fallback'", describe(get(L"", L"b4097", REG_BINARY, &fallback)));

    EXPECT_TRUE(checkValue(L"", L"s1023", REG_SZ));
    EXPECT_FALSE(checkValue(L"", L"s1025", REG_SZ));
    EXPECT_TRUE(checkValue(L"", L"s1025", REG_MULTI_SZ)) << "multi-strings and bytes are checked with 4,096";
    EXPECT_TRUE(checkValue(L"", L"m2000", REG_BINARY));
    EXPECT_TRUE(checkValue(L"", L"b4096", REG_BINARY));
    EXPECT_FALSE(checkValue(L"", L"b4097", REG_BINARY));
    EXPECT_FALSE(checkValue(L"", L"d", REG_DWORD)) << "no query is made for other types";
    EXPECT_FALSE(checkValue(L"", L"e", REG_EXPAND_SZ));
    EXPECT_FALSE(checkValue(L"", L"missing", REG_SZ));
    EXPECT_FALSE(checkValue(L"NoSuchKey", L"d", REG_SZ));

    // A value of more than 4,096 bytes ends the enumeration where it stands (names are sorted).
    put(L"list", L"a", REG_SZ, sz("first"));
    put(L"list", L"b", REG_BINARY, std::string(5000, '\1'));
    put(L"list", L"c", REG_SZ, sz("never listed"));
    EXPECT_EQ((Strings{L"a='first'"}), values(kHKCU, path(L"list")));
    put(L"list", L"b", REG_BINARY, std::string(4096, '\1'));
    EXPECT_EQ(3u, values(kHKCU, path(L"list")).size());
}

TEST_F(Registry, EnumerationsListNamesAndDataInOrder) {
    put(L"", L"", REG_SZ, sz("default"));
    put(L"", L"bin", REG_BINARY, std::string("\x01\x02", 2));
    put(L"", L"dw", REG_DWORD, dword(255));
    put(L"", L"emptyBin", REG_BINARY, "");
    put(L"", L"emptySz", REG_SZ, "");
    put(L"", L"exp", REG_EXPAND_SZ, sz("%A%"));
    put(L"", L"multi", REG_MULTI_SZ, std::string("a\0\0", 3));
    put(L"", L"none", REG_NONE, "\x07");
    EXPECT_EQ((Strings{L"='default'", L"bin=bytes(0):0102", L"dw=255", L"emptyBin=bytes(0):", L"emptySz=''",
                       L"exp=bytes(0):25412500", L"multi=bytes(0):610000", L"none=bytes(0):07"}),
              values(kHKCU, path()));
    makeKey(L"b");
    makeKey(L"a");
    makeKey(L"a\\deeper");
    EXPECT_EQ((Strings{L"a", L"b"}), keys(kHKCU, path()));
    EXPECT_EQ(Strings{}, keys(kHKCU, path(L"b"))) << "no subkeys: an empty array";
    EXPECT_EQ(Strings{}, keys(kHKCU, path(L"missing")));
    EXPECT_EQ(Strings{}, values(kHKCU, path(L"b")));
    EXPECT_EQ(Strings{}, values(kHKCU, path(L"missing")));
    // An empty name enumerates the handle itself, which stays open for its owner.
    HKEY own = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, path().c_str(), 0, KEY_READ, &own));
    const LONG handle = static_cast<LONG>(reinterpret_cast<INT_PTR>(own));
    EXPECT_EQ((Strings{L"a", L"b"}), keys(handle, L""));
    EXPECT_EQ(8u, values(handle, L"").size());
    EXPECT_EQ((Strings{L"deeper"}), keys(handle, L"a"));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(own)) << "the caller's handle was closed by the library";
    // More entries than the first allocation holds.
    for (int i = 0; i < 250; ++i)
        makeKey(L"many\\" + std::to_wstring(1000 + i));
    Strings many = keys(kHKCU, path(L"many"));
    ASSERT_EQ(250u, many.size());
    EXPECT_EQ(L"1249", many.back());
}

TEST_F(Registry, KeysAreCreatedCheckedAndDeleted) {
    EXPECT_FALSE(createKey(kHKCU, path(L"k"))) << "newly created";
    EXPECT_TRUE(createKey(kHKCU, path(L"k"))) << "already there";
    EXPECT_TRUE(checkKey(kHKCU, path(L"k")));
    EXPECT_TRUE(checkKey(kHKCU, path(L"k"), true));
    EXPECT_TRUE(checkKey(kHKCU, L""));
    EXPECT_FALSE(checkKey(kHKCU, path(L"none")));
    makeKey(L"k\\sub");
    EXPECT_FALSE(deleteKey(kHKCU, path(L"k"))) << "a key with subkeys stays";
    EXPECT_TRUE(exists(L"k\\sub"));
    EXPECT_TRUE(deleteKey(kHKCU, path(L"k\\sub")));
    EXPECT_FALSE(exists(L"k\\sub"));
    EXPECT_FALSE(deleteKey(kHKCU, path(L"k\\sub")));
    makeKey(L"tree\\a\\b\\c");
    put(L"tree\\a", L"v", REG_SZ, sz("v"));
    EXPECT_FALSE(deleteKey(kHKCU, L"", true));
    EXPECT_TRUE(deleteKey(kHKCU, path(L"tree"), true));
    EXPECT_FALSE(exists(L"tree"));
    EXPECT_FALSE(deleteKey(kHKCU, path(L"tree"), true)) << "the 32-bit system's deep delete fails on a missing key";

    EXPECT_EQ(S_OK, reg->CreateRegistryKeyRecursive(kHKCU, bstr(path(L"r1\\r2\\r3").c_str()).get()));
    EXPECT_TRUE(exists(L"r1\\r2\\r3"));
    EXPECT_EQ(S_OK, reg->CreateRegistryKeyRecursive(kHKCU, bstr(path(L"r1\\r2\\r3").c_str()).get()));
    // A root that cannot be written raises error 99, early- and late-bound.
    EXPECT_EQ(vbError(99), reg->CreateRegistryKeyRecursive(0x1234, bstr(L"a\\b").get()));
    unique_variant root = vLong(0x1234), name = vStr(L"x");
    Call call = invoke(late.get(), L"CreateRegistryKeyRecursive", {&root, &name});
    EXPECT_EQ(DISP_E_EXCEPTION, call.hr);
    EXPECT_EQ(99, call.exception.scode ? HRESULT_CODE(call.exception.scode) : call.exception.wCode);
}

TEST_F(Registry, SeveralStringValuesInOneCall) {
    Array names(stringVector({L"one", L"two"}, 1)), texts(stringVector({L"1", L""}, 1));
    VARIANT_BOOL ok = 1;
    EXPECT_TRUE(boolean(
        reg->SetRegistryValueArray(kHKCU, bstr(path().c_str()).get(), names.ref(), REG_DWORD, texts.ref(), &ok), ok));
    EXPECT_EQ(storedAs(REG_SZ, sz("1")), stored(L"", L"one")) << "always strings, whatever the type asked for";
    EXPECT_EQ(storedAs(REG_SZ, ""), stored(L"", L"two"));
    Array shifted(stringVector({L"three", L"four"}, 0));
    EXPECT_FALSE(boolean(
        reg->SetRegistryValueArray(kHKCU, bstr(path().c_str()).get(), shifted.ref(), REG_SZ, texts.ref(), &ok), ok));
    Array none;
    EXPECT_FALSE(boolean(
        reg->SetRegistryValueArray(kHKCU, bstr(path().c_str()).get(), none.ref(), REG_SZ, texts.ref(), &ok), ok));
    EXPECT_EQ(Stored{}, stored(L"", L"three")) << "nothing written";
    EXPECT_FALSE(
        boolean(reg->SetRegistryValueArray(0x1234, bstr(L"x").get(), names.ref(), REG_SZ, texts.ref(), &ok), ok));
}

TEST_F(Registry, CopyTakesValuesAndOnRequestSubkeys) {
    put(L"src", L"sz", REG_SZ, sz("C:\\x"));
    put(L"src", L"exp", REG_EXPAND_SZ, sz("%A%"));
    put(L"src", L"multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    put(L"src", L"dw", REG_DWORD, dword(0x80000000));
    put(L"src", L"bin", REG_BINARY, std::string("\0\xFF", 2));
    put(L"src", L"none", REG_NONE, "\1");
    put(L"src", L"", REG_SZ, sz("default"));
    put(L"src\\child\\grand", L"deep", REG_DWORD, dword(3));
    put(L"dst", L"kept", REG_SZ, sz("kept"));
    put(L"dst", L"sz", REG_SZ, sz("overwritten"));
    EXPECT_EQ(S_OK, reg->CopyRegistryKey(kHKCU, bstr(path(L"src").c_str()).get(), bstr(path(L"dst").c_str()).get(),
                                         VARIANT_FALSE));
    for (const wchar_t* name : {L"sz", L"exp", L"multi", L"dw", L"bin", L""})
        EXPECT_EQ(stored(L"src", name), stored(L"dst", name)) << name;
    EXPECT_EQ(Stored{}, stored(L"dst", L"none")) << "other types are skipped";
    EXPECT_EQ(storedAs(REG_SZ, sz("kept")), stored(L"dst", L"kept"));
    EXPECT_FALSE(exists(L"dst\\child")) << "no recursion asked for";

    EXPECT_EQ(S_OK, reg->CopyRegistryKey(kHKCU, bstr(path(L"src").c_str()).get(),
                                         bstr(path(L"new\\copy").c_str()).get(), VARIANT_TRUE));
    EXPECT_EQ(stored(L"src\\child\\grand", L"deep"), stored(L"new\\copy\\child\\grand", L"deep"));
    EXPECT_EQ(stored(L"src", L"bin"), stored(L"new\\copy", L"bin"));

    // A missing source changes nothing and raises nothing; a value over 4,096 bytes ends the
    // value loop there.
    EXPECT_EQ(S_OK, reg->CopyRegistryKey(kHKCU, bstr(path(L"missing").c_str()).get(),
                                         bstr(path(L"never").c_str()).get(), VARIANT_TRUE));
    EXPECT_FALSE(exists(L"never"));
    put(L"big", L"a", REG_SZ, sz("a"));
    put(L"big", L"b", REG_BINARY, std::string(5000, '\2'));
    put(L"big", L"c", REG_SZ, sz("c"));
    EXPECT_EQ(S_OK, reg->CopyRegistryKey(kHKCU, bstr(path(L"big").c_str()).get(), bstr(path(L"big2").c_str()).get(),
                                         VARIANT_FALSE));
    EXPECT_EQ(storedAs(REG_SZ, sz("a")), stored(L"big2", L"a"));
    EXPECT_EQ(Stored{}, stored(L"big2", L"b"));
    EXPECT_EQ(Stored{}, stored(L"big2", L"c"));
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

std::string blockLine(const std::wstring& key) { return "[HKEY_CURRENT_USER\\" + ansiOf(key) + "]\r\n"; }

TEST_F(Registry, ExportWritesRegedit4BlocksDepthFirst) {
    buildExportTree(*this);
    const std::wstring file = tempFile(L"lark_export.reg");
    DeleteFileW(file.c_str());
    save(kHKCU, path(L"exp"), file);
    const std::string big = "\"big\"=hex:" + [] {
        std::string h;
        for (int i = 0; i < 5000; ++i)
            h += i ? ",11" : "11";
        return h;
    }() + "\r\n";
    const std::string rootBlock = blockLine(path(L"exp")) +
                                  "@=\"text\"\r\n"
                                  "\"Count\"=dword:0000000A\r\n"
                                  "\"Expand\"=\"%SystemRoot%\\x\"\r\n"
                                  "\"Folder\"=\"C:\\\\Data\\\\In\"\r\n"
                                  "\"Minus\"=dword:FFFFFFFF\r\n" +
                                  std::string("\"Multi\"=\"a\0b\"\r\n", 15) +
                                  "\"None\"=\r\n"
                                  "\"Raw\"=hex:01,0A,FF\r\n"
                                  "\r\n";
    const std::string subBlocks = blockLine(path(L"exp\\a")) + "\"v\"=\"1\"\r\n\r\n" +
                                  blockLine(path(L"exp\\a\\deep")) + "\r\n" + blockLine(path(L"exp\\b")) + big +
                                  "\"q\"=\"say \"hi\"\"\r\n\r\n";
    EXPECT_EQ("REGEDIT4\r\n\r\n" + rootBlock + subBlocks, bytesOf(file));

    // Without subkeys; then appended to a file that has the header in another letter case.
    save(kHKCU, path(L"exp\\a"), file, false);
    EXPECT_EQ("REGEDIT4\r\n\r\n" + blockLine(path(L"exp\\a")) + "\"v\"=\"1\"\r\n\r\n", bytesOf(file));
    writeBytes(file, "regedit4\r\n\r\n");
    save(kHKCU, path(L"exp\\a"), file, true, true);
    EXPECT_EQ("regedit4\r\n\r\n" + blockLine(path(L"exp\\a")) + "\"v\"=\"1\"\r\n\r\n" +
                  blockLine(path(L"exp\\a\\deep")) + "\r\n",
              bytesOf(file));
    // Appending to a file without the header puts it after what is there; to a missing file,
    // at the start.
    writeBytes(file, "; notes\r\n");
    save(kHKCU, path(L"exp\\a\\deep"), file, true, true);
    EXPECT_EQ("; notes\r\nREGEDIT4\r\n\r\n" + blockLine(path(L"exp\\a\\deep")) + "\r\n", bytesOf(file));
    DeleteFileW(file.c_str());
    save(kHKCU, path(L"exp\\a\\deep"), file, false, true);
    EXPECT_EQ("REGEDIT4\r\n\r\n" + blockLine(path(L"exp\\a\\deep")) + "\r\n", bytesOf(file));

    // A key that does not open still gets its key line and empty line; other handles have no
    // root name; an empty path names the root itself.
    save(kHKCU, path(L"missing"), file);
    EXPECT_EQ("REGEDIT4\r\n\r\n" + blockLine(path(L"missing")) + "\r\n", bytesOf(file));
    HKEY own = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, path(L"exp").c_str(), 0, KEY_READ, &own));
    save(static_cast<LONG>(reinterpret_cast<INT_PTR>(own)), L"a", file, false);
    EXPECT_EQ("REGEDIT4\r\n\r\n[a]\r\n\"v\"=\"1\"\r\n\r\n", bytesOf(file));
    RegCloseKey(own);
    save(kHKCU, L"", file, false);
    EXPECT_EQ(0u, bytesOf(file).find("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\]\r\n"));

    // Unwritable targets are skipped without an error.
    const std::wstring noFolder = tempFile(L"no_such_folder\\x.reg");
    save(kHKCU, path(L"exp"), noFolder);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(noFolder.c_str()));
    save(kHKCU, path(L"exp"), tempFile(L""), true, true);
    DeleteFileW(file.c_str());
}

// Waits (bounded) until the platform shows the value, as an import ends with its last block.
bool waitFor(Registry& t, const std::wstring& sub, const std::wstring& name) {
    for (int i = 0; i < 300; ++i) {
        if (t.stored(sub, name).type != 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

TEST_F(Registry, ExportedTreeComesBackThroughTheRegistryEditor) {
    buildExportTree(*this);
    // A multi-string of several items puts NUL characters into the file, where the registry
    // editor stops reading altogether; one item has none.
    put(L"exp", L"Multi", REG_MULTI_SZ, std::string("a\0\0", 3));
    put(L"exp\\z", L"last", REG_SZ, sz("done"));
    const std::vector<std::pair<std::wstring, std::wstring>> all = {
        {L"exp", L""},      {L"exp", L"Count"}, {L"exp", L"Expand"}, {L"exp", L"Folder"},
        {L"exp", L"Minus"}, {L"exp", L"Multi"}, {L"exp", L"None"},   {L"exp", L"Raw"},
        {L"exp\\a", L"v"},  {L"exp\\b", L"q"},  {L"exp\\b", L"big"}, {L"exp\\z", L"last"}};
    std::vector<Stored> before;
    for (const auto& [sub, name] : all)
        before.push_back(stored(sub, name));
    const std::wstring file = tempFile(L"lark_roundtrip.reg");
    save(kHKCU, path(L"exp"), file);
    EXPECT_TRUE(deleteKey(kHKCU, path(L"exp"), true));
    ASSERT_FALSE(exists(L"exp"));
    EXPECT_EQ(S_OK, reg->ApplyRegFile(bstr(file.c_str()).get()));  // returns before the import ends
    ASSERT_TRUE(waitFor(*this, L"exp\\z", L"last")) << "the registry editor did not import the file";
    EXPECT_TRUE(exists(L"exp\\a\\deep"));
    // What REGEDIT4 carries unchanged: plain strings (a drive path's doubled backslashes are
    // read back as single ones), numbers and bytes, of any length.
    for (const wchar_t* name : {L"", L"Count", L"Folder", L"Minus", L"Raw"}) {
        const size_t i = std::find_if(all.begin(), all.end(), [&](auto& a) { return a.second == name; }) - all.begin();
        EXPECT_EQ(before[i], stored(L"exp", name)) << "value '" << ansiOf(name) << "'";
    }
    EXPECT_EQ(before[8], stored(L"exp\\a", L"v"));
    EXPECT_EQ(before[10], stored(L"exp\\b", L"big"));
    // What it cannot carry: an expandable string comes back as a plain string (its type is not
    // written) and loses a backslash that is not doubled (not a drive path), a multi-string comes
    // back as a plain string, and a value without data or a string holding double quotes is not
    // imported at all.
    EXPECT_EQ(storedAs(REG_SZ, sz("%SystemRoot%x")), stored(L"exp", L"Expand"));
    EXPECT_EQ(storedAs(REG_SZ, sz("a")), stored(L"exp", L"Multi"));
    EXPECT_EQ(Stored{}, stored(L"exp", L"None"));
    EXPECT_EQ(Stored{}, stored(L"exp\\b", L"q"));
    DeleteFileW(file.c_str());
}

TEST_F(Registry, ApplyRegFileStartsNothingForFoldersOrMissingFiles) {
    const std::wstring folder = tempFile(L"lark_apply.reg");
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring marker = path(L"applied");
    const std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + ansiOf(marker) + "]\r\n\"x\"=\"y\"\r\n\r\n";
    writeBytes(folder + L"\\inside.reg", text);
    EXPECT_EQ(S_OK, reg->ApplyRegFile(bstr(folder.c_str()).get()));
    EXPECT_EQ(S_OK, reg->ApplyRegFile(bstr(tempFile(L"lark_missing.reg").c_str()).get()));
    EXPECT_EQ(S_OK, reg->ApplyRegFile(bstr(L"").get()));
    // A file next to them is applied, so an import started by the calls above would show too.
    const std::wstring real = tempFile(L"lark_apply_real.reg");
    writeBytes(real, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + ansiOf(path(L"real")) + "]\r\n\"x\"=\"y\"\r\n\r\n");
    EXPECT_EQ(S_OK, reg->ApplyRegFile(bstr(real.c_str()).get()));
    EXPECT_TRUE(waitFor(*this, L"real", L"x"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(exists(L"applied"));
    DeleteFileW((folder + L"\\inside.reg").c_str());
    RemoveDirectoryW(folder.c_str());
    DeleteFileW(real.c_str());
}

// A top-level window of its own class, hidden until a test shows it.
struct TestWindow {
    HWND hwnd = nullptr;
    TestWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"LarkRegistryTestWindow";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(0, wc.lpszClassName, L"placement", WS_OVERLAPPEDWINDOW, 10, 10, 50, 50, nullptr, nullptr,
                               wc.hInstance, nullptr);
    }
    ~TestWindow() { DestroyWindow(hwnd); }
    LONG handle() const { return static_cast<LONG>(reinterpret_cast<INT_PTR>(hwnd)); }
    void pump() const {
        MSG msg;
        for (int i = 0; i < 20; ++i) {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            Sleep(10);
        }
    }
    RECT normal() const {
        WINDOWPLACEMENT wp{};
        wp.length = sizeof wp;
        GetWindowPlacement(hwnd, &wp);
        return wp.rcNormalPosition;
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

std::string rectText(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

TEST_F(Registry, WindowPlacementIsSavedAndRestored) {
    TestWindow window;
    ASSERT_TRUE(window.hwnd) << "no window: is the display there?";
    window.place({120, 130, 420, 330}, SW_SHOWNORMAL);
    Text key(path(L"window"));
    EXPECT_EQ(S_OK, reg->SaveWindowPos(window.handle(), key.ref()));
    EXPECT_EQ(path(L"window"), key.text()) << "the caller's variable is not changed";
    EXPECT_EQ(storedAs(REG_DWORD, dword(SW_SHOWNORMAL)), stored(L"window", L"ShowCmd"));
    EXPECT_EQ(storedAs(REG_DWORD, dword(120)), stored(L"window", L"rcNormalPositionLeft"));
    EXPECT_EQ(storedAs(REG_DWORD, dword(130)), stored(L"window", L"rcNormalPositionTop"));
    EXPECT_EQ(storedAs(REG_DWORD, dword(420)), stored(L"window", L"rcNormalPositionRight"));
    EXPECT_EQ(storedAs(REG_DWORD, dword(330)), stored(L"window", L"rcNormalPositionBottom"));

    // Defaults: back to the saved rectangle, shown.
    window.place({300, 300, 520, 480});
    LONG none = 0;
    EXPECT_EQ(S_OK, reg->RestoreWindowPos(window.handle(), key.ref(), &none, &none, -1));
    EXPECT_EQ("120,130,420,330", rectText(window.normal()));
    EXPECT_TRUE(IsWindowVisible(window.hwnd));

    // Late-bound with the optionals left out.
    window.place({300, 300, 520, 480});
    unique_variant hwnd = vLong(window.handle()), keyArg = vStr(path(L"window").c_str());
    EXPECT_EQ(S_OK, invoke(late.get(), L"RestoreWindowPos", {&hwnd, &keyArg}).hr);
    EXPECT_EQ("120,130,420,330", rectText(window.normal()));

    // SW = 0 applies the rectangle and leaves the window hidden.
    window.place({300, 300, 520, 480});
    EXPECT_EQ(S_OK, reg->RestoreWindowPos(window.handle(), key.ref(), &none, &none, 0));
    EXPECT_EQ("120,130,420,330", rectText(window.normal()));
    EXPECT_FALSE(IsWindowVisible(window.hwnd));

    // The minimum size widens and heightens a small stored rectangle.
    put(L"small", L"ShowCmd", REG_DWORD, dword(SW_SHOWNORMAL));
    put(L"small", L"rcNormalPositionLeft", REG_DWORD, dword(100));
    put(L"small", L"rcNormalPositionTop", REG_DWORD, dword(100));
    put(L"small", L"rcNormalPositionRight", REG_DWORD, dword(150));
    put(L"small", L"rcNormalPositionBottom", REG_DWORD, dword(120));
    Text small(path(L"small"));
    LONG minWidth = 200, minHeight = 100;
    EXPECT_EQ(S_OK, reg->RestoreWindowPos(window.handle(), small.ref(), &minWidth, &minHeight, 0));
    EXPECT_EQ("100,100,300,200", rectText(window.normal()));
    EXPECT_EQ(200, minWidth);

    // A coordinate of 0 or below, or no stored values at all: the window stays where it is, but
    // a missing show command (-1) still shows it.
    put(L"small", L"rcNormalPositionLeft", REG_DWORD, dword(0));
    window.place({300, 300, 520, 480});
    EXPECT_EQ(S_OK, reg->RestoreWindowPos(window.handle(), small.ref(), &none, &none, 0));
    EXPECT_EQ("300,300,520,480", rectText(window.normal()));
    Text empty(path(L"nothing"));
    ShowWindow(window.hwnd, SW_HIDE);
    EXPECT_EQ(S_OK, reg->RestoreWindowPos(window.handle(), empty.ref(), &none, &none, -1));
    EXPECT_EQ("300,300,520,480", rectText(window.normal()));
    EXPECT_TRUE(IsWindowVisible(window.hwnd));

    // A saved maximised state ends maximised, once the posted command is handled.
    ShowWindow(window.hwnd, SW_MAXIMIZE);
    window.pump();
    EXPECT_EQ(S_OK, reg->SaveWindowPos(window.handle(), key.ref()));
    EXPECT_EQ(storedAs(REG_DWORD, dword(SW_SHOWMAXIMIZED)), stored(L"window", L"ShowCmd"));
    ShowWindow(window.hwnd, SW_RESTORE);
    ShowWindow(window.hwnd, SW_HIDE);
    window.pump();
    ASSERT_FALSE(IsZoomed(window.hwnd));
    EXPECT_EQ(S_OK, reg->RestoreWindowPos(window.handle(), key.ref(), &none, &none, -1));
    window.pump();
    EXPECT_TRUE(IsZoomed(window.hwnd));
    EXPECT_TRUE(IsWindowVisible(window.hwnd));

    // A window that is not there: nothing is stored, nothing fails.
    Text other(path(L"gone"));
    EXPECT_EQ(S_OK, reg->SaveWindowPos(0x7FFF0, other.ref()));
    EXPECT_TRUE(exists(L"gone")) << "the key is made before the window is asked";
    EXPECT_EQ(Strings{}, values(kHKCU, path(L"gone")));
    EXPECT_EQ(S_OK, reg->RestoreWindowPos(0x7FFF0, key.ref(), &none, &none, -1));
}

// File types registered for the test under HKEY_CLASSES_ROOT, removed afterwards.
class FileTypes : public Registry {
public:
    void SetUp() override {
        Registry::SetUp();
        classes(L".larktest", "LarkLib8Test.File");
        classes(L"LarkLib8Test.File", "Lark test file");
        classes(L".larkprog", "LarkLib8Test.NoText");
        makeClass(L"LarkLib8Test.NoText");
        makeClass(L".larknodefault");
    }
    void TearDown() override {
        for (const wchar_t* key :
             {L".larktest", L"LarkLib8Test.File", L".larkprog", L"LarkLib8Test.NoText", L".larknodefault"})
            RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
        Registry::TearDown();
    }
    void makeClass(const wchar_t* key) {
        HKEY k = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr));
        RegCloseKey(k);
    }
    void classes(const wchar_t* key, const std::string& text) {
        makeClass(key);
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, ansiOf(key).c_str(), REG_SZ, text.c_str(), 0));
    }
    std::wstring type(const wchar_t* extension) {
        BSTR out = nullptr;
        EXPECT_EQ(S_OK, reg->GetFileType(bstr(extension).get(), &out));
        unique_bstr owner(out);
        return str(out);
    }
};

TEST_F(FileTypes, DescriptionsComeFromTheProgIdAndAreCached) {
    EXPECT_EQ(L"Lark test file", type(L".larktest"));
    EXPECT_EQ(L"Lark test file", type(L"larktest"));
    EXPECT_EQ(L"LarkLib8Test.NoText", type(L".larkprog")) << "a ProgID without a description";
    EXPECT_EQ(L".larknodefault", type(L".larknodefault")) << "an extension key without a default value";
    EXPECT_EQ(L".XYZLARK", type(L"xyzlark")) << "unregistered";
    EXPECT_EQ(L"", type(L""));

    // The cache answers what it stored, compared as given and without regard to case; the
    // form without a dot was stored with its dot, so it is looked up again.
    classes(L"LarkLib8Test.File", "Changed");
    EXPECT_EQ(L"Lark test file", type(L".LARKTEST"));
    EXPECT_EQ(L"Changed", type(L"larktest"));
    // Another instance has its own cache.
    ComPtr<_CRegistry2> other = createByProgId<_CRegistry2>(L"LARKLIB8.CRegistry2");
    BSTR out = nullptr;
    EXPECT_EQ(S_OK, other->GetFileType(bstr(L".larktest").get(), &out));
    EXPECT_EQ(L"Changed", str(out));
    SysFreeString(out);
    // Many entries: the cache grows past its first ten.
    for (int i = 0; i < 25; ++i)
        type(numbered(L".lark", i).c_str());
    EXPECT_EQ(L".LARK24", type(L".lark24"));
    EXPECT_EQ(L"Lark test file", type(L".larktest"));
}

TEST_F(Registry, BadInputGivesTheStatedResults) {
    const LONG invalid = 0x1234;
    const BSTR name = bstr(L"x").release();
    unique_bstr nameOwner(name);
    VARIANT_BOOL b = 1;
    LONG type = -1;
    EXPECT_FALSE(boolean(reg->CheckRegistryKey(invalid, name, VARIANT_TRUE, &b), b));
    EXPECT_FALSE(boolean(reg->CreateRegistryKey(invalid, name, &b), b));
    EXPECT_FALSE(boolean(reg->DeleteRegistryKey(invalid, name, &b), b));
    EXPECT_FALSE(boolean(reg->DeleteRegistryKeyDeep(invalid, name, &b), b));
    EXPECT_EQ(S_OK, reg->GetRegistryValueType(invalid, name, name, &type));
    EXPECT_EQ(0, type);
    unique_variant def = vLong(5), out;
    EXPECT_EQ(S_OK, reg->GetRegistryValue(invalid, name, name, REG_SZ, &def, &out));
    EXPECT_EQ(L"5", describe(out));
    EXPECT_FALSE(boolean(reg->CheckRegistryValue(invalid, name, name, REG_SZ, &b), b));
    unique_variant v = vStr(L"x");
    EXPECT_EQ(S_OK, reg->SetRegistryValue(invalid, name, name, REG_SZ, &v));
    EXPECT_EQ(S_OK, reg->DeleteRegistryValue(invalid, name, name));
    EXPECT_EQ(Strings{}, keys(invalid, L""));
    EXPECT_EQ(Strings{}, values(invalid, L"x"));
    EXPECT_EQ(S_OK, reg->CopyRegistryKey(invalid, name, name, VARIANT_TRUE));
    // Null out parameters are refused.
    EXPECT_EQ(E_POINTER, reg->CheckRegistryKey(kHKCU, name, VARIANT_FALSE, nullptr));
    EXPECT_EQ(E_POINTER, reg->GetRegistryValue(kHKCU, name, name, REG_SZ, &def, nullptr));
    EXPECT_EQ(E_POINTER, reg->SetRegistryValue(kHKCU, name, name, REG_SZ, nullptr));

    // Empty names: the default value of a key, and the root's own key.
    set(L"", L"", REG_SZ, vStr(L"default"));
    EXPECT_EQ(storedAs(REG_SZ, sz("default")), stored(L"", L""));
    EXPECT_EQ(L"'default'", describe(get(L"", L"", REG_SZ)));
    // A value that is not a Byte array writes nothing; an object does not convert to text.
    set(L"", L"bin", REG_BINARY, vStr(L"not bytes"));
    EXPECT_EQ(Stored{}, stored(L"", L"bin"));
    unique_variant object;
    object.vt = VT_DISPATCH;
    object.pdispVal = late.get();
    late->AddRef();
    set(L"", L"obj", REG_SZ, object);
    EXPECT_EQ(storedAs(REG_SZ, ""), stored(L"", L"obj"));
    // Values too large for the members' buffers are not half-read.
    put(L"", L"huge", REG_SZ, std::string(60000, 'h') + '\0');
    unique_variant fallback = vStr(L"fallback");
    EXPECT_EQ(L"'fallback'", describe(get(L"", L"huge", REG_SZ, &fallback)));
    EXPECT_EQ(L"'fallback'", describe(get(L"", L"huge", REG_BINARY, &fallback)));
    EXPECT_EQ(L"'fallback'", describe(get(L"", L"huge", REG_DWORD, &fallback)));
}

// The platform hands out the lowest free handle slot again, so a key handle that some member
// left open shows as a higher handle value for the next key opened.
HKEY nextKeyHandle() {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key);
    RegCloseKey(key);
    return key;
}

TEST_F(Registry, NoMemberLeavesAHandleOpen) {
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
        checkValue(L"h", L"s", REG_SZ);
        createKey(kHKCU, path(L"h2"));
        checkKey(kHKCU, path(L"h2"), true);
        values(kHKCU, path(L"exp"));
        keys(kHKCU, path(L"exp"));
        VARIANT_BOOL ok;
        reg->SetRegistryValueArray(kHKCU, bstr(path(L"h").c_str()).get(), names.ref(), REG_SZ, texts.ref(), &ok);
        reg->CopyRegistryKey(kHKCU, bstr(path(L"exp").c_str()).get(), bstr(path(L"copy").c_str()).get(), VARIANT_TRUE);
        save(kHKCU, path(L"exp"), file);
        reg->CreateRegistryKeyRecursive(0x1234, bstr(L"a\\b").get());
        deleteKey(kHKCU, path(L"copy"), true);
        reg->DeleteRegistryValue(kHKCU, bstr(path(L"h").c_str()).get(), bstr(L"s").get());
    }
    EXPECT_LE(reinterpret_cast<uintptr_t>(nextKeyHandle()), reinterpret_cast<uintptr_t>(before));
    DeleteFileW(file.c_str());
}

}  // namespace
}  // namespace lark::test
