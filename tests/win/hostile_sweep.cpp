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

#include <set>

namespace lark::test {
namespace {

// No member is left out. Parameters that carry memory addresses (the pointer-sized integers) get
// only the null address among the numbers: the caller guarantees that any other one is valid.

constexpr ULONGLONG kCallLimitMs = 60000;  // a call that takes longer is a hang

struct Param {
    std::string name;
    VARTYPE vt = VT_EMPTY;  // VT_ARRAY | element for arrays; VT_RECORD, VT_DISPATCH for records, objects
    bool byRef = false;
    ComPtr<IRecordInfo> record;
};

bool has(const std::string& name, const char* part) { return StrStrIA(name.c_str(), part) != nullptr; }

// The hostile values as the case runner reads them, %T standing for the type of the arrays.
// clang-format off
const char* const kHostile[] = {"Empty", "Null", "Nothing", "''", "String(100000, '\\')", "String(100000, 'x')",
    "'lark' & vbNullChar & 'sweep'", "-1", "0", "2147483647", "-2147483648", "CDbl('1E+300')", "%T()",
    "%T(0 To 1, 0 To 1)['3'|'1'|'2'|'4']", "%T(5 To 4)[]", "%T(1 To 3)['3'|'1'|'2']"};
// clang-format on

std::string arrayType(VARTYPE element) {
    return element == VT_BSTR ? "String" : element == VT_I4 ? "Long" : element == VT_I2 ? "Integer" : "Variant";
}

std::string hostile(std::string value, const Param& p) {
    if (const size_t at = value.find("%T"); at != std::string::npos)
        value.replace(at, 2, arrayType(p.vt & VT_ARRAY ? p.vt & VT_TYPEMASK : VT_VARIANT));
    return (p.byRef ? "@" : "") + value;
}

// A plausible value for the parameter, by its type and name; objects are the swept object itself
// (a variable named after its class), records a variable named after the parameter. Handles
// (hKey, hWnd, hDC, Owner, ...) are the current user's key, no window, the screen.
std::string plausible(const Param& p, const std::string& self, const std::string& branch) {
    const bool handle = (p.name.size() > 1 && p.name[0] == 'h' && isupper(p.name[1])) || has(p.name, "owner");
    const bool path = has(p.name, "path") || has(p.name, "file") || has(p.name, "folder") || has(p.name, "dir") ||
                      has(p.name, "ini");
    const std::string ref = p.byRef ? "@" : "";
    if (p.vt & VT_ARRAY) return ref + arrayType(p.vt & VT_TYPEMASK) + "(0 To 2)['3'|'1'|'2']";
    if (p.vt == VT_BSTR)
        return ref + "'" + (has(p.name, "key") ? branch + "\\" + p.name : path ? p.name : "lark") + "'";
    if (p.vt == VT_BOOL) return ref + "False";
    if (p.vt == VT_VARIANT) return ref + (has(p.name, "arr") ? "Array('3', '1', '2')" : "'lark'");
    if (p.vt == VT_DISPATCH || p.vt == VT_UNKNOWN) return ref + self;
    if (p.vt == VT_RECORD) return "@" + p.name;
    if (p.vt == VT_I8) return ref + "0";  // the null address
    return ref + (p.name == "hKey" ? "&H80000001" : handle ? "0" : "1");
}

std::string narrow(BSTR text) {
    const std::wstring wide = str(text);
    return std::string(wide.begin(), wide.end());
}

// A parameter's type as a caller passes it: typedefs and enumerations resolved, a pointer taken
// as by reference (an interface is a pointer itself).
Param describe(ITypeInfo* info, const ELEMDESC& element, BSTR name) {
    Param p{narrow(name), VT_EMPTY, false, {}};
    const TYPEDESC* t = &element.tdesc;
    int pointers = 0;
    for (; t->vt == VT_PTR; t = t->lptdesc)
        ++pointers;
    p.vt = t->vt == VT_SAFEARRAY ? VT_ARRAY | t->lptdesc->vt : t->vt;
    // Each alias's description stays alive until its type description has been read.
    std::vector<std::pair<ComPtr<ITypeInfo>, TYPEATTR*>> seen{{info, nullptr}};
    while (p.vt == VT_USERDEFINED) {
        ComPtr<ITypeInfo> ref;
        TYPEATTR* a = nullptr;
        if (FAILED(seen.back().first->GetRefTypeInfo(t->hreftype, ref.put())) || FAILED(ref->GetTypeAttr(&a))) break;
        p.vt = a->typekind == TKIND_ENUM     ? VARTYPE(VT_I4)
               : a->typekind == TKIND_RECORD ? VARTYPE(VT_RECORD)
               : a->typekind == TKIND_ALIAS  ? a->tdescAlias.vt
                                             : VARTYPE(VT_DISPATCH);
        if (a->typekind == TKIND_ALIAS) t = &a->tdescAlias;
        if (p.vt == VT_RECORD) GetRecordInfoFromTypeInfo(ref.get(), p.record.put());
        if (p.vt == VT_DISPATCH) --pointers;
        seen.emplace_back(ref, a);
    }
    for (auto& [described, attributes] : seen)
        if (attributes) described->ReleaseTypeAttr(attributes);
    p.byRef = pointers > 0;
    return p;
}

struct Member {
    std::string name;
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
        Member m{narrow(names[0]), WORD(fd->invkind), {}};
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
        members.push_back(std::move(m));
        info->ReleaseFuncDesc(fd);
    }
    info->ReleaseTypeAttr(attr);
    return members;
}

// --- The process around the calls ------------------------------------------------------------

// The call under way, for the reports of a crash or a hang, which must not allocate: the call may
// have stopped holding the heap's lock.
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

// Answers every dialog and message box the calls open, as a person who wants out would, and ends
// the process when one call runs past its limit. (Neither step waits on another thread.)
class Watcher {
public:
    Watcher()
        : thread_([this] {
              for (; !stop_; Sleep(10)) {
                  EnumWindows(&Watcher::close, 0);
                  const ULONGLONG started = callStarted;
                  if (started && GetTickCount64() > started + kCallLimitMs)
                      write("FAILED: no answer within a minute from "), write(currentCall), write("\n"),
                          TerminateProcess(GetCurrentProcess(), 2);
              }
          }) {}
    ~Watcher() { stop_ = true, thread_.join(); }

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
    std::thread thread_;
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

// Whether a call answered or raised an automation error ("error N ...") or an argument error of
// the dispatch call, as the case runner shows them, rather than failing in any other way.
bool answered(const std::wstring& outcome) {
    for (const wchar_t* refused : {L"E_", L"hr ", L"bad case", L"DISP_E_"})
        if (outcome.rfind(refused, 0) == 0) {
            for (const wchar_t* argumentError : {L"DISP_E_TYPEMISMATCH", L"DISP_E_BADVARTYPE", L"DISP_E_OVERFLOW",
                                                 L"DISP_E_PARAMNOTOPTIONAL", L"DISP_E_BADPARAMCOUNT"})
                if (outcome.rfind(argumentError, 0) == 0) return true;
            return false;
        }
    return outcome.find(L" is not an object") == std::wstring::npos;
}

int sweep(const std::string& className, const std::string& branch, bool verbose) {
    ComPtr<ITypeLib> library;
    ComPtr<ITypeInfo> coclass, dispatch;
    if (FAILED(LoadRegTypeLib(LIBID_LARKLIB8, 1, 0, 1033, library.put()))) return report(L"FAILED: no type library"), 1;
    MEMBERID id = 0;
    USHORT found = 1;
    std::wstring name = widen(className);
    TYPEATTR* attr = nullptr;
    library->FindName(name.data(), 0, coclass.put(), &id, &found);
    if (!found || FAILED(coclass->GetTypeAttr(&attr))) return report(L"FAILED: no class " + name), 1;
    const bool creatable = attr->typekind == TKIND_COCLASS && (attr->wTypeFlags & TYPEFLAG_FCANCREATE);
    coclass->ReleaseTypeAttr(attr);
    if (!creatable) return report(L"FAILED: " + name + L" is no creatable class"), 1;
    for (UINT i = 0, flags = 0; !dispatch && SUCCEEDED(coclass->GetImplTypeFlags(i, reinterpret_cast<INT*>(&flags)));
         ++i) {
        HREFTYPE ref = 0;
        if ((flags & IMPLTYPEFLAG_FDEFAULT) && !(flags & IMPLTYPEFLAG_FSOURCE) &&
            SUCCEEDED(coclass->GetRefTypeOfImplType(i, &ref)))
            coclass->GetRefTypeInfo(ref, dispatch.put());
    }
    long calls = 0, failures = 0;
    for (const Member& m : membersOf(dispatch.get())) {
        Cases c;  // a new object for each member
        if (!c.object(className)) return report(L"FAILED: " + name + L" cannot be created"), 1;
        for (const Param& p : m.params) {
            if (p.vt != VT_RECORD) continue;
            VARIANT& record = c.value(p.name);
            record.vt = VT_RECORD, record.pvRecord = p.record->RecordCreate(), record.pRecInfo = p.record.get();
            p.record->AddRef();
        }
        // The first call takes only plausible values; then each parameter in turn takes each
        // hostile one.
        const size_t hostiles = std::size(kHostile);
        for (size_t k = 0; k <= m.params.size() * hostiles; ++k) {
            std::vector<std::string> values;
            for (const Param& p : m.params)
                values.push_back(plausible(p, className, branch));
            if (k) {
                const Param& target = m.params[(k - 1) / hostiles];
                const std::string value = kHostile[(k - 1) % hostiles];
                if (target.vt == VT_I8 && value != "0" && isdigit(value.back())) continue;  // an address
                values[(k - 1) / hostiles] = hostile(value, target);
            }
            const bool put = m.flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
            std::string line = className + "." + m.name + (put ? " =" : "");
            for (size_t i = 0; i < values.size(); ++i)
                line += (i ? ", " : " ") + values[i];
            snprintf(currentCall, sizeof currentCall, "%s", line.c_str());
            callStarted = GetTickCount64();
            const std::wstring outcome = c.outcome(line);
            callStarted = 0;
            ++calls;
            if (!answered(outcome)) ++failures, report(L"FAILED: " + widen(line) + L" => " + outcome);
            if (verbose) report(widen(line) + L" => " + outcome.substr(0, 200));
        }
    }
    report(name + L": " + std::to_wstring(calls) + L" calls, " + std::to_wstring(failures) + L" failed");
    return failures ? 1 : 0;
}

}  // namespace
}  // namespace lark::test

int main(int argc, char** argv) {
    using namespace lark::test;
    if (argc < 2) return report(L"usage: hostile_sweep CLASS [RESULTS.xml] [-v]"), 2;
    SetUnhandledExceptionFilter(crashed);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    const std::wstring temporary = temporaryFolder();
    int status = 0;
    {
        Sandbox folder;  // the current and the temporary folder of the calls
        SetCurrentDirectoryW(folder.root().c_str());
        SetEnvironmentVariableW(L"TMP", folder.root().c_str()), SetEnvironmentVariableW(L"TEMP", folder.root().c_str());
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        {
            RegistryBranch branch(L"Sweep");
            RootKeys user(HKEY_CURRENT_USER), classes(HKEY_CLASSES_ROOT);
            Watcher watcher;
            status = sweep(argv[1], std::string(branch.path().begin(), branch.path().end()),
                           argc > 3 && !strcmp(argv[3], "-v"));
            endChildren();
        }
        CoUninitialize();
        SetCurrentDirectoryW(temporary.c_str());
    }
    if (argc > 2)
        writeBytes(widen(argv[2]),
                   R"(<testsuites tests="1" failures=")" + std::to_string(status) + R"(" errors="0"/>)");
    return status;
}
