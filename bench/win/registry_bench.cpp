// SaveRegToFile beside the platform's own "reg export" on the same branch, in the same prefix
// and run: a branch of 2,000 keys with five values each. The library's file is also checked
// against the REGEDIT4 text that the branch must give, built here independently.
#include <objbase.h>
#include <windows.h>

#include "LARKLIB8.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

constexpr wchar_t kBranch[] = L"Software\\LarkLib8Bench";
constexpr int kGroups = 40;
constexpr int kPerGroup = 49;  // 40 groups + 40 * 49 keys below them = 2,000 keys

std::wstring groupName(int g) {
    wchar_t n[16];
    swprintf(n, 16, L"G%02d", g);
    return n;
}
std::wstring keyName(int k) {
    wchar_t n[16];
    swprintf(n, 16, L"K%03d", k);
    return n;
}

std::string narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

// Five values, one of each kind the export writes, named so that they enumerate in this order.
void fill(HKEY key, int serial, std::string* expected) {
    const std::string path = "C:\\Program Files\\Lark\\file" + std::to_string(serial) + ".txt";
    const std::string expand = "%ProgramFiles%\\Lark\\" + std::to_string(serial);
    const std::string text = "plain text number " + std::to_string(serial);
    const DWORD number = 0x9E3779B9u * DWORD(serial);
    BYTE raw[16];
    for (int i = 0; i < 16; ++i)
        raw[i] = BYTE(serial * 7 + i * 31);
    RegSetValueExA(key, "a_path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()), DWORD(path.size() + 1));
    RegSetValueExA(key, "b_count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
    RegSetValueExA(key, "c_raw", 0, REG_BINARY, raw, 16);
    RegSetValueExA(key, "d_expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand.c_str()),
                   DWORD(expand.size() + 1));
    RegSetValueExA(key, "e_text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), DWORD(text.size() + 1));
    std::string doubled;
    for (char c : path)
        doubled += c == '\\' ? std::string("\\\\") : std::string(1, c);
    char hex[16];
    snprintf(hex, sizeof hex, "%08X", unsigned(number));
    *expected += "\"a_path\"=\"" + doubled + "\"\r\n\"b_count\"=dword:" + hex + "\r\n\"c_raw\"=hex:";
    for (int i = 0; i < 16; ++i) {
        snprintf(hex, sizeof hex, i ? ",%02X" : "%02X", raw[i]);
        *expected += hex;
    }
    *expected += "\r\n\"d_expand\"=\"" + expand + "\"\r\n\"e_text\"=\"" + text + "\"\r\n";
}

HKEY create(const std::wstring& path) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

// Builds the branch and the text its export must be.
std::string buildBranch() {
    const std::wstring root = kBranch;
    std::string expected = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + narrow(root) + "]\r\n\r\n";
    RegCloseKey(create(root));
    int serial = 0;
    for (int g = 0; g < kGroups; ++g) {
        const std::wstring group = root + L"\\" + groupName(g);
        HKEY key = create(group);
        expected += "[HKEY_CURRENT_USER\\" + narrow(group) + "]\r\n";
        fill(key, serial++, &expected);
        expected += "\r\n";
        RegCloseKey(key);
        for (int k = 0; k < kPerGroup; ++k) {
            const std::wstring path = group + L"\\" + keyName(k);
            key = create(path);
            expected += "[HKEY_CURRENT_USER\\" + narrow(path) + "]\r\n";
            fill(key, serial++, &expected);
            expected += "\r\n";
            RegCloseKey(key);
        }
    }
    return expected;
}

std::string fileBytes(const wchar_t* path) {
    std::string bytes;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

template <class Run>
double bestOf(int runs, Run run) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        best =
            std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

bool runAndWait(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0;
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    {
        CLSID clsid{};
        _CRegistry2* reg = nullptr;
        if (FAILED(CLSIDFromProgID(L"LARKLIB8.CRegistry2", &clsid)) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__CRegistry2,
                                    reinterpret_cast<void**>(&reg)))) {
            printf("LARKLIB8.CRegistry2 is not registered\n");
            return 1;
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, kBranch);
        const std::string expected = buildBranch();
        const wchar_t* ours = L"C:\\larklib\\bench_ours.reg";
        const wchar_t* theirs = L"C:\\larklib\\bench_reg_export.reg";
        BSTR key = SysAllocString(kBranch), file = SysAllocString(ours);
        const double saveMs =
            bestOf(3, [&] { reg->SaveRegToFile(LONG(0x80000001u), key, file, VARIANT_TRUE, VARIANT_FALSE); });
        const std::string written = fileBytes(ours);
        bool exported = true;
        const double regMs = bestOf(3, [&] {
            exported = runAndWait(std::wstring(L"reg export HKCU\\") + kBranch + L" " + theirs + L" /y") && exported;
        });
        // What opening, appending to and closing the file once per key costs on its own.
        const double appendMs = bestOf(3, [&] {
            const std::string block(264, 'x');
            for (int i = 0; i < 2001; ++i) {
                HANDLE f = CreateFileA("C:\\larklib\\bench_append.reg", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
                DWORD written = 0;
                WriteFile(f, block.data(), DWORD(block.size()), &written, nullptr);
                CloseHandle(f);
            }
            DeleteFileA("C:\\larklib\\bench_append.reg");
        });
        const size_t keys = size_t(std::count(expected.begin(), expected.end(), '['));
        printf("registry export of %zu keys x 5 values (best of 3)\n", keys);
        printf("  CRegistry2.SaveRegToFile  %9.1f ms  %zu bytes, %s\n", saveMs, written.size(),
               written == expected ? "content as expected" : "CONTENT DIFFERS");
        printf("  reg export                %9.1f ms  %zu bytes%s\n", regMs, fileBytes(theirs).size(),
               exported ? "" : ", FAILED");
        printf("  2,001 opens, appends, closes %7.1f ms  (what opening the file for every key would add)\n", appendMs);
        printf("  ratio SaveRegToFile / reg export: %.2f\n", saveMs / regMs);
        if (written != expected) {
            const size_t at =
                std::mismatch(written.begin(), written.end(), expected.begin(), expected.end()).first - written.begin();
            printf("  first difference at byte %zu: [%s] expected [%s]\n", at, written.substr(at, 60).c_str(),
                   expected.substr(at, 60).c_str());
            status = 1;
        }
        SysFreeString(key);
        SysFreeString(file);
        reg->Release();
        RegDeleteTreeW(HKEY_CURRENT_USER, kBranch);
        DeleteFileW(ours);
        DeleteFileW(theirs);
    }
    CoUninitialize();
    return status;
}
