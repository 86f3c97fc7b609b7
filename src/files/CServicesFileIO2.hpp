// CServicesFileIO2: deleting, copying, moving, renaming and creating files and folders, through
// the kernel, the shell's file operations and the library's own file primitives. FileIO is the
// implementation, shared per thread by the temporary-file markers.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"

#include <string>
#include <string_view>

namespace lark::files {

using Units = std::u16string_view;

class FileIO {
public:
    void DeleteFileToRecycle(Units filename, bool quiet);
    // True when every matching file went, or nothing matched.
    bool DeleteDirectoryContents(Units filePathSpec);
    // Raises only from the recovery of a folder held open (error 75 with killZipHandles).
    bool DeleteDirectory(Units directoryPath, bool killZipHandles);
    void DeleteFile(Units filePath, bool force);
    bool DeleteDirectoryDeep(Units filePath);
    void DeleteDeep(Units folderPath, Units wildCard, bool recurse, bool force);
    void CopyFile2(Units source, Units target, bool renameOnCollision, bool quiet);
    void MoveFile(Units source, Units target, bool renameOnCollision);
    bool CreateFoldersDeep(Units folderPath);
    bool CreateDirectory(Units directoryPath);
    bool RenameWithDate(Units pathname);
    // Raises 58 when the target exists, 53 when the source is missing, 75 when access is denied.
    void RenameFile(Units oldPath, Units newPath);
};

// The instance that the library's classes share on this thread.
FileIO& sharedFileIO();

// Whether a deleting operation may take the path as a whole: fully qualified, naming one entry
// below a root, without wildcards or "." and ".." components (no spelling of a root passes).
bool NamesOneEntry(Units path);

class CServicesFileIO2 final : public com::Object<_CServicesFileIO2> {
public:
    HRESULT STDMETHODCALLTYPE DeleteFileToRecycle(BSTR Filename, VARIANT_BOOL Quiet) override;
    HRESULT STDMETHODCALLTYPE DeleteDirectoryContents(BSTR* sFilePathSpec, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE DeleteDirectory(BSTR DirectoryPath, VARIANT_BOOL KillBastardZIPHandles,
                                              VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE DeleteFile(BSTR* FilePath, VARIANT_BOOL Force) override;
    HRESULT STDMETHODCALLTYPE DeleteDirectoryDeep(BSTR FilePath, VARIANT_BOOL KillBastardZIPHandles,
                                                  VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE DeleteDeep(BSTR FolderPath, BSTR WildCard, VARIANT_BOOL Recurse,
                                         VARIANT_BOOL Force) override;
    HRESULT STDMETHODCALLTYPE CopyFile(BSTR* SourceFileName, BSTR* TargetFileName) override;
    HRESULT STDMETHODCALLTYPE MoveFile(BSTR SourceFileName, BSTR TargetFileName,
                                       VARIANT_BOOL RenameOnCollision) override;
    HRESULT STDMETHODCALLTYPE CopyFile2(BSTR SourceFileName, BSTR TargetFileName, VARIANT_BOOL RenameOnCollision,
                                        VARIANT_BOOL Quiet) override;
    HRESULT STDMETHODCALLTYPE CreateFoldersDeep(BSTR FolderPath, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE CreateDirectory(BSTR* DirectoryPath, VARIANT_BOOL EchoMessage,
                                              VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE RenameWithDate(BSTR* Pathname, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE RenameFile(BSTR* OldPath, BSTR* NewPath) override;

private:
    FileIO io_;
};

}  // namespace lark::files
