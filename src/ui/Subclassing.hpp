// Window subclassing through thunks: a window's messages reach an object's
// IObjectSubclass.WindowProc without any table from windows to objects. The caller owns a
// SubClassData record; its 24-byte stub is what Windows calls as the window procedure, and the
// stub calls objectWindowProc with the object's address in front of the message. CWindowManager
// publishes these functions; the library's own classes call them directly, and may hand a
// thunk's entry point (pfn) to the system as any other callback of the window-procedure shape.
#pragma once

#include "LARKLIB8.h"

#include <windows.h>

namespace lark::ui {

// The shared procedure behind every thunk: calls WindowProc of `object` (any interface of an
// object that implements IObjectSubclass) and answers its result; 0 when it fails, with the
// error cleared, so nothing reaches the system's message dispatch.
extern "C" LRESULT CALLBACK objectWindowProc(IUnknown* object, HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) noexcept;

// Writes the stub that calls objectWindowProc for `object` into thunk.Code, makes it executable
// where it lies and sets thunk.pfn to its address. False, with pfn 0, when the memory cannot be
// made executable.
bool initPushParamThunk(PushParamThunk& thunk, IUnknown* object) noexcept;

// Puts back the procedure recorded in data (if any) on `window`, then installs a fresh stub for
// `object` there; data.wndprocNext receives the procedure it replaced, 0 when the window could
// not be subclassed.
void subClassObject(SubClassData& data, HWND window, IUnknown* object) noexcept;

// Puts back the procedure recorded in data (if any) on `window`; the record then counts as not
// subclassed. The stub and data.hWnd stay.
void unSubClassObject(SubClassData& data, HWND window) noexcept;

}  // namespace lark::ui
