// A function's statements in the form the executor runs without looking at
// their text again: each line's operation with what it works on resolved
// (the expression to run, the global element an assignment stores into,
// RETURN's number), and the IF blocks' structure as line indexes, so that a
// branch that does not run is passed over in one jump.
//
// The jumps only go where stepping line by line would arrive with nothing
// run and nothing changed in between: the lines of a branch that does not
// run are passed over, and the blocks nested in it open and close again.
// Everything else (output, calls, loops' starts, rare instructions) runs
// through the line's own handler, exactly as stepping does.
#pragma once

#include <cstdint>
#include <vector>

#include "script/executor.h"
#include "script/operands.h"
#include "script/script_program.h"

namespace kiro {

class Expression;
struct ExpressionCode;

struct CompiledStatement {
    enum Op : std::uint8_t {
        kUnbuilt,       // built when the line first runs
        kLine,          // the line's handler, as stepping runs it
        kNothing,       // a line without a handler
        kSetGlobal,     // global element = value; the index is a number
        kUpdateGlobal,  // global element OP= value; the index is a number
        kIf,
        kElseIf,
        kElse,
        kEndIf,
        kRend,
        kReturn,        // RESULT = number; the function ends
        kPastEnd,       // after the last line
    };
    // How a value is had: by running steps, as a number known when
    // building, as one global element with a number for index (and then
    // folded with a number: "A > 5"), or from the text.
    enum ValueForm : std::uint8_t { kSteps, kNumber, kGlobalElement, kGlobalFolded, kText };
    // What decides whether the line is passed over (stepping's checks).
    enum Passing : std::uint8_t { kBranchKeyword = 1, kLoopEnd = 2 };

    Op op = kUnbuilt;
    ValueForm form = kText;
    std::uint8_t passing = 0;     // Passing bits of the line's code
    bool nextIsElse = false;      // IF, ELSEIF: `next` is an ELSE
    std::int32_t next = -1;       // IF, ELSEIF: the block's next ELSEIF, ELSE or ENDIF (-1: none)
    std::int32_t end = -1;        // ELSEIF, ELSE: the block's ENDIF (-1: none)
    std::int32_t global = 0;      // an assignment's global code
    std::int32_t number = 0;      // an assignment's index; RETURN's number
    std::int32_t a = 0, b = 0;    // kNumber: the value; kGlobalElement, kGlobalFolded: code and index
    std::int32_t foldOperator = 0, foldNumber = 0;  // kGlobalFolded: element OP number
    std::int32_t assignOperator = 0;                // kUpdateGlobal: the operator before its '='

    const Expression* value = nullptr;      // an assignment's value, a condition
    const ExpressionCode* steps = nullptr;  // kSteps only: its steps
    // kLine: the handler and the line's operands.
    StepOutcome (*handler)(ScriptExecutor&, const ScriptLine&, Operands) = nullptr;
    Operands operands;
};

struct FunctionCode {
    std::vector<CompiledStatement> statements;  // one per line, then one kPastEnd
};

// The function's code, made on its first run with its blocks' jumps; each
// statement is built when its line first runs.
FunctionCode& makeFunctionCode(const FunctionDefinition& function);
inline FunctionCode& functionCode(const FunctionDefinition& function) {
    return function.code ? *function.code : makeFunctionCode(function);
}
// Builds the statement of a line whose code has a handler.
void buildStatement(CompiledStatement& statement, const ScriptLine& line);

}  // namespace kiro
