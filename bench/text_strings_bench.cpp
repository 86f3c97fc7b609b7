// The string core beside the obvious baselines on the same data. Every row counts the bytes of
// the whole char16_t buffer it walks (1 Mi units = 2 MiB), so the bytes/s columns compare.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <string_view>

#include "text/strings.hpp"

namespace {

using namespace lark::text;

constexpr size_t kUnits = size_t{1} << 20;
constexpr int64_t kBytes = static_cast<int64_t>(kUnits * sizeof(char16_t));

// Comma-separated words (about one delimiter every 8 units) with an occasional space and
// quoted field; no 'z', 'q' or '#' anywhere, so searches for them scan everything.
const std::u16string& text() {
    static const std::u16string data = [] {
        static const char16_t* const words[] = {
            u"apple",   u"river",   u"stone", u"market",  u"garden", u"silver",  u"window",
            u"bottle",  u"coffee",  u"letter", u"yellow", u"people", u"number",  u"office",
            u"simple",  u"travel",  u"north", u"London",  u"Berlin", u"Tuesday", u"invoice",
            u"balance", u"account", u"total", u"Street",  u"pencil", u"thunder", u"orange"};
        std::mt19937 rng(7);
        std::u16string s;
        s.reserve(kUnits + 32);
        while (s.size() < kUnits) {
            const unsigned r = rng() % 64;
            if (r == 0) {
                s += u"\"Smith, John\",";
            } else {
                s += words[r % std::size(words)];
                s += r % 9 == 0 ? u", " : u",";
            }
        }
        s.resize(kUnits);
        return s;
    }();
    return data;
}

// The same text ending with the needle, for searches that succeed only at the very end.
const std::u16string& textEndingWith(std::u16string_view needle) {
    static std::u16string data;
    data = text();
    data.replace(data.size() - needle.size(), needle.size(), needle);
    return data;
}

const void* bytesOf(const std::u16string& s) { return s.data(); }

void finish(benchmark::State& state) { state.SetBytesProcessed(state.iterations() * kBytes); }

// lrkInChar with the unit absent: the whole buffer is scanned.
void InChar(benchmark::State& state) {
    const std::u16string& s = text();
    const auto compare = static_cast<int32_t>(state.range(0));
    const int16_t target = compare == kTextCompare ? u'z' : u'#';
    for (auto _ : state) benchmark::DoNotOptimize(lrkInChar(1, s, target, compare));
    finish(state);
}
BENCHMARK(InChar)->ArgName("mode")->Arg(kBinaryCompare)->Arg(kTextCompare);

void InCharRev(benchmark::State& state) {
    const std::u16string& s = text();
    for (auto _ : state) benchmark::DoNotOptimize(lrkInCharRev(s, u'z', kTextCompare));
    finish(state);
}
BENCHMARK(InCharRev);

void Baseline_memchr(benchmark::State& state) {
    const std::u16string& s = text();
    for (auto _ : state) benchmark::DoNotOptimize(std::memchr(bytesOf(s), '#', kBytes));
    finish(state);
}
BENCHMARK(Baseline_memchr);

void Baseline_u16find_char(benchmark::State& state) {
    const std::u16string_view s = text();
    for (auto _ : state) benchmark::DoNotOptimize(s.find(u'#'));
    finish(state);
}
BENCHMARK(Baseline_u16find_char);

void Baseline_loop_char(benchmark::State& state) {
    const std::u16string& s = text();
    for (auto _ : state) {
        size_t i = 0;
        while (i < s.size() && s[i] != u'#') ++i;
        benchmark::DoNotOptimize(i);
    }
    finish(state);
}
BENCHMARK(Baseline_loop_char);

// lrkInstr: arg 0 = compare mode; arg 1 = 0 for an absent needle, 1 for the same needle at the
// end, 2 for an absent needle made of common letters (more candidates to verify).
constexpr std::u16string_view kNeedle = u"quartz";
constexpr std::u16string_view kCommon = u"retailer";

std::u16string_view needleFor(int64_t kind) { return kind == 2 ? kCommon : kNeedle; }

const std::u16string& haystackFor(int64_t kind) {
    return kind == 1 ? textEndingWith(kNeedle) : text();
}

void Instr(benchmark::State& state) {
    const auto compare = static_cast<int32_t>(state.range(0));
    const std::u16string& s = haystackFor(state.range(1));
    std::u16string needle(needleFor(state.range(1)));
    if (compare == kTextCompare) {
        for (char16_t& u : needle) u = u >= u'a' && u <= u'z' ? static_cast<char16_t>(u - 32) : u;
    }
    for (auto _ : state) benchmark::DoNotOptimize(lrkInstr(1, s, needle, compare));
    finish(state);
}
BENCHMARK(Instr)->ArgNames({"mode", "needle"})->ArgsProduct({{kBinaryCompare, kTextCompare}, {0, 1, 2}});

void Baseline_memmem(benchmark::State& state) {
    const std::u16string& s = haystackFor(state.range(0));
    const std::u16string_view needle = needleFor(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            memmem(bytesOf(s), kBytes, needle.data(), needle.size() * sizeof(char16_t)));
    }
    finish(state);
}
BENCHMARK(Baseline_memmem)->ArgName("needle")->DenseRange(0, 2);

void Baseline_u16find_string(benchmark::State& state) {
    const std::u16string_view s = haystackFor(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(s.find(needleFor(state.range(0))));
    finish(state);
}
BENCHMARK(Baseline_u16find_string)->ArgName("needle")->DenseRange(0, 2);

void Tokenize(benchmark::State& state) {
    const std::u16string& s = text();
    for (auto _ : state) benchmark::DoNotOptimize(FastTokenize(s, u',', kBinaryCompare));
    finish(state);
}
BENCHMARK(Tokenize);

// Arg: HandleQuoted.
void Split2(benchmark::State& state) {
    const std::u16string& s = text();
    const bool quoted = state.range(0) != 0;
    for (auto _ : state) benchmark::DoNotOptimize(FastSplit2(s, u',', kBinaryCompare, quoted));
    finish(state);
}
BENCHMARK(Split2)->ArgName("quoted")->Arg(0)->Arg(1);

}  // namespace
