// The statement executor's core: one step of a function (end of function,
// loop skipping, branch gating, the error guard) and the dispatch of a line
// on its stored code through a table built from instructions.def, with
// the line's operands. The
// handlers themselves live in control_flow.cpp and the instruction files.
#include "script/executor.h"

#include <array>

#include "data/variable_store.h"
#include "script/error_reports.h"
#include "script/errors.h"
#include "script/instruction_table.h"
#include "script/runtime.h"

namespace kiro {

Runtime::Runtime(Console& c, VariableStore& s, const ScriptProgram& p, const GameBase& g)
    : console(c), store(s), program(p), gameBase(g), evaluator(s),
      topExecutor(std::make_unique<ScriptExecutor>(*this)) {}

Runtime::~Runtime() = default;

namespace {

using Handler = StepOutcome (*)(ScriptExecutor&, const ScriptLine&, Operands);

// Codes without a row (6, 8, 9, 19) stay null and do nothing.
constexpr std::array<Handler, kInstructionCodeLimit> kHandlers = [] {
    std::array<Handler, kInstructionCodeLimit> table{};
#define INSTRUCTION(keyword, code, handler, shape, after) table[code] = &handler;
#define STATEMENT INSTRUCTION
#include "script/instructions.def"
#undef STATEMENT
#undef INSTRUCTION
    return table;
}();

bool isBranchKeyword(std::int32_t code) { return code >= kIF && code <= kENDIF; }

}  // namespace

StepOutcome runLine(ScriptExecutor& ex, const ScriptLine& line) {
    const std::int32_t code = line.code;
    if (code < 0 || code >= kInstructionCodeLimit) return StepOutcome::Next;  // kNoOp
    Handler handler = kHandlers[static_cast<std::size_t>(code)];
    return handler ? handler(ex, line, operandsOf(line)) : StepOutcome::Next;
}

void ScriptExecutor::start(const FunctionDefinition* definition, ScriptExecutor* callerExecutor) {
    function = definition;
    caller = callerExecutor;
    idle = false;
    pc = 0;
    repeatLine = -1;
    loopExit = LOOP_NONE;
    branchStack.clear();
}

bool ScriptExecutor::step() {
    if (!function) return false;
    const std::span<const ScriptLine> lines = function->lines;
    if (pc < 0 || static_cast<std::size_t>(pc) >= lines.size()) {
        // Past the last line. These errors leave step() on purpose: at top
        // level they end the program, under a CALL the caller's guard
        // reports them on the CALL line.
        rt.currentLine = nullptr;
        if (!branchStack.empty()) throw CExecError(error_code::OpenIfAtEnd);
        if (loopExit != LOOP_NONE || repeatLine != -1) throw CExecError(error_code::OpenRepeatAtEnd);
        rt.store.at(kResult) = 0;
        return false;
    }
    const ScriptLine& line = lines[static_cast<std::size_t>(pc)];
    rt.currentLine = &line;

    // A CONTINUE or BREAK passes over everything up to the next REND.
    if (loopExit != LOOP_NONE && line.code != kREND) {
        ++pc;
        return true;
    }
    // Inside a branch that does not run only the IF keywords are looked at.
    if (!isBranchKeyword(line.code) && !branchStack.empty() && branchStack.back() != BRANCH_ACTIVE) {
        ++pc;
        return true;
    }

    StepOutcome outcome = StepOutcome::Next;
    try {
        outcome = runLine(*this, line);
    } catch (const CExecError& error) {
        // A CALL leaves currentLine empty; the report names the calling line.
        rt.currentLine = &line;
        reportExecError(rt, *this, error);
    } catch (const ArrayError&) {
        rt.currentLine = &line;
        reportExecArrayError(rt, *this);
    }
    if (outcome == StepOutcome::End) return false;
    if (outcome == StepOutcome::Next) ++pc;
    return true;
}

void runTopLevel(Runtime& rt, const FunctionDefinition& definition) {
    ScriptExecutor& top = *rt.topExecutor;
    top.start(&definition, nullptr);
    top.runToEnd();
    // Only a finished run goes idle: an error escaping the run keeps the
    // executor busy so that the top-level report can name the place.
    top.idle = true;
    rt.currentLine = nullptr;
}

bool runTopLevelByName(Runtime& rt, std::string_view name) {
    const FunctionDefinition* definition = rt.program.findFunction(name);
    if (!definition) return false;
    runTopLevel(rt, *definition);
    return true;
}

}  // namespace kiro
