#include "files/CServicesFileInfo2.hpp"

#include "files/CServicesFileNames2.hpp"
#include "files/CServicesFileUtilities2.hpp"
#include "files/path_names.hpp"
#include "files/unique_names.hpp"
#include "frame/errors.hpp"
#include "frame/message_box.hpp"
#include "frame/per_thread.hpp"
#include "frame/platform_text.hpp"
#include "frame/raii.hpp"
#include "sysinfo/CDeploy2.hpp"

#include <shellapi.h>

#include <string>

namespace lark::files {

using com::showMessage;
using com::traps;

namespace {

constexpr size_t kIniBuffer = 2048;
constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

// Titles carry the product's brand word.
constexpr char16_t kTitle[] = u"Emberfox";
constexpr char16_t kNotFoundTitle[] = u"Emberfox: File Not Found";
constexpr char16_t kInUseTitle[] = u"Emberfox: File In Use";

// The text of a fixed-size ANSI field up to its first NUL.
template <size_t N>
std::u16string fieldText(const char (&field)[N]) {
    return com::fromAnsi(std::string_view(field, strnlen(field, N)));
}

std::u16string shellName(Units path, UINT flag, bool emptyMeansNoAssociation) {
    SHFILEINFOA info{};
    if (!SHGetFileInfoA(com::toAnsi(path).c_str(), 0, &info, sizeof info, flag)) return u"";
    if (flag == SHGFI_TYPENAME) {
        if (emptyMeansNoAssociation && info.szTypeName[0] == '\0') return u"<no file association>";
        return fieldText(info.szTypeName);
    }
    return fieldText(info.szDisplayName);
}

// The first entry a search finds for the path, if any; the search is closed at once.
std::optional<WIN32_FIND_DATAA> firstMatch(Units path) {
    WIN32_FIND_DATAA found{};
    com::unique_hfind search(FindFirstFileA(com::toAnsi(path).c_str(), &found));
    if (!search) return std::nullopt;
    return found;
}

com::unique_hfile openForWriting(Units path, DWORD disposition) {
    return com::unique_hfile(CreateFileA(com::toAnsi(path).c_str(), kReadWrite, FILE_SHARE_READ, nullptr, disposition,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The private-profile calls make a file name without a folder into a path in the Windows folder,
// in a buffer of MAX_PATH characters that a longer name overruns. A path that does not fit names
// no file they can read.
void checkProfilePath(Units iniFile) {
    size_t length = iniFile.size();
    if (iniFile.find_first_of(u"\\/") == Units::npos) length += GetWindowsDirectoryW(nullptr, 0);  // and a separator
    if (length >= MAX_PATH) raise(errBadFileName);
}

}  // namespace

std::u16string FileInfo::GetDisplayName(Units filePath) { return shellName(filePath, SHGFI_DISPLAYNAME, false); }

std::u16string FileInfo::GetTypeName(Units filePath) { return shellName(filePath, SHGFI_TYPENAME, true); }

std::u16string FileInfo::GetItemFromINIFile(std::optional<Units> section, std::optional<Units> key, Units defaultValue,
                                            Units iniFile) {
    // A missing section or key reaches the platform as a null pointer, which asks for the name lists.
    const auto copy = [](std::optional<Units> text, auto convert) {
        return text ? std::optional(convert(*text)) : std::nullopt;
    };
    const auto pointer = [](const auto& text) { return text ? text->c_str() : nullptr; };
    checkProfilePath(iniFile);
    if (sysinfo::sharedDeploy().IsUnicodeSystem()) {
        const auto wide = [](const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); };
        const auto own = [](Units text) { return std::u16string(text); };
        const std::optional<std::u16string> sectionText = copy(section, own), keyText = copy(key, own);
        char16_t buffer[kIniBuffer];
        const DWORD n = GetPrivateProfileStringW(wide(pointer(sectionText)), wide(pointer(keyText)),
                                                 wide(own(defaultValue).c_str()), reinterpret_cast<wchar_t*>(buffer),
                                                 kIniBuffer, wide(own(iniFile).c_str()));
        return std::u16string(buffer, n);
    }
    const std::optional<std::string> sectionText = copy(section, com::toAnsi), keyText = copy(key, com::toAnsi);
    std::string buffer(kIniBuffer, '\0');
    const DWORD n = GetPrivateProfileStringA(pointer(sectionText), pointer(keyText), com::toAnsi(defaultValue).c_str(),
                                             buffer.data(), kIniBuffer, com::toAnsi(iniFile).c_str());
    return com::fromAnsi(std::string_view(buffer.data(), n));
}

bool FileInfo::IsDirectory(Units path) {
    const DWORD attributes = GetFileAttributesA(com::toAnsi(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

DATE FileInfo::GetDateLastModified(Units filePath) {
    const std::optional<WIN32_FIND_DATAA> found = firstMatch(filePath);
    if (!found) return 0;
    FILETIME local{};
    SYSTEMTIME time{};
    DATE date = 0;
    // The variant conversion drops the milliseconds.
    if (!FileTimeToLocalFileTime(&found->ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &time)) return 0;
    time.wMilliseconds = 0;
    return SystemTimeToVariantTime(&time, &date) ? date : 0;
}

bool FileInfo::FileExists(Units filePath) {
    const std::optional<std::u16string> local = sharedPathNames().LocalPathOfFileUrl(filePath);
    const Units path = local ? Units(*local) : filePath;
    // The search does not report drive roots; their attributes do.
    return firstMatch(path) || GetFileAttributesA(com::toAnsi(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileInfo::FileAvailableForWriting(Units filePath) {
    return static_cast<bool>(openForWriting(filePath, OPEN_EXISTING));
}

bool FileInfo::VerifyFileWriteAccess(Units filePath) {
    if (FileExists(filePath)) return FileAvailableForWriting(filePath);
    bool writable = false;
    if (com::unique_hfile probe = openForWriting(filePath, CREATE_NEW)) {
        writable = true;
        probe.reset();
        // Only the probe just made is removed: a failed creation leaves whatever is there.
        DeleteFileA(com::toAnsi(filePath).c_str());
    }
    return writable && !FileExists(filePath);
}

bool FileInfo::VerifyFolderWriteAccess(Units folderPath) {
    const std::u16string proposed =
        AppendPathSeparator(folderPath) + RandomTemporaryName(sharedRandom().next(), u".tmp");
    return VerifyFileWriteAccess(sharedFileUtilities().UniqueFilePath(proposed));
}

int32_t FileInfo::ConfirmFileAvailableForWriting(Units filePath) {
    const std::u16string path(filePath);
    int32_t number = errOutOfMemory;  // what is left to go wrong without an error number
    try {
        if (!FileExists(path)) {
            showMessage(u"Could not locate the file: \r\n" + path, kNotFoundTitle, MB_OK);
            return kAnswerCancel;
        }
        if (FileAvailableForWriting(path)) return kAnswerOk;
        bool available = false;
        int answer = IDRETRY;
        while (!available && answer != IDCANCEL) {
            answer =
                showMessage(path + u"\r\nis currently being used by another application.", kInUseTitle, MB_RETRYCANCEL);
            available = FileAvailableForWriting(path);
        }
        return FileAvailableForWriting(path) ? kAnswerOk : kAnswerCancel;
    } catch (const Error& e) {
        number = e.number;
    } catch (...) {
    }
    showMessage(u"Unanticipated error (" + com::fromAnsi(std::to_string(number)) + u") while try to locate \r\n" + path,
                kTitle, MB_OK);
    return kAnswerCancel;
}

FileInfo& sharedFileInfo() { return com::perThread<FileInfo>(); }

// Every member traps its errors: the result stays at its empty value ("", False, Date 0).
HRESULT CServicesFileInfo2::GetDisplayName(BSTR* sFilePath, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(info_.GetDisplayName(com::view(sFilePath)));
    });
}

HRESULT CServicesFileInfo2::GetTypeName(BSTR* sFilePath, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(info_.GetTypeName(com::view(sFilePath)));
    });
}

HRESULT CServicesFileInfo2::GetItemFromINIFile(BSTR* lpSectionName, BSTR* lpKeyName, BSTR* DefaultValue, BSTR* iniFile,
                                               BSTR* result) {
    // A null BSTR (the automation null string) is a missing name, unlike "".
    const auto nullable = [](BSTR* s) { return s && *s ? std::optional<Units>(com::view(*s)) : std::nullopt; };
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(info_.GetItemFromINIFile(nullable(lpSectionName), nullable(lpKeyName),
                                                          com::view(DefaultValue), com::view(iniFile)));
    });
}

namespace {
HRESULT answer(VARIANT_BOOL* result, BSTR* path, FileInfo& info, bool (FileInfo::*question)(Units)) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        *result = com::variantBool((info.*question)(com::view(path)));
    });
}
}  // namespace

HRESULT CServicesFileInfo2::IsDirectory(BSTR* Pathname, VARIANT_BOOL* result) {
    return answer(result, Pathname, info_, &FileInfo::IsDirectory);
}

HRESULT CServicesFileInfo2::GetDateLastModified(BSTR* FilePath, DATE* result) {
    return traps(result, [&] {
        *result = 0;
        *result = info_.GetDateLastModified(com::view(FilePath));
    });
}

HRESULT CServicesFileInfo2::DirectoryExists(BSTR* DirectoryPath, VARIANT_BOOL* result) {
    return answer(result, DirectoryPath, info_, &FileInfo::IsDirectory);
}

HRESULT CServicesFileInfo2::FileExists(BSTR* FilePath, VARIANT_BOOL* result) {
    return answer(result, FilePath, info_, &FileInfo::FileExists);
}

HRESULT CServicesFileInfo2::FileAvailableForWriting(BSTR* FilePath, VARIANT_BOOL* result) {
    return answer(result, FilePath, info_, &FileInfo::FileAvailableForWriting);
}

HRESULT CServicesFileInfo2::VerifyFileWriteAccess(BSTR* FilePath, VARIANT_BOOL* result) {
    return answer(result, FilePath, info_, &FileInfo::VerifyFileWriteAccess);
}

HRESULT CServicesFileInfo2::VerifyFolderWriteAccess(BSTR* FolderPath, VARIANT_BOOL* result) {
    return answer(result, FolderPath, info_, &FileInfo::VerifyFolderWriteAccess);
}

HRESULT CServicesFileInfo2::ConfirmFileAvailableForWriting(BSTR* FilePath, LONG* result) {
    return traps(result, [&] {
        *result = kAnswerCancel;
        *result = info_.ConfirmFileAvailableForWriting(com::view(FilePath));
    });
}

}  // namespace lark::files
