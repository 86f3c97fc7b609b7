// What the COM tests share: the case runner, which calls the library as its clients do and
// shows each outcome as one line of text, and the platform fixtures the cases work in.
//
// A case is one line:   [both|early|get] [name =] Target.Member arguments => outcome
// Target is a variable of the runner or a class, created as LARKLIB8.<Target> on first use;
// "late" calls go through IDispatch::Invoke, "early" ones through the interface's vtable slot,
// with the arguments converted to the declared types by the type library and variables passed
// typed, as a compiled client passes them (what it passes beyond that is called by hand);
// "both" makes both and expects the same outcome; "get" reads the member as a property only, as
// VB6 and JScript read `obj.Member`. Target.{A, B} arguments calls A and B alike and joins their
// outcomes with " | ".
// Arguments are written as in a VBScript call: 'text' ('' for a quote), 1 (Long), 2.5, True,
// Empty, Null, Nothing, vbNullString, Missing or nothing between commas (omitted), Name:=value,
// @value (a Variant variable by reference, as scripts pass them; @name passes the runner's own
// variable), @!value (a typed variable by reference, as VB passes `Dim s As String`), pieces
// joined with & (vbCr, vbLf, vbCrLf, vbTab, vbNullChar, ChrW(n), String(n, 'x')), conversions
// (CByte, CInt, CLng, CLngLng, CSng, CDbl, CBool, CStr, CDate), Array(...) for a Variant array,
// and typed arrays as they are shown: String(1 To 2)['a'|'b'], String() for no bounds.
// The outcome is the result, then each ByRef argument after the call, joined by "; ": Long 2,
// Boolean True, 'text', Empty, Nothing, Object _Collection['a'|Long 1], Long(0 To 1, 0 To 2)
// [Long 1|...] (first index fastest); or the error: "error 5 Source", with the description in
// quotes when it is not the number's standard one, or a failing HRESULT by name.
#pragma once

#include "LARKLIB8.h"
#include "frame/raii.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace lark::test {

using com::ComPtr;
using com::unique_bstr;
using com::unique_variant;

std::wstring str(BSTR s);
std::wstring widen(std::string_view utf8);

// A value as the cases show it.
std::wstring show(const VARIANT& value);

enum class Binding { late, early, get };

class Cases {
public:
    Cases();
    ~Cases();
    Cases(const Cases&) = delete;
    Cases& operator=(const Cases&) = delete;

    // Variables the lines can name.
    void let(const std::string& name, const std::wstring& text);
    void let(const std::string& name, LONG number);
    void let(const std::string& name, IDispatch* object);
    void letAddress(const std::string& name, const void* address);  // a LONG_PTR
    VARIANT& value(const std::string& name);
    // Outcomes show every occurrence of text (a path of this run, say) as %name%.
    void mask(const std::wstring& text, const std::string& name);
    ComPtr<IDispatch> object(const std::string& name);

    // Runs every line of the table (blank lines and lines starting with # are skipped) and
    // reports each line whose outcome differs.
    void run(std::string_view table);
    // The outcome of one call, without "=> expected".
    std::wstring outcome(std::string_view call, Binding binding = Binding::late);

private:
    struct Impl;
    Impl* impl_;
};

// --- Platform fixtures -------------------------------------------------------------------

// A folder of its own under the prefix's temporary folder, removed with all it holds.
class Sandbox {
public:
    Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;
    ~Sandbox();
    const std::wstring& root() const { return root_; }
    std::wstring path(const std::wstring& relative) const { return root_ + L"\\" + relative; }
    // Names ending in a backslash are made as folders, the others as files holding "x".
    void make(std::initializer_list<std::wstring> entries) const;
    void file(const std::wstring& relative, const std::string& contents) const;
    bool exists(const std::wstring& relative) const;
    std::string read(const std::wstring& relative) const;
    // Every entry below the root by relative path, "name" for files and "name\" for folders,
    // sorted and joined by "|".
    std::wstring listing() const;

private:
    std::wstring root_;
};

// A branch of HKEY_CURRENT_USER\Software\LarkLib8Tests of its own, removed afterwards.
class RegistryBranch {
public:
    explicit RegistryBranch(const std::wstring& name);
    RegistryBranch(const RegistryBranch&) = delete;
    RegistryBranch& operator=(const RegistryBranch&) = delete;
    ~RegistryBranch();
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// A helper thread that hands every new message box with the given title (any dialog window of
// this process when the title is empty) to `answer`, until destroyed.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer(std::wstring title, std::function<void(HWND)> answer);
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;
    ~MessageBoxAnswerer();
    int seen() const { return seen_; }

private:
    std::wstring title_;
    std::function<void(HWND)> answer_;
    std::atomic<bool> stop_{false};
    std::atomic<int> seen_{0};
    std::thread thread_;
};
std::wstring messageText(HWND box);
std::wstring windowTitle(HWND window);
void press(HWND box, int button);

std::wstring temporaryFolder();  // ends in a backslash

// Points LARKLIB8.dll's import slots of the named functions at the replacements, for the rest
// of the process; answers how many slots now point there.
int redirectLibraryImports(std::initializer_list<std::pair<std::string_view, void*>> replacements);

// Fails the program when, at its end, the library is still in use or the process holds more
// kernel handles or windows, or the temporary folder more entries, than at its start, or the
// library has device contexts of its own making open.
void checkForLeaks();
std::string bytesOf(const std::wstring& path);
void writeBytes(const std::wstring& path, const std::string& bytes);

template <class T>
ComPtr<T> createByProgId(const wchar_t* progId) {
    CLSID clsid{};
    ComPtr<T> object;
    EXPECT_EQ(S_OK, CLSIDFromProgID(progId, &clsid)) << "no class registered as this ProgID";
    EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(T),
                                     reinterpret_cast<void**>(object.put())));
    return object;
}

}  // namespace lark::test
