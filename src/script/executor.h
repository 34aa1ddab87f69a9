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

// How a frame begins. A top-level run (the game loop's, on topExecutor)
// starts the chain of running frames; CALL and SAVEINFO start a frame on top
// of the running one; JUMP starts another function in the same frame.
enum class FrameStart : std::int8_t { TopLevel, Call, SaveInfo, Jump };

// One running function: a frame of the chain Runtime::running points into.
// Errors are reported at the line of the innermost frame.
struct CompiledStatement;

class ScriptExecutor {
public:
    explicit ScriptExecutor(Runtime& runtime) : rt(runtime) {}

    // The one place a frame starts or restarts. Every start resets the run
    // state (pc, open IF blocks, the running loop). CALL and SAVEINFO begin
    // as a newly made executor would: no loop state saved by an earlier
    // REPEAT. A top-level run and JUMP keep it (this executor's last REPEAT
    // is what a CONTINUE outside a loop puts back). JUMP stays in its place
    // in the chain; the others become the running frame.
    void start(const FunctionDefinition& definition, FrameStart how);
    // Takes this frame off the chain: its caller runs again.
    void finish();
    // Executes the line at pc; false once the function has ended.
    bool step();
    // Runs until the function ends: its compiled statements, or step() by
    // step() under a trace or Runtime::lineByLine.
    void runToEnd();
    // The line at pc, or none past the last line: where an error caught in
    // this frame happened (once a CALL or SAVEINFO above it has ended, the
    // CALL or SAVEGAME line).
    const ScriptLine* lineAtPc() const;
    // REND: COUNT goes up by one, and the loop goes back to its REPEAT line
    // unless it is over (or none runs).
    void endLoopPass();

    Runtime& rt;
    std::int32_t pc = 0;
    std::vector<BranchState> branchStack;
    std::vector<BranchState> savedBranchStack;
    std::int32_t repeatLine = -1;
    std::int32_t repeatCount = 0;
    LoopExit loopExit = LOOP_NONE;
    const FunctionDefinition* function = nullptr;
    // The frame that was running when this one started (the one whose CALL
    // or SAVEGAME line is running); none for a top-level run.
    ScriptExecutor* caller = nullptr;
    FrameStart origin = FrameStart::TopLevel;  // how the frame began; JUMP keeps it

private:
    bool endOfLines();
    bool runCompiled();
    bool passesOver(const CompiledStatement& statement) const;
};

// A run nested in the running frame, by CALL or for SAVEINFO: it counts
// towards the depth limit (error 208, raised before anything starts), starts
// the function on the executor kept for its depth, and takes its frame off
// the chain however the run ends.
class NestedRun {
public:
    NestedRun(Runtime& rt, const FunctionDefinition& definition, FrameStart how);
    ~NestedRun();
    NestedRun(const NestedRun&) = delete;
    NestedRun& operator=(const NestedRun&) = delete;
    void runToEnd() { frame_.runToEnd(); }

private:
    ScriptExecutor& frame_;
};

// Runs one line through the dispatch table, with its operands; what step()
// does between its checks and its error guard.
StepOutcome runLine(ScriptExecutor& ex, const ScriptLine& line);

// A top-level run: start `definition` on the runtime's topExecutor, step it
// to its end, then take its frame off the chain.
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
