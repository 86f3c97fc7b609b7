// The MDataStructures search and tokenizing functions, on raw UTF-16 code units.
// Portable (no Windows headers). Positions are 1-based code-unit indices. The compare mode is
// 0 binary, 1 text (only the 26 letters a..z fold to A..Z), 2 database; any other value acts
// as binary. Each function's not-found value and argument rules are its contract: see the
// comments below and the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace lark::text {

using Units = std::u16string_view;

inline constexpr int32_t kBinaryCompare = 0;
inline constexpr int32_t kTextCompare = 1;
inline constexpr int32_t kDatabaseCompare = 2;

// The vectors the forward scans use: the widest the build and the processor allow, chosen once.
// The widths this build can use on this processor, narrowest first, and the choice of one of
// them let the tests run every path on one machine. The reverse scans and the tokenizers have
// the 8-unit SSE2 path only.
enum class VectorWidth { scalar, sse2, avx2 };
std::vector<VectorWidth> searchVectorWidths();
void setSearchVectorWidth(VectorWidth width);

// Forward search comparing only the low byte of each code unit; 0 when not found, -1 for a
// negative start. Raises error 5 ("MDataStructures.lrkInstr") for a start of 0.
int32_t lrkInstr(int32_t startPos, Units check, Units match, int32_t compare);

// Backward search; start -1 means the end. 0 when not found or when a compared unit is
// outside 0..255. Raises error 5 ("MDataStructures.lrkInstrRev") for a start of 0 or below -1.
int32_t lrkInstrRev(Units check, Units match, int32_t startPos = -1, int32_t compare = 1);

// Character search forward from startPos; -1 when not found or when the start is invalid.
int32_t lrkInChar(int32_t startPos, Units check, int16_t charMatch, int32_t compare);

// Character search backward from startPos (-1: from the end); -1 when not found or invalid.
int32_t lrkInCharRev(Units check, int16_t charMatch, int32_t compare, int32_t startPos = -1);

// Overwrites, in place, every unit from startPos on that equals charMatch with charReplace.
// Leaves the string alone for an invalid start, mode 2, or a string over 16,383 units.
void lrkReplaceChar(int32_t startPos, std::span<char16_t> check, int16_t charMatch,
                    int16_t charReplace, int32_t compare);

// The unit at position as a signed 16-bit value; 0 outside 1..Len.
int16_t lrkMidAscW(Units check, int32_t position);

// The unit at pos, folded in text mode; 0 outside 1..Len.
int16_t QuickMid(Units check, int32_t pos, int32_t compare);

// One element of a tokenizer's result: a span of the input, in code units.
struct Token {
    size_t offset;
    size_t length;
    friend bool operator==(const Token&, const Token&) = default;
};

// Splits on runs of the delimiter; never yields empty elements. The result is sized once by a
// counting pass.
std::vector<Token> FastTokenize(Units check, int16_t delimiter, int32_t compare);

// FastTokenize, and with handleQuoted a token that starts with a quotation mark runs to the
// next quotation mark before delimiters count again, and is stored without its first and last
// unit. Raises error 5 when such a token is a single unit (it has no inside to keep).
std::vector<Token> FastSplit2(Units check, int16_t delimiter, int32_t compare, bool handleQuoted);

// Same length and lrkInstr(1, a, b, compare) == 1; two empty strings are not equal.
bool IsEqualString(Units a, Units b, int32_t compare);

// The text without one leading and one trailing quotation mark, each end tested on its own.
// Raises error 5 when the remaining length would be negative (a lone quotation mark).
Units StripQuotes(Units text);

// The text without leading and trailing spaces (code 32 only).
Units TrimSpaces(Units text);

}  // namespace lark::text
