// CBrowseForFolder2: the shell's folder browser with a folder pre-selected and a caption of the
// caller's. Both need the browser's callback, which reaches this object through its own thunk: the
// thunk is the window procedure of a hidden window of the object and, at the same time, the
// callback of every browser the object shows.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"
#include "frame/raii.hpp"

#include <shlobj.h>

#include <string>

namespace lark::ui {

class CBrowseForFolder2 final : public com::Object<_CBrowseForFolder2, _IObjectSubclass> {
public:
    CBrowseForFolder2();
    ~CBrowseForFolder2() override;

    HRESULT STDMETHODCALLTYPE BrowseForFolder(LONG hWnd, BSTR Prompt, BSTR InitialFolder, LONG flags,
                                              BSTR* TitleCaption, BSTR* result) override;
    // The browser's callback and the hidden window's procedure.
    HRESULT STDMETHODCALLTYPE WindowProc(LONG hWnd, LONG uMsg, LONG_PTR wParam, LONG_PTR lParam,
                                         LONG_PTR* result) override;

private:
    // The item list of a folder path, empty when the desktop cannot parse it.
    com::unique_pidl itemListOf(HWND owner, const std::u16string& folder) const;
    // The browser is ready: it takes the caption and the initial folder.
    void browserInitialized(HWND browser) const;

    com::unique_hwnd window_;            // hidden; lives as long as the object
    SubClassData subclass_{};            // its thunk, also the browser's callback
    com::ComPtr<IShellFolder> desktop_;  // empty when the shell gave none
    std::u16string caption_;             // of the current call; "" keeps the browser's own
    com::unique_pidl initialFolder_;     // during a call only
};

}  // namespace lark::ui
