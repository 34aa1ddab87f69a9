// One classified line of a script, with the operands its instruction cut
// its argument into.
#pragma once

#include <cstdint>
#include <string_view>

#include "script/operands.h"

namespace kiro {

// The code of a line that does nothing; instruction and assignment codes
// are in instruction_table.h.
inline constexpr std::int32_t kNoOp = -1;

enum AttributeCode : std::int32_t { kSingle = 0, kPri = 1, kLater = 2 };

// The texts are views into bytes the ScriptProgram keeps. They must not
// change once the line has run: its operands were made from them.
struct ScriptLine {
    std::int32_t lineNumber = 0;
    std::int32_t code = kNoOp;
    std::string_view text;         // statement text from its first non-blank byte (after a '?')
    std::string_view argument;     // see the loader: instruction argument, assignment right-hand side, label name
    std::string_view target;       // assignments: variable name, upper-cased
    std::string_view targetIndex;  // assignments: text after the first ':' of the target word, upper-cased
    // Variable code of `target`, resolved at load time (-1 when not an assignment).
    std::int32_t targetCode = -1;
    mutable OperandSlot operands;  // made on the line's first run
};

// The line's operands, made on its first run.
inline Operands operandsOf(const ScriptLine& line) {
    return line.operands.made() ? line.operands.get() : makeOperands(line);
}

}  // namespace kiro
