// The PRINTFORM expansion.
//
// Seven phases run in order: {expressions}, %string references%, then the
// name markers "***", "$$$", "+++", "///" and "===". Each phase replaces its
// first occurrence again and again, every search starting from the start of
// the whole text, so a value a phase inserts is searched again by that phase
// and the later ones.
//
// Searching from the start each time would make the expansion quadratic, so
// each phase instead keeps the text as a finished prefix plus the text
// still to search, and resumes at the start of what it just inserted. That
// gives the same matches: the finished prefix ends on a character boundary
// and holds no occurrence, and no marker can straddle its end (a marker is
// one character repeated three times, so a prefix ending in that character
// would have matched one byte earlier).
//
// A PreparedForm skips all that for a script line's form whose later phases
// have nothing to find. The inserted values are digits and '-', which are
// neither '%' nor part of any marker, so a marker or '%' in the expansion
// would have to lie in one literal run: literal runs holding none leave
// nothing for phases 2 to 7.
#include "script/form_expansion.h"

#include <charconv>
#include <cstring>

#include "data/text.h"
#include "script/errors.h"
#include "script/evaluator.h"

namespace kiro {
namespace {

// Counts substitutions and watches the length, so that a text that keeps
// reproducing itself ends with error 32 instead of running for ever.
class Budget {
public:
    void take() {
        if (left_ == 0) throw CExecError(error_code::FormRunaway);
        --left_;
    }
    static void checkLength(std::size_t length) {
        if (length > kMaxFormLength) throw CExecError(error_code::FormRunaway);
    }

private:
    int left_ = kMaxFormSubstitutions;
};

// The text still to search. An inserted value goes to its front, into room
// kept free there, so an insertion costs the value's length rather than a
// copy of everything after it.
class PendingText {
public:
    explicit PendingText(std::string_view text) : buffer_(text) {}
    std::string_view view() const { return std::string_view(buffer_).substr(start_); }
    void consume(std::size_t count) { start_ += count; }
    void prepend(std::string_view value) {
        if (value.size() > start_) makeRoom(value.size());
        start_ -= value.size();
        std::memcpy(buffer_.data() + start_, value.data(), value.size());
    }

private:
    void makeRoom(std::size_t needed) {
        std::size_t room = needed + view().size();  // grows geometrically
        std::string grown(room, '\0');
        grown.append(view());
        buffer_.swap(grown);
        start_ = room;
    }

    std::string buffer_;
    std::size_t start_ = 0;
};

// Phase 1. An inserted number holds no "{" and no lead byte, so the search
// simply goes on after the "}".
void expandExpressions(Evaluator& evaluator, std::string& text, Budget& budget) {
    std::size_t open = findSingleByte(text, '{');
    if (open == std::string::npos) return;
    std::string result;
    result.reserve(text.size());
    std::size_t from = 0;
    while (open != std::string::npos) {
        std::size_t close = findSingleByte(text, '}', open + 1);
        if (close == std::string::npos) throw CExecError(error_code::UnclosedBrace);
        budget.take();
        std::int32_t value = evaluator.evaluateExpression(std::string_view(text).substr(open + 1, close - open - 1));
        char digits[16];
        char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        result.append(text, from, open - from).append(digits, end);
        Budget::checkLength(result.size() + text.size() - close - 1);
        from = close + 1;
        open = findSingleByte(text, '{', from);
    }
    result.append(text, from);
    text.swap(result);
}

struct Span {
    std::size_t start, end;
};

// One rescanning phase: `find` locates the next occurrence in the pending
// text as a Span (start npos when there is none); `value` yields its
// replacement.
template <typename Find, typename Value>
void expandRescanning(std::string& text, Budget& budget, Find find, Value value) {
    std::string done;
    PendingText pending(text);
    for (;;) {
        std::string_view rest = pending.view();
        auto [start, end] = find(rest);
        if (start == std::string_view::npos) break;
        budget.take();
        std::string inserted = value(rest.substr(start, end - start));
        Budget::checkLength(done.size() + start + inserted.size() + rest.size() - end);
        done.append(rest.substr(0, start));
        pending.consume(end);
        pending.prepend(inserted);
    }
    done.append(pending.view());
    text.swap(done);
}

// Phase 2: the text between two "%" is a string reference, read as written.
void expandReferences(Evaluator& evaluator, std::string& text, Budget& budget) {
    if (findSingleByte(text, '%') == std::string::npos) return;
    auto find = [](std::string_view rest) {
        std::size_t open = findSingleByte(rest, '%');
        if (open == std::string_view::npos) return Span{open, open};
        std::size_t close = findSingleByte(rest, '%', open + 1);
        if (close == std::string_view::npos) throw CExecError(error_code::UnclosedPercent);
        return Span{open, close + 1};
    };
    auto value = [&](std::string_view match) {
        return evaluator.readStringVariable(match.substr(1, match.size() - 2));
    };
    expandRescanning(text, budget, find, value);
}

struct NameMarker {
    std::string_view marker;
    std::string_view reference;
};

constexpr NameMarker kNameMarkers[] = {
    {"***", "NAME:TARGET"},   {"$$$", "CALLNAME:TARGET"}, {"+++", "CALLNAME:MASTER"},
    {"///", "NAME:ASSI"},     {"===", "CALLNAME:PLAYER"},
};

// Phases 3 to 7: each marker becomes its reference's value, read anew
// every time.
void expandMarker(Evaluator& evaluator, std::string& text, Budget& budget, const NameMarker& name) {
    if (text.find(name.marker) == std::string::npos) return;
    auto find = [&](std::string_view rest) {
        std::size_t at = rest.find(name.marker);
        return Span{at, at == std::string_view::npos ? at : at + name.marker.size()};
    };
    auto value = [&](std::string_view) { return evaluator.readStringVariable(name.reference); };
    expandRescanning(text, budget, find, value);
}

// What a value inserted by phase 1 can add to the length at most ("-2147483648").
constexpr std::size_t kMaxValueLength = 11;

bool hasLaterPhaseWork(std::string_view text) {
    if (text.find('%') != std::string_view::npos) return true;
    for (const NameMarker& name : kNameMarkers)
        if (text.find(name.marker) != std::string_view::npos) return true;
    return false;
}

}  // namespace

PreparedForm::PreparedForm(std::string_view text) : text_(text) {
    // Past either bound expandForm may fail with error 32, at its own moment.
    if (text.size() > kMaxFormLength) return;
    std::size_t from = 0;
    for (std::size_t open; (open = findSingleByte(text, '{', from)) != std::string_view::npos;) {
        const std::size_t close = findSingleByte(text, '}', open + 1);
        // Error 30 comes after the earlier values; the later phases read
        // references. expandForm does both.
        if (close == std::string_view::npos || hasLaterPhaseWork(text.substr(from, open - from)) ||
            pieces_.size() == static_cast<std::size_t>(kMaxFormSubstitutions)) {
            pieces_.clear();
            return;
        }
        pieces_.push_back({text.substr(from, open - from), Expression(text.substr(open + 1, close - open - 1))});
        from = close + 1;
    }
    tail_ = text.substr(from);
    direct_ = !hasLaterPhaseWork(tail_) && text.size() + pieces_.size() * kMaxValueLength <= kMaxFormLength;
    if (!direct_) pieces_.clear();
}

void PreparedForm::expand(Evaluator& evaluator, std::string& out) const {
    if (!direct_) {
        out = expandForm(evaluator, text_);
        return;
    }
    out.clear();
    for (const Piece& piece : pieces_) {
        out.append(piece.before);
        const std::int32_t value = piece.expression.evaluate(evaluator);
        char digits[16];
        out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    }
    out.append(tail_);
}

std::string expandForm(Evaluator& evaluator, std::string_view form) {
    std::string text(form);
    Budget budget;
    expandExpressions(evaluator, text, budget);
    expandReferences(evaluator, text, budget);
    for (const NameMarker& name : kNameMarkers) expandMarker(evaluator, text, budget, name);
    return text;
}

}  // namespace kiro
