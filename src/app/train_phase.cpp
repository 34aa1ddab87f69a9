// The training phase: listing the commands the scripts allow, mapping the
// typed position to a command, and running COM<n> and SOURCE_CHECK.
//
// The player types positions, not command numbers: a command's position is
// its rank among all entries of train.csv, listed or not, so hiding one
// command does not move the others.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "app/phases.h"
#include "data/text.h"
#include "messages.h"
#include "script/entry_points.h"
#include "script/errors.h"
#include "script/executor.h"
#include "script/runtime.h"

namespace kiro {
namespace {

constexpr std::int32_t kPositionCount = 1000;
constexpr std::int32_t kNotListed = -1;
constexpr std::int32_t kPerLine = 3;
constexpr std::size_t kNameWidth = 20;

// The command number listed at each position by the last display step.
// Positions stop at 999: commands ranked further down are never offered.
std::array<std::int32_t, kPositionCount> shownCommands = [] {
    std::array<std::int32_t, kPositionCount> a{};
    a.fill(kNotListed);
    return a;
}();

// "COM_ABLE" + 3 -> "COM_ABLE3", built in a buffer kept between calls.
std::string_view numberedName(std::string& buffer, std::string_view prefix, std::int32_t number) {
    buffer.assign(prefix);
    buffer.append(decimalText(number));
    return buffer;
}

// A missing COM_ABLE<n> offers the command; otherwise RESULT 0 hides it.
bool commandAvailable(Runtime& rt, std::int32_t command) {
    static std::string name;
    if (!runTopLevelByName(rt, numberedName(name, entry_point::kComAble, command))) return true;
    return rt.store.at(kResult) != 0;
}

// "            name[  p]": the name right-aligned in 20 bytes, never cut.
void writeCommand(Console& console, const std::string& name, std::int32_t position) {
    static constexpr std::string_view kSpaces = "                    ";
    if (name.size() < kNameWidth) console.writeText(kSpaces.substr(0, kNameWidth - name.size()));
    console.writeText(name);
    console.writeText(msg::COMMAND_NUMBER_OPEN);
    if (position < 10) console.writeText("  ");
    else if (position < 100) console.writeText(" ");
    console.writeNumber(position);
    console.writeText(msg::COMMAND_NUMBER_CLOSE);
}

void clearWholeArray(VariableStore& store, std::int32_t code) {
    std::fill(store.global(code).begin(), store.global(code).end(), 0);
}

// The chosen command runs in the after-command phase of the next cycle,
// after the EVENTCOM functions.
void takeCommand(Runtime& rt, std::int32_t command) {
    rt.store.at(kSelectCom) = command;
    rt.game.event = GameEvent::Command;
    rt.game.phase = GamePhase::AfterCommand;
}

const FunctionDefinition& requiredFunction(Runtime& rt, std::string_view name) {
    const FunctionDefinition* def = rt.program.findFunction(name);
    if (!def) throw CProcessError(error_code::NoCommandFunction, std::string(name));
    return *def;
}

}  // namespace

bool forcedCommandCheck(Runtime& rt) {
    std::int32_t next = rt.store.at(kNextCom);
    if (next == -1) return false;
    // 0, not -1: a script that wants the player asked again must say so.
    rt.store.at(kNextCom) = 0;
    takeCommand(rt, next);
    return true;
}

void commandDisplayStep(Runtime& rt) {
    runTopLevelByName(rt, entry_point::kShowStatus);
    shownCommands.fill(kNotListed);
    std::int32_t shown = 0;
    std::int32_t position = 0;
    for (const auto& [command, name] : rt.store.trainNames) {
        if (position >= kPositionCount) break;
        std::int32_t here = position++;
        if (!commandAvailable(rt, command)) continue;
        writeCommand(rt.console, name, here);
        if (shown % kPerLine == kPerLine - 1) rt.console.endLine();
        ++shown;
        shownCommands[here] = command;
    }
    if (shown % kPerLine != 0) rt.console.endLine();
    if (runTopLevelByName(rt, entry_point::kShowUserCom)) rt.console.endLine();
}

bool commandChoiceStep(Runtime& rt, std::int32_t number) {
    if (number < 0 || number >= kPositionCount) return false;
    clearWholeArray(rt.store, kUp);
    clearWholeArray(rt.store, kDown);
    clearWholeArray(rt.store, kLoseBase);
    std::int32_t command = shownCommands[number];
    if (command != kNotListed) {
        takeCommand(rt, command);
        return true;
    }
    rt.store.at(kResult) = number;
    if (!runTopLevelByName(rt, entry_point::kUserCom)) return false;
    return rt.store.at(kResult) != 0;
}

bool afterCommandStep(Runtime& rt) {
    std::int32_t command = rt.store.at(kSelectCom);
    // Set before anything runs, so that a BEGIN in the command overrides it.
    rt.game.phase = GamePhase::Train;
    rt.game.event = GameEvent::CommandEnd;
    for (CharacterRecord& c : rt.store.characters) c.clearNowEx();

    std::string name;
    runTopLevel(rt, requiredFunction(rt, numberedName(name, entry_point::kCom, command)));
    if (rt.store.at(kResult) == 0) {
        // The command took itself back: no EVENTCOMEND, SOURCE stays.
        rt.game.event = GameEvent::None;
        return false;
    }
    runTopLevel(rt, requiredFunction(rt, entry_point::kSourceCheck));
    for (CharacterRecord& c : rt.store.characters) c.clearSource();
    return true;
}

}  // namespace kiro
