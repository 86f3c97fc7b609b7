#include "frame/dispatch.hpp"

#include "frame/dispatch_table.hpp"
#include "frame/errors.hpp"
#include "frame/raii.hpp"

#include <memory>
#include <optional>
#include <vector>

namespace lark::com {

namespace {

std::optional<FuncDesc> findFunction(ITypeInfo* info, DISPID id, WORD flags) {
    for (UINT i = 0, count = functionCount(info); i < count; ++i) {
        FuncDesc f(info, i);
        if (f && f->memid == id && (f->invkind & flags)) return f;
    }
    return std::nullopt;
}

// Follows variant references to the variant that holds the value.
VARIANT* target(VARIANT* v) {
    while (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal)
        v = v->pvarVal;
    return v;
}

SAFEARRAY* createLike(SAFEARRAY* source, VARTYPE element) {
    UINT dims = SafeArrayGetDim(source);
    std::vector<SAFEARRAYBOUND> bounds(dims);
    for (UINT d = 0; d < dims; ++d)
        bounds[d] = source->rgsabound[dims - 1 - d];  // stored last-first
    SAFEARRAY* out = SafeArrayCreate(element, dims, bounds.data());
    if (!out) raise(errOutOfMemory);
    return out;
}

ULONG elementCount(SAFEARRAY* array) {
    ULONG n = 1;
    for (UINT d = 0; d < array->cDims; ++d)
        n *= array->rgsabound[d].cElements;
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
    VARIANTARG* slot;      // the argument in the caller's DISPPARAMS
    VARIANTARG original;   // restored into the slot after the call
    VARIANT* writeBack;    // the caller's variable, or null when passed by value
    unique_variant value;  // what the member sees and may change
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
    } else if (source->vt == wanted) {
        check(VariantCopy(&c.value, source));  // one copy, where a conversion makes three
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

// The parameter that argument i of a call stands for, or -1. rgvarg holds the named arguments
// first, then the positional ones last-first.
LONG parameterOf(const DISPPARAMS& params, UINT i, const FUNCDESC& function) {
    LONG param = i < params.cNamedArgs ? params.rgdispidNamedArgs[i] : LONG(params.cArgs - 1 - i);
    if (param == DISPID_PROPERTYPUT) param = function.cParams - 1;
    return param >= 0 && param < function.cParams ? param : -1;
}

// The kind of a user-defined type, looking through aliases.
TYPEKIND kindOf(ITypeInfo* info, HREFTYPE type) {
    const ComPtr<ITypeInfo> target = resolvedType(info, type);
    if (!target) return TKIND_MAX;
    const TypeAttr attr(target.get());
    return attr ? attr->typekind : TKIND_MAX;
}

// The type of the object a ByRef object parameter holds (IDispatch** or a dispinterface's
// Type**: VT_DISPATCH; IUnknown** or another interface's: VT_UNKNOWN), or VT_EMPTY for another
// kind of parameter. An interface by value is a pointer too, but to the interface itself.
VARTYPE byRefObjectType(ITypeInfo* info, const TYPEDESC& pointee) {
    if (pointee.vt == VT_DISPATCH || pointee.vt == VT_UNKNOWN) return pointee.vt;
    if (pointee.vt != VT_PTR || pointee.lptdesc->vt != VT_USERDEFINED) return VT_EMPTY;
    const TYPEKIND kind = kindOf(info, pointee.lptdesc->hreftype);
    return kind == TKIND_DISPATCH ? VT_DISPATCH : kind == TKIND_INTERFACE ? VT_UNKNOWN : VT_EMPTY;
}

// A parameter typed as the automation runtime's collection. Members that take one reach it
// late-bound, so any object with Count and Item will do: it is lent as the caller holds it, where
// the platform's Invoke would refuse every object but the runtime's own collections.
bool isCollection(ITypeInfo* info, const TYPEDESC& type) {
    static constexpr GUID collection = {0xA4C46780, 0x499F, 0x101B, {0xBB, 0x78, 0x00, 0xAA, 0x00, 0x38, 0x3C, 0xBB}};
    ComPtr<ITypeInfo> ref;
    if (type.vt != VT_PTR || type.lptdesc->vt != VT_USERDEFINED ||
        FAILED(info->GetRefTypeInfo(type.lptdesc->hreftype, ref.put())))
        return false;
    const TypeAttr attr(ref.get());
    return attr && attr->guid == collection;
}

bool isRecordReference(ITypeInfo* info, const TYPEDESC& type) {
    return type.vt == VT_PTR && type.lptdesc->vt == VT_USERDEFINED &&
           kindOf(info, type.lptdesc->hreftype) == TKIND_RECORD;
}

// Members that the frame calls through the vtable itself: those with records by reference, and
// those with objects by value, which get the caller's reference lent rather than a copy (the
// platform's Invoke would hold a reference of its own during the call).
bool needsDirectCall(ITypeInfo* info, const FUNCDESC& function) {
    for (SHORT p = 0; p < function.cParams; ++p) {
        const TYPEDESC& type = function.lprgelemdescParam[p].tdesc;
        if (type.vt == VT_UNKNOWN || isCollection(info, type) || isRecordReference(info, type)) return true;
    }
    return false;
}

bool omitted(const VARIANT* v) { return !v || (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND); }

// The caller's record for a record parameter: the record itself stays where the caller keeps it.
void* recordAddress(VARIANT* argument) {
    VARIANT* v = target(argument);
    if ((v->vt & ~VT_BYREF) != VT_RECORD || !v->pvRecord) raise(errTypeMismatch);
    return v->pvRecord;
}

// The caller's object for an IUnknown parameter, without a reference of the frame's: an
// IDispatch pointer serves as an IUnknown pointer as it is.
IUnknown* lentObject(VARIANT* argument) {
    VARIANT* v = target(argument);
    switch (v->vt) {
        case VT_UNKNOWN:
        case VT_DISPATCH:
            return v->punkVal;
        case VT_BYREF | VT_UNKNOWN:
        case VT_BYREF | VT_DISPATCH:
            return v->ppunkVal ? *v->ppunkVal : nullptr;
        default:
            raise(errTypeMismatch);
    }
}

// Loads the error the member published into the caller's EXCEPINFO.
void fillException(EXCEPINFO* exception, HRESULT failure) {
    if (!exception) return;
    *exception = EXCEPINFO{};
    exception->scode = failure;
    ComPtr<IErrorInfo> error;
    if (GetErrorInfo(0, error.put()) == S_OK && error) {
        error->GetSource(&exception->bstrSource);
        error->GetDescription(&exception->bstrDescription);
        error->GetHelpFile(&exception->bstrHelpFile);
        error->GetHelpContext(&exception->dwHelpContext);
    }
}

// Calls a member through its vtable slot, for what ITypeInfo::Invoke cannot pass: records by
// reference reach the member at the caller's address, objects by value as the caller holds them.
// Arguments of typed ByRef parameters have already been converted by the caller of this function.
HRESULT invokeDirect(ITypeInfo* info, void* object, const FUNCDESC& function, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* exception, UINT* argError) {
    const SHORT count = function.cParams;
    const bool hasRetval =
        count > 0 && (function.lprgelemdescParam[count - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
    std::vector<VARIANTARG*> given(static_cast<size_t>(count), nullptr);
    for (UINT i = 0; params && i < params->cArgs; ++i) {
        LONG param = parameterOf(*params, i, function);
        if (param >= 0) given[static_cast<size_t>(param)] = &params->rgvarg[i];
    }
    std::vector<unique_variant> values(static_cast<size_t>(count));
    std::vector<VARTYPE> types(static_cast<size_t>(count));
    std::vector<VARIANTARG*> arguments(static_cast<size_t>(count));
    unique_variant retval;
    VARTYPE retvalType = VT_EMPTY;
    for (SHORT p = 0; p < count; ++p) {
        const auto at = static_cast<size_t>(p);
        const ELEMDESC& element = function.lprgelemdescParam[p];
        VARIANTARG& value = values[at];
        arguments[at] = &value;
        if (hasRetval && p == count - 1) {
            retvalType = resultType(info, *element.tdesc.lptdesc);
            value.vt = VT_BYREF | VT_UI1;
            value.byref = retvalType == VT_VARIANT ? static_cast<void*>(&retval) : &retval.bVal;
        } else if (VARIANT* argument = given[at]; omitted(argument)) {
            const PARAMDESC& desc = element.paramdesc;
            if (desc.wParamFlags & PARAMFLAG_FHASDEFAULT) {
                check(VariantChangeType(&value, &desc.pparamdescex->varDefaultValue, 0,
                                        automationType(info, element.tdesc)));
            } else if ((desc.wParamFlags & PARAMFLAG_FOPT) && element.tdesc.vt == VT_VARIANT) {
                value.vt = VT_ERROR;
                value.scode = DISP_E_PARAMNOTFOUND;
            } else {
                if (argError) *argError = static_cast<UINT>(p);
                return DISP_E_PARAMNOTOPTIONAL;
            }
        } else if (isRecordReference(info, element.tdesc)) {
            value.vt = VT_BYREF | VT_UI1;
            value.byref = recordAddress(argument);
        } else if (element.tdesc.vt == VT_UNKNOWN || isCollection(info, element.tdesc)) {
            value.vt = VT_BYREF | VT_UI1;
            value.byref = lentObject(argument);
        } else if (element.tdesc.vt == VT_PTR) {
            // Converted already: a reference of the parameter's type, a variant, or a value
            // that the member may change in place.
            value.vt = VT_BYREF | VT_UI1;
            if (argument->vt & VT_BYREF)
                value.byref = argument->byref;
            else
                value.byref = element.tdesc.lptdesc->vt == VT_VARIANT ? static_cast<void*>(argument) : &argument->bVal;
        } else if (element.tdesc.vt == VT_VARIANT) {
            check(VariantCopyInd(&value, argument));
        } else {
            check(VariantChangeType(&value, target(argument), 0, automationType(info, element.tdesc)));
        }
        types[at] = element.tdesc.vt == VT_VARIANT ? VARTYPE(VT_VARIANT) : value.vt;  // a Variant goes whole
    }
    unique_variant returned;
    HRESULT hr = DispCallFunc(object, function.oVft, function.callconv, VT_ERROR, static_cast<UINT>(count),
                              types.data(), arguments.data(), &returned);
    if (FAILED(hr)) return hr;
    if (FAILED(returned.scode)) {
        fillException(exception, returned.scode);
        return DISP_E_EXCEPTION;
    }
    if (result && retvalType != VT_EMPTY) {
        if (retvalType != VT_VARIANT) retval.vt = retvalType;
        VariantClear(result);
        *result = retval.release();
    }
    return S_OK;
}

// Optional ByRef parameters with a default, and optional ByRef objects (whose default is
// Nothing), that the caller left out. The platform's Invoke would pass the default value itself
// where the member expects an address, so the frame supplies the default in a variable of its
// own and passes that by reference: in place of an omitted argument the caller gave, or as an
// extra named argument for one it did not.
class ByRefDefaults {
public:
    ByRefDefaults(ITypeInfo* info, const FUNCDESC& function, DISPPARAMS* params) : params_(params) {
        const auto count = static_cast<size_t>(function.cParams);
        std::vector<bool> given(count, false);
        for (UINT i = 0; params && i < params->cArgs; ++i) {
            LONG param = parameterOf(*params, i, function);
            if (param < 0) continue;
            VARIANTARG original = params->rgvarg[i];
            if (omitted(&original) && fill(info, function, param, params->rgvarg[i]))
                replaced_.slots.push_back({&params->rgvarg[i], original});
            given[static_cast<size_t>(param)] = true;
        }
        for (size_t p = 0; p < count; ++p) {
            VARIANTARG arg{};
            if (!given[p] && fill(info, function, static_cast<LONG>(p), arg)) {
                extraArgs_.push_back(arg);
                extraIds_.push_back(static_cast<DISPID>(p));
            }
        }
        if (extraArgs_.empty()) return;
        // Named arguments come first in rgvarg: the extra ones, then the caller's.
        args_ = extraArgs_;
        ids_ = extraIds_;
        if (params) {
            args_.insert(args_.end(), params->rgvarg, params->rgvarg + params->cArgs);
            ids_.insert(ids_.end(), params->rgdispidNamedArgs, params->rgdispidNamedArgs + params->cNamedArgs);
        }
        extended_.rgvarg = args_.data();
        extended_.rgdispidNamedArgs = ids_.data();
        extended_.cArgs = static_cast<UINT>(args_.size());
        extended_.cNamedArgs = static_cast<UINT>(ids_.size());
    }
    ByRefDefaults(const ByRefDefaults&) = delete;
    ByRefDefaults& operator=(const ByRefDefaults&) = delete;

    DISPPARAMS* params() { return extraArgs_.empty() ? params_ : &extended_; }

private:
    // Points arg at a new variable holding parameter param's default; false when param is no
    // optional ByRef parameter with a default.
    bool fill(ITypeInfo* info, const FUNCDESC& function, LONG param, VARIANTARG& arg) {
        const ELEMDESC& element = function.lprgelemdescParam[param];
        const PARAMDESC& desc = element.paramdesc;
        if (element.tdesc.vt != VT_PTR || (desc.wParamFlags & PARAMFLAG_FRETVAL)) return false;
        const TYPEDESC& pointee = *element.tdesc.lptdesc;
        auto value = std::make_unique<unique_variant>();
        VARTYPE wanted = VT_EMPTY;
        if ((desc.wParamFlags & PARAMFLAG_FHASDEFAULT) && desc.pparamdescex) {
            wanted = pointee.vt == VT_VARIANT ? VARTYPE(VT_VARIANT) : automationType(info, pointee);
            if (wanted == VT_EMPTY) return false;
            if (wanted == VT_VARIANT)
                check(VariantCopy(value.get(), &desc.pparamdescex->varDefaultValue));
            else
                check(VariantChangeType(value.get(), &desc.pparamdescex->varDefaultValue, 0, wanted));
        } else if ((desc.wParamFlags & PARAMFLAG_FOPT) && (wanted = byRefObjectType(info, pointee)) != VT_EMPTY) {
            // An optional object without a default is Nothing; the platform's Invoke would pass the
            // address of its "missing" variant instead.
            value->vt = wanted;
            value->punkVal = nullptr;
        } else {
            return false;
        }
        values_.push_back(std::move(value));
        VARIANT* variable = values_.back().get();
        arg.vt = VARTYPE(VT_BYREF | wanted);
        if (wanted == VT_VARIANT)
            arg.pvarVal = variable;
        else
            arg.byref = &variable->bVal;
        return true;
    }

    // The caller's arguments go back as they were, also when a later default fails.
    struct Restore {
        std::vector<std::pair<VARIANTARG*, VARIANTARG>> slots;
        ~Restore() {
            for (auto& [slot, original] : slots)
                *slot = original;
        }
    };

    DISPPARAMS* params_;
    DISPPARAMS extended_{};
    std::vector<std::unique_ptr<unique_variant>> values_;
    Restore replaced_;
    std::vector<VARIANTARG> extraArgs_, args_;
    std::vector<DISPID> extraIds_, ids_;
};

// The caller's argument for parameter p of a call the table takes, or null when there is none:
// a property's new value is the named one, the others come last-first.
VARIANTARG* argumentFor(const Member& member, const DISPPARAMS& params, size_t p) {
    const size_t positional = params.cArgs - params.cNamedArgs;
    if (params.cNamedArgs && p == member.parameters.size() - 1) return &params.rgvarg[0];
    return p < positional ? &params.rgvarg[params.cArgs - 1 - p] : nullptr;
}

// Whether the table's path takes this call: no named arguments but a property's new value, no
// more arguments than parameters, an argument or a fallback for each parameter, and a variant
// variable for each variant reference. The general path takes every other call.
bool tableTakes(const Member& member, const DISPPARAMS* params) {
    if (!member.tabled || !params || params->cNamedArgs > params->cArgs) return false;
    const bool put = member.invokeKind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF);
    if (params->cNamedArgs != (put ? 1u : 0u) || (put && params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) ||
        (put && member.parameters.empty()) || params->cArgs > member.parameters.size())
        return false;
    for (size_t p = 0; p < member.parameters.size(); ++p) {
        const Parameter& parameter = member.parameters[p];
        const VARIANTARG* argument = argumentFor(member, *params, p);
        if (omitted(argument) ? !parameter.omittable
                              : parameter.passing == Passing::variantReference &&
                                    argument->vt != (VT_BYREF | VT_VARIANT))
            return false;
    }
    return true;
}

// The arguments of one call on the table's path, on the stack: per parameter the variant handed
// to DispCallFunc, the value it may own, and the conversion of a reference. Only the slots of
// the member's parameters are set up and cleared.
class CallArguments {
public:
    static constexpr size_t kSlots = kMostTabledParameters;

    explicit CallArguments(size_t used) : used_(used) {
        for (size_t p = 0; p < used_; ++p)
            owned[p].vt = VT_EMPTY;
    }
    CallArguments(const CallArguments&) = delete;
    CallArguments& operator=(const CallArguments&) = delete;
    ~CallArguments() {
        for (size_t p = 0; p < used_; ++p)
            if (owned[p].vt != VT_EMPTY) VariantClear(&owned[p]);
    }

    VARIANTARG* pointers[kSlots];
    VARTYPE types[kSlots];
    VARIANTARG references[kSlots];
    VARIANT owned[kSlots];
    std::optional<Conversion> conversions[kSlots];

private:
    size_t used_;
};

// Typed references first, in the order of the caller's arguments, as the general path converts
// them: the caller's variable when it has the type, otherwise a converted copy. A failed
// conversion ends the call with a type mismatch at that argument.
HRESULT passReferences(const Member& member, const DISPPARAMS& params, CallArguments& call, UINT* argError) {
    for (UINT i = 0; i < params.cArgs; ++i) {
        const size_t p = params.cNamedArgs && i == 0 ? member.parameters.size() - 1 : params.cArgs - 1 - i;
        const Parameter& parameter = member.parameters[p];
        VARIANTARG* argument = &params.rgvarg[i];
        if (parameter.passing != Passing::reference || omitted(argument)) continue;
        call.types[p] = VARTYPE(VT_BYREF | parameter.type);
        if (argument->vt == call.types[p]) {
            call.pointers[p] = argument;
            continue;
        }
        Conversion& c = call.conversions[p].emplace();
        call.references[p] = *argument;
        c.slot = &call.references[p];
        c.writeBack = argument->vt == (VT_BYREF | VT_VARIANT) ? target(argument) : nullptr;
        try {
            prepare(c, parameter.type);
        } catch (...) {
            if (argError) *argError = i;
            return DISP_E_TYPEMISMATCH;
        }
        call.pointers[p] = c.slot;
    }
    return S_OK;
}

// Then the other parameters in their order, as the platform's Invoke passes them: values as they
// stand or converted, variants copied, variant variables themselves, omitted arguments as their
// fallbacks (in a variable of the call's own for a reference).
HRESULT passTheRest(const Member& member, const DISPPARAMS& params, CallArguments& call) {
    for (size_t p = 0; p < member.parameters.size(); ++p) {
        const Parameter& parameter = member.parameters[p];
        VARIANTARG* argument = argumentFor(member, params, p);
        VARIANT& owned = call.owned[p];
        const bool byReference =
            parameter.passing == Passing::reference || parameter.passing == Passing::variantReference;
        call.types[p] = byReference ? VARTYPE(VT_BYREF | parameter.type) : parameter.type;
        HRESULT hr = S_OK;
        if (omitted(argument)) {
            hr = VariantCopy(&owned, const_cast<VARIANT*>(static_cast<const VARIANT*>(&parameter.fallback)));
            if (byReference) {
                call.references[p].vt = call.types[p];
                call.references[p].byref = parameter.type == VT_VARIANT ? static_cast<void*>(&owned) : &owned.bVal;
                call.pointers[p] = &call.references[p];
            } else {
                call.pointers[p] = &owned;
            }
        } else if (parameter.passing == Passing::reference) {
            continue;  // passed already
        } else if (parameter.passing == Passing::variantReference || argument->vt == parameter.type) {
            call.pointers[p] = argument;
        } else {
            hr = parameter.passing == Passing::variant ? VariantCopy(&owned, argument)
                                                       : VariantChangeType(&owned, argument, 0, parameter.type);
            call.pointers[p] = &owned;
        }
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

// Calls a member that the table describes through its vtable slot with one DispCallFunc call.
// What the caller sees (results, errors, EXCEPINFO, write-back into script variables) is what
// the general path gives.
HRESULT invokeFromTable(const Member& member, void* object, DISPPARAMS& params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) noexcept {
    CallArguments call(member.parameters.size());
    HRESULT hr = passReferences(member, params, call, argError);
    if (FAILED(hr)) return hr;
    hr = passTheRest(member, params, call);
    if (SUCCEEDED(hr)) {
        size_t count = member.parameters.size();
        unique_variant retval;
        if (member.resultType != VT_EMPTY) {
            call.references[count].vt = VARTYPE(VT_BYREF | member.resultType);
            call.references[count].byref =
                member.resultType == VT_VARIANT ? static_cast<void*>(&retval) : &retval.bVal;
            call.pointers[count] = &call.references[count];
            call.types[count] = call.references[count].vt;
            ++count;
        }
        unique_variant returned;
        hr = DispCallFunc(object, member.vtableOffset, member.callingConvention, VT_ERROR, UINT(count), call.types,
                          call.pointers, &returned);
        if (SUCCEEDED(hr) && FAILED(returned.scode)) {
            fillException(exception, returned.scode);
            hr = DISP_E_EXCEPTION;
        }
        // Like the platform's Invoke, the retval reaches the caller also when the member failed.
        if (SUCCEEDED(hr) || hr == DISP_E_EXCEPTION) {
            if (member.resultType != VT_VARIANT) retval.vt = member.resultType;
            if (result && member.resultType != VT_EMPTY) *result = retval.release();
        }
    }
    // In the order the general path writes back: the caller's arguments first to last.
    for (size_t p = member.parameters.size(); p-- > 0;)
        if (std::optional<Conversion>& c = call.conversions[p]; c && c->writeBack)
            stopOnError([&] { writeBackToCaller(*c); });
    return hr;
}

}  // namespace

HRESULT dispatchGetIDsOfNames(const DispatchTable& table, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    return table.idsOfNames(names, count, ids) ? S_OK : table.info()->GetIDsOfNames(names, count, ids);
}

HRESULT dispatchGetIDsOfNames(ITypeInfo* info, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    try {
        return dispatchGetIDsOfNames(dispatchTableOf(info), names, count, ids);
    } catch (...) {
        return info->GetIDsOfNames(names, count, ids);
    }
}

HRESULT dispatchInvoke(const DispatchTable& table, void* object, DISPID id, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept {
    const Member* member = table.member(id, flags);
    // Reading a method as a property (obj(1) for obj.Item(1)) calls the method.
    if (!member && flags == DISPATCH_PROPERTYGET) member = table.member(id, DISPATCH_METHOD);
    if (member && tableTakes(*member, params))
        return invokeFromTable(*member, object, *params, result, exception, argError);
    return dispatchInvokeGeneral(table.info(), object, id, flags, params, result, exception, argError);
}

HRESULT dispatchInvoke(ITypeInfo* info, void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* exception, UINT* argError) noexcept {
    const DispatchTable* table = nullptr;
    try {
        table = &dispatchTableOf(info);
    } catch (...) {
        return dispatchInvokeGeneral(info, object, id, flags, params, result, exception, argError);
    }
    return dispatchInvoke(*table, object, id, flags, params, result, exception, argError);
}

HRESULT dispatchInvokeGeneral(ITypeInfo* info, void* object, DISPID id, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept {
    std::optional<FuncDesc> function;
    std::vector<std::unique_ptr<Conversion>> conversions;
    UINT failedArg = 0;
    try {
        function = findFunction(info, id, flags);
        if (!function && flags == DISPATCH_PROPERTYGET) {
            // Reading a method as a property (obj(1) for obj.Item(1)) calls the method.
            if ((function = findFunction(info, id, DISPATCH_METHOD))) {
                flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
            }
        }
        for (UINT i = 0; function && params && i < params->cArgs; ++i) {
            LONG param = parameterOf(*params, i, **function);
            if (param < 0) continue;
            const TYPEDESC& type = (*function)->lprgelemdescParam[param].tdesc;
            if (type.vt != VT_PTR) continue;
            VARTYPE wanted = automationType(info, *type.lptdesc);
            if (wanted == VT_EMPTY) wanted = byRefObjectType(info, *type.lptdesc);
            VARIANTARG* slot = &params->rgvarg[i];
            if (wanted == VT_EMPTY || slot->vt == (VT_BYREF | wanted) || omitted(slot)) continue;
            failedArg = i;
            auto c = std::make_unique<Conversion>();
            c->slot = slot;
            c->original = *slot;
            c->writeBack = slot->vt == (VT_BYREF | VT_VARIANT) ? target(slot) : nullptr;
            prepare(*c, wanted);
            conversions.push_back(std::move(c));
        }
    } catch (...) {
        for (auto& c : conversions)
            *c->slot = c->original;
        if (argError) *argError = failedArg;
        return DISP_E_TYPEMISMATCH;
    }

    std::optional<ByRefDefaults> defaults;
    if (function) {
        try {
            defaults.emplace(info, **function, params);
        } catch (...) {
            for (auto& c : conversions)
                *c->slot = c->original;
            return DISP_E_TYPEMISMATCH;
        }
    }
    DISPPARAMS* callParams = defaults ? defaults->params() : params;

    HRESULT hr = DISP_E_TYPEMISMATCH;
    if (function && needsDirectCall(info, **function)) {
        try {
            // The call goes through the vtable, so it needs the interface's own description
            // (a dual interface's dispatch description has no vtable offsets or retval).
            ComPtr<ITypeInfo> vtable = vtableTypeInfo(info);
            std::optional<FuncDesc> slot = findFunction(vtable.get(), id, flags);
            if (slot) hr = invokeDirect(vtable.get(), object, **slot, callParams, result, exception, argError);
        } catch (...) {
        }
    } else {
        hr = info->Invoke(object, id, flags, callParams, result, exception, argError);
    }
    defaults.reset();

    for (auto& c : conversions) {
        *c->slot = c->original;
        if (c->writeBack) stopOnError([&] { writeBackToCaller(*c); });
    }
    return hr;
}

}  // namespace lark::com
