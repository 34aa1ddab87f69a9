// The output and input instructions: the PRINT family, PRINTFORM and its
// variants, PUTFORM, BAR, DRAWLINE, WAIT, INPUT and INPUTS.
//
// Output without an end of line stays in the console's buffer until the
// next end of line, flush or read. Every failure is thrown to the
// executor's guard, which reports it and goes on with the next line; what
// was written before the failure stays written.
#include <algorithm>
#include <string_view>

#include "console/console.h"
#include "data/variable_store.h"
#include "script/bar.h"
#include "script/errors.h"
#include "script/evaluator.h"
#include "script/executor.h"
#include "script/form_expansion.h"
#include "script/runtime.h"
#include "script/text.h"

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

// A PRINTV item: 'text is written as it stands, anything else is an
// expression whose value is written.
void writeValueItem(Runtime& rt, std::string_view item) {
    if (!item.empty() && item.front() == '\'')
        rt.console.writeText(item.substr(1));
    else
        rt.console.writeNumber(rt.evaluator.evaluateExpression(item));
}

// Items are separated by ","; the remaining text is trimmed before each
// item, but an item keeps the blanks before its ",". Each item is written
// as soon as it is read, so an item that fails leaves the earlier ones.
void writeValueList(Runtime& rt, std::string_view list) {
    std::string_view rest = trimBlanks(list);
    for (std::size_t comma; (comma = findSingleByte(rest, ',')) != std::string_view::npos;
         rest = trimBlanks(rest.substr(comma + 1)))
        writeValueItem(rt, rest.substr(0, comma));
    writeValueItem(rt, rest);
}

void writeStringReference(Runtime& rt, std::string_view reference) {
    rt.console.writeText(rt.evaluator.readStringVariable(reference));
}

// The form held by a string variable, expanded.
std::string expandReferencedForm(Runtime& rt, std::string_view reference) {
    return expandForm(rt.evaluator, rt.evaluator.readStringVariable(reference));
}

void waitAfterWriting(Runtime& rt) {
    rt.console.waitForEnter();
    rt.waited = true;
}

// "value, maximum, length": all three are evaluated before "[" is written.
void drawBarFromArgument(Runtime& rt, std::string_view argument) {
    std::size_t first = findSingleByte(argument, ',');
    if (first == std::string_view::npos) throw CExecError(exec_error::kBarArguments, std::string(argument));
    std::string_view rest = argument.substr(first + 1);
    std::size_t second = findSingleByte(rest, ',');
    if (second == std::string_view::npos) throw CExecError(exec_error::kBarArguments, std::string(rest));
    std::int32_t value = rt.evaluator.evaluateExpression(argument.substr(0, first));
    std::int32_t maximum = rt.evaluator.evaluateExpression(rest.substr(0, second));
    std::int32_t length = rt.evaluator.evaluateExpression(rest.substr(second + 1));
    drawBar(rt.console, value, maximum, length, '*');
}

}  // namespace

StepOutcome execPrint(ScriptExecutor& ex, const ScriptLine& line) {
    ex.rt.console.writeText(line.argument);
    return StepOutcome::Next;
}

StepOutcome execPrintL(ScriptExecutor& ex, const ScriptLine& line) {
    ex.rt.console.writeText(line.argument);
    ex.rt.console.endLine();
    return StepOutcome::Next;
}

// An empty PRINTW still counts as a wait: the game loop's own wait after a
// command is skipped.
StepOutcome execPrintW(ScriptExecutor& ex, const ScriptLine& line) {
    if (!line.argument.empty()) {
        ex.rt.console.writeText(line.argument);
        ex.rt.console.waitForEnter();
    }
    ex.rt.waited = true;
    return StepOutcome::Next;
}

StepOutcome execPrintV(ScriptExecutor& ex, const ScriptLine& line) {
    writeValueList(ex.rt, line.argument);
    return StepOutcome::Next;
}

StepOutcome execPrintVL(ScriptExecutor& ex, const ScriptLine& line) {
    writeValueList(ex.rt, line.argument);
    ex.rt.console.endLine();
    return StepOutcome::Next;
}

StepOutcome execPrintS(ScriptExecutor& ex, const ScriptLine& line) {
    writeStringReference(ex.rt, line.argument);
    return StepOutcome::Next;
}

StepOutcome execPrintSL(ScriptExecutor& ex, const ScriptLine& line) {
    writeStringReference(ex.rt, line.argument);
    ex.rt.console.endLine();
    return StepOutcome::Next;
}

// Right-aligned in 25 bytes; a longer text is written whole.
StepOutcome execPrintC(ScriptExecutor& ex, const ScriptLine& line) {
    if (line.argument.size() < kPrintcWidth) writeBlanks(ex.rt.console, kPrintcWidth - line.argument.size());
    ex.rt.console.writeText(line.argument);
    return StepOutcome::Next;
}

StepOutcome execWait(ScriptExecutor& ex, const ScriptLine&) {
    waitAfterWriting(ex.rt);
    return StepOutcome::Next;
}

StepOutcome execInput(ScriptExecutor& ex, const ScriptLine&) {
    std::int32_t value = ex.rt.console.readNumber();
    ex.rt.store.at(kResult, 0) = value;
    return StepOutcome::Next;
}

StepOutcome execInputS(ScriptExecutor& ex, const ScriptLine&) {
    std::string word = ex.rt.console.readWord();
    ex.rt.store.strings(kResults).at(0) = std::move(word);
    return StepOutcome::Next;
}

StepOutcome execPrintForm(ScriptExecutor& ex, const ScriptLine& line) {
    ex.rt.console.writeText(expandForm(ex.rt.evaluator, line.argument));
    return StepOutcome::Next;
}

StepOutcome execPrintFormL(ScriptExecutor& ex, const ScriptLine& line) {
    ex.rt.console.writeText(expandForm(ex.rt.evaluator, line.argument));
    ex.rt.console.endLine();
    return StepOutcome::Next;
}

// Unlike PRINTW, an empty PRINTFORMW does nothing at all: it neither waits
// nor counts as a wait.
StepOutcome execPrintFormW(ScriptExecutor& ex, const ScriptLine& line) {
    if (line.argument.empty()) return StepOutcome::Next;
    ex.rt.console.writeText(expandForm(ex.rt.evaluator, line.argument));
    waitAfterWriting(ex.rt);
    return StepOutcome::Next;
}

StepOutcome execPrintFormS(ScriptExecutor& ex, const ScriptLine& line) {
    ex.rt.console.writeText(expandReferencedForm(ex.rt, line.argument));
    return StepOutcome::Next;
}

StepOutcome execPrintFormSL(ScriptExecutor& ex, const ScriptLine& line) {
    ex.rt.console.writeText(expandReferencedForm(ex.rt, line.argument));
    ex.rt.console.endLine();
    return StepOutcome::Next;
}

// The first expansion only decides whether anything is shown; what is
// written is a second one, so expressions with side effects (RAND) are
// evaluated twice.
StepOutcome execPrintFormSW(ScriptExecutor& ex, const ScriptLine& line) {
    if (expandReferencedForm(ex.rt, line.argument).empty()) return StepOutcome::Next;
    ex.rt.console.writeText(expandReferencedForm(ex.rt, line.argument));
    waitAfterWriting(ex.rt);
    return StepOutcome::Next;
}

// Adds to the save description instead of the console; SAVEINFO uses it
// while a save is being written. Outside SAVEINFO nothing empties the
// description until the next save, so a script repeating PUTFORM could grow
// it without end: it is held to the bound of one expansion, and a PUTFORM
// that would pass it fails like a runaway expansion and adds nothing.
StepOutcome execPutForm(ScriptExecutor& ex, const ScriptLine& line) {
    std::string text = expandForm(ex.rt.evaluator, line.argument);
    if (ex.rt.saveDescription.size() + text.size() > kMaxFormLength) throw CExecError(exec_error::kFormRunaway);
    ex.rt.saveDescription += text;
    return StepOutcome::Next;
}

StepOutcome execBar(ScriptExecutor& ex, const ScriptLine& line) {
    drawBarFromArgument(ex.rt, line.argument);
    return StepOutcome::Next;
}

StepOutcome execBarL(ScriptExecutor& ex, const ScriptLine& line) {
    drawBarFromArgument(ex.rt, line.argument);
    ex.rt.console.endLine();
    return StepOutcome::Next;
}

StepOutcome execDrawLine(ScriptExecutor& ex, const ScriptLine&) {
    ex.rt.console.writeText(kDrawLine);
    ex.rt.console.endLine();
    return StepOutcome::Next;
}

}  // namespace kiro
