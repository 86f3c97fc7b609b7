// Creation of every class of the registered type library, by ProgID and by class identity.
#include "typelib_support.hpp"

namespace lark::test {
namespace {

TEST(Activation, EveryCreatableClassByProgIdAndClassIdentity) {
    std::vector<CoClass> classes = registeredClasses();
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
