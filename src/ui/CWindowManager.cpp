#include "ui/CWindowManager.hpp"

#include "frame/errors.hpp"
#include "frame/raii.hpp"
#include "ui/Subclassing.hpp"

namespace lark::ui {

using com::raises;
using com::traps;
using com::windowHandle;

namespace {
// Depth first through the child windows in z-order, each subtree before the next sibling: found
// by enumeration, not by following the child's parent chain as IsChild does.
bool isInSubtree(HWND parent, HWND child) {
    for (HWND w = GetWindow(parent, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        if (w == child || isInSubtree(w, child)) return true;
    return false;
}
}  // namespace

// Neither reports anything: a window that cannot be subclassed leaves the record not subclassed.
HRESULT CWindowManager::SubClassObject(SubClassData* data, LONG hWnd, LONG_PTR ThisPtr) {
    return traps(data, [&] { subClassObject(*data, windowHandle(hWnd), reinterpret_cast<IUnknown*>(ThisPtr)); });
}

HRESULT CWindowManager::UnSubClassObject(SubClassData* data, LONG hWnd) {
    return traps(data, [&] { unSubClassObject(*data, windowHandle(hWnd)); });
}

// Raises, as a typed assignment does: an object without the interface is a type mismatch;
// Nothing gives Nothing.
HRESULT CWindowManager::GetObjectSubclass(_IObjectSubclass** Implementor, _IObjectSubclass** result) {
    return raises(result, [&] {
        *result = nullptr;
        IUnknown* given = Implementor ? *Implementor : nullptr;
        if (given && FAILED(given->QueryInterface(IID__IObjectSubclass, reinterpret_cast<void**>(result))))
            raise(errTypeMismatch);
    });
}

HRESULT CWindowManager::IsChildEx(LONG hWndParent, LONG hWndChild, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        *result = com::variantBool(isInSubtree(windowHandle(hWndParent), windowHandle(hWndChild)));
    });
}

}  // namespace lark::ui
