// The save and load menus: the slot list both show, the choice of a slot,
// the overwrite question, and the two procedures that write and read a slot.
#include "save/save_menus.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <optional>

#include "console/clock.h"
#include "data/game_files.h"
#include "messages.h"
#include "platform/platform.h"
#include "save/save_file.h"
#include "script/executor.h"
#include "script/runtime.h"
#include "script/entry_points.h"

namespace kiro {
namespace {

constexpr std::int32_t kMenuCancel = 100;

using SlotFlags = std::array<bool, kSlotCount>;

void writeLine(Console& console, std::string_view text) {
    console.writeText(text);
    console.endLine();
}

// What one slot shows; `valid` tells whether it holds a loadable save.
std::string_view judgeSlot(const GameBase& base, std::int32_t slot, SlotHeader& header, bool& valid) {
    valid = false;
    if (!readSlotHeader(slotFileName(slot), header)) return msg::SLOT_EMPTY;
    if (header.gameCode != base.gameCode) return msg::SLOT_OTHER_GAME;
    if (!versionAccepted(base, header.version)) return msg::SLOT_OTHER_VERSION;
    valid = true;
    return header.description;
}

SlotFlags showSlotList(Runtime& rt) {
    SlotFlags valid{};
    SlotHeader header;
    for (std::int32_t slot = 0; slot < kSlotCount; ++slot) {
        rt.console.writeText(msg::SLOT_NUMBER_OPEN);
        rt.console.writeNumber(slot);
        rt.console.writeText(msg::SLOT_NUMBER_CLOSE);
        if (slot < 10) rt.console.writeText(" ");  // keeps the descriptions in one column
        rt.console.writeText(judgeSlot(rt.gameBase, slot, header, valid[slot]));
        rt.console.endLine();
    }
    return valid;
}

// Asks until the answer is a slot number or the cancel number.
std::int32_t readSlotChoice(Console& console) {
    for (;;) {
        std::int32_t n = console.readNumber();
        if (n == kMenuCancel || (n >= 0 && n < kSlotCount)) return n;
    }
}

bool confirmOverwrite(Console& console) {
    writeLine(console, msg::OVERWRITE_QUESTION);
    writeLine(console, msg::ANSWER_YES);
    writeLine(console, msg::ANSWER_NO);
    for (;;) {
        std::int32_t n = console.readNumber();
        if (n == 0 || n == 1) return n == 0;
    }
}

// The save description's time stamp, local time: 2006年03月14日 09:05:07
// followed by one space.
std::string timeStamp() {
    const std::tm t = platform::localTime(clockNow());
    auto piece = [](std::string_view s) { return static_cast<int>(s.size()); };
    char buf[96];
    int n = std::snprintf(buf, sizeof buf, "%04d%.*s%02d%.*s%02d%.*s %02d:%02d:%02d ", t.tm_year + 1900,
                          piece(msg::TIME_YEAR), msg::TIME_YEAR.data(), t.tm_mon + 1, piece(msg::TIME_MONTH),
                          msg::TIME_MONTH.data(), t.tm_mday, piece(msg::TIME_DAY), msg::TIME_DAY.data(), t.tm_hour,
                          t.tm_min, t.tm_sec);
    return std::string(buf, n > 0 ? std::min(static_cast<std::size_t>(n), sizeof buf - 1) : 0);
}

// SAVEINFO runs in a frame of its own on top of the one running the
// SAVEGAME line; it is not a CALLed function, so JUMP works there. A
// SAVEINFO may itself open the save menu, and each slot number typed there
// runs SAVEINFO again, so it shares the depth limit of CALL: without it a
// stream of typed numbers would overflow the machine stack.
void runSaveInfo(Runtime& rt) {
    const FunctionDefinition* info = rt.program.findFunction(entry_point::kSaveInfo);
    if (!info) return;
    NestedRun run(rt, *info, FrameStart::SaveInfo);
    run.runToEnd();
}

// The description is built and the whole file composed before anything is
// written, so a SAVEINFO that ends the program leaves no file behind.
bool saveSlot(Runtime& rt, std::int32_t slot) {
    std::string path = slotFileName(slot);
    if (!slotWritable(path)) return false;
    rt.saveDescription = timeStamp();
    runSaveInfo(rt);
    // A save holding more characters than a load accepts could never be
    // loaded; refusing it keeps the slot's previous save usable.
    if (rt.store.characterCount() > kMaxCharacters) return false;
    return replaceFile(path, encodeSave(rt.store, rt.gameBase, rt.saveDescription));
}

bool loadSlot(Runtime& rt, std::int32_t slot) {
    std::string path = slotFileName(slot);
    // Only a regular file is read: a FIFO in the slot's place would block.
    FileBytes bytes;
    if (readGameFile(path, bytes, static_cast<std::size_t>(kMaxSaveFileBytes)) != ReadStatus::kRead) return false;
    SaveContents contents;
    if (!decodeSave(std::string_view(bytes.data.get(), bytes.size), rt.store, contents)) return false;
    applySave(contents, rt.store);
    return true;
}

}  // namespace

LoadMenuResult loadMenu(Runtime& rt) {
    writeLine(rt.console, msg::LOAD_MENU_HEADER);
    SlotFlags valid = showSlotList(rt);
    writeLine(rt.console, msg::MENU_CANCEL);
    std::int32_t slot = readSlotChoice(rt.console);
    if (slot == kMenuCancel) return LoadMenuResult::BackedOut;
    if (!valid[slot]) {
        writeLine(rt.console, msg::CANNOT_LOAD);
        return LoadMenuResult::ShowAgain;
    }
    if (!loadSlot(rt, slot)) {
        writeLine(rt.console, msg::LOAD_FAILED);
        return LoadMenuResult::ShowAgain;
    }
    writeLine(rt.console, msg::LOADED);
    return LoadMenuResult::Loaded;
}

SaveMenuResult saveMenu(Runtime& rt) {
    writeLine(rt.console, msg::SAVE_MENU_HEADER);
    SlotFlags valid = showSlotList(rt);
    writeLine(rt.console, msg::MENU_CANCEL);
    std::int32_t slot = readSlotChoice(rt.console);
    if (slot == kMenuCancel) return SaveMenuResult::Done;
    if (valid[slot] && !confirmOverwrite(rt.console)) return SaveMenuResult::ShowAgain;
    writeLine(rt.console, saveSlot(rt, slot) ? msg::SAVED : msg::SAVE_FAILED);
    return SaveMenuResult::Done;
}

}  // namespace kiro
