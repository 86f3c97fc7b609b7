// A string of a given size whose units are written once, without filling them first.
#pragma once

#include <cstddef>
#include <string>

namespace lark {

// A string of at most size units: write(out) puts them at out, which has room for size, and
// returns how many it wrote. This is std::basic_string::resize_and_overwrite with the size asked
// for in hand: GCC 12's library hands its operation the grown capacity instead, which may be more.
template <class Char, class Write>
std::basic_string<Char> filledString(size_t size, Write write) {
    std::basic_string<Char> out;
    out.resize_and_overwrite(size, [&](Char* units, size_t) {
        const size_t written = write(units);
        return written < size ? written : size;
    });
    return out;
}

}  // namespace lark
