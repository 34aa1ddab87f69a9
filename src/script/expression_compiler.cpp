// The expression compiler: turns an expression text into steps, or gives up
// and leaves the text to the text evaluator.
//
// It walks the text with the text evaluator's own tokeniser and reduction
// passes (expression_syntax.h), so a text compiles to the terms that
// evaluating it would make, folded in the same order. Where that walk would
// raise an error, or where a group's value would not be a plain operand of
// its own (after a '-', in an index, next to a digit), the result could
// depend on the values, so it gives up.
//
// Folds of two numbers known now are done now, with the arithmetic the steps
// run (operators.h); a fold that raises (a zero divisor) is left in the steps,
// where it raises at its turn. A fold with a number on its right takes the
// number into its step. Folds have no other effect, so the reads and
// the failures of the steps keep the text's order.
#include <algorithm>
#include <string>

#include "data/text.h"
#include "data/variable_store.h"
#include "script/expression_code.h"
#include "script/expression_syntax.h"

namespace kiro {
namespace {

// A global array element whose index is a number: read with one bounds check.
bool isPlainGlobal(const VariableRef& ref) {
    return ref.code >= kFirstGlobalCode && ref.code < kGlobalSlots && ref.code != kRand && ref.code != kCharaNum &&
           ref.first.kind != IndexOperand::kVariable && ref.first.kind != IndexOperand::kUnknown &&
           ref.second.kind == IndexOperand::kAbsent;
}

// A term's value while compiling: a number known now, or a slot the steps
// fill.
struct Operand {
    bool known = false;
    std::int32_t number = 0;
    std::uint8_t slot = 0;
};

class Compiler {
public:
    explicit Compiler(std::string_view text) : text_(upperCased(trimBlanks(text))) {}

    std::unique_ptr<ExpressionCode> compile();

    // The tokeniser's reader (expression_syntax.h). An error the text would
    // raise makes the compiler give up.
    static constexpr bool kSeesGroups = true;
    bool term(const Tokens& tokens, std::int32_t op);
    static bool fail(std::int32_t) { return false; }
    std::size_t group();

private:
    // A group inside the one being compiled: its value and where it ends.
    struct InnerGroup {
        Operand value;
        std::size_t close;
    };

    bool matchGroups();
    bool compileGroup(std::size_t begin, std::size_t end, Operand& result);
    void fold(Term<Operand>& left, const Term<Operand>& right);
    std::uint8_t inSlot(const Operand& operand);
    std::uint8_t newSlot();
    void fuseReads();

    std::string text_;
    std::vector<std::size_t> closing_;  // the position of each group's ')', in the order the groups open
    std::size_t nextGroup_ = 0;         // the next group compileGroup meets
    ExpressionCode code_;
    int slots_ = 0;
    bool outOfSlots_ = false;

    // The group whose own text is being walked.
    std::vector<Term<Operand>> terms_;
    Tokens tokens_;
    const std::vector<InnerGroup>* inner_ = nullptr;
    std::size_t nextInner_ = 0;
    Operand groupValue_;  // the value of the group standing as the pending operand
};

std::unique_ptr<ExpressionCode> Compiler::compile() {
    if (std::any_of(text_.begin(), text_.end(), isLeadByte) || !matchGroups()) return nullptr;
    Operand result;
    if (!compileGroup(0, text_.size(), result)) return nullptr;
    code_.result = inSlot(result);
    if (outOfSlots_) return nullptr;
    code_.steps.push_back({ExpressionCode::kEnd, 0, 0, 0, 0});
    fuseReads();
    return std::make_unique<ExpressionCode>(std::move(code_));
}

// Every parenthesis paired, no group empty, and no more groups than there
// are slots for (each group's value may need one); otherwise the text path
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
// first, each complete with its folding, then its own operands and folds,
// each inner group standing as an operand. Groups are met in the order they
// open, which is the order of closing_.
bool Compiler::compileGroup(std::size_t begin, std::size_t end, Operand& result) {
    std::vector<InnerGroup> inner;
    for (std::size_t i = begin; i < end; ++i) {
        if (text_[i] != '(') continue;
        const std::size_t close = closing_[nextGroup_++];
        Operand value;
        if (!compileGroup(i + 1, close, value)) return false;
        inner.push_back({value, close});
        i = close;
    }
    inner_ = &inner;
    nextInner_ = 0;
    terms_.clear();
    if (!tokenise(std::string_view(text_.data(), end), begin, tokens_, *this)) return false;
    reduceTerms(terms_, tokens_.passes, [this](Term<Operand>& left, const Term<Operand>& right) { fold(left, right); });
    result = terms_[0].value;
    return !outOfSlots_;
}

// A '(' met by the tokeniser: the next inner group's value is the operand.
std::size_t Compiler::group() {
    const InnerGroup& inner = (*inner_)[nextInner_++];
    groupValue_ = inner.value;
    return inner.close;
}

// The pending operand becomes a term; a variable is read by a step now, in
// the text's order.
bool Compiler::term(const Tokens& tokens, std::int32_t op) {
    Operand value;
    if (tokens.isGroup) {
        value = groupValue_;
    } else if (!tokens.isVariable) {
        value = {true, decimalValue(tokens.token), 0};
    } else {
        value.slot = newSlot();
        const VariableRef ref = resolveReference(tokens.variableName(), tokens.indexText());
        if (isPlainGlobal(ref)) {
            code_.steps.push_back({ExpressionCode::kGlobal, value.slot, 0, ref.code, ref.first.value});
        } else {
            const auto index = static_cast<std::int32_t>(code_.refs.size());
            code_.steps.push_back({ExpressionCode::kReference, value.slot, 0, index, 0});
            code_.refs.push_back(ref);
        }
    }
    terms_.push_back({value, op});
    return !outOfSlots_;
}

void Compiler::fold(Term<Operand>& left, const Term<Operand>& right) {
    if (left.value.known && right.value.known) {
        try {
            left.value.number = compute(left.op, left.value.number, right.value.number);
            return;
        } catch (const CExecError&) {
            // raised when the steps run
        }
    }
    if (right.value.known && !left.value.known) {  // a number on the right needs no slot
        code_.steps.push_back({ExpressionCode::foldNumberKind(left.op), left.value.slot, 0, right.value.number, 0});
        return;
    }
    const std::uint8_t other = inSlot(right.value);
    left.value = {false, 0, inSlot(left.value)};
    code_.steps.push_back({ExpressionCode::foldKind(left.op), left.value.slot, other, 0, 0});
}

// The slot holding an operand's value; a known number is put in one.
std::uint8_t Compiler::inSlot(const Operand& operand) {
    if (!operand.known) return operand.slot;
    const std::uint8_t slot = newSlot();
    code_.steps.push_back({ExpressionCode::kConstant, slot, 0, operand.number, 0});
    return slot;
}

// A global read followed by the fold that uses it becomes one step: the read
// happens at the same moment, so nothing else can come between it and the
// fold. The read's slot is used by no other step.
void Compiler::fuseReads() {
    using Code = ExpressionCode;
    std::vector<Code::Step> fused;
    const std::vector<Code::Step>& steps = code_.steps;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Code::Step& read = steps[i];
        if (read.kind == Code::kGlobal && i + 1 < steps.size()) {
            const Code::Step& fold = steps[i + 1];
            const int op = fold.kind;
            if (op >= Code::kFoldNumberFirst && op < Code::kFoldNumberFirst + int{kOperatorCount} &&
                fold.slot == read.slot) {
                fused.push_back({Code::globalFoldNumberKind(op - Code::kFoldNumberFirst), read.slot, 0, read.a,
                                 read.b, fold.a});
                ++i;
                continue;
            }
            if (op >= Code::kFoldFirst && op < Code::kFoldFirst + int{kOperatorCount} && fold.other == read.slot &&
                fold.slot != read.slot) {
                fused.push_back({Code::foldGlobalKind(op - Code::kFoldFirst), fold.slot, 0, read.a, read.b});
                ++i;
                continue;
            }
        }
        fused.push_back(read);
    }
    code_.steps = std::move(fused);
}

std::uint8_t Compiler::newSlot() {
    if (slots_ == ExpressionCode::kMaxSlots) {
        outOfSlots_ = true;  // the code is dropped
        return 0;
    }
    return static_cast<std::uint8_t>(slots_++);
}

}  // namespace

std::unique_ptr<ExpressionCode> compileExpression(std::string_view text) { return Compiler(text).compile(); }

}  // namespace kiro
