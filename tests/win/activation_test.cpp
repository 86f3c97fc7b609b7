// Creation of every class of the registered type library, by ProgID and by class identity.
#include "com_support.hpp"

namespace lark::test {
namespace {

const GUID kLibrary = {0xC5920C3B, 0x6BB5, 0x4CC0, {0x87, 0x4B, 0x6A, 0x8F, 0xC5, 0xE5, 0x7D, 0xBE}};

struct CoClass {
    std::wstring name;
    CLSID clsid;
    IID defaultInterface;
    bool creatable;
};

std::vector<CoClass> coclassesOf(ITypeLib* library) {
    std::vector<CoClass> out;
    for (UINT i = 0, n = library->GetTypeInfoCount(); i < n; ++i) {
        TYPEKIND kind{};
        if (FAILED(library->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS) continue;
        ComPtr<ITypeInfo> info;
        EXPECT_EQ(S_OK, library->GetTypeInfo(i, info.put()));
        BSTR name = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        TYPEATTR* attr = nullptr;
        EXPECT_EQ(S_OK, info->GetTypeAttr(&attr));
        CoClass c{str(name), attr->guid, GUID_NULL, (attr->wTypeFlags & TYPEFLAG_FCANCREATE) != 0};
        for (UINT k = 0; k < attr->cImplTypes; ++k) {
            INT flags = 0;
            info->GetImplTypeFlags(k, &flags);
            if (!(flags & IMPLTYPEFLAG_FDEFAULT) || (flags & IMPLTYPEFLAG_FSOURCE)) continue;
            HREFTYPE ref = 0;
            ComPtr<ITypeInfo> itf;
            TYPEATTR* itfAttr = nullptr;
            if (SUCCEEDED(info->GetRefTypeOfImplType(k, &ref)) && SUCCEEDED(info->GetRefTypeInfo(ref, itf.put())) &&
                SUCCEEDED(itf->GetTypeAttr(&itfAttr))) {
                c.defaultInterface = itfAttr->guid;
                itf->ReleaseTypeAttr(itfAttr);
            }
        }
        info->ReleaseTypeAttr(attr);
        SysFreeString(name);
        out.push_back(c);
    }
    return out;
}

TEST(Activation, EveryCreatableClassByProgIdAndClassIdentity) {
    ComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadRegTypeLib(kLibrary, 1, 0, 1033, library.put()));
    std::vector<CoClass> classes = coclassesOf(library.get());
    ASSERT_EQ(21u, classes.size());
    int creatable = 0;
    for (const CoClass& c : classes) {
        SCOPED_TRACE(c.name);
        std::wstring progId = L"LARKLIB8." + c.name;
        CLSID found{};
        if (!c.creatable) {
            EXPECT_NE(S_OK, CLSIDFromProgID(progId.c_str(), &found));
            ComPtr<IUnknown> none;
            EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(c.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                                             reinterpret_cast<void**>(none.put())));
            continue;
        }
        ++creatable;
        ASSERT_EQ(S_OK, CLSIDFromProgID(progId.c_str(), &found));
        EXPECT_TRUE(IsEqualCLSID(found, c.clsid));
        ComPtr<IDispatch> byName = createByProgId<IDispatch>(progId.c_str());
        ASSERT_TRUE(byName);
        ComPtr<IUnknown> byIdentity;
        ASSERT_EQ(S_OK, CoCreateInstance(c.clsid, nullptr, CLSCTX_INPROC_SERVER, c.defaultInterface,
                                         reinterpret_cast<void**>(byIdentity.put())));
        ComPtr<ISupportErrorInfo> errors = byIdentity.query<ISupportErrorInfo>();
        ASSERT_TRUE(errors);
        EXPECT_EQ(S_OK, errors->InterfaceSupportsErrorInfo(c.defaultInterface));

        ComPtr<ITypeInfo> info;
        ASSERT_EQ(S_OK, byName->GetTypeInfo(0, 0, info.put()));
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
        EXPECT_TRUE(IsEqualGUID(attr->guid, c.defaultInterface));
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FHIDDEN);
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FNONEXTENSIBLE);
        info->ReleaseTypeAttr(attr);
    }
    EXPECT_EQ(19, creatable);
}

// The module can be unloaded only when every object, factory and lock is gone.
TEST(Activation, CanUnloadOnlyWhenNothingIsAlive) {
    HMODULE dll = LoadLibraryW(L"C:\\larklib\\LARKLIB8.dll");
    ASSERT_TRUE(dll);
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    auto getClass = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    ASSERT_TRUE(canUnload && getClass);
    EXPECT_EQ(S_OK, canUnload());
    {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(S_OK, getClass(CLSID_CDataStructures3, IID_IClassFactory, reinterpret_cast<void**>(factory.put())));
        EXPECT_EQ(S_FALSE, canUnload());
        ComPtr<IDispatch> object;
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(object.put())));
        ComPtr<IUnknown> outer = object.query<IUnknown>();
        ComPtr<IUnknown> aggregated;
        EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer.get(), IID_IUnknown,
                                                                 reinterpret_cast<void**>(aggregated.put())));
        EXPECT_EQ(S_OK, factory->LockServer(TRUE));
        factory = nullptr;
        object = nullptr;
        outer = nullptr;
        EXPECT_EQ(S_FALSE, canUnload()) << "a lock is still held";
        ComPtr<IClassFactory> again;
        ASSERT_EQ(S_OK, getClass(CLSID_CDataStructures3, IID_IClassFactory, reinterpret_cast<void**>(again.put())));
        EXPECT_EQ(S_OK, again->LockServer(FALSE));
    }
    EXPECT_EQ(S_OK, canUnload());
    ComPtr<IClassFactory> none;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              getClass(CLSID_CXMLElement, IID_IClassFactory, reinterpret_cast<void**>(none.put())));
    FreeLibrary(dll);
}

}  // namespace
}  // namespace lark::test
