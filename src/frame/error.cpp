#include "frame/error.hpp"

namespace lark {

std::u16string_view standardDescription(int32_t number) noexcept {
    switch (number) {
    case errInvalidCall: return u"Invalid procedure call or argument";
    case errOverflow: return u"Overflow";
    case errOutOfMemory: return u"Out of memory";
    case errSubscript: return u"Subscript out of range";
    case errTypeMismatch: return u"Type mismatch";
    case errBadFileName: return u"Bad file name or number";
    case errFileNotFound: return u"File not found";
    case errFileExists: return u"File already exists";
    case errPathAccess: return u"Path/File access error";
    case errPathNotFound: return u"Path not found";
    case errObjectNotSet: return u"Object variable or With block variable not set";
    case errKeyExists: return u"This key is already associated with an element of this collection";
    default: return {};
    }
}

}  // namespace lark
