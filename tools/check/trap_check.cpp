// Lines kiro runs without a word of complaint that almost surely do not do
// what their author meant, and what the game loop needs from the scripts
// that no load error or run error points out: a shop without a screen, a
// phase nothing leaves, an event after which no phase follows, and
// functions nothing ever runs.
#include <algorithm>
#include <iterator>
#include <span>
#include <vector>

#include "call_graph.h"
#include "checks.h"
#include "data/text.h"
#include "data/variable_store.h"
#include "messages.h"
#include "script/entry_points.h"
#include "script/instruction_table.h"
#include "utf8_text.h"

namespace kiro::check {
namespace {

Place placeOfLine(const FunctionDefinition& definition, const ScriptLine& line, std::string_view part) {
    return Place{pathOf(definition), line.lineNumber, columnOf(line, part)};
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "5", "-7", "+3", and "1 ;comment": a number RETURN reads as written.
bool isWrittenNumber(std::string_view text) {
    text = trimBlanks(text);
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    std::size_t digits = 0;
    while (digits < text.size() && isDigit(text[digits])) ++digits;
    std::string_view rest = trimBlanks(text.substr(digits));
    return digits > 0 && (rest.empty() || rest.front() == ';');
}

void checkReturn(const FunctionDefinition& definition, const ScriptLine& line, Findings& findings) {
    std::string_view argument = line.argument;
    // Alone, RETURN reads its own keyword as 0, which is what it is written for.
    if (argument.data() == line.text.data() || trimBlanks(argument).empty() || isWrittenNumber(argument)) return;
    std::string_view shown = trimBlanks(argument);
    findings.add(placeOfLine(definition, line, shown), FindingCode::ReturnNotNumber,
                 "RETURN reads a written number, not an expression: " + quoted(shown) + " returns " +
                     std::to_string(decimalValue(argument)) +
                     ". Write the number itself (SIF A == 1 then RETURN 1), or leave the value in a variable "
                     "the caller reads");
}

// PRINTL alone: with nothing after it, the keyword is its own text.
void checkKeywordAlone(const FunctionDefinition& definition, const ScriptLine& line, Findings& findings) {
    bool alone = false;
    cutOperands(line, [&](OperandKind kind, std::string_view text) {
        alone = alone || ((kind == OperandKind::Text || kind == OperandKind::Form) && text.data() == line.text.data());
    });
    if (!alone) return;
    const std::string keyword = keywordOf(line);
    const bool waits = line.code == kPRINTW || line.code == kPRINTFORMW;
    findings.add(placeOfLine(definition, line, line.text), FindingCode::KeywordPrinted,
                 keyword + " alone on its line writes the word " + keyword +
                     ": with nothing after it, the keyword is its own text. Write one blank after " + keyword +
                     " for an empty text" + (waits ? ", or WAIT for a wait alone" : ""),
                 waits ? std::vector<std::string>{"WAIT"} : std::vector<std::string>{});
}

// "RESULTS:0" or "NAME" as the text of a string assignment.
void checkStringAssignment(const FunctionDefinition& definition, const ScriptLine& line, Findings& findings) {
    std::string_view text = line.argument;
    if (text.empty() || std::any_of(text.begin(), text.end(), isBlank)) return;
    const std::size_t colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    const bool indexed = colon != std::string_view::npos && colon + 1 < text.size();
    std::string written;
    if (!name.empty() && VariableStore::lookupStringVariable(name)) written = "%" + std::string(text) + "%";
    else if (indexed && VariableStore::lookupIntVariable(name)) written = "{" + std::string(text) + "}";
    else return;
    findings.add(placeOfLine(definition, line, text), FindingCode::ReferenceStoredAsText,
                 "a string assignment stores its text as written: " + utf8Of(line.target) +
                     (line.targetIndex.empty() ? "" : ":" + utf8Of(line.targetIndex)) + " gets the text " +
                     quoted(text) + ", not the value of " + utf8Of(text) + ". kiro basic has no way to copy a value "
                     "into a string; written as " + quoted(written) + ", the text shows the value current when "
                     "PRINTFORMS prints it",
                 {utf8Of(written)});
}

void checkLines(const LoadedGame& game, Findings& findings) {
    forEachDefinition(game.program, [&](const std::string&, const FunctionDefinition& definition) {
        for (const ScriptLine& line : definition.lines) {
            if (line.code == kRETURN) checkReturn(definition, line, findings);
            else if (line.code == kStrAssign) checkStringAssignment(definition, line, findings);
            else if (line.code >= 0) checkKeywordAlone(definition, line, findings);
        }
    });
}

// The game loop ------------------------------------------------------------

class GameLoopCheck {
public:
    GameLoopCheck(const LoadedGame& game, Findings& findings)
        : program_(game.program), graph_(game.program), findings_(findings) {}

    // Scripts without a single function the engine runs are no game yet
    // (a fragment, a library being written): nothing to say about the loop.
    void run() {
        bool runsAnything = false;
        for (const auto& [name, definitions] : program_.functions()) runsAnything = runsAnything || isEngineEntryPoint(name);
        if (!runsAnything) return;
        checkShop();
        checkAbilityUp();
        checkEventsAfterBegin();
        checkUnused();
    }

private:
    // BEGIN or QUIT in the function or in what it runs: a way out of a phase.
    bool mayLeave(const FunctionDefinition& definition) const {
        return graph_.find(definition, [](const ScriptLine& line) { return line.code == kBEGIN || line.code == kQUIT; },
                           false).line != nullptr;
    }
    bool anyMayLeave(std::span<const FunctionDefinition* const> definitions) const {
        return std::any_of(definitions.begin(), definitions.end(), [&](auto* d) { return mayLeave(*d); });
    }
    void addFirst(std::vector<const FunctionDefinition*>& to, std::string_view name) const {
        if (const FunctionDefinition* definition = program_.findFunction(name)) to.push_back(definition);
    }
    // Every line of the game that satisfies `wanted`, with its definition.
    template <typename Visit>
    void forEachLine(const Visit& visit) const {
        forEachDefinition(program_, [&](const std::string&, const FunctionDefinition& definition) {
            for (const ScriptLine& line : definition.lines) visit(definition, line);
        });
    }
    bool hasBegin(std::string_view target) const {
        bool found = false;
        forEachLine([&](const FunctionDefinition&, const ScriptLine& line) {
            found = found || (line.code == kBEGIN && line.argument == target);
        });
        return found;
    }
    bool hasLine(std::int32_t code) const {
        bool found = false;
        forEachLine([&](const FunctionDefinition&, const ScriptLine& line) { found = found || line.code == code; });
        return found;
    }

    // A new game comes to the shop after EVENTFIRST unless EVENTFIRST
    // begins something else, BEGIN SHOP after EVENTSHOP unless EVENTSHOP
    // does; a loaded game starts there.
    std::string whyShopIsReached() const {
        const auto& first = program_.definitionsOf(entry_point::kEvents[1]);
        if (first.empty()) return "a new game starts there";
        if (!anyMayLeave(first)) return "EVENTFIRST begins nothing else";
        if (hasBegin("SHOP") && !anyMayLeave(program_.definitionsOf(entry_point::kEvents[2])))
            return "BEGIN SHOP leads there";
        if (hasLine(kSAVEGAME)) return "a loaded game starts there";
        return {};
    }

    void checkShop() {
        const std::string why = whyShopIsReached();
        if (why.empty()) return;
        if (!program_.findFunction(entry_point::kShowShop))
            findings_.add(Place{}, FindingCode::NoShopScreen,
                          "the game reaches the shop (" + why + ") but no function SHOW_SHOP exists: the shop "
                          "shows nothing and waits for a number");
        const ScriptProgram::Definitions shop = program_.definitionsOf(entry_point::kEvents[3]);
        std::vector<const FunctionDefinition*> phase(shop.begin(), shop.end());
        addFirst(phase, entry_point::kShowShop);
        addFirst(phase, entry_point::kUserShop);
        if (!anyMayLeave(phase))
            findings_.add(Place{}, FindingCode::PhaseNeverLeft,
                          "the game reaches the shop (" + why + ") and never leaves it: nothing SHOW_SHOP, USERSHOP "
                          "or EVENTBUY runs executes BEGIN or QUIT");
    }

    void checkAbilityUp() {
        if (!hasBegin("ABLUP")) return;
        std::vector<const FunctionDefinition*> phase;
        for (std::string_view name : {entry_point::kShowJuel, entry_point::kShowAblupSelect, entry_point::kUserAblup})
            addFirst(phase, name);
        for (const auto& [name, definitions] : program_.functions())
            if (name.starts_with(entry_point::kAblup) && isEngineEntryPoint(name) &&
                decimalValue(std::string_view(name).substr(entry_point::kAblup.size())) < 100)
                phase.push_back(definitions.front());
        if (!anyMayLeave(phase))
            findings_.add(Place{}, FindingCode::PhaseNeverLeft,
                          "BEGIN ABLUP leads to the ability-up phase, which the game never leaves: nothing "
                          "SHOW_JUEL, SHOW_ABLUP_SELECT, USERABLUP or an ABLUP<n> function runs executes BEGIN or QUIT");
    }

    // BEGIN AFTERTRAIN and BEGIN TURNEND set no phase: their event's
    // functions must begin one, or the game loop ends the game.
    void checkEventsAfterBegin() {
        struct Target {
            std::string_view begin, event;
        };
        static constexpr Target kTargets[] = {{"AFTERTRAIN", "EVENTEND"}, {"TURNEND", "EVENTTURNEND"}};
        bool leaves[std::size(kTargets)];
        for (std::size_t i = 0; i < std::size(kTargets); ++i)
            leaves[i] = anyMayLeave(program_.definitionsOf(kTargets[i].event));
        forEachLine([&](const FunctionDefinition& definition, const ScriptLine& line) {
            if (line.code != kBEGIN) return;
            for (std::size_t i = 0; i < std::size(kTargets); ++i) {
                const Target& target = kTargets[i];
                if (line.argument != target.begin || leaves[i]) continue;
                const auto& event = program_.definitionsOf(target.event);
                const std::string why = event.empty() ? "no function " + std::string(target.event) + " exists"
                                                      : "no " + std::string(target.event) +
                                                            " function (nor what it runs) executes BEGIN or QUIT";
                findings_.add(placeOfLine(definition, line, line.text), FindingCode::EventEndsGame,
                              "BEGIN " + std::string(target.begin) + " sets no phase and " + why +
                                  ", so the game ends there with " + utf8Of(msg::NO_INSTRUCTION_END));
            }
        });
    }

    void checkUnused() {
        for (const auto& [name, definitions] : program_.functions()) {
            if (isEngineEntryPoint(name) || graph_.named(name)) continue;
            // A misspelt entry point has its own finding.
            if (isEngineEntryPoint(upperCased(trimBlanks(name)))) continue;
            findings_.add(Place{pathOf(*definitions.front()), definitions.front()->headerLine, 0},
                          FindingCode::UnusedFunction,
                          "function " + quoted(name) + " never runs: no CALL or JUMP names it, and kiro does not "
                          "call it by itself");
        }
    }

    const ScriptProgram& program_;
    CallGraph graph_;
    Findings& findings_;
};

}  // namespace

void checkTraps(const LoadedGame& game, Findings& findings) {
    checkLines(game, findings);
    GameLoopCheck(game, findings).run();
}

}  // namespace kiro::check
