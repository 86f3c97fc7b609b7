#include "ui/CBrowseForFolder2.hpp"

#include "files/ShellFolders.hpp"
#include "frame/errors.hpp"
#include "frame/module.hpp"
#include "frame/platform_text.hpp"
#include "ui/Subclassing.hpp"

namespace lark::ui {

using com::traps;

CBrowseForFolder2::CBrowseForFolder2()
    : window_(CreateWindowExA(0, "STATIC", "Emberfox.CBrowseForFolder2", 0, 0, 0, 0, 0, nullptr, nullptr,
                              com::moduleHandle(), nullptr)) {
    // Without a window the thunk still serves as the browser's callback.
    subClassObject(subclass_, window_.get(), static_cast<_IObjectSubclass*>(this));
    if (FAILED(SHGetDesktopFolder(desktop_.put()))) desktop_ = nullptr;
}

CBrowseForFolder2::~CBrowseForFolder2() {
    unSubClassObject(subclass_, window_.get());
    window_.reset();
}

com::unique_pidl CBrowseForFolder2::itemListOf(HWND owner, const std::u16string& folder) const {
    com::unique_pidl list;
    if (folder.empty() || !desktop_) return list;
    std::wstring name(folder.begin(), folder.end());
    ULONG attributes = SFGAO_FILESYSTEM;
    if (FAILED(desktop_->ParseDisplayName(owner, nullptr, name.data(), nullptr, list.put(), &attributes))) list.reset();
    return list;
}

// Traps: the folder chosen, or "" when the browser was cancelled or failed.
HRESULT CBrowseForFolder2::BrowseForFolder(LONG hWnd, BSTR Prompt, BSTR InitialFolder, LONG flags, BSTR* TitleCaption,
                                           BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        const HWND owner = com::windowHandle(hWnd);
        const std::string title = com::toAnsi(com::view(Prompt));
        caption_ = com::view(TitleCaption);
        initialFolder_ = itemListOf(owner, std::u16string(com::view(InitialFolder)));
        BROWSEINFOA info{};
        info.hwndOwner = owner;
        info.lpszTitle = title.c_str();
        info.ulFlags = static_cast<UINT>(flags);
        info.lpfn = reinterpret_cast<BFFCALLBACK>(subclass_.wndprocThunk.pfn);
        const com::unique_pidl chosen(SHBrowseForFolderA(&info));
        initialFolder_.reset();
        *result = com::allocBstr(chosen ? files::FileSystemPath(chosen.get()).value_or(u"") : u"");
    });
}

void CBrowseForFolder2::browserInitialized(HWND browser) const {
    if (!caption_.empty()) SetWindowTextA(browser, com::toAnsi(caption_).c_str());
    if (initialFolder_)
        SendMessageA(browser, BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(initialFolder_.get()));
}

// Traps, answering 0. Every other message, the browser's included, goes to the hidden window's own
// procedure.
HRESULT CBrowseForFolder2::WindowProc(LONG hWnd, LONG uMsg, LONG_PTR wParam, LONG_PTR lParam, LONG_PTR* result) {
    return traps(result, [&] {
        *result = 0;
        const HWND window = com::windowHandle(hWnd);
        if (uMsg == BFFM_INITIALIZED) return browserInitialized(window);
        if (subclass_.wndprocNext)
            *result = CallWindowProcA(reinterpret_cast<WNDPROC>(subclass_.wndprocNext), window, static_cast<UINT>(uMsg),
                                      static_cast<WPARAM>(wParam), lParam);
    });
}

}  // namespace lark::ui
