// The expression compiler: turns an expression text into steps, or gives up
// and leaves the text to the text evaluator.
//
// It walks the text with the text evaluator's own tokeniser states, so a
// text compiles to the terms that evaluating it would make, in the same
// order. Where that walk would raise an error, or where a group's value
// would not be a plain operand of its own (after a '-', in an index, next
// to a digit), the result could depend on the values, so it gives up.
#include <algorithm>
#include <string>

#include "data/variable_store.h"
#include "script/expression_code.h"
#include "script/expression_syntax.h"
#include "script/text.h"

namespace kiro {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

IndexOperand resolveIndexPart(std::string_view part) {
    if (!part.empty() && isDigit(part[0])) return {IndexOperand::kNumber, decimalValue(part)};
    const std::optional<std::int32_t> code = VariableStore::lookupIntVariable(trimBlanks(part));
    return code ? IndexOperand{IndexOperand::kVariable, *code} : IndexOperand{IndexOperand::kUnknown, 0};
}

// A global array element whose index is a number: read with one bounds check.
bool isPlainGlobal(const VariableRef& ref) {
    return ref.code >= kFirstGlobalCode && ref.code < kGlobalSlots && ref.code != kRand && ref.code != kCharaNum &&
           ref.first.kind != IndexOperand::kVariable && ref.first.kind != IndexOperand::kUnknown &&
           ref.second.kind == IndexOperand::kAbsent;
}

enum class TokenState { Start, InNumber, InName, AfterOperand };

// A term of the group being compiled: the slot holding its value and the
// operator after it.
struct Term {
    std::uint8_t slot;
    std::int32_t op;
};

class Compiler {
public:
    explicit Compiler(std::string_view text) : text_(upperCased(trimBlanks(text))) {}

    std::unique_ptr<ExpressionCode> compile();

private:
    // A group inside the one being compiled: where its value is, where it ends.
    struct InnerGroup {
        std::uint8_t slot;
        std::size_t close;
    };

    bool matchGroups();
    bool compileGroup(std::size_t begin, std::size_t end, std::uint8_t& result);
    bool compileTerms(std::size_t begin, std::size_t end, const std::vector<InnerGroup>& inner, std::uint8_t& result);
    bool addTerm(std::int32_t op);
    bool foldTerms(std::size_t first);
    bool newSlot(std::uint8_t& slot);

    std::string text_;
    std::vector<std::size_t> closing_;  // the position of each group's ')', in the order the groups open
    std::size_t nextGroup_ = 0;         // the next group compileGroup meets
    ExpressionCode code_;
    int slots_ = 0;

    // The tokeniser's state while a group's own text is walked.
    std::vector<Term> terms_;
    std::string token_, varName_;
    bool isVariable_ = false;
    int pendingGroup_ = -1;  // the slot of a group value standing as the pending operand
};

std::unique_ptr<ExpressionCode> Compiler::compile() {
    if (std::any_of(text_.begin(), text_.end(), isLeadByte) || !matchGroups()) return nullptr;
    std::uint8_t result = 0;
    if (!compileGroup(0, text_.size(), result)) return nullptr;
    code_.result = result;
    return std::make_unique<ExpressionCode>(std::move(code_));
}

// Every parenthesis paired, no group empty, and no more groups than there
// are slots for (each group's value needs one); otherwise the text path
// raises 10 or 11 somewhere in its scan, leaves an unclosed '(' to the
// tokeniser, or the steps could not hold it. Stops at the first of these, so
// a text of any length costs no more than kMaxSlots positions.
bool Compiler::matchGroups() {
    std::vector<std::size_t> open;  // ordinals of the '(' not yet closed
    for (std::size_t i = 0; i < text_.size(); ++i) {
        if (text_[i] == '(') {
            if (closing_.size() == static_cast<std::size_t>(ExpressionCode::kMaxSlots)) return false;
            open.push_back(closing_.size());
            closing_.push_back(i);  // for now where it opens
        } else if (text_[i] == ')') {
            if (open.empty() || closing_[open.back()] + 1 == i) return false;
            closing_[open.back()] = i;
            open.pop_back();
        }
    }
    return open.empty();
}

// A group (or the whole text) spans [begin, end). Its inner groups come
// first, each complete with its folding, then its own operands and folds.
// Groups are met in the order they open, which is the order of closing_.
bool Compiler::compileGroup(std::size_t begin, std::size_t end, std::uint8_t& result) {
    std::vector<InnerGroup> inner;
    for (std::size_t i = begin; i < end; ++i) {
        if (text_[i] != '(') continue;
        const std::size_t close = closing_[nextGroup_++];
        std::uint8_t slot = 0;
        if (!compileGroup(i + 1, close, slot)) return false;
        inner.push_back({slot, close});
        i = close;
    }
    return compileTerms(begin, end, inner, result);
}

// The tokeniser over the group's own text, each inner group standing as an
// operand whose value is in its slot. Mirrors Evaluator::tokenise; every
// error it would raise makes the compiler give up.
bool Compiler::compileTerms(std::size_t begin, std::size_t end, const std::vector<InnerGroup>& inner,
                            std::uint8_t& result) {
    const std::size_t firstTerm = terms_.size();
    token_.clear();
    varName_.clear();
    isVariable_ = false;
    pendingGroup_ = -1;
    bool minus = false;
    std::size_t nextInner = 0;
    TokenState state = TokenState::Start;
    const std::string_view text(text_.data(), end);
    for (std::size_t i = begin; i < end; ++i) {
        const char c = text[i];
        if (c == '(') {
            // The value's digits arrive in Start with nothing pending, and
            // what follows must end them (a blank, an operator, the end), as
            // the InNumber state below checks. Then passing over the byte
            // after a one-digit value, as the parenthesis pass does, changes
            // nothing: that byte is no parenthesis.
            if (state != TokenState::Start || !token_.empty() || !varName_.empty()) return false;
            pendingGroup_ = inner[nextInner].slot;
            state = TokenState::InNumber;
            i = inner[nextInner++].close;
            continue;
        }
        const CharClass k = classOf(c);
        switch (state) {
            case TokenState::Start:
                if (k == kDigitChar) {
                    token_ += c;
                    state = TokenState::InNumber;
                } else if (k == kMinusChar) {
                    if (minus) return false;
                    token_ += c;
                    minus = true;
                } else if (k == kLetterChar) {
                    isVariable_ = true;
                    token_ += c;
                    state = TokenState::InName;
                }
                continue;
            case TokenState::InNumber:
                if (k == kDigitChar) {
                    if (pendingGroup_ >= 0) return false;  // digits joining a group's value
                    token_ += c;
                } else if (k == kBlankChar) {
                    state = TokenState::AfterOperand;
                } else if (!isOperatorClass(k)) {
                    return false;
                } else {
                    break;
                }
                continue;
            case TokenState::InName:
                if (k == kLetterChar || k == kUnderscoreChar) {
                    token_ += c;
                } else if (k == kColonChar) {
                    if (varName_.empty()) varName_.swap(token_);
                    else token_ += c;
                    state = TokenState::Start;
                } else if (k == kBlankChar) {
                    state = TokenState::AfterOperand;
                } else if (!isOperatorClass(k)) {
                    return false;
                } else {
                    break;
                }
                continue;
            case TokenState::AfterOperand:
                if (k == kBlankChar) continue;
                if (!isOperatorClass(k)) return false;
                break;
        }
        const std::int32_t op = operatorCodeAt(text, i);
        if (op == kLoneOperator || !addTerm(op)) return false;
        minus = false;
        state = TokenState::Start;
    }
    if ((!token_.empty() || pendingGroup_ >= 0) && !addTerm(kNoOperator)) return false;
    // No operand at all, or an operator with nothing after it: error 17.
    if (terms_.size() == firstTerm || terms_.back().op != kNoOperator) return false;
    result = terms_[firstTerm].slot;
    return foldTerms(firstTerm);
}

// The pending operand becomes a term, and a step reads it into a new slot.
bool Compiler::addTerm(std::int32_t op) {
    std::uint8_t slot = 0;
    if (pendingGroup_ >= 0) {
        slot = static_cast<std::uint8_t>(pendingGroup_);
    } else if (!newSlot(slot)) {
        return false;
    } else if (!isVariable_) {
        code_.steps.push_back({ExpressionCode::kConstant, slot, 0, decimalValue(token_), 0});
    } else {
        const VariableRef ref = varName_.empty() ? resolveReference(token_, {}) : resolveReference(varName_, token_);
        if (isPlainGlobal(ref)) {
            code_.steps.push_back({ExpressionCode::kGlobal, slot, 0, ref.code, ref.first.value});
        } else {
            const auto index = static_cast<std::int32_t>(code_.refs.size());
            code_.steps.push_back({ExpressionCode::kReference, slot, 0, index, 0});
            code_.refs.push_back(ref);
        }
    }
    terms_.push_back({slot, op});
    token_.clear();
    varName_.clear();
    isVariable_ = false;
    pendingGroup_ = -1;
    return true;
}

// The five passes of Evaluator::reduceTerms over the group's terms, done
// ahead: each fold becomes a step on the slots.
bool Compiler::foldTerms(std::size_t first) {
    for (int pass = 1; pass <= kPassCount && terms_.size() - first > 1; ++pass) {
        std::size_t kept = first;
        Term current = terms_[first];
        for (std::size_t next = first + 1; next < terms_.size(); ++next) {
            if (kPassOf[static_cast<std::size_t>(current.op)] == pass) {
                const auto kind = static_cast<std::uint8_t>(int{ExpressionCode::kFoldFirst} + current.op);
                code_.steps.push_back({kind, current.slot, terms_[next].slot, 0, 0});
                current.op = terms_[next].op;
            } else {
                terms_[kept++] = current;
                current = terms_[next];
            }
        }
        terms_[kept++] = current;
        terms_.resize(kept);
    }
    terms_.resize(first);
    return true;
}

bool Compiler::newSlot(std::uint8_t& slot) {
    if (slots_ >= ExpressionCode::kMaxSlots) return false;
    slot = static_cast<std::uint8_t>(slots_++);
    return true;
}

}  // namespace

VariableRef resolveReference(std::string_view name, std::string_view indexText) {
    VariableRef ref;
    if (std::optional<std::int32_t> code = VariableStore::lookupIntVariable(trimBlanks(name))) ref.code = *code;
    indexText = trimBlanks(indexText);
    if (indexText.empty()) return ref;
    const std::size_t colon = indexText.find(':');
    ref.first = resolveIndexPart(indexText.substr(0, colon));
    if (colon != std::string_view::npos && colon + 1 < indexText.size())
        ref.second = resolveIndexPart(indexText.substr(colon + 1));
    return ref;
}

std::unique_ptr<ExpressionCode> compileExpression(std::string_view text) { return Compiler(text).compile(); }

}  // namespace kiro
