#include "files/CServicesFileIO2.hpp"

#include "files/CServicesFileInfo2.hpp"
#include "files/CServicesFileNames2.hpp"
#include "files/CServicesFileUtilities2.hpp"
#include "files/file_operations.hpp"
#include "files/path_names.hpp"
#include "files/unique_names.hpp"
#include "frame/errors.hpp"
#include "frame/per_thread.hpp"
#include "frame/platform_text.hpp"
#include "frame/raii.hpp"

#include <shellapi.h>

namespace lark::files {

using com::raises;
using com::traps;

namespace {

constexpr char16_t kCheckSpace[] = u"Please check for available disk space and access privileges.";

// The run-time error number of a failed file primitive.
[[noreturn]] void raiseFileError(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
            raise(errFileNotFound);
        case ERROR_PATH_NOT_FOUND:
            raise(errPathNotFound);
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            raise(errFileExists);
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
            raise(errBadFileName);
        default:
            raise(errPathAccess);
    }
}

// The file primitives: each raises the run-time error of its failure.
void removeFolder(Units path) {
    if (!RemoveDirectoryA(com::toAnsi(path).c_str())) raiseFileError(GetLastError());
}

void makeFolder(Units path) {
    if (!CreateDirectoryA(com::toAnsi(path).c_str(), nullptr)) raiseFileError(GetLastError());
}

void renamePath(Units from, Units to) {
    if (!MoveFileA(com::toAnsi(from).c_str(), com::toAnsi(to).c_str())) raiseFileError(GetLastError());
}

// Deletes every file matching the pattern (folders are left alone): 53 when nothing matches,
// otherwise the error of the first file that stays, after trying all of them.
void deleteMatchingFiles(Units pattern) {
    WIN32_FIND_DATAA found{};
    com::unique_hfind search(FindFirstFileA(com::toAnsi(pattern).c_str(), &found));
    if (!search) raise(errFileNotFound);
    const std::string folder = com::toAnsi(PathFromFullPath(pattern));
    DWORD firstFailure = ERROR_SUCCESS;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (!DeleteFileA((folder + found.cFileName).c_str()) && firstFailure == ERROR_SUCCESS)
            firstFailure = GetLastError();
    } while (FindNextFileA(search.get(), &found));
    if (firstFailure != ERROR_SUCCESS) raiseFileError(firstFailure);
}

// One request to the shell's file operations, with one path in each list; the shell's answer
// (0 on success). Paths the shell cannot take whole are refused without asking it.
int shellRequest(UINT operation, Units from, Units to, FILEOP_FLAGS flags) {
    if (from.empty() || from.size() >= MAX_PATH || to.size() >= MAX_PATH) return ERROR_INVALID_PARAMETER;
    // Each list ends in two NULs.
    const std::string source = com::toAnsi(from) + '\0', target = com::toAnsi(to) + '\0';
    SHFILEOPSTRUCTA request{};
    request.wFunc = operation;
    request.pFrom = source.c_str();
    request.pTo = to.empty() ? nullptr : target.c_str();
    request.fFlags = flags;
    return SHFileOperationA(&request);
}

std::u16string fullPath(Units path) {
    const std::u16string text(path);
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = GetFullPathNameW(reinterpret_cast<const wchar_t*>(text.c_str()), MAX_PATH, buffer, nullptr);
    return n == 0 || n >= MAX_PATH ? std::u16string() : std::u16string(reinterpret_cast<const char16_t*>(buffer), n);
}

// Whether a deleting member may act on the path: resolved, it must name something below a
// root, and it must not lean on a drive's current folder. So no spelling of a drive root
// ("C:\", "C:", "C:\\\", "C:\a\..") is ever emptied or removed.
bool resolvesBelowRoot(Units path) {
    return !IsDriveRelative(path) && !HasDotComponent(path) &&
           NamesOneEntryBelowRoot(WithoutTrailingSeparator(fullPath(path)));
}

// Deletes a file; with force, a read-only, hidden or system file too.
void deleteFile(const std::string& path, bool force) {
    if (DeleteFileA(path.c_str()) || !force) return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

// DeleteDeep on ANSI paths, folder ending in '\'. Failures of single entries are passed over.
void deleteDeep(const std::string& folder, const std::string& wildCard, bool recurse, bool force) {
    WIN32_FIND_DATAA found{};
    com::unique_hfind search(FindFirstFileA((folder + wildCard).c_str(), &found));
    if (!search) return;
    do {
        // "." and "..", and every other name that starts with a dot, are left alone.
        if (found.cFileName[0] == '.') continue;
        const std::string path = folder + found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A linked folder is removed as a link; what it points to is not this folder's.
            if (recurse && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                deleteDeep(path + '\\', wildCard, recurse, force);
            RemoveDirectoryA(path.c_str());
        } else {
            deleteFile(path, force);
        }
    } while (FindNextFileA(search.get(), &found));
}

// Where a copy or move with rename on collision should go. The shell is asked to rename on a
// collision, but not every shell does (Wine's overwrites), so a free name is chosen first: the
// target, or the source's name inside a target folder, numbered as UniqueFilePath numbers.
std::u16string collisionFreeTarget(Units source, Units target) {
    FileInfo& info = sharedFileInfo();
    if (source.find_first_of(u"*?") != Units::npos) return std::u16string(target);
    std::u16string destination(target);
    if (info.IsDirectory(target)) destination = AppendPathSeparator(target) + std::u16string(FileNameFromPath(source));
    if (!info.FileExists(destination)) return std::u16string(target);
    return sharedFileUtilities().UniqueFilePath(destination);
}

// A copy or move of a source that is not there fails without asking the shell (which may
// answer 0 for it).
int copyOrMove(UINT operation, Units source, Units target, FILEOP_FLAGS flags) {
    if (!sharedFileInfo().FileExists(source)) return ERROR_FILE_NOT_FOUND;
    const std::u16string destination =
        flags & shell::kRenameOnCollision ? collisionFreeTarget(source, target) : std::u16string(target);
    return shellRequest(operation, source, destination, flags);
}

// Whether part occurs in text under the text comparison.
bool containsText(Units text, Units part) {
    if (part.empty()) return true;
    for (size_t at = 0; at + part.size() <= text.size(); ++at)
        if (com::textCompare(text.substr(at, part.size()), part) == 0) return true;
    return false;
}

SYSTEMTIME timeOf(DATE date) {
    SYSTEMTIME time{};
    if (!VariantTimeToSystemTime(date, &time)) raise(errInvalidCall);
    return time;
}

// "ddMMMyyyy" of the file's modification date, the month as the user's locale abbreviates it.
std::u16string dateStampOf(DATE date) {
    const SYSTEMTIME time = timeOf(date);
    wchar_t month[32] = {};
    if (!GetDateFormatW(LOCALE_USER_DEFAULT, 0, &time, L"MMM", month, 32)) raise(errInvalidCall);
    return DateStamp(time.wDay, reinterpret_cast<const char16_t*>(month), time.wYear);
}

}  // namespace

// The shell widens what it is given (wildcards, relative paths), so its deleting requests take
// only paths that pass this.
bool NamesOneEntry(Units path) { return NamesOneEntryBelowRoot(path) && resolvesBelowRoot(path); }

void FileIO::DeleteFileToRecycle(Units filename, bool quiet) {
    if ((quiet || sharedFileInfo().FileExists(filename)) && NamesOneEntry(filename))
        shellRequest(shell::kDelete, filename, {}, shell::kRecycle);
}

bool FileIO::DeleteDirectoryContents(Units filePathSpec) {
    try {
        deleteMatchingFiles(filePathSpec);
    } catch (const Error& e) {
        return e.number == errFileNotFound;
    }
    return true;
}

bool FileIO::DeleteDirectory(Units directoryPath, bool killZipHandles) {
    const Units path = WithoutTrailingSeparator(directoryPath);
    if (!resolvesBelowRoot(path)) return false;
    try {
        removeFolder(path);
        return true;
    } catch (const Error& e) {
        if (e.number != errPathAccess || !killZipHandles) return false;
    }
    // Something holds the folder open: move it out of the way under a free name, then remove it.
    const std::u16string aside = sharedFileUtilities().UniqueFilePath(path);
    RenameFile(path, aside);
    removeFolder(aside);
    return true;
}

void FileIO::DeleteFile(Units filePath, bool force) { deleteFile(com::toAnsi(filePath), force); }

bool FileIO::DeleteDirectoryDeep(Units filePath) {
    const Units path = WithoutTrailingSeparator(filePath);
    return NamesOneEntry(path) && shellRequest(shell::kDelete, path, {}, shell::kDeleteTree) == 0;
}

void FileIO::DeleteDeep(Units folderPath, Units wildCard, bool recurse, bool force) {
    if (folderPath.size() < kMinDeleteDeepPath || !resolvesBelowRoot(folderPath)) return;
    deleteDeep(com::toAnsi(AppendPathSeparator(folderPath)), com::toAnsi(wildCard), recurse, force);
}

void FileIO::CopyFile2(Units source, Units target, bool renameOnCollision, bool quiet) {
    int answer = 0;
    try {
        const FILEOP_FLAGS flags =
            shell::kCopyQuietly | (renameOnCollision ? shell::kRenameOnCollision : 0) | (quiet ? shell::kSilent : 0);
        answer = copyOrMove(shell::kCopy, source, target, flags);
    } catch (...) {
        raise(kFileOperationFailed, {},
              std::u16string(u"Unidentified error when trying to copy a file.\r\n") + kCheckSpace);
    }
    if (answer != 0)
        raise(kFileOperationFailed, {}, u"Unable to copy file: " + std::u16string(source) + u".\r\n" + kCheckSpace);
}

void FileIO::MoveFile(Units source, Units target, bool renameOnCollision) {
    try {
        if (!renameOnCollision) return renamePath(source, target);
        if (copyOrMove(shell::kMove, source, target, shell::kMoveRenaming) == 0) return;
    } catch (...) {
    }
    raise(kFileOperationFailed);
}

bool FileIO::CreateFoldersDeep(Units folderPath) {
    // Ends at a path whose drive is unknown: the parent of a root, a UNC or a relative path.
    if (!sharedPathNames().DriveExists(GetDriveName(folderPath))) return true;
    if (sharedFileInfo().IsDirectory(folderPath)) return true;
    return CreateFoldersDeep(GetParentFolder(folderPath)) && CreateDirectory(folderPath);
}

bool FileIO::CreateDirectory(Units directoryPath) {
    if (sharedFileInfo().IsDirectory(directoryPath)) return false;
    try {
        makeFolder(directoryPath);
        return true;
    } catch (const Error&) {
        return false;
    }
}

bool FileIO::RenameWithDate(Units pathname) {
    FileInfo& info = sharedFileInfo();
    try {
        if (!info.FileExists(pathname)) return true;
        std::u16string candidate =
            DateStampedName(pathname, dateStampOf(info.GetDateLastModified(pathname)), containsText);
        if (info.FileExists(candidate)) {
            const SYSTEMTIME time = timeOf(info.GetDateLastModified(candidate));
            candidate = TimeStampedName(candidate, TimeStamp(time.wHour, time.wMinute, time.wSecond));
            if (info.FileExists(candidate)) return false;
        }
        RenameFile(pathname, candidate);
        return true;
    } catch (const Error& e) {
        return e.number == errFileNotFound;  // the file went away meanwhile
    }
}

void FileIO::RenameFile(Units oldPath, Units newPath) { renamePath(oldPath, newPath); }

FileIO& sharedFileIO() { return com::perThread<FileIO>(); }

HRESULT CServicesFileIO2::DeleteFileToRecycle(BSTR Filename, VARIANT_BOOL Quiet) {
    return traps([&] { io_.DeleteFileToRecycle(com::view(Filename), Quiet); });
}

HRESULT CServicesFileIO2::DeleteDirectoryContents(BSTR* sFilePathSpec, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        *result = com::variantBool(io_.DeleteDirectoryContents(com::view(sFilePathSpec)));
    });
}

HRESULT CServicesFileIO2::DeleteDirectory(BSTR DirectoryPath, VARIANT_BOOL KillBastardZIPHandles,
                                          VARIANT_BOOL* result) {
    return raises(result, [&] {
        *result = VARIANT_FALSE;
        *result = com::variantBool(io_.DeleteDirectory(com::view(DirectoryPath), KillBastardZIPHandles));
    });
}

HRESULT CServicesFileIO2::DeleteFile(BSTR* FilePath, VARIANT_BOOL Force) {
    return traps([&] { io_.DeleteFile(com::view(FilePath), Force); });
}

HRESULT CServicesFileIO2::DeleteDirectoryDeep(BSTR FilePath, VARIANT_BOOL, VARIANT* result) {
    return traps(result, [&] {
        VariantInit(result);  // Empty when something unexpected stops the call
        const bool deleted = io_.DeleteDirectoryDeep(com::view(FilePath));
        result->vt = VT_BOOL;
        result->boolVal = com::variantBool(deleted);
    });
}

HRESULT CServicesFileIO2::DeleteDeep(BSTR FolderPath, BSTR WildCard, VARIANT_BOOL Recurse, VARIANT_BOOL Force) {
    // Recurse has no default: left out, it arrives as the low word of the "parameter not
    // found" code, so only True itself counts.
    const bool recurse = Recurse == VARIANT_TRUE;
    return traps([&] { io_.DeleteDeep(com::view(FolderPath), com::view(WildCard), recurse, Force); });
}

HRESULT CServicesFileIO2::CopyFile(BSTR* SourceFileName, BSTR* TargetFileName) {
    return raises([&] { io_.CopyFile2(com::view(SourceFileName), com::view(TargetFileName), false, true); });
}

HRESULT CServicesFileIO2::MoveFile(BSTR SourceFileName, BSTR TargetFileName, VARIANT_BOOL RenameOnCollision) {
    return raises([&] { io_.MoveFile(com::view(SourceFileName), com::view(TargetFileName), RenameOnCollision); });
}

HRESULT CServicesFileIO2::CopyFile2(BSTR SourceFileName, BSTR TargetFileName, VARIANT_BOOL RenameOnCollision,
                                    VARIANT_BOOL Quiet) {
    return raises(
        [&] { io_.CopyFile2(com::view(SourceFileName), com::view(TargetFileName), RenameOnCollision, Quiet); });
}

HRESULT CServicesFileIO2::CreateFoldersDeep(BSTR FolderPath, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        *result = com::variantBool(io_.CreateFoldersDeep(com::view(FolderPath)));
    });
}

HRESULT CServicesFileIO2::CreateDirectory(BSTR* DirectoryPath, VARIANT_BOOL, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        *result = com::variantBool(io_.CreateDirectory(com::view(DirectoryPath)));
    });
}

HRESULT CServicesFileIO2::RenameWithDate(BSTR* Pathname, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        *result = com::variantBool(io_.RenameWithDate(com::view(Pathname)));
    });
}

HRESULT CServicesFileIO2::RenameFile(BSTR* OldPath, BSTR* NewPath) {
    return raises([&] { io_.RenameFile(com::view(OldPath), com::view(NewPath)); });
}

}  // namespace lark::files
