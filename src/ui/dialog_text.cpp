#include "ui/dialog_text.hpp"

#include "frame/error.hpp"

#include <algorithm>

namespace lark::ui {

namespace {
constexpr std::u16string_view kNulPair{u"\0\0", 2};
}  // namespace

std::u16string dialogFilter(std::u16string_view filter) {
    if (filter.size() > 32767) raise(errOverflow);
    std::u16string out(filter);
    std::replace_if(
        out.begin(), out.end(), [](char16_t c) { return c == u'|' || c == u':'; }, u'\0');
    return out.append(kNulPair);
}

std::u16string filterEntry(std::u16string_view converted, long index) {
    for (long entry = 1; !converted.empty(); ++entry) {
        const size_t description = converted.find(u'\0');
        if (description == 0 || description == std::u16string_view::npos) break;
        const size_t pattern = converted.find(u'\0', description + 1);
        const size_t end = pattern == std::u16string_view::npos ? converted.size() : pattern;
        if (entry == index) return std::u16string(converted.substr(0, end));
        converted.remove_prefix(std::min(end + 1, converted.size()));
    }
    return {};
}

FileNames splitFileNames(std::u16string_view filename, std::u16string& folder) {
    if (filename.find(u'\0') == std::u16string_view::npos) {
        const size_t slash = filename.rfind(u'\\');
        if (slash == std::u16string_view::npos || slash == 0) {
            folder.clear();
            return {false, {std::u16string(filename)}};
        }
        folder = filename.substr(0, slash);
        return {false, {std::u16string(filename.substr(slash + 1))}};
    }
    std::u16string_view list = filename.substr(0, filename.find(kNulPair));
    FileNames names{true, {}};
    for (size_t nul; (nul = list.find(u'\0')) != std::u16string_view::npos; list.remove_prefix(nul + 1)) {
        if (folder.empty())
            folder = list.substr(0, nul);
        else
            names.files.emplace_back(list.substr(0, nul));
    }
    names.files.emplace_back(list);
    return names;
}

}  // namespace lark::ui
