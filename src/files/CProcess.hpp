// CProcess: from a window to its process's executable, from a process to its executable path,
// and from an executable's file name to a window of a process running it. Processes is the
// implementation; it works through the tool-help snapshots on the 9x family and the
// process-status functions elsewhere, as the system object it is given tells the family.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"
#include "frame/raii.hpp"
#include "sysinfo/CDeploy2.hpp"

#include <string>
#include <string_view>

namespace lark::files {

class Processes {
public:
    explicit Processes(sysinfo::Deploy& system) : system_(system) {}

    // The module handle of the executable of the window's process; null when not found.
    HMODULE ModFromWnd(HWND window);
    // "" when not found, as for every path below.
    std::u16string ExePathFromWnd(HWND window);
    std::u16string ExePathFromProcID(DWORD processId);
    // The first top-level window in Z order whose process runs an executable of that file name
    // (compared without regard to case); null when none.
    HWND GetEXEhWnd(std::u16string_view fileName);

private:
    bool toolHelp() { return system_.IsWindows9x(); }
    HMODULE ModuleFromProcessId(DWORD processId);
    // The process-status library, loaded on first use: only NT systems have it.
    HMODULE psapi();
    HMODULE firstModule(HANDLE process);

    sysinfo::Deploy& system_;
    com::unique_hmodule psapi_;
};

class CProcess final : public com::Object<_CProcess> {
public:
    HRESULT STDMETHODCALLTYPE ModFromWnd(LONG hWnd, LONG_PTR* result) override;
    HRESULT STDMETHODCALLTYPE ExePathFromWnd(LONG hWnd, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE ExePathFromProcID(LONG idProc, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE GetEXEhWnd(BSTR Filename, LONG* result) override;

private:
    Processes processes_{sysinfo::sharedDeploy()};
};

}  // namespace lark::files
