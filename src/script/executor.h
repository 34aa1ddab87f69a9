// The statement executor: runs one script function line by line, keeping
// the open IF blocks and the running REPEAT loop, and dispatches every line
// on its stored code through the table generated from instructions.def.
#pragma once

#include <cstdint>
#include <vector>

#include "script/script_program.h"

namespace kiro {

struct Runtime;

enum BranchState : std::int8_t { BRANCH_ACTIVE = 0, BRANCH_PENDING = 1, BRANCH_DONE = 2 };
enum LoopExit : std::int8_t { LOOP_NONE = 0, LOOP_CONTINUE = 1, LOOP_BREAK = 2 };

// What a handler tells step(): go on with the next line, end the function
// (RETURN, BEGIN), or go on without advancing (JUMP).
enum class StepOutcome { Next, End, Stay };

// Nested CALLs deeper than this raise error 208 instead of exhausting the
// machine stack.
inline constexpr int kMaxCallDepth = 2000;

class ScriptExecutor {
public:
    explicit ScriptExecutor(Runtime& runtime) : rt(runtime) {}

    void start(const FunctionDefinition* definition, ScriptExecutor* callerExecutor);
    // Executes the line at pc; false once the function has ended.
    bool step();
    // Steps until the function ends.
    void runToEnd() { while (step()) {} }

    Runtime& rt;
    std::int32_t pc = 0;
    std::vector<BranchState> branchStack;
    std::vector<BranchState> savedBranchStack;
    std::int32_t repeatLine = -1;
    std::int32_t repeatCount = 0;
    LoopExit loopExit = LOOP_NONE;
    const FunctionDefinition* function = nullptr;
    ScriptExecutor* caller = nullptr;
    bool idle = true;
};

// Runs one line through the dispatch table, with its operands; what step()
// does between its checks and its error guard.
StepOutcome runLine(ScriptExecutor& ex, const ScriptLine& line);

// A top-level run: start `definition` on the runtime's topExecutor, step it
// to its end, then mark it idle with no current line.
void runTopLevel(Runtime& rt, const FunctionDefinition& definition);
// Looks the name up with findFunction; runs it and returns true when found.
bool runTopLevelByName(Runtime& rt, std::string_view name);

// Every handler, declared from the instruction list: each takes its line's
// operands (operands.h). Control flow and assignments live in
// control_flow.cpp, output in output_instructions.cpp, game instructions in
// game_instructions.cpp.
#define INSTRUCTION(keyword, code, handler, shape, after) \
    StepOutcome handler(ScriptExecutor& ex, const ScriptLine& line, Operands operands);
#define STATEMENT INSTRUCTION
#include "script/instructions.def"
#undef STATEMENT
#undef INSTRUCTION

}  // namespace kiro
