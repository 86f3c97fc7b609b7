// CWindowManager: window subclassing for clients (Subclassing.hpp does the work) and a search
// of a window's child tree. It holds no state.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"

namespace lark::ui {

class CWindowManager final : public com::Object<_CWindowManager> {
public:
    HRESULT STDMETHODCALLTYPE SubClassObject(SubClassData* data, LONG hWnd, LONG_PTR ThisPtr) override;
    HRESULT STDMETHODCALLTYPE UnSubClassObject(SubClassData* data, LONG hWnd) override;
    HRESULT STDMETHODCALLTYPE GetObjectSubclass(_IObjectSubclass** Implementor, _IObjectSubclass** result) override;
    HRESULT STDMETHODCALLTYPE IsChildEx(LONG hWndParent, LONG hWndChild, VARIANT_BOOL* result) override;
};

}  // namespace lark::ui
