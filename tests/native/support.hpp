// What several host tests share: the error a call raises, and units shown in failure messages.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>

#include "frame/error.hpp"

namespace lark::test {

using std::u16string;

// The error body raised; number 0 when it returned.
template <class Body>
Error raised(Body&& body) {
    try {
        body();
    } catch (const Error& e) {
        return e;
    }
    return Error{0, {}, {}};
}

// Units as gtest prints them, long ones cut to their start.
inline std::string show(std::u16string_view s) {
    return testing::PrintToString(u16string(s.substr(0, 60))) + (s.size() > 60 ? "..." : "");
}

}  // namespace lark::test
