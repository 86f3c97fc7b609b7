// What the dispatch needs to know of one interface, read once from its type description: the
// member and parameter names, case-insensitive, and for each member its vtable slot and how each
// argument reaches it. Calls that the table describes are made with one DispCallFunc call; the
// others take the general path (dispatch.cpp), which asks the type description each time.
#pragma once

#include "frame/raii.hpp"

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lark::com {

// How a caller's argument reaches a parameter on the table's path.
enum class Passing : unsigned char {
    value,             // as it stands when it has the parameter's type, otherwise converted
    variant,           // a copy of the caller's variant, as the platform's Invoke passes it
    reference,         // the caller's variable when it has the parameter's type, otherwise a
                       // converted copy, written back into a script's variant afterwards
    variantReference,  // the caller's variant variable itself
};

struct Parameter {
    VARTYPE type = VT_EMPTY;  // the automation type (of the variable, for a reference)
    Passing passing = Passing::value;
    bool omittable = false;   // optional, and fallback holds what an omitted argument stands for
    unique_variant fallback;  // the default converted to `type`, or the "missing" error
};

// Members with more parameters than this (counting the retval) take the general path.
constexpr size_t kMostTabledParameters = 16;

struct Member {
    DISPID id = DISPID_UNKNOWN;
    WORD invokeKind = 0;
    // False for members the general path calls: records, objects, arrays by value, an LCID,
    // variable argument lists, restricted members.
    bool tabled = false;
    ULONG_PTR vtableOffset = 0;
    CALLCONV callingConvention = CC_STDCALL;
    std::vector<Parameter> parameters;  // without the retval
    VARTYPE resultType = VT_EMPTY;      // of the retval, VT_EMPTY when there is none
};

// Case-insensitive hashing and comparison of names made of ASCII letters, digits and '_'.
struct FoldedHash {
    using is_transparent = void;
    size_t operator()(std::u16string_view name) const noexcept;
};
struct FoldedEqual {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const noexcept;
};

class DispatchTable {
public:
    explicit DispatchTable(ITypeInfo* info);

    // The type description the table was read from (the dispatch one of a dual interface).
    ITypeInfo* info() const noexcept { return info_.get(); }

    // Answers from the table as ITypeInfo::GetIDsOfNames answers; false when the names are not all
    // plain identifiers the table knows, and the platform must answer.
    bool idsOfNames(const LPOLESTR* names, UINT count, DISPID* ids) const noexcept;

    // The first member with this id and one of these invoke kinds, or null.
    const Member* member(DISPID id, WORD flags) const noexcept;

private:
    struct Names {
        DISPID id = DISPID_UNKNOWN;
        std::vector<std::u16string> parameters;
    };

    ComPtr<ITypeInfo> info_;
    std::unordered_map<std::u16string, Names, FoldedHash, FoldedEqual> names_;
    std::vector<Member> members_;  // in the order of the interface's functions
};

// The table of an interface, built on its first use and kept for the life of the process; safe
// to call from any thread.
const DispatchTable& dispatchTableOf(ITypeInfo* info);

// Type helpers shared with the general path.

// The description of a user-defined type, looking through aliases to other user-defined types;
// null when it cannot be read.
ComPtr<ITypeInfo> resolvedType(ITypeInfo* info, HREFTYPE type);

// How many functions the type description lists (0 when it cannot be read).
WORD functionCount(ITypeInfo* info);

// The automation type a parameter's type description stands for: enumerations become Long,
// aliases their target, arrays VT_ARRAY | element. VT_EMPTY for what the frame leaves alone
// (variants, interfaces, records).
VARTYPE automationType(ITypeInfo* info, const TYPEDESC& desc);

// The variant type of a member's result of this type: an object of an interface that derives
// from IDispatch comes back as VT_DISPATCH, of another one as VT_UNKNOWN.
VARTYPE resultType(ITypeInfo* info, const TYPEDESC& type);

// The description of an interface as a vtable: for a dual interface the one behind its dispatch
// description, otherwise the description itself.
ComPtr<ITypeInfo> vtableTypeInfo(ITypeInfo* info);

}  // namespace lark::com
