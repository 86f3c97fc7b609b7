// A 10 MB settings file written by the library's own writer, opened and read 1,000 times at
// depths 1 to 4: the portable navigator beside pugixml parsing the same file and finding the
// same values. Both rows include reading the file from disk; both check their answers against
// each other before anything is timed.
#include <benchmark/benchmark.h>

#include <pugixml.hpp>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "xml/xml_text.hpp"

namespace {

#if defined(__GLIBC__)
// Freed memory stays with the process. Otherwise the allocator sometimes gives a row's 10 and
// 20 MB buffers back to the kernel after each repetition, and that row then pays the first touch
// of fresh pages every time, which on this virtual machine costs more than the reading itself.
const bool keepsFreedMemory = [] {
    return mallopt(M_MMAP_THRESHOLD, 32 << 20) == 1 && mallopt(M_TRIM_THRESHOLD, 1 << 30) == 1;
}();
#endif

using lark::xml::Document;
using lark::xml::Writer;

constexpr int kSections = 50, kGroups = 21, kItems = 30;
constexpr int kQueries = 1000;

// One lookup: occurrences of SECTION, GROUP and ITEM to enter (0 stops there), then a property.
struct Query {
    int section, group, item;
    std::string property;
};

std::string narrow(const std::u16string& s) { return {s.begin(), s.end()}; }
std::u16string widen(const std::string& s) { return {s.begin(), s.end()}; }

std::filesystem::path settingsFile() {
    static const std::filesystem::path path = [] {
        auto file = std::filesystem::temp_directory_path() / "lark_settings_bench.xml";
        Writer w;
        std::string out = narrow(w.WriteAnnouncementTag());
        auto put = [&](const std::u16string& line) { out += narrow(line); };
        auto property = [&](const std::string& name, const std::string& value) {
            put(w.WriteProperty(widen(name), widen(value)));
        };
        put(w.WriteOpenTag(u"Settings"));
        property("Version", "3");
        for (int s = 1; s <= kSections; ++s) {
            put(w.WriteOpenTag(u"Section"));
            property("Name", "Section " + std::to_string(s));
            property("Color", std::to_string(s * 7919 % 16777216));
            for (int g = 1; g <= kGroups; ++g) {
                const std::string id = std::to_string(s) + "." + std::to_string(g);
                put(w.WriteOpenTag(u"Group"));
                property("Title", "Group " + id);
                property("Width", std::to_string(100 + g));
                for (int i = 1; i <= kItems; ++i) {
                    const std::string item = id + "." + std::to_string(i);
                    put(w.WriteOpenTag(u"Item"));
                    property("Key", "item " + item);
                    property("Path", "C:\\Data\\Projects\\" + item + "\\report.txt");
                    property("Left", std::to_string(i * 13));
                    property("Top", std::to_string(i * 17));
                    property("Enabled", i % 3 ? "True" : "False");
                    property("Note", "Last opened by the scheduler after the nightly run " + item);
                    put(w.WriteCloseTag(u"Item"));
                }
                put(w.WriteCloseTag(u"Group"));
            }
            put(w.WriteCloseTag(u"Section"));
        }
        property("LastSaved", "2026-12-05 21:00:00");
        put(w.WriteCloseTag(u"Settings"));
        std::ofstream(file, std::ios::binary) << out;
        return file;
    }();
    return path;
}

const std::vector<Query>& queries() {
    static const std::vector<Query> list = [] {
        static const char* const itemProperties[] = {"KEY", "PATH", "LEFT", "TOP", "ENABLED", "NOTE"};
        std::mt19937 rng(11);
        std::vector<Query> out;
        for (int q = 0; q < kQueries; ++q) {
            const int s = 1 + static_cast<int>(rng() % kSections), g = 1 + static_cast<int>(rng() % kGroups),
                      i = 1 + static_cast<int>(rng() % kItems);
            switch (q % 4) {
                case 0: out.push_back({0, 0, 0, q % 8 ? "LASTSAVED" : "VERSION"}); break;
                case 1: out.push_back({s, 0, 0, q % 3 ? "NAME" : "COLOR"}); break;
                case 2: out.push_back({s, g, 0, q % 3 ? "TITLE" : "WIDTH"}); break;
                default: out.push_back({s, g, i, itemProperties[rng() % std::size(itemProperties)]}); break;
            }
        }
        return out;
    }();
    return list;
}

// The file read a block at a time, each byte of this ASCII file widened to one unit as the
// reader holds it. The class reads and converts with the platform's code-page conversion in the
// same way, into the document, which indexes each block while it is fresh.
void widen(const char* bytes, size_t count, char16_t* out) {
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= count; i += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        auto* to = reinterpret_cast<__m128i*>(out + i);
        _mm_storeu_si128(to, _mm_unpacklo_epi8(b, _mm_setzero_si128()));
        _mm_storeu_si128(to + 1, _mm_unpackhi_epi8(b, _mm_setzero_si128()));
    }
#endif
    for (; i < count; ++i) out[i] = static_cast<unsigned char>(bytes[i]);
}

void load(Document& d) {
    std::ifstream file(settingsFile(), std::ios::binary);
    std::vector<char> buffer(size_t{1} << 18);
    size_t at = 0, held = 0;
    d.LoadFilled(static_cast<size_t>(std::filesystem::file_size(settingsFile())),
                 [&](char16_t* out, size_t from, size_t to) {
                     if (at == held) {
                         file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
                         at = 0;
                         held = static_cast<size_t>(file.gcount());
                     }
                     const size_t got = std::min(to - from, held - at);
                     widen(buffer.data() + at, got, out);
                     at += got;
                     return got;
                 });
}

// The 1,000 lookups in a loaded document, which is left at its first level again.
std::vector<std::string> queryNavigator(Document& d) {
    std::u16string settings = u"SETTINGS";
    d.ReadWithinTags(settings);
    std::vector<std::string> values;
    values.reserve(queries().size());
    for (const Query& q : queries()) {
        int entered = 0;
        const std::pair<const char16_t*, int> path[] = {{u"SECTION", q.section}, {u"GROUP", q.group}, {u"ITEM", q.item}};
        for (const auto& [tag, occurrence] : path) {
            if (occurrence == 0 || !d.ReadWithinTagsOccurence(tag, occurrence)) break;
            ++entered;
        }
        std::u16string value;
        d.ReadProperty(widen(q.property), value);
        values.push_back(narrow(value));
        while (entered-- > 0) d.ReadUpOneLevel();
    }
    d.ReadUpOneLevel();
    return values;
}

std::vector<std::string> withNavigator() {
    Document d;
    load(d);
    return queryNavigator(d);
}

pugi::xml_node nth(pugi::xml_node parent, const char* name, int occurrence) {
    pugi::xml_node node = parent.child(name);
    while (node && --occurrence > 0) node = node.next_sibling(name);
    return node;
}

std::vector<std::string> queryPugixml(const pugi::xml_document& doc) {
    const pugi::xml_node settings = doc.child("SETTINGS");
    std::vector<std::string> values;
    values.reserve(queries().size());
    for (const Query& q : queries()) {
        pugi::xml_node node = settings;
        if (q.section) node = nth(node, "SECTION", q.section);
        if (q.group) node = nth(node, "GROUP", q.group);
        if (q.item) node = nth(node, "ITEM", q.item);
        values.emplace_back(node.child_value(q.property.c_str()));
    }
    return values;
}

std::vector<std::string> withPugixml() {
    pugi::xml_document doc;
    doc.load_file(settingsFile().c_str());
    return queryPugixml(doc);
}

bool sameAnswers(benchmark::State& state) {
    static const bool same = [] {
        const auto a = withNavigator(), b = withPugixml();
        size_t found = 0;
        for (const auto& v : a) found += !v.empty();
        return a == b && found == a.size();
    }();
    if (!same) state.SkipWithError("the two readers disagree");
    return same;
}

void BM_SettingsNavigator(benchmark::State& state) {
    if (!sameAnswers(state)) return;
    for (auto _ : state) benchmark::DoNotOptimize(withNavigator());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(settingsFile())));
}

void BM_SettingsPugixml(benchmark::State& state) {
    if (!sameAnswers(state)) return;
    for (auto _ : state) benchmark::DoNotOptimize(withPugixml());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(settingsFile())));
}

// Opening alone: the navigator's first search builds its index; pugixml parses.
void BM_SettingsNavigatorOpenOnly(benchmark::State& state) {
    size_t textBytes = 0, indexBytes = 0;
    for (auto _ : state) {
        Document d;
        load(d);
        std::u16string settings = u"SETTINGS";
        benchmark::DoNotOptimize(d.ReadWithinTags(settings));
        textBytes = d.Content().capacity() * sizeof(char16_t);
        indexBytes = d.IndexBytes();
    }
    // What a document holds: the text once, and its index beside it.
    state.counters["text_MB"] = static_cast<double>(textBytes) / 1e6;
    state.counters["index_MB"] = static_cast<double>(indexBytes) / 1e6;
}

void BM_SettingsPugixmlOpenOnly(benchmark::State& state) {
    for (auto _ : state) {
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_file(settingsFile().c_str()));
    }
}

// This machine's timings drift by a third from one second to the next: each row is repeated,
// interleaved with the others, and its fastest repetition is the figure to compare.
void repeated(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->Repetitions(12)->DisplayAggregatesOnly(true)->ComputeStatistics(
        "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

// The lookups alone, in a file opened once.
void BM_SettingsNavigatorQueriesOnly(benchmark::State& state) {
    if (!sameAnswers(state)) return;
    Document d;
    load(d);
    for (auto _ : state) benchmark::DoNotOptimize(queryNavigator(d));
}

void BM_SettingsPugixmlQueriesOnly(benchmark::State& state) {
    if (!sameAnswers(state)) return;
    pugi::xml_document doc;
    doc.load_file(settingsFile().c_str());
    for (auto _ : state) benchmark::DoNotOptimize(queryPugixml(doc));
}

BENCHMARK(BM_SettingsNavigator)->Apply(repeated);
BENCHMARK(BM_SettingsPugixml)->Apply(repeated);
BENCHMARK(BM_SettingsNavigatorOpenOnly)->Apply(repeated);
BENCHMARK(BM_SettingsPugixmlOpenOnly)->Apply(repeated);
BENCHMARK(BM_SettingsNavigatorQueriesOnly)->Apply(repeated);
BENCHMARK(BM_SettingsPugixmlQueriesOnly)->Apply(repeated);

}  // namespace
