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
#include "script/function_code.h"
#include "script/instruction_table.h"
#include "script/operators.h"
#include "script/runtime.h"
#include "script/step_runner.h"
#include "script/trace.h"

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

// Inline here so that step(), which runs every statement, pays no call.
inline StepOutcome dispatch(ScriptExecutor& ex, const ScriptLine& line) {
    const std::int32_t code = line.code;
    if (code < 0 || code >= kInstructionCodeLimit) return StepOutcome::Next;  // kNoOp
    Handler handler = kHandlers[static_cast<std::size_t>(code)];
    return handler ? handler(ex, line, operandsOf(line)) : StepOutcome::Next;
}

}  // namespace

StepOutcome runLine(ScriptExecutor& ex, const ScriptLine& line) { return dispatch(ex, line); }

void ScriptExecutor::start(const FunctionDefinition& definition, FrameStart how) {
    if (traceFile) [[unlikely]] {
        if (how == FrameStart::Jump && function) traceLeave(*function);
        traceEnter(definition);
    }
    function = &definition;
    pc = 0;
    repeatLine = -1;
    loopExit = LOOP_NONE;
    branchStack.clear();
    if (how == FrameStart::Jump) return;
    if (how != FrameStart::TopLevel) {
        savedBranchStack.clear();
        repeatCount = 0;
    }
    origin = how;
    caller = how == FrameStart::TopLevel ? nullptr : rt.running;
    rt.running = this;
}

void ScriptExecutor::finish() {
    if (traceFile && function) [[unlikely]] traceLeave(*function);
    rt.running = caller;
}

const ScriptLine* ScriptExecutor::lineAtPc() const {
    if (!function || pc < 0 || static_cast<std::size_t>(pc) >= function->lines.size()) return nullptr;
    return &function->lines[static_cast<std::size_t>(pc)];
}

namespace {

// The executor kept for the next depth: runs at one depth never overlap, so
// each depth keeps one, and its stacks keep their room: a CALL allocates
// nothing once its depth has been reached.
ScriptExecutor& nestedExecutor(Runtime& rt) {
    if (rt.callDepth >= kMaxCallDepth) throw CExecError(error_code::CallTooDeep);
    const auto depth = static_cast<std::size_t>(rt.callDepth);
    while (rt.callees.size() <= depth) rt.callees.push_back(std::make_unique<ScriptExecutor>(rt));
    return *rt.callees[depth];
}

}  // namespace

NestedRun::NestedRun(Runtime& rt, const FunctionDefinition& definition, FrameStart how)
    : frame_(nestedExecutor(rt)) {
    ++rt.callDepth;
    frame_.start(definition, how);
}

NestedRun::~NestedRun() {
    frame_.finish();
    --frame_.rt.callDepth;
}

void ScriptExecutor::endLoopPass() {
    std::int32_t& count = rt.store.at(kCount);
    count = static_cast<std::int32_t>(static_cast<std::uint32_t>(count) + 1u);
    // With no loop running there is nowhere to go back to: going back to
    // "line -1" would restart the function and could spin for ever, so a
    // stray REND only counts and lets the function go on.
    const bool finished = count >= repeatCount || loopExit == LOOP_BREAK || repeatLine == -1;
    loopExit = LOOP_NONE;
    if (finished) repeatLine = -1;
    else pc = repeatLine;
}

// Past the last line. These errors leave the guard on purpose: at top level
// they end the program, under a CALL the caller's guard reports them on the
// CALL line.
bool ScriptExecutor::endOfLines() {
    if (!branchStack.empty()) throw CExecError(error_code::OpenIfAtEnd);
    if (loopExit != LOOP_NONE || repeatLine != -1) throw CExecError(error_code::OpenRepeatAtEnd);
    rt.store.at(kResult) = 0;
    return false;
}

bool ScriptExecutor::step() {
    if (!function) return false;
    const std::span<const ScriptLine> lines = function->lines;
    if (pc < 0 || static_cast<std::size_t>(pc) >= lines.size()) return endOfLines();
    const ScriptLine& line = lines[static_cast<std::size_t>(pc)];

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
    if (traceFile) [[unlikely]] traceStatement(*function, line);
    try {
        outcome = dispatch(*this, line);
    } catch (const CExecError& error) {
        // Frames above this one have ended: this is the running frame, and
        // the report names its line.
        reportExecError(rt, error);
    } catch (const ArrayError&) {
        reportExecArrayError(rt);
    }
    if (outcome == StepOutcome::End) return false;
    if (outcome == StepOutcome::Next) ++pc;
    return true;
}

void ScriptExecutor::runToEnd() {
    if (traceFile || rt.lineByLine) [[unlikely]] {
        while (step()) {}
        return;
    }
    while (runCompiled()) {}
}

namespace {

// The forms other than steps.
KIRO_ALWAYS_INLINE std::int32_t plainValue(Evaluator& evaluator, VariableStore& store,
                                           const CompiledStatement& statement) {
    if (statement.form == CompiledStatement::kNumber) return statement.a;
    if (statement.form == CompiledStatement::kText) return statement.value->evaluate(evaluator);
    const std::vector<std::int32_t>& entries = store.global(statement.a);
    if (static_cast<std::uint32_t>(statement.b) >= entries.size()) throw CExecError(error_code::ReadIndex);
    const std::int32_t element = entries[static_cast<std::size_t>(statement.b)];
    if (statement.form == CompiledStatement::kGlobalElement) return element;
    return compute(statement.foldOperator, element, statement.foldNumber);
}

inline std::int32_t valueOf(Evaluator& evaluator, VariableStore& store, const CompiledStatement& statement) {
    return statement.steps ? evaluator.run(*statement.steps) : plainValue(evaluator, store, statement);
}

// The global element an assignment stores into, bounds checked.
inline std::int32_t& globalEntry(VariableStore& store, const CompiledStatement& statement) {
    std::vector<std::int32_t>& entries = store.global(statement.global);
    if (static_cast<std::uint32_t>(statement.number) >= entries.size()) throw CExecError(error_code::AssignIndex);
    return entries[static_cast<std::size_t>(statement.number)];
}

// Builds the line's statement; a line left to its handler keeps the
// handler and its operands, as dispatch() would find them.
void buildLine(CompiledStatement& statement, const ScriptLine& line) {
    const std::int32_t code = line.code;
    if (code < 0 || code >= kInstructionCodeLimit || !kHandlers[static_cast<std::size_t>(code)]) {
        statement.op = CompiledStatement::kNothing;
        return;
    }
    buildStatement(statement, line);
    if (statement.op != CompiledStatement::kLine) return;
    statement.handler = kHandlers[static_cast<std::size_t>(code)];
    statement.operands = operandsOf(line);
}

// Where a branch keyword goes when the lines up to `target` are passed over:
// there, or the next line when the block has no such keyword.
std::int32_t jumpOrNext(std::int32_t target, std::int32_t pc) { return target >= 0 ? target : pc + 1; }

}  // namespace

// Whether step() would pass over the line: a CONTINUE or BREAK passes over
// everything up to the next REND, a branch that does not run everything but
// the IF keywords.
bool ScriptExecutor::passesOver(const CompiledStatement& statement) const {
    if (loopExit != LOOP_NONE && !(statement.passing & CompiledStatement::kLoopEnd)) return true;
    return !(statement.passing & CompiledStatement::kBranchKeyword) && !branchStack.empty() &&
           branchStack.back() != BRANCH_ACTIVE;
}

// Runs the function's compiled statements from pc, with the same checks
// and effects as step() line by line. False once the function has ended;
// true after the guard reported an error (the run goes on after the line)
// or when a handler started another function in this frame (JUMP).
bool ScriptExecutor::runCompiled() {
    const FunctionDefinition* const running = function;
    if (!running) return false;
    const std::span<const ScriptLine> lines = running->lines;
    CompiledStatement* const statements = functionCode(*running).statements.data();
    const auto count = static_cast<std::uint32_t>(lines.size());
    Evaluator& evaluator = rt.evaluator;  // kept at hand: the members are read on every line
    VariableStore& store = rt.store;
    if (static_cast<std::uint32_t>(pc) > count) return endOfLines();
#if defined(__GNUC__)
    // One target per statement op, in op order.
    static_assert(CompiledStatement::kLine == 1 && CompiledStatement::kSetGlobal == 3 &&
                  CompiledStatement::kIf == 5 && CompiledStatement::kRend == 9 && CompiledStatement::kPastEnd == 11);
    static const void* const kStatementTargets[] = {
        &&unbuilt, &&line, &&nothing, &&setGlobal, &&updateGlobal, &&ifKeyword,
        &&elseIfKeyword, &&elseKeyword, &&endIfKeyword, &&rend, &&returnKeyword, &&pastEndMark,
    };
#endif
    try {
        for (;;) {
            CompiledStatement* statement = &statements[pc];
            if (loopExit != LOOP_NONE || (!branchStack.empty() && branchStack.back() != BRANCH_ACTIVE)) [[unlikely]] {
                if (static_cast<std::uint32_t>(pc) == count) goto pastEnd;
                if (passesOver(*statement)) {
                    ++pc;
                    continue;
                }
            }
        // A statement that ran with no line passed over leaves the next one
        // to run too, unless it touched the open blocks or the loop: then
        // the loop's top looks again (`continue`). With GCC or Clang each
        // statement's code jumps to the next one's on its own.
#if defined(__GNUC__)
#define KIRO_STATEMENT(label, op) label:
#define KIRO_RUN_STATEMENT() goto* kStatementTargets[statement->op]
            KIRO_RUN_STATEMENT();
#else
#define KIRO_STATEMENT(label, op) case op:
#define KIRO_RUN_STATEMENT() goto run
        run:
            switch (statement->op) {
#endif
            KIRO_STATEMENT(unbuilt, CompiledStatement::kUnbuilt)
                buildLine(*statement, lines[static_cast<std::size_t>(pc)]);
                KIRO_RUN_STATEMENT();
            KIRO_STATEMENT(nothing, CompiledStatement::kNothing)
                statement = &statements[++pc];
                KIRO_RUN_STATEMENT();
            KIRO_STATEMENT(line, CompiledStatement::kLine) {
                const StepOutcome outcome =
                    statement->handler(*this, lines[static_cast<std::size_t>(pc)], statement->operands);
                if (outcome == StepOutcome::End) return false;
                if (outcome == StepOutcome::Next) ++pc;
                if (function != running) return true;
                if (static_cast<std::uint32_t>(pc) > count) goto pastEnd;
                continue;
            }
            KIRO_STATEMENT(setGlobal, CompiledStatement::kSetGlobal) {
                const std::int32_t value = statement->steps ? runSteps(evaluator, store, *statement->steps)
                                                            : plainValue(evaluator, store, *statement);
                globalEntry(store, *statement) = value;
                statement = &statements[++pc];
                KIRO_RUN_STATEMENT();
            }
            KIRO_STATEMENT(updateGlobal, CompiledStatement::kUpdateGlobal) {
                const std::int32_t value = statement->steps ? runSteps(evaluator, store, *statement->steps)
                                                            : plainValue(evaluator, store, *statement);
                std::int32_t& entry = globalEntry(store, *statement);
                // compute() raises before anything is stored, as applyAssign does.
                entry = compute(statement->assignOperator, entry, value);
                statement = &statements[++pc];
                KIRO_RUN_STATEMENT();
            }
            KIRO_STATEMENT(ifKeyword, CompiledStatement::kIf)
                if (!branchStack.empty() && branchStack.back() != BRANCH_ACTIVE) {
                    branchStack.push_back(BRANCH_DONE);
                    ++pc;
                } else if (valueOf(evaluator, store, *statement) != 0) {
                    branchStack.push_back(BRANCH_ACTIVE);
                    statement = &statements[++pc];
                    KIRO_RUN_STATEMENT();
                } else if (statement->nextIsElse) {  // the ELSE would make the branch run
                    branchStack.push_back(BRANCH_ACTIVE);
                    pc = statement->next + 1;
                    statement = &statements[pc];
                    KIRO_RUN_STATEMENT();
                } else {
                    branchStack.push_back(BRANCH_PENDING);
                    pc = jumpOrNext(statement->next, pc);
                }
                continue;
            KIRO_STATEMENT(elseIfKeyword, CompiledStatement::kElseIf) {
                if (branchStack.empty()) throw CExecError(error_code::StrayElse);
                BranchState& top = branchStack.back();
                if (top != BRANCH_PENDING) {
                    top = BRANCH_DONE;
                    pc = jumpOrNext(statement->end, pc);
                } else if (valueOf(evaluator, store, *statement) != 0) {
                    top = BRANCH_ACTIVE;
                    ++pc;
                } else if (statement->nextIsElse) {
                    top = BRANCH_ACTIVE;
                    pc = statement->next + 1;
                } else {
                    pc = jumpOrNext(statement->next, pc);
                }
                continue;
            }
            KIRO_STATEMENT(elseKeyword, CompiledStatement::kElse) {
                if (branchStack.empty()) throw CExecError(error_code::StrayElse);
                BranchState& top = branchStack.back();
                if (top == BRANCH_PENDING) {
                    top = BRANCH_ACTIVE;
                    ++pc;
                } else {
                    top = BRANCH_DONE;
                    pc = jumpOrNext(statement->end, pc);
                }
                continue;
            }
            KIRO_STATEMENT(endIfKeyword, CompiledStatement::kEndIf)
                if (branchStack.empty()) throw CExecError(error_code::StrayElse);
                branchStack.pop_back();
                statement = &statements[++pc];
                if (branchStack.empty() || branchStack.back() == BRANCH_ACTIVE) KIRO_RUN_STATEMENT();
                continue;
            KIRO_STATEMENT(rend, CompiledStatement::kRend)
                endLoopPass();
                statement = &statements[++pc];
                KIRO_RUN_STATEMENT();
            KIRO_STATEMENT(returnKeyword, CompiledStatement::kReturn)
                store.at(kResult) = statement->number;
                return false;
            KIRO_STATEMENT(pastEndMark, CompiledStatement::kPastEnd)
                goto pastEnd;
#if !defined(__GNUC__)
            }
#endif
#undef KIRO_RUN_STATEMENT
#undef KIRO_STATEMENT
        }
    } catch (const CExecError& error) {
        reportExecError(rt, error);
        ++pc;
        return true;
    } catch (const ArrayError&) {
        reportExecArrayError(rt);
        ++pc;
        return true;
    }
pastEnd:  // outside the guard: the caller's guard reports these errors
    return endOfLines();
}

void runTopLevel(Runtime& rt, const FunctionDefinition& definition) {
    ScriptExecutor& top = *rt.topExecutor;
    top.start(definition, FrameStart::TopLevel);
    top.runToEnd();
    // Only a finished run leaves the chain: an error escaping the run keeps
    // its frame running so that the top-level report can name the place.
    top.finish();
}

bool runTopLevelByName(Runtime& rt, std::string_view name) {
    const FunctionDefinition* definition = rt.program.findFunction(name);
    if (!definition) return false;
    runTopLevel(rt, *definition);
    return true;
}

}  // namespace kiro
