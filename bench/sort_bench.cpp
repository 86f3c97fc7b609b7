// The sort procedure behind every sort member beside std::sort on the same data: a million
// random ASCII strings under a case-insensitive comparison, and ten million Long keys carrying
// one companion array (std::sort sorting the pairs).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "text/quick_sort.hpp"

namespace {

using lark::text::quickSort;

constexpr size_t kStrings = 1'000'000;
constexpr size_t kLongs = 10'000'000;

char16_t folded(char16_t unit) { return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 32) : unit; }

// Case-insensitive order of ASCII text: letters compare as their capitals.
int compareText(const std::u16string& a, const std::u16string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = folded(a[i]), y = folded(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

const std::vector<std::u16string>& randomStrings() {
    static const std::vector<std::u16string> data = [] {
        std::mt19937 rng(11);
        std::vector<std::u16string> strings(kStrings);
        for (auto& s : strings) {
            s.resize(4 + rng() % 20);
            for (auto& unit : s) unit = static_cast<char16_t>(u' ' + rng() % 95);
        }
        return strings;
    }();
    return data;
}

const std::vector<int32_t>& randomLongs() {
    static const std::vector<int32_t> data = [] {
        std::mt19937 rng(12);
        std::vector<int32_t> longs(kLongs);
        for (auto& v : longs) v = static_cast<int32_t>(rng());
        return longs;
    }();
    return data;
}

// The string sort as the sort members see their arrays: the pivot a copy of the key.
struct StringAccess {
    std::vector<std::u16string>& keys;
    std::u16string pivot(int64_t i) const { return keys[static_cast<size_t>(i)]; }
    bool less(int64_t i, const std::u16string& p) const { return compareText(keys[static_cast<size_t>(i)], p) < 0; }
    bool greater(int64_t i, const std::u16string& p) const {
        return compareText(keys[static_cast<size_t>(i)], p) > 0;
    }
    void exchange(int64_t i, int64_t j) const { std::swap(keys[static_cast<size_t>(i)], keys[static_cast<size_t>(j)]); }
};

struct LongAccess {
    std::vector<int32_t>& keys;
    std::vector<int32_t>& companion;
    int32_t pivot(int64_t i) const { return keys[static_cast<size_t>(i)]; }
    bool less(int64_t i, int32_t p) const { return keys[static_cast<size_t>(i)] < p; }
    bool greater(int64_t i, int32_t p) const { return keys[static_cast<size_t>(i)] > p; }
    void exchange(int64_t i, int64_t j) const {
        std::swap(keys[static_cast<size_t>(i)], keys[static_cast<size_t>(j)]);
        std::swap(companion[static_cast<size_t>(i)], companion[static_cast<size_t>(j)]);
    }
};

void Sort_Strings_quickSort(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::u16string> keys = randomStrings();
        state.ResumeTiming();
        StringAccess access{keys};
        quickSort(access, 0, static_cast<int64_t>(keys.size()) - 1);
        benchmark::DoNotOptimize(keys.data());
    }
}
BENCHMARK(Sort_Strings_quickSort)->Unit(benchmark::kMillisecond);

void Sort_Strings_std_sort(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::u16string> keys = randomStrings();
        state.ResumeTiming();
        std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return compareText(a, b) < 0; });
        benchmark::DoNotOptimize(keys.data());
    }
}
BENCHMARK(Sort_Strings_std_sort)->Unit(benchmark::kMillisecond);

void Sort_LongsWithCompanion_quickSort(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<int32_t> keys = randomLongs(), companion(keys.size());
        for (size_t i = 0; i < companion.size(); ++i) companion[i] = static_cast<int32_t>(i);
        state.ResumeTiming();
        LongAccess access{keys, companion};
        quickSort(access, 0, static_cast<int64_t>(keys.size()) - 1);
        benchmark::DoNotOptimize(companion.data());
    }
}
BENCHMARK(Sort_LongsWithCompanion_quickSort)->Unit(benchmark::kMillisecond);

void Sort_LongsWithCompanion_std_sort_pairs(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const std::vector<int32_t>& keys = randomLongs();
        std::vector<std::pair<int32_t, int32_t>> pairs(keys.size());
        for (size_t i = 0; i < pairs.size(); ++i) pairs[i] = {keys[i], static_cast<int32_t>(i)};
        state.ResumeTiming();
        std::sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        benchmark::DoNotOptimize(pairs.data());
    }
}
BENCHMARK(Sort_LongsWithCompanion_std_sort_pairs)->Unit(benchmark::kMillisecond);

}  // namespace
