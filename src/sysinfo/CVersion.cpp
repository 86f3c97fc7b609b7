#include "sysinfo/CVersion.hpp"

#include "frame/errors.hpp"
#include "frame/platform_text.hpp"
#include "frame/raii.hpp"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace lark::sysinfo {

using com::raises;
using com::traps;

namespace {

// Create reports the platform's own code as the error number, with no text of its own. A
// failure that comes without a code is error 5, which is what raising number 0 amounts to.
[[noreturn]] void raiseLastError(DWORD code = GetLastError()) {
    raise(code == ERROR_SUCCESS ? errInvalidCall : static_cast<int32_t>(code));
}

// Every property is quiet: missing data give "", 0 or the zero date, never an error.
template <class Text>
HRESULT quietText(BSTR* result, Text text) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(text());
    });
}

HRESULT quietLong(LONG* result, uint32_t value) {
    return traps(result, [&] { *result = static_cast<LONG>(value); });
}

}  // namespace

void CVersion::clearVersionData() {
    fileName_.clear();
    block_.reset();
    fixed_ = FixedFileInfo{};
}

std::optional<std::span<const std::byte>> CVersion::query(std::u16string_view path) {
    const std::string ansi = com::toAnsi(path);
    void* value = nullptr;
    UINT length = 0;
    // The platform may convert a wide value into the block's spare room, so the block is lent
    // writable.
    if (!VerQueryValueA(block_->data(), ansi.c_str(), &value, &length)) return std::nullopt;
    return insideBlock(*block_, value, length);
}

void CVersion::read(std::u16string_view exeName) {
    if (loaded()) clearVersionData();
    const std::string name = com::toAnsi(exeName);
    DWORD unused = 0;
    SetLastError(ERROR_SUCCESS);
    const DWORD size = GetFileVersionInfoSizeA(name.c_str(), &unused);
    if (size == 0) {
        // Nothing to read and nothing reported: the instance just stays empty.
        if (DWORD code = GetLastError()) raiseLastError(code);
        return;
    }
    block_.emplace(size);
    if (!GetFileVersionInfoA(name.c_str(), 0, size, block_->data())) raiseLastError();
    std::optional<std::span<const std::byte>> fixed = query(u"\\");
    if (!fixed) raiseLastError();
    fixed_ = fixedFileInfoFrom(*fixed);
    std::optional<std::span<const std::byte>> translations = query(u"\\VarFileInfo\\Translation");
    if (!translations) raiseLastError();
    if (translations->empty()) {
        clearVersionData();
        return;
    }
    uint32_t first = 0;
    std::memcpy(&first, translations->data(), std::min(translations->size(), sizeof first));
    prefix_ = stringTablePrefix(first);
    fileName_ = exeName;
}

std::u16string CVersion::entry(std::u16string_view name) {
    if (!loaded()) return {};
    std::optional<std::span<const std::byte>> value = query(prefix_ + std::u16string(name));
    if (!value) return {};
    return com::fromAnsi(untilNull({reinterpret_cast<const char*>(value->data()), value->size()}));
}

HRESULT CVersion::quietEntry(BSTR* result, std::u16string_view name) {
    return quietText(result, [&] { return entry(name); });
}

HRESULT CVersion::Create(BSTR* sExeNameA) {
    return raises([&] { read(com::view(sExeNameA)); });
}

HRESULT CVersion::put_ExeName(BSTR RHS) {
    return raises([&] {
        clearVersionData();
        read(com::view(RHS));
    });
}

HRESULT CVersion::get_ExeName(BSTR* result) {
    return quietText(result, [&] { return fileName_; });
}

std::u16string CVersion::fullFileVersion() const {
    return loaded() ? fourPartVersion(fixed_.fileVersionMS, fixed_.fileVersionLS) : std::u16string();
}

HRESULT CVersion::get_FullFileVersion(BSTR* result) {
    return quietText(result, [&] { return fullFileVersion(); });
}

HRESULT CVersion::get_FullProductVersion(BSTR* result) {
    return quietText(result, [&] {
        return loaded() ? fourPartVersion(fixed_.productVersionMS, fixed_.productVersionLS) : std::u16string();
    });
}

HRESULT CVersion::get_FileVersionMajor(LONG* result) { return quietLong(result, fixed_.fileVersionMS); }
HRESULT CVersion::get_FileVersionMinor(LONG* result) { return quietLong(result, fixed_.fileVersionLS); }
HRESULT CVersion::get_ProductVersionMajor(LONG* result) { return quietLong(result, fixed_.productVersionMS); }
HRESULT CVersion::get_ProductVersionMinor(LONG* result) { return quietLong(result, fixed_.productVersionLS); }
HRESULT CVersion::get_BuildOptions(LONG* result) { return quietLong(result, fixed_.fileFlags); }

HRESULT CVersion::get_BuildString(BSTR* result) {
    return quietText(result, [&] { return loaded() ? buildFlagsText(fixed_.fileFlags) : std::u16string(); });
}

HRESULT CVersion::get_Environment(BSTR* result) {
    return quietText(result, [&] { return loaded() ? environmentText(fixed_.fileOS) : std::u16string(); });
}

HRESULT CVersion::get_ExeType(BSTR* result) {
    return quietText(result,
                     [&] { return loaded() ? fileTypeText(fixed_.fileType, fixed_.fileSubtype) : std::u16string(); });
}

// The file date of the fixed record is kept but not reported: the time stamp is the zero date.
HRESULT CVersion::get_TimeStamp(DATE* result) {
    return traps(result, [&] { *result = 0.0; });
}

HRESULT CVersion::get_Company(BSTR* result) { return quietEntry(result, u"CompanyName"); }
HRESULT CVersion::get_Comments(BSTR* result) { return quietEntry(result, u"Comments"); }
HRESULT CVersion::get_Description(BSTR* result) { return quietEntry(result, u"FileDescription"); }
HRESULT CVersion::get_ProductVersionString(BSTR* result) { return quietEntry(result, u"ProductVersion"); }
HRESULT CVersion::get_FileVersionString(BSTR* result) { return quietEntry(result, u"FileVersion"); }
HRESULT CVersion::get_InternalName(BSTR* result) { return quietEntry(result, u"InternalName"); }
HRESULT CVersion::get_Copyright(BSTR* result) { return quietEntry(result, u"LegalCopyright"); }
HRESULT CVersion::get_Trademarks(BSTR* result) { return quietEntry(result, u"LegalTradeMarks"); }
HRESULT CVersion::get_OriginalFilename(BSTR* result) { return quietEntry(result, u"OriginalFilename"); }
HRESULT CVersion::get_PrivateBuild(BSTR* result) { return quietEntry(result, u"PrivateBuild"); }
HRESULT CVersion::get_ProductName(BSTR* result) { return quietEntry(result, u"ProductName"); }
HRESULT CVersion::get_ProductVersion(BSTR* result) { return quietEntry(result, u"ProductVersion"); }
HRESULT CVersion::get_SpecialBuild(BSTR* result) { return quietEntry(result, u"SpecialBuild"); }
HRESULT CVersion::get_Custom(BSTR* sCustom, BSTR* result) { return quietEntry(result, com::view(sCustom)); }

}  // namespace lark::sysinfo
