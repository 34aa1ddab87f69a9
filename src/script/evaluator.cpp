// Integer expressions: the parenthesis pass, then the shared tokeniser and
// reduction passes (expression_syntax.h) over each group's text. Variable
// references are resolved in evaluator_variables.cpp.
//
// The parenthesis pass is defined textually: a closed group at depth 0 is
// evaluated on its own, its decimal value replaces it in the text, and the
// scan goes on two bytes after the group's start. Done literally that is a
// recursive, quadratic rescan. Here every group is scanned once, in place:
// a stack of open groups (outermost first) each scans its own stretch of
// text_, and groupText_ holds, one after another, the texts the open groups
// have produced so far. When a group's scan ends its text is tokenised and
// reduced, and the value takes the place of that text in the enclosing
// group's output. Time and memory stay proportional to the expression.
#include <array>
#include <charconv>

#include "data/text.h"
#include "data/variable_store.h"
#include "script/errors.h"
#include "script/evaluator.h"
#include "script/expression_syntax.h"

namespace kiro {
namespace {

constexpr std::size_t kNone = std::string::npos;

}  // namespace

std::int32_t Evaluator::evaluateExpression(std::string_view text) {
    text_.assign(trimBlanks(text));
    bool plain = true;  // nothing for the parenthesis pass to do
    for (char& c : text_) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        else if (c == '(' || c == ')' || isLeadByte(c)) plain = false;
    }
    return plain ? evaluateTerms(text_) : evaluateGroups();
}

// The parenthesis pass. groups_[0] is the whole expression; deeper entries
// are the groups being evaluated, each scanning text_ from pos to end.
std::int32_t Evaluator::evaluateGroups() {
    groupText_.clear();
    groups_.clear();
    groups_.push_back({0, text_.size(), 0});
    if (closing_.size() < text_.size()) closing_.resize(text_.size());
    for (;;) {
        Group& group = groups_.back();
        if (group.pos == group.end) {
            if (groups_.size() == 1) return evaluateTerms(groupText_);
            closeGroup();
            continue;
        }
        const char c = text_[group.pos];
        if (c == '(') {
            openGroup(group.pos);
        } else if (c == ')') {
            throw CExecError(error_code::UnmatchedClose);
        } else if (groups_.size() == 1 && isLeadByte(c)) {
            // Inside a group the lead bytes were found when it was matched.
            throw CExecError(error_code::DoubleByte);
        } else {
            groupText_ += c;
            ++group.pos;
        }
    }
}

// A '(' met at depth 0 of the innermost open group.
void Evaluator::openGroup(std::size_t open) {
    const std::size_t close = groups_.size() == 1 ? matchTopLevelGroup(open) : closing_[open];
    if (close == kNone) {
        // Never closed: the rest stays in the text, where the tokeniser
        // skips the parenthesis.
        groupText_.append(text_, open, kNone);
        groups_.back().pos = text_.size();
        return;
    }
    if (close == open + 1) throw CExecError(error_code::EmptyGroup);
    groups_.push_back({open + 1, close, groupText_.size()});
}

// Finds the ')' closing the '(' at `open` at the top level, recording the
// closing position of every '(' inside for the inner groups. A lead byte
// inside raises 12 before anything in the group is evaluated; kNone when
// the text ends first.
std::size_t Evaluator::matchTopLevelGroup(std::size_t open) {
    opens_.clear();
    for (std::size_t i = open; i < text_.size(); ++i) {
        const char c = text_[i];
        if (c == '(') {
            opens_.push_back(i);
        } else if (c == ')') {
            closing_[opens_.back()] = i;
            opens_.pop_back();
            if (opens_.empty()) return i;
        } else if (isLeadByte(c)) {
            throw CExecError(error_code::DoubleByte);
        }
    }
    return kNone;
}

// The innermost group's scan has ended: its value replaces its text.
void Evaluator::closeGroup() {
    const Group group = groups_.back();
    const std::int32_t value = evaluateTerms(std::string_view(groupText_).substr(group.textStart));
    groups_.pop_back();
    char digits[12];
    const char* digitsEnd = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const auto length = static_cast<std::size_t>(digitsEnd - digits);
    groupText_.resize(group.textStart);
    groupText_.append(digits, length);
    // The scan goes on two bytes after the group's start. Past a value of
    // two or more bytes that is the byte after the ')'; past a one-digit
    // value the byte after the ')' is passed over unscanned (so "(1)(2)"
    // leaves the second '(' unseen and its ')' unmatched).
    Group& outer = groups_.back();
    outer.pos = group.end + 1;
    if (length == 1 && outer.pos < outer.end) groupText_ += text_[outer.pos++];
}

// The tokeniser's reader on the text path: each operand is read as its term
// is made, left to right; errors are raised where the text has them.
struct Evaluator::ValueReader {
    static constexpr bool kSeesGroups = false;
    Evaluator& evaluator;

    bool term(const Tokens& tokens, std::int32_t op) {
        const std::int32_t value = tokens.isVariable
                                       ? evaluator.readVariable(tokens.variableName(), tokens.indexText())
                                       : decimalValue(tokens.token);
        evaluator.terms_.push_back({value, op});
        return true;
    }
    [[noreturn]] static bool fail(std::int32_t code) { throw CExecError(code); }
};

std::int32_t Evaluator::evaluateTerms(std::string_view text) {
    terms_.clear();
    ValueReader reader{*this};
    tokenise(text, 0, tokens_, reader);
    reduceTerms(terms_, tokens_.passes, [](Term<std::int32_t>& left, const Term<std::int32_t>& right) {
        left.value = compute(left.op, left.value, right.value);
    });
    return terms_[0].value;
}

}  // namespace kiro
