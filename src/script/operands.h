// The typed operands of a script line: its argument cut by its
// instruction's shape (instructions.def) into the pieces the handler uses,
// each with what is worked out from it once, on the line's first run
// (parsed expressions, a prepared form, a resolved target, where a jump
// went). Handlers take them; kiro-check walks the same cut.
//
// Cutting never fails: whatever could fail (a comma missing, a name that
// does not exist) fails when the handler uses the operand, exactly when
// the text would have failed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <variant>

#include "script/expression_code.h"
#include "script/form_expansion.h"

namespace kiro {

struct FunctionDefinition;
struct ScriptLine;

enum class OperandKind : std::uint8_t {
    Text,               // text used as it stands
    Expression,         // an integer expression
    StringReference,    // a string variable reference, read as written
    Form,               // a form, expanded
    VariableReference,  // an integer variable reference, read as written (TIMES)
    Number,             // a decimal number as written (RETURN, TIMES's factor)
    Label,              // a label of the running function
    Function,           // a function name
    BeginTarget,        // a BEGIN target name
    IntTarget,          // an assignment's integer variable "NAME:INDEX"
    StringTarget,       // an assignment's string variable "NAME:INDEX"
    Missing,            // a comma the shape needs is missing; the text is what the error shows
    ValueListText,      // a value list too long to keep cut: walked from its text every run
};

// Where a GOTO or CALL went, in the function or program it was looked up in.
struct Resolution {
    const void* scope = nullptr;
    const FunctionDefinition* definition = nullptr;
    std::int32_t pc = 0;
};

struct Operand {
    OperandKind kind = OperandKind::Text;
    std::string_view text;
    std::variant<std::monostate, Expression, PreparedForm, VariableRef, Resolution> code;

    const Expression& expression() const { return *std::get_if<Expression>(&code); }
    const PreparedForm& form() const { return *std::get_if<PreparedForm>(&code); }
    const VariableRef& target() const { return *std::get_if<VariableRef>(&code); }
    Resolution& resolution() { return *std::get_if<Resolution>(&code); }
};

using Operands = std::span<Operand>;

// Calls visit(kind, text) for each operand of the line, in the order the
// handler uses them.
using OperandVisit = std::function<void(OperandKind kind, std::string_view text)>;
void cutOperands(const ScriptLine& line, const OperandVisit& visit);

// Makes and keeps the line's operands; operandsOf (script_line.h) calls it
// on the line's first run.
Operands makeOperands(const ScriptLine& line);

// PRINTV's items, cut as PRINTV cuts them: the text is trimmed before each
// item, but an item keeps the blanks before its ",". A 'text item is text
// (after its quote); anything else is an expression.
void forEachValueItem(std::string_view list, const OperandVisit& visit);

// Holds a line's operands. Copying a line does not copy them: the copy
// makes them again when it first runs.
class OperandSlot {
public:
    OperandSlot() = default;
    OperandSlot(const OperandSlot&) {}
    OperandSlot& operator=(const OperandSlot&) {
        items_.reset();
        count_ = 0;
        return *this;
    }
    OperandSlot(OperandSlot&&) noexcept = default;
    OperandSlot& operator=(OperandSlot&&) noexcept = default;

    bool made() const { return items_ != nullptr; }
    Operands get() const { return {items_.get(), count_}; }
    void set(std::unique_ptr<Operand[]> items, std::uint32_t count) {
        items_ = std::move(items);
        count_ = count;
    }

private:
    std::unique_ptr<Operand[]> items_;
    std::uint32_t count_ = 0;
};

}  // namespace kiro
