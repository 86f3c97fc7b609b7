#include "files/CServicesFileUtilities2.hpp"

#include "files/CServicesFileIO2.hpp"
#include "files/CServicesFileInfo2.hpp"
#include "files/CServicesFileTemporary2.hpp"
#include "files/ShellFolders.hpp"
#include "files/file_utilities.hpp"
#include "files/path_names.hpp"
#include "frame/arrays.hpp"
#include "frame/errors.hpp"
#include "frame/filled_string.hpp"
#include "frame/per_thread.hpp"
#include "frame/platform_text.hpp"
#include "frame/raii.hpp"
#include "ui/CCommonDialog2.hpp"

#include <limits>

namespace lark::files {

using com::raises;
using com::traps;
using ui::CCommonDialog2;

// What sets the three file dialogs apart: the dialog object's flags, whether it saves, and the
// longest name it may take (0: the dialog object's own).
struct FileDialogKind {
    LONG flags;
    bool save;
    LONG maxFileSize;
};

namespace {

// OFN_OVERWRITEPROMPT, OFN_HIDEREADONLY, OFN_PATHMUSTEXIST, OFN_NOREADONLYRETURN.
constexpr FileDialogKind kSaveAs{0x8806, true, 0};
// OFN_HIDEREADONLY, OFN_PATHMUSTEXIST, OFN_FILEMUSTEXIST; the second also OFN_ALLOWMULTISELECT
// and OFN_EXPLORER.
constexpr FileDialogKind kOpen{0x1804, false, 0};
constexpr FileDialogKind kOpenMany{0x81A04, false, 32767};

void letText(CCommonDialog2& dialog, HRESULT (STDMETHODCALLTYPE CCommonDialog2::*let)(BSTR), Units text) {
    const com::unique_bstr value(com::allocBstr(text));
    com::check((dialog.*let)(value.get()));
}

// A file of the caller's, named in the ANSI code page as every file of the file classes is.
com::unique_hfile openFile(Units path, DWORD access, DWORD disposition) {
    if (path.find(u'\0') != Units::npos) raise(errBadFileName);
    com::unique_hfile file(CreateFileA(com::toAnsi(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) raise(errPathAccess);
    return file;
}

// Writes text in the ANSI code page as the whole new content of the file.
void writeAnsiFile(Units path, Units text) {
    const com::unique_hfile file = openFile(path, GENERIC_WRITE, CREATE_ALWAYS);
    const std::string bytes = com::toAnsi(text);
    DWORD written = 0;
    if (bytes.size() > std::numeric_limits<DWORD>::max() ||
        !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        raise(errPathAccess);
}

std::u16string readAnsiFile(Units path) {
    const com::unique_hfile file = openFile(path, GENERIC_READ, OPEN_EXISTING);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > std::numeric_limits<int32_t>::max()) raise(errPathAccess);
    const std::string bytes = lark::filledString<char>(static_cast<size_t>(size.QuadPart), [&](char* out) {
        DWORD got = 0;
        if (!ReadFile(file.get(), out, static_cast<DWORD>(size.QuadPart), &got, nullptr)) raise(errPathAccess);
        return static_cast<size_t>(got);
    });
    return com::fromAnsi(bytes);
}

// Adds text under a key; raises when the key is taken.
void addKeyed(com::Collection& collection, Units text, Units key) {
    com::unique_variant item, name;
    item.vt = name.vt = VT_BSTR;
    item.bstrVal = com::allocBstr(text);
    name.bstrVal = com::allocBstr(key);
    com::check(collection.Add(&item, &name, nullptr, nullptr));
}

}  // namespace

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

std::u16string FileUtilities::showFileDialog(const FileDialogRequest& request, const FileDialogKind& kind,
                                             Units defaultName) {
    const com::ComPtr<CCommonDialog2> object = com::makeObject<CCommonDialog2>();
    CCommonDialog2& dialog = *object.get();
    const std::u16string start =
        request.initialDirectory.empty() ? DefaultSavePath() : std::u16string(request.initialDirectory);
    letText(dialog, &CCommonDialog2::put_DialogTitle, request.caption);
    com::check(dialog.put_CancelError(VARIANT_TRUE));
    letText(dialog, &CCommonDialog2::put_Filter, request.filter);
    com::check(dialog.put_FilterIndex(request.filterIndex));
    letText(dialog, &CCommonDialog2::put_InitDir, start);
    letText(dialog, &CCommonDialog2::put_Filename, defaultName);
    letText(dialog, &CCommonDialog2::put_DefaultExt, request.defaultExtension);
    if (kind.maxFileSize) com::check(dialog.put_MaxFileSize(kind.maxFileSize));
    com::check(dialog.put_hWnd(request.owner));
    com::check(dialog.put_flags(kind.flags));
    com::check(kind.save ? dialog.ShowSave() : dialog.ShowOpen());
    com::unique_bstr chosen;
    com::check(dialog.get_Filename(chosen.put()));
    return std::u16string(com::view(chosen.get()));
}

std::u16string FileUtilities::SaveAsDialog(const FileDialogRequest& request, Units defaultName) {
    FileDialogRequest save = request;
    save.defaultExtension = WithoutLeadingDot(request.defaultExtension);
    const std::u16string chosen = showFileDialog(save, kSaveAs, defaultName);
    if (!chosen.empty()) defaultSavePath_ = PathFromFullPath(chosen);
    return chosen;
}

std::u16string FileUtilities::OpenDialog(const FileDialogRequest& request) {
    const std::u16string chosen = showFileDialog(request, kOpen, u"");
    if (!chosen.empty()) defaultSavePath_ = PathFromFullPath(chosen);
    return chosen;
}

std::vector<std::u16string> FileUtilities::OpenDialogWithMultiSelect(const FileDialogRequest& request) {
    std::vector<std::u16string> chosen = SelectedPaths(showFileDialog(request, kOpenMany, u""));
    if (!chosen.empty()) defaultSavePath_ = PathFromFullPath(chosen.front());
    return chosen;
}

std::u16string FileUtilities::DefaultSavePath() {
    if (defaultSavePath_.empty()) defaultSavePath_ = sharedShellFolders().DocumentsPath();
    return defaultSavePath_;
}

std::u16string FileUtilities::BrowseForFolder(HWND owner, Units prompt, LONG flags) {
    const std::string title = com::toAnsi(prompt);
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = static_cast<UINT>(flags);
    const com::unique_pidl chosen(SHBrowseForFolderA(&info));
    if (!chosen) return u"";
    // A folder outside the file system leaves the path buffer as it was made.
    return FileSystemPath(chosen.get()).value_or(std::u16string(MAX_PATH, u' '));
}

std::u16string FileUtilities::CreateURLShortCut(Units url, Units locationName) {
    std::u16string path = GetTemporaryFilePath(u".url");
    if (!locationName.empty()) {
        path = temporaryFolder_ + ShortcutFileName(locationName);
        // The shortcut made before under this name is kept in the recycle bin.
        if (sharedFileInfo().FileExists(path) && !sharedFileInfo().IsDirectory(path))
            sharedFileIO().DeleteFileToRecycle(path, true);
    }
    writeAnsiFile(path, InternetShortcutText(url));
    return path;
}

void FileUtilities::GetDirectoryContents(Units folderPath, com::Collection& contents) {
    const std::u16string folder = AppendPathSeparator(folderPath);
    if (!sharedFileInfo().IsDirectory(folder)) return;
    WIN32_FIND_DATAA found{};
    const com::unique_hfind search(FindFirstFileA(com::toAnsi(folder + u"*.*").c_str(), &found));
    if (!search) return;
    do {
        if (found.cFileName[0] == '.' || (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN)) continue;
        const std::u16string name = com::fromAnsi(found.cFileName);
        skipOnError([&] { addKeyed(contents, name, folder + name); });
    } while (FindNextFileA(search.get(), &found));
}

void FileUtilities::CreateTextFile(Units filePath, Units contents) {
    writeAnsiFile(filePath, std::u16string(contents) + u"\r\n");
}

std::u16string FileUtilities::GetTextFileContents(Units filePath) { return readAnsiFile(filePath); }

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

namespace {

FileDialogRequest dialogRequest(BSTR* filter, const LONG* filterIndex, BSTR initialDirectory,
                                std::u16string_view defaultExtension, BSTR* caption, LONG owner) {
    return {.filter = com::view(filter),
            .filterIndex = filterIndex ? *filterIndex : 1,
            .initialDirectory = com::view(initialDirectory),
            .defaultExtension = defaultExtension,
            .caption = com::view(caption),
            .owner = owner};
}

// A text result, "" when the work fails.
template <class Work>
HRESULT text(BSTR* result, Work&& work) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(work());
    });
}

}  // namespace

// None of the chores raises: a dialog cancelled or failed gives "" (or no array), the others
// "", False or the entries found so far.
HRESULT CServicesFileUtilities2::SaveAsDialog(BSTR* strFilter, LONG* lngFilterIndex, BSTR InitialDirectory,
                                              VARIANT* strDefaultName, BSTR strDefaultExtension, BSTR* strDialogCaption,
                                              LONG hWndParent, BSTR* result) {
    return text(result, [&] {
        com::unique_variant name;
        com::check(VariantChangeType(&name, strDefaultName, 0, VT_BSTR));
        return utilities_.SaveAsDialog(dialogRequest(strFilter, lngFilterIndex, InitialDirectory,
                                                     com::view(strDefaultExtension), strDialogCaption, hWndParent),
                                       com::view(name.bstrVal));
    });
}

HRESULT CServicesFileUtilities2::OpenDialog(BSTR* strFilter, LONG* lngFilterIndex, BSTR InitialDirectory,
                                            BSTR* strDefaultExtension, BSTR* strDialogCaption, LONG hWndParent,
                                            BSTR* result) {
    return text(result, [&] {
        return utilities_.OpenDialog(dialogRequest(strFilter, lngFilterIndex, InitialDirectory,
                                                   com::view(strDefaultExtension), strDialogCaption, hWndParent));
    });
}

HRESULT CServicesFileUtilities2::OpenDialogWithMultiSelect(BSTR* strFilter, LONG* lngFilterIndex, BSTR InitialDirectory,
                                                           BSTR* strDefaultExtension, BSTR* strDialogCaption,
                                                           LONG hWndParent, SAFEARRAY** result) {
    return traps(result, [&] {
        *result = nullptr;
        const std::vector<std::u16string> chosen = utilities_.OpenDialogWithMultiSelect(dialogRequest(
            strFilter, lngFilterIndex, InitialDirectory, com::view(strDefaultExtension), strDialogCaption, hWndParent));
        if (chosen.empty()) return;
        com::unique_safearray paths = com::newStringVector(chosen.size(), 1);
        {
            const com::StringVectorAccess access(paths.get());
            for (size_t i = 0; i < chosen.size(); ++i)
                access.elements()[i] = com::allocBstr(chosen[i]);
        }
        *result = paths.release();
    });
}

HRESULT CServicesFileUtilities2::get_DefaultSavePath(BSTR* result) {
    return text(result, [&] { return utilities_.DefaultSavePath(); });
}

HRESULT CServicesFileUtilities2::put_DefaultSavePath(BSTR RHS) {
    return traps([&] { utilities_.SetDefaultSavePath(com::view(RHS)); });
}

HRESULT CServicesFileUtilities2::BrowseForFolder(LONG hWnd, BSTR Prompt, LONG flags, BSTR* result) {
    return text(result, [&] { return utilities_.BrowseForFolder(com::windowHandle(hWnd), com::view(Prompt), flags); });
}

HRESULT CServicesFileUtilities2::CreateURLShortCut(BSTR* strURL, BSTR strLocationName, BSTR* result) {
    return text(result, [&] { return utilities_.CreateURLShortCut(com::view(strURL), com::view(strLocationName)); });
}

HRESULT CServicesFileUtilities2::GetDirectoryContents(BSTR FolderPath, _Collection** result) {
    return traps(result, [&] {
        *result = nullptr;
        const com::ComPtr<com::Collection> contents = com::makeObject<com::Collection>();
        *result = contents.query<_Collection>().detach();
        utilities_.GetDirectoryContents(com::view(FolderPath), *contents.get());
    });
}

HRESULT CServicesFileUtilities2::CreateTextFile(BSTR* FilePath, BSTR* strContents, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        utilities_.CreateTextFile(com::view(FilePath), com::view(strContents));
        *result = VARIANT_TRUE;
    });
}

HRESULT CServicesFileUtilities2::GetTextFileContents(BSTR* sFilePath, BSTR* result) {
    return text(result, [&] { return utilities_.GetTextFileContents(com::view(sFilePath)); });
}

}  // namespace lark::files
