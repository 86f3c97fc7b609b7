// Writes the library's reference in Markdown from its two compiled type libraries:
//   typelib_reference X64-LIBRARY X86-LIBRARY OUTPUT
// The platform reads the libraries. The x64 library is described; the x86 one is read beside it,
// and a value that is a Long there and a LongLong here (pointer-sized) is shown once, as LongPtr.
// Any other difference between the two, a member without a description, or a kind of type this
// program does not know ends the run with an error: the reference never guesses.
#include "frame/raii.hpp"

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

using lark::com::ComPtr;
using lark::com::unique_bstr;

struct Failure {
    std::wstring message;
};

void check(HRESULT hr, const std::wstring& what) {
    if (FAILED(hr)) {
        wchar_t code[16];
        swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
        throw Failure{what + L" failed with " + code};
    }
}

std::wstring text(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

// The platform's descriptions (lark::com::TypeDescription), each required: one that cannot be
// read ends the run.
template <class Description>
struct Required : lark::com::TypeDescription<Description> {
    template <class... Index>
    explicit Required(ITypeInfo* info, Index... index) : lark::com::TypeDescription<Description>(info, index...) {
        check(this->status(), L"Reading a type description");
    }
};
using TypeAttr = Required<TYPEATTR>;
using FuncDesc = Required<FUNCDESC>;
using VarDesc = Required<VARDESC>;

struct Documentation {
    std::wstring name;
    std::wstring help;
};

Documentation documentation(ITypeInfo* info, MEMBERID id) {
    unique_bstr name, help;
    check(info->GetDocumentation(id, name.put(), help.put(), nullptr, nullptr), L"GetDocumentation");
    return {text(name.get()), text(help.get())};
}

std::wstring typeName(ITypeInfo* info) { return documentation(info, MEMBERID_NIL).name; }

ComPtr<ITypeInfo> referenced(ITypeInfo* info, HREFTYPE ref) {
    ComPtr<ITypeInfo> target;
    check(info->GetRefTypeInfo(ref, target.put()), L"GetRefTypeInfo");
    return target;
}

bool isObjectType(ITypeInfo* info, const TYPEDESC& type) {
    if (type.vt == VT_DISPATCH || type.vt == VT_UNKNOWN) return true;
    if (type.vt != VT_USERDEFINED) return false;
    ComPtr<ITypeInfo> target = referenced(info, type.hreftype);
    TypeAttr attr(target.get());
    if (attr->typekind == TKIND_ALIAS) return isObjectType(target.get(), attr->tdescAlias);
    return attr->typekind == TKIND_INTERFACE || attr->typekind == TKIND_DISPATCH || attr->typekind == TKIND_COCLASS;
}

// A type as VB writes it after "As"; an array is marked apart, since VB puts its "()" on the name.
struct VbType {
    std::wstring name;
    bool array = false;
};

std::wstring scalarName(ITypeInfo* info, const TYPEDESC& type) {
    switch (type.vt) {
        case VT_UI1: return L"Byte";
        case VT_I2: return L"Integer";
        case VT_I4:
        case VT_INT: return L"Long";
        case VT_I8: return L"LongLong";
        // The compiler stores the colour type OLE_COLOR as its base type, the library's only
        // unsigned 32-bit one.
        case VT_UI4: return L"OLE_COLOR";
        case VT_R4: return L"Single";
        case VT_R8: return L"Double";
        case VT_CY: return L"Currency";
        case VT_DATE: return L"Date";
        case VT_BSTR: return L"String";
        case VT_DISPATCH: return L"Object";
        case VT_BOOL: return L"Boolean";
        case VT_VARIANT: return L"Variant";
        case VT_UNKNOWN: return L"IUnknown";
        case VT_USERDEFINED: return typeName(referenced(info, type.hreftype).get());
        default: throw Failure{L"no VB name for variant type " + std::to_wstring(type.vt)};
    }
}

VbType vbType(ITypeInfo* info, const TYPEDESC& type) {
    if (type.vt == VT_SAFEARRAY) return {scalarName(info, *type.lptdesc), true};
    return {scalarName(info, type)};
}

// How a parameter's type is passed: the pointers above it, less the one an object reference is.
struct Passing {
    const TYPEDESC* type;
    int byReference;
};

Passing passing(ITypeInfo* info, const TYPEDESC& declared) {
    const TYPEDESC* type = &declared;
    int pointers = 0;
    for (; type->vt == VT_PTR; type = type->lptdesc) pointers++;
    if (isObjectType(info, *type) && type->vt == VT_USERDEFINED) pointers--;
    if (pointers < 0 || pointers > 1) throw Failure{L"a parameter with " + std::to_wstring(pointers) + L" references"};
    return {type, pointers};
}

// The width-dependent types: the x86 library's Long is the x64 library's LongLong.
std::wstring sameOrPointerSized(const std::wstring& x64, const std::wstring& x86, const std::wstring& where) {
    if (x64 == x86) return x64;
    if (x64 == L"LongLong" && x86 == L"Long") return L"LongPtr";
    throw Failure{where + L": " + x64 + L" in the x64 library, " + x86 + L" in the x86 one"};
}

std::wstring number(const VARIANT& value) {
    VARIANT converted;
    VariantInit(&converted);
    if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_I8))) {
        VARIANT asDouble;
        VariantInit(&asDouble);
        check(VariantChangeType(&asDouble, const_cast<VARIANT*>(&value), 0, VT_R8), L"VariantChangeType");
        if (static_cast<double>(converted.llVal) == asDouble.dblVal) return std::to_wstring(converted.llVal);
    }
    check(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_R8), L"VariantChangeType");
    wchar_t buffer[64];
    swprintf(buffer, 64, L"%g", converted.dblVal);
    return buffer;
}

std::wstring quoted(const std::wstring& s) {
    std::wstring out = L"\"";
    for (wchar_t c : s) out += c == L'"' ? std::wstring(L"\"\"") : std::wstring(1, c);
    return out + L"\"";
}

std::wstring defaultText(const VARIANT& value, VARTYPE parameterType) {
    if (value.vt == VT_BSTR) return quoted(text(value.bstrVal));
    std::wstring n = number(value);
    if (parameterType == VT_BOOL) return n == L"0" ? L"False" : L"True";
    return n;
}

struct Parameter {
    std::wstring name;
    bool byRef = false;
    bool optional = false;
    VbType type;
    std::wstring defaultValue;
};

std::wstring parameterText(const Parameter& p) {
    std::wstring s = p.optional ? L"Optional " : L"";
    s += (p.byRef ? L"ByRef " : L"ByVal ") + p.name + (p.type.array ? L"()" : L"") + L" As " + p.type.name;
    if (!p.defaultValue.empty()) s += L" = " + p.defaultValue;
    return s;
}

// One function of an interface, as VB declares it.
struct Function {
    MEMBERID id;
    std::wstring name;
    std::wstring signature;
    bool hidden;
};

std::vector<std::wstring> names(ITypeInfo* info, MEMBERID id, UINT count) {
    std::vector<BSTR> raw(count + 1, nullptr);
    UINT got = 0;
    check(info->GetNames(id, raw.data(), count + 1, &got), L"GetNames");
    std::vector<std::wstring> out;
    for (UINT i = 0; i < got; i++) {
        out.push_back(text(raw[i]));
        SysFreeString(raw[i]);
    }
    return out;
}

std::wstring keyword(INVOKEKIND kind, bool returns, bool event) {
    if (event) return L"Event";
    switch (kind) {
        case INVOKE_PROPERTYGET: return L"Property Get";
        case INVOKE_PROPERTYPUT: return L"Property Let";
        case INVOKE_PROPERTYPUTREF: return L"Property Set";
        default: return returns ? L"Function" : L"Sub";
    }
}

// A member's names are stored once, with its first function (a property's Get or Let): the index
// parameters are shared, and the value of a later Let or Set goes by VB's name, RHS.
std::wstring parameterName(const FuncDesc& f, SHORT i, bool firstOfMember, const std::vector<std::wstring>& names) {
    bool value = (f->invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF)) && i == f->cParams - 1;
    size_t at = static_cast<size_t>(i) + 1;
    if (value && (!firstOfMember || at >= names.size())) return L"RHS";
    if (at < names.size()) return names[at];
    throw Failure{L"parameter " + std::to_wstring(i + 1) + L" has no name"};
}

bool firstOfMember(ITypeInfo* info, UINT index, MEMBERID id) {
    for (UINT j = 0; j < index; j++)
        if (FuncDesc(info, j)->memid == id) return false;
    return true;
}

Function function(ITypeInfo* x64, ITypeInfo* x86, UINT index, bool event) {
    FuncDesc f(x64, index), g(x86, index);
    bool first = firstOfMember(x64, index, f->memid);
    std::vector<std::wstring> argumentNames = names(x64, f->memid, f->cParams);
    std::wstring name = argumentNames.at(0);
    if (g->memid != f->memid || g->cParams != f->cParams || g->invkind != f->invkind)
        throw Failure{name + L": declared differently in the x86 library"};
    std::vector<std::wstring> parameters;
    std::wstring result;
    for (SHORT i = 0; i < f->cParams; i++) {
        const ELEMDESC& e = f->lprgelemdescParam[i];
        const ELEMDESC& e86 = g->lprgelemdescParam[i];
        Passing how = passing(x64, e.tdesc), how86 = passing(x86, e86.tdesc);
        std::wstring where = name + L" parameter " + std::to_wstring(i + 1);
        VbType type = vbType(x64, *how.type);
        type.name = sameOrPointerSized(type.name, vbType(x86, *how86.type).name, where);
        USHORT flags = e.paramdesc.wParamFlags;
        if (flags & PARAMFLAG_FRETVAL) {
            result = type.name + (type.array ? L"()" : L"");
            continue;
        }
        Parameter p;
        p.name = parameterName(f, i, first, argumentNames);
        p.byRef = how.byReference == 1;
        p.type = type;
        p.optional = (flags & PARAMFLAG_FOPT) != 0;
        if (flags & PARAMFLAG_FHASDEFAULT)
            p.defaultValue = defaultText(e.paramdesc.pparamdescex->varDefaultValue, how.type->vt);
        parameters.push_back(parameterText(p));
    }
    if (!event && f->elemdescFunc.tdesc.vt != VT_HRESULT && f->elemdescFunc.tdesc.vt != VT_VOID)
        result = vbType(x64, f->elemdescFunc.tdesc).name;
    std::wstring s = keyword(f->invkind, !result.empty(), event) + L" " + name + L"(";
    for (size_t i = 0; i < parameters.size(); i++) s += (i ? L", " : L"") + parameters[i];
    s += L")";
    if (!result.empty()) s += L" As " + result;
    return {f->memid, name, s, (f->wFuncFlags & FUNCFLAG_FHIDDEN) != 0};
}

// The same, naming the interface and the function in any failure.
Function describedFunction(ITypeInfo* x64, ITypeInfo* x86, UINT index, bool event) {
    try {
        return function(x64, x86, index, event);
    } catch (const Failure& failure) {
        throw Failure{typeName(x64) + L" function " + std::to_wstring(index) + L": " + failure.message};
    }
}

// The text being written, and the descriptions found missing on the way.
struct Writer {
    std::wstring out;
    std::vector<std::wstring> undescribed;

    void line(const std::wstring& s = L"") { out += s + L"\n"; }
    std::wstring described(const std::wstring& help, const std::wstring& what) {
        if (help.empty()) undescribed.push_back(what);
        return help;
    }
};

// An interface's own functions; a dual interface is read through its vtable half, where every
// parameter, the result included, is declared.
ComPtr<ITypeInfo> vtableHalf(ITypeInfo* info) {
    TypeAttr attr(info);
    if (attr->typekind != TKIND_DISPATCH || !(attr->wTypeFlags & TYPEFLAG_FDUAL)) return info;
    HREFTYPE ref;
    check(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), L"GetRefTypeOfImplType");
    return referenced(info, ref);
}

void writeMembers(Writer& w, ITypeInfo* x64Declared, ITypeInfo* x86Declared, bool events) {
    ComPtr<ITypeInfo> x64 = vtableHalf(x64Declared), x86 = vtableHalf(x86Declared);
    TypeAttr attr(x64.get()), attr86(x86.get());
    std::wstring interfaceName = typeName(x64.get());
    if (attr->cFuncs != attr86->cFuncs) throw Failure{interfaceName + L": a different member count in the x86 library"};
    // The functions of one member (a property's Get, Let and Set) are listed together, in the
    // order of the member's first function.
    std::vector<MEMBERID> order;
    std::map<MEMBERID, std::vector<Function>> members;
    for (UINT i = 0; i < attr->cFuncs; i++) {
        Function f = describedFunction(x64.get(), x86.get(), i, events);
        if (!members.count(f.id)) order.push_back(f.id);
        members[f.id].push_back(f);
    }
    for (MEMBERID id : order) {
        const std::vector<Function>& functions = members[id];
        std::wstring notes;
        if (id == DISPID_VALUE) notes += L" *Default member.*";
        if (id == DISPID_NEWENUM) notes += L" *Enumerator (For Each).*";
        if (functions.front().hidden) notes += L" *Hidden.*";
        // Each signature ends its line (a backslash breaks the line in Markdown), the description follows.
        w.line(L"- `" + functions.front().signature + L"`\\");
        for (size_t i = 1; i < functions.size(); i++) w.line(L"  `" + functions[i].signature + L"`\\");
        std::wstring help = w.described(documentation(x64.get(), id).help, interfaceName + L"." + functions.front().name);
        w.line(L"  " + help + notes);
    }
    w.line();
}

struct Library {
    ComPtr<ITypeLib> lib;
    UINT count = 0;

    explicit Library(const std::wstring& path) {
        check(LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put()), L"loading " + path);
        count = lib->GetTypeInfoCount();
    }
    ComPtr<ITypeInfo> type(UINT index) const {
        ComPtr<ITypeInfo> info;
        check(lib->GetTypeInfo(index, info.put()), L"GetTypeInfo");
        return info;
    }
};

TYPEKIND kindOf(ITypeInfo* info) { return TypeAttr(info)->typekind; }

std::wstring anchor(const std::wstring& heading) {
    std::wstring a;
    for (wchar_t c : heading) {
        if (iswalnum(c) || c == L'_' || c == L'-') a += static_cast<wchar_t>(towlower(c));
        else if (c == L' ') a += L'-';
    }
    return a;
}

std::wstring join(const std::vector<std::wstring>& items) {
    std::wstring s;
    for (size_t i = 0; i < items.size(); i++) s += (i ? L", " : L"") + items[i];
    return s;
}

void writeClass(Writer& w, const Library& x64, const Library& x86, UINT index, std::map<std::wstring, bool>& listed) {
    ComPtr<ITypeInfo> info = x64.type(index);
    TypeAttr attr(info.get());
    Documentation doc = documentation(info.get(), MEMBERID_NIL);
    w.line(L"### " + doc.name);
    w.line();
    w.line(w.described(doc.help, doc.name));
    w.line();
    std::wstring creation =
        (attr->wTypeFlags & TYPEFLAG_FCANCREATE) ? L"Created as `LARKLIB8." + doc.name + L"`. " : L"Not creatable. ";
    ComPtr<ITypeInfo> defaultInterface, events;
    std::vector<std::wstring> others;
    for (UINT i = 0; i < attr->cImplTypes; i++) {
        HREFTYPE ref;
        INT flags = 0;
        check(info->GetRefTypeOfImplType(i, &ref), L"GetRefTypeOfImplType");
        check(info->GetImplTypeFlags(i, &flags), L"GetImplTypeFlags");
        ComPtr<ITypeInfo> implemented = referenced(info.get(), ref);
        if ((flags & IMPLTYPEFLAG_FDEFAULT) && (flags & IMPLTYPEFLAG_FSOURCE)) events = implemented;
        else if (flags & IMPLTYPEFLAG_FDEFAULT) defaultInterface = implemented;
        else others.push_back(L"`" + typeName(implemented.get()) + L"`");
    }
    if (!defaultInterface) throw Failure{doc.name + L": no default interface"};
    w.line(creation + L"Default interface `" + typeName(defaultInterface.get()) + L"`" +
           (others.empty() ? L"" : L"; also implements " + join(others)) +
           (events ? L"; raises the events of `" + typeName(events.get()) + L"`." : L"."));
    w.line();
    // The same interface is listed once, under the first class whose default it is.
    auto membersOf = [&](ITypeInfo* implemented, bool isEvents) {
        std::wstring name = typeName(implemented);
        if (listed[name]) {
            w.line(L"Members of `" + name + L"`: see above.");
            w.line();
            return;
        }
        listed[name] = true;
        w.described(documentation(implemented, MEMBERID_NIL).help, name);
        UINT at = 0;
        ComPtr<ITypeLib> containing;
        check(implemented->GetContainingTypeLib(containing.put(), &at), L"GetContainingTypeLib");
        ComPtr<ITypeInfo> same86 = x86.type(at);
        if (typeName(same86.get()) != name) throw Failure{name + L": not at the same place in the x86 library"};
        w.line(isEvents ? L"Events (`" + name + L"`):" : L"Members (`" + name + L"`):");
        w.line();
        writeMembers(w, implemented, same86.get(), isEvents);
    };
    membersOf(defaultInterface.get(), false);
    if (events) membersOf(events.get(), true);
}

void writeEnumeration(Writer& w, ITypeInfo* info) {
    TypeAttr attr(info);
    Documentation doc = documentation(info, MEMBERID_NIL);
    w.line(L"### " + doc.name);
    w.line();
    w.line(w.described(doc.help, doc.name));
    w.line();
    w.line(L"| Name | Value |");
    w.line(L"|---|---|");
    for (UINT i = 0; i < attr->cVars; i++) {
        VarDesc v(info, i);
        w.line(L"| " + documentation(info, v->memid).name + L" | " + number(*v->lpvarValue) + L" |");
    }
    w.line();
}

std::wstring fieldType(ITypeInfo* info, const TYPEDESC& type) {
    if (type.vt != VT_CARRAY) return vbType(info, type).name;
    const ARRAYDESC* array = type.lpadesc;
    std::wstring bounds;
    for (USHORT d = 0; d < array->cDims; d++) {
        const SAFEARRAYBOUND& b = array->rgbounds[d];
        bounds += (d ? L", " : L"") + std::to_wstring(b.lLbound) + L" To " +
                  std::to_wstring(b.lLbound + static_cast<LONG>(b.cElements) - 1);
    }
    return L"(" + bounds + L") " + vbType(info, array->tdescElem).name;
}

void writeRecord(Writer& w, ITypeInfo* x64, ITypeInfo* x86) {
    TypeAttr attr(x64), attr86(x86);
    Documentation doc = documentation(x64, MEMBERID_NIL);
    w.line(L"### " + doc.name);
    w.line();
    w.line(w.described(doc.help, doc.name));
    w.line();
    std::wstring size86 = std::to_wstring(attr86->cbSizeInstance), size64 = std::to_wstring(attr->cbSizeInstance);
    w.line(L"Size: " + size86 + L" bytes" + (size86 == size64 ? L" in both libraries." : L" (x86), " + size64 + L" bytes (x64)."));
    w.line();
    w.line(L"| Field | Type | Offset x86 | Offset x64 |");
    w.line(L"|---|---|---|---|");
    for (UINT i = 0; i < attr->cVars; i++) {
        VarDesc v(x64, i), v86(x86, i);
        std::wstring name = documentation(x64, v->memid).name;
        std::wstring type = fieldType(x64, v->elemdescVar.tdesc);
        std::wstring type86 = fieldType(x86, v86->elemdescVar.tdesc);
        std::wstring shown = type.front() == L'(' ? type : sameOrPointerSized(type, type86, doc.name + L"." + name);
        if (shown.front() == L'(') {
            size_t close = shown.find(L')');
            w.line(L"| " + name + shown.substr(0, close + 1) + L" | " + shown.substr(close + 2) + L" | " +
                   std::to_wstring(v86->oInst) + L" | " + std::to_wstring(v->oInst) + L" |");
        } else {
            w.line(L"| " + name + L" | " + shown + L" | " + std::to_wstring(v86->oInst) + L" | " +
                   std::to_wstring(v->oInst) + L" |");
        }
    }
    w.line();
}

std::string utf8(const std::wstring& s) {
    int size = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring reference(const Library& x64, const Library& x86) {
    if (x64.count != x86.count) throw Failure{L"the two libraries declare different numbers of types"};
    Writer w;
    unique_bstr libName, libHelp;
    check(x64.lib->GetDocumentation(-1, libName.put(), libHelp.put(), nullptr, nullptr), L"GetDocumentation");
    w.line(L"# " + text(libName.get()) + L" reference");
    w.line();
    w.line(L"<!-- Written by `make reference` from the type library (tools/typelib_reference.cpp); edit the IDL's helpstrings, not this file. -->");
    w.line();
    w.line(text(libHelp.get()));
    w.line();
    w.line(L"Each member is shown as VB declares it, followed by its description (the text VB's object browser "
           L"shows). `LongPtr` marks a pointer-sized value: a `Long` in the x86 library and a `LongLong` in the "
           L"x64 library.");
    w.line();
    std::vector<UINT> classes, interfaces, enumerations, records;
    for (UINT i = 0; i < x64.count; i++) {
        ComPtr<ITypeInfo> info = x64.type(i);
        if (typeName(info.get()) != typeName(x86.type(i).get())) throw Failure{L"the libraries' types differ in order"};
        switch (kindOf(info.get())) {
            case TKIND_COCLASS: classes.push_back(i); break;
            case TKIND_DISPATCH:
            case TKIND_INTERFACE: interfaces.push_back(i); break;
            case TKIND_ENUM: enumerations.push_back(i); break;
            case TKIND_RECORD: records.push_back(i); break;
            default: throw Failure{typeName(info.get()) + L": a kind of type this reference does not describe"};
        }
    }
    auto contents = [&](const std::wstring& title, const std::vector<UINT>& indexes) {
        std::vector<std::wstring> links;
        for (UINT i : indexes) {
            std::wstring name = typeName(x64.type(i).get());
            links.push_back(L"[" + name + L"](#" + anchor(name) + L")");
        }
        w.line(L"- " + title + L": " + join(links));
    };
    contents(L"Classes", classes);
    contents(L"Enumerations", enumerations);
    contents(L"Records", records);
    w.line();
    w.line(L"## Classes");
    w.line();
    std::map<std::wstring, bool> listed;
    for (UINT i : classes) writeClass(w, x64, x86, i, listed);
    bool heading = false;
    for (UINT i : interfaces) {
        ComPtr<ITypeInfo> info = x64.type(i);
        Documentation doc = documentation(info.get(), MEMBERID_NIL);
        if (listed[doc.name]) continue;
        if (!heading) {
            w.line(L"## Other interfaces");
            w.line();
            heading = true;
        }
        w.line(L"### " + doc.name);
        w.line();
        w.line(w.described(doc.help, doc.name));
        w.line();
        writeMembers(w, info.get(), x86.type(i).get(), false);
    }
    w.line(L"## Enumerations");
    w.line();
    for (UINT i : enumerations) writeEnumeration(w, x64.type(i).get());
    w.line(L"## Records");
    w.line();
    for (UINT i : records) writeRecord(w, x64.type(i).get(), x86.type(i).get());
    // Interfaces of a class carry no description of their own in the reference; everything else must.
    if (!w.undescribed.empty()) throw Failure{L"no helpstring for " + join(w.undescribed)};
    while (w.out.size() > 1 && w.out[w.out.size() - 2] == L'\n') w.out.pop_back();
    return w.out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        fwprintf(stderr, L"usage: typelib_reference X64-LIBRARY X86-LIBRARY OUTPUT\n");
        return 2;
    }
    try {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        std::string out;
        {
            Library x64(argv[1]), x86(argv[2]);
            out = utf8(reference(x64, x86));
        }
        CoUninitialize();
        FILE* file = _wfopen(argv[3], L"wb");
        if (!file || fwrite(out.data(), 1, out.size(), file) != out.size() || fclose(file) != 0) {
            fwprintf(stderr, L"typelib_reference: cannot write %ls\n", argv[3]);
            return 1;
        }
        return 0;
    } catch (const Failure& failure) {
        fwprintf(stderr, L"typelib_reference: %ls\n", failure.message.c_str());
        return 1;
    }
}
