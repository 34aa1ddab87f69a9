// Cutting a line's argument by its instruction's shape, and making the
// operands the handlers use from the cut.
#include "script/operands.h"

#include <vector>

#include "data/text.h"
#include "script/instruction_table.h"
#include "script/script_line.h"

namespace kiro {
namespace {

// A value list with more items than this (thousands on one line) is not
// worth keeping cut: it stays one ValueListText operand.
constexpr std::size_t kMaxKeptItems = 256;

// BAR's "value, maximum, length": a missing comma fails before anything is
// evaluated, and shows the text from where the comma was looked for.
void cutBarTriple(std::string_view argument, const OperandVisit& visit) {
    const std::size_t first = findSingleByte(argument, ',');
    if (first == std::string_view::npos) return visit(OperandKind::Missing, argument);
    const std::string_view rest = argument.substr(first + 1);
    const std::size_t second = findSingleByte(rest, ',');
    if (second == std::string_view::npos) return visit(OperandKind::Missing, rest);
    visit(OperandKind::Expression, argument.substr(0, first));
    visit(OperandKind::Expression, rest.substr(0, second));
    visit(OperandKind::Expression, rest.substr(second + 1));
}

// TIMES's "reference, factor"; a missing comma shows the whole argument.
void cutTimes(std::string_view argument, const OperandVisit& visit) {
    const std::size_t comma = findSingleByte(argument, ',');
    if (comma == std::string_view::npos) return visit(OperandKind::Missing, argument);
    visit(OperandKind::VariableReference, argument.substr(0, comma));
    visit(OperandKind::Number, argument.substr(comma + 1));
}

// "NAME:INDEX" as written before the operator (upper-cased): the target and
// its index lie next to each other.
std::string_view targetWord(const ScriptLine& line) {
    if (line.targetIndex.empty()) return line.target;
    return {line.target.data(), static_cast<std::size_t>(line.targetIndex.data() + line.targetIndex.size() -
                                                         line.target.data())};
}

// The shapes whose argument is one operand, with its kind.
struct WholeArgument {
    Shape shape;
    OperandKind kind;
};
constexpr WholeArgument kWholeArguments[] = {
    {Shape::Text, OperandKind::Text},
    {Shape::Expression, OperandKind::Expression},
    {Shape::StringReference, OperandKind::StringReference},
    {Shape::FormReference, OperandKind::StringReference},
    {Shape::Form, OperandKind::Form},
    {Shape::Label, OperandKind::Label},
    {Shape::Function, OperandKind::Function},
    {Shape::BeginTarget, OperandKind::BeginTarget},
    {Shape::Number, OperandKind::Number},
};

// The payload an operand keeps from its text.
void prepare(Operand& operand, const ScriptLine& line) {
    switch (operand.kind) {
        case OperandKind::Expression: operand.code.emplace<Expression>(operand.text); break;
        case OperandKind::Form: operand.code.emplace<PreparedForm>(operand.text); break;
        case OperandKind::IntTarget: operand.code = resolveReference(line.target, line.targetIndex); break;
        case OperandKind::Label:
        case OperandKind::Function: operand.code = Resolution{}; break;
        default: break;
    }
}

}  // namespace

void forEachValueItem(std::string_view list, const OperandVisit& visit) {
    auto item = [&](std::string_view text) {
        if (!text.empty() && text.front() == '\'') visit(OperandKind::Text, text.substr(1));
        else visit(OperandKind::Expression, text);
    };
    std::string_view rest = trimBlanks(list);
    for (std::size_t comma; (comma = findSingleByte(rest, ',')) != std::string_view::npos;
         rest = trimBlanks(rest.substr(comma + 1)))
        item(rest.substr(0, comma));
    item(rest);
}

void cutOperands(const ScriptLine& line, const OperandVisit& visit) {
    const Shape shape = instructionTraits(line.code).shape;
    for (const WholeArgument& whole : kWholeArguments)
        if (whole.shape == shape) return visit(whole.kind, line.argument);
    switch (shape) {
        case Shape::ValueList: return forEachValueItem(line.argument, visit);
        case Shape::BarTriple: return cutBarTriple(line.argument, visit);
        case Shape::Times: return cutTimes(line.argument, visit);
        case Shape::IntAssignment:  // the value is evaluated before the target is touched
            visit(OperandKind::Expression, line.argument);
            return visit(OperandKind::IntTarget, targetWord(line));
        case Shape::StringAssignment:
            visit(OperandKind::StringTarget, targetWord(line));
            return visit(OperandKind::Text, line.argument);
        default: return;
    }
}

Operands makeOperands(const ScriptLine& line) {
    struct Piece {
        OperandKind kind;
        std::string_view text;
    };
    std::vector<Piece> pieces;
    cutOperands(line, [&](OperandKind kind, std::string_view text) { pieces.push_back({kind, text}); });
    if (pieces.size() > kMaxKeptItems) pieces.assign(1, {OperandKind::ValueListText, line.argument});
    auto operands = std::make_unique<Operand[]>(pieces.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        operands[i].kind = pieces[i].kind;
        operands[i].text = pieces[i].text;
        prepare(operands[i], line);
    }
    line.operands.set(std::move(operands), static_cast<std::uint32_t>(pieces.size()));
    return line.operands.get();
}

}  // namespace kiro
