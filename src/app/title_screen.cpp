// The title screen: separator, title, version, author, year and extra
// information, each centred by byte length; then the new-game/load choice.
#include "app/title_screen.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "console/console.h"
#include "data/game_base.h"
#include "data/text.h"
#include "messages.h"
#include "save/save_menus.h"
#include "script/runtime.h"

namespace kiro {
namespace {

constexpr int kTitleWidth = 80;
constexpr int kYearWidth = 78;        // the parentheses take the other two columns
constexpr int kVersionIndent = 35;
constexpr int kClosingRuleLength = 79;

// A positive version with two or three decimals after the thousands:
// 1000 "1.00", 1010 "1.01", 1105 "1.105", 50 "0.05".
std::string versionText(std::int32_t version) {
    const std::int32_t major = version / 1000;
    const std::int32_t fraction = version % 1000;
    std::string text = decimalText(major);
    if (version % 10 != 0) {  // three decimals
        text += fraction >= 100 ? "." : fraction >= 10 ? ".0" : ".00";
        text += decimalText(fraction);
    } else if (fraction == 0) {
        text += ".00";
    } else {  // two decimals: the last digit is a zero
        text += fraction >= 100 ? "." : ".0";
        text += decimalText(fraction / 10);
    }
    return text;
}

void writeRepeated(Console& console, char c, std::size_t count) {
    console.writeText(std::string(count, c));
}

// (width - length) / 2 spaces; a text that fills the field, or overflows
// it, starts at the left edge.
std::size_t centringSpaces(std::size_t length, int width) {
    const auto w = static_cast<std::size_t>(width);
    return length + 1 < w ? (w - length) / 2 : 0;
}

void writeCentredLine(Console& console, std::string_view text) {
    writeRepeated(console, ' ', centringSpaces(text.size(), kTitleWidth));
    console.writeText(text);
    console.endLine();
}

void writeVersionLine(Console& console, std::int32_t version) {
    writeRepeated(console, ' ', kVersionIndent);
    console.writeText(msg::TITLE_VERSION);
    console.writeText(versionText(version));
    console.endLine();
}

void writeYearLine(Console& console, std::string_view year) {
    writeRepeated(console, ' ', centringSpaces(year.size(), kYearWidth));
    console.writeText(msg::TITLE_YEAR_OPEN);
    console.writeText(year);
    console.writeText(msg::TITLE_YEAR_CLOSE);
    console.endLine();
}

void writeLine(Console& console, std::string_view text) {
    console.writeText(text);
    console.endLine();
}

// Every line of the identity is left out when the game does not give it.
void writeIdentity(Console& console, const GameBase& base) {
    writeLine(console, msg::TITLE_SEPARATOR);
    if (!base.title.empty()) writeCentredLine(console, base.title);
    if (base.version > 0) writeVersionLine(console, base.version);
    if (!base.author.empty()) writeCentredLine(console, base.author);
    if (!base.year.empty()) writeYearLine(console, base.year);
    if (!base.extraInfo.empty()) {
        console.endLine();
        writeCentredLine(console, base.extraInfo);
    }
    writeLine(console, msg::TITLE_SEPARATOR);
    writeLine(console, msg::TITLE_NEW_GAME);
    writeLine(console, msg::TITLE_LOAD_GAME);
}

// 1 offers the load menu until it is done with; every other number, and
// leaving the menu, starts a new game.
bool loadedFromTitle(Runtime& rt) {
    if (rt.console.readNumber() != 1) return false;
    LoadMenuResult result;
    do {
        result = loadMenu(rt);
    } while (result == LoadMenuResult::ShowAgain);
    return result == LoadMenuResult::Loaded;
}

// A new game opens with EVENTFIRST, a loaded one in the shop without an event.
void chooseStart(Runtime& rt) {
    const bool loaded = loadedFromTitle(rt);
    rt.game.event = loaded ? GameEvent::None : GameEvent::First;
    rt.game.phase = GamePhase::Shop;
}

}  // namespace

void runTitleScreen(Runtime& rt) {
    writeIdentity(rt.console, rt.gameBase);
    chooseStart(rt);
    writeRepeated(rt.console, '-', kClosingRuleLength);
    rt.console.endLine();
}

}  // namespace kiro
