// A class whose interfaces have no members yet: creatable and dispatchable, nothing more.
#pragma once

#include "frame/object.hpp"

namespace lark::com {

template <class Primary, class... Others>
class BareClass final : public Object<Primary, Others...> {};

}  // namespace lark::com
