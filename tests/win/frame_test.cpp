// The frame: the DLL's entry points, the Collection, records by reference, text services.
#include "frame/dispatch.hpp"
#include "frame/errors.hpp"
#include "frame/platform_text.hpp"
#include "record_probe.h"
#include "support.hpp"

namespace lark::test {
namespace {

// A classes root on a creatable class, a noncreatable one, the library and the borrowed Collection.
std::wstring registration(HKEY root, HRESULT step) {
    std::wstring out = std::to_wstring(step) + L" ", ds = L"CLSID\\{9C1176C7-F2E9-4E72-95B8-C78D07BFC3E0}\\";
    for (std::wstring path : std::vector<std::wstring>{
             ds + L"InprocServer32\\", ds + L"InprocServer32\\ThreadingModel", ds + L"ProgID\\",
             L"LARKLIB8.CDataStructures3\\CLSID\\", L"CLSID\\{C007C231-36A3-45D4-9FEC-A6AB3FFBD05F}\\",
             L"LARKLIB8.CXMLElement\\", L"Interface\\{43EE03F9-89E1-4D74-8E6C-27791FD7B640}\\",
             L"TypeLib\\{C5920C3B-6BB5-4CC0-874B-6A8FC5E57DBE}\\1.0\\409\\win64\\",
             L"Interface\\{A4C46780-499F-101B-BB78-00AA00383CBB}\\"}) {
        wchar_t text[512] = L"";
        DWORD size = sizeof(text);
        const size_t cut = path.rfind(L'\\');
        RegGetValueW(root, path.substr(0, cut).c_str(), &path[cut + 1], RRF_RT_REG_SZ, nullptr, text, &size);
        out += text + std::wstring(L"|");
    }
    return out + L"\n";
}

// Runs first, with no object alive. Registration goes to a branch standing in for HKCR, never the prefix's.
TEST(Frame, EntryPointsCountRegisterAndMakeEveryClass) {
    com::unique_hmodule dll(LoadLibraryW(L"C:\\larklib\\LARKLIB8.dll"));
    auto call = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(dll.get(), name)); };
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(call("DllCanUnloadNow"));
    auto getClass = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(call("DllGetClassObject"));
    ComPtr<IClassFactory> factory;
    ComPtr<IUnknown> object, aggregated;
    ASSERT_EQ(S_OK, getClass(CLSID_CDataStructures3, IID_IClassFactory, (void**)factory.put()));
    EXPECT_EQ(S_FALSE, canUnload()) << "a factory";
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, (void**)object.put()));
    EXPECT_EQ(S_OK, object.query<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IID__CDataStructures3));
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(object.get(), IID_IUnknown, (void**)aggregated.put()));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory = nullptr, object = nullptr;
    EXPECT_EQ(S_FALSE, canUnload()) << "a lock";
    ASSERT_EQ(S_OK, getClass(CLSID_CDataStructures3, IID_IClassFactory, (void**)factory.put()));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory = nullptr;
    EXPECT_EQ(S_OK, canUnload());
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClass(CLSID_CXMLElement, IID_IClassFactory, (void**)factory.put()));

    RegistryBranch branch(L"Classes");
    com::unique_hkey root;
    ASSERT_EQ(0, RegCreateKeyW(HKEY_CURRENT_USER, branch.path().c_str(), root.put()));
    ASSERT_EQ(0, RegOverridePredefKey(HKEY_CLASSES_ROOT, root.get()));
    std::wstring trace;
    for (const char* step : {"DllRegisterServer", "DllUnregisterServer", "DllUnregisterServer"})
        trace += registration(root.get(), reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(call(step))());
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    const std::wstring server = L"C:\\larklib\\LARKLIB8.dll|", none(9, L'|');
    EXPECT_EQ(L"0 " + server + L"Apartment|LARKLIB8.CDataStructures3|{9C1176C7-F2E9-4E72-95B8-C78D07BFC3E0}|||" +
                  L"_CDataStructures3|" + server + L"|\n0 " + none + L"\n0 " + none + L"\n",
              trace);
}

// An enumerator holds what the collection held when made; a clone goes on from its place.
TEST(Frame, CollectionKeysPositionsErrorsAndEnumerators) {
    Cases c;
    c.run(R"(
list = CDataStructures3.lrkJoinCollections Nothing, Nothing => Object _Collection[]
list.Add 'b', 'kb'                              => Empty
list.Add 'd', 'kd'                              => Empty
list.add 'a', before:=1                         => Empty
list.Add 'c', After:='KB'                       => Empty
list.Add 'e', Key:='ke', After:=4               => Empty
CDataStructures3.lrkJoinCollections list, Nothing => Object _Collection['a'|'b'|'c'|'d'|'e']
list.Add 'y', 'KE'                              => error 457 LARKLIB8
list.Item 0                                     => error 9 LARKLIB8
list.Item 6                                     => error 9 LARKLIB8
list.Item 'nope'                                => error 5 LARKLIB8
list.Add 'y', , 1, 1                            => error 5 LARKLIB8
list.Remove 'KB'                                => Empty
list.Remove 1                                   => Empty
items = list._NewEnum                           => Unknown ?
list.Add CDataStructures3                       => Empty
CDataStructures3.lrkJoinCollections list, Nothing => Object _Collection['c'|'d'|'e'|Object _CDataStructures3]
)");
    ComPtr<IEnumVARIANT> items = ComPtr<IUnknown>(c.value("items").punkVal).query<IEnumVARIANT>(), clone;
    unique_variant got[4];
    ULONG fetched = 0;
    EXPECT_EQ(S_OK, items->Skip(1));
    ASSERT_EQ(S_OK, items->Clone(clone.put()));
    EXPECT_EQ(S_OK, items->Skip(2)) << "to the end";
    EXPECT_EQ(S_FALSE, items->Skip(1));
    EXPECT_EQ(S_FALSE, clone->Next(3, got, &fetched));
    EXPECT_EQ(S_OK, items->Reset());
    EXPECT_EQ(S_OK, items->Next(1, &got[2], &fetched));
    EXPECT_EQ(L"'d' 'e' 'c' Empty", show(got[0]) + L" " + show(got[1]) + L" " + show(got[2]) + L" " + show(got[3]));
    EXPECT_EQ(S_OK, c.object("list").query<_Collection>()->Add(&c.value("items"), nullptr, nullptr, nullptr))
        << "C++ clients may leave optionals out as null pointers";
}

// A probe object of the test's own, dispatched by the frame from the probe library in this program.
struct Probe final : IRecordProbe {
    ComPtr<ITypeInfo> info_;
    STDMETHODIMP QueryInterface(REFIID, void** out) override { return *out = this, S_OK; }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return *count = 1, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override { return *out = info_.get(), info_->AddRef(), S_OK; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* n, UINT count, LCID, DISPID* ids) override {
        return com::dispatchGetIDsOfNames(info_.get(), n, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* r, EXCEPINFO* e,
                        UINT* a) override {
        return com::dispatchInvoke(info_.get(), this, id, flags, p, r, e, a);
    }
    STDMETHODIMP Touch(ProbeRecord* data, LONG v, LONG extra, LONG_PTR* at) override {
        return *at = reinterpret_cast<LONG_PTR>(data), data->value = v + extra, S_OK;
    }
    STDMETHODIMP Fail(ProbeRecord*) override { return com::report(Error{errPathAccess, u"Probe.Fail", u"it failed"}); }
    STDMETHODIMP Describe(ProbeRecord*, VARIANT tag, BSTR* out) override { return VarBstrFromI4(tag.lVal + 1, 0, 0, out); }
};

// A record reaches the member at the caller's address, passed by reference or held in a variable.
TEST(Frame, RecordsAreCalledAtTheCallersAddress) {
    Probe probe;
    ComPtr<ITypeLib> lib;
    ASSERT_TRUE(LoadTypeLibEx(L"frame_test.exe", REGKIND_NONE, lib.put()) == S_OK &&
                lib->GetTypeInfoOfGuid(IID_IRecordProbe, probe.info_.put()) == S_OK);
    ProbeRecord record{0, 0};
    Cases c;
    c.let("P", &probe);
    VARIANT &held = c.value("held"), &byRef = c.value("byRef");
    held.vt = VT_RECORD, held.pvRecord = &record;
    byRef.vt = VT_RECORD | VT_BYREF, byRef.pvRecord = &record;
    const std::string at = " => LongLong " + std::to_string(reinterpret_cast<LONG_PTR>(&record));
    c.run("P.touch EXTRA:=1, data:=byRef, Value:=3" + at);
    EXPECT_EQ(4, record.value);
    c.run("P.Touch @held, 40" + at + "; vt 36" + R"(
P.Fail byRef                                    => error 75 Probe.Fail 'it failed'
P.Fail                                          => DISP_E_PARAMNOTOPTIONAL
P.Touch 1, 1                                    => DISP_E_TYPEMISMATCH
P.Describe byRef, 41                            => '42'
)");
    EXPECT_EQ(47, record.value) << "the omitted optional takes its default of 7";
    held.vt = VT_EMPTY;  // the record lives on this stack
}

// In the Western code page of the test prefix; the comparison is tested through the members.
TEST(Frame, AnsiTextInTheSystemCodePage) {
    EXPECT_EQ("Caf\351 \2005|?|", com::toAnsi(u"Caf\u00e9 \u20ac5|\u4e2d|"));
    EXPECT_EQ(std::u16string(u"Caf\u00e9 \u20ac5|a\0b|", 11), com::fromAnsi({"Caf\351 \2005|a\0b|", 11}));
}

}  // namespace
}  // namespace lark::test
