#include "files/CServicesFileTemporary2.hpp"

#include "files/CServicesFileIO2.hpp"
#include "files/file_operations.hpp"
#include "frame/errors.hpp"
#include "frame/raii.hpp"

namespace lark::files {

using com::raises;

// Each step's failure is skipped: a path that cannot be deleted stays, and nobody is told.
CServicesFileTemporary2::~CServicesFileTemporary2() {
    FileIO& io = sharedFileIO();
    if (!isFolder_) {
        skipOnError([&] { io.DeleteFile(path_, false); });
    } else if (deleteContents_ && recurse_) {
        skipOnError([&] { io.DeleteDirectoryDeep(path_); });
    } else if (deleteContents_) {
        // Only the files directly inside; the folder goes when no sub-folder is left.
        skipOnError([&] {
            if (NamesOneEntry(path_)) io.DeleteDirectoryContents(path_ + u"\\*.*");
        });
        skipOnError([&] { io.DeleteDirectory(path_, true); });
    }
}

HRESULT CServicesFileTemporary2::Initialize(BSTR FilePath, VARIANT_BOOL IsDirectory,
                                            VARIANT_BOOL DeleteDirectoryContents, VARIANT_BOOL RecurseDirectory,
                                            VARIANT* result) {
    return raises(result, [&] {
        VariantInit(result);
        path_ = WithoutTrailingSeparator(com::view(FilePath));
        isFolder_ = IsDirectory;
        deleteContents_ = DeleteDirectoryContents;
        recurse_ = RecurseDirectory;
    });
}

HRESULT CServicesFileTemporary2::get_Self(_CServicesFileTemporary2** result) {
    if (!result) return E_POINTER;
    *result = this;
    AddRef();
    return S_OK;
}

}  // namespace lark::files
