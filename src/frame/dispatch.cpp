#include "frame/dispatch.hpp"

#include "frame/errors.hpp"
#include "frame/raii.hpp"

#include <memory>
#include <optional>
#include <vector>

namespace lark::com {

namespace {

// A FUNCDESC borrowed from its ITypeInfo, released when it goes.
class FuncDesc {
public:
    FuncDesc(ITypeInfo* info, FUNCDESC* desc) : info_(info), desc_(desc) {}
    FuncDesc(FuncDesc&& other) noexcept : info_(other.info_), desc_(std::exchange(other.desc_, nullptr)) {}
    FuncDesc(const FuncDesc&) = delete;
    FuncDesc& operator=(const FuncDesc&) = delete;
    ~FuncDesc() {
        if (desc_) info_->ReleaseFuncDesc(desc_);
    }
    const FUNCDESC* operator->() const { return desc_; }

private:
    ITypeInfo* info_;
    FUNCDESC* desc_;
};

std::optional<FuncDesc> findFunction(ITypeInfo* info, DISPID id, WORD flags) {
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return std::nullopt;
    WORD count = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
        FUNCDESC* desc = nullptr;
        if (FAILED(info->GetFuncDesc(i, &desc))) continue;
        FuncDesc f(info, desc);
        if (desc->memid == id && (desc->invkind & flags)) return f;
    }
    return std::nullopt;
}

// The automation type a parameter's type description stands for: enumerations become Long,
// aliases their target, arrays VT_ARRAY | element. VT_EMPTY for what the frame leaves alone
// (variants, interfaces, records).
VARTYPE automationType(ITypeInfo* info, const TYPEDESC& desc) {
    switch (desc.vt) {
    case VT_SAFEARRAY: {
        VARTYPE element = automationType(info, *desc.lptdesc);
        return element == VT_EMPTY ? VARTYPE(VT_EMPTY) : VARTYPE(VT_ARRAY | element);
    }
    case VT_USERDEFINED: {
        ComPtr<ITypeInfo> ref;
        if (FAILED(info->GetRefTypeInfo(desc.hreftype, ref.put()))) return VT_EMPTY;
        TYPEATTR* attr = nullptr;
        if (FAILED(ref->GetTypeAttr(&attr))) return VT_EMPTY;
        VARTYPE vt = VT_EMPTY;
        if (attr->typekind == TKIND_ENUM) vt = VT_I4;
        else if (attr->typekind == TKIND_ALIAS) vt = automationType(ref.get(), attr->tdescAlias);
        ref->ReleaseTypeAttr(attr);
        return vt;
    }
    case VT_INT: return VT_I4;
    case VT_UINT: return VT_UI4;
    case VT_VARIANT:
    case VT_PTR:
    case VT_UNKNOWN:
    case VT_DISPATCH: return VT_EMPTY;
    default: return desc.vt;
    }
}

// Follows variant references to the variant that holds the value.
VARIANT* target(VARIANT* v) {
    while (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    return v;
}

SAFEARRAY* createLike(SAFEARRAY* source, VARTYPE element) {
    UINT dims = SafeArrayGetDim(source);
    std::vector<SAFEARRAYBOUND> bounds(dims);
    for (UINT d = 0; d < dims; ++d) bounds[d] = source->rgsabound[dims - 1 - d];  // stored last-first
    SAFEARRAY* out = SafeArrayCreate(element, dims, bounds.data());
    if (!out) raise(errOutOfMemory);
    return out;
}

ULONG elementCount(SAFEARRAY* array) {
    ULONG n = 1;
    for (UINT d = 0; d < array->cDims; ++d) n *= array->rgsabound[d].cElements;
    return n;
}

// Copies an array element by element into a new array of another element type, keeping every
// bound. Both types must be automation types that VariantChangeType converts between.
SAFEARRAY* convertArray(SAFEARRAY* source, VARTYPE element) {
    VARTYPE from = VT_EMPTY;
    check(SafeArrayGetVartype(source, &from));
    unique_safearray out(createLike(source, element));
    if (source->cDims == 0) return out.release();
    SafeArrayLockGuard sourceLock(source);
    SafeArrayLockGuard outLock(out.get());
    auto* in = static_cast<BYTE*>(source->pvData);
    auto* dest = static_cast<BYTE*>(out.get()->pvData);
    const ULONG inSize = source->cbElements, outSize = out.get()->cbElements;
    for (ULONG i = 0, n = elementCount(source); i < n; ++i) {
        void* cell = in + i * inSize;
        VARIANT reference;
        reference.vt = VARTYPE(VT_BYREF | from);
        reference.byref = cell;
        VARIANT* item = from == VT_VARIANT ? static_cast<VARIANT*>(cell) : &reference;
        unique_variant converted;
        if (element == VT_VARIANT) {
            check(VariantCopyInd(&converted, item));
            *reinterpret_cast<VARIANT*>(dest + i * outSize) = converted.release();
        } else {
            check(VariantChangeType(&converted, item, 0, element));
            memcpy(dest + i * outSize, &converted.bVal, outSize);
            converted.vt = VT_EMPTY;  // the array owns the value now
        }
    }
    return out.release();
}

// One argument that had to be converted to its parameter's type for the call, and how to put
// the result back into the caller's variable afterwards.
struct Conversion {
    VARIANTARG* slot;         // the argument in the caller's DISPPARAMS
    VARIANTARG original;      // restored into the slot after the call
    VARIANT* writeBack;       // the caller's variable, or null when passed by value
    unique_variant value;     // what the member sees and may change
};

// A zero-length Variant array: how an array with no elements reaches a script.
SAFEARRAY* emptyVariantArray() {
    SAFEARRAYBOUND none{0, 0};
    SAFEARRAY* out = SafeArrayCreate(VT_VARIANT, 1, &none);
    if (!out) raise(errOutOfMemory);
    return out;
}

void prepare(Conversion& c, VARTYPE wanted) {
    VARIANT* source = target(c.slot);
    if (c.writeBack && source->vt == wanted) {
        // The caller's variable already holds the parameter's type: the member works on it.
        c.writeBack = nullptr;
        c.slot->vt = VARTYPE(VT_BYREF | wanted);
        c.slot->byref = &source->bVal;
        return;
    }
    if (wanted & VT_ARRAY) {
        VARTYPE element = VARTYPE(wanted & ~VT_ARRAY);
        c.value.vt = wanted;
        if ((source->vt & VT_ARRAY) && source->vt != VT_ARRAY) {
            SAFEARRAY* array = (source->vt & VT_BYREF) ? *source->pparray : source->parray;
            c.value.parray = array ? convertArray(array, element) : nullptr;
        } else if (source->vt == VT_EMPTY || source->vt == VT_NULL || source->vt == VT_ERROR) {
            c.value.parray = nullptr;  // an array with no bounds
        } else {
            raise(errTypeMismatch);
        }
    } else {
        check(VariantChangeType(&c.value, source, 0, wanted));
    }
    c.slot->vt = VARTYPE(VT_BYREF | wanted);
    c.slot->byref = &c.value.bVal;  // every member of the value union starts here
}

void writeBackToCaller(Conversion& c) {
    unique_variant out;
    if (c.value.vt & VT_ARRAY) {
        // Scripts hold arrays of variants: the typed array goes back converted.
        out.parray = c.value.parray ? convertArray(c.value.parray, VT_VARIANT) : emptyVariantArray();
        out.vt = VT_ARRAY | VT_VARIANT;
    } else {
        out = std::move(c.value);
    }
    VariantClear(c.writeBack);
    *c.writeBack = out.release();
}

}  // namespace

HRESULT dispatchGetIDsOfNames(ITypeInfo* info, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    return info->GetIDsOfNames(names, count, ids);
}

HRESULT dispatchInvoke(ITypeInfo* info, void* object, DISPID id, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept {
    std::vector<std::unique_ptr<Conversion>> conversions;
    UINT failedArg = 0;
    HRESULT hr = S_OK;
    try {
        std::optional<FuncDesc> function = findFunction(info, id, flags);
        if (!function && flags == DISPATCH_PROPERTYGET) {
            // Reading a method as a property (obj(1) for obj.Item(1)) calls the method.
            if (std::optional<FuncDesc> method = findFunction(info, id, DISPATCH_METHOD)) {
                function.emplace(std::move(*method));
                flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
            }
        }
        if (function && params) {
            UINT named = params->cNamedArgs;
            for (UINT i = 0; i < params->cArgs; ++i) {
                // rgvarg holds named arguments first, then positional ones last-first.
                LONG param = i < named ? params->rgdispidNamedArgs[i] : LONG(params->cArgs - 1 - i);
                if (param == DISPID_PROPERTYPUT) param = (*function)->cParams - 1;
                if (param < 0 || param >= (*function)->cParams) continue;
                const TYPEDESC& type = (*function)->lprgelemdescParam[param].tdesc;
                if (type.vt != VT_PTR) continue;
                VARTYPE wanted = automationType(info, *type.lptdesc);
                VARIANTARG* slot = &params->rgvarg[i];
                if (wanted == VT_EMPTY || slot->vt == (VT_BYREF | wanted)) continue;
                failedArg = i;
                auto c = std::make_unique<Conversion>();
                c->slot = slot;
                c->original = *slot;
                c->writeBack = slot->vt == (VT_BYREF | VT_VARIANT) ? target(slot) : nullptr;
                prepare(*c, wanted);
                conversions.push_back(std::move(c));
            }
        }
    } catch (...) {
        for (auto& c : conversions) *c->slot = c->original;
        if (argError) *argError = failedArg;
        return DISP_E_TYPEMISMATCH;
    }

    hr = info->Invoke(object, id, flags, params, result, exception, argError);

    for (auto& c : conversions) {
        *c->slot = c->original;
        if (c->writeBack) stopOnError([&] { writeBackToCaller(*c); });
    }
    return hr;
}

}  // namespace lark::com
