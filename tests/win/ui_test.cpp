// Window subclassing and window trees, on real windows under Xvfb.
#include "support.hpp"

namespace lark::test {
namespace {

// A handle or an argument lost on the way through a thunk shows in the answer to WM_APP.
LRESULT CALLBACK classProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) return IsWindow(window) ? LRESULT(wParam - lParam) : -100;
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeWindow(DWORD style = 0, HWND parent = nullptr) {
    static const WNDCLASSA kind{0, classProc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "LarkSubclassed"};
    static const ATOM registered = RegisterClassA(&kind);
    return registered ? CreateWindowExA(0, "LarkSubclassed", "", style, 0, 0, 50, 50, parent, 0, 0, 0) : nullptr;
}

// Passes messages on to what its record replaced, adding its mark to WM_APP's answer; mark 0 fails.
struct Receiver final : _IObjectSubclass {
    LONG mark;
    SubClassData* data;
    ULONG refs = 1, refsInCall = 0;
    Receiver(LONG mark, SubClassData* data) : mark(mark), data(data) {}
    STDMETHODIMP QueryInterface(REFIID, void** out) override { return *out = this, AddRef(), S_OK; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP WindowProc(LONG hWnd, LONG uMsg, LONG_PTR wParam, LONG_PTR lParam, LONG_PTR* result) override {
        refsInCall = refs;
        if (ComPtr<ICreateErrorInfo> error; !mark && uMsg == WM_APP && SUCCEEDED(CreateErrorInfo(error.put())))
            return SetErrorInfo(0, error.query<IErrorInfo>().get()), *result = 7, E_FAIL;
        const auto next = reinterpret_cast<WNDPROC>(data->wndprocNext);
        *result = CallWindowProcA(next, HWND(INT_PTR(hWnd)), UINT(uMsg), wParam, lParam) + (uMsg == WM_APP ? mark : 0);
        return S_OK;
    }
};

// The window manager on real windows: subclassing through records the caller owns, late and
// early bound, an object as its subclass interface, and a search of a real window tree.
TEST(WindowManager, SubclassesWindowsCastsObjectsAndSearchesTrees) {
    // Two records in a page of their own, from which the system lets the processor run no code.
    auto* records = static_cast<SubClassData*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
    SubClassData &d1 = records[0], &d2 = records[1];
    Receiver r1{10, &d1}, r2{20, &d2}, failing{0, &d1};
    HWND w = makeWindow(), dead = makeWindow();
    Cases c;
    c.let("W", LONG(INT_PTR(w))), c.let("Dead", LONG(INT_PTR(dead)));
    c.value("D1").vt = c.value("D2").vt = VT_RECORD | VT_BYREF;
    c.value("D1").pvRecord = &d1, c.value("D2").pvRecord = &d2;
    c.letAddress("R1", &r1), c.letAddress("R2", &r2), c.letAddress("Raises", &failing), c.letAddress("None", 0);
    // The outcome of a call, then the window's answer to WM_APP: 1, plus the mark of each receiver.
    auto answer = [&](std::string_view call) {
        const std::wstring outcome = c.outcome(call);
        return outcome + L", " + std::to_wstring(SendMessageA(w, WM_APP, 0x300000001, 0x300000000));
    };

    EXPECT_EQ(L"Empty, 11", answer("CWindowManager.SubClassObject D1, W, R1"));
    EXPECT_EQ(L"Empty, 11", answer("CWindowManager.SubClassObject D1, W, R1")) << "the old procedure put back first";
    EXPECT_EQ(L"Empty, 31", answer("CWindowManager.SubClassObject D2, W, R2")) << "R2, then R1";
    EXPECT_EQ(L"Empty, 11", answer("CWindowManager.UnSubClassObject D2, W"));
    EXPECT_EQ(L"Empty, 0", answer("CWindowManager.SubClassObject D1, W, Raises"));
    EXPECT_EQ(S_FALSE, GetErrorInfo(0, ComPtr<IErrorInfo>().put())) << "the receiver's error is cleared";
    EXPECT_EQ(L"Empty, 0", answer("CWindowManager.SubClassObject D1, W, None"));
    EXPECT_EQ(L"Empty, 1", answer("CWindowManager.UnSubClassObject D1, W"));
    EXPECT_EQ(L"Empty, 1", answer("CWindowManager.UnSubClassObject D1, W"));
    EXPECT_TRUE(r1.refs == 1 && r2.refs == 1 && failing.refs == 1 && r1.refsInCall == 2) << "one reference a call";
    ComPtr<_CWindowManager> early = c.object("CWindowManager").query<_CWindowManager>();
    EXPECT_TRUE(early->SubClassObject(&d1, LONG(INT_PTR(w)), LONG_PTR(&r1)) == S_OK &&
                SendMessageA(w, WM_APP, 1, 0) == 11);
    EXPECT_TRUE(early->UnSubClassObject(&d1, LONG(INT_PTR(w))) == S_OK && SendMessageA(w, WM_APP, 1, 0) == 1);

    // W holds A and B, A holds A1 (one of the two is found past its sibling); W owns popup O, not holding it.
    HWND a = makeWindow(WS_CHILD, w), a1 = makeWindow(WS_CHILD, a), b = makeWindow(WS_CHILD, w);
    c.let("A", LONG(INT_PTR(a))), c.let("A1", LONG(INT_PTR(a1))), c.let("B", LONG(INT_PTR(b)));
    c.let("O", LONG(INT_PTR(makeWindow(WS_POPUP, w)))), c.let("Receiver", static_cast<IDispatch*>(&r1));
    c.run(R"(
both Same = CWindowManager.GetObjectSubclass @Receiver       => Object ?; Object ?
both CWindowManager.GetObjectSubclass @CWindowManager        => error 13 LARKLIB8; Object _CWindowManager
both CWindowManager.IsChildEx W, A1                          => Boolean True
CWindowManager.IsChildEx W, B                                => Boolean True
CWindowManager.IsChildEx W, W                                => Boolean False
CWindowManager.IsChildEx W, O                                => Boolean False
)");
    EXPECT_EQ(static_cast<IUnknown*>(&r1), c.value("Same").punkVal);

    // A bad window leaves the record not subclassed; one whose window died goes on to another.
    // Unsubclassing the wrong window loses what the stub passes on to, but it never passes on to itself.
    EXPECT_EQ(L"Empty, 1", answer("CWindowManager.SubClassObject D1, 4660, R1"));
    EXPECT_TRUE(d1.wndprocNext == 0 && d1.hWnd == 4660 && d1.wndprocThunk.pfn == LONG_PTR(&d1.wndprocThunk.Code));
    EXPECT_EQ(L"Empty, 1", answer("CWindowManager.SubClassObject D2, Dead, R2"));
    DestroyWindow(dead);
    EXPECT_EQ(L"Empty, 21", answer("CWindowManager.SubClassObject D2, W, R2"));
    EXPECT_EQ(L"Empty, 20", answer("CWindowManager.UnSubClassObject D2, Dead"));
    EXPECT_EQ(L"Empty, 20", answer("CWindowManager.SubClassObject D2, W, R2"));
    DestroyWindow(w), VirtualFree(records, 0, MEM_RELEASE);
}

}  // namespace
}  // namespace lark::test
