// CServicesFileInfo2: existence, kind, dates, shell names and write access of files and
// folders, INI values, and the interactive wait for a file in use. FileInfo is the
// implementation, shared per thread by the other file classes for their existence tests.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lark::files {

using Units = std::u16string_view;

// Message-box results of ConfirmFileAvailableForWriting.
inline constexpr int32_t kAnswerOk = 1, kAnswerCancel = 2;

class FileInfo {
public:
    std::u16string GetDisplayName(Units filePath);
    std::u16string GetTypeName(Units filePath);
    // A missing section or key (as opposed to an empty one) asks for the list of names.
    std::u16string GetItemFromINIFile(std::optional<Units> section, std::optional<Units> key, Units defaultValue,
                                      Units iniFile);
    bool IsDirectory(Units path);
    // Local time, whole seconds; the Date 0 when nothing is found.
    DATE GetDateLastModified(Units filePath);
    bool FileExists(Units filePath);
    bool FileAvailableForWriting(Units filePath);
    bool VerifyFileWriteAccess(Units filePath);
    bool VerifyFolderWriteAccess(Units folderPath);
    int32_t ConfirmFileAvailableForWriting(Units filePath);
};

// The instance that the library's classes share on this thread.
FileInfo& sharedFileInfo();

class CServicesFileInfo2 final : public com::Object<_CServicesFileInfo2> {
public:
    HRESULT STDMETHODCALLTYPE GetDisplayName(BSTR* sFilePath, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE GetTypeName(BSTR* sFilePath, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE GetItemFromINIFile(BSTR* lpSectionName, BSTR* lpKeyName, BSTR* DefaultValue,
                                                 BSTR* iniFile, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE IsDirectory(BSTR* Pathname, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE GetDateLastModified(BSTR* FilePath, DATE* result) override;
    HRESULT STDMETHODCALLTYPE DirectoryExists(BSTR* DirectoryPath, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE FileExists(BSTR* FilePath, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE FileAvailableForWriting(BSTR* FilePath, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE VerifyFileWriteAccess(BSTR* FilePath, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE VerifyFolderWriteAccess(BSTR* FolderPath, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ConfirmFileAvailableForWriting(BSTR* FilePath, LONG* result) override;

private:
    FileInfo info_;
};

}  // namespace lark::files
