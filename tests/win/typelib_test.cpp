// The type library as compiled clients bind to it: member and parameter names, optional
// defaults, enumerations, and pointer-sized fields in the x86 and x64 libraries.
#include "typelib_support.hpp"


namespace lark::test {
namespace {

ComPtr<ITypeInfo> typeNamed(ITypeLib* library, const wchar_t* name) {
    ComPtr<ITypeInfo> info;
    MEMBERID id = 0;
    USHORT found = 1;
    std::wstring text = name;
    if (FAILED(library->FindName(text.data(), 0, info.put(), &id, &found)) || found == 0) return nullptr;
    return info;
}

// An object parameter by value is a pointer to an interface; by reference, a pointer to that.
bool passedByReference(ITypeInfo* info, const TYPEDESC& type) {
    if (type.vt != VT_PTR) return false;
    if (type.lptdesc->vt != VT_USERDEFINED) return true;
    ComPtr<ITypeInfo> ref;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetRefTypeInfo(type.lptdesc->hreftype, ref.put())) || FAILED(ref->GetTypeAttr(&attr)))
        return true;
    bool object = attr->typekind == TKIND_INTERFACE || attr->typekind == TKIND_DISPATCH;
    ref->ReleaseTypeAttr(attr);
    return !object;
}

struct Parameter {
    std::wstring name;
    bool byRef;
    bool optional;
    std::wstring defaultValue;  // as text; "" without a default
};

// The parameters of a member of a dual interface's vtable description, retval left out.
std::vector<Parameter> parametersOf(ITypeInfo* dispatch, const wchar_t* member) {
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(S_OK, dispatch->GetRefTypeOfImplType(-1, &ref));
    EXPECT_EQ(S_OK, dispatch->GetRefTypeInfo(ref, info.put()));
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    std::vector<Parameter> out;
    for (UINT f = 0; f < attr->cFuncs; ++f) {
        FUNCDESC* desc = nullptr;
        info->GetFuncDesc(f, &desc);
        BSTR names[16] = {};
        UINT count = 0;
        info->GetNames(desc->memid, names, 16, &count);
        if (str(names[0]) == member) {
            for (SHORT p = 0; p < desc->cParams; ++p) {
                const ELEMDESC& e = desc->lprgelemdescParam[p];
                if (e.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) continue;
                Parameter param{str(names[p + 1]), passedByReference(info.get(), e.tdesc),
                                (e.paramdesc.wParamFlags & PARAMFLAG_FOPT) != 0, L""};
                if (e.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT) {
                    // Shown as the parameter's own type shows it: a Boolean as False or True, a
                    // String in quotes.
                    const TYPEDESC& own = e.tdesc.vt == VT_PTR ? *e.tdesc.lptdesc : e.tdesc;
                    const VARTYPE vt = own.vt == VT_USERDEFINED ? VARTYPE(VT_I4) : own.vt;
                    unique_variant typed, text;
                    VariantChangeType(&typed, &e.paramdesc.pparamdescex->varDefaultValue, 0, vt);
                    VariantChangeType(&text, &typed, VARIANT_ALPHABOOL, VT_BSTR);
                    param.defaultValue = str(text.bstrVal);
                    if (vt == VT_BSTR) param.defaultValue = L"\"" + param.defaultValue + L"\"";
                }
                out.push_back(param);
            }
        }
        for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
        info->ReleaseFuncDesc(desc);
    }
    info->ReleaseTypeAttr(attr);
    return out;
}

std::wstring describe(const std::vector<Parameter>& params) {
    std::wstring out;
    for (const Parameter& p : params) {
        out += (p.byRef ? L"ByRef " : L"ByVal ") + p.name;
        if (p.optional) out += L" Optional";
        if (!p.defaultValue.empty()) out += L" = " + p.defaultValue;
        out += L"; ";
    }
    return out;
}

// Parameter names, passing and defaults as clients bind to them, a few members of each class.
TEST(TypeLibrary, MembersKeepTheirNamesPassingAndDefaults) {
    ComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadRegTypeLib(kLibraryId, 1, 0, 1033, library.put()));
    const struct {
        const wchar_t *type, *member, *parameters;
    } cases[] = {
        {L"_CDataStructures3", L"lrkInstr", L"ByVal StartPos; ByRef StringCheck; ByRef StringMatch; ByVal Compare; "},
        {L"_CDataStructures3", L"lrkInstrRev",
         L"ByRef StringCheck; ByRef StringMatch; ByVal StartPos Optional = -1; ByVal Compare Optional = 1; "},
        {L"_CDataStructures3", L"FastSplit2",
         L"ByRef StringCheck; ByVal Delimiter; ByVal Limit Optional = -1; ByVal Compare Optional = 0; "
         L"ByVal HandleQuoted Optional = False; "},
        {L"_CDataStructures3", L"ValidateStringVector", L"ByRef strArray; ByRef Size; "},
        {L"_CDataStructures3", L"lrkJoinCollections", L"ByVal Collection1; ByVal Collection2; "},
        {L"_CDataStructures3", L"StripQuotes", L"ByRef Text; "},
        {L"_CDataStructures3", L"LOBYTE", L"ByVal W; "},
        {L"_CDataStructures3", L"PackWords", L"ByVal lO; ByVal HI; "},
        {L"_CDataStructures3", L"RetainedStrFromPtrA", L"ByVal lpszA; ByVal MaxLength Optional = 0; "},
        {L"_CDataStructures3", L"SwapVtableEntry", L"ByVal pObj; ByVal EntryNumber; ByVal lpfn; "},
        {L"_CDataStructures3", L"RefCount", L"ByVal pUnk; "},
        {L"_CDataStructures3", L"WinAPIError", L"ByVal lLastDLLError; "},
        {L"_CDataStructures3", L"NameFromIID", L"ByRef IID; ByVal SkipVBIIDs; "},
        {L"_CVersion", L"Create", L"ByRef sExeNameA; "},
        {L"_CVersion", L"Custom", L"ByRef sCustom; "},
        {L"_CVersion", L"SpecialBuild", L""},
        {L"_CXMLFile", L"ReadProperty", L"ByRef PropertyName; ByRef PropertyValue; ByRef DefaultValue Optional = \"\"; "},
        {L"_CXMLFile", L"ReadPropertyLong", L"ByRef PropertyName; ByRef DefaultValue Optional = -2147483648; "},
        {L"_CRegistry2", L"CheckRegistryKey", L"ByVal hKey; ByVal KeyName; ByVal bCheckWrite Optional = False; "},
        {L"_CRegistry2", L"GetRegistryValue",
         L"ByVal hKey; ByVal KeyName; ByVal ValueName; ByVal rKeyType; ByRef DefaultValue Optional; "},
        {L"_CRegistry2", L"SetRegistryValueArray",
         L"ByVal hKey; ByVal KeyName; ByRef ValueName; ByVal rKeyType; ByRef Value; "},
        {L"_CRegistry2", L"CopyRegistryKey", L"ByVal hKey; ByVal SourceKeyName; ByVal TargetKeyName; ByVal Recurse; "},
        {L"_CRegistry2", L"SaveRegToFile",
         L"ByVal hKey; ByVal sKeyName; ByVal sRegFile; ByVal bIncludeSubKeys Optional = True; "
         L"ByVal bAppendToFile Optional = False; "},
        {L"_CRegistry2", L"RestoreWindowPos",
         L"ByVal hWnd; ByRef KeyPath; ByRef MinWidth Optional = 0; ByRef MinHeight Optional = 0; "
         L"ByVal SW Optional = -1; "},
        {L"_CRegistry2", L"GetFileType", L"ByVal Extension; "},
        {L"_CServicesFileIO2", L"DeleteDeep",
         L"ByVal FolderPath; ByVal WildCard Optional = \"*.*\"; ByVal Recurse Optional; ByVal Force Optional = False; "},
        {L"_CServicesFileIO2", L"CopyFile2",
         L"ByVal SourceFileName; ByVal TargetFileName; ByVal RenameOnCollision Optional = False; "
         L"ByVal Quiet Optional = True; "},
        {L"_CServicesFileIO2", L"CreateDirectory", L"ByRef DirectoryPath; ByVal EchoMessage Optional = False; "},
        {L"_CServicesFileIO2", L"DeleteFile", L"ByRef FilePath; ByVal Force Optional = False; "},
        {L"_CServicesFileInfo2", L"GetItemFromINIFile",
         L"ByRef lpSectionName; ByRef lpKeyName; ByRef DefaultValue; ByRef iniFile; "},
        {L"_CServicesFileTemporary2", L"Initialize",
         L"ByVal FilePath; ByVal IsDirectory; ByVal DeleteDirectoryContents; ByVal RecurseDirectory; "},
        {L"_CServicesFileUtilities2", L"UniqueTempFolder",
         L"ByRef SuggestedPath; ByVal MarkForDeletion Optional = True; "},
        {L"_CServicesFileUtilities2", L"GetTemporaryFilePath", L"ByVal Extension Optional = \"\"; "},
    };
    for (const auto& c : cases) {
        ComPtr<ITypeInfo> info = typeNamed(library.get(), c.type);
        ASSERT_TRUE(info) << c.type;
        EXPECT_EQ(c.parameters, describe(parametersOf(info.get(), c.member))) << c.member;
    }
}

TEST(TypeLibrary, LibraryIdentityAndEnumerations) {
    ComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadRegTypeLib(kLibraryId, 1, 0, 1033, library.put()));
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attr));
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_EQ(1033u, attr->lcid);
    library->ReleaseTLibAttr(attr);
    BSTR name = nullptr;
    library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
    EXPECT_EQ(L"LARKLIB8", str(name));
    SysFreeString(name);

    // Constants resolve by name, as early-bound clients compile them.
    const std::pair<const wchar_t*, LONG> constants[] = {
        {L"HH_TEXT_POPUP", 4},  {L"HH_1_3", 26},          {L"IE_5_5_PLAT_PREV", 275}, {L"HHWIN_NAVTAB_BOTTOM", 2},
        {L"eeBaseVersion", 13410}, {L"ForAppending", 8}, {L"OFFICEAPPS_BINDER", 5},  {L"vbTextCompare", 1}};
    for (const auto& [constant, value] : constants) {
        SCOPED_TRACE(constant);
        ComPtr<ITypeInfo> info = typeNamed(library.get(), constant);
        ASSERT_TRUE(info);
        ComPtr<ITypeComp> comp;
        ASSERT_EQ(S_OK, info->GetTypeComp(comp.put()));
        DESCKIND kind = DESCKIND_NONE;
        BINDPTR bound{};
        ComPtr<ITypeInfo> owner;
        std::wstring text = constant;
        ASSERT_EQ(S_OK, comp->Bind(text.data(), LHashValOfName(0, text.c_str()), 0, owner.put(), &kind, &bound));
        ASSERT_EQ(DESCKIND_VARDESC, kind);
        EXPECT_EQ(value, bound.lpvardesc->lpvarValue->lVal);
        owner->ReleaseVarDesc(bound.lpvardesc);
    }
}

// The automation type behind a type description; LONG_PTR is an alias.
VARTYPE aliasedType(ITypeInfo* owner, const TYPEDESC& type) {
    if (type.vt != VT_USERDEFINED) return type.vt;
    ComPtr<ITypeInfo> alias;
    TYPEATTR* attr = nullptr;
    if (FAILED(owner->GetRefTypeInfo(type.hreftype, alias.put())) || FAILED(alias->GetTypeAttr(&attr))) return VT_EMPTY;
    VARTYPE vt = attr->tdescAlias.vt;
    alias->ReleaseTypeAttr(attr);
    return vt;
}

// Record sizes and the type of the address fields and parameters, in the library of one
// architecture.
void expectRecordLayout(ITypeLib* library, VARTYPE addressType, ULONG pushParam, ULONG subClass) {
    ComPtr<ITypeInfo> thunk = typeNamed(library, L"ThunkBytes"), push = typeNamed(library, L"PushParamThunk"),
                      data = typeNamed(library, L"SubClassData");
    ASSERT_TRUE(thunk && push && data);
    auto size = [](ITypeInfo* info) {
        TYPEATTR* attr = nullptr;
        info->GetTypeAttr(&attr);
        ULONG n = attr->cbSizeInstance;
        info->ReleaseTypeAttr(attr);
        return n;
    };
    EXPECT_EQ(24u, size(thunk.get()));
    EXPECT_EQ(pushParam, size(push.get()));
    EXPECT_EQ(subClass, size(data.get()));
    VARDESC* field = nullptr;
    ASSERT_EQ(S_OK, data->GetVarDesc(0, &field));
    EXPECT_EQ(addressType, aliasedType(data.get(), field->elemdescVar.tdesc));
    data->ReleaseVarDesc(field);

    // The pointer parameters of the data helpers are addresses too, and so is what they return.
    ComPtr<ITypeInfo> ds = typeNamed(library, L"_CDataStructures3");
    ASSERT_TRUE(ds);
    FUNCDESC* swap = nullptr;
    for (UINT f = 0; !swap; ++f) {
        FUNCDESC* desc = nullptr;
        ASSERT_EQ(S_OK, ds->GetFuncDesc(f, &desc));
        if (desc->memid == 27) swap = desc;
        else ds->ReleaseFuncDesc(desc);
    }
    ASSERT_EQ(3, swap->cParams);
    for (const TYPEDESC* param : {&swap->lprgelemdescParam[0].tdesc, &swap->lprgelemdescParam[2].tdesc,
                                  &swap->elemdescFunc.tdesc}) {
        EXPECT_EQ(addressType, aliasedType(ds.get(), *param));
    }
    ds->ReleaseFuncDesc(swap);
}

TEST(TypeLibrary, AddressesArePointerSizedInEachArchitecture) {
    ComPtr<ITypeLib> x64;
    ASSERT_EQ(S_OK, LoadRegTypeLib(kLibraryId, 1, 0, 1033, x64.put()));
    {
        SCOPED_TRACE("x64");
        expectRecordLayout(x64.get(), VT_I8, 32, 48);
    }
    ComPtr<ITypeLib> x86;
    if (FAILED(LoadTypeLibEx(L"C:\\larklib\\x86\\LARKLIB8.dll", REGKIND_NONE, x86.put())))
        GTEST_SKIP() << "the x86 DLL was not built";
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, x86->GetLibAttr(&attr));
    EXPECT_EQ(SYS_WIN32, attr->syskind);
    x86->ReleaseTLibAttr(attr);
    SCOPED_TRACE("x86");
    expectRecordLayout(x86.get(), VT_I4, 28, 36);
}

}  // namespace
}  // namespace lark::test
