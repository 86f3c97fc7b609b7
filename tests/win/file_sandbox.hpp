// What the file-service tests share: a sandbox folder under the prefix's temporary folder,
// snapshots of folders to prove that nothing outside a target changed, files held open by
// another handle, a helper thread that answers message boxes, and a check that a test program
// leaves the temporary folder as it found it.
#pragma once

#include "com_support.hpp"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <thread>

namespace lark::test {

namespace fs = std::filesystem;

inline std::wstring temporaryFolder() {
    wchar_t buffer[MAX_PATH] = {};
    EXPECT_NE(0u, GetTempPathW(MAX_PATH, buffer));
    return withSeparator(buffer);
}

// Removes a tree made by a test, read-only entries included. Only ever called on sandboxes.
inline void removeTree(const std::wstring& path) {
    std::error_code error;
    if (!fs::exists(path, error)) return;
    for (const auto& entry : fs::recursive_directory_iterator(path, error))
        SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(path, error);
}

// The names directly in a folder.
inline std::set<std::wstring> namesIn(const std::wstring& folder) {
    std::set<std::wstring> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        names.insert(entry.path().filename().wstring());
    return names;
}

// Every entry below a folder, by relative path, with its contents ("<dir>" for folders).
using Snapshot = std::map<std::wstring, std::string>;

inline std::string contentsOf(const std::wstring& path) {
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0)
        text.append(buffer, n);
    CloseHandle(file);
    return text;
}

inline Snapshot snapshotOf(const std::wstring& folder) {
    Snapshot out;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        const std::wstring relative = fs::relative(entry.path(), folder).wstring();
        out[relative] = entry.is_directory() ? "<dir>" : contentsOf(entry.path().wstring());
    }
    return out;
}

// The snapshot without the given entries (and everything below them).
inline Snapshot without(Snapshot snapshot, std::initializer_list<std::wstring> gone) {
    for (const std::wstring& name : gone) {
        for (auto it = snapshot.begin(); it != snapshot.end();) {
            const bool below = it->first == name || it->first.rfind(name + L"\\", 0) == 0;
            it = below ? snapshot.erase(it) : std::next(it);
        }
    }
    return snapshot;
}

// A folder of its own under the prefix's temporary folder, removed with everything in it.
class Sandbox {
public:
    Sandbox() {
        static int count = 0;
        root_ = temporaryFolder() + L"lark files " + std::to_wstring(GetCurrentProcessId()) + L"." +
                std::to_wstring(++count);
        EXPECT_TRUE(CreateDirectoryW(root_.c_str(), nullptr)) << GetLastError();
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;
    ~Sandbox() { removeTree(root_); }

    const std::wstring& root() const { return root_; }
    std::wstring path(const std::wstring& relative) const { return root_ + L"\\" + relative; }
    void folder(const std::wstring& relative) const {
        EXPECT_TRUE(CreateDirectoryW(path(relative).c_str(), nullptr)) << GetLastError();
    }
    void file(const std::wstring& relative, const std::string& contents = "x") const {
        HANDLE h = CreateFileW(path(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h) << GetLastError();
        DWORD written = 0;
        WriteFile(h, contents.data(), DWORD(contents.size()), &written, nullptr);
        CloseHandle(h);
    }
    bool exists(const std::wstring& relative) const {
        return GetFileAttributesW(path(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::string read(const std::wstring& relative) const { return contentsOf(path(relative)); }
    Snapshot snapshot() const { return snapshotOf(root_); }

private:
    std::wstring root_;
};

// Another handle on a file or folder, shared with nobody, for as long as it lives.
class HeldOpen {
public:
    explicit HeldOpen(const std::wstring& path)
        : handle_(
              CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)) {
        EXPECT_NE(INVALID_HANDLE_VALUE, handle_) << GetLastError();
    }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    ~HeldOpen() { release(); }
    void release() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

// Waits on a helper thread for message boxes with the given title and lets `answer` handle
// each one (read it, press a button); counts them. Stops when destroyed.
class MessageBoxAnswerer {
public:
    using Answer = std::function<void(HWND box)>;
    MessageBoxAnswerer(std::wstring title, Answer answer)
        : title_(std::move(title)), answer_(std::move(answer)), thread_([this] { run(); }) {}
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;
    ~MessageBoxAnswerer() {
        stop_ = true;
        thread_.join();
    }
    int seen() const { return seen_; }

private:
    void run() {
        HWND last = nullptr;
        while (!stop_) {
            HWND box = FindWindowW(L"#32770", title_.c_str());
            if (box && box != last && IsWindowVisible(box)) {
                last = box;
                ++seen_;
                answer_(box);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::wstring title_;
    Answer answer_;
    std::atomic<bool> stop_{false};
    std::atomic<int> seen_{0};
    std::thread thread_;
};

inline std::wstring windowText(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

// The text of a message box (its static control) and a press of one of its buttons.
inline std::wstring messageText(HWND box) { return windowText(GetDlgItem(box, 0xFFFF)); }
inline void press(HWND box, int button) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }

// Fails the program when it leaves anything in the temporary folder that was not there before.
class TemporaryFolderCheck : public testing::Environment {
public:
    void SetUp() override { before_ = namesIn(temporaryFolder()); }
    void TearDown() override {
        std::wstring left;
        for (const std::wstring& name : namesIn(temporaryFolder()))
            if (!before_.count(name)) left += L" [" + name + L"]";
        EXPECT_EQ(L"", left) << "left behind in the temporary folder";
    }

private:
    std::set<std::wstring> before_;
};

inline testing::Environment* const kTemporaryFolderCheck = testing::AddGlobalTestEnvironment(new TemporaryFolderCheck);

}  // namespace lark::test
