// The sort procedure behind every CServicesInputOutput member, on plain vectors: results against
// std::sort, companions kept aligned, the exact sequence of exchanges, and the stack depth on
// inputs that defeat the pivot choice.
#include "text/quick_sort.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <numeric>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

using lark::text::quickSort;

namespace {

// An array with its own lower bound, read and written by its own indices; any index outside
// its bounds throws, as a subscript error does in the members.
struct Array {
    int64_t lower = 0;
    std::vector<int> items;
    int& operator[](int64_t i) {
        if (i < lower || i - lower >= int64_t(items.size())) throw std::out_of_range("subscript");
        return items[size_t(i - lower)];
    }
    int64_t upper() const { return lower + int64_t(items.size()) - 1; }
};

using Exchanges = std::vector<std::pair<int64_t, int64_t>>;

// A key array and its companions, logging every exchange.
struct Access {
    Array& key;
    std::vector<Array*> companions{};
    Exchanges* log = nullptr;

    int pivot(int64_t i) { return key[i]; }
    bool less(int64_t i, int p) { return key[i] < p; }
    bool greater(int64_t i, int p) { return key[i] > p; }
    void exchange(int64_t i, int64_t j) {
        if (log) log->emplace_back(i, j);
        std::swap(key[i], key[j]);
        for (Array* c : companions) std::swap((*c)[i], (*c)[j]);
    }
};

// The procedure in its plain form, both parts by recursive calls; the oracle for the
// order of exchanges.
template <class A>
void recursiveSort(A& a, int64_t left, int64_t right) {
    if (left >= right) return;
    const int64_t mid = (left + right) / 2;
    const int pivot = a.pivot(mid);
    int64_t i = left, j = right;
    do {
        while (a.less(i, pivot)) ++i;
        while (a.greater(j, pivot)) --j;
        if (i <= j) {
            a.exchange(i, j);
            ++i;
            --j;
        }
    } while (i <= j);
    if (j > mid) {
        recursiveSort(a, i, right);
        recursiveSort(a, left, j);
    } else {
        recursiveSort(a, left, j);
        recursiveSort(a, i, right);
    }
    // Keeps the second call a real call (no tail call), so that this form really recurses.
    __asm__ __volatile__("" ::: "memory");
}

std::vector<int> randomKeys(std::mt19937& random, size_t n, int distinct) {
    std::uniform_int_distribution<int> value(-distinct / 2, distinct - distinct / 2 - 1);
    std::vector<int> keys(n);
    for (int& k : keys) k = value(random);
    return keys;
}

TEST(QuickSort, MatchesStdSortAndKeepsCompanionsAligned) {
    std::mt19937 random(20100097);
    for (size_t n : {0u, 1u, 2u, 3u, 7u, 64u, 1000u, 5003u}) {
        for (int distinct : {1, 3, 50, 1 << 30}) {
            for (int64_t lower : {int64_t(-7), int64_t(0), int64_t(1)}) {
                Array key{lower, randomKeys(random, n, distinct)};
                // Companions record where each key came from, so a misaligned exchange shows.
                Array origin{lower, std::vector<int>(n)}, negated{lower, {}};
                std::iota(origin.items.begin(), origin.items.end(), 0);
                for (int k : key.items) negated.items.push_back(-k);
                const std::vector<int> before = key.items;

                Access access{key, {&origin, &negated}};
                quickSort(access, key.lower, key.upper());

                std::vector<int> expected = before;
                std::sort(expected.begin(), expected.end());
                ASSERT_EQ(expected, key.items) << "n " << n << ", distinct " << distinct << ", lower " << lower;
                for (size_t k = 0; k < n; ++k) {
                    ASSERT_EQ(before[size_t(origin.items[k])], key.items[k]) << "origin moved apart at " << k;
                    ASSERT_EQ(-key.items[k], negated.items[k]) << "companion moved apart at " << k;
                }
                std::vector<int> permutation = origin.items;
                std::sort(permutation.begin(), permutation.end());
                for (size_t k = 0; k < n; ++k) ASSERT_EQ(int(k), permutation[k]) << "an element was lost";
            }
        }
    }
}

TEST(QuickSort, SubRangeLeavesTheRestUntouched) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        const size_t n = 1 + random() % 60;
        Array key{int64_t(random() % 5) - 2, randomKeys(random, n, 10)};
        std::uniform_int_distribution<int64_t> index(key.lower, key.upper());
        int64_t left = index(random), right = index(random);
        const std::vector<int> before = key.items;
        Access access{key};
        quickSort(access, left, right);

        std::vector<int> expected = before;
        if (left < right)
            std::sort(expected.begin() + (left - key.lower), expected.begin() + (right - key.lower) + 1);
        ASSERT_EQ(expected, key.items) << "range " << left << ".." << right << " from " << key.lower;
    }
    // 2..3 of an array 1..4, a single element, left above right.
    Array four{1, {4, 3, 2, 1}};
    Access a4{four};
    quickSort(a4, 2, 3);
    EXPECT_EQ((std::vector<int>{4, 2, 3, 1}), four.items);
    Exchanges log;
    Array one{1, {9}};
    Access a1{one, {}, &log};
    quickSort(a1, 1, 1);
    quickSort(a4, 3, 2);
    Access a4logged{four, {}, &log};
    quickSort(a4logged, 4, 1);
    EXPECT_TRUE(log.empty()) << "nothing to sort, nothing exchanged";
    EXPECT_EQ((std::vector<int>{4, 2, 3, 1}), four.items);
}

TEST(QuickSort, ExchangesInTheOrderOfTheRecursiveProcedure) {
    // Traced by hand: pivot 3 at index 2 first; the scans cross with j = 3 beyond the middle,
    // so [4, 4] comes first and [0, 3] after it.
    Array key{0, {2, 1, 3, 0, 0}};
    Exchanges log;
    Access access{key, {}, &log};
    quickSort(access, 0, 4);
    EXPECT_EQ((Exchanges{{2, 4}, {0, 3}, {1, 2}, {0, 1}, {2, 2}}), log);
    EXPECT_EQ((std::vector<int>{0, 0, 1, 2, 3}), key.items);

    // The loop that replaces the second recursive call keeps the order of every exchange.
    std::mt19937 random(11);
    for (int round = 0; round < 500; ++round) {
        const size_t n = random() % 50;
        const int64_t lower = int64_t(random() % 7) - 3;
        const std::vector<int> keys = randomKeys(random, n, 1 + int(random() % 12));
        Array ours{lower, keys}, theirs{lower, keys};
        Exchanges ourLog, theirLog;
        Access oursAccess{ours, {}, &ourLog}, theirAccess{theirs, {}, &theirLog};
        quickSort(oursAccess, lower, ours.upper());
        recursiveSort(theirAccess, lower, theirs.upper());
        ASSERT_EQ(theirLog, ourLog) << "round " << round;
        ASSERT_EQ(theirs.items, ours.items);
    }
}

TEST(QuickSort, ErrorsEndTheSortAndBadOrdersStillEnd) {
    // A companion shorter than the range: the subscript error of the first exchange beyond it
    // ends the sort; every element is still present once.
    Array key{1, {5, 4, 3, 2, 1}}, companion{1, {50, 40, 30}};
    Access access{key, {&companion}};
    EXPECT_THROW(quickSort(access, 1, 5), std::out_of_range);
    std::vector<int> keys = key.items;
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), keys);

    // A range reaching outside the key array fails on the subscript, not by reading past it.
    Array small{0, {3, 1, 2}};
    Access smallAccess{small};
    EXPECT_THROW(quickSort(smallAccess, 0, 5), std::out_of_range);
    EXPECT_THROW(quickSort(smallAccess, -4, 2), std::out_of_range);

    // Orders that contradict themselves end too, within the range.
    struct Inconsistent {
        Array& key;
        std::mt19937& random;
        int mode;
        int pivot(int64_t i) { return key[i]; }
        bool coin() { return random() % 2 == 0; }
        // Reading the key checks the index.
        bool less(int64_t i, int) { return key[i] == key[i] && (mode == 0 || (mode == 2 && coin())); }
        bool greater(int64_t i, int) { return key[i] == key[i] && (mode == 1 || (mode == 2 && coin())); }
        void exchange(int64_t i, int64_t j) { std::swap(key[i], key[j]); }
    };
    std::mt19937 random(3);
    for (int mode : {0, 1, 2}) {
        for (int round = 0; round < 50; ++round) {
            Array array{10, randomKeys(random, 1 + random() % 100, 100)};
            std::vector<int> sortedBefore = array.items;
            std::sort(sortedBefore.begin(), sortedBefore.end());
            Inconsistent bad{array, random, mode};
            const int64_t left = array.lower + 1, right = array.upper() - 1;
            ASSERT_NO_THROW(quickSort(bad, left, right)) << "mode " << mode << " went outside the range";
            std::sort(array.items.begin(), array.items.end());
            ASSERT_EQ(sortedBefore, array.items);
        }
    }
}

// Keys that decide their values as the sort looks at them (McIlroy's adversary): undecided keys
// stay above every decided one and each pivot becomes the smallest of them, the next value up
// (or, mirrored, below and the next value down). Every partition then splits off a single element, the worst case for
// the stack; the two directions take the two branches of the sort.
struct Adversary {
    std::vector<int> value;  // -1: not decided yet
    bool above = true;  // where undecided keys stand
    int decided = 0;
    uintptr_t base = 0, deepest = 0;

    int pivot(int64_t i) {
        const auto frame = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
        deepest = std::max(deepest, base - frame);
        if (value[size_t(i)] < 0) value[size_t(i)] = above ? 1'000'000 + decided++ : 1'000'000 - decided++;
        return value[size_t(i)];
    }
    int64_t valueAt(size_t i) const { return value[i] >= 0 ? value[i] : above ? INT64_MAX : INT64_MIN; }
    int compare(int64_t i, int p) const { return (valueAt(size_t(i)) > p) - (valueAt(size_t(i)) < p); }
    bool less(int64_t i, int p) const { return compare(i, p) < 0; }
    bool greater(int64_t i, int p) const { return compare(i, p) > 0; }
    void exchange(int64_t i, int64_t j) { std::swap(value[size_t(i)], value[size_t(j)]); }
};

template <class Sort>
uintptr_t stackUsedAgainstAdversary(size_t n, bool above, Sort sort) {
    Adversary a{std::vector<int>(n, -1), above};
    a.base = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    sort(a, 0, int64_t(n) - 1);
    for (size_t k = 1; k < n; ++k)
        if (a.valueAt(k - 1) > a.valueAt(k)) ADD_FAILURE() << "unsorted at " << k;
    EXPECT_GT(a.decided, int(n) / 2) << "the adversary should decide most keys one by one";
    return a.deepest;
}

TEST(QuickSort, StackStaysShallowOnAnyInput) {
    const size_t n = 3000;
    for (bool above : {true, false}) {
        const uintptr_t recursive = stackUsedAgainstAdversary(n, above, [](Adversary& a, int64_t l, int64_t r) {
            recursiveSort(a, l, r);
        });
        const uintptr_t ours = stackUsedAgainstAdversary(n, above, [](Adversary& a, int64_t l, int64_t r) {
            quickSort(a, l, r);
        });
        EXPECT_GT(recursive, 50 * ours) << "the adversary should drive plain recursion deep";
        EXPECT_LT(ours, 16u * 1024) << "the sort went " << ours << " bytes deep" << (above ? "" : " (mirrored)");
    }
}

TEST(QuickSort, MillionSortedReversedAndEqualKeys) {
    const int n = 1'000'000;
    Array key{1, std::vector<int>(size_t(n))};
    Array origin{1, std::vector<int>(size_t(n))};
    auto run = [&](auto fill) {
        for (int k = 0; k < n; ++k) {
            key.items[size_t(k)] = fill(k);
            origin.items[size_t(k)] = k;
        }
        Access access{key, {&origin}};
        quickSort(access, key.lower, key.upper());
        EXPECT_TRUE(std::is_sorted(key.items.begin(), key.items.end()));
        for (int k = 0; k < n; k += 9973) EXPECT_EQ(fill(origin.items[size_t(k)]), key.items[size_t(k)]);
    };
    run([](int k) { return k; });
    run([n](int k) { return n - k; });
    run([](int) { return 42; });
}

}  // namespace
