// The text core of the XML file and element classes: the written lines, and reading, navigating
// and editing a loaded text through a stack of nested ranges. Portable (no Windows headers).
// Positions in the level stack are 1-based code-unit positions, as the automation members see
// them; spans handed out for elements are 0-based offsets into the text they were cut from.
// Tag searches use lrkInstr in text mode (low byte of each unit, a..z folded).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "frame/filled_string.hpp"

namespace lark::xml {

using Units = std::u16string_view;

inline constexpr int32_t kIndentIncrement = 3;
inline constexpr int32_t kMaxLevels = 50;
inline constexpr int32_t kNoLongDefault = INT32_MIN;

// A piece of a text: 0-based offset and length in code units.
struct Span {
    size_t offset;
    size_t length;
    friend bool operator==(const Span&, const Span&) = default;
};

// Tag names as written: only a..z are raised, like every other fold in the library.
std::u16string upperCase(Units text);

// The file name of a path read back: the text after its last backslash, "" without one.
std::u16string fileNameAfterBackslash(Units path);

// The loose number reading of property values: leading blanks skipped, the longest leading
// number taken (&H and &O prefixes too), 0 when nothing is numeric.
double leadingNumber(Units text);

// leadingNumber rounded half to even; 0 outside the Long range.
int32_t toLong(Units text);

// True/False in any case, or a whole number text (0 is False); nothing when not convertible.
std::optional<bool> toBoolean(Units text);

// Produces the lines of a file being written, each ended by CR LF, and keeps the indent.
// A negative indent raises error 5 when a line is made; the indent change of WriteCloseTag
// stands even then. A change that would take the indent out of the Long range raises error 6
// before any line is made, and the indent stays.
class Writer {
public:
    int32_t Indent() const { return indent_; }
    void SetIndent(int32_t value) { indent_ = value; }
    // Back to the state of a newly opened output file.
    void Reset() { indent_ = 0; }

    std::u16string WriteAnnouncementTag() const;
    std::u16string WriteOpenTag(Units tagName);
    std::u16string WriteCloseTag(Units tagName);
    std::u16string WriteProperty(Units propertyName, Units propertyValue) const;

private:
    std::u16string line(Units body) const;
    // The indent after a change by step.
    int32_t movedIndent(int32_t step) const;
    int32_t indent_ = 0;
};

// Remembers where the tags of a large text start, so that lookups (an occurrence walk, a property
// read per setting, at any depth) do not scan the text again. A tag is a "<" and the units up to
// the next ">", read as lrkInstr's text mode sees them (low byte, a..z folded). Every answer
// equals lrkInstr's in text mode; a pattern that is not a single tag is searched directly.
//
// Opening a text costs one pass, made while it is filled in (or else on the first search): it
// records where each "<" is and a one-byte print of the units after it, 5 bytes a bracket and no
// copy of any text. Which tag is which is only worked out for the tags looked for:
// - a search goes through the prints from its start on and compares the text where its own
//   print turns up, which is all a short hop (a property of the current level, the next
//   occurrence in a walk) needs;
// - a tag whose search runs far gets the sorted list of its positions, built by one pass over
//   the prints, and is then found by halving;
// - once such lists have cost several passes (many tags searched far, or prints shared by many
//   different tags), every tag is sorted into its group in one pass, and searches go by the
//   lists alone.
// It serves one text: clear() whenever that text changes.
class TagIndex {
public:
    // Texts shorter than this are always searched directly.
    static constexpr size_t kDefaultThreshold = size_t{1} << 16;
    // Longer tags (brackets included) are not indexed, and patterns that long are searched directly.
    static constexpr size_t kMaxTagUnits = 256;

    void clear() {
        built_ = false;
        sorted_ = false;
        indexed_ = 0;
        hint_ = 0;
        listingWork_ = 0;
        nearSearches_ = {};
        opens_.clear();
        openSamples_.clear();
        prints_.clear();
        positions_.clear();
        brackets_.clear();
        samples_.clear();
        groups_.clear();
        slots_.clear();
    }
    void setThreshold(size_t units) { threshold_ = units; }
    // Whether a text this long is indexed at all.
    bool indexes(size_t units) const { return units >= threshold_; }
    // Indexes a text that is still arriving, as far as it has come: text holds the units so far,
    // and complete says whether that is all of it. The brackets are then recorded before the
    // first search, read while the text was fresh in the cache.
    void extend(Units text, bool complete);
    // Keeps only these bits of every hash and print, so that tests can make different tags share one.
    void setHashMask(uint64_t mask) {
        hashMask_ = mask;
        clear();
    }
    // How a tag is known. A tag of up to 16 units: its folded bytes, zero-padded, which end at its
    // ">" and so also give its length. A longer one: a hash of its units, and in hi its print
    // under all ones. No tag has the empty key.
    struct Key {
        uint64_t lo = 0, hi = 0;
        friend bool operator==(const Key&, const Key&) = default;
    };
    // The listed tags of one key: their positions are positions_[begin, end), with where the last
    // lookup ended, since walks move forward. Long tags are grouped by their hash and print, so each
    // of their positions is checked against the pattern. samples_ from samples on holds every
    // kSampleStep-th of them, so that a search narrows to one short run of positions within a few
    // cache lines.
    struct Group {
        uint32_t begin = 0, end = 0, last = 0;
        uint32_t samples = 0;
        bool checked = false;
    };
    // A pattern looked up once for all the searches of a walk; valid until the index is cleared.
    struct Prepared {
        Units pattern;
        bool direct = true;  // searched in the text itself
        // Else how its tag is known, and the number of its group when it was listed already.
        Key key;
        uint8_t print = 0;
        uint32_t group = 0;
    };
    Prepared prepare(Units text, Units pattern);
    // The first match of pattern at or after start (1-based), 0 when there is none.
    int32_t find(Units text, int32_t start, const Prepared& pattern);
    // The memory the index holds, in bytes.
    size_t heldBytes() const;
    int32_t find(Units text, int32_t start, Units pattern) { return find(text, start, prepare(text, pattern)); }

private:
    static constexpr uint32_t kSampleStep = 64;
    // A search that passes this many brackets without a match lists its tag's positions.
    static constexpr uint32_t kShortHop = 256;
    // Searches through the prints, per print and bracket, after which the tag searched is listed.
    static constexpr size_t kNearPerList = 32;
    // Listings may cost this many passes over the brackets before every tag is sorted.
    static constexpr uint64_t kListingPasses = 4;
    // Open addressing by a hash of the key; group is the group number, 0 when free.
    struct Slot {
        Key key;
        uint32_t group = 0;
    };
    void build(Units text);
    size_t slotOf(const Key& key) const;
    // The slot of key: its own, or the free one where it belongs.
    Slot& probe(const Key& key);
    void growSlots();
    // The number of the group of key; a new, empty one for a key not seen before.
    uint32_t groupNumberOf(const Key& key);
    // The key of the tag whose bracket is opens_[k]; the empty key when no tag opens there.
    Key keyAtBracket(Units text, size_t k) const;
    // The first of the sorted at[lo, hi) at or after start, where sample[k] is at[begin + k *
    // kSampleStep], so that a search narrows to one short run within a few cache lines.
    static uint32_t firstFrom(const int32_t* at, const int32_t* sample, uint32_t begin, uint32_t lo, uint32_t hi,
                              int32_t start);
    int32_t findListed(Units text, int32_t start, Group& group, Units pattern);
    // The search through the prints; nothing when it ran past kShortHop brackets first.
    std::optional<int32_t> findNear(Units text, int32_t start, const Prepared& tag);
    // Whether the tag lies at the 1-based position pos.
    bool isAt(Units text, int32_t pos, const Prepared& tag) const;
    // The number of the tag's group, listed from the brackets with its print.
    uint32_t list(Units text, const Prepared& tag);
    // Gives every tag of the text its group, in place of what the searches through the prints use.
    void sortAll(Units text);
    void addSamples(Group& group);

    // Every "<" of the text in order (1-based), every kSampleStep-th of them, and the print of the
    // units after each.
    std::vector<int32_t> opens_;
    std::vector<int32_t> openSamples_;
    std::vector<uint8_t> prints_;
    std::vector<int32_t> positions_;  // 1-based
    std::vector<uint32_t> brackets_;  // where in opens_ each of positions_ is
    std::vector<int32_t> samples_;
    std::vector<Group> groups_;
    std::vector<Slot> slots_;
    unsigned slotShift_ = 64;
    // While the text is being indexed: where the next bracket search starts.
    size_t indexed_ = 0;
    // The bracket where the last search ended.
    uint32_t hint_ = 0;
    // What the listings have cost so far, in brackets passed.
    uint64_t listingWork_ = 0;
    // The searches through the prints since the last listing of a tag with that print.
    std::array<uint32_t, 256> nearSearches_{};
    bool built_ = false;
    bool sorted_ = false;  // every tag has its group
    size_t threshold_ = kDefaultThreshold;
    uint64_t hashMask_ = UINT64_MAX;
};

// Name/value pairs listed by ReadAllProperties.
struct PropertyList {
    std::vector<std::u16string> names;
    std::vector<std::u16string> values;
};

// The loaded text of a file and its level stack. Every reading and editing member traps its
// errors and returns what it reached, so the automation class only converts arguments.
class Document {
public:
    // Replaces the text and starts at level 1 (the whole text). False for a text too long for
    // 32-bit positions; the document is then left as it was.
    bool Load(std::u16string text);
    // The same for a text of at most count units that fill(out, from, to) writes a block at a
    // time, units [from, to) at out, as a file is read and converted. fill returns how many it
    // wrote; fewer than asked ends the text there. Each block is indexed while it is fresh.
    template <class Fill>
    bool LoadFilled(size_t count, Fill fill);

    const std::u16string& Content() const { return content_; }
    // 0 before any text is loaded, 51 after a failed attempt to enter a 51st level.
    int32_t Level() const { return level_; }
    // The current range [start, end) in 1-based positions; nothing when no range exists.
    std::optional<std::pair<int32_t, int32_t>> CurrentRange() const;

    // Upper-cases tagName in place (the caller's variable changes too).
    bool ReadWithinTags(std::u16string& tagName);
    bool ReadWithinTagsOccurence(Units tagName, int32_t occurrence);
    bool ReadUpOneLevel();

    // value takes defaultValue first when that is not empty; it changes again only when found.
    bool ReadProperty(Units propertyName, std::u16string& value, Units defaultValue = {}) const;
    int32_t ReadPropertyLong(Units propertyName, int32_t defaultValue = kNoLongDefault) const;
    // reference changes only when found and convertible.
    bool ReadPropertyBoolean(Units propertyName, bool& reference) const;
    // Lists the children of the current level, storing at most capacity pairs (the room of the
    // caller's arrays). Returns the count, or -1 on failure with the pairs stored so far kept.
    int32_t ReadAllProperties(size_t capacity, PropertyList& out) const;
    int32_t CountTags(Units tagName) const;
    // The inner texts of the successive tagName pairs of the current level, as spans of
    // Content(). A pair with nothing between its tags gives an empty span.
    std::vector<Span> Tags(Units tagName) const;

    bool AppendTextWithinTag(Units textToInject);
    bool DeleteCurrentSection();
    // The text ReWrite puts in the file: the content and one CR LF.
    std::u16string ReWriteText() const { return content_ + u"\r\n"; }

    // The text length from which tag positions are indexed (for tests of the index).
    void SetIndexThreshold(size_t units) { index_.setThreshold(units); }
    // The memory the tag index holds beside the text, in bytes.
    size_t IndexBytes() const { return index_.heldBytes(); }

private:
    // Positions are 32-bit and a range end may be one past the text.
    static constexpr size_t kMaxUnits = static_cast<size_t>(INT32_MAX) - 8;
    static constexpr size_t kLoadBlock = size_t{1} << 14;
    // Takes the text and starts at level 1; the index is already cleared or built for it.
    void start(std::u16string text);

    struct Pair {
        int32_t open;   // position of the opening tag's "<"
        int32_t inner;  // first position after the opening tag
        int32_t close;  // position of the closing tag's "<"
        int32_t after;  // first position after the closing tag
    };
    // A name's opening and closing tags, each looked up in the index once.
    struct TagPair;
    // The first pair of tags from position from on, both starting before end.
    std::optional<Pair> findPair(int32_t from, int32_t end, const TagPair& tags) const;
    bool push(const Pair& pair);
    int32_t locate(int32_t start, Units pattern) const;

    std::u16string content_;
    int32_t level_ = 0;
    std::array<int32_t, kMaxLevels> start_{};
    std::array<int32_t, kMaxLevels> end_{};
    // A cache of the content: reading members stay const, and an object is used by one thread.
    mutable TagIndex index_;

    // The pairs an occurrence walk found in a range, kept for the next walk of the same name and
    // range: a client stepping through the occurrences one call at a time then goes on from the
    // last pair instead of from the first. Forgotten whenever the content changes.
    struct Walk {
        std::u16string name;
        int32_t from = 0, end = 0;
        std::vector<Pair> pairs;
        bool complete = false;  // the range holds no further pair
        uint64_t used = 0;      // 0: free
    };
    Walk& walkOf(Units tagName, int32_t from, int32_t end);
    std::array<Walk, 4> walks_;
    uint64_t walkClock_ = 0;
};

template <class Fill>
bool Document::LoadFilled(size_t count, Fill fill) {
    if (count > kMaxUnits) return false;
    index_.clear();
    const bool indexed = index_.indexes(count);
    start(lark::filledString<char16_t>(count, [&](char16_t* out) {
        size_t done = 0;
        for (bool complete = count == 0; !complete;) {
            const size_t want = std::min(count - done, kLoadBlock);
            const size_t got = std::min<size_t>(fill(out + done, done, done + want), want);
            done += got;
            complete = got < want || done == count;
            if (indexed) index_.extend(Units(out, done), complete);
        }
        return done;
    }));
    return true;
}

// An element: its own copy of a span, so it outlives any edit of the text it was cut from.
class Element {
public:
    enum class Kind {
        Inner,   // made from a file level: the text between the tags
        Tagged,  // made from another element: the span includes its tags
    };

    Element() = default;
    Element(Units text, Span span, Kind kind);

    Kind kind() const { return kind_; }
    const std::u16string& Contents() const { return span_; }
    std::u16string Value() const;
    // A ">"-separated path of tag names; "" when any step is missing.
    std::u16string GetProperty(Units propertyName) const;
    // The successive tagName pairs of the span, tags included, as spans of Contents().
    std::vector<Span> Tags(Units tagName) const;
    Element Child(Span span) const { return Element(span_, span, Kind::Tagged); }

private:
    std::u16string span_;
    Kind kind_ = Kind::Inner;
};

}  // namespace lark::xml
