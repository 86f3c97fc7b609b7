// The word, pointer and object helpers of CDataStructures3, on memory and objects the test made:
// task-allocator strings, ANSI buffers with embedded zeros, pages that cannot be read, a real
// object's virtual table, reference counts as the caller holds them, and system messages.
#include "com_support.hpp"

namespace lark::test {
namespace {

LONG_PTR address(const void* p) { return reinterpret_cast<LONG_PTR>(p); }

unique_variant vPtr(LONG_PTR v) {
    unique_variant r;
    r.vt = VT_I8;
    r.llVal = v;
    return r;
}

unique_variant vObject(IUnknown* object, VARTYPE vt) {
    unique_variant r;
    r.vt = vt;
    r.punkVal = object;
    if (object) object->AddRef();  // the variable holds a reference of its own
    return r;
}

// The string a call left in s, which it then frees; s is read after the call has run.
std::wstring taken(HRESULT hr, BSTR& s) {
    EXPECT_EQ(S_OK, hr);
    std::wstring out = str(s);
    SysFreeString(s);
    return out;
}

// Two pages: the first readable, the second not, so a read that runs on faults.
class Pages {
public:
    Pages() {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        size_ = info.dwPageSize;
        base_ = static_cast<char*>(VirtualAlloc(nullptr, 2 * size_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(base_ + size_, size_, PAGE_NOACCESS, &old);
    }
    Pages(const Pages&) = delete;
    Pages& operator=(const Pages&) = delete;
    ~Pages() { VirtualFree(base_, 0, MEM_RELEASE); }
    // The last n bytes before the page that cannot be read.
    char* lastBytes(size_t n) const { return base_ + size_ - n; }
    char* unreadable() const { return base_ + size_; }

private:
    char* base_ = nullptr;
    size_t size_ = 0;
};

class DataHelpers : public testing::Test {
protected:
    ComPtr<_CDataStructures3> ds = createByProgId<_CDataStructures3>(L"LARKLIB8.CDataStructures3");
    ComPtr<IDispatch> late = ds.query<IDispatch>();
};

// Every boundary of the word rules is covered on the host; here the members reach them and give
// their automation types, and addresses keep all their bits.
TEST_F(DataHelpers, WordsAndAddressesEarlyAndLateBound) {
    ASSERT_TRUE(ds);
    short w = 0;
    EXPECT_EQ(-1, got(ds->HiWord(-65536, &w), w));
    const LONG_PTR highBits = LONG_PTR(0x123456789ABCDEF0LL >> (64 - 8 * sizeof(LONG_PTR)));
    LONG_PTR same = 0;
    EXPECT_EQ(highBits, got(ds->GetAddress(highBits, &same), same));

    unique_variant minusOne = vLong(-1), one = vLong(1), address = vPtr(highBits);
    Call lowByte = invoke(late.get(), L"LOBYTE", {&minusOne}), loWord = invoke(late.get(), L"LoWord", {&minusOne}),
         pack = invoke(late.get(), L"PackWords", {&minusOne, &one}),
         echoed = invoke(late.get(), L"GetAddress", {&address});
    EXPECT_EQ(VT_UI1, lowByte.result.vt);
    EXPECT_EQ(255, lowByte.result.bVal);
    EXPECT_EQ(VT_I2, loWord.result.vt);
    EXPECT_EQ(-1, loWord.result.iVal);
    EXPECT_EQ(131071, pack.result.lVal);
    EXPECT_EQ(VT_I8, echoed.result.vt);
    EXPECT_EQ(highBits, LONG_PTR(echoed.result.llVal));
}

TEST_F(DataHelpers, AnsiStringsFromPointers) {
    ASSERT_TRUE(ds);
    const char ten[] = "abcdefghij";
    BSTR s = nullptr;
    EXPECT_EQ(L"abc", taken(ds->RetainedStrFromPtrA(address(ten), 3, &s), s));
    EXPECT_EQ(L"abcdefghij", taken(ds->RetainedStrFromPtrA(address(ten), 0, &s), s));
    EXPECT_EQ(L"abcdefghij", taken(ds->RetainedStrFromPtrA(address(ten), -4, &s), s));
    EXPECT_EQ(L"", taken(ds->RetainedStrFromPtrA(0, 3, &s), s));
    EXPECT_EQ(L"", taken(ds->RetainedStrFromPtrA(address(""), 0, &s), s));
    EXPECT_STREQ("abcdefghij", ten) << "the source is left alone";
    unique_variant p = vPtr(address(ten));
    Call omitted = invoke(late.get(), L"RetainedStrFromPtrA", {&p});
    ASSERT_EQ(S_OK, omitted.hr);
    EXPECT_EQ(L"abcdefghij", str(omitted.result.bstrVal)) << "MaxLength defaults to the whole string";

    // Bytes above 127 go through the system code page.
    const char high[] = "caf\xE9";
    wchar_t expected[8] = {};
    MultiByteToWideChar(CP_ACP, 0, high, 4, expected, 8);
    EXPECT_EQ(std::wstring(expected, 4), taken(ds->RetainedStrFromPtrA(address(high), 0, &s), s));

    // Fixed lengths keep embedded zeros, from 1 to 31,999 bytes.
    const char zeros[] = {'a', 'b', 0, 'c', 'd', 0};
    EXPECT_EQ(std::wstring(L"ab\0cd\0", 6), taken(ds->FixedLenStrFromPtrA(address(zeros), 6, &s), s));
    EXPECT_EQ(L"a", taken(ds->FixedLenStrFromPtrA(address(zeros), 1, &s), s));
    for (LONG length : {0, -1})
        EXPECT_EQ(L"", taken(ds->FixedLenStrFromPtrA(address(zeros), length, &s), s));
    EXPECT_EQ(L"", taken(ds->FixedLenStrFromPtrA(0, 6, &s), s));
    std::string big(32000, 'x');
    EXPECT_EQ(31999u, taken(ds->FixedLenStrFromPtrA(address(big.data()), 31999, &s), s).size());
    EXPECT_TRUE(taken(ds->FixedLenStrFromPtrA(address(big.data()), 32000, &s), s).empty());
}

TEST_F(DataHelpers, WideStringsFromPointers) {
    ASSERT_TRUE(ds);
    const wchar_t text[] = L"wide \x20AC";
    BSTR s = nullptr;
    EXPECT_EQ(text, taken(ds->RetainedStrFromPtrW(address(text), &s), s));
    EXPECT_EQ(L"", taken(ds->RetainedStrFromPtrW(0, &s), s));
    const wchar_t zeros[] = {L'x', 0, L'y', 0};
    EXPECT_EQ(std::wstring(L"x\0y\0", 4), taken(ds->FixedLenStrFromPtrW(address(zeros), 4, &s), s));
    EXPECT_EQ(L"", taken(ds->FixedLenStrFromPtrW(address(zeros), 0, &s), s));
    EXPECT_EQ(L"", taken(ds->FixedLenStrFromPtrW(0, 4, &s), s));

    // StrFromPtrW takes the task allocator's buffer over and frees it.
    ComPtr<IMalloc> allocator;
    ASSERT_EQ(S_OK, CoGetMalloc(1, allocator.put()));
    auto* owned = static_cast<wchar_t*>(CoTaskMemAlloc(16 * sizeof(wchar_t)));
    wcscpy(owned, L"owned text");
    ASSERT_EQ(1, allocator->DidAlloc(owned));
    EXPECT_EQ(L"owned text", taken(ds->StrFromPtrW(address(owned), &s), s));
    EXPECT_EQ(0, allocator->DidAlloc(owned)) << "the buffer went back to the allocator";
    EXPECT_EQ(L"", taken(ds->StrFromPtrW(0, &s), s));

    // A buffer the allocator never handed out is refused, not freed.
    wchar_t onStack[] = L"not yours";
    s = nullptr;
    EXPECT_EQ(vbError(5), ds->StrFromPtrW(address(onStack), &s));
    EXPECT_EQ(nullptr, s);
    EXPECT_STREQ(L"not yours", onStack);
}

TEST_F(DataHelpers, MemoryThatCannotBeReadIsRefusedNotTouched) {
    ASSERT_TRUE(ds);
    Pages pages;
    memcpy(pages.lastBytes(4), "tail", 4);
    BSTR s = nullptr;
    EXPECT_EQ(L"tail", taken(ds->FixedLenStrFromPtrA(address(pages.lastBytes(4)), 4, &s), s));
    EXPECT_EQ(vbError(5), ds->FixedLenStrFromPtrA(address(pages.lastBytes(4)), 5, &s));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(pages.lastBytes(4)), 2),
              taken(ds->FixedLenStrFromPtrW(address(pages.lastBytes(4)), 2, &s), s));
    EXPECT_EQ(vbError(5), ds->FixedLenStrFromPtrW(address(pages.lastBytes(4)), 3, &s));
    EXPECT_EQ(vbError(5), ds->FixedLenStrFromPtrW(address(pages.unreadable()), 1, &s));
    // The terminated forms find no string where nothing can be read.
    EXPECT_EQ(L"", taken(ds->RetainedStrFromPtrA(address(pages.unreadable()), 0, &s), s));
    EXPECT_EQ(L"", taken(ds->RetainedStrFromPtrW(address(pages.unreadable()), &s), s));
    EXPECT_EQ(vbError(5), ds->StrFromPtrW(address(pages.unreadable()), &s));
    LONG_PTR old = 0;
    EXPECT_EQ(vbError(5), ds->SwapVtableEntry(address(pages.unreadable()), 1, 0, &old));
}

int g_fakeAddRefCalls = 0;
ULONG STDMETHODCALLTYPE fakeAddRef(IUnknown*) {
    ++g_fakeAddRefCalls;
    return 4242;
}

TEST_F(DataHelpers, SwapVtableEntryOnARealObjectAndBack) {
    ASSERT_TRUE(ds);
    ComPtr<_CDataStructures3> victim = createByProgId<_CDataStructures3>(L"LARKLIB8.CDataStructures3");
    ASSERT_TRUE(victim);
    const LONG_PTR object = address(victim.get());
    auto* table = *reinterpret_cast<LONG_PTR**>(victim.get());
    const LONG_PTR addRef = table[1];
    LONG_PTR old = 0;
    ASSERT_EQ(S_OK, ds->SwapVtableEntry(object, 2, address(reinterpret_cast<void*>(&fakeAddRef)), &old));
    EXPECT_EQ(addRef, old);
    EXPECT_EQ(4242u, victim->AddRef());
    EXPECT_EQ(1, g_fakeAddRefCalls);
    LONG_PTR back = 0;
    ASSERT_EQ(S_OK, ds->SwapVtableEntry(object, 2, old, &back));
    EXPECT_EQ(address(reinterpret_cast<void*>(&fakeAddRef)), back);
    EXPECT_EQ(addRef, table[1]);
    EXPECT_EQ(2u, victim->AddRef()) << "the real AddRef is back";
    victim->Release();

    // Entry 8,192 is the last one whose offset fits; past it the offset overflows.
    std::vector<LONG_PTR> bigTable(8192);
    bigTable.back() = 77;
    const LONG_PTR* fake = bigTable.data();
    EXPECT_EQ(77, got(ds->SwapVtableEntry(address(&fake), 8192, 78, &old), old));
    EXPECT_EQ(78, bigTable.back());
    EXPECT_EQ(vbError(6), ds->SwapVtableEntry(address(&fake), 8193, 0, &old));
    EXPECT_EQ(vbError(6), ds->SwapVtableEntry(address(&fake), SHORT(32767), 0, &old));
    for (SHORT bad : {SHORT(0), SHORT(-1), SHORT(-32768)})
        EXPECT_EQ(vbError(5), ds->SwapVtableEntry(address(&fake), bad, 0, &old)) << bad;
    EXPECT_EQ(vbError(5), ds->SwapVtableEntry(0, 1, 0, &old));
}

TEST_F(DataHelpers, RefCountIsWhatTheCallerHolds) {
    ASSERT_TRUE(ds);
    ComPtr<_CDataStructures3> object = createByProgId<_CDataStructures3>(L"LARKLIB8.CDataStructures3");
    ASSERT_TRUE(object);
    LONG count = -1;
    EXPECT_EQ(1, got(ds->RefCount(object.get(), &count), count));
    ComPtr<_CDataStructures3> second = object, third = object;
    EXPECT_EQ(3, got(ds->RefCount(object.get(), &count), count));
    EXPECT_EQ(0, got(ds->RefCount(nullptr, &count), count));

    // A script's variable holds one more reference; the call itself must not count.
    for (VARTYPE vt : {VARTYPE(VT_UNKNOWN), VARTYPE(VT_DISPATCH)}) {
        SCOPED_TRACE(vt);
        unique_variant variable = vObject(object.get(), vt);
        Call byValue = invoke(late.get(), L"RefCount", {&variable});
        ASSERT_EQ(S_OK, byValue.hr);
        EXPECT_EQ(4, byValue.result.lVal);
        unique_variant reference = vRef(&variable);
        Call byRef = invoke(late.get(), L"RefCount", {&reference});
        ASSERT_EQ(S_OK, byRef.hr);
        EXPECT_EQ(4, byRef.result.lVal);
    }
    second = nullptr;
    third = nullptr;
    EXPECT_EQ(1, got(ds->RefCount(object.get(), &count), count));
    unique_variant nothing = vObject(nullptr, VT_DISPATCH);
    Call none = invoke(late.get(), L"RefCount", {&nothing});
    ASSERT_EQ(S_OK, none.hr);
    EXPECT_EQ(0, none.result.lVal);
}

TEST_F(DataHelpers, WinAPIErrorGivesTheSystemsText) {
    ASSERT_TRUE(ds);
    char expected[256] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_FILE_NOT_FOUND,
                             0, expected, sizeof expected, nullptr);
    ASSERT_GT(n, 0u);
    wchar_t wide[256] = {};
    MultiByteToWideChar(CP_ACP, 0, expected, int(n), wide, 256);
    BSTR s = nullptr;
    const std::wstring text = taken(ds->WinAPIError(2, &s), s);
    EXPECT_EQ(std::wstring(wide, n), text);
    std::wstring lower = text;
    CharLowerW(lower.data());
    EXPECT_NE(std::wstring::npos, lower.find(L"file")) << "the text for a missing file";
    EXPECT_EQ(L"", taken(ds->WinAPIError(0x2FFF1234, &s), s));
}

TEST_F(DataHelpers, NameFromIIDReadsTheRegisteredNames) {
    ASSERT_TRUE(ds);
    auto name = [&](GUID id, bool skip) {
        BSTR s = nullptr;
        return taken(ds->NameFromIID(&id, skip ? VARIANT_TRUE : VARIANT_FALSE, &s), s);
    };
    auto text = [](REFGUID id) {
        wchar_t buffer[39] = {};
        StringFromGUID2(id, buffer, 39);
        return std::wstring(buffer);
    };
    EXPECT_EQ(L"IDispatch", name(IID_IDispatch, true));
    // Not an interface: the identity, then the class's name and ProgID as registration wrote them.
    EXPECT_EQ(text(CLSID_CXMLFile) + L"  CLSID=LARKLIB8.CXMLFile  ProgID=LARKLIB8.CXMLFile",
              name(CLSID_CXMLFile, false));
    const GUID unknown = {0x6C1B0E29, 0x51AA, 0x4F0B, {0x9E, 0x61, 0x3D, 0x2A, 0x77, 0x10, 0xC4, 0x5E}};
    EXPECT_EQ(text(unknown), name(unknown, true));
    // The four runtime interfaces: named when asked, "" when skipped.
    const GUID provideClassInfo = {0xB196B283, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
    EXPECT_FALSE(name(provideClassInfo, false).empty());
    EXPECT_EQ(L"", name(provideClassInfo, true));
    const GUID unknownSkipped = {0x000204EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    EXPECT_EQ(L"", name(unknownSkipped, true));
    BSTR s = nullptr;
    EXPECT_EQ(HRESULT(0x800A0005), ds->NameFromIID(nullptr, VARIANT_FALSE, &s)) << "no identity";
}

}  // namespace
}  // namespace lark::test
