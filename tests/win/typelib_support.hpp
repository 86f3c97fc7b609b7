// The classes of the registered type library, as the tests that walk the catalogue see them.
#pragma once

#include "com_support.hpp"

namespace lark::test {

inline const GUID kLibraryId = {0xC5920C3B, 0x6BB5, 0x4CC0, {0x87, 0x4B, 0x6A, 0x8F, 0xC5, 0xE5, 0x7D, 0xBE}};

struct CoClass {
    std::wstring name;
    CLSID clsid;
    IID defaultInterface;
    bool creatable;
};

inline IID defaultInterfaceOf(ITypeInfo* coclass, UINT implCount) {
    for (UINT k = 0; k < implCount; ++k) {
        INT flags = 0;
        coclass->GetImplTypeFlags(k, &flags);
        if (!(flags & IMPLTYPEFLAG_FDEFAULT) || (flags & IMPLTYPEFLAG_FSOURCE)) continue;
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> itf;
        TYPEATTR* attr = nullptr;
        if (FAILED(coclass->GetRefTypeOfImplType(k, &ref)) || FAILED(coclass->GetRefTypeInfo(ref, itf.put())) ||
            FAILED(itf->GetTypeAttr(&attr)))
            break;
        IID iid = attr->guid;
        itf->ReleaseTypeAttr(attr);
        return iid;
    }
    return GUID_NULL;
}

inline std::vector<CoClass> coclassesOf(ITypeLib* library) {
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
        out.push_back(CoClass{str(name), attr->guid, defaultInterfaceOf(info.get(), attr->cImplTypes),
                              (attr->wTypeFlags & TYPEFLAG_FCANCREATE) != 0});
        info->ReleaseTypeAttr(attr);
        SysFreeString(name);
    }
    return out;
}

inline std::vector<CoClass> registeredClasses() {
    ComPtr<ITypeLib> library;
    EXPECT_EQ(S_OK, LoadRegTypeLib(kLibraryId, 1, 0, 1033, library.put()));
    return library ? coclassesOf(library.get()) : std::vector<CoClass>{};
}

inline std::wstring guidText(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

}  // namespace lark::test
