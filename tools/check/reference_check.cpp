// Names that instructions look up while the game runs (every label,
// function and BEGIN target operand, whatever the instruction), looked up
// now with the same engine functions and the operand exactly as the engine
// cuts it. The name is not trimmed: "CALL FOO " looks for a function whose
// name ends in a blank, a slip the messages point out.
#include "checks.h"
#include "data/text.h"
#include "script/instruction_table.h"
#include "suggestions.h"

namespace kiro::check {
namespace {

using Lookup = std::function<bool(std::string_view name)>;

// Why a name that was not found might have been meant otherwise.
std::string hintFor(const ScriptLine& line, std::string_view name, const Lookup& found, std::string_view kind) {
    if (name == line.text)
        return " (nothing follows " + keywordOf(line) + ", so kiro takes the keyword itself as the " +
               std::string(kind) + ")";
    std::string_view trimmed = trimBlanks(name);
    if (trimmed != name && found(trimmed)) {
        std::string where = isBlank(name.back()) ? "ends in a blank" : "starts with a blank";
        return " (the name " + where + ", which kiro looks up too; " + quoted(trimmed) + " exists)";
    }
    return {};
}

// A function whose name differs only in letter case or surrounding blanks.
std::string caseHint(const ScriptProgram& program, std::string_view wanted) {
    std::string key = upperCased(trimBlanks(wanted));
    for (const auto& entry : program.functions()) {
        if (entry.first != wanted && entry.first != trimBlanks(wanted) && upperCased(trimBlanks(entry.first)) == key)
            return " (function names are case-sensitive; " + quoted(entry.first) + " exists)";
    }
    return {};
}

std::vector<std::string> labelNames(const FunctionDefinition& definition) {
    std::vector<std::string> names;
    for (const LabelEntry& label : definition.labels) names.emplace_back(label.name);
    return names;
}

std::vector<std::string> functionNames(const ScriptProgram& program) {
    std::vector<std::string> names;
    for (const auto& entry : program.functions()) names.push_back(entry.first);
    return names;
}

const std::vector<std::string> kBeginTargets = {"TRAIN", "AFTERTRAIN", "ABLUP", "TURNEND", "SHOP"};

void checkGoto(const FunctionDefinition& definition, const ScriptProgram&, const ScriptLine& line, std::string_view name,
               Findings& findings) {
    Lookup found = [&](std::string_view n) { return findLabel(definition, n) != nullptr; };
    if (found(name)) return;
    findings.add(placeOf(definition, line, name), FindingCode::UnknownLabel,
                 keywordOf(line) + " to a label this function does not define: " + quoted(name) +
                     hintFor(line, name, found, "label") + " (kiro reports error 200)",
                 closestNames(upperCased(name), labelNames(definition)));
}

void checkCall(const FunctionDefinition& definition, const ScriptProgram& program, const ScriptLine& line,
               std::string_view name, Findings& findings) {
    Lookup found = [&](std::string_view n) { return program.findFunction(n) != nullptr; };
    if (found(name)) return;
    std::string hint = hintFor(line, name, found, "function name");
    if (hint.empty()) hint = caseHint(program, name);
    findings.add(placeOf(definition, line, name), FindingCode::UnknownFunction,
                 keywordOf(line) + " of a function that does not exist: " + quoted(name) + hint +
                     " (kiro reports error 201)",
                 closestNames(name, functionNames(program)));
}

void checkBegin(const FunctionDefinition& definition, const ScriptProgram&, const ScriptLine& line,
                std::string_view name, Findings& findings) {
    Lookup found = [](std::string_view n) { return lookupBeginTarget(n).has_value(); };
    if (found(name)) return;
    findings.add(placeOf(definition, line, name), FindingCode::UnknownBeginTarget,
                 keywordOf(line) + " with an unknown target " + quoted(name) + hintFor(line, name, found, "target") +
                     ": the targets are TRAIN, AFTERTRAIN, ABLUP, TURNEND and SHOP, written exactly"
                     " (kiro reports error 205)",
                 closestNames(trimBlanks(name), kBeginTargets));
}

struct Rule {
    OperandKind kind;
    void (*check)(const FunctionDefinition&, const ScriptProgram&, const ScriptLine&, std::string_view, Findings&);
};
constexpr Rule kRules[] = {
    {OperandKind::Label, checkGoto}, {OperandKind::Function, checkCall}, {OperandKind::BeginTarget, checkBegin},
};

}  // namespace

void checkReferences(const LoadedGame& game, Findings& findings) {
    forEachDefinition(game.program, [&](const std::string&, const FunctionDefinition& definition) {
        for (const ScriptLine& line : definition.lines)
            cutOperands(line, [&](OperandKind kind, std::string_view name) {
                for (const Rule& rule : kRules)
                    if (rule.kind == kind) rule.check(definition, game.program, line, name, findings);
            });
    });
}

}  // namespace kiro::check
