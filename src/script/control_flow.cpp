// Control flow of kiro basic: IF blocks, SIF, REPEAT loops over COUNT:0,
// GOTO, CALL/JUMP/RETURN, BEGIN, RESTART, QUIT, TIMES and the two kinds of
// assignment. Each handler works on the executor's state; step() moves pc.
//
// Conditions and assignments run their line's parsed expression; GOTO, CALL
// and JUMP keep where they went (the program never changes once loaded, and
// only successful look-ups are kept, so a failing one fails again the same
// way).
#include <cstdlib>
#include <string>

#include "console/console.h"
#include "data/variable_store.h"
#include "script/errors.h"
#include "script/executor.h"
#include "script/instruction_table.h"
#include "script/line_form.h"
#include "script/runtime.h"
#include "script/text.h"

namespace kiro {
namespace {

std::int32_t evaluate(ScriptExecutor& ex, const ScriptLine& line) {
    return formOf<ExpressionForm>(line).expression.evaluate(ex.rt.evaluator);
}

// An integer assignment: its right-hand side and its target, resolved.
struct AssignForm : LineForm {
    explicit AssignForm(const ScriptLine& line)
        : value(line.argument), target(resolveReference(line.target, line.targetIndex)) {}
    Expression value;
    VariableRef target;
};

// The line a GOTO goes to, in the function it was found in.
struct GotoForm : LineForm {
    explicit GotoForm(const ScriptLine&) {}
    const FunctionDefinition* function = nullptr;
    std::int32_t pc = 0;
};

// The function a CALL or JUMP names, in the program it was found in.
struct CallForm : LineForm {
    explicit CallForm(const ScriptLine&) {}
    const ScriptProgram* program = nullptr;
    const FunctionDefinition* definition = nullptr;
};

const FunctionDefinition& calledFunction(ScriptExecutor& ex, const ScriptLine& line) {
    CallForm& form = formOf<CallForm>(line);
    if (form.program != &ex.rt.program) {
        const FunctionDefinition* definition = ex.rt.program.findFunction(line.argument);
        if (!definition) throw CExecError(exec_error::kNoFunction, std::string(line.argument));
        form.program = &ex.rt.program;
        form.definition = definition;
    }
    return *form.definition;
}

// The executor for a CALL at the current depth, in the state of a newly
// made one. Calls at one depth never overlap, so each depth keeps one
// executor, and its stacks keep their room: a CALL allocates nothing.
ScriptExecutor& freshCallee(Runtime& rt) {
    const auto depth = static_cast<std::size_t>(rt.callDepth);
    while (rt.callees.size() < depth) rt.callees.push_back(std::make_unique<ScriptExecutor>(rt));
    ScriptExecutor& callee = *rt.callees[depth - 1];
    callee.savedBranchStack.clear();  // start() resets the rest
    callee.repeatCount = 0;
    return callee;
}

// The index of the label's line in the running function.
std::int32_t labelLine(ScriptExecutor& ex, const ScriptLine& line) {
    GotoForm& form = formOf<GotoForm>(line);
    if (form.function == ex.function) return form.pc;
    const LabelEntry* label = findLabel(*ex.function, line.argument);
    if (!label) throw CExecError(exec_error::kNoLabel, std::string(line.argument));
    const std::span<const ScriptLine> lines = ex.function->lines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].lineNumber != label->lineNumber) continue;
        form.function = ex.function;
        form.pc = static_cast<std::int32_t>(i);
        return form.pc;
    }
    throw CExecError(exec_error::kNoLabel, std::string(line.argument));
}

std::int32_t& resultVariable(ScriptExecutor& ex) { return ex.rt.store.at(kResult); }
std::int32_t& countVariable(ScriptExecutor& ex) { return ex.rt.store.at(kCount); }

// Clears the run state the way start() does; JUMP reuses it.
void restartRun(ScriptExecutor& ex) {
    ex.pc = 0;
    ex.repeatLine = -1;
    ex.loopExit = LOOP_NONE;
    ex.branchStack.clear();
}

// Keeps Runtime::callDepth right however the nested run ends.
struct CallDepth {
    explicit CallDepth(int& d) : depth(d) { ++depth; }
    ~CallDepth() { --depth; }
    CallDepth(const CallDepth&) = delete;
    CallDepth& operator=(const CallDepth&) = delete;
    int& depth;
};

// The factor of TIMES: blanks, a sign, digits with an optional point and an
// optional exponent; whatever follows is ignored, no number reads as 0.
// Only this decimal form is taken, so "inf", "nan" and hex never sneak in
// through the C library.
double decimalFactor(std::string_view text) {
    auto digit = [&](std::size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    const std::size_t begin = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (digit(i)) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (digit(i)) ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t e = i + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
        if (digit(e)) {
            while (digit(e)) ++e;
            i = e;
        }
    }
    const std::string number(text.substr(begin, i - begin));
    return std::strtod(number.c_str(), nullptr);
}

// The old value goes through single precision on purpose: scripts rely on
// that rounding. A product out of range, or NaN, gives INT32_MIN, the value
// a hardware float-to-integer conversion yields for it; saves may hold it.
std::int32_t scaled(std::int32_t old, double factor) {
    const double product = static_cast<double>(static_cast<float>(old)) * factor;
    if (product > -2147483649.0 && product < 2147483648.0) return static_cast<std::int32_t>(product);
    return INT32_MIN;
}

}  // namespace

// ---- Branches ------------------------------------------------------------

StepOutcome execSif(ScriptExecutor& ex, const ScriptLine& line) {
    if (evaluate(ex, line) == 0) ++ex.pc;  // with step()'s own advance: the next line is passed over
    return StepOutcome::Next;
}

StepOutcome execIf(ScriptExecutor& ex, const ScriptLine& line) {
    if (!ex.branchStack.empty() && ex.branchStack.back() != BRANCH_ACTIVE) {
        ex.branchStack.push_back(BRANCH_DONE);  // a block inside a skipped branch never runs
        return StepOutcome::Next;
    }
    const std::int32_t condition = evaluate(ex, line);
    ex.branchStack.push_back(condition != 0 ? BRANCH_ACTIVE : BRANCH_PENDING);
    return StepOutcome::Next;
}

StepOutcome execElseIf(ScriptExecutor& ex, const ScriptLine& line) {
    if (ex.branchStack.empty()) throw CExecError(exec_error::kStrayElse);
    BranchState& top = ex.branchStack.back();
    if (top == BRANCH_ACTIVE) {
        top = BRANCH_DONE;
    } else if (top == BRANCH_PENDING && evaluate(ex, line) != 0) {
        top = BRANCH_ACTIVE;
    }
    return StepOutcome::Next;
}

StepOutcome execElse(ScriptExecutor& ex, const ScriptLine&) {
    if (ex.branchStack.empty()) throw CExecError(exec_error::kStrayElse);
    BranchState& top = ex.branchStack.back();
    if (top == BRANCH_ACTIVE) top = BRANCH_DONE;
    else if (top == BRANCH_PENDING) top = BRANCH_ACTIVE;
    return StepOutcome::Next;
}

StepOutcome execEndIf(ScriptExecutor& ex, const ScriptLine&) {
    if (ex.branchStack.empty()) throw CExecError(exec_error::kStrayElse);
    ex.branchStack.pop_back();
    return StepOutcome::Next;
}

// ---- Loops ---------------------------------------------------------------

StepOutcome execRepeat(ScriptExecutor& ex, const ScriptLine& line) {
    if (ex.repeatLine != -1) throw CExecError(exec_error::kNestedRepeat);
    countVariable(ex) = 0;
    ex.repeatCount = evaluate(ex, line);
    if (ex.repeatCount < 1) throw CExecError(exec_error::kRepeatCount);
    ex.repeatLine = ex.pc;
    ex.loopExit = LOOP_NONE;
    ex.savedBranchStack = ex.branchStack;
    return StepOutcome::Next;
}

StepOutcome execRend(ScriptExecutor& ex, const ScriptLine&) {
    std::int32_t& count = countVariable(ex);
    count = static_cast<std::int32_t>(static_cast<std::uint32_t>(count) + 1u);
    // With no loop running there is nowhere to go back to: going back to
    // "line -1" would restart the function and could spin for ever, so a
    // stray REND only counts and lets the function go on.
    const bool finished = count >= ex.repeatCount || ex.loopExit == LOOP_BREAK || ex.repeatLine == -1;
    ex.loopExit = LOOP_NONE;
    if (finished) ex.repeatLine = -1;
    else ex.pc = ex.repeatLine;
    return StepOutcome::Next;
}

StepOutcome execContinue(ScriptExecutor& ex, const ScriptLine&) {
    ex.branchStack = ex.savedBranchStack;
    ex.loopExit = LOOP_CONTINUE;
    return StepOutcome::Next;
}

StepOutcome execBreak(ScriptExecutor& ex, const ScriptLine&) {
    ex.branchStack = ex.savedBranchStack;
    ex.loopExit = LOOP_BREAK;
    return StepOutcome::Next;
}

// ---- Jumps and calls -----------------------------------------------------

StepOutcome execGoto(ScriptExecutor& ex, const ScriptLine& line) {
    ex.pc = labelLine(ex, line);  // step() then goes on after the label line
    ex.branchStack.clear();
    return StepOutcome::Next;
}

StepOutcome execCall(ScriptExecutor& ex, const ScriptLine& line) {
    const FunctionDefinition& definition = calledFunction(ex, line);
    if (ex.rt.callDepth >= kMaxCallDepth) throw CExecError(exec_error::kCallTooDeep);
    CallDepth depth(ex.rt.callDepth);
    ScriptExecutor& callee = freshCallee(ex.rt);
    callee.start(&definition, &ex);
    callee.runToEnd();
    callee.idle = true;
    ex.rt.currentLine = nullptr;
    return StepOutcome::Next;
}

StepOutcome execJump(ScriptExecutor& ex, const ScriptLine& line) {
    if (ex.caller) throw CExecError(exec_error::kJumpFromCall);
    ex.function = &calledFunction(ex, line);
    restartRun(ex);
    return StepOutcome::Stay;
}

StepOutcome execReturn(ScriptExecutor& ex, const ScriptLine& line) {
    resultVariable(ex) = decimalValue(line.argument);  // a number as written, not an expression
    return StepOutcome::End;
}

StepOutcome execBegin(ScriptExecutor& ex, const ScriptLine& line) {
    const auto target = lookupBeginTarget(line.argument);
    if (!target) throw CExecError(exec_error::kBadBeginTarget, std::string(line.argument));
    ex.rt.game.begin(*target, ex.rt.store);
    return StepOutcome::End;
}

StepOutcome execRestart(ScriptExecutor& ex, const ScriptLine&) {
    ex.pc = -1;  // step()'s advance brings it to the first line
    ex.branchStack.clear();
    return StepOutcome::Next;
}

StepOutcome execQuit(ScriptExecutor& ex, const ScriptLine&) {
    ex.rt.console.flush();
    throw ProgramExit{0};
}

// ---- Assignments ---------------------------------------------------------

StepOutcome execIntAssign(ScriptExecutor& ex, const ScriptLine& line) {
    const AssignForm& form = formOf<AssignForm>(line);
    // A failing right-hand side leaves the target alone.
    const std::int32_t value = form.value.evaluate(ex.rt.evaluator);
    const auto kind = static_cast<AssignKind>(line.code - kIntAssign);
    ex.rt.evaluator.assignReference(kind, form.target, value);
    return StepOutcome::Next;
}

StepOutcome execStrAssign(ScriptExecutor& ex, const ScriptLine& line) {
    ex.rt.evaluator.assignStringVariable(line.target, line.targetIndex, line.argument);
    return StepOutcome::Next;
}

StepOutcome execTimes(ScriptExecutor& ex, const ScriptLine& line) {
    const std::string_view argument = line.argument;
    const std::size_t comma = findSingleByte(argument, ',');
    if (comma == std::string_view::npos) throw CExecError(exec_error::kTimesArguments, std::string(line.argument));
    const std::string_view reference = argument.substr(0, comma);
    const std::int32_t old = ex.rt.evaluator.readVariableRef(reference);
    const std::int32_t product = scaled(old, decimalFactor(argument.substr(comma + 1)));
    ex.rt.evaluator.assignVariableRef(kAssign, reference, product);
    return StepOutcome::Next;
}

}  // namespace kiro
