// The save and load menus and the SAVEGAME / LOADGAME instructions, run in
// a temporary game folder with typed input.
#include "save/save_menus.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <regex>
#include <string>

#include "console/console.h"
#include "data/game_base.h"
#include "data/variable_store.h"
#include "save/save_file.h"
#include "script/errors.h"
#include "script/executor.h"
#include "script/instruction_table.h"
#include "script/loader.h"
#include "script/runtime.h"
#include "support/sjis.h"
#include "support/test_game.h"

namespace kiro {
namespace {

using test::sjis;
using test::utf8;

// A game of code 5, version 1200, run in its own folder.
struct MenuGame {
    explicit MenuGame(std::string input, std::string script = "", std::int32_t accepted = -1)
        : io(std::move(input)), console(io), cwd(dir.path()), rt(console, store, program, base) {
        base.gameCode = 5;
        base.version = 1200;
        base.acceptedVersion = accepted;
        if (!script.empty()) loadScriptText(program, console, "main.kst", sjis(script));
        console.flush();
        io.output.clear();
    }
    std::string output() {
        console.flush();
        return utf8(io.output);
    }

    test::TempDir dir;
    StringConsoleIo io;
    Console console;
    test::WorkingDirectory cwd;
    VariableStore store;
    ScriptProgram program;
    GameBase base;
    Runtime rt;
};

std::string header(int code, int version, std::string_view description) {
    return std::to_string(code) + "\r\n" + std::to_string(version) + "\r\n" + sjis(description) + "\r\n";
}

TEST(SaveMenus, SlotListJudgesEverySlot) {
    MenuGame g("100\n", "", 1000);
    g.dir.write("save01.sav", header(6, 1200, "他"));
    g.dir.write("save02.sav", header(5, 1100, "旧版"));
    g.dir.write("save03.sav", header(5, 900, "古い"));
    g.dir.write("save04.sav/inner", "x");
    g.dir.write("save12.sav", sjis("5\n1200\nLF版\n"));
    EXPECT_EQ(loadMenu(g.rt), LoadMenuResult::BackedOut);
    std::string expected = "何番をロードしますか？\n[0]  データなし\n[1]  ゲームが違います\n[2]  旧版\n"
                           "[3]  バージョンが違います\n[4]  データなし\n";
    for (int n = 5; n < kSlotCount; ++n)
        expected += "[" + std::to_string(n) + "] " + (n < 10 ? " " : "") + (n == 12 ? "LF版" : "データなし") + "\n";
    expected += "[100] やめる\n";
    EXPECT_EQ(g.output(), expected);
}

TEST(SaveMenus, NumbersOutsideTheSlotsAreAskedAgain) {
    MenuGame load("20\n21\n-1\n100\n");
    EXPECT_EQ(loadMenu(load.rt), LoadMenuResult::BackedOut);
    EXPECT_EQ(load.output().find("ロードできません"), std::string::npos);

    MenuGame save("20\n21\n-1\n100\n");
    EXPECT_EQ(saveMenu(save.rt), SaveMenuResult::Done);
    EXPECT_EQ(save.output().find("セーブしました"), std::string::npos);
    for (int n = 0; n < kSlotCount; ++n) EXPECT_FALSE(save.dir.exists(slotFileName(n)));
}

TEST(SaveMenus, LoadingAnInvalidSlotShowsTheMenuAgain) {
    MenuGame g("3\n");
    g.dir.write("save03.sav", header(5, 1100, "x"));  // version not accepted
    EXPECT_EQ(loadMenu(g.rt), LoadMenuResult::ShowAgain);
    EXPECT_NE(g.output().find("[100] やめる\nロードできません\n"), std::string::npos);
}

TEST(SaveMenus, LoadReplacesCharactersAndVariables) {
    VariableStore saved;
    for (int i = 0; i < 3; ++i) {
        CharacterRecord c;
        c.no = i;
        saved.addCharacter(c);
    }
    saved.at(kMoney) = 777;
    MenuGame g("4\n");
    g.dir.write("save04.sav", encodeSave(saved, g.base, "d"));
    for (int i = 0; i < 5; ++i) g.store.addCharacter(CharacterRecord());
    EXPECT_EQ(loadMenu(g.rt), LoadMenuResult::Loaded);
    EXPECT_EQ(g.store.characterCount(), 3);
    EXPECT_EQ(g.store.at(kMoney), 777);
    EXPECT_NE(g.output().find("[100] やめる\n☆☆☆ロードしました☆☆☆\n"), std::string::npos);
}

TEST(SaveMenus, UnreadableSaveChangesNothing) {
    MenuGame g("4\n");
    g.dir.write("save04.sav", header(5, 1200, "d") + "10001\r\n");
    g.store.addCharacter(CharacterRecord());
    g.store.at(kMoney) = 9;
    EXPECT_EQ(loadMenu(g.rt), LoadMenuResult::ShowAgain);
    EXPECT_EQ(g.store.characterCount(), 1);
    EXPECT_EQ(g.store.at(kMoney), 9);
    std::string out = g.output();
    EXPECT_NE(out.find("ロードに失敗しました。\n"), std::string::npos);
    EXPECT_EQ(out.find("ロードしました"), std::string::npos);
}

TEST(SaveMenus, SaveStampsTheTimeAndRunsSaveInfo) {
    MenuGame g("0\n", "@SAVEINFO\nPUTFORM 所持金{MONEY}\n");
    g.store.at(kMoney) = 3;
    EXPECT_EQ(saveMenu(g.rt), SaveMenuResult::Done);
    EXPECT_EQ(g.rt.running, nullptr);  // SAVEINFO's frame is off the chain
    EXPECT_EQ(g.rt.callDepth, 0);
    EXPECT_NE(g.output().find("[100] やめる\n☆☆☆セーブしました☆☆☆\n"), std::string::npos);
    std::string file = g.dir.read("save00.sav");
    EXPECT_EQ(file.substr(0, 9), "5\r\n1200\r\n");
    std::string description = file.substr(9, file.find("\r\n", 9) - 9);
    EXPECT_EQ(description, g.rt.saveDescription);
    EXPECT_TRUE(std::regex_match(utf8(description), std::regex("\\d{4}年\\d\\d月\\d\\d日 \\d\\d:\\d\\d:\\d\\d 所持金3")))
        << utf8(description);
    // Nothing but the slot file: no temporary file stays behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(g.dir.path()), {}), 1);
}

TEST(SaveMenus, OverwriteIsAskedForAValidSlotOnly) {
    MenuGame no("0\n7\n1\n");
    no.dir.write("save00.sav", header(5, 1200, "old"));
    EXPECT_EQ(saveMenu(no.rt), SaveMenuResult::ShowAgain);
    EXPECT_NE(no.output().find("[100] やめる\nデータが存在します。上書きしてよろしいですか？\n[0] はい\n[1] いいえ\n"),
              std::string::npos);
    EXPECT_EQ(no.dir.read("save00.sav"), header(5, 1200, "old"));

    MenuGame yes("0\n0\n");
    yes.dir.write("save00.sav", header(5, 1200, "old"));
    EXPECT_EQ(saveMenu(yes.rt), SaveMenuResult::Done);
    EXPECT_NE(yes.dir.read("save00.sav"), header(5, 1200, "old"));

    MenuGame other("1\n");
    other.dir.write("save01.sav", header(6, 1200, "other game"));
    EXPECT_EQ(saveMenu(other.rt), SaveMenuResult::Done);
    EXPECT_EQ(other.output().find("上書き"), std::string::npos);
    EXPECT_EQ(other.dir.read("save01.sav").substr(0, 3), "5\r\n");
}

TEST(SaveMenus, FailedSaveSaysSoAndKeepsTheOldFile) {
    MenuGame g("5\n6\n", "@SAVEINFO\nPRINTL info\n");
    g.dir.write("save05.sav", header(6, 1, "kept"));  // another game's: no question
    setSaveStepHook([](SaveStep step) { return step != SaveStep::CreateTemporary; });
    EXPECT_EQ(saveMenu(g.rt), SaveMenuResult::Done);
    setSaveStepHook(nullptr);
    EXPECT_EQ(g.dir.read("save05.sav"), header(6, 1, "kept"));
    std::string out = g.output();
    EXPECT_NE(out.find("info\nセーブに失敗しました。\n"), std::string::npos);
    EXPECT_EQ(out.find("セーブしました"), std::string::npos);

    // A folder in the slot's place fails before SAVEINFO runs.
    g.io.output.clear();
    g.dir.write("save06.sav/inner", "x");
    EXPECT_EQ(saveMenu(g.rt), SaveMenuResult::Done);
    out = g.output();
    EXPECT_NE(out.find("[100] やめる\nセーブに失敗しました。\n"), std::string::npos);
    EXPECT_EQ(g.dir.read("save06.sav/inner"), "x");
}

TEST(SaveInstructions, OnlyAllowedInTheShop) {
    MenuGame g("100\n100\n");
    ScriptExecutor ex(g.rt);
    ScriptLine line;
    g.rt.game.phase = GamePhase::Train;
    for (std::int32_t code : {kSAVEGAME, kLOADGAME}) {
        line.code = code;
        try {
            runLine(ex, line);
            ADD_FAILURE() << "no error outside the shop";
        } catch (const CExecError& e) {
            EXPECT_EQ(e.code, error_code::OutsideShop);
            EXPECT_EQ(e.detail, "");
        }
    }
    EXPECT_EQ(g.output(), "");
    g.rt.game.phase = GamePhase::Shop;
    for (std::int32_t code : {kSAVEGAME, kLOADGAME}) {
        line.code = code;
        EXPECT_EQ(runLine(ex, line), StepOutcome::Next);
    }
}

}  // namespace
}  // namespace kiro
