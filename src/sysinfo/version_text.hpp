// What a version resource says, in words: the fixed record's numbers, flags, target system and
// file type as CVersion reports them, and where its string table lives. Portable, so every
// value can be checked on the host whatever files the platform happens to have.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace lark::sysinfo {

// The fixed file-information record of a version block, field by field in its stored order.
struct FixedFileInfo {
    uint32_t signature = 0;
    uint32_t strucVersion = 0;
    uint32_t fileVersionMS = 0;
    uint32_t fileVersionLS = 0;
    uint32_t productVersionMS = 0;
    uint32_t productVersionLS = 0;
    uint32_t fileFlagsMask = 0;
    uint32_t fileFlags = 0;
    uint32_t fileOS = 0;
    uint32_t fileType = 0;
    uint32_t fileSubtype = 0;
    uint32_t fileDateMS = 0;
    uint32_t fileDateLS = 0;
};
inline constexpr size_t fixedFileInfoSize = 52;
static_assert(sizeof(FixedFileInfo) == fixedFileInfoSize);

// The record from the bytes the platform pointed at; fields the bytes do not reach stay 0.
FixedFileInfo fixedFileInfoFrom(std::span<const std::byte> bytes) noexcept;

// "major.minor.build.revision" from the two halves; each word is signed, so 65,535 is "-1".
std::u16string fourPartVersion(uint32_t ms, uint32_t ls);

// The set flag bits in words, each followed by one blank ("Debug SpecialBuild ").
std::u16string buildFlagsText(uint32_t fileFlags);

// The target system: the low word names the system, the high word what it runs under.
std::u16string environmentText(uint32_t fileOS);

// "Application", "Dynamic Link Library", "Driver:Printer", "Font:TrueType", ..., "Unknown".
std::u16string fileTypeText(uint32_t fileType, uint32_t fileSubtype);

// value in upper-case hexadecimal, zero-padded on the left and cut to its last digits.
std::u16string hexPadded(uint32_t value, size_t digits);

// "\StringFileInfo\" + language + code page + "\" from the first entry of the translation
// table (the language in the low word, the code page in the high word).
std::u16string stringTablePrefix(uint32_t firstTranslation);

// The part of a value before its first NUL.
std::string_view untilNull(std::string_view text) noexcept;

// The bytes from address on, at most length of them and never past the end of block; empty
// when address does not point into block.
std::span<const std::byte> insideBlock(std::span<const std::byte> block, const void* address, size_t length) noexcept;

}  // namespace lark::sysinfo
