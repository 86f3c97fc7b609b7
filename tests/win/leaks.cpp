// What a test program leaves behind: the library still in use, kernel handles and windows of the
// process, and entries in the temporary folder. Counted when the program starts (after the first
// creation of every class, so that what the platform sets up once per process is not counted) and again when it ends; any difference fails the program. GDI objects are not
// counted: the platform's own window and dialog code keeps device contexts, regions, bitmaps,
// brushes and fonts for the process at times of its choosing, and none of them can be told
// apart from the library's.
#include "support.hpp"

#include <winternl.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <set>
#include <span>

namespace lark::test {

namespace {

// The platform's list of every open handle in the system (SystemHandleInformation).
struct HandleEntry {
    USHORT processId;
    USHORT creatorBackTraceIndex;
    UCHAR objectType;
    UCHAR attributes;
    USHORT value;
    PVOID object;
    ULONG access;
};
struct HandleList {
    ULONG count;
    HandleEntry entries[1];
};
constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
constexpr auto kObjectNameInformation = static_cast<OBJECT_INFORMATION_CLASS>(1);

std::wstring objectText(HANDLE handle, OBJECT_INFORMATION_CLASS what) {
    alignas(8) char buffer[4096] = {};
    ULONG size = 0;
    if (NtQueryObject(handle, what, buffer, sizeof buffer - 2, &size) != 0) return L"?";
    const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer);  // first member of both answers
    return text->Buffer ? std::wstring(text->Buffer, text->Length / sizeof(wchar_t)) : std::wstring();
}

// Handles the platform opens for itself while the tests run, once per process or left open by
// its own code: the classes root; the 32-bit classes view, opened per interface and not closed
// by the type-library registration; the profile functions' mapping key; the system parameters
// the window code reads and keeps (Control Panel); the file dialog's most-recent-folder keys and
// its watch of the folder it showed; the apartment's RPC endpoint.
bool platformOwn(const std::wstring& kind, const std::wstring& name) {
    const auto endsWith = [&](std::wstring_view tail) {
        return name.size() >= tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
    };
    if (kind == L"Key")
        return endsWith(L"\\Machine\\Software\\Classes") || endsWith(L"\\Classes\\Wow6432Node") ||
               endsWith(L"\\ComDlg32\\LastVisitedMRU") || endsWith(L"\\CurrentVersion\\IniFileMapping") ||
               name.find(L"\\Control Panel\\") != std::wstring::npos;
    return name.starts_with(L"\\Device\\NamedPipe\\lrpc\\") || endsWith(L"\\Temp");
}

// This process's handles of the kinds the library opens (keys, files, processes, sections), as
// "kind name", less those the platform keeps for itself.
std::multiset<std::wstring> kernelHandles() {
    std::vector<char> buffer(1 << 20);
    for (ULONG needed = 0;;) {
        const NTSTATUS status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                                         static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) break;
        if (buffer.size() >= (1u << 28)) return {L"the handle list cannot be read"};
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed));
    }
    const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    const auto me = static_cast<USHORT>(GetCurrentProcessId());
    std::multiset<std::wstring> handles;
    for (const HandleEntry& entry : std::span(list->entries, list->count)) {
        if (entry.processId != me) continue;
        const auto handle = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(entry.value));
        const std::wstring kind = objectText(handle, ObjectTypeInformation);
        if (kind != L"Key" && kind != L"File" && kind != L"Process" && kind != L"Section") continue;
        const std::wstring name = kind == L"Process" ? L"" : objectText(handle, kObjectNameInformation);
        if (!platformOwn(kind, name)) handles.insert(kind + L" " + name);
    }
    return handles;
}

void countWindowsBelow(HWND parent, size_t& count) {
    for (HWND child = FindWindowExW(parent, nullptr, nullptr, nullptr); child;
         child = FindWindowExW(parent, child, nullptr, nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(child, &process);
        if (process != GetCurrentProcessId()) continue;
        ++count;
        countWindowsBelow(child, count);
    }
}

// Windows of this process: top-level, message-only and their children.
size_t windows() {
    size_t count = 0;
    countWindowsBelow(nullptr, count);
    countWindowsBelow(HWND_MESSAGE, count);
    return count;
}

std::set<std::wstring> temporaryEntries() {
    std::set<std::wstring> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(temporaryFolder(), error))
        names.insert(entry.path().filename().wstring());
    return names;
}

struct Counts {
    std::multiset<std::wstring> handles;
    size_t windows;
    std::set<std::wstring> temporary;
};

Counts counts() { return {kernelHandles(), windows(), temporaryEntries()}; }

// Creates each class of the type library once, so that what COM and the platform set up for
// the first object of a kind is in place before the first count.
void createEveryClassOnce() {
    ComPtr<ITypeLib> library;
    if (LoadRegTypeLib(LIBID_LARKLIB8, 1, 0, 0, library.put()) != S_OK) return;
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        TYPEKIND kind{};
        ComPtr<ITypeInfo> info;
        TYPEATTR* attributes = nullptr;
        if (library->GetTypeInfoType(i, &kind) != S_OK || kind != TKIND_COCLASS) continue;
        if (library->GetTypeInfo(i, info.put()) != S_OK || info->GetTypeAttr(&attributes) != S_OK) continue;
        const CLSID clsid = attributes->guid;
        info->ReleaseTypeAttr(attributes);
        ComPtr<IUnknown> object;
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(object.put()));
    }
}

// The device contexts the library has made or borrowed and not yet given back.
struct LibraryDcs {
    std::mutex mutex;
    std::set<HDC> live;
    HDC made(HDC dc) {
        std::lock_guard lock(mutex);
        if (dc) live.insert(dc);
        return dc;
    }
    void gone(HDC dc) {
        std::lock_guard lock(mutex);
        live.erase(dc);
    }
} libraryDcs;

HDC WINAPI countedCreateDC(LPCSTR driver, LPCSTR device, LPCSTR port, const DEVMODEA* mode) {
    return libraryDcs.made(CreateDCA(driver, device, port, mode));
}
HDC WINAPI countedGetDC(HWND window) { return libraryDcs.made(GetDC(window)); }
BOOL WINAPI countedDeleteDC(HDC dc) { return libraryDcs.gone(dc), DeleteDC(dc); }
int WINAPI countedReleaseDC(HWND window, HDC dc) { return libraryDcs.gone(dc), ReleaseDC(window, dc); }

void countLibraryDcs() {
    redirectLibraryImports({{"CreateDCA", reinterpret_cast<void*>(&countedCreateDC)},
                            {"GetDC", reinterpret_cast<void*>(&countedGetDC)},
                            {"DeleteDC", reinterpret_cast<void*>(&countedDeleteDC)},
                            {"ReleaseDC", reinterpret_cast<void*>(&countedReleaseDC)}});
}

template <class Set>
std::wstring added(const Set& before, const Set& after) {
    Set more;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::inserter(more, more.end()));
    std::wstring text;
    for (const auto& name : more) text += (text.empty() ? L"" : L"|") + name;
    return text;
}

class LeakCheck : public testing::Environment {
public:
    void SetUp() override {
        createEveryClassOnce();
        countLibraryDcs();
        before_ = counts();
    }
    void TearDown() override {
        if (HMODULE library = GetModuleHandleW(L"LARKLIB8.dll")) {
            using CanUnload = HRESULT(STDAPICALLTYPE*)();
            auto canUnload = reinterpret_cast<CanUnload>(
                reinterpret_cast<void (*)()>(GetProcAddress(library, "DllCanUnloadNow")));
            EXPECT_EQ(canUnload ? canUnload() : E_FAIL, S_OK) << "objects or locks of the library left alive";
        }
        const Counts after = counts();
        EXPECT_EQ(added(before_.handles, after.handles), L"") << "kernel handles left open";
        EXPECT_EQ(after.windows, before_.windows) << "windows";
        EXPECT_EQ(libraryDcs.live.size(), 0u) << "device contexts the library made or borrowed";
        EXPECT_EQ(added(before_.temporary, after.temporary), L"") << "left in the temporary folder";
    }

private:
    Counts before_{};
};

}  // namespace

int redirectLibraryImports(std::initializer_list<std::pair<std::string_view, void*>> replacements) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(L"LARKLIB8.dll"));
    if (!base) return 0;
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    int redirected = 0;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports); d->Name; ++d) {
        auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk); name->u1.AddressOfData;
             ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
            const std::string_view function = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData)->Name;
            const auto replacement = std::find_if(replacements.begin(), replacements.end(),
                                                  [&](const auto& r) { return r.first == function; });
            DWORD was = 0;
            if (replacement == replacements.end() || !VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &was))
                continue;
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement->second);
            VirtualProtect(slot, sizeof *slot, was, &was);
            ++redirected;
        }
    }
    return redirected;
}

void checkForLeaks() { testing::AddGlobalTestEnvironment(new LeakCheck); }

}  // namespace lark::test
