#include "files/CServicesFileUtilities2.hpp"

#include "files/CServicesFileIO2.hpp"
#include "files/CServicesFileInfo2.hpp"
#include "files/CServicesFileTemporary2.hpp"
#include "files/path_names.hpp"
#include "frame/errors.hpp"
#include "frame/per_thread.hpp"
#include "frame/platform_text.hpp"
#include "frame/raii.hpp"

namespace lark::files {

using com::raises;
using com::traps;

PseudoRandom& sharedRandom() { return com::perThread<PseudoRandom>(); }

std::u16string FileUtilities::UniqueFilePath(Units proposed) {
    return files::UniqueFilePath(proposed,
                                 [](const std::u16string& path) { return sharedFileInfo().FileExists(path); });
}

std::u16string FileUtilities::GetTemporaryFilePath(Units extension) {
    if (temporaryFolder_.empty()) {
        sharedRandom().seed(GetTickCount());
        char buffer[MAX_PATH] = {};
        const DWORD n = GetTempPathA(MAX_PATH, buffer);
        if (n == 0 || n >= MAX_PATH) raise(errPathNotFound);
        temporaryFolder_ = AppendPathSeparator(com::fromAnsi(std::string_view(buffer, n)));
    }
    if (!extension.empty())
        return UniqueFilePath(temporaryFolder_ + RandomTemporaryName(sharedRandom().next(), extension));
    char name[MAX_PATH] = {};
    if (!GetTempFileNameA(com::toAnsi(temporaryFolder_).c_str(), "~RD", 0, name)) raise(errPathAccess);
    return com::fromAnsi(name);
}

void FileUtilities::MarkTemporaryFile(Units filePath, bool isDirectory, bool deleteContents, bool recurse) {
    com::ComPtr<CServicesFileTemporary2> marker = com::makeObject<CServicesFileTemporary2>();
    com::unique_variant key, item, ignored;
    key.vt = VT_BSTR;
    key.bstrVal = com::allocBstr(filePath);
    marker->Initialize(key.bstrVal, com::variantBool(isDirectory), com::variantBool(deleteContents),
                       com::variantBool(recurse), &ignored);
    item.vt = VT_DISPATCH;
    item.pdispVal = static_cast<_CServicesFileTemporary2*>(marker.get());
    item.pdispVal->AddRef();
    if (!temporaries_) temporaries_ = com::makeObject<com::Collection>();
    // A path marked already keeps its first marker; this one goes with `marker`, deleting now.
    temporaries_->Add(&item, &key, nullptr, nullptr);
}

std::u16string FileUtilities::UniqueTempFolder(Units suggestedPath, bool markForDeletion) {
    std::u16string folder(suggestedPath);
    skipOnError([&] { folder = UniqueFilePath(suggestedPath); });
    FileIO& io = sharedFileIO();
    FileInfo& info = sharedFileInfo();
    if (info.IsDirectory(folder)) {
        // Every numbered name is taken: the suggested folder itself is emptied and made anew.
        io.DeleteDirectoryContents(folder + u"\\*.*");
        io.DeleteDirectory(folder, true);
        if (info.IsDirectory(folder)) return u"";
    }
    if (!io.CreateDirectory(folder)) return u"";
    if (markForDeletion) MarkTemporaryFile(folder, true, true, true);
    return folder;
}

FileUtilities& sharedFileUtilities() { return com::perThread<FileUtilities>(); }

HRESULT CServicesFileUtilities2::GetTemporaryFilePath(BSTR Extension, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(utilities_.GetTemporaryFilePath(com::view(Extension)));
    });
}

HRESULT CServicesFileUtilities2::UniqueFilePath(BSTR* sProposedFilePath, BSTR* result) {
    return raises(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(utilities_.UniqueFilePath(com::view(sProposedFilePath)));
    });
}

HRESULT CServicesFileUtilities2::MarkTemporaryFile(BSTR FilePath, VARIANT_BOOL IsDirectory,
                                                   VARIANT_BOOL DeleteDirectoryContents,
                                                   VARIANT_BOOL RecurseDirectory) {
    return traps([&] {
        utilities_.MarkTemporaryFile(com::view(FilePath), IsDirectory, DeleteDirectoryContents, RecurseDirectory);
    });
}

HRESULT CServicesFileUtilities2::UniqueTempFolder(BSTR* SuggestedPath, VARIANT_BOOL MarkForDeletion, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(utilities_.UniqueTempFolder(com::view(SuggestedPath), MarkForDeletion));
    });
}

}  // namespace lark::files
