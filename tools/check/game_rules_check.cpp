// Faults of the game as a whole: what the engine's own steps need from the
// scripts and the data. A training command needs its COM<n> function and
// SOURCE_CHECK (without them choosing the command ends the game); the
// engine calls its entry points by exact name, so "@show_shop" never runs;
// ADDCHARA of a number no template has adds nothing; and of two
// definitions of a name only the first is ever found, except for events,
// where every definition runs.
#include <algorithm>
#include <set>
#include <tuple>

#include "checks.h"
#include "data/character_record.h"
#include "data/text.h"
#include "messages.h"
#include "script/entry_points.h"
#include "script/error_reports.h"
#include "script/instruction_table.h"
#include "utf8_text.h"

namespace kiro::check {
namespace {

template <typename Names>
bool listed(const Names& names, std::string_view name) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

bool isEventName(std::string_view name) { return !name.empty() && listed(entry_point::kEvents, name); }

// A number as the engine writes it into a name: optional "-", no leading zeros.
bool isDecimalText(std::string_view text) {
    return !text.empty() && decimalText(decimalValue(text)) == text;
}

bool isEntryPoint(std::string_view name) {
    if (isEventName(name) || listed(entry_point::kFixed, name)) return true;
    for (std::string_view prefix : entry_point::kNumbered)
        if (name.starts_with(prefix) && isDecimalText(name.substr(prefix.size()))) return true;
    return false;
}

void checkTrainingCommands(const LoadedGame& game, Findings& findings) {
    for (const auto& [number, where] : game.trainCommands) {
        std::string function = std::string(entry_point::kCom) + decimalText(number);
        if (!game.program.findFunction(function))
            findings.add(where.file, where.line,
                         "training command " + std::to_string(number) + " has no function " + function +
                             ": choosing it ends the game (" +
                             utf8Of(messageOf(CProcessError(error_code::NoCommandFunction, function))) + ")");
    }
    if (game.trainCommands.empty() || game.program.findFunction(entry_point::kSourceCheck)) return;
    auto first = std::min_element(game.trainCommands.begin(), game.trainCommands.end(), [](auto& a, auto& b) {
        return std::tie(a.second.file, a.second.line) < std::tie(b.second.file, b.second.line);
    });
    findings.add(first->second.file, first->second.line,
                 "training commands exist but no function SOURCE_CHECK does: every command that completes ends "
                 "the game (" + utf8Of(messageOf(CProcessError(error_code::NoCommandFunction, std::string(entry_point::kSourceCheck)))) + ")");
}

// Names that CALL or JUMP (any function operand) reach are the game's own
// functions, whatever they look like.
std::set<std::string, std::less<>> calledNames(const ScriptProgram& program) {
    std::set<std::string, std::less<>> names;
    forEachDefinition(program, [&](const std::string&, const FunctionDefinition& definition) {
        for (const ScriptLine& line : definition.lines)
            cutOperands(line, [&](OperandKind kind, std::string_view text) {
                if (kind == OperandKind::Function) names.emplace(text);
            });
    });
    return names;
}

void checkEntryPointNames(const LoadedGame& game, Findings& findings) {
    const auto called = calledNames(game.program);
    for (const auto& [name, definitions] : game.program.functions()) {
        std::string meant = upperCased(trimBlanks(name));
        if (meant == name || !isEntryPoint(meant) || called.contains(name)) continue;
        for (const FunctionDefinition* definition : definitions)
            findings.add(pathOf(*definition), definition->headerLine,
                         "function " + quoted(name) + " is never run: kiro calls " + quoted(meant) +
                             ", and function names are case-sensitive with blanks counted");
    }
}

void checkDuplicates(const LoadedGame& game, Findings& findings) {
    for (const auto& [name, definitions] : game.program.functions()) {
        if (definitions.size() < 2 || isEventName(name)) continue;
        const FunctionDefinition& first = *definitions.front();
        for (std::size_t i = 1; i < definitions.size(); ++i)
            findings.add(pathOf(*definitions[i]), definitions[i]->headerLine,
                         "function " + quoted(name) + " is defined again and never runs: only the first definition (" +
                             utf8Of(pathOf(first)) + ":" + std::to_string(first.headerLine) + ") is called");
    }
}

// A plain number, as "ADDCHARA 7" is written; anything else depends on values.
bool isNumberLiteral(std::string_view text) {
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool hasTemplate(const VariableStore& store, std::int32_t no, std::int32_t cflag0) {
    return std::any_of(store.templates.begin(), store.templates.end(), [&](const CharacterRecord& t) {
        return t.no == no && t.array(kCflag)[0] == cflag0;
    });
}

void checkAddedCharacter(const LoadedGame& game, const FunctionDefinition& definition, const ScriptLine& line,
                         Findings& findings) {
    std::string_view argument = trimBlanks(line.argument);
    if (!isNumberLiteral(argument)) return;
    const std::int32_t no = decimalValue(argument), cflag0 = line.code == kADDSPCHARA ? 1 : 0;
    if (hasTemplate(*game.store, no, cflag0)) return;
    std::string other = hasTemplate(*game.store, no, 1 - cflag0)
                            ? " (a template with that NO has CFLAG:0 = " + std::to_string(1 - cflag0) + ": " +
                                  (cflag0 ? "ADDCHARA" : "ADDSPCHARA") + " adds it)"
                            : "";
    findings.add(pathOf(definition), line.lineNumber,
                 keywordOf(line) + " " + std::to_string(no) + ": no character template has NO " +
                     std::to_string(no) + " with CFLAG:0 = " + std::to_string(cflag0) + other +
                     ", so kiro adds nothing and prints " + utf8Of(msg::CHARACTER_NOT_FOUND));
}

void checkAddedCharacters(const LoadedGame& game, Findings& findings) {
    forEachDefinition(game.program, [&](const std::string&, const FunctionDefinition& definition) {
        for (const ScriptLine& line : definition.lines)
            if (line.code == kADDCHARA || line.code == kADDSPCHARA) checkAddedCharacter(game, definition, line, findings);
    });
}

}  // namespace

void checkGameRules(const LoadedGame& game, Findings& findings) {
    checkTrainingCommands(game, findings);
    checkEntryPointNames(game, findings);
    checkDuplicates(game, findings);
    checkAddedCharacters(game, findings);
}

}  // namespace kiro::check
