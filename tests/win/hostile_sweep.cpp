// The hostile-input sweep of one creatable class: every member of its default interface, as the
// registered type library describes it, called late-bound with each parameter in turn replaced by
// each hostile value and the others plausible. Each call must return or raise an automation error;
// a crash, a hang, any other failure or a C++ exception fails the class.
//   hostile_sweep CLASS [RESULTS.xml] [-v]   prints the calls made (-v: every outcome)
// It works in a folder of its own (its current and temporary folder) and a registry branch of its
// own, and removes the keys it left at the roots of HKEY_CURRENT_USER and HKEY_CLASSES_ROOT.
#include "support.hpp"

#include <shlwapi.h>
#include <tlhelp32.h>

#include <filesystem>
#include <set>

namespace lark::test {
namespace {

// Members left out because no argument makes them safe to call: none so far. (Parameters that
// carry memory addresses, the pointer-sized integers, get only the null address among the
// numbers: the caller guarantees that any other address is valid.)
const std::set<std::wstring> kNotSwept = {};

constexpr DWORD kCallLimitMs = 60000;  // a call that takes longer is a hang
const wchar_t kBranch[] = L"Software\\LarkSweep";

struct Param {
    std::wstring name;
    VARTYPE vt = VT_EMPTY;  // VT_ARRAY | element for arrays; VT_RECORD, VT_DISPATCH for records, objects
    bool byRef = false;
    ComPtr<IRecordInfo> record;
};

bool has(const std::wstring& name, const wchar_t* part) { return StrStrIW(name.c_str(), part) != nullptr; }
bool pathLike(const std::wstring& n) {
    for (const wchar_t* part : {L"path", L"file", L"folder", L"dir", L"ini", L"spec"})
        if (has(n, part)) return true;
    return false;
}

unique_variant text(const std::wstring& s) {
    unique_variant v;
    v.vt = VT_BSTR, v.bstrVal = SysAllocStringLen(s.data(), UINT(s.size()));
    return v;
}
unique_variant number(VARTYPE vt, double value) {
    unique_variant v, out;
    v.vt = VT_R8, v.dblVal = value;
    if (vt == VT_R8 || FAILED(VariantChangeType(&out, &v, 0, vt))) return v;
    return out;
}
// An array of the element type with these bounds, holding "3", "1", "2", ... converted.
unique_variant array(VARTYPE element, std::vector<SAFEARRAYBOUND> bounds, bool allocated = true) {
    unique_variant v;
    v.vt = VT_ARRAY | element;
    if (!allocated) return v;
    v.parray = SafeArrayCreate(element, UINT(bounds.size()), bounds.data());
    const ULONG count = bounds[0].cElements * (bounds.size() > 1 ? bounds[1].cElements : 1);
    for (ULONG i = 0; i < count; ++i) {
        LONG at[2] = {bounds[0].lLbound + LONG(i % bounds[0].cElements),
                      bounds.size() > 1 ? bounds[1].lLbound + LONG(i / bounds[0].cElements) : 0};
        unique_variant item = text(std::wstring(1, L"3124"[i % 4])), typed;
        VariantChangeType(&typed, &item, 0, element);
        SafeArrayPutElement(v.parray, at,
                            element == VT_VARIANT ? static_cast<void*>(&typed)
                            : element == VT_BSTR  ? static_cast<void*>(typed.bstrVal)
                                                  : static_cast<void*>(&typed.lVal));
    }
    return v;
}

unique_variant plausible(const Param& p, IDispatch* self) {
    unique_variant v;
    if (p.vt & VT_ARRAY) return array(p.vt & VT_TYPEMASK, {{3, 0}});
    switch (p.vt) {
        case VT_BSTR:
            return text(has(p.name, L"key") ? std::wstring(kBranch) + L"\\" + p.name
                        : pathLike(p.name)  ? p.name
                                            : L"lark");
        case VT_BOOL:
            return v.vt = VT_BOOL, v.boolVal = VARIANT_FALSE, std::move(v);
        case VT_VARIANT:
            return has(p.name, L"arr") ? array(VT_VARIANT, {{3, 0}}) : text(L"lark");
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return self->AddRef(), v.vt = VT_DISPATCH, v.pdispVal = self, std::move(v);
        case VT_RECORD:
            v.vt = VT_RECORD, v.pvRecord = p.record->RecordCreate(), v.pRecInfo = p.record.get();
            return p.record->AddRef(), std::move(v);
        case VT_I8:
            return number(VT_I4, 0);  // the null address
    }
    // Handles (hKey, hWnd, hDC, Owner, ...): the current user's key; no window; the screen.
    const bool handle = (p.name.size() > 1 && p.name[0] == L'h' && iswupper(p.name[1])) || has(p.name, L"owner");
    return number(VT_I4, p.name == L"hKey" ? LONG(0x80000001) : handle ? 0 : 1);
}

struct Hostile {
    const wchar_t* name;
    std::function<unique_variant(VARTYPE element)> make;
};
const Hostile kHostile[] = {
    {L"Empty", [](VARTYPE) { return unique_variant(); }},
    {L"Null",
     [](VARTYPE) {
         unique_variant v;
         return v.vt = VT_NULL, std::move(v);
     }},
    {L"Nothing",
     [](VARTYPE) {
         unique_variant v;
         return v.vt = VT_DISPATCH, v.pdispVal = nullptr, std::move(v);
     }},
    {L"''", [](VARTYPE) { return text(L""); }},
    {L"String(100000, '\\')", [](VARTYPE) { return text(std::wstring(100000, L'\\')); }},
    {L"String(100000, 'x')", [](VARTYPE) { return text(std::wstring(100000, L'x')); }},
    {L"'lark' & vbNullChar & 'sweep'", [](VARTYPE) { return text(std::wstring(L"lark\0sweep", 10)); }},
    {L"-1", [](VARTYPE) { return number(VT_I4, -1); }},
    {L"0", [](VARTYPE) { return number(VT_I4, 0); }},
    {L"2147483647", [](VARTYPE) { return number(VT_I4, 2147483647.0); }},
    {L"-2147483648", [](VARTYPE) { return number(VT_I4, -2147483648.0); }},
    {L"1E+300", [](VARTYPE) { return number(VT_R8, 1e300); }},
    {L"array()", [](VARTYPE e) { return array(e, {}, false); }},
    {L"array(0 To 1, 0 To 1)",
     [](VARTYPE e) {
         return array(e, {{2, 0}, {2, 0}});
     }},
    {L"array(5 To 4)",
     [](VARTYPE e) {
         return array(e, {{0, 5}});
     }},
    {L"array(1 To 3)",
     [](VARTYPE e) {
         return array(e, {{3, 1}});
     }},
};

// A parameter's type as a caller passes it: typedefs and enumerations resolved, a pointer taken
// as by reference (an interface is a pointer itself).
Param describe(ITypeInfo* info, const ELEMDESC& element, BSTR name) {
    Param p{str(name), VT_EMPTY, false, {}};
    const TYPEDESC* t = &element.tdesc;
    int pointers = 0;
    for (; t->vt == VT_PTR; t = t->lptdesc)
        ++pointers;
    p.vt = t->vt == VT_SAFEARRAY ? VT_ARRAY | t->lptdesc->vt : t->vt;
    std::vector<ComPtr<ITypeInfo>> seen{info};  // keep each alias's type description alive
    while (p.vt == VT_USERDEFINED) {
        ComPtr<ITypeInfo> ref;
        TYPEATTR* a = nullptr;
        if (FAILED(seen.back()->GetRefTypeInfo(t->hreftype, ref.put())) || FAILED(ref->GetTypeAttr(&a))) break;
        p.vt = a->typekind == TKIND_ENUM     ? VARTYPE(VT_I4)
               : a->typekind == TKIND_RECORD ? VARTYPE(VT_RECORD)
               : a->typekind == TKIND_ALIAS  ? a->tdescAlias.vt
                                             : VARTYPE(VT_DISPATCH);
        if (a->typekind == TKIND_ALIAS) t = &a->tdescAlias;
        if (p.vt == VT_RECORD) GetRecordInfoFromTypeInfo(ref.get(), p.record.put());
        if (p.vt == VT_DISPATCH) --pointers;
        seen.push_back(ref);
    }
    p.byRef = pointers > 0;
    return p;
}

struct Member {
    std::wstring name;
    DISPID id;
    WORD flags;  // DISPATCH_METHOD, _PROPERTYGET, _PROPERTYPUT or _PROPERTYPUTREF
    std::vector<Param> params;
};

std::vector<Member> membersOf(ITypeInfo* dispatchInfo) {
    ComPtr<ITypeInfo> info = dispatchInfo;
    HREFTYPE dual = 0;  // the dual interface's vtable half lists only its own members
    if (SUCCEEDED(dispatchInfo->GetRefTypeOfImplType(-1, &dual))) dispatchInfo->GetRefTypeInfo(dual, info.put());
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    std::vector<Member> members;
    for (UINT f = 0; f < attr->cFuncs; ++f) {
        FUNCDESC* fd = nullptr;
        info->GetFuncDesc(f, &fd);
        BSTR names[64] = {};
        UINT count = 0;
        info->GetNames(fd->memid, names, 64, &count);
        Member m{str(names[0]), fd->memid, WORD(fd->invkind), {}};
        for (SHORT i = 0; i < fd->cParams; ++i) {
            const USHORT flags = fd->lprgelemdescParam[i].paramdesc.wParamFlags;
            if (flags & (PARAMFLAG_FRETVAL | PARAMFLAG_FLCID)) continue;
            // A property's names are its get's: a put's value is named after the property.
            const bool put = fd->invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF);
            const bool value = i + 1U >= count || (put && i == fd->cParams - 1);
            m.params.push_back(describe(info.get(), fd->lprgelemdescParam[i], value ? names[0] : names[i + 1]));
        }
        for (BSTR& n : names)
            SysFreeString(n);
        if (!kNotSwept.count(m.name)) members.push_back(std::move(m));
        info->ReleaseFuncDesc(fd);
    }
    info->ReleaseTypeAttr(attr);
    return members;
}

// --- The process around the calls ------------------------------------------------------------

std::wstring current;  // the call under way
// The same, for the reports of a crash or a hang, which must not allocate: the call may have
// stopped holding the heap's lock.
char currentCall[512];
std::atomic<ULONGLONG> callStarted{0};  // 0 between calls

void write(const char* text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, DWORD(strlen(text)), &written, nullptr);
}
void report(const std::wstring& line) { write((std::string(line.begin(), line.end()) + "\n").c_str()); }

LONG WINAPI crashed(EXCEPTION_POINTERS* e) {
    char code[32];
    snprintf(code, sizeof code, "FAILED: exception 0x%08lX in ", e->ExceptionRecord->ExceptionCode);
    write(code), write(currentCall), write("\n");
    return EXCEPTION_EXECUTE_HANDLER;
}

// Answers every dialog and message box the calls open, as a person who wants out would; a second
// thread ends the process when one call runs past its limit.
class Watcher {
public:
    Watcher()
        : closer_([this] {
              for (; !stop_; Sleep(10))
                  EnumWindows(&Watcher::close, 0);
          }),
          watchdog_([this] {
              for (; !stop_; Sleep(100)) {
                  const ULONGLONG started = callStarted;
                  if (started && GetTickCount64() > started + kCallLimitMs)
                      write("FAILED: no answer within a minute from "), write(currentCall), write("\n"),
                          TerminateProcess(GetCurrentProcess(), 2);
              }
          }) {}
    ~Watcher() { stop_ = true, closer_.join(), watchdog_.join(); }

private:
    static BOOL CALLBACK close(HWND window, LPARAM) {
        DWORD process = 0;
        wchar_t kind[16] = {};
        GetWindowThreadProcessId(window, &process);
        if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
        GetClassNameW(window, kind, 16);
        if (wcscmp(kind, L"#32770") != 0) return PostMessageW(window, WM_CLOSE, 0, 0), TRUE;
        press(window, GetDlgItem(window, IDCANCEL) ? IDCANCEL : GetDlgItem(window, IDNO) ? IDNO : IDOK);
        return TRUE;
    }
    std::atomic<bool> stop_{false};
    std::thread closer_, watchdog_;
};

// Waits a while for the processes that the calls started (the registry editor, say), which may
// still be writing to the registry and the folder that the sweep is about to remove; ends those
// that stay (help viewers wait for more requests).
void endChildren() {
    com::unique_hfile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));  // fails as -1
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    const ULONGLONG deadline = GetTickCount64() + 10000;
    for (bool more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        com::unique_handle child(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
        if (entry.th32ParentProcessID != GetCurrentProcessId() || !child) continue;
        const ULONGLONG now = GetTickCount64();
        if (WaitForSingleObject(child.get(), DWORD(now < deadline ? deadline - now : 0)) == WAIT_TIMEOUT)
            TerminateProcess(child.get(), 1);
    }
}

// The subkeys at a root that the sweep did not find there are removed when it ends.
class RootKeys {
public:
    explicit RootKeys(HKEY root) : root_(root), before_(names()) {}
    ~RootKeys() {
        for (const std::wstring& name : names())
            if (!before_.count(name)) RegDeleteTreeW(root_, name.c_str()), RegDeleteKeyW(root_, name.c_str());
    }

private:
    std::set<std::wstring> names() const {
        std::set<std::wstring> out;
        wchar_t name[256];
        for (DWORD i = 0, size = 256; RegEnumKeyExW(root_, i, name, &size, 0, 0, 0, 0) == ERROR_SUCCESS;
             ++i, size = 256)
            out.insert(name);
        return out;
    }
    HKEY root_;
    std::set<std::wstring> before_;
};

// --- The calls -------------------------------------------------------------------------------

// "" for a call that returned or raised an automation error; otherwise what went wrong.
std::wstring call(IDispatch* object, const Member& m, std::vector<unique_variant>& values, std::wstring& outcome) {
    std::vector<VARIANT> args(values.size());
    for (size_t i = 0; i < values.size(); ++i) {  // last to first
        VARIANT& a = args[values.size() - 1 - i];
        if (m.params[i].byRef)
            a.vt = VT_BYREF | VT_VARIANT, a.pvarVal = &values[i];
        else
            a = values[i];
    }
    DISPID put = DISPID_PROPERTYPUT;
    const bool puts = m.flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    DISPPARAMS params{args.data(), puts ? &put : nullptr, UINT(args.size()), puts ? 1U : 0U};
    unique_variant result;
    EXCEPINFO error{};
    HRESULT hr = E_UNEXPECTED;
    callStarted = GetTickCount64();
    try {
        hr = object->Invoke(m.id, IID_NULL, 0, m.flags, &params, puts ? nullptr : &result, &error, nullptr);
    } catch (...) {
        return callStarted = 0, outcome = L"a C++ exception", outcome;
    }
    callStarted = 0;
    if (hr == DISP_E_EXCEPTION && error.pfnDeferredFillIn) error.pfnDeferredFillIn(&error);
    const unique_bstr source(error.bstrSource), description(error.bstrDescription), help(error.bstrHelpFile);
    const HRESULT scode = error.scode ? error.scode : 0x800A0000 | error.wCode;
    wchar_t code[64];
    swprintf(code, 64, L"error %ld ", HRESULT_FACILITY(scode) == FACILITY_CONTROL ? HRESULT_CODE(scode) : long(scode));
    outcome = SUCCEEDED(hr)            ? show(result)
              : hr == DISP_E_EXCEPTION ? code + str(source.get()) + L" '" + str(description.get()) + L"'"
                                       : L"HRESULT " + std::to_wstring(hr);
    if (SUCCEEDED(hr)) return L"";
    if (hr == DISP_E_EXCEPTION)
        return HRESULT_FACILITY(scode) == FACILITY_CONTROL && source ? L"" : L"not an automation error: " + outcome;
    for (HRESULT argumentError : {DISP_E_TYPEMISMATCH, DISP_E_BADVARTYPE, DISP_E_OVERFLOW, DISP_E_PARAMNOTOPTIONAL,
                                  DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTFOUND})
        if (hr == argumentError) return L"";
    return L"unexpected " + outcome;
}

int sweep(const std::wstring& className, bool verbose) {
    ComPtr<ITypeLib> library;
    ComPtr<ITypeInfo> coclass, dispatch;
    if (FAILED(LoadRegTypeLib(LIBID_LARKLIB8, 1, 0, 1033, library.put()))) return report(L"FAILED: no type library"), 1;
    MEMBERID id = 0;
    USHORT found = 1;
    std::wstring name = className;
    TYPEATTR* attr = nullptr;
    library->FindName(name.data(), 0, coclass.put(), &id, &found);
    if (!found || FAILED(coclass->GetTypeAttr(&attr)) || attr->typekind != TKIND_COCLASS ||
        !(attr->wTypeFlags & TYPEFLAG_FCANCREATE))
        return report(L"FAILED: " + className + L" is no creatable class"), 1;
    const CLSID clsid = attr->guid;
    coclass->ReleaseTypeAttr(attr);
    for (UINT i = 0, flags = 0; !dispatch && SUCCEEDED(coclass->GetImplTypeFlags(i, reinterpret_cast<INT*>(&flags)));
         ++i) {
        HREFTYPE ref = 0;
        if ((flags & IMPLTYPEFLAG_FDEFAULT) && !(flags & IMPLTYPEFLAG_FSOURCE) &&
            SUCCEEDED(coclass->GetRefTypeOfImplType(i, &ref)))
            coclass->GetRefTypeInfo(ref, dispatch.put());
    }
    long calls = 0, failures = 0;
    for (const Member& m : membersOf(dispatch.get())) {
        ComPtr<IDispatch> object;
        if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                    reinterpret_cast<void**>(object.put()))))
            return report(L"FAILED: " + className + L" cannot be created"), 1;
        // The first call takes only plausible values; then each parameter in turn takes each
        // hostile one.
        const size_t hostiles = std::size(kHostile);
        for (size_t k = 0; k <= m.params.size() * hostiles; ++k) {
            std::vector<unique_variant> values;
            for (const Param& param : m.params)
                values.push_back(plausible(param, object.get()));
            current = className + L"." + m.name;
            if (k) {
                const Param& target = m.params[(k - 1) / hostiles];
                const Hostile& hostile = kHostile[(k - 1) % hostiles];
                unique_variant& value = values[(k - 1) / hostiles];
                value = hostile.make(target.vt & VT_ARRAY ? target.vt & VT_TYPEMASK : VT_VARIANT);
                if (target.vt == VT_I8 && value.vt == VT_I4 && value.lVal) continue;  // an address
                current += L" with " + target.name + L" = " + hostile.name;
            }
            snprintf(currentCall, sizeof currentCall, "%ls", current.c_str());
            std::wstring outcome;
            const std::wstring wrong = call(object.get(), m, values, outcome);
            ++calls;
            if (!wrong.empty()) ++failures, report(L"FAILED: " + current + L": " + wrong);
            if (verbose) report(current + L" => " + outcome.substr(0, 200));
        }
    }
    report(className + L": " + std::to_wstring(calls) + L" calls, " + std::to_wstring(failures) + L" failed");
    return failures ? 1 : 0;
}

}  // namespace
}  // namespace lark::test

int main(int argc, char** argv) {
    using namespace lark::test;
    if (argc < 2) return report(L"usage: hostile_sweep CLASS [RESULTS.xml] [-v]"), 2;
    SetUnhandledExceptionFilter(crashed);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    const std::wstring temporary = temporaryFolder(),
                       folder = temporary + L"lark sweep " + std::to_wstring(GetCurrentProcessId());
    std::filesystem::create_directory(folder);
    SetCurrentDirectoryW(folder.c_str());
    SetEnvironmentVariableW(L"TMP", folder.c_str()), SetEnvironmentVariableW(L"TEMP", folder.c_str());
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, kBranch);
        RootKeys user(HKEY_CURRENT_USER), classes(HKEY_CLASSES_ROOT);
        Watcher watcher;
        status = sweep(widen(argv[1]), argc > 3 && !strcmp(argv[3], "-v"));
        endChildren();
        RegDeleteTreeW(HKEY_CURRENT_USER, kBranch), RegDeleteKeyW(HKEY_CURRENT_USER, kBranch);
    }
    CoUninitialize();
    SetCurrentDirectoryW(temporary.c_str());
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    if (argc > 2)
        writeBytes(widen(argv[2]),
                   R"(<testsuites tests="1" failures=")" + std::to_string(status) + R"(" errors="0"/>)");
    return status;
}
