// The output and input instructions: the PRINT family, PRINTFORM and its
// variants, PUTFORM, BAR, DRAWLINE, WAIT, INPUT and INPUTS.
//
// Output without an end of line stays in the console's buffer until the
// next end of line, flush or read. Every failure is thrown to the
// executor's guard, which reports it and goes on with the next line; what
// was written before the failure stays written.
//
// PRINTV, BAR and the PRINTFORM family cut their argument once, on the
// line's first run, and keep the pieces with the line (line_form.h).
#include <algorithm>
#include <string_view>

#include "console/console.h"
#include "data/variable_store.h"
#include "script/bar.h"
#include "script/errors.h"
#include "script/evaluator.h"
#include "script/executor.h"
#include "script/form_expansion.h"
#include "script/line_form.h"
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

// PRINTV's items are separated by ","; the remaining text is trimmed before
// each item, but an item keeps the blanks before its ",". A 'text item is
// written as it stands, anything else is an expression whose value is
// written. Each item is written as soon as it is read, so an item that fails
// leaves the earlier ones.
template <typename EachItem>
void forEachValueItem(std::string_view list, EachItem each) {
    std::string_view rest = trimBlanks(list);
    for (std::size_t comma; (comma = findSingleByte(rest, ',')) != std::string_view::npos;
         rest = trimBlanks(rest.substr(comma + 1)))
        each(rest.substr(0, comma));
    each(rest);
}

bool isTextItem(std::string_view item) { return !item.empty() && item.front() == '\''; }

// The items cut and parsed once. A list too long to be worth keeping
// (thousands of items on one line) is walked from its text every time.
struct ValueListForm : LineForm {
    static constexpr std::size_t kMaxKeptItems = 256;
    struct Item {
        bool isText;
        std::string_view text;  // a text item, after its quote
        Expression expression;  // otherwise
    };

    explicit ValueListForm(const ScriptLine& line) {
        forEachValueItem(line.argument, [&](std::string_view item) {
            if (items.size() > kMaxKeptItems) return;
            if (isTextItem(item)) items.push_back({true, item.substr(1), Expression()});
            else items.push_back({false, {}, Expression(item)});
        });
        kept = items.size() <= kMaxKeptItems;
        if (!kept) items.clear();
    }

    bool kept = false;
    std::vector<Item> items;
};

void writeValueItem(Runtime& rt, std::string_view item) {
    if (isTextItem(item)) rt.console.writeText(item.substr(1));
    else rt.console.writeNumber(rt.evaluator.evaluateExpression(item));
}

void writeValueList(Runtime& rt, const ScriptLine& line) {
    const ValueListForm& form = formOf<ValueListForm>(line);
    if (!form.kept) {
        forEachValueItem(line.argument, [&](std::string_view item) { writeValueItem(rt, item); });
        return;
    }
    for (const ValueListForm::Item& item : form.items) {
        if (item.isText) rt.console.writeText(item.text);
        else rt.console.writeNumber(item.expression.evaluate(rt.evaluator));
    }
}

void writeStringReference(Runtime& rt, std::string_view reference) {
    rt.console.writeText(rt.evaluator.readStringVariable(reference));
}

// The form held by a string variable, expanded.
std::string expandReferencedForm(Runtime& rt, std::string_view reference) {
    return expandForm(rt.evaluator, rt.evaluator.readStringVariable(reference));
}

struct FormTextForm : LineForm {
    explicit FormTextForm(const ScriptLine& line) : form(line.argument) {}
    PreparedForm form;
};

// The line's form expanded, in the runtime's reused buffer.
std::string_view expandLineForm(Runtime& rt, const ScriptLine& line) {
    formOf<FormTextForm>(line).form.expand(rt.evaluator, rt.formText);
    return rt.formText;
}

void waitAfterWriting(Runtime& rt) {
    rt.console.waitForEnter();
    rt.waited = true;
}

// BAR's "value, maximum, length": a missing comma fails before anything is
// evaluated, and all three are evaluated before "[" is written.
struct BarForm : LineForm {
    explicit BarForm(const ScriptLine& line) {
        const std::string_view argument = line.argument;
        const std::size_t first = findSingleByte(argument, ',');
        if (first == std::string_view::npos) {
            missing = argument;
            return;
        }
        const std::string_view rest = argument.substr(first + 1);
        const std::size_t second = findSingleByte(rest, ',');
        if (second == std::string_view::npos) {
            missing = rest;
            return;
        }
        complete = true;
        value = Expression(argument.substr(0, first));
        maximum = Expression(rest.substr(0, second));
        length = Expression(rest.substr(second + 1));
    }

    bool complete = false;
    std::string_view missing;  // the text error 300 shows when a comma is missing
    Expression value, maximum, length;
};

void drawBarFromLine(Runtime& rt, const ScriptLine& line) {
    const BarForm& bar = formOf<BarForm>(line);
    if (!bar.complete) throw CExecError(exec_error::kBarArguments, std::string(bar.missing));
    std::int32_t value = bar.value.evaluate(rt.evaluator);
    std::int32_t maximum = bar.maximum.evaluate(rt.evaluator);
    std::int32_t length = bar.length.evaluate(rt.evaluator);
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
    writeValueList(ex.rt, line);
    return StepOutcome::Next;
}

StepOutcome execPrintVL(ScriptExecutor& ex, const ScriptLine& line) {
    writeValueList(ex.rt, line);
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
    ex.rt.console.writeText(expandLineForm(ex.rt, line));
    return StepOutcome::Next;
}

StepOutcome execPrintFormL(ScriptExecutor& ex, const ScriptLine& line) {
    ex.rt.console.writeText(expandLineForm(ex.rt, line));
    ex.rt.console.endLine();
    return StepOutcome::Next;
}

// Unlike PRINTW, an empty PRINTFORMW does nothing at all: it neither waits
// nor counts as a wait.
StepOutcome execPrintFormW(ScriptExecutor& ex, const ScriptLine& line) {
    if (line.argument.empty()) return StepOutcome::Next;
    ex.rt.console.writeText(expandLineForm(ex.rt, line));
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
    const std::string_view text = expandLineForm(ex.rt, line);
    if (ex.rt.saveDescription.size() + text.size() > kMaxFormLength) throw CExecError(exec_error::kFormRunaway);
    ex.rt.saveDescription += text;
    return StepOutcome::Next;
}

StepOutcome execBar(ScriptExecutor& ex, const ScriptLine& line) {
    drawBarFromLine(ex.rt, line);
    return StepOutcome::Next;
}

StepOutcome execBarL(ScriptExecutor& ex, const ScriptLine& line) {
    drawBarFromLine(ex.rt, line);
    ex.rt.console.endLine();
    return StepOutcome::Next;
}

StepOutcome execDrawLine(ScriptExecutor& ex, const ScriptLine&) {
    ex.rt.console.writeText(kDrawLine);
    ex.rt.console.endLine();
    return StepOutcome::Next;
}

}  // namespace kiro
