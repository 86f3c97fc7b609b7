// CServicesFileUtilities2: collision-free names, temporary files and folders, and the markers
// that delete what was marked when the object goes. (Its dialog, shortcut and text-file members
// are not part of this class yet.) FileUtilities is the implementation; the other file classes
// share one per thread for UniqueFilePath.
#pragma once

#include "LARKLIB8.h"
#include "files/unique_names.hpp"
#include "frame/collection.hpp"
#include "frame/object.hpp"

#include <string>
#include <string_view>

namespace lark::files {

using Units = std::u16string_view;

// The library's pseudo-random generator on this thread: GetTemporaryFilePath seeds it,
// VerifyFolderWriteAccess draws from it too.
PseudoRandom& sharedRandom();

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

private:
    std::u16string temporaryFolder_;            // ends in '\'; looked up on the first GetTemporaryFilePath
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

private:
    FileUtilities utilities_;
};

}  // namespace lark::files
