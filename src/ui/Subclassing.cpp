#include "ui/Subclassing.hpp"

#include "frame/error.hpp"
#include "frame/raii.hpp"
#include "ui/thunk_code.hpp"

#include <cstddef>
#include <cstring>

namespace lark::ui {

using com::windowLong;

// The records' layout is public: address fields are pointer-sized, the stub is 24 bytes.
static_assert(sizeof(ThunkBytes) == sizeof(StubCode));
static_assert(offsetof(PushParamThunk, Code) == sizeof(LONG_PTR));
static_assert(offsetof(SubClassData, wndprocThunk) == sizeof(LONG_PTR));
static_assert(offsetof(SubClassData, hWnd) == 2 * sizeof(LONG_PTR) + sizeof(ThunkBytes));
#if defined(__i386__)
static_assert(sizeof(PushParamThunk) == 28 && sizeof(SubClassData) == 36);
#endif

#if defined(__x86_64__)
// Where an x64 stub jumps, with the object in r10 and the window procedure's four arguments in
// rcx, rdx, r8 and r9: moves each one place on (the fourth to the stack) and calls the shared
// procedure, whose result it returns. Its unwind data keep the stack walkable through it.
extern "C" void larkThunkTrampoline();
asm(R"(
    .text
    .p2align 4
    .globl larkThunkTrampoline
    .def larkThunkTrampoline; .scl 2; .type 32; .endef
    .seh_proc larkThunkTrampoline
larkThunkTrampoline:
    subq $56, %rsp
    .seh_stackalloc 56
    .seh_endprologue
    movq %r9, 32(%rsp)
    movq %r8, %r9
    movq %rdx, %r8
    movq %rcx, %rdx
    movq %r10, %rcx
    call objectWindowProc
    nop
    addq $56, %rsp
    ret
    .seh_endproc
)");
#endif

namespace {

template <class T>
uintptr_t addressOf(T* p) {
    return reinterpret_cast<uintptr_t>(p);
}

StubCode stubFor(IUnknown* object) {
#if defined(__x86_64__)
    return x64Stub(addressOf(object), addressOf(&larkThunkTrampoline));
#else
    return x86Stub(addressOf(object), addressOf(&objectWindowProc));
#endif
}

// Lets the processor run the code where it lies (data pages are not executable where the system
// enforces that); the pages stay readable and writable for the rest of the caller's data.
bool makeExecutable(void* code, size_t size) {
    DWORD before = 0;
    return VirtualProtect(code, size, PAGE_EXECUTE_READWRITE, &before) &&
           FlushInstructionCache(GetCurrentProcess(), code, size);
}

}  // namespace

extern "C" LRESULT CALLBACK objectWindowProc(IUnknown* object, HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) noexcept {
    LONG_PTR result = 0;
    stopOnError([&] {
        com::ComPtr<_IObjectSubclass> receiver;
        if (!object || FAILED(object->QueryInterface(IID__IObjectSubclass, reinterpret_cast<void**>(receiver.put()))))
            return;
        LONG_PTR answer = 0;
        if (SUCCEEDED(receiver->WindowProc(windowLong(window), static_cast<LONG>(message),
                                           static_cast<LONG_PTR>(wParam), lParam, &answer)))
            result = answer;
        else
            SetErrorInfo(0, nullptr);
    });
    return result;
}

bool initPushParamThunk(PushParamThunk& thunk, IUnknown* object) noexcept {
    const StubCode code = stubFor(object);
    std::memcpy(thunk.Code.Thunk, code.data(), code.size());
    const bool ready = makeExecutable(thunk.Code.Thunk, code.size());
    thunk.pfn = ready ? static_cast<LONG_PTR>(addressOf(thunk.Code.Thunk)) : 0;
    return ready;
}

void subClassObject(SubClassData& data, HWND window, IUnknown* object) noexcept {
    unSubClassObject(data, window);
    const bool ready = initPushParamThunk(data.wndprocThunk, object);
    data.hWnd = windowLong(window);
    if (!ready) return;
    const LONG_PTR previous = SetWindowLongPtrA(window, GWLP_WNDPROC, data.wndprocThunk.pfn);
    // A window that already ran through this very stub (its record had given up the procedure
    // before, unsubclassing another window) would pass its messages on to itself for ever.
    data.wndprocNext = previous == data.wndprocThunk.pfn ? 0 : previous;
}

void unSubClassObject(SubClassData& data, HWND window) noexcept {
    if (!data.wndprocNext) return;
    SetWindowLongPtrA(window, GWLP_WNDPROC, data.wndprocNext);
    data.wndprocNext = 0;
}

}  // namespace lark::ui
