// IObjectSubclass: the interface through which a thunk hands window messages to an object
// (Subclassing.hpp). The library's class of that name takes no messages: each one answers 0. A
// class that offers the interface before it handles any message derives from IgnoresMessages.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"

namespace lark::ui {

template <class Primary, class... Others>
class IgnoresMessages : public com::Object<Primary, Others...> {
public:
    HRESULT STDMETHODCALLTYPE WindowProc(LONG, LONG, LONG_PTR, LONG_PTR, LONG_PTR* result) override {
        return com::traps(result, [&] { *result = 0; });
    }
};

using IObjectSubclass = IgnoresMessages<_IObjectSubclass>;

}  // namespace lark::ui
