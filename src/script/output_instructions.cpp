// The output and input instructions: the PRINT family, PRINTFORM and its
// variants, PUTFORM, BAR, DRAWLINE, WAIT, INPUT and INPUTS.
//
// Output without an end of line stays in the console's buffer until the
// next end of line, flush or read. Every failure is thrown to the
// executor's guard, which reports it and goes on with the next line; what
// was written before the failure stays written.
//
// One handler serves each argument shape; what follows the output (an end
// of line, a wait) comes from the instruction's row in instructions.def.
#include <algorithm>
#include <string_view>

#include "console/console.h"
#include "data/text.h"
#include "data/variable_store.h"
#include "script/bar.h"
#include "script/errors.h"
#include "script/evaluator.h"
#include "script/executor.h"
#include "script/form_expansion.h"
#include "script/instruction_table.h"
#include "script/runtime.h"

namespace kiro {
namespace {

constexpr std::size_t kPrintcWidth = 25;
constexpr std::string_view kDrawLine =
    "-------------------------------------------------------------------------------";  // 79
static_assert(kDrawLine.size() == 79);

void writeBlanks(Console& console, std::size_t count) {
    constexpr std::string_view kBlanks = "                                ";
    for (; count > 0; count -= std::min(count, kBlanks.size()))
        console.writeText(kBlanks.substr(0, std::min(count, kBlanks.size())));
}

// Each value item is written as soon as it is evaluated, so an item that
// fails leaves the earlier ones. A list too long to keep cut is walked
// from its text.
void writeValueItem(Runtime& rt, OperandKind kind, std::string_view text) {
    if (kind == OperandKind::Text) rt.console.writeText(text);
    else rt.console.writeNumber(rt.evaluator.evaluateExpression(text));
}

void writeValueList(Runtime& rt, Operands items) {
    for (const Operand& item : items) {
        if (item.kind == OperandKind::ValueListText)
            forEachValueItem(item.text, [&](OperandKind kind, std::string_view text) { writeValueItem(rt, kind, text); });
        else if (item.kind == OperandKind::Text) rt.console.writeText(item.text);
        else rt.console.writeNumber(item.expression().evaluate(rt.evaluator));
    }
}

// The form held by a string variable, expanded.
std::string expandReferencedForm(Runtime& rt, const Operand& reference) {
    return expandForm(rt.evaluator, rt.evaluator.readStringVariable(reference.text));
}

// The operand's form expanded, in the runtime's reused buffer.
std::string_view expandOperandForm(Runtime& rt, const Operand& form) {
    form.form().expand(rt.evaluator, rt.formText);
    return rt.formText;
}

// What follows an instruction's output, from its row in instructions.def.
// A wait counts for the game loop, which then skips its own.
void finishOutput(Runtime& rt, const ScriptLine& line) {
    switch (instructionTraits(line.code).after) {
        case After::Nothing: return;
        case After::EndLine: return rt.console.endLine();
        case After::Wait:
            rt.console.waitForEnter();
            rt.waited = true;
            return;
    }
}

bool waits(const ScriptLine& line) { return instructionTraits(line.code).after == After::Wait; }

}  // namespace

// PRINT, PRINTL, PRINTW. An empty PRINTW does not wait but still counts as
// a wait: the game loop's own wait after a command is skipped.
StepOutcome execPrintText(ScriptExecutor& ex, const ScriptLine& line, Operands operands) {
    if (waits(line) && operands[0].text.empty()) {
        ex.rt.waited = true;
        return StepOutcome::Next;
    }
    ex.rt.console.writeText(operands[0].text);
    finishOutput(ex.rt, line);
    return StepOutcome::Next;
}

// PRINTV, PRINTVL.
StepOutcome execPrintValues(ScriptExecutor& ex, const ScriptLine& line, Operands operands) {
    writeValueList(ex.rt, operands);
    finishOutput(ex.rt, line);
    return StepOutcome::Next;
}

// PRINTS, PRINTSL.
StepOutcome execPrintString(ScriptExecutor& ex, const ScriptLine& line, Operands operands) {
    ex.rt.console.writeText(ex.rt.evaluator.readStringVariable(operands[0].text));
    finishOutput(ex.rt, line);
    return StepOutcome::Next;
}

// Right-aligned in 25 bytes; a longer text is written whole.
StepOutcome execPrintC(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    const std::string_view text = operands[0].text;
    if (text.size() < kPrintcWidth) writeBlanks(ex.rt.console, kPrintcWidth - text.size());
    ex.rt.console.writeText(text);
    return StepOutcome::Next;
}

StepOutcome execWait(ScriptExecutor& ex, const ScriptLine& line, Operands) {
    finishOutput(ex.rt, line);
    return StepOutcome::Next;
}

StepOutcome execInput(ScriptExecutor& ex, const ScriptLine&, Operands) {
    std::int32_t value = ex.rt.console.readNumber();
    ex.rt.store.at(kResult, 0) = value;
    return StepOutcome::Next;
}

StepOutcome execInputS(ScriptExecutor& ex, const ScriptLine&, Operands) {
    std::string word = ex.rt.console.readWord();
    ex.rt.store.strings(kResults).at(0) = std::move(word);
    return StepOutcome::Next;
}

// PRINTFORM, PRINTFORML, PRINTFORMW. Unlike PRINTW, an empty PRINTFORMW
// does nothing at all: it neither waits nor counts as a wait.
StepOutcome execPrintForm(ScriptExecutor& ex, const ScriptLine& line, Operands operands) {
    if (waits(line) && operands[0].text.empty()) return StepOutcome::Next;
    ex.rt.console.writeText(expandOperandForm(ex.rt, operands[0]));
    finishOutput(ex.rt, line);
    return StepOutcome::Next;
}

// PRINTFORMS, PRINTFORMSL, PRINTFORMSW. For PRINTFORMSW a first expansion
// only decides whether anything is shown; what is written is a second one,
// so expressions with side effects (RAND) are evaluated twice.
StepOutcome execPrintFormString(ScriptExecutor& ex, const ScriptLine& line, Operands operands) {
    if (waits(line) && expandReferencedForm(ex.rt, operands[0]).empty()) return StepOutcome::Next;
    ex.rt.console.writeText(expandReferencedForm(ex.rt, operands[0]));
    finishOutput(ex.rt, line);
    return StepOutcome::Next;
}

// Adds to the save description instead of the console; SAVEINFO uses it
// while a save is being written. Outside SAVEINFO nothing empties the
// description until the next save, so a script repeating PUTFORM could grow
// it without end: it is held to the bound of one expansion, and a PUTFORM
// that would pass it fails like a runaway expansion and adds nothing.
StepOutcome execPutForm(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    const std::string_view text = expandOperandForm(ex.rt, operands[0]);
    if (ex.rt.saveDescription.size() + text.size() > kMaxFormLength) throw CExecError(error_code::FormRunaway);
    ex.rt.saveDescription += text;
    return StepOutcome::Next;
}

// BAR, BARL: a missing comma fails before anything is evaluated, and all
// three are evaluated before "[" is written.
StepOutcome execBar(ScriptExecutor& ex, const ScriptLine& line, Operands operands) {
    if (operands[0].kind == OperandKind::Missing)
        throw CExecError(error_code::BarArguments, std::string(operands[0].text));
    Evaluator& evaluator = ex.rt.evaluator;
    const std::int32_t value = operands[0].expression().evaluate(evaluator);
    const std::int32_t maximum = operands[1].expression().evaluate(evaluator);
    const std::int32_t length = operands[2].expression().evaluate(evaluator);
    drawBar(ex.rt.console, value, maximum, length, '*');
    finishOutput(ex.rt, line);
    return StepOutcome::Next;
}

StepOutcome execDrawLine(ScriptExecutor& ex, const ScriptLine& line, Operands) {
    ex.rt.console.writeText(kDrawLine);
    finishOutput(ex.rt, line);
    return StepOutcome::Next;
}

}  // namespace kiro
