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
#include "suggestions.h"
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
            findings.add(Place{where.file, where.line, 0}, FindingCode::MissingCommandFunction,
                         "training command " + std::to_string(number) + " has no function " + function +
                             ": choosing it ends the game (" +
                             utf8Of(messageOf(CProcessError(error_code::NoCommandFunction, function))) + ")");
    }
    if (game.trainCommands.empty() || game.program.findFunction(entry_point::kSourceCheck)) return;
    auto first = std::min_element(game.trainCommands.begin(), game.trainCommands.end(), [](auto& a, auto& b) {
        return std::tie(a.second.file, a.second.line) < std::tie(b.second.file, b.second.line);
    });
    findings.add(Place{first->second.file, first->second.line, 0}, FindingCode::MissingSourceCheck,
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

// The entry points a name may have been meant as: the fixed names, the
// events and, for a name ending in a number, each numbered name with it.
std::vector<std::string> entryPointsLike(std::string_view name) {
    std::vector<std::string> names(std::begin(entry_point::kFixed), std::end(entry_point::kFixed));
    for (std::string_view event : entry_point::kEvents)
        if (!event.empty()) names.emplace_back(event);
    const std::size_t digits = name.find_last_not_of("0123456789") + 1;
    if (digits < name.size())
        for (std::string_view prefix : entry_point::kNumbered) names.push_back(std::string(prefix) + std::string(name.substr(digits)));
    return names;
}

// What kiro calls where the author most likely meant `name`: the same name
// in capitals without blanks, else the closest entry point names.
std::vector<std::string> meantEntryPoints(std::string_view name) {
    std::string upper = upperCased(trimBlanks(name));
    if (upper != name && isEntryPoint(upper)) return {upper};
    return closestNames(trimBlanks(name), entryPointsLike(trimBlanks(name)));
}

// A function that nothing calls and that is no entry point never runs; one
// named almost like an entry point was most likely meant as it.
void checkEntryPointNames(const LoadedGame& game, Findings& findings) {
    const auto called = calledNames(game.program);
    for (const auto& [name, definitions] : game.program.functions()) {
        if (isEntryPoint(name) || called.contains(name)) continue;
        const std::vector<std::string> meant = meantEntryPoints(name);
        if (meant.empty()) continue;
        const bool caseOrBlanks = upperCased(trimBlanks(name)) == meant.front();
        const std::string why = caseOrBlanks ? ", and function names are case-sensitive with blanks counted"
                                             : ", and nothing CALLs or JUMPs to this one";
        for (const FunctionDefinition* definition : definitions)
            findings.add(Place{pathOf(*definition), definition->headerLine, 0}, FindingCode::MisspeltEntryPoint,
                         "function " + quoted(name) + " is never run: kiro calls " + quoted(meant.front()) + why,
                         meant);
    }
}

void checkDuplicates(const LoadedGame& game, Findings& findings) {
    for (const auto& [name, definitions] : game.program.functions()) {
        if (definitions.size() < 2 || isEventName(name)) continue;
        const FunctionDefinition& first = *definitions.front();
        for (std::size_t i = 1; i < definitions.size(); ++i)
            findings.add(Place{pathOf(*definitions[i]), definitions[i]->headerLine, 0}, FindingCode::DuplicateFunction,
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
    return store.findTemplate(no, cflag0) != nullptr;
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
    findings.add(placeOf(definition, line, argument), FindingCode::UnknownCharacterTemplate,
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
