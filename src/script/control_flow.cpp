// Control flow of kiro basic: IF blocks, SIF, REPEAT loops over COUNT:0,
// GOTO, CALL/JUMP/RETURN, BEGIN, RESTART, QUIT, TIMES and the two kinds of
// assignment. Each handler works on the executor's state; step() moves pc.
//
// Conditions and assignments run their operand's parsed expression; GOTO,
// CALL and JUMP keep where they went in their operand (the program never
// changes once loaded, and only successful look-ups are kept, so a failing
// one fails again the same way).
#include <cstdlib>
#include <string>

#include "console/console.h"
#include "data/text.h"
#include "data/variable_store.h"
#include "script/errors.h"
#include "script/executor.h"
#include "script/instruction_table.h"
#include "script/runtime.h"

namespace kiro {
namespace {

std::int32_t evaluate(ScriptExecutor& ex, const Operand& operand) {
    return operand.expression().evaluate(ex.rt.evaluator);
}

// The function a CALL or JUMP names, kept with the program it was found in.
const FunctionDefinition& calledFunction(ScriptExecutor& ex, Operand& name) {
    Resolution& went = name.resolution();
    if (went.scope != &ex.rt.program) {
        const FunctionDefinition* definition = ex.rt.program.findFunction(name.text);
        if (!definition) throw CExecError(error_code::NoFunction, std::string(name.text));
        went = {&ex.rt.program, definition, 0};
    }
    return *went.definition;
}

// The index of the label's line in the running function, kept with the
// function it was found in.
std::int32_t labelLine(ScriptExecutor& ex, Operand& name) {
    Resolution& went = name.resolution();
    if (went.scope == ex.function) return went.pc;
    const LabelEntry* label = findLabel(*ex.function, name.text);
    if (!label) throw CExecError(error_code::NoLabel, std::string(name.text));
    const std::span<const ScriptLine> lines = ex.function->lines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].lineNumber != label->lineNumber) continue;
        went = {ex.function, ex.function, static_cast<std::int32_t>(i)};
        return went.pc;
    }
    throw CExecError(error_code::NoLabel, std::string(name.text));
}

std::int32_t& resultVariable(ScriptExecutor& ex) { return ex.rt.store.at(kResult); }
std::int32_t& countVariable(ScriptExecutor& ex) { return ex.rt.store.at(kCount); }

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

StepOutcome execSif(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    if (evaluate(ex, operands[0]) == 0) ++ex.pc;  // with step()'s own advance: the next line is passed over
    return StepOutcome::Next;
}

StepOutcome execIf(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    if (!ex.branchStack.empty() && ex.branchStack.back() != BRANCH_ACTIVE) {
        ex.branchStack.push_back(BRANCH_DONE);  // a block inside a skipped branch never runs
        return StepOutcome::Next;
    }
    const std::int32_t condition = evaluate(ex, operands[0]);
    ex.branchStack.push_back(condition != 0 ? BRANCH_ACTIVE : BRANCH_PENDING);
    return StepOutcome::Next;
}

StepOutcome execElseIf(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    if (ex.branchStack.empty()) throw CExecError(error_code::StrayElse);
    BranchState& top = ex.branchStack.back();
    if (top == BRANCH_ACTIVE) {
        top = BRANCH_DONE;
    } else if (top == BRANCH_PENDING && evaluate(ex, operands[0]) != 0) {
        top = BRANCH_ACTIVE;
    }
    return StepOutcome::Next;
}

StepOutcome execElse(ScriptExecutor& ex, const ScriptLine&, Operands) {
    if (ex.branchStack.empty()) throw CExecError(error_code::StrayElse);
    BranchState& top = ex.branchStack.back();
    if (top == BRANCH_ACTIVE) top = BRANCH_DONE;
    else if (top == BRANCH_PENDING) top = BRANCH_ACTIVE;
    return StepOutcome::Next;
}

StepOutcome execEndIf(ScriptExecutor& ex, const ScriptLine&, Operands) {
    if (ex.branchStack.empty()) throw CExecError(error_code::StrayElse);
    ex.branchStack.pop_back();
    return StepOutcome::Next;
}

// ---- Loops ---------------------------------------------------------------

StepOutcome execRepeat(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    if (ex.repeatLine != -1) throw CExecError(error_code::NestedRepeat);
    countVariable(ex) = 0;
    ex.repeatCount = evaluate(ex, operands[0]);
    if (ex.repeatCount < 1) throw CExecError(error_code::RepeatCount);
    ex.repeatLine = ex.pc;
    ex.loopExit = LOOP_NONE;
    ex.savedBranchStack = ex.branchStack;
    return StepOutcome::Next;
}

StepOutcome execRend(ScriptExecutor& ex, const ScriptLine&, Operands) {
    ex.endLoopPass();
    return StepOutcome::Next;
}

StepOutcome execContinue(ScriptExecutor& ex, const ScriptLine&, Operands) {
    ex.branchStack = ex.savedBranchStack;
    ex.loopExit = LOOP_CONTINUE;
    return StepOutcome::Next;
}

StepOutcome execBreak(ScriptExecutor& ex, const ScriptLine&, Operands) {
    ex.branchStack = ex.savedBranchStack;
    ex.loopExit = LOOP_BREAK;
    return StepOutcome::Next;
}

// ---- Jumps and calls -----------------------------------------------------

StepOutcome execGoto(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    ex.pc = labelLine(ex, operands[0]);  // step() then goes on after the label line
    ex.branchStack.clear();
    return StepOutcome::Next;
}

StepOutcome execCall(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    NestedRun call(ex.rt, calledFunction(ex, operands[0]), FrameStart::Call);
    call.runToEnd();
    return StepOutcome::Next;
}

StepOutcome execJump(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    if (ex.origin == FrameStart::Call) throw CExecError(error_code::JumpFromCall);
    ex.start(calledFunction(ex, operands[0]), FrameStart::Jump);
    return StepOutcome::Stay;
}

StepOutcome execReturn(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    resultVariable(ex) = decimalValue(operands[0].text);  // a number as written, not an expression
    return StepOutcome::End;
}

StepOutcome execBegin(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    const auto target = lookupBeginTarget(operands[0].text);
    if (!target) throw CExecError(error_code::BadBeginTarget, std::string(operands[0].text));
    ex.rt.game.begin(*target, ex.rt.store);
    return StepOutcome::End;
}

StepOutcome execRestart(ScriptExecutor& ex, const ScriptLine&, Operands) {
    ex.pc = -1;  // step()'s advance brings it to the first line
    ex.branchStack.clear();
    return StepOutcome::Next;
}

StepOutcome execQuit(ScriptExecutor& ex, const ScriptLine&, Operands) {
    ex.rt.console.flush();
    throw ProgramExit{0};
}

// ---- Assignments ---------------------------------------------------------

StepOutcome execIntAssign(ScriptExecutor& ex, const ScriptLine& line, Operands operands) {
    // A failing right-hand side leaves the target alone.
    const std::int32_t value = evaluate(ex, operands[0]);
    const auto kind = static_cast<AssignKind>(line.code - kIntAssign);
    ex.rt.evaluator.assignReference(kind, operands[1].target(), value);
    return StepOutcome::Next;
}

StepOutcome execStrAssign(ScriptExecutor& ex, const ScriptLine& line, Operands operands) {
    ex.rt.evaluator.assignStringVariable(line.target, line.targetIndex, operands[1].text);
    return StepOutcome::Next;
}

StepOutcome execTimes(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    if (operands[0].kind == OperandKind::Missing)
        throw CExecError(error_code::TimesArguments, std::string(operands[0].text));
    const std::string_view reference = operands[0].text;
    const std::int32_t old = ex.rt.evaluator.readVariableRef(reference);
    const std::int32_t product = scaled(old, decimalFactor(operands[1].text));
    ex.rt.evaluator.assignVariableRef(kAssign, reference, product);
    return StepOutcome::Next;
}

}  // namespace kiro
