// CVersion: the version resource of one executable file (program, library, driver, font), read
// once by Create and then answered from as numbers, words and string-table entries.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"
#include "sysinfo/version_text.hpp"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lark::sysinfo {

class CVersion final : public com::Object<_CVersion> {
public:
    HRESULT STDMETHODCALLTYPE Create(BSTR* sExeNameA) override;
    HRESULT STDMETHODCALLTYPE put_ExeName(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_ExeName(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_FullFileVersion(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_FullProductVersion(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_FileVersionMajor(LONG* result) override;
    HRESULT STDMETHODCALLTYPE get_FileVersionMinor(LONG* result) override;
    HRESULT STDMETHODCALLTYPE get_ProductVersionMajor(LONG* result) override;
    HRESULT STDMETHODCALLTYPE get_ProductVersionMinor(LONG* result) override;
    HRESULT STDMETHODCALLTYPE get_BuildOptions(LONG* result) override;
    HRESULT STDMETHODCALLTYPE get_BuildString(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_Environment(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_ExeType(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_TimeStamp(DATE* result) override;
    HRESULT STDMETHODCALLTYPE get_Company(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_Comments(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_Description(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_ProductVersionString(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_FileVersionString(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_InternalName(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_Copyright(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_Trademarks(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_OriginalFilename(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_PrivateBuild(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_ProductName(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_ProductVersion(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_SpecialBuild(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_Custom(BSTR* sCustom, BSTR* result) override;

    // The library's own lookups, each on a new instance, use these directly: Create's work (its
    // errors raised as Create raises them), FullFileVersion, and an entry of the first
    // translation's string table ("" when not loaded or missing).
    void read(std::u16string_view exeName);
    std::u16string fullFileVersion() const;
    std::u16string entry(std::u16string_view name);

private:
    void clearVersionData();
    bool loaded() const { return block_.has_value(); }
    // The value at path in the block, cut at the block's end; nullopt when the platform has none.
    std::optional<std::span<const std::byte>> query(std::u16string_view path);
    HRESULT quietEntry(BSTR* result, std::u16string_view name);

    std::u16string fileName_;
    std::optional<std::vector<std::byte>> block_;  // allocated: loaded
    FixedFileInfo fixed_;
    std::u16string prefix_;  // kept across resets, as the last translation read left it
};

}  // namespace lark::sysinfo
