#include "files/CProcess.hpp"

#include "files/path_names.hpp"
#include "frame/errors.hpp"
#include "frame/platform_text.hpp"
#include "frame/raii.hpp"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace lark::files {

using com::traps;

namespace {

constexpr DWORD kQueryAndRead = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
constexpr DWORD kPathBuffer = MAX_PATH;

// Neither family's functions are imported: each family has only its own, and the library loads
// on both.
template <class Function>
Function* lookup(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
}

// The tool-help walks in their ANSI forms, the only ones the 9x family has.
template <class Entry>
using Walk = BOOL WINAPI(HANDLE, Entry*);

// The first entry of a snapshot of kind that match accepts; nothing when the snapshot cannot be
// taken or no entry matches. The snapshot is closed before this returns.
template <class Entry, class Match>
std::optional<Entry> findInSnapshot(DWORD kind, DWORD processId, const char* first, const char* next, Match match) {
    const HMODULE kernel = GetModuleHandleA("kernel32");
    auto snapshot = lookup<decltype(CreateToolhelp32Snapshot)>(kernel, "CreateToolhelp32Snapshot");
    auto walkFirst = lookup<Walk<Entry>>(kernel, first);
    auto walkNext = lookup<Walk<Entry>>(kernel, next);
    if (!snapshot || !walkFirst || !walkNext) return std::nullopt;
    const HANDLE taken = snapshot(kind, processId);
    if (!taken || taken == INVALID_HANDLE_VALUE) return std::nullopt;
    com::unique_handle owned(taken);
    Entry entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = walkFirst(owned.get(), &entry); more; more = walkNext(owned.get(), &entry))
        if (match(entry)) return entry;
    return std::nullopt;
}

std::optional<tagPROCESSENTRY32> processEntry(DWORD processId) {
    return findInSnapshot<tagPROCESSENTRY32>(TH32CS_SNAPPROCESS, 0, "Process32First", "Process32Next",
                                             [&](const tagPROCESSENTRY32& e) { return e.th32ProcessID == processId; });
}

// The text of a fixed-size ANSI field, up to its first NUL.
template <size_t N>
std::u16string fieldText(const char (&field)[N]) {
    return com::fromAnsi({field, strnlen(field, N)});
}

com::unique_handle openProcess(DWORD processId) {
    return com::unique_handle(OpenProcess(kQueryAndRead, FALSE, processId));
}

// The process of a window; nothing when the handle is no window.
std::optional<DWORD> processOfWindow(HWND window) {
    DWORD processId = 0;
    if (!GetWindowThreadProcessId(window, &processId)) return std::nullopt;
    return processId;
}

// The file name of an executable's path. A snapshot of an NT system holds names without a folder,
// which are their own file names.
Units exeFileName(Units path) { return path.find(u'\\') == Units::npos ? path : FileNameFromPath(path); }

}  // namespace

HMODULE Processes::psapi() {
    if (!psapi_) psapi_.reset(LoadLibraryA("psapi.dll"));
    return psapi_.get();
}

HMODULE Processes::firstModule(HANDLE process) {
    auto enumModules = lookup<decltype(EnumProcessModules)>(psapi(), "EnumProcessModules");
    HMODULE first = nullptr;  // the executable's module comes first
    DWORD needed = 0;
    return enumModules && enumModules(process, &first, sizeof first, &needed) ? first : nullptr;
}

HMODULE Processes::ModuleFromProcessId(DWORD processId) {
    if (toolHelp()) {
        const std::optional<tagPROCESSENTRY32> process = processEntry(processId);
        if (!process) return nullptr;
        const std::optional<tagMODULEENTRY32> module = findInSnapshot<tagMODULEENTRY32>(
            TH32CS_SNAPMODULE, processId, "Module32First", "Module32Next",
            [&](const tagMODULEENTRY32& e) { return e.th32ModuleID == process->th32ModuleID; });
        return module ? module->hModule : nullptr;
    }
    com::unique_handle process = openProcess(processId);
    return process ? firstModule(process.get()) : nullptr;
}

HMODULE Processes::ModFromWnd(HWND window) {
    const std::optional<DWORD> processId = processOfWindow(window);
    return processId ? ModuleFromProcessId(*processId) : nullptr;
}

std::u16string Processes::ExePathFromWnd(HWND window) {
    const std::optional<DWORD> processId = processOfWindow(window);
    return processId ? ExePathFromProcID(*processId) : std::u16string();
}

std::u16string Processes::ExePathFromProcID(DWORD processId) {
    if (toolHelp()) {
        const std::optional<tagPROCESSENTRY32> process = processEntry(processId);
        return process ? fieldText(process->szExeFile) : std::u16string();
    }
    auto moduleFileName = lookup<decltype(GetModuleFileNameExA)>(psapi(), "GetModuleFileNameExA");
    com::unique_handle process = openProcess(processId);
    if (!process || !moduleFileName) return {};
    char path[kPathBuffer] = {};
    const DWORD n = moduleFileName(process.get(), firstModule(process.get()), path, kPathBuffer);
    return n > 0 ? com::fromAnsi({path, std::min(n, kPathBuffer)}) : std::u16string();
}

HWND Processes::GetEXEhWnd(Units fileName) {
    if (fileName.empty()) return nullptr;  // no executable has an empty name
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window; window = GetWindow(window, GW_HWNDNEXT)) {
        const std::u16string path = ExePathFromWnd(window);
        if (!path.empty() && com::textCompare(exeFileName(path), fileName) == 0) return window;
    }
    return nullptr;
}

// No member raises: 0 or "" when the window, process or file is not found.
HRESULT CProcess::ModFromWnd(LONG hWnd, LONG_PTR* result) {
    return traps(result, [&] {
        *result = 0;
        *result = reinterpret_cast<LONG_PTR>(processes_.ModFromWnd(com::windowHandle(hWnd)));
    });
}

HRESULT CProcess::ExePathFromWnd(LONG hWnd, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(processes_.ExePathFromWnd(com::windowHandle(hWnd)));
    });
}

HRESULT CProcess::ExePathFromProcID(LONG idProc, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(processes_.ExePathFromProcID(static_cast<DWORD>(idProc)));
    });
}

HRESULT CProcess::GetEXEhWnd(BSTR Filename, LONG* result) {
    return traps(result, [&] {
        *result = 0;
        *result = com::windowLong(processes_.GetEXEhWnd(com::view(Filename)));
    });
}

}  // namespace lark::files
