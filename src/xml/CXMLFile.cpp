#include "xml/CXMLFile.hpp"

#include "files/path_names.hpp"
#include "frame/arrays.hpp"
#include "frame/collection.hpp"
#include "frame/errors.hpp"
#include "frame/platform_text.hpp"
#include "frame/filled_string.hpp"
#include "xml/CXMLElement.hpp"

#include <limits>

namespace lark::xml {

using com::raises;
using com::traps;

namespace {

com::unique_hfile createForOutput(Units path) {
    const std::wstring name(path.begin(), path.end());
    return com::unique_hfile(CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
}

void writeAll(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) raise(errPathAccess);
        done += written;
    }
}

// Reads a file's bytes: a file that shrank meanwhile gives fewer than its size said, and what
// was there is kept.
class FileReader {
public:
    explicit FileReader(HANDLE file) : file_(file) {}
    // Up to count bytes at out; 0 at the end or after a failed read.
    size_t read(char* out, size_t count) {
        DWORD got = 0;
        if (failed_ || !ReadFile(file_, out, static_cast<DWORD>(count), &got, nullptr)) failed_ = true;
        return failed_ ? 0 : static_cast<size_t>(got);
    }
    bool failed() const { return failed_; }

private:
    HANDLE file_;
    bool failed_ = false;
};

// The whole file read, then converted at once: for code pages with more than one byte a unit.
bool loadConvertedWhole(FileReader& reader, size_t bytes, Document& document) {
    const std::string ansi = lark::filledString<char>(bytes, [&](char* out) {
        size_t done = 0;
        while (done < bytes) {
            const size_t got = reader.read(out + done, bytes - done);
            if (got == 0) break;
            done += got;
        }
        return done;
    });
    return !reader.failed() && document.Load(com::fromAnsi(ansi));
}

// The file read and converted a block at a time, straight into the document, which indexes each
// block while it is fresh: for single-byte code pages.
bool loadConvertedInBlocks(FileReader& reader, size_t bytes, Document& document) {
    std::string buffer(std::min<size_t>(bytes, size_t{1} << 18), '\0');
    size_t at = 0, held = 0;
    const bool loaded = document.LoadFilled(bytes, [&](char16_t* out, size_t from, size_t to) {
        if (at == held) {
            held = reader.read(buffer.data(), buffer.size());
            at = 0;
        }
        const size_t count = std::min(to - from, held - at);
        com::fromAnsiInto(std::string_view(buffer).substr(at, count), out);
        at += count;
        return count;
    });
    return loaded && !reader.failed();
}

// Reads the file into document as the system ANSI code page holds it; false when it cannot be
// read.
bool loadAnsiFile(Units path, Document& document) {
    const std::wstring name(path.begin(), path.end());
    com::unique_hfile file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > std::numeric_limits<int32_t>::max()) return false;
    FileReader reader(file.get());
    const auto bytes = static_cast<size_t>(size.QuadPart);
    return com::ansiIsSingleByte() ? loadConvertedInBlocks(reader, bytes, document)
                                   : loadConvertedWhole(reader, bytes, document);
}

// The caller's variable for a member that writes back; it must be there.
template <class T>
T* variable(T* v) {
    if (!v) raise(errInvalidCall);
    return v;
}

}  // namespace

void CXMLFile::put(std::u16string_view line) {
    if (!output_) raise(errBadFileName);
    writeAll(output_.get(), com::toAnsi(line));
}

HRESULT CXMLFile::OpenXMLFileForReading(BSTR* InputFilePath, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        const Units path = com::view(InputFilePath);
        // A file that cannot be read leaves the document as it was.
        Document loaded;
        if (!loadAnsiFile(path, loaded)) return;
        document_ = std::move(loaded);
        path_ = path;
        name_ = fileNameAfterBackslash(path);
        *result = VARIANT_TRUE;
    });
}

HRESULT CXMLFile::OpenXMLFileForWriting(BSTR* FilePath, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        output_.reset();
        const Units path = com::view(FilePath);
        com::unique_hfile file = createForOutput(path);
        if (!file) return;
        output_ = std::move(file);
        writer_.Reset();
        path_ = path;
        name_ = files::FileNameFromPath(path);
        *result = VARIANT_TRUE;
    });
}

HRESULT CXMLFile::CloseXMLFile(LONG OpenType, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        path_.clear();
        name_.clear();
        if (OpenType == forreading) {
            *result = VARIANT_TRUE;
        } else if (OpenType == forwriting) {
            output_.reset();
            *result = VARIANT_TRUE;
        }
    });
}

HRESULT CXMLFile::WriteAnnouncementTag() {
    return raises([&] { put(writer_.WriteAnnouncementTag()); });
}

HRESULT CXMLFile::WriteOpenTag(BSTR* TagName) {
    return raises([&] {
        const int32_t before = writer_.Indent();
        const std::u16string line = writer_.WriteOpenTag(com::view(TagName));
        // The indent grows only once the line is written.
        if (!output_) writer_.SetIndent(before);
        put(line);
    });
}

HRESULT CXMLFile::WriteCloseTag(BSTR* TagName) {
    return raises([&] { put(writer_.WriteCloseTag(com::view(TagName))); });
}

HRESULT CXMLFile::WriteProperty(BSTR* PropertyName, BSTR* PropertyValue) {
    return raises([&] { put(writer_.WriteProperty(com::view(PropertyName), com::view(PropertyValue))); });
}

HRESULT CXMLFile::ReadWithinTags(BSTR* TagName, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        BSTR* name = variable(TagName);
        std::u16string tag(com::view(*name));
        const bool entered = document_.ReadWithinTags(tag);
        com::assignBstr(name, tag);
        *result = com::variantBool(entered);
    });
}

HRESULT CXMLFile::ReadWithinTagsOccurence(BSTR* TagName, LONG* OccurenceNumber, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        const LONG occurrence = OccurenceNumber ? *OccurenceNumber : 0;
        *result = com::variantBool(document_.ReadWithinTagsOccurence(com::view(TagName), occurrence));
    });
}

HRESULT CXMLFile::ReadUpOneLevel(VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        *result = com::variantBool(document_.ReadUpOneLevel());
    });
}

HRESULT CXMLFile::ReadProperty(BSTR* PropertyName, BSTR* PropertyValue, BSTR* DefaultValue,
                               VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        BSTR* target = variable(PropertyValue);
        const std::u16string defaultText(com::view(DefaultValue));
        const std::u16string original(com::view(*target));
        std::u16string value = original;
        const bool found = document_.ReadProperty(com::view(PropertyName), value, defaultText);
        if (value != original) com::assignBstr(target, value);
        *result = com::variantBool(found);
    });
}

HRESULT CXMLFile::ReadPropertyLong(BSTR* PropertyName, LONG* DefaultValue, LONG* result) {
    return traps(result, [&] {
        const LONG fallback = DefaultValue ? *DefaultValue : kNoLongDefault;
        *result = fallback;
        *result = document_.ReadPropertyLong(com::view(PropertyName), fallback);
    });
}

HRESULT CXMLFile::ReadPropertyBoolean(BSTR* PropertyName, VARIANT_BOOL* PropertyReference,
                                      VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        VARIANT_BOOL* target = variable(PropertyReference);
        bool value = *target != VARIANT_FALSE;
        const bool found = document_.ReadPropertyBoolean(com::view(PropertyName), value);
        // Untouched unless converted: a True held as another non-zero value stays as it was.
        if (found && value != (*target != VARIANT_FALSE)) *target = com::variantBool(value);
        *result = com::variantBool(found);
    });
}

HRESULT CXMLFile::ReadAllProperties(SAFEARRAY** PropertyNames, SAFEARRAY** PropertyValues, LONG* result) {
    return traps(result, [&] {
        *result = -1;
        SAFEARRAY* names = PropertyNames ? *PropertyNames : nullptr;
        SAFEARRAY* values = PropertyValues ? *PropertyValues : nullptr;
        const std::optional<com::VectorBounds> nameBounds = com::vectorBounds(names);
        const std::optional<com::VectorBounds> valueBounds = com::vectorBounds(values);
        if (!nameBounds || !valueBounds) return;
        // Pairs are stored from index 1 whatever the lower bound: the room is what lies from 1 up.
        auto room = [](const com::VectorBounds& b) -> size_t {
            return b.upper < 1 ? 0 : static_cast<size_t>(b.upper) - static_cast<size_t>(std::max<LONG>(b.lower, 1)) + 1;
        };
        const bool fromOne = nameBounds->lower <= 1 && valueBounds->lower <= 1;
        PropertyList list;
        const int32_t count =
            document_.ReadAllProperties(fromOne ? std::min(room(*nameBounds), room(*valueBounds)) : 0, list);
        {
            com::StringVectorAccess nameAccess(names);
            com::StringVectorAccess valueAccess(values);
            for (size_t i = 0; i < list.names.size(); ++i) {
                const size_t at = static_cast<size_t>(1 - nameBounds->lower) + i;
                const size_t valueAt = static_cast<size_t>(1 - valueBounds->lower) + i;
                com::assignBstr(&nameAccess.elements()[at], list.names[i]);
                com::assignBstr(&valueAccess.elements()[valueAt], list.values[i]);
            }
        }
        if (count <= 0) {
            *result = count;
            return;
        }
        SAFEARRAYBOUND nameBound{static_cast<ULONG>(count), 1};
        SAFEARRAYBOUND valueBound{static_cast<ULONG>(count), 1};
        if (nameBounds->lower != 1 || valueBounds->lower != 1) raise(errSubscript);
        com::check(SafeArrayRedim(names, &nameBound));
        com::check(SafeArrayRedim(values, &valueBound));
        *result = count;
    });
}

HRESULT CXMLFile::CountTags(BSTR* TagName, LONG* result) {
    return traps(result, [&] {
        *result = 0;
        *result = document_.CountTags(com::view(TagName));
    });
}

HRESULT CXMLFile::AppendTextWithinTag(BSTR* TextToInject, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        *result = com::variantBool(document_.AppendTextWithinTag(com::view(TextToInject)));
    });
}

HRESULT CXMLFile::DeleteCurrentSection(VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        *result = com::variantBool(document_.DeleteCurrentSection());
    });
}

HRESULT CXMLFile::ReWrite(VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        if (path_.empty()) return;
        com::unique_hfile file = createForOutput(path_);
        if (!file) return;
        writeAll(file.get(), com::toAnsi(document_.ReWriteText()));
        *result = VARIANT_TRUE;
    });
}

HRESULT CXMLFile::get_FilePath(BSTR* result) {
    return raises(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(path_);
    });
}

HRESULT CXMLFile::get_Filename(BSTR* result) {
    return raises(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(name_);
    });
}

HRESULT CXMLFile::get_IndentIncrement(LONG* result) {
    if (!result) return E_POINTER;
    *result = kIndentIncrement;
    return S_OK;
}

HRESULT CXMLFile::get_Indent(LONG* result) {
    if (!result) return E_POINTER;
    *result = writer_.Indent();
    return S_OK;
}

HRESULT CXMLFile::put_Indent(LONG NewIndentationLevel) {
    writer_.SetIndent(NewIndentationLevel);
    return S_OK;
}

HRESULT CXMLFile::get_Tags(BSTR* TagName, _Collection** result) {
    return traps(result, [&] {
        *result = nullptr;
        com::ComPtr<com::Collection> tags = com::makeObject<com::Collection>();
        *result = tags.query<_Collection>().detach();
        std::vector<Element> elements;
        for (const Span& span : document_.Tags(com::view(TagName)))
            elements.emplace_back(document_.Content(), span, Element::Kind::Inner);
        addElements(*tags.get(), elements);
    });
}

}  // namespace lark::xml
