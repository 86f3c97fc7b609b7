#include "frame/dispatch_table.hpp"

#include <map>
#include <memory>
#include <mutex>

namespace lark::com {

namespace {

char16_t folded(char16_t c) noexcept { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

bool isIdentifierUnit(char16_t c) noexcept {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
}

// The name as the table may look it up: only ASCII letters, digits and '_', where the ASCII fold
// and the platform's case-insensitive comparison agree. Other names have no view.
bool plainName(const wchar_t* name, std::u16string_view& view) noexcept {
    if (!name) return false;
    const auto* units = reinterpret_cast<const char16_t*>(name);
    size_t length = 0;
    for (; units[length]; ++length)
        if (!isIdentifierUnit(units[length])) return false;
    view = std::u16string_view(units, length);
    return length > 0;
}

std::u16string foldedCopy(BSTR name) {
    std::u16string out(reinterpret_cast<const char16_t*>(name), SysStringLen(name));
    for (auto& c : out)
        c = folded(c);
    return out;
}

// A function's name and then its parameters' names, folded, as the description gives them.
std::vector<std::u16string> foldedNames(ITypeInfo* info, const FUNCDESC& function) {
    std::vector<BSTR> names(static_cast<size_t>(function.cParams) + 1, nullptr);
    UINT got = 0;
    if (FAILED(info->GetNames(function.memid, names.data(), UINT(names.size()), &got))) return {};
    std::vector<unique_bstr> owned;
    owned.reserve(got);
    for (UINT n = 0; n < got; ++n)
        owned.emplace_back(names[n]);
    std::vector<std::u16string> out;
    for (const unique_bstr& name : owned)
        out.push_back(foldedCopy(name.get()));
    return out;
}

// Types that the table passes as values and references (arrays of them only by reference).
bool isPassable(VARTYPE type, bool byReference) {
    if (byReference && (type & VT_ARRAY)) return isPassable(VARTYPE(type & ~VT_ARRAY), false);
    switch (type) {
        case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8:
        case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_BSTR: case VT_BOOL: case VT_ERROR:
            return true;
        default:
            return false;
    }
}

// What an omitted optional argument stands for: its default, or for a variant the "missing"
// error the platform passes. A parameter with neither is not omittable.
void readFallback(const PARAMDESC& desc, Parameter& out) {
    if (!(desc.wParamFlags & PARAMFLAG_FOPT)) return;
    if ((desc.wParamFlags & PARAMFLAG_FHASDEFAULT) && desc.pparamdescex) {
        VARIANT& given = desc.pparamdescex->varDefaultValue;
        const HRESULT hr = out.type == VT_VARIANT ? VariantCopy(&out.fallback, &given)
                                                  : VariantChangeType(&out.fallback, &given, 0, out.type);
        out.omittable = SUCCEEDED(hr);
    } else if (out.type == VT_VARIANT) {
        out.fallback.vt = VT_ERROR;
        out.fallback.scode = DISP_E_PARAMNOTFOUND;
        out.omittable = true;
    }
}

// How an argument reaches this parameter on the table's path; false when only the general path
// can pass it.
bool readParameter(ITypeInfo* info, const ELEMDESC& element, Parameter& out) {
    const TYPEDESC& type = element.tdesc;
    if (element.paramdesc.wParamFlags & (PARAMFLAG_FLCID | PARAMFLAG_FRETVAL)) return false;
    if (type.vt == VT_VARIANT) {
        out.type = VT_VARIANT;
        out.passing = Passing::variant;
    } else if (type.vt == VT_PTR && type.lptdesc->vt == VT_VARIANT) {
        out.type = VT_VARIANT;
        out.passing = Passing::variantReference;
    } else if (type.vt == VT_PTR) {
        out.type = automationType(info, *type.lptdesc);
        out.passing = Passing::reference;
        if (!isPassable(out.type, true)) return false;
    } else {
        out.type = automationType(info, type);
        if (!isPassable(out.type, false)) return false;
    }
    readFallback(element.paramdesc, out);
    return true;
}

// The variant type of a retval parameter's value, or VT_EMPTY when the table cannot take it.
VARTYPE retvalType(ITypeInfo* info, const TYPEDESC& type) {
    if (type.vt != VT_PTR) return VT_EMPTY;
    const TYPEDESC& pointee = *type.lptdesc;
    if (pointee.vt == VT_SAFEARRAY && pointee.lptdesc->vt == VT_VARIANT) return VT_ARRAY | VT_VARIANT;
    return resultType(info, pointee);
}

Member readMember(ITypeInfo* info, const FUNCDESC& function) {
    Member m;
    m.id = function.memid;
    m.invokeKind = WORD(function.invkind);
    m.vtableOffset = ULONG_PTR(function.oVft);
    m.callingConvention = function.callconv;
    const bool restricted = (function.wFuncFlags & FUNCFLAG_FRESTRICTED) && function.memid >= 0;
    if (restricted || function.cParamsOpt < 0 || size_t(function.cParams) > kMostTabledParameters ||
        (function.funckind != FUNC_VIRTUAL && function.funckind != FUNC_PUREVIRTUAL) ||
        function.elemdescFunc.tdesc.vt != VT_HRESULT)
        return m;
    SHORT count = function.cParams;
    if (count > 0 && (function.lprgelemdescParam[count - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL)) {
        m.resultType = retvalType(info, function.lprgelemdescParam[count - 1].tdesc);
        if (m.resultType == VT_EMPTY) return m;
        --count;
    }
    m.parameters.resize(static_cast<size_t>(count));
    for (SHORT p = 0; p < count; ++p)
        if (!readParameter(info, function.lprgelemdescParam[p], m.parameters[static_cast<size_t>(p)])) return m;
    m.tabled = true;
    return m;
}

// The variant type of an object of this user-defined type, looking through aliases (IFontDisp
// is one): VT_DISPATCH when its interface derives from IDispatch, otherwise VT_UNKNOWN.
VARTYPE objectType(ITypeInfo* info, HREFTYPE type) {
    const ComPtr<ITypeInfo> target = resolvedType(info, type);
    if (!target) return VT_UNKNOWN;
    const TypeAttr attr(target.get());
    if (!attr) return VT_UNKNOWN;
    const bool dispatchable = attr->typekind == TKIND_DISPATCH || attr->typekind == TKIND_COCLASS ||
                              (attr->wTypeFlags & TYPEFLAG_FDISPATCHABLE);
    return dispatchable ? VARTYPE(VT_DISPATCH) : VARTYPE(VT_UNKNOWN);
}

}  // namespace

size_t FoldedHash::operator()(std::u16string_view name) const noexcept {
    size_t hash = 14695981039346656037ull & SIZE_MAX;
    for (char16_t c : name)
        hash = (hash ^ folded(c)) * (sizeof(size_t) == 8 ? 1099511628211ull : 16777619u);
    return hash;
}

bool FoldedEqual::operator()(std::u16string_view a, std::u16string_view b) const noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (folded(a[i]) != folded(b[i])) return false;
    return true;
}

DispatchTable::DispatchTable(ITypeInfo* info) : info_(info) {
    // Names from the dispatch description, as its GetIDsOfNames reads them: the first function
    // of a name gives the parameter names.
    for (UINT i = 0, count = functionCount(info); i < count; ++i) {
        FuncDesc function(info, i);
        if (!function) continue;
        std::vector<std::u16string> names = foldedNames(info, *function);
        if (names.empty() || names_.contains(names[0])) continue;
        Names entry{function->memid, std::vector<std::u16string>(names.begin() + 1, names.end())};
        names_.emplace(std::move(names[0]), std::move(entry));
    }
    // Members from the vtable description, which has every function as it is called.
    ComPtr<ITypeInfo> vtable = vtableTypeInfo(info);
    for (UINT i = 0, count = functionCount(vtable.get()); i < count; ++i) {
        FuncDesc function(vtable.get(), i);
        if (function) members_.push_back(readMember(vtable.get(), *function));
    }
}

bool DispatchTable::idsOfNames(const LPOLESTR* names, UINT count, DISPID* ids) const noexcept {
    std::u16string_view name;
    if (!names || !ids || count == 0 || !plainName(names[0], name)) return false;
    const auto found = names_.find(name);
    if (found == names_.end()) return false;
    const std::vector<std::u16string>& parameters = found->second.parameters;
    for (UINT n = 1; n < count; ++n) {
        if (!plainName(names[n], name)) return false;
        size_t j = 0;
        while (j < parameters.size() && !FoldedEqual{}(name, parameters[j]))
            ++j;
        if (j == parameters.size()) return false;
        ids[n] = DISPID(j);
    }
    ids[0] = found->second.id;
    return true;
}

const Member* DispatchTable::member(DISPID id, WORD flags) const noexcept {
    for (const Member& m : members_)
        if (m.id == id && (m.invokeKind & flags)) return &m;
    return nullptr;
}

const DispatchTable& dispatchTableOf(ITypeInfo* info) {
    struct Tables {
        std::mutex lock;
        std::map<ITypeInfo*, std::unique_ptr<DispatchTable>> byInfo;  // each holds its ITypeInfo
    };
    static Tables* tables = new Tables;  // outlives every object
    std::lock_guard guard(tables->lock);
    std::unique_ptr<DispatchTable>& table = tables->byInfo[info];
    if (!table) table = std::make_unique<DispatchTable>(info);
    return *table;
}

ComPtr<ITypeInfo> resolvedType(ITypeInfo* info, HREFTYPE type) {
    ComPtr<ITypeInfo> ref;
    if (FAILED(info->GetRefTypeInfo(type, ref.put()))) return {};
    const TypeAttr attr(ref.get());
    if (!attr) return {};
    if (attr->typekind == TKIND_ALIAS && attr->tdescAlias.vt == VT_USERDEFINED)
        return resolvedType(ref.get(), attr->tdescAlias.hreftype);
    return ref;
}

WORD functionCount(ITypeInfo* info) {
    const TypeAttr attr(info);
    return attr ? attr->cFuncs : 0;
}

VARTYPE automationType(ITypeInfo* info, const TYPEDESC& desc) {
    switch (desc.vt) {
        case VT_SAFEARRAY: {
            VARTYPE element = automationType(info, *desc.lptdesc);
            return element == VT_EMPTY ? VARTYPE(VT_EMPTY) : VARTYPE(VT_ARRAY | element);
        }
        case VT_USERDEFINED: {
            ComPtr<ITypeInfo> ref;
            if (FAILED(info->GetRefTypeInfo(desc.hreftype, ref.put()))) return VT_EMPTY;
            const TypeAttr attr(ref.get());
            if (!attr) return VT_EMPTY;
            if (attr->typekind == TKIND_ENUM) return VT_I4;
            return attr->typekind == TKIND_ALIAS ? automationType(ref.get(), attr->tdescAlias) : VARTYPE(VT_EMPTY);
        }
        case VT_INT:
            return VT_I4;
        case VT_UINT:
            return VT_UI4;
        case VT_VARIANT:
        case VT_PTR:
        case VT_UNKNOWN:
        case VT_DISPATCH:
            return VT_EMPTY;
        default:
            return desc.vt;
    }
}

VARTYPE resultType(ITypeInfo* info, const TYPEDESC& type) {
    if (type.vt == VT_VARIANT || type.vt == VT_DISPATCH || type.vt == VT_UNKNOWN) return type.vt;
    if (type.vt != VT_PTR || type.lptdesc->vt != VT_USERDEFINED) return automationType(info, type);
    return objectType(info, type.lptdesc->hreftype);
}

ComPtr<ITypeInfo> vtableTypeInfo(ITypeInfo* info) {
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> vtable;
    if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &ref)) && SUCCEEDED(info->GetRefTypeInfo(ref, vtable.put())))
        return vtable;
    return ComPtr<ITypeInfo>(info);
}

}  // namespace lark::com
