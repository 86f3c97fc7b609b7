// The common dialogs' texts: the filter made for the dialogs keeps every unit but the separators,
// and its entries read back as the description and pattern pairs they came from; a multiple
// selection splits into a folder and names that join back into the list.
#include "input.hpp"
#include "ui/dialog_text.hpp"

#include <algorithm>

using namespace lark::ui;
using lark::fuzz::raised;
using Units = std::u16string_view;

namespace {

std::u16string joined(const std::vector<std::u16string>& parts, char16_t separator) {
    std::u16string out;
    for (size_t k = 0; k < parts.size(); ++k) {
        if (k > 0) out += separator;
        out += parts[k];
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lark::fuzz::Input in(data, size);
    const size_t padding = lark::fuzz::nearLimit(in.byte(), 32767);
    const std::u16string given = in.text(), folderBefore = in.text();
    const std::u16string filter = std::u16string(padding, u'*') + given;

    std::u16string converted;
    FUZZ_CHECK(raised([&] { converted = dialogFilter(filter); }) == (filter.size() > 32767 ? 6 : 0));
    if (filter.size() <= 32767) {
        FUZZ_CHECK(converted.size() == filter.size() + 2 && converted.ends_with(Units(u"\0\0", 2)));
        for (size_t k = 0; k < filter.size(); ++k)
            FUZZ_CHECK(converted[k] == (filter[k] == u'|' || filter[k] == u':' ? u'\0' : filter[k]));
    }

    // Pairs from the pieces of the input, with no separator inside and a description to each.
    std::vector<std::u16string> pieces{u""};
    for (char16_t c : given) {
        if (c == u'|') pieces.emplace_back();
        else if (c != u':' && c != u'\0') pieces.back() += c;
    }
    if (pieces.size() % 2) pieces.emplace_back();
    for (size_t k = 0; k < pieces.size(); k += 2)
        if (pieces[k].empty()) pieces[k] = u"d";
    const std::u16string pairs = dialogFilter(joined(pieces, u'|'));
    FUZZ_CHECK(filterEntry(pairs, -1).empty());
    for (size_t k = 0; k <= pieces.size() / 2 + 1; ++k) {
        const std::u16string entry = filterEntry(pairs, static_cast<long>(k));
        FUZZ_CHECK(entry == (k >= 1 && 2 * k <= pieces.size() ? pieces[2 * k - 2] + u'\0' + pieces[2 * k - 1] : u""));
    }

    // One path splits at its last backslash unless that is the first unit; a list gives its
    // leading pieces to the folder while that is empty, and the rest are the names.
    std::u16string folder = folderBefore;
    const FileNames names = splitFileNames(given, folder);
    const size_t nul = given.find(u'\0');
    FUZZ_CHECK(names.listed == (nul != std::u16string::npos) && !names.files.empty());
    if (!names.listed) {
        const size_t slash = given.rfind(u'\\');
        const bool split = slash != std::u16string::npos && slash > 0;
        FUZZ_CHECK(names.files.size() == 1 && (split ? folder + u'\\' + names.files[0] : names.files[0]) == given);
        FUZZ_CHECK(split || folder.empty());
        return 0;
    }
    const Units list = Units(given).substr(0, given.find(Units(u"\0\0", 2)));
    const std::u16string files = joined(names.files, u'\0');
    if (!folderBefore.empty()) return FUZZ_CHECK(folder == folderBefore && list == files), 0;
    const size_t empties = list.find_first_not_of(u'\0');
    const std::u16string rest = std::u16string(list.substr(std::min(empties, list.size())));
    FUZZ_CHECK(rest == (folder.empty() ? files : folder + u'\0' + files));
    return 0;
}
