#include "files/path_names.hpp"

#include <algorithm>
#include <span>

#include "text/strings.hpp"

namespace lark::files {

using text::kBinaryCompare;
using text::kTextCompare;

namespace {

constexpr char16_t kBackslash = u'\\';
constexpr char16_t kSlash = u'/';
constexpr char16_t kDot = u'.';
constexpr char16_t kPercent = u'%';
constexpr size_t kMaxFileName = 259;  // the platform's path limit less its NUL

// In this order: the printable ones, then the control codes (CR and LF twice), then NUL.
constexpr char16_t kInvalidChars[] = {u'\\', u'/', u':', u'*', u'?', u'"', u'<', u'>', u'|',
                                      13,    10,   9,    11,   12,   8,    13,   10,   0};

int16_t unit(char16_t c) { return static_cast<int16_t>(c); }

Units left(Units s, int32_t count) { return s.substr(0, static_cast<size_t>(std::max(count, 0))); }
Units after(Units s, int32_t pos) { return s.substr(static_cast<size_t>(pos)); }

int16_t lastUnit(Units s) { return text::lrkMidAscW(s, static_cast<int32_t>(s.size())); }

bool isSeparator(int16_t c) { return c == unit(kBackslash) || c == unit(kSlash); }

// Position of the last c (full 16-bit compare), 0 when there is none.
int32_t lastOf(Units s, char16_t c) { return std::max(text::lrkInCharRev(s, unit(c), kBinaryCompare), 0); }

// lrkInstrRev for one character in text mode: the last c, 0 when there is none or when a unit
// above 255 comes first.
int32_t lastOfText(Units s, char16_t c, int32_t startPos = -1) {
    const char16_t match[1] = {c};
    return text::lrkInstrRev(s, Units(match, 1), startPos, kTextCompare);
}

// Whether s begins with prefix under lrkInstr's text rule. Only the first prefix.size() units
// of s can take part in a match at position 1, so only they are searched.
bool startsWithText(Units s, Units prefix) {
    return s.size() >= prefix.size() && text::lrkInstr(1, s.substr(0, prefix.size()), prefix, kTextCompare) == 1;
}

// Same length and the same units once a..z are folded.
bool equalsIgnoringCase(Units a, Units b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto p = static_cast<int32_t>(i + 1);
        if (text::QuickMid(a, p, kTextCompare) != text::QuickMid(b, p, kTextCompare)) return false;
    }
    return true;
}

// Every from becomes to. lrkReplaceChar leaves strings beyond its 16-bit byte count alone, so
// long strings are handed to it in pieces it accepts.
void replaceAll(std::u16string& s, char16_t from, char16_t to) {
    constexpr size_t kPiece = 16383;
    for (size_t at = 0; at < s.size(); at += kPiece) {
        std::span<char16_t> piece(s.data() + at, std::min(kPiece, s.size() - at));
        text::lrkReplaceChar(1, piece, unit(from), unit(to), kBinaryCompare);
    }
}

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

// The value of the leading hexadecimal digits of s (0 when there are none).
uint8_t hexValue(Units s) {
    unsigned value = 0;
    for (char16_t c : s) {
        const int digit = hexDigit(c);
        if (digit < 0) break;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<uint8_t>(value);
}

// A display name and the folder it stands for.
struct DisplayName {
    Units name;
    Units folder;
};

}  // namespace

std::u16string AppendPathSeparator(Units folderPath) {
    std::u16string out(folderPath);
    if (lastUnit(folderPath) != unit(kBackslash)) out.push_back(kBackslash);
    return out;
}

Units FileNameFromPath(Units pathname) {
    const int32_t p = lastOf(pathname, kBackslash);
    return p > 0 ? after(pathname, p) : Units{};
}

Units PathFromFullPath(Units pathname) { return left(pathname, lastOf(pathname, kBackslash)); }

Units PathWithoutExtension(Units pathname) {
    const int32_t dot = lastOf(pathname, kDot);
    return dot > lastOf(pathname, kBackslash) ? left(pathname, dot - 1) : pathname;
}

Units ExtensionFromPath(Units pathname) {
    const int32_t dot = lastOf(pathname, kDot);
    return dot > lastOf(pathname, kBackslash) ? after(pathname, dot - 1) : Units{};
}

std::u16string ConcatenatePath(Units initialPath, Units folder) {
    std::u16string out(initialPath);
    if (!isSeparator(lastUnit(out))) out.push_back(kBackslash);
    out.append(isSeparator(text::lrkMidAscW(folder, 1)) ? folder.substr(1) : folder);
    if (!isSeparator(lastUnit(out))) out.push_back(kBackslash);
    return out;
}

// Restarting the search at position 1 after each escape only ever finds the decoded character
// itself (nothing before it holds a '%'), so the text is decoded in one pass: a decoded '%' is
// decoded again at once with the two characters that follow it.
std::u16string FixURISpecialCharacters(Units pathname, const AnsiByteDecoder& decode) {
    int32_t found = text::lrkInChar(1, pathname, unit(kPercent), kBinaryCompare);
    if (found <= 1) return std::u16string(pathname);
    std::u16string out(pathname.substr(0, static_cast<size_t>(found - 1)));
    out.reserve(pathname.size());
    size_t next = static_cast<size_t>(found);  // just after the '%' being decoded
    for (;;) {
        const Units digits = pathname.substr(next, 2);
        const std::optional<char16_t> decoded = decode(hexValue(digits));
        if (!decoded) {
            out.push_back(kPercent);
            out.append(pathname.substr(next));
            return out;
        }
        next += digits.size();
        if (*decoded == kPercent) continue;
        out.push_back(*decoded);
        found = text::lrkInChar(static_cast<int32_t>(next + 1), pathname, unit(kPercent), kBinaryCompare);
        if (found < 0) {
            out.append(pathname.substr(next));
            return out;
        }
        out.append(pathname.substr(next, static_cast<size_t>(found - 1) - next));
        next = static_cast<size_t>(found);
    }
}

std::u16string FixURIPath(Units pathname, const AnsiByteDecoder& decode) {
    std::u16string backslashed(pathname);
    replaceAll(backslashed, kSlash, kBackslash);
    return FixURISpecialCharacters(backslashed, decode);
}

std::optional<std::u16string> FixFileProtocol(Units pathname, const AnsiByteDecoder& decode) {
    if (!startsWithText(pathname, u"file://")) return std::nullopt;
    Units rest = pathname.substr(7);
    if (text::lrkMidAscW(rest, 1) == unit(kSlash)) rest.remove_prefix(1);
    return FixURIPath(rest, decode);
}

bool IsValidFileName(Units filename) {
    for (char16_t invalid : kInvalidChars) {
        if (text::lrkInstr(1, filename, Units(&invalid, 1), kTextCompare) > 0) return false;
    }
    return !filename.empty() && filename.size() <= kMaxFileName;
}

std::u16string RepairFileName(Units filename) {
    std::u16string out(filename);
    for (char16_t invalid : kInvalidChars)
        replaceAll(out, invalid, u'_');
    // Read as signed, every unit from 0x8000 up counts as a control code too.
    for (char16_t& c : out) {
        if (unit(c) < 32) c = u'_';
    }
    const Units trimmed = text::TrimSpaces(out);
    if (trimmed.empty()) return u"_";
    return std::u16string(trimmed.substr(0, kMaxFileName));
}

std::u16string BeautifyPath(Units path, const DisplayFolders& folders) {
    const DisplayName names[] = {{u"Favorites", folders.favorites},
                                 {u"My Documents", folders.documents},
                                 {u"Desktop", folders.desktop},
                                 {u"Temporary", folders.temporary}};
    std::u16string out;
    const auto prefixed = std::find_if(std::begin(names), std::end(names),
                                       [&](const DisplayName& n) { return startsWithText(path, n.folder); });
    if (prefixed != std::end(names)) {
        out.assign(prefixed->name).push_back(kBackslash);
        out.append(path.substr(prefixed->folder.size()));
    } else {
        const auto whole = std::find_if(std::begin(names), std::end(names), [&](const DisplayName& n) {
            return path.size() + 1 == n.folder.size() && startsWithText(n.folder, path);
        });
        out.assign(whole != std::end(names) ? whole->name : path);
    }
    if (lastUnit(out) == unit(kBackslash)) out.pop_back();
    return out;
}

std::u16string UnBeautifyPath(Units path, const DisplayFolders& folders) {
    const DisplayName names[] = {{u"Favorites", folders.favorites},
                                 {u"Documents", folders.documents},
                                 {u"My Documents", folders.documents},
                                 {u"Desktop", folders.desktop},
                                 {u"Temporary", folders.temporary}};
    const int32_t separator = text::lrkInChar(1, path, unit(kBackslash), kTextCompare);
    // With a separator the head is compared without it, which is the same as comparing both
    // with it.
    const Units head = separator > 0 ? left(path, separator - 1) : path;
    for (const DisplayName& n : names) {
        if (equalsIgnoringCase(head, n.name)) {
            std::u16string out(n.folder);
            if (separator > 0) out.append(after(path, separator));
            return out;
        }
    }
    return std::u16string(path);
}

Units GetParentFolder(Units filePath) {
    const auto length = static_cast<int32_t>(filePath.size());
    if (lastUnit(filePath) != unit(kBackslash)) return left(filePath, lastOfText(filePath, kBackslash) - 1);
    // Searching from the second-last unit: a lone "\" asks for a start of 0, which raises.
    return left(filePath, lastOfText(filePath, kBackslash, length - 1));
}

Units GetBaseName(Units filePath) {
    Units name;
    if (lastUnit(filePath) != unit(kBackslash)) {
        const int32_t separator = lastOfText(filePath, kBackslash);
        name = separator > 0 ? after(filePath, separator) : Units{};
    } else {
        name = filePath.substr(0, filePath.size() - 1);
    }
    const int32_t dot = lastOfText(name, kDot);
    return dot > 0 && dot > lastOfText(name, kBackslash) ? left(name, dot - 1) : name;
}

Units GetDriveName(Units path) {
    // Only position 2 can give a match at 2.
    return text::lrkInstr(2, path.substr(0, 2), u":", kTextCompare) == 2 ? path.substr(0, 1) : Units{};
}

bool DriveListContains(Units driveList, Units path) { return text::lrkInstr(1, driveList, path, kTextCompare) > 0; }

Units BeforeFirstLowNul(Units text) {
    const int32_t nul = text::lrkInstr(1, text, Units(u"\0", 1), kBinaryCompare);
    return nul > 0 ? left(text, nul - 1) : text;
}

Units BeforeFirstNul(Units text) {
    const int32_t nul = text::lrkInChar(1, text, 0, kBinaryCompare);
    return nul > 0 ? left(text, nul - 1) : text;
}

bool HasShortNameMarker(Units path) { return text::lrkInChar(1, path, unit(u'~'), kBinaryCompare) > 0; }

bool EndsWithSeparator(Units path) { return lastUnit(path) == unit(kBackslash); }

}  // namespace lark::files
