// What the file-service tests share: a sandbox folder under the prefix's temporary folder,
// snapshots that show what changed, files held open by another handle, a helper thread that
// answers message boxes, and a check that a program leaves the temporary folder as it found it.
#pragma once

#include "com_support.hpp"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <thread>

namespace lark::test {

namespace fs = std::filesystem;

inline std::wstring temporaryFolder() { return withSeparator(fs::temp_directory_path().wstring()); }

inline std::set<std::wstring> namesIn(const std::wstring& folder) {
    std::set<std::wstring> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        names.insert(entry.path().filename().wstring());
    return names;
}

// Every entry below a folder by relative path, with its contents ("<dir>" for a folder).
using Snapshot = std::map<std::wstring, std::string>;
inline std::string contentsOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline Snapshot snapshotOf(const std::wstring& folder) {
    Snapshot out;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error))
        out[fs::relative(entry.path(), folder).wstring()] = entry.is_directory() ? "<dir>" : contentsOf(entry.path());
    return out;
}
// The snapshot without the named entries and what is below them.
inline Snapshot without(Snapshot snapshot, std::initializer_list<std::wstring> gone) {
    std::erase_if(snapshot, [&](const auto& entry) {
        for (const std::wstring& name : gone)
            if (entry.first == name || entry.first.rfind(name + L"\\", 0) == 0) return true;
        return false;
    });
    return snapshot;
}

// A folder of its own under the temporary folder, removed with all it holds (read-only too).
class Sandbox {
public:
    Sandbox()
        : root_(temporaryFolder() + L"lark files " + std::to_wstring(GetCurrentProcessId()) + L"." +
                std::to_wstring(++count_)) {
        fs::create_directory(root_);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;
    ~Sandbox() {
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(root_, error))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(root_, error);
    }
    const std::wstring& root() const { return root_; }
    std::wstring path(const std::wstring& relative) const { return root_ + L"\\" + relative; }
    // Names ending in a backslash are made as folders, the others as files holding "x"; missing
    // folders on the way are made too.
    void make(std::initializer_list<std::wstring> entries) const {
        for (const std::wstring& e : entries)
            e.back() == L'\\' ? (void)fs::create_directories(path(e)) : file(e, "x");
    }
    void file(const std::wstring& relative, const std::string& contents) const {
        const fs::path file(path(relative));
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << contents;
    }
    bool exists(const std::wstring& relative) const { return fs::exists(fs::path(path(relative))); }
    std::string read(const std::wstring& relative) const { return contentsOf(path(relative)); }
    Snapshot snapshot() const { return snapshotOf(root_); }

private:
    static inline int count_ = 0;
    std::wstring root_;
};

// Another handle on a file or folder, shared with nobody, while it lives.
class HeldOpen {
public:
    explicit HeldOpen(const std::wstring& path)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                              nullptr)) {}
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    ~HeldOpen() { release(); }
    void release() { CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)); }

private:
    HANDLE handle_;
};

// A helper thread that hands every new message box with the given title to `answer` and
// counts them, until destroyed.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer(std::wstring title, std::function<void(HWND)> answer)
        : title_(std::move(title)), answer_(std::move(answer)), thread_([this] {
              for (HWND last = nullptr; !stop_; Sleep(20)) {
                  HWND box = FindWindowW(L"#32770", title_.c_str());
                  if (box && box != last && IsWindowVisible(box)) ++seen_, answer_(last = box);
              }
          }) {}
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;
    ~MessageBoxAnswerer() {
        stop_ = true;
        thread_.join();
    }
    int seen() const { return seen_; }

private:
    std::wstring title_;
    std::function<void(HWND)> answer_;
    std::atomic<bool> stop_{false};
    std::atomic<int> seen_{0};
    std::thread thread_;
};

// A message box's text, and a press of one of its buttons.
inline std::wstring messageText(HWND box) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    return text;
}
inline void press(HWND box, int button) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }

// Fails the program when it leaves anything in the temporary folder that was not there before.
class TemporaryFolderCheck : public testing::Environment {
    std::set<std::wstring> before_;
    void SetUp() override { before_ = namesIn(temporaryFolder()); }
    void TearDown() override {
        std::wstring left;
        for (const std::wstring& name : namesIn(temporaryFolder()))
            if (!before_.count(name)) left += L" [" + name + L"]";
        EXPECT_EQ(L"", left) << "left behind in the temporary folder";
    }
};
inline testing::Environment* const kTemporaryFolderCheck = testing::AddGlobalTestEnvironment(new TemporaryFolderCheck);

}  // namespace lark::test
