#include "support.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>

namespace lark::test {

namespace fs = std::filesystem;

std::wstring str(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

std::wstring widen(std::string_view utf8) {
    std::wstring out(utf8.size(), L'\0');
    out.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), int(out.size())));
    return out;
}

namespace {

// --- Showing values ------------------------------------------------------------------------

struct TypeNames {
    VARTYPE vt;
    const wchar_t* name;
    const char* conversion;  // the VBScript function that makes one
};
// clang-format off
constexpr TypeNames kTypes[] = {
    {VT_I2, L"Integer", "CInt"}, {VT_I4, L"Long", "CLng"}, {VT_I8, L"LongLong", "CLngLng"}, {VT_UI1, L"Byte", "CByte"},
    {VT_UI4, L"ULong", nullptr},  // OLE_COLOR
    {VT_R4, L"Single", "CSng"}, {VT_R8, L"Double", "CDbl"}, {VT_CY, L"Currency", "CCur"}, {VT_DATE, L"Date", "CDate"},
    {VT_BSTR, L"String", "CStr"}, {VT_BOOL, L"Boolean", "CBool"}, {VT_VARIANT, L"Variant", nullptr},
    {VT_DISPATCH, L"Object", nullptr}, {VT_UNKNOWN, L"Unknown", nullptr}, {VT_ERROR, L"Error", nullptr}};
// clang-format on

const wchar_t* typeName(VARTYPE vt) {
    for (const TypeNames& t : kTypes)
        if (t.vt == vt) return t.name;
    return nullptr;
}

// Text as a VBScript expression: 'quoted' pieces, vbCrLf and friends, ChrW(n), String(n, 'c').
std::wstring literalOf(std::wstring_view text) {
    std::wstring out;
    bool open = false;  // inside a quoted piece
    auto piece = [&](const std::wstring& name) {
        out += (open ? L"'" : L"") + std::wstring(out.empty() ? L"" : L" & ") + name, open = false;
    };
    for (size_t i = 0, run = 1; i < text.size(); i += run) {
        const wchar_t c = text[i];
        const std::wstring unit = c == L'\'' ? L"''" : std::wstring(1, c);
        for (run = 1; i + run < text.size() && text[i + run] == c;)
            ++run;
        const bool printable = c >= 0x20 && c < 0x7F;
        if (printable && run >= 8) {
            piece(L"String(" + std::to_wstring(run) + L", '" + unit + L"')");
            continue;
        }
        run = c == L'\r' && text.substr(i, 2) == L"\r\n" ? 2 : 1;
        if (printable)
            out += (open ? L"" : out.empty() ? L"'" : L" & '") + unit, open = true;
        else
            piece(run == 2     ? L"vbCrLf"
                  : c == L'\r' ? L"vbCr"
                  : c == L'\n' ? L"vbLf"
                  : c == L'\t' ? L"vbTab"
                  : c == 0     ? L"vbNullChar"
                               : L"ChrW(" + std::to_wstring(c) + L")");
    }
    return out.empty() ? L"''" : open ? out + L"'" : out;
}

std::wstring showObject(IUnknown* unknown, const std::wstring& prefix) {
    if (!unknown) return L"Nothing";
    ComPtr<IDispatch> object = ComPtr<IUnknown>(unknown).query<IDispatch>();
    ComPtr<ITypeInfo> info;
    unique_bstr name;
    if (object && SUCCEEDED(object->GetTypeInfo(0, 0, info.put())) && info)
        info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
    std::wstring out = prefix + (name ? str(name.get()) : L"?");
    DISPID id = 0;
    LPOLESTR count = const_cast<LPOLESTR>(L"Count");
    if (object && object->GetIDsOfNames(IID_NULL, &count, 1, 0, &id) == S_OK) {  // a collection shows its items
        Cases items;
        items.let("c", object.get());
        const std::wstring counted = items.outcome("c.Count");
        std::wstring list;
        for (long i = 1; counted.rfind(L"Long ", 0) == 0 && i <= std::stol(counted.substr(5)); ++i)
            list += (i > 1 ? L"|" : L"") + items.outcome("c.Item " + std::to_string(i));
        out += L"[" + list + L"]";
    }
    return out;
}

std::wstring showScalar(const VARIANT& v, bool named) {
    const std::wstring prefix = named && typeName(v.vt) ? std::wstring(typeName(v.vt)) + L" " : L"";
    switch (v.vt) {
        case VT_EMPTY:
            return L"Empty";
        case VT_NULL:
            return L"Null";
        case VT_BSTR:
            return literalOf(str(v.bstrVal));
        case VT_BOOL:
            return prefix + (v.boolVal == VARIANT_TRUE    ? L"True"
                             : v.boolVal == VARIANT_FALSE ? L"False"
                                                          : L"(" + std::to_wstring(v.boolVal) + L")");
        case VT_ERROR:
            return prefix + std::to_wstring(v.scode);
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return showObject(v.punkVal, prefix);
    }
    unique_variant text;
    if (!typeName(v.vt) || FAILED(VariantChangeTypeEx(&text, const_cast<VARIANT*>(&v), 1033, 0, VT_BSTR)))
        return L"vt " + std::to_wstring(v.vt);
    return prefix + str(text.bstrVal);
}

// An element of an array as a VARIANT that only views it: the array keeps owning it.
VARIANT elementView(SAFEARRAY* array, ULONG index, VARTYPE vt) {
    char* data = static_cast<char*>(array->pvData) + index * array->cbElements;
    VARIANT element;
    element.vt = vt;
    if (vt == VT_VARIANT) return *reinterpret_cast<VARIANT*>(data);
    memcpy(&element.lVal, data, array->cbElements);
    return element;
}

std::wstring showArray(SAFEARRAY* array, VARTYPE vt) {
    std::wstring out = typeName(vt) ? typeName(vt) : L"vt " + std::to_wstring(vt);
    if (!array) return out + L"()";
    ULONG count = 1;
    for (UINT d = 1; d <= SafeArrayGetDim(array); ++d) {
        LONG lower = 0, upper = 0;
        SafeArrayGetLBound(array, d, &lower), SafeArrayGetUBound(array, d, &upper);
        out += (d > 1 ? L", " : L"(") + std::to_wstring(lower) + L" To " + std::to_wstring(upper);
        count *= ULONG(std::max(0L, upper - lower + 1));
    }
    out += L")[";
    const bool plain = vt == VT_BSTR || vt == VT_DISPATCH || vt == VT_UNKNOWN;  // shown without the type
    for (ULONG i = 0; i < count; ++i)
        out +=
            (i ? L"|" : L"") + (plain ? showScalar(elementView(array, i, vt), false) : show(elementView(array, i, vt)));
    return out + L"]";
}

}  // namespace

std::wstring show(const VARIANT& value) {
    if (value.vt == (VT_BYREF | VT_VARIANT)) return value.pvarVal ? show(*value.pvarVal) : L"Missing";
    if (value.vt & VT_ARRAY)
        return showArray(value.vt & VT_BYREF ? (value.pparray ? *value.pparray : nullptr) : value.parray,
                         value.vt & VT_TYPEMASK);
    if (!(value.vt & VT_BYREF)) return showScalar(value, true);
    unique_variant copy;
    return FAILED(VariantCopyInd(&copy, const_cast<VARIANT*>(&value))) ? L"vt " + std::to_wstring(value.vt)
                                                                       : show(copy);
}

namespace {

std::wstring hresultName(HRESULT hr) {
    // clang-format off
#define NAMED(code) {code, L## #code}
    static const std::pair<HRESULT, const wchar_t*> names[] = {NAMED(DISP_E_TYPEMISMATCH), NAMED(DISP_E_UNKNOWNNAME),
        NAMED(DISP_E_MEMBERNOTFOUND), NAMED(DISP_E_BADPARAMCOUNT), NAMED(DISP_E_BADVARTYPE), NAMED(DISP_E_OVERFLOW),
        NAMED(DISP_E_PARAMNOTOPTIONAL), NAMED(DISP_E_NONAMEDARGS), NAMED(DISP_E_PARAMNOTFOUND), NAMED(DISP_E_BADINDEX),
        NAMED(E_POINTER), NAMED(E_INVALIDARG), NAMED(E_NOTIMPL), NAMED(E_FAIL), NAMED(E_OUTOFMEMORY), NAMED(E_NOINTERFACE)};
    // clang-format on
#undef NAMED
    for (const auto& [code, name] : names)
        if (code == hr) return name;
    wchar_t text[24];
    swprintf(text, 24, L"hr 0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// "error N Source", with the description when it is not the one clients know for the number.
std::wstring showError(HRESULT hr, const std::wstring& source, const std::wstring& description) {
    // clang-format off
    static const std::map<long, std::wstring> standard = {
        {5, L"Invalid procedure call or argument"}, {6, L"Overflow"}, {7, L"Out of memory"},
        {9, L"Subscript out of range"}, {13, L"Type mismatch"}, {52, L"Bad file name or number"},
        {53, L"File not found"}, {58, L"File already exists"}, {75, L"Path/File access error"},
        {76, L"Path not found"}, {91, L"Object variable or With block variable not set"},
        {457, L"This key is already associated with an element of this collection"}};
    // clang-format on
    if (HRESULT_FACILITY(hr) != FACILITY_CONTROL) return hresultName(hr);
    const long number = HRESULT_CODE(hr);
    const auto known = standard.find(number);
    const bool plain = description == (known == standard.end() ? L"" : known->second);
    return L"error " + std::to_wstring(number) + L" " + source + (plain ? L"" : L" " + literalOf(description));
}

// A number, a truth value or a pointer, given by its bits.
unique_variant scalar(VARTYPE vt, LONGLONG bits) {
    unique_variant v;
    v.vt = vt, v.llVal = bits;
    return v;
}

unique_variant makeString(const std::wstring& text) {
    unique_variant v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(text.data(), UINT(text.size()));
    return v;
}

// --- Reading a case line -------------------------------------------------------------------

struct Argument {
    std::string name;  // for Name:=value
    unique_variant value;
    bool omitted = false;
    int byRef = 0;                // 1: a Variant variable by reference; 2: a typed variable by reference
    VARIANT* variable = nullptr;  // the runner's variable that @name passes, else &value
};

class Reader {
public:
    Reader(std::string_view text, std::map<std::string, unique_variant>& variables) : s_(text), vars_(variables) {}

    std::vector<Argument> arguments() {
        std::vector<Argument> out;
        if (atEnd()) return out;
        do
            out.push_back(argument());
        while (!atEnd() && (expect(','), true));
        return out;
    }

private:
    std::string_view s_;
    size_t i_ = 0;
    std::map<std::string, unique_variant>& vars_;

    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error(what + " at column " + std::to_string(i_ + 1) + " of: " + std::string(s_));
    }
    bool atEnd() {
        while (i_ < s_.size() && s_[i_] == ' ')
            ++i_;
        return i_ >= s_.size();
    }
    bool peek(char c) { return !atEnd() && s_[i_] == c; }
    bool accept(char c) { return peek(c) && ++i_; }
    void expect(char c) {
        if (!accept(c)) fail(std::string("'") + c + "' expected");
    }
    std::string identifier() {
        atEnd();
        const size_t start = i_;
        while (i_ < s_.size() && (isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_'))
            ++i_;
        return std::string(s_.substr(start, i_ - start));
    }
    bool acceptWord(const char* word) {
        const size_t save = i_;
        return _stricmp(identifier().c_str(), word) == 0 || (i_ = save, false);
    }
    unique_variant converted(unique_variant v, VARTYPE vt) {
        unique_variant out;
        if (vt == VT_VARIANT) return v;
        if (FAILED(VariantChangeTypeEx(&out, &v, 1033, 0, vt))) fail("cannot convert");
        return out;
    }
    std::wstring text(unique_variant v) { return str(converted(std::move(v), VT_BSTR).bstrVal); }
    LONG integer() { return converted(term(), VT_I4).lVal; }

    Argument argument() {
        Argument a;
        a.omitted = peek(',') || atEnd();
        if (a.omitted) return a;
        const size_t save = i_;
        if (const std::string name = identifier(); !name.empty() && s_.substr(i_, 2) == ":=")
            a.name = name, i_ += 2;
        else
            i_ = save;
        if (accept('@')) {
            a.byRef = accept('!') ? 2 : 1;
            const size_t before = i_;
            if (const std::string v = identifier(); !v.empty() && vars_.count(v) && (atEnd() || peek(','))) {
                a.variable = &vars_[v];
                return a;
            }
            i_ = before;
        }
        if ((a.omitted = acceptWord("Missing"))) return a;
        a.value = expression();
        return a;
    }
    unique_variant expression() {
        unique_variant first = term();
        if (!peek('&')) return first;
        std::wstring joined = text(std::move(first));
        while (accept('&'))
            joined += text(term());
        return makeString(joined);
    }

    unique_variant term() {
        unique_variant v;
        if (accept('\'')) {
            std::string raw;
            while (i_ < s_.size() && (s_[i_] != '\'' || s_.substr(i_, 2) == "''"))
                raw += s_[i_], i_ += s_[i_] == '\'' ? 2 : 1;
            if (!accept('\'')) fail("unterminated string");
            return makeString(widen(raw));
        }
        if (peek('-') || (!atEnd() && isdigit(static_cast<unsigned char>(s_[i_])))) return number();
        if (s_.substr(i_, 2) == "&H") {
            size_t used = 0;
            const auto bits = static_cast<LONG>(std::stoull(std::string(s_.substr(i_ + 2)), &used, 16));
            i_ += 2 + used;
            return scalar(VT_I4, bits);
        }
        const std::string word = identifier();
        auto is = [&](const char* name) { return _stricmp(word.c_str(), name) == 0; };
        static const std::pair<const char*, const wchar_t*> constants[] = {
            {"vbCr", L"\r"}, {"vbLf", L"\n"}, {"vbCrLf", L"\r\n"}, {"vbTab", L"\t"}};
        for (const auto& [name, value] : constants)
            if (is(name)) return makeString(value);
        if (is("True") || is("False")) {
            return scalar(VT_BOOL, is("True") ? VARIANT_TRUE : VARIANT_FALSE);
        } else if (is("Null") || is("Nothing") || is("vbNullString")) {
            return scalar(is("Null") ? VT_NULL : is("Nothing") ? VT_DISPATCH : VT_BSTR, 0);
        } else if (is("vbNullChar")) {
            return makeString(std::wstring(1, L'\0'));
        } else if (is("ChrW")) {
            expect('(');
            v = makeString(std::wstring(1, wchar_t(integer())));
            expect(')');
        } else if (is("Array")) {
            return array(VT_VARIANT, {});
        } else if (VARTYPE vt = arrayType(word); vt != VT_EMPTY && typedArrayFollows()) {
            return typedArray(vt);
        } else if (is("String") && accept('(')) {
            const LONG count = integer();
            expect(',');
            const std::wstring unit = text(expression());
            expect(')');
            std::wstring repeated;
            for (LONG k = 0; k < count; ++k)
                repeated += unit;
            return makeString(repeated);
        } else if (VARTYPE to = conversion(word); to != VT_EMPTY) {
            expect('(');
            v = converted(expression(), to);
            expect(')');
        } else if (auto found = vars_.find(word); found != vars_.end()) {
            VariantCopy(&v, &found->second);
        } else if (!is("Empty")) {
            fail(word.empty() ? "value expected" : "unknown name " + word);
        }
        return v;
    }
    unique_variant number() {
        const size_t start = i_;
        if (peek('-')) ++i_;
        while (i_ < s_.size() && (isdigit(static_cast<unsigned char>(s_[i_])) || s_[i_] == '.'))
            ++i_;
        const std::string digits(s_.substr(start, i_ - start));
        return digits.find('.') == std::string::npos ? scalar(VT_I4, static_cast<LONG>(std::stoll(digits)))
                                                     : scalar(VT_R8, std::bit_cast<LONGLONG>(std::stod(digits)));
    }
    static VARTYPE conversion(const std::string& word) {
        for (const TypeNames& t : kTypes)
            if (t.conversion && _stricmp(word.c_str(), t.conversion) == 0) return t.vt;
        return VT_EMPTY;
    }
    static VARTYPE arrayType(const std::string& word) {
        for (const TypeNames& t : kTypes)
            if (_wcsicmp(widen(word).c_str(), t.name) == 0 && t.vt != VT_DISPATCH && t.vt != VT_UNKNOWN &&
                t.vt != VT_ERROR && t.vt != VT_CY)
                return t.vt;
        return VT_EMPTY;
    }
    // "Type()" or "Type(lower To upper": a typed array rather than a function call.
    bool typedArrayFollows() {
        const size_t save = i_;
        const bool array = accept('(') && (accept(')') || (integer(), acceptWord("To")));
        i_ = save;
        return array;
    }
    unique_variant typedArray(VARTYPE vt) {
        expect('(');
        if (accept(')')) {  // no bounds: a null array
            unique_variant v;
            v.vt = VT_ARRAY | vt, v.parray = nullptr;
            return v;
        }
        std::vector<SAFEARRAYBOUND> bounds;
        do {
            const LONG lower = integer();
            if (!acceptWord("To")) fail("To expected");
            bounds.push_back({ULONG(std::max(0L, integer() - lower + 1)), lower});
        } while (accept(','));
        expect(')');
        return array(vt, bounds);
    }
    // Array(a, b) or, with bounds, [a|b]; elements are converted to the array's type.
    unique_variant array(VARTYPE vt, std::vector<SAFEARRAYBOUND> bounds) {
        const bool listed = bounds.empty();
        std::vector<unique_variant> items;
        expect(listed ? '(' : '[');
        if (!accept(listed ? ')' : ']')) {
            do
                items.push_back(converted(expression(), vt));
            while (accept(listed ? ',' : '|'));
            expect(listed ? ')' : ']');
        }
        if (listed) bounds.push_back({ULONG(items.size()), 0});
        unique_variant v;
        v.vt = VT_ARRAY | vt;
        v.parray = SafeArrayCreate(vt, UINT(bounds.size()), bounds.data());
        ULONG count = 1;
        for (const SAFEARRAYBOUND& b : bounds)
            count *= b.cElements;
        if (items.size() != count) fail("the bounds hold " + std::to_string(count) + " elements");
        for (size_t k = 0; k < items.size(); ++k) {
            char* slot = static_cast<char*>(v.parray->pvData) + k * v.parray->cbElements;
            VARIANT raw = items[k].release();
            if (vt == VT_VARIANT)
                *reinterpret_cast<VARIANT*>(slot) = raw;
            else
                memcpy(slot, &raw.lVal, v.parray->cbElements);
        }
        return v;
    }
};

// --- Calling -------------------------------------------------------------------------------

struct Call {
    std::string member;
    bool put = false, get = false;
    std::vector<Argument> arguments;
};

// What a by-reference argument hands the member: the variable, as a Variant or typed.
VARIANT reference(Argument& a, int byRef) {
    VARIANT ref;
    ref.vt = VT_BYREF | (byRef == 1 ? VARTYPE(VT_VARIANT) : a.variable->vt);
    ref.byref = byRef == 1 ? static_cast<void*>(a.variable) : &a.variable->lVal;
    return ref;
}

// The interface behind a dual one's dispatch, and its description in the type library.
bool vtableOf(IDispatch* object, ComPtr<ITypeInfo>& info, ComPtr<IUnknown>& itf) {
    ComPtr<ITypeInfo> dispatch;
    HREFTYPE ref = 0;
    TYPEATTR* attr = nullptr;
    if (FAILED(object->GetTypeInfo(0, 0, dispatch.put())) || FAILED(dispatch->GetRefTypeOfImplType(-1, &ref)) ||
        FAILED(dispatch->GetRefTypeInfo(ref, info.put())) || FAILED(info->GetTypeAttr(&attr)))
        return false;
    const HRESULT hr = object->QueryInterface(attr->guid, reinterpret_cast<void**>(itf.put()));
    info->ReleaseTypeAttr(attr);
    return SUCCEEDED(hr);
}

// A late call goes through IDispatch::Invoke. An early one is made on the interface's vtable
// slot, with the arguments converted to the declared types by the type library, as a compiled
// client converts them.
std::wstring invoke(IDispatch* object, Call& call, Binding binding, unique_variant& result) {
    ComPtr<ITypeInfo> vtable;
    ComPtr<IUnknown> itf;
    if (binding == Binding::early && !vtableOf(object, vtable, itf)) return L"no vtable interface";
    std::vector<std::wstring> names{widen(call.member)};
    for (const Argument& a : call.arguments)
        if (!a.name.empty()) names.push_back(widen(a.name));
    std::vector<LPOLESTR> nameTexts;
    for (auto& n : names)
        nameTexts.push_back(n.data());
    std::vector<DISPID> ids(names.size()), namedIds;
    HRESULT hr = vtable ? vtable->GetIDsOfNames(nameTexts.data(), UINT(ids.size()), ids.data())
                        : object->GetIDsOfNames(IID_NULL, nameTexts.data(), UINT(ids.size()), 0, ids.data());
    if (FAILED(hr)) return hresultName(hr);
    auto pass = [&](Argument& a) {  // a compiled client passes its variables typed
        VARIANT v = a.byRef ? reference(a, vtable ? 2 : a.byRef) : a.value;
        if (a.omitted) v.vt = VT_ERROR, v.scode = DISP_E_PARAMNOTFOUND;
        return v;
    };
    std::vector<VARIANT> args;  // named ones first, then the positional ones last to first
    for (Argument& a : call.arguments)
        if (!a.name.empty()) args.push_back(pass(a)), namedIds.push_back(ids[namedIds.size() + 1]);
    for (auto a = call.arguments.rbegin(); a != call.arguments.rend(); ++a)
        if (a->name.empty()) args.push_back(pass(*a));
    if (call.put) namedIds.insert(namedIds.begin(), DISPID_PROPERTYPUT);
    DISPPARAMS params{args.data(), namedIds.data(), UINT(args.size()), UINT(namedIds.size())};
    EXCEPINFO error{};
    const WORD flags = call.put   ? DISPATCH_PROPERTYPUT
                       : call.get ? DISPATCH_PROPERTYGET
                                  : DISPATCH_METHOD | DISPATCH_PROPERTYGET;
    VARIANT* out = call.put ? nullptr : &result;
    SetErrorInfo(0, nullptr);
    hr = vtable ? vtable->Invoke(itf.get(), ids[0], flags, &params, out, &error, nullptr)
                : object->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, flags, &params, out, &error, nullptr);
    if (hr == DISP_E_EXCEPTION && error.pfnDeferredFillIn) error.pfnDeferredFillIn(&error);
    const unique_bstr source(error.bstrSource), description(error.bstrDescription), help(error.bstrHelpFile);
    if (hr != DISP_E_EXCEPTION) return FAILED(hr) ? hresultName(hr) : show(result);
    return showError(error.scode ? error.scode : 0x800A0000 | error.wCode, str(source.get()), str(description.get()));
}

}  // namespace

// --- The runner ----------------------------------------------------------------------------

struct Cases::Impl {
    std::map<std::string, unique_variant> variables;
    std::vector<std::pair<std::wstring, std::wstring>> masks;
};

Cases::Cases() : impl_(new Impl) {}
Cases::~Cases() { delete impl_; }

void Cases::let(const std::string& name, const std::wstring& text) { impl_->variables[name] = makeString(text); }
void Cases::let(const std::string& name, LONG number) { impl_->variables[name] = scalar(VT_I4, number); }
void Cases::let(const std::string& name, IDispatch* object) {
    if (object) object->AddRef();
    impl_->variables[name] = scalar(VT_DISPATCH, reinterpret_cast<LONG_PTR>(object));
}
void Cases::letAddress(const std::string& name, const void* address) {
    impl_->variables[name] = scalar(sizeof(void*) == 8 ? VT_I8 : VT_I4, reinterpret_cast<LONG_PTR>(address));
}
VARIANT& Cases::value(const std::string& name) { return impl_->variables[name]; }
void Cases::mask(const std::wstring& text, const std::string& name) {
    impl_->masks.emplace_back(text, L"%" + widen(name) + L"%");
}

ComPtr<IDispatch> Cases::object(const std::string& name) {
    if (!impl_->variables.count(name)) let(name, createByProgId<IDispatch>(widen("LARKLIB8." + name).c_str()).get());
    const VARIANT& v = value(name);
    return v.vt == VT_DISPATCH ? ComPtr<IDispatch>(v.pdispVal) : ComPtr<IDispatch>();
}

std::wstring Cases::outcome(std::string_view line, Binding binding) {
    try {
        // [name =] Target.Member arguments   or   Target.Member = value
        const size_t dot = line.find('.');
        if (dot == std::string_view::npos) return L"no Target.Member in the line";
        std::string_view head = line.substr(0, dot), rest = line.substr(dot + 1);
        std::string assignTo;
        if (const size_t eq = head.find('='); eq != std::string_view::npos)
            assignTo = std::string(head.substr(0, head.find_last_not_of(' ', eq - 1) + 1)), head = head.substr(eq + 1);
        const std::string target(head.substr(head.find_first_not_of(' ')));
        Call call;
        const size_t end = std::min(rest.find(' '), rest.size());
        call.member = std::string(rest.substr(0, end));
        rest = rest.substr(end);
        if (const size_t first = rest.find_first_not_of(' '); first != std::string_view::npos && rest[first] == '=')
            call.put = true, rest = rest.substr(first + 1);
        call.arguments = Reader(rest, impl_->variables).arguments();
        call.get = binding == Binding::get;
        for (Argument& a : call.arguments)
            if (a.byRef && !a.variable) a.variable = &a.value;
        ComPtr<IDispatch> object = this->object(target);
        if (!object) return widen(target) + L" is not an object";
        unique_variant result;
        std::wstring out = invoke(object.get(), call, binding, result);
        if (!assignTo.empty()) impl_->variables[assignTo] = std::move(result);
        for (const Argument& a : call.arguments)
            if (a.byRef) out += L"; " + show(*a.variable);
        for (const auto& [text, name] : impl_->masks)
            for (size_t at; !text.empty() && (at = out.find(text)) != std::wstring::npos;)
                out.replace(at, text.size(), name);
        return out;
    } catch (const std::exception& e) {
        return L"bad case: " + widen(e.what());
    }
}

void Cases::run(std::string_view table) {
    for (size_t end; !table.empty(); table.remove_prefix(std::min(end + 1, table.size()))) {
        end = std::min(table.find('\n'), table.size());
        std::string_view line = table.substr(0, end);
        const size_t start = line.find_first_not_of(' ');
        if (start == std::string_view::npos || line[start] == '#') continue;
        line.remove_prefix(start);
        const size_t arrow = line.rfind(" => ");
        if (arrow == std::string_view::npos) {
            ADD_FAILURE() << "no \" => \" in the case: " << line;
            continue;
        }
        std::string_view call = line.substr(0, arrow);
        std::vector<Binding> bindings{Binding::late};
        if (call.rfind("both ", 0) == 0)
            bindings.push_back(Binding::early), call.remove_prefix(5);
        else if (call.rfind("early ", 0) == 0)
            bindings = {Binding::early}, call.remove_prefix(6);
        else if (call.rfind("get ", 0) == 0)
            bindings = {Binding::get}, call.remove_prefix(4);
        // Target.{A, B} arguments calls A and B alike, and joins their outcomes with " | ".
        const size_t open = call.find(".{"), close = call.find('}');
        std::vector<std::string> calls;
        for (size_t from = open + 2, to; open != std::string_view::npos && from < close; from = to + 1) {
            const size_t name = call.find_first_not_of(' ', from);
            to = std::min(call.find(',', from), close);
            calls.push_back(std::string(call.substr(0, open + 1)) + std::string(call.substr(name, to - name)) +
                            std::string(call.substr(close + 1)));
        }
        if (calls.empty()) calls.emplace_back(call);
        for (Binding b : bindings) {
            std::wstring got;
            for (const std::string& one : calls)
                got += (got.empty() ? L"" : L" | ") + outcome(one, b);
            if (got != widen(line.substr(arrow + 4)))
                ADD_FAILURE() << (b == Binding::early ? "early" : "late") << " case: " << line
                              << "\n    got: " << std::string(got.begin(), got.end());
        }
    }
}

// --- Platform fixtures -------------------------------------------------------------------

std::wstring temporaryFolder() {
    std::wstring folder = fs::temp_directory_path().wstring();
    while (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    return folder + L'\\';
}

Sandbox::Sandbox() {
    static int count = 0;
    root_ =
        temporaryFolder() + L"lark files " + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(++count);
    fs::create_directory(root_);
}
Sandbox::~Sandbox() {
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(root_, error))
        SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(root_, error);
}
void Sandbox::make(std::initializer_list<std::wstring> entries) const {
    for (const std::wstring& e : entries)
        e.back() == L'\\' ? (void)fs::create_directories(path(e)) : file(e, "x");
}
void Sandbox::file(const std::wstring& relative, const std::string& contents) const {
    fs::create_directories(fs::path(path(relative)).parent_path());
    writeBytes(path(relative), contents);
}
bool Sandbox::exists(const std::wstring& relative) const { return fs::exists(fs::path(path(relative))); }
std::string Sandbox::read(const std::wstring& relative) const { return bytesOf(path(relative)); }
std::wstring Sandbox::listing() const {
    std::set<std::wstring> names;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(root_, error))
        names.insert(fs::relative(entry.path(), root_).wstring() + (entry.is_directory() ? L"\\" : L""));
    std::wstring out;
    for (const std::wstring& name : names)
        out += (out.empty() ? L"" : L"|") + name;
    return out;
}

RegistryBranch::RegistryBranch(const std::wstring& name) : path_(L"Software\\LarkLib8Tests\\" + name) {
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
}
RegistryBranch::~RegistryBranch() {
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\LarkLib8Tests");  // only when no other branch is left
}

namespace {
// The first visible dialog window of this process with the title (any, when it is null).
HWND visibleDialog(const wchar_t* title) {
    for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", title); w;
         w = FindWindowExW(nullptr, w, L"#32770", title)) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (process == GetCurrentProcessId() && IsWindowVisible(w)) return w;
    }
    return nullptr;
}
}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer(std::wstring title, std::function<void(HWND)> answer)
    : title_(std::move(title)), answer_(std::move(answer)), thread_([this] {
          for (HWND last = nullptr; !stop_; Sleep(20)) {
              HWND box = visibleDialog(title_.empty() ? nullptr : title_.c_str());
              if (box && box != last) ++seen_, answer_(last = box);
          }
      }) {}
MessageBoxAnswerer::~MessageBoxAnswerer() {
    stop_ = true;
    thread_.join();
}
std::wstring messageText(HWND box) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    return text;
}
std::wstring windowTitle(HWND window) {
    wchar_t text[128] = {};
    GetWindowTextW(window, text, 128);
    return text;
}
void press(HWND box, int button) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }

std::string bytesOf(const std::wstring& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
void writeBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream(fs::path(path), std::ios::binary) << bytes;
}

}  // namespace lark::test
