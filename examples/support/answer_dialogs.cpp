// Stands in for the person in front of an example's dialogs, so that the examples run unattended:
// each dialog that comes up gets the next answer from the command line ("ok" or "cancel"), and
// one beyond the answers is cancelled. Message boxes are confirmed. Every window answered is
// written to the output, one line each. It runs beside the example until it is stopped, or for
// two minutes at most.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The first visible top-level dialog (message boxes included) of another process.
HWND visibleDialog() {
    for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w;
         w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (process != GetCurrentProcessId() && IsWindowVisible(w)) return w;
    }
    return nullptr;
}

std::string narrow(const wchar_t* text) {
    char buffer[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer - 1, nullptr, nullptr);
    return buffer;
}

std::string titleOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return narrow(text);
}

// A message box shows its text in the static control 0xFFFF and has no Cancel button of its own
// unless it asks a question.
std::string messageOf(HWND box) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    return narrow(text);
}

void press(HWND window, int button) { PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }

bool isMessageBox(HWND window) { return !GetDlgItem(window, IDCANCEL) || !messageOf(window).empty(); }

void confirm(HWND box) {
    std::printf("message box \"%s\": %s -> OK\n", titleOf(box).c_str(), messageOf(box).c_str());
    press(box, GetDlgItem(box, IDYES) ? IDYES : IDOK);
}

// Waits until the dialog has gone, confirming the message boxes it brings up meanwhile (a name
// refused, a file to replace); a dialog still there after five seconds is cancelled.
void waitUntilClosed(HWND dialog) {
    for (int i = 0; i < 250 && IsWindow(dialog) && IsWindowVisible(dialog); ++i, Sleep(20)) {
        for (HWND box = nullptr; (box = FindWindowExW(nullptr, box, L"#32770", nullptr));)
            if (GetWindow(box, GW_OWNER) == dialog && IsWindowVisible(box)) confirm(box), Sleep(200);
    }
    if (IsWindow(dialog) && IsWindowVisible(dialog)) {
        std::printf("dialog \"%s\" still open: cancelled\n", titleOf(dialog).c_str());
        press(dialog, IDCANCEL);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int next = 1;
    for (const DWORD end = GetTickCount() + 120000; GetTickCount() < end; Sleep(50)) {
        const HWND window = visibleDialog();
        if (!window) continue;
        Sleep(300);  // a dialog still setting itself up may miss a click
        if (!IsWindow(window) || !IsWindowVisible(window)) continue;
        if (isMessageBox(window)) {
            confirm(window);
        } else {
            const std::string answer = next < argc ? argv[next++] : "cancel (no answer left)";
            std::printf("dialog \"%s\": %s\n", titleOf(window).c_str(), answer.c_str());
            press(window, answer == "ok" ? IDOK : IDCANCEL);
        }
        std::fflush(stdout);
        waitUntilClosed(window);
        std::fflush(stdout);
    }
    return 0;
}
