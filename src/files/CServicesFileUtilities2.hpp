// CServicesFileUtilities2: collision-free names, temporary files and folders, the markers that
// delete what was marked when the object goes, and the everyday chores of an application: file
// dialogs that remember the last folder, a folder picker, Internet shortcuts, folder listings and
// whole text files. FileUtilities is the implementation; the other file classes share one per
// thread for UniqueFilePath.
#pragma once

#include "LARKLIB8.h"
#include "files/unique_names.hpp"
#include "frame/collection.hpp"
#include "frame/object.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace lark::files {

using Units = std::u16string_view;

// The library's pseudo-random generator on this thread: GetTemporaryFilePath seeds it,
// VerifyFolderWriteAccess draws from it too.
PseudoRandom& sharedRandom();

struct FileDialogKind;

// What a file dialog of the utilities is asked to show.
struct FileDialogRequest {
    Units filter;
    LONG filterIndex = 1;
    Units initialDirectory;  // "" for the default save path
    Units defaultExtension;
    Units caption;
    LONG owner = 0;
};

class FileUtilities {
public:
    // Raises 99 when the path and its 299 numbered variants all exist.
    std::u16string UniqueFilePath(Units proposed);
    // A free "~RDxxxx" name with the extension, or, without one, a new empty file made by the
    // platform; raises when the temporary folder cannot be had.
    std::u16string GetTemporaryFilePath(Units extension);
    // The marker's deletion runs when this object goes, or at once when the path is marked
    // already (the later marker is released on the spot).
    void MarkTemporaryFile(Units filePath, bool isDirectory, bool deleteContents, bool recurse);
    // A new folder under a free name; "" when none can be made.
    std::u16string UniqueTempFolder(Units suggestedPath, bool markForDeletion);

    // The file dialogs: the path or paths chosen, whose folder becomes the default save path.
    // A cancelled dialog raises its cancel error.
    std::u16string SaveAsDialog(const FileDialogRequest& request, Units defaultName);
    std::u16string OpenDialog(const FileDialogRequest& request);
    std::vector<std::u16string> OpenDialogWithMultiSelect(const FileDialogRequest& request);
    // The Documents folder until a dialog chose a file or a caller set another.
    std::u16string DefaultSavePath();
    void SetDefaultSavePath(Units path) { defaultSavePath_ = path; }
    // "" when cancelled; 260 spaces for a folder outside the file system.
    std::u16string BrowseForFolder(HWND owner, Units prompt, LONG flags);
    // The path of the shortcut file written in the temporary folder.
    std::u16string CreateURLShortCut(Units url, Units locationName);
    // Adds the visible entries of the folder to contents, keyed by their paths.
    void GetDirectoryContents(Units folderPath, com::Collection& contents);
    // Raise when the file cannot be written or read.
    void CreateTextFile(Units filePath, Units contents);
    std::u16string GetTextFileContents(Units filePath);

private:
    // Shows one file dialog through a dialog object made for it; the name it leaves chosen.
    std::u16string showFileDialog(const FileDialogRequest& request, const FileDialogKind& kind, Units defaultName);

    std::u16string temporaryFolder_;            // ends in '\'; looked up on the first GetTemporaryFilePath
    std::u16string defaultSavePath_;            // "" until first read
    com::ComPtr<com::Collection> temporaries_;  // the markers, keyed by path; made on first use
};

// The instance that the library's classes share on this thread.
FileUtilities& sharedFileUtilities();

class CServicesFileUtilities2 final : public com::Object<_CServicesFileUtilities2> {
public:
    HRESULT STDMETHODCALLTYPE GetTemporaryFilePath(BSTR Extension, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE UniqueFilePath(BSTR* sProposedFilePath, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE MarkTemporaryFile(BSTR FilePath, VARIANT_BOOL IsDirectory,
                                                VARIANT_BOOL DeleteDirectoryContents,
                                                VARIANT_BOOL RecurseDirectory) override;
    HRESULT STDMETHODCALLTYPE UniqueTempFolder(BSTR* SuggestedPath, VARIANT_BOOL MarkForDeletion,
                                               BSTR* result) override;
    HRESULT STDMETHODCALLTYPE SaveAsDialog(BSTR* strFilter, LONG* lngFilterIndex, BSTR InitialDirectory,
                                           VARIANT* strDefaultName, BSTR strDefaultExtension, BSTR* strDialogCaption,
                                           LONG hWndParent, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE OpenDialog(BSTR* strFilter, LONG* lngFilterIndex, BSTR InitialDirectory,
                                         BSTR* strDefaultExtension, BSTR* strDialogCaption, LONG hWndParent,
                                         BSTR* result) override;
    HRESULT STDMETHODCALLTYPE OpenDialogWithMultiSelect(BSTR* strFilter, LONG* lngFilterIndex, BSTR InitialDirectory,
                                                        BSTR* strDefaultExtension, BSTR* strDialogCaption,
                                                        LONG hWndParent, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE get_DefaultSavePath(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_DefaultSavePath(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE BrowseForFolder(LONG hWnd, BSTR Prompt, LONG flags, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE CreateURLShortCut(BSTR* strURL, BSTR strLocationName, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE GetDirectoryContents(BSTR FolderPath, _Collection** result) override;
    HRESULT STDMETHODCALLTYPE CreateTextFile(BSTR* FilePath, BSTR* strContents, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE GetTextFileContents(BSTR* sFilePath, BSTR* result) override;

private:
    FileUtilities utilities_;
};

}  // namespace lark::files
