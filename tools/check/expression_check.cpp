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

#include "checks.h"
#include "expression_faults.h"
#include "data/text.h"
#include "script/error_reports.h"
#include "script/errors.h"
#include "script/evaluator.h"
#include "script/form_expansion.h"
#include "script/instruction_table.h"
#include "utf8_text.h"

namespace kiro::check {
namespace {

// Every coded error with its category and meaning (errors.def).
struct ErrorRow {
    ErrorClass errorClass;
    std::int32_t code;
    ErrorCategory category;
    std::string_view what;
};
constexpr ErrorRow kErrors[] = {
#define E(Class, Name, code, Category, parts, meaning) \
    {ErrorClass::Class, code, ErrorCategory::Category, meaning},
#include "script/errors.def"
#undef E
};

// The evaluator's errors that come from the text alone.
const ErrorRow* textFault(std::int32_t code) {
    for (const ErrorRow& row : kErrors)
        if (row.errorClass == ErrorClass::Exec && row.code == code && row.category == ErrorCategory::TextFault)
            return &row;
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

// What a shape needs when a comma is missing, for the message.
struct ShapeNeed {
    Shape shape;
    std::string_view needs;
    std::int32_t error;
};
constexpr ShapeNeed kShapeNeeds[] = {
    {Shape::BarTriple, "three arguments, value, maximum and length", error_code::BarArguments},
    {Shape::Times, "a variable and a factor", error_code::TimesArguments},
};

// Walks every operand the engine cuts a line into and tries it the way its
// handler uses it; a new instruction is checked by its shape alone.
class ExpressionCheck {
public:
    explicit ExpressionCheck(Findings& findings)
        : zeros_(scratchStore(0)), ones_(scratchStore(1)), findings_(findings) {}

    void visit(const FunctionDefinition& definition, const ScriptLine& line);

private:
    void expression(std::string_view text);
    void stringReference(std::string_view text);
    void form(std::string_view text);
    void variableReference(std::string_view text);
    void intTarget(std::string_view text);
    void stringTarget(std::string_view text);
    void missing(std::string_view text);

    std::optional<std::int32_t> faultOf(std::string_view text, const Attempt& run);
    void tryPart(std::string_view part, const Attempt& run, TextUse use);
    Place placeAt(std::string_view part, std::size_t at) const;
    // "IF"; "assignment" or "assignment target" for an assignment's parts.
    std::string label() const;

    struct Rule {
        OperandKind kind;
        void (ExpressionCheck::*check)(std::string_view text);
    };
    static const Rule kRules[];

    std::unique_ptr<VariableStore> zeros_, ones_;
    Findings& findings_;
    const FunctionDefinition* definition_ = nullptr;
    const ScriptLine* line_ = nullptr;
    OperandKind kind_ = OperandKind::Text;  // of the operand being tried
};

const ExpressionCheck::Rule ExpressionCheck::kRules[] = {
    {OperandKind::Expression, &ExpressionCheck::expression},
    {OperandKind::StringReference, &ExpressionCheck::stringReference},
    {OperandKind::Form, &ExpressionCheck::form},
    {OperandKind::VariableReference, &ExpressionCheck::variableReference},
    {OperandKind::IntTarget, &ExpressionCheck::intTarget},
    {OperandKind::StringTarget, &ExpressionCheck::stringTarget},
    {OperandKind::Missing, &ExpressionCheck::missing},
};

void ExpressionCheck::visit(const FunctionDefinition& definition, const ScriptLine& line) {
    definition_ = &definition;
    line_ = &line;
    cutOperands(line, [&](OperandKind kind, std::string_view text) {
        kind_ = kind;
        for (const Rule& rule : kRules)
            if (rule.kind == kind) (this->*rule.check)(text);
    });
}

std::string ExpressionCheck::label() const {
    const std::string_view keyword = instructionKeyword(line_->code);
    if (!keyword.empty()) return std::string(keyword);
    return kind_ == OperandKind::Expression ? "assignment" : "assignment target";
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
        } catch (const ArrayError&) {
        }
    }
    return std::nullopt;
}

void ExpressionCheck::tryPart(std::string_view part, const Attempt& run, TextUse use) {
    std::optional<std::int32_t> code = faultOf(part, run);
    if (!code) return;
    TextFault fault = explainTextFault(part, use, *code);
    if (fault.message.empty())
        fault.message = std::string(textFault(*code)->what) + " (kiro reports error " + std::to_string(*code) + ": " +
                        utf8Of(messageOf(CExecError(*code))) + ")";
    findings_.add(placeAt(part, fault.at), fault.code, label() + " " + quoted(part) + ": " + fault.message,
                  std::move(fault.suggestions));
}

// An assignment's target may be an upper-cased copy of the line's first
// word; it has the same length, and starts where the statement does.
Place ExpressionCheck::placeAt(std::string_view part, std::size_t at) const {
    std::int32_t column = columnOf(*line_, part);
    if (column == 0 && (kind_ == OperandKind::IntTarget || kind_ == OperandKind::StringTarget))
        column = columnOf(*line_, line_->text);
    if (column != 0)
        for (std::size_t i = 0; i < at && i < part.size(); ++i, ++column)
            if (isLeadByte(part[i])) ++i;
    return Place{pathOf(*definition_), line_->lineNumber, column};
}

void ExpressionCheck::expression(std::string_view text) {
    tryPart(text, [](Evaluator& e, std::string_view t) { e.evaluateExpression(t); }, TextUse::Expression);
}

// Read as written: string references are not upper-cased.
void ExpressionCheck::stringReference(std::string_view text) {
    tryPart(text, [](Evaluator& e, std::string_view t) { e.readStringVariable(t); }, TextUse::StringReference);
}

void ExpressionCheck::form(std::string_view text) {
    tryPart(text, [](Evaluator& e, std::string_view t) { expandForm(e, t); }, TextUse::Form);
}

void ExpressionCheck::variableReference(std::string_view text) {
    tryPart(text, [](Evaluator& e, std::string_view t) { e.readVariableRef(t); }, TextUse::VariableReference);
}

// "|= 0" goes through the whole assignment path without changing the
// scratch value.
void ExpressionCheck::intTarget(std::string_view text) {
    const ScriptLine& line = *line_;
    tryPart(text, [&](Evaluator& e, std::string_view) { e.assignVariable(kBitOr, line.target, line.targetIndex, 0); },
            TextUse::Target);
}

// The text is stored, not evaluated; only the target's index can fail.
// Storing an empty text over the scratch variables' empty texts changes
// nothing.
void ExpressionCheck::stringTarget(std::string_view text) {
    const ScriptLine& line = *line_;
    tryPart(text, [&](Evaluator& e, std::string_view) { e.assignStringVariable(line.target, line.targetIndex, ""); },
            TextUse::Target);
}

void ExpressionCheck::missing(std::string_view) {
    const Shape shape = instructionTraits(line_->code).shape;
    for (const ShapeNeed& need : kShapeNeeds)
        if (need.shape == shape)
            findings_.add(placeAt(line_->argument, 0), FindingCode::MissingArgument,
                          label() + " " + quoted(line_->argument) + ": needs " + std::string(need.needs) +
                              " (kiro reports error " + std::to_string(need.error) + ")");
}

}  // namespace

void checkExpressions(const LoadedGame& game, Findings& findings) {
    ExpressionCheck check(findings);
    forEachDefinition(game.program, [&](const std::string&, const FunctionDefinition& definition) {
        for (const ScriptLine& line : definition.lines) check.visit(definition, line);
    });
}

}  // namespace kiro::check
