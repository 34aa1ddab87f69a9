// The game instructions: listings of a character's abilities, talents,
// marks, experiences and parameters by the names from the data files, the
// item listings, UPCHECK, and adding and removing characters.
//
// A position outside the character list, a name-table number outside the
// array it names, or a character added to a full list (kMaxCharacters) is
// the array error; what was written before it stays written. Every
// argument is evaluated before anything is written.
#include <algorithm>
#include <charconv>
#include <string_view>

#include "console/console.h"
#include "data/variable_store.h"
#include "messages.h"
#include "script/bar.h"
#include "script/errors.h"
#include "script/evaluator.h"
#include "script/executor.h"
#include "script/operators.h"
#include "script/runtime.h"

namespace kiro {
namespace {

constexpr int kCellsPerLine = 3;

// PRINT_PALAM: parameters numbered 100 or more are not listed; a cell is a
// blank, the name in 6 bytes, a bar of 10 and the value in 6.
constexpr std::int32_t kListedPalams = 100;
constexpr std::size_t kPalamFieldWidth = 6;
constexpr std::int32_t kPalamBarLength = 10;

// PRINT_SHOPITEM: cells are padded to 26 bytes as long as the item number
// is below 100 and the price has at most 7 digits.
constexpr std::int64_t kShopCellRoom = 18;

// A name-table number is an index into an array; one outside it (negative
// numbers included) is the array error.
std::int32_t element(const std::vector<std::int32_t>& array, std::int32_t index) {
    return array[checkedIndex(index, array.size())];
}

void writeBlanks(Console& console, std::int64_t count) {
    constexpr std::string_view kBlanks = "                                ";
    for (; count > 0; count -= static_cast<std::int64_t>(kBlanks.size()))
        console.writeText(kBlanks.substr(0, static_cast<std::size_t>(std::min<std::int64_t>(count, kBlanks.size()))));
}

// Blanks before the text up to `width` bytes; a longer text is written whole.
void writeRightAligned(Console& console, std::string_view text, std::size_t width) {
    if (text.size() < width) writeBlanks(console, static_cast<std::int64_t>(width - text.size()));
    console.writeText(text);
}

void writeNumberRightAligned(Console& console, std::int32_t value, std::size_t width) {
    char digits[16];
    char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    writeRightAligned(console, std::string_view(digits, static_cast<std::size_t>(end - digits)), width);
}

// The character position (or template number) an instruction names.
std::int32_t evaluated(ScriptExecutor& ex, Operands operands) {
    return operands[0].expression().evaluate(ex.rt.evaluator);
}

// ---- Name listings --------------------------------------------------------

// One listing: which array and names, and how an entry is written:
// before + name + (value shown: between + value) + after, entries joined by
// separator.
struct Listing {
    CharacterCode array;
    StringCode names;
    std::string_view separator;
    std::string_view before;
    std::string_view between;
    std::string_view after;
    bool showsValue;
};

constexpr Listing kAblListing{kAbl, kAblName, " ", "", "LV", "", true};
constexpr Listing kMarkListing{kMark, kMarkName, " ", "", "LV", "", true};
constexpr Listing kExpListing{kExp, kExpName, " ", "", "", "", true};
constexpr Listing kTalentListing{kTalent, kTalentName, "", "[", "", "]", false};

// Entries whose value is 0 are passed over; a listing with nothing to show
// writes nothing at all, not even an empty line.
void writeListing(ScriptExecutor& ex, Operands operands, const Listing& listing) {
    Runtime& rt = ex.rt;
    const std::vector<std::int32_t>& values = rt.store.characterAt(evaluated(ex, operands)).array(listing.array);
    bool wroteAny = false;
    for (const auto& [number, name] : rt.store.nameTable(listing.names)) {
        std::int32_t value = element(values, number);
        if (value == 0) continue;
        if (wroteAny) rt.console.writeText(listing.separator);
        rt.console.writeText(listing.before);
        rt.console.writeText(name);
        if (listing.showsValue) {
            rt.console.writeText(listing.between);
            rt.console.writeNumber(value);
        }
        rt.console.writeText(listing.after);
        wroteAny = true;
    }
    if (wroteAny) rt.console.endLine();
}

// ---- Parameters -----------------------------------------------------------

struct PalamLevel {
    std::int32_t maximum;
    char fill;
};

// The level a value has reached by the thresholds PALAMLV:1 to PALAMLV:4.
PalamLevel palamLevel(VariableStore& store, std::int32_t value) {
    static constexpr char kFills[] = {'-', '=', '>', '*'};
    const std::vector<std::int32_t>& thresholds = store.global(kPalamLv);
    for (std::int32_t level = 1; level < 4; ++level)
        if (value < element(thresholds, level)) return {thresholds[level], kFills[level - 1]};
    return {element(thresholds, 4), kFills[3]};
}

void writePalamCell(Runtime& rt, const std::string& name, std::int32_t value) {
    rt.console.writeText(" ");
    writeRightAligned(rt.console, name, kPalamFieldWidth);
    PalamLevel level = palamLevel(rt.store, value);
    drawBar(rt.console, value, level.maximum, kPalamBarLength, level.fill);
    writeNumberRightAligned(rt.console, value, kPalamFieldWidth);
}

// ---- Items ----------------------------------------------------------------

// Decimal width of a price as the shop layout counts it: negative prices
// count as one digit, anything from a million up as seven.
std::int64_t priceWidth(std::int32_t price) {
    std::int64_t width = 1;
    for (std::int32_t limit = 10; width < 7 && price >= limit; limit *= 10) ++width;
    return width;
}

void writeShopItem(Console& console, std::int32_t number, const std::string& name, std::int32_t price) {
    console.writeText("[");
    console.writeNumber(number);
    console.writeText("] ");
    console.writeText(name);
    console.writeText("($");
    console.writeNumber(price);
    console.writeText(")");
}

std::int64_t shopCellPadding(std::int32_t number, const std::string& name, std::int32_t price) {
    return kShopCellRoom - static_cast<std::int64_t>(name.size()) - priceWidth(price) + (number < 10 ? 1 : 0);
}

// ---- Characters -----------------------------------------------------------

// Copies the first template (from slot 0 up) with the given NO whose
// CFLAG:0 is `kind` (0 ordinary, 1 special).
void addFromTemplate(ScriptExecutor& ex, Operands operands, std::int32_t kind) {
    Runtime& rt = ex.rt;
    std::int32_t number = evaluated(ex, operands);
    if (const CharacterRecord* found = rt.store.findTemplate(number, kind)) {
        rt.store.addCharacter(*found);
        return;
    }
    rt.console.writeText(msg::CHARACTER_NOT_FOUND);
    rt.console.endLine();
    rt.console.waitForEnter();
}

}  // namespace

StepOutcome execPrintAbl(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    writeListing(ex, operands, kAblListing);
    return StepOutcome::Next;
}

StepOutcome execPrintMark(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    writeListing(ex, operands, kMarkListing);
    return StepOutcome::Next;
}

StepOutcome execPrintExp(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    writeListing(ex, operands, kExpListing);
    return StepOutcome::Next;
}

StepOutcome execPrintTalent(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    writeListing(ex, operands, kTalentListing);
    return StepOutcome::Next;
}

// Three cells to a line, each with its level bar.
StepOutcome execPrintPalam(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    Runtime& rt = ex.rt;
    const std::vector<std::int32_t>& palam = rt.store.characterAt(evaluated(ex, operands)).array(kPalam);
    int cells = 0;
    for (const auto& [number, name] : rt.store.nameTable(kPalamName)) {
        if (number >= kListedPalams) continue;
        writePalamCell(rt, name, element(palam, number));
        if (++cells % kCellsPerLine == 0) rt.console.endLine();
    }
    if (cells % kCellsPerLine != 0) rt.console.endLine();
    return StepOutcome::Next;
}

StepOutcome execPrintItem(ScriptExecutor& ex, const ScriptLine&, Operands) {
    Runtime& rt = ex.rt;
    const std::vector<std::int32_t>& owned = rt.store.global(kItem);
    rt.console.writeText(msg::ITEMS_OWNED);
    bool wroteAny = false;
    for (const auto& [number, name] : rt.store.nameTable(kItemName)) {
        std::int32_t count = element(owned, number);
        if (count == 0) continue;
        rt.console.writeText(name);
        rt.console.writeText("(");
        rt.console.writeNumber(count);
        rt.console.writeText(") ");
        wroteAny = true;
    }
    if (!wroteAny) rt.console.writeText(msg::ITEMS_NONE);
    rt.console.endLine();
    return StepOutcome::Next;
}

// Items on sale, three cells to a line; an item without a price in the
// data sells at 0.
StepOutcome execPrintShopItem(ScriptExecutor& ex, const ScriptLine&, Operands) {
    Runtime& rt = ex.rt;
    const std::vector<std::int32_t>& onSale = rt.store.global(kItemSales);
    int cells = 0;
    for (const auto& [number, name] : rt.store.nameTable(kItemName)) {
        auto priced = rt.store.itemPrices.find(number);
        std::int32_t price = priced == rt.store.itemPrices.end() ? 0 : priced->second;
        if (element(onSale, number) == 0) continue;
        writeShopItem(rt.console, number, name, price);
        if (++cells % kCellsPerLine == 0)
            rt.console.endLine();
        else
            writeBlanks(rt.console, shopCellPadding(number, name, price));
    }
    if (cells % kCellsPerLine != 0) rt.console.endLine();
    return StepOutcome::Next;
}

// Applies UP and DOWN to the target's PALAM, one line per changed
// parameter: name, old value, "+up", "-down", "=", new value. The name is
// looked up without adding an entry to PALAMNAME.
StepOutcome execUpCheck(ScriptExecutor& ex, const ScriptLine&, Operands) {
    Runtime& rt = ex.rt;
    Console& console = rt.console;
    CharacterRecord& target = rt.store.characterAt(rt.store.at(kTarget, 0));
    std::vector<std::int32_t>& up = rt.store.global(kUp);
    std::vector<std::int32_t>& down = rt.store.global(kDown);
    const NameTable& names = rt.store.nameTable(kPalamName);
    const std::int32_t count = static_cast<std::int32_t>(target.array(kPalam).size());
    for (std::int32_t i = 0; i < count; ++i) {
        std::int32_t increase = element(up, i), decrease = element(down, i);
        if (increase < 1 && decrease < 1) continue;
        auto named = names.find(i);
        if (named != names.end()) console.writeText(named->second);
        console.writeText(" ");
        console.writeNumber(target.get(kPalam, i));
        if (increase > 0) {
            console.writeText("+");
            console.writeNumber(increase);
        }
        if (decrease > 0) {
            console.writeText("-");
            console.writeNumber(decrease);
        }
        console.writeText("=");
        std::int32_t& palam = target.at(kPalam, i);
        palam = arithmetic::minus(arithmetic::plus(palam, increase), decrease);
        console.writeNumber(target.get(kPalam, i));
        console.endLine();
        up[static_cast<std::size_t>(i)] = 0;
        down[static_cast<std::size_t>(i)] = 0;
    }
    return StepOutcome::Next;
}

StepOutcome execAddChara(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    addFromTemplate(ex, operands, 0);
    return StepOutcome::Next;
}

StepOutcome execAddSpChara(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    addFromTemplate(ex, operands, 1);
    return StepOutcome::Next;
}

// The characters after the position move down by one; TARGET, ASSI, MASTER
// and PLAYER keep their numbers. A position outside the list removes
// nothing.
StepOutcome execDelChara(ScriptExecutor& ex, const ScriptLine&, Operands operands) {
    std::int32_t position = evaluated(ex, operands);
    ex.rt.store.characterAt(position);  // the array error for a position outside the list
    ex.rt.store.removeCharacter(position);
    return StepOutcome::Next;
}

}  // namespace kiro
