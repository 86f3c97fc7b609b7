#include "text/command_line.hpp"

#include <new>
#include <utility>

#include "text/strings.hpp"

namespace lark::text {
namespace {

constexpr char16_t kSpace = u' ';
constexpr char16_t kQuote = u'"';

// Positions are 1-based and 16-bit signed, as this parser's clients have always had them: the
// position p may hold 1 to 32,767. Every move of p goes through moveTo; a move to 32,768 or
// beyond makes the parse malformed there. Looking ahead (for the closing mark or the next space)
// is not a move and may read past 32,767. Since p moves after the parameter it passes is stored,
// that parameter is kept. At the boundary:
//   - a quoted parameter whose closing mark sits at 32,767 is stored, then the parse fails;
//   - an unquoted parameter that starts the line or follows a parameter directly moves p to its
//     end, the end of the line included: one word of 32,767 units is stored, then the parse fails
//     (32,766 units parse cleanly);
//   - skipping spaces moves p one unit at a time, so a parameter after spaces must start at or
//     before 32,767; if no space follows it, it runs to the end of the line, however long, and
//     the parse ends without another move.
constexpr int32_t kMaxPosition = 32767;

class Parser {
public:
    explicit Parser(Units line) : line_(line), length_(line.size()) {}

    ParsedCommandLine run() {
        try {
            parse();
        } catch (const std::bad_alloc&) {
            out_.malformed = true;  // a parameter that could not be stored ends the parse
        }
        return std::move(out_);
    }

private:
    char16_t at(size_t p) const { return line_[p - 1]; }

    // The position of the next c at or after from, or 0 when there is none.
    size_t find(char16_t c, size_t from) const {
        const size_t i = line_.find(c, from - 1);
        return i == Units::npos ? 0 : i + 1;
    }

    // Parameters from position first up to, not including, position end.
    bool store(size_t first, size_t end) {
        ++out_.count;  // counted before the store, so a 101st parameter leaves the count at 101
        if (out_.count > kMaxParameters) return fail();
        out_.parameters.emplace_back(line_.substr(first - 1, end - first));
        return true;
    }

    bool moveTo(size_t next) {
        if (next > static_cast<size_t>(kMaxPosition)) return fail();
        p_ = next;
        return true;
    }

    bool fail() {
        out_.malformed = true;
        return false;
    }

    void parse() {
        while (p_ <= length_) {
            const char16_t c = at(p_);
            if (c == kQuote) {
                const size_t close = find(kQuote, p_ + 1);
                if (!close) {
                    fail();  // unterminated: what was found so far stands
                    return;
                }
                if (!store(p_ + 1, close) || !moveTo(close + 1)) return;
            } else if (c == kSpace) {
                size_t next = p_;
                while (next <= length_ && at(next) == kSpace) ++next;
                if (!moveTo(next)) return;
                if (p_ > length_) return;
                if (at(p_) == kQuote) continue;
                // After spaces, only a space ends the parameter: quotation marks stay inside it.
                const size_t space = find(kSpace, p_);
                if (!space) {
                    store(p_, length_ + 1);
                    return;
                }
                if (!store(p_, space) || !moveTo(space + 1)) return;
            } else {
                const size_t space = find(kSpace, p_ + 1);
                const size_t quote = find(kQuote, p_ + 1);
                size_t end = length_ + 1;
                if (space) end = space;
                if (quote && quote < end) end = quote;
                if (!store(p_, end) || !moveTo(end)) return;
            }
        }
    }

    Units line_;
    size_t length_;
    size_t p_ = 1;
    ParsedCommandLine out_;
};

}  // namespace

ParsedCommandLine parseCommandLine(std::u16string_view line) { return Parser(TrimSpaces(line)).run(); }

}  // namespace lark::text
