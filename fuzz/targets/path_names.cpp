// The path functions: URL decoding against the plain rewrite it stands for (find the first '%',
// replace it and two units by the decoded character, search again from the start), encoding and
// decoding as a round trip, file-name checks and repair against plain rules, parent folders
// against a plain search from the end, and the splitting and display forms put back together.
#include "files/file_operations.hpp"
#include "files/path_names.hpp"
#include "input.hpp"

#include <algorithm>

using namespace lark::files;
using lark::fuzz::raised;

namespace {

std::optional<char16_t> latin1(uint8_t byte) { return char16_t(byte); }
std::optional<char16_t> asciiOnly(uint8_t byte) { return byte < 0x80 ? std::optional<char16_t>(byte) : std::nullopt; }
// A code page whose 0x80 is a second way to write '%'.
std::optional<char16_t> percentAt80(uint8_t byte) { return byte == 0x80 ? u'%' : char16_t(byte); }

uint8_t plainHex(Units digits) {
    unsigned value = 0;
    for (char16_t c : digits) {
        const int d = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'A' && c <= u'F' ? c - u'A' + 10
                    : c >= u'a' && c <= u'f' ? c - u'a' + 10 : -1;
        if (d < 0) break;
        value = value * 16 + static_cast<unsigned>(d);
    }
    return static_cast<uint8_t>(value);
}

std::u16string plainDecode(Units text, const AnsiByteDecoder& decode) {
    std::u16string s(text);
    if (s.find(u'%') == 0) return s;
    for (size_t p; (p = s.find(u'%')) != std::u16string::npos;) {
        const Units digits = Units(s).substr(p + 1, 2);
        const std::optional<char16_t> decoded = decode(plainHex(digits));
        if (!decoded) return s;
        s.replace(p, 1 + digits.size(), 1, *decoded);
    }
    return s;
}

// The last backslash at or before start, 0 when there is none or a unit above 255 comes first.
int32_t plainLastBackslash(Units s, size_t start) {
    for (size_t p = start; p >= 1; --p) {
        if (s[p - 1] > 255) return 0;
        if (s[p - 1] == u'\\') return static_cast<int32_t>(p);
    }
    return 0;
}

bool invalidInName(char16_t c) { return Units(u"\\/:*?\"<>|\r\n\t\v\f\b\0", 17).find(static_cast<char16_t>(c & 0xFF)) != Units::npos; }

bool within(Units part, Units whole) { return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lark::fuzz::Input in(data, size);
    const AnsiByteDecoder decoders[] = {latin1, asciiOnly, percentAt80};
    const AnsiByteDecoder& decode = decoders[in.byte() % 3];
    const uint8_t folder = in.byte() % 4;
    const std::u16string path = in.text();

    const std::u16string decoded = FixURISpecialCharacters(path, decode);
    FUZZ_CHECK(decoded == plainDecode(path, decode));
    std::u16string backslashed = path;
    std::replace(backslashed.begin(), backslashed.end(), u'/', u'\\');
    FUZZ_CHECK(FixURIPath(path, decode) == FixURISpecialCharacters(backslashed, decode));
    const bool fileUrl = path.size() >= 7 && std::equal(path.begin(), path.begin() + 7, u"file://", [](char16_t c, char16_t p) {
        return ((c & 0xFF) >= u'a' && (c & 0xFF) <= u'z' ? (c & 0xFF) - 32 : (c & 0xFF)) == (p >= u'a' && p <= u'z' ? p - 32 : p);
    });
    const Units afterScheme = fileUrl ? Units(path).substr(path.size() > 7 && path[7] == u'/' ? 8 : 7) : Units();
    FUZZ_CHECK(FixFileProtocol(path, decode) == (fileUrl ? std::optional(FixURIPath(afterScheme, decode)) : std::nullopt));

    // Every unit up to 255 but '%' written as an escape after a plain first unit decodes back.
    std::u16string plain = u"x", escaped = u"x";
    for (char16_t c : path) {
        if (c > 255 || c == u'%') continue;
        plain += c;
        escaped += u'%';
        escaped += u"0123456789abcdef"[c >> 4];
        escaped += u"0123456789ABCDEF"[c & 15];
    }
    FUZZ_CHECK(FixURISpecialCharacters(escaped, latin1) == plain);

    // A name is valid when it has 1 to 259 units and no low byte of an invalid character; repair
    // makes those exact units and the signed control codes '_', trims spaces and cuts to 259.
    FUZZ_CHECK(IsValidFileName(path) == (!path.empty() && path.size() <= 259 && std::none_of(path.begin(), path.end(), invalidInName)));
    std::u16string repaired = path;
    for (char16_t& c : repaired)
        if ((c == (c & 0xFF) && invalidInName(c)) || static_cast<int16_t>(c) < 32) c = u'_';
    const size_t first = repaired.find_first_not_of(u' ');
    repaired = first == std::u16string::npos ? u"_" : repaired.substr(first, repaired.find_last_not_of(u' ') + 1 - first);
    FUZZ_CHECK(RepairFileName(path) == repaired.substr(0, 259));

    const size_t n = path.size();
    const bool trailing = n > 0 && path.back() == u'\\';
    Units parent;
    FUZZ_CHECK(raised([&] { parent = GetParentFolder(path); }) == (path == u"\\" ? 5 : 0));
    if (path != u"\\") {
        const int32_t at = plainLastBackslash(path, trailing ? n - 1 : n);
        FUZZ_CHECK(parent == Units(path).substr(0, static_cast<size_t>(std::max(trailing ? at : at - 1, 0))));
    }
    FUZZ_CHECK(within(GetBaseName(path), path) && within(GetDriveName(path), path));
    const bool hasBackslash = path.find(u'\\') != std::u16string::npos;
    FUZZ_CHECK(std::u16string(PathFromFullPath(path)) + std::u16string(FileNameFromPath(path)) == (hasBackslash ? path : u""));
    FUZZ_CHECK(std::u16string(PathWithoutExtension(path)) + std::u16string(ExtensionFromPath(path)) == path);
    const std::u16string joined = ConcatenatePath(path, path);
    FUZZ_CHECK(joined.starts_with(path) && (joined.back() == u'\\' || joined.back() == u'/'));

    // No spelling of a root names an entry below it: a drive or share root followed by separators,
    // dots and blanks only. Nor does a path relative to a drive's folder or one with a wildcard.
    std::u16string rootOnly = folder % 2 ? u"\\\\server\\share\\" : u"C:\\";
    for (char16_t c : path)
        if (Units(u"\\/. ").find(c) != Units::npos) rootOnly += c;
    FUZZ_CHECK(!NamesOneEntryBelowRoot(rootOnly) && !NamesOneEntryBelowRoot(path + u"*"));
    FUZZ_CHECK(!NamesOneEntryBelowRoot(path) || (!IsDriveRelative(path) && path.size() < 260));

    // A path in a display folder, not ending in a separator, comes back from its display form.
    const std::u16string folders[] = {u"C:\\u\\Favorites\\", u"C:\\u\\Documents\\", u"C:\\u\\Desktop\\", u"C:\\T\\"};
    const DisplayFolders display{folders[0], folders[1], folders[2], folders[3]};
    const std::u16string inside = folders[folder] + path;
    if (!trailing) FUZZ_CHECK(UnBeautifyPath(BeautifyPath(inside, display), display) == inside);
    return 0;
}
