// Expressions parsed once: the variable references and the step list an
// expression text compiles to, and the expression of a script line, which
// runs its steps when it has them and its text otherwise.
//
// The steps do what evaluating the text does, in the same order: every
// parenthesised group (innermost first, left to right) reads its operands
// left to right and then folds them in the five precedence passes, and its
// value stands where the group stood. Reading is split from folding so that
// a read failing after a zero divisor still wins, as on the text path. Folds
// of numbers known when compiling are done then, unless they raise.
//
// Only texts whose parsing the steps reproduce exactly are compiled: texts
// that tokenise without an error, whose groups each stand alone as an
// operand (not after a '-', not in an index, not against another operand),
// and without double-byte characters. Everything else keeps its text and is
// evaluated by Evaluator::evaluateExpression.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace kiro {

class Evaluator;

// One part of a reference's index, resolved: a number, a variable read
// without an index, or a name no table holds (error 4 when reached).
struct IndexOperand {
    enum Kind : std::uint8_t { kAbsent, kNumber, kVariable, kUnknown };
    Kind kind = kAbsent;
    std::int32_t value = 0;  // the number, or the variable's code
};

// "NAME:first:second" resolved against the name tables. The index parts are
// read before the name is looked at, so an unknown name (code -1) fails
// only after them.
struct VariableRef {
    std::int32_t code = -1;
    IndexOperand first, second;
};

// Resolves a reference the way reading or assigning "name" with the index
// text "indexText" does.
VariableRef resolveReference(std::string_view name, std::string_view indexText);

struct ExpressionCode {
    // Values live in numbered slots; a step reads an operand into one or
    // folds one slot into another.
    static constexpr int kMaxSlots = 64;

    // The fold kinds come in runs of one kind per operator (operators.h).
    enum StepKind : std::uint8_t {
        kConstant,  // slot = a
        kGlobal,    // slot = global array a, element b (error 3 outside)
        kReference, // slot = the variable refs[a]
        kEnd,       // the last step: the value is in slot `result`
        kFoldFirst, // kFoldFirst + operator: slot = slot OP other
        kFoldNumberFirst = 20,        // slot = slot OP a
        kGlobalFoldNumberFirst = 36,  // slot = (global a, element b) OP c
        kFoldGlobalFirst = 52,        // slot = slot OP (global a, element b)
        kStepKindLimit = 68,
    };
    static constexpr std::uint8_t foldKind(std::int32_t op) { return static_cast<std::uint8_t>(kFoldFirst + op); }
    static constexpr std::uint8_t foldNumberKind(std::int32_t op) {
        return static_cast<std::uint8_t>(kFoldNumberFirst + op);
    }
    static constexpr std::uint8_t globalFoldNumberKind(std::int32_t op) {
        return static_cast<std::uint8_t>(kGlobalFoldNumberFirst + op);
    }
    static constexpr std::uint8_t foldGlobalKind(std::int32_t op) {
        return static_cast<std::uint8_t>(kFoldGlobalFirst + op);
    }
    struct Step {
        std::uint8_t kind;
        std::uint8_t slot;
        std::uint8_t other;
        std::int32_t a;
        std::int32_t b;
        std::int32_t c = 0;
    };

    std::vector<Step> steps;  // ends with a kEnd step
    std::vector<VariableRef> refs;
    std::uint8_t result = 0;  // the slot holding the value at the end
};

// The steps of an expression text, or null when the text has to be
// evaluated as text. Never throws a script error: failures belong to the
// moment the expression runs.
std::unique_ptr<ExpressionCode> compileExpression(std::string_view text);

// An expression of a script line. The text must outlive it (it is a view
// into the line).
class Expression {
public:
    Expression() = default;
    explicit Expression(std::string_view text) : text_(text), code_(compileExpression(text)) {}

    std::int32_t evaluate(Evaluator& evaluator) const;
    bool compiled() const { return code_ != nullptr; }
    const ExpressionCode* code() const { return code_.get(); }
    std::string_view text() const { return text_; }

private:
    std::string_view text_;
    std::unique_ptr<ExpressionCode> code_;
};

}  // namespace kiro
