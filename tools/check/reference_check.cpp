// Names that GOTO, CALL, JUMP and BEGIN look up while the game runs,
// looked up now with the same engine functions and the argument exactly as
// the loader stored it. The argument is not trimmed: "CALL FOO " looks for
// a function whose name ends in a blank, a slip the messages point out.
#include "checks.h"
#include "script/instruction_table.h"
#include "script/text.h"

namespace kiro::check {
namespace {

using Lookup = std::function<bool(std::string_view name)>;

// Why a name that was not found might have been meant otherwise.
std::string hintFor(const ScriptLine& line, const Lookup& found, std::string_view kind) {
    std::string_view name = line.argument;
    if (line.argument == line.text)
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

void checkGoto(const FunctionDefinition& definition, const ScriptProgram&, const ScriptLine& line, Findings& findings) {
    Lookup found = [&](std::string_view n) { return findLabel(definition, n) != nullptr; };
    if (found(line.argument)) return;
    findings.add(pathOf(definition), line.lineNumber,
                 "GOTO to a label this function does not define: " + quoted(line.argument) +
                     hintFor(line, found, "label") + " (kiro reports error 200)");
}

void checkCall(const FunctionDefinition& definition, const ScriptProgram& program, const ScriptLine& line,
               Findings& findings) {
    Lookup found = [&](std::string_view n) { return program.findFunction(n) != nullptr; };
    if (found(line.argument)) return;
    std::string hint = hintFor(line, found, "function name");
    if (hint.empty()) hint = caseHint(program, line.argument);
    findings.add(pathOf(definition), line.lineNumber,
                 keywordOf(line) + " of a function that does not exist: " + quoted(line.argument) + hint +
                     " (kiro reports error 201)");
}

void checkBegin(const FunctionDefinition& definition, const ScriptProgram&, const ScriptLine& line,
                Findings& findings) {
    Lookup found = [](std::string_view n) { return lookupBeginTarget(n).has_value(); };
    if (found(line.argument)) return;
    findings.add(pathOf(definition), line.lineNumber,
                 "BEGIN with an unknown target " + quoted(line.argument) + hintFor(line, found, "target") +
                     ": the targets are TRAIN, AFTERTRAIN, ABLUP, TURNEND and SHOP, written exactly"
                     " (kiro reports error 205)");
}

struct Rule {
    std::int32_t code;
    void (*check)(const FunctionDefinition&, const ScriptProgram&, const ScriptLine&, Findings&);
};
constexpr Rule kRules[] = {
    {kGOTO, checkGoto}, {kCALL, checkCall}, {kJUMP, checkCall}, {kBEGIN, checkBegin},
};

}  // namespace

void checkReferences(const LoadedGame& game, Findings& findings) {
    forEachDefinition(game.program, [&](const std::string&, const FunctionDefinition& definition) {
        for (const ScriptLine& line : definition.lines)
            for (const Rule& rule : kRules)
                if (rule.code == line.code) rule.check(definition, game.program, line, findings);
    });
}

}  // namespace kiro::check
