// Per-thread module state: the library's shared implementation objects exist once per thread
// (apartment) that uses them, are made on first use, and are never shared across threads, so
// they need no locking.
#pragma once

namespace lark::com {

template <class T>
T& perThread() {
    thread_local T instance;
    return instance;
}

}  // namespace lark::com
