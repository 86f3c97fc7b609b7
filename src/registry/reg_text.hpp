// The REGEDIT4 registration-entries text that SaveRegToFile writes, and the rules that turn a
// stored registry value into one of its lines. Portable (no Windows headers): the caller reads
// the registry and decodes ANSI text; these functions only shape the text.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lark::registry {

using Units = std::u16string_view;

// The platform's registry value types that the export tells apart.
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;

// The header line and the empty line after it.
inline constexpr Units kRegHeader = u"REGEDIT4\r\n\r\n";

// What a value's data become in the file.
enum class DataKind { text, number, bytes, none };

// One value as the export lists it: its name ("" for the key's default value) and its data.
struct RegEntry {
    std::u16string name;
    DataKind kind = DataKind::none;
    std::u16string text;
    int32_t number = 0;
    std::vector<uint8_t> bytes;
};

// Decodes bytes of the system ANSI code page; supplied by the caller.
using AnsiDecoder = std::function<std::u16string(std::string_view)>;

// The entry for a value of the stored type with these data bytes: strings lose their closing
// NUL (multi-strings their closing pair), numbers take the first four bytes little-endian, binary
// data stay bytes, every other type has no data. Data too short for their type give the empty
// text or no bytes.
RegEntry regEntry(std::u16string name, uint32_t type, std::span<const uint8_t> data, const AnsiDecoder& decode);

// The 32-bit number of the first four data bytes, little-endian; missing bytes count as 0.
int32_t numberFromData(std::span<const uint8_t> data) noexcept;

// The name of a predefined root key with its closing backslash ("HKEY_CURRENT_USER\"), or ""
// for any other handle value.
Units rootName(uint32_t hKey) noexcept;

// Whether text starts like a drive path ("C:\"; a comma passes for the letter), whose
// backslashes are doubled when it is written.
bool startsLikeDrivePath(Units text) noexcept;

// Appends the key line "[root+path]".
void appendKeyLine(std::u16string& out, uint32_t hKey, Units keyPath);

// Appends the line of one value: "name" or @, "=", and the data by kind.
void appendValueLine(std::u16string& out, const RegEntry& entry);

// Whether file bytes already hold the header word, in any letter case.
bool holdsRegHeader(std::string_view fileBytes) noexcept;

}  // namespace lark::registry
