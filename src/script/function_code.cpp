// Making a function's compiled statements (function_code.h).
#include "script/function_code.h"

#include "data/text.h"
#include "data/variable_store.h"
#include "script/expression_code.h"
#include "script/instruction_table.h"
#include "script/operators.h"
#include "script/operands.h"
#include "script/script_program.h"

namespace kiro {
namespace {

// Links every IF block's keywords: each IF and ELSEIF to the block's next
// keyword, each ELSEIF and ELSE to its ENDIF. A keyword with no block open
// and a block left open at the end keep -1 (no jump).
void linkBlocks(const FunctionDefinition& function, std::vector<CompiledStatement>& statements) {
    struct OpenBlock {
        std::int32_t last;                    // the keyword seen last
        std::vector<std::int32_t> branches;  // its ELSEIF and ELSE lines
    };
    std::vector<OpenBlock> open;
    const std::span<const ScriptLine> lines = function.lines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto at = static_cast<std::int32_t>(i);
        switch (lines[i].code) {
            case kIF: open.push_back({at, {}}); break;
            case kELSEIF:
            case kELSE:
                if (open.empty()) break;
                statements[static_cast<std::size_t>(open.back().last)].next = at;
                statements[static_cast<std::size_t>(open.back().last)].nextIsElse = lines[i].code == kELSE;
                open.back().last = at;
                open.back().branches.push_back(at);
                break;
            case kENDIF:
                if (open.empty()) break;
                statements[static_cast<std::size_t>(open.back().last)].next = at;
                for (std::int32_t branch : open.back().branches) statements[static_cast<std::size_t>(branch)].end = at;
                open.pop_back();
                break;
            default: break;
        }
    }
}

// A target "NAME" or "NAME:number" of a global integer array.
bool isGlobalElement(const VariableRef& target) {
    return target.code >= kFirstGlobalCode && target.code < kGlobalSlots &&
           (target.first.kind == IndexOperand::kAbsent || target.first.kind == IndexOperand::kNumber) &&
           target.second.kind == IndexOperand::kAbsent;
}

// The value's form: its steps, or what they come to when they are one
// number or one read of a global element, maybe folded with a number.
void takeValue(CompiledStatement& statement, const Operand& operand) {
    statement.value = &operand.expression();
    const ExpressionCode* code = statement.value->code();
    if (!code) return;  // kText
    const std::vector<ExpressionCode::Step>& steps = code->steps;
    const ExpressionCode::Step& first = steps[0];
    statement.a = first.a;
    statement.b = first.b;
    if (steps.size() == 2 && first.kind == ExpressionCode::kConstant) {
        statement.form = CompiledStatement::kNumber;
    } else if (steps.size() == 2 && first.kind == ExpressionCode::kGlobal) {
        statement.form = CompiledStatement::kGlobalElement;
    } else if (steps.size() == 2 && first.kind >= ExpressionCode::kGlobalFoldNumberFirst &&
               first.kind < ExpressionCode::kFoldGlobalFirst) {
        statement.form = CompiledStatement::kGlobalFolded;
        statement.foldOperator = first.kind - ExpressionCode::kGlobalFoldNumberFirst;
        statement.foldNumber = first.c;
    } else {
        statement.form = CompiledStatement::kSteps;
        statement.steps = code;
    }
}

}  // namespace

FunctionCode& makeFunctionCode(const FunctionDefinition& function) {
    {
        auto code = std::make_shared<FunctionCode>();
        const std::span<const ScriptLine> lines = function.lines;
        code->statements.resize(lines.size() + 1);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::int32_t line = lines[i].code;
            if (line >= kIF && line <= kENDIF) code->statements[i].passing = CompiledStatement::kBranchKeyword;
            if (line == kREND) code->statements[i].passing = CompiledStatement::kLoopEnd;
        }
        code->statements.back().op = CompiledStatement::kPastEnd;
        linkBlocks(function, code->statements);
        function.code = std::move(code);
    }
    return *function.code;
}

void buildStatement(CompiledStatement& statement, const ScriptLine& line) {
    statement.op = CompiledStatement::kLine;
    const std::int32_t code = line.code;
    const Operands operands = operandsOf(line);
    if (code >= kIntAssign && code < kIntAssign + 8) {
        const VariableRef& target = operands[1].target();
        if (!isGlobalElement(target)) return;
        const auto kind = static_cast<AssignKind>(code - kIntAssign);
        statement.op = kind == kAssign ? CompiledStatement::kSetGlobal : CompiledStatement::kUpdateGlobal;
        statement.assignOperator = kAssignOperators[static_cast<std::size_t>(kind)];
        statement.global = target.code;
        statement.number = target.first.value;
        takeValue(statement, operands[0]);
        return;
    }
    switch (code) {
        case kIF: statement.op = CompiledStatement::kIf; takeValue(statement, operands[0]); break;
        case kELSEIF: statement.op = CompiledStatement::kElseIf; takeValue(statement, operands[0]); break;
        case kELSE: statement.op = CompiledStatement::kElse; break;
        case kENDIF: statement.op = CompiledStatement::kEndIf; break;
        case kREND: statement.op = CompiledStatement::kRend; break;
        case kRETURN:
            statement.op = CompiledStatement::kReturn;
            statement.number = decimalValue(operands[0].text);
            break;
        default: break;
    }
}

}  // namespace kiro
