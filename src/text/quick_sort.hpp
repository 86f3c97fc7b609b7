// The quicksort behind every sort member: one procedure over a key array and any number of
// companion arrays, seen through an accessor. Portable: no Windows headers.
#pragma once

#include <cstdint>

namespace lark::text {

// Access gives the sort its view of the arrays, by the arrays' own indices:
//   auto pivot(int64_t i)                      a copy of key element i
//   bool less(int64_t i, const Pivot& p)       key(i) < p
//   bool greater(int64_t i, const Pivot& p)    key(i) > p
//   void exchange(int64_t i, int64_t j)        swaps elements i and j in the key array and in
//                                              every companion array
// Whatever these throw ends the sort and passes through, the arrays as they stand.
//
// The pivot is the element in the middle of the range; the scans meet around it (Hoare). Of
// the two parts, the one not holding the middle is sorted first by a recursive call and the
// other by the loop: that part is at most about half the range, so the stack depth stays
// logarithmic on any input, and the parts are still sorted in the same order.
template <class Access>
void quickSort(Access& access, int64_t left, int64_t right) {
    while (left < right) {
        const int64_t mid = (left + right) / 2;  // truncated toward zero, also for negative bounds
        const auto pivot = access.pivot(mid);
        int64_t i = left;
        int64_t j = right;
        do {
            // A consistent order stops both scans inside the range (the pivot or an exchanged
            // element stands in the way); the limits only keep an inconsistent one from running
            // off, so that every pass still makes both parts smaller.
            while (i < right && access.less(i, pivot)) ++i;
            while (j > left && access.greater(j, pivot)) --j;
            if (i <= j) {
                access.exchange(i, j);
                ++i;
                --j;
            }
        } while (i <= j);
        if (j > mid) {
            quickSort(access, i, right);
            right = j;
        } else {
            quickSort(access, left, j);
            left = i;
        }
    }
}

}  // namespace lark::text
