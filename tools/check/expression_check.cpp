// Expressions and variable references that fail whatever the variables
// hold: a full-width character, a stray ")", an unknown name, a "{" with no
// "}". Every argument an instruction evaluates is given to the engine's own
// evaluator (and PRINTFORM texts to its own expansion) over scratch
// variables; only the errors that come from the text itself are reported.
//
// An error that depends on values (division by zero, an index out of
// range) can stop an evaluation before it reaches a fault further on, so a
// text that fails that way is tried again over a second set of variables
// holding 1 instead of 0.
#include <algorithm>
#include <optional>
#include <stdexcept>

#include "checks.h"
#include "script/error_reports.h"
#include "script/errors.h"
#include "script/evaluator.h"
#include "script/form_expansion.h"
#include "script/instruction_table.h"
#include "script/text.h"
#include "utf8_text.h"

namespace kiro::check {
namespace {

// The evaluator's errors that come from the text alone.
struct TextFault {
    std::int32_t code;
    std::string_view what;
};
constexpr TextFault kTextFaults[] = {
    {exec_error::kReadUnknownName, "unknown variable name"},
    {exec_error::kAssignUnknownName, "unknown variable name"},
    {exec_error::kUnmatchedClose, "')' without '('"},
    {exec_error::kEmptyGroup, "empty parentheses"},
    {exec_error::kDoubleByte, "full-width character in an expression"},
    {exec_error::kDoubleMinus, "two minus signs before one operand"},
    {exec_error::kAfterNumber, "a number followed by a character that is neither digit, blank nor operator"},
    {exec_error::kAfterName, "a name followed by a character that is neither letter, '_', ':', blank nor operator"},
    {exec_error::kNoOperatorAfterBlank, "an operand after a blank where an operator belongs"},
    {exec_error::kBadOperator, "'=' or '!' without '=', or no operand at all"},
    {exec_error::kStringUnknownName, "unknown string variable name"},
    {exec_error::kUnclosedBrace, "'{' without '}'"},
    {exec_error::kUnclosedPercent, "'%' without a closing '%'"},
};

const TextFault* textFault(std::int32_t code) {
    for (const TextFault& fault : kTextFaults)
        if (fault.code == code) return &fault;
    return nullptr;
}

constexpr int kScratchCharacters = 3;  // enough for TARGET, ASSI, MASTER and PLAYER at 0 or 1

// Fresh variables with a few characters, every number set to `value`.
std::unique_ptr<VariableStore> scratchStore(std::int32_t value) {
    auto store = std::make_unique<VariableStore>();
    for (int i = 0; i < kScratchCharacters; ++i) store->addCharacter(CharacterRecord());
    if (value == 0) return store;
    for (std::int32_t code = kFirstGlobalCode; code < kGlobalSlots; ++code)
        std::fill(store->global(code).begin(), store->global(code).end(), value);
    for (CharacterRecord& chara : store->characters)
        for (std::int32_t code = 0; code < kCharacterArrayCount; ++code)
            std::fill(chara.array(code).begin(), chara.array(code).end(), value);
    return store;
}

// Runs one evaluation of `text` the way its instruction does.
using Attempt = std::function<void(Evaluator& evaluator, std::string_view text)>;

// String references (and the reference of TIMES) are looked up as written,
// unlike whole expressions, which are upper-cased first.
enum class Case { Folded, AsWritten };

class ExpressionCheck {
public:
    explicit ExpressionCheck(Findings& findings)
        : zeros_(scratchStore(0)), ones_(scratchStore(1)), findings_(findings) {}

    void visit(const FunctionDefinition& definition, const ScriptLine& line);

private:
    void expression(std::string_view text);
    void valueList(std::string_view list);
    void bar(std::string_view argument);
    void stringReference(std::string_view text);
    void form(std::string_view text);
    void times(std::string_view argument);
    void intAssignment();
    void stringAssignment();

    std::optional<std::int32_t> faultOf(std::string_view text, const Attempt& run);
    void tryPart(std::string_view part, const Attempt& run, Case letters = Case::Folded) {
        tryPart(keywordOf(*line_), part, run, letters);
    }
    void tryPart(const std::string& label, std::string_view part, const Attempt& run, Case letters = Case::Folded);
    std::string caseHint(std::string_view part, const Attempt& run);
    void report(std::string message) { findings_.add(pathOf(*definition_), line_->lineNumber, std::move(message)); }

    struct Rule {
        std::int32_t code;
        void (ExpressionCheck::*check)(std::string_view argument);
    };
    static const Rule kRules[];

    std::unique_ptr<VariableStore> zeros_, ones_;
    Findings& findings_;
    const FunctionDefinition* definition_ = nullptr;
    const ScriptLine* line_ = nullptr;
};

const ExpressionCheck::Rule ExpressionCheck::kRules[] = {
    {kSIF, &ExpressionCheck::expression},           {kIF, &ExpressionCheck::expression},
    {kELSEIF, &ExpressionCheck::expression},        {kREPEAT, &ExpressionCheck::expression},
    {kADDCHARA, &ExpressionCheck::expression},      {kADDSPCHARA, &ExpressionCheck::expression},
    {kDELCHARA, &ExpressionCheck::expression},      {kPRINT_TALENT, &ExpressionCheck::expression},
    {kPRINT_MARK, &ExpressionCheck::expression},    {kPRINT_ABL, &ExpressionCheck::expression},
    {kPRINT_PALAM, &ExpressionCheck::expression},   {kPRINT_EXP, &ExpressionCheck::expression},
    {kPRINTV, &ExpressionCheck::valueList},         {kPRINTVL, &ExpressionCheck::valueList},
    {kBAR, &ExpressionCheck::bar},                  {kBARL, &ExpressionCheck::bar},
    {kPRINTS, &ExpressionCheck::stringReference},   {kPRINTSL, &ExpressionCheck::stringReference},
    {kPRINTFORMS, &ExpressionCheck::stringReference}, {kPRINTFORMSL, &ExpressionCheck::stringReference},
    {kPRINTFORMSW, &ExpressionCheck::stringReference}, {kPRINTFORM, &ExpressionCheck::form},
    {kPRINTFORML, &ExpressionCheck::form},          {kPRINTFORMW, &ExpressionCheck::form},
    {kPUTFORM, &ExpressionCheck::form},             {kTIMES, &ExpressionCheck::times},
};

void ExpressionCheck::visit(const FunctionDefinition& definition, const ScriptLine& line) {
    definition_ = &definition;
    line_ = &line;
    if (line.code >= kIntAssign && line.code <= kIntAssign + kBitOr) return intAssignment();
    if (line.code == kStrAssign) return stringAssignment();
    for (const Rule& rule : kRules)
        if (rule.code == line.code) (this->*rule.check)(line.argument);
}

// The code of a fault in the text, if one of the scratch variable sets
// reaches it; nothing when the text evaluates or fails only on values.
std::optional<std::int32_t> ExpressionCheck::faultOf(std::string_view text, const Attempt& run) {
    for (VariableStore* store : {zeros_.get(), ones_.get()}) {
        Evaluator evaluator(*store);
        try {
            run(evaluator, text);
            return std::nullopt;
        } catch (const CExecError& error) {
            if (textFault(error.code)) return error.code;
        } catch (const std::out_of_range&) {
        } catch (const std::exception&) {
            return std::nullopt;  // nothing the language defines; not this check's business
        }
    }
    return std::nullopt;
}

void ExpressionCheck::tryPart(const std::string& label, std::string_view part, const Attempt& run, Case letters) {
    std::optional<std::int32_t> code = faultOf(part, run);
    if (!code) return;
    std::string hint = letters == Case::AsWritten ? caseHint(part, run) : "";
    report(label + " " + quoted(part) + ": " + std::string(textFault(*code)->what) + hint + " (error " +
           std::to_string(*code) + ": " + utf8Of(messageOf(CExecError(*code))) + ")");
}

// "PRINTS str:0" fails where "PRINTS STR:0" works.
std::string ExpressionCheck::caseHint(std::string_view part, const Attempt& run) {
    std::string upper = upperCased(part);
    if (upper == part || faultOf(upper, run)) return {};
    return "; references are looked up as written, and " + quoted(upper) + " would work";
}

void ExpressionCheck::expression(std::string_view text) {
    tryPart(text, [](Evaluator& e, std::string_view t) { e.evaluateExpression(t); });
}

// Items as PRINTV cuts them: the rest is trimmed before each item, a "'"
// item is text and is not evaluated.
void ExpressionCheck::valueList(std::string_view list) {
    auto item = [&](std::string_view text) {
        if (text.empty() || text.front() != '\'') expression(text);
    };
    std::string_view rest = trimBlanks(list);
    for (std::size_t comma; (comma = findSingleByte(rest, ',')) != std::string_view::npos;
         rest = trimBlanks(rest.substr(comma + 1)))
        item(rest.substr(0, comma));
    item(rest);
}

void ExpressionCheck::bar(std::string_view argument) {
    std::size_t first = findSingleByte(argument, ',');
    std::size_t second = first == std::string_view::npos ? first : findSingleByte(argument, ',', first + 1);
    if (second == std::string_view::npos) {
        report(keywordOf(*line_) + " " + quoted(argument) +
               ": needs three arguments, value, maximum and length (kiro reports error 300)");
        return;
    }
    expression(argument.substr(0, first));
    expression(argument.substr(first + 1, second - first - 1));
    expression(argument.substr(second + 1));
}

// Read as written: string references are not upper-cased.
void ExpressionCheck::stringReference(std::string_view text) {
    tryPart(text, [](Evaluator& e, std::string_view t) { e.readStringVariable(t); }, Case::AsWritten);
}

void ExpressionCheck::form(std::string_view text) {
    tryPart(text, [](Evaluator& e, std::string_view t) { expandForm(e, t); }, Case::AsWritten);
}

void ExpressionCheck::times(std::string_view argument) {
    std::size_t comma = findSingleByte(argument, ',');
    if (comma == std::string_view::npos) {
        report("TIMES " + quoted(argument) + ": needs a variable and a factor (kiro reports error 301)");
        return;
    }
    std::string_view reference = argument.substr(0, comma);
    tryPart(reference, [](Evaluator& e, std::string_view t) { e.readVariableRef(t); }, Case::AsWritten);
}

// The right-hand side, then the target's index: "|= 0" goes through the
// whole assignment path without changing the scratch value.
void ExpressionCheck::intAssignment() {
    const ScriptLine& line = *line_;
    tryPart("assignment", line.argument, [](Evaluator& e, std::string_view t) { e.evaluateExpression(t); });
    std::string target = std::string(line.target) + (line.targetIndex.empty() ? "" : ":" + std::string(line.targetIndex));
    tryPart("assignment target", target,
            [&](Evaluator& e, std::string_view) { e.assignVariable(kBitOr, line.target, line.targetIndex, 0); });
}

// The text is stored, not evaluated; only the target's index can fail.
// Storing an empty text over the scratch variables' empty texts changes
// nothing.
void ExpressionCheck::stringAssignment() {
    const ScriptLine& line = *line_;
    std::string target = std::string(line.target) + (line.targetIndex.empty() ? "" : ":" + std::string(line.targetIndex));
    tryPart("assignment target", target,
            [&](Evaluator& e, std::string_view) { e.assignStringVariable(line.target, line.targetIndex, ""); });
}

}  // namespace

void checkExpressions(const LoadedGame& game, Findings& findings) {
    ExpressionCheck check(findings);
    forEachDefinition(game.program, [&](const std::string&, const FunctionDefinition& definition) {
        for (const ScriptLine& line : definition.lines) check.visit(definition, line);
    });
}

}  // namespace kiro::check
